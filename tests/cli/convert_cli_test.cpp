#include "support/test_support.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <sstream>
#include <vector>

namespace tarnwick {
namespace {

// The Windows build, run under wine: its messages end their lines with CR LF, as Windows
// text does, and some cases need what only POSIX systems have.
#ifdef TARNWICK_CONVERT_ON_WINDOWS
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// What the program said, its line ends made LF.
std::string ReadMessages(const std::filesystem::path& path) {
    std::string text = test::ReadBytes(path);
    if (kWindows)
        for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
            text.erase(at, 1);
    return text;
}

// What a message names as 'X' (U+XXXX) shows as U+XXXX alone when X is beyond ASCII: under
// wine, messages redirected to a file are in the console's code page (437), which lacks it.
std::string InConsoleCodePage(const std::string& expected) {
    if (!kWindows)
        return expected;
    static const std::regex named("'[\x80-\xFF]+' \\((U\\+[0-9A-F]+)\\)");
    return std::regex_replace(expected, named, "$1");
}

// The lines of a MIF file but the sixth, which carries the date and time.
std::string withoutDateLine(const std::string& bytes) {
    std::string out;
    int line = 1;
    for (std::size_t start = 0; start < bytes.size(); ++line) {
        const std::size_t end = bytes.find('\n', start);
        const std::size_t next = end == std::string::npos ? bytes.size() : end + 1;
        if (line != 6)
            out += bytes.substr(start, next - start);
        start = next;
    }
    return out;
}

struct CliCase {
    const char* name;
    std::string args; ///< IN names the input file, OUT the output file
    std::string input;
    int status;
    std::string stderrHas; ///< empty: nothing at all may be said on standard error
    std::string outputHas; ///< empty: no output file may exist
};

void PrintTo(const CliCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertCli : public testing::TestWithParam<CliCase> {};

TEST_P(ConvertCli, ExitStatusMessageAndFile) {
    const CliCase& c = GetParam();
    const test::TempDir dir;
    test::WriteBytes(dir / "in.txt", c.input);
    std::string args = c.args;
    // A full device of our own when we may make one: a writer that wrongly replaced it
    // must not take the machine's /dev/full with it.
    const bool ownDevice =
        ::geteuid() == 0 && ::mknod((dir / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    for (std::size_t at; (at = args.find("FULL")) != std::string::npos;)
        args.replace(at, 4, ownDevice ? (dir / "full").string() : std::string("/dev/full"));
    for (auto [name, path] : {std::pair{"IN", dir / "in.txt"}, std::pair{"OUT", dir / "out.mif"}})
        for (std::size_t at; (at = args.find(name)) != std::string::npos;)
            args.replace(at, 2 + (name[0] == 'O'), path.string());
    // Standard input through a real pipe, as a build script gives it.
    const std::string command = "cd " + dir.path().string() +
                                " && cat in.txt | LC_ALL=C.UTF-8 timeout 20 " TARNWICK_CONVERT " " +
                                args + " >stdout.txt 2>stderr.txt";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), c.status);
    const std::string err = ReadMessages(dir / "stderr.txt");
    if (c.stderrHas.empty())
        EXPECT_EQ(err, "");
    else
        EXPECT_NE(err.find(InConsoleCodePage(c.stderrHas)), std::string::npos) << err;
    const std::string out = test::ReadBytes(dir / "out.mif") + test::ReadBytes(dir / "stdout.txt");
    if (c.outputHas.empty()) { // nothing written anywhere: no file, nothing on standard output
        EXPECT_EQ(out, "");
        EXPECT_FALSE(std::filesystem::exists(dir / "out.mif"));
    } else {
        EXPECT_NE(out.find(c.outputHas), std::string::npos) << out;
    }
    // Nothing else is left: no temporary file, no folder made for the output.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_TRUE(
            entry.path().filename() == "in.txt" || entry.path().filename() == "out.mif" ||
            entry.path().filename() == "stdout.txt" || entry.path().filename() == "stderr.txt" ||
            entry.path().filename() == "Vetrask.mif" || entry.path().filename() == "Vetrask.mem" ||
            (entry.path().filename() == "full" && entry.is_character_file()))
            << entry.path();
}

const std::string kSample = test::ReadBytes(test::GoldenDir() / "sample_input.txt");

// ASCII text as Windows tools save "Unicode": a mark, then UTF-16LE.
std::string Utf16Le(std::string_view ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii)
        bytes += {c, '\0'};
    return bytes;
}
std::string Repeated(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

// One row a case, kept as written: the inputs and messages read better unwrapped.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertCli,
    testing::Values(
        CliCase{"LinuxLineEndsFromStandardInput", "-o OUT", "00 11 22 33\n44 55 66 77\n", 0,
                "wrote", "DEPTH = 8;\r\n"},
        CliCase{"DefaultNameInTheCurrentFolder", "IN", "0x12", 0, "wrote Vetrask.mif", ""},
        CliCase{"StrayCharacterNamedByLineAndColumn", "-o OUT IN", "ab\n 0xZ1\n", 1,
                "in.txt:2:4: error: 'Z' (U+005A) is not a hexadecimal digit (1 such character)\n",
                ""},
        CliCase{"GbkPairIsOneCharacter", "-o OUT IN", "ab\r\n\xD7\xD6\xD7\xD6 0X1f 12", 1,
                "in.txt:2:1: error: '\xE5\xAD\x97' (U+5B57) is not a hexadecimal digit (2 such characters)", ""},
        // The first character beyond U+FFFF, D800 DC00 in UTF-16: one character, named whole.
        CliCase{"FirstCharacterBeyondUffffIsOne", "-o OUT IN", "12\xF0\x90\x80\x80" "34", 1,
                "in.txt:1:3: error: '\xF0\x90\x80\x80' (U+10000) is not a hexadecimal digit (1 such "
                "character)\n", ""},
        CliCase{"Utf8IsOneCharacterToo", "-r bin -o OUT IN", "\xEF\xBB\xBF" "01\t\xE5\xAD\x97", 1,
                "in.txt:1:4: error: '\xE5\xAD\x97' (U+5B57) is not a binary digit (1 such character)", ""},
        // A mark counts only at the very start: one at the second block is a character.
        CliCase{"ByteOrderMarkAfterTheFirstBlockIsAStray", "-o OUT IN",
                "0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00\xEF\xBB\xBF" "12", 1,
                "in.txt:1:65: error: U+FEFF is not a hexadecimal digit (1 such character)", ""},
        // Nearly 3 MB: UTF-16 read in several pieces, the strays in the last.
        CliCase{"Utf16StraysBeyondTheFirstPiece", "-o OUT IN",
                Utf16Le(Repeated("0x12,\r\n", 200000) + "0xg1, 0x1h\r\n"), 1,
                "in.txt:200001:3: error: 'g' (U+0067) is not a hexadecimal digit (2 such characters)", ""},
        // A blank that looks like ' ' is named by its code, as one that shows nothing is.
        CliCase{"NoBreakSpaceNamedByCode", "-o OUT IN", "12\xC2\xA0" "34", 1,
                "in.txt:1:3: error: U+00A0 is not a hexadecimal digit (1 such character)\n", ""},
        // Pasted from a web page or a word processor, characters that show as nothing: a
        // zero-width space and a word joiner.
        CliCase{"ZeroWidthSpaceNamedByCode", "-o OUT IN", "12\xE2\x80\x8B" "34", 1,
                "in.txt:1:3: error: U+200B is not a hexadecimal digit (1 such character)\n", ""},
        CliCase{"WordJoinerNamedByCode", "-o OUT IN", "12\xE2\x81\xA0" "34", 1,
                "in.txt:1:3: error: U+2060 is not a hexadecimal digit (1 such character)\n", ""},
        // Blanks after the last line end: the sniffing for a --from hint ends at the head's end.
        CliCase{"StrayInAFileEndingInBlanks", "-o OUT IN", "12 g\n  \t", 1,
                "in.txt:1:4: error: 'g' (U+0067) is not a hexadecimal digit (1 such character)\n",
                ""},
        CliCase{"OdWithoutVStarLine", "-o OUT IN", "0000000 00 00\n*\n0000020 01 02\n", 1,
                "in.txt:2:1: error: '*' (U+002A) is not a hexadecimal digit", ""},
        CliCase{"PipeStopsAtTheFirstStray", "-o OUT", "ab\nzz", 1,
                "-:2:1: error: 'z' (U+007A) is not a hexadecimal digit\n", ""},
        CliCase{"EndlessDeviceNamedAsGiven", "-o OUT /dev/zero", "", 1,
                "/dev/zero:1:1: error: U+0000 is not a hexadecimal digit (is it UTF-16 without a "
                "byte-order mark? try --encoding=utf-16le)\n", ""},
        CliCase{"StrictRefusesAShortLastWord", "--strict -o OUT", "0x12,0x3", 3,
                "error: the last word is short: 1 of 2 digits", ""},
        CliCase{"StrictOnCleanInputWrites", "--strict -o OUT", "0x12,0x34", 0, "wrote",
                "DEPTH = 2;"},
        CliCase{"ShortLastWordWarned", "-w 16 -o OUT", "abcdef", 0,
                "the last word is short: 2 of 4", "\t1\t:\tef;"},
        // Never a file without every digit: a tail that rounds away, or no word at all.
        CliCase{"DroppedDigitsRefusedWhereTheyStart", "-w 16 -o OUT IN", "abcd\nefab cd", 1,
                "in.txt:2:6: error: the last 2 digits are too few for a word of 4 digits\n", ""},
        CliCase{"NoWholeWordRefused", "-o OUT", "1", 1,
                "-:1:1: error: the last 1 digit is too few for a word of 2 digits\n", ""},
        CliCase{"OnlyDelimiters", "-o OUT", " 0x,;{}\r\n", 1, "nothing to convert", ""},
        CliCase{"DepthFillsWithZeroWords", "--depth 3 -w 12 -o OUT", "0xabc", 0, "DEPTH = 3",
                "DEPTH = 3;\r\n\r\nADDRESS_RADIX = DEC;\r\nDATA_RADIX = HEX;"
                "\r\n\r\nCONTENT BEGIN\r\n\r\n\t0\t:\tabc;\r\n\t1\t:\t000;\r\n"
                "\t2\t:\t000;\r\n\r\nEND;\r\n"},
        CliCase{"DepthTooSmall", "--depth 1 -o OUT", "0x01,0x02", 3,
                "the data makes more than 1 words, more than --depth 1; nothing written", ""},
        // Standard output cannot take back what it was given: a stray megabytes in must be
        // refused before a byte is written.
        CliCase{"DepthToStandardOutputRefusedBeforeAByte", "--depth 4000000 -o -",
                std::string(3'000'000, '1') + "g", 1,
                "-:1:3000001: error: 'g' (U+0067) is not a hexadecimal digit\n", ""},
        CliCase{"BinaryInputPaddedToDepth", "--binary-input -w 16 --depth 3 -o OUT IN",
                "\x01\xAB", 0, "DEPTH = 3",
                "\t0\t:\t01ab;\r\n\t1\t:\t0000;\r\n\t2\t:\t0000;\r\n\r\nEND;\r\n"},
        CliCase{"DepthToStandardOutputTakesTwoPasses", "-q --depth 3 -o -", "12", 0, "",
                "DEPTH = 3;\r\n\r\nADDRESS_RADIX = DEC;\r\nDATA_RADIX = HEX;\r\n\r\nCONTENT "
                "BEGIN\r\n\r\n\t0\t:\t12;\r\n\t1\t:\t00;\r\n\t2\t:\t00;\r\n\r\nEND;\r\n"},
        CliCase{"DepthTooSmallByAShortWord", "--depth 1 -o OUT IN", "0x01,3", 3,
                "the data makes 2 words, more than --depth 1", ""},
        CliCase{"DepthExactlyTheDatas", "--depth 2 -o OUT", "12 34", 0, "DEPTH = 2",
                "DEPTH = 2;\r\n\r\n"},
        CliCase{"DepthKeepsAShortLastWord", "--depth 3 -w 16 -o OUT IN", "abcdef", 0, "short",
                "\t0\t:\tabcd;\r\n\t1\t:\tef;\r\n\t2\t:\t0000;\r\n\r\nEND;"},
        CliCase{"DepthRefusesATailThatRoundsDown", "--depth 3 -w 16 -o OUT IN", "abcdefabcd", 1,
                "in.txt:1:9: error: the last 2 digits are too few", ""},
        CliCase{"DepthWithAStrayWritesNothing", "--depth 9 -o OUT IN", "12\n34 5g", 1,
                "in.txt:2:5: error: 'g' (U+0067)", ""},
        CliCase{"NegativeDepth", "--depth -1 -o OUT", "1", 2, "invalid depth '-1'", ""},
        CliCase{"DepthBeyondTheLargest", "--depth 2147483648 -o OUT", "1", 2,
                "invalid depth '2147483648'", ""},
        CliCase{"DepthZeroHoldsNoWord", "--depth 0 -o OUT", "12", 3,
                "more than --depth 0; nothing written", ""},
        // The edges of every width range, and numbers that are not quite numbers.
        CliCase{"WidestBinaryWord", "-r bin -w 64 -o OUT", std::string(64, '1'), 0, "WIDTH = 64",
                "\t0\t:\t" + std::string(64, '1') + ";\r\n\r\nEND;"},
        CliCase{"WidestHexWord", "-w 256 -o OUT", std::string(64, 'f'), 0, "WIDTH = 256",
                "WIDTH = 256;\r\nDEPTH = 1;"},
        CliCase{"NarrowestBinaryWord", "-r bin -w 1 -o OUT", "101", 0, "DEPTH = 3",
                "\t2\t:\t1;"},
        CliCase{"WidthAfterTheOutputName", "-o OUT -w 16", "1234", 0, "WIDTH = 16",
                "WIDTH = 16;\r\n"},
        CliCase{"WidthWithATrailingLetter", "-w 8x -o OUT", "12", 2, "invalid width '8x'", ""},
        CliCase{"HexWidthZero", "-w 0 -o OUT", "12", 2, "invalid width '0': widths are 1 to 256",
                ""},
        CliCase{"HexWidthPastTheLargest", "-w 260 -o OUT", "12", 2, "widths are 1 to 256", ""},
        CliCase{"BinaryWidthZero", "-r bin -w 0 -o OUT", "1", 2, "widths are 1 to 256", ""},
        // --encoding, each way it can be given.
        CliCase{"EncodingUtf16LeWithoutAMark", "--encoding=utf-16le -o OUT IN",
                std::string("1\0" "2\0" "\n\0" "3\0" "4\0", 10), 0, "DEPTH = 2",
                "\t0\t:\t12;\r\n\t1\t:\t34;"},
        CliCase{"EncodingUtf16BeWithoutAMark", "--encoding utf-16be -o OUT IN",
                std::string("\0" "a\0" "b", 4), 0, "DEPTH = 1", "\t0\t:\tab;"},
        CliCase{"EncodingUtf8RefusesGbkBytes", "--encoding=UTF-8 -o OUT IN", "12\xD7\xD6", 1,
                "in.txt:1:3: error: U+FFFD is not a hexadecimal digit", ""},
        CliCase{"EncodingGbkNamesTheCharacter", "--encoding=gbk -o OUT IN", "12\xD7\xD6", 1,
                "in.txt:1:3: error: '\xE5\xAD\x97' (U+5B57) is not a hexadecimal digit", ""},
        CliCase{"UnknownEncoding", "--encoding=latin1 -o OUT", "12", 2,
                "invalid encoding 'latin1'", ""},
        CliCase{"SecondOperand", "IN extra", "1", 2, "extra operand 'extra'", ""},
        CliCase{"BundledUnknownShortOption", "-qx", "1", 2, "invalid option -- 'x'", ""},
        CliCase{"FlagGivenAValue", "--quiet=yes", "1", 2,
                "option '--quiet' doesn't allow an argument", ""},
        CliCase{"EmptyOutputName", "-o ''", "1", 2, "the output name is empty", ""},
        CliCase{"OutputIsAFolder", "-o .", "12", 3, "cannot write .: Is a directory", ""},
        CliCase{"MissingOutputFolder", "-o nodir/x.mif", "12", 3,
                "cannot write nodir/x.mif: No such file or directory", ""},
        CliCase{"OutputOntoAFullDevice", "-o FULL", "12", 3, ": No space left on device", ""},
        CliCase{"StandardOutputAsADeviceName", "-o /dev/stdout", "12", 0,
                "wrote /dev/stdout: WIDTH = 8, DEPTH = 1\n", "\t0\t:\t12;"},
        CliCase{"BinaryInputBytesBecomeHex", "--binary-input -w 16 -o OUT IN", "\x01\xAB\r\n", 0,
                "DEPTH = 2", "\t0\t:\t01ab;\r\n\t1\t:\t0d0a;"},
        // From a pipe, every byte is data: a 0x1A ends nothing, CR LF stays two bytes.
        CliCase{"BinaryInputFromAPipeKeepsEveryByte", "--binary-input -o OUT", "\x12\x1A\r\n\x34", 0,
                "DEPTH = 5", "\t1\t:\t1a;\r\n\t2\t:\t0d;\r\n\t3\t:\t0a;\r\n\t4\t:\t34;"},
        CliCase{"BinaryInputNeedsWholeBytes", "--binary-input -w 12 -o OUT", "", 2, "multiple or a divisor",
                ""},
        // Options spelt as two words, as well as with '='.
        CliCase{"LittleEndianWordsFromAPipe", "--from binary --byte-order little -w 32 --fill 0xee "
                "-o OUT", "\x11\x22\x33\x44\x55", 0, "the rest is filled with 0xee",
                "\t0\t:\t44332211;\r\n\t1\t:\teeeeee55;"},
        CliCase{"BigEndianWordsAsAsked", "--from binary --byte-order=big -w 32 -o OUT",
                "\x11\x22\x33\x44", 0, "DEPTH = 1", "\t0\t:\t11223344;"},
        CliCase{"FillGivenInDecimal", "--from binary -w 32 --fill 238 -o OUT", "\x11", 0,
                "the rest is filled with 0xee", "\t0\t:\t11eeeeee;"},
        // Values the digits rule would join into words, told in both of its wordings.
        CliCase{"JoinedValuesOfOneLength", "-o OUT", "0x1, 0x2, 0x3, 0x4", 0,
                "warning: the input's 4 values have 1 digit each, and the digits rule joins them "
                "into words of 2 digits: with --from=values each value is one word\n",
                "\t0\t:\t12;"},
        CliCase{"JoinedValuesOfSeveralLengths", "-o OUT", "0x1, 0x22, 0x3", 0,
                "warning: the input's 3 values have 1 to 2 digits, and the digits rule joins",
                "\t1\t:\t23;"},
        // The short value crosses from one 64-byte block into the next.
        CliCase{"JoinedValuesOfSeveralLengthsAcrossABlock", "-o OUT",
                Repeated("0x12,", 25) + "0x1," + Repeated("0x12,", 34), 0,
                "warning: the input's 60 values have 1 to 2 digits", "\t25\t:\t11;"},
        CliCase{"AddressOptionsNeedAnInputWithAddresses", "--base=0x10 -o OUT", "12", 2,
                "take an input with addresses", ""},
        CliCase{"IhexGivenToTheDigitsReaderNamesItsReader", "-o OUT IN",
                ":0100000011EE\r\n:00000001FF\r\n", 1, "in.txt:1:1: error: ':' (U+003A) is not a "
                "hexadecimal digit (2 such characters) (try --from=ihex)", ""},
        CliCase{"IhexEndRecordAloneNamesItsReader", "-o OUT IN", ":00000001FF\n", 1,
                "(try --from=ihex)", ""},
        // No line end after the last record: the file is read twice, but sniffed once.
        CliCase{"SrecWithoutItsLastLineEndNamesItsReader", "-o OUT IN", "S9030000FC", 1,
                "(try --from=srec)", ""},
        CliCase{"ReadmemAddressFirstNamesItsReader", "-o OUT IN", "@10\n12 34\n", 1,
                "in.txt:1:1: error: '@' (U+0040) is not a hexadecimal digit (1 such character) "
                "(try --from=readmem)\n",
                ""},
        CliCase{"ValuesGivenToTheDigitsReaderNamesItsReader", "-o OUT IN", "v = {1, 2};\n", 1,
                "in.txt:1:1: error: 'v' (U+0076) is not a hexadecimal digit (2 such characters) "
                "(try --from=values)\n",
                ""},
        CliCase{"PythonListGivenToTheDigitsReaderNamesItsReader", "-o OUT IN", "v = [1, 2]\n", 1,
                "(try --from=values)", ""},
        CliCase{"MifGivenToTheDigitsReaderNamesItsReader", "-o OUT IN",
                "WIDTH=8;\nDEPTH=2;\nCONTENT BEGIN\n0 : 12;\n1 : 34;\nEND;\n", 1,
                "(20 such characters) (try --from=mif)\n", ""},
        CliCase{"NotesNamingWidthAndDepthAreNoMif", "-o OUT IN",
                "width and depth of the table\n12 34\n", 1, "(13 such characters)\n", ""},
        CliCase{"NoteAfterAColonIsNoIhex", "-o OUT IN", ": see the table below\n12\n", 1,
                "(9 such characters)\n", ""},
        CliCase{"FillOfAReadmemGap", "--from=readmem -w 8 --fill 0x5 -t mem -o OUT", "@2 12\n", 0,
                "2 words from @0 filled with 0x5", "05\n05\n12\n"},
        // A script that closed standard input: the input file opens as descriptor 0.
        // A file as standard input: the second pass seeks back to its start, offset 0.
        CliCase{"StandardInputFromAFileIsReadTwice", "-q -o - < IN", "12 34", 0, "",
                "DEPTH = 2;\r\n"},
        CliCase{"InputFileWhileStandardInputIsClosed", "-o OUT IN <&-", "12 34", 0,
                "wrote", "\t1\t:\t34;"},
        CliCase{"FillWiderThanTheInputWord", "--binary-input --fill=0x100 -o OUT", "\x11", 2,
                "invalid fill '0x100': wider than 8 bits", ""},
        CliCase{"DefaultWidthIsEightBits", "-q -o -", "12", 0, "", "WIDTH = 8;\r\n"},
        CliCase{"IhexGivenToTheSrecReaderNamesItsReader", "--from=srec -o OUT IN",
                ":0100000011EE\n", 1, "in.txt:1:1: error: ':' starts no record: S-records start "
                "with 'S' (try --from=ihex)", ""},
        CliCase{"BaseThatIsNoNumber", "--binary-input --base=0x8000_0000 -o OUT", "\x11", 2,
                "invalid base '0x8000_0000'", ""},
        CliCase{"InputWidthOfNoBits", "--from=readmem --input-width=0 -o OUT", "12", 2,
                "invalid input width '0'", ""},
        CliCase{"MifDepthOtherThanGiven", "--from=mif --depth 8 -o OUT",
                "WIDTH=8;DEPTH=4;\nCONTENT BEGIN\n0: 1 2 3 4;\nEND;", 1,
                "-:1:9: error: the file's DEPTH is 4, --depth 8: leave --depth out", ""},
        // Each option's values, one not among them: refused by name, nothing written.
        CliCase{"RadixNotHexOrBin", "-r oct -o OUT", "12", 2,
                "invalid radix 'oct': use hex or bin", ""},
        CliCase{"OutputFormatUnknown", "-t hex -o OUT", "12", 2,
                "invalid output format 'hex': use mif, coe", ""},
        CliCase{"InputFormatUnknown", "--from txt -o OUT", "12", 2,
                "invalid input format 'txt': use digits, ", ""},
        CliCase{"UnknownDigitsNeitherWay", "--from=readmem --unknown=maybe -o OUT", "12", 2,
                "invalid --unknown 'maybe': use error or zero", ""},
        CliCase{"UnknownDigitsRefusedWhenAskedSo", "--from=readmem --unknown zero --unknown error "
                "-o OUT", "1x\n", 1, "-:1:2: error: ", ""},
        CliCase{"ByteOrderNeitherWay", "--binary-input --byte-order=middle -o OUT", "\x11", 2,
                "invalid byte order 'middle': use big or little", ""},
        CliCase{"FillThatIsNoNumber", "--binary-input --fill=ff -o OUT", "\x11", 2,
                "invalid fill 'ff': use a value such as 0xff or 0", ""},
        CliCase{"BytesReadAtAnotherInputWidth", "--binary-input --input-width=16 -o OUT", "\x11",
                2, "--from=binary (--binary-input) reads bytes: its input width is 8", ""},
        CliCase{"BytesReadAtTheirOwnInputWidth", "-q --binary-input --input-width=8 -o -", "\x11",
                0, "", "\t0\t:\t11;\r\n"},
        CliCase{"BytesReadInBinaryRadix", "--from=ihex -r bin -o OUT", ":00000001FF\n", 2,
                "--from=ihex needs the hex radix", ""},
        CliCase{"ReadmemInputWidthIsTheMemorysWidth", "-q --from=readmem --input-width=16 -o -",
                "abcd\n", 0, "", "WIDTH = 16;\r\n"},
        CliCase{"InputWidthOfTheWidestWord", "-q --from=readmem --input-width=256 -o -", "1\n", 0,
                "", "WIDTH = 256;\r\n"},
        // A base of three or more decimal digits is decimal, as a fill is.
        CliCase{"BaseGivenInDecimal", "-q --from=readmem --base 4096 -w 8 -t mem -o -",
                "@1001 12\n", 0, "1 word from @1000 filled with zeros", "00\n12\n"},
        CliCase{"WidthBeyond256", "-r bin -w 257 -o OUT", "1", 2, "widths are 1 to 256", ""},
        // A hex width that is no multiple of 4: its first digit holds the bits that are left.
        CliCase{"HexWidthOfTenBits", "-q -w 10 -o -", "3ff 123", 0, "",
                "WIDTH = 10;\r\n"},
        CliCase{"HexWidthOfTenBitsFirstDigitTooLarge", "-w 10 -o OUT", "3ff 423", 1,
                "-:1:5: error: the word at address 1 is wider than 10 bits: its first hex digit "
                "may be 0 to 3",
                ""},
        CliCase{"ReadmemWidthOfTenBits", "--from=readmem -w 10 -o OUT", "3ff\n423\n", 1,
                "-:2:1: error: the word '423' is wider than 10 bits", ""},
        CliCase{"UnknownOption", "--frobnicate", "", 2, "unrecognized option '--frobnicate'", ""},
        CliCase{"MissingInput", "-o OUT missing.txt", "", 3, "missing.txt: No such file", ""},
        CliCase{"UnwritableOutput", "-o /proc/version", "12", 3, "cannot write", ""},
        CliCase{"StandardOutput", "-q -o -", "1010", 0, "", "\t0\t:\t10;\r\n\t1\t:\t10;"},
        // The other memory formats: every word at full width, LF line ends.
        CliCase{"CoeCommasAndAClosingSemicolon", "-t coe -w 16 -o OUT", "abcdef", 0,
                "wrote " /* the short last word is padded, not written short */,
                "memory_initialization_radix=16;\nmemory_initialization_vector=\nabcd,\n00ef;\n"},
        CliCase{"MemBinaryPaddedToDepth", "-t mem -r bin -w 4 --depth 3 -o OUT IN", "1011 01", 0,
                "DEPTH = 3", "\n1011\n0001\n0000\n"},
        CliCase{"DefaultNameFollowsTheFormat", "-t mem IN", "12", 0, "wrote Vetrask.mem", ""},
        // $readmemh files: tokens are words, comments and @ addresses as simulators read them.
        CliCase{"ReadmemWordsAddressesAndComments", "--from=readmem -w 16 -t coe -o OUT IN",
                "// rom\n@2 1_F /* skip\n me */ 3 0_0_0ab // end\n", 0,
                "in.txt:2:1: warning: 2 words from @0 filled with zeros\n",
                "vector=\n0000,\n0000,\n001F,\n0003,\n00ab;\n"},
        CliCase{"ReadmemUnknownBitsRefusedWhereTheyStand", "--from=readmem -o OUT IN", "12\n 3x\n", 1,
                "in.txt:2:3: error: 'x' (U+0078) is not a hexadecimal digit (1 such character)\n", ""},
        CliCase{"ReadmemAddressGoingBackLoadsTheLaterWord", "--from=readmem -o OUT IN", "@1 11 22 @1 33", 0,
                "in.txt:1:13: warning: the word for @1 was given before, at 1:4: the later word wins, as "
                "simulators load it (1 word given again)\n",
                "\t0\t:\t00;\r\n\t1\t:\t33;\r\n\t2\t:\t22;\r\n\r\nEND;"},
        // Megabytes of plain words, one a line, then something else: places and addresses
        // still count every word before it.
        CliCase{"ReadmemPlainMegabytesThenAStray", "--from=readmem -o OUT IN",
                Repeated("abcd\n", 300000) + " zz\n", 1,
                "in.txt:300001:2: error: 'z' (U+007A) is not a hexadecimal digit", ""},
        CliCase{"ReadmemPlainMegabytesThenAJump", "--from=readmem -o OUT IN",
                Repeated("ab\nabcd\n", 150000) + "@493e2 ffff\n", 0,
                "in.txt:300001:1: warning: 2 words from @493E0 filled with zeros\n",
                "\t299998\t:\t00ab;\r\n\t299999\t:\tabcd;\r\n\t300000\t:\t0000;\r\n"
                "\t300001\t:\t0000;\r\n\t300002\t:\tffff;\r\n\r\nEND;\r\n"},
        CliCase{"ReadmemPlainWordsPaddedToTheWidestQuietStillWarns", "--from=readmem -q -o OUT IN",
                Repeated("ab\nabcd\n", 150000) + "@493e2 ffff\n", 0,
                "in.txt:300001:1: warning: 2 words from @493E0 filled with zeros\n",
                "DEPTH = 300003;\r\n\r\nADDRESS_RADIX = DEC;\r\nDATA_RADIX = HEX;\r\n\r\n"
                "CONTENT BEGIN\r\n\r\n\t0\t:\t00ab;\r\n\t1\t:\tabcd;\r\n\t2\t:\t00ab;\r\n"},
        CliCase{"ReadmemGapRefusedWhenStrict", "--from=readmem --strict -o OUT IN", "1 @3 2", 3,
                "in.txt:1:3: error: 2 words from @1 filled with zeros\n"
                "tarnwick-convert: nothing written (--strict)\n", ""},
        // Long options as two words, as well as with '='.
        CliCase{"FormatsAsTwoWords", "--to coe --from readmem -o OUT IN", "@1 ab", 0,
                "in.txt:1:1: warning: 1 word from @0 filled with zeros", "memory_initialization_vector=\n00,\nab;\n"},
        CliCase{"Version", "--version", "", 0, "", "tarnwick-convert (Tarnwick) 1.0.0"}),
    [](const testing::TestParamInfo<CliCase>& info) { return std::string(info.param.name); });
// clang-format on

// The command line writes the window's bytes: the golden files, date line aside.
TEST(ConvertCliGolden, SampleMatchesTheWindowsFile) {
    const test::TempDir dir;
    const std::string out = (dir / "out.mif").string();
    const std::string command = std::string(TARNWICK_CONVERT " -q -o ") + out + " <" +
                                (test::GoldenDir() / "sample_input.txt").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(withoutDateLine(test::ReadBytes(out)),
              withoutDateLine(test::ReadBytes(test::GoldenDir() / "sample_hex8.mif")));
}

int Shell(const test::TempDir& dir, const std::string& command) {
    const int raw = std::system(("cd " + dir.path().string() + " && " + command).c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// --help goes to standard output, each line within a terminal's 80 columns.
TEST(ConvertCliHelp, GoesToStandardOutputWithinEightyColumns) {
    const test::TempDir dir;
    ASSERT_EQ(Shell(dir, TARNWICK_CONVERT " --help >help.txt 2>err.txt"), 0);
    EXPECT_EQ(test::ReadBytes(dir / "err.txt"), "");
    std::istringstream help(test::ReadBytes(dir / "help.txt"));
    std::string line;
    ASSERT_TRUE(std::getline(help, line));
    EXPECT_EQ(line.rfind("Usage: ", 0), 0u) << line;
    int lines = 1;
    for (; std::getline(help, line); ++lines) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        EXPECT_LE(line.size(), 80u) << line;
    }
    EXPECT_GT(lines, 40);
    // The defaults, as the table's first rows give them.
    const std::string text = test::ReadBytes(dir / "help.txt");
    EXPECT_NE(text.find("--to=FORMAT       the output's format, mif by default:"), text.npos);
    EXPECT_NE(text.find("--from=FORMAT     the input's format, digits by default:"), text.npos);
    // An alias's text in the column of the options' own (its line ends CR LF on Windows).
    EXPECT_NE(text.find("\n      --binary-input    the same as --from=binary"), text.npos);
    // Each format's name, then its description in a column of its own.
    EXPECT_NE(text.find("   mem      one word a line"), text.npos);
    EXPECT_NE(text.find("   readmem  a $readmemh/$readmemb file"), text.npos);
}

// An ELF file of exactly the 256 MiB read at most is read; one byte more is refused. Sparse,
// so the disk holds only the header.
TEST(ConvertCliElf, AFileOfTheLargestSizeIsReadAndOneByteMoreRefused) {
    if (kWindows)
        GTEST_SKIP() << "the same engine: half a gigabyte through wine adds nothing";
    const test::TempDir dir;
    test::WriteBytes(dir / "big.elf", std::string("\x7f"
                                                  "ELF\x01\x01\x01",
                                                  7) +
                                          std::string(45, '\0'));
    for (const std::uintmax_t size : {std::uintmax_t{256} << 20, (std::uintmax_t{256} << 20) + 1}) {
        std::filesystem::resize_file(dir / "big.elf", size);
        EXPECT_EQ(Shell(dir, TARNWICK_CONVERT " --from=elf -o out.mif big.elf 2>err.txt"), 1);
        EXPECT_NE(ReadMessages(dir / "err.txt")
                      .find(size == std::uintmax_t{256} << 20
                                ? "the ELF file has no section headers"
                                : "the ELF file is larger than 256 MiB, more than is read at most"),
                  std::string::npos)
            << size;
    }
}

// What the documentation tells users to run, run on a C array as a font tool writes it: a
// declaration, comments in GBK, a preprocessor line and a `_len` line. The man page's and
// README's Makefile rules through make, the Windows README's commands through the shell.
TEST(Documentation, EveryExampleConvertsARealCArray) {
    if (kWindows)
        GTEST_SKIP() << "make and sh run the examples";
    const test::TempDir dir;
    std::string font = "/* font.c: 16x8 glyphs */\n#include <stdint.h>\n"
                       "static const unsigned char font[32] = {\n";
    for (int glyph = 0; glyph < 2; ++glyph) {
        font += glyph == 0 ? "/*-- \xCE\xC4\xD7\xD6: \xD6\xD0 --*/\n" // 文字: 中, in GBK
                           : "/*-- \xCE\xC4\xD7\xD6: \xCE\xC4 --*/\n";
        for (int i = 0; i < 16; ++i) {
            char value[8];
            std::snprintf(value, sizeof value, "0x%02X,", glyph * 16 + i);
            font += value;
        }
        font += "\n";
    }
    font += "};\nconst unsigned int font_len = 32;\n";
    test::WriteBytes(dir / "font.c", font);
    const std::string tool = TARNWICK_CONVERT;
    auto commands = [&](const std::string& text) { // the tool's name, and roff's '\-' as '-'
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text.compare(i, 16, "tarnwick-convert") == 0) {
                out += tool;
                i += 15;
            } else if (text.compare(i, 2, "\\-") != 0) {
                out += text[i];
            }
        }
        return out;
    };
    const std::string man = test::ReadBytes(TARNWICK_SOURCE_DIR "/packaging/tarnwick-convert.1.in");
    const std::size_t example = man.find(".SH EXAMPLE\n.nf\n");
    ASSERT_NE(example, std::string::npos);
    const std::size_t start = example + 16;
    test::WriteBytes(dir / "man.mk", commands(man.substr(start, man.find(".fi", start) - start)));
    const std::string readme = test::ReadBytes(TARNWICK_SOURCE_DIR "/README.md");
    const std::size_t rule = readme.find("    %.mif: %.c");
    ASSERT_NE(rule, std::string::npos);
    const std::size_t ruleEnd = readme.find('\n', readme.find('\n', rule) + 1);
    // Indented four spaces, as Markdown code.
    const std::string readmeRule = commands(std::regex_replace(
        readme.substr(rule, ruleEnd + 1 - rule), std::regex("(^|\n)    "), "$1"));
    test::WriteBytes(dir / "readme.mk", readmeRule);
    ASSERT_EQ(Shell(dir, "SOURCE_DATE_EPOCH=0 make -s -f man.mk font.mif && mv font.mif man.mif && "
                         "SOURCE_DATE_EPOCH=0 make -s -f readme.mk font.mif"),
              0);
    for (const char* name : {"man.mif", "font.mif"}) {
        const std::string mif = test::ReadBytes(dir / name);
        EXPECT_NE(mif.find("DEPTH = 32;"), std::string::npos) << name;
        EXPECT_NE(mif.find("\t31\t:\t1F;"), std::string::npos) << name;
    }
    const std::string windows =
        test::ReadBytes(TARNWICK_SOURCE_DIR "/packaging/windows/README.txt.in");
    int run = 0;
    for (std::size_t at = 0; (at = windows.find("\n    ", at)) != std::string::npos; ++at) {
        const std::string line = windows.substr(at + 5, windows.find('\n', at + 1) - at - 5);
        if (line.find("font.c") == std::string::npos)
            continue;
        SCOPED_TRACE(line);
        EXPECT_EQ(Shell(dir, "SOURCE_DATE_EPOCH=0 " +
                                 commands(std::regex_replace(line, std::regex("^type "), "cat ")) +
                                 " 2>err.txt && ! grep -q warning err.txt"),
                  0);
        ++run;
    }
    EXPECT_EQ(run, 4);
    EXPECT_NE(test::ReadBytes(dir / "Vetrask.mif").find("DEPTH = 32;"), std::string::npos);
}

// Raw bytes over several read pieces (1 MiB each, read one ahead into two buffers in turn)
// still make two digits a byte, every word in order.
TEST(ConvertCliBinaryInput, BytesAcrossReadPiecesBecomeWordsInOrder) {
    const test::TempDir dir;
    std::string bytes(3 * (1 << 20) + (1 << 19) + 3, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i % 251);
    test::WriteBytes(dir / "rom.bin", bytes);
    ASSERT_EQ(Shell(dir, TARNWICK_CONVERT " -q --binary-input -w 16 -o out.mif rom.bin"), 0);
    const std::string mif = test::ReadBytes(dir / "out.mif");
    // The odd last byte: a word filled after it, the byte at its own address.
    const std::size_t words = (bytes.size() + 1) / 2;
    EXPECT_NE(mif.find("DEPTH = " + std::to_string(words) + ";"), std::string::npos);
    std::string body;
    char line[64];
    for (std::size_t w = 0; w + 1 < words; ++w) {
        std::snprintf(line, sizeof line, "\t%zu\t:\t%02x%02x;\r\n", w,
                      static_cast<unsigned>(w * 2 % 251), static_cast<unsigned>((w * 2 + 1) % 251));
        body += line;
    }
    std::snprintf(line, sizeof line, "\t%zu\t:\t%02x00;\r\n\r\nEND;\r\n", words - 1,
                  static_cast<unsigned>((bytes.size() - 1) % 251));
    body += line;
    ASSERT_GE(mif.size(), body.size());
    EXPECT_TRUE(mif.compare(mif.size() - body.size(), body.size(), body) == 0);
}

// Endless input ends as soon as the result is decided.
TEST(ConvertCliEndless, InputThatNeverEndsStopsAtOnce) {
    const test::TempDir dir;
    EXPECT_EQ(Shell(dir, "yes 0123 | timeout 20 " TARNWICK_CONVERT " --depth 4 -o out.mif "
                         "2>err.txt"),
              3);
    EXPECT_NE(ReadMessages(dir / "err.txt").find("more than --depth 4"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mif"));
    EXPECT_EQ(Shell(dir, "yes 0123z | timeout 20 " TARNWICK_CONVERT " -o out.mif 2>/dev/null"), 1);
    EXPECT_EQ(Shell(dir, "yes 0123z | timeout 20 " TARNWICK_CONVERT " --depth 9999 -o out.mif "
                         "2>/dev/null"),
              1);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mif"));
}

// With SOURCE_DATE_EPOCH two runs give the same bytes, the date line in UTC.
TEST(ConvertCliReproducible, SourceDateEpochFixesTheDateLine) {
    const test::TempDir dir;
    const std::string run = "printf '12 34' | SOURCE_DATE_EPOCH=999993599 TZ=Asia/Shanghai "
                            "LC_ALL=C " TARNWICK_CONVERT " -q -o ";
    ASSERT_EQ(Shell(dir, run + "a.mif && sleep 1.1 && " + run + "b.mif"), 0);
    const std::string a = test::ReadBytes(dir / "a.mif");
    EXPECT_EQ(a, test::ReadBytes(dir / "b.mif"));
    // Windows shows the time as its regional settings say, whatever LC_ALL says.
    if (!kWindows) {
        EXPECT_NE(a.find("-- Design Date\xA3\xBA"
                         "09/08/0123:59:59\r\n"),
                  std::string::npos);
    }

    // A build that sets it wrongly hears of it: no file with today's date.
    ASSERT_EQ(
        Shell(dir, "printf 12 | SOURCE_DATE_EPOCH=0 LC_ALL=C " TARNWICK_CONVERT " -q -o zero.mif"),
        0);
    if (!kWindows) {
        EXPECT_NE(test::ReadBytes(dir / "zero.mif").find("01/01/7000:00:00"), std::string::npos);
    }
    for (const char* bad : {"abc", "-1", "12x", "253402300800"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(Shell(dir, std::string("printf 12 | SOURCE_DATE_EPOCH=") + bad +
                                 " " TARNWICK_CONVERT " -q -o bad.mif 2>err.txt"),
                  2);
        EXPECT_NE(ReadMessages(dir / "err.txt").find("invalid SOURCE_DATE_EPOCH"),
                  std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir / "bad.mif"));
    }
    ASSERT_EQ(Shell(dir, "printf 12 | SOURCE_DATE_EPOCH=253402300799 LC_ALL=C " TARNWICK_CONVERT
                         " -q -o last.mif"),
              0);
    if (!kWindows) {
        EXPECT_NE(test::ReadBytes(dir / "last.mif").find("12/31/9923:59:59"), std::string::npos);
    }
}

// Files as real tools write them, through real pipes: xxd's C array, its body as README's
// Makefile rule cuts it, the binary itself, and the body as UTF-16 arriving in odd pieces.
TEST(ConvertCliRealTools, XxdArrayBodyBinaryAndUtf16AllGiveTheSameFile) {
    const test::TempDir dir;
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 7919) >> 3);
    test::WriteBytes(dir / "true4k.bin", binary);
    ASSERT_EQ(Shell(dir, "xxd -i true4k.bin >true4k.c && xxd -i -u true4k.bin >upper.c"), 0);
    const std::string convert = "LC_ALL=C.UTF-8 " TARNWICK_CONVERT " --strict -q";

    ASSERT_EQ(Shell(dir, convert + " -o whole.mif true4k.c 2>err.txt"), 1);
    EXPECT_EQ(
        ReadMessages(dir / "err.txt"),
        "true4k.c:1:1: error: 'u' (U+0075) is not a hexadecimal digit (38 such characters) (try "
        "--from=values)\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "whole.mif"));

    const std::string body = "sed -n '/{/,/}/p' ";
    const std::string cut = " | sed 's/.*{//; s/}.*//'";
    ASSERT_EQ(Shell(dir, body + "true4k.c" + cut + " | " + convert + " -o body.mif"), 0);
    ASSERT_EQ(Shell(dir, body + "upper.c" + cut + " | " + convert + " -o upper.mif"), 0);
    ASSERT_EQ(Shell(dir, convert + " --binary-input -o binary.mif true4k.bin"), 0);
    ASSERT_EQ(Shell(dir, body + "true4k.c" + cut + " | iconv -f UTF-8 -t UTF-16 >body16.txt"), 0);
    ASSERT_EQ(Shell(dir, "(head -c 1001 body16.txt; sleep 0.2; tail -c +1002 body16.txt) | " +
                             convert + " -o utf16.mif"),
              0);
    // The whole file, declaration and `_len` line too, read as values; in UTF-16 as well.
    ASSERT_EQ(Shell(dir, convert + " --from=values -o values.mif true4k.c"), 0);
    ASSERT_EQ(Shell(dir, "iconv -f UTF-8 -t UTF-16 true4k.c | " + convert +
                             " --from values -o values16.mif"),
              0);
    const std::string expected = withoutDateLine(test::ReadBytes(dir / "binary.mif"));
    EXPECT_NE(expected.find("DEPTH = 4096;"), std::string::npos);
    for (const char* name : {"body.mif", "utf16.mif", "values.mif", "values16.mif"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(withoutDateLine(test::ReadBytes(dir / name)), expected);
    }
    // Letter case stays as typed: the upper-case array differs only in its digits' case.
    auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string upper = withoutDateLine(test::ReadBytes(dir / "upper.mif"));
    EXPECT_NE(upper, expected);
    EXPECT_EQ(lower(upper), lower(expected));
}

// What the shell opened is used where it stands: an output name for a descriptor writes
// into it (a log opened for appending keeps its lines), standard input is read from where
// the shell left it, and the input file by any name is never the output.
TEST(ConvertCliShell, DescriptorsAndInputAsTheShellGaveThem) {
    if (kWindows)
        GTEST_SKIP() << "/proc, descriptors beyond the standard three and hard links are POSIX's";
    const test::TempDir dir;
    const std::string convert = TARNWICK_CONVERT " -q";
    for (const auto& [name, redirect] :
         {std::pair{"/dev/stdout", ">>"}, std::pair{"-", ">>"}, std::pair{"/proc/self/fd/1", ">>"},
          std::pair{"/dev/stderr", "2>>"}}) {
        SCOPED_TRACE(name);
        test::WriteBytes(dir / "build.log", "earlier line\n");
        ASSERT_EQ(Shell(dir, "printf '12 34' | " + convert + " -o " + name + " " + redirect +
                                 "build.log"),
                  0);
        const std::string log = test::ReadBytes(dir / "build.log");
        EXPECT_EQ(log.rfind("earlier line\n-- ", 0), 0u) << log;
        EXPECT_NE(log.find("\t1\t:\t34;\r\n\r\nEND;\r\n"), std::string::npos);
    }
    ASSERT_EQ(Shell(dir, "printf '56' | " + convert + " -o /dev/fd/3 3>>build.log"), 0);
    EXPECT_NE(test::ReadBytes(dir / "build.log").find("\t1\t:\t34;"), std::string::npos);
    EXPECT_NE(test::ReadBytes(dir / "build.log").find("\t0\t:\t56;"), std::string::npos);
    // Descriptor 0 too, where a script opened its log in standard input's place.
    test::WriteBytes(dir / "in.txt", "78");
    ASSERT_EQ(Shell(dir, convert + " -o /dev/fd/0 in.txt 0>>build.log"), 0);
    EXPECT_NE(test::ReadBytes(dir / "build.log").find("\t0\t:\t56;"), std::string::npos);
    EXPECT_NE(test::ReadBytes(dir / "build.log").find("\t0\t:\t78;"), std::string::npos);
    EXPECT_EQ(Shell(dir, "printf 12 | " + convert + " -o /dev/fd/9 2>err.txt"), 3);
    EXPECT_EQ(ReadMessages(dir / "err.txt"),
              "tarnwick-convert: cannot write /dev/fd/9: Bad file descriptor\n");
    // A file whose reading fails (here at its first byte, as a bad disk would): the reason is
    // the system's, passed on from the thread that reads ahead, and nothing is written.
    EXPECT_EQ(Shell(dir, convert + " -o mem.mif /proc/self/mem 2>err.txt"), 3);
    EXPECT_EQ(ReadMessages(dir / "err.txt"),
              "tarnwick-convert: /proc/self/mem: Input/output error\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "mem.mif"));

    test::WriteBytes(dir / "data.txt", "// header line\n12 34\n");
    ASSERT_EQ(Shell(dir, "{ read -r first; " + convert + " -o rom.mif; } <data.txt"), 0);
    const std::string rom = test::ReadBytes(dir / "rom.mif");
    EXPECT_NE(rom.find("DEPTH = 2;\r\n"), std::string::npos);
    EXPECT_NE(rom.find("\t0\t:\t12;\r\n\t1\t:\t34;"), std::string::npos);

    test::WriteBytes(dir / "same.txt", "12 34");
    ASSERT_EQ(::link((dir / "same.txt").c_str(), (dir / "hard.txt").c_str()), 0);
    std::filesystem::create_symlink("same.txt", dir / "soft.txt");
    for (const auto& [output, redirect] :
         {std::pair{"same.txt", ""}, std::pair{"hard.txt", ""}, std::pair{"soft.txt", ""},
          std::pair{"./same.txt", ""}, std::pair{"/dev/stdout", ">>same.txt"}}) {
        SCOPED_TRACE(output);
        EXPECT_EQ(Shell(dir, convert + " -o " + output + " same.txt 2>err.txt " + redirect), 2);
        EXPECT_EQ(ReadMessages(dir / "err.txt"),
                  std::string("tarnwick-convert: ") + output +
                      " is the input file; choose another output name\n");
        EXPECT_EQ(test::ReadBytes(dir / "same.txt"), "12 34");
    }
}

// A conversion stopped at any moment leaves the earlier file as it was and no temporary
// file: unnamed until commit, so even SIGKILL leaves nothing; where the file system has no
// unnamed files, the signals that can be caught remove the named one.
TEST(ConvertCliSignals, StoppedConversionLeavesOnlyTheEarlierFile) {
    // A conversion that ends early must fail the test, not kill it with SIGPIPE; the shells
    // of later tests must not inherit the ignoring.
    struct IgnoredWhileHere {
        void (*previous)(int) = std::signal(SIGPIPE, SIG_IGN);
        ~IgnoredWhileHere() { std::signal(SIGPIPE, previous); }
    } sigpipe;
    for (const bool unnamed : {true, false})
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
            if (!unnamed && signal == SIGKILL)
                continue; // a name cannot outlive SIGKILL's cleanup: only unnamed files can
            if (kWindows && !unnamed)
                continue; // no LD_PRELOAD reaches a Windows program; its file is always marked
            SCOPED_TRACE(std::string(unnamed ? "unnamed " : "named ") + strsignal(signal));
            const test::TempDir dir;
            test::WriteBytes(dir / "x.mif", "earlier");
            const std::string fifo = (dir / "in.fifo").string();
            ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                std::signal(SIGPIPE, SIG_DFL);
                if (!unnamed) {
                    ::setenv("LD_PRELOAD", TARNWICK_NO_UNNAMED_FILES, 1);
                    ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
                }
                const std::string out = (dir / "x.mif").string();
                // Under wine, asking a name what it is opens it: a FIFO opened and closed
                // so would lose what was written meanwhile. It comes as standard input there.
                const char* input = fifo.c_str();
                if (kWindows) {
                    ::dup2(::open(input, O_RDONLY), 0);
                    input = "-";
                }
                ::execl(TARNWICK_CONVERT, TARNWICK_CONVERT, "-q", "--depth", "100000000", "-o",
                        out.c_str(), input, static_cast<char*>(nullptr));
                ::_exit(127);
            }
            // Held open, so the conversion waits for more; 4 MiB through a 64 KiB pipe
            // means the output is open and being written when the write returns. A child
            // that never opens the pipe (it failed at once) must fail the test, not hang it.
            int writer = -1;
            int status = 0;
            for (int wait = 0; wait < 2000 && writer < 0; ++wait) {
                writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                if (writer < 0 && ::waitpid(child, &status, WNOHANG) == child)
                    FAIL() << "the conversion ended before reading: " << status;
                if (writer < 0)
                    ::usleep(10 * 1000);
            }
            ASSERT_GE(writer, 0);
            const std::string digits = Repeated("0x12, ", (4 << 20) / 6);
            std::string_view rest = digits;
            for (int stalls = 0; stalls < 200 && !rest.empty();) {
                const ssize_t put = ::write(writer, rest.data(), rest.size());
                if (put > 0) {
                    rest.remove_prefix(static_cast<std::size_t>(put));
                } else if (errno == EAGAIN) {
                    pollfd ready{writer, POLLOUT, 0};
                    stalls += ::poll(&ready, 1, 100) == 0;
                } else {
                    break;
                }
            }
            ASSERT_TRUE(rest.empty()) << "the conversion stopped reading";
            ::usleep(100 * 1000);
            ASSERT_EQ(::kill(child, signal), 0);
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ::close(writer);
            // Windows has no death by signal to report: wine turns SIGINT into Ctrl+C.
            if (!kWindows) {
                EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
            }
            // wine's server closes a killed process's files a moment after its death, and
            // the file marked for deletion goes then: a few seconds are allowed for that.
            std::vector<std::string> names;
            for (int wait = 0; wait < (kWindows ? 50 : 1); ++wait) {
                if (wait > 0)
                    ::usleep(100 * 1000);
                names.clear();
                for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
                    names.push_back(entry.path().filename().string());
                if (names.size() == 2)
                    break;
            }
            std::sort(names.begin(), names.end());
            EXPECT_EQ(names, (std::vector<std::string>{"in.fifo", "x.mif"}));
            EXPECT_EQ(test::ReadBytes(dir / "x.mif"), "earlier");
        }
}

// Standard input is kept for the second pass in a spool file: one that cannot be written
// (a file size limit) or made (a missing TMPDIR) stops the run with nothing written; an
// empty TMPDIR means /tmp. A file is counted to its end, however far apart its strays.
TEST(ConvertCliSpool, KeptInputFailuresAndStraysFarApart) {
    if (kWindows)
        GTEST_SKIP() << "ulimit -f and TMPDIR do not reach a Windows program";
    const test::TempDir dir;
    test::WriteBytes(dir / "big.txt", Repeated("0x12, ", 400000)); // 2.4 MB
    const std::string convert = TARNWICK_CONVERT " -q -o out.mif";
    EXPECT_EQ(Shell(dir, "(trap '' XFSZ; ulimit -f 1000; cat big.txt | " + convert + ") 2>err.txt"),
              3);
    EXPECT_EQ(ReadMessages(dir / "err.txt"),
              "tarnwick-convert: cannot keep standard input for the second pass: File too large\n");
    EXPECT_EQ(Shell(dir, "cat big.txt | TMPDIR=" + dir.path().string() + "/none " + convert +
                             " 2>err.txt"),
              3);
    EXPECT_NE(ReadMessages(dir / "err.txt").find("cannot keep standard input"), std::string::npos);
    EXPECT_EQ(ReadMessages(dir / "err.txt"), "tarnwick-convert: cannot keep standard input for "
                                             "the second pass: No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mif"));
    ASSERT_EQ(Shell(dir, "cat big.txt | TMPDIR= " + convert), 0);
    EXPECT_NE(test::ReadBytes(dir / "out.mif").find("DEPTH = 400000;"), std::string::npos);

    test::WriteBytes(dir / "far.txt", "g" + Repeated("0x12, ", 400000) + "h\n");
    EXPECT_EQ(Shell(dir, convert + " far.txt 2>err.txt"), 1);
    EXPECT_EQ(ReadMessages(dir / "err.txt"),
              "far.txt:1:1: error: 'g' (U+0067) is not a hexadecimal digit (2 such characters)\n");
}

} // namespace
} // namespace tarnwick
