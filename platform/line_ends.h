#pragma once

#include <string>
#include <string_view>

namespace tarnwick::platform {

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

} // namespace tarnwick::platform
