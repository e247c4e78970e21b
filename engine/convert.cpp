#include "convert.h"

#include "coe_writer.h"
#include "delimiters.h"
#include "mem_writer.h"
#include "mif_writer.h"

#include "text/line_ends.h"

#include <limits>
#include <memory>

namespace tarnwick {

TextPosition PositionOf(std::u16string_view text, std::size_t offset) {
    TextPosition at;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i + 1 < offset && i + 1 < text.size(); ++i)
        if (text::StartsLineBreak(text, i)) {
            ++at.line;
            lineStart = i + 2;
        }
    for (std::size_t i = lineStart; i <= offset && i < text.size(); ++i)
        if (!(i > lineStart && IsLowSurrogate(text[i]) && IsHighSurrogate(text[i - 1])))
            ++at.column;
    return at;
}

namespace {

// A piece of the text: a multiple of the block scan's size, small enough that a long
// conversion reports and stops often.
constexpr std::size_t kPiece = 1 << 16;

// The writer of the format asked for, its header written.
std::unique_ptr<WordWriter> makeWriter(const ConvertOptions& options, platform::ByteSink& sink,
                                       const WordLayout& layout, const platform::Clock& clock,
                                       std::int32_t depth) {
    switch (options.format) {
    case OutputFormat::Coe:
        return std::make_unique<CoeWriter>(sink, options.radix, layout, clock, depth);
    case OutputFormat::Mem:
        return std::make_unique<MemWriter>(sink, layout, clock, depth);
    case OutputFormat::Mif:
        break;
    }
    return std::make_unique<MifWriter>(sink, options.radix, layout, clock, depth);
}

} // namespace

bool DigitSource::countAndCopy(Tally& tally, WordWriter& writer, const GoOn& goOn) {
    if (!count(tally, goOn))
        return false;
    return tally.anyStray() || tally.decided() || copy(writer, goOn);
}

bool TextSource::count(Tally& tally, const GoOn& goOn) {
    DelimiterStripper stripper;
    auto put = [&tally](char16_t c) { tally.put(c); };
    for (std::size_t at = 0; at < m_text.size(); at += kPiece) {
        if (!goOn(at))
            return true;
        tally.add(stripper.countBlocks(m_text.data() + at, std::min(kPiece, m_text.size() - at),
                                       true, tally.radix(), put));
    }
    stripper.finish(put);
    return true;
}

bool TextSource::copy(WordWriter& writer, const GoOn& goOn) {
    DelimiterStripper stripper;
    // Every character left is an ASCII digit now.
    auto digits = std::make_unique_for_overwrite<char[]>(kPiece + 2 + block::kOverrun);
    for (std::size_t at = 0; at < m_text.size(); at += kPiece) {
        if (!goOn(at))
            return true;
        block::CharSink sink{digits.get()};
        stripper.feedBlocks(m_text.data() + at, std::min(kPiece, m_text.size() - at), true, sink);
        writer.addDigits(
            std::string_view(digits.get(), static_cast<std::size_t>(sink.at - digits.get())));
    }
    block::CharSink rest{digits.get()};
    stripper.finish(rest);
    writer.addDigits(
        std::string_view(digits.get(), static_cast<std::size_t>(rest.at - digits.get())));
    return true;
}

std::optional<SourcePlace> TextSource::find(const std::function<bool(char16_t)>& isIt, bool toEnd) {
    // The exact stripper, each character tagged with its index.
    TaggedDelimiterStripper<std::size_t> stripper;
    std::optional<SourcePlace> found;
    std::size_t last = 0;
    auto check = [&](char16_t c, std::size_t offset) {
        if (!found && isIt(c)) {
            found.emplace();
            found->offset = offset;
        }
        last = offset;
    };
    for (std::size_t i = 0; i < m_text.size() && (toEnd || !found); ++i)
        stripper.put(m_text[i], i, check);
    stripper.finish(check);
    if (found) {
        found->at = PositionOf(m_text, found->offset);
        found->length = last + 1 - found->offset;
    }
    return found;
}

ConvertResult Convert(DigitSource& source, const ConvertOptions& options,
                      platform::ByteTarget& target, const platform::Clock& clock,
                      const ConvertProgress& progress) {
    // Two passes over the input instead of a digit string as long as the input: the first
    // counts and checks the digits, which the header needs, the second writes them.
    ConvertResult result;
    auto ended = [&result](ConvertOutcome outcome, const platform::IoError* error = nullptr) {
        result.outcome = outcome;
        if (error)
            result.error = *error;
        return result;
    };
    auto readFailed = [&] { return ended(ConvertOutcome::ReadFailed, &source.error()); };
    auto writeFailed = [&] { return ended(ConvertOutcome::WriteFailed, &target.error()); };
    const std::uint64_t work = 2 * source.size();
    bool cancelled = false;
    auto report = [&](std::uint64_t done) {
        cancelled = cancelled || (progress && !progress(done, work));
        return !cancelled;
    };
    const RadixMode radix = options.radix;
    int widthBits = options.widthBits;
    Tally tally(radix, options.countAllStrays);

    // One pass when the header is known at once: the words go into the target as they are
    // counted, and any refusal leaves it uncommitted.
    std::unique_ptr<WordWriter> writer;
    bool read = false;
    // A MIF header states the depth, which only the count knows unless it is padded to.
    const bool headerKnown = options.paddedDepth || options.format != OutputFormat::Mif;
    if (options.onePass && headerKnown && WidthAllowed(radix, widthBits)) {
        if (!target.open())
            return writeFailed();
        WordLayout most = ComputeLayout(radix, widthBits, 1);
        most.depth = options.paddedDepth.value_or(std::numeric_limits<std::int32_t>::max());
        writer = makeWriter(options, target, most, clock, options.paddedDepth.value_or(0));
        const std::uint64_t d = static_cast<std::uint64_t>(most.digitsPerWord);
        // More words than the depth holds end the count, unless a stray refuses the input
        // anyway: then the strays are counted on.
        auto tooMany = [&] {
            return options.paddedDepth && !tally.anyStray() &&
                   tally.digits() / d > static_cast<std::uint64_t>(*options.paddedDepth);
        };
        read = source.countAndCopy(tally, *writer, [&](std::uint64_t done) {
            result.countStopped = tooMany();
            return report(done) && !tally.decided() && !result.countStopped && !target.failed();
        });
        if (read && target.failed()) // the count stopped there: what it found is not the input's
            return writeFailed();
        result.countStopped = tooMany();
    } else {
        read = source.count(tally,
                            [&](std::uint64_t done) { return report(done) && !tally.decided(); });
    }
    if (!read && source.malformation()) {
        result.malformation = source.malformation();
        return ended(ConvertOutcome::Malformed);
    }
    if (!read)
        return readFailed();
    if (cancelled)
        return ended(ConvertOutcome::Cancelled);
    if (widthBits == 0)
        widthBits = source.widthBits();
    const std::uint64_t digits = tally.digits();
    result.digitCount = digits;
    if (digits == 0)
        return ended(ConvertOutcome::EmptyInput);
    if (!WidthAllowed(radix, widthBits))
        return ended(ConvertOutcome::NoWidthSelected);

    // Where a refused character stands is found only now, by a rescan with places: the
    // first pass stays fast. False when the rescan could not read the input.
    SourcePlace place;
    auto locate = [&](const std::function<bool(char16_t)>& isIt, bool toEnd) {
        const std::optional<SourcePlace> found = source.find(isIt, toEnd);
        if (found)
            place = *found;
        return found || source.error().code == 0;
    };
    if (tally.anyStray()) {
        result.strays = tally.strays();
        if (!locate([radix](char16_t c) { return !IsRadixDigit(c, radix); }, false))
            return readFailed();
        result.strays.at = place.at;
        result.strays.offset = place.offset;
        return ended(ConvertOutcome::NotADigit);
    }
    if (digits > kMaxDigitCount)
        return ended(ConvertOutcome::InputTooLarge);
    if (result.countStopped)
        return ended(ConvertOutcome::DeeperThanPadding);
    const WordLayout layout = ComputeLayout(radix, widthBits, digits);
    if (const std::uint64_t dropped = DroppedDigitCount(layout, digits)) {
        result.dropped.count = dropped;
        result.dropped.digitsPerWord = layout.digitsPerWord;
        std::uint64_t seen = 0;
        if (!locate([&seen, kept = digits - dropped](char16_t) { return seen++ == kept; }, true))
            return readFailed();
        result.dropped.at = place.at;
        result.dropped.offset = place.offset;
        result.dropped.length = place.length;
        return ended(ConvertOutcome::DigitsDropped);
    }
    result.layout = layout;
    if (options.shortWordRefused && digits % static_cast<std::uint64_t>(layout.digitsPerWord))
        return ended(ConvertOutcome::ShortWordRefused);
    if (options.paddedDepth && *options.paddedDepth < layout.depth)
        return ended(ConvertOutcome::DeeperThanPadding);
    result.depth = options.paddedDepth.value_or(layout.depth);

    if (writer) {
        writer->setDataDepth(layout.depth);
    } else {
        if (!target.open())
            return writeFailed();
        writer = makeWriter(options, target, layout, clock, result.depth);
        read = source.copy(*writer, [&](std::uint64_t done) {
            return report(source.size() + done) && !target.failed();
        });
        if (cancelled)
            return ended(ConvertOutcome::Cancelled); // the target drops the unfinished file
        if (!read)
            return readFailed();
    }
    writer->finish();
    if (!target.commit())
        return writeFailed();
    return ended(ConvertOutcome::Written);
}

} // namespace tarnwick
