// Feeds random bytes through the conversion's three implementations and checks that they
// agree: the literal reference (tests/support/reference.h), the per-character path, and the
// block fast path, on the box's text and on a file's bytes cut into random pieces. Where
// the digits are valid, the MIF writer's bytes must be the reference's.
// Byte 0 picks the radix, byte 1 the width index, byte 2 the piece sizes.

#include "engine/engine.h"
#include "support/reference.h"
#include "support/test_support.h"
#include "text/cp936.h"
#include "text/line_ends.h"
#include "text/text_decoder.h"

#include <cstdint>
#include <cstdlib>
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

    // Valid digits: the writer's file is the reference's, byte for byte.
    bool valid = !digits.empty();
    for (char16_t c : digits)
        valid = valid && IsRadixDigit(c, radix);
    if (valid) {
        const WordLayout layout =
            ComputeLayout(radix, test::WidthBits(radix, widthIndex), digits.size());
        test::StringSink sink;
        MifWriter writer(sink, radix, layout, FixedClock());
        const std::string ascii(digits.begin(), digits.end());
        for (std::size_t at = 0; at < ascii.size(); at += 7)
            writer.addDigits(std::string_view(ascii).substr(at, 7));
        writer.finish();
        check(sink.bytes() == reference::ConvertText(text, radix, widthIndex, FixedClock()));
    }
    return 0;
}
