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

namespace {

std::string banner(std::string_view comment, std::string_view end, const platform::Clock& clock) {
    std::string out;
    for (std::string_view text : {"Copyright (C) 2011 Vetrask. All rights reserved.",
                                  "Rights holder: the Vetrask Tarnwick Workshop",
                                  "Thank you for use Vetrask's design tools",
                                  "If you have better advice or find some bug in this software",
                                  "Welcome to send message to Vetrask: tarnwick@example.com"})
        out.append(comment).append(text).append(end);
    const std::u16string date = clock.Date();
    const std::u16string time = clock.Time();
    out.append(comment).append(text::EncodeCp936(u"Design Date\uFF1A" + date + time)).append(end);
    return out;
}

std::string fullWidth(const std::u16string& word, const WordLayout& layout) {
    const auto d = static_cast<std::size_t>(layout.digitsPerWord);
    return std::string(d - std::min(d, word.size()), '0') + text::EncodeCp936(word);
}

} // namespace

std::string WriteCoe(RadixMode radix, const WordLayout& layout,
                     const std::vector<std::u16string>& words, const platform::Clock& clock) {
    std::string out = banner("; ", "\n", clock);
    out += radix == RadixMode::Binary ? "memory_initialization_radix=2;\n"
                                      : "memory_initialization_radix=16;\n";
    out += "memory_initialization_vector=\n";
    for (std::size_t k = 0; k < words.size(); ++k)
        out += (k > 0 ? ",\n" : "") + fullWidth(words[k], layout);
    return out + ";\n";
}

std::string WriteMem(const WordLayout& layout, const std::vector<std::u16string>& words,
                     const platform::Clock& clock) {
    std::string out = banner("// ", "\n", clock);
    for (const std::u16string& word : words)
        out += fullWidth(word, layout) + "\n";
    return out;
}

std::string Write(OutputFormat format, RadixMode radix, const WordLayout& layout,
                  std::vector<std::u16string> words, std::int32_t paddedDepth,
                  const platform::Clock& clock) {
    while (static_cast<std::int32_t>(words.size()) < paddedDepth)
        words.emplace_back(static_cast<std::size_t>(layout.digitsPerWord), u'0');
    switch (format) {
    case OutputFormat::Coe:
        return WriteCoe(radix, layout, words, clock);
    case OutputFormat::Mem:
        return WriteMem(layout, words, clock);
    case OutputFormat::Mif:
        break;
    }
    return WriteMif(radix, layout, words, clock);
}

std::u16string HexDigitsOf(std::string_view bytes) {
    std::u16string digits;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        digits += u"0123456789abcdef"[b >> 4];
        digits += u"0123456789abcdef"[b & 15];
    }
    return digits;
}

std::string ConvertText(std::u16string text, RadixMode radix, std::int16_t widthIndex,
                        const platform::Clock& clock) {
    const std::u16string digits = StripDelimiters(std::move(text));
    const WordLayout layout = ComputeLayout(
        radix, widthIndex < 0 ? 0 : (widthIndex + 1) * BitsPerDigit(radix), digits.size());
    return WriteMif(radix, layout, SplitWords(digits, layout.digitsPerWord, layout.depth), clock);
}

} // namespace tarnwick::reference
