// The memory files tarnwick-convert writes, read by the tools that consume them, and the files
// those tools write, read by tarnwick-convert: Icarus Verilog ($readmemh, $readmemb,
// $writememh) and SRecord's srec_cat. Each round trip ends in the bytes it started from.

#include "support/test_support.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

int InDir(const test::TempDir& dir, const std::string& command) {
    const std::string line =
        "cd " + dir.path().string() + " && export SOURCE_DATE_EPOCH=0 LC_ALL=C.UTF-8 && " + command;
    const int raw = std::system(line.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(rng());
    return bytes;
}

const std::string kConvert = TARNWICK_CONVERT " -q";

TEST(MemoryFormats, IcarusReadsEveryWordAndWritesWhatReadmemTakesBack) {
    const test::TempDir dir;
    test::WriteBytes(dir / "rom.bin", RandomBytes(64, 1));
    // The same 64 bytes as hexadecimal digits and as binary ones, one block each.
    ASSERT_EQ(InDir(dir, "od -An -v -tx1 rom.bin >hex.txt && "
                         "xxd -b -c 64 rom.bin | cut -d' ' -f2-65 >bin.txt"),
              0);
    ASSERT_EQ(InDir(dir, kConvert + " -t mem -o h.mem hex.txt && " + kConvert +
                             " -t mem -r bin -o b.mem bin.txt"),
              0);
    test::WriteBytes(dir / "tb.v", R"(module tb;
  reg [7:0] h [0:63];
  reg [7:0] b [0:63];
  integer i;
  initial begin
    $readmemh("h.mem", h);
    $readmemb("b.mem", b);
    for (i = 0; i < 64; i = i + 1) $display("%h %h", h[i], b[i]);
    $writememh("w.mem", h);
  end
endmodule
)");
    ASSERT_EQ(InDir(dir, "iverilog -o tb tb.v && vvp -n tb >words.txt"), 0);
    // Every word, twice: as the input's bytes, from either file.
    ASSERT_EQ(InDir(dir, "od -An -v -tx1 -w1 rom.bin | awk '{print $1, $1}' >expected.txt"), 0);
    EXPECT_EQ(test::ReadBytes(dir / "words.txt"), test::ReadBytes(dir / "expected.txt"));
    // The simulator's own file, with its // address comments, back to the same bytes.
    ASSERT_EQ(InDir(dir, kConvert + " --from=readmem -o w.mif w.mem && "
                                    "srec_cat w.mif -Memory_Initialization_File -o w.bin -binary"),
              0);
    EXPECT_EQ(test::ReadBytes(dir / "w.bin"), test::ReadBytes(dir / "rom.bin"));
}

TEST(MemoryFormats, SrecordReadsOurFilesAndWritesWhatWeTakeBack) {
    const test::TempDir dir;
    const std::string rom = RandomBytes(256, 2);
    test::WriteBytes(dir / "rom.bin", rom);
    const std::string toBinary = " -o back.bin -binary && cmp back.bin rom.bin";
    // Ours, read by srec_cat.
    EXPECT_EQ(InDir(dir, kConvert +
                             " --binary-input -t mem -o a.mem rom.bin && srec_cat a.mem "
                             "-VMem" +
                             toBinary),
              0);
    EXPECT_EQ(InDir(dir, "od -An -v -tx1 rom.bin | " + kConvert +
                             " -o d.mif && srec_cat d.mif -Memory_Initialization_File" + toBinary),
              0);
    EXPECT_EQ(InDir(dir, kConvert +
                             " --binary-input -o a.mif rom.bin && srec_cat a.mif "
                             "-Memory_Initialization_File" +
                             toBinary),
              0);
    // srec_cat's, and one written by hand with @ jumps, read by us.
    EXPECT_EQ(InDir(dir, "srec_cat rom.bin -binary -o s.mem -VMem 8 && " + kConvert +
                             " --from=readmem -o s.mif s.mem && srec_cat s.mif "
                             "-Memory_Initialization_File" +
                             toBinary),
              0);
    test::WriteBytes(dir / "jumps.mem", "@1 12 34 // two words\n@0005 f_f\n");
    ASSERT_EQ(InDir(dir, kConvert + " --from=readmem -o j.mif jumps.mem && srec_cat j.mif "
                                    "-Memory_Initialization_File -o j.bin -binary"),
              0);
    EXPECT_EQ(test::ReadBytes(dir / "j.bin"), std::string("\0\x12\x34\0\0\xFF", 6));
    // A coefficient file's vector is the one srec_cat writes for the same bytes (its writer
    // refuses 32 bytes or more, for holes that are not there).
    ASSERT_EQ(InDir(dir, "head -c 24 rom.bin >rom24.bin && " + kConvert +
                             " --binary-input -t coe -o a.coe rom24.bin && "
                             "srec_cat rom24.bin -binary -o s.coe -COE"),
              0);
    const auto vector = [&dir](const char* name) {
        const std::string text = test::ReadBytes(dir / name);
        std::string words;
        for (std::size_t at = text.find('=', text.find("memory_initialization_vector")) + 1;
             at < text.size(); ++at)
            if (std::isxdigit(static_cast<unsigned char>(text[at])) || text[at] == ',' ||
                text[at] == ';')
                words += static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
        return words;
    };
    EXPECT_EQ(vector("a.coe"), vector("s.coe"));
    EXPECT_EQ(vector("a.coe").size(), 3u * 24);
    // srec_cat's coefficient file, read back by us.
    ASSERT_EQ(InDir(dir, kConvert + " --from=coe -t mif -o c.mif s.coe && srec_cat c.mif "
                                    "-Memory_Initialization_File -o c.bin -binary"),
              0);
    EXPECT_EQ(test::ReadBytes(dir / "c.bin"), rom.substr(0, 24));
}

// The words of a memory file as one text: comments and addresses left out, lower case.
std::string MemWords(const std::string& text) {
    std::string words;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        if (text.compare(start, 2, "//") != 0)
            for (std::size_t i = start; i <= end; ++i)
                words += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    return words;
}

// MIF files in every form the vendor's tools read, written at random (entries in any order,
// lists, ranges, every radix, both kinds of comment): we read the words they hold, the words
// srec_cat reads at 8 bits (wider, its reader places lists and ranges at byte addresses).
TEST(MemoryFormats, MifInEveryFormGivesTheWordsSrecordReads) {
    const test::TempDir dir;
    std::mt19937 rng(37);
    auto below = [&rng](unsigned n) { return static_cast<unsigned>(rng() % n); };
    const char* const radixes[] = {"HEX", "DEC", "UNS", "OCT", "BIN"};
    auto expectedWords = [](const std::vector<unsigned>& words, int width) {
        std::string text;
        for (const unsigned w : words) {
            char word[16];
            std::snprintf(word, sizeof word, width == 8 ? "%02x\n" : "%08x\n", w);
            text += width == 16 ? word + 4 : word;
        }
        return text;
    };
    for (int round = 0; round < 6; ++round) {
        const int width = round < 4 ? 8 : round == 4 ? 16 : 32;
        const unsigned depth = 40 + below(200);
        const char* addressRadix = radixes[below(5)];
        const char* dataRadix = radixes[below(5)];
        auto number = [](unsigned value, const char* radix) {
            char text[40];
            if (radix[0] == 'H')
                std::snprintf(text, sizeof text, "%X", value);
            else if (radix[0] == 'O')
                std::snprintf(text, sizeof text, "%o", value);
            else if (radix[0] == 'B') {
                std::string bits;
                for (; value > 0; value >>= 1)
                    bits.insert(bits.begin(), static_cast<char>('0' + (value & 1)));
                return bits.empty() ? std::string("0") : bits;
            } else
                std::snprintf(text, sizeof text, "%u", value);
            return std::string(text);
        };
        std::vector<unsigned> words(depth);
        std::vector<std::string> entries;
        for (unsigned at = 0; at < depth;) {
            const unsigned run = std::min(depth - at, 1 + below(6));
            const unsigned form = below(4);
            std::vector<unsigned> values(form == 3 ? 1 + below(run) : form == 1 ? run : 1);
            for (unsigned& v : values)
                v = width == 32 ? static_cast<unsigned>(rng()) : below(1u << width);
            std::string entry;
            if (form == 0 || form == 1) { // A : V;  or  A : V1 V2 ...;
                entry = number(at, addressRadix) + " :";
                const unsigned n = form == 0 ? 1 : run;
                for (unsigned k = 0; k < n; ++k) {
                    words[at + k] = values[form == 0 ? 0 : k];
                    entry += " " + number(words[at + k], dataRadix);
                }
                at += n;
            } else { // [A..B] : V;  or  [A..B] : V1 V2;
                entry = "[" + number(at, addressRadix) + ".." + number(at + run - 1, addressRadix) +
                        "] :";
                for (unsigned v : values)
                    entry += " " + number(v, dataRadix);
                for (unsigned k = 0; k < run; ++k)
                    words[at + k] = values[k % values.size()];
                at += run;
            }
            entries.push_back(entry + (below(4) == 0 ? "; -- note\n" : ";\n"));
        }
        std::shuffle(entries.begin(), entries.end(), rng);
        std::string mif =
            "-- written at random\n% a comment\n over lines %\nWIDTH = " + std::to_string(width) +
            ";\nDEPTH = " + std::to_string(depth) + ";\nADDRESS_RADIX = " + addressRadix +
            ";\nDATA_RADIX = " + dataRadix + ";\nCONTENT BEGIN\n";
        for (const std::string& entry : entries)
            mif += "\t" + entry;
        mif += "END;\n";
        SCOPED_TRACE(mif);
        test::WriteBytes(dir / "r.mif", mif);
        ASSERT_EQ(InDir(dir, kConvert + " --from=mif -t mem -o ours.mem r.mif"), 0);
        EXPECT_EQ(MemWords(test::ReadBytes(dir / "ours.mem")), expectedWords(words, width));
        if (width > 8)
            continue;
        ASSERT_EQ(InDir(dir, "srec_cat r.mif -Memory_Initialization_File -o theirs.bin -binary"),
                  0);
        std::vector<unsigned> theirs;
        for (const char byte : test::ReadBytes(dir / "theirs.bin"))
            theirs.push_back(static_cast<unsigned char>(byte));
        EXPECT_EQ(expectedWords(theirs, 8), expectedWords(words, 8));
    }
}

bool Installed(const char* tool) {
    return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

// A RV32I program linked at 0x80000000, as a soft-core CPU runs it: every file the tool
// chain makes of it gives the same little-endian words, the words srec_cat and Icarus give.
TEST(Firmware, EveryRouteFromARiscVProgramGivesTheWordsTheToolsGive) {
    if (!Installed("riscv64-unknown-elf-gcc"))
        GTEST_SKIP() << "riscv64-unknown-elf-gcc is missing (Debian: gcc-riscv64-unknown-elf)";
    const test::TempDir dir;
    // `seen` is .bss: it takes room in memory but none in the file, so no word of it.
    test::WriteBytes(dir / "prog.c", R"(volatile int counter = 5;
const char message[] = "hello";
volatile int seen[8];
int main(void) { for (int i = 0; i < 5; ++i) seen[i] = counter += message[i]; return counter; }
void _start(void) { main(); for (;;) {} }
)");
    const std::string objcopy = "riscv64-unknown-elf-objcopy prog.elf ";
    ASSERT_EQ(InDir(dir, "riscv64-unknown-elf-gcc -march=rv32i -mabi=ilp32 -O1 -nostdlib "
                         "-ffreestanding -Wl,-Ttext=0x80000000 -o prog.elf prog.c && " +
                             objcopy + "-O binary prog.bin && " + objcopy + "-O ihex prog.hex && " +
                             objcopy + "-O srec prog.srec && " + objcopy + "-O verilog v1.hex && " +
                             objcopy + "-O verilog --verilog-data-width=4 v4.hex && " +
                             // Its data run from RAM, loaded from flash after the code: the
                             // image is laid out by load address, as objcopy -O binary lays it.
                             objcopy + "--change-section-vma .sdata+0x10000000 lma.elf"),
              0);
    const std::string words = " -w 32 --byte-order=little ";
    const std::pair<const char*, std::string> routes[] = {
        {"elf", "--from=elf --base=0x80000000 prog.elf"},
        {"lma", "--from=elf --base=0x80000000 lma.elf"},
        {"ihex", "--from=ihex --base=0x80000000 prog.hex"},
        {"srec", "--from=srec --base=0x80000000 prog.srec"},
        {"bin", "--binary-input prog.bin"},
        {"v1", "--from=readmem --input-width=8 --base=0x80000000 v1.hex"},
        {"v4", "--from=readmem --base=0x20000000 v4.hex"},
    };
    // srec_cat's words, their gaps filled as ours are.
    ASSERT_EQ(InDir(dir, "srec_cat prog.hex -intel -offset -0x80000000 -byte-swap 4 -o s.vmem "
                         "-VMem 32 && " +
                             kConvert + " --from=readmem -w 32 -t mem -o s.mem s.vmem 2>/dev/null"),
              0);
    const std::string expected = MemWords(test::ReadBytes(dir / "s.mem"));
    ASSERT_GT(expected.size(), 9u * 16);
    EXPECT_EQ(expected.substr(0, 5), "80001"); // lui of 0x80001: the first instruction
    for (const auto& [name, from] : routes) {
        SCOPED_TRACE(name);
        const std::string out = std::string(name) + ".";
        for (const char* to : {"mem", "mif", "coe"})
            ASSERT_EQ(InDir(dir, kConvert + words + "-t " + to + " -o " + out + to + " " + from +
                                     " 2>/dev/null"),
                      0)
                << to;
        EXPECT_EQ(MemWords(test::ReadBytes(dir / (out + "mem"))), expected);
        // The MIF back to the program's bytes, and the COE's vector to the same words.
        EXPECT_EQ(InDir(dir, "srec_cat " + out +
                                 "mif -Memory_Initialization_File -o - -binary | "
                                 "cmp - prog.bin"),
                  0);
        const std::string coe = test::ReadBytes(dir / (out + "coe"));
        std::string vector;
        for (std::size_t at = coe.find('\n', coe.find("vector=")) + 1; at < coe.size(); ++at)
            if (coe[at] != ',' && coe[at] != ';')
                vector += static_cast<char>(std::tolower(static_cast<unsigned char>(coe[at])));
        EXPECT_EQ(vector, expected);
    }
    const auto depth = std::count(expected.begin(), expected.end(), '\n');
    test::WriteBytes(dir / "tb.v", "`define DEPTH " + std::to_string(depth) + R"(
module tb;
  reg [31:0] m [0:`DEPTH-1];
  integer i;
  initial begin
    $readmemh("elf.mem", m);
    for (i = 0; i < `DEPTH; i = i + 1) $display("%h", m[i]);
  end
endmodule
)");
    ASSERT_EQ(InDir(dir, "iverilog -o tb tb.v && vvp -n tb >icarus.txt"), 0);
    EXPECT_EQ(test::ReadBytes(dir / "icarus.txt"), expected);
}

// A 64-bit ELF file keeps its fields at other offsets and widths: its sections, and a
// section loaded elsewhere than it runs, give the words of the program's binary.
TEST(Firmware, SixtyFourBitElfGivesTheWordsOfItsBinary) {
    if (!Installed("riscv64-unknown-elf-gcc"))
        GTEST_SKIP() << "riscv64-unknown-elf-gcc is missing (Debian: gcc-riscv64-unknown-elf)";
    const test::TempDir dir;
    test::WriteBytes(dir / "prog.c", "volatile long counter = 5;\n"
                                     "void _start(void) { for (;;) counter += 3; }\n");
    const std::string objcopy = "riscv64-unknown-elf-objcopy prog.elf ";
    ASSERT_EQ(InDir(dir, "riscv64-unknown-elf-gcc -march=rv64i -mabi=lp64 -mcmodel=medany -O1 "
                         "-nostdlib -ffreestanding -Wl,-Ttext=0x80000000 -o prog.elf prog.c && " +
                             objcopy + "-O binary prog.bin && " + objcopy +
                             "--change-section-vma .sdata+0x10000000 lma.elf"),
              0);
    const std::string words = " -w 32 --byte-order=little -t mem ";
    ASSERT_EQ(InDir(dir, kConvert + words + "-o bin.mem --binary-input prog.bin"), 0);
    const std::string expected = MemWords(test::ReadBytes(dir / "bin.mem"));
    ASSERT_GT(expected.size(), 9u * 4);
    for (const char* elf : {"prog", "lma"}) {
        SCOPED_TRACE(elf);
        ASSERT_EQ(InDir(dir, kConvert + words + "-o out.mem --from=elf --base=0x80000000 " + elf +
                                 ".elf 2>/dev/null"),
                  0);
        // Compared whole, not shown: a wrongly placed section spans hundreds of megabytes.
        EXPECT_TRUE(MemWords(test::ReadBytes(dir / "out.mem")) == expected);
    }
}

// A big-endian ELF file gives big-endian words without --byte-order, as its own bytes
// taken as raw bytes do.
TEST(Firmware, BigEndianElfGivesBigEndianWordsByDefault) {
    if (!Installed("mips-linux-gnu-as"))
        GTEST_SKIP() << "mips-linux-gnu-as is missing (Debian: binutils-mips-linux-gnu)";
    const test::TempDir dir;
    test::WriteBytes(dir / "be.s", ".section .text\n.globl __start\n__start:\n"
                                   ".byte 0xb7,0x17,0x00,0x80,0x93,0x87,0xc7,0x03\n"
                                   ".byte 0x11,0x22,0x33,0x44\n");
    // The linker's MIPS sections (ABI flags, register use) load too: left out here.
    ASSERT_EQ(InDir(dir, "mips-linux-gnu-as -EB -o be.o be.s && mips-linux-gnu-ld -EB "
                         "-Ttext=0x80000000 -o be.elf be.o && mips-linux-gnu-objcopy -R "
                         ".MIPS.abiflags -R .reginfo be.elf 2>/dev/null && " +
                             kConvert +
                             " --from=elf --base=0x80000000 -w 32 -t mem -o be.mem be.elf"),
              0);
    EXPECT_EQ(MemWords(test::ReadBytes(dir / "be.mem")).substr(0, 27),
              "b7170080\n9387c703\n11223344\n");
}

// A $readmemh file read in pieces that split words, comments, addresses and CR LF anywhere
// gives every word as written.
TEST(MemoryFormats, ReadmemSplitAnywhereGivesEveryWord) {
    const test::TempDir dir;
    std::string text = "/* a ROM\r\n written by hand */\r\n";
    std::string expected; // the memory file's words
    std::mt19937 rng(3);
    for (int line = 0; line < 250000; ++line) {
        if (line % 997 == 0 && line > 0) { // one word skipped at each jump, in hexadecimal
            char address[16];
            std::snprintf(address, sizeof address, "@%x", line + line / 997);
            text += address + std::string(" // jump\r\n");
            expected += std::string(16, '0') + "\n";
        }
        // Long words, so that the boundaries of the pieces read fall inside them.
        const std::string digits = std::to_string(rng() % 900'000'000 + 100'000'000) +
                                   std::to_string(rng() % 900'000 + 100'000);
        text += "1_" + digits + (line % 5 ? "\n" : " /* x */ ");
        expected += "1" + digits + "\n";
    }
    test::WriteBytes(dir / "rom.mem", text);
    const std::string convert = kConvert + " --from=readmem -t mem -w 64";
    ASSERT_EQ(InDir(dir, convert + " -o file.mem rom.mem"), 0);
    // Through a pipe in pieces of 4093 bytes, a prime, so no boundary falls alike twice.
    ASSERT_EQ(InDir(dir, "dd if=rom.mem bs=4093 status=none | " + convert + " -o pipe.mem"), 0);
    for (const char* name : {"file.mem", "pipe.mem"}) {
        const std::string out = test::ReadBytes(dir / name);
        EXPECT_EQ(out.substr(out.find("\n1") + 1), expected) << name;
    }
}

// Plain words of every length up to 17 digits, each the full width: all of each word comes
// through, in order (short words are copied in two overlapping moves).
TEST(MemoryFormats, ReadmemFullWidthWordsOfEveryLengthComeThroughWhole) {
    const test::TempDir dir;
    const std::string hex = "0123456789abcdef";
    for (std::size_t d = 1; d <= 17; ++d) {
        std::string words;
        for (std::size_t line = 0; line < 40; ++line) {
            for (std::size_t k = 0; k < d; ++k)
                words += hex[(line * 7 + k * 3) % 16];
            words += '\n';
        }
        test::WriteBytes(dir / "rom.mem", words);
        ASSERT_EQ(InDir(dir, kConvert + " -q --from=readmem -t mem -w " + std::to_string(4 * d) +
                                 " -o out.mem rom.mem"),
                  0);
        const std::string out = test::ReadBytes(dir / "out.mem");
        EXPECT_EQ(out.substr(out.size() - words.size()), words) << d << " digits";
    }
}

// $readmemh files as people and tools leave them, loaded by Icarus Verilog and converted by
// us: the words are the same, word for word (unloaded words, which Icarus leaves x, are
// ours filled with zeros), or both refuse. A refusal agrees only where Icarus also refuses
// or warns. Where Icarus and Verilator differ, the rows follow the choice the man page
// states; a byte-order mark, which neither reads, is left out: we read it with a warning.
struct SimulatorCase {
    const char* name;
    std::string input;
    const char* options;      ///< more options for tarnwick-convert
    const char* icarusRefuse; ///< null: the words agree; else what Icarus says
};

void PrintTo(const SimulatorCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadmemAsSimulators : public testing::TestWithParam<SimulatorCase> {};

// The words of a memory file, comment lines left out, unknown digits as 0.
std::string LoadedWords(const std::string& mem) {
    std::string words;
    std::size_t start = 0;
    for (std::size_t end; (end = mem.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = mem.substr(start, end - start);
        if (line.compare(0, 2, "//") == 0 || line.empty())
            continue;
        for (char& c : line)
            if (c == 'x' || c == 'X' || c == 'z' || c == 'Z')
                c = '0';
        words += line + "\n";
    }
    return words;
}

TEST_P(ReadmemAsSimulators, LoadsTheWordsIcarusLoads) {
    const SimulatorCase& c = GetParam();
    const test::TempDir dir;
    test::WriteBytes(dir / "in.mem", c.input);
    const bool binary = std::string(c.options).find("-r bin") != std::string::npos;
    const int status = InDir(dir, TARNWICK_CONVERT " --from=readmem -t mem " +
                                      std::string(c.options) + " -o ours.mem in.mem 2>err.txt");
    const std::string err = test::ReadBytes(dir / "err.txt");
    const std::size_t wrote = err.find("WIDTH = ");
    const auto bench = [&](const std::string& width, const std::string& depth) {
        const char* read = binary ? "$readmemb" : "$readmemh";
        const char* write = binary ? "$writememb" : "$writememh";
        return "module tb;\n  reg [" + width + "-1:0] m [0:" + depth + "-1];\n  reg [" + width +
               "-1:0] n [0:" + depth + "-1];\n  initial begin\n    " + read +
               "(\"in.mem\", m);\n    " + write + "(\"icarus.mem\", m);\n" +
               (depth == "64" ? std::string()
                              : std::string("    ") + read + "(\"ours.mem\", n);\n    " + write +
                                    "(\"back.mem\", n);\n") +
               "  end\nendmodule\n";
    };
    if (c.icarusRefuse) {
        EXPECT_NE(status, 0) << err;
        test::WriteBytes(dir / "tb.v", bench("8", "64"));
        ASSERT_EQ(InDir(dir, "iverilog -o tb tb.v && vvp -n tb >sim.txt 2>&1"), 0);
        EXPECT_NE(test::ReadBytes(dir / "sim.txt").find(c.icarusRefuse), std::string::npos)
            << test::ReadBytes(dir / "sim.txt");
        return;
    }
    ASSERT_EQ(status, 0) << err;
    ASSERT_NE(wrote, std::string::npos) << err;
    const std::string width = err.substr(wrote + 8, err.find(',', wrote) - wrote - 8);
    const std::size_t depthAt = err.find("DEPTH = ", wrote) + 8;
    const std::string depth = err.substr(depthAt, err.find_first_of("\r\n", depthAt) - depthAt);
    test::WriteBytes(dir / "tb.v", bench(width, depth));
    ASSERT_EQ(InDir(dir, "iverilog -o tb tb.v && vvp -n tb >sim.txt 2>&1"), 0);
    const std::string icarus = LoadedWords(test::ReadBytes(dir / "icarus.mem"));
    EXPECT_FALSE(icarus.empty());
    EXPECT_TRUE(icarus == LoadedWords(test::ReadBytes(dir / "back.mem")))
        << "Icarus loads:\n"
        << icarus.substr(0, 400) << "ours:\n"
        << LoadedWords(test::ReadBytes(dir / "back.mem")).substr(0, 400);
}

std::string Lines(const std::string& line, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += line;
    return out;
}

// The command line reads a file a mebibyte at a time: 524,287 two-byte lines end 2 bytes
// before the first piece does.
constexpr int kBeforeTheEdge = 524287;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Readmem, ReadmemAsSimulators,
    testing::Values(
        SimulatorCase{"LineCommentEndsAtLineFeedOnly", "11 // c\r22\n33\r\n", "", nullptr},
        SimulatorCase{"CarriageReturnsEndNoComment", "// header\r11\r22\r", "", "Not enough words"},
        SimulatorCase{"AddressWithNoWordAfterIt", "11\n@4\n", "", nullptr},
        SimulatorCase{"LastOfTwoAddressesCounts", "11 @2 @5 22\n", "", nullptr},
        SimulatorCase{"LoneSlash", "11 / 22\n", "", "Invalid input character: /"},
        SimulatorCase{"SlashBeforeAnAddress", "11 /@3 33\n", "", "Invalid input character: /"},
        SimulatorCase{"VerticalTab", "11\v22\n", "", "Invalid input character"},
        SimulatorCase{"FormFeedIsABlank", "11\f22\n", "", nullptr},
        SimulatorCase{"AddressGoingBackLaterWordWins", "11\n22\n33\n@1\n99\n", "", nullptr},
        SimulatorCase{"GoingBackOverAGap", "@4 11 @0 22 33 @6 66\n", "", nullptr},
        SimulatorCase{"HundredsOfLeadingZeros", std::string(300, '0') + "12\n34\n", "-w 8", nullptr},
        // Icarus ends an address at a '_' where Verilator reads on: no '_' in addresses here.
        SimulatorCase{"UnderscoresAndLetterCase", "1_F _22 aB\n@30 cd\n", "", nullptr},
        SimulatorCase{"BlockCommentsClosedByStars", "/** x **/ 12 /*/ 34 */ 56\n", "", nullptr},
        SimulatorCase{"AddressRightAfterAWord", "11@2 33\n", "", nullptr},
        SimulatorCase{"UnknownDigitsReadAsZero", "1x 2z 3X\n", "--unknown=zero", nullptr},
        SimulatorCase{"BinaryWordsOf128Bits",
                      Lines("1" + std::string(126, '0') + "1\n", 3) + "101\n", "-r bin", nullptr},
        SimulatorCase{"WordCutAfterItsFirstCharacter",
                      Lines("0\n", kBeforeTheEdge) + "\n12\n", "", nullptr},
        SimulatorCase{"CommentAtThePiecesEdge",
                      Lines("a\n", kBeforeTheEdge) + "//" + std::string(20, 'x') + "\rbb\ncc\n", "",
                      nullptr},
        SimulatorCase{"AddressAcrossThePiecesEdge",
                      Lines("a\n", kBeforeTheEdge) + "@80001 dd\n", "", nullptr},
        SimulatorCase{"CommentLongerThanAPiece",
                      "11 /*" + std::string(2100000, '*') + "*/ 22\n", "", nullptr}),
    [](const testing::TestParamInfo<SimulatorCase>& info) { return std::string(info.param.name); });
// clang-format on

} // namespace
} // namespace tarnwick
