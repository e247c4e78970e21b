#pragma once

#include "cp936.h"
#include "platform/charset.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tarnwick::text {

/// The encodings a text file may come in.
enum class TextEncoding {
    Auto,  ///< decided from the bytes (see TextDecoder)
    Cp936, ///< GBK, as Windows has it
    Utf8,
    Utf16Le, ///< as Windows tools save "Unicode"
    Utf16Be,
};

/// Decodes a text file's bytes to UTF-16, fed in pieces of any size; a character split
/// between two pieces decodes as if it had come whole. Never fails: what does not decode
/// becomes U+FFFD.
///
/// With Auto, a byte-order mark decides (EF BB BF UTF-8, FF FE UTF-16LE, FE FF UTF-16BE)
/// and is not text. Without one, ASCII bytes decode as themselves until the first piece
/// that holds a non-ASCII byte; that piece decides: UTF-8 when its non-ASCII bytes are valid
/// UTF-8, code page 936 otherwise. Given the whole file as one piece, the whole file
/// decides. A forced encoding still drops its own byte-order mark.
class TextDecoder {
public:
    explicit TextDecoder(TextEncoding encoding = TextEncoding::Auto);

    /// Appends the text of `bytes` to `out`; with `last`, also what a split character left
    /// waiting at the end becomes.
    void decode(std::string_view bytes, std::u16string& out, bool last);

    /// The encoding in use: Auto until the bytes have decided it.
    TextEncoding encoding() const { return m_encoding; }
    /// Whether the bytes began with a byte-order mark (which is not text).
    bool markFound() const { return m_markFound; }

    /// True when the next bytes, if ASCII, decode as themselves with nothing held from
    /// before: a caller may then take ASCII bytes as text without decoding them. Never true
    /// before the first bytes have shown whether a byte-order mark is there.
    bool asciiPassesThrough() const;

private:
    void decodeDecided(std::string_view bytes, std::u16string& out, bool last);

    TextEncoding m_encoding;
    bool m_markChecked = false;
    bool m_markFound = false;
    std::string m_head; ///< the first bytes, held until they show whether a mark is there
    Cp936Decoder m_cp936;
    std::unique_ptr<platform::CharsetDecoder> m_converter; ///< for UTF-8 and UTF-16
};

/// Decodes a whole text file (see TextDecoder).
std::u16string DecodeText(std::string_view bytes, TextEncoding encoding = TextEncoding::Auto);

/// Whether `bytes` is valid UTF-8; with `mayBeCut`, a sequence cut short by the end counts
/// as valid, since the rest may follow in the next piece.
bool IsValidUtf8(std::string_view bytes, bool mayBeCut);

} // namespace tarnwick::text
