#pragma once

#include "platform/charset.h"

#include <memory>
#include <string>
#include <string_view>

namespace tarnwick::text {

// Code page 936 exactly as Windows has it, with the user-defined and other private-use
// pairs, 0x80 as the euro sign and 0xFF as U+F8F5. ASCII takes a fast path in both
// directions; the system's converter (charset.h) sees only the rest.

/// Converts UTF-16 text to code page 936 bytes. Never fails: a character that the code
/// page lacks, and a lone surrogate, become '?'. The converter is opened only when
/// non-ASCII text first appears, then reused.
class Cp936Encoder {
public:
    /// Appends the encoding of `text` to `out`.
    void append(std::u16string_view text, std::string& out);

private:
    void appendNonAscii(std::u16string_view run, std::string& out);

    std::unique_ptr<platform::Cp936Encoding> m_encoding;
};

/// Decodes code page 936 bytes to UTF-16, fed in pieces of any size: a byte pair split
/// between two pieces decodes as if it had come whole. Never fails: a lead byte followed by
/// a byte that cannot trail it becomes one U+FFFD and that byte is decoded on its own; a
/// lead byte at the very end becomes U+FFFD; NUL stays U+0000. No byte-order mark handling
/// and no line-end conversion.
class Cp936Decoder {
public:
    /// Appends the text of `bytes` to `out`; with `last`, also what a lead byte left
    /// waiting at the end becomes.
    void decode(std::string_view bytes, std::u16string& out, bool last);

    /// True while a lead byte waits for its trail byte.
    bool pending() const { return m_pending; }

private:
    void decodeNonAscii(std::string_view bytes, bool flush, std::u16string& out);

    std::unique_ptr<platform::CharsetDecoder> m_converter; ///< opened at the first non-ASCII byte
    bool m_pending = false; ///< the converter holds a lead byte from the previous piece
};

/// Encodes `text` as code page 936 bytes (see Cp936Encoder).
std::string EncodeCp936(std::u16string_view text);

} // namespace tarnwick::text
