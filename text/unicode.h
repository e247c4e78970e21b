#pragma once

// UTF-8 and UTF-16 to UTF-16 text, written once for every system: what is valid and what
// becomes U+FFFD is the same wherever the program runs.

#include "platform/charset.h"

#include <cstddef>
#include <memory>

namespace tarnwick::text {

/// What a UTF-8 lead byte starts: `length` bytes in all (0: it starts nothing valid), the
/// second of them in low..high (which rules out overlong forms, surrogates and anything
/// above U+10FFFF), the others in 0x80..0xBF.
struct Utf8Lead {
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
};

/// The lead byte `b` (at least 0x80).
constexpr Utf8Lead Utf8LeadOf(unsigned char b) {
    if (b >= 0xC2 && b <= 0xDF)
        return {2, 0x80, 0xBF};
    if (b >= 0xE0 && b <= 0xEF)
        return {3, static_cast<unsigned char>(b == 0xE0 ? 0xA0 : 0x80),
                static_cast<unsigned char>(b == 0xED ? 0x9F : 0xBF)};
    if (b >= 0xF0 && b <= 0xF4)
        return {4, static_cast<unsigned char>(b == 0xF0 ? 0x90 : 0x80),
                static_cast<unsigned char>(b == 0xF4 ? 0x8F : 0xBF)};
    return {};
}

/// How much of the sequence at p[0] (a byte of at least 0x80, n bytes left) keeps to the
/// ranges: `valid` bytes of its `length` (length 0: p[0] starts nothing valid). A whole
/// valid sequence has valid == length; valid == n < length may be cut by a piece's end.
struct Utf8Scan {
    std::size_t length = 0;
    std::size_t valid = 1;
};
constexpr Utf8Scan ScanUtf8(const unsigned char* p, std::size_t n) {
    const Utf8Lead lead = Utf8LeadOf(p[0]);
    std::size_t k = 1;
    while (k < lead.length && k < n) {
        const unsigned char t = p[k];
        if (k == 1 ? (t < lead.low || t > lead.high) : (t < 0x80 || t > 0xBF))
            break;
        ++k;
    }
    return {lead.length, k};
}

/// Decodes UTF-8, fed in pieces of any size: each maximal invalid sequence (the longest
/// start of a valid one, or one byte) becomes one U+FFFD.
std::unique_ptr<platform::CharsetDecoder> OpenUtf8Decoder();

/// Decodes UTF-16 in either byte order, fed in pieces of any size: a lone surrogate becomes
/// U+FFFD, and so does an odd byte at the very end.
std::unique_ptr<platform::CharsetDecoder> OpenUtf16Decoder(bool bigEndian);

} // namespace tarnwick::text
