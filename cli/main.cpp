// tarnwick-convert: the window's conversion for build scripts (options.h reads the command
// line, run.h converts in constant memory).

#include "options.h"
#include "run.h"

#include "platform/signal_cleanup.h"

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, ""); // messages show characters in the terminal's encoding
    // Ctrl-C or a kill during a conversion leaves no temporary file behind.
    tarnwick::platform::InstallSignalCleanup();
    tarnwick::cli::Options options;
    if (const auto status = tarnwick::cli::ParseOptions(argc, argv, options))
        return *status;
    return tarnwick::cli::Run(options);
}
