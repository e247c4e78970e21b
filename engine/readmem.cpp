#include "readmem.h"

#include "word_writer.h"

#include <algorithm>
#include <limits>

namespace tarnwick {

namespace {

// How much of a word or address is kept to check and place its characters: far more than
// the widest word, so only a word that is too wide anyway is ever cut.
constexpr std::size_t kKeep = 256;

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v';
}

// A word or an address, as the scanner hands it on.
struct Token {
    TextPosition at;
    std::u16string text;      ///< its first kKeep characters
    std::uint64_t length = 0; ///< all of its characters
    bool address() const { return !text.empty() && text[0] == u'@'; }
};

// The column of text[i], a token's character, with the token standing at `at`.
TextPosition placeOf(const Token& token, std::size_t i) {
    TextPosition at = token.at;
    for (std::size_t k = 1; k <= i; ++k)
        if (!IsLowSurrogate(token.text[k]))
            ++at.column;
    return at;
}

// The number after an @, hexadecimal, `_` ignored; nothing when there is none or it is too
// large for an address.
std::optional<std::uint64_t> addressOf(const Token& token) {
    if (token.length > kKeep)
        return std::nullopt;
    std::uint64_t value = 0;
    bool any = false;
    for (std::size_t i = 1; i < token.text.size(); ++i) {
        const char16_t c = token.text[i];
        if (c == u'_')
            continue;
        if (!IsRadixDigit(c, RadixMode::Hexadecimal) || value >> 60 != 0)
            return std::nullopt;
        const unsigned digit = c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
        value = value << 4 | digit;
        any = true;
    }
    if (!any)
        return std::nullopt;
    return value;
}

// A word's digits without `_` and leading zeros (at least one digit is kept).
std::u16string significant(const Token& token) {
    std::u16string digits;
    for (char16_t c : token.text)
        if (c != u'_' && !(digits.empty() && c == u'0'))
            digits += c;
    return digits.empty() ? std::u16string(1, u'0') : digits;
}

} // namespace

/// Cuts the decoded text into words and addresses, fed in pieces of any size: a token, a
/// comment mark or a line end split between pieces is read as if it had come whole.
class ReadmemSource::Scanner {
public:
    explicit Scanner(platform::TextEncoding encoding) : m_decoder(encoding) {}

    /// Calls onToken(token) for each word or address `bytes` completes (with `last`, also the
    /// one at the end), until it returns false; returns false then.
    template <class OnToken> bool feed(std::string_view bytes, bool last, OnToken&& onToken) {
        m_decoded.clear();
        m_decoder.decode(bytes, m_decoded, last);
        m_text.clear();
        m_normaliser.feed(m_decoded, m_text);
        if (last)
            m_normaliser.finish(m_text);
        for (char16_t c : m_text)
            if (!put(c, onToken))
                return false;
        if (last) {
            if (m_state == State::Slash) { // a lone '/' at the very end belongs to a word
                m_state = State::Blank;
                addToToken(u'/', m_slashAt);
            }
            return endToken(onToken);
        }
        return true;
    }

private:
    enum class State { Blank, Token, Slash, LineComment, BlockComment, BlockStar };

    template <class OnToken> bool put(char16_t c, OnToken& onToken) {
        if (!IsLowSurrogate(c))
            ++m_position.column;
        bool going = true;
        switch (m_state) {
        case State::LineComment:
            break;
        case State::BlockComment:
            if (c == u'*')
                m_state = State::BlockStar;
            break;
        case State::BlockStar:
            m_state = c == u'/' ? State::Blank : c == u'*' ? State::BlockStar : State::BlockComment;
            break;
        case State::Slash:
            if (c == u'/' || c == u'*') {
                m_state = c == u'/' ? State::LineComment : State::BlockComment;
                going = endToken(onToken);
                break;
            }
            m_state = State::Blank;
            addToToken(u'/', m_slashAt); // not a comment: a character of a word
            going = plain(c, onToken);
            break;
        default:
            going = plain(c, onToken);
            break;
        }
        if (c == u'\n') {
            if (m_state == State::LineComment)
                m_state = State::Blank;
            ++m_position.line;
            m_position.column = 0;
        }
        return going;
    }

    // A character outside comments.
    template <class OnToken> bool plain(char16_t c, OnToken& onToken) {
        if (c == u'/') {
            m_state = State::Slash;
            m_slashAt = m_position;
            return true;
        }
        if (isBlank(c)) {
            m_state = State::Blank;
            return endToken(onToken);
        }
        // An @ always starts an address, even right after a word.
        if (c == u'@' && m_inToken && !endToken(onToken))
            return false;
        m_state = State::Token;
        addToToken(c, m_position);
        return true;
    }

    void addToToken(char16_t c, const TextPosition& at) {
        if (!m_inToken) {
            m_inToken = true;
            m_token.at = at;
            m_token.text.clear();
            m_token.length = 0;
        }
        if (m_token.text.size() < kKeep)
            m_token.text += c;
        ++m_token.length;
    }

    template <class OnToken> bool endToken(OnToken& onToken) {
        if (!m_inToken)
            return true;
        m_inToken = false;
        return onToken(static_cast<const Token&>(m_token));
    }

    platform::TextDecoder m_decoder;
    platform::LineEndNormaliser m_normaliser;
    std::u16string m_decoded;
    std::u16string m_text;
    State m_state = State::Blank;
    TextPosition m_position;
    TextPosition m_slashAt;
    bool m_inToken = false;
    Token m_token;
};

ReadmemSource::ReadmemSource(ByteReader& reader, platform::TextEncoding encoding, RadixMode radix,
                             int widthBits, bool gapsRefused)
    : m_reader(reader), m_encoding(encoding), m_radix(radix), m_widthBits(widthBits),
      m_gapsRefused(gapsRefused) {}

bool ReadmemSource::count(Tally& tally, const GoOn& goOn) {
    const int step = BitsPerDigit(m_radix);
    const std::uint64_t most = m_widthBits > 0 ? static_cast<std::uint64_t>(m_widthBits / step)
                                               : std::uint64_t{kMaxDigitsPerWord};
    std::uint64_t widest = 1;
    std::uint64_t words = 0; // the next word's address
    m_malformed = false;
    m_gaps = 0;
    m_gapWords = 0;
    Scanner scanner(m_encoding);
    // A malformed token ends the count; a stray before it is reported instead, being first.
    auto malformed = [&](Malformation::Kind kind, const Token& token) {
        if (!tally.anyStray()) {
            m_malformed = true;
            m_malformation = Malformation{kind, token.at, {}, words};
            for (char16_t c : token.text.substr(0, 80))
                m_malformation.token += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return false;
    };
    auto onToken = [&](const Token& token) {
        if (token.address()) {
            const auto address = addressOf(token);
            if (!address)
                return malformed(Malformation::Kind::BadAddress, token);
            if (*address < words)
                return malformed(Malformation::Kind::AddressBackward, token);
            if (*address > words && m_gapsRefused)
                return malformed(Malformation::Kind::Gap, token);
            if (*address > words && m_gapsRefused)
                return malformed(Malformation::Kind::Gap, token);
            if (*address > words) {
                if (m_gaps++ == 0)
                    m_firstGap = ReadmemGap{token.at, words, *address - words};
                m_gapWords += *address - words;
            }
            words = *address;
            return true;
        }
        for (char16_t c : token.text)
            if (c != u'_' && !IsRadixDigit(c, m_radix))
                tally.put(c);
        const std::uint64_t digits =
            token.length > kKeep ? token.length : significant(token).size();
        if (!tally.anyStray() && digits > most)
            return malformed(Malformation::Kind::WordTooWide, token);
        widest = std::max(widest, digits);
        ++words;
        return true;
    };
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        return scanner.feed(piece, last, onToken) && goOn(0);
    });
    if (!read || m_malformed)
        return false;
    const std::uint64_t d = m_widthBits > 0 ? most : widest;
    m_widthBits = static_cast<int>(d) * step;
    // Words of d digits each; a count beyond what a layout can hold is refused as such.
    tally.add(words > kMaxDigitCount / d ? kMaxDigitCount + 1 : words * d);
    return true;
}

bool ReadmemSource::copy(WordWriter& writer, const GoOn& goOn) {
    const std::size_t d = static_cast<std::size_t>(m_widthBits / BitsPerDigit(m_radix));
    constexpr std::size_t kFlush = std::size_t{1} << 16;
    std::string out;
    out.reserve(kFlush + 2 * kMaxDigitsPerWord);
    std::uint64_t words = 0;
    auto hand = [&] {
        writer.addDigits(out);
        out.clear();
    };
    auto onToken = [&](const Token& token) {
        if (token.address()) {
            const std::uint64_t address = addressOf(token).value_or(words);
            for (; words < address; ++words) { // the gap: words of zeros
                out.append(d, '0');
                if (out.size() >= kFlush)
                    hand();
            }
            return true;
        }
        const std::u16string digits = significant(token);
        out.append(d - std::min(d, digits.size()), '0');
        for (char16_t c : digits.substr(digits.size() - std::min(d, digits.size())))
            out += static_cast<char>(c);
        ++words;
        if (out.size() >= kFlush)
            hand();
        return true;
    };
    Scanner scanner(m_encoding);
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        scanner.feed(piece, last, onToken);
        return goOn(0);
    });
    hand();
    return read;
}

std::optional<SourcePlace> ReadmemSource::find(const std::function<bool(char16_t)>& isIt,
                                               bool /*toEnd*/) {
    std::optional<SourcePlace> found;
    auto onToken = [&](const Token& token) {
        if (token.address())
            return true;
        for (std::size_t i = 0; i < token.text.size() && !found; ++i)
            if (token.text[i] != u'_' && isIt(token.text[i])) {
                found.emplace();
                found->at = placeOf(token, i);
            }
        return !found;
    };
    Scanner scanner(m_encoding);
    const bool read = m_reader.read(
        [&](std::string_view piece, bool last) { return scanner.feed(piece, last, onToken); });
    return read ? found : std::nullopt;
}

} // namespace tarnwick
