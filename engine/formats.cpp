#include "formats.h"

#include "binary_source.h"
#include "coe_writer.h"
#include "digits_source.h"
#include "mem_writer.h"
#include "mif_writer.h"
#include "readmem.h"

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

// clang-format off
const InputFormatRow kInputFormats[] = {
    {InputFormat::Digits, "digits", "", "digits among delimiters (the window's rule)",
     "no digits, only delimiters", false, false,
     [](ByteReader& reader, const ReaderOptions& o) -> std::unique_ptr<DigitSource> {
         return std::make_unique<DigitsSource>(reader, o.encoding);
     }},
    {InputFormat::Readmem, "readmem", "", "a $readmemh/$readmemb file: words, @ADDR",
     "no words, only comments", true, false,
     [](ByteReader& reader, const ReaderOptions& o) -> std::unique_ptr<DigitSource> {
         return std::make_unique<ReadmemSource>(reader, o.encoding, o.radix, o.widthBits,
                                                o.unknownAsZero);
     }},
    {InputFormat::Binary, "binary", "binary-input", "raw bytes, each two hexadecimal digits",
     "no digits, only delimiters", false, true,
     [](ByteReader& reader, const ReaderOptions&) -> std::unique_ptr<DigitSource> {
         return std::make_unique<BinarySource>(reader);
     }},
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

const OutputFormatRow* FindOutputFormat(std::string_view name) {
    return find(OutputFormats(), name);
}

} // namespace tarnwick
