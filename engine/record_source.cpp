#include "record_source.h"

#include <array>
#include <cstdio>

namespace tarnwick {

namespace {

// Each byte's value as a hexadecimal digit, or -1.
const std::array<signed char, 256> kHexValues = [] {
    std::array<signed char, 256> values;
    values.fill(-1);
    for (int d = 0; d < 10; ++d)
        values['0' + d] = static_cast<signed char>(d);
    for (int d = 0; d < 6; ++d)
        values['a' + d] = values['A' + d] = static_cast<signed char>(10 + d);
    return values;
}();

int hexValue(char c) {
    return kHexValues[static_cast<unsigned char>(c)];
}

std::string hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

// A character as a message quotes it.
std::string quoted(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F)
        return std::string("'") + c + "'";
    char text[16];
    std::snprintf(text, sizeof text, "byte 0x%02X", u);
    return text;
}

// One record's line: its bytes, from the hexadecimal digits after its mark, and where each
// part stands. `error` says what is wrong with it, at `errorColumn`.
// At most 255 bytes follow a record's length (count) byte.
class RecordBytes {
public:
    void push_back(std::uint8_t b) { m_bytes[m_size++] = b; }
    bool full() const { return m_size == m_bytes.size(); }
    std::size_t size() const { return m_size; }
    const std::uint8_t* data() const { return m_bytes.data(); }
    std::uint8_t operator[](std::size_t i) const { return m_bytes[i]; }
    std::uint8_t back() const { return m_bytes[m_size - 1]; }

private:
    std::array<std::uint8_t, 262> m_bytes;
    std::size_t m_size = 0;
};

struct Record {
    RecordBytes bytes;
    std::uint64_t line = 0;
    std::size_t markColumn = 0; ///< 1-based, of ':' or 'S'
    std::size_t firstDigit = 0; ///< 1-based column of the first byte's digits
    std::string error;
    std::size_t errorColumn = 0;

    TextPosition at(std::size_t column) const { return TextPosition{line, column}; }
    TextPosition atByte(std::size_t index) const { return at(firstDigit + 2 * index); }
    unsigned sum(std::size_t from, std::size_t to) const {
        unsigned total = 0;
        for (std::size_t i = from; i < to; ++i)
            total += bytes[i];
        return total & 0xFF;
    }
};

// Blanks around a record are allowed; `text` is the line without them.
std::string_view trimmed(std::string_view line, std::size_t& lead) {
    lead = 0;
    while (lead < line.size() && (line[lead] == ' ' || line[lead] == '\t'))
        ++lead;
    std::size_t end = line.size();
    while (end > lead && (line[end - 1] == ' ' || line[end - 1] == '\t'))
        --end;
    return line.substr(lead, end - lead);
}

// Reads the digits of `text` from `from` on (0-based) into bytes.
Record readRecord(std::string_view text, std::size_t lead, std::uint64_t line, std::size_t from) {
    Record r;
    r.line = line;
    r.markColumn = lead + 1;
    r.firstDigit = lead + from + 1;
    for (std::size_t i = from; i < text.size(); i += 2) {
        const int high = hexValue(text[i]);
        if (high < 0) {
            r.error = quoted(text[i]) + " is not a hexadecimal digit";
            r.errorColumn = lead + i + 1;
            return r;
        }
        if (i + 1 == text.size()) {
            r.error = "the record ends in half a byte";
            r.errorColumn = lead + i + 1;
            return r;
        }
        const int low = hexValue(text[i + 1]);
        if (low < 0) {
            r.error = quoted(text[i + 1]) + " is not a hexadecimal digit";
            r.errorColumn = lead + i + 2;
            return r;
        }
        if (r.bytes.full()) {
            r.error = "the record is longer than any record can be";
            r.errorColumn = lead + i + 1;
            return r;
        }
        r.bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return r;
}

std::string plural(std::size_t n, const char* one) {
    return std::to_string(n) + " " + one + (n == 1 ? "" : "s");
}

} // namespace

bool IhexSource::load(const GoOn& goOn) {
    std::uint64_t upper = 0; // from the last 02 or 04 record
    bool segmented = false;  // the last was an 02 record
    std::optional<std::uint64_t> endLine;
    const bool loaded = forEachLine(goOn, [&](std::string_view line, std::uint64_t number) {
        std::size_t lead = 0;
        const std::string_view text = trimmed(line, lead);
        if (text.empty())
            return true;
        if (endLine)
            return fail(TextPosition{number, lead + 1},
                        "data after the end record (line " + std::to_string(*endLine) + ")");
        if (text[0] != ':')
            return fail(TextPosition{number, lead + 1},
                        quoted(text[0]) + " starts no record: Intel HEX records start with ':'");
        const Record r = readRecord(text, lead, number, 1);
        if (!r.error.empty())
            return fail(r.at(r.errorColumn), r.error);
        if (r.bytes.size() < 5)
            return fail(r.at(r.markColumn),
                        "the record is too short: " + plural(r.bytes.size(), "byte") +
                            ", where a record has at least 5");
        const std::size_t length = r.bytes[0];
        if (r.bytes.size() != length + 5)
            return fail(r.atByte(0), "the record's length says " + plural(length, "data byte") +
                                         ", but it holds " +
                                         plural(r.bytes.size() - 5, "data byte"));
        const std::size_t last = r.bytes.size() - 1;
        if (const unsigned need = (0x100 - r.sum(0, last)) & 0xFF; need != r.bytes[last])
            return fail(r.atByte(last), "the checksum is " + hex2(r.bytes[last]) +
                                            ", but the record's bytes need " + hex2(need));
        const unsigned type = r.bytes[3];
        const std::uint64_t offset = std::uint64_t{r.bytes[1]} << 8 | r.bytes[2];
        const std::uint64_t value = length >= 2 ? std::uint64_t{r.bytes[4]} << 8 | r.bytes[5] : 0;
        auto needLength = [&](std::size_t n, const char* what) {
            if (length == n)
                return true;
            return fail(r.atByte(0), std::string("a ") + what + " record holds " +
                                         plural(n, "data byte") + ", not " +
                                         std::to_string(length));
        };
        const std::string_view data(reinterpret_cast<const char*>(r.bytes.data()) + 4, length);
        switch (type) {
        case 0x00: {
            // Linear addresses go on past 64 KiB; a segment's offsets wrap at its end, so
            // its data goes on at its start.
            if (!segmented)
                return add(upper + offset, data, r.at(r.markColumn));
            const std::size_t before =
                static_cast<std::size_t>(std::min<std::uint64_t>(length, 0x10000 - offset));
            return add(upper + offset, data.substr(0, before), r.at(r.markColumn)) &&
                   add(upper, data.substr(before), r.at(r.markColumn));
        }
        case 0x01:
            endLine = number;
            return needLength(0, "end");
        case 0x02:
            upper = value << 4;
            segmented = true;
            return needLength(2, "segment address");
        case 0x04:
            upper = value << 16;
            segmented = false;
            return needLength(2, "linear address");
        case 0x03:
        case 0x05: // where to start running: no part of the image
            return needLength(4, "start address");
        default:
            return fail(r.atByte(3),
                        "record type " + hex2(type) + " is not one of Intel HEX's 00 to 05");
        }
    });
    if (loaded && !endLine)
        warn(std::nullopt, "the file has no end record (:00000001FF): is it cut short?");
    return loaded;
}

bool SrecSource::load(const GoOn& goOn) {
    std::uint64_t dataRecords = 0;
    std::optional<std::uint64_t> endLine;
    const bool loaded = forEachLine(goOn, [&](std::string_view line, std::uint64_t number) {
        std::size_t lead = 0;
        const std::string_view text = trimmed(line, lead);
        if (text.empty())
            return true;
        if (endLine)
            return fail(TextPosition{number, lead + 1},
                        "data after the end record (line " + std::to_string(*endLine) + ")");
        if ((text[0] | 0x20) != 's')
            return fail(TextPosition{number, lead + 1},
                        quoted(text[0]) + " starts no record: S-records start with 'S'");
        if (text.size() < 2 || text[1] < '0' || text[1] > '9' || text[1] == '4')
            return fail(TextPosition{number, lead + 2},
                        text.size() < 2 ? std::string("the record has no type")
                                        : "'S" + std::string(1, text[1]) +
                                              "' is not an S-record type: S0 to S9, but S4");
        const int type = text[1] - '0';
        const Record r = readRecord(text, lead, number, 2);
        if (!r.error.empty())
            return fail(r.at(r.errorColumn), r.error);
        static constexpr std::size_t kAddressBytes[] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
        const std::size_t addressBytes = kAddressBytes[type];
        if (r.bytes.size() < addressBytes + 2)
            return fail(r.at(r.markColumn),
                        "the record is too short: " + plural(r.bytes.size(), "byte") +
                            ", where an S" + std::to_string(type) + " record has at least " +
                            std::to_string(addressBytes + 2));
        const std::size_t count = r.bytes[0];
        if (r.bytes.size() != count + 1)
            return fail(r.atByte(0), "the record's count says " + plural(count, "byte") + ", but " +
                                         plural(r.bytes.size() - 1, "byte") + " follow it");
        const std::size_t last = r.bytes.size() - 1;
        if (const unsigned need = ~r.sum(0, last) & 0xFF; need != r.bytes[last])
            return fail(r.atByte(last), "the checksum is " + hex2(r.bytes[last]) +
                                            ", but the record's bytes need " + hex2(need));
        std::uint64_t address = 0;
        for (std::size_t i = 1; i <= addressBytes; ++i)
            address = address << 8 | r.bytes[i];
        const std::string_view data(reinterpret_cast<const char*>(r.bytes.data()) + 1 +
                                        addressBytes,
                                    last - 1 - addressBytes);
        switch (type) {
        case 1:
        case 2:
        case 3:
            ++dataRecords;
            return add(address, data, r.at(r.markColumn));
        case 5:
        case 6:
            if (address != dataRecords % (std::uint64_t{1} << (8 * addressBytes)))
                return fail(r.atByte(1), "the S" + std::to_string(type) + " record counts " +
                                             plural(address, "data record") + ", but " +
                                             std::to_string(dataRecords) + " came before it");
            return true;
        case 7:
        case 8:
        case 9:
            endLine = number;
            return true;
        default: // S0: a header, no part of the image
            return true;
        }
    });
    if (loaded && !endLine)
        warn(std::nullopt, "the file has no end record (S7, S8 or S9): is it cut short?");
    return loaded;
}

} // namespace tarnwick
