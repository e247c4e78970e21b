#pragma once

// Code page 936 both ways, through each system's own converter: ICU (icu/) where it is, the
// code page functions on Windows (windows/). Both give the same text for the same bytes,
// invalid bytes included. UTF-8 and UTF-16 need no system: text/unicode.h decodes them.

#include <memory>
#include <string>
#include <string_view>

namespace tarnwick::platform {

/// Decodes a character set to UTF-16, fed in pieces of any size: a character split between
/// pieces decodes as if it had come whole. Never fails: each maximal invalid sequence becomes
/// one U+FFFD (a code page 936 lead byte with a byte that cannot trail it is one, and that
/// byte is decoded on its own; a lone surrogate is one), and a character cut short by the
/// end of the last piece is one U+FFFD.
class CharsetDecoder {
public:
    virtual ~CharsetDecoder() = default;
    /// Appends the text of `bytes` to `out`; with `flush`, also what was held from before.
    virtual void decode(std::string_view bytes, bool flush, std::u16string& out) = 0;
    /// True when nothing is held from an earlier piece.
    virtual bool idle() const = 0;
};

/// A decoder for code page 936 as Windows has it; never null.
std::unique_ptr<CharsetDecoder> OpenCp936Decoder();

/// Encodes UTF-16 text as code page 936. Never fails: a character that the code page lacks,
/// and a lone surrogate, become '?'.
class Cp936Encoding {
public:
    virtual ~Cp936Encoding() = default;
    /// Appends the bytes of `text` to `out`.
    virtual void encode(std::u16string_view text, std::string& out) = 0;
};

/// An encoder to code page 936; never null.
std::unique_ptr<Cp936Encoding> OpenCp936Encoding();

} // namespace tarnwick::platform
