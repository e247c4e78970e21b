#pragma once

// What every reader is: a DigitSource, read once for each of the driver's passes, and the
// few helpers readers share.

#include "block_scan.h"
#include "diagnostic.h"
#include "digits.h"

#include "platform/io_error.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Where a source's copy() hands its digit string: a writer (WordWriter), or the driver's
/// regrouping of the input's words in front of one (WordOrder).
class DigitSink {
public:
    virtual ~DigitSink() = default;
    /// Takes the next digits: ASCII digits of the radix, as the digit check left them.
    virtual void addDigits(std::string_view digits) = 0;
};

/// How many values (runs of digits between delimiters) an input held, and their digit counts.
struct ValueShape {
    std::uint64_t values = 0;
    std::uint64_t fewest = 0;
    std::uint64_t most = 0;
};

/// The order of an input's words (bytes) inside a memory word.
enum class ByteOrder {
    Big,    ///< the lowest address in the word's most significant bits
    Little, ///< the lowest address in its least significant bits
};

/// The first pass's findings: how many digits, and the characters among them that are not
/// digits of the radix.
class Tally {
public:
    Tally(RadixMode radix, bool countAllStrays) : m_finder(radix), m_countAll(countAllStrays) {}

    /// Takes one digit-string character the per-character path freed.
    void put(char16_t c) {
        ++m_digits;
        m_finder.put(c);
    }
    /// Takes a number of digits of the radix that the block path counted.
    void add(std::uint64_t count) { m_digits += count; }
    /// Once true, the rest of the input cannot change the outcome.
    bool decided() const { return (m_finder.any() && !m_countAll) || m_digits > kMaxDigitCount; }
    bool anyStray() const { return m_finder.any(); }
    const StrayCharacters& strays() const { return m_finder.strays(); }
    std::uint64_t digits() const { return m_digits; }
    RadixMode radix() const { return m_finder.radix(); }

private:
    StrayFinder m_finder;
    std::uint64_t m_digits = 0;
    bool m_countAll;
};

/// The input of a conversion, read once for each pass: the digit string comes out of it
/// piece by piece, never whole. Every pass calls goOn(done) between pieces, `done` counting
/// units of work (of size(), when known); false ends the pass there. A reader is one
/// subclass: it turns its format into the digit string of the words, and words what it
/// finds wrong or worth a warning itself (diagnostics()).
class DigitSource {
public:
    using GoOn = std::function<bool(std::uint64_t done)>;

    virtual ~DigitSource() = default;
    /// The units of work in one pass, or 0 when not known beforehand.
    virtual std::uint64_t size() const = 0;
    /// Counts the digit string into `tally`. False when reading failed (see error()) or the
    /// input broke its format's rules (an error among diagnostics()).
    virtual bool count(Tally& tally, const GoOn& goOn) = 0;
    /// Hands the digit string, every character of it a digit of the radix now, to `writer`.
    virtual bool copy(DigitSink& writer, const GoOn& goOn) = 0;
    /// Counts as count() does and hands the digits to `writer` while no stray was found. This
    /// reads the input twice (count, then copy); a source that reads it once overrides it.
    virtual bool countAndCopy(Tally& tally, DigitSink& writer, const GoOn& goOn);
    /// Where the first digit-string character for which isIt(c) is true stands; with
    /// `toEnd`, also how far the digits reach after it. Nothing when there is none, the
    /// input has no places (raw bytes) or reading failed.
    virtual std::optional<SourcePlace> find(const std::function<bool(char16_t)>& isIt,
                                            bool toEnd) = 0;
    /// Why reading failed.
    virtual const platform::IoError& error() const = 0;
    /// The width in bits that the input itself sets, once count() has run; 0 for none.
    virtual int widthBits() const { return 0; }
    /// The order of words the input itself states (an ELF file's), once count() has run.
    virtual std::optional<ByteOrder> byteOrder() const { return std::nullopt; }
    /// The values among delimiters that the digits rule joins, once count() has run; nothing
    /// where the reader has no such values or could not tell (UTF-16).
    virtual std::optional<ValueShape> valueShape() const { return std::nullopt; }
    /// What count() found, worded by the reader: warnings, and the error that made it
    /// return false when the input broke its format's rules.
    virtual const std::vector<Diagnostic>& diagnostics() const;
};

/// The caller's reading of an input, which a source reads once per pass.
class ByteReader {
public:
    using Use = std::function<bool(std::string_view piece, bool last)>;

    virtual ~ByteReader() = default;
    /// Calls use(piece, last) for each piece of the input from its start, until it returns
    /// false; `last` marks the end. False when reading failed (error() says why).
    virtual bool read(const Use& use) = 0;
    virtual const platform::IoError& error() const = 0;
};

/// Copies `n` bytes, 1 to 16, in at most two fixed-size moves that overlap, touching no byte
/// outside the n: a call to memcpy costs more than the few digits of a word.
inline void CopyShort(char* to, const char* from, std::size_t n) {
    const auto two = [&](auto unit) {
        using Unit = decltype(unit);
        Unit head, tail;
        std::memcpy(&head, from, sizeof(Unit));
        std::memcpy(&tail, from + n - sizeof(Unit), sizeof(Unit));
        std::memcpy(to, &head, sizeof(Unit));
        std::memcpy(to + n - sizeof(Unit), &tail, sizeof(Unit));
    };
    if (n >= 8)
        two(std::uint64_t{});
    else if (n >= 4)
        two(std::uint32_t{});
    else if (n >= 2)
        two(std::uint16_t{});
    else
        *to = *from;
}

/// Room for the digits one piece of the input frees, reused from piece to piece. Never
/// cleared: only the part a piece fills is ever touched, and paid for in page faults.
class DigitRoom {
public:
    /// Room for `digits` digits and the block path's overrun.
    char* reserve(std::size_t digits) {
        if (digits + block::kOverrun > m_room) {
            m_room = digits + block::kOverrun;
            m_digits = std::make_unique_for_overwrite<char[]>(m_room);
        }
        return m_digits.get();
    }

private:
    std::unique_ptr<char[]> m_digits;
    std::size_t m_room = 0;
};

} // namespace tarnwick
