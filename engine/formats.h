#pragma once

// The formats, one row each: a reader (--from) is a DigitSource class, a writer (--to) a
// WordWriter class. Everything that lists or picks formats (the command line's options, its
// help, the default output name, Convert's choice of one pass or two) reads these tables,
// so a new format is its class, its row and its tests.

#include "convert.h"
#include "digits.h"
#include "source.h"
#include "word_writer.h"

#include "platform/byte_sink.h"
#include "platform/clock.h"
#include "text/text_decoder.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

/// The input formats a file can be read in.
enum class InputFormat {
    Digits,  ///< digits among delimiters, as the window takes them (DigitsSource)
    Readmem, ///< a $readmemh / $readmemb file: words, comments, @ addresses (ReadmemSource)
    Values,  ///< numbers as programs write them, one word each (ValuesSource)
    Mif,     ///< a memory initialisation file's entries (MifSource)
    Coe,     ///< a coefficient file's vector (CoeSource)
    Binary,  ///< raw bytes, two hexadecimal digits each (BinarySource)
    Elf,     ///< an ELF file's sections that load into memory (ElfSource)
    Ihex,    ///< an Intel HEX file (IhexSource)
    Srec,    ///< a Motorola S-record file (SrecSource)
};

/// What a reader is made with.
struct ReaderOptions {
    text::TextEncoding encoding = text::TextEncoding::Auto;
    RadixMode radix = RadixMode::Hexadecimal;
    int widthBits = 0;          ///< the width asked for; 0 where the input may set it
    bool unknownAsZero = false; ///< x, z and ? digits (readmem) read as 0, not refused
    /// The input address of the memory's first word, in the input's address units.
    std::optional<std::uint64_t> base;
    std::uint64_t fill = 0; ///< what addresses the input gives nothing hold: one input word
    /// The depth asked for, where the input states its own (a MIF file): they must agree.
    std::optional<std::int64_t> depth;
};

struct InputFormatRow {
    InputFormat format;
    std::string_view name;    ///< as --from takes it
    std::string_view alias;   ///< a flag of its own (--binary-input), or empty
    std::string_view help;    ///< one line for --help, at most 44 characters
    std::string_view nothing; ///< what an input with nothing to convert holds instead
    bool widthFromInput;      ///< without -w the width is the input's (widthBits())
    bool wholeBytes;          ///< an image of bytes: hex radix, words packed from bytes
    std::unique_ptr<DigitSource> (*make)(ByteReader& reader, const ReaderOptions& options);
    /// Whether the start of a file (its first piece) plainly is of this format, for the hint
    /// an error ends with when the file was given to another reader; null: never plain.
    bool (*looksLike)(std::string_view head);
};

struct OutputFormatRow {
    OutputFormat format;
    std::string_view name;      ///< as --to takes it
    std::string_view extension; ///< of the default output name
    std::string_view help;      ///< one line for --help, at most 44 characters
    /// The header states the depth, which only the count knows unless it is padded to: the
    /// words cannot be written while they are counted.
    bool statesDepth;
    std::unique_ptr<WordWriter> (*make)(platform::ByteSink& sink, RadixMode radix,
                                        const WordLayout& layout, const platform::Clock& clock,
                                        std::int32_t paddedDepth);
};

/// Every reader, the default first.
std::span<const InputFormatRow> InputFormats();
/// Every writer, the default first.
std::span<const OutputFormatRow> OutputFormats();

const InputFormatRow& RowOf(InputFormat format);
const OutputFormatRow& RowOf(OutputFormat format);
/// The row of that name, or null.
const InputFormatRow* FindInputFormat(std::string_view name);
const OutputFormatRow* FindOutputFormat(std::string_view name);

/// The reader that the start of a file plainly belongs to, other than `given`; or null.
const InputFormatRow* LikelyInputFormat(std::string_view head, InputFormat given);

/// The names as a sentence lists them: "mif, coe or mem".
template <class Row> std::string NamesOf(std::span<const Row> rows) {
    std::string names;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0)
            names += i + 1 == rows.size() ? " or " : ", ";
        names += rows[i].name;
    }
    return names;
}

} // namespace tarnwick
