#pragma once

// A firmware image, as compilers and flash tools write it, to the digit string of its bytes:
//   bytes -> a reader's load(): records (IhexSource, SrecSource) or sections (ElfSource)
//   -> add(): runs of bytes at their addresses, held in memory, runs that follow each other
//      joined -> sorted and checked: a byte given twice with two values is an error
//   -> from --base (or address 0) to the highest byte: each byte two hexadecimal digits,
//      addresses no run gives holding the fill, warned of once
// and the driver packs the bytes into words (WordOrder).

#include "source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Where an image's memory starts, and what its gaps hold.
struct ImageOptions {
    std::optional<std::uint64_t> base; ///< the address of the memory's first byte; else 0
    std::uint8_t fill = 0;             ///< what addresses no record gives hold
};

/// What every firmware reader shares: the input is read whole in the first pass (count()),
/// its bytes held (at most 256 MiB), and copy() hands them on from memory, so a second pass
/// reads nothing. A reader is a subclass that reads the input in load(), handing each run of
/// bytes to add() and wording what is wrong with fail().
class ImageSource : public DigitSource {
public:
    std::uint64_t size() const override { return 0; }
    bool count(Tally& tally, const GoOn& goOn) override;
    bool copy(DigitSink& writer, const GoOn& goOn) override;
    std::optional<SourcePlace> find(const std::function<bool(char16_t)>&, bool) override {
        return std::nullopt; // every digit is one: nothing is ever placed
    }
    const platform::IoError& error() const override { return m_reader.error(); }
    const std::vector<Diagnostic>& diagnostics() const override { return m_diagnostics; }

protected:
    ImageSource(ByteReader& reader, const ImageOptions& options)
        : m_reader(reader), m_options(options) {}

    /// Reads the whole input, calling add() for each run of bytes. False when reading
    /// failed or the input broke its format's rules (fail()).
    virtual bool load(const GoOn& goOn) = 0;
    /// `bytes` at `address` on, given at `at` (where the input has places).
    bool add(std::uint64_t address, std::string_view bytes, std::optional<TextPosition> at);
    /// Records an error at `at`; returns false, to end load().
    bool fail(std::optional<TextPosition> at, std::string text);
    void warn(std::optional<TextPosition> at, std::string text);

    /// Calls onLine(line, number) for each line of the input, its end (LF, CR or CR LF)
    /// left out, until it returns false. False when reading failed or onLine did.
    template <class OnLine> bool forEachLine(const GoOn& goOn, OnLine&& onLine);

    ByteReader& m_reader;

private:
    struct Run {
        std::uint64_t address = 0;
        std::string bytes;
        std::optional<TextPosition> at; ///< where its first byte was given
    };

    bool settle();
    std::optional<TextPosition> placeOf(std::uint64_t address, bool later, std::uint8_t* value);

    ImageOptions m_options;
    std::vector<Run> m_runs;
    std::uint64_t m_held = 0;
    std::uint64_t m_base = 0;
    /// While a clash is placed: the address sought, and what add() found of it.
    std::optional<std::uint64_t> m_probe;
    std::vector<std::pair<TextPosition, std::uint8_t>> m_probed;
    std::vector<Diagnostic> m_diagnostics;
};

template <class OnLine> bool ImageSource::forEachLine(const GoOn& goOn, OnLine&& onLine) {
    std::string carried; // a line that runs on into the next piece
    std::uint64_t number = 1;
    bool afterCr = false, stopped = false;
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < piece.size(); ++i) {
            const char c = piece[i];
            if (c != '\n' && c != '\r')
                continue;
            if (c == '\n' && afterCr && i == start && carried.empty()) { // CR LF: one end
                afterCr = false;
                start = i + 1;
                continue;
            }
            // A line within the piece is handed on where it stands.
            std::string_view line = piece.substr(start, i - start);
            if (!carried.empty()) {
                carried.append(line);
                line = carried;
            }
            if (!onLine(line, number++)) {
                stopped = true;
                return false;
            }
            carried.clear();
            afterCr = c == '\r';
            start = i + 1;
        }
        if (start < piece.size()) {
            afterCr = false;
            carried.append(piece.substr(start));
        }
        if (last && !carried.empty() && !onLine(std::string_view(carried), number++)) {
            stopped = true;
            return false;
        }
        return goOn(0);
    });
    return read && !stopped;
}

} // namespace tarnwick
