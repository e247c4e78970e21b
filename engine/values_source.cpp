#include "values_source.h"

#include "digits_source.h"
#include "numbers.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tarnwick {

namespace {

using namespace numbers;

// How much of a token is kept to parse and quote: far more than any number of 256 bits
// needs, so only a number too wide anyway is ever cut.
constexpr std::size_t kKeep = 1024;

bool isTokenChar(char16_t c) {
    return IsLetter(c) || IsDecimal(c) || c == u'_' || c == u'\'' || c == u'.';
}

std::string quoted(char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    // Messages stay ASCII: the caller's terminal may show nothing else.
    if (c < 0x20 || c >= 0x7F)
        return code;
    return "'" + std::string(1, static_cast<char>(c)) + "'";
}

// A token that starts with a digit, a sign or a quote, as C, Python and Verilog write it.
Parsed parse(std::u16string_view text) {
    std::size_t at = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == u'-' || text[0] == u'+')) {
        negative = text[0] == u'-';
        at = 1;
    }
    Parsed p;
    if (at == text.size()) {
        p.kind = Parsed::Bad;
        p.error = "'" + Ascii(text) + "' stands before no number";
        return p;
    }
    if (at == 0 && (IsLetter(text[0]) || text[0] == u'_')) {
        p.kind = Parsed::Identifier;
        return p;
    }
    const std::size_t quote = text.find(u'\'', at);
    if (quote != std::u16string_view::npos) { // Verilog: [size]'[s]base digits
        int size = 0;
        for (std::size_t i = at; i < quote; ++i) {
            if (!IsDecimal(text[i]) || size > 256) {
                p.kind = Parsed::Bad;
                p.errorAt = i;
                p.error = "'" + Ascii(text) + "' is not a Verilog number: its size is no number";
                return p;
            }
            size = size * 10 + (text[i] - u'0');
        }
        std::size_t i = quote + 1;
        if (i < text.size() && (text[i] | 0x20) == u's')
            ++i;
        const char16_t b = i < text.size() ? static_cast<char16_t>(text[i] | 0x20) : u'\0';
        const int bits = b == u'h' ? 4 : b == u'o' ? 3 : b == u'b' ? 1 : b == u'd' ? 0 : -1;
        if (bits < 0) {
            p.kind = Parsed::Bad;
            p.errorAt = std::min(i, text.size() - 1);
            p.error = "'" + Ascii(text) + "' is not a Verilog number: give h, d, o or b after '";
            return p;
        }
        p = ReadDigits(text, i + 1, bits, true);
        if (p.kind == Parsed::Bad)
            return p;
        if (quote > at) {
            if (size == 0 || p.value.bitLength() > size || size > kMaxWidthBits) {
                p.kind = Parsed::Bad;
                p.errorAt = at;
                p.error = "'" + Ascii(text) + "' does not fit its size of " + Bits(size);
                return p;
            }
            p.written = size;
        }
    } else {
        const char16_t second =
            text.size() > at + 1 ? static_cast<char16_t>(text[at + 1] | 0x20) : u'\0';
        const bool prefixed =
            text[at] == u'0' && (second == u'x' || second == u'b' || second == u'o');
        const int bits = !prefixed ? 0 : second == u'x' ? 4 : second == u'b' ? 1 : 3;
        // C's suffixes: u, l, ul, lu, ll, ull, llu, in any case.
        std::size_t end = text.size();
        while (end > at + (prefixed ? 2 : 1) && end + 3 > text.size() &&
               ((text[end - 1] | 0x20) == u'u' || (text[end - 1] | 0x20) == u'l'))
            --end;
        const std::u16string_view body = text.substr(0, end);
        p = ReadDigits(body, at + (prefixed ? 2 : 0), bits, false);
        if (p.kind == Parsed::Bad) {
            // Worded on the whole token, as the file has it, not on the part before a suffix.
            const Parsed whole = ReadDigits(text, at + (prefixed ? 2 : 0), bits, false);
            if (whole.kind == Parsed::Bad && whole.errorAt <= p.errorAt)
                return whole;
            if (p.errorAt >= body.size())
                p.errorAt = 0;
            return p;
        }
        p.leadingZero = !prefixed && text.size() > at + 1 && text[at] == u'0' && !p.value.zero();
    }
    if (negative && !p.value.zero()) {
        p.negative = true;
        p.need = p.value.minusOne().bitLength() + 1;
        p.written = std::max(p.written, p.need);
    }
    return p;
}

} // namespace

/// A token the scanner hands on, with the braces and brackets open where it starts.
struct ValuesSource::Token {
    TextPosition at;
    std::u16string text; ///< its first kKeep characters
    std::uint64_t length = 0;
    bool braces = false;
    bool brackets = false;
};

/// Cuts the decoded text into tokens, fed in pieces of any size: a token, a comment mark or
/// a line end split between pieces is read as if it had come whole. LF, CR and CR LF each
/// end a line.
class ValuesSource::Scanner {
public:
    explicit Scanner(text::TextEncoding encoding) : m_decoder(encoding) {}

    /// Calls onToken(token) for each token and onOther(c, at, braces, brackets) for each
    /// character that is no part of one, a comment, a string or a separator; either
    /// returning false stops, and so returns false.
    template <class OnToken, class OnOther>
    bool feed(std::string_view bytes, bool last, OnToken&& onToken, OnOther&& onOther) {
        m_text.clear();
        m_decoder.decode(bytes, m_text, last);
        for (const char16_t c : m_text) {
            if (m_state == State::Token && isTokenChar(c)) { // the common case
                ++m_column;
                if (m_token.text.size() < kKeep)
                    m_token.text += c;
                ++m_token.length;
                continue;
            }
            if (!IsLowSurrogate(c))
                ++m_column;
            if (!put(c, onToken, onOther))
                return false;
            if (c == u'\n' || c == u'\r') {
                if (!(c == u'\n' && m_afterCr))
                    ++m_line;
                m_column = 0;
            }
            m_afterCr = c == u'\r';
        }
        if (!last)
            return true;
        if (m_state == State::Token) {
            m_state = State::Blank;
            return onToken(static_cast<const Token&>(m_token));
        }
        if (m_state == State::Slash)
            return onOther(U'/', m_slashAt, m_braces > 0, m_brackets > 0);
        return true;
    }

    /// As feed(), with runs of plain numbers (`0x` and up to 16 hexadecimal digits, or up to
    /// 19 decimal ones without a leading zero, between separators) taken straight from the
    /// bytes: each goes to onPlain(digits, hex, braces, brackets) instead of onToken, which
    /// may refuse it (false) to have it go the long way. Most arrays are such numbers.
    template <class OnPlain, class OnToken, class OnOther>
    bool scan(std::string_view bytes, bool last, OnPlain&& onPlain, OnToken&& onToken,
              OnOther&& onOther) {
        while (!bytes.empty()) {
            if (m_state == State::Blank && !m_highAt && m_decoder.asciiPassesThrough()) {
                bytes.remove_prefix(plainRun(bytes, onPlain));
                if (bytes.empty())
                    break;
            }
            // What the plain run stopped at goes the long way to the end of its line.
            const std::size_t end = bytes.find('\n');
            const std::size_t take = end == bytes.npos ? bytes.size() : end + 1;
            if (!feed(bytes.substr(0, take), last && take == bytes.size(), onToken, onOther))
                return false;
            bytes.remove_prefix(take);
            if (bytes.empty())
                return true;
        }
        return !last || feed({}, true, onToken, onOther);
    }

    /// Whether every character so far is one the digits rule takes: hexadecimal digits, 'x',
    /// and its delimiters.
    bool digitsRuleText() const { return m_digitsRuleText; }
    bool anyBraces() const { return m_anyBraces; }
    bool anyBrackets() const { return m_anyBrackets; }

private:
    enum class State { Blank, Token, Slash, LineComment, BlockComment, BlockStar, String, Escape };

    // What a byte is to a plain run.
    enum : unsigned char {
        kOther,
        kSeparator,
        kLf,
        kCr,
        kOpenBrace,
        kCloseBrace,
        kOpenBracket,
        kCloseBracket,
        kZero,
        kDigit,
        kHexLetter
    };
    static constexpr std::array<unsigned char, 256> makeClasses() {
        std::array<unsigned char, 256> t{};
        for (unsigned char c : {',', ' ', '\t', ';'})
            t[c] = kSeparator;
        t['\n'] = kLf;
        t['\r'] = kCr;
        t['{'] = kOpenBrace;
        t['}'] = kCloseBrace;
        t['['] = kOpenBracket;
        t[']'] = kCloseBracket;
        t['0'] = kZero;
        for (int c = '1'; c <= '9'; ++c)
            t[c] = kDigit;
        for (int c = 'a'; c <= 'f'; ++c)
            t[c] = t[c - 'a' + 'A'] = kHexLetter;
        return t;
    }
    static unsigned char classOf(char c) {
        static constexpr std::array<unsigned char, 256> kClasses = makeClasses();
        return kClasses[static_cast<unsigned char>(c)];
    }

    // Takes plain numbers and separators from the start of `bytes`; returns how many bytes
    // it took, stopping before anything else and before a number the bytes may cut.
    template <class OnPlain> std::size_t plainRun(std::string_view bytes, OnPlain& onPlain) {
        const char* const p = bytes.data();
        const std::size_t n = bytes.size();
        std::size_t i = 0;
        std::uint64_t lines = 0;
        std::size_t lineStart = 0;
        bool lineEnded = false; // an LF after a CR ends no line, but starts the columns again
        bool afterCr = m_afterCr;
        while (i < n) {
            const unsigned char k = classOf(p[i]);
            if (k == kSeparator) {
                ++i;
                afterCr = false;
                continue;
            }
            if (k == kLf || k == kCr) {
                lines += k == kCr || !afterCr;
                afterCr = k == kCr;
                lineStart = ++i;
                lineEnded = true;
                continue;
            }
            if (k >= kOpenBrace && k <= kCloseBracket) {
                if (k == kOpenBrace)
                    ++m_braces, m_anyBraces = true;
                else if (k == kOpenBracket)
                    ++m_brackets, m_anyBrackets = true, m_digitsRuleText = false;
                else if (k == kCloseBrace)
                    m_braces -= m_braces > 0 ? 1 : 0;
                else
                    m_brackets -= m_brackets > 0 ? 1 : 0, m_digitsRuleText = false;
                ++i;
                afterCr = false;
                continue;
            }
            std::size_t j = i + 1;
            bool hex = false;
            if (k == kZero && j < n && (p[j] | 0x20) == 'x') {
                hex = true;
                j = i + 2;
                while (j < n && classOf(p[j]) >= kZero)
                    ++j;
                if (j == i + 2 || j - (i + 2) > 16)
                    break;
            } else if (k == kDigit) {
                while (j < n && (classOf(p[j]) == kZero || classOf(p[j]) == kDigit))
                    ++j;
                if (j - i > 19)
                    break;
            } else if (k != kZero || (j < n && classOf(p[j]) >= kZero)) {
                break; // anything else, and a leading zero (warned of), go the long way
            }
            if (j == n) // the number may go on in the next piece
                break;
            const unsigned char e = classOf(p[j]);
            if (e != kSeparator && e != kLf && e != kCr && e != kCloseBrace && e != kCloseBracket)
                break;
            const std::size_t from = hex ? i + 2 : i;
            if (!onPlain(std::string_view(p + from, j - from), hex, m_braces > 0, m_brackets > 0))
                break;
            i = j;
            afterCr = false;
        }
        m_afterCr = afterCr;
        m_line += lines;
        m_column = lineEnded ? i - lineStart : m_column + i;
        return i;
    }

    template <class OnToken, class OnOther>
    bool put(char16_t c, OnToken& onToken, OnOther& onOther) {
        const bool lineEnd = c == u'\n' || c == u'\r';
        if (m_digitsRuleText &&
            !(c < 128 && (classOf(static_cast<char>(c)) != kOther || (c | 0x20) == u'x') &&
              c != u'[' && c != u']'))
            m_digitsRuleText = false;
        switch (m_state) {
        case State::LineComment:
            if (lineEnd)
                m_state = State::Blank;
            return true;
        case State::BlockComment:
            if (c == u'*')
                m_state = State::BlockStar;
            return true;
        case State::BlockStar:
            m_state = c == u'/' ? State::Blank : c == u'*' ? State::BlockStar : State::BlockComment;
            return true;
        case State::String:
            m_state = c == u'"' || lineEnd ? State::Blank
                      : c == u'\\'         ? State::Escape
                                           : State::String;
            return true;
        case State::Escape:
            m_state = State::String;
            return true;
        case State::Slash:
            if (c == u'/' || c == u'*') {
                m_state = c == u'/' ? State::LineComment : State::BlockComment;
                return true;
            }
            m_state = State::Blank;
            if (!onOther(U'/', m_slashAt, m_braces > 0, m_brackets > 0))
                return false;
            return put(c, onToken, onOther);
        case State::Token:
            m_state = State::Blank;
            if (!onToken(static_cast<const Token&>(m_token)))
                return false;
            break;
        case State::Blank:
            break;
        }
        const TextPosition here{m_line, m_column};
        if (m_highAt) { // the second half of a character beyond U+FFFF
            const TextPosition at = *m_highAt;
            m_highAt.reset();
            if (IsLowSurrogate(c))
                return onOther(0x10000 + ((m_high - 0xD800) << 10) + (c - 0xDC00), at, m_braces > 0,
                               m_brackets > 0);
        }
        if (isTokenChar(c) || c == u'-' || c == u'+') {
            m_state = State::Token;
            m_token.at = here;
            m_token.text.assign(1, c);
            m_token.length = 1;
            m_token.braces = m_braces > 0;
            m_token.brackets = m_brackets > 0;
            return true;
        }
        switch (c) {
        case u' ':
        case u'\t':
        case u'\n':
        case u'\r':
        case u'\f':
        case u'\v':
        case u',':
        case u';':
            return true;
        case u'/':
            m_state = State::Slash;
            m_slashAt = here;
            return true;
        case u'#': // a preprocessor line, or a comment in Python
            m_state = State::LineComment;
            return true;
        case u'"':
            m_state = State::String;
            return onOther(c, here, m_braces > 0, m_brackets > 0);
        case u'{':
            m_anyBraces = true;
            ++m_braces;
            return true;
        case u'}':
            m_braces -= m_braces > 0 ? 1 : 0;
            return true;
        case u'[':
            m_anyBrackets = true;
            ++m_brackets;
            return true;
        case u']':
            m_brackets -= m_brackets > 0 ? 1 : 0;
            return true;
        case 0xFEFF: // a byte-order mark the decoder did not take
            return true;
        default:
            if (IsHighSurrogate(c)) {
                m_highAt = here;
                m_high = c;
                return true;
            }
            return onOther(c, here, m_braces > 0, m_brackets > 0);
        }
    }

    text::TextDecoder m_decoder;
    std::u16string m_text;
    State m_state = State::Blank;
    std::uint64_t m_line = 1;
    std::uint64_t m_column = 0;
    bool m_afterCr = false;
    TextPosition m_slashAt;
    Token m_token;
    std::uint64_t m_braces = 0;
    std::uint64_t m_brackets = 0;
    bool m_anyBraces = false;
    bool m_anyBrackets = false;
    bool m_digitsRuleText = true;
    std::optional<TextPosition> m_highAt;
    char16_t m_high = 0;
};

ValuesSource::ValuesSource(ByteReader& reader, text::TextEncoding encoding, RadixMode radix,
                           int widthBits)
    : m_reader(reader), m_encoding(encoding), m_radix(radix), m_widthBits(widthBits) {}

namespace {

// What the first pass learns of the numbers in one scope.
struct ScopeStats {
    std::uint64_t values = 0;
    int widest = 0;
    TextPosition widestAt;
    std::string widestText;
    std::optional<Diagnostic> error;
    std::optional<Diagnostic> leadingZero;

    [[gnu::noinline]] void widen(int written, bool hex, std::string_view digits) {
        widest = written;
        widestText = std::string(hex ? "0x" : "") + std::string(digits);
    }
};

Diagnostic errorAt(const TextPosition& at, std::string text) {
    Diagnostic d;
    d.severity = Diagnostic::Severity::Error;
    d.place = SourcePlace{at};
    d.text = std::move(text);
    return d;
}

TextPosition columnOf(const TextPosition& at, std::u16string_view text, std::size_t i) {
    TextPosition p = at;
    for (std::size_t k = 1; k <= i && k < text.size(); ++k)
        if (!IsLowSurrogate(text[k]))
            ++p.column;
    return p;
}

} // namespace

bool ValuesSource::count(Tally& tally, const GoOn& goOn) {
    m_diagnostics.clear();
    const int given = m_widthBits;
    std::array<ScopeStats, 3> stats{};
    auto scopesOf = [](bool braces, bool brackets) {
        return std::array<bool, 3>{braces, brackets, true};
    };
    // Whether every number is `0x` and the same count of hex digits, which the digits rule
    // would cut into the same words.
    std::size_t hexMin = SIZE_MAX, hexMax = 0;
    std::uint64_t otherNumbers = 0;
    auto shape = [&](bool hex, std::size_t digits) {
        if (!hex) {
            ++otherNumbers;
            return;
        }
        hexMin = std::min(hexMin, digits);
        hexMax = std::max(hexMax, digits);
    };
    auto onToken = [&](const Token& token) {
        const std::array<bool, 3> in = scopesOf(token.braces, token.brackets);
        std::optional<Diagnostic> error;
        Parsed p;
        const std::u16string_view t = token.text;
        shape(t.size() > 2 && t[0] == u'0' && (t[1] | 0x20) == u'x' &&
                  std::all_of(t.begin() + 2, t.end(),
                              [](char16_t c) {
                                  return c < 128 && IsRadixDigit(c, RadixMode::Hexadecimal);
                              }),
              t.size() - 2);
        if (token.length > kKeep) {
            error = errorAt(token.at,
                            "the value '" + Ascii(token.text) + "...' is wider than 256 bits");
        } else {
            p = parse(token.text);
            if (p.kind == Parsed::Identifier)
                return true;
            if (p.kind == Parsed::Bad)
                error = errorAt(columnOf(token.at, token.text, p.errorAt), p.error);
            else if (given > 0 && p.need > given)
                error = errorAt(token.at, "the value '" + Ascii(token.text) + "' is wider than " +
                                              Bits(given));
        }
        for (std::size_t s = 0; s < 3; ++s) {
            if (!in[s])
                continue;
            ScopeStats& st = stats[s];
            if (error) {
                if (!st.error)
                    st.error = error;
                continue;
            }
            ++st.values;
            if (p.written > st.widest) {
                st.widest = p.written;
                st.widestAt = token.at;
                st.widestText = Ascii(token.text);
            }
            if (p.leadingZero && !st.leadingZero) {
                Diagnostic d;
                d.place = SourcePlace{token.at};
                d.text = "'" + Ascii(token.text) +
                         "' is read as a decimal number, as is every number here with a "
                         "leading 0; C would read it as octal";
                st.leadingZero = std::move(d);
            }
        }
        return true;
    };
    auto onOther = [&](char32_t c, const TextPosition& at, bool braces, bool brackets) {
        const std::array<bool, 3> in = scopesOf(braces, brackets);
        for (std::size_t s = 0; s < 3; ++s)
            if (in[s] && !stats[s].error)
                stats[s].error =
                    errorAt(at, quoted(c) + " is no part of a value: values are numbers between "
                                            "commas or blanks");
        return true;
    };
    // A plain number too wide for the width given goes the long way, which places it.
    auto onPlain = [&](std::string_view digits, bool hex, bool braces, bool brackets) {
        shape(hex, digits.size());
        int written = 4 * static_cast<int>(digits.size()); // a hex number's bits as written
        if (!hex || (given > 0 && written > given)) {
            std::uint64_t value = 0;
            for (char c : digits)
                value = hex ? value << 4 | DigitValue(static_cast<unsigned char>(c))
                            : value * 10 + static_cast<unsigned>(c - '0');
            const int need = std::max(64 - std::countl_zero(value), 1);
            if (given > 0 && need > given)
                return false;
            if (!hex)
                written = need;
        }
        auto add = [&](ScopeStats& st) {
            st.values += !st.error;
            if (written > st.widest && !st.error) [[unlikely]]
                st.widen(written, hex, digits);
        };
        add(stats[2]);
        if (braces)
            add(stats[0]);
        if (brackets)
            add(stats[1]);
        return true;
    };
    Scanner scanner(m_encoding);
    std::uint64_t done = 0;
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        if (!scanner.scan(piece, last, onPlain, onToken, onOther))
            return false;
        done += piece.size();
        return goOn(done);
    });
    if (!read)
        return false;
    m_scope = scanner.anyBraces()     ? Scope::Braces
              : scanner.anyBrackets() ? Scope::Brackets
                                      : Scope::Everywhere;
    ScopeStats& st = stats[static_cast<std::size_t>(m_scope)];
    if (st.error) {
        m_diagnostics.push_back(*st.error);
        return false;
    }
    if (given == 0) {
        const int step = BitsPerDigit(m_radix);
        m_widthBits = (std::max(st.widest, 1) + step - 1) / step * step;
        if (m_widthBits > kMaxWidthBits) {
            m_diagnostics.push_back(
                errorAt(st.widestAt, "the value '" + st.widestText + "' is wider than 256 bits"));
            return false;
        }
    }
    if (st.leadingZero)
        m_diagnostics.push_back(*st.leadingZero);
    const auto d = static_cast<std::size_t>(DigitsPerWord(m_radix, m_widthBits));
    m_digitsRule = m_radix == RadixMode::Hexadecimal && scanner.digitsRuleText() &&
                   otherNumbers == 0 && hexMin == d && hexMax == d &&
                   st.values == stats[2].values && m_widthBits % 4 == 0;
    tally.add(st.values * static_cast<std::uint64_t>(DigitsPerWord(m_radix, m_widthBits)));
    return true;
}

bool ValuesSource::copy(DigitSink& writer, const GoOn& goOn) {
    if (m_digitsRule) // the same digits, by the digits rule's faster path
        return DigitsSource(m_reader, m_encoding).copy(writer, goOn);
    const std::size_t d = static_cast<std::size_t>(DigitsPerWord(m_radix, m_widthBits));
    constexpr std::size_t kFlush = std::size_t{1} << 16;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kFlush + kMaxDigitsPerWord);
    std::size_t used = 0;
    const Scope scope = m_scope;
    auto onToken = [&](const Token& token) {
        const bool in = scope == Scope::Braces     ? token.braces
                        : scope == Scope::Brackets ? token.brackets
                                                   : true;
        if (!in)
            return true;
        const Parsed p = parse(token.text);
        if (p.kind != Parsed::Value)
            return true;
        LayValue(buffer.get() + used, p, token.text, m_radix, m_widthBits, d);
        used += d;
        if (used >= kFlush) {
            writer.addDigits(std::string_view(buffer.get(), used));
            used = 0;
        }
        return true;
    };
    auto onOther = [](char32_t, const TextPosition&, bool, bool) { return true; };
    const bool sameRadix = m_radix == RadixMode::Hexadecimal;
    auto onPlain = [&](std::string_view digits, bool hex, bool braces, bool brackets) {
        const bool in = scope == Scope::Braces     ? braces
                        : scope == Scope::Brackets ? brackets
                                                   : true;
        if (!in)
            return true;
        char* const out = buffer.get() + used;
        if (hex && sameRadix && digits.size() == d && d <= 16) { // a word as written, most often
            CopyShort(out, digits.data(), d);
        } else {
            std::uint64_t value = 0;
            for (char c : digits)
                value = hex ? value << 4 | DigitValue(static_cast<unsigned char>(c))
                            : value * 10 + static_cast<unsigned>(c - '0');
            Parsed p;
            p.value.limb[0] = value;
            if (hex && sameRadix) {
                const std::u16string wide(digits.begin(), digits.end());
                p.base = 4;
                LayValue(out, p, wide, m_radix, m_widthBits, d);
            } else {
                LayValue(out, p, {}, m_radix, m_widthBits, d);
            }
        }
        used += d;
        if (used >= kFlush) {
            writer.addDigits(std::string_view(buffer.get(), used));
            used = 0;
        }
        return true;
    };
    Scanner scanner(m_encoding);
    std::uint64_t done = 0;
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        scanner.scan(piece, last, onPlain, onToken, onOther);
        done += piece.size();
        return goOn(done);
    });
    if (used > 0)
        writer.addDigits(std::string_view(buffer.get(), used));
    return read;
}

} // namespace tarnwick
