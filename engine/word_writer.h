#pragma once

#include "digits.h"
#include "source.h"

#include "platform/byte_sink.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

using platform::ByteSink;

/// The banner lines that are ours to word.
inline constexpr std::string_view kOwnershipLine =
    "-- Copyright (C) 2011 Vetrask. All rights reserved.";
inline constexpr std::string_view kRightsHolderLine =
    "-- Rights holder: the Vetrask Tarnwick Workshop";
inline constexpr std::string_view kContactLine =
    "-- Welcome to send message to Vetrask: tarnwick@example.com";

/// How the banner's date line is written.
enum class DateLine {
    Cp936, ///< after a full-width colon, in code page 936, as the window's users read a MIF
    Ascii, ///< after ": ", anything beyond ASCII as '?': scripts and the other vendor's tools
           ///< read COE and memory files as ASCII or UTF-8
};

/// Appends the six-line banner every format opens with, each line behind `comment` (the
/// format's comment mark and a blank) and ended by `lineEnd`: the three lines above, two
/// more of thanks, and the design date: clock.Date() then clock.Time(), read in that order,
/// joined with no separator, as `dateLine` says.
void AppendBanner(std::string& out, std::string_view comment, std::string_view lineEnd,
                  const platform::Clock& clock, DateLine dateLine);

/// The output of a format: lines formatted straight into a reused chunk of about 256 KiB,
/// handed to the sink whole. Once the sink has failed nothing more is handed on.
class ChunkBuffer {
public:
    /// `expected`: about how large the whole output is, so small files stay cheap;
    /// `head`: bytes written first, kept in one chunk; `overrun`: how far a batch of lines
    /// may run past the chunk's end before the buffer is checked.
    ChunkBuffer(platform::ByteSink& sink, std::size_t expected, std::string_view head,
                std::size_t overrun);
    ChunkBuffer(const ChunkBuffer&) = delete;
    ChunkBuffer& operator=(const ChunkBuffer&) = delete;

    /// Where the next byte goes; room for `overrun` bytes past the chunk is always there.
    char* end() { return m_out.get() + m_used; }
    /// Takes the bytes written up to `end`; hands the chunk on once it is full.
    void setEnd(char* end) {
        m_used = static_cast<std::size_t>(end - m_out.get());
        if (m_used > m_flushAt)
            flush();
    }
    /// Hands what is written to the sink.
    void flush();
    bool failed() const { return m_failed; }

private:
    platform::ByteSink& m_sink;
    std::unique_ptr<char[]> m_out;
    std::size_t m_used = 0;
    std::size_t m_flushAt = 0; ///< once m_used passes this, the chunk is handed on
    bool m_failed = false;
};

/// What every memory file format shares: the digits arrive in pieces of any size and are
/// cut into words of `layout.digitsPerWord`; the first `layout.depth` words are written, any
/// digits beyond dropped; finish() writes a short last word if the depth counts it, then
/// words of zeros up to `paddedDepth` (when larger than the data's depth), then the
/// format's end. A format is a subclass that lays out the words (writeWords, writeWord)
/// and the end (writeEnd) in the chunk buffer.
class WordWriter : public DigitSink {
public:
    WordWriter(const WordWriter&) = delete;
    WordWriter& operator=(const WordWriter&) = delete;

    void addDigits(std::string_view digits) final;
    /// The digits of the words that pad the data up to the padded depth, cycled from the
    /// data's end (a whole number of words; zeros when never set).
    void setPadding(std::string digits) { m_padding = std::move(digits); }
    /// Sets the data's depth once it is known, for a header written before the data was
    /// counted (DEPTH being the padded depth): at most the depth given so far. It decides
    /// whether finish() writes a short last word.
    void setDataDepth(std::int32_t depth) { m_layout.depth = std::min(depth, m_layout.depth); }
    void finish();
    /// The first word whose first digit uses bits above a width that is no whole number of
    /// digits (10 bits in hexadecimal: 0 to 3), counted from 0 in the digits given; such a
    /// file is not valid, so the caller refuses it instead of committing.
    std::optional<std::uint64_t> overWideWord() const { return m_overWide; }

protected:
    /// `head` is the format's header; `longestLine` bounds one word's line.
    WordWriter(platform::ByteSink& sink, const WordLayout& layout, std::int32_t paddedDepth,
               std::string_view head, std::size_t longestLine);

    /// Whole 16-byte copies of a word that is at most this long may read past it.
    static constexpr std::size_t kShortWord = 16;

    /// Writes `count` whole words starting at `word`, stopping early once the buffer has
    /// failed; returns where the next word starts. With `shortCopies` (words of at most
    /// kShortWord digits), each word may be copied as kShortWord bytes.
    virtual const char* writeWords(const char* word, std::size_t count, bool shortCopies) = 0;
    /// Writes one word of `length` digits (a short last word, or zeros).
    virtual void writeWord(const char* word, std::size_t length) = 0;
    /// Writes what follows the last word.
    virtual void writeEnd() = 0;

    /// Writes `count` whole words from `word` on as `before` word `after` each, ten at a
    /// time between checks of the buffer (before and after: a few bytes each); returns where
    /// the next word starts. With kFixed, each word is copied as kFixed bytes.
    template <std::size_t kFixed>
    const char* writePlain(const char* word, std::size_t count, std::string_view before,
                           std::string_view after) {
        const std::size_t d = m_digitsPerWord;
        while (count > 0 && !m_chunk.failed()) {
            const std::size_t run = std::min<std::size_t>(count, 10);
            char* p = m_chunk.end();
            for (std::size_t k = 0; k < run; ++k, word += d) {
                p = std::copy(before.begin(), before.end(), p);
                if constexpr (kFixed > 0)
                    std::memcpy(p, word, kFixed);
                else
                    std::memcpy(p, word, d);
                p = std::copy(after.begin(), after.end(), p + d);
            }
            m_written += static_cast<std::int32_t>(run);
            count -= run;
            m_chunk.setEnd(p);
        }
        return word;
    }
    /// Writes one word as `before` word `after`, a short one padded in front with zeros to
    /// the full width, as formats without a declared width need.
    void writePadded(const char* word, std::size_t length, std::string_view before,
                     std::string_view after);

    std::size_t digitsPerWord() const { return m_digitsPerWord; }

    ChunkBuffer m_chunk;
    std::int32_t m_written = 0; ///< words written so far; formats count them

private:
    WordLayout m_layout;
    std::int32_t m_paddedDepth; ///< as asked: finish() pads to it or to the data's depth
    std::size_t m_digitsPerWord;
    std::string m_word; ///< a word whose digits are still arriving
    std::string m_padding;
    unsigned m_topMost = 15;  ///< the largest first digit a word may have
    std::uint64_t m_seen = 0; ///< digits given so far, while the first digits are checked
    std::optional<std::uint64_t> m_overWide;
};

} // namespace tarnwick
