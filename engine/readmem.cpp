#include "readmem.h"

#include "word_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>

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
    std::u16string_view text; ///< its first kKeep characters
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

// Calls put(c) for each of a word's digits without `_` and leading zeros (at least one);
// returns how many.
template <class Put> std::size_t significant(std::u16string_view text, Put&& put) {
    std::size_t count = 0;
    for (char16_t c : text)
        if (c != u'_' && (count > 0 || c != u'0')) {
            put(c);
            ++count;
        }
    if (count == 0)
        put(u'0');
    return std::max<std::size_t>(count, 1);
}

// Copies `n` bytes, 1 to 16, in at most two fixed-size moves that overlap, touching no byte
// outside the n: a call to memcpy costs more than the few digits of a word.
inline void copyShort(char* to, const char* from, std::size_t n) {
    const auto two = [&](auto unit) {
        using Unit = decltype(unit);
        Unit head, tail;
        std::memcpy(&head, from, sizeof(Unit));
        std::memcpy(&tail, from + n - sizeof(Unit), sizeof(Unit));
        std::memcpy(to, &head, sizeof(Unit));
        std::memcpy(to + n - sizeof(Unit), &tail, sizeof(Unit));
    };
    if (n >= 8)
        two(std::uint64_t{});
    else if (n >= 4)
        two(std::uint32_t{});
    else if (n >= 2)
        two(std::uint16_t{});
    else
        *to = *from;
}

// A word or address as a message quotes it: its first 80 characters, '?' for any beyond
// ASCII.
std::string shownToken(const Token& token) {
    std::string shown;
    for (char16_t c : token.text.substr(0, 80))
        shown += c < 0x80 ? static_cast<char>(c) : '?';
    return shown;
}

std::string hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
    return text;
}

} // namespace

/// Cuts the decoded text into words and addresses, fed in pieces of any size: a token, a
/// comment mark or a line end split between pieces is read as if it had come whole. LF, CR
/// and CR LF each end a line, as they do in the command line's other inputs.
class ReadmemSource::Scanner {
public:
    explicit Scanner(text::TextEncoding encoding) : m_decoder(encoding) {}

    /// Calls onToken(token) for each word or address `bytes` completes (with `last`, also the
    /// one at the end), until it returns false; returns false then.
    template <class OnToken> bool feed(std::string_view bytes, bool last, OnToken&& onToken) {
        m_text.clear();
        m_decoder.decode(bytes, m_text, last);
        const char16_t* const p = m_text.data();
        const std::size_t n = m_text.size();
        m_tokenStart = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const char16_t c = p[i];
            if (m_state == State::Token && isTokenChar(c)) { // the common case
                ++m_column;
                continue;
            }
            if (m_state == State::Blank && isTokenChar(c)) {
                // A word or address that ends in this piece, taken whole.
                std::size_t j = i + 1;
                while (j < n && isTokenChar(p[j]))
                    ++j;
                if (j < n && (isBlank(p[j]) || p[j] == u'/' || p[j] == u'@')) {
                    m_token.at = TextPosition{m_line, m_column + 1};
                    m_token.text = std::u16string_view(p + i, j - i).substr(0, kKeep);
                    m_token.length = j - i;
                    m_column += j - i;
                    m_afterCr = false;
                    if (!onToken(static_cast<const Token&>(m_token)))
                        return false;
                    if (p[j] == u'\n') { // the word ends its line, as most do
                        ++m_line;
                        m_column = 0;
                        i = j;
                    } else {
                        i = j - 1;
                    }
                    continue;
                }
            }
            if (!IsLowSurrogate(c))
                ++m_column;
            if (!put(c, i, onToken))
                return false;
            if (c == u'\n' || c == u'\r') {
                // CR LF is one line end: the LF after a CR ends no second line.
                if (!(c == u'\n' && m_afterCr))
                    ++m_line;
                m_column = 0;
            }
            m_afterCr = c == u'\r';
        }
        if (m_state == State::Token) { // a token that goes on in the next piece
            carry(n);
            m_tokenStart = n;
        }
        if (!last)
            return true;
        if (m_state == State::Slash) { // a lone '/' at the very end belongs to a word
            startToken(m_slashAt);
            m_carried = u"/";
            m_carriedLength = 1;
            m_state = State::Token;
            m_tokenStart = n;
        }
        return endToken(n, onToken);
    }

    /// As feed(), with a piece of plain words (ASCII digits of `radix` between spaces, tabs
    /// and LF, none with more than `most` significant digits, nothing open from before)
    /// taken straight from its bytes: they add to `words` and `widest`, and each goes to
    /// plainWord(word) unless that is null. A word cut by the piece's end, and any other
    /// piece, go through feed(). Most $readmemh files are such words, one a line.
    template <class PlainWord, class OnToken>
    bool feedPlain(std::string_view bytes, bool last, RadixMode radix, std::uint64_t most,
                   std::uint64_t& words, std::uint64_t& widest, PlainWord&& plainWord,
                   OnToken&& onToken) {
        // What an earlier piece left open (a word cut by its end, a comment) is finished the
        // long way, up to the first separator.
        std::size_t begin = 0;
        if (m_state != State::Blank || m_afterCr || !m_decoder.asciiPassesThrough()) {
            while (begin < bytes.size() && !isSeparator(bytes[begin]))
                ++begin;
            begin = std::min(begin + 1, bytes.size());
            if (!feed(bytes.substr(0, begin), last && begin == bytes.size(), onToken))
                return false;
            if (begin == bytes.size())
                return true;
            if (m_state != State::Blank || m_afterCr || !m_decoder.asciiPassesThrough())
                return feed(bytes.substr(begin), last, onToken);
        }
        bytes.remove_prefix(begin);
        std::size_t end = bytes.size(); // past the last separator
        while (end > 0 && !isSeparator(bytes[end - 1]))
            --end;
        if (end == 0)
            return feed(bytes, last, onToken);
        std::uint64_t count = 0, wide = 0, lines = 0, significant = 0;
        std::size_t lineStart = 0;
        bool inWord = false;
        const std::array<unsigned char, 256>& classes = plainClasses(radix);
        for (std::size_t i = 0; i < end; ++i) {
            const char c = bytes[i];
            const unsigned char k = classes[static_cast<unsigned char>(c)];
            if (k >= kZero) {
                significant = inWord ? significant + (significant > 0 || k == kDigit)
                                     : std::uint64_t{k == kDigit};
                inWord = true;
                continue;
            }
            if (k == kOther)
                return feed(bytes, last, onToken); // not plain: nothing taken yet
            if (inWord) {
                ++count;
                wide = std::max(wide, std::max<std::uint64_t>(significant, 1));
                inWord = false;
            }
            if (c == '\n') {
                ++lines;
                lineStart = i + 1;
            }
        }
        if (wide > most)
            return feed(bytes, last, onToken); // the long way names the word
        if constexpr (!std::is_same_v<std::remove_cvref_t<PlainWord>, std::nullptr_t>) {
            for (std::size_t i = 0; i < end;) {
                while (i < end && isSeparator(bytes[i]))
                    ++i;
                const std::size_t start = i;
                while (i < end && !isSeparator(bytes[i]))
                    ++i;
                if (i > start)
                    plainWord(bytes.substr(start, i - start));
            }
        }
        words += count;
        widest = std::max(widest, wide);
        m_line += lines;
        m_column = lines > 0 ? end - lineStart : m_column + end;
        return feed(bytes.substr(end), last, onToken);
    }

private:
    enum class State { Blank, Token, Slash, LineComment, BlockComment, BlockStar };

    static bool isSeparator(char c) { return c == ' ' || c == '\t' || c == '\n'; }

    // What a byte is in a plain piece.
    enum : unsigned char { kOther, kSeparator, kZero, kDigit };
    static const std::array<unsigned char, 256>& plainClasses(RadixMode radix) {
        static const auto make = [](RadixMode r) {
            std::array<unsigned char, 256> classes{};
            for (int b = 0; b < 128; ++b)
                if (IsRadixDigit(static_cast<char16_t>(b), r))
                    classes[b] = b == '0' ? kZero : kDigit;
            for (unsigned char b : {' ', '\t', '\n'})
                classes[b] = kSeparator;
            return classes;
        };
        static const std::array<unsigned char, 256> hex = make(RadixMode::Hexadecimal);
        static const std::array<unsigned char, 256> bin = make(RadixMode::Binary);
        return radix == RadixMode::Binary ? bin : hex;
    }

    static bool isTokenChar(char16_t c) { return c > u' ' && c != u'/' && c != u'@' && c < 0xD800; }

    template <class OnToken> bool put(char16_t c, std::size_t i, OnToken& onToken) {
        switch (m_state) {
        case State::LineComment:
            if (c == u'\n' || c == u'\r')
                m_state = State::Blank;
            return true;
        case State::BlockComment:
            if (c == u'*')
                m_state = State::BlockStar;
            return true;
        case State::BlockStar:
            m_state = c == u'/' ? State::Blank : c == u'*' ? State::BlockStar : State::BlockComment;
            return true;
        case State::Slash:
            if (c == u'/' || c == u'*') {
                m_state = c == u'/' ? State::LineComment : State::BlockComment;
                return true;
            }
            // Not a comment: the '/' starts a word, which goes on with this character.
            startToken(m_slashAt);
            m_carried = u"/";
            m_carriedLength = 1;
            m_tokenStart = i;
            m_state = State::Blank;
            return plain(c, i, onToken, true);
        default:
            return plain(c, i, onToken, m_state == State::Token);
        }
    }

    // A character outside comments; `inToken` while a word or address is open.
    template <class OnToken> bool plain(char16_t c, std::size_t i, OnToken& onToken, bool inToken) {
        const bool ends = c == u'/' || isBlank(c) || c == u'@';
        if (inToken && ends && !endToken(i, onToken))
            return false;
        if (c == u'/') {
            m_state = State::Slash;
            m_slashAt = here();
            return true;
        }
        if (isBlank(c)) {
            m_state = State::Blank;
            return true;
        }
        if (!inToken || c == u'@') { // an @ always starts an address, even right after a word
            startToken(here());
            m_tokenStart = i;
        }
        m_state = State::Token;
        return true;
    }

    TextPosition here() const { return TextPosition{m_line, m_column}; }

    void startToken(const TextPosition& at) {
        m_token.at = at;
        m_carried.clear();
        m_carriedLength = 0;
    }

    // Keeps what the piece holds of an open token, up to kKeep characters.
    void carry(std::size_t end) {
        const std::u16string_view part(m_text.data() + m_tokenStart, end - m_tokenStart);
        m_carried.append(part.substr(0, kKeep - std::min(kKeep, m_carried.size())));
        m_carriedLength += part.size();
    }

    template <class OnToken> bool endToken(std::size_t end, OnToken& onToken) {
        if (m_state != State::Token)
            return true;
        m_state = State::Blank;
        const std::u16string_view part(m_text.data() + m_tokenStart, end - m_tokenStart);
        if (m_carriedLength == 0) {
            m_token.text = part.substr(0, kKeep);
            m_token.length = part.size();
        } else {
            m_carried.append(part.substr(0, kKeep - std::min(kKeep, m_carried.size())));
            m_token.text = m_carried;
            m_token.length = m_carriedLength + part.size();
            m_carriedLength = 0;
        }
        return onToken(static_cast<const Token&>(m_token));
    }

    text::TextDecoder m_decoder;
    std::u16string m_text;
    State m_state = State::Blank;
    std::uint64_t m_line = 1;
    std::uint64_t m_column = 0;
    bool m_afterCr = false;
    TextPosition m_slashAt;
    Token m_token;
    std::size_t m_tokenStart = 0; ///< where the open token starts in this piece
    std::u16string m_carried;     ///< what earlier pieces held of it
    std::uint64_t m_carriedLength = 0;
};

ReadmemSource::ReadmemSource(ByteReader& reader, text::TextEncoding encoding, RadixMode radix,
                             int widthBits, bool gapsRefused)
    : m_reader(reader), m_encoding(encoding), m_radix(radix), m_widthBits(widthBits),
      m_gapsRefused(gapsRefused) {}

bool ReadmemSource::count(Tally& tally, const GoOn& goOn) {
    const int step = BitsPerDigit(m_radix);
    const std::uint64_t most = m_widthBits > 0 ? static_cast<std::uint64_t>(m_widthBits / step)
                                               : std::uint64_t{kMaxDigitsPerWord};
    std::uint64_t widest = 1;
    std::uint64_t words = 0; // the next word's address
    m_diagnostics.clear();
    bool refused = false;
    std::optional<Diagnostic> firstGap;
    std::uint64_t gaps = 0;
    std::uint64_t gapWords = 0;
    Scanner scanner(m_encoding);
    // A refused token ends the count; a stray before it is reported instead, being first.
    auto malformed = [&](const Token& token, const std::string& what) {
        if (!tally.anyStray()) {
            refused = true;
            Diagnostic d;
            d.severity = Diagnostic::Severity::Error;
            d.place = SourcePlace{token.at};
            d.text = what;
            m_diagnostics.push_back(std::move(d));
        }
        return false;
    };
    auto shown = [](const Token& token) { return "'" + shownToken(token) + "'"; };
    auto other = [&](const Token& token) {
        if (token.address()) {
            const auto address = addressOf(token);
            if (!address)
                return malformed(token,
                                 shown(token) + " is not an address: @ takes a hexadecimal number");
            if (*address < words)
                return malformed(token, shown(token) + " goes back: the next word's address is @" +
                                            hex(words) + ", and addresses only move forward");
            if (*address > words && m_gapsRefused)
                return malformed(token, shown(token) + " skips words after @" + hex(words) +
                                            " (--strict: no gaps filled with zeros)");
            if (*address > words) {
                if (gaps++ == 0) {
                    firstGap.emplace();
                    firstGap->place = SourcePlace{token.at};
                    firstGap->count = *address - words;
                    firstGap->of = words;
                }
                gapWords += *address - words;
            }
            words = *address;
            return true;
        }
        std::uint64_t digits = 0; // significant ones
        for (char16_t c : token.text) {
            if (c == u'_')
                continue;
            if (!IsRadixDigit(c, m_radix))
                tally.put(c);
            digits += digits > 0 || c != u'0';
        }
        digits = token.length > kKeep ? token.length : std::max<std::uint64_t>(digits, 1);
        if (!tally.anyStray() && digits > most)
            return malformed(token, "the word " + shown(token) + " is wider than " +
                                        std::to_string(most * static_cast<std::uint64_t>(step)) +
                                        " bits");
        widest = std::max(widest, digits);
        ++words;
        return true;
    };
    // Most tokens are plain words: digits of the radix only, counted here; anything else
    // (an address, `_`, a stray, a word too wide) goes the long way.
    std::uint64_t plainWidest = 1;
    auto onToken = [&](const Token& token) {
        std::uint64_t digits = 0;
        for (char16_t c : token.text) {
            if (!IsRadixDigit(c, m_radix) || token.length > kKeep)
                return other(token);
            digits += digits > 0 || c != u'0';
        }
        if (digits > most)
            return other(token);
        plainWidest = std::max(plainWidest, digits);
        ++words;
        return true;
    };
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        return scanner.feedPlain(piece, last, m_radix, most, words, plainWidest, nullptr,
                                 onToken) &&
               goOn(0);
    });
    widest = std::max(widest, plainWidest);
    if (!read || refused)
        return false;
    if (firstGap) { // one warning for them all, at the first
        const std::uint64_t n = firstGap->count;
        firstGap->text = std::to_string(n) + " word" + (n == 1 ? "" : "s") + " from @" +
                         hex(firstGap->of) + " filled with zeros";
        if (gaps > 1)
            firstGap->text += " (" + std::to_string(gaps) + " gaps, " + std::to_string(gapWords) +
                              " words in all)";
        m_diagnostics.push_back(std::move(*firstGap));
    }
    const std::uint64_t d = m_widthBits > 0 ? most : widest;
    m_widthBits = static_cast<int>(d) * step;
    // Words of d digits each; a count beyond what a layout can hold is refused as such.
    tally.add(words > kMaxDigitCount / d ? kMaxDigitCount + 1 : words * d);
    return true;
}

bool ReadmemSource::copy(WordWriter& writer, const GoOn& goOn) {
    const std::size_t d = static_cast<std::size_t>(m_widthBits / BitsPerDigit(m_radix));
    // Words are laid out in a buffer of fixed size, never cleared or grown: a word at a time
    // through std::string's resize cost a fill and a call for each one. It is handed on
    // once it holds kFlush digits, so a word always finds room.
    constexpr std::size_t kFlush = std::size_t{1} << 16;
    const auto buffer =
        std::make_unique_for_overwrite<char[]>(kFlush + std::size_t{kMaxDigitsPerWord});
    std::size_t used = 0;
    std::uint64_t words = 0;
    auto hand = [&] {
        writer.addDigits(std::string_view(buffer.get(), used));
        used = 0;
    };
    auto added = [&] {
        used += d;
        if (used >= kFlush)
            hand();
    };
    auto onToken = [&](const Token& token) {
        if (token.address()) {
            const std::uint64_t address = addressOf(token).value_or(words);
            for (; words < address; ++words) { // the gap: words of zeros
                std::fill_n(buffer.get() + used, d, '0');
                added();
            }
            return true;
        }
        char* const word = buffer.get() + used;
        const std::u16string_view text = token.text;
        if (text.size() <= d) {
            // The common case: as written, after zeros.
            char* to = word + (d - text.size());
            bool plain = true;
            for (char16_t c : text) {
                plain = plain && c != u'_';
                *to++ = static_cast<char>(c);
            }
            if (plain) {
                std::fill_n(word, d - text.size(), '0');
                ++words;
                added();
                return true;
            }
        }
        // Its significant digits, at most d of them (the width was checked), after zeros.
        std::size_t length = 0;
        significant(token.text, [&](char16_t c) { word[length++] = static_cast<char>(c); });
        std::copy_backward(word, word + length, word + d);
        std::fill_n(word, d - length, '0');
        ++words;
        added();
        return true;
    };
    // A plain word: digits only, at most d significant ones (the count checked them).
    auto plainWord = [&](std::string_view text) {
        char* const word = buffer.get() + used;
        if (text.size() == d && d <= 16) {
            copyShort(word, text.data(), d); // most words: full width, a few digits
        } else if (text.size() >= d) {
            std::memcpy(word, text.data() + text.size() - d, d);
        } else {
            std::fill_n(word, d - text.size(), '0');
            std::memcpy(word + d - text.size(), text.data(), text.size());
        }
        added();
    };
    std::uint64_t widest = 0;
    Scanner scanner(m_encoding);
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        scanner.feedPlain(piece, last, m_radix, d, words, widest, plainWord, onToken);
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
