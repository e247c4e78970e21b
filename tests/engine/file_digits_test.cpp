#include "engine/engine.h"
#include "support/reference.h"
#include "support/test_support.h"
#include "text/cp936.h"
#include "text/line_ends.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace tarnwick {
namespace {

// Random file bytes: C-array runs long enough for the block path, and what piece and block
// boundaries can split: "0x", CR LF, GBK pairs, and delimiters between them.
std::string randomFileBytes(std::mt19937& rng) {
    static const char* const atoms[] = {"01, 10, 11, 00, ",
                                        "0x00, 0x1F, 0xa0, ",
                                        "0X0A,\r\n",
                                        "ab\n",
                                        "0",
                                        "x",
                                        "0x",
                                        "\r",
                                        "\n",
                                        "\r\n",
                                        " ",
                                        ",",
                                        ";",
                                        "{",
                                        "}",
                                        "a",
                                        "F",
                                        "1",
                                        "\t",
                                        "\xD7\xD6",
                                        "\xA2\xA0",
                                        "\x81",
                                        "X",
                                        "00xx",
                                        "0x10, 0x01, "};
    std::string bytes;
    const std::size_t count = rng() % 120;
    const std::size_t kinds = rng() % 2 ? std::size(atoms) : 3;
    for (std::size_t i = 0; i < count; ++i)
        bytes += atoms[rng() % kinds];
    return bytes;
}

// The bytes in random pieces through one of the stream's two paths.
std::u16string streamed(const std::string& bytes, bool fast, std::mt19937& rng) {
    FileDigitStream stream(text::TextEncoding::Cp936);
    std::u16string digits;
    auto collect = [&digits](char16_t c) { digits += c; };
    auto collectAt = [&digits](char16_t c, const TextPosition&) { digits += c; };
    for (std::size_t at = 0;;) {
        const std::size_t size = std::min<std::size_t>(rng() % 200, bytes.size() - at);
        const bool last = at + size == bytes.size();
        const std::string_view piece = std::string_view(bytes).substr(at, size);
        if (fast)
            stream.feedDigits(piece, last, collect);
        else
            stream.feed(piece, last, collectAt);
        at += size;
        if (last)
            break;
    }
    return digits;
}

// Both paths of a file's bytes, in any pieces, give the literal passes' digits of the
// decoded text with its line ends made CR LF; and the counting pass counts them.
TEST(Streaming, FastAndExactPathsInRandomPiecesGiveTheReferenceDigits) {
    std::mt19937 rng(11);
    for (int round = 0; round < 20000; ++round) {
        const std::string bytes = randomFileBytes(rng);
        const std::u16string expected =
            reference::StripDelimiters(text::NormaliseLineEnds(test::DecodeCp936(bytes)));
        ASSERT_EQ(streamed(bytes, false, rng), expected) << "exact, round " << round;
        ASSERT_EQ(streamed(bytes, true, rng), expected) << "fast, round " << round;

        // The count splits into digits of the radix and strays exactly as the digits do,
        // whichever path freed them: a '2' counted as binary would write a wrong file.
        for (const RadixMode radix : {RadixMode::Hexadecimal, RadixMode::Binary}) {
            FileDigitStream counting(text::TextEncoding::Cp936);
            std::uint64_t digits = 0, strays = 0;
            auto one = [&](char16_t c) { ++(IsRadixDigit(c, radix) ? digits : strays); };
            for (std::size_t at = 0; at < bytes.size() || at == 0;) {
                const std::size_t size = std::min<std::size_t>(1 + rng() % 200, bytes.size() - at);
                digits += counting.countDigits(std::string_view(bytes).substr(at, size),
                                               at + size == bytes.size(), radix, one);
                at += size;
                if (at == bytes.size())
                    break;
            }
            const auto expectedDigits = static_cast<std::uint64_t>(
                std::count_if(expected.begin(), expected.end(),
                              [radix](char16_t c) { return IsRadixDigit(c, radix); }));
            ASSERT_EQ(digits, expectedDigits) << "digits, round " << round;
            ASSERT_EQ(strays, expected.size() - expectedDigits) << "strays, round " << round;
        }
    }
}

} // namespace
} // namespace tarnwick
