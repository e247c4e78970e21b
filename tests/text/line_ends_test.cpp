#include "text/line_ends.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnwick::text {
namespace {

// Pieces as reads deliver them: a CR at the end of one piece and its LF at the start of the
// next are one line break, however the pieces fall.
TEST(LineEndNormaliser, BreaksSplitBetweenPiecesCountOnce) {
    const struct {
        const char* name;
        std::vector<std::u16string> pieces;
        std::u16string expected;
    } cases[] = {
        {"CrLfSplit", {u"a\r", u"\nb"}, u"a\r\nb"},
        {"CrThenEmptyPieceThenLf", {u"a\r", u"", u"\nb"}, u"a\r\nb"},
        {"CrCrLfSplit", {u"a\r", u"\r", u"\n"}, u"a\r\n\r\n"},
        {"LoneCrAtTheEnd", {u"a\r"}, u"a\r\n"},
        {"LoneLfFirst", {u"\n", u"b"}, u"\r\nb"},
        {"LfCrIsTwoBreaks", {u"\n\r", u"b"}, u"\r\n\r\nb"},
        {"CrBeforeText", {u"a\r", u"b"}, u"a\r\nb"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LineEndNormaliser normaliser;
        std::u16string out;
        std::u16string whole;
        for (const std::u16string& piece : c.pieces) {
            normaliser.feed(piece, out);
            whole += piece;
        }
        normaliser.finish(out);
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(NormaliseLineEnds(whole), c.expected);
    }
}

} // namespace
} // namespace tarnwick::text
