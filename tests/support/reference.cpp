#include "reference.h"

#include "engine/mif_writer.h"
#include "text/cp936.h"

#include <algorithm>
#include <utility>

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
    // Read as ASCII or UTF-8 by their readers: an ASCII colon, '?' for anything beyond.
    out.append(comment).append("Design Date: ");
    for (char16_t c : clock.Date() + clock.Time())
        out += c < 0x80 ? static_cast<char>(c) : '?';
    out.append(end);
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

ReadmemImage ReadReadmem(std::u16string_view text, RadixMode radix, int widthBits,
                         bool unknownAsZero) {
    using Outcome = ReadmemImage::Outcome;
    ReadmemImage image;
    const int step = BitsPerDigit(radix);
    const std::size_t most =
        static_cast<std::size_t>(widthBits > 0 ? widthBits / step : MaxDigitsPerWord(radix));
    auto blank = [](char16_t c) {
        return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
    };
    auto unknown = [](char16_t c) {
        return c == u'x' || c == u'X' || c == u'z' || c == u'Z' || c == u'?';
    };
    std::vector<std::pair<std::uint64_t, std::u16string>> placed;
    std::uint64_t next = 0;
    bool pending = false; // an @ no word has followed yet
    std::uint64_t pendingAddress = 0;
    std::size_t widest = 1;
    for (std::size_t i = 0; i < text.size();) {
        if (blank(text[i])) {
            ++i;
            continue;
        }
        if (text[i] == u'/') {
            if (text.substr(i, 2) == u"//") {
                i = std::min(text.find(u'\n', i), text.size());
            } else if (text.substr(i, 2) == u"/*") {
                const std::size_t end = text.find(u"*/", i + 2);
                i = end == std::u16string_view::npos ? text.size() : end + 2;
            } else {
                image.outcome = Outcome::Refused;
                return image;
            }
            continue;
        }
        std::size_t j = i + 1;
        while (j < text.size() && !blank(text[j]) && text[j] != u'/' && text[j] != u'@')
            ++j;
        const std::u16string_view token = text.substr(i, j - i);
        i = j;
        if (token[0] == u'@') {
            std::size_t lead = 1;
            while (lead < token.size() && (token[lead] == u'0' || token[lead] == u'_'))
                ++lead;
            std::uint64_t value = 0;
            bool any =
                lead > 1 && token.substr(1, lead - 1).find(u'0') != std::u16string_view::npos;
            if (token.size() - lead > 1023) { // what the reader keeps of an address
                image.outcome = Outcome::Refused;
                return image;
            }
            for (char16_t c : token.substr(1)) {
                if (c == u'_')
                    continue;
                if (!IsRadixDigit(c, RadixMode::Hexadecimal) || value >> 60 != 0) {
                    image.outcome = Outcome::Refused;
                    return image;
                }
                value = value << 4 | (c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10);
                any = true;
            }
            if (!any) {
                image.outcome = Outcome::Refused;
                return image;
            }
            pending = true;
            pendingAddress = value;
            continue;
        }
        std::u16string digits;
        for (char16_t c : token) {
            if (c == u'_')
                continue;
            if (!IsRadixDigit(c, radix) && !(unknownAsZero && unknown(c))) {
                image.outcome = Outcome::Stray;
                return image;
            }
            if (!digits.empty() || c != u'0')
                digits += unknown(c) ? u'0' : c;
        }
        // The reader keeps 1024 characters of a word past its leading zeros: more is too wide.
        std::size_t kept = 0;
        while (kept < token.size() && (token[kept] == u'0' || token[kept] == u'_'))
            ++kept;
        if (digits.empty())
            digits = u"0";
        if (digits.size() > most || token.size() - kept > 1024) {
            image.outcome = Outcome::Refused;
            return image;
        }
        if (pending)
            next = pendingAddress;
        pending = false;
        placed.emplace_back(next++, digits);
        widest = std::max(widest, digits.size());
    }
    if (placed.empty())
        return image;
    std::uint64_t depth = 0;
    for (const auto& [address, digits] : placed)
        depth = std::max(depth, address + 1);
    const std::size_t d = widthBits > 0 ? most : widest;
    image.widthBits = static_cast<int>(d) * step;
    if (depth > (std::uint64_t{1} << 20) / d) {
        image.outcome = Outcome::TooLarge;
        return image;
    }
    image.words.assign(static_cast<std::size_t>(depth), std::u16string(d, u'0'));
    for (const auto& [address, digits] : placed)
        image.words[address].replace(d - digits.size(), digits.size(), digits);
    image.outcome = Outcome::Words;
    return image;
}

std::string ConvertText(std::u16string text, RadixMode radix, std::int16_t widthIndex,
                        const platform::Clock& clock) {
    const std::u16string digits = StripDelimiters(std::move(text));
    const WordLayout layout = ComputeLayout(
        radix, widthIndex < 0 ? 0 : (widthIndex + 1) * BitsPerDigit(radix), digits.size());
    return WriteMif(radix, layout, SplitWords(digits, layout.digitsPerWord, layout.depth), clock);
}

} // namespace tarnwick::reference
