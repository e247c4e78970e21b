#include "run.h"

#include "engine/convert.h"
#include "engine/formats.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/read_file.h"
#include "platform/streams.h"

#include "platform/console.h"

#include <cstdio>
#include <memory>

namespace tarnwick::cli {

namespace {

// The input as the conversion reads it: each pass reads it again from where it stood.
class InputReader final : public ByteReader {
public:
    explicit InputReader(platform::InputStream& input) : m_input(input) {}
    const platform::IoError& error() const override { return m_error; }
    bool read(const Use& use) override {
        // From the first reading only: a later pass starts at the input's start again, and
        // a short file held twice would look like no format at all.
        const bool first = m_readings++ == 0;
        auto noted = [&](std::string_view piece, bool last) {
            if (first && m_head.size() < kHead)
                m_head.append(piece.substr(0, kHead - m_head.size()));
            return use(piece, last);
        };
        if (auto error = m_input.read(noted)) {
            m_error = std::move(*error);
            return false;
        }
        return true;
    }

    /// The input's first bytes, for the hint of a reader that would take it.
    std::string_view head() const { return m_head; }

private:
    static constexpr std::size_t kHead = 4096;
    platform::InputStream& m_input;
    platform::IoError m_error;
    std::string m_head;
    int m_readings = 0;
};

// " (try --from=ihex)" when the file plainly is of another format than the one it was
// read in.
std::string hintFor(const Options& options, std::string_view head) {
    const InputFormatRow* likely = LikelyInputFormat(head, options.from);
    return likely ? " (try --from=" + std::string(likely->name) + ")" : std::string();
}

std::string outputName(const Options& options) {
    return options.output == "-" ? std::string("standard output") : options.output;
}

std::string placeOf(const Options& options, const TextPosition& at) {
    return options.input + ":" + std::to_string(at.line) + ":" + std::to_string(at.column);
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
                           (c >= 0x2060 && c <= 0x206F) || (c >= 0xD800 && c <= 0xF8FF);
    const std::string shown = invisible ? std::string() : platform::ShowableCharacter(c);
    if (shown.empty())
        return code;
    return "'" + shown + "' (" + code + ")";
}

// The form compilers use, so editors and CI logs can jump to the place.
void reportStray(const Options& options, const StrayCharacters& strays, bool countedAll,
                 const std::string& formatHint) {
    std::string count;
    if (countedAll)
        count = " (" + std::to_string(strays.count) + " such character" +
                (strays.count == 1 ? ")" : "s)");
    // Text between NULs: UTF-16 without its byte-order mark, read as UTF-8.
    const std::string hint = strays.mostlyNul() && formatHint.empty()
                                 ? " (is it UTF-16 without a byte-order mark? "
                                   "try --encoding=utf-16le)"
                                 : formatHint;
    SayLine(placeOf(options, strays.at) + ": error: " + describe(strays.first) + " is not a " +
            (options.radix == RadixMode::Hexadecimal ? "hexadecimal" : "binary") + " digit" +
            count + hint);
}

void reportDropped(const Options& options, const DroppedDigits& dropped) {
    std::string where = options.input;
    if (dropped.placed)
        where += ':' + std::to_string(dropped.at.line) + ':' + std::to_string(dropped.at.column);
    SayLine(where + ": error: the last " + std::to_string(dropped.count) + " digit" +
            (dropped.count == 1 ? " is" : "s are") + " too few for a word of " +
            std::to_string(dropped.digitsPerWord) + " digits");
}

// One warning or refusal, whoever found it: a reader's at its place in the input (as
// compilers say it), the driver's worded here in the command line's terms.
void reportDiagnostic(const Options& options, const Diagnostic& d) {
    const std::string severity = d.isError() ? "error: " : "warning: ";
    const std::string depth = std::to_string(d.of);
    switch (d.kind) {
    case Diagnostic::Kind::ShortLastWord:
        Say(severity + "the last word is short: " + std::to_string(d.count) + " of " + depth +
            " digits");
        return;
    case Diagnostic::Kind::FilledLastWord:
        Say(severity + "the last word holds " + std::to_string(d.count) + " of " + depth +
            (options.inputWidth == 8 ? " bytes" : " input words") + "; the rest is filled with " +
            (options.radix == RadixMode::Hexadecimal ? "0x" : "0b") + d.text + " (--fill)");
        return;
    case Diagnostic::Kind::JoinedValues: {
        const auto digits = [](std::uint64_t n) {
            return std::to_string(n) + (n == 1 ? " digit" : " digits");
        };
        Say(severity + "the input's " + std::to_string(d.count) + " values have " +
            (d.fewest == d.most ? digits(d.most) + " each"
                                : std::to_string(d.fewest) + " to " + digits(d.most)) +
            ", and the digits rule joins them into words of " + digits(d.of) +
            ": with --from=values each value is one word");
        return;
    }
    case Diagnostic::Kind::DeeperThanPadding:
        Say("the data makes " + (d.count == 0 ? "more than " + depth : std::to_string(d.count)) +
            " words, more than --depth " + depth + "; nothing written");
        return;
    case Diagnostic::Kind::Reader:
        break;
    }
    SayLine((d.place ? placeOf(options, d.place->at) : options.input) + ": " + severity + d.text);
}

// Says what the conversion came to and returns the exit status.
int report(const Options& options, const platform::InputStream& input, ConvertResult result,
           const std::string& hint) {
    if (result.outcome == ConvertOutcome::Malformed && !result.diagnostics.empty())
        result.diagnostics.back().text += hint;
    for (const Diagnostic& d : result.diagnostics)
        reportDiagnostic(options, d);
    switch (result.outcome) {
    case ConvertOutcome::ReadFailed:
        Say(result.error.reason);
        return Failed;
    case ConvertOutcome::NotADigit:
        reportStray(options, result.strays, input.seekable(), hint);
        return NothingToConvert;
    case ConvertOutcome::EmptyInput:
        Say("nothing to convert: " + input.name() + " holds " +
            std::string(RowOf(options.from).nothing));
        return NothingToConvert;
    case ConvertOutcome::InputTooLarge:
        Say(input.name() + ": more than 2147483647 digits, more than a MIF file can address");
        return Failed;
    case ConvertOutcome::DigitsDropped:
        reportDropped(options, result.dropped);
        return NothingToConvert;
    case ConvertOutcome::Malformed:
        return NothingToConvert;
    case ConvertOutcome::WarningRefused:
        Say("nothing written (--strict)");
        return Failed;
    case ConvertOutcome::DeeperThanPadding:
    case ConvertOutcome::NoWidthSelected: // the options were checked: cannot happen
    case ConvertOutcome::Cancelled:
        return Failed;
    case ConvertOutcome::WriteFailed:
        Say("cannot write " + outputName(options) + ": " + result.error.reason);
        return Failed;
    case ConvertOutcome::Written:
        break;
    }
    if (!options.quiet)
        Say("wrote " + outputName(options) + ": WIDTH = " +
            std::to_string(result.layout.dataWidth) + ", DEPTH = " + std::to_string(result.depth));
    return Written;
}

} // namespace

int Run(const Options& options) {
    // Replacing the input with its own MIF would lose it, and appending to it while it is
    // read again would never end: the same file by any name is refused before anything is
    // read.
    if (options.input != "-" && platform::SameFile(options.input, options.output)) {
        Say(options.output + " is the input file; choose another output name");
        return Usage;
    }
    platform::InputStream input;
    if (auto error = input.open(options.input)) {
        Say(error->reason);
        return Failed;
    }
    InputReader reader(input);
    const InputFormatRow& from = RowOf(options.from);
    ReaderOptions reading;
    reading.encoding = options.encoding;
    reading.radix = options.radix;
    // Readmem words are -w wide, or --input-width where it is given.
    const int inputWidth = options.inputWidth;
    reading.widthBits = inputWidth > 0 ? inputWidth : options.widthGiven ? options.width : 0;
    reading.unknownAsZero = options.unknownAsZero;
    reading.base = options.base;
    reading.fill = options.fill;
    reading.depth = options.depth;
    const std::unique_ptr<DigitSource> source = from.make(reader, reading);
    ConvertOptions convert;
    convert.format = options.format;
    convert.radix = options.radix;
    // A reader that sets the width itself does so unless -w gives it.
    convert.widthBits = from.widthFromInput && !options.widthGiven ? 0 : options.width;
    convert.inputWidthBits = inputWidth;
    convert.byteOrder = options.byteOrder;
    convert.fill = options.fill;
    if (options.depth)
        convert.paddedDepth = static_cast<std::int32_t>(*options.depth);
    convert.warningsRefused = options.strict;
    // A file can be counted to its end; a pipe or device stops at the first stray, since
    // it may never end.
    convert.countAllStrays = input.seekable();
    // Into a file, one pass where the header is known at once: straight into the temporary
    // file, which any refusal drops.
    convert.onePass = platform::IsFileOutput(options.output);

    std::unique_ptr<platform::ByteTarget> target;
    if (const int descriptor = platform::OutputDescriptor(options.output); descriptor >= 0) {
        target = std::make_unique<platform::DescriptorTarget>(descriptor, outputName(options));
    } else {
        auto file =
            std::make_unique<platform::AtomicFileWriter>(platform::PathOfName(options.output));
        file->setCreateFolder(false);
        target = std::move(file);
    }
    const platform::LocaleClock clock;
    ConvertResult result = Convert(*source, convert, *target, clock);
    const bool refused =
        result.outcome == ConvertOutcome::NotADigit || result.outcome == ConvertOutcome::Malformed;
    return report(options, input, std::move(result),
                  refused ? hintFor(options, reader.head()) : std::string());
}

} // namespace tarnwick::cli
