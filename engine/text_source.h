#pragma once

#include "source.h"

#include <string_view>

namespace tarnwick {

/// The input box's text as a DigitSource: lines end at CR LF, as the box holds them, and
/// places are the box's lines, columns and indexes. Read in slices of kTextSlice
/// characters, so a long conversion reports its progress and stops often.
class TextSource final : public DigitSource {
public:
    /// A multiple of the block scan's size.
    static constexpr std::size_t kTextSlice = std::size_t{1} << 16;

    explicit TextSource(std::u16string_view text) : m_text(text) {}

    std::uint64_t size() const override { return m_text.size(); }
    bool count(Tally& tally, const GoOn& goOn) override;
    bool copy(DigitSink& writer, const GoOn& goOn) override;
    std::optional<SourcePlace> find(const std::function<bool(char16_t)>& isIt, bool toEnd) override;
    const platform::IoError& error() const override { return m_error; }

private:
    std::u16string_view m_text;
    platform::IoError m_error; ///< a text in memory never fails to read
};

/// The line and column of text[offset], lines ending at CR LF as the input box shows them.
TextPosition PositionOf(std::u16string_view text, std::size_t offset);

} // namespace tarnwick
