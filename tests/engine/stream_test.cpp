#include "engine/engine.h"
#include "platform/cp936.h"
#include "platform/line_ends.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <random>

namespace tarnwick {
namespace {

// Random file bytes rich in what piece boundaries can split: "0x", CR LF, GBK pairs, and
// delimiters between them.
std::string randomFileBytes(std::mt19937& rng) {
    static const char* const atoms[] = {"0",  "x",        "0x",       "\r",   "\n", "\r\n", " ",
                                        ",",  ";",        "{",        "}",    "a",  "F",    "1",
                                        "\t", "\xD7\xD6", "\xA2\xA0", "\x81", "X",  "00xx"};
    std::string bytes;
    const std::size_t count = rng() % 60;
    for (std::size_t i = 0; i < count; ++i)
        bytes += atoms[rng() % std::size(atoms)];
    return bytes;
}

// The whole-text route: what Open and the convert button do with a file's bytes.
std::string wholeMif(const std::string& bytes, RadixMode radix, const WordLayout& layout) {
    const std::u16string digits =
        StripDelimiters(platform::NormaliseLineEnds(platform::DecodeCp936(bytes)));
    StringSink sink;
    WriteMif(sink, radix, layout, SplitWords(digits, layout.digitsPerWord, layout.depth),
             test::FixedClock());
    return sink.bytes();
}

// The streaming route: the bytes in random pieces, the digits handed on piece by piece.
std::string streamedMif(const std::string& bytes, RadixMode radix, const WordLayout& layout,
                        std::mt19937& rng) {
    StringSink sink;
    MifWriter writer(sink, radix, layout, test::FixedClock());
    // GBK forced: an undecided stream may take a piece's valid UTF-8 pair for the file's.
    FileDigitStream stream(platform::TextEncoding::Cp936);
    std::u16string digits;
    auto collect = [&digits](char16_t c, const TextPosition&) { digits += c; };
    for (std::size_t at = 0;;) {
        const std::size_t size = std::min<std::size_t>(rng() % 5, bytes.size() - at);
        const bool last = at + size == bytes.size();
        digits.clear();
        stream.feed(std::string_view(bytes).substr(at, size), last, collect);
        writer.addDigits(digits);
        at += size;
        if (last)
            break;
    }
    writer.finish();
    return sink.bytes();
}

TEST(Streaming, RandomPiecesWriteTheWholeTextsBytes) {
    std::mt19937 rng(11);
    for (int round = 0; round < 20000; ++round) {
        const std::string bytes = randomFileBytes(rng);
        const std::u16string digits =
            StripDelimiters(platform::NormaliseLineEnds(platform::DecodeCp936(bytes)));
        if (digits.empty())
            continue;
        const RadixMode radix = rng() % 2 ? RadixMode::Binary : RadixMode::Hexadecimal;
        const auto widthIndex = static_cast<std::int16_t>(rng() % 6);
        const WordLayout layout = ComputeLayout(radix, widthIndex, digits.size());
        ASSERT_EQ(streamedMif(bytes, radix, layout, rng), wholeMif(bytes, radix, layout))
            << "round " << round;
    }
}

} // namespace
} // namespace tarnwick
