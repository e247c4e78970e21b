#pragma once

#include "source.h"

#include "text/text_decoder.h"

namespace tarnwick {

/// A text file's digits among delimiters, as the window takes them (--from=digits): the
/// bytes decoded and stripped by FileDigitStream, places by line and column.
class DigitsSource final : public DigitSource {
public:
    DigitsSource(ByteReader& reader, text::TextEncoding encoding)
        : m_reader(reader), m_encoding(encoding) {}

    std::uint64_t size() const override { return 0; }
    bool count(Tally& tally, const GoOn& goOn) override;
    bool copy(DigitSink& writer, const GoOn& goOn) override;
    bool countAndCopy(Tally& tally, DigitSink& writer, const GoOn& goOn) override;
    std::optional<SourcePlace> find(const std::function<bool(char16_t)>& isIt, bool toEnd) override;
    const platform::IoError& error() const override { return m_reader.error(); }
    std::optional<ValueShape> valueShape() const override { return m_shape; }

private:
    class ShapeCounter;

    ByteReader& m_reader;
    text::TextEncoding m_encoding;
    DigitRoom m_room;
    std::optional<ValueShape> m_shape;
};

} // namespace tarnwick
