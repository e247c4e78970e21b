#pragma once

// Delimiter removal and the whole text-file pipeline, fed in pieces of any size, so that
// neither the text nor the digit string has to be held whole:
//   bytes -> Cp936Decoder -> LineEndNormaliser -> DelimiterStripper -> digits
// A piece boundary anywhere (inside a GBK pair, between CR and LF, between '0' and 'x')
// gives exactly what the whole text gives.

#include "platform/cp936.h"
#include "platform/line_ends.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

namespace detail {

// How a character takes part in delimiter removal: passes 1 to 5 remove single characters,
// so they commute and one class serves them all. 'x' and LF matter only after a held one.
enum CharClass : unsigned char { Plain, Drop, Zero, Cr };
constexpr std::array<CharClass, 128> makeClassTable() {
    std::array<CharClass, 128> table{};
    for (char c : {' ', ',', ';', '{', '}'})
        table[static_cast<unsigned char>(c)] = Drop;
    table['0'] = Zero;
    table['\r'] = Cr;
    return table;
}
inline constexpr std::array<CharClass, 128> kClass = makeClassTable();

} // namespace detail

/// The seven delimiter-removal passes of StripDelimiters as one streaming pass. Characters
/// surviving passes 1-5 feed a matcher for "0x" that holds back one '0'; what survives it
/// feeds a matcher for CR LF that holds back one CR. A held character is released once the
/// next one shows it is not part of a match, which is exactly the left-to-right, no-rescan
/// rule of each pass. It never emits more characters than it has been given.
class DelimiterStripper {
public:
    /// Takes one input character; calls emit(c) for each digit-string character it frees.
    template <class Emit> void put(char16_t c, Emit&& emit) {
        using namespace detail;
        const CharClass cls = c < 128 ? kClass[c] : Plain;
        if (cls == Drop)
            return;
        if (!m_heldZero && !m_heldCr) { // the common case: nothing held back
            if (cls == Plain)
                emit(c);
            else if (cls == Zero)
                m_heldZero = true;
            else
                m_heldCr = true;
            return;
        }
        if (m_heldZero) {
            m_heldZero = false;
            if (c == u'x')
                return;
            afterZeroPass(u'0', emit);
        }
        if (c == u'0')
            m_heldZero = true;
        else
            afterZeroPass(c, emit);
    }

    template <class Emit> void feed(std::u16string_view piece, Emit&& emit) {
        for (char16_t c : piece)
            put(c, emit);
    }

    /// Releases what is still held; call once after the last character.
    template <class Emit> void finish(Emit&& emit) {
        if (m_heldZero) {
            m_heldZero = false;
            afterZeroPass(u'0', emit);
        }
        if (m_heldCr) {
            m_heldCr = false;
            emit(u'\r');
        }
    }

private:
    template <class Emit> void afterZeroPass(char16_t c, Emit& emit) {
        if (m_heldCr) {
            m_heldCr = false;
            if (c == u'\n')
                return;
            emit(u'\r');
        }
        if (c == u'\r')
            m_heldCr = true;
        else
            emit(c);
    }

    bool m_heldZero = false;
    bool m_heldCr = false;
};

/// Where a character stands in the text: 1-based line, 1-based column counted in
/// characters (a surrogate pair is one).
struct TextPosition {
    std::uint64_t line = 1;
    std::uint64_t column = 0;
};

/// A text file's bytes, in pieces, to digit-string characters, as the window gets them from
/// a file it opens and converts: decoded from code page 936, line ends made CR LF, then
/// the delimiters removed.
class FileDigitStream {
public:
    /// Calls onDigit(c, position) for each digit-string character that `bytes` frees, where
    /// position is that of the input character that freed it: the character itself, except
    /// for a held '0'. With `last`, also releases everything still held.
    template <class OnDigit> void feed(std::string_view bytes, bool last, OnDigit&& onDigit) {
        decodePiece(bytes, last);
        auto emit = [&](char16_t c) { onDigit(c, m_position); };
        for (char16_t c : m_text) {
            if (c < 0xDC00 || c > 0xDFFF) // a low surrogate belongs to the character before
                ++m_position.column;
            m_stripper.put(c, emit);
            if (c == u'\n') {
                ++m_position.line;
                m_position.column = 0;
            }
        }
        if (last)
            m_stripper.finish(emit);
    }

    /// As feed(), for a caller that needs no positions: calls emit(c) only, faster.
    template <class Emit> void feedDigits(std::string_view bytes, bool last, Emit&& emit) {
        decodePiece(bytes, last);
        m_stripper.feed(m_text, emit);
        if (last)
            m_stripper.finish(emit);
    }

private:
    void decodePiece(std::string_view bytes, bool last) {
        m_decoded.clear();
        m_decoder.decode(bytes, m_decoded, last);
        m_text.clear();
        m_normaliser.feed(m_decoded, m_text);
        if (last)
            m_normaliser.finish(m_text);
    }

    platform::Cp936Decoder m_decoder;
    platform::LineEndNormaliser m_normaliser;
    DelimiterStripper m_stripper;
    std::u16string m_decoded;
    std::u16string m_text;
    TextPosition m_position;
};

} // namespace tarnwick
