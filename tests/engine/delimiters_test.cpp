#include "engine/delimiters.h"
#include "support/reference.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace tarnwick {
namespace {

using test::Ascii;

// The product's two paths: character by character, and 64 at a time where blocks allow.
std::u16string StripExact(std::u16string_view text) {
    std::u16string out;
    DelimiterStripper stripper;
    auto emit = [&out](char16_t c) { out += c; };
    for (char16_t c : text)
        stripper.put(c, emit);
    stripper.finish(emit);
    return out;
}

std::u16string StripBlocks(std::u16string_view text) {
    std::u16string out;
    DelimiterStripper stripper;
    auto emit = [&out](char16_t c) { out += c; };
    stripper.feedBlocks(text.data(), text.size(), true, emit);
    stripper.finish(emit);
    return out;
}

struct StripCase {
    const char* name;
    std::u16string input;
    std::u16string expected;
};

void PrintTo(const StripCase& c, std::ostream* os) {
    *os << c.name;
}

class StripDelimitersTest : public testing::TestWithParam<StripCase> {};

TEST_P(StripDelimitersTest, LeavesTheDigitString) {
    EXPECT_EQ(StripExact(GetParam().input), GetParam().expected);
    EXPECT_EQ(reference::StripDelimiters(GetParam().input), GetParam().expected);
    // Padded past a block, so the block path meets the same characters.
    const std::u16string padded = GetParam().input + std::u16string(64, u' ');
    EXPECT_EQ(StripBlocks(padded), GetParam().expected);
    EXPECT_EQ(StripBlocks(std::u16string(64, u'a') + padded),
              std::u16string(64, u'a') + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StripDelimitersTest,
    testing::Values(
        StripCase{"SampleBlockWithPrefixes", u" 0x1F, 0x2e;\r\n{0X3c}", u"1F2e3c"},
        StripCase{"EarlierPassesJoinAPrefix", u"0 x12", u"12"},
        StripCase{"PrefixSplitByLineBreakSurvives", u"0\r\nx1", u"0x1"},
        StripCase{"PrefixPassDoesNotRescan", u"00xx", u"0x"},
        StripCase{"CapitalXPrefixGoesToo", u"0X0x", u""},
        StripCase{"LoneLineEndsStayTabGoes", u"12\n3\r4\t5", u"12\n3\r45"},
        StripCase{"CrCrLfKeepsFirstCr", u"1\r\r\n2", u"1\r2"},
        StripCase{"LfCrIsNoLineBreak", u"1\n\r2", u"1\n\r2"},
        StripCase{"ChineseAndFullWidthStay", u"\u5B57\uFF0C\u6A21", u"\u5B57\uFF0C\u6A21"},
        StripCase{"OnlyDelimiters", u" ,;{}0x\r\n0x,{ }", u""},
        StripCase{"TrailingZeroAndCr", u"a0", u"a0"}, StripCase{"TrailingCr", u"a\r", u"a\r"},
        StripCase{"ZeroBeforeCrLfBeforeX", u"00\r\nx", u"00x"}, StripCase{"Empty", u"", u""}),
    [](const testing::TestParamInfo<StripCase>& info) { return std::string(info.param.name); });

TEST(StripDelimiters, SampleInputLeavesFiveCopiesOfTheDigits) {
    const std::string sample = test::ReadBytes(test::GoldenDir() / "sample_input.txt");
    std::u16string expected;
    for (int i = 0; i < 5; ++i)
        expected += u"00112233445566778899aabbccddeeff";
    EXPECT_EQ(StripExact(Ascii(sample)), expected);
    EXPECT_EQ(StripBlocks(Ascii(sample)), expected);
}

// Random texts of C-array pieces and the characters whose interplay the pass order
// decides, long enough for blocks, with a block boundary anywhere.
TEST(StripDelimiters, BothPathsMatchTheLiteralPassesOnRandomTexts) {
    const std::u16string_view atoms[] = {u"0x1f, ", u"0X0A,", u"ab",     u"0",        u"x",
                                         u"X",      u" ",     u",",      u"\r\n",     u"\r",
                                         u"\n",     u"{",     u"}",      u";",        u"\t",
                                         u"00xx",   u"0 x",   u"\u5B57", u"12345678", u"0\r\nx"};
    std::mt19937 rng(20261207);
    for (int round = 0; round < 200'000; ++round) {
        std::u16string text;
        const std::size_t count = rng() % 80;
        for (std::size_t i = 0; i < count; ++i)
            text += atoms[rng() % (round % 3 == 0 ? std::size(atoms) : 8)];
        const std::u16string literal = reference::StripDelimiters(text);
        const std::u16string exact = StripExact(text);
        const std::u16string blocks = StripBlocks(text);
        if (exact != literal || blocks != literal) {
            std::string shown;
            for (char16_t c : text)
                shown += c < 0x80 ? static_cast<char>(c) : '?';
            FAIL() << (exact != literal ? "exact" : "blocks") << " differs for \"" << shown << "\"";
        }
    }
}

struct LayoutCase {
    const char* name;
    RadixMode radix;
    std::int16_t widthIndex;
    std::size_t digits;
    WordLayout expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

class ComputeLayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(ComputeLayoutTest, GivesWidthDigitsAndDepth) {
    const LayoutCase& c = GetParam();
    const WordLayout layout =
        ComputeLayout(c.radix, test::WidthBits(c.radix, c.widthIndex), c.digits);
    EXPECT_EQ(layout.dataWidth, c.expected.dataWidth);
    EXPECT_EQ(layout.digitsPerWord, c.expected.digitsPerWord);
    EXPECT_EQ(layout.depth, c.expected.depth);
}

constexpr auto Hex = RadixMode::Hexadecimal;
constexpr auto Bin = RadixMode::Binary;

INSTANTIATE_TEST_SUITE_P(
    Cases, ComputeLayoutTest,
    testing::Values(LayoutCase{"Sample8Bits", Hex, 1, 160, {8, 2, 80}},
                    LayoutCase{"Sample12BitsDropsTail", Hex, 2, 160, {12, 3, 53}},
                    LayoutCase{"HalfWordRoundsToEvenZero", Hex, 1, 1, {8, 2, 0}},
                    LayoutCase{"OneAndAHalfRoundsUp", Hex, 1, 3, {8, 2, 2}},
                    LayoutCase{"TwoAndAHalfRoundsDown", Hex, 1, 5, {8, 2, 2}},
                    LayoutCase{"ThreeAndAHalfRoundsUp", Hex, 1, 7, {8, 2, 4}},
                    LayoutCase{"SixteenBitsSixDigits", Hex, 3, 6, {16, 4, 2}},
                    LayoutCase{"SixteenBitsTenDigits", Hex, 3, 10, {16, 4, 2}},
                    LayoutCase{"SixteenBitsFourteenDigits", Hex, 3, 14, {16, 4, 4}},
                    LayoutCase{"LessThanHalfRoundsDown", Hex, 3, 9, {16, 4, 2}},
                    LayoutCase{"MoreThanHalfRoundsUp", Hex, 3, 11, {16, 4, 3}},
                    LayoutCase{"Widest", Hex, 63, 64, {256, 64, 1}},
                    LayoutCase{"Binary8Bits", Bin, 7, 10, {8, 8, 1}},
                    LayoutCase{"Binary1BitDepthIsLength", Bin, 0, 12345, {1, 1, 12345}},
                    LayoutCase{"LargestCount", Bin, 0, kMaxDigitCount, {1, 1, 0x7FFFFFFF}},
                    LayoutCase{"LargestCountOddHalf", Hex, 1, kMaxDigitCount, {8, 2, 0x40000000}},
                    LayoutCase{"NoWidthGivesEmptyLayout", Hex, -1, 10, {0, 0, 0}}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST(ComputeLayout, AgreesWithDoubleDivisionRoundedHalfToEven) {
    // The definition of depth: L / d as a double, rounded to nearest with ties to even.
    for (std::int16_t index = 0; index < 64; ++index) {
        for (std::size_t length = 1; length < 600; ++length) {
            const double exact = static_cast<double>(length) / (index + 1);
            ASSERT_EQ(ComputeLayout(Bin, test::WidthBits(Bin, index), length).depth,
                      std::nearbyint(exact))
                << "index " << index << " length " << length;
        }
    }
}

} // namespace
} // namespace tarnwick
