#include "command_line.h"

#include "platform/version.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace tarnwick::ui {

namespace {

// The options QApplication takes for itself, with a value and without.
constexpr std::array<std::string_view, 14> kQtValueOptions{
    "platform",    "platformpluginpath", "platformtheme", "plugin",       "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "style",         "stylesheet",   "session",
    "display",     "geometry",           "title",         "qmljsdebugger"};
constexpr std::array<std::string_view, 6> kQtFlagOptions{"reverse", "widgetcount", "nograb",
                                                         "dograb",  "sync",        "testability"};

bool contains(const auto& list, std::string_view name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

void printHelp() {
    std::printf("Usage: tarnwick [QT-OPTION]... [FILE]\n"
                "Open the Tarnwick window, which turns hexadecimal or binary digits into a MIF\n"
                "file on the desktop. With FILE, load it into the input box as Open does.\n"
                "\n"
                "      --help        display this help and exit\n"
                "      --version     output version information and exit\n"
                "\n"
                "Qt's own options, such as -platform offscreen or -style fusion, are passed to\n"
                "Qt. For conversions without a window see tarnwick-convert(1).\n");
}

CommandLine usageError(const char* what, const char* arg) {
    std::fprintf(stderr,
                 "tarnwick: %s '%s'\n"
                 "Usage: tarnwick [QT-OPTION]... [FILE]; try 'tarnwick --help'.\n",
                 what, arg);
    CommandLine result;
    result.exitStatus = 2;
    return result;
}

} // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine result;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (!result.file.empty())
                return usageError("extra operand", argv[i]);
            result.file = argv[i];
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            printHelp();
            result.exitStatus = 0;
            return result;
        }
        if (arg == "--version" || arg == "-v") {
            platform::PrintVersion("tarnwick");
            result.exitStatus = 0;
            return result;
        }
        std::string_view name = arg.substr(arg[1] == '-' ? 2 : 1);
        const bool hasValue = name.find('=') != std::string_view::npos;
        name = name.substr(0, name.find('='));
        if (contains(kQtValueOptions, name)) {
            if (!hasValue)
                ++i; // its value follows
            continue;
        }
        if (contains(kQtFlagOptions, name))
            continue;
        return usageError("unknown option", argv[i]);
    }
    return result;
}

} // namespace tarnwick::ui
