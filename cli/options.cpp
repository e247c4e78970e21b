#include "options.h"

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/version.h"

#include <getopt.h>
#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick::cli {

namespace {

int usageError(const std::string& text) {
    if (!text.empty())
        Say(text);
    SayLine(std::string("Try '") + kProgram + " --help' for more information.");
    return Usage;
}

// One line a format, from the formats' table: "  name     what it is".
template <class Row> std::string formatLines(std::span<const Row> rows) {
    std::string lines;
    for (const Row& row : rows) {
        std::string name(row.name);
        name.resize(std::max<std::size_t>(name.size() + 1, 9), ' ');
        lines += "                          " + name + std::string(row.help) + "\n";
    }
    return lines;
}

// The outputs written into where they stand, by the names the system gives them.
#ifdef _WIN32
constexpr const char* kDevices = "a device (NUL,\n"
                                 "CON) or - (standard output) is written into where it stands.\n";
#else
constexpr const char* kDevices = "a device, pipe\n"
                                 "or descriptor (/dev/null, /dev/stdout, /dev/fd/N) is written "
                                 "into where it\nstands.\n";
#endif

void printHelp() {
    const std::string to = "  -t, --to=FORMAT       the output's format, " +
                           std::string(OutputFormats()[0].name) + " by default:\n" +
                           formatLines(OutputFormats());
    const std::string from = "      --from=FORMAT     the input's format, " +
                             std::string(InputFormats()[0].name) + " by default:\n" +
                             formatLines(InputFormats());
    std::string outputs;
    for (const OutputFormatRow& row : OutputFormats())
        outputs += (outputs.empty()                               ? "Vetrask."
                    : row.format == OutputFormats().back().format ? " or ."
                                                                  : ", .") +
                   std::string(row.extension);
    std::string aliases;
    for (const InputFormatRow& row : InputFormats())
        if (!row.alias.empty()) {
            std::string flag = "--" + std::string(row.alias);
            flag.resize(std::max<std::size_t>(flag.size() + 1, 18), ' ');
            aliases += "      " + flag + "the same as --from=" + std::string(row.name) + "\n";
        }
    std::printf(
        "Usage: %s [OPTION]... [INPUT]\n"
        "Convert hexadecimal or binary digits (a C array, a digit block, a $readmemh\n"
        "file) to a MIF file as the Tarnwick window does, or to a COE or memory file;\n"
        "or a firmware image (ELF, Intel HEX, S-records, raw bytes) to memory words.\n"
        "With no INPUT, or when INPUT is -, read standard input.\n"
        "\n"
        "  -r, --radix=hex|bin   digits are hexadecimal (default) or binary\n"
        "  -w, --width=BITS      data width, 1 to 256; default 8\n"
        "%s"
        "%s"
        "  -o, --output=FILE     the output, - for standard output; default\n"
        "                        %s, as --to asks\n"
        "      --depth=N         fill the addresses after the data with words of the fill\n"
        "                        up to N; more words than N is an error\n"
        "      --input-width=BITS  the input's words, which its addresses count: 8 for\n"
        "                        elf, ihex, srec and binary, -w for readmem; -w may be\n"
        "                        a multiple (words packed) or a divisor (words split)\n"
        "      --byte-order=big|little  the order of the input's words in a memory word:\n"
        "                        the ELF file's own for elf, otherwise big\n"
        "      --base=ADDR       the input address (0x... or decimal) of the memory's\n"
        "                        first word; data below it is an error\n"
        "      --fill=VALUE      what addresses the input gives nothing hold, one input\n"
        "                        word (0x... or decimal); default 0\n"
        "      --encoding=ENC    auto (default), cp936, utf-8, utf-16le or utf-16be\n"
        "%s"
        "      --strict          treat every warning as an error: write nothing\n"
        "      --unknown=error|zero  x, z and ? digits in readmem words: refused\n"
        "                        (default) or read as 0\n"
        "  -q, --quiet           do not report the file written (warnings still show)\n"
        "      --help            display this help and exit\n"
        "      --version         output version information and exit\n"
        "\n"
        "Blanks, tabs, ',', ';', '{', '}', \"0x\", \"0X\" and line breaks are removed; LF,\n"
        "CR and CR LF each end a line. Every other character must be a digit of the\n"
        "radix: otherwise nothing is written and FILE:LINE:COLUMN names the first such\n"
        "character (--from=values skips comments and declarations; --binary-input reads\n"
        "bytes). A short last word is a warning; a tail too short for one is an error.\n"
        "With --from=readmem the words are read as the Verilog simulators read them (//\n"
        "and /* */ comments skipped); the width is the widest value's unless -w gives it,\n"
        "and a wider word is an error. A gap an @ADDR leaves is filled with zeros, and an\n"
        "@ADDR going back loads the later word over the earlier: both are warnings.\n"
        "\n"
        "With auto, a byte-order mark decides the encoding; without one the input is\n"
        "UTF-8 when the first piece that holds non-ASCII bytes is valid UTF-8, otherwise\n"
        "code page 936 (GBK).\n"
        "\n"
        "A FILE output is replaced atomically, never by the input itself; %s"
        "With SOURCE_DATE_EPOCH set, the date line shows that time (UTC).\n"
        "\n"
        "Exit status: 0 written; 1 nothing to convert, or a character that is not a\n"
        "digit; 2 usage error; 3 input unreadable, output unwritable, or refused\n"
        "(--strict, --depth).\n",
        kProgram, to.c_str(), from.c_str(), outputs.c_str(), aliases.c_str(), kDevices);
}

std::optional<std::int64_t> parseNumber(const char* text) {
    std::int64_t value = 0;
    const char* end = text + std::strlen(text);
    const auto parsed = std::from_chars(text, end, value);
    if (parsed.ec != std::errc() || parsed.ptr != end || *text == '\0')
        return std::nullopt;
    return value;
}

// An address or value as people write one: 0x... (hexadecimal) or decimal.
std::optional<std::uint64_t> parseAddress(const char* text) {
    std::string_view digits(text);
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] | 0x20) == 'x') {
        digits.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

std::optional<text::TextEncoding> parseEncoding(const char* name) {
    using text::TextEncoding;
    static const std::pair<const char*, TextEncoding> names[] = {
        {"auto", TextEncoding::Auto},        {"cp936", TextEncoding::Cp936},
        {"gbk", TextEncoding::Cp936},        {"utf-8", TextEncoding::Utf8},
        {"utf8", TextEncoding::Utf8},        {"utf-16le", TextEncoding::Utf16Le},
        {"utf-16be", TextEncoding::Utf16Be},
    };
    for (const auto& [text, encoding] : names)
        if (strcasecmp(name, text) == 0)
            return encoding;
    return std::nullopt;
}

// What GNU getopt says of a bad option: `c` is what getopt_long returned (':' for a missing
// argument, '?' otherwise; BSD's also ':' for a flag given a value), `given` the
// command-line word it was in.
std::string optionError(int c, const char* given, const option* longOptions) {
    if (std::strncmp(given, "--", 2) != 0)
        return c == ':' ? std::string("option requires an argument -- '") +
                              static_cast<char>(optopt) + "'"
                        : std::string("invalid option -- '") + static_cast<char>(optopt) + "'";
    for (const option* o = longOptions; o->name; ++o)
        if (optopt != 0 && o->val == optopt)
            return std::string("option '--") + o->name + "' " +
                   (o->has_arg == no_argument ? "doesn't allow an argument"
                                              : "requires an argument");
    return std::string("unrecognized option '") + given + "'";
}

} // namespace

void Say(const std::string& text) {
    SayLine(std::string(kProgram) + ": " + text);
}

void SayLine(const std::string& line) {
    platform::WriteMessage(stderr, line + "\n");
}

std::optional<int> ParseOptions(int argc, char** argv, Options& options) {
    enum {
        DepthOption = 256,
        FromOption,
        StrictOption,
        UnknownOption,
        EncodingOption,
        InputWidthOption,
        ByteOrderOption,
        BaseOption,
        FillOption,
        HelpOption,
        VersionOption,
        AliasOption, ///< the first of the readers' flags of their own (--binary-input)
    };
    std::vector<option> longOptions = {
        {"radix", required_argument, nullptr, 'r'},
        {"width", required_argument, nullptr, 'w'},
        {"output", required_argument, nullptr, 'o'},
        {"to", required_argument, nullptr, 't'},
        {"from", required_argument, nullptr, FromOption},
        {"quiet", no_argument, nullptr, 'q'},
        {"depth", required_argument, nullptr, DepthOption},
        {"strict", no_argument, nullptr, StrictOption},
        {"unknown", required_argument, nullptr, UnknownOption},
        {"encoding", required_argument, nullptr, EncodingOption},
        {"input-width", required_argument, nullptr, InputWidthOption},
        {"byte-order", required_argument, nullptr, ByteOrderOption},
        {"base", required_argument, nullptr, BaseOption},
        {"fill", required_argument, nullptr, FillOption},
        {"help", no_argument, nullptr, HelpOption},
        {"version", no_argument, nullptr, VersionOption},
    };
    const std::span<const InputFormatRow> readers = InputFormats();
    std::vector<std::string> aliases; // reserved: the options point into them
    aliases.reserve(readers.size());
    for (std::size_t i = 0; i < readers.size(); ++i)
        if (!readers[i].alias.empty()) {
            aliases.emplace_back(readers[i].alias);
            longOptions.push_back(
                {aliases.back().c_str(), no_argument, nullptr, AliasOption + static_cast<int>(i)});
        }
    longOptions.push_back({nullptr, 0, nullptr, 0});
    std::vector<char*> args(argv, argv + argc);
    std::string program = kProgram;
    args[0] = program.data();
    args.push_back(nullptr);
    // Errors are worded here, as GNU getopt words them, whichever C library's getopt runs
    // (MinGW's words them as BSD does, naming the program by its full path).
    opterr = 0;
    optind = 1;
    std::optional<std::int64_t> width;
    bool outputGiven = false;
    std::string fillText; // as given, for its message
    const auto fillGiven = [&fillText] { return !fillText.empty(); };
    for (;;) {
        const int c = getopt_long(argc, args.data(), ":r:w:o:t:q", longOptions.data(), nullptr);
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
            if (*optarg == '\0')
                return usageError("the output name is empty");
            options.output = optarg;
            outputGiven = true;
            break;
        case 't':
            if (const OutputFormatRow* row = FindOutputFormat(optarg))
                options.format = row->format;
            else
                return usageError(std::string("invalid output format '") + optarg + "': use " +
                                  NamesOf(OutputFormats()));
            break;
        case FromOption:
            if (const InputFormatRow* row = FindInputFormat(optarg))
                options.from = row->format;
            else
                return usageError(std::string("invalid input format '") + optarg + "': use " +
                                  NamesOf(InputFormats()));
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
        case StrictOption:
            options.strict = true;
            break;
        case UnknownOption:
            if (std::strcmp(optarg, "zero") == 0)
                options.unknownAsZero = true;
            else if (std::strcmp(optarg, "error") == 0)
                options.unknownAsZero = false;
            else
                return usageError(std::string("invalid --unknown '") + optarg +
                                  "': use error or zero");
            break;
        case EncodingOption: {
            const auto encoding = parseEncoding(optarg);
            if (!encoding)
                return usageError(std::string("invalid encoding '") + optarg +
                                  "': use auto, cp936, utf-8, utf-16le or utf-16be");
            options.encoding = *encoding;
            break;
        }
        case InputWidthOption: {
            const auto bits = parseNumber(optarg);
            if (!bits || *bits < 1 || *bits > kMaxWidthBits)
                return usageError(std::string("invalid input width '") + optarg +
                                  "': use 1 to 256 bits");
            options.inputWidth = static_cast<int>(*bits);
            break;
        }
        case ByteOrderOption:
            if (std::strcmp(optarg, "big") == 0)
                options.byteOrder = ByteOrder::Big;
            else if (std::strcmp(optarg, "little") == 0)
                options.byteOrder = ByteOrder::Little;
            else
                return usageError(std::string("invalid byte order '") + optarg +
                                  "': use big or little");
            break;
        case BaseOption:
            options.base = parseAddress(optarg);
            if (!options.base)
                return usageError(std::string("invalid base '") + optarg +
                                  "': use an address such as 0x80000000 or 4096");
            break;
        case FillOption: {
            const auto fill = parseAddress(optarg);
            if (!fill)
                return usageError(std::string("invalid fill '") + optarg +
                                  "': use a value such as 0xff or 0");
            options.fill = *fill;
            fillText = optarg;
            break;
        }
        case HelpOption:
            printHelp();
            return Written;
        case VersionOption:
            platform::PrintVersion(kProgram);
            return Written;
        default:
            if (c >= AliasOption && c < AliasOption + static_cast<int>(readers.size())) {
                options.from = readers[static_cast<std::size_t>(c - AliasOption)].format;
                break;
            }
            return usageError(optionError(c, args[optind - 1], longOptions.data()));
        }
    }
    if (optind < argc)
        options.input = args[optind++];
    if (optind < argc)
        return usageError(std::string("extra operand '") + args[optind] + "'");

    const bool hex = options.radix == RadixMode::Hexadecimal;
    const std::int64_t bits = width.value_or(8);
    if (!WidthAllowed(options.radix, bits))
        return usageError("invalid width '" + std::to_string(bits) + "': widths are 1 to 256");
    options.width = static_cast<int>(bits);
    options.widthGiven = width.has_value();
    if (!outputGiven)
        options.output = "Vetrask." + std::string(RowOf(options.format).extension);
    if (platform::SourceDateEpochMalformed())
        return usageError(std::string("invalid SOURCE_DATE_EPOCH '") +
                          std::getenv("SOURCE_DATE_EPOCH") +
                          "': use a whole number of seconds from 0 to 253402300799");
    const InputFormatRow& from = RowOf(options.from);
    const std::string reader = "--from=" + std::string(from.name) +
                               (from.alias.empty() ? "" : " (--" + std::string(from.alias) + ")");
    const bool words = from.wholeBytes || from.format == InputFormat::Readmem;
    if (!words && (options.inputWidth || options.byteOrder || options.base ||
                   (fillGiven() && from.format != InputFormat::Mif)))
        return usageError("--input-width, --byte-order, --base and --fill take an input with "
                          "addresses: --from=readmem, binary, elf, ihex or srec (and --fill "
                          "--from=mif)");
    if (from.wholeBytes && options.inputWidth && options.inputWidth != 8)
        return usageError(reader + " reads bytes: its input width is 8");
    if (from.wholeBytes)
        options.inputWidth = 8;
    if (from.wholeBytes && !hex)
        return usageError(reader + " needs the hex radix");
    // Readmem words are -w wide unless --input-width says otherwise.
    const int input = options.inputWidth;
    if (!options.widthGiven && from.widthFromInput && input > 0)
        options.width = input; // the memory's words are the input's
    if (input > 0 && !WidthsFit(options.radix, options.width, input))
        return usageError("invalid width '" + std::to_string(options.width) +
                          "': with an input width of " + std::to_string(input) +
                          ", -w must be a multiple or a divisor of it" +
                          (hex ? ", in steps of 4" : ""));
    const int fillBits = input > 0 ? input : options.width;
    // A MIF file states its width, which its reader holds the fill to.
    const bool fillChecked = from.format != InputFormat::Mif || options.widthGiven;
    if (fillGiven() && fillChecked && fillBits < 64 && options.fill >> fillBits != 0)
        return usageError("invalid fill '" + fillText + "': wider than " +
                          std::to_string(fillBits) + " bits, the input's word");
    return std::nullopt;
}

} // namespace tarnwick::cli
