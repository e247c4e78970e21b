#include "formats.h"

#include "binary_source.h"
#include "coe_source.h"
#include "coe_writer.h"
#include "digits_source.h"
#include "elf_source.h"
#include "mem_writer.h"
#include "mif_source.h"
#include "mif_writer.h"
#include "readmem.h"
#include "record_source.h"
#include "values_source.h"

#include <algorithm>

namespace tarnwick {

namespace {

template <class Writer>
std::unique_ptr<WordWriter> makeWriter(platform::ByteSink& sink, RadixMode radix,
                                       const WordLayout& layout, const platform::Clock& clock,
                                       std::int32_t paddedDepth) {
    if constexpr (std::is_constructible_v<Writer, platform::ByteSink&, RadixMode, const WordLayout&,
                                          const platform::Clock&, std::int32_t>)
        return std::make_unique<Writer>(sink, radix, layout, clock, paddedDepth);
    else // the digits alone say the radix
        return std::make_unique<Writer>(sink, layout, clock, paddedDepth);
}

ImageOptions imageOptions(const ReaderOptions& o) {
    return ImageOptions{o.base, static_cast<std::uint8_t>(o.fill)};
}

// The first line that holds anything, without its blanks.
std::string_view firstLine(std::string_view head) {
    const std::size_t start = head.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return {};
    head.remove_prefix(start);
    return head.substr(0, std::min(head.find_first_of("\r\n"), head.size()));
}

bool allHex(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789abcdefABCDEF") == text.npos;
}

bool looksLikeIhex(std::string_view head) {
    const std::string_view line = firstLine(head);
    return line.size() >= 11 && line[0] == ':' && allHex(line.substr(1));
}

bool looksLikeSrec(std::string_view head) {
    const std::string_view line = firstLine(head);
    return line.size() >= 10 && line[0] == 'S' && line[1] >= '0' && line[1] <= '9' &&
           allHex(line.substr(2));
}

bool looksLikeElf(std::string_view head) {
    return head.substr(0, 4) == "\x7f"
                                "ELF";
}

bool looksLikeReadmem(std::string_view head) {
    // `//` or `@` at a line's start, as $writememh and objcopy write them.
    for (std::size_t at = 0; at < head.size();) {
        const std::size_t start = head.find_first_not_of(" \t", at);
        if (start == head.npos)
            break;
        if (head[start] == '@' || head.substr(start, 2) == "//")
            return true;
        at = head.find('\n', start);
        if (at == head.npos)
            break;
        ++at;
    }
    return false;
}

// Numbers among commas and braces, as a C or Python array holds them: what the digits rule
// joins unless each value has the digits of a word.
bool looksLikeValues(std::string_view head) {
    return head.find(',') != head.npos &&
           (head.find('{') != head.npos || head.find('[') != head.npos ||
            head.find("/*") != head.npos);
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return lower;
}

// Its keywords, in any case.
bool looksLikeCoe(std::string_view head) {
    return lowerCase(head).find("memory_initialization_") != std::string::npos;
}

bool looksLikeMif(std::string_view head) {
    const std::string lower = lowerCase(head);
    return lower.find("width") != lower.npos && lower.find("depth") != lower.npos &&
           lower.find("content") != lower.npos;
}

// clang-format off
const InputFormatRow kInputFormats[] = {
    {InputFormat::Digits, "digits", "", "digits among delimiters (the window's rule)",
     "no digits, only delimiters", false, false,
     [](ByteReader& reader, const ReaderOptions& o) -> std::unique_ptr<DigitSource> {
         return std::make_unique<DigitsSource>(reader, o.encoding);
     }, nullptr},
    {InputFormat::Readmem, "readmem", "", "a $readmemh/$readmemb file: words, @ADDR",
     "no words, only comments", true, false,
     [](ByteReader& reader, const ReaderOptions& o) -> std::unique_ptr<DigitSource> {
         return std::make_unique<ReadmemSource>(reader, o.encoding, o.radix, o.widthBits,
                                                o.unknownAsZero, o.base.value_or(0), o.fill);
     }, looksLikeReadmem},
    {InputFormat::Values, "values", "", "numbers as C, Python or Verilog write them",
     "no numbers, only comments and declarations", true, false,
     [](ByteReader& reader, const ReaderOptions& o) -> std::unique_ptr<DigitSource> {
         return std::make_unique<ValuesSource>(reader, o.encoding, o.radix, o.widthBits);
     }, looksLikeValues},
    {InputFormat::Mif, "mif", "", "a MIF file: its width, depth and entries",
     "no entries", true, false,
     [](ByteReader& reader, const ReaderOptions& o) -> std::unique_ptr<DigitSource> {
         return std::make_unique<MifSource>(reader, o.encoding, o.radix, o.widthBits, o.fill,
                                            o.depth);
     }, looksLikeMif},
    {InputFormat::Coe, "coe", "", "a COE file: radix and vector",
     "no values in its vector", true, false,
     [](ByteReader& reader, const ReaderOptions& o) -> std::unique_ptr<DigitSource> {
         return std::make_unique<CoeSource>(reader, o.encoding, o.radix, o.widthBits);
     }, looksLikeCoe},
    {InputFormat::Binary, "binary", "binary-input", "raw bytes, each two hexadecimal digits",
     "no digits, only delimiters", false, true,
     [](ByteReader& reader, const ReaderOptions&) -> std::unique_ptr<DigitSource> {
         return std::make_unique<BinarySource>(reader);
     }, nullptr},
    {InputFormat::Elf, "elf", "", "an ELF file: its sections that load",
     "no section that loads into memory", false, true,
     [](ByteReader& reader, const ReaderOptions& o) -> std::unique_ptr<DigitSource> {
         return std::make_unique<ElfSource>(reader, imageOptions(o));
     }, looksLikeElf},
    {InputFormat::Ihex, "ihex", "", "an Intel HEX file",
     "no data records", false, true,
     [](ByteReader& reader, const ReaderOptions& o) -> std::unique_ptr<DigitSource> {
         return std::make_unique<IhexSource>(reader, imageOptions(o));
     }, looksLikeIhex},
    {InputFormat::Srec, "srec", "", "a Motorola S-record file",
     "no data records", false, true,
     [](ByteReader& reader, const ReaderOptions& o) -> std::unique_ptr<DigitSource> {
         return std::make_unique<SrecSource>(reader, imageOptions(o));
     }, looksLikeSrec},
};

const OutputFormatRow kOutputFormats[] = {
    {OutputFormat::Mif, "mif", "mif", "a memory initialisation file (the window's)",
     true, makeWriter<MifWriter>},
    {OutputFormat::Coe, "coe", "coe", "a coefficient file, for memory generators",
     false, makeWriter<CoeWriter>},
    {OutputFormat::Mem, "mem", "mem", "one word a line, as $readmemh/b reads it",
     false, makeWriter<MemWriter>},
};
// clang-format on

template <class Row, class Format> const Row& rowOf(std::span<const Row> rows, Format format) {
    return *std::find_if(rows.begin(), rows.end(),
                         [format](const Row& row) { return row.format == format; });
}

template <class Row> const Row* find(std::span<const Row> rows, std::string_view name) {
    const auto row =
        std::find_if(rows.begin(), rows.end(), [name](const Row& r) { return r.name == name; });
    return row == rows.end() ? nullptr : &*row;
}

} // namespace

std::span<const InputFormatRow> InputFormats() {
    return kInputFormats;
}

std::span<const OutputFormatRow> OutputFormats() {
    return kOutputFormats;
}

const InputFormatRow& RowOf(InputFormat format) {
    return rowOf(InputFormats(), format);
}

const OutputFormatRow& RowOf(OutputFormat format) {
    return rowOf(OutputFormats(), format);
}

const InputFormatRow* FindInputFormat(std::string_view name) {
    return find(InputFormats(), name);
}

const InputFormatRow* LikelyInputFormat(std::string_view head, InputFormat given) {
    // The most particular first: an ELF file's bytes may hold anything after its magic.
    const std::span<const InputFormatRow> rows = InputFormats();
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        if (row->format != given && row->looksLike && row->looksLike(head))
            return &*row;
    return nullptr;
}

const OutputFormatRow* FindOutputFormat(std::string_view name) {
    return find(OutputFormats(), name);
}

} // namespace tarnwick
