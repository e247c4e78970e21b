#pragma once

#include "extract.h"

#include "platform/clock.h"
#include "platform/cp936.h"
#include "platform/file_io.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

/// Where the MIF writer's bytes go, in chunks of up to a few hundred kilobytes.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::string_view bytes) = 0;
    /// True once a write has failed; the writer then stops early.
    virtual bool failed() const { return false; }
};

/// Collects the bytes in memory.
class StringSink final : public ByteSink {
public:
    void write(std::string_view bytes) override { m_bytes.append(bytes); }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

/// Hands the bytes to an AtomicFileWriter, which replaces its file on commit.
class FileSink final : public ByteSink {
public:
    explicit FileSink(platform::AtomicFileWriter& writer) : m_writer(writer) {}
    void write(std::string_view bytes) override { m_writer.write(bytes); }
    bool failed() const override { return m_writer.failed(); }

private:
    platform::AtomicFileWriter& m_writer;
};

/// The banner lines that are ours to word.
inline constexpr std::string_view kOwnershipLine =
    "-- Copyright (C) 2011 Vetrask. All rights reserved.";
inline constexpr std::string_view kRightsHolderLine =
    "-- Rights holder: the Vetrask Tarnwick Workshop";
inline constexpr std::string_view kContactLine =
    "-- Welcome to send message to Vetrask: tarnwick@example.com";

/// Writes a memory initialisation file as the digits arrive, so the digit string never has
/// to be held whole. The constructor writes the header (banner, WIDTH, DEPTH, radixes,
/// CONTENT BEGIN); addDigits() cuts the digits into words of `layout.digitsPerWord` and
/// writes a content line for each of the first `layout.depth` words, dropping any digits
/// beyond; finish() writes a short last word if the depth counts it, then words of zeros up
/// to `paddedDepth` (when larger than the data's depth), then END. The header's DEPTH is
/// the larger of the two.
class MifWriter {
public:
    MifWriter(ByteSink& sink, RadixMode radix, const WordLayout& layout,
              const platform::Clock& clock, std::int32_t paddedDepth = 0);
    MifWriter(const MifWriter&) = delete;
    MifWriter& operator=(const MifWriter&) = delete;

    void addDigits(std::u16string_view digits);
    /// Sets the data's depth once it is known, for a header written before the data was
    /// counted (DEPTH being the padded depth): at most the depth given so far. It decides
    /// whether finish() writes a short last word.
    void setDataDepth(std::int32_t depth) { m_layout.depth = std::min(depth, m_layout.depth); }
    void finish();

private:
    void writeLine(std::u16string_view word);
    void flushIfFull();

    ByteSink& m_sink;
    WordLayout m_layout;
    std::int32_t m_paddedDepth;
    platform::Cp936Encoder m_encoder;
    std::string m_out; ///< the chunk being filled, up to m_used
    std::size_t m_used = 0;
    std::size_t m_longestLine;
    std::u16string m_word; ///< a word whose digits are still arriving
    std::int32_t m_written = 0;
    char m_address[12]; ///< the next address in decimal, counted up without division
    std::size_t m_addressFirst;
};

/// Writes a memory initialisation file for `words` to `sink`: the six-line comment banner
/// (line 6 carries clock.Date() then clock.Time(), read in that order, joined with no
/// separator), WIDTH and DEPTH from `layout`, ADDRESS_RADIX = DEC, DATA_RADIX = HEX or, in
/// binary mode, BIN, then one content line per word (TAB address TAB ':' TAB word ';') and
/// END. Every line ends with CR LF; text is encoded in CP936 and words are written
/// unchanged, a short last word short.
void WriteMif(ByteSink& sink, RadixMode radix, const WordLayout& layout, const WordList& words,
              const platform::Clock& clock);

/// Writes the file of WriteMif to `destination`, replacing it atomically. Returns the
/// failure, or nothing when the file was written and closed.
std::optional<platform::IoError> WriteMifFile(const std::filesystem::path& destination,
                                              RadixMode radix, const WordLayout& layout,
                                              const WordList& words, const platform::Clock& clock);

} // namespace tarnwick
