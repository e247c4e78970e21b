#include "convert.h"

#include "formats.h"
#include "numbers.h"
#include "word_order.h"
#include "word_writer.h"

#include <algorithm>
#include <limits>
#include <memory>

namespace tarnwick {

const std::vector<Diagnostic>& DigitSource::diagnostics() const {
    static const std::vector<Diagnostic> none;
    return none;
}

bool DigitSource::countAndCopy(Tally& tally, DigitSink& writer, const GoOn& goOn) {
    if (!count(tally, goOn))
        return false;
    return tally.anyStray() || tally.decided() || copy(writer, goOn);
}

bool WidthsFit(RadixMode radix, int widthBits, int inputWidthBits) {
    if (!WidthAllowed(radix, widthBits))
        return false;
    if (inputWidthBits == 0 || inputWidthBits == widthBits)
        return true;
    const int narrow = std::min(widthBits, inputWidthBits);
    const int wide = std::max(widthBits, inputWidthBits);
    return WholeDigits(radix, widthBits) && WholeDigits(radix, inputWidthBits) &&
           wide % narrow == 0;
}

namespace {

// One input word's value as its digits, the most significant first.
std::string digitsOf(std::uint64_t value, RadixMode radix, std::size_t digits) {
    const int bits = BitsPerDigit(radix);
    std::string out(digits, '0');
    for (std::size_t i = digits; i > 0 && value != 0; --i, value >>= bits)
        out[i - 1] = "0123456789abcdef"[value & ((1u << bits) - 1)];
    return out;
}

// How the input's words become memory words, once both widths are known.
struct Regrouping {
    std::size_t unit = 0;  ///< digits of the narrower word
    std::size_t group = 0; ///< digits of the wider
    std::size_t inputWord = 0;
    ByteOrder order = ByteOrder::Big;
    std::string fill; ///< one input word

    Regrouping(RadixMode radix, int widthBits, int inputWidthBits, ByteOrder byteOrder,
               std::uint64_t fillValue)
        : order(byteOrder) {
        const auto digits = [radix](int bits) {
            return static_cast<std::size_t>(bits / BitsPerDigit(radix));
        };
        unit = digits(std::min(widthBits, inputWidthBits));
        group = digits(std::max(widthBits, inputWidthBits));
        inputWord = digits(inputWidthBits);
        fill = digitsOf(fillValue, radix, inputWord);
    }
    // The words that pad the data: one group of the fill, in memory words.
    std::string padding() const {
        std::string group_;
        for (std::size_t at = 0; at < group; at += inputWord)
            group_ += fill;
        if (order == ByteOrder::Little && inputWord == group) { // a word split: low part first
            std::string reversed;
            for (std::size_t u = group; u > 0; u -= unit)
                reversed.append(group_, u - unit, unit);
            return reversed;
        }
        return group_;
    }
};

} // namespace

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
    auto regroupingFor = [&](int bits, ByteOrder order) -> std::optional<Regrouping> {
        if (options.inputWidthBits == 0)
            return std::nullopt;
        return Regrouping(radix, bits, options.inputWidthBits, order, options.fill);
    };
    std::optional<Regrouping> regrouping;
    std::unique_ptr<WordOrder> order;
    // The writer pads with the fill; a WordOrder before it where the widths differ.
    auto regroup = [](WordWriter& to, const Regrouping& r, DigitSink*& sink) {
        to.setPadding(r.padding());
        if (r.unit == r.group)
            return std::unique_ptr<WordOrder>();
        auto made = std::make_unique<WordOrder>(to, r.unit, r.group, r.order, r.fill);
        sink = made.get();
        return made;
    };
    // The input may state its byte order, known only once it is read: then two passes.
    const bool orderKnown =
        options.byteOrder || options.inputWidthBits == 0 || options.inputWidthBits == widthBits;
    if (options.onePass && headerKnown && orderKnown &&
        WidthsFit(radix, widthBits, options.inputWidthBits)) {
        if (!target.open())
            return writeFailed();
        WordLayout most = ComputeLayout(radix, widthBits, 1);
        most.depth = options.paddedDepth.value_or(std::numeric_limits<std::int32_t>::max());
        writer = format.make(target, radix, most, clock, options.paddedDepth.value_or(0));
        regrouping = regroupingFor(widthBits, options.byteOrder.value_or(ByteOrder::Big));
        DigitSink* sink = writer.get();
        if (regrouping)
            order = regroup(*writer, *regrouping, sink);
        const std::uint64_t d = static_cast<std::uint64_t>(most.digitsPerWord);
        // More words than the depth holds end the count, unless a stray refuses the input
        // anyway: then the strays are counted on.
        auto tooMany = [&] {
            return options.paddedDepth && !tally.anyStray() &&
                   tally.digits() / d > static_cast<std::uint64_t>(*options.paddedDepth);
        };
        read = source.countAndCopy(tally, *sink, [&](std::uint64_t done) {
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
    if (!WidthsFit(radix, widthBits, options.inputWidthBits))
        return ended(ConvertOutcome::NoWidthSelected);
    if (!writer)
        regrouping = regroupingFor(
            widthBits, options.byteOrder.value_or(source.byteOrder().value_or(ByteOrder::Big)));

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
    // A short last word of input words is filled after them, each at its own address.
    const std::uint64_t filledDigits =
        regrouping ? (digits + regrouping->group - 1) / regrouping->group * regrouping->group
                   : digits;
    if (filledDigits > kMaxDigitCount)
        return ended(ConvertOutcome::InputTooLarge);
    const WordLayout layout = ComputeLayout(radix, widthBits, filledDigits);
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
    if (filledDigits != digits) {
        Diagnostic d;
        d.kind = Diagnostic::Kind::FilledLastWord;
        d.count = (digits % perWord) / regrouping->inputWord;
        d.of = perWord / regrouping->inputWord;
        d.text = regrouping->fill;
        result.diagnostics.push_back(std::move(d));
    } else if (const std::uint64_t tail = digits % perWord) {
        Diagnostic d;
        d.kind = Diagnostic::Kind::ShortLastWord;
        d.count = tail;
        d.of = perWord;
        result.diagnostics.push_back(std::move(d));
    }
    // Values written at other widths than a word's are joined: said, the bytes as the rule
    // makes them.
    if (const std::optional<ValueShape> shape = source.valueShape();
        shape && shape->values > 1 && !regrouping &&
        (shape->fewest != shape->most || shape->most < perWord || shape->most % perWord != 0)) {
        Diagnostic d;
        d.kind = Diagnostic::Kind::JoinedValues;
        d.count = shape->values;
        d.of = perWord;
        d.fewest = shape->fewest;
        d.most = shape->most;
        result.diagnostics.push_back(std::move(d));
    }
    const bool refusable =
        std::any_of(result.diagnostics.begin(), result.diagnostics.end(),
                    [](const Diagnostic& d) { return d.kind != Diagnostic::Kind::JoinedValues; });
    if (options.warningsRefused && refusable) {
        for (Diagnostic& d : result.diagnostics)
            if (d.kind != Diagnostic::Kind::JoinedValues)
                d.severity = Diagnostic::Severity::Error;
        return ended(ConvertOutcome::WarningRefused);
    }
    if (options.paddedDepth && *options.paddedDepth < layout.depth)
        return deeper(static_cast<std::uint64_t>(layout.depth));
    result.depth = options.paddedDepth.value_or(layout.depth);

    if (writer) {
        if (order)
            order->finish();
        writer->setDataDepth(layout.depth);
    } else {
        if (!target.open())
            return writeFailed();
        writer = format.make(target, radix, layout, clock, result.depth);
        DigitSink* sink = writer.get();
        if (regrouping)
            order = regroup(*writer, *regrouping, sink);
        read = source.copy(*sink, [&](std::uint64_t done) {
            return report(source.size() + done) && !target.failed();
        });
        if (cancelled)
            return ended(ConvertOutcome::Cancelled); // the target drops the unfinished file
        if (!read)
            return readFailed();
        if (order)
            order->finish();
    }
    if (const std::optional<std::uint64_t> word = writer->overWideWord()) {
        // Found while writing, so the earlier file stays: this one is never committed.
        std::uint64_t seen = 0;
        const std::uint64_t first = *word * perWord;
        // An input that cannot be read again (a pipe) is refused all the same, unplaced.
        locate([&seen, first](char16_t) { return seen++ == first; }, false);
        Diagnostic d;
        d.severity = Diagnostic::Severity::Error;
        if (placed)
            d.place = place;
        const unsigned most = TopDigitMost(radix, widthBits);
        d.text = "the word at address " + std::to_string(*word) + " is wider than " +
                 numbers::Bits(widthBits) + ": its first hex digit may be 0 to " +
                 std::to_string(most);
        result.diagnostics.push_back(std::move(d));
        return ended(ConvertOutcome::Malformed);
    }
    writer->finish();
    if (!target.commit())
        return writeFailed();
    return ended(ConvertOutcome::Written);
}

} // namespace tarnwick
