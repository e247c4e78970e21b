#include "convert.h"

#include "formats.h"
#include "word_writer.h"

#include <algorithm>
#include <limits>
#include <memory>

namespace tarnwick {

const std::vector<Diagnostic>& DigitSource::diagnostics() const {
    static const std::vector<Diagnostic> none;
    return none;
}

bool DigitSource::countAndCopy(Tally& tally, WordWriter& writer, const GoOn& goOn) {
    if (!count(tally, goOn))
        return false;
    return tally.anyStray() || tally.decided() || copy(writer, goOn);
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
    const OutputFormatRow& format = RowOf(options.format);
    const bool headerKnown = options.paddedDepth || !format.statesDepth;
    if (options.onePass && headerKnown && WidthAllowed(radix, widthBits)) {
        if (!target.open())
            return writeFailed();
        WordLayout most = ComputeLayout(radix, widthBits, 1);
        most.depth = options.paddedDepth.value_or(std::numeric_limits<std::int32_t>::max());
        writer = format.make(target, radix, most, clock, options.paddedDepth.value_or(0));
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
    const std::vector<Diagnostic>& found = source.diagnostics();
    if (!read &&
        std::any_of(found.begin(), found.end(), [](const Diagnostic& d) { return d.isError(); })) {
        result.diagnostics = found;
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
    bool placed = false;
    auto locate = [&](const std::function<bool(char16_t)>& isIt, bool toEnd) {
        const std::optional<SourcePlace> at = source.find(isIt, toEnd);
        placed = at.has_value();
        if (at)
            place = *at;
        return at || source.error().code == 0;
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
    auto deeper = [&](std::uint64_t words) {
        Diagnostic d;
        d.kind = Diagnostic::Kind::DeeperThanPadding;
        d.severity = Diagnostic::Severity::Error;
        d.count = words;
        d.of = static_cast<std::uint64_t>(options.paddedDepth.value_or(0));
        result.diagnostics.push_back(std::move(d));
        return ended(ConvertOutcome::DeeperThanPadding);
    };
    if (result.countStopped)
        return deeper(0);
    const WordLayout layout = ComputeLayout(radix, widthBits, digits);
    if (const std::uint64_t dropped = DroppedDigitCount(layout, digits)) {
        result.dropped.count = dropped;
        result.dropped.digitsPerWord = layout.digitsPerWord;
        std::uint64_t seen = 0;
        if (!locate([&seen, kept = digits - dropped](char16_t) { return seen++ == kept; }, true))
            return readFailed();
        result.dropped.placed = placed;
        result.dropped.at = place.at;
        result.dropped.offset = place.offset;
        result.dropped.length = place.length;
        return ended(ConvertOutcome::DigitsDropped);
    }
    result.layout = layout;
    // The input is convertible: what the reader warned of stands, then the driver's own.
    result.diagnostics.insert(result.diagnostics.end(), found.begin(), found.end());
    const auto perWord = static_cast<std::uint64_t>(layout.digitsPerWord);
    if (const std::uint64_t tail = digits % perWord) {
        Diagnostic d;
        d.kind = Diagnostic::Kind::ShortLastWord;
        d.count = tail;
        d.of = perWord;
        result.diagnostics.push_back(std::move(d));
    }
    if (options.warningsRefused && !result.diagnostics.empty()) {
        for (Diagnostic& d : result.diagnostics)
            d.severity = Diagnostic::Severity::Error;
        return ended(ConvertOutcome::WarningRefused);
    }
    if (options.paddedDepth && *options.paddedDepth < layout.depth)
        return deeper(static_cast<std::uint64_t>(layout.depth));
    result.depth = options.paddedDepth.value_or(layout.depth);

    if (writer) {
        writer->setDataDepth(layout.depth);
    } else {
        if (!target.open())
            return writeFailed();
        writer = format.make(target, radix, layout, clock, result.depth);
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
