#pragma once

// A text file's bytes to digit-string characters, fed in pieces of any size:
//   bytes -> TextDecoder -> LineEndNormaliser -> DelimiterStripper -> digits
// A piece boundary anywhere (inside a GBK pair or a UTF-8 sequence, between CR and LF)
// gives exactly what the whole file gives.

#include "delimiters.h"
#include "digits.h"

#include "text/line_ends.h"
#include "text/text_decoder.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tarnwick {

/// A text file's bytes, in pieces, to digit-string characters, as the command line reads
/// them: decoded (see text::TextDecoder), line ends made CR LF, then the delimiters
/// removed; the same characters the window gets from the file after Open. One stream serves
/// one pass: feed() or feedDigits().
class FileDigitStream {
public:
    explicit FileDigitStream(text::TextEncoding encoding = text::TextEncoding::Auto)
        : m_decoder(encoding) {}

    /// Calls onDigit(c, position) for each digit-string character that `bytes` frees, with
    /// the line and column where that character stood in the file. With `last`, also
    /// releases everything still held.
    template <class OnDigit> void feed(std::string_view bytes, bool last, OnDigit&& onDigit) {
        decodePiece(bytes, last);
        for (char16_t c : m_text) {
            if (!IsLowSurrogate(c)) // a low surrogate belongs to the character before
                ++m_position.column;
            m_tagged.put(c, m_position, onDigit);
            if (c == u'\n') {
                ++m_position.line;
                m_position.column = 0;
            }
        }
        if (last)
            m_tagged.finish(onDigit);
    }

    /// As feed(), for a caller that needs no positions: calls emit(c) only. ASCII bytes
    /// take the block fast path, with no decoding or line-end pass, whenever nothing is held
    /// in the decoder or the line-end pass.
    /// With the binary radix, the fast path frees only 0 and 1: every other character
    /// reaches emit(c), so a checking emit sees every stray.
    template <class Emit>
    void feedDigits(std::string_view bytes, bool last, Emit&& emit,
                    RadixMode radix = RadixMode::Hexadecimal) {
        blocks(bytes, last, radix == RadixMode::Binary, emit);
    }

    /// As feedDigits() for a pass that only counts: returns how many digits of `radix` the
    /// fast path freed; every character the per-character path frees goes to emit(c).
    template <class Emit>
    std::uint64_t countDigits(std::string_view bytes, bool last, RadixMode radix, Emit&& emit) {
        block::Counter counter;
        blocks(bytes, last, radix == RadixMode::Binary, emit, &counter);
        return counter.count;
    }

    /// Whether the input is UTF-16, whose bytes are not its text.
    bool utf16() const { return decodesEverything(); }

private:
    template <class Emit, class Add = std::nullptr_t>
    void blocks(std::string_view bytes, bool last, bool binary, Emit& emit, Add* add = nullptr) {
        std::size_t i = 0;
        // While the bytes are the text (ASCII, nothing held), blocks go straight from the
        // bytes; a block they do not cover is decoded alone. UTF-16, whose bytes are never
        // the text, is decoded the rest of the piece at once, its text stripped a block at a
        // time where it can be.
        for (; bytes.size() - i >= block::kSize && !decodesEverything(); i += block::kSize) {
            const char* at = bytes.data() + i;
            if (!m_fastReady) {
                exactPiece(bytes.substr(i, block::kSize), false, binary, emit, add);
                continue;
            }
            if constexpr (std::is_same_v<Add, std::nullptr_t>) {
                if (m_stripper.fastBlock(at, false, binary, emit))
                    continue;
            } else if (m_stripper.fastBlock(at, false, binary, *add)) {
                continue;
            }
            exactPiece(bytes.substr(i, block::kSize), false, binary, emit, add);
        }
        if (i < bytes.size() || last)
            exactPiece(bytes.substr(i), last, binary, emit, add);
    }

    bool decodesEverything() const {
        return m_decoder.encoding() == text::TextEncoding::Utf16Le ||
               m_decoder.encoding() == text::TextEncoding::Utf16Be;
    }

    template <class Emit, class Add>
    void exactPiece(std::string_view bytes, bool last, bool binary, Emit& emit, Add* add) {
        decodePiece(bytes, last);
        if constexpr (std::is_same_v<Add, std::nullptr_t>) {
            m_stripper.feedBlocks(m_text.data(), m_text.size(), true, emit, binary);
        } else {
            add->count +=
                m_stripper.countBlocks(m_text.data(), m_text.size(), true,
                                       binary ? RadixMode::Binary : RadixMode::Hexadecimal, emit);
        }
        if (last)
            m_stripper.finish(emit);
        m_fastReady = m_decoder.asciiPassesThrough() && !m_normaliser.holdsCr();
    }

    void decodePiece(std::string_view bytes, bool last) {
        m_decoded.clear();
        m_decoder.decode(bytes, m_decoded, last);
        m_text.clear();
        m_normaliser.feed(m_decoded, m_text);
        if (last)
            m_normaliser.finish(m_text);
    }

    text::TextDecoder m_decoder;
    text::LineEndNormaliser m_normaliser;
    DelimiterStripper m_stripper;
    TaggedDelimiterStripper<TextPosition> m_tagged;
    std::u16string m_decoded;
    std::u16string m_text;
    TextPosition m_position;
    bool m_fastReady = false; ///< ASCII bytes may skip decoding and line ends
};

} // namespace tarnwick
