#pragma once

// Delimiter removal, fed in pieces of any size, so that neither the text nor the digit
// string has to be held whole: blanks, TAB, ',', ';', '{', '}', "0x"/"0X" and CR LF go.
// A piece boundary anywhere (between CR and LF, between '0' and 'x') gives exactly what the
// whole text gives. Blocks of 64 characters take block_scan.h's fast path where it applies.

#include "block_scan.h"
#include "digits.h"

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace tarnwick {

namespace detail {

// How a character takes part in delimiter removal: passes 1 to 5 remove single characters,
// so they commute and one class serves them all. 'x' and LF matter only after a held one.
enum CharClass : unsigned char { Plain, Drop, Zero, Cr };
constexpr std::array<CharClass, 128> makeClassTable() {
    std::array<CharClass, 128> table{};
    for (char c : {' ', '\t', ',', ';', '{', '}'})
        table[static_cast<unsigned char>(c)] = Drop;
    table['0'] = Zero;
    table['\r'] = Cr;
    return table;
}
inline constexpr std::array<CharClass, 128> kClass = makeClassTable();

struct NoTag {};

} // namespace detail

/// The delimiter-removal passes (each removing one kind of delimiter from the whole text, in
/// turn) as one streaming pass. Characters surviving the single-character passes (blank,
/// TAB, ',', ';', '{', '}') feed a matcher for "0x"/"0X" that holds back one '0'; what
/// survives it feeds a matcher for CR LF that holds back one CR. A held character is released once
/// the next one shows it is not part of a match, which is exactly the left-to-right, no-rescan rule
/// of each pass. It never emits more characters than it has been given, and never reorders them.
///
/// Each character carries a tag (its index, its line and column) that comes out with it,
/// held ones included, so a caller learns exactly where each digit-string character stood.
template <class Tag> class TaggedDelimiterStripper {
public:
    /// Takes one input character; calls emit(c, tag) for each character it frees.
    template <class Emit> void put(char16_t c, const Tag& tag, Emit&& emit) {
        using namespace detail;
        const CharClass cls = c < 128 ? kClass[c] : Plain;
        if (cls == Drop)
            return;
        if (!m_heldZero && !m_heldCr) { // the common case: nothing held back
            if (cls == Plain) {
                emit(c, tag);
            } else if (cls == Zero) {
                m_heldZero = true;
                m_zeroTag = tag;
            } else {
                m_heldCr = true;
                m_crTag = tag;
            }
            return;
        }
        if (m_heldZero) {
            m_heldZero = false;
            if (c == u'x' || c == u'X')
                return;
            afterZeroPass(u'0', m_zeroTag, emit);
        }
        if (c == u'0') {
            m_heldZero = true;
            m_zeroTag = tag;
        } else {
            afterZeroPass(c, tag, emit);
        }
    }

    /// Releases what is still held; call once after the last character.
    template <class Emit> void finish(Emit&& emit) {
        if (m_heldZero) {
            m_heldZero = false;
            afterZeroPass(u'0', m_zeroTag, emit);
        }
        if (m_heldCr) {
            m_heldCr = false;
            emit(u'\r', m_crTag);
        }
    }

    /// True when nothing but possibly a '0' is held back.
    bool holdsAtMostZero() const { return !m_heldCr; }
    bool holdsZero() const { return m_heldZero; }
    /// Hands a held '0' over to or back from the block fast path.
    void setHeldZero(bool held, const Tag& tag = {}) {
        m_heldZero = held;
        m_zeroTag = tag;
    }

private:
    template <class Emit> void afterZeroPass(char16_t c, const Tag& tag, Emit& emit) {
        if (m_heldCr) {
            m_heldCr = false;
            if (c == u'\n')
                return;
            emit(u'\r', m_crTag);
        }
        if (c == u'\r') {
            m_heldCr = true;
            m_crTag = tag;
        } else {
            emit(c, tag);
        }
    }

    bool m_heldZero = false;
    bool m_heldCr = false;
    [[no_unique_address]] Tag m_zeroTag{};
    [[no_unique_address]] Tag m_crTag{};
};

/// TaggedDelimiterStripper for callers that need no positions: emit(c) only.
class DelimiterStripper {
public:
    template <class Emit> void put(char16_t c, Emit&& emit) {
        m_core.put(c, detail::NoTag{}, [&emit](char16_t d, detail::NoTag) { emit(d); });
    }
    template <class Emit> void finish(Emit&& emit) {
        m_core.finish([&emit](char16_t d, detail::NoTag) { emit(d); });
    }

    bool holdsAtMostZero() const { return m_core.holdsAtMostZero(); }
    bool holdsZero() const { return m_core.holdsZero(); }
    void setHeldZero(bool held) { m_core.setHeldZero(held); }

    /// Feeds `text` 64 characters at a time through the block fast path where it applies,
    /// character by character elsewhere: the same digits as put(). `pairedLineEnds`: text
    /// as the input box holds it, where only CR LF is a line break. With `binary`, the fast
    /// path frees only 0 and 1, so every other character reaches emit(c).
    template <class Char, class Emit>
    void feedBlocks(const Char* text, std::size_t size, bool pairedLineEnds, Emit&& emit,
                    bool binary = false) {
        std::size_t i = 0;
        for (; size - i >= block::kSize; i += block::kSize)
            if (!fastBlock(text + i, pairedLineEnds, binary, emit))
                slowBlock(text + i, block::kSize, emit);
        slowBlock(text + i, size - i, emit);
    }

    /// As feedBlocks() for a pass that only counts: returns how many digits of `radix`
    /// the fast path freed, and calls emit(c) for every character the per-character path
    /// frees (strays among them).
    template <class Char, class Emit>
    std::uint64_t countBlocks(const Char* text, std::size_t size, bool pairedLineEnds,
                              RadixMode radix, Emit&& emit) {
        block::Counter counter;
        std::size_t i = 0;
        for (; size - i >= block::kSize; i += block::kSize)
            if (!fastBlock(text + i, pairedLineEnds, radix == RadixMode::Binary, counter))
                slowBlock(text + i, block::kSize, emit);
        slowBlock(text + i, size - i, emit);
        return counter.count;
    }

    /// One block through the fast path, if it applies (see block::Filter): the digits go to
    /// emit(c), or, when emit takes a count, only their number.
    template <class Char, class Emit>
    bool fastBlock(const Char* text, bool pairedLineEnds, bool binary, Emit& emit) {
        if (!holdsAtMostZero())
            return false;
        const block::Masks masks = block::Classify(text);
        bool held = holdsZero();
        std::uint64_t keep = 0;
        bool release = false;
        if (!block::Filter(masks, pairedLineEnds, binary, held, keep, release))
            return false;
        if constexpr (std::is_same_v<std::remove_cvref_t<Emit>, block::Counter>) {
            emit.count += static_cast<std::uint64_t>(std::popcount(keep)) + (release ? 1 : 0);
        } else if constexpr (std::is_base_of_v<block::CharSink, std::remove_cvref_t<Emit>>) {
            char* out = emit.at; // a local pointer: stores through it alias nothing we read
            if (release)
                *out++ = '0';
            if constexpr (std::is_same_v<Char, char>) {
                out = block::Compact(text, keep, out);
            } else {
                for (; keep != 0; keep &= keep - 1)
                    *out++ = static_cast<char>(text[std::countr_zero(keep)]);
            }
            emit.at = out;
        } else {
            if (release)
                emit(u'0');
            for (; keep != 0; keep &= keep - 1)
                emit(static_cast<char16_t>(text[std::countr_zero(keep)]));
        }
        setHeldZero(held);
        return true;
    }

private:
    template <class Char, class Emit>
    void slowBlock(const Char* text, std::size_t size, Emit& emit) {
        for (std::size_t i = 0; i < size; ++i)
            put(static_cast<char16_t>(static_cast<std::make_unsigned_t<Char>>(text[i])), emit);
    }

    TaggedDelimiterStripper<detail::NoTag> m_core;
};

} // namespace tarnwick
