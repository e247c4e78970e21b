// Does what the convert button does, from the command line:
//   convert_file INPUT OUTPUT hex|bin WIDTH_INDEX
// reads INPUT's bytes, decodes them as Open does and converts them to the MIF file OUTPUT.
// Prints the outcome's name on standard output, and the peak memory on standard error.
// Exits 0 only when the file was written.

#include "engine/engine.h"
#include "platform/clock.h"
#include "platform/file_io.h"
#include "platform/line_ends.h"
#include "platform/text_decoder.h"

#include <sys/resource.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    using namespace tarnwick;
    if (argc != 5 || (std::strcmp(argv[3], "hex") != 0 && std::strcmp(argv[3], "bin") != 0)) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT hex|bin WIDTH_INDEX\n", argv[0]);
        return 2;
    }
    int widthIndex = 0;
    const char* indexEnd = argv[4] + std::strlen(argv[4]);
    const auto parsed = std::from_chars(argv[4], indexEnd, widthIndex);
    if (parsed.ec != std::errc() || parsed.ptr != indexEnd || widthIndex < -1 ||
        widthIndex > std::numeric_limits<std::int16_t>::max()) {
        std::fprintf(stderr, "WIDTH_INDEX must be a whole number from -1 to 32767\n");
        return 2;
    }
    const RadixMode radix = argv[3][0] == 'h' ? RadixMode::Hexadecimal : RadixMode::Binary;

    // As Open loads a file: an ASCII file widened as it is read, anything else decoded.
    std::unique_ptr<char16_t[]> widened;
    std::u16string decoded;
    std::u16string_view text;
    {
        const platform::TextFileRead read = platform::ReadTextFile(
            argv[1], std::numeric_limits<std::uint32_t>::max(), [&widened](std::size_t units) {
                widened = std::make_unique_for_overwrite<char16_t[]>(units);
                platform::AdviseHugePages(widened.get(), units * sizeof(char16_t));
                return widened.get();
            });
        if (read.status != platform::ReadResult::Status::Ok) {
            std::printf("ReadFailed %s: %s\n", read.error.path.c_str(), read.error.reason.c_str());
            return 1;
        }
        if (read.widened) {
            text = std::u16string_view(widened.get(), read.length);
        } else {
            decoded = platform::NormaliseLineEnds(platform::DecodeText(read.bytes));
            text = decoded;
        }
    } // the bytes of a decoded file are freed before the conversion runs

    const platform::LocaleClock clock;
    const ConvertResult result =
        ConvertToMif(text, radix, static_cast<std::int16_t>(widthIndex), argv[2], clock);
    if (result.outcome == ConvertOutcome::WriteFailed)
        std::printf("WriteFailed %s: %s\n", result.error.path.c_str(), result.error.reason.c_str());
    else
        std::printf("%s\n", OutcomeName(result.outcome));

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr, "peak_rss_kib=%ld\n", usage.ru_maxrss);
    return result.outcome == ConvertOutcome::Written ? 0 : 1;
}
