#pragma once

// The one loader of text files for the window (Open, a dropped file, a file named at start)
// and its benchmark:
//   bytes -> all ASCII? widened straight into the caller's room (AsciiWidener), line ends
//            made CR LF on the way
//         -> otherwise TextDecoder (byte-order mark, UTF-8 or GBK) -> LineEndNormaliser
// so the text holds CR LF line ends, as typed text does.

#include "platform/read_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace tarnwick::text {

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
    platform::ReadResult::Status status = platform::ReadResult::Status::Ok;
    platform::IoError error;  ///< set unless Ok, as ReadWholeFile sets it
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

/// A text file as LoadTextFile left it in the caller's room.
struct LoadedText {
    platform::ReadResult::Status status = platform::ReadResult::Status::Ok;
    platform::IoError error; ///< set unless Ok, as ReadWholeFile sets it
    std::size_t length = 0;  ///< UTF-16 code units written into the room
    /// All ASCII without NUL: every character shows as itself, nothing needs checking.
    bool plain = false;
};

/// Loads a text file: ReadTextFile, then anything it could not widen decoded (TextDecoder)
/// with its line ends made CR LF. `room(n)` gives room for n code units; the room it gave
/// last holds the text, its first `length` units.
LoadedText LoadTextFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                        const std::function<char16_t*(std::size_t)>& room);

} // namespace tarnwick::text
