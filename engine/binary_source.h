#pragma once

#include "source.h"

namespace tarnwick {

/// Raw bytes (--from=binary): each byte two hexadecimal digits, high nibble first, so the
/// words hold the bytes in the order they come. Raw bytes have no places.
class BinarySource final : public DigitSource {
public:
    explicit BinarySource(ByteReader& reader) : m_reader(reader) {}

    std::uint64_t size() const override { return 0; }
    bool count(Tally& tally, const GoOn& goOn) override;
    bool copy(DigitSink& writer, const GoOn& goOn) override;
    bool countAndCopy(Tally& tally, DigitSink& writer, const GoOn& goOn) override;
    std::optional<SourcePlace> find(const std::function<bool(char16_t)>&, bool) override {
        return std::nullopt;
    }
    const platform::IoError& error() const override { return m_reader.error(); }

private:
    ByteReader& m_reader;
    DigitRoom m_room;
};

} // namespace tarnwick
