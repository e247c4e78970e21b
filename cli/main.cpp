// tarnwick-convert: the window's conversion for build scripts. Reads a text file (or
// standard input) in pieces and writes the MIF file as it goes, in constant memory:
//   pass 1: input -> FileDigitStream -> digit count, warnings   (standard input is spooled
//           to an unnamed temporary file on the way, so it can be read again)
//   pass 2: input again -> FileDigitStream -> MifWriter -> atomic file or standard output

#include "engine/engine.h"
#include "platform/clock.h"
#include "platform/file_io.h"

#include <fcntl.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace tarnwick;

constexpr const char* kProgram = "tarnwick-convert";
constexpr std::size_t kPiece = std::size_t{1} << 20;

enum Exit { Written = 0, NothingToConvert = 1, Usage = 2, Failed = 3 };

struct Options {
    RadixMode radix = RadixMode::Hexadecimal;
    int width = 8;
    std::string output = "Vetrask.mif";
    std::optional<std::int64_t> depth;
    bool binaryInput = false;
    bool strict = false;
    bool quiet = false;
    platform::TextEncoding encoding = platform::TextEncoding::Auto;
    std::string input = "-";
};

void say(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
}

int usageError(const std::string& text) {
    say(text);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
    return Usage;
}

void printHelp() {
    std::printf(
        "Usage: %s [OPTION]... [INPUT]\n"
        "Convert hexadecimal or binary digits (a C array, a digit block) to a MIF file,\n"
        "exactly as the Tarnwick window does. With no INPUT, or when INPUT is -, read\n"
        "standard input.\n"
        "\n"
        "  -r, --radix=hex|bin   digits are hexadecimal (default) or binary\n"
        "  -w, --width=BITS      data width: 4 to 256 in steps of 4 (hex), 1 to 64 (bin);\n"
        "                        default 8\n"
        "  -o, --output=FILE     the MIF file (default Vetrask.mif); - for standard output\n"
        "      --depth=N         fill the addresses after the data with words of zeros up\n"
        "                        to N; more words than N is an error\n"
        "      --encoding=ENC    auto (default), cp936, utf-8, utf-16le or utf-16be\n"
        "      --binary-input    INPUT is raw bytes, each becoming two hex digits (hex\n"
        "                        radix and a width that is a multiple of 8 only)\n"
        "      --strict          treat every warning as an error: write nothing\n"
        "  -q, --quiet           do not report the file written (warnings still show)\n"
        "      --help            display this help and exit\n"
        "      --version         output version information and exit\n"
        "\n"
        "Blanks, tabs, ',', ';', '{', '}', \"0x\", \"0X\" and line breaks are removed; LF,\n"
        "CR and CR LF each end a line. Every other character must be a digit of the radix:\n"
        "otherwise nothing is written and FILE:LINE:COLUMN names the first such character\n"
        "(remove comments and declarations, or convert a binary with --binary-input).\n"
        "A short or dropped last word is a warning.\n"
        "\n"
        "With auto, a byte-order mark decides the encoding; without one the input is\n"
        "UTF-8 when the first piece that holds non-ASCII bytes is valid UTF-8, otherwise\n"
        "code page 936 (GBK).\n"
        "\n"
        "Exit status: 0 written; 1 nothing to convert, or a character that is not a\n"
        "digit; 2 usage error; 3 input unreadable, output unwritable, or refused\n"
        "(--strict, --depth).\n",
        kProgram);
}

void printVersion() {
    std::printf("%s (Tarnwick) 1.0.0\n"
                "Copyright (C) 2011 Vetrask.\n"
                "License MIT: <https://opensource.org/licenses/MIT>.\n",
                kProgram);
}

std::optional<std::int64_t> parseNumber(const char* text) {
    std::int64_t value = 0;
    const char* end = text + std::strlen(text);
    const auto parsed = std::from_chars(text, end, value);
    if (parsed.ec != std::errc() || parsed.ptr != end || *text == '\0')
        return std::nullopt;
    return value;
}

std::optional<platform::TextEncoding> parseEncoding(std::string_view name) {
    using platform::TextEncoding;
    static const std::pair<std::string_view, TextEncoding> names[] = {
        {"auto", TextEncoding::Auto},       {"cp936", TextEncoding::Cp936},
        {"gbk", TextEncoding::Cp936},       {"utf-8", TextEncoding::Utf8},
        {"utf8", TextEncoding::Utf8},       {"utf-16le", TextEncoding::Utf16Le},
        {"utf-16be", TextEncoding::Utf16Be},
    };
    for (const auto& [text, encoding] : names)
        if (strcasecmp(std::string(name).c_str(), std::string(text).c_str()) == 0)
            return encoding;
    return std::nullopt;
}

// Returns the exit status for a usage error, or -1 to go on; --help and --version give 0.
int parseOptions(int argc, char** argv, Options& options) {
    enum {
        DepthOption = 256,
        BinaryInputOption,
        StrictOption,
        EncodingOption,
        HelpOption,
        VersionOption
    };
    static const option longOptions[] = {
        {"radix", required_argument, nullptr, 'r'},
        {"width", required_argument, nullptr, 'w'},
        {"output", required_argument, nullptr, 'o'},
        {"quiet", no_argument, nullptr, 'q'},
        {"depth", required_argument, nullptr, DepthOption},
        {"binary-input", no_argument, nullptr, BinaryInputOption},
        {"strict", no_argument, nullptr, StrictOption},
        {"encoding", required_argument, nullptr, EncodingOption},
        {"help", no_argument, nullptr, HelpOption},
        {"version", no_argument, nullptr, VersionOption},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    std::optional<std::int64_t> width;
    for (;;) {
        const int c = getopt_long(argc, argv, ":r:w:o:q", longOptions, nullptr);
        if (c == -1)
            break;
        switch (c) {
        case 'r':
            if (std::strcmp(optarg, "hex") == 0)
                options.radix = RadixMode::Hexadecimal;
            else if (std::strcmp(optarg, "bin") == 0)
                options.radix = RadixMode::Binary;
            else
                return usageError(std::string("invalid radix '") + optarg + "': use hex or bin");
            break;
        case 'w':
            width = parseNumber(optarg);
            if (!width)
                return usageError(std::string("invalid width '") + optarg + "'");
            break;
        case 'o':
            options.output = optarg;
            break;
        case 'q':
            options.quiet = true;
            break;
        case DepthOption:
            options.depth = parseNumber(optarg);
            if (!options.depth || *options.depth < 0 ||
                *options.depth > static_cast<std::int64_t>(kMaxDigitCount))
                return usageError(std::string("invalid depth '") + optarg +
                                  "': use a whole number from 0 to 2147483647");
            break;
        case BinaryInputOption:
            options.binaryInput = true;
            break;
        case StrictOption:
            options.strict = true;
            break;
        case EncodingOption: {
            const auto encoding = parseEncoding(optarg);
            if (!encoding)
                return usageError(std::string("invalid encoding '") + optarg +
                                  "': use auto, cp936, utf-8, utf-16le or utf-16be");
            options.encoding = *encoding;
            break;
        }
        case HelpOption:
            printHelp();
            return Written;
        case VersionOption:
            printVersion();
            return Written;
        case ':':
            return usageError(std::string("option '") + argv[optind - 1] + "' needs a value");
        default:
            return usageError(std::string("unknown option '") + argv[optind - 1] + "'");
        }
    }
    if (optind < argc)
        options.input = argv[optind++];
    if (optind < argc)
        return usageError(std::string("extra operand '") + argv[optind] + "'");

    const bool hex = options.radix == RadixMode::Hexadecimal;
    options.width = static_cast<int>(width.value_or(8));
    const bool allowed =
        hex ? width.value_or(8) >= 4 && width.value_or(8) <= 256 && width.value_or(8) % 4 == 0
            : width.value_or(8) >= 1 && width.value_or(8) <= 64;
    if (!allowed)
        return usageError(
            "invalid width '" + std::to_string(width.value_or(8)) +
            "': " + (hex ? "hex widths are 4 to 256 in steps of 4" : "bin widths are 1 to 64"));
    if (options.binaryInput && (!hex || options.width % 8 != 0))
        return usageError("--binary-input needs the hex radix and a width that is a "
                          "multiple of 8");
    return -1;
}

// The input, read twice: a file by seeking back, anything else (standard input, a pipe)
// through an unnamed temporary file that the first pass fills.
class Input {
public:
    ~Input() {
        if (m_fd > 0)
            ::close(m_fd);
        if (m_spool >= 0)
            ::close(m_spool);
    }

    std::optional<std::string> open(const std::string& name) {
        m_name = name == "-" ? "standard input" : name;
        m_fd = name == "-" ? 0 : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return reason(errno);
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            return reason(errno);
        if (S_ISDIR(st.st_mode))
            return reason(EISDIR);
        if (!S_ISREG(st.st_mode) || ::lseek(m_fd, 0, SEEK_CUR) < 0) {
            const char* folder = std::getenv("TMPDIR");
            if (!folder || !*folder)
                folder = "/tmp";
            m_spool = ::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
            if (m_spool < 0)
                return "cannot keep standard input for the second pass: " +
                       std::string(std::strerror(errno));
        }
        return std::nullopt;
    }

    // Calls use(piece, last) for each piece of the whole input; returns why it failed.
    template <class Use> std::optional<std::string> readAll(bool firstPass, Use&& use) {
        int fd = m_fd;
        if (!firstPass) {
            fd = m_spool >= 0 ? m_spool : m_fd;
            if (::lseek(fd, 0, SEEK_SET) < 0)
                return reason(errno);
        }
        std::vector<char> buffer(kPiece);
        for (;;) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return reason(errno);
            }
            const std::string_view piece(buffer.data(), static_cast<std::size_t>(got));
            if (firstPass && m_spool >= 0)
                if (const int code = platform::WriteAll(m_spool, piece))
                    return "cannot keep standard input for the second pass: " +
                           std::string(std::strerror(code));
            use(piece, got == 0);
            if (got == 0)
                return std::nullopt;
        }
    }

    const std::string& name() const { return m_name; }

private:
    std::string reason(int code) const { return m_name + ": " + std::strerror(code); }

    std::string m_name;
    int m_fd = -1;
    int m_spool = -1;
};

// Standard output as the MIF file's sink.
class StdoutSink final : public ByteSink {
public:
    void write(std::string_view bytes) override {
        if (m_code == 0)
            m_code = platform::WriteAll(1, bytes);
    }
    bool failed() const override { return m_code != 0; }
    int code() const { return m_code; }

private:
    int m_code = 0;
};

// The character as the terminal can show it, with its code: 'u' (U+0075). Only the code for
// a character that does not show or that the terminal's encoding (LC_CTYPE) lacks.
std::string describe(char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    if (c == 0xFFFD || (c >= 0xD800 && c <= 0xDFFF) || !std::iswgraph(static_cast<wint_t>(c)))
        return code;
    char bytes[MB_LEN_MAX];
    std::mbstate_t state{};
    const std::size_t length = std::wcrtomb(bytes, static_cast<wchar_t>(c), &state);
    if (length == static_cast<std::size_t>(-1))
        return code;
    return "'" + std::string(bytes, length) + "' (" + code + ")";
}

// What the first pass learns.
struct Survey {
    std::uint64_t digits = 0;
    StrayFinder strays;
};

constexpr char kHexDigits[] = "0123456789abcdef";

// Feeds one piece through the pipeline the options ask for; with positions in the first
// pass, which names where stray characters stand, and without in the second.
template <bool kPositions, class OnDigit>
void digitsOf(const Options& options, FileDigitStream& stream, std::string_view piece, bool last,
              OnDigit&& onDigit) {
    const TextPosition none;
    if (options.binaryInput) {
        for (char byte : piece) {
            const auto b = static_cast<unsigned char>(byte);
            if constexpr (kPositions) {
                onDigit(static_cast<char16_t>(kHexDigits[b >> 4]), none);
                onDigit(static_cast<char16_t>(kHexDigits[b & 15]), none);
            } else {
                onDigit(static_cast<char16_t>(kHexDigits[b >> 4]));
                onDigit(static_cast<char16_t>(kHexDigits[b & 15]));
            }
        }
    } else if constexpr (kPositions) {
        stream.feed(piece, last, onDigit);
    } else {
        stream.feedDigits(piece, last, onDigit);
    }
}

int run(const Options& options) {
    Input input;
    if (auto error = input.open(options.input)) {
        say(*error);
        return Failed;
    }

    Survey survey{0, StrayFinder(options.radix)};
    {
        FileDigitStream stream(options.encoding);
        auto count = [&](char16_t c, const TextPosition& at) {
            ++survey.digits;
            survey.strays.put(c, [&at](StrayCharacters& strays) { strays.at = at; });
        };
        if (auto error = input.readAll(true, [&](std::string_view piece, bool last) {
                digitsOf<true>(options, stream, piece, last, count);
            })) {
            say(*error);
            return Failed;
        }
    }
    if (survey.digits == 0) {
        say("nothing to convert: " + input.name() + " holds no digits, only delimiters");
        return NothingToConvert;
    }
    if (survey.strays.any()) {
        // The form compilers use, so editors and CI logs can jump to the place.
        const StrayCharacters& strays = survey.strays.strays();
        std::fprintf(stderr, "%s:%llu:%llu: error: %s is not a %s digit (%llu such character%s)\n",
                     options.input.c_str(), static_cast<unsigned long long>(strays.at.line),
                     static_cast<unsigned long long>(strays.at.column),
                     describe(strays.first).c_str(),
                     options.radix == RadixMode::Hexadecimal ? "hexadecimal" : "binary",
                     static_cast<unsigned long long>(strays.count), strays.count == 1 ? "" : "s");
        return NothingToConvert;
    }
    if (survey.digits > kMaxDigitCount) {
        say(input.name() + ": more than 2147483647 digits, more than a MIF file can address");
        return Failed;
    }
    const std::int16_t widthIndex = static_cast<std::int16_t>(
        options.radix == RadixMode::Hexadecimal ? options.width / 4 - 1 : options.width - 1);
    const WordLayout layout = ComputeLayout(options.radix, widthIndex, survey.digits);

    std::vector<std::string> warnings;
    const std::uint64_t d = static_cast<std::uint64_t>(layout.digitsPerWord);
    const std::uint64_t rest = survey.digits % d;
    if (rest != 0) {
        if (static_cast<std::uint64_t>(layout.depth) * d > survey.digits)
            warnings.push_back("the last word is short: " + std::to_string(rest) + " of " +
                               std::to_string(d) + " digits");
        else
            warnings.push_back("the last " + std::to_string(rest) + " digit" +
                               (rest == 1 ? " is" : "s are") + " dropped: too few for a word of " +
                               std::to_string(d));
    }
    for (const std::string& warning : warnings)
        say((options.strict ? "error: " : "warning: ") + warning);
    if (options.strict && !warnings.empty()) {
        say("nothing written (--strict)");
        return Failed;
    }
    if (options.depth && *options.depth < layout.depth) {
        say("the data makes " + std::to_string(layout.depth) + " words, more than --depth " +
            std::to_string(*options.depth) + "; nothing written");
        return Failed;
    }
    const std::int32_t depth = static_cast<std::int32_t>(options.depth.value_or(layout.depth));

    const platform::LocaleClock clock;
    const bool toStdout = options.output == "-";
    StdoutSink stdoutSink;
    platform::AtomicFileWriter file(options.output);
    if (!toStdout && !file.open()) {
        say("cannot write " + file.error().path.string() + ": " + file.error().reason);
        return Failed;
    }
    FileSink fileSink(file);
    ByteSink& sink = toStdout ? static_cast<ByteSink&>(stdoutSink) : fileSink;
    {
        MifWriter writer(sink, options.radix, layout, clock, depth);
        FileDigitStream stream(options.encoding);
        // A piece of bytes frees at most two digits a byte (--binary-input) and two held.
        std::vector<char16_t> digits(2 * kPiece + 4);
        std::size_t used = 0;
        auto collect = [&](char16_t c) { digits[used++] = c; };
        if (auto error = input.readAll(false, [&](std::string_view piece, bool last) {
                used = 0;
                digitsOf<false>(options, stream, piece, last, collect);
                writer.addDigits(std::u16string_view(digits.data(), used));
            })) {
            say(*error);
            return Failed;
        }
        writer.finish();
    }
    if (toStdout) {
        if (stdoutSink.failed()) {
            say(std::string("cannot write standard output: ") + std::strerror(stdoutSink.code()));
            return Failed;
        }
    } else if (!file.commit()) {
        say("cannot write " + file.error().path.string() + ": " + file.error().reason);
        return Failed;
    }
    if (!options.quiet)
        say("wrote " + (toStdout ? std::string("standard output") : options.output) +
            ": WIDTH = " + std::to_string(layout.dataWidth) + ", DEPTH = " + std::to_string(depth));
    return Written;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, ""); // messages show characters in the terminal's encoding
    Options options;
    const int status = parseOptions(argc, argv, options);
    if (status >= 0)
        return status;
    return run(options);
}
