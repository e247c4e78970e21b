#include "file_digits.h"

#include "word_writer.h"

namespace tarnwick {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// Raw bytes as digits: two hexadecimal digits a byte, high nibble first.
char* expandBytes(std::string_view bytes, char* out) {
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = kHexDigits[b >> 4];
        *out++ = kHexDigits[b & 15];
    }
    return out;
}

} // namespace

bool ByteSource::count(Tally& tally, const GoOn& goOn) {
    FileDigitStream stream(m_encoding);
    std::uint64_t done = 0;
    auto put = [&tally](char16_t c) { tally.put(c); };
    return read([&](std::string_view piece, bool last) {
        if (m_rawBytes)
            tally.add(2 * static_cast<std::uint64_t>(piece.size()));
        else
            tally.add(stream.countDigits(piece, last, tally.radix(), put));
        done += piece.size();
        return goOn(done);
    });
}

bool ByteSource::copy(WordWriter& writer, const GoOn& goOn) {
    FileDigitStream stream(m_encoding);
    std::uint64_t done = 0;
    return read([&](std::string_view piece, bool last) {
        char* const digits = roomFor(piece.size());
        block::CharSink sink{digits};
        if (m_rawBytes)
            sink.at = expandBytes(piece, sink.at);
        else
            stream.feedDigits(piece, last, sink);
        writer.addDigits(std::string_view(digits, static_cast<std::size_t>(sink.at - digits)));
        done += piece.size();
        return goOn(done);
    });
}

bool ByteSource::countAndCopy(Tally& tally, WordWriter& writer, const GoOn& goOn) {
    // One strip of each piece counts, checks and copies: the fast path frees only digits of
    // the radix, and the per-character path's characters are checked one by one.
    struct CheckedSink : block::CharSink {
        Tally& tally;
        void operator()(char16_t c) {
            if (IsRadixDigit(c, tally.radix()))
                *at++ = static_cast<char>(c);
            else
                tally.put(c);
        }
    };
    FileDigitStream stream(m_encoding);
    std::uint64_t done = 0;
    return read([&](std::string_view piece, bool last) {
        char* const digits = roomFor(piece.size());
        CheckedSink sink{{digits}, tally};
        if (m_rawBytes)
            sink.at = expandBytes(piece, sink.at);
        else
            stream.feedDigits(piece, last, sink, tally.radix());
        tally.add(static_cast<std::uint64_t>(sink.at - digits));
        if (!tally.anyStray())
            writer.addDigits(std::string_view(digits, static_cast<std::size_t>(sink.at - digits)));
        done += piece.size();
        return goOn(done);
    });
}

std::optional<SourcePlace> ByteSource::find(const std::function<bool(char16_t)>& isIt,
                                            bool /*toEnd*/) {
    if (m_rawBytes)
        return std::nullopt; // raw bytes have no lines
    FileDigitStream stream(m_encoding);
    std::optional<SourcePlace> found;
    auto check = [&](char16_t c, const TextPosition& at) {
        if (!found && isIt(c)) {
            found.emplace();
            found->at = at;
        }
    };
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        stream.feed(piece, last, check);
        return !found;
    });
    return read ? found : std::nullopt;
}

} // namespace tarnwick
