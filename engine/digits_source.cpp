#include "digits_source.h"

#include "file_digits.h"
#include "word_writer.h"

namespace tarnwick {

namespace {

// The most digits a piece of `bytes` bytes frees: two a byte (a UTF-16 input aside, fewer)
// and the two the stripper may hold back from the piece before.
std::size_t mostDigits(std::size_t bytes) {
    return 2 * bytes + 4;
}

} // namespace

bool DigitsSource::count(Tally& tally, const GoOn& goOn) {
    FileDigitStream stream(m_encoding);
    std::uint64_t done = 0;
    auto put = [&tally](char16_t c) { tally.put(c); };
    return m_reader.read([&](std::string_view piece, bool last) {
        tally.add(stream.countDigits(piece, last, tally.radix(), put));
        done += piece.size();
        return goOn(done);
    });
}

bool DigitsSource::copy(DigitSink& writer, const GoOn& goOn) {
    FileDigitStream stream(m_encoding);
    std::uint64_t done = 0;
    return m_reader.read([&](std::string_view piece, bool last) {
        char* const digits = m_room.reserve(mostDigits(piece.size()));
        block::CharSink sink{digits};
        stream.feedDigits(piece, last, sink);
        writer.addDigits(std::string_view(digits, static_cast<std::size_t>(sink.at - digits)));
        done += piece.size();
        return goOn(done);
    });
}

bool DigitsSource::countAndCopy(Tally& tally, DigitSink& writer, const GoOn& goOn) {
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
    return m_reader.read([&](std::string_view piece, bool last) {
        char* const digits = m_room.reserve(mostDigits(piece.size()));
        CheckedSink sink{{digits}, tally};
        stream.feedDigits(piece, last, sink, tally.radix());
        tally.add(static_cast<std::uint64_t>(sink.at - digits));
        if (!tally.anyStray())
            writer.addDigits(std::string_view(digits, static_cast<std::size_t>(sink.at - digits)));
        done += piece.size();
        return goOn(done);
    });
}

std::optional<SourcePlace> DigitsSource::find(const std::function<bool(char16_t)>& isIt,
                                              bool /*toEnd*/) {
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
