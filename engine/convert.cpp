#include "convert.h"

#include "mif_writer.h"
#include "stream.h"

#include <array>

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

ConvertResult ConvertToMif(std::u16string_view text, RadixMode radix, std::int16_t widthIndex,
                           const std::filesystem::path& destination, const platform::Clock& clock) {
    // Two passes over the text instead of a digit string as long as the text: the first
    // counts the digits, which the header needs, the second writes them.
    ConvertResult result;
    std::size_t digitCount = 0;
    StrayFinder finder(radix);
    {
        TaggedDelimiterStripper<std::size_t> stripper;
        auto count = [&](char16_t c, std::size_t offset) {
            ++digitCount;
            finder.put(c, [offset](StrayCharacters& strays) { strays.offset = offset; });
        };
        for (std::size_t i = 0; i < text.size(); ++i)
            stripper.put(text[i], i, count);
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
        result.strays.at = PositionOf(text, result.strays.offset);
        return result;
    }
    if (digitCount > kMaxDigitCount) {
        result.outcome = ConvertOutcome::InputTooLarge;
        return result;
    }
    result.layout = ComputeLayout(radix, widthIndex, digitCount);

    platform::AtomicFileWriter file(destination);
    if (!file.open()) {
        result.outcome = ConvertOutcome::WriteFailed;
        result.error = file.error();
        return result;
    }
    FileSink sink(file);
    MifWriter writer(sink, radix, result.layout, clock);
    DelimiterStripper stripper;
    std::array<char16_t, 65536> digits;
    std::size_t used = 0;
    auto collect = [&](char16_t c) { digits[used++] = c; };
    constexpr std::size_t kPiece = 65536 - 2; // room for what finish() releases
    for (std::size_t at = 0; at < text.size() && !file.failed(); at += kPiece) {
        used = 0;
        stripper.feed(text.substr(at, kPiece), collect);
        writer.addDigits(std::u16string_view(digits.data(), used));
    }
    used = 0;
    stripper.finish(collect);
    writer.addDigits(std::u16string_view(digits.data(), used));
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
    case ConvertOutcome::WriteFailed:
        return "WriteFailed";
    case ConvertOutcome::Written:
        return "Written";
    }
    return "Unknown";
}

} // namespace tarnwick
