#include "engine/extract.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace tarnwick {
namespace {

using test::Ascii;

// The removal passes written the slow, obvious way: the reference for the fused one. The
// prefix pass takes "0x" and "0X" alike, in one left-to-right scan.
std::u16string StripByLiteralPasses(std::u16string text) {
    const std::u16string_view passes[] = {u" ", u"\t", u",", u";", u"{", u"}", u"0x", u"\r\n"};
    for (std::u16string_view pattern : passes) {
        std::u16string out;
        std::size_t i = 0;
        while (i < text.size()) {
            const bool prefix = pattern == u"0x" && i + 1 < text.size() && text[i] == u'0' &&
                                (text[i + 1] == u'x' || text[i + 1] == u'X');
            if (prefix || text.compare(i, pattern.size(), pattern) == 0) {
                i += pattern.size();
            } else {
                out.push_back(text[i]);
                ++i;
            }
        }
        text = std::move(out);
    }
    return text;
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
    EXPECT_EQ(StripDelimiters(GetParam().input), GetParam().expected);
    EXPECT_EQ(StripByLiteralPasses(GetParam().input), GetParam().expected);
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
    EXPECT_EQ(StripDelimiters(Ascii(sample)), expected);
}

TEST(StripDelimiters, MatchesLiteralPassesOnAMillionRandomStrings) {
    // An alphabet rich in the characters whose interplay the pass order decides.
    const std::u16string alphabet = u"00000xxxxX   ,,;;{{}}\r\r\r\n\n\n1a\t\u5B57";
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 24);
    for (int round = 0; round < 1'000'000; ++round) {
        std::u16string text(static_cast<std::size_t>(length(rng)), u' ');
        for (char16_t& c : text)
            c = alphabet[pick(rng)];
        const std::u16string fused = StripDelimiters(text);
        const std::u16string literal = StripByLiteralPasses(text);
        if (fused != literal) {
            std::string shown;
            for (char16_t c : text)
                shown += c < 0x80 ? static_cast<char>(c) : '?';
            FAIL() << "differs for input of length " << text.size() << ": \"" << shown << "\"";
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
    const WordLayout layout = ComputeLayout(c.radix, c.widthIndex, c.digits);
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
            ASSERT_EQ(ComputeLayout(Bin, index, length).depth, std::nearbyint(exact))
                << "index " << index << " length " << length;
        }
    }
}

std::vector<std::u16string> Words(const WordList& list) {
    std::vector<std::u16string> words;
    for (std::int32_t k = 0; k < list.size(); ++k)
        words.emplace_back(list[k]);
    return words;
}

using WordVector = std::vector<std::u16string>;

TEST(SplitWords, CutsWordsAndKeepsShortLastWord) {
    EXPECT_EQ(Words(SplitWords(u"abc", 2, 2)), (WordVector{u"ab", u"c"}));
    EXPECT_EQ(Words(SplitWords(u"abcde", 2, 2)), (WordVector{u"ab", u"cd"}));
    EXPECT_EQ(Words(SplitWords(u"abcdefg", 2, 4)), (WordVector{u"ab", u"cd", u"ef", u"g"}));
    EXPECT_EQ(Words(SplitWords(u"abcdefghijklmn", 4, 4)),
              (WordVector{u"abcd", u"efgh", u"ijkl", u"mn"}));
    EXPECT_EQ(Words(SplitWords(u"1010101111", 8, 1)), (WordVector{u"10101011"}));
    EXPECT_TRUE(SplitWords(u"a", 2, 0).empty());
}

TEST(SplitWords, KeepsLoneLineEndsInsideWords) {
    const std::u16string digits = StripDelimiters(u"12\n34");
    const WordLayout layout = ComputeLayout(Hex, 1, digits.size());
    EXPECT_EQ(Words(SplitWords(digits, layout.digitsPerWord, layout.depth)),
              (WordVector{u"12", u"\n3"}));
}

TEST(SplitWords, ClampsADepthThatWouldStartOutsideTheString) {
    EXPECT_EQ(SplitWords(u"abc", 2, 100).size(), 2);
    EXPECT_EQ(SplitWords(u"", 2, 3).size(), 0);
    EXPECT_EQ(SplitWords(u"abc", 0, 3).size(), 3);
}

} // namespace
} // namespace tarnwick
