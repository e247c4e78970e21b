// Feeds random bytes through decoding, delimiter removal, layout, splitting and writing
// into memory, and checks what must hold for every input:
// - the words joined are the first min(L, depth * digits per word) digits;
// - the depth is L / digits per word rounded to nearest, ties to even;
// - the file's content lines spell exactly the words, address by address.
// The first byte picks the radix, the second the width index.

#include "engine/engine.h"
#include "platform/cp936.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class FixedClock final : public tarnwick::platform::Clock {
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
    using namespace tarnwick;
    if (size < 2)
        return 0;
    const RadixMode radix = (data[0] & 1) ? RadixMode::Binary : RadixMode::Hexadecimal;
    const auto widthIndex = static_cast<std::int16_t>(data[1] % 64);
    const std::string bytes(reinterpret_cast<const char*>(data + 2), size - 2);

    const std::u16string text = platform::DecodeCp936(bytes);
    check(text.size() <= bytes.size());
    const std::u16string digits = StripDelimiters(text);
    if (digits.empty())
        return 0;

    const WordLayout layout = ComputeLayout(radix, widthIndex, digits.size());
    const std::int32_t d = widthIndex + 1;
    check(layout.digitsPerWord == d);
    check(layout.dataWidth == (radix == RadixMode::Hexadecimal ? 4 * d : d));
    check(layout.depth ==
          static_cast<std::int32_t>(std::nearbyint(static_cast<double>(digits.size()) / d)));

    const WordList words = SplitWords(digits, layout.digitsPerWord, layout.depth);
    check(words.size() == layout.depth);
    std::u16string joined;
    for (std::int32_t k = 0; k < words.size(); ++k)
        joined += words[k];
    const std::size_t covered =
        std::min<std::size_t>(digits.size(), static_cast<std::size_t>(layout.depth) * d);
    check(joined == digits.substr(0, covered));

    StringSink sink;
    WriteMif(sink, radix, layout, words, FixedClock());
    const std::string& file = sink.bytes();
    const std::string begin = "CONTENT BEGIN\r\n\r\n";
    std::size_t at = file.find(begin);
    check(at != std::string::npos);
    check(file.find("DEPTH = " + std::to_string(layout.depth) + ";\r\n") < at);
    at += begin.size();
    platform::Cp936Encoder encoder;
    for (std::int32_t k = 0; k < words.size(); ++k) {
        std::string line = "\t" + std::to_string(k) + "\t:\t";
        encoder.append(words[k], line);
        line += ";\r\n";
        check(file.compare(at, line.size(), line) == 0);
        at += line.size();
    }
    check(file.compare(at, std::string::npos, "\r\nEND;\r\n") == 0);
    return 0;
}
