#pragma once

// The fast path of delimiter removal and the digit check: 64 characters at a time, as bit
// masks (bit i stands for character i of the block). It covers the common case only and
// says so; every block it declines goes through the per-character DelimiterStripper, which
// stays the definition. Two builds: SSE2 (every amd64 CPU has it) and plain C++ over 64-bit
// words, chosen with TARNWICK_SIMD; the SSE2 build gathers the kept bytes with SSSE3 where
// the CPU has it.

#include <bit>
#include <cstdint>
#include <cstring>

#if TARNWICK_SIMD && defined(__SSE2__)
#include <emmintrin.h>
#define TARNWICK_BLOCK_SSE2 1
#else
#define TARNWICK_BLOCK_SSE2 0
#endif

// SSSE3's byte shuffle gathers the kept digits eight at a time. Not every amd64 CPU has it:
// the compiler builds that function alone for it, and it is chosen when the CPU has it.
#if TARNWICK_BLOCK_SSE2 && defined(__GNUC__) && !defined(__SSSE3__)
#include <tmmintrin.h>
#define TARNWICK_BLOCK_SSSE3 1
#define TARNWICK_SSSE3_TARGET __attribute__((target("ssse3")))
#elif TARNWICK_BLOCK_SSE2 && defined(__SSSE3__)
#include <tmmintrin.h>
#define TARNWICK_BLOCK_SSSE3 1
#define TARNWICK_SSSE3_TARGET
#else
#define TARNWICK_BLOCK_SSSE3 0
#endif

namespace tarnwick::block {

inline constexpr std::size_t kSize = 64;

/// What each character of a block is, as far as delimiter removal and the digit check care.
struct Masks {
    std::uint64_t other = 0; ///< not ASCII, or an ASCII character with no part below
    std::uint64_t drop = 0;  ///< blank, TAB, ',', ';', '{', '}'
    std::uint64_t cr = 0;    ///< CR
    std::uint64_t lf = 0;    ///< LF
    std::uint64_t zero = 0;  ///< '0'
    std::uint64_t one = 0;   ///< '1'
    std::uint64_t x = 0;     ///< 'x' or 'X'
    std::uint64_t digit = 0; ///< 0-9, a-f, A-F ('0' included)
};

/// Where a counting pass collects the number of digits the fast path frees.
struct Counter {
    std::uint64_t count = 0;
};

/// How far past the last digit a writing pass may store (see Compact).
inline constexpr std::size_t kOverrun = 8;

/// Where a writing pass puts the digits: straight into a character buffer, which must have
/// room for them and kOverrun bytes more. Used as an emit function, it takes a digit the
/// per-character path frees.
struct CharSink {
    char* at;
    void operator()(char16_t c) { *at++ = static_cast<char>(c); }
};

namespace detail {

#if TARNWICK_BLOCK_SSE2

inline std::uint64_t bits(__m128i mask, int k) {
    return static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(mask)))
           << (16 * k);
}

// Bytes b with first <= b <= first + span, compared unsigned.
inline __m128i inRange(__m128i v, char first, char span) {
    const __m128i shifted = _mm_sub_epi8(v, _mm_set1_epi8(first));
    return _mm_cmpeq_epi8(_mm_min_epu8(shifted, _mm_set1_epi8(span)), shifted);
}

inline __m128i is(__m128i v, char c) {
    return _mm_cmpeq_epi8(v, _mm_set1_epi8(c));
}

// Each class is gathered in the vector registers first, then moved out once.
inline Masks classify(const __m128i (&v)[4], std::uint64_t nonAscii) {
    Masks m;
    for (int k = 0; k < 4; ++k) {
        const __m128i lower = _mm_or_si128(v[k], _mm_set1_epi8(0x20));
        const __m128i drop = _mm_or_si128(_mm_or_si128(_mm_or_si128(is(v[k], ' '), is(v[k], '\t')),
                                                       _mm_or_si128(is(v[k], ','), is(v[k], ';'))),
                                          _mm_or_si128(is(v[k], '{'), is(v[k], '}')));
        m.drop |= bits(drop, k);
        m.cr |= bits(is(v[k], '\r'), k);
        m.lf |= bits(is(v[k], '\n'), k);
        m.zero |= bits(is(v[k], '0'), k);
        m.one |= bits(is(v[k], '1'), k);
        m.x |= bits(is(lower, 'x'), k);
        m.digit |= bits(_mm_or_si128(inRange(v[k], '0', 9), inRange(lower, 'a', 5)), k);
    }
    m.digit &= ~nonAscii;
    m.other = nonAscii | ~(m.drop | m.cr | m.lf | m.x | m.digit);
    return m;
}

#else

// Plain C++ over eight characters in a 64-bit word, each in a byte below 0x80. Exact per
// byte: no borrow crosses from one byte into the next.
constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHigh = 0x8080808080808080ull;

// High bit of each byte set where the byte is at least n (bytes and n below 0x80).
constexpr std::uint64_t atLeast(std::uint64_t w, unsigned n) {
    return ((w | kHigh) - n * kOnes) & kHigh;
}
constexpr std::uint64_t equal(std::uint64_t w, unsigned n) {
    return atLeast(w, n) & ~atLeast(w, n + 1);
}
// The high bits of the eight bytes, gathered into eight bits.
constexpr std::uint64_t gather(std::uint64_t highBits) {
    return ((highBits >> 7) * 0x0102040810204080ull) >> 56;
}

inline Masks classifyWords(const std::uint64_t (&w)[8], std::uint64_t nonAscii) {
    Masks m;
    for (int k = 0; k < 8; ++k) {
        const std::uint64_t v = w[k] & ~kHigh; // non-ASCII bytes are in nonAscii already
        const std::uint64_t lower = v | (0x20 * kOnes);
        const auto bits = [k](std::uint64_t high) { return gather(high) << (8 * k); };
        m.drop |= bits(equal(v, ' ') | equal(v, '\t') | equal(v, ',') | equal(v, ';') |
                       equal(v, '{') | equal(v, '}'));
        m.cr |= bits(equal(v, '\r'));
        m.lf |= bits(equal(v, '\n'));
        m.zero |= bits(equal(v, '0'));
        m.one |= bits(equal(v, '1'));
        m.x |= bits(equal(lower, 'x'));
        m.digit |= bits((atLeast(v, '0') & ~atLeast(v, '9' + 1)) |
                        (atLeast(lower, 'a') & ~atLeast(lower, 'f' + 1)));
    }
    m.drop &= ~nonAscii;
    m.cr &= ~nonAscii;
    m.lf &= ~nonAscii;
    m.zero &= ~nonAscii;
    m.one &= ~nonAscii;
    m.x &= ~nonAscii;
    m.digit &= ~nonAscii;
    m.other = nonAscii | ~(m.drop | m.cr | m.lf | m.x | m.digit);
    return m;
}

#endif

#if TARNWICK_BLOCK_SSSE3

// For each byte of a mask: where its set bits stand (as shuffle indexes, 0x80 for none
// beyond them), and how many there are.
struct CompactTables {
    std::uint64_t shuffle[256];
    std::uint8_t count[256];
};

constexpr CompactTables MakeCompactTables() {
    CompactTables t{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned n = 0;
        std::uint64_t indexes = 0;
        for (unsigned bit = 0; bit < 8; ++bit)
            if (mask & (1u << bit))
                indexes |= std::uint64_t{bit} << (8 * n++);
        for (unsigned k = n; k < 8; ++k)
            indexes |= std::uint64_t{0x80} << (8 * k);
        t.shuffle[mask] = indexes;
        t.count[mask] = static_cast<std::uint8_t>(n);
    }
    return t;
}

inline constexpr CompactTables kCompact = MakeCompactTables();

TARNWICK_SSSE3_TARGET inline char* compactSsse3(const char* text, std::uint64_t keep, char* out) {
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * k));
        const auto low = static_cast<unsigned>(keep >> (16 * k)) & 0xFF;
        const auto high = static_cast<unsigned>(keep >> (16 * k + 8)) & 0xFF;
        const __m128i lowOrder =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&kCompact.shuffle[low]));
        const __m128i highOrder =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&kCompact.shuffle[high]));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(v, lowOrder));
        out += kCompact.count[low];
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out),
                         _mm_shuffle_epi8(_mm_srli_si128(v, 8), highOrder));
        out += kCompact.count[high];
    }
    return out;
}

inline bool hasSsse3() {
#if defined(__SSSE3__)
    return true;
#else
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return has;
#endif
}

#endif

} // namespace detail

/// Copies the characters of a 64-byte block whose bits are set in `keep`, in order, to
/// `out`; returns the end of the copy. May store up to kOverrun bytes past that end.
inline char* Compact(const char* text, std::uint64_t keep, char* out) {
#if TARNWICK_BLOCK_SSSE3
    if (detail::hasSsse3())
        return detail::compactSsse3(text, keep, out);
#endif
    for (; keep != 0; keep &= keep - 1)
        *out++ = text[std::countr_zero(keep)];
    return out;
}

/// Classifies 64 bytes of text in an ASCII-compatible encoding: a byte of 0x80 or more
/// is `other`.
inline Masks Classify(const char* bytes) {
#if TARNWICK_BLOCK_SSE2
    __m128i v[4];
    std::uint64_t nonAscii = 0;
    for (int k = 0; k < 4; ++k) {
        v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * k));
        nonAscii |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(v[k])))
                    << (16 * k);
    }
    return detail::classify(v, nonAscii);
#else
    std::uint64_t w[8];
    std::memcpy(w, bytes, sizeof w);
    std::uint64_t nonAscii = 0;
    for (int k = 0; k < 8; ++k)
        nonAscii |= detail::gather(w[k] & detail::kHigh) << (8 * k);
    return detail::classifyWords(w, nonAscii);
#endif
}

/// What values between delimiters need of 64 bytes: the delimiters (blank, TAB, ',', ';',
/// '{', '}', CR, LF) and the 'x' and 'X', as Classify has them, at a third of its cost.
struct ValueMasks {
    std::uint64_t delimiter = 0;
    std::uint64_t x = 0;
};
inline ValueMasks ClassifyValues(const char* bytes) {
    ValueMasks m;
#if TARNWICK_BLOCK_SSE2
    using detail::is;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * k));
        const __m128i lower = _mm_or_si128(v, _mm_set1_epi8(0x20));
        // Blank, TAB, CR and LF are 0x09, 0x0A, 0x0D and 0x20; ',' and ';', '{' and '}'.
        const __m128i delimiter =
            _mm_or_si128(_mm_or_si128(_mm_or_si128(is(v, ' '), is(v, '\t')),
                                      _mm_or_si128(is(v, ','), is(v, ';'))),
                         _mm_or_si128(_mm_or_si128(is(v, '{'), is(v, '}')),
                                      _mm_or_si128(is(v, '\r'), is(v, '\n'))));
        m.delimiter |= detail::bits(delimiter, k);
        m.x |= detail::bits(is(lower, 'x'), k);
    }
#else
    const Masks all = Classify(bytes);
    m.delimiter = all.drop | all.cr | all.lf;
    m.x = all.x;
#endif
    return m;
}

/// Classifies 64 UTF-16 code units: a unit of 0x80 or more is `other`.
inline Masks Classify(const char16_t* units) {
#if TARNWICK_BLOCK_SSE2
    // Packed with unsigned saturation, a unit above 0xFF becomes 0xFF: non-ASCII either way.
    __m128i v[4];
    for (int k = 0; k < 4; ++k) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 16 * k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 16 * k + 8));
        v[k] = _mm_packus_epi16(a, b);
    }
    std::uint64_t nonAscii = 0;
    for (int k = 0; k < 4; ++k)
        nonAscii |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(v[k])))
                    << (16 * k);
    return detail::classify(v, nonAscii);
#else
    char bytes[kSize];
    std::uint64_t nonAscii = 0;
    for (std::size_t i = 0; i < kSize; ++i) {
        const char16_t c = units[i];
        nonAscii |= static_cast<std::uint64_t>(c >= 0x80) << i;
        bytes[i] = static_cast<char>(c < 0x80 ? c : 0x7F);
    }
    std::uint64_t w[8];
    std::memcpy(w, bytes, sizeof w);
    return detail::classifyWords(w, nonAscii);
#endif
}

/// The delimiter removal of one block in the common case. Returns false, changing
/// nothing, when the block needs the per-character path: a character that is neither a
/// hexadecimal digit nor a delimiter (with `binary`, a digit other than 0 and 1 too), an 'x' that
/// does not follow its '0' directly, and, where line ends count (`pairedLineEnds`, text as the
/// input box holds it), a CR or LF that is not part of a CR LF pair inside the block. Otherwise
/// sets `keep` to the digits that survive and updates `heldZero`: a '0' whose fate depends on what
/// comes after the block (only delimiters follow it) is held, not kept; a held '0' from before is
/// released by the first character that is neither a delimiter nor an 'x', or removed with that
/// 'x'. `releaseHeld` tells the caller to emit the held '0' before the block's digits.
inline bool Filter(const Masks& m, bool pairedLineEnds, bool binary, bool& heldZero,
                   std::uint64_t& keep, bool& releaseHeld) {
    if (m.other != 0 || (binary && (m.digit & ~(m.zero | m.one)) != 0))
        return false;
    if (pairedLineEnds && ((m.cr & ~(m.lf >> 1)) != 0 || (m.lf & ~(m.cr << 1)) != 0))
        return false;
    const std::uint64_t nonDrop = ~m.drop;
    if (nonDrop == 0) { // delimiters only: nothing kept, a held '0' stays held
        keep = 0;
        releaseHeld = false;
        return true;
    }
    // An 'x' goes with the '0' right before it, or with a held '0' when only delimiters
    // stand between them.
    std::uint64_t heldX = 0;
    bool release = false;
    if (heldZero) {
        const std::uint64_t first = nonDrop & (~nonDrop + 1);
        if (m.x & first)
            heldX = first;
        else
            release = true;
    }
    if ((m.x & ~heldX & ~(m.zero << 1)) != 0)
        return false;
    const std::uint64_t removedZeros = m.zero & ((m.x & ~heldX) >> 1);
    std::uint64_t kept = m.digit & ~removedZeros;
    // The last non-delimiter, when it is a '0', waits for what follows the block.
    const int last = 63 - std::countl_zero(nonDrop);
    const std::uint64_t lastBit = std::uint64_t{1} << last;
    const bool holdLast = (m.zero & lastBit & ~removedZeros) != 0;
    if (holdLast)
        kept &= ~lastBit;
    keep = kept;
    releaseHeld = release;
    heldZero = holdLast;
    return true;
}

} // namespace tarnwick::block
