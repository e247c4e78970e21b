#include "platform/cp936.h"
#include "platform/line_ends.h"
#include "platform/text_decoder.h"

#include <gtest/gtest.h>

#include <random>

namespace tarnwick::platform {
namespace {

using namespace std::string_literals;

struct DecodeCase {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
    std::u16string text;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class TextDecoderTest : public testing::TestWithParam<DecodeCase> {};

// Whole, and in random pieces down to single bytes: a mark, a UTF-8 sequence, a UTF-16 unit
// or a GBK pair split between pieces decodes as if it had come whole.
TEST_P(TextDecoderTest, DecodesWholeAndInAnyPieces) {
    const DecodeCase& c = GetParam();
    EXPECT_EQ(DecodeText(c.bytes, c.encoding), c.text);
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        TextDecoder decoder(c.encoding);
        std::u16string out;
        for (std::size_t at = 0;;) {
            const std::size_t size = std::min<std::size_t>(rng() % 4, c.bytes.size() - at);
            const bool last = at + size == c.bytes.size();
            decoder.decode(std::string_view(c.bytes).substr(at, size), out, last);
            at += size;
            if (last)
                break;
        }
        ASSERT_EQ(out, c.text) << "round " << round;
    }
}

constexpr auto Auto = TextEncoding::Auto;

INSTANTIATE_TEST_SUITE_P(
    Cases, TextDecoderTest,
    testing::Values(
        DecodeCase{"Utf8Mark", "\xEF\xBB\xBF" "0x\xE5\xAD\x97", Auto, u"0x\u5B57"},
        DecodeCase{"Utf16LeMarkAsNotepadSaves", "\xFF\xFE" "1\0\r\0\n\0\x57\x5B\x3D\xD8\x00\xDE"s,
                   Auto, u"1\r\n\u5B57\U0001F600"},
        DecodeCase{"Utf16BeMark", "\xFE\xFF\0a\x5B\x57"s, Auto, u"a\u5B57"},
        DecodeCase{"Utf8WithoutMark", "ab\n/* \xE9\x9D\x99 */", Auto, u"ab\n/* \u9759 */"},
        DecodeCase{"GbkWithoutMark", "ab\n/* \xBE\xB2 */", Auto, u"ab\n/* \u9759 */"},
        DecodeCase{"GbkPairWhoseLeadStartsUtf8", "ab \xD7\xD6", Auto, u"ab \u5B57"},
        DecodeCase{"GbkPrivateUsePairStays", "\xFE\xFE", Auto, u"\uE4C5"},
        DecodeCase{"AsciiAlone", "0x12, 0x34", Auto, u"0x12, 0x34"},
        DecodeCase{"MarkPrefixThatIsNoMark", "\xEF\xBB", Auto, DecodeCp936("\xEF\xBB")},
        DecodeCase{"ForcedGbkKeepsTheMarkBytes", "\xEF\xBB\xBF", TextEncoding::Cp936,
                   DecodeCp936("\xEF\xBB\xBF")},
        DecodeCase{"ForcedUtf16LeDropsItsMark", "\xFF\xFE" "a\0"s, TextEncoding::Utf16Le, u"a"},
        DecodeCase{"ForcedUtf8BadByteIsReplaced", "a\xFF", TextEncoding::Utf8, u"a\uFFFD"}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

// The one-pass widening Open uses for ASCII files gives what decoding then making line
// ends CR LF gives, and the longest line as the box counts it.
TEST(WidenAsciiText, MatchesDecodingThenLineEnds) {
    std::mt19937 rng(3);
    const char alphabet[] = "0x1f, \r\n\r\n\t\0aaaaaaaaaaaaaaaaaaaaaaaaa";
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(rng() % 100, ' ');
        for (char& c : bytes)
            c = alphabet[rng() % (sizeof alphabet - 1)];
        const auto room = AsciiTextRoom(bytes);
        ASSERT_TRUE(room);
        std::u16string out(*room, u'?');
        std::size_t longest = 0;
        out.resize(WidenAsciiText(bytes, out.data(), longest));
        const std::u16string expected = NormaliseLineEnds(DecodeText(bytes));
        ASSERT_EQ(out, expected) << "round " << round;
        ASSERT_GE(*room, expected.size()) << "round " << round;
        std::size_t longestExpected = 0;
        for (std::size_t start = 0, at;; start = at + 2) {
            at = expected.find(u"\r\n", start);
            longestExpected = std::max(longestExpected, (at == std::u16string::npos ? expected.size() : at) - start);
            if (at == std::u16string::npos)
                break;
        }
        ASSERT_EQ(longest, longestExpected) << "round " << round;
    }
    EXPECT_FALSE(AsciiTextRoom("ab\xD7\xD6"));
    // Files long enough for the scan to add up its counts many times over.
    EXPECT_EQ(AsciiTextRoom(std::string(5000, '\n') + "\r\n0x1f"), 10008u);
    EXPECT_FALSE(AsciiTextRoom(std::string(5000, '0') + "\xB0" + std::string(100, '0')));
}

TEST(IsValidUtf8, RefusesOverlongSurrogateAndTooLargeForms) {
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF", false));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF", false));
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF", false));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80", false));
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80", false));
    EXPECT_FALSE(IsValidUtf8("\xE5\xAD", false));
    EXPECT_TRUE(IsValidUtf8("\xE5\xAD", true));
}

} // namespace
} // namespace tarnwick::platform
