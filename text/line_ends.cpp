#include "line_ends.h"

namespace tarnwick::text {

void LineEndNormaliser::feed(std::u16string_view piece, std::u16string& out) {
    std::size_t i = 0;
    if (m_heldCr && !piece.empty()) {
        m_heldCr = false;
        out += u"\r\n";
        if (piece[0] == u'\n')
            i = 1;
    }
    std::size_t run = i;
    for (; i < piece.size(); ++i) {
        const char16_t c = piece[i];
        if (c != u'\r' && c != u'\n')
            continue;
        out.append(piece.substr(run, i - run));
        if (c == u'\r') {
            if (i + 1 == piece.size()) {
                m_heldCr = true;
                return;
            }
            if (piece[i + 1] == u'\n')
                ++i;
        }
        out += u"\r\n";
        run = i + 1;
    }
    out.append(piece.substr(run));
}

void LineEndNormaliser::finish(std::u16string& out) {
    if (m_heldCr)
        out += u"\r\n";
    m_heldCr = false;
}

std::u16string NormaliseLineEnds(std::u16string text) {
    bool bare = false;
    for (std::size_t i = 0; i < text.size() && !bare; ++i)
        bare = IsBareLineEnd(text, i);
    if (!bare)
        return text;
    std::u16string out;
    out.reserve(text.size() + text.size() / 8);
    LineEndNormaliser normaliser;
    normaliser.feed(text, out);
    normaliser.finish(out);
    return out;
}

} // namespace tarnwick::text
