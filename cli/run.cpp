#include "run.h"

#include "engine/engine.h"
#include "platform/clock.h"
#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace tarnwick::cli {

namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;

// The input, read twice: a file by seeking back, anything else (standard input, a pipe, a
// device) through an unnamed temporary file that the first pass fills.
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
        // Standard input may stand past the file's start (a shell that read a line first):
        // both passes start where it stood.
        m_start = S_ISREG(st.st_mode) ? ::lseek(m_fd, 0, SEEK_CUR) : -1;
        m_seekable = m_start >= 0;
        return std::nullopt;
    }

    /// A regular file: it can be read again, and it ends.
    bool seekable() const { return m_seekable; }

    // Calls use(piece, last) for each piece of the input until it returns false; with
    // `keep`, keeps what was read for readAgain(). Returns why it failed.
    template <class Use> std::optional<std::string> read(bool keep, Use&& use) {
        if (keep && !m_seekable) {
            const char* folder = std::getenv("TMPDIR");
            if (!folder || !*folder)
                folder = "/tmp";
            m_spool = ::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
            if (m_spool < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
                // No unnamed files there: a named one, unlinked at once.
                std::string name = std::string(folder) + "/tarnwick-spool-XXXXXX";
                m_spool = ::mkostemp(name.data(), O_CLOEXEC);
                if (m_spool >= 0)
                    ::unlink(name.c_str());
            }
            if (m_spool < 0)
                return "cannot keep " + m_name + " for the second pass: " + std::strerror(errno);
        }
        return readFrom(m_fd, keep && !m_seekable, use);
    }

    template <class Use> std::optional<std::string> readAgain(Use&& use) {
        const int fd = m_spool >= 0 ? m_spool : m_fd;
        if (::lseek(fd, m_spool >= 0 ? 0 : m_start, SEEK_SET) < 0)
            return reason(errno);
        return readFrom(fd, false, use);
    }

    const std::string& name() const { return m_name; }

private:
    template <class Use> std::optional<std::string> readFrom(int fd, bool spool, Use& use) {
        m_buffer.resize(kPiece);
        for (;;) {
            const ssize_t got = ::read(fd, m_buffer.data(), m_buffer.size());
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return reason(errno);
            }
            const std::string_view piece(m_buffer.data(), static_cast<std::size_t>(got));
            if (spool)
                if (const int code = platform::WriteAll(m_spool, piece))
                    return "cannot keep " + m_name + " for the second pass: " + std::strerror(code);
            if (!use(piece, got == 0) || got == 0)
                return std::nullopt;
        }
    }

    std::string reason(int code) const { return m_name + ": " + std::strerror(code); }

    std::string m_name;
    int m_fd = -1;
    int m_spool = -1;
    off_t m_start = -1;
    bool m_seekable = false;
    std::vector<char> m_buffer;
};

// A descriptor the shell opened (standard output, /dev/fd/N) as the MIF file's sink: written
// where it stands, appending when it was opened so.
class DescriptorSink final : public ByteSink {
public:
    explicit DescriptorSink(int fd) : m_fd(fd) {}
    void write(std::string_view bytes) override {
        if (m_code == 0)
            m_code = platform::WriteAll(m_fd, bytes);
    }
    bool failed() const override { return m_code != 0; }
    int code() const { return m_code; }

private:
    int m_fd;
    int m_code = 0;
};

// The descriptor that an output name stands for: "-", /dev/stdout, /dev/stderr, /dev/fd/N
// and /proc/self/fd/N (or our own pid) name one the shell opened. Replacing what such a name
// links to would throw away a log the shell appends to. -1 for any other name.
int outputDescriptor(const std::string& name) {
    if (name == "-" || name == "/dev/stdout")
        return 1;
    if (name == "/dev/stderr")
        return 2;
    std::string_view rest(name);
    const std::string ownProc = "/proc/" + std::to_string(::getpid()) + "/fd/";
    bool named = false;
    for (std::string_view prefix : {std::string_view("/dev/fd/"),
                                    std::string_view("/proc/self/fd/"), std::string_view(ownProc)})
        if (rest.substr(0, prefix.size()) == prefix) {
            rest.remove_prefix(prefix.size());
            named = true;
            break;
        }
    int fd = -1;
    if (!named || rest.empty() ||
        std::from_chars(rest.data(), rest.data() + rest.size(), fd).ptr !=
            rest.data() + rest.size())
        return -1;
    return fd;
}

std::string outputName(const Options& options) {
    return options.output == "-" ? std::string("standard output") : options.output;
}

// The character as the terminal can show it, with its code: 'u' (U+0075). Only the code for
// a character that does not show or that the terminal's encoding (LC_CTYPE) lacks.
std::string describe(char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    // Format characters (marks, joiners, direction controls) and private-use ones show as
    // nothing or as a box, whatever the C library says of them.
    // Blanks other than the ASCII one look like it, or like nothing: a no-break space
    // pasted from a web page must not read as ' '.
    const bool blank = c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
                       c == 0x205F || c == 0x3000 || c == 0x180E;
    const bool invisible = blank || c == 0xFFFD || c == 0xFEFF || c == 0x00AD ||
                           (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
                           (c >= 0x2060 && c <= 0x206F) || (c >= 0xD800 && c <= 0xF8FF) ||
                           !std::iswgraph(static_cast<wint_t>(c));
    if (invisible)
        return code;
    char bytes[MB_LEN_MAX];
    std::mbstate_t state{};
    const std::size_t length = std::wcrtomb(bytes, static_cast<wchar_t>(c), &state);
    if (length == static_cast<std::size_t>(-1))
        return code;
    return "'" + std::string(bytes, length) + "' (" + code + ")";
}

constexpr char kHexDigits[] = "0123456789abcdef";

// Feeds one piece through the pipeline the options ask for, calling emit(c) for each digit.
template <class Emit>
void digitsOf(const Options& options, FileDigitStream& stream, std::string_view piece, bool last,
              Emit&& emit) {
    if (options.binaryInput) {
        for (char byte : piece) {
            const auto b = static_cast<unsigned char>(byte);
            emit(static_cast<char16_t>(kHexDigits[b >> 4]));
            emit(static_cast<char16_t>(kHexDigits[b & 15]));
        }
    } else {
        stream.feedDigits(piece, last, emit);
    }
}

// The first pass's findings, and what the options make of them.
class Survey {
public:
    explicit Survey(const Options& options) : m_options(options), m_finder(options.radix) {}

    /// Takes one digit-string character the per-character path freed.
    void put(char16_t c) {
        ++m_digits;
        m_finder.put(c, [](StrayCharacters&) {});
    }
    /// Takes a number of digits of the radix that the block path counted.
    void addDigits(std::uint64_t count) { m_digits += count; }
    /// Once true, the rest of the input cannot change the outcome.
    bool decided() const { return (m_finder.any() && !m_countAll) || m_digits > kMaxDigitCount; }
    bool anyStray() const { return m_finder.any(); }
    void locate(const TextPosition& at) { m_finder.locate(at); }
    void countAllStrays(bool all) { m_countAll = all; }
    std::uint64_t digits() const { return m_digits; }

    /// Says why the digits cannot be converted and returns the exit status, or nothing.
    std::optional<int> refusal(const std::string& inputName) const {
        if (m_finder.any()) {
            // The form compilers use, so editors and CI logs can jump to the place.
            const StrayCharacters& strays = m_finder.strays();
            std::string count;
            if (m_countAll)
                count = " (" + std::to_string(strays.count) + " such character" +
                        (strays.count == 1 ? ")" : "s)");
            // Text between NULs: UTF-16 without its byte-order mark, read as UTF-8.
            const char* hint = strays.mostlyNul() ? " (is it UTF-16 without a byte-order mark? "
                                                    "try --encoding=utf-16le)"
                                                  : "";
            std::fprintf(stderr, "%s:%llu:%llu: error: %s is not a %s digit%s%s\n",
                         m_options.input.c_str(), static_cast<unsigned long long>(strays.at.line),
                         static_cast<unsigned long long>(strays.at.column),
                         describe(strays.first).c_str(),
                         m_options.radix == RadixMode::Hexadecimal ? "hexadecimal" : "binary",
                         count.c_str(), hint);
            return NothingToConvert;
        }
        if (m_digits == 0) {
            Say("nothing to convert: " + inputName + " holds no digits, only delimiters");
            return NothingToConvert;
        }
        if (m_digits > kMaxDigitCount) {
            Say(inputName + ": more than 2147483647 digits, more than a MIF file can address");
            return Failed;
        }
        return std::nullopt;
    }

    /// Warns of a short last word, and of too many words for --depth; returns the exit
    /// status when that refuses the conversion. Dropped digits are refused before.
    std::optional<int> check(const WordLayout& layout) const {
        const std::uint64_t d = static_cast<std::uint64_t>(layout.digitsPerWord);
        const std::uint64_t rest = m_digits % d;
        std::string warning;
        if (rest != 0)
            warning = "the last word is short: " + std::to_string(rest) + " of " +
                      std::to_string(d) + " digits";
        if (!warning.empty())
            Say((m_options.strict ? "error: " : "warning: ") + warning);
        if (m_options.strict && !warning.empty()) {
            Say("nothing written (--strict)");
            return Failed;
        }
        if (m_options.depth && *m_options.depth < layout.depth) {
            Say("the data makes " + std::to_string(layout.depth) + " words, more than --depth " +
                std::to_string(*m_options.depth) + "; nothing written");
            return Failed;
        }
        return std::nullopt;
    }

private:
    const Options& m_options;
    StrayFinder m_finder;
    std::uint64_t m_digits = 0;
    bool m_countAll = true;
};

int cannotWrite(const Options& options, const std::string& reason) {
    Say("cannot write " + outputName(options) + ": " + reason);
    return Failed;
}

int wrote(const Options& options, const WordLayout& layout, std::int64_t depth) {
    if (!options.quiet)
        Say("wrote " + outputName(options) + ": WIDTH = " + std::to_string(layout.dataWidth) +
            ", DEPTH = " + std::to_string(depth));
    return Written;
}

// True when the output will be a file replaced atomically, not a device, pipe or descriptor.
bool outputIsAFile(const Options& options) {
    if (outputDescriptor(options.output) >= 0)
        return false;
    struct stat st {};
    return ::stat(options.output.c_str(), &st) != 0 || S_ISREG(st.st_mode);
}

// The first pass over one piece: counts the digits, checks them, and says whether to go on.
bool survey(const Options& options, FileDigitStream& stream, Survey& survey, std::string_view piece,
            bool last) {
    if (options.binaryInput) {
        survey.addDigits(2 * static_cast<std::uint64_t>(piece.size()));
    } else {
        auto put = [&survey](char16_t c) { survey.put(c); };
        survey.addDigits(stream.countDigits(piece, last, options.radix, put));
    }
    return !survey.decided();
}

// Where the first stray stands: the input read again, through the per-character path that
// tracks lines and columns, up to that character. Only ever run to report a refusal.
std::optional<std::string> locateFirstStray(const Options& options, Input& input, Survey& survey) {
    FileDigitStream stream(options.encoding);
    bool found = false;
    auto check = [&](char16_t c, const TextPosition& at) {
        if (!found && !IsRadixDigit(c, options.radix)) {
            found = true;
            survey.locate(at);
        }
    };
    return input.readAgain([&](std::string_view piece, bool last) {
        stream.feed(piece, last, check);
        return !found;
    });
}

// After the first pass: says why the input cannot be converted and returns the exit status,
// or nothing to go on.
std::optional<int> refused(const Options& options, Input& input, Survey& survey,
                           std::optional<std::string> error) {
    if (!error && survey.anyStray())
        error = locateFirstStray(options, input, survey);
    if (error) {
        Say(*error);
        return Failed;
    }
    return survey.refusal(input.name());
}

// Digits that the layout would leave out are refused as a stray is: the file would lose data.
// Says where the first of them stands, read again up to it.
std::optional<int> refuseDropped(const Options& options, Input& input, const WordLayout& layout,
                                 std::uint64_t digits) {
    const std::uint64_t dropped = DroppedDigitCount(layout, digits);
    if (dropped == 0)
        return std::nullopt;
    std::string where = options.input;
    if (!options.binaryInput) { // raw bytes have no lines
        const std::uint64_t kept = digits - dropped;
        std::uint64_t seen = 0;
        bool found = false;
        TextPosition at;
        FileDigitStream stream(options.encoding);
        auto note = [&](char16_t, const TextPosition& position) {
            if (!found && seen++ == kept) {
                found = true;
                at = position;
            }
        };
        if (auto error = input.readAgain([&](std::string_view piece, bool last) {
                stream.feed(piece, last, note);
                return !found;
            })) {
            Say(*error);
            return Failed;
        }
        where += ":" + std::to_string(at.line) + ":" + std::to_string(at.column);
    }
    std::fprintf(stderr, "%s: error: the last %llu digit%s too few for a word of %d digits\n",
                 where.c_str(), static_cast<unsigned long long>(dropped),
                 dropped == 1 ? " is" : "s are", layout.digitsPerWord);
    return NothingToConvert;
}

// --depth into a file: the header is known before the data, so the digits go straight into
// the temporary file, checked on the way; any refusal drops it.
int runOnePass(const Options& options, Input& input) {
    const std::int32_t depth = static_cast<std::int32_t>(*options.depth);
    const WordLayout most = [&] {
        WordLayout layout = ComputeLayout(options.radix, options.widthIndex(), 1);
        layout.depth = depth;
        return layout;
    }();
    platform::AtomicFileWriter file(options.output);
    file.setCreateFolder(false);
    if (!file.open())
        return cannotWrite(options, file.error().reason);
    FileSink sink(file);
    const platform::LocaleClock clock;
    MifWriter writer(sink, options.radix, most, clock, depth);
    FileDigitStream stream(options.encoding);
    Survey survey(options);
    survey.countAllStrays(input.seekable());
    const std::uint64_t d = static_cast<std::uint64_t>(most.digitsPerWord);
    std::vector<char> digits(2 * kPiece + 4);
    bool tooMany = false;
    // A pipe is kept as it is read, so a refusal can still say where.
    auto error = input.read(true, [&](std::string_view piece, bool last) {
        std::size_t used = 0;
        digitsOf(options, stream, piece, last, [&](char16_t c) {
            survey.put(c);
            digits[used++] = static_cast<char>(c);
        });
        if (survey.anyStray())
            return !survey.decided();
        writer.addDigits(std::string_view(digits.data(), used));
        tooMany = survey.digits() / d > static_cast<std::uint64_t>(depth);
        return !survey.decided() && !tooMany && !file.failed();
    });
    if (const auto status = refused(options, input, survey, std::move(error)))
        return *status;
    const WordLayout layout = ComputeLayout(options.radix, options.widthIndex(), survey.digits());
    if (tooMany) {
        Say("the data makes more than " + std::to_string(depth) + " words, more than --depth " +
            std::to_string(depth) + "; nothing written");
        return Failed;
    }
    if (const auto status = refuseDropped(options, input, layout, survey.digits()))
        return *status;
    if (const auto status = survey.check(layout))
        return *status;
    writer.setDataDepth(layout.depth);
    writer.finish();
    if (!file.commit())
        return cannotWrite(options, file.error().reason);
    return wrote(options, layout, depth);
}

int runTwoPasses(const Options& options, Input& input) {
    Survey survey(options);
    // A file can be counted to its end; a pipe or device stops at the first stray, since
    // it may never end.
    survey.countAllStrays(input.seekable());
    FileDigitStream counting(options.encoding);
    auto error = input.read(true, [&](std::string_view piece, bool last) {
        return tarnwick::cli::survey(options, counting, survey, piece, last);
    });
    if (const auto status = refused(options, input, survey, std::move(error)))
        return *status;
    const WordLayout layout = ComputeLayout(options.radix, options.widthIndex(), survey.digits());
    if (const auto status = refuseDropped(options, input, layout, survey.digits()))
        return *status;
    if (const auto status = survey.check(layout))
        return *status;
    const std::int32_t depth = static_cast<std::int32_t>(options.depth.value_or(layout.depth));

    const platform::LocaleClock clock;
    const int descriptor = outputDescriptor(options.output);
    const bool toDescriptor = descriptor >= 0;
    if (toDescriptor && ::fcntl(descriptor, F_GETFL) < 0)
        return cannotWrite(options, std::strerror(errno));
    DescriptorSink descriptorSink(descriptor);
    platform::AtomicFileWriter file(options.output);
    file.setCreateFolder(false);
    if (!toDescriptor && !file.open())
        return cannotWrite(options, file.error().reason);
    FileSink fileSink(file);
    ByteSink& sink = toDescriptor ? static_cast<ByteSink&>(descriptorSink) : fileSink;
    {
        MifWriter writer(sink, options.radix, layout, clock, depth);
        FileDigitStream stream(options.encoding);
        // A piece of bytes frees at most two digits a byte (--binary-input) and two held.
        std::vector<char> digits(2 * kPiece + 4);
        if (auto error = input.readAgain([&](std::string_view piece, bool last) {
                block::CharSink collect{digits.data()};
                digitsOf(options, stream, piece, last, collect);
                writer.addDigits(std::string_view(
                    digits.data(), static_cast<std::size_t>(collect.at - digits.data())));
                return !sink.failed();
            })) {
            Say(*error);
            return Failed;
        }
        writer.finish();
    }
    if (toDescriptor) {
        if (descriptorSink.failed())
            return cannotWrite(options, std::strerror(descriptorSink.code()));
    } else if (!file.commit()) {
        return cannotWrite(options, file.error().reason);
    }
    return wrote(options, layout, depth);
}

} // namespace

int Run(const Options& options) {
    // Replacing the input with its own MIF would lose it, and appending to it while it is
    // read again would never end: the same file by any name (a link, a hard link, a
    // descriptor the shell opened on it) is refused before anything is read.
    if (options.input != "-") {
        const int descriptor = outputDescriptor(options.output);
        struct stat in {};
        struct stat out {};
        const bool outputKnown = descriptor >= 0 ? ::fstat(descriptor, &out) == 0
                                                 : ::stat(options.output.c_str(), &out) == 0;
        if (outputKnown && ::stat(options.input.c_str(), &in) == 0 && S_ISREG(out.st_mode) &&
            in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
            Say(options.output + " is the input file; choose another output name");
            return Usage;
        }
    }
    Input input;
    if (auto error = input.open(options.input)) {
        Say(*error);
        return Failed;
    }
    if (options.depth && outputIsAFile(options))
        return runOnePass(options, input);
    return runTwoPasses(options, input);
}

} // namespace tarnwick::cli
