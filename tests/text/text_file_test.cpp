#include "support/test_support.h"
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

} // namespace
} // namespace tarnwick::text
