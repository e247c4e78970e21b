#include "cp936.h"

#include "file_io.h"

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace tarnwick::platform {

static_assert(std::endian::native == std::endian::little,
              "the iconv calls below name UTF-16LE for char16_t buffers");

namespace {

constexpr char16_t kReplacement = u'\uFFFD';
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// A byte below 0x40 is neither a lead nor a trail byte in GBK, so it always starts a
// character of its own: a safe place to end a run handed to iconv.
bool isCharBoundary(unsigned char b) {
    return b < 0x40;
}

// Bytes of one invalid sequence starting at `p`: a lead byte swallows a non-ASCII trail;
// an ASCII byte after it is decoded again on its own.
std::size_t invalidSequenceLength(std::string_view bytes, std::size_t p) {
    const auto lead = static_cast<unsigned char>(bytes[p]);
    if (lead >= 0x81 && lead <= 0xFE && p + 1 < bytes.size()) {
        const auto trail = static_cast<unsigned char>(bytes[p + 1]);
        if (trail >= 0x80 && trail <= 0xFE)
            return 2;
    }
    return 1;
}

// Decodes bytes[begin, end) with `cd`, appending at out[pos]; returns the new pos.
// `out` has room for one code unit per input byte.
std::size_t decodeRun(iconv_t cd, std::string_view bytes, std::size_t begin, std::size_t end,
                      std::u16string& out, std::size_t pos) {
    std::size_t p = begin;
    while (p < end) {
        char* in = const_cast<char*>(bytes.data() + p);
        std::size_t inLeft = end - p;
        char* outPtr = reinterpret_cast<char*>(out.data() + pos);
        std::size_t outLeft = (out.size() - pos) * sizeof(char16_t);
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        pos = static_cast<std::size_t>(reinterpret_cast<char16_t*>(outPtr) - out.data());
        p = static_cast<std::size_t>(in - bytes.data());
        if (rc != static_cast<std::size_t>(-1))
            break;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (err == EINVAL) { // truncated sequence at the end of the run
            out[pos++] = kReplacement;
            p = end;
        } else if (err == EILSEQ) {
            out[pos++] = kReplacement;
            p += invalidSequenceLength(bytes, p);
        } else { // E2BIG cannot happen with one unit per byte; never loop on it
            out[pos++] = kReplacement;
            ++p;
        }
    }
    return pos;
}

} // namespace

Cp936Encoder::~Cp936Encoder() {
    if (m_cd != kNoConverter)
        iconv_close(m_cd);
}

void Cp936Encoder::append(std::u16string_view text, std::string& out) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        std::size_t j = i;
        while (j < n && text[j] < 0x80)
            ++j;
        if (j > i) {
            const std::size_t base = out.size();
            out.resize(base + (j - i));
            for (std::size_t k = i; k < j; ++k)
                out[base + (k - i)] = static_cast<char>(text[k]);
        }
        i = j;
        while (j < n && text[j] >= 0x80)
            ++j;
        if (j > i)
            appendNonAscii(text.substr(i, j - i), out);
        i = j;
    }
}

void Cp936Encoder::appendNonAscii(std::u16string_view run, std::string& out) {
    if (m_cd == kNoConverter)
        m_cd = iconv_open("CP936", "UTF-16LE");
    if (m_cd == kNoConverter) { // no converter on this system: keep the promise of '?'
        out.append(run.size(), '?');
        return;
    }
    std::size_t i = 0;
    while (i < run.size()) {
        const std::size_t base = out.size();
        out.resize(base + 2 * (run.size() - i)); // at most two bytes per code unit
        char* in = reinterpret_cast<char*>(const_cast<char16_t*>(run.data() + i));
        std::size_t inLeft = (run.size() - i) * sizeof(char16_t);
        char* outPtr = out.data() + base;
        std::size_t outLeft = out.size() - base;
        const std::size_t rc = iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
        out.resize(static_cast<std::size_t>(outPtr - out.data()));
        i = run.size() - inLeft / sizeof(char16_t);
        if (rc != static_cast<std::size_t>(-1))
            break;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        out.push_back('?');
        // An unmappable surrogate pair is one character: one '?' for both halves.
        const bool pair =
            i + 1 < run.size() && isHighSurrogate(run[i]) && isLowSurrogate(run[i + 1]);
        i += pair ? 2 : 1;
    }
}

std::string EncodeCp936(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    Cp936Encoder encoder;
    encoder.append(text, out);
    return out;
}

std::u16string DecodeCp936(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    AdviseHugePages(out.data(), bytes.size() * sizeof(char16_t));
    out.resize(bytes.size());
    iconv_t cd = kNoConverter;
    std::size_t pos = 0;
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        // ASCII fast path, eight bytes at a time while no high bit is set.
        while (i + 8 <= n) {
            std::uint64_t block;
            std::memcpy(&block, bytes.data() + i, 8);
            if (block & 0x8080808080808080ull)
                break;
            for (int k = 0; k < 8; ++k)
                out[pos + k] = static_cast<char16_t>(static_cast<unsigned char>(bytes[i + k]));
            pos += 8;
            i += 8;
        }
        while (i < n && static_cast<unsigned char>(bytes[i]) < 0x80)
            out[pos++] = static_cast<char16_t>(bytes[i++]);
        if (i == n)
            break;
        std::size_t end = i + 1;
        while (end < n && !isCharBoundary(static_cast<unsigned char>(bytes[end])))
            ++end;
        if (cd == kNoConverter)
            cd = iconv_open("UTF-16LE", "CP936");
        if (cd == kNoConverter) {
            for (; i < end; ++i)
                out[pos++] = kReplacement;
            continue;
        }
        pos = decodeRun(cd, bytes, i, end, out, pos);
        i = end;
    }
    if (cd != kNoConverter)
        iconv_close(cd);
    out.resize(pos);
    return out;
}

std::u16string DecodeCharset(std::string_view bytes, const char* charset) {
    std::u16string out(bytes.size(), u'\0');
    iconv_t cd = iconv_open("UTF-16LE", charset);
    if (cd == kNoConverter) {
        std::size_t pos = 0;
        for (char c : bytes)
            out[pos++] =
                static_cast<unsigned char>(c) < 0x80 ? static_cast<char16_t>(c) : kReplacement;
        return out;
    }
    out.resize(decodeRun(cd, bytes, 0, bytes.size(), out, 0));
    iconv_close(cd);
    return out;
}

} // namespace tarnwick::platform
