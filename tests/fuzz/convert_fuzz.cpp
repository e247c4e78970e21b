// Feeds random bytes through the conversion and checks it against the literal reference
// (tests/support/reference.h): the per-character path and the block fast path on the box's
// text and on a file's bytes cut into random pieces, and then the whole driver, Convert,
// with every reader and every writer, in one pass or two, with or without a padded depth.
// Byte 0 picks the radix (bit 0), the reader (bits 1-2: digits, readmem, binary, the box),
// the writer (bits 3-4), one pass (bit 5), a padded depth (bit 6) and UTF-16 for text
// (bit 7); byte 1 the width index (bits 0-5), x, z and ? as 0 (bit 6) and, for readmem, the
// width from the words (bit 7); byte 2 the piece sizes. The same bytes then go through a
// firmware reader (Intel HEX, S-records or ELF) and a reader of value lists (values, MIF,
// COE) in pieces of two sizes.

#include "engine/engine.h"
#include "support/memory_io.h"
#include "support/reference.h"
#include "support/test_support.h"
#include "text/cp936.h"
#include "text/line_ends.h"
#include "text/text_decoder.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using namespace tarnwick;

class FixedClock final : public platform::Clock {
public:
    std::u16string Date() const override { return u"2011-8-10"; }
    std::u16string Time() const override { return u"14:23:05"; }
};

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const RadixMode radix = (data[0] & 1) ? RadixMode::Binary : RadixMode::Hexadecimal;
    const auto widthIndex = static_cast<std::int16_t>(data[1] % 64);
    unsigned seed = data[2];
    const std::string bytes(reinterpret_cast<const char*>(data + 3), size - 3);

    // The box's text: only CR LF is a line break.
    const std::u16string text = test::DecodeCp936(bytes);
    const std::u16string digits = reference::StripDelimiters(text);
    {
        std::u16string exact, blocks;
        DelimiterStripper a, b;
        auto toExact = [&exact](char16_t c) { exact += c; };
        auto toBlocks = [&blocks](char16_t c) { blocks += c; };
        for (char16_t c : text)
            a.put(c, toExact);
        a.finish(toExact);
        b.feedBlocks(text.data(), text.size(), true, toBlocks);
        b.finish(toBlocks);
        check(exact == digits);
        check(blocks == digits);
    }

    // A file's bytes in random pieces: every line end becomes CR LF first. As GBK, where
    // ASCII bytes are the text, and as UTF-16, where they never are.
    for (const auto encoding : {text::TextEncoding::Cp936, text::TextEncoding::Utf16Le}) {
        const std::u16string fileDigits =
            reference::StripDelimiters(text::NormaliseLineEnds(text::DecodeText(bytes, encoding)));
        FileDigitStream fast(encoding);
        FileDigitStream counting(encoding);
        std::u16string got;
        std::uint64_t count = 0;
        auto collect = [&got](char16_t c) { got += c; };
        auto one = [&count](char16_t) { ++count; };
        for (std::size_t at = 0;;) {
            seed = seed * 1103515245u + 12345u;
            const std::size_t piece = std::min<std::size_t>((seed >> 16) % 300, bytes.size() - at);
            const bool last = at + piece == bytes.size();
            const std::string_view part = std::string_view(bytes).substr(at, piece);
            fast.feedDigits(part, last, collect);
            count += counting.countDigits(part, last, radix, one);
            at += piece;
            if (last)
                break;
        }
        check(got == fileDigits);
        check(count == fileDigits.size());
    }

    // The driver with a reader and a writer from the tables: the outcome and the bytes are
    // the reference's.
    const int readerBits = data[0] >> 1 & 3; // 3: the window's box
    const bool box = readerBits == 3;
    const InputFormat from = readerBits == 2   ? InputFormat::Binary
                             : readerBits == 1 ? InputFormat::Readmem
                                               : InputFormat::Digits;
    const bool unknownAsZero = data[1] & 0x40;
    const bool widthFromWords = from == InputFormat::Readmem && (data[1] & 0x80);
    const OutputFormat to = OutputFormats()[(data[0] >> 3 & 3) % OutputFormats().size()].format;
    const bool onePass = data[0] & 0x20;
    const bool padded = data[0] & 0x40;
    const auto encoding =
        (data[0] & 0x80) ? text::TextEncoding::Utf16Le : text::TextEncoding::Cp936;
    const int widthBits = widthFromWords ? 0 : test::WidthBits(radix, widthIndex);
    if (from == InputFormat::Binary && (radix != RadixMode::Hexadecimal || widthBits % 8 != 0))
        return 0; // the command line refuses these options
    reference::ReadmemImage image;
    std::u16string expected;
    if (box) {
        expected = digits;
    } else if (from == InputFormat::Binary) {
        expected = reference::HexDigitsOf(bytes);
    } else if (from == InputFormat::Readmem) {
        image = reference::ReadReadmem(text::DecodeText(bytes, encoding), radix, widthBits,
                                       unknownAsZero);
        if (image.outcome == reference::ReadmemImage::Outcome::TooLarge)
            return 0;
        for (const std::u16string& word : image.words)
            expected += word;
    } else {
        expected =
            reference::StripDelimiters(text::NormaliseLineEnds(text::DecodeText(bytes, encoding)));
    }
    seed = seed * 1103515245u + 12345u;
    test::StringReader reader(bytes, 1 + (seed >> 16) % 97);
    ReaderOptions reading;
    reading.encoding = encoding;
    reading.radix = radix;
    reading.widthBits = widthBits;
    reading.unknownAsZero = unknownAsZero;
    const std::unique_ptr<DigitSource> source =
        box ? std::make_unique<TextSource>(text) : RowOf(from).make(reader, reading);
    ConvertOptions options;
    options.format = to;
    options.radix = radix;
    options.widthBits = widthBits;
    options.onePass = onePass;
    const int layoutBits = from == InputFormat::Readmem && !box ? image.widthBits : widthBits;
    const WordLayout layout = ComputeLayout(radix, layoutBits, expected.size());
    const std::int32_t paddedDepth = layout.depth + static_cast<std::int32_t>(seed % 5);
    if (padded)
        options.paddedDepth = paddedDepth;
    test::StringTarget target;
    const ConvertResult result = Convert(*source, options, target, FixedClock());

    bool allDigits = true;
    for (char16_t c : expected)
        allDigits = allDigits && IsRadixDigit(c, radix);
    using Read = reference::ReadmemImage::Outcome;
    if (from == InputFormat::Readmem && !box && image.outcome != Read::Words) {
        check(result.outcome == (image.outcome == Read::Stray     ? ConvertOutcome::NotADigit
                                 : image.outcome == Read::Refused ? ConvertOutcome::Malformed
                                                                  : ConvertOutcome::EmptyInput));
    } else if (expected.empty()) {
        check(result.outcome == ConvertOutcome::EmptyInput);
    } else if (!allDigits) {
        check(result.outcome == ConvertOutcome::NotADigit);
    } else if (DroppedDigitCount(layout, expected.size()) > 0) {
        check(result.outcome == ConvertOutcome::DigitsDropped);
    } else {
        check(result.outcome == ConvertOutcome::Written);
        check(target.committed());
        check(target.bytes() ==
              reference::Write(to, radix, layout,
                               reference::SplitWords(expected, layout.digitsPerWord, layout.depth),
                               padded ? paddedDepth : 0, FixedClock()));
    }
    check(target.committed() == (result.outcome == ConvertOutcome::Written));

    // The firmware readers, bytes packed into 32-bit words in either order: the same outcome
    // and bytes whatever the pieces, and nothing written unless it says so.
    const InputFormat images[] = {InputFormat::Ihex, InputFormat::Srec, InputFormat::Elf};
    const InputFormat firmware = images[seed % 3];
    ConvertOptions packed;
    packed.format = to;
    packed.widthBits = 32;
    packed.inputWidthBits = 8;
    packed.byteOrder = (seed & 8) ? ByteOrder::Little : ByteOrder::Big;
    packed.onePass = onePass;
    if (padded)
        packed.paddedDepth = static_cast<std::int32_t>(seed % 64);
    ReaderOptions imageReading;
    imageReading.fill = seed >> 8 & 0xFF;
    if (seed & 16)
        imageReading.base = seed % 32;
    std::string firstBytes;
    std::optional<ConvertOutcome> firstOutcome;
    for (const std::size_t piece : {std::size_t{1}, std::size_t{1} + (seed >> 16) % 97}) {
        test::StringReader imageReader(bytes, piece);
        const auto imageSource = RowOf(firmware).make(imageReader, imageReading);
        test::StringTarget imageTarget;
        const ConvertResult got = Convert(*imageSource, packed, imageTarget, FixedClock());
        check(imageTarget.committed() == (got.outcome == ConvertOutcome::Written));
        if (firstOutcome) {
            check(got.outcome == *firstOutcome);
            check(imageTarget.bytes() == firstBytes);
        }
        firstOutcome = got.outcome;
        firstBytes = imageTarget.bytes();
    }

    // The readers of value lists, likewise: a width of the seed's or the input's own. The
    // encoding is fixed, since with auto the first piece that holds non-ASCII bytes decides.
    const InputFormat lists[] = {InputFormat::Values, InputFormat::Mif, InputFormat::Coe};
    const InputFormat list = lists[(seed >> 4) % 3];
    ReaderOptions listReading;
    listReading.radix = radix;
    listReading.widthBits = (seed & 32) ? 1 + static_cast<int>(seed >> 6) % 40 : 0;
    listReading.fill = seed >> 12 & 0x3;
    listReading.encoding = (seed & 64) ? text::TextEncoding::Utf8 : text::TextEncoding::Cp936;
    ConvertOptions listed;
    listed.format = to;
    listed.radix = radix;
    listed.widthBits = listReading.widthBits;
    listed.onePass = onePass;
    firstOutcome.reset();
    for (const std::size_t piece : {std::size_t{1}, std::size_t{1} + (seed >> 8) % 61}) {
        test::StringReader listReader(bytes, piece);
        const auto listSource = RowOf(list).make(listReader, listReading);
        test::StringTarget listTarget;
        const ConvertResult got = Convert(*listSource, listed, listTarget, FixedClock());
        check(listTarget.committed() == (got.outcome == ConvertOutcome::Written));
        if (firstOutcome) {
            check(got.outcome == *firstOutcome);
            check(listTarget.bytes() == firstBytes);
        }
        firstOutcome = got.outcome;
        firstBytes = listTarget.bytes();
    }
    return 0;
}
