#include "digits_source.h"

#include "file_digits.h"
#include "word_writer.h"

#include <algorithm>
#include <array>
#include <bit>

namespace tarnwick {

namespace {

// The most digits a piece of `bytes` bytes frees: two a byte (a UTF-16 input aside, fewer)
// and the two the stripper may hold back from the piece before.
std::size_t mostDigits(std::size_t bytes) {
    return 2 * bytes + 4;
}

// Set bits, without a call to the compiler's library where the CPU's own instruction is not
// assumed: most blocks need none of these.
int popcount(std::uint64_t v) {
    v = v - ((v >> 1) & 0x5555555555555555ull);
    v = (v & 0x3333333333333333ull) + ((v >> 2) & 0x3333333333333333ull);
    v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<int>((v * 0x0101010101010101ull) >> 56);
}

} // namespace

/// The digit counts of the values in a file's bytes, fed in pieces of any size: a value is a
/// run of bytes between delimiters, its digits those left once "0x" is gone (each 'x' takes
/// its '0' along). Bytes, not characters: an input whose text is not its bytes (UTF-16) is
/// not told apart, and non-ASCII bytes are strays that refuse the input anyway.
class DigitsSource::ShapeCounter {
public:
    void feed(std::string_view bytes) {
        std::size_t i = 0;
        for (; bytes.size() - i >= block::kSize; i += block::kSize)
            fastBlock(bytes.data() + i);
        leaveUniform();
        m_havePrev = false;
        slow(bytes.substr(i));
    }
    ValueShape finish() {
        leaveUniform();
        if (m_inValue)
            end(m_digits, 1);
        return m_shape;
    }

private:
    void slow(std::string_view bytes) {
        static constexpr auto kKind = [] {
            std::array<std::int8_t, 256> kind{};
            kind.fill(1);
            for (unsigned char c : {' ', '\t', ',', ';', '{', '}', '\r', '\n'})
                kind[c] = 0;
            kind['x'] = kind['X'] = -1;
            return kind;
        }();
        for (const char b : bytes) {
            const std::int8_t k = kKind[static_cast<unsigned char>(b)];
            if (k != 0) {
                m_digits += k;
                m_inValue = true;
            } else if (m_inValue) {
                end(m_digits, 1);
                m_digits = 0;
                m_inValue = false;
            }
        }
    }

    // The digits of the chars from bit `from` to bit `to` of a block: each 'x' takes its '0'.
    static std::int64_t digitsIn(std::uint64_t x, int from, int to) {
        const std::uint64_t range =
            (to == 63 ? ~std::uint64_t{0} : (std::uint64_t{1} << (to + 1)) - 1) &
            ~((std::uint64_t{1} << from) - 1);
        return std::int64_t{to - from + 1} - 2 * popcount(x & range);
    }

    // 64 bytes by their masks. While the values keep one length and one "0x" (a full-width
    // array), a block is checked against the last one's with a few shifts and counted by
    // its values' starts; any other block is counted value by value.
    void fastBlock(const char* bytes) {
        const block::ValueMasks m = block::ClassifyValues(bytes);
        const std::uint64_t inValue = ~m.delimiter;
        const std::uint64_t x = m.x;
        const std::uint64_t carry = m_havePrev ? m_prevIn >> 63 : (m_inValue ? 1 : 0);
        const std::uint64_t starts = inValue & ~((inValue << 1) | carry);
        if (m_uniform) {
            const int l = m_length;
            const std::uint64_t after = ~inValue & ((inValue << 1) | carry);
            const std::uint64_t expectAfter = (starts << l) | (m_prevStarts >> (64 - l));
            const std::uint64_t expectX = m_hasX ? (starts << 1) | (m_prevStarts >> 63) : 0;
            if (after == expectAfter && x == expectX) {
                m_shape.values += static_cast<std::uint64_t>(popcount(starts));
                remember(inValue, starts, x);
                return;
            }
            leaveUniform();
        }
        exactBlock(inValue, starts, x);
    }

    // Back to counting value by value: the value open at the block's start was counted at its
    // start, and is counted again at its end.
    void leaveUniform() {
        if (!m_uniform)
            return;
        m_uniform = false;
        m_inValue = m_prevIn >> 63;
        m_digits = 0;
        if (m_inValue) {
            --m_shape.values;
            const int s = 63 - std::countl_zero(m_prevStarts);
            m_digits = digitsIn(m_prevX, s, 63);
        }
    }

    void remember(std::uint64_t inValue, std::uint64_t starts, std::uint64_t x) {
        m_prevIn = inValue;
        m_prevStarts = starts;
        m_prevX = x;
        m_havePrev = true;
    }

    void exactBlock(std::uint64_t inValue, std::uint64_t allStarts, std::uint64_t x) {
        remember(inValue, allStarts, x);
        std::uint64_t starts = allStarts;
        std::uint64_t ends = inValue & ~(inValue >> 1);
        if (m_inValue) {
            if (inValue & 1) { // the value before goes on into this block
                const int e = std::countr_zero(ends);
                m_digits += digitsIn(x, 0, e);
                if (e == 63)
                    return;
                ends &= ends - 1;
            }
            end(m_digits, 1);
            m_digits = 0;
            m_inValue = false;
        }
        if (inValue >> 63) { // the last value goes on into the next block
            const int s = 63 - std::countl_zero(starts);
            m_digits = digitsIn(x, s, 63);
            m_inValue = true;
            starts &= ~(std::uint64_t{1} << s);
            ends &= ~(std::uint64_t{1} << 63);
        }
        int length = 0;
        bool hasX = false;
        for (; starts != 0; starts &= starts - 1, ends &= ends - 1) {
            const int s = std::countr_zero(starts);
            const int e = std::countr_zero(ends);
            const std::int64_t digits = digitsIn(x, s, e);
            end(digits, 1);
            length = e - s + 1;
            hasX = digits != length;
            // Only "0x" right at its start, or no 'x', makes a value the next blocks can match.
            if (hasX && (digits != length - 2 || !((x >> (s + 1)) & 1)))
                length = 0;
        }
        // The last whole value sets what the next blocks are checked against; the one still
        // open is counted now, as the uniform count does.
        if (length > 0 && length <= 32 && length - (hasX ? 2 : 0) > 0) {
            m_uniform = true;
            m_length = length;
            m_hasX = hasX;
            if (m_inValue)
                ++m_shape.values;
            m_inValue = false;
            m_digits = 0;
        }
    }

    // `count` values of `digits` each.
    void end(std::int64_t digits, std::uint64_t count) {
        if (digits <= 0) // "0x" alone, or strays
            return;
        const auto d = static_cast<std::uint64_t>(digits);
        m_shape.fewest = m_shape.values == 0 ? d : std::min(m_shape.fewest, d);
        m_shape.most = std::max(m_shape.most, d);
        m_shape.values += count;
    }

    ValueShape m_shape;
    std::int64_t m_digits = 0; ///< counting value by value: the open value's digits so far
    bool m_inValue = false;    ///< counting value by value: a value is open
    bool m_uniform = false;
    int m_length = 0; ///< uniform: every value's characters
    bool m_hasX = false;
    bool m_havePrev = false; ///< the block before was a fast one, its masks these
    std::uint64_t m_prevIn = 0, m_prevStarts = 0, m_prevX = 0;
};

bool DigitsSource::count(Tally& tally, const GoOn& goOn) {
    FileDigitStream stream(m_encoding);
    ShapeCounter shape;
    std::uint64_t done = 0;
    auto put = [&tally](char16_t c) { tally.put(c); };
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        tally.add(stream.countDigits(piece, last, tally.radix(), put));
        shape.feed(piece);
        done += piece.size();
        return goOn(done);
    });
    m_shape = shape.finish();
    if (stream.utf16())
        m_shape.reset();
    return read;
}

bool DigitsSource::copy(DigitSink& writer, const GoOn& goOn) {
    FileDigitStream stream(m_encoding);
    std::uint64_t done = 0;
    return m_reader.read([&](std::string_view piece, bool last) {
        char* const digits = m_room.reserve(mostDigits(piece.size()));
        block::CharSink sink{digits};
        stream.feedDigits(piece, last, sink);
        writer.addDigits(std::string_view(digits, static_cast<std::size_t>(sink.at - digits)));
        done += piece.size();
        return goOn(done);
    });
}

bool DigitsSource::countAndCopy(Tally& tally, DigitSink& writer, const GoOn& goOn) {
    // One strip of each piece counts, checks and copies: the fast path frees only digits of
    // the radix, and the per-character path's characters are checked one by one.
    struct CheckedSink : block::CharSink {
        Tally& tally;
        void operator()(char16_t c) {
            if (IsRadixDigit(c, tally.radix()))
                *at++ = static_cast<char>(c);
            else
                tally.put(c);
        }
    };
    FileDigitStream stream(m_encoding);
    ShapeCounter shape;
    std::uint64_t done = 0;
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        shape.feed(piece);
        char* const digits = m_room.reserve(mostDigits(piece.size()));
        CheckedSink sink{{digits}, tally};
        stream.feedDigits(piece, last, sink, tally.radix());
        tally.add(static_cast<std::uint64_t>(sink.at - digits));
        if (!tally.anyStray())
            writer.addDigits(std::string_view(digits, static_cast<std::size_t>(sink.at - digits)));
        done += piece.size();
        return goOn(done);
    });
    m_shape = shape.finish();
    if (stream.utf16())
        m_shape.reset();
    return read;
}

std::optional<SourcePlace> DigitsSource::find(const std::function<bool(char16_t)>& isIt,
                                              bool /*toEnd*/) {
    FileDigitStream stream(m_encoding);
    std::optional<SourcePlace> found;
    auto check = [&](char16_t c, const TextPosition& at) {
        if (!found && isIt(c)) {
            found.emplace();
            found->at = at;
        }
    };
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        stream.feed(piece, last, check);
        return !found;
    });
    return read ? found : std::nullopt;
}

} // namespace tarnwick
