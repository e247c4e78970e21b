#pragma once

// What the decoders written by hand share (code page 936 on Windows, UTF-8 and UTF-16 in
// text/): the bytes of a character cut by a piece's end are held for the next piece.
// Header-only, for the decoders' own files.

#include "charset.h"

#include <string>
#include <string_view>

namespace tarnwick::platform {

/// A CharsetDecoder framed by complete(): it decodes what it can of the bytes and returns
/// how many it took; the rest (a character cut by the end, at most three bytes) waits for
/// the next piece, or with `flush` becomes one U+FFFD.
class FramedDecoder : public CharsetDecoder {
public:
    static constexpr char16_t kReplacement = u'\uFFFD';

    void decode(std::string_view bytes, bool flush, std::u16string& out) override {
        if (!m_held.empty()) {
            // The held bytes with the first few of this piece make whole characters.
            const bool all = bytes.size() <= 4;
            std::string joint = m_held + std::string(bytes.substr(0, all ? bytes.size() : 4));
            const std::size_t taken = complete(joint, all && flush, out);
            const std::size_t held = m_held.size();
            if (all) {
                m_held = joint.substr(taken);
                finish(flush, out);
                return;
            }
            m_held.clear();
            bytes.remove_prefix(taken - held);
        }
        const std::size_t taken = complete(bytes, flush, out);
        m_held.assign(bytes.substr(taken));
        finish(flush, out);
    }

    bool idle() const override { return m_held.empty(); }

protected:
    virtual std::size_t complete(std::string_view bytes, bool flush, std::u16string& out) = 0;

private:
    void finish(bool flush, std::u16string& out) {
        if (flush && !m_held.empty()) {
            out += kReplacement;
            m_held.clear();
        }
    }

    std::string m_held;
};

} // namespace tarnwick::platform
