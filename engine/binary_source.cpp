#include "binary_source.h"

#include "word_writer.h"

namespace tarnwick {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

char* expandBytes(std::string_view bytes, char* out) {
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = kHexDigits[b >> 4];
        *out++ = kHexDigits[b & 15];
    }
    return out;
}

} // namespace

bool BinarySource::count(Tally& tally, const GoOn& goOn) {
    std::uint64_t done = 0;
    return m_reader.read([&](std::string_view piece, bool) {
        tally.add(2 * static_cast<std::uint64_t>(piece.size()));
        done += piece.size();
        return goOn(done);
    });
}

bool BinarySource::copy(DigitSink& writer, const GoOn& goOn) {
    std::uint64_t done = 0;
    return m_reader.read([&](std::string_view piece, bool) {
        char* const digits = m_room.reserve(2 * piece.size());
        const char* const end = expandBytes(piece, digits);
        writer.addDigits(std::string_view(digits, static_cast<std::size_t>(end - digits)));
        done += piece.size();
        return goOn(done);
    });
}

bool BinarySource::countAndCopy(Tally& tally, DigitSink& writer, const GoOn& goOn) {
    // Every byte makes two digits of the radix: counting is copying.
    std::uint64_t done = 0;
    return m_reader.read([&](std::string_view piece, bool) {
        char* const digits = m_room.reserve(2 * piece.size());
        const char* const end = expandBytes(piece, digits);
        tally.add(static_cast<std::uint64_t>(end - digits));
        writer.addDigits(std::string_view(digits, static_cast<std::size_t>(end - digits)));
        done += piece.size();
        return goOn(done);
    });
}

} // namespace tarnwick
