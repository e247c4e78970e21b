#include "support/test_support.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace tarnwick {
namespace {

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
    std::string stderrHas;
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
    for (auto [name, path] : {std::pair{"IN", dir / "in.txt"}, std::pair{"OUT", dir / "out.mif"}})
        for (std::size_t at; (at = args.find(name)) != std::string::npos;)
            args.replace(at, 2 + (name[0] == 'O'), path.string());
    const std::string command = "cd " + dir.path().string() + " && LC_ALL=C.UTF-8 " TARNWICK_CONVERT " " + args +
                                " <in.txt >stdout.txt 2>stderr.txt";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), c.status);
    const std::string err = test::ReadBytes(dir / "stderr.txt");
    EXPECT_NE(err.find(c.stderrHas), std::string::npos) << err;
    const std::string out = test::ReadBytes(dir / "out.mif") + test::ReadBytes(dir / "stdout.txt");
    if (c.outputHas.empty())
        EXPECT_FALSE(std::filesystem::exists(dir / "out.mif"));
    else
        EXPECT_NE(out.find(c.outputHas), std::string::npos) << out;
}

const std::string kSample = test::ReadBytes(test::GoldenDir() / "sample_input.txt");

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertCli,
    testing::Values(
        CliCase{"LinuxLineEndsFromStandardInput", "-o OUT", "00 11 22 33\n44 55 66 77\n", 0,
                "wrote", "DEPTH = 8;\r\n"},
        CliCase{"DefaultNameInTheCurrentFolder", "IN", "0x12", 0, "wrote Vetrask.mif", ""},
        CliCase{"StrayCharacterNamedByLineAndColumn", "-o OUT IN", "ab\n 0xZ1\n", 1,
                "in.txt:2:4: error: 'Z' (U+005A) is not a hexadecimal digit (1 such character)\n",
                ""},
        CliCase{"GbkPairIsOneCharacter", "-o OUT", "ab\r\n\xD7\xD6\xD7\xD6 0X1f 12", 1,
                "-:2:1: error: '\xE5\xAD\x97' (U+5B57) is not a hexadecimal digit (2 such characters)", ""},
        CliCase{"Utf8IsOneCharacterToo", "-r bin -o OUT IN", "\xEF\xBB\xBF" "01\t\xE5\xAD\x97", 1,
                "in.txt:1:4: error: '\xE5\xAD\x97' (U+5B57) is not a binary digit (1 such character)", ""},
        CliCase{"OdWithoutVStarLine", "-o OUT IN", "0000000 00 00\n*\n0000020 01 02\n", 1,
                "in.txt:2:1: error: '*' (U+002A) is not a hexadecimal digit", ""},
        CliCase{"ShortLastWordWarned", "-w 16 -o OUT", "abcdef", 0,
                "the last word is short: 2 of 4", "\t1\t:\tef;"},
        CliCase{"DroppedDigitsWarned", "-w 16 -o OUT", "abcdefabcd", 0,
                "the last 2 digits are dropped", "DEPTH = 2;"},
        CliCase{"OnlyDelimiters", "-o OUT", " 0x,;{}\r\n", 1, "nothing to convert", ""},
        CliCase{"DepthFillsWithZeroWords", "--depth 3 -w 12 -o OUT", "0xabc", 0, "DEPTH = 3",
                "DEPTH = 3;\r\n\r\nADDRESS_RADIX = DEC;\r\nDATA_RADIX = HEX;"
                "\r\n\r\nCONTENT BEGIN\r\n\r\n\t0\t:\tabc;\r\n\t1\t:\t000;\r\n"
                "\t2\t:\t000;\r\n\r\nEND;\r\n"},
        CliCase{"DepthTooSmall", "--depth 1 -o OUT", "0x01,0x02", 3, "more than --depth 1", ""},
        CliCase{"BinaryInputBytesBecomeHex", "--binary-input -w 16 -o OUT IN", "\x01\xAB\r\n", 0,
                "DEPTH = 2", "\t0\t:\t01ab;\r\n\t1\t:\t0d0a;"},
        CliCase{"BinaryInputNeedsWholeBytes", "--binary-input -w 12 -o OUT", "", 2, "multiple of 8",
                ""},
        CliCase{"BinaryRadixWidths", "-r bin -w 65 -o OUT", "1", 2, "bin widths are 1 to 64", ""},
        CliCase{"HexWidthNotAMultipleOfFour", "-w 6 -o OUT", "1", 2,
                "hex widths are 4 to 256 in steps of 4", ""},
        CliCase{"UnknownOption", "--frobnicate", "", 2, "unknown option '--frobnicate'", ""},
        CliCase{"MissingInput", "-o OUT missing.txt", "", 3, "missing.txt: No such file", ""},
        CliCase{"UnwritableOutput", "-o /proc/version", "12", 3, "cannot write", ""},
        CliCase{"StandardOutput", "-q -o -", "1010", 0, "", "\t0\t:\t10;\r\n\t1\t:\t10;"},
        CliCase{"Version", "--version", "", 0, "", "tarnwick-convert (Tarnwick) 1.0.0"}),
    [](const testing::TestParamInfo<CliCase>& info) { return std::string(info.param.name); });

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
    EXPECT_EQ(test::ReadBytes(dir / "err.txt"),
              "true4k.c:1:1: error: 'u' (U+0075) is not a hexadecimal digit (38 such characters)\n");
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
    const std::string expected = withoutDateLine(test::ReadBytes(dir / "binary.mif"));
    EXPECT_NE(expected.find("DEPTH = 4096;"), std::string::npos);
    for (const char* name : {"body.mif", "utf16.mif"}) {
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

} // namespace
} // namespace tarnwick
