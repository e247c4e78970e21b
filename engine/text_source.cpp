#include "text_source.h"

#include "delimiters.h"
#include "word_writer.h"

#include "text/line_ends.h"

#include <algorithm>
#include <memory>

namespace tarnwick {

TextPosition PositionOf(std::u16string_view text, std::size_t offset) {
    TextPosition at;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i + 1 < offset && i + 1 < text.size(); ++i)
        if (text::StartsLineBreak(text, i)) {
            ++at.line;
            lineStart = i + 2;
        }
    for (std::size_t i = lineStart; i <= offset && i < text.size(); ++i)
        if (!(i > lineStart && IsLowSurrogate(text[i]) && IsHighSurrogate(text[i - 1])))
            ++at.column;
    return at;
}

bool TextSource::count(Tally& tally, const GoOn& goOn) {
    DelimiterStripper stripper;
    auto put = [&tally](char16_t c) { tally.put(c); };
    for (std::size_t at = 0; at < m_text.size(); at += kTextSlice) {
        if (!goOn(at))
            return true;
        tally.add(stripper.countBlocks(m_text.data() + at, std::min(kTextSlice, m_text.size() - at),
                                       true, tally.radix(), put));
    }
    stripper.finish(put);
    return true;
}

bool TextSource::copy(DigitSink& writer, const GoOn& goOn) {
    DelimiterStripper stripper;
    // Every character left is an ASCII digit now.
    auto digits = std::make_unique_for_overwrite<char[]>(kTextSlice + 2 + block::kOverrun);
    for (std::size_t at = 0; at < m_text.size(); at += kTextSlice) {
        if (!goOn(at))
            return true;
        block::CharSink sink{digits.get()};
        stripper.feedBlocks(m_text.data() + at, std::min(kTextSlice, m_text.size() - at), true,
                            sink);
        writer.addDigits(
            std::string_view(digits.get(), static_cast<std::size_t>(sink.at - digits.get())));
    }
    block::CharSink rest{digits.get()};
    stripper.finish(rest);
    writer.addDigits(
        std::string_view(digits.get(), static_cast<std::size_t>(rest.at - digits.get())));
    return true;
}

std::optional<SourcePlace> TextSource::find(const std::function<bool(char16_t)>& isIt, bool toEnd) {
    // The exact stripper, each character tagged with its index.
    TaggedDelimiterStripper<std::size_t> stripper;
    std::optional<SourcePlace> found;
    std::size_t last = 0;
    auto check = [&](char16_t c, std::size_t offset) {
        if (!found && isIt(c)) {
            found.emplace();
            found->offset = offset;
        }
        last = offset;
    };
    for (std::size_t i = 0; i < m_text.size() && (toEnd || !found); ++i)
        stripper.put(m_text[i], i, check);
    stripper.finish(check);
    if (found) {
        found->at = PositionOf(m_text, found->offset);
        found->length = last + 1 - found->offset;
    }
    return found;
}

} // namespace tarnwick
