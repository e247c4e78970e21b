#pragma once

// Numbers of up to 256 bits as text writes them, digit by digit, and laid out as the digits
// of a word: what the readers of value lists (values, MIF, COE) share.

#include "digits.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::numbers {

/// How much of a number a message quotes.
inline constexpr std::size_t kShown = 80;

/// A number of up to 256 bits, its lowest 64 bits first.
struct Wide {
    std::array<std::uint64_t, 4> limb{};

    // value = value << bits | digit; false when bits fall off the top.
    bool shiftIn(int bits, unsigned digit) {
        if (limb[3] >> (64 - bits) != 0)
            return false;
        for (int i = 3; i > 0; --i)
            limb[i] = limb[i] << bits | limb[i - 1] >> (64 - bits);
        limb[0] = limb[0] << bits | digit;
        return true;
    }
    // value = value * 10 + digit; false when it passes 256 bits.
    bool timesTenPlus(unsigned digit) {
        unsigned __int128 carry = digit;
        for (std::uint64_t& l : limb) {
            const unsigned __int128 v = static_cast<unsigned __int128>(l) * 10 + carry;
            l = static_cast<std::uint64_t>(v);
            carry = v >> 64;
        }
        return carry == 0;
    }
    int bitLength() const {
        for (int i = 3; i >= 0; --i)
            if (limb[i] != 0)
                return 64 * i + 64 - std::countl_zero(limb[i]);
        return 0;
    }
    bool zero() const { return bitLength() == 0; }
    // The two's complement: 2^256 - value.
    Wide negated() const {
        Wide out;
        bool carry = true;
        for (int i = 0; i < 4; ++i) {
            out.limb[i] = ~limb[i] + (carry ? 1 : 0);
            carry = carry && out.limb[i] == 0;
        }
        return out;
    }
    Wide minusOne() const {
        Wide out = *this;
        for (std::uint64_t& l : out.limb)
            if (l-- != 0)
                break;
        return out;
    }
    unsigned bitsAt(int at, int count) const { // count <= 4, within one limb or across two
        unsigned v = 0;
        for (int k = count - 1; k >= 0; --k) {
            const int b = at + k;
            v = v << 1 | static_cast<unsigned>(b < 256 ? limb[b / 64] >> (b % 64) & 1 : 0);
        }
        return v;
    }
};

/// What a number's text turned out to be.
struct Parsed {
    enum Kind { Value, Identifier, Bad } kind = Value;
    Wide value; ///< the magnitude
    bool negative = false;
    int need = 0;               ///< the bits the value needs: two's complement when negative
    int written = 0;            ///< the width it was written at, for a width taken from the values
    bool leadingZero = false;   ///< decimal with a leading 0, which C reads as octal
    int base = 0;               ///< bits per written digit (4, 3, 1), 0 for decimal
    std::size_t digitsFrom = 0; ///< where the written digits start in the token
    std::string error;          ///< for Bad
    std::size_t errorAt = 0;    ///< the index in the token of the character at fault
};

inline bool IsLetter(char16_t c) {
    return (c | 0x20) >= u'a' && (c | 0x20) <= u'z';
}
inline bool IsDecimal(char16_t c) {
    return c >= u'0' && c <= u'9';
}
/// "1 bit", "8 bits": a width as messages give it.
inline std::string Bits(std::uint64_t n) {
    return std::to_string(n) + (n == 1 ? " bit" : " bits");
}
inline std::string Ascii(std::u16string_view text) {
    std::string out;
    for (char16_t c : text.substr(0, kShown))
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

/// The digits of `text` from `from` in base 2^bits (1, 3 or 4) or 10 (bits 0), `_` between
/// them ignored; `verilog` also refuses x and z as digits without a value.
inline Parsed ReadDigits(std::u16string_view text, std::size_t from, int bits, bool verilog) {
    Parsed p;
    const unsigned base = bits == 0 ? 10 : 1u << bits;
    const char* const name = bits == 4   ? "hexadecimal"
                             : bits == 3 ? "octal"
                             : bits == 1 ? "binary"
                                         : "decimal";
    int digits = 0;
    p.base = bits;
    p.digitsFrom = from;
    for (std::size_t i = from; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'_')
            continue;
        const unsigned v = IsDecimal(c)  ? unsigned(c - u'0')
                           : IsLetter(c) ? unsigned((c | 0x20) - u'a' + 10)
                                         : 99;
        if (v >= base) {
            p.kind = Parsed::Bad;
            p.errorAt = i;
            if (verilog && ((c | 0x20) == u'x' || (c | 0x20) == u'z' || c == u'?'))
                p.error = "'" + std::string(1, static_cast<char>(c)) + "' in '" + Ascii(text) +
                          "' has no value: a memory word takes 0 and 1 only";
            else if (c == u'.')
                p.error = "'" + Ascii(text) + "' is not a whole number";
            else
                p.error = "'" + std::string(1, static_cast<char>(c)) + "' is not a " + name +
                          " digit, in '" + Ascii(text) + "'";
            return p;
        }
        const bool fits = bits == 0 ? p.value.timesTenPlus(v) : p.value.shiftIn(bits, v);
        if (!fits) {
            p.kind = Parsed::Bad;
            p.error = "the value '" + Ascii(text) + "' is wider than 256 bits";
            return p;
        }
        ++digits;
    }
    if (digits == 0) {
        p.kind = Parsed::Bad;
        p.errorAt = from < text.size() ? from : 0;
        p.error = "'" + Ascii(text) + "' has no digits";
        return p;
    }
    p.need = std::max(p.value.bitLength(), 1);
    p.written = bits == 4 || bits == 1 ? std::min(digits * bits, kMaxWidthBits) : p.need;
    p.written = std::max(p.written, p.need);
    return p;
}

/// Lays out a value as `d` digits of `radix` at `width` bits (it was checked to fit). Digits
/// written in the radix keep their case, as the digits rule keeps them.
inline void LayValue(char* out, const Parsed& p, std::u16string_view text, RadixMode radix,
                     int width, std::size_t d) {
    if (!p.negative && p.base == BitsPerDigit(radix)) {
        std::size_t at = d;
        for (std::size_t i = text.size(); i > p.digitsFrom && at > 0; --i) {
            const char16_t c = text[i - 1];
            if (c != u'_' && (c | 0x20) != u'u' && (c | 0x20) != u'l')
                out[--at] = static_cast<char>(c);
        }
        std::fill_n(out, at, '0');
        return;
    }
    const Wide v = p.negative ? p.value.negated() : p.value;
    const int step = BitsPerDigit(radix);
    for (std::size_t i = 0; i < d; ++i) {
        const int at = static_cast<int>(d - 1 - i) * step;
        const int count = std::min(step, width - at);
        out[i] = "0123456789abcdef"[v.bitsAt(at, count)];
    }
}

} // namespace tarnwick::numbers
