#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace tarnwick::platform {

/// Converts UTF-16 text to code page 936 (GBK) bytes. Never fails: a character that the
/// code page lacks, and a lone surrogate, become '?'. ASCII passes through a fast path, and
/// the iconv descriptor is opened only when non-ASCII text first appears, then reused.
class Cp936Encoder {
public:
    Cp936Encoder() = default;
    ~Cp936Encoder();
    Cp936Encoder(const Cp936Encoder&) = delete;
    Cp936Encoder& operator=(const Cp936Encoder&) = delete;

    /// Appends the encoding of `text` to `out`.
    void append(std::u16string_view text, std::string& out);

private:
    void appendNonAscii(std::u16string_view run, std::string& out);

    iconv_t m_cd = reinterpret_cast<iconv_t>(-1);
};

/// Encodes `text` as CP936 bytes (see Cp936Encoder).
std::string EncodeCp936(std::u16string_view text);

/// Decodes CP936 bytes to UTF-16. Never fails: each invalid or truncated sequence becomes
/// one U+FFFD, NUL bytes become U+0000, and nothing else is added or dropped (no byte-order
/// mark handling, no line-end conversion).
std::u16string DecodeCp936(std::string_view bytes);

/// Decodes text in the named iconv character set to UTF-16, with U+FFFD for what does not
/// decode. Used for locale-encoded texts such as formatted dates.
std::u16string DecodeCharset(std::string_view bytes, const char* charset);

} // namespace tarnwick::platform
