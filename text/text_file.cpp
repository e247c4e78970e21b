#include "text_file.h"

#include "ascii.h"
#include "line_ends.h"
#include "text_decoder.h"

#include <cstring>
#include <new>
#include <optional>

namespace tarnwick::text {

bool AsciiWidener::feed(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    if (m_afterCr && n > 0) {
        m_afterCr = false;
        if (p[0] == '\n')
            i = 1; // the LF of a CR LF split between pieces
    }
    char16_t* const out = m_out;
    std::size_t used = m_used;
    while (i < n) {
        // A run that ends no line: no CR, LF or other byte below 14, nothing beyond ASCII.
        const std::size_t run = AsciiRun(bytes.data() + i, n - i, '\r' + 1);
        WidenAscii(bytes.data() + i, run, out + used);
        used += run;
        i += run;
        if (i == n)
            break;
        const unsigned char b = p[i++];
        if (b >= 0x80) {
            m_used = used;
            return false;
        }
        if (b != '\r' && b != '\n') {
            m_containsNul |= b == 0;
            out[used++] = b;
            continue;
        }
        m_longest = std::max(m_longest, used - m_lineStart);
        if (b == '\r') {
            if (i == n)
                m_afterCr = true;
            else if (p[i] == '\n')
                ++i; // CR LF stays one line end
        }
        out[used++] = u'\r';
        out[used++] = u'\n';
        m_lineStart = used;
    }
    m_used = used;
    return true;
}

TextFileRead ReadTextFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                          const std::function<char16_t*(std::size_t)>& room) {
    TextFileRead result;
    // Anything but a plain ASCII file of known size is read whole and decoded.
    std::optional<AsciiWidener> widener;
    const bool widened = platform::ReadRegularFile(
        path, maxBytes, kTextFilePiece,
        [&](std::uint64_t size) { widener.emplace(room(2 * static_cast<std::size_t>(size))); },
        [&](std::string_view bytes) { return widener->feed(bytes); });
    if (!widened) {
        platform::ReadResult whole = platform::ReadWholeFile(path, maxBytes);
        result.status = whole.status;
        result.error = std::move(whole.error);
        result.bytes = std::move(whole.bytes);
        return result;
    }
    result.widened = true;
    result.length = widener->size();
    result.longest = widener->longestLine();
    result.containsNul = widener->containsNul();
    return result;
}

LoadedText LoadTextFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                        const std::function<char16_t*(std::size_t)>& room) {
    LoadedText loaded;
    TextFileRead read = ReadTextFile(path, maxBytes, room);
    loaded.status = read.status;
    loaded.error = std::move(read.error);
    if (read.status != platform::ReadResult::Status::Ok)
        return loaded;
    if (read.widened) {
        loaded.length = read.length;
        loaded.plain = !read.containsNul;
        return loaded;
    }
    std::u16string text = NormaliseLineEnds(DecodeText(read.bytes));
    read.bytes = {};
    char16_t* const to = room(text.size());
    std::memcpy(to, text.data(), text.size() * sizeof(char16_t));
    loaded.length = text.size();
    return loaded;
}

} // namespace tarnwick::text
