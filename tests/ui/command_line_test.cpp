#include "ui/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick::ui {
namespace {

CommandLine Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "tarnwick");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return ParseCommandLine(static_cast<int>(args.size()), argv.data());
}

// The file to load is the one operand; Qt's own options and their values pass through,
// whichever way the value is given; anything else stops the program with status 2.
TEST(ParseCommandLine, FindsTheFileAmongQtOptionsAndRefusesTheRest) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::optional<int> exitStatus;
        std::string file;
    } cases[] = {
        {"Nothing", {}, std::nullopt, ""},
        {"FileAlone", {"font.c"}, std::nullopt, "font.c"},
        {"QtValueOptionSkipsItsValue",
         {"-platform", "offscreen", "font.c"},
         std::nullopt,
         "font.c"},
        {"QtValueAfterEquals", {"--style=fusion", "font.c"}, std::nullopt, "font.c"},
        {"QtFlag", {"-reverse", "font.c"}, std::nullopt, "font.c"},
        {"DashAloneIsAFile", {"-"}, std::nullopt, "-"},
        {"AfterDoubleDashADashIsAFile", {"--", "-odd.txt"}, std::nullopt, "-odd.txt"},
        {"Help", {"--help", "font.c"}, 0, ""},
        {"ShortVersion", {"-v"}, 0, ""},
        {"UnknownOption", {"--frobnicate"}, 2, ""},
        {"UnknownOptionAfterTheFile", {"font.c", "-x"}, 2, ""},
        {"SecondFile", {"a.txt", "b.txt"}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLine line = Parse(c.args);
        EXPECT_EQ(line.exitStatus, c.exitStatus);
        if (!c.exitStatus) {
            EXPECT_EQ(line.file, c.file);
        }
    }
}

} // namespace
} // namespace tarnwick::ui
