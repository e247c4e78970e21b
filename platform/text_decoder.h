#pragma once

#include "cp936.h"
#include "file_io.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct UConverter;

namespace tarnwick::platform {

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
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    /// Appends the text of `bytes` to `out`; with `last`, also what a split character left
    /// waiting at the end becomes.
    void decode(std::string_view bytes, std::u16string& out, bool last);

    /// The encoding in use: Auto until the bytes have decided it.
    TextEncoding encoding() const { return m_encoding; }

    /// True when the next bytes, if ASCII, decode as themselves with nothing held from
    /// before: a caller may then take ASCII bytes as text without decoding them. Never true
    /// before the first bytes have shown whether a byte-order mark is there.
    bool asciiPassesThrough() const;

private:
    void decodeDecided(std::string_view bytes, std::u16string& out, bool last);

    TextEncoding m_encoding;
    bool m_markChecked = false;
    std::string m_head; ///< the first bytes, held until they show whether a mark is there
    Cp936Decoder m_cp936;
    UConverter* m_converter = nullptr;
};

/// Decodes a whole text file (see TextDecoder).
std::u16string DecodeText(std::string_view bytes, TextEncoding encoding = TextEncoding::Auto);

/// Widens an ASCII file to UTF-16 piece by piece, making every line end CR LF on the way:
/// what DecodeText and NormaliseLineEnds give, in one pass and without a string to fill
/// first. A CR that ends one piece and an LF that starts the next stay one line end.
class AsciiWidener {
public:
    /// `out` needs room for twice the bytes fed (a file of bare LFs doubles).
    explicit AsciiWidener(char16_t* out) : m_out(out) {}
    /// Widens `bytes`; false at the first byte that is not ASCII (the file then needs
    /// decoding, and what was widened is of no use).
    bool feed(std::string_view bytes);
    std::size_t size() const { return m_used; }
    /// The longest line so far, the one still open included, in UTF-16 code units.
    std::size_t longestLine() const { return std::max(m_longest, m_used - m_lineStart); }
    /// Whether a NUL was fed: the one ASCII character a text box cannot hold as itself.
    bool containsNul() const { return m_containsNul; }

private:
    char16_t* m_out;
    std::size_t m_used = 0;
    std::size_t m_lineStart = 0;
    std::size_t m_longest = 0;
    bool m_afterCr = false; ///< the last byte fed was a CR, already written as CR LF
    bool m_containsNul = false;
};

/// How ReadTextFile found a file.
struct TextFileRead {
    ReadResult::Status status = ReadResult::Status::Ok;
    IoError error;            ///< set unless Ok, as ReadWholeFile sets it
    bool widened = false;     ///< Ok and all ASCII: the text is in the room, `length` long
    std::size_t length = 0;   ///< UTF-16 code units written into the room
    std::size_t longest = 0;  ///< the longest line among them
    bool containsNul = false; ///< whether a NUL is among them
    std::string bytes;        ///< Ok but not widened: the file's bytes, to be decoded
};

/// Reads a text file as Open needs it, with ReadWholeFile's checks and limits. A regular
/// file that is all ASCII is read in pieces and widened straight into the room `room(n)`
/// returns (n code units), so its bytes are never held whole; anything else (another
/// encoding, a device, a file that grew while read) comes back as bytes.
TextFileRead ReadTextFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                          const std::function<char16_t*(std::size_t)>& room);

/// The piece ReadTextFile reads at a time, in bytes.
inline constexpr std::size_t kTextFilePiece = std::size_t{256} << 10;

/// Whether `bytes` is valid UTF-8; with `mayBeCut`, a sequence cut short by the end counts
/// as valid, since the rest may follow in the next piece.
bool IsValidUtf8(std::string_view bytes, bool mayBeCut);

} // namespace tarnwick::platform
