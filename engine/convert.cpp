#include "convert.h"

#include "mif_writer.h"

namespace tarnwick {

ConvertResult ConvertToMif(std::u16string text, RadixMode radix, std::int16_t widthIndex,
                           const std::filesystem::path& destination, const platform::Clock& clock) {
    ConvertResult result;
    const std::u16string digits = StripDelimiters(std::move(text));
    if (digits.empty()) {
        result.outcome = ConvertOutcome::EmptyInput;
        return result;
    }
    if (widthIndex < 0) {
        result.outcome = ConvertOutcome::NoWidthSelected;
        return result;
    }
    if (digits.size() > kMaxDigitCount) {
        result.outcome = ConvertOutcome::InputTooLarge;
        return result;
    }
    result.layout = ComputeLayout(radix, widthIndex, digits.size());
    const WordList words = SplitWords(digits, result.layout.digitsPerWord, result.layout.depth);
    if (auto error = WriteMifFile(destination, radix, result.layout, words, clock)) {
        result.outcome = ConvertOutcome::WriteFailed;
        result.error = std::move(*error);
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
