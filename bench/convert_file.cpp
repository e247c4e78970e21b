// Does what the convert button does, from the command line:
//   convert_file INPUT OUTPUT hex|bin WIDTH_BITS
// reads INPUT's bytes, decodes them as Open does and converts them to the MIF file OUTPUT.
// Prints "Written" or the outcome's number on standard output, and the peak memory on
// standard error.
// Exits 0 only when the file was written.

#include "engine/engine.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/memory.h"
#include "text/text_file.h"

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
        std::fprintf(stderr, "usage: %s INPUT OUTPUT hex|bin WIDTH_BITS\n", argv[0]);
        return 2;
    }
    int widthBits = 0;
    const char* widthEnd = argv[4] + std::strlen(argv[4]);
    const auto parsed = std::from_chars(argv[4], widthEnd, widthBits);
    if (parsed.ec != std::errc() || parsed.ptr != widthEnd) {
        std::fprintf(stderr, "WIDTH_BITS must be a whole number\n");
        return 2;
    }
    const RadixMode radix = argv[3][0] == 'h' ? RadixMode::Hexadecimal : RadixMode::Binary;

    // As Open loads a file: an ASCII file widened as it is read, anything else decoded.
    std::unique_ptr<char16_t[]> room;
    const text::LoadedText read = text::LoadTextFile(
        argv[1], std::numeric_limits<std::uint32_t>::max(), [&room](std::size_t units) {
            room = std::make_unique_for_overwrite<char16_t[]>(units);
            platform::AdviseHugePages(room.get(), units * sizeof(char16_t));
            return room.get();
        });
    if (read.status != platform::ReadResult::Status::Ok) {
        std::printf("ReadFailed %s: %s\n", read.error.path.c_str(), read.error.reason.c_str());
        return 1;
    }

    const platform::LocaleClock clock;
    TextSource source(std::u16string_view(room.get(), read.length));
    ConvertOptions options;
    options.radix = radix;
    options.widthBits = widthBits;
    platform::AtomicFileWriter file(argv[2]);
    const ConvertResult result = Convert(source, options, file, clock);
    if (result.outcome == ConvertOutcome::WriteFailed)
        std::printf("WriteFailed %s: %s\n", result.error.path.c_str(), result.error.reason.c_str());
    else if (result.outcome == ConvertOutcome::Written)
        std::printf("Written\n");
    else
        std::printf("outcome %d\n", static_cast<int>(result.outcome));

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr, "peak_rss_kib=%ld\n", usage.ru_maxrss);
    return result.outcome == ConvertOutcome::Written ? 0 : 1;
}
