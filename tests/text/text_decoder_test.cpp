#include "support/test_support.h"
#include "text/cp936.h"
#include "text/line_ends.h"
#include "text/text_decoder.h"
#include "text/text_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

namespace tarnwick::text {
namespace {

using namespace std::string_literals;

using test::DecodeCase;

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
        DecodeCase{"Utf8Mark",
                   "\xEF\xBB\xBF"
                   "0x\xE5\xAD\x97",
                   Auto, u"0x\u5B57"},
        DecodeCase{"Utf16LeMarkAsNotepadSaves",
                   "\xFF\xFE"
                   "1\0\r\0\n\0\x57\x5B\x3D\xD8\x00\xDE"s,
                   Auto, u"1\r\n\u5B57\U0001F600"},
        DecodeCase{"Utf16BeMark", "\xFE\xFF\0a\x5B\x57"s, Auto, u"a\u5B57"},
        DecodeCase{"Utf8WithoutMark", "ab\n/* \xE9\x9D\x99 */", Auto, u"ab\n/* \u9759 */"},
        DecodeCase{"GbkWithoutMark", "ab\n/* \xBE\xB2 */", Auto, u"ab\n/* \u9759 */"},
        DecodeCase{"GbkPairWhoseLeadStartsUtf8", "ab \xD7\xD6", Auto, u"ab \u5B57"},
        DecodeCase{"GbkPrivateUsePairStays", "\xFE\xFE", Auto, u"\uE4C5"},
        DecodeCase{"AsciiAlone", "0x12, 0x34", Auto, u"0x12, 0x34"},
        // Bytes that never start UTF-8, and a continuation byte alone: GBK decides.
        DecodeCase{"LoneContinuationByteIsGbk",
                   "ab\x80"
                   "12",
                   Auto,
                   test::DecodeCp936("ab\x80"
                                     "12")},
        DecodeCase{"ThirdByteNoContinuationIsGbk",
                   "\xE5\xAD\xC0"
                   "12",
                   Auto,
                   test::DecodeCp936("\xE5\xAD\xC0"
                                     "12")},
        DecodeCase{"OverlongLeadIsGbk",
                   "\xC1\xBF"
                   "12",
                   Auto,
                   test::DecodeCp936("\xC1\xBF"
                                     "12")},
        DecodeCase{"LeadPastU10FFFFIsGbk", "\xF5\x80\x80\x80", Auto,
                   test::DecodeCp936("\xF5\x80\x80\x80")},
        // Detection waits for the first non-ASCII byte, however far in it comes.
        DecodeCase{"Utf8AfterALongAsciiRun", std::string(300, '1') + "\xE5\xAD\x97", Auto,
                   std::u16string(300, u'1') + u"\u5B57"},
        DecodeCase{"GbkAfterALongAsciiRun", std::string(300, '1') + "\xD7\xD6", Auto,
                   std::u16string(300, u'1') + u"\u5B57"},
        DecodeCase{"MarkPrefixThatIsNoMark", "\xEF\xBB", Auto, test::DecodeCp936("\xEF\xBB")},
        DecodeCase{"ForcedGbkKeepsTheMarkBytes", "\xEF\xBB\xBF", TextEncoding::Cp936,
                   test::DecodeCp936("\xEF\xBB\xBF")},
        DecodeCase{"ForcedUtf16LeDropsItsMark",
                   "\xFF\xFE"
                   "a\0"s,
                   TextEncoding::Utf16Le, u"a"},
        DecodeCase{"ForcedUtf8BadByteIsReplaced", "a\xFF", TextEncoding::Utf8, u"a\uFFFD"}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(IsValidUtf8, RefusesOverlongSurrogateAndTooLargeForms) {
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF", false));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF", false));
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF", false));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80", false));
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80", false));
    EXPECT_FALSE(IsValidUtf8("\xE5\xAD", false));
    EXPECT_TRUE(IsValidUtf8("\xE5\xAD", true));
}

// Readers take ASCII bytes straight while nothing is held: half a character held back must
// stop them, or the digits after it would pass ahead of it.
TEST(TextDecoder, AsciiPassesThroughOnlyWithNothingHeld) {
    for (const auto& [encoding, head, tail] :
         {std::tuple{TextEncoding::Utf8, "1\xE5\xAD"s, "\x97"s},
          std::tuple{Auto, "1\xE5\xAD"s, "\x97"s}, std::tuple{Auto, "1\xD7"s, "\xD6"s},
          std::tuple{TextEncoding::Cp936, "1\xD7"s, "\xD6"s}}) {
        SCOPED_TRACE(head);
        TextDecoder decoder(encoding);
        std::u16string out;
        decoder.decode(head, out, false);
        EXPECT_FALSE(decoder.asciiPassesThrough());
        decoder.decode(tail, out, false);
        decoder.decode("23", out, false);
        EXPECT_TRUE(decoder.asciiPassesThrough());
    }
}

} // namespace
} // namespace tarnwick::text
