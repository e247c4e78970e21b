#include "engine/engine.h"
#include "platform/atomic_file.h"
#include "support/memory_io.h"
#include "support/test_support.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace tarnwick {
namespace {

using test::Ascii;

class ConvertToMifTest : public testing::Test {
protected:
    // As the window converts: its text, the list's width, the file on the desktop.
    ConvertResult Convert(std::u16string text, RadixMode radix = RadixMode::Hexadecimal,
                          std::int16_t widthIndex = 1) {
        TextSource source(text);
        ConvertOptions options;
        options.radix = radix;
        options.widthBits = test::WidthBits(radix, widthIndex);
        platform::AtomicFileWriter file(m_output);
        return tarnwick::Convert(source, options, file, m_clock);
    }

    test::TempDir m_dir;
    std::filesystem::path m_output = m_dir / "Vetrask.mif";
    test::FixedClock m_clock;
};

TEST_F(ConvertToMifTest, SampleWritesTheGoldenFile) {
    const std::string sample = test::ReadBytes(test::GoldenDir() / "sample_input.txt");
    const ConvertResult result = Convert(Ascii(sample));
    ASSERT_EQ(result.outcome, ConvertOutcome::Written);
    EXPECT_EQ(result.layout.depth, 80);
    EXPECT_EQ(test::ReadBytes(m_output), test::ReadBytes(test::GoldenDir() / "sample_hex8.mif"));
    EXPECT_EQ(m_dir.entryCount(), 1u) << "no temporary file may remain";
}

TEST_F(ConvertToMifTest, EmptyOrDelimiterOnlyInputTouchesNoFile) {
    test::WriteBytes(m_output, "earlier");
    for (const std::u16string& text : {std::u16string(), std::u16string(u" ,;{}0x\r\n0x")}) {
        // The width is not consulted before the emptiness test.
        EXPECT_EQ(Convert(text, RadixMode::Hexadecimal, -1).outcome, ConvertOutcome::EmptyInput);
        EXPECT_EQ(test::ReadBytes(m_output), "earlier");
    }
    EXPECT_EQ(m_dir.entryCount(), 1u);
}

// Digits that the rounded depth leaves out are refused, never dropped, and placed so the
// window can select them; a short last word that keeps every digit is written.
TEST_F(ConvertToMifTest, DroppedDigitsAreRefusedWithTheirPlace) {
    const struct {
        const char* name;
        std::u16string text;
        std::int16_t widthIndex;
        std::uint64_t count;
        std::size_t offset, length;
        std::uint64_t line, column;
    } cases[] = {
        {"OneDigitAlone", u" a ", 1, 1, 1, 1, 1, 2},
        {"OddDigitAtEightBits", u"12345", 1, 1, 4, 1, 1, 5},
        {"TailAcrossADelimiterOnTheSecondLine", u"abcd\r\nefab c,d", 3, 2, 11, 3, 2, 6},
        {"ZeroXJoinedByTheStripper", u"0 x1230 x4", 2, 1, 9, 1, 1, 10},
        {"TailIsAZeroHeldForAnX", u"1234\r\n0", 1, 1, 6, 1, 2, 1},
    };
    test::WriteBytes(m_output, "earlier");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ConvertResult result = Convert(c.text, RadixMode::Hexadecimal, c.widthIndex);
        ASSERT_EQ(result.outcome, ConvertOutcome::DigitsDropped);
        EXPECT_EQ(result.dropped.count, c.count);
        EXPECT_EQ(result.dropped.digitsPerWord, c.widthIndex + 1);
        EXPECT_EQ(result.dropped.offset, c.offset);
        EXPECT_EQ(result.dropped.length, c.length);
        EXPECT_EQ(result.dropped.at.line, c.line);
        EXPECT_EQ(result.dropped.at.column, c.column);
    }
    EXPECT_EQ(test::ReadBytes(m_output), "earlier");
    EXPECT_EQ(m_dir.entryCount(), 1u);
    ASSERT_EQ(Convert(u"123").outcome, ConvertOutcome::Written);
    EXPECT_NE(test::ReadBytes(m_output).find("\t1\t:\t3;\r\n"), std::string::npos);
}

TEST_F(ConvertToMifTest, NoWidthSelectedWritesNothing) {
    EXPECT_EQ(Convert(u"00112233", RadixMode::Hexadecimal, -1).outcome,
              ConvertOutcome::NoWidthSelected);
    EXPECT_FALSE(std::filesystem::exists(m_output));
    EXPECT_EQ(m_dir.entryCount(), 0u);
}

TEST_F(ConvertToMifTest, SecondConversionReplacesTheFirst) {
    ASSERT_EQ(Convert(u"aabb").outcome, ConvertOutcome::Written);
    m_clock = test::FixedClock(u"2026-12-7", u"10:00:01");
    ASSERT_EQ(Convert(u"110100", RadixMode::Binary, 2).outcome, ConvertOutcome::Written);
    const std::string bytes = test::ReadBytes(m_output);
    EXPECT_NE(bytes.find("2026-12-710:00:01"), std::string::npos);
    EXPECT_NE(bytes.find("\t1\t:\t100;"), std::string::npos);
    EXPECT_EQ(bytes.find("aa;"), std::string::npos);
}

TEST_F(ConvertToMifTest, CreatesAMissingOutputFolder) {
    m_output = m_dir / "desk" / "top" / "Vetrask.mif";
    EXPECT_EQ(Convert(u"ab").outcome, ConvertOutcome::Written);
    EXPECT_TRUE(std::filesystem::exists(m_output));
}

TEST_F(ConvertToMifTest, FolderThatCannotBeCreatedReportsPathAndReason) {
    test::WriteBytes(m_dir / "a-file", "x");
    m_output = m_dir / "a-file" / "Vetrask.mif";
    const ConvertResult result = Convert(u"ab");
    EXPECT_EQ(result.outcome, ConvertOutcome::WriteFailed);
    EXPECT_EQ(result.error.code, ENOTDIR);
    EXPECT_FALSE(result.error.reason.empty());
    EXPECT_EQ(result.error.path, m_dir / "a-file");
}

// Every character left after delimiter removal must be a digit of the radix, or nothing is
// written; the outcome says which character, where, and how many there are.
struct DigitRuleCase {
    const char* name;
    std::u16string text;
    RadixMode radix;
    std::u16string_view firstWords; ///< the words written, joined, when the file is valid
    char32_t first = 0;             ///< otherwise the first stray
    std::uint64_t line = 0, column = 0, count = 0;
    std::size_t offset = 0;
};

void PrintTo(const DigitRuleCase& c, std::ostream* os) {
    *os << c.name;
}

class DigitRuleTest : public ConvertToMifTest, public testing::WithParamInterface<DigitRuleCase> {};

TEST_P(DigitRuleTest, WritesOnlyValidFiles) {
    const DigitRuleCase& c = GetParam();
    test::WriteBytes(m_output, "earlier");
    const ConvertResult result = Convert(c.text, c.radix, 1);
    if (!c.firstWords.empty()) {
        ASSERT_EQ(result.outcome, ConvertOutcome::Written);
        std::string words;
        const std::string bytes = test::ReadBytes(m_output);
        for (std::size_t at = bytes.find("\t:\t"); at != std::string::npos;
             at = bytes.find("\t:\t", at + 1))
            words += bytes.substr(at + 3, bytes.find(';', at) - at - 3);
        EXPECT_EQ(Ascii(words), c.firstWords);
        return;
    }
    ASSERT_EQ(result.outcome, ConvertOutcome::NotADigit);
    EXPECT_EQ(result.strays.first, c.first);
    EXPECT_EQ(result.strays.at.line, c.line);
    EXPECT_EQ(result.strays.at.column, c.column);
    EXPECT_EQ(result.strays.count, c.count);
    EXPECT_EQ(result.strays.offset, c.offset);
    EXPECT_EQ(test::ReadBytes(m_output), "earlier");
    EXPECT_EQ(m_dir.entryCount(), 1u);
}

constexpr auto Hex = RadixMode::Hexadecimal;
constexpr auto Bin = RadixMode::Binary;

INSTANTIATE_TEST_SUITE_P(
    Cases, DigitRuleTest,
    testing::Values(
        DigitRuleCase{"TabSeparatedLikeASpreadsheet", u"03\t04\t07\r\n0a\tFF", Hex, u"0304070aFF"},
        DigitRuleCase{"UpperCasePrefixLikeXxdU", u"0X0A, 0XFF,\r\n0x0b", Hex, u"0AFF0b"},
        DigitRuleCase{"PrefixPassDoesNotRescan", u"00Xx0xX1", Hex, u"", U'x', 1, 4, 2, 3},
        DigitRuleCase{"CommentOnTheSecondLine", u"0x12,\r\n/* font */ 0x34", Hex, u"", U'/', 2, 1,
                      7, 7},
        DigitRuleCase{"DeclarationNamesItsFirstLetter", u"unsigned char a[] = {0x01};", Hex, u"",
                      U'u', 1, 1, 11, 0},
        DigitRuleCase{"SurrogatePairCountsOnce", u"ab\r\n12\U0001F600z\U0001F600", Hex, u"",
                      U'\U0001F600', 2, 3, 3, 6},
        DigitRuleCase{"ByteOrderMarkIsNotData", u"\uFEFF00ff", Hex, u"", U'\uFEFF', 1, 1, 1, 0},
        DigitRuleCase{"LoneLfStaysInItsLine", u"12\n34", Hex, u"", U'\n', 1, 3, 1, 2},
        DigitRuleCase{"HeldCrNamedWhereItStands", u"1\r0x2", Hex, u"", U'\r', 1, 2, 1, 1},
        DigitRuleCase{"CrHeldAfterAZeroNamedWhereItStands", u"10\r2", Hex, u"", U'\r', 1, 3, 1, 2},
        DigitRuleCase{"BinaryRefusesHexDigits", u"0101\r\n0120", Bin, u"", U'2', 2, 3, 1, 8},
        DigitRuleCase{"BinaryTakesItsOwnDigits", u"0101 1111", Bin, u"01011111"}),
    [](const testing::TestParamInfo<DigitRuleCase>& info) { return std::string(info.param.name); });

// Long texts, where the 64-character blocks meet the stray: found wherever it stands.
TEST_F(ConvertToMifTest, StraysInsideLongRunsAreFoundWhereverTheyStand) {
    const struct {
        RadixMode radix;
        std::u16string_view run;
        char16_t digit; ///< replaced by the stray
        std::u16string_view strays;
    } cases[] = {
        {Hex, u"0x3F, ", u'F', u"gG/:@`"},
        {Bin, u"0101 ", u'1', u"2a"},
    };
    for (const auto& c : cases) {
        std::u16string text;
        while (text.size() < 400)
            text += c.run;
        for (char16_t stray : c.strays)
            for (std::size_t at = text.find(c.digit, 60); at < 300;
                 at = text.find(c.digit, at + 37)) {
                std::u16string bad = text;
                bad[at] = stray;
                const ConvertResult result = Convert(bad, c.radix, 1);
                ASSERT_EQ(result.outcome, ConvertOutcome::NotADigit)
                    << "stray " << static_cast<char>(stray) << " at " << at;
                EXPECT_EQ(result.strays.offset, at);
                EXPECT_EQ(result.strays.count, 1u);
            }
    }
    EXPECT_FALSE(std::filesystem::exists(m_output));
}

TEST_F(ConvertToMifTest, ReadOnlyEarlierFileIsKept) {
    test::WriteBytes(m_output, "earlier");
    std::filesystem::permissions(m_output, std::filesystem::perms::owner_read);
    const ConvertResult result = Convert(u"ab");
    EXPECT_EQ(result.outcome, ConvertOutcome::WriteFailed);
    EXPECT_EQ(result.error.code, EACCES);
    EXPECT_EQ(test::ReadBytes(m_output), "earlier");
    EXPECT_EQ(m_dir.entryCount(), 1u);
}

TEST_F(ConvertToMifTest, UnwritableFolderKeepsEarlierFile) {
#ifdef _WIN32
    GTEST_SKIP() << "a folder's permission bits do not stop writing on Windows";
#else
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    test::WriteBytes(m_output, "earlier");
    std::filesystem::permissions(m_dir.path(), std::filesystem::perms::owner_read |
                                                   std::filesystem::perms::owner_exec);
    const ConvertResult result = Convert(u"ab");
    std::filesystem::permissions(m_dir.path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(result.outcome, ConvertOutcome::WriteFailed);
    EXPECT_EQ(result.error.code, EACCES);
    EXPECT_EQ(test::ReadBytes(m_output), "earlier");
#endif
}

TEST_F(ConvertToMifTest, FullDiskMidWriteKeepsEarlierFileAndLeavesNoTemporary) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit (RLIMIT_FSIZE) to fail a write part-way";
#else
    // A file size limit fails the write part-way through, as a full disk does.
    test::WriteBytes(m_output, "earlier");
    const std::u16string digits(4 * 1024 * 1024, u'a');
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const ConvertResult result = Convert(digits);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(result.outcome, ConvertOutcome::WriteFailed);
    EXPECT_EQ(result.error.code, EFBIG);
    EXPECT_EQ(result.error.path, m_output);
    EXPECT_EQ(test::ReadBytes(m_output), "earlier");
    EXPECT_EQ(m_dir.entryCount(), 1u);
#endif
}

TEST_F(ConvertToMifTest, DestinationThatIsAFolderFails) {
    std::filesystem::create_directories(m_output);
    EXPECT_EQ(Convert(u"ab").outcome, ConvertOutcome::WriteFailed);
    EXPECT_EQ(m_dir.entryCount(), 1u);
}

// A failure in either pass, of the reader or of the target, and in one pass or two: the
// conversion fails with the reason, and nothing is committed. The first pass reading fine
// says nothing of the second. Every reader passes its input's failures on.
TEST(ConvertFailures, AFailureInEitherPassCommitsNothing) {
    const auto lines = [](int n, const std::function<std::string(int)>& line) {
        std::string out;
        for (int i = 0; i < n; ++i) // outputs of several chunks: several writes
            out += line(i);
        return out;
    };
    const std::pair<InputFormat, std::string> inputs[] = {
        {InputFormat::Digits, lines(60000, [](int) { return "0x12, 0x34,\n"; })},
        {InputFormat::Readmem, lines(60000, [](int) { return "12 34\n"; })},
        // An address going back: the words given twice are found by reading once more.
        {InputFormat::Readmem, "@1 " + lines(60000, [](int) { return "12 34\n"; }) + "@0 56\n"},
        {InputFormat::Values, lines(60000, [](int) { return "0x12, 0x34,\n"; })},
        {InputFormat::Mif, "WIDTH=8;\nDEPTH=60000;\nADDRESS_RADIX=DEC;\nCONTENT BEGIN\n" +
                               lines(60000, [](int i) { return std::to_string(i) + " : 12;\n"; }) +
                               "END;\n"},
        {InputFormat::Coe, "memory_initialization_radix=16;\nmemory_initialization_vector=\n" +
                               lines(60000, [](int) { return "12,\n"; }) + "34;\n"},
        {InputFormat::Binary, lines(60000, [](int i) { return std::string(2, char(i)); })},
    };
    struct Failure {
        const char* name;
        int reading; ///< the reading of the input that fails (0: none)
        int write;   ///< the write to the target that fails (0: none)
        bool commit; ///< the commit fails
        ConvertOutcome outcome;
    };
    const Failure failures[] = {
        {"first pass reads badly", 1, 0, false, ConvertOutcome::ReadFailed},
        {"second pass reads badly", 2, 0, false, ConvertOutcome::ReadFailed},
        {"a third reading fails", 3, 0, false, ConvertOutcome::ReadFailed},
        {"the first write fails", 0, 1, false, ConvertOutcome::WriteFailed},
        {"the second write fails", 0, 2, false, ConvertOutcome::WriteFailed},
        {"the commit fails", 0, 0, true, ConvertOutcome::WriteFailed},
    };
    for (const auto& [from, input] : inputs)
        for (const Failure& f : failures)
            for (const OutputFormat format : {OutputFormat::Mif, OutputFormat::Mem})
                for (const bool onePass : {false, true}) {
                    SCOPED_TRACE(std::string(RowOf(from).name) + ": " + f.name + ", " +
                                 std::string(RowOf(format).name) + (onePass ? ", one pass" : ""));
                    test::StringReader reader(input, 4096);
                    if (f.reading)
                        reader.failAt(f.reading, 2);
                    test::StringTarget target;
                    if (f.write)
                        target.failAt(f.write);
                    if (f.commit)
                        target.failCommit();
                    ReaderOptions readerOptions;
                    readerOptions.widthBits = 8;
                    const std::unique_ptr<DigitSource> source =
                        RowOf(from).make(reader, readerOptions);
                    ConvertOptions options;
                    options.format = format;
                    options.widthBits = 8;
                    options.onePass = onePass;
                    const ConvertResult result =
                        Convert(*source, options, target, test::FixedClock());
                    // A header that states no depth is written while the input is read, once.
                    if (from == InputFormat::Digits && onePass && !RowOf(format).statesDepth &&
                        f.reading != 1) {
                        EXPECT_EQ(reader.readings(), 1);
                    }
                    // Where the failing call never came (a reader that holds its input, an
                    // output written in fewer writes), the conversion is whole.
                    if (f.reading > reader.readings() || f.write > target.writes()) {
                        EXPECT_EQ(result.outcome, ConvertOutcome::Written);
                        EXPECT_TRUE(target.committed());
                        continue;
                    }
                    EXPECT_EQ(result.outcome, f.outcome);
                    EXPECT_NE(result.error.code, 0);
                    EXPECT_FALSE(target.committed());
                }
}

// Where a refusal stands is found by reading the input again: a read failing there is a
// failed read, never a refusal placed at the start of the file.
TEST(ConvertFailures, AReadFailingWhileARefusalIsPlacedFailsTheRead) {
    const std::pair<std::string, int> inputs[] = {{"12\r\n3g 4h", 8}, {"1234\n5", 16}};
    for (const auto& [input, width] : inputs)
        for (const std::size_t pieces : {std::size_t{0}, std::size_t{1}}) {
            SCOPED_TRACE(input + " failing after " + std::to_string(pieces) + " pieces");
            test::StringReader reader(input, 2);
            reader.failAt(2, pieces);
            ReaderOptions reading;
            reading.widthBits = width;
            const auto source = RowOf(InputFormat::Digits).make(reader, reading);
            ConvertOptions options;
            options.widthBits = width;
            test::StringTarget target;
            const ConvertResult result = Convert(*source, options, target, test::FixedClock());
            EXPECT_EQ(result.outcome, ConvertOutcome::ReadFailed);
            EXPECT_EQ(result.error.code, EIO);
            EXPECT_FALSE(target.committed());
        }
}

} // namespace
} // namespace tarnwick
