#include "readmem.h"

#include "numbers.h"
#include "word_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

namespace tarnwick {

namespace {

// How much of a word or address is kept, past its leading zeros, to check and place its
// characters: far more than the widest word (256 binary digits, with a '_' between each),
// so only a word that is too wide anyway is ever cut.
constexpr std::size_t kKeep = 1024;
// How much of a word or address a message quotes.
constexpr std::size_t kShown = 80;
// A word this far up makes a memory too large to hold, whatever else the file gives.
constexpr std::uint64_t kBeyondAnyMemory = std::uint64_t{1} << 62;

// Blanks between words, as both simulators take them; a vertical tab is not one.
bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}

// A word, an address, or a '/' that starts no comment, as the scanner hands it on.
struct Token {
    TextPosition at;
    std::u16string_view text;    ///< its first kKeep characters, past its leading zeros
    std::uint64_t length = 0;    ///< its characters past its leading zeros
    std::uint64_t skipped = 0;   ///< the leading zeros and '_' left out (after an @'s '@')
    std::u16string_view written; ///< its first kShown characters as written, for messages
    bool slash = false;          ///< a lone '/'
    bool address() const { return !text.empty() && text[0] == u'@'; }
};

// The column of text[i], a word's character, with the word standing at `at`.
TextPosition placeOf(const Token& token, std::size_t i) {
    TextPosition at = token.at;
    at.column += token.skipped;
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

// Where an @ moves to in the memory, counted from its base; `otherwise` for an @ that is no
// address (the count refused it, and any below the base).
std::uint64_t memoryAddressOf(const Token& token, std::uint64_t base, std::uint64_t otherwise) {
    const auto address = addressOf(token);
    return address && *address >= base ? *address - base : otherwise;
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

// A word or address as a message quotes it: its first 80 characters, '?' for any beyond
// ASCII.
std::string shownToken(const Token& token) {
    std::string shown;
    for (char16_t c : token.written)
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
                    startToken(TextPosition{m_line, m_column + 1});
                    keep(std::u16string_view(p + i, j - i));
                    finishToken();
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
        if (m_state == State::Slash) { // a lone '/' at the very end
            m_state = State::Blank;
            return onToken(slashToken());
        }
        return endToken(n, onToken);
    }

    /// As feed(), with a piece of plain words (ASCII digits of `radix` between spaces, tabs
    /// and LF, none with more than `most` significant digits, nothing open from before)
    /// taken straight from its bytes: beforeWords() is called first, then they add to
    /// `words` and `widest`, and each goes to plainWord(word) unless that is null. A word
    /// cut by the piece's end, and any other piece, go through feed(). Most $readmemh files
    /// are such words, one a line.
    template <class BeforeWords, class PlainWord, class OnToken>
    bool feedPlain(std::string_view bytes, bool last, RadixMode radix, std::uint64_t most,
                   std::uint64_t& words, std::uint64_t& widest, BeforeWords&& beforeWords,
                   PlainWord&& plainWord, OnToken&& onToken) {
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
        if (count > 0)
            beforeWords();
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

    /// Whether the file began with a byte-order mark.
    bool markFound() const { return m_decoder.markFound(); }

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
        case State::LineComment: // to LF only: a lone CR ends no comment
            if (c == u'\n')
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
            // Not a comment: a '/' no simulator reads.
            m_state = State::Blank;
            return onToken(slashToken());
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
        m_token = Token{};
        m_token.at = at;
        m_carried.clear();
        m_written.clear();
        m_carriedLength = 0;
        m_leading = true;
        m_skippedZero = false;
    }

    // Adds `part`, the open token's next characters, to what is kept of it: a word's
    // leading zeros and '_' (an address's, after its '@') are counted, not kept, so however
    // many there are, the digits that matter are kept.
    void keep(std::u16string_view part) {
        std::size_t k = 0;
        if (m_carriedLength == 0 && !part.empty() && part[0] == u'@') {
            m_carried += u'@';
            k = 1;
        }
        m_written.append(part.substr(0, kShown - std::min(kShown, m_written.size())));
        m_carriedLength += part.size();
        if (m_leading) {
            const std::size_t from = k;
            while (k < part.size() && (part[k] == u'0' || part[k] == u'_')) {
                m_skippedZero = m_skippedZero || part[k] == u'0';
                ++k;
            }
            m_token.skipped += k - from;
            m_leading = k == part.size();
        }
        m_carried.append(part.substr(k, kKeep - std::min(kKeep, m_carried.size())));
    }

    // Keeps what the piece holds of an open token.
    void carry(std::size_t end) {
        keep(std::u16string_view(m_text.data() + m_tokenStart, end - m_tokenStart));
    }

    // The token as kept: nothing but zeros is one zero (a word of '_' alone too).
    const Token& finishToken() {
        const bool address = !m_carried.empty() && m_carried[0] == u'@';
        if (m_leading && (m_skippedZero || !address)) {
            m_carried += u'0';
            m_token.skipped -= m_token.skipped > 0 ? 1 : 0;
        }
        m_token.text = m_carried;
        m_token.written = m_written;
        m_token.length = m_carriedLength - m_token.skipped;
        return m_token;
    }

    const Token& slashToken() {
        startToken(m_slashAt);
        m_carried = u"/";
        m_written = u"/";
        m_token.text = m_carried;
        m_token.written = m_written;
        m_token.length = 1;
        m_token.slash = true;
        return m_token;
    }

    template <class OnToken> bool endToken(std::size_t end, OnToken& onToken) {
        if (m_state != State::Token)
            return true;
        m_state = State::Blank;
        keep(std::u16string_view(m_text.data() + m_tokenStart, end - m_tokenStart));
        return onToken(finishToken());
    }

    text::TextDecoder m_decoder;
    std::u16string m_text;
    State m_state = State::Blank;
    std::uint64_t m_line = 1;
    std::uint64_t m_column = 0;
    bool m_afterCr = false;
    TextPosition m_slashAt;
    Token m_token;
    std::size_t m_tokenStart = 0;      ///< where the open token starts in this piece
    std::u16string m_carried;          ///< what is kept of it
    std::u16string m_written;          ///< its first characters, as written
    std::uint64_t m_carriedLength = 0; ///< all its characters so far
    bool m_leading = true;             ///< only leading zeros and '_' so far
    bool m_skippedZero = false;        ///< a '0' among them
};

namespace {

// With addresses going back, every word is held until the end: at most this many digits.
constexpr std::uint64_t kImageLimit = std::uint64_t{256} << 20;

// A digit of unknown value, as $writememh writes one for bits never set.
bool isUnknownDigit(char16_t c) {
    return c == u'x' || c == u'X' || c == u'z' || c == u'Z' || c == u'?';
}

std::string wordsText(std::uint64_t n) {
    return std::to_string(n) + (n == 1 ? " word" : " words");
}

std::string placeText(const TextPosition& at) {
    return std::to_string(at.line) + ":" + std::to_string(at.column);
}

Diagnostic warning(std::optional<TextPosition> at, std::string text) {
    Diagnostic d;
    if (at)
        d.place = SourcePlace{*at};
    d.text = std::move(text);
    return d;
}

} // namespace

/// Where the words go, the same in every pass: an @ takes effect only when a word follows
/// it, as the simulators load them.
struct ReadmemSource::Walk {
    std::uint64_t next = 0; ///< the next word's address
    std::uint64_t top = 0;  ///< one past the highest address a word was given, as of the last move
    std::optional<std::uint64_t> pending; ///< an @ no word has followed yet
    TextPosition pendingAt;
    std::string pendingText;

    /// Before a word: moves to the pending address, telling onMove(from, to, at).
    template <class OnMove> void arrive(OnMove&& onMove) {
        if (!pending)
            return;
        top = std::max(top, next);
        onMove(next, *pending, pendingAt);
        next = *pending;
        pending.reset();
    }
    std::uint64_t end() const { return std::max(top, next); }
};

// Every word of the file with the address it lands at, token by token (no plain fast path:
// these passes are for files whose addresses go back): onWord(token, address) until it
// returns false, or goOn() does. False when reading failed.
template <class OnWord> bool ReadmemSource::walkWords(const GoOn& goOn, OnWord&& onWord) {
    Walk walk;
    auto onToken = [&](const Token& token) {
        if (token.address()) {
            walk.pending = memoryAddressOf(token, m_base, walk.next);
            return true;
        }
        walk.arrive([](std::uint64_t, std::uint64_t, const TextPosition&) {});
        return onWord(token, walk.next++);
    };
    Scanner scanner(m_encoding);
    return m_reader.read([&](std::string_view piece, bool last) {
        return scanner.feed(piece, last, onToken) && goOn(0);
    });
}

ReadmemSource::ReadmemSource(ByteReader& reader, text::TextEncoding encoding, RadixMode radix,
                             int widthBits, bool unknownAsZero, std::uint64_t base,
                             std::uint64_t fill)
    : m_reader(reader), m_encoding(encoding), m_radix(radix), m_widthBits(widthBits),
      m_unknownAsZero(unknownAsZero), m_base(base), m_fill(fill) {}

std::string ReadmemSource::fillWord(std::size_t d) const {
    const int bits = BitsPerDigit(m_radix);
    std::string word(d, '0');
    std::uint64_t value = m_fill;
    for (std::size_t i = d; i > 0 && value != 0; --i, value >>= bits)
        word[i - 1] = "0123456789abcdef"[value & ((1u << bits) - 1)];
    return word;
}

std::string ReadmemSource::gapText() const {
    if (m_fill == 0)
        return " filled with zeros";
    char text[32];
    std::snprintf(text, sizeof text, " filled with 0x%llx",
                  static_cast<unsigned long long>(m_fill));
    return text;
}

char ReadmemSource::digitOf(char16_t c) const {
    return m_unknownAsZero && isUnknownDigit(c) ? '0' : static_cast<char>(c);
}

bool ReadmemSource::count(Tally& tally, const GoOn& goOn) {
    const int step = BitsPerDigit(m_radix);
    const std::uint64_t most = m_widthBits > 0
                                   ? static_cast<std::uint64_t>(DigitsPerWord(m_radix, m_widthBits))
                                   : std::uint64_t(MaxDigitsPerWord(m_radix));
    // A width that leaves the first digit fewer than 4 bits limits that digit's value.
    const bool oddWidth = m_widthBits % step != 0;
    const unsigned topMost = oddWidth ? TopDigitMost(m_radix, m_widthBits) : 15;
    auto topTooLarge = [&](std::u16string_view text, std::uint64_t digits) {
        if (digits != most || !oddWidth)
            return false;
        for (char16_t c : text)
            if (c != u'_' && c != u'0')
                return IsRadixDigit(c, RadixMode::Hexadecimal) && DigitValue(c) > topMost;
        return false;
    };
    const int shownWidth = m_widthBits > 0 ? m_widthBits : static_cast<int>(most) * step;
    std::uint64_t widest = 1;
    Walk walk;
    m_diagnostics.clear();
    m_image = false;
    bool refused = false;
    // The skips forward, for a file whose addresses never go back.
    std::optional<TextPosition> firstGapAt;
    std::uint64_t firstGapFrom = 0, firstGapWords = 0, gaps = 0, gapWords = 0;
    std::optional<TextPosition> backAt; // the first @ that goes back before a word
    std::string backText;
    std::uint64_t unknown = 0;
    std::optional<TextPosition> firstUnknown;
    // The lowest address a word is given, and the @ that gave it.
    std::uint64_t lowest = std::numeric_limits<std::uint64_t>::max();
    TextPosition lowestAt;
    bool wordSeen = false, moved = false, wordBeforeAt = false;
    Scanner scanner(m_encoding);
    auto shown = [](const Token& token) { return "'" + shownToken(token) + "'"; };
    // A refused token ends the count; a stray before it is reported instead, being first,
    // and the strays are counted on.
    auto malformed = [&](const Token& token, const std::string& what) {
        if (tally.anyStray())
            return true;
        refused = true;
        Diagnostic d = warning(token.at, what);
        d.severity = Diagnostic::Severity::Error;
        m_diagnostics.push_back(std::move(d));
        return false;
    };
    std::uint64_t farthest = 0; // the highest address an @ moved the words to
    auto arrive = [&] {
        walk.arrive([&](std::uint64_t from, std::uint64_t to, const TextPosition& at) {
            farthest = std::max(farthest, to);
            if (to > from) {
                if (gaps++ == 0) {
                    firstGapAt = at;
                    firstGapFrom = from;
                    firstGapWords = to - from;
                }
                gapWords += to - from;
            } else if (to < from && !backAt) {
                backAt = at;
                backText = walk.pendingText;
            }
            moved = true;
            if (to < lowest) {
                lowest = to;
                lowestAt = at;
            }
        });
        if (!wordSeen && !moved) { // the first word, before any @: at address 0
            lowest = 0;
            wordBeforeAt = true;
        }
        wordSeen = true;
    };
    auto other = [&](const Token& token) {
        if (token.slash)
            return malformed(token, "'/' starts no comment: only // and /* */ may stand here");
        if (token.address()) {
            const auto address = addressOf(token);
            if (!address)
                return malformed(token,
                                 shown(token) + " is not an address: @ takes a hexadecimal number");
            if (*address < m_base)
                return malformed(token, shown(token) + " lies below --base=0x" + hex(m_base));
            walk.pending = *address - m_base;
            walk.pendingAt = token.at;
            walk.pendingText = shown(token);
            return true;
        }
        arrive();
        std::uint64_t digits = 0; // significant ones
        for (std::size_t i = 0; i < token.text.size(); ++i) {
            const char16_t c = token.text[i];
            if (c == u'_')
                continue;
            if (m_unknownAsZero && isUnknownDigit(c)) {
                if (unknown++ == 0)
                    firstUnknown = placeOf(token, i);
            } else if (!IsRadixDigit(c, m_radix)) {
                tally.put(c);
            }
            digits += digits > 0 || c != u'0';
        }
        digits = token.length > kKeep ? token.length : std::max<std::uint64_t>(digits, 1);
        if (!tally.anyStray() && (digits > most || topTooLarge(token.text, digits)))
            return malformed(token, "the word " + shown(token) + " is wider than " +
                                        numbers::Bits(shownWidth));
        // A word with a stray refuses the input anyway; its width must not refuse it first.
        widest = std::max(widest, std::min(digits, most));
        ++walk.next;
        return true;
    };
    // Most tokens are plain words: digits of the radix only, counted here; anything else
    // (an address, `_`, a stray, a word too wide) goes the long way.
    std::uint64_t plainWidest = 1;
    auto onToken = [&](const Token& token) {
        if (token.slash || token.length > kKeep)
            return other(token);
        std::uint64_t digits = 0;
        for (char16_t c : token.text) {
            if (!IsRadixDigit(c, m_radix))
                return other(token);
            digits += digits > 0 || c != u'0';
        }
        if (digits > most || topTooLarge(token.text, digits))
            return other(token);
        arrive();
        plainWidest = std::max(plainWidest, digits);
        ++walk.next;
        return true;
    };
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        // Words as wide as an odd width go the long way, which checks their first digit.
        return scanner.feedPlain(piece, last, m_radix, oddWidth ? most - 1 : most, walk.next,
                                 plainWidest, arrive, nullptr, onToken) &&
               goOn(0);
    });
    widest = std::max(widest, plainWidest);
    if (!read || refused)
        return false;
    if (wordBeforeAt && m_base > 0 && !tally.anyStray()) {
        // Words before any @ stand at address 0, below the base.
        Diagnostic d = warning(std::nullopt, "the words before the first @ lie at @0, below "
                                             "--base=0x" +
                                                 hex(m_base));
        d.severity = Diagnostic::Severity::Error;
        m_diagnostics.push_back(std::move(d));
        return false;
    }
    const std::uint64_t d = m_widthBits > 0 ? most : widest;
    if (m_widthBits == 0)
        m_widthBits = static_cast<int>(d) * step;
    // Words counted on from near the top of 64 bits would wrap the depth round to a small one.
    const std::uint64_t depth =
        farthest >= kBeyondAnyMemory ? std::max(walk.end(), kBeyondAnyMemory) : walk.end();
    m_depth = depth;
    if (!tally.anyStray() && depth > kMaxDigitCount / d && m_base == 0 && wordSeen && lowest > 0 &&
        lowest != std::numeric_limits<std::uint64_t>::max()) {
        // A program linked high: the memory starts at its first word, not at address 0.
        Diagnostic d2 = warning(lowestAt, "the image starts at @" + hex(lowest) +
                                              ": give --base=0x" + hex(lowest));
        d2.severity = Diagnostic::Severity::Error;
        m_diagnostics.push_back(std::move(d2));
        return false;
    }
    if (!tally.anyStray()) {
        if (scanner.markFound())
            m_diagnostics.push_back(warning(TextPosition{1, 1},
                                            "the file starts with a byte-order mark, which "
                                            "simulators do not read; it is not a word here"));
        if (backAt) {
            // The image is held whole: an address going back may overwrite any word.
            if (depth > kImageLimit / d) {
                Diagnostic d2 = warning(backAt, backText +
                                                    " goes back, so every word is held "
                                                    "until the end, and " +
                                                    wordsText(depth) + " of " + std::to_string(d) +
                                                    " digits pass the 256 MiB held at most");
                d2.severity = Diagnostic::Severity::Error;
                m_diagnostics.push_back(std::move(d2));
                return false;
            }
            m_image = true;
            if (!warnOfImage(depth, goOn))
                return false;
        } else if (gaps > 0) {
            std::string text =
                wordsText(firstGapWords) + " from @" + hex(m_base + firstGapFrom) + gapText();
            if (gaps > 1)
                text += " (" + std::to_string(gaps) + " gaps, " + std::to_string(gapWords) +
                        " words in all)";
            m_diagnostics.push_back(warning(firstGapAt, std::move(text)));
        }
        if (walk.pending)
            m_diagnostics.push_back(warning(walk.pendingAt, walk.pendingText +
                                                                " is followed by no word: it "
                                                                "moves nothing and adds none"));
        if (unknown > 0)
            m_diagnostics.push_back(
                warning(firstUnknown, std::to_string(unknown) + " unknown digit" +
                                          (unknown == 1 ? "" : "s") +
                                          " (x, z or ?) read as 0 (--unknown=zero)"));
    }
    // Words of d digits each; a count beyond what a layout can hold is refused as such.
    tally.add(depth > kMaxDigitCount / d ? kMaxDigitCount + 1 : depth * d);
    return true;
}

bool ReadmemSource::warnOfImage(std::uint64_t depth, const GoOn& goOn) {
    // Which addresses were given a word, and the first given twice.
    std::vector<bool> given(depth);
    std::uint64_t again = 0, againAddress = 0;
    TextPosition againAt;
    if (!walkWords(goOn, [&](const Token& token, std::uint64_t address) {
            if (given[address] && again++ == 0) {
                againAt = token.at;
                againAddress = address;
            }
            given[address] = true;
            return true;
        }))
        return false;

    std::uint64_t gaps = 0, gapWords = 0, firstFrom = 0, firstWords = 0;
    for (std::uint64_t a = 0; a < depth;) {
        if (given[a]) {
            ++a;
            continue;
        }
        const std::uint64_t from = a;
        while (a < depth && !given[a])
            ++a;
        if (gaps++ == 0) {
            firstFrom = from;
            firstWords = a - from;
        }
        gapWords += a - from;
    }
    if (gaps > 0) {
        std::string text = wordsText(firstWords) + " from @" + hex(m_base + firstFrom) + gapText();
        if (gaps > 1)
            text += " (" + std::to_string(gaps) + " gaps, " + std::to_string(gapWords) +
                    " words in all)";
        m_diagnostics.push_back(warning(std::nullopt, std::move(text)));
    }
    if (again == 0)
        return true;
    // Where the word it replaced stood: the first word at that address.
    std::optional<TextPosition> firstAt;
    if (!walkWords(goOn, [&](const Token& token, std::uint64_t address) {
            if (address == againAddress)
                firstAt = token.at;
            return !firstAt;
        }))
        return false;
    m_diagnostics.push_back(
        warning(againAt, "the word for @" + hex(m_base + againAddress) + " was given before, at " +
                             (firstAt ? placeText(*firstAt) : std::string("?")) +
                             ": the later word wins, as simulators load it (" + wordsText(again) +
                             " given again)"));
    return true;
}

// Lays out a word of `text` as `d` digits: zeros, then its significant digits (the width was
// checked), each unknown digit a 0 where that was asked.
void ReadmemSource::layWord(char* word, std::u16string_view text, std::size_t d) const {
    std::size_t length = 0;
    significant(text, [&](char16_t c) { word[length++] = digitOf(c); });
    std::copy_backward(word, word + length, word + d);
    std::fill_n(word, d - length, '0');
}

bool ReadmemSource::copy(DigitSink& writer, const GoOn& goOn) {
    const std::size_t d = static_cast<std::size_t>(DigitsPerWord(m_radix, m_widthBits));
    if (m_image)
        return copyImage(writer, goOn, d);
    // Words are laid out in a buffer of fixed size, never cleared or grown: a word at a time
    // through std::string's resize cost a fill and a call for each one. It is handed on
    // once it holds kFlush digits, so a word always finds room.
    constexpr std::size_t kFlush = std::size_t{1} << 16;
    const auto buffer =
        std::make_unique_for_overwrite<char[]>(kFlush + std::size_t{kMaxDigitsPerWord});
    std::size_t used = 0;
    Walk walk;
    auto hand = [&] {
        writer.addDigits(std::string_view(buffer.get(), used));
        used = 0;
    };
    auto added = [&] {
        used += d;
        if (used >= kFlush)
            hand();
    };
    const std::string fill = fillWord(d);
    auto arrive = [&] {
        walk.arrive([&](std::uint64_t from, std::uint64_t to, const TextPosition&) {
            for (; from < to; ++from) { // the gap: words of the fill
                std::memcpy(buffer.get() + used, fill.data(), d);
                added();
            }
        });
    };
    auto onToken = [&](const Token& token) {
        if (token.address()) {
            walk.pending = memoryAddressOf(token, m_base, walk.next);
            return true;
        }
        arrive();
        char* const word = buffer.get() + used;
        const std::u16string_view text = token.text;
        bool plain = text.size() <= d;
        if (plain) {
            // The common case: as written, after zeros.
            char* to = word + (d - text.size());
            for (char16_t c : text) {
                plain = plain && c != u'_';
                *to++ = digitOf(c);
            }
            if (plain)
                std::fill_n(word, d - text.size(), '0');
        }
        if (!plain)
            layWord(word, text, d);
        ++walk.next;
        added();
        return true;
    };
    // A plain word: digits only, at most d significant ones (the count checked them).
    auto plainWord = [&](std::string_view text) {
        char* const word = buffer.get() + used;
        if (text.size() == d && d <= 16) {
            CopyShort(word, text.data(), d); // most words: full width, a few digits
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
        scanner.feedPlain(piece, last, m_radix, d, walk.next, widest, arrive, plainWord, onToken);
        return goOn(0);
    });
    hand();
    return read;
}

bool ReadmemSource::copyImage(DigitSink& writer, const GoOn& goOn, std::size_t d) {
    // Every address in order, the later word for one given twice; the fill where none was.
    std::string image;
    image.reserve(static_cast<std::size_t>(m_depth) * d);
    const std::string fill = fillWord(d);
    for (std::uint64_t a = 0; a < m_depth; ++a)
        image += fill;
    if (!walkWords(goOn, [&](const Token& token, std::uint64_t address) {
            layWord(image.data() + address * d, token.text, d);
            return true;
        }))
        return false;
    constexpr std::size_t kSlice = std::size_t{1} << 16;
    for (std::size_t at = 0; at < image.size(); at += kSlice)
        writer.addDigits(std::string_view(image).substr(at, kSlice));
    return true;
}

std::optional<SourcePlace> ReadmemSource::find(const std::function<bool(char16_t)>& isIt,
                                               bool /*toEnd*/) {
    std::optional<SourcePlace> found;
    auto onToken = [&](const Token& token) {
        if (token.address() || token.slash)
            return true;
        for (std::size_t i = 0; i < token.text.size() && !found; ++i) {
            const char16_t c = token.text[i];
            if (c != u'_' && !(m_unknownAsZero && isUnknownDigit(c)) && isIt(c)) {
                found.emplace();
                found->at = placeOf(token, i);
            }
        }
        return !found;
    };
    Scanner scanner(m_encoding);
    const bool read = m_reader.read(
        [&](std::string_view piece, bool last) { return scanner.feed(piece, last, onToken); });
    return read ? found : std::nullopt;
}

} // namespace tarnwick
