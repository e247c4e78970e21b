// tarnwick-convert: the window's conversion for build scripts (options.h reads the command
// line, run.h converts in constant memory).

#include "options.h"
#include "run.h"

#include "platform/console.h"
#include "platform/signal_cleanup.h"

#include <clocale>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, ""); // messages show characters in the terminal's encoding
    // Ctrl-C or a kill during a conversion leaves no temporary file behind.
    tarnwick::platform::InstallSignalCleanup();
    // Names as the other services take them (UTF-8 from the wide command line on Windows).
    std::vector<std::string> arguments = tarnwick::platform::Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    tarnwick::cli::Options options;
    if (const auto status = tarnwick::cli::ParseOptions(static_cast<int>(arguments.size()),
                                                        pointers.data(), options))
        return *status;
    return tarnwick::cli::Run(options);
}
