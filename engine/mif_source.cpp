#include "mif_source.h"

#include "numbers.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace tarnwick {

using namespace numbers;

namespace {

constexpr std::size_t kKeep = 1024;
// Every word is held: at most this many digits.
constexpr std::uint64_t kImageLimit = std::uint64_t{256} << 20;
// How many unfilled ranges the gap warning names.
constexpr std::size_t kRangesNamed = 4;

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v';
}

bool isWordChar(char16_t c) {
    return IsLetter(c) || IsDecimal(c) || c == u'_';
}

std::string upper(std::u16string_view text) {
    std::string out = Ascii(text);
    for (char& c : out)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return out;
}

std::string placeText(const TextPosition& at) {
    return std::to_string(at.line) + ":" + std::to_string(at.column);
}

Diagnostic finding(std::optional<TextPosition> at, std::string text, Diagnostic::Severity s) {
    Diagnostic d;
    d.severity = s;
    if (at)
        d.place = SourcePlace{*at};
    d.text = std::move(text);
    return d;
}

// A MIF radix as bits a digit (4, 3, 1), 0 for unsigned decimal, -2 for signed; -1: none.
int radixBits(const std::string& name) {
    return name == "HEX"   ? 4
           : name == "OCT" ? 3
           : name == "BIN" ? 1
           : name == "UNS" ? 0
           : name == "DEC" ? -2
                           : -1;
}

} // namespace

/// One entry of the content: its addresses, and the values laid over them in turn.
struct MifSource::Entry {
    std::uint64_t from = 0;
    std::uint64_t to = 0; ///< the last address (a list: from + values - 1)
    bool range = false;
    TextPosition at; ///< where its address stands
    std::vector<Parsed> values;
    std::vector<TextPosition> valuesAt;
    std::u16string texts;          ///< the values as written, one after another
    std::vector<std::size_t> ends; ///< where each ends in `texts`

    // Reused from entry to entry: most entries are one value, and allocate nothing.
    void start(std::uint64_t address, const TextPosition& where, bool isRange) {
        from = address;
        to = address;
        range = isRange;
        at = where;
        values.clear();
        valuesAt.clear();
        texts.clear();
        ends.clear();
    }
    std::u16string_view text(std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : ends[i - 1];
        return std::u16string_view(texts).substr(begin, ends[i] - begin);
    }
};

/// Reads the header and the entries, fed in pieces of any size: a token, a comment mark or
/// a line end split between pieces is read as if it had come whole. Calls onHeader() once
/// CONTENT BEGIN is read, onEntry(entry) for each entry; either returning false, or the
/// first error (error()), ends it.
class MifSource::Parser {
public:
    explicit Parser(text::TextEncoding encoding) : m_decoder(encoding) {}

    template <class OnHeader, class OnEntry>
    bool feed(std::string_view bytes, bool last, OnHeader& onHeader, OnEntry& onEntry) {
        m_text.clear();
        m_decoder.decode(bytes, m_text, last);
        for (const char16_t c : m_text) {
            if (m_state == State::Word && isWordChar(c)) { // the common case
                ++m_column;
                if (m_word.size() < kKeep)
                    m_word += c;
                ++m_wordLength;
                continue;
            }
            if (!IsLowSurrogate(c))
                ++m_column;
            if (!put(c, onHeader, onEntry))
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
        if (m_state == State::Word && !word(onHeader, onEntry))
            return false;
        if (m_state == State::Dash && !symbol(u'-', m_dashAt, onHeader, onEntry))
            return false;
        if (m_step != Step::Done)
            return fail(m_lastAt, m_step == Step::EndSemicolon
                                      ? "END is not followed by its ';'"
                                      : std::string("the file ends before its END;"));
        return true;
    }

    /// As feed(), with runs of plain entries (`A : V;`, the address up to 15 digits, the
    /// value up to 256 in HEX or BIN, blanks and line ends between) taken straight from the
    /// bytes: each goes to onPlain(address, digits, bits, at) instead of onEntry, which may
    /// refuse it (false) to have it go the long way, which then words what is wrong. Most
    /// MIF files, this program's among them, are such entries.
    template <class OnHeader, class OnEntry, class OnPlain>
    bool scan(std::string_view bytes, bool last, OnHeader& onHeader, OnEntry& onEntry,
              OnPlain& onPlain) {
        while (!bytes.empty()) {
            if (m_step == Step::Entry && m_state == State::Blank &&
                m_decoder.asciiPassesThrough()) {
                bytes.remove_prefix(plainRun(bytes, onPlain));
                if (bytes.empty())
                    break;
            }
            // What the plain run stopped at goes the long way to the end of its line.
            const std::size_t end = bytes.find('\n');
            const std::size_t take = end == bytes.npos ? bytes.size() : end + 1;
            if (!feed(bytes.substr(0, take), last && take == bytes.size(), onHeader, onEntry))
                return false;
            bytes.remove_prefix(take);
            if (bytes.empty())
                return true;
        }
        return !last || feed({}, true, onHeader, onEntry);
    }

    const std::optional<Diagnostic>& error() const { return m_error; }
    int width() const { return m_width; }
    std::uint64_t depth() const { return m_depth; }
    const TextPosition& widthAt() const { return m_widthAt; }
    const TextPosition& depthAt() const { return m_depthAt; }
    const TextPosition& contentAt() const { return m_contentAt; }
    const TextPosition& lastAt() const { return m_lastAt; }

    bool fail(const TextPosition& at, std::string text) {
        if (!m_error)
            m_error = finding(at, std::move(text), Diagnostic::Severity::Error);
        return false;
    }

private:
    enum class State { Blank, Word, Dash, LineComment, BlockComment };
    enum class Step {
        Key,
        Equals,
        Value,
        Semicolon,
        Begin,
        Entry,
        RangeFrom,
        Dot1,
        Dot2,
        RangeTo,
        Close,
        Colon,
        Values,
        EndSemicolon,
        Done,
    };

    TextPosition here() const { return TextPosition{m_line, m_column}; }

    // Each byte's value as a digit in the radix of `bits` (4, 3, 1, or 0 for decimal), or -1.
    static const std::int8_t* digitsOf(int bits) {
        static const auto kTables = [] {
            std::array<std::array<std::int8_t, 256>, 5> tables{};
            for (int b = 0; b < 5; ++b)
                for (int c = 0; c < 256; ++c) {
                    const int v = c >= '0' && c <= '9'                     ? c - '0'
                                  : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                                           : 99;
                    tables[b][c] = static_cast<std::int8_t>(v < (b == 0 ? 10 : 1 << b) ? v : -1);
                }
            return tables;
        }();
        return kTables[static_cast<std::size_t>(std::max(bits, 0))].data();
    }

    template <class OnPlain> std::size_t plainRun(std::string_view bytes, OnPlain& onPlain) {
        if (m_dataBits != 4 && m_dataBits != 1)
            return 0;
        const char* const p = bytes.data();
        const std::size_t n = bytes.size();
        const std::int8_t* const addressDigit = digitsOf(m_addressBits);
        const std::int8_t* const dataDigit = digitsOf(m_dataBits);
        auto digit = [](const std::int8_t* table, char c) {
            return table[static_cast<unsigned char>(c)];
        };
        std::uint64_t lines = 0;
        std::size_t lineStart = 0, i = 0;
        bool lineEnded = false; // an LF after a CR ends no line, but starts the columns again
        bool afterCr = m_afterCr;
        auto blanks = [&](std::size_t j) {
            while (j < n && (p[j] == ' ' || p[j] == '\t'))
                ++j;
            return j;
        };
        while (i < n) {
            const char c = p[i];
            if (c == ' ' || c == '\t') {
                ++i;
                afterCr = false;
                continue;
            }
            if (c == '\n' || c == '\r') {
                lines += c == '\r' || !afterCr;
                afterCr = c == '\r';
                lineStart = ++i;
                lineEnded = true;
                continue;
            }
            std::uint64_t address = 0;
            std::size_t j = i;
            for (int v; j < n && j - i < 16 && (v = digit(addressDigit, p[j])) >= 0; ++j)
                address = m_addressBits == 0 ? address * 10 + static_cast<unsigned>(v)
                                             : address << m_addressBits | static_cast<unsigned>(v);
            if (j == i || j - i >= 16)
                break;
            j = blanks(j);
            if (j >= n || p[j] != ':')
                break;
            const std::size_t value = blanks(j + 1);
            j = value;
            while (j < n && j - value <= kMaxDigitsPerWord && digit(dataDigit, p[j]) >= 0)
                ++j;
            const std::size_t valueEnd = j;
            if (valueEnd == value || valueEnd - value > kMaxDigitsPerWord)
                break;
            j = blanks(j);
            if (j >= n || p[j] != ';')
                break;
            const TextPosition at{m_line + lines,
                                  (lineEnded ? value - lineStart : m_column + value) + 1};
            if (!onPlain(address, std::string_view(p + value, valueEnd - value), m_dataBits, at))
                break;
            m_lastAt = TextPosition{at.line, at.column + (j - value)};
            i = j + 1;
            afterCr = false;
        }
        m_afterCr = afterCr;
        m_line += lines;
        m_column = lineEnded ? i - lineStart : m_column + i;
        return i;
    }

    template <class OnHeader, class OnEntry>
    bool put(char16_t c, OnHeader& onHeader, OnEntry& onEntry) {
        switch (m_state) {
        case State::LineComment:
            if (c == u'\n' || c == u'\r')
                m_state = State::Blank;
            return true;
        case State::BlockComment:
            if (c == u'%')
                m_state = State::Blank;
            return true;
        case State::Word:
            m_state = State::Blank;
            if (!word(onHeader, onEntry))
                return false;
            break;
        case State::Dash:
            m_state = State::Blank;
            if (c == u'-') {
                m_state = State::LineComment;
                return true;
            }
            if (IsDecimal(c)) { // a negative value
                startWord(m_dashAt);
                m_word = u"-";
                m_word += c;
                m_wordLength = 2;
                return true;
            }
            if (!symbol(u'-', m_dashAt, onHeader, onEntry))
                return false;
            break;
        case State::Blank:
            break;
        }
        if (isBlank(c))
            return true;
        m_lastAt = here();
        if (c == u'%') {
            m_state = State::BlockComment;
            return true;
        }
        if (c == u'-') {
            m_state = State::Dash;
            m_dashAt = here();
            return true;
        }
        if (isWordChar(c)) {
            startWord(here());
            m_word.assign(1, c);
            m_wordLength = 1;
            return true;
        }
        return symbol(c, here(), onHeader, onEntry);
    }

    void startWord(const TextPosition& at) {
        m_state = State::Word;
        m_wordAt = at;
    }

    std::string expected() const {
        switch (m_step) {
        case Step::Key:
            return "WIDTH, DEPTH, ADDRESS_RADIX, DATA_RADIX or CONTENT";
        case Step::Equals:
            return "'='";
        case Step::Value:
            return "its value";
        case Step::Semicolon:
        case Step::EndSemicolon:
            return "';'";
        case Step::Begin:
            return "BEGIN";
        case Step::Entry:
            return "an address, '[' or END";
        case Step::RangeFrom:
        case Step::RangeTo:
            return "an address";
        case Step::Dot1:
        case Step::Dot2:
            return "'..'";
        case Step::Close:
            return "']'";
        case Step::Colon:
            return "':'";
        case Step::Values:
            return "a value or ';'";
        case Step::Done:
            break;
        }
        return "nothing after END;";
    }

    bool unexpected(const TextPosition& at, const std::string& what) {
        return fail(at, what + " stands where the MIF file needs " + expected());
    }

    template <class OnHeader, class OnEntry>
    bool symbol(char16_t c, const TextPosition& at, OnHeader& onHeader, OnEntry& onEntry) {
        const Step step = m_step;
        if (step == Step::Equals && c == u'=')
            m_step = Step::Value;
        else if (step == Step::Semicolon && c == u';')
            m_step = Step::Key;
        else if (step == Step::Entry && c == u'[')
            m_step = Step::RangeFrom;
        else if (step == Step::Dot1 && c == u'.')
            m_step = Step::Dot2;
        else if (step == Step::Dot2 && c == u'.')
            m_step = Step::RangeTo;
        else if (step == Step::Close && c == u']')
            m_step = Step::Colon;
        else if (step == Step::Colon && c == u':')
            m_step = Step::Values;
        else if (step == Step::Values && c == u';' && !m_entry.values.empty())
            return endEntry(onEntry);
        else if (step == Step::EndSemicolon && c == u';')
            m_step = Step::Done;
        else {
            char shown[16];
            std::snprintf(shown, sizeof shown, c >= 0x21 && c < 0x7F ? "'%c'" : "U+%04X",
                          static_cast<unsigned>(c));
            return unexpected(at, shown);
        }
        (void)onHeader;
        return true;
    }

    // A number in the radix of `bits`; nothing (an error said) when it is none.
    std::optional<Parsed> number(int bits, bool mayBeNegative) {
        const std::u16string_view w = m_word;
        if (m_wordLength > kKeep) {
            fail(m_wordAt, "'" + Ascii(w) + "...' is wider than 256 bits");
            return std::nullopt;
        }
        const bool negative = !w.empty() && w[0] == u'-';
        if (negative && !mayBeNegative) {
            fail(m_wordAt, "'" + Ascii(w) + "' is negative: only DEC values may be");
            return std::nullopt;
        }
        Parsed p = ReadDigits(w, negative ? 1 : 0, std::max(bits, 0), false);
        if (p.kind == Parsed::Bad) {
            TextPosition at = m_wordAt;
            at.column += p.errorAt;
            fail(at, p.error);
            return std::nullopt;
        }
        if (negative && !p.value.zero()) {
            p.negative = true;
            p.need = p.value.minusOne().bitLength() + 1;
        }
        return p;
    }

    std::optional<std::uint64_t> address() {
        const std::optional<Parsed> p = number(m_addressBits, false);
        if (!p)
            return std::nullopt;
        if (p->value.bitLength() > 63 || p->value.limb[0] >= m_depth) {
            fail(m_wordAt, "address '" + Ascii(m_word) +
                               "' is past the last of DEPTH = " + std::to_string(m_depth));
            return std::nullopt;
        }
        return p->value.limb[0];
    }

    template <class OnHeader, class OnEntry> bool word(OnHeader& onHeader, OnEntry& onEntry) {
        const std::u16string_view w = m_word;
        switch (m_step) {
        case Step::Key: {
            const std::string key = upper(w);
            m_key = key;
            m_keyAt = m_wordAt;
            if (key == "CONTENT") {
                if (m_width == 0 || m_depth == 0)
                    return fail(m_wordAt, std::string("CONTENT comes before ") +
                                              (m_width == 0 ? "WIDTH" : "DEPTH") +
                                              ", which the file must state first");
                m_contentAt = m_wordAt;
                m_step = Step::Begin;
                return true;
            }
            if (key != "WIDTH" && key != "DEPTH" && key != "ADDRESS_RADIX" && key != "DATA_RADIX")
                return unexpected(m_wordAt, "'" + Ascii(w) + "'");
            m_step = Step::Equals;
            return true;
        }
        case Step::Value: {
            m_step = Step::Semicolon;
            if (m_key == "ADDRESS_RADIX" || m_key == "DATA_RADIX") {
                const int bits = radixBits(upper(w));
                if (bits == -1)
                    return fail(m_wordAt, m_key + " = " + Ascii(w) +
                                              ": a MIF radix is BIN, HEX, OCT, DEC or UNS");
                if (m_key == "ADDRESS_RADIX")
                    m_addressBits = bits == -2 ? 0 : bits;
                else
                    m_dataBits = bits;
                return true;
            }
            const std::optional<Parsed> p = number(0, false);
            if (!p)
                return false;
            const std::uint64_t most =
                m_key == "WIDTH" ? std::uint64_t{kMaxWidthBits} : std::uint64_t{kMaxDigitCount};
            if (p->value.bitLength() > 63 || p->value.limb[0] == 0 || p->value.limb[0] > most)
                return fail(m_wordAt, m_key + " = " + Ascii(w) + ": " + m_key + " is 1 to " +
                                          std::to_string(most));
            if (m_key == "WIDTH") {
                m_width = static_cast<int>(p->value.limb[0]);
                m_widthAt = m_keyAt;
            } else {
                m_depth = p->value.limb[0];
                m_depthAt = m_keyAt;
            }
            return true;
        }
        case Step::Begin:
            if (upper(w) != "BEGIN")
                return unexpected(m_wordAt, "'" + Ascii(w) + "'");
            m_step = Step::Entry;
            return onHeader();
        case Step::Entry: {
            if (upper(w) == "END") {
                m_step = Step::EndSemicolon;
                return true;
            }
            const std::optional<std::uint64_t> a = address();
            if (!a)
                return false;
            m_entry.start(*a, m_wordAt, false);
            m_step = Step::Colon;
            return true;
        }
        case Step::RangeFrom: {
            const std::optional<std::uint64_t> a = address();
            if (!a)
                return false;
            m_entry.start(*a, m_wordAt, true);
            m_step = Step::Dot1;
            return true;
        }
        case Step::RangeTo: {
            const std::optional<std::uint64_t> a = address();
            if (!a)
                return false;
            if (*a < m_entry.from)
                return fail(m_wordAt, "the range ends below where it starts");
            m_entry.to = *a;
            m_step = Step::Close;
            return true;
        }
        case Step::Values: {
            const std::optional<Parsed> p = number(m_dataBits, m_dataBits == -2);
            if (!p)
                return false;
            if (p->need > m_width)
                return fail(m_wordAt, "the value '" + Ascii(w) +
                                          "' is wider than WIDTH = " + std::to_string(m_width));
            if (!m_entry.range && m_entry.from + m_entry.values.size() >= m_depth)
                return fail(m_wordAt, "the value '" + Ascii(w) +
                                          "' falls past the last address "
                                          "of DEPTH = " +
                                          std::to_string(m_depth));
            m_entry.values.push_back(*p);
            m_entry.valuesAt.push_back(m_wordAt);
            m_entry.texts += w;
            m_entry.ends.push_back(m_entry.texts.size());
            return true;
        }
        default:
            return unexpected(m_wordAt, "'" + Ascii(w) + "'");
        }
        (void)onEntry;
    }

    template <class OnEntry> bool endEntry(OnEntry& onEntry) {
        if (!m_entry.range)
            m_entry.to = m_entry.from + m_entry.values.size() - 1;
        else if (m_entry.values.size() - 1 > m_entry.to - m_entry.from) // would be lost
            return fail(m_entry.valuesAt[m_entry.to - m_entry.from + 1],
                        "the range has " + std::to_string(m_entry.to - m_entry.from + 1) +
                            " addresses, fewer than its " + std::to_string(m_entry.values.size()) +
                            " values");
        m_step = Step::Entry;
        return onEntry(static_cast<const Entry&>(m_entry));
    }

    text::TextDecoder m_decoder;
    std::u16string m_text;
    State m_state = State::Blank;
    Step m_step = Step::Key;
    std::uint64_t m_line = 1;
    std::uint64_t m_column = 0;
    bool m_afterCr = false;
    std::u16string m_word;
    std::uint64_t m_wordLength = 0;
    TextPosition m_wordAt;
    TextPosition m_dashAt;
    TextPosition m_lastAt;
    std::string m_key;
    TextPosition m_keyAt;
    TextPosition m_widthAt;
    TextPosition m_depthAt;
    TextPosition m_contentAt;
    int m_width = 0;
    std::uint64_t m_depth = 0;
    int m_addressBits = 4;
    int m_dataBits = 4;
    Entry m_entry;
    std::optional<Diagnostic> m_error;
};

MifSource::MifSource(ByteReader& reader, text::TextEncoding encoding, RadixMode radix,
                     int widthBits, std::uint64_t fill, std::optional<std::int64_t> depth)
    : m_reader(reader), m_encoding(encoding), m_radix(radix), m_widthBits(widthBits), m_fill(fill),
      m_depthGiven(depth) {}

MifSource::~MifSource() = default;

template <class OnEntry, class OnPlain>
bool MifSource::parse(const GoOn& goOn, OnEntry&& onEntry, OnPlain&& onPlain) {
    Parser parser(m_encoding);
    auto onHeader = [] { return true; };
    std::uint64_t done = 0;
    return m_reader.read([&](std::string_view piece, bool last) {
        done += piece.size();
        return parser.scan(piece, last, onHeader, onEntry, onPlain) && goOn(done);
    });
}

bool MifSource::count(Tally& tally, const GoOn& goOn) {
    m_diagnostics.clear();
    m_image.reset();
    m_given.clear();
    const int given = m_widthBits;
    Parser parser(m_encoding);
    std::size_t d = 0;
    std::string word; // one word laid out, to compare with what an address holds
    std::uint64_t twice = 0, twiceAddress = 0;
    TextPosition twiceAt;
    auto onHeader = [&] {
        const int width = parser.width();
        if (given > 0 && given != width)
            return parser.fail(parser.widthAt(), "the file's WIDTH is " + std::to_string(width) +
                                                     ", -w " + std::to_string(given) +
                                                     ": leave -w out, the file states its width");
        m_widthBits = width;
        m_depth = parser.depth();
        if (m_depthGiven && static_cast<std::uint64_t>(*m_depthGiven) != m_depth)
            return parser.fail(parser.depthAt(),
                               "the file's DEPTH is " + std::to_string(m_depth) + ", --depth " +
                                   std::to_string(*m_depthGiven) +
                                   ": leave --depth out, the file states its depth");
        d = static_cast<std::size_t>(DigitsPerWord(m_radix, width));
        m_digitsPerWord = d;
        if (m_depth > kImageLimit / d)
            return parser.fail(parser.contentAt(), "DEPTH = " + std::to_string(m_depth) +
                                                       " words of " + std::to_string(d) +
                                                       " digits pass the 256 MiB held at most");
        Parsed fill;
        fill.value.limb[0] = m_fill;
        if (fill.value.bitLength() > width)
            return parser.fail(parser.widthAt(), "the fill is wider than the file's WIDTH = " +
                                                     std::to_string(width));
        m_image = std::make_unique_for_overwrite<char[]>(m_depth * d);
        LayValue(m_image.get(), fill, {}, m_radix, width, d);
        for (std::uint64_t a = 1; a < m_depth; ++a)
            std::memcpy(m_image.get() + a * d, m_image.get(), d);
        m_given.assign(m_depth, 0);
        word.resize(d);
        return true;
    };
    auto onEntry = [&](const Entry& e) {
        const std::size_t n = e.values.size();
        for (std::uint64_t a = e.from, i = 0; a <= e.to; ++a, i = i + 1 == n ? 0 : i + 1) {
            const Parsed& p = e.values[i];
            const std::u16string_view text = e.text(i);
            char* const at = m_image.get() + a * d;
            if (m_given[a]) {
                LayValue(word.data(), p, text, m_radix, m_widthBits, d);
                if (std::memcmp(word.data(), at, d) != 0 && twice++ == 0) {
                    twiceAddress = a;
                    twiceAt = e.range ? e.at : e.valuesAt[i];
                }
                std::memcpy(at, word.data(), d);
            } else {
                LayValue(at, p, text, m_radix, m_widthBits, d);
                m_given[a] = 1;
            }
        }
        return true;
    };
    // A plain entry's value, in the radix of its digits: the output's laid as written, the
    // other through its number. Anything that needs a word said of it goes the long way.
    auto onPlain = [&](std::uint64_t address, std::string_view digits, int bits,
                       const TextPosition&) {
        if (address >= m_depth || m_given[address])
            return false;
        while (digits.size() > 1 && digits[0] == '0')
            digits.remove_prefix(1);
        char* const at = m_image.get() + address * d;
        if (bits == BitsPerDigit(m_radix)) {
            if (digits.size() > d ||
                (digits.size() == d && DigitValue(static_cast<unsigned char>(digits[0])) >
                                           TopDigitMost(m_radix, m_widthBits)))
                return false;
            std::memset(at, '0', d - digits.size());
            std::memcpy(at + d - digits.size(), digits.data(), digits.size());
        } else {
            const std::u16string text(digits.begin(), digits.end());
            const Parsed p = ReadDigits(text, 0, bits, false);
            if (p.kind == Parsed::Bad || p.need > m_widthBits)
                return false;
            LayValue(at, p, text, m_radix, m_widthBits, d);
        }
        m_given[address] = 1;
        return true;
    };
    std::uint64_t done = 0;
    const bool read = m_reader.read([&](std::string_view piece, bool last) {
        done += piece.size();
        return parser.scan(piece, last, onHeader, onEntry, onPlain) && goOn(done);
    });
    if (parser.error()) {
        m_diagnostics.push_back(*parser.error());
        return false;
    }
    if (!read)
        return false;
    if (twice > 0) {
        // The earlier place is found only now, by reading again: the first pass keeps none.
        std::optional<TextPosition> first;
        parse([](std::uint64_t) { return true; },
              [&](const Entry& e) {
                  if (!first && e.from <= twiceAddress && twiceAddress <= e.to)
                      first = e.range ? e.at : e.valuesAt[twiceAddress - e.from];
                  return !first;
              },
              [&](std::uint64_t address, std::string_view, int, const TextPosition& at) {
                  if (!first && address == twiceAddress)
                      first = at;
                  return !first;
              });
        std::string text = "address " + std::to_string(twiceAddress) + " is given another value" +
                           (first ? " than at " + placeText(*first) : std::string()) +
                           ": the later wins";
        if (twice > 1)
            text += " (" + std::to_string(twice) + " addresses given twice)";
        m_diagnostics.push_back(finding(twiceAt, std::move(text), Diagnostic::Severity::Warning));
    }
    warnOfGaps();
    tally.add(m_depth * d);
    return true;
}

void MifSource::warnOfGaps() {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    std::uint64_t ungiven = 0, count = 0;
    for (std::uint64_t a = 0; a < m_depth;) {
        if (m_given[a]) {
            ++a;
            continue;
        }
        std::uint64_t b = a;
        while (b + 1 < m_depth && !m_given[b + 1])
            ++b;
        ++count;
        ungiven += b - a + 1;
        if (ranges.size() < kRangesNamed)
            ranges.emplace_back(a, b);
        a = b + 1;
    }
    if (count == 0)
        return;
    std::string text = ungiven == 1 ? "address " : "addresses ";
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        if (i > 0)
            text += i + 1 == ranges.size() && count == ranges.size() ? " and " : ", ";
        text += std::to_string(ranges[i].first);
        if (ranges[i].second > ranges[i].first)
            text += " to " + std::to_string(ranges[i].second);
    }
    if (count > ranges.size())
        text += " and " + std::to_string(count - ranges.size()) +
                (count - ranges.size() == 1 ? " more range" : " more ranges");
    char fill[32];
    std::snprintf(fill, sizeof fill, "0x%llx", static_cast<unsigned long long>(m_fill));
    text += std::string(ungiven == 1 ? " is" : " are") +
            " given no value: " + (ungiven == 1 ? "it holds " : "they hold ") +
            (m_fill == 0 ? "0" : fill) + " (" + std::to_string(ungiven) +
            (ungiven == 1 ? " word" : " words") + " in all)";
    m_diagnostics.push_back(finding(std::nullopt, std::move(text), Diagnostic::Severity::Warning));
}

bool MifSource::copy(DigitSink& writer, const GoOn& goOn) {
    constexpr std::uint64_t kChunk = std::uint64_t{1} << 16;
    const std::uint64_t total = m_depth * m_digitsPerWord;
    for (std::uint64_t at = 0; at < total; at += kChunk) {
        writer.addDigits(std::string_view(m_image.get() + at,
                                          static_cast<std::size_t>(std::min(kChunk, total - at))));
        if (!goOn(at))
            return true;
    }
    return true;
}

} // namespace tarnwick
