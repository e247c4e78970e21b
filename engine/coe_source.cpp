#include "coe_source.h"

#include "numbers.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace tarnwick {

using namespace numbers;

namespace {

constexpr std::size_t kKeep = 1024;

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v';
}

bool isWordChar(char16_t c) {
    return IsLetter(c) || IsDecimal(c) || c == u'_' || c == u'-';
}

std::string lower(std::u16string_view text) {
    std::string out = Ascii(text);
    for (char& c : out)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return out;
}

Diagnostic errorAt(const TextPosition& at, std::string text) {
    Diagnostic d;
    d.severity = Diagnostic::Severity::Error;
    d.place = SourcePlace{at};
    d.text = std::move(text);
    return d;
}

} // namespace

/// Reads the file's statements, fed in pieces of any size, and hands each of the vector's
/// values to onValue(parsed, text), which returns why it refuses one, or nothing; the first
/// error ends it (error()).
class CoeSource::Parser {
public:
    explicit Parser(text::TextEncoding encoding) : m_decoder(encoding) {}

    template <class OnValue> bool feed(std::string_view bytes, bool last, OnValue&& onValue) {
        m_text.clear();
        m_decoder.decode(bytes, m_text, last);
        for (const char16_t c : m_text) {
            if (m_inWord && isWordChar(c)) { // the common case
                ++m_column;
                if (m_word.size() < kKeep)
                    m_word += c;
                ++m_wordLength;
                continue;
            }
            if (m_inWord && !endWord(onValue))
                return false;
            if (!IsLowSurrogate(c))
                ++m_column;
            if (!put(c))
                return false;
            if (c == u'\n' || c == u'\r') {
                if (!(c == u'\n' && m_afterCr))
                    ++m_line;
                m_column = 0;
                m_lineStart = true;
            }
            m_afterCr = c == u'\r';
        }
        if (!last)
            return true;
        if (m_inWord && !endWord(onValue))
            return false;
        if (m_step == Step::Vector || m_step == Step::RadixValue || m_step == Step::Equals)
            return fail(m_lastAt, "the file ends after this, before the ';' that ends its " +
                                      std::string(m_step == Step::Vector ? "vector" : "statement"));
        return true;
    }

    /// As feed(), with runs of the vector's plain values (hexadecimal or binary digits, up to
    /// 256, between commas, blanks and line ends) taken straight from the bytes: each goes to
    /// onPlain(digits), which may refuse one ("") to have it go the long way.
    template <class OnPlain, class OnValue>
    bool scan(std::string_view bytes, bool last, OnPlain& onPlain, OnValue& onValue) {
        while (!bytes.empty()) {
            if (m_step == Step::Vector && !m_inWord && !m_comment && (m_bits == 4 || m_bits == 1) &&
                m_decoder.asciiPassesThrough()) {
                bytes.remove_prefix(plainRun(bytes, onPlain));
                if (bytes.empty())
                    break;
            }
            const std::size_t end = bytes.find('\n');
            const std::size_t take = end == bytes.npos ? bytes.size() : end + 1;
            if (!feed(bytes.substr(0, take), last && take == bytes.size(), onValue))
                return false;
            bytes.remove_prefix(take);
            if (bytes.empty())
                return true;
        }
        return !last || feed({}, true, onValue);
    }

    /// The radix of the vector's values: 4 or 1 bits a digit, or 0 for decimal.
    int bits() const { return m_bits; }
    const std::optional<Diagnostic>& error() const { return m_error; }

private:
    enum class Step { Key, Equals, RadixValue, RadixEnd, Vector, Skip };

    TextPosition here() const { return TextPosition{m_line, m_column}; }

    // What a byte is to a plain run.
    enum : unsigned char { kOther, kSeparator, kLf, kCr, kEnd, kDigit };
    static const unsigned char* classesOf(bool hex) {
        static const auto kTables = [] {
            std::array<std::array<unsigned char, 256>, 2> t{};
            for (int h = 0; h < 2; ++h) {
                for (unsigned char c : {',', ' ', '\t'})
                    t[h][c] = kSeparator;
                t[h]['\n'] = kLf;
                t[h]['\r'] = kCr;
                t[h][';'] = kEnd;
                for (int c = 0; c < 128; ++c)
                    if (IsRadixDigit(static_cast<char16_t>(c),
                                     h ? RadixMode::Hexadecimal : RadixMode::Binary))
                        t[h][c] = kDigit;
            }
            return t;
        }();
        return kTables[hex ? 1 : 0].data();
    }

    template <class OnPlain> std::size_t plainRun(std::string_view bytes, OnPlain& onPlain) {
        const char* const p = bytes.data();
        const std::size_t n = bytes.size();
        const unsigned char* const classes = classesOf(m_bits == 4);
        auto classOf = [classes](char c) { return classes[static_cast<unsigned char>(c)]; };
        std::uint64_t lines = 0;
        std::size_t lineStart = 0, i = 0;
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
            std::size_t j = i;
            while (j < n && classOf(p[j]) == kDigit)
                ++j;
            // A value must end here, before a separator: the end of the piece may cut it.
            if (j == i || j == n || j - i > kMaxDigitsPerWord || classOf(p[j]) == kOther ||
                classOf(p[j]) == kDigit)
                break;
            if (!onPlain(std::string_view(p + i, j - i)))
                break;
            m_lastAt = TextPosition{m_line + lines, (lineEnded ? i - lineStart : m_column + i) + 1};
            m_lineStart = false;
            i = j;
            afterCr = false;
        }
        m_afterCr = afterCr;
        m_line += lines;
        m_column = lineEnded ? i - lineStart : m_column + i;
        if (lineEnded && i == lineStart)
            m_lineStart = true;
        return i;
    }

    bool fail(const TextPosition& at, std::string text) {
        if (!m_error)
            m_error = errorAt(at, std::move(text));
        return false;
    }

    bool put(char16_t c) {
        if (m_comment) {
            m_comment = !(c == u'\n' || c == u'\r');
            return true;
        }
        if (isBlank(c))
            return true;
        m_lastAt = here();
        const bool lineStart = m_lineStart;
        m_lineStart = false;
        if (c == u';' && lineStart && m_step != Step::Vector) { // a comment line
            m_comment = true;
            return true;
        }
        if (isWordChar(c)) {
            m_inWord = true;
            m_word.assign(1, c);
            m_wordLength = 1;
            m_wordAt = here();
            return true;
        }
        switch (m_step) {
        case Step::Equals:
            if (c == u'=') {
                m_step = m_key == Key::Radix    ? Step::RadixValue
                         : m_key == Key::Vector ? Step::Vector
                                                : Step::Skip;
                return true;
            }
            break;
        case Step::RadixEnd:
        case Step::Skip:
            if (c == u';') {
                m_step = Step::Key;
                return true;
            }
            if (m_step == Step::Skip)
                return true;
            break;
        case Step::Vector:
            if (c == u',')
                return true;
            if (c == u';') {
                m_step = Step::Key;
                m_vectorDone = true;
                return true;
            }
            break;
        default:
            break;
        }
        char shown[16];
        std::snprintf(shown, sizeof shown, c >= 0x21 && c < 0x7F ? "'%c'" : "U+%04X",
                      static_cast<unsigned>(c));
        return fail(here(), std::string(shown) + " does not belong here in a COE file");
    }

    template <class OnValue> bool endWord(OnValue& onValue) {
        m_inWord = false;
        const std::u16string_view word = m_word;
        switch (m_step) {
        case Step::Key: {
            const std::string key = lower(word);
            if (key == "memory_initialization_radix") {
                m_key = Key::Radix;
            } else if (key == "memory_initialization_vector") {
                if (m_bits < 0)
                    return fail(m_wordAt, "memory_initialization_vector comes before "
                                          "memory_initialization_radix, which says how to read it");
                if (m_vectorDone)
                    return fail(m_wordAt, "a second memory_initialization_vector");
                m_key = Key::Vector;
            } else {
                return fail(m_wordAt, "'" + Ascii(word) +
                                          "' is not a COE keyword: memory_initialization_radix "
                                          "or memory_initialization_vector");
            }
            m_step = Step::Equals;
            return true;
        }
        case Step::RadixValue: {
            const std::string radix = lower(word);
            m_bits = radix == "16" ? 4 : radix == "2" ? 1 : radix == "10" ? 0 : -1;
            if (m_bits < 0)
                return fail(m_wordAt, "memory_initialization_radix " + Ascii(word) +
                                          ": a COE file's radix is 2, 10 or 16");
            m_step = Step::RadixEnd;
            return true;
        }
        case Step::Vector: {
            if (m_wordLength > kKeep)
                return fail(m_wordAt, "the value '" + Ascii(word) + "...' is wider than 256 bits");
            const bool negative = m_bits == 0 && word.size() > 1 && word[0] == u'-';
            Parsed p = ReadDigits(word, negative ? 1 : 0, m_bits, false);
            if (p.kind == Parsed::Bad) {
                TextPosition at = m_wordAt;
                at.column += p.errorAt;
                return fail(at, p.error);
            }
            if (negative && !p.value.zero()) {
                p.negative = true;
                p.need = p.value.minusOne().bitLength() + 1;
                p.written = std::max(p.written, p.need);
            }
            std::string refusal = onValue(p, word);
            return refusal.empty() || fail(m_wordAt, std::move(refusal));
        }
        case Step::Skip:
            return true;
        default:
            return fail(m_wordAt, "'" + Ascii(word) + "' does not belong here in a COE file");
        }
    }

    enum class Key { Radix, Vector, Other };

    text::TextDecoder m_decoder;
    std::u16string m_text;
    std::uint64_t m_line = 1;
    std::uint64_t m_column = 0;
    bool m_afterCr = false;
    bool m_lineStart = true;
    bool m_comment = false;
    bool m_inWord = false;
    std::u16string m_word;
    std::uint64_t m_wordLength = 0;
    TextPosition m_wordAt;
    TextPosition m_lastAt; ///< the last character that is no blank
    Step m_step = Step::Key;
    Key m_key = Key::Other;
    int m_bits = -1;
    bool m_vectorDone = false;
    std::optional<Diagnostic> m_error;
};

CoeSource::CoeSource(ByteReader& reader, text::TextEncoding encoding, RadixMode radix,
                     int widthBits)
    : m_reader(reader), m_encoding(encoding), m_radix(radix), m_widthBits(widthBits) {}

bool CoeSource::count(Tally& tally, const GoOn& goOn) {
    m_diagnostics.clear();
    const int given = m_widthBits;
    std::uint64_t values = 0;
    int widest = 1;
    Parser parser(m_encoding);
    auto onValue = [&](const Parsed& p, std::u16string_view word) {
        if (given > 0 && p.need > given)
            return "the value '" + Ascii(word) + "' is wider than " + Bits(given);
        widest = std::max(widest, p.written);
        ++values;
        return std::string();
    };
    // A plain value goes the long way only to be refused there, at its place. Its width as
    // written counts its leading zeros, as the long way's does.
    auto onPlain = [&](std::string_view digits) {
        const int bits = parser.bits();
        const int written = std::min(static_cast<int>(digits.size()) * bits, kMaxWidthBits);
        while (digits.size() > 1 && digits[0] == '0')
            digits.remove_prefix(1);
        const auto first = DigitValue(static_cast<unsigned char>(digits[0]));
        const int need = static_cast<int>(digits.size() - 1) * bits + std::bit_width(first);
        if (given > 0 && need > given)
            return false;
        widest = std::max(widest, std::max(written, need));
        ++values;
        return true;
    };
    std::uint64_t done = 0;
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        if (!parser.scan(piece, last, onPlain, onValue))
            return false;
        done += piece.size();
        return goOn(done);
    });
    if (parser.error()) {
        m_diagnostics.push_back(*parser.error());
        return false;
    }
    if (!read)
        return false;
    if (given == 0) {
        const int step = BitsPerDigit(m_radix);
        m_widthBits = std::min((widest + step - 1) / step * step, kMaxWidthBits);
    }
    tally.add(values * static_cast<std::uint64_t>(DigitsPerWord(m_radix, m_widthBits)));
    return true;
}

bool CoeSource::copy(DigitSink& writer, const GoOn& goOn) {
    const std::size_t d = static_cast<std::size_t>(DigitsPerWord(m_radix, m_widthBits));
    constexpr std::size_t kFlush = std::size_t{1} << 16;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kFlush + kMaxDigitsPerWord);
    std::size_t used = 0;
    auto onValue = [&](const Parsed& p, std::u16string_view word) {
        LayValue(buffer.get() + used, p, word, m_radix, m_widthBits, d);
        used += d;
        if (used >= kFlush) {
            writer.addDigits(std::string_view(buffer.get(), used));
            used = 0;
        }
        return std::string();
    };
    Parser parser(m_encoding);
    auto onPlain = [&](std::string_view digits) {
        char* const out = buffer.get() + used;
        if (parser.bits() == BitsPerDigit(m_radix) && digits.size() == d && d <= 16) {
            CopyShort(out, digits.data(), d); // a word as written, the common case
        } else if (parser.bits() == BitsPerDigit(m_radix) && digits.size() <= d) {
            std::memset(out, '0', d - digits.size());
            std::memcpy(out + d - digits.size(), digits.data(), digits.size());
        } else {
            const std::u16string text(digits.begin(), digits.end());
            const Parsed p = ReadDigits(text, 0, parser.bits(), false);
            LayValue(out, p, text, m_radix, m_widthBits, d);
        }
        used += d;
        if (used >= kFlush) {
            writer.addDigits(std::string_view(buffer.get(), used));
            used = 0;
        }
        return true;
    };
    std::uint64_t done = 0;
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        parser.scan(piece, last, onPlain, onValue);
        done += piece.size();
        return goOn(done);
    });
    if (used > 0)
        writer.addDigits(std::string_view(buffer.get(), used));
    return read;
}

} // namespace tarnwick
