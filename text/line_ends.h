#pragma once

#include <string>
#include <string_view>

namespace tarnwick::text {

// The line-end rule. In the input box, as in typed text on Windows, a line ends with the
// pair CR LF and nothing else; a text file may end lines with a bare LF or a bare CR too.

/// True when a CR LF pair, one line end of the box, starts at text[i].
template <class Text, class Index> constexpr bool StartsLineBreak(const Text& text, Index i) {
    return text[i] == u'\r' && i + 1 < static_cast<Index>(text.size()) && text[i + 1] == u'\n';
}

/// True when text[i] is a CR or an LF that is not half of a CR LF pair: a line end of a
/// file that the box would hold as CR LF.
template <class Text, class Index> constexpr bool IsBareLineEnd(const Text& text, Index i) {
    if (text[i] == u'\r')
        return !StartsLineBreak(text, i);
    return text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r');
}

/// Turns the line ends of a text file into the CR LF pairs that typed text has: every bare
/// LF and every bare CR becomes CR LF, a CR LF pair stays one line break (so CR CR LF is two
/// breaks). Nothing else changes. Fed in pieces: a CR that ends a piece is held back until
/// the next piece shows whether an LF follows it.
class LineEndNormaliser {
public:
    /// Appends the normalised form of `piece` to `out`.
    void feed(std::u16string_view piece, std::u16string& out);
    /// Appends what is still held back; call once after the last piece.
    void finish(std::u16string& out);

    /// True while a CR from the end of a piece waits for the next.
    bool holdsCr() const { return m_heldCr; }

private:
    bool m_heldCr = false;
};

/// The whole-text form of LineEndNormaliser. Returns `text` itself when it has no bare CR
/// or LF, so a file with CR LF line ends costs no copy.
std::u16string NormaliseLineEnds(std::u16string text);

} // namespace tarnwick::text
