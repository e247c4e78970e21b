#include "reference.h"

#include "engine/mif_writer.h"
#include "text/cp936.h"

namespace tarnwick::reference {

std::u16string StripDelimiters(std::u16string text) {
    const std::u16string_view passes[] = {u" ", u"\t", u",", u";", u"{", u"}", u"0x", u"\r\n"};
    for (std::u16string_view pattern : passes) {
        std::u16string out;
        std::size_t i = 0;
        while (i < text.size()) {
            const bool prefix = pattern == u"0x" && i + 1 < text.size() && text[i] == u'0' &&
                                (text[i + 1] == u'x' || text[i + 1] == u'X');
            if (prefix || text.compare(i, pattern.size(), pattern) == 0) {
                i += pattern.size();
            } else {
                out.push_back(text[i]);
                ++i;
            }
        }
        text = std::move(out);
    }
    return text;
}

std::vector<std::u16string> SplitWords(std::u16string_view digits, std::int32_t digitsPerWord,
                                       std::int32_t depth) {
    std::vector<std::u16string> words;
    const auto d = static_cast<std::size_t>(digitsPerWord);
    for (std::int32_t k = 0; k < depth && static_cast<std::size_t>(k) * d < digits.size(); ++k)
        words.emplace_back(digits.substr(static_cast<std::size_t>(k) * d, d));
    return words;
}

std::string WriteMif(RadixMode radix, const WordLayout& layout,
                     const std::vector<std::u16string>& words, const platform::Clock& clock) {
    std::string out;
    auto line = [&out](std::string_view text) { out.append(text).append("\r\n"); };
    line(kOwnershipLine);
    line(kRightsHolderLine);
    line("-- Thank you for use Vetrask's design tools");
    line("-- If you have better advice or find some bug in this software");
    line(kContactLine);
    const std::u16string date = clock.Date();
    const std::u16string time = clock.Time();
    line(text::EncodeCp936(u"-- Design Date\uFF1A" + date + time));
    line("");
    line("");
    line("WIDTH = " + std::to_string(layout.dataWidth) + ";");
    line("DEPTH = " + std::to_string(words.size()) + ";");
    line("");
    line("ADDRESS_RADIX = DEC;");
    line(radix == RadixMode::Binary ? "DATA_RADIX = BIN;" : "DATA_RADIX = HEX;");
    line("");
    line("CONTENT BEGIN");
    line("");
    for (std::size_t k = 0; k < words.size(); ++k)
        line("\t" + std::to_string(k) + "\t:\t" + text::EncodeCp936(words[k]) + ";");
    line("");
    line("END;");
    return out;
}

std::string ConvertText(std::u16string text, RadixMode radix, std::int16_t widthIndex,
                        const platform::Clock& clock) {
    const std::u16string digits = StripDelimiters(std::move(text));
    const WordLayout layout = ComputeLayout(
        radix, widthIndex < 0 ? 0 : (widthIndex + 1) * BitsPerDigit(radix), digits.size());
    return WriteMif(radix, layout, SplitWords(digits, layout.digitsPerWord, layout.depth), clock);
}

} // namespace tarnwick::reference
