#include "engine/formats.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tarnwick {
namespace {

template <class Row>
std::string Joined(std::span<const Row> rows, const std::string& before, const std::string& between,
                   const std::string& after) {
    std::string out;
    for (const Row& row : rows)
        out += (out.empty() ? before : between) + std::string(row.name);
    return out + after;
}

template <class Row> void ExpectNamesUniqueAndHelpShort(std::span<const Row> rows) {
    std::set<std::string_view> names;
    for (const Row& row : rows) {
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        EXPECT_LE(row.help.size(), 44u) << row.name << ": --help's column";
        EXPECT_FALSE(row.help.empty()) << row.name;
    }
}

TEST(FormatTable, EveryRowIsFoundByItsNameAndItsFormat) {
    ExpectNamesUniqueAndHelpShort(InputFormats());
    ExpectNamesUniqueAndHelpShort(OutputFormats());
    for (const InputFormatRow& row : InputFormats()) {
        EXPECT_EQ(FindInputFormat(row.name), &row);
        EXPECT_EQ(&RowOf(row.format), &row);
    }
    for (const OutputFormatRow& row : OutputFormats()) {
        EXPECT_EQ(FindOutputFormat(row.name), &row);
        EXPECT_EQ(&RowOf(row.format), &row);
        EXPECT_FALSE(row.extension.empty());
    }
    EXPECT_EQ(FindInputFormat("Digits"), nullptr); // names are matched exactly
    EXPECT_EQ(NamesOf(OutputFormats()), "mif, coe or mem");
}

// The man page and the completion list the formats by hand: they must name the table's.
TEST(FormatTable, ManPageAndCompletionNameTheTablesFormats) {
    const std::string man = test::ReadBytes(TARNWICK_SOURCE_DIR "/packaging/tarnwick-convert.1.in");
    const std::string completion =
        test::ReadBytes(TARNWICK_SOURCE_DIR "/packaging/tarnwick-convert.bash-completion");
    ASSERT_FALSE(man.empty());
    ASSERT_FALSE(completion.empty());
    const auto manList = [](auto rows) { return Joined(rows, "\\fB", "\\fR|\\fB", "\\fR"); };
    const std::string to = manList(OutputFormats());
    const std::string from = manList(InputFormats());
    EXPECT_NE(man.find("[\\fB\\-t\\fR " + to + "]"), std::string::npos) << "SYNOPSIS: " << to;
    EXPECT_NE(man.find("\\fB\\-t\\fR, \\fB\\-\\-to\\fR=" + to + "\n"), std::string::npos);
    EXPECT_NE(man.find("[\\fB\\-\\-from\\fR " + from + "]"), std::string::npos) << from;
    EXPECT_NE(man.find("\\fB\\-\\-from\\fR=" + from + "\n"), std::string::npos);

    const std::string toWords = Joined(OutputFormats(), "", " ", "");
    const std::string fromWords = Joined(InputFormats(), "", " ", "");
    EXPECT_NE(completion.find("compgen -W '" + toWords + "'"), std::string::npos) << toWords;
    EXPECT_NE(completion.find("values='" + toWords + "'"), std::string::npos);
    EXPECT_NE(completion.find("compgen -W '" + fromWords + "'"), std::string::npos) << fromWords;
    EXPECT_NE(completion.find("values='" + fromWords + "'"), std::string::npos);
    for (const InputFormatRow& row : InputFormats()) {
        if (row.alias.empty())
            continue;
        std::string manAlias = "\\fB\\-\\-";
        for (char c : row.alias)
            manAlias += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(man.find(manAlias + "\\fR"), std::string::npos) << row.alias;
        EXPECT_NE(completion.find(" --" + std::string(row.alias) + " "), std::string::npos);
    }
}

// The head of a file a reader refused, and the reader it plainly belongs to: as tools write
// them, and notes that only look like them. Every reader but the one given is asked.
TEST(FormatTable, AHeadNamesTheFormatItPlainlyHas) {
    struct HeadCase {
        std::string_view name;
        std::string head;
        std::string_view likely; // empty: none
    };
    const HeadCase cases[] = {
        {"SrecStartingWithItsHeaderRecord", "S00600004844521B\nS1050000123499\n", "srec"},
        {"CoeKeywordsInCapitals", "MEMORY_INITIALIZATION_RADIX=16;\n", "coe"},
        {"MifKeywordsInMixedCase", "Width=8;\nDepth=2;\nContent Begin\n", "mif"},
        {"ElfMagic",
         std::string("\x7f"
                     "ELF\x01\x01\x01\0",
                     8),
         "elf"},
        {"ReadmemAddressOnALaterIndentedLine", "\n\n  @10 12\n", "readmem"},
        {"ReadmemCommentFirst", "// memory dump\n12\n", "readmem"},
        {"ValuesAfterABlockComment", "/* 0x12 */ 0x12, 0x34,\n", "values"},
        {"DigitsWithCommasOnly", "12, 34, zz\n", ""},
        {"ColonAndNineDigits", ":123456789\n", ""},
        {"SAndEightDigits", "S12345678\n", ""},
        {"SAndADigitWithNoRecord", "S1 is the first table\n", ""},
    };
    for (const HeadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const InputFormatRow* likely = LikelyInputFormat(c.head, InputFormat::Digits);
        EXPECT_EQ(likely ? likely->name : std::string_view(), c.likely);
    }
    // The format given is never the hint.
    EXPECT_EQ(LikelyInputFormat("S9030000FC", InputFormat::Srec), nullptr);
}

} // namespace
} // namespace tarnwick
