#include "convert.h"

#include "mif_writer.h"
#include "stream.h"

#include <memory>

namespace tarnwick {

TextPosition PositionOf(std::u16string_view text, std::size_t offset) {
    TextPosition at;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i + 1 < offset && i + 1 < text.size(); ++i)
        if (text[i] == u'\r' && text[i + 1] == u'\n') {
            ++at.line;
            lineStart = i + 2;
        }
    auto isHigh = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    auto isLow = [](char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    for (std::size_t i = lineStart; i <= offset && i < text.size(); ++i)
        if (!(i > lineStart && isLow(text[i]) && isHigh(text[i - 1])))
            ++at.column;
    return at;
}

namespace {

// Where the first stray character stands: the exact stripper, each character tagged with
// its index, run until it frees the first character that is not a digit.
std::size_t firstStrayOffset(std::u16string_view text, RadixMode radix) {
    TaggedDelimiterStripper<std::size_t> stripper;
    std::size_t found = text.size();
    auto check = [&](char16_t c, std::size_t offset) {
        if (found == text.size() && !IsRadixDigit(c, radix))
            found = offset;
    };
    for (std::size_t i = 0; i < text.size() && found == text.size(); ++i)
        stripper.put(text[i], i, check);
    stripper.finish(check);
    return found;
}

// Where the digits from the `kept`-th on stand: the first of them, and the end of the last
// digit of the text.
void locateDropped(std::u16string_view text, std::uint64_t kept, DroppedDigits& dropped) {
    TaggedDelimiterStripper<std::size_t> stripper;
    std::uint64_t seen = 0;
    std::size_t last = 0;
    auto note = [&](char16_t, std::size_t offset) {
        if (seen++ == kept)
            dropped.offset = offset;
        last = offset;
    };
    for (std::size_t i = 0; i < text.size(); ++i)
        stripper.put(text[i], i, note);
    stripper.finish(note);
    dropped.length = last + 1 - dropped.offset;
    dropped.at = PositionOf(text, dropped.offset);
}

} // namespace

ConvertResult ConvertToMif(std::u16string_view text, RadixMode radix, std::int16_t widthIndex,
                           const std::filesystem::path& destination, const platform::Clock& clock,
                           const ConvertProgress& progress) {
    // Two passes over the text instead of a digit string as long as the text: the first
    // counts and checks the digits, which the header needs, the second writes them.
    ConvertResult result;
    // Both passes go in pieces, a multiple of the block scan's size, so that a long
    // conversion can report and stop between them.
    constexpr std::size_t kPiece = 1 << 16;
    const std::uint64_t work = 2 * static_cast<std::uint64_t>(text.size());
    auto goOn = [&progress, work](std::uint64_t done) { return !progress || progress(done, work); };
    std::size_t digitCount = 0;
    StrayFinder finder(radix);
    {
        DelimiterStripper stripper;
        auto count = [&](char16_t c) {
            ++digitCount;
            finder.put(c, [](StrayCharacters&) {});
        };
        for (std::size_t at = 0; at < text.size(); at += kPiece) {
            if (!goOn(at)) {
                result.outcome = ConvertOutcome::Cancelled;
                return result;
            }
            digitCount += stripper.countBlocks(text.data() + at, std::min(kPiece, text.size() - at),
                                               true, radix, count);
        }
        stripper.finish(count);
    }
    if (digitCount == 0) {
        result.outcome = ConvertOutcome::EmptyInput;
        return result;
    }
    if (widthIndex < 0) {
        result.outcome = ConvertOutcome::NoWidthSelected;
        return result;
    }
    if (finder.any()) {
        result.outcome = ConvertOutcome::NotADigit;
        result.strays = finder.strays();
        result.strays.offset = firstStrayOffset(text, radix);
        result.strays.at = PositionOf(text, result.strays.offset);
        return result;
    }
    if (digitCount > kMaxDigitCount) {
        result.outcome = ConvertOutcome::InputTooLarge;
        return result;
    }
    result.layout = ComputeLayout(radix, widthIndex, digitCount);
    if (const std::uint64_t dropped = DroppedDigitCount(result.layout, digitCount)) {
        result.outcome = ConvertOutcome::DigitsDropped;
        result.dropped.count = dropped;
        result.dropped.digitsPerWord = result.layout.digitsPerWord;
        locateDropped(text, digitCount - dropped, result.dropped);
        return result;
    }

    platform::AtomicFileWriter file(destination);
    if (!file.open()) {
        result.outcome = ConvertOutcome::WriteFailed;
        result.error = file.error();
        return result;
    }
    FileSink sink(file);
    MifWriter writer(sink, radix, result.layout, clock);
    DelimiterStripper stripper;
    // Every character left is an ASCII digit now.
    auto digits = std::make_unique_for_overwrite<char[]>(kPiece + 2);
    for (std::size_t at = 0; at < text.size() && !file.failed(); at += kPiece) {
        if (!goOn(text.size() + at)) {
            result.outcome = ConvertOutcome::Cancelled;
            return result; // the writer's destructor discards the unfinished file
        }
        block::CharSink sink{digits.get()};
        stripper.feedBlocks(text.data() + at, std::min(kPiece, text.size() - at), true, sink);
        writer.addDigits(
            std::string_view(digits.get(), static_cast<std::size_t>(sink.at - digits.get())));
    }
    block::CharSink rest{digits.get()};
    stripper.finish(rest);
    writer.addDigits(
        std::string_view(digits.get(), static_cast<std::size_t>(rest.at - digits.get())));
    writer.finish();
    if (!file.commit()) {
        result.outcome = ConvertOutcome::WriteFailed;
        result.error = file.error();
        return result;
    }
    result.outcome = ConvertOutcome::Written;
    return result;
}

const char* OutcomeName(ConvertOutcome outcome) {
    switch (outcome) {
    case ConvertOutcome::EmptyInput:
        return "EmptyInput";
    case ConvertOutcome::NoWidthSelected:
        return "NoWidthSelected";
    case ConvertOutcome::NotADigit:
        return "NotADigit";
    case ConvertOutcome::InputTooLarge:
        return "InputTooLarge";
    case ConvertOutcome::DigitsDropped:
        return "DigitsDropped";
    case ConvertOutcome::Cancelled:
        return "Cancelled";
    case ConvertOutcome::WriteFailed:
        return "WriteFailed";
    case ConvertOutcome::Written:
        return "Written";
    }
    return "Unknown";
}

} // namespace tarnwick
