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

// The widening Open uses for ASCII files gives, in any pieces, what decoding then making
// line ends CR LF gives, and the longest line as the box counts it.
TEST(AsciiWidener, MatchesDecodingThenLineEndsInAnyPieces) {
    std::mt19937 rng(3);
    const char alphabet[] = "0x1f, \r\n\r\n\t\0aaaaaaaaaaaaaaaaaaaaaaaaa";
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(rng() % 100, ' ');
        for (char& c : bytes)
            c = alphabet[rng() % (sizeof alphabet - 1)];
        std::u16string out(2 * bytes.size(), u'?');
        AsciiWidener widener(out.data());
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t piece = std::min<std::size_t>(1 + rng() % 20, bytes.size() - at);
            ASSERT_TRUE(widener.feed(std::string_view(bytes).substr(at, piece)));
            at += piece;
        }
        out.resize(widener.size());
        const std::u16string expected = NormaliseLineEnds(DecodeText(bytes));
        ASSERT_EQ(out, expected) << "round " << round;
        std::size_t longestExpected = 0;
        for (std::size_t start = 0, at;; start = at + 2) {
            at = expected.find(u"\r\n", start);
            longestExpected = std::max(longestExpected,
                                       (at == std::u16string::npos ? expected.size() : at) - start);
            if (at == std::u16string::npos)
                break;
        }
        ASSERT_EQ(widener.longestLine(), longestExpected) << "round " << round;
    }
    std::u16string out(300, u'?');
    EXPECT_FALSE(AsciiWidener(out.data()).feed(std::string(100, '0') + "\xB0" + "0000000"));
    EXPECT_FALSE(AsciiWidener(out.data()).feed("ab\xD7\xD6"));
}

// Open's reading: an ASCII file widened piece by piece, a CR LF across two pieces one line
// end; a GBK character beyond the first piece sends the whole file to decoding instead.
TEST(ReadTextFile, WidensAsciiAcrossPiecesAndHandsBackAnythingElse) {
    const std::filesystem::path dir = testing::TempDir();
    const auto read = [&](const std::string& bytes, std::u16string& text) {
        const std::filesystem::path path = dir / "read_text_file.txt";
        std::FILE* file = std::fopen(path.string().c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        TextFileRead result = ReadTextFile(path, 1 << 24, [&text](std::size_t units) {
            text.assign(units, u'?');
            return text.data();
        });
        std::filesystem::remove(path);
        if (result.widened)
            text.resize(result.length);
        return result;
    };
    std::string ascii(2 * kTextFilePiece + 10, '5');
    ascii[kTextFilePiece - 1] = '\r';
    ascii[kTextFilePiece] = '\n';
    ascii[kTextFilePiece + 5] = '\n';
    ascii.back() = '\r';
    std::u16string text;
    TextFileRead result = read(ascii, text);
    ASSERT_EQ(result.status, platform::ReadResult::Status::Ok);
    ASSERT_TRUE(result.widened);
    EXPECT_TRUE(text == NormaliseLineEnds(DecodeText(ascii))); // not megabytes in the log
    EXPECT_EQ(result.longest, kTextFilePiece + 3);             // the last line, its final CR aside

    std::string gbk = ascii;
    gbk.replace(kTextFilePiece + 100, 2, "\xD7\xD6");
    result = read(gbk, text);
    ASSERT_EQ(result.status, platform::ReadResult::Status::Ok);
    EXPECT_FALSE(result.widened);
    EXPECT_TRUE(result.bytes == gbk);

    // A file that says it is empty and is not, as /proc's are: more bytes than its size
    // must never be widened into room made for that size.
    std::u16string none;
    result = ReadTextFile("/proc/self/status", 1 << 20, [&none](std::size_t units) {
        none.assign(units, u'?');
        return none.data();
    });
    ASSERT_EQ(result.status, platform::ReadResult::Status::Ok);
    EXPECT_FALSE(result.widened);
    EXPECT_NE(result.bytes.find("Name:"), std::string::npos);

    result = ReadTextFile(dir / "no_such_file.txt", 100, [](std::size_t) -> char16_t* {
        ADD_FAILURE() << "room asked for a missing file";
        return nullptr;
    });
    EXPECT_EQ(result.status, platform::ReadResult::Status::Failed);
    EXPECT_EQ(result.error.code, ENOENT);
}

// A disk that fails while a file is read must not load what came before as the file.
// /proc/self/mem fails its first read with EIO, as a failing disk does.
TEST(LoadTextFile, AReadErrorIsReportedNotLoaded) {
#ifdef _WIN32
    GTEST_SKIP() << "no /proc/self/mem on Windows to fail a read";
#endif
    std::u16string room;
    const LoadedText loaded = LoadTextFile("/proc/self/mem", 1 << 20, [&room](std::size_t n) {
        room.resize(n);
        return room.data();
    });
    EXPECT_EQ(loaded.status, platform::ReadResult::Status::Failed);
    EXPECT_EQ(loaded.error.code, EIO);
    EXPECT_EQ(loaded.error.reason, "Input/output error");
    EXPECT_EQ(loaded.length, 0u);
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
} // namespace tarnwick::text
