#pragma once

#include "extract.h"

#include "platform/clock.h"
#include "platform/file_io.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
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
/// to be held whole. The constructor writes the header: the six-line comment banner (line 6
/// carries clock.Date() then clock.Time(), read in that order, joined with no separator),
/// WIDTH and DEPTH, ADDRESS_RADIX = DEC, DATA_RADIX = HEX or, in binary mode, BIN, and
/// CONTENT BEGIN. addDigits() cuts the digits into words of `layout.digitsPerWord` and
/// writes a content line (TAB address TAB ':' TAB word ';') for each of the first
/// `layout.depth` words, dropping any digits beyond; finish() writes a short last word if
/// the depth counts it, then words of zeros up to `paddedDepth` (when larger than the
/// data's depth), then END. The header's DEPTH is the larger of the two. Every line ends
/// with CR LF. Lines are formatted straight into a reused chunk of about 1 MiB, handed to
/// the sink whole.
class MifWriter {
public:
    MifWriter(ByteSink& sink, RadixMode radix, const WordLayout& layout,
              const platform::Clock& clock, std::int32_t paddedDepth = 0);
    MifWriter(const MifWriter&) = delete;
    MifWriter& operator=(const MifWriter&) = delete;

    /// Takes the next digits: ASCII digits of the radix, as the digit check left them.
    void addDigits(std::string_view digits);
    /// Sets the data's depth once it is known, for a header written before the data was
    /// counted (DEPTH being the padded depth): at most the depth given so far. It decides
    /// whether finish() writes a short last word.
    void setDataDepth(std::int32_t depth) { m_layout.depth = std::min(depth, m_layout.depth); }
    void finish();

private:
    static constexpr std::size_t kShortWord = 16;

    void writeLine(const char* word, std::size_t length);
    template <std::size_t kFixed> const char* writeWords(const char* word, std::size_t count);
    void nextAddress();
    void flush();

    ByteSink& m_sink;
    WordLayout m_layout;
    std::int32_t m_paddedDepth;
    std::size_t m_digitsPerWord;
    std::unique_ptr<char[]> m_out; ///< the chunk being filled, up to m_used
    std::size_t m_used = 0;
    std::size_t m_flushAt;
    bool m_failed = false;         ///< the sink has failed: nothing more is formatted         ///< once m_used passes this, the chunk is handed on
    std::string m_word;            ///< a word whose digits are still arriving
    std::int32_t m_written = 0;
    /// TAB, the next address in decimal, TAB ':' TAB: copied whole in front of each word,
    /// its last digit counted up in place.
    char m_prefix[32];
    std::size_t m_prefixLength;
};

} // namespace tarnwick
