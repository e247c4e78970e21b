// Every reader through the driver, over inputs in memory cut into pieces of every size: the
// words each format gives, and what it says of the input, at its place.

#include "engine/engine.h"
#include "support/memory_io.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace tarnwick {
namespace {

constexpr auto Hex = RadixMode::Hexadecimal;
constexpr auto Bin = RadixMode::Binary;
constexpr auto Written = ConvertOutcome::Written;

struct ReaderCase {
    const char* name;
    InputFormat from;
    RadixMode radix;
    int widthBits; ///< 0: the input's, where the reader sets it
    std::string input;
    ConvertOutcome outcome;
    std::string words;        ///< Written: the words, one a line
    std::string said;         ///< the diagnostics and refusals, as Said() words them
    bool strict = false;      ///< every warning refused
    bool unknownZero = false; ///< x, z and ? read as 0
};

void PrintTo(const ReaderCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Repeated(const std::string& text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

std::string Place(const TextPosition& at) {
    return std::to_string(at.line) + ":" + std::to_string(at.column) + ": ";
}

// What the result says, one finding a line, in a form short enough to read in a table.
std::string Said(const ConvertResult& result) {
    std::string said;
    for (const Diagnostic& d : result.diagnostics) {
        const std::string severity = d.isError() ? "error: " : "warning: ";
        switch (d.kind) {
        case Diagnostic::Kind::ShortLastWord:
            said += severity + "short " + std::to_string(d.count) + "/" + std::to_string(d.of);
            break;
        case Diagnostic::Kind::FilledLastWord:
            said += severity + "filled " + std::to_string(d.count) + "/" + std::to_string(d.of) +
                    " with " + d.text;
            break;
        case Diagnostic::Kind::JoinedValues:
            said += severity + "joined " + std::to_string(d.count) + " of " +
                    std::to_string(d.fewest) + "-" + std::to_string(d.most) + " into " +
                    std::to_string(d.of);
            break;
        case Diagnostic::Kind::DeeperThanPadding:
            said += severity + "deeper " + std::to_string(d.count) + "/" + std::to_string(d.of);
            break;
        case Diagnostic::Kind::Reader:
            said += (d.place ? Place(d.place->at) : std::string()) + severity + d.text;
            break;
        }
        said += "\n";
    }
    if (result.outcome == ConvertOutcome::NotADigit) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(result.strays.first));
        said += Place(result.strays.at) + "not a digit: " + code + " (" +
                std::to_string(result.strays.count) + ")\n";
    }
    if (result.outcome == ConvertOutcome::DigitsDropped)
        said += (result.dropped.placed ? Place(result.dropped.at) : std::string("no place: ")) +
                "dropped " + std::to_string(result.dropped.count) + " of " +
                std::to_string(result.dropped.digitsPerWord) + "\n";
    return said;
}

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

// The words of a memory file, its comment banner left out.
std::string Words(const std::string& mem) {
    std::string words;
    std::size_t start = 0;
    for (std::size_t end; (end = mem.find('\n', start)) != std::string::npos; start = end + 1)
        if (mem.compare(start, 2, "//") != 0)
            words += mem.substr(start, end + 1 - start);
    return words;
}

// The words against those expected. A long list is only said to differ, and where: gtest's
// line diff of 64 Ki words would take all the memory there is.
void ExpectWords(const std::string& mem, const std::string& expected) {
    const std::string words = Words(mem);
    if (words.size() + expected.size() < 4096) {
        EXPECT_EQ(words, expected);
        return;
    }
    const auto [got, want] =
        std::mismatch(words.begin(), words.end(), expected.begin(), expected.end());
    EXPECT_TRUE(got == words.end() && want == expected.end())
        << words.size() << " bytes of words, " << expected.size() << " expected; the first "
        << "difference at byte " << (got - words.begin()) << " (line "
        << std::count(words.begin(), got, '\n') + 1 << ")";
}

// A file the reader must refuse: nothing written, the first fault named where it stands.
ReaderCase Refused(const char* name, InputFormat from, int widthBits, std::string input,
                   std::string said) {
    ReaderCase c{name, from, Hex, widthBits, std::move(input), ConvertOutcome::Malformed, "", ""};
    c.said = std::move(said);
    return c;
}

const std::string kMifHead = "WIDTH=8;DEPTH=2;\nCONTENT BEGIN\n";
const std::string kCoeHead = "memory_initialization_radix=16;\n";

// Converts with a progress that checks what a progress bar relies on: a reader that cannot
// know its work beforehand says 0, and no other total is ever passed.
ConvertResult ConvertWatched(DigitSource& source, const ConvertOptions& options,
                             test::StringTarget& target) {
    std::uint64_t beyond = 0;
    const ConvertResult result = Convert(source, options, target, test::FixedClock(),
                                         [&beyond](std::uint64_t done, std::uint64_t total) {
                                             beyond += total > 0 && done > total;
                                             return true;
                                         });
    EXPECT_EQ(beyond, 0u) << "progress went past its total";
    return result;
}

class ReaderTest : public testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTest, GivesTheWordsAndSaysWhereInAnyPieces) {
    const ReaderCase& c = GetParam();
    // 66: a block read fast, then a few bytes the slow way, in each piece.
    for (const std::size_t piece :
         {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{66}, c.input.size()})
        for (const bool onePass : {false, true}) {
            SCOPED_TRACE("pieces of " + std::to_string(piece) + (onePass ? ", one pass" : ""));
            test::StringReader reader(c.input, std::max<std::size_t>(piece, 1));
            ReaderOptions reading;
            reading.radix = c.radix;
            reading.widthBits = c.widthBits;
            reading.unknownAsZero = c.unknownZero;
            const auto source = RowOf(c.from).make(reader, reading);
            ConvertOptions options;
            options.format = OutputFormat::Mem;
            options.radix = c.radix;
            options.widthBits = c.widthBits;
            options.warningsRefused = c.strict;
            options.onePass = onePass;
            test::StringTarget target;
            const ConvertResult result = ConvertWatched(*source, options, target);
            EXPECT_EQ(result.outcome, c.outcome);
            EXPECT_EQ(Said(result), c.said);
            EXPECT_EQ(target.committed(), c.outcome == Written);
            if (c.outcome == Written) {
                ExpectWords(target.bytes(), c.words);
            }
        }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Readers, ReaderTest,
    testing::Values(
        ReaderCase{"DigitsCArrayWithLinuxLineEnds", InputFormat::Digits, Hex, 8,
                   "0x12, 0x34,\n0xab, 0xcd\n", Written, "12\n34\nab\ncd\n", ""},
        ReaderCase{"DigitsShortLastWordIsWarnedOf", InputFormat::Digits, Hex, 8,
                   "12 34 567", Written, "12\n34\n56\n07\n",
                   "warning: short 1/2\nwarning: joined 3 of 2-3 into 2\n"},
        ReaderCase{"DigitsShortLastWordRefusedWhenStrict", InputFormat::Digits, Hex, 8,
                   "12 34 567", ConvertOutcome::WarningRefused, "",
                   "error: short 1/2\nwarning: joined 3 of 2-3 into 2\n", true},
        ReaderCase{"DigitsStrayNamedWhereItStands", InputFormat::Digits, Hex, 8,
                   "12\r\n3g 4h", ConvertOutcome::NotADigit, "", "2:2: not a digit: U+0067 (2)\n"},
        ReaderCase{"DigitsTailTooShortRefusedAtItsStart", InputFormat::Digits, Hex, 16,
                   "1234\n5", ConvertOutcome::DigitsDropped, "", "2:1: dropped 1 of 4\n"},
        ReaderCase{"DigitsUtf16WithItsMark", InputFormat::Digits, Hex, 8,
                   std::string("\xFF\xFE" "0\0x\0" "1\0" "2\0" ",\0" "3\0" "4\0", 16), Written,
                   "12\n34\n", ""},
        // Values of other lengths than a word's are joined, and said to be, whatever the
        // blocks and pieces they cross.
        ReaderCase{"DigitsFullWidthArrayIsNotSaidToJoin", InputFormat::Digits, Hex, 8,
                   Repeat("0x1f, ", 40) + "\r\n" + Repeat("0XAB,", 30), Written,
                   Repeat("1f\n", 40) + Repeat("AB\n", 30), ""},
        ReaderCase{"DigitsOneShortValueAmongManyIsSaid", InputFormat::Digits, Hex, 8,
                   Repeat("0x1f,", 30) + "0x2," + Repeat("0x3c,", 30) + "0x4", Written,
                   Repeat("1f\n", 30) + "23\n" + Repeat("c3\n", 29) + "c4\n",
                   "warning: joined 62 of 1-2 into 2\n"},
        ReaderCase{"DigitsTwoShortValuesAreSaid", InputFormat::Digits, Hex, 8, "0x1, 0x2",
                   Written, "12\n", "warning: joined 2 of 1-1 into 2\n"},
        ReaderCase{"DigitsOneLongValueIsShortNotJoined", InputFormat::Digits, Hex, 8, "0x123",
                   Written, "12\n03\n", "warning: short 1/2\n"},
        // Blocks whose values end where the last block's did, but with another count of digits.
        ReaderCase{"DigitsSameLengthOtherDigitCountsAreSaid", InputFormat::Digits, Hex, 8,
                   Repeat("0x12, ", 22) + Repeat("0012, ", 22) + Repeat("0x12, ", 22), Written,
                   Repeat("12\n", 22) + Repeat("00\n12\n", 22) + Repeat("12\n", 22),
                   "warning: joined 66 of 2-4 into 2\n"},
        // A long value ended in the next block, then a short one in the slow tail: each is
        // counted from its own first digit.
        ReaderCase{"DigitsLongValuesAcrossBlocksThenAShortOne", InputFormat::Digits, Hex, 8,
                   Repeat("12 ", 4) + "  " + Repeat("ab", 35) + " " + Repeat("cd", 18) +
                       "       12\n",
                   Written, Repeat("12\n", 4) + Repeat("ab\n", 35) + Repeat("cd\n", 18) + "12\n",
                   "warning: joined 7 of 2-70 into 2\n"},
        ReaderCase{"DigitsBytesJoinedIntoWiderWordsAreSaid", InputFormat::Digits, Hex, 16,
                   Repeat("00 11 22 33 ", 20), Written, Repeat("0011\n2233\n", 20),
                   "warning: joined 80 of 2-2 into 4\n"},
        ReaderCase{"DigitsOnlyDelimiters", InputFormat::Digits, Hex, 8,
                   " ,;{}\n", ConvertOutcome::EmptyInput, "", ""},
        ReaderCase{"DigitsBinaryRadix", InputFormat::Digits, Bin, 4,
                   "0101 1100", Written, "0101\n1100\n", ""},
        ReaderCase{"ReadmemWordsGapsAndComments", InputFormat::Readmem, Hex, 0,
                   "// rom\n@2 1_F /* skip */ 3\n@6 ff\n", Written,
                   "00\n00\n1F\n03\n00\n00\nff\n",
                   "2:1: warning: 2 words from @0 filled with zeros (2 gaps, 4 words in all)\n"},
        ReaderCase{"ReadmemWidthIsTheWidestWords", InputFormat::Readmem, Hex, 0,
                   "1\nabc\n12\n", Written, "001\nabc\n012\n", ""},
        ReaderCase{"ReadmemWidthFromAPlainPieceAfterTheFirst", InputFormat::Readmem, Hex, 0,
                   "1\n2\n3\n4\n0abc\n", Written, "001\n002\n003\n004\nabc\n", ""},
        ReaderCase{"ReadmemWidthCountsZerosAfterTheFirstDigit", InputFormat::Readmem, Hex, 0,
                   "1\n100\n", Written, "001\n100\n", ""},
        ReaderCase{"ReadmemWidthCountsNoUnderscore", InputFormat::Readmem, Hex, 0,
                   "DEAD_BEEF\n12\n", Written, "DEADBEEF\n00000012\n", ""},
        ReaderCase{"ReadmemLeadingZerosNeverMakeAWordTooWide", InputFormat::Readmem, Hex, 8,
                   "0012\n3\n", Written, "12\n03\n", ""},
        // At 6 bits only a word's second digit may be 4 to f; a word of one digit is that digit.
        ReaderCase{"ReadmemOddWidthShortWordKeepsItsValue", InputFormat::Readmem, Hex, 6,
                   "3f 5\n", Written, "3f\n05\n", ""},
        ReaderCase{"ReadmemWordWiderThanTheWidthRefused", InputFormat::Readmem, Hex, 8,
                   "12 123\n", ConvertOutcome::Malformed, "",
                   "1:4: error: the word '123' is wider than 8 bits\n"},
        ReaderCase{"ReadmemAddressGoingBackLoadsTheLaterWord", InputFormat::Readmem, Hex, 0,
                   "11\n22\n33\n@1\n99\n", Written, "11\n99\n33\n",
                   "5:1: warning: the word for @1 was given before, at 2:1: the later word wins, "
                   "as simulators load it (1 word given again)\n"},
        ReaderCase{"ReadmemGoingBackGapsAreTheImagesOwn", InputFormat::Readmem, Hex, 0,
                   "@4 11 @0 22 33 44 55 @6 66", Written, "22\n33\n44\n55\n11\n00\n66\n",
                   "warning: 1 word from @5 filled with zeros\n"},
        ReaderCase{"ReadmemLineCommentRunsToLineFeedOnly", InputFormat::Readmem, Hex, 0,
                   "11 // c\r22\n33\r\n", Written, "11\n33\n", ""},
        ReaderCase{"ReadmemCrThenAWordThenTwoLfs", InputFormat::Readmem, Hex, 0,
                   "11\r22\n\nzz", ConvertOutcome::NotADigit, "", "4:1: not a digit: U+007A (2)\n"},
        ReaderCase{"ReadmemCarriageReturnsEndNoComment", InputFormat::Readmem, Hex, 0,
                   "// header\r11\r22\r", ConvertOutcome::EmptyInput, "", ""},
        ReaderCase{"ReadmemAddressWithNoWordMovesNothing", InputFormat::Readmem, Hex, 0,
                   "11\n@4\n", Written, "11\n",
                   "2:1: warning: '@4' is followed by no word: it moves nothing and adds none\n"},
        ReaderCase{"ReadmemOnlyTheLastOfTwoAddressesCounts", InputFormat::Readmem, Hex, 0,
                   "11 @5 @2 22", Written, "11\n00\n22\n",
                   "1:7: warning: 1 word from @1 filled with zeros\n"},
        ReaderCase{"ReadmemLoneSlashRefused", InputFormat::Readmem, Hex, 0,
                   "11 / 22\n", ConvertOutcome::Malformed, "",
                   "1:4: error: '/' starts no comment: only // and /* */ may stand here\n"},
        ReaderCase{"ReadmemSlashBeforeAnAddressRefused", InputFormat::Readmem, Hex, 0,
                   "11 /@3 33\n", ConvertOutcome::Malformed, "",
                   "1:4: error: '/' starts no comment: only // and /* */ may stand here\n"},
        ReaderCase{"ReadmemSlashAtTheEndRefused", InputFormat::Readmem, Hex, 0,
                   "11 /", ConvertOutcome::Malformed, "",
                   "1:4: error: '/' starts no comment: only // and /* */ may stand here\n"},
        ReaderCase{"ReadmemVerticalTabIsNoBlank", InputFormat::Readmem, Hex, 0,
                   "11\v22\n", ConvertOutcome::NotADigit, "", "1:3: not a digit: U+000B (1)\n"},
        ReaderCase{"ReadmemFormFeedIsABlank", InputFormat::Readmem, Hex, 0,
                   "11\f22", Written, "11\n22\n", ""},
        ReaderCase{"ReadmemByteOrderMarkIsWarnedOf", InputFormat::Readmem, Hex, 0,
                   "\xEF\xBB\xBF" "11\n22\n", Written, "11\n22\n",
                   "1:1: warning: the file starts with a byte-order mark, which simulators do not "
                   "read; it is not a word here\n"},
        ReaderCase{"ReadmemHundredsOfLeadingZeros", InputFormat::Readmem, Hex, 8,
                   std::string(300, '0') + "12\n_0_0_1\n", Written, "12\n01\n", ""},
        ReaderCase{"ReadmemBinaryWordsOf256Bits", InputFormat::Readmem, Bin, 0,
                   "1" + std::string(255, '0') + "\n1\n", Written,
                   "1" + std::string(255, '0') + "\n" + std::string(255, '0') + "1\n", ""},
        ReaderCase{"ReadmemWideWordWithAStrayNamesTheStray", InputFormat::Readmem, Hex, 0,
                   "12 g" + std::string(70, '1'), ConvertOutcome::NotADigit, "",
                   "1:4: not a digit: U+0067 (1)\n"},
        ReaderCase{"ReadmemUnknownDigitsRefused", InputFormat::Readmem, Hex, 0,
                   "1x 2z\n", ConvertOutcome::NotADigit, "", "1:2: not a digit: U+0078 (2)\n"},
        ReaderCase{"ReadmemUnknownDigitsReadAsZeroWhenAsked", InputFormat::Readmem, Hex, 0,
                   "1x 2z\n3? X1 g\n", ConvertOutcome::NotADigit, "", "2:7: not a digit: U+0067 (1)\n",
                   false, true},
        ReaderCase{"ReadmemUnknownDigitsReadAsZero", InputFormat::Readmem, Hex, 0,
                   "1x 2z\n3? X1\n", Written, "10\n20\n30\n01\n",
                   "1:2: warning: 4 unknown digits (x, z or ?) read as 0 (--unknown=zero)\n",
                   false, true},
        ReaderCase{"ReadmemOneUnknownDigitReadAsZero", InputFormat::Readmem, Hex, 0, "12 x4\n",
                   Written, "12\n04\n",
                   "1:4: warning: 1 unknown digit (x, z or ?) read as 0 (--unknown=zero)\n", false,
                   true},
        ReaderCase{"ReadmemAddressThatIsNoNumberRefused", InputFormat::Readmem, Hex, 0,
                   "12 @zz\n", ConvertOutcome::Malformed, "",
                   "1:4: error: '@zz' is not an address: @ takes a hexadecimal number\n"},
        // The last address 64 bits hold, then one more word: never a depth wrapped round.
        ReaderCase{"ReadmemWordsAtTheTopOfSixtyFourBitsAreTooMany", InputFormat::Readmem, Hex, 0,
                   "12 @FFFFFFFFFFFFFFFF 5 6\n", ConvertOutcome::InputTooLarge, "", ""},
        ReaderCase{"ReadmemAddressWithUnderscores", InputFormat::Readmem, Hex, 0, "11 @1_0 22",
                   Written, "11\n" + Repeat("00\n", 15) + "22\n",
                   "1:4: warning: 15 words from @1 filled with zeros\n"},
        ReaderCase{"ReadmemAddressOfAnUnderscoreAloneRefused", InputFormat::Readmem, Hex, 0,
                   "12 @_\n", ConvertOutcome::Malformed, "",
                   "1:4: error: '@_' is not an address: @ takes a hexadecimal number\n"},
        ReaderCase{"ReadmemGapRefusedWhenStrict", InputFormat::Readmem, Hex, 0,
                   "1 @3 2", ConvertOutcome::WarningRefused, "",
                   "1:3: error: 2 words from @1 filled with zeros\n", true},
        ReaderCase{"ReadmemStrayNamedInsideItsWord", InputFormat::Readmem, Hex, 0,
                   "12\r\n0_03g\n", ConvertOutcome::NotADigit, "", "2:5: not a digit: U+0067 (1)\n"},
        ReaderCase{"ReadmemOnlyComments", InputFormat::Readmem, Hex, 0,
                   "// a\n/* b\n c */\n", ConvertOutcome::EmptyInput, "", ""},
        ReaderCase{"ReadmemWordAfterACrEndsNoLfOfIt", InputFormat::Readmem, Hex, 0,
                   "11\r22\nzz\n", ConvertOutcome::NotADigit, "", "3:1: not a digit: U+007A (2)\n"},
        ReaderCase{"ReadmemStrayLineCountsCrLfOnce", InputFormat::Readmem, Hex, 0,
                   "12\r\n34\r\nzz\r\n", ConvertOutcome::NotADigit, "",
                   "3:1: not a digit: U+007A (2)\n"},
        ReaderCase{"ReadmemEveryLineEnd", InputFormat::Readmem, Hex, 0,
                   "12\r\n34\r56\n78", Written, "12\n34\n56\n78\n", ""},
        ReaderCase{"ReadmemBlockCommentClosedByStars", InputFormat::Readmem, Hex, 0,
                   "/** x **/ 12 /*/ 34 */ 56", Written, "12\n56\n", ""},
        ReaderCase{"ReadmemBinaryWidthIsTheWidestValue", InputFormat::Readmem, Bin, 0,
                   "0101\n11\n", Written, "101\n011\n", ""},
        ReaderCase{"ValuesUnpaddedEachAWord", InputFormat::Values, Hex, 8,
                   "0x1, 0x2, 0x3, 0x4\n", Written, "01\n02\n03\n04\n", ""},
        ReaderCase{"ValuesInsideBracesOnlyCommentsSkipped", InputFormat::Values, Hex, 0,
                   "/*-- \xE6\x96\x87\xE5\xAD\x97: \xE4\xB8\xAD --*/\n#define N 2\n"
                   "static const unsigned char font16x8[256] = { 0x1, // one\n 0x2 };\n"
                   "unsigned int font_len = 2;\n",
                   Written, "1\n2\n", ""},
        ReaderCase{"ValuesDecimalSignedVerilogAndSuffixes", InputFormat::Values, Hex, 0,
                   "{ 55, 23, -128, 127, 8'hFF, 'b1010, 8'o17, 8'D9, 0x10ULL, 7u, 0b101, 0O17 }",
                   Written, "37\n17\n80\n7f\nFF\n0a\n0f\n09\n10\n07\n05\n0f\n", ""},
        ReaderCase{"ValuesNegativeIsTwosComplementAtTheWidth", InputFormat::Values, Hex, 16,
                   "[-1, -32768, 0xfff_f]", Written, "ffff\n8000\nffff\n", ""},
        ReaderCase{"ValuesNegativeIsTwosComplementPast64Bits", InputFormat::Values, Hex, 72,
                   "[-1, -18446744073709551616]", Written,
                   "ffffffffffffffffff\nff0000000000000000\n", ""},
        ReaderCase{"ValuesNegativeBeyondTheWidthRefused", InputFormat::Values, Hex, 16,
                   "[-1,\n -32769]", ConvertOutcome::Malformed, "",
                   "2:2: error: the value '-32769' is wider than 16 bits\n"},
        ReaderCase{"ValuesLeadingZeroReadAsDecimal", InputFormat::Values, Hex, 8,
                   "{7, 010, 011}", Written, "07\n0a\n0b\n",
                   "1:5: warning: '010' is read as a decimal number, as is every number here with "
                   "a leading 0; C would read it as octal\n"},
        // Each as wide as a word in hex digits: still decimal, never the digits as they stand.
        ReaderCase{"ValuesEveryNumberWithLeadingZerosIsDecimal", InputFormat::Values, Hex, 8,
                   "{0010, 0011}", Written, "0a\n0b\n",
                   "1:2: warning: '0010' is read as a decimal number, as is every number here "
                   "with a leading 0; C would read it as octal\n"},
        ReaderCase{"ValuesWiderThanTheWidthRefusedAtItsPlace", InputFormat::Values, Hex, 8,
                   "{ 0x12,\r\n  0x123 }", ConvertOutcome::Malformed, "",
                   "2:3: error: the value '0x123' is wider than 8 bits\n"},
        ReaderCase{"ValuesOtherCharacterRefusedAmongTheValues", InputFormat::Values, Hex, 8,
                   "x = {1, (2)};", ConvertOutcome::Malformed, "",
                   "1:9: error: '(' is no part of a value: values are numbers between commas or "
                   "blanks\n"},
        ReaderCase{"ValuesEveryNumberWithoutBrackets", InputFormat::Values, Bin, 4,
                   "1 2\n3", Written, "0001\n0010\n0011\n", ""},
        ReaderCase{"ValuesBadDigitNamedInItsNumber", InputFormat::Values, Hex, 8,
                   "{0x1g}", ConvertOutcome::Malformed, "",
                   "1:5: error: 'g' is not a hexadecimal digit, in '0x1g'\n"},
        ReaderCase{"ValuesControlCharacterNamedByItsCode", InputFormat::Values, Hex, 8,
                   "{1,\x1f 2}", ConvertOutcome::Malformed, "",
                   "1:4: error: U+001F is no part of a value: values are numbers between commas or "
                   "blanks\n"},
        ReaderCase{"ValuesLongestValueWithLeadingZeros", InputFormat::Values, Hex, 8,
                   "{1, 0x" + std::string(1020, '0') + "12}", Written, "01\n12\n", ""},
        // Brackets on a later line than the first, where the fast scan stands: only they count.
        ReaderCase{"ValuesInBracketsFromTheSecondLine", InputFormat::Values, Hex, 8,
                   "9\n[1, 2]\n", Written, "01\n02\n", ""},
        // Twenty decimal digits, past what 64 bits hold, and a mark where two files were joined.
        ReaderCase{"ValuesTwentyDecimalDigitsAndAJoinedFilesMark", InputFormat::Values, Hex, 72,
                   "{1, 99999999999999999999,\xEF\xBB\xBF 2}", Written,
                   "000000000000000001\n056bc75e2d630fffff\n000000000000000002\n", ""},
        // More words than one flush of the buffer holds.
        ReaderCase{"ValuesManyMoreThanOneFlush", InputFormat::Values, Hex, 8,
                   Repeat("1,", 40000) + "2", Written, Repeat("01\n", 40000) + "02\n", ""},
        Refused("ValuesWiderThan256BitsWithoutAWidthRefused", InputFormat::Values, 0,
                "{1,\n 0x1" + std::string(64, '0') + "}",
                "2:2: error: the value '0x1" + std::string(64, '0') + "' is wider than 256 bits\n"),
        Refused("ValuesDecimalPast256BitsRefused", InputFormat::Values, 8,
                "{1, " + std::string(80, '9') + "}",
                "1:5: error: the value '" + std::string(80, '9') + "' is wider than 256 bits\n"),
        Refused("ValuesFractionRefused", InputFormat::Values, 8, "{1, 1.5}",
                "1:6: error: '1.5' is not a whole number\n"),
        Refused("ValuesLongerThanAnyWordRefused", InputFormat::Values, 8,
                "{1, 0x" + std::string(1100, '1') + "}",
                "1:5: error: the value '0x" + std::string(78, '1') + "...' is wider than 256 bits\n"),
        ReaderCase{"ValuesOfTheWidestWordSetTheWidth", InputFormat::Values, Hex, 0,
                   "{0x" + std::string(64, 'f') + ", 1}", Written,
                   std::string(64, 'f') + "\n" + std::string(63, '0') + "1\n", ""},
        ReaderCase{"ValuesVerilogUnknownDigitRefused", InputFormat::Values, Hex, 8, "{8'h1x}",
                   ConvertOutcome::Malformed, "",
                   "1:6: error: 'x' in '8'h1x' has no value: a memory word takes 0 and 1 only\n"},
        ReaderCase{"ValuesVerilogHighImpedanceDigitRefused", InputFormat::Values, Hex, 8,
                   "{4'b10Z1}", ConvertOutcome::Malformed, "",
                   "1:7: error: 'Z' in '4'b10Z1' has no value: a memory word takes 0 and 1 only\n"},
        // '@' and '`' stand next to the letters in ASCII, as 'z' does at the other end.
        ReaderCase{"ValuesAtSignAfterADigitIsNoLetter", InputFormat::Values, Hex, 8, "{1@, 2}",
                   ConvertOutcome::Malformed, "",
                   "1:3: error: '@' is no part of a value: values are numbers between commas or "
                   "blanks\n"},
        ReaderCase{"ValuesBadSuffixNamedAsWritten", InputFormat::Values, Hex, 8, "{1ullu, 2}",
                   ConvertOutcome::Malformed, "",
                   "1:3: error: 'u' is not a decimal digit, in '1ullu'\n"},
        ReaderCase{"ValuesAfterAStringWithAnEscapedQuote", InputFormat::Values, Hex, 8,
                   "char s[] = \"a\\\"{9}\"; int v[] = {1, 2};", Written, "01\n02\n", ""},
        // A font tool's array: full-width values and Chinese comments, which the digits
        // rule's faster way would read as digits.
        ReaderCase{"ValuesChineseCommentsAmongFullWidthValues", InputFormat::Values, Hex, 8,
                   "/* \xE5\xAD\x97\xE6\xA8\xA1 */\n0x12, 0x34, // \xE5\xAD\x97\n0xab,\n", Written,
                   "12\n34\nab\n", ""},
        ReaderCase{"ValuesDivisionOutsideTheBracesSkipped", InputFormat::Values, Hex, 8,
                   "int n = 4 / 2;\nint v[] = {1, 2};", Written, "01\n02\n", ""},
        ReaderCase{"ValuesNamesInsideTheBracesSkipped", InputFormat::Values, Hex, 8,
                   "{1, _pad, A0, b, 2}", Written, "01\n02\n", ""},
        // A CR, a blank, then an LF: two line ends, the LF no partner of the CR.
        ReaderCase{"ValuesCrThenABlankThenAnLfEndTwoLines", InputFormat::Values, Hex, 8,
                   "1,\r \n2\n/ 3", ConvertOutcome::Malformed, "",
                   "4:1: error: '/' is no part of a value: values are numbers between commas or "
                   "blanks\n"},
        ReaderCase{"ValuesCrThenABraceThenAnLfEndTwoLines", InputFormat::Values, Hex, 8,
                   "\r{\n2,\n/ 3}", ConvertOutcome::Malformed, "",
                   "4:1: error: '/' is no part of a value: values are numbers between commas or "
                   "blanks\n"},
        ReaderCase{"ValuesCrThenANumberThenAnLfEndTwoLines", InputFormat::Values, Hex, 8,
                   "1\r2\n(3)", ConvertOutcome::Malformed, "",
                   "3:1: error: '(' is no part of a value: values are numbers between commas or "
                   "blanks\n"},
        // Values that go the long way (a suffix), more digits than its buffer holds at once.
        ReaderCase{"ValuesBeyondOneBufferOfTheLongWay", InputFormat::Values, Hex, 256,
                   Repeated("1u, ", 1100), Written, Repeated(std::string(63, '0') + "1\n", 1100),
                   ""},
        ReaderCase{"ValuesLoneSlashRefused", InputFormat::Values, Hex, 8, "{1 / 2}",
                   ConvertOutcome::Malformed, "",
                   "1:4: error: '/' is no part of a value: values are numbers between commas or "
                   "blanks\n"},
        ReaderCase{"ValuesOnlyDeclarations", InputFormat::Values, Hex, 8,
                   "int a[] = {};\n", ConvertOutcome::EmptyInput, "", ""},
        Refused("MifNegativeHexValue", InputFormat::Mif, 0, kMifHead + "0: -1;\nEND;",
                "3:4: error: '-1' is negative: only DEC values may be\n"),
        Refused("MifBadDigitNamedInItsValue", InputFormat::Mif, 0, kMifHead + "0: 1g;\nEND;",
                "3:5: error: 'g' is not a hexadecimal digit, in '1g'\n"),
        Refused("MifContentBeforeItsDepth", InputFormat::Mif, 0, "WIDTH=8;\nCONTENT BEGIN\nEND;",
                "2:1: error: CONTENT comes before DEPTH, which the file must state first\n"),
        Refused("MifUnknownKey", InputFormat::Mif, 0, "WIDTH=8;\nSIZE=2;",
                "2:1: error: 'SIZE' stands where the MIF file needs WIDTH, DEPTH, ADDRESS_RADIX, "
                "DATA_RADIX or CONTENT\n"),
        Refused("MifUnknownRadix", InputFormat::Mif, 0, "DATA_RADIX=ASC;",
                "1:12: error: DATA_RADIX = ASC: a MIF radix is BIN, HEX, OCT, DEC or UNS\n"),
        Refused("MifWidthBeyondTheWidest", InputFormat::Mif, 0, "WIDTH=257;",
                "1:7: error: WIDTH = 257: WIDTH is 1 to 256\n"),
        Refused("MifDepthOfNone", InputFormat::Mif, 0, "DEPTH=0;",
                "1:7: error: DEPTH = 0: DEPTH is 1 to 2147483647\n"),
        Refused("MifDepthTooLargeToHold", InputFormat::Mif, 0,
                "WIDTH=256;DEPTH=268435456;\nCONTENT BEGIN\nEND;",
                "2:1: error: DEPTH = 268435456 words of 64 digits pass the 256 MiB held at most\n"),
        Refused("MifContentWithoutBegin", InputFormat::Mif, 0,
                "WIDTH=8;DEPTH=2;\nCONTENT 0 : 1;\nEND;",
                "2:9: error: '0' stands where the MIF file needs BEGIN\n"),
        Refused("MifRangeGoingDown", InputFormat::Mif, 0, kMifHead + "[1..0]: 1;\nEND;",
                "3:5: error: the range ends below where it starts\n"),
        Refused("MifValuesPastTheDepth", InputFormat::Mif, 0, kMifHead + "1: 1 2;\nEND;",
                "3:6: error: the value '2' falls past the last address of DEPTH = 2\n"),
        Refused("MifRangeOfFewerAddressesThanValues", InputFormat::Mif, 0,
                kMifHead + "[0..1]: 1 2 3;\nEND;",
                "3:13: error: the range has 2 addresses, fewer than its 3 values\n"),
        Refused("MifWordAfterItsEnd", InputFormat::Mif, 0, kMifHead + "END;\nx",
                "4:1: error: 'x' stands where the MIF file needs nothing after END;\n"),
        Refused("MifEndWithoutItsSemicolon", InputFormat::Mif, 0, kMifHead + "END",
                "3:1: error: END is not followed by its ';'\n"),
        Refused("MifLoneDashAmongValues", InputFormat::Mif, 0, kMifHead + "0: 1 - ;\nEND;",
                "3:6: error: '-' stands where the MIF file needs a value or ';'\n"),
        Refused("CoeSecondVector", InputFormat::Coe, 0,
                kCoeHead + "memory_initialization_vector=1;\nmemory_initialization_vector=2;",
                "3:1: error: a second memory_initialization_vector\n"),
        Refused("CoeEndsAfterItsRadixEquals", InputFormat::Coe, 0, "memory_initialization_radix=",
                "1:28: error: the file ends after this, before the ';' that ends its statement\n"),
        Refused("CoeUnknownKey", InputFormat::Coe, 0, "memory_initialization_depth=4;",
                "1:1: error: 'memory_initialization_depth' is not a COE keyword: "
                "memory_initialization_radix or memory_initialization_vector\n"),
        Refused("CoeOctalRadix", InputFormat::Coe, 0, "memory_initialization_radix=8;",
                "1:29: error: memory_initialization_radix 8: a COE file's radix is 2, 10 or 16\n"),
        Refused("CoeWordAfterItsVector", InputFormat::Coe, 0,
                kCoeHead + "memory_initialization_vector=1;\n2",
                "3:1: error: '2' is not a COE keyword: memory_initialization_radix or "
                "memory_initialization_vector\n"),
        Refused("CoeKeyWithoutItsEquals", InputFormat::Coe, 0, "memory_initialization_radix;16;",
                "1:28: error: ';' does not belong here in a COE file\n"),
        Refused("CoeSecondRadixValue", InputFormat::Coe, 0, "memory_initialization_radix=16 2;",
                "1:32: error: '2' does not belong here in a COE file\n"),
        Refused("CoeValueLongerThanAnyWord", InputFormat::Coe, 8,
                kCoeHead + "memory_initialization_vector=1," + std::string(1100, '1') + ";",
                "2:32: error: the value '" + std::string(80, '1') + "...' is wider than 256 bits\n"),
        Refused("CoeValueWiderThanTheWidth", InputFormat::Coe, 8,
                kCoeHead + "memory_initialization_vector=1ff;",
                "2:30: error: the value '1ff' is wider than 8 bits\n"),
        Refused("CoeValueWiderThanOneBit", InputFormat::Coe, 1,
                kCoeHead + "memory_initialization_vector=1,0,2;",
                "2:34: error: the value '2' is wider than 1 bit\n"),
        Refused("ValuesSignBeforeNoNumber", InputFormat::Values, 8, "{1, -, 2}",
                "1:5: error: '-' stands before no number\n"),
        Refused("ValuesSuffixAfterAPrefixAlone", InputFormat::Values, 8, "{0xu}",
                "1:2: error: '0x' has no digits\n"),
        Refused("ValuesVerilogSizeNoNumber", InputFormat::Values, 8, "{4x'h1}",
                "1:3: error: '4x'h1' is not a Verilog number: its size is no number\n"),
        Refused("ValuesVerilogWithoutItsBase", InputFormat::Values, 8, "{8'q1}",
                "1:4: error: '8'q1' is not a Verilog number: give h, d, o or b after '\n"),
        Refused("ValuesVerilogEndingAtItsQuote", InputFormat::Values, 8, "{1, 8'}",
                "1:6: error: '8'' is not a Verilog number: give h, d, o or b after '\n"),
        Refused("ValuesVerilogBeyondItsSize", InputFormat::Values, 8, "{4'h1f}",
                "1:2: error: '4'h1f' does not fit its size of 4 bits\n"),
        Refused("ValuesVerilogSizeBeyondTheWidest", InputFormat::Values, 8, "{300'h1}",
                "1:2: error: '300'h1' does not fit its size of 300 bits\n"),
        Refused("ValuesPrivateUseCharacterIsOneColumn", InputFormat::Values, 8,
                "{/*\xEE\x80\x80*/ 0x1g}",
                "1:11: error: 'g' is not a hexadecimal digit, in '0x1g'\n"),
        Refused("ValuesCharacterBeyondTheFirstPlane", InputFormat::Values, 8,
                "{1, \xF0\x9F\x98\x80}",
                "1:5: error: U+1F600 is no part of a value: values are numbers between commas or "
                "blanks\n"),
        ReaderCase{"MifEveryEntryFormInAnyOrder", InputFormat::Mif, Hex, 0,
                   "-- c\r\nWIDTH=10; DEPTH = 12;\r\nADDRESS_RADIX = UNS; DATA_RADIX = DEC;\r\n"
                   "% block\r\n % CONTENT BEGIN\r\n 0 : 1 2 3;\r\n [4..7] : -1 5;\r\n"
                   " 9 : 511; -- x\r\n 4 : 7;\r\nEND;\r\n",
                   Written, "001\n002\n003\n000\n007\n005\n3ff\n005\n000\n1ff\n000\n000\n",
                   "9:6: warning: address 4 is given another value than at 7:3: the later wins\n"
                   "warning: addresses 3, 8 and 10 to 11 are given no value: they hold 0 (4 words "
                   "in all)\n"},
        ReaderCase{"MifPlainEntryGivenTwiceNamesTheFirst", InputFormat::Mif, Hex, 0,
                   kMifHead + "0 : 12;\n1 : 34;\n0 : 56;\nEND;", Written, "56\n34\n",
                   "5:5: warning: address 0 is given another value than at 3:5: the later wins\n"},
        // Given again after a range, twice over: the range's value is named as the first.
        ReaderCase{"MifAddressesOfARangeGivenAgain", InputFormat::Mif, Hex, 0,
                   kMifHead + "[0..1] : 12;\n1 : 34;\n0 : 56;\nEND;", Written, "56\n34\n",
                   "4:5: warning: address 1 is given another value than at 3:2: the later wins "
                   "(2 addresses given twice)\n"},
        ReaderCase{"MifFiveRangesGivenNoValue", InputFormat::Mif, Hex, 0,
                   "WIDTH=8;DEPTH=10;CONTENT BEGIN 1:1;3:3;5:5;7:7;9:9;END;", Written,
                   "00\n01\n00\n03\n00\n05\n00\n07\n00\n09\n",
                   "warning: addresses 0, 2, 4, 6 and 1 more range are given no value: they hold 0 "
                   "(5 words in all)\n"},
        ReaderCase{"MifBinaryPlainEntriesInHexWords", InputFormat::Mif, Hex, 0,
                   "WIDTH=5;DEPTH=2;DATA_RADIX=BIN;\nCONTENT BEGIN\n0 : 00001;\n1 : 11010;\nEND;\n",
                   Written, "01\n1a\n", ""},
        // A CR, then a blank or an entry, then an LF: two line ends each time.
        ReaderCase{"MifCrThenABlankOrAnEntryThenAnLf", InputFormat::Mif, Hex, 0,
                   "WIDTH=8;DEPTH=3;\nCONTENT BEGIN\n0 : 12;\r \n1 : 34;\r2 : 56;\nEND;\nx",
                   ConvertOutcome::Malformed, "",
                   "8:1: error: 'x' stands where the MIF file needs nothing after END;\n"},
        ReaderCase{"MifOneAddressGivenNoValue", InputFormat::Mif, Hex, 0,
                   "WIDTH=8;DEPTH=2;CONTENT BEGIN 0:12;END;", Written, "12\n00\n",
                   "warning: address 1 is given no value: it holds 0 (1 word in all)\n"},
        ReaderCase{"MifHexAddressesBinaryData", InputFormat::Mif, Hex, 0,
                   "width=4;depth=17;address_radix=hex;data_radix=bin;content begin\n"
                   "[0..f]:1010;10:0001;end;",
                   Written,
                       "a\na\na\na\na\na\na\na\na\na\na\na\na\na\na\na\n1\n",
                   ""},
        // Longer than what is kept of a value: refused, never read from its first 1024 digits.
        ReaderCase{"MifValueLongerThanAnyWordRefused", InputFormat::Mif, Hex, 0,
                   "WIDTH=8;DEPTH=1;\nCONTENT BEGIN\n0: " + std::string(1100, '1') + ";\nEND;",
                   ConvertOutcome::Malformed, "",
                   "3:4: error: '" + std::string(80, '1') + "...' is wider than 256 bits\n"},
        ReaderCase{"MifValueWiderThanWidthRefused", InputFormat::Mif, Hex, 0,
                   "WIDTH=8;DEPTH=4;\nCONTENT BEGIN\n0: 1ff;\nEND;", ConvertOutcome::Malformed, "",
                   "3:4: error: the value '1ff' is wider than WIDTH = 8\n"},
        // Leading zeros up to the longest word kept, a negative one's sign among its
        // characters: the value is what counts.
        ReaderCase{"MifLongestValuesWithLeadingZeros", InputFormat::Mif, Hex, 0,
                   "WIDTH=8;DEPTH=3;DATA_RADIX=DEC;\nCONTENT BEGIN\n0 : 100 " +
                       std::string(1022, '0') + "12 -" + std::string(1021, '0') + "12;\nEND;",
                   Written, "64\n0c\nf4\n", ""},
        ReaderCase{"MifValueOfAWordsDigitsWiderThanWidthRefused", InputFormat::Mif, Hex, 0,
                   "WIDTH=7;DEPTH=1;\nCONTENT BEGIN\n0: 80;\nEND;", ConvertOutcome::Malformed, "",
                   "3:4: error: the value '80' is wider than WIDTH = 7\n"},
        ReaderCase{"MifAddressPastTheDepthRefused", InputFormat::Mif, Hex, 0,
                   "WIDTH=8;DEPTH=4;\nCONTENT BEGIN\n[2..4]: 1;\nEND;", ConvertOutcome::Malformed,
                   "", "3:5: error: address '4' is past the last of DEPTH = 4\n"},
        ReaderCase{"MifWithoutItsEndRefused", InputFormat::Mif, Hex, 0,
                   "WIDTH=8;DEPTH=1;\nCONTENT BEGIN\n0: 1;\n", ConvertOutcome::Malformed, "",
                   "3:5: error: the file ends before its END;\n"},
        ReaderCase{"MifColonOutOfPlaceRefused", InputFormat::Mif, Hex, 0,
                   "WIDTH=8;DEPTH=2;\nCONTENT BEGIN\n0 : 1 : 2;\nEND;", ConvertOutcome::Malformed, "",
                   "3:7: error: ':' stands where the MIF file needs a value or ';'\n"},
        ReaderCase{"MifWidthOtherThanGivenRefused", InputFormat::Mif, Hex, 16,
                   "WIDTH=8;DEPTH=1;\nCONTENT BEGIN\n0: 1;\nEND;", ConvertOutcome::Malformed, "",
                   "1:1: error: the file's WIDTH is 8, -w 16: leave -w out, the file states its "
                   "width\n"},
        // Line ends mixed as editors on two systems leave them: a CR, a value, a CR, a comma,
        // then an LF.
        ReaderCase{"CoeMixedLineEndsEachEndALine", InputFormat::Coe, Hex, 0,
                   "memory_initialization_radix=16;\nmemory_initialization_vector=\n\r12\r,\n3g;",
                   ConvertOutcome::Malformed, "",
                   "6:2: error: 'g' is not a hexadecimal digit, in '3g'\n"},
        ReaderCase{"CoeDecimalSignedWithComments", InputFormat::Coe, Hex, 0,
                   "; made by hand\nMEMORY_INITIALIZATION_RADIX = 10 ;\n"
                   "memory_initialization_vector = 1 2, -1,\n 300;\n",
                   Written, "001\n002\nfff\n12c\n", ""},
        ReaderCase{"CoeLongestValueWithLeadingZeros", InputFormat::Coe, Hex, 8,
                   "memory_initialization_radix=16;\nmemory_initialization_vector=1 " +
                       std::string(1022, '0') + "12;\n",
                   Written, "01\n12\n", ""},
        ReaderCase{"CoeWordsOfSeventeenDigits", InputFormat::Coe, Hex, 68,
                   "memory_initialization_radix=16;\nmemory_initialization_vector="
                   "\n123456789abcdef01,\nfedcba98765432100;\n",
                   Written, "123456789abcdef01\nfedcba98765432100\n", ""},
        // A binary file's values read into hex words: their digits are never the words' own.
        ReaderCase{"CoeBinaryValuesIntoHexWords", InputFormat::Coe, Hex, 8,
                   "memory_initialization_radix=2;\nmemory_initialization_vector=\n11,\n"
                   "0000000011111111;",
                   Written, "03\nff\n", ""},
        ReaderCase{"CoeFullWidthCommaNamedByItsCode", InputFormat::Coe, Hex, 0,
                   "memory_initialization_radix=16;\nmemory_initialization_vector=1\xEF\xBC\x8C 2;\n",
                   ConvertOutcome::Malformed, "",
                   "2:31: error: U+FF0C does not belong here in a COE file\n"},
        ReaderCase{"CoeVectorBeforeItsRadixRefused", InputFormat::Coe, Hex, 0,
                   "memory_initialization_vector=1,2;\n", ConvertOutcome::Malformed, "",
                   "1:1: error: memory_initialization_vector comes before "
                   "memory_initialization_radix, which says how to read it\n"},
        ReaderCase{"CoeVectorWithoutItsSemicolonRefused", InputFormat::Coe, Hex, 8,
                   "memory_initialization_radix=2;\nmemory_initialization_vector=1,10\n",
                   ConvertOutcome::Malformed, "",
                   "2:32: error: the file ends after this, before the ';' that ends its vector\n"},
        ReaderCase{"BinaryBytesInOrder", InputFormat::Binary, Hex, 16,
                   "\x11\x22\x33\x44", Written, "1122\n3344\n", ""},
        ReaderCase{"BinaryEmptyInput", InputFormat::Binary, Hex, 8,
                   "", ConvertOutcome::EmptyInput, "", ""}),
    [](const testing::TestParamInfo<ReaderCase>& info) { return std::string(info.param.name); });
// clang-format on

// A C array at full width, as the benchmark's and font tools' are: reading it as values must
// give the very bytes the digits rule gives, in whatever pieces it arrives.
TEST(ValuesReader, FullWidthArrayGivesTheDigitsRulesBytes) {
    std::string input;
    std::uint32_t seed = 12345;
    for (int line = 0; line < 4000; ++line) {
        for (int k = 0; k < 16; ++k) {
            seed = seed * 1103515245 + 12345;
            char value[8];
            std::snprintf(value, sizeof value, line % 7 == 3 ? "0X%02X," : "0x%02x,",
                          (seed >> 16) & 0xFF);
            input += value;
        }
        input += "\r\n";
    }
    auto convert = [&](InputFormat from, std::size_t piece) {
        test::StringReader reader(input, piece);
        ReaderOptions reading;
        reading.widthBits = 8;
        const auto source = RowOf(from).make(reader, reading);
        ConvertOptions options;
        options.widthBits = 8;
        test::StringTarget target;
        EXPECT_EQ(Convert(*source, options, target, test::FixedClock()).outcome, Written);
        return target.bytes();
    };
    const std::string digits = convert(InputFormat::Digits, 1 << 16);
    for (const std::size_t piece : {std::size_t{1} << 16, std::size_t{1000}, std::size_t{7}})
        EXPECT_EQ(convert(InputFormat::Values, piece), digits) << "pieces of " << piece;
}

// An Intel HEX record of the given address, type and data, its checksum made.
std::string IhexRecord(unsigned address, unsigned type, const std::string& data) {
    char field[16];
    std::snprintf(field, sizeof field, ":%02zX%04X%02X", data.size(), address, type);
    std::string line = field;
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    for (const char c : data) {
        std::snprintf(field, sizeof field, "%02X", static_cast<unsigned char>(c));
        line += field;
        sum += static_cast<unsigned char>(c);
    }
    std::snprintf(field, sizeof field, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + field;
}

// A write that fails while a gap or a long run of data is handed on is the target's failure,
// not the input's: the earlier file stays, and the message names the output.
TEST(ImageReaders, AWriteFailingInAGapOrARunIsAWriteFailure) {
    std::string run; // 64 KiB and 16 bytes, in one run: more than one slice
    for (unsigned at = 0; at < 0x10000; at += 16)
        run += IhexRecord(at, 0, std::string(16, '\x5A'));
    run += IhexRecord(0, 4, std::string("\0\x01", 2)) + IhexRecord(0, 0, std::string(16, 'A'));
    for (const std::string& input :
         {std::string(":01000000AA55\n:020000040004F6\n:01000000BB44\n:00000001FF\n"),
          run + ":00000001FF\n"}) {
        test::StringReader reader(input);
        const auto source = RowOf(InputFormat::Ihex).make(reader, ReaderOptions{});
        ConvertOptions options;
        options.widthBits = 8;
        options.inputWidthBits = 8;
        test::StringTarget target;
        target.failAt(2);
        const ConvertResult result = Convert(*source, options, target, test::FixedClock());
        EXPECT_EQ(result.outcome, ConvertOutcome::WriteFailed) << input.size() << " bytes";
        EXPECT_FALSE(target.committed());
    }
}

// Every MIF and COE file this program writes reads back to the words it was made from, at
// every width, odd hex widths too, in either radix.
TEST(MifAndCoeReaders, ReadBackEveryFileWritten) {
    std::uint32_t seed = 99;
    auto next = [&seed] { return (seed = seed * 1103515245 + 12345) >> 16; };
    for (const RadixMode radix : {Hex, Bin})
        for (const int width : {1, 3, 8, 10, 16, 64, 129, 256}) {
            const int d = DigitsPerWord(radix, width);
            const unsigned top = TopDigitMost(radix, width);
            std::string digits;
            for (int word = 0; word < 37; ++word)
                for (int k = 0; k < d; ++k) {
                    const unsigned most = k == 0 ? top : radix == Hex ? 15 : 1;
                    digits += "0123456789abcdef"[next() % (most + 1)];
                }
            // Pieces of 5 bytes cut every entry; whole, MIF's plain entries go the fast way.
            auto convert = [&](InputFormat from, const std::string& input, OutputFormat to,
                               std::size_t piece = 5) {
                test::StringReader reader(input, piece);
                ReaderOptions reading;
                reading.radix = radix;
                reading.widthBits = from == InputFormat::Digits ? width : 0;
                const auto source = RowOf(from).make(reader, reading);
                ConvertOptions options;
                options.format = to;
                options.radix = radix;
                options.widthBits = reading.widthBits;
                test::StringTarget target;
                const ConvertResult result = Convert(*source, options, target, test::FixedClock());
                EXPECT_EQ(result.outcome, Written);
                EXPECT_TRUE(result.diagnostics.empty()) << result.diagnostics[0].text; // no gap
                return target.bytes();
            };
            SCOPED_TRACE(std::to_string(width) + (radix == Hex ? " bits hex" : " bits bin"));
            const std::string words =
                Words(convert(InputFormat::Digits, digits, OutputFormat::Mem));
            for (const auto& [format, reader] : {std::pair{OutputFormat::Mif, InputFormat::Mif},
                                                 std::pair{OutputFormat::Coe, InputFormat::Coe}}) {
                const std::string file = convert(InputFormat::Digits, digits, format);
                for (const std::size_t piece : {std::size_t{5}, file.size()})
                    EXPECT_EQ(Words(convert(reader, file, OutputFormat::Mem, piece)), words);
                if (reader == InputFormat::Mif) { // the very bytes again
                    EXPECT_EQ(convert(reader, file, OutputFormat::Mif), file);
                }
            }
        }
}

// Firmware images: bytes at addresses packed into words, checked record by record.
struct ImageCase {
    const char* name;
    InputFormat from;
    int widthBits;
    std::string input;
    std::optional<ByteOrder> order;
    std::optional<std::uint64_t> base;
    ConvertOutcome outcome;
    std::string words; ///< Written: the words, one a line
    std::string said;
    std::uint64_t fill = 0;
    int inputWidth = 8; ///< readmem: its words' width
};

void PrintTo(const ImageCase& c, std::ostream* os) {
    *os << c.name;
}

class ImageTest : public testing::TestWithParam<ImageCase> {};

TEST_P(ImageTest, GivesTheWordsAndSaysWhereInAnyPieces) {
    const ImageCase& c = GetParam();
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, c.input.size()})
        for (const bool onePass : {false, true}) {
            SCOPED_TRACE("pieces of " + std::to_string(piece) + (onePass ? ", one pass" : ""));
            test::StringReader reader(c.input, std::max<std::size_t>(piece, 1));
            ReaderOptions reading;
            reading.widthBits = c.inputWidth;
            reading.base = c.base;
            reading.fill = c.fill;
            const auto source = RowOf(c.from).make(reader, reading);
            ConvertOptions options;
            options.format = OutputFormat::Mem;
            options.widthBits = c.widthBits;
            options.inputWidthBits = c.inputWidth;
            options.byteOrder = c.order;
            options.fill = c.fill;
            options.paddedDepth =
                c.from == InputFormat::Binary ? std::optional<std::int32_t>(4) : std::nullopt;
            options.onePass = onePass;
            test::StringTarget target;
            const ConvertResult result = ConvertWatched(*source, options, target);
            EXPECT_EQ(result.outcome, c.outcome);
            EXPECT_EQ(Said(result), c.said);
            EXPECT_EQ(target.committed(), c.outcome == Written);
            if (c.outcome == Written) {
                ExpectWords(target.bytes(), c.words);
            }
        }
}

constexpr auto Little = ByteOrder::Little;
constexpr auto Big = ByteOrder::Big;
constexpr auto Malformed = ConvertOutcome::Malformed;
const std::string kElfHeaderOnly = std::string("\x7f"
                                               "ELF\x01\x01\x01",
                                               7) +
                                   std::string(45, '\0');

// kElfHeaderOnly with the given bytes set: offsets as the 32-bit ELF header has them, or
// beyond it, which lengthens it (a 64-bit header's last byte is 63).
std::string ElfHeaderWith(std::initializer_list<std::pair<std::size_t, char>> bytes) {
    std::string header = kElfHeaderOnly;
    for (const auto& [at, value] : bytes) {
        header.resize(std::max(header.size(), at + 1));
        header[at] = value;
    }
    return header;
}

// A 32-bit section header at address 0: its type, flags, offset in the file and size.
std::string ElfSection32(char type, char flags, int offset, char size) {
    std::string header(40, '\0');
    header[4] = type;
    header[8] = flags;
    header[16] = static_cast<char>(offset & 0xFF);
    header[17] = static_cast<char>(offset >> 8);
    header[20] = size;
    return header;
}

// A 64-bit allocated PROGBITS section header: its address, offset in the file and size.
std::string ElfSection64(std::uint64_t address, char offset, char size) {
    std::string header(64, '\0');
    header[4] = 1;
    header[8] = 2;
    for (int i = 0; i < 8; ++i)
        header[16 + i] = static_cast<char>(address >> (8 * i));
    header[24] = offset;
    header[32] = size;
    return header;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Images, ImageTest,
    testing::Values(
        // Binary pads to depth 4 with the fill: the short last word keeps its bytes first.
        ImageCase{"BinaryLittleEndianLastWordFilledAfterItsBytes", InputFormat::Binary, 32,
                  "\x11\x22\x33\x44\xAA\xBB", Little, std::nullopt, Written,
                  "44332211\nffffbbaa\nffffffff\nffffffff\n", "warning: filled 2/4 with ff\n",
                  0xFF},
        ImageCase{"BinaryBigEndianLastWordFilledAfterItsBytes", InputFormat::Binary, 32,
                  "\x11\x22\x33\x44\xAA\xBB", Big, std::nullopt, Written,
                  "11223344\naabb0000\n00000000\n00000000\n", "warning: filled 2/4 with 00\n"},
        ImageCase{"BinaryNibblesSplitLowFirst", InputFormat::Binary, 4, "\x12\xAB", Little,
                  std::nullopt, Written, "2\n1\nb\na\n", ""},
        ImageCase{"IhexLinearAddressAndGapsInOneWarning", InputFormat::Ihex, 16,
                  ":020000040001F9\r\n:020000001122CB\r\n:02000400334483\r\n"
                  ":0200080055663B\r\n:00000001FF\r\n",
                  Little, 0x10000, Written, "2211\n0000\n4433\n0000\n6655\n",
                  "warning: 4 bytes that no record gives filled with 0x00: "
                  "0x00010002..0x00010003, 0x00010006..0x00010007\n"},
        ImageCase{"IhexSegmentAddressLowerCaseCrLineEnds", InputFormat::Ihex, 8,
                  ":020000021000ec\r:01000100ab53 \t\r:00000001ff\r", std::nullopt, 0x10000,
                  Written, "00\nab\n", "warning: 1 byte that no record gives filled with "
                  "0x00: 0x00010000..0x00010000\n"},
        // Past 64 KiB a linear address goes on, even after a segment one; a segment's
        // offsets wrap to its start.
        ImageCase{"IhexLinearDataGoesOnPastSixtyFourKiB", InputFormat::Ihex, 8,
                  ":020000021000EC\n:020000040000FA\n:04FFFE001122334455\n:00000001FF\n",
                  std::nullopt, 0xFFFE,
                  Written, "11\n22\n33\n44\n", ""},
        ImageCase{"IhexSegmentDataWrapsToItsStart", InputFormat::Ihex, 8,
                  ":020000021000EC\n:04FFFE001122334455\n:00000001FF\n", std::nullopt, 0x10000,
                  Written, "33\n44\n" + Repeated("00\n", 65532) + "11\n22\n",
                  "warning: 65532 bytes that no record gives filled with 0x00: "
                  "0x00010002..0x0001fffd\n"},
        ImageCase{"IhexChecksumOffByOne", InputFormat::Ihex, 8,
                  ":0100000011EE\r:0100010022DB\r", std::nullopt, std::nullopt, Malformed, "",
                  "2:12: error: the checksum is DB, but the record's bytes need DC\n"},
        ImageCase{"IhexLengthDisagrees", InputFormat::Ihex, 8, "\n:0200000011ED\n",
                  std::nullopt, std::nullopt, Malformed, "",
                  "2:2: error: the record's length says 2 data bytes, but it holds 1 data byte\n"},
        ImageCase{"IhexShortLine", InputFormat::Ihex, 8, ":0100000011EE\r\n:0000\r\n",
                  std::nullopt, std::nullopt, Malformed, "",
                  "2:1: error: the record is too short: 2 bytes, where a record has at least 5\n"},
        ImageCase{"IhexBadType", InputFormat::Ihex, 8, ":00000006FA\n", std::nullopt,
                  std::nullopt, Malformed, "",
                  "1:8: error: record type 06 is not one of Intel HEX's 00 to 05\n"},
        ImageCase{"IhexDataAfterTheEnd", InputFormat::Ihex, 8,
                  ":0100000011EE\n:00000001FF\n:0100010022DC\n", std::nullopt, std::nullopt,
                  Malformed, "", "3:1: error: data after the end record (line 2)\n"},
        ImageCase{"IhexNotADigit", InputFormat::Ihex, 8, ":01000000g1EE\n", std::nullopt,
                  std::nullopt, Malformed, "", "1:10: error: 'g' is not a hexadecimal digit\n"},
        ImageCase{"IhexControlCharacterNamedByItsCode", InputFormat::Ihex, 8, ":010000001\x1f" "EE\n",
                  std::nullopt, std::nullopt, Malformed, "",
                  "1:11: error: byte 0x1F is not a hexadecimal digit\n"},
        ImageCase{"IhexRecordLongerThanAnyRecord", InputFormat::Ihex, 8,
                  ":FF000000" + std::string(600, '0') + "\n", std::nullopt, std::nullopt,
                  Malformed, "", "1:526: error: the record is longer than any record can be\n"},
        // The fill comes in slices: a gap longer than one, then a byte.
        ImageCase{"IhexGapLongerThanASlice", InputFormat::Ihex, 8,
                  ":020000040001F9\n:0100010011ED\n:00000001FF\n", std::nullopt, std::nullopt,
                  Written, Repeated("00\n", 0x10001) + "11\n",
                  "warning: 65537 bytes that no record gives filled with 0x00: "
                  "0x00000000..0x00010000 (--base=0x00010001 starts the memory at its data)\n"},
        // The second record gives a byte again, alike, and goes on past the first.
        ImageCase{"IhexByteGivenTwiceAlikeIsFine", InputFormat::Ihex, 8,
                  ":020000001122CB\n:020001002233A8\n:00000001FF\n", std::nullopt,
                  std::nullopt, Written, "11\n22\n33\n", ""},
        ImageCase{"IhexByteGivenTwiceDifferently", InputFormat::Ihex, 8,
                  ":020000001122CB\n:0100010033CB\n:00000001FF\n", std::nullopt,
                  std::nullopt, Malformed, "",
                  "2:1: error: the byte at 0x00000001 is given as 0x33 here but as 0x22 at 1:1\n"},
        ImageCase{"IhexBelowTheBase", InputFormat::Ihex, 8,
                  ":0100100011DE\n:0100000022DD\n:00000001FF\n", std::nullopt, 0x10,
                  Malformed, "", "2:1: error: the data at 0x00000000 lies below --base=0x00000010\n"},
        ImageCase{"IhexLinkedHighNamesTheBase", InputFormat::Ihex, 32,
                  ":020000048000" "7A\n:0400000037170000AE\n:00000001FF\n", Little,
                  std::nullopt, Malformed, "",
                  "2:1: error: the image starts at 0x80000000: give --base=0x80000000\n"},
        ImageCase{"IhexReachingPastWhatAMifAddresses", InputFormat::Ihex, 8,
                  ":0100000011EE\n:020000048000" "7A\n:0100000022DD\n:00000001FF\n",
                  std::nullopt, std::nullopt, Malformed, "",
                  "3:1: error: the image reaches from 0x00000000 to 0x80000000, more bytes than "
                  "a MIF file can address\n"},
        ImageCase{"IhexWithoutEndRecord", InputFormat::Ihex, 8, ":0100000011EE", std::nullopt,
                  std::nullopt, Written, "11\n",
                  "warning: the file has no end record (:00000001FF): is it cut short?\n"},
        ImageCase{"SrecEveryAddressSizeAndCount", InputFormat::Srec, 32,
                  "S00600004844521B\nS1050000AABB95\nS206000002CCDD4E\n"
                  "S308000000041122338D\nS5030003F9\nS9030000FC\n",
                  Little, std::nullopt, Written, "ddccbbaa\n00332211\n",
                  "warning: filled 3/4 with 00\n"},
        ImageCase{"SrecCountDisagrees", InputFormat::Srec, 8,
                  "S1050000AABB95\nS5030002FA\n", std::nullopt, std::nullopt, Malformed, "",
                  "2:5: error: the S5 record counts 2 data records, but 1 came before it\n"},
        ImageCase{"SrecChecksumOffByOne", InputFormat::Srec, 8, "S1050000AABB96\n",
                  std::nullopt, std::nullopt, Malformed, "",
                  "1:13: error: the checksum is 96, but the record's bytes need 95\n"},
        ImageCase{"SrecByteCountDisagrees", InputFormat::Srec, 8, "S1060000AABB94\n",
                  std::nullopt, std::nullopt, Malformed, "",
                  "1:3: error: the record's count says 6 bytes, but 5 bytes follow it\n"},
        ImageCase{"SrecNotADigit", InputFormat::Srec, 8, "S1050000AGBB95\n", std::nullopt,
                  std::nullopt, Malformed, "", "1:10: error: 'G' is not a hexadecimal digit\n"},
        ImageCase{"SrecReservedType", InputFormat::Srec, 8, "S4030000FC\n", std::nullopt,
                  std::nullopt, Malformed, "",
                  "1:2: error: 'S4' is not an S-record type: S0 to S9, but S4\n"},
        ImageCase{"ElfNotAnElfFile", InputFormat::Elf, 8, ":00000001FF\n", std::nullopt,
                  std::nullopt, Malformed, "",
                  "error: the file is not an ELF file: it does not start with 0x7f 'ELF'\n"},
        ImageCase{"ElfCutShort", InputFormat::Elf, 8, kElfHeaderOnly.substr(0, 30), std::nullopt,
                  std::nullopt, Malformed, "",
                  "error: the ELF header is cut short: the file has 30 bytes\n"},
        // One program header is as much a header as many: of 16 bytes it is too small.
        ImageCase{"ElfOneProgramHeaderTooSmall", InputFormat::Elf, 8,
                  ElfHeaderWith({{32, 52}, {42, 16}, {44, 1}, {46, 40}}), std::nullopt,
                  std::nullopt, Malformed, "",
                  "error: the ELF file's header entries are too small\n"},
        // More gaps than one warning names: the first ranges, then how many more.
        ImageCase{"IhexGapsBeyondThoseNamed", InputFormat::Ihex, 8,
                  ":0100010011ED\n:0100030022DA\n:0100050033C7\n:0100070044B4\n"
                  ":0100090055A1\n:00000001FF\n",
                  std::nullopt, 0, Written, "00\n11\n00\n22\n00\n33\n00\n44\n00\n55\n",
                  "warning: 5 bytes that no record gives filled with 0x00: 0x00000000..0x00000000, "
                  "0x00000002..0x00000002, 0x00000004..0x00000004, 0x00000006..0x00000006 and 1 "
                  "more gap\n"},
        ImageCase{"IhexRecordEndsInHalfAByte", InputFormat::Ihex, 8, ":0100000011E\n", std::nullopt,
                  std::nullopt, Malformed, "", "1:12: error: the record ends in half a byte\n"},
        ImageCase{"IhexLineWithoutItsColon", InputFormat::Ihex, 8, ":0100000011EE\n0100010022DC\n",
                  std::nullopt, std::nullopt, Malformed, "",
                  "2:1: error: '0' starts no record: Intel HEX records start with ':'\n"},
        ImageCase{"IhexAddressRecordOfFourBytes", InputFormat::Ihex, 8, ":0400000400010000F7\n",
                  std::nullopt, std::nullopt, Malformed, "",
                  "1:2: error: a linear address record holds 2 data bytes, not 4\n"},
        ImageCase{"SrecRecordTooShort", InputFormat::Srec, 8, "S1050000AABB95\nS102FD\n",
                  std::nullopt, std::nullopt, Malformed, "",
                  "2:1: error: the record is too short: 2 bytes, where an S1 record has at "
                  "least 4\n"},
        ImageCase{"SrecDataAfterTheEnd", InputFormat::Srec, 8, "S9030000FC\nS1050000AABB95\n",
                  std::nullopt, std::nullopt, Malformed, "",
                  "2:1: error: data after the end record (line 1)\n"},
        ImageCase{"SrecWithoutEndRecord", InputFormat::Srec, 8, "S1050000AABB95\n", std::nullopt,
                  std::nullopt, Written, "aa\nbb\n",
                  "warning: the file has no end record (S7, S8 or S9): is it cut short?\n"},
        ImageCase{"ElfOfNoKnownClass", InputFormat::Elf, 8, ElfHeaderWith({{4, 3}}), std::nullopt,
                  std::nullopt, Malformed, "",
                  "error: the ELF class 3 is neither 32-bit (1) nor 64-bit (2)\n"},
        ImageCase{"ElfOfNoKnownByteOrder", InputFormat::Elf, 8, ElfHeaderWith({{5, 3}}),
                  std::nullopt, std::nullopt, Malformed, "",
                  "error: the ELF byte order 3 is neither little-endian (1) nor big-endian (2)\n"},
        ImageCase{"ElfSectionHeadersPastItsEnd", InputFormat::Elf, 8,
                  ElfHeaderWith({{32, 52}, {46, 40}, {48, 1}}), std::nullopt, std::nullopt,
                  Malformed, "", "error: the section headers at 0x34 run past the file's end\n"},
        ImageCase{"ElfProgramHeadersPastItsEnd", InputFormat::Elf, 8,
                  ElfHeaderWith({{28, 52}, {32, 4}, {42, 32}, {44, 2}, {46, 40}}), std::nullopt,
                  std::nullopt, Malformed, "",
                  "error: the program headers at 0x34 run past the file's end\n"},
        ImageCase{"ElfSectionPastItsEnd", InputFormat::Elf, 8,
                  ElfHeaderWith({{32, 52}, {46, 40}, {48, 1}}) + ElfSection32(1, 2, 0x100, 4),
                  std::nullopt, std::nullopt, Malformed, "",
                  "error: section 0's 4 bytes at 0x100 run past the file's end\n"},
        // A 64-bit address whose section would wrap past the last one.
        ImageCase{"Elf64SectionPastTheLastAddress", InputFormat::Elf, 8,
                  ElfHeaderWith({{4, 2}, {40, 64}, {58, 64}, {60, 1}, {63, 0}}) +
                      ElfSection64(0xFFFFFFFFFFFFFFFE, '\x80', 4) + "\x11\x22\x33\x44",
                  std::nullopt, std::nullopt, Malformed, "",
                  "error: the data at 0xfffffffffffffffe runs past the last address\n"},
        // 0xFFFF program headers: the count is section 0's, here none.
        ImageCase{"ElfProgramHeaderCountInSectionZero", InputFormat::Elf, 8,
                  ElfHeaderWith({{32, 52}, {42, 32}, {44, '\xFF'}, {45, '\xFF'}, {46, 40}, {48, 2}}) +
                      std::string(40, '\0') + ElfSection32(1, 2, 132, 4) + "\x11\x22\x33\x44",
                  std::nullopt, std::nullopt, Written, "11\n22\n33\n44\n", ""},
        ImageCase{"ReadmemByteWideLinkedHigh", InputFormat::Readmem, 32,
                  "@80000000\n37 17 00 00\n93 87\n", Little, 0x80000000, Written,
                  "00001737\n00008793\n", "warning: filled 2/4 with 00\n"},
        // Nibbles into little-endian bytes: an odd count fills a whole last byte.
        ImageCase{"ReadmemNibblesIntoLittleEndianBytes", InputFormat::Readmem, 8, "1\n2\n3\n",
                  Little, std::nullopt, Written, "21\n03\n", "warning: filled 1/2 with 0\n", 0, 4},
        ImageCase{"ReadmemLinkedHighNamesTheBase", InputFormat::Readmem, 32,
                  "// objcopy\n@20000000\n00001737\n", std::nullopt, std::nullopt, Malformed,
                  "", "2:1: error: the image starts at @20000000: give --base=0x20000000\n", 0,
                  32},
        ImageCase{"ReadmemBelowTheBase", InputFormat::Readmem, 8, "@10 12\n@0f 34\n",
                  std::nullopt, 0x10, Malformed, "", "2:1: error: '@0f' lies below --base=0x10\n"},
        ImageCase{"ReadmemWordsBeforeAnyAddressLieBelowTheBase", InputFormat::Readmem, 8,
                  "12 @10 34\n", std::nullopt, 0x10, Malformed, "",
                  "error: the words before the first @ lie at @0, below --base=0x10\n"},
        ImageCase{"ReadmemGapHoldsTheFill", InputFormat::Readmem, 8, "@10 12 @12 34",
                  std::nullopt, 0x10, Written, "12\nee\n34\n",
                  "1:8: warning: 1 word from @11 filled with 0xee\n", 0xEE}),
    [](const testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.name); });
// clang-format on

} // namespace
} // namespace tarnwick
