#include "text_box.h"

#include "keys.h"
#include "platform/memory.h"
#include "text/line_ends.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

namespace tarnwick::ui {

namespace {

// Marks the user's own occurrences of a mark glyph, so they read back as themselves.
constexpr int kLiteralGlyph = QTextFormat::UserProperty + 1;

// Each character that cannot stand in the document as itself, and the glyph from the
// Control Pictures block shown in its place.
struct GlyphPair {
    char16_t stored;
    char16_t glyph;
};
constexpr GlyphPair kGlyphs[] = {
    {u'\r', u'\u240D'},     // SYMBOL FOR CARRIAGE RETURN
    {u'\n', u'\u240A'},     // SYMBOL FOR LINE FEED
    {u'\0', u'\u2400'},     // SYMBOL FOR NULL
    {u'\u2029', u'\u2424'}, // paragraph separator: SYMBOL FOR NEWLINE
    {u'\uFDD0', u'\u2416'}, // Qt's frame start: SYMBOL FOR SYNCHRONOUS IDLE
    {u'\uFDD1', u'\u2417'}, // Qt's frame end: SYMBOL FOR END OF TRANSMISSION BLOCK
    {u'\uFFFC', u'\u2426'}, // object replacement: SYMBOL FOR SUBSTITUTE FORM TWO
};

char16_t glyphFor(char16_t stored) {
    for (const GlyphPair& pair : kGlyphs)
        if (pair.stored == stored)
            return pair.glyph;
    return stored;
}

char16_t storedFor(char16_t glyph) {
    for (const GlyphPair& pair : kGlyphs)
        if (pair.glyph == glyph)
            return pair.stored;
    return glyph;
}

bool isGlyph(QChar c) {
    // All glyphs lie in U+2400..U+2426; one range test spares the table for most text.
    const char16_t u = c.unicode();
    return u >= 0x2400 && u <= 0x2426 && storedFor(u) != u;
}

bool containsGlyph(QStringView text) {
    return std::any_of(text.begin(), text.end(), isGlyph);
}

// Characters shown as a glyph; CR and LF only when they do not form a CR LF pair.
bool needsGlyph(QStringView text, qsizetype i) {
    const char16_t c = text[i].unicode();
    switch (c) {
    case u'\r':
    case u'\n':
        return text::IsBareLineEnd(text, i);
    default:
        return (c < 0x20 || c > 0x2028) && glyphFor(c) != c; // most text skips the table
    }
}

QTextCharFormat literalFormat() {
    QTextCharFormat format;
    format.setProperty(kLiteralGlyph, true);
    return format;
}

// Appends `part` as stored: glyphs become their characters unless they are literal.
void appendStored(QString& out, QStringView part, bool literal) {
    if (literal || !containsGlyph(part)) {
        out += part;
        return;
    }
    for (QChar c : part)
        out += isGlyph(c) ? QChar(storedFor(c.unicode())) : c;
}

// Line breaks of pasted text become CR LF; every other character stays.
QString normalisePasted(const QString& text) {
    return QString::fromStdU16String(text::NormaliseLineEnds(text.toStdU16String()));
}

// A long line's display segments: about kSegment characters each; a block grows to kMaxSegment
// before it is cut, and neighbours that fit in kSegment are joined again.
constexpr qsizetype kSegment = 4096;
constexpr qsizetype kMaxSegment = 2 * kSegment;
// Marks a block that continues the line of the block before it.
constexpr int kSoftBreak = QTextFormat::UserProperty + 2;

QTextBlockFormat softBreakFormat() {
    QTextBlockFormat format;
    format.setProperty(kSoftBreak, true);
    return format;
}

bool isSoft(const QTextBlock& block) {
    return block.isValid() && block.blockFormat().hasProperty(kSoftBreak);
}

// Where the segment of a line that starts at `from` ends: the whole rest when it is short,
// else after a blank or comma near kSegment characters on, so tokens stay whole; never
// between the halves of a surrogate pair.
qsizetype segmentEnd(QStringView text, qsizetype from, qsizetype lineEnd) {
    if (lineEnd - from <= kMaxSegment)
        return lineEnd;
    const qsizetype at = from + kSegment;
    for (qsizetype i = at; i > at - 256; --i) {
        const QChar c = text[i - 1];
        if (c == u' ' || c == u'\t' || c == u',')
            return i;
    }
    return text[at].isLowSurrogate() ? at - 1 : at;
}

// Inserts stored text at a cursor in slices: short lines as they are, long lines in
// display segments, characters the document cannot hold as glyphs.
class SegmentInserter {
public:
    SegmentInserter(QStringView stored, bool knownPlain) : m_text(stored), m_plain(knownPlain) {}

    bool done() const { return m_at >= m_text.size(); }
    qsizetype at() const { return m_at; }
    bool insertedSoftBreak() const { return m_soft; }

    // Inserts about `budget` characters more.
    void insertSome(QTextCursor& cursor, qsizetype budget) {
        const qsizetype size = m_text.size();
        const qsizetype stop = std::min(size, m_at + budget);
        while (m_at < stop) {
            const qsizetype lineEnd = nextBreak(m_at);
            if (lineEnd - m_lineStart > kMaxSegment) {
                const qsizetype end = segmentEnd(m_text, m_at, lineEnd);
                insertRun(cursor, m_at, end);
                m_at = end;
                if (m_at < lineEnd) {
                    cursor.insertBlock(softBreakFormat(), QTextCharFormat());
                    m_soft = true;
                } else {
                    breakLine(cursor);
                }
                continue;
            }
            // Whole short lines at once; Qt turns their CR LF into blocks like the one the
            // cursor is in, so only while that one is not a segment.
            qsizetype end = lineEnd;
            if (!isSoft(cursor.block())) {
                while (end < size && end < stop) {
                    const qsizetype next = nextBreak(end + 2);
                    if (next - (end + 2) > kMaxSegment)
                        break;
                    end = next;
                }
            }
            insertRun(cursor, m_at, end);
            m_at = end;
            breakLine(cursor);
        }
    }

private:
    qsizetype nextBreak(qsizetype from) {
        if (m_break < from) {
            m_break = m_text.indexOf(u"\r\n", from);
            if (m_break < 0)
                m_break = m_text.size();
        }
        return m_break;
    }

    // Ends the line at m_at, if one ends there: a block break in place of CR LF.
    void breakLine(QTextCursor& cursor) {
        if (m_at >= m_text.size())
            return;
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        m_at += 2;
        m_lineStart = m_at;
    }

    void insertRun(QTextCursor& cursor, qsizetype from, qsizetype to) {
        if (from >= to)
            return;
        const QStringView run = m_text.sliced(from, to - from);
        qsizetype first = run.size();
        if (!m_plain) {
            const char16_t* units = reinterpret_cast<const char16_t*>(run.data());
            for (qsizetype i = 0; i < run.size(); ++i)
                if ((units[i] < 0x20 || units[i] > 0x2028) &&
                    (needsGlyph(m_text, from + i) || isGlyph(run[i]))) {
                    first = i;
                    break;
                }
        }
        if (first == run.size()) {
            cursor.insertText(QString::fromRawData(run.data(), run.size()), QTextCharFormat());
            return;
        }
        QString shown;
        for (qsizetype i = 0; i < run.size(); ++i) {
            const QChar c = run[i];
            if (isGlyph(c)) {
                cursor.insertText(shown, QTextCharFormat());
                shown.clear();
                cursor.insertText(QString(c), literalFormat());
            } else {
                shown += needsGlyph(m_text, from + i) ? QChar(glyphFor(c.unicode())) : c;
            }
        }
        cursor.insertText(shown, QTextCharFormat());
    }

    QStringView m_text;
    bool m_plain;
    qsizetype m_at = 0;
    qsizetype m_lineStart = 0;
    qsizetype m_break = -1;
    bool m_soft = false;
};

// Splits a block longer than kMaxSegment into segments, from its end so earlier cuts stand.
bool splitLongBlock(const QTextBlock& block) {
    if (block.length() - 1 <= kMaxSegment)
        return false;
    const QString text = block.text();
    QList<qsizetype> cuts;
    for (qsizetype at = segmentEnd(text, 0, text.size()); at < text.size();
         at = segmentEnd(text, at, text.size()))
        cuts << at;
    QTextCursor cursor(block);
    const int start = block.position();
    for (auto it = cuts.crbegin(); it != cuts.crend(); ++it) {
        cursor.setPosition(start + static_cast<int>(*it));
        cursor.insertBlock(softBreakFormat(), cursor.charFormat());
    }
    return true;
}

} // namespace

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    connect(document(), &QTextDocument::contentsChange, this, &TextBox::forget);
}

void TextBox::setText(const QString& text) {
    m_softBreaks = longestLine(text) > kMaxSegment;
    if (m_softBreaks || containsGlyph(text)) {
        QTextDocument* doc = document();
        doc->setUndoRedoEnabled(false);
        setPlainText(QString());
        QTextCursor cursor(doc);
        cursor.beginEditBlock();
        SegmentInserter inserter(text, false);
        inserter.insertSome(cursor, text.size());
        cursor.endEditBlock();
        doc->setUndoRedoEnabled(true);
    } else {
        // The common case: one plain insertion, CR LF becoming block breaks.
        QString shown = text;
        const char16_t* const units = reinterpret_cast<const char16_t*>(text.constData());
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (units[i] >= 0x20 && units[i] <= 0x2028) // most text: no glyph possible
                continue;
            if (needsGlyph(text, i))
                shown[i] = QChar(glyphFor(units[i]));
        }
        setPlainText(shown);
    }
    moveCursor(QTextCursor::Start);
    resetTypingFormat();
    remember(text);
}

bool TextBox::loadText(const QString& text, bool knownPlain,
                       const std::function<bool(qint64, qint64)>& progress) {
    // The text goes into a document of its own, shown as it grows; the old one is kept
    // whole until the new one is complete, so stopping puts it back as it was.
    QTextDocument* const old = document();
    const QTextCursor oldCursor = textCursor();
    const int oldScroll = verticalScrollBar()->value();
    if (old->parent() != this)
        old->setParent(this); // setDocument() would delete a document its control owns
    auto* doc = new QTextDocument(this);
    doc->setDocumentLayout(new QPlainTextDocumentLayout(doc));
    doc->setDefaultFont(old->defaultFont());
    doc->setDocumentMargin(old->documentMargin());
    doc->setUndoRedoEnabled(false);
    setDocument(doc);
    QTextCursor cursor(doc);
    SegmentInserter inserter(text, knownPlain);
    while (!inserter.done()) {
        if (progress && !progress(inserter.at(), text.size())) {
            setDocument(old);
            delete doc;
            setTextCursor(oldCursor);
            verticalScrollBar()->setValue(oldScroll);
            return false;
        }
        // A slice takes about 10 ms: the window repaints between them.
        cursor.beginEditBlock();
        inserter.insertSome(cursor, 1 << 18);
        cursor.endEditBlock();
    }
    doc->setUndoRedoEnabled(true);
    delete old;
    m_softBreaks = inserter.insertedSoftBreak();
    moveCursor(QTextCursor::Start);
    resetTypingFormat();
    connect(doc, &QTextDocument::contentsChange, this, &TextBox::forget);
    remember(text);
    return true;
}

void TextBox::remember(const QString& text) {
    // Reading a large document back costs more than converting it; until the first edit
    // the text given is the text stored.
    m_stored = text;
    m_storedValid = true;
}

void TextBox::forget() {
    m_stored = QString();
    m_storedValid = false;
}

QString TextBox::text() const {
    if (m_storedValid)
        return m_stored;
    const QTextDocument* doc = document();
    const QString raw = doc->toRawText();
    if (containsGlyph(raw))
        return storedText(0, doc->characterCount() - 1);
    QString out;
    out.reserve(raw.size() + raw.count(QChar::ParagraphSeparator));
    platform::AdviseHugePages(out.constData(), static_cast<std::size_t>(out.capacity()) * 2);
    if (!m_softBreaks) {
        // No glyphs: only block breaks differ from what is stored.
        qsizetype start = 0;
        for (qsizetype i = raw.indexOf(QChar::ParagraphSeparator); i >= 0;
             i = raw.indexOf(QChar::ParagraphSeparator, start)) {
            out += QStringView(raw).mid(start, i - start);
            out += u"\r\n";
            start = i + 1;
        }
        out += QStringView(raw).mid(start);
        return out;
    }
    // Block by block: a soft break stores nothing, any other block break CR LF.
    qsizetype start = 0;
    for (QTextBlock block = doc->firstBlock(); block.isValid(); block = block.next()) {
        const qsizetype length = block.length() - 1;
        out += QStringView(raw).mid(start, length);
        start += length + 1;
        if (block.next().isValid() && !isSoft(block.next()))
            out += u"\r\n";
    }
    return out;
}

QString TextBox::storedText(int from, int to) const {
    QString out;
    const QTextDocument* doc = document();
    for (QTextBlock block = doc->findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int start = std::max(from, fragment.position());
            const int end = std::min(to, fragment.position() + fragment.length());
            if (start >= end)
                continue;
            const QString text = fragment.text();
            appendStored(out, QStringView(text).mid(start - fragment.position(), end - start),
                         fragment.charFormat().hasProperty(kLiteralGlyph));
        }
        const int separator = block.position() + block.length() - 1;
        if (block.next().isValid() && !isSoft(block.next()) && separator >= from && separator < to)
            out += u"\r\n";
    }
    return out;
}

int TextBox::documentPosition(qsizetype stored, bool atSegmentStart) const {
    // Each block's characters store one each; a block break stores CR LF, a soft break
    // nothing, so one stored index may stand at a segment's end and the next segment's start.
    qsizetype at = 0;
    for (QTextBlock block = document()->firstBlock(); block.isValid(); block = block.next()) {
        const qsizetype length = block.length() - 1;
        const QTextBlock next = block.next();
        if (!next.isValid() || stored < at + length ||
            (stored == at + length && !(atSegmentStart && isSoft(next))))
            return block.position() +
                   static_cast<int>(std::clamp<qsizetype>(stored - at, 0, length));
        at += length + (isSoft(next) ? 0 : 2);
        if (stored < at)
            return block.position() + static_cast<int>(length); // inside a CR LF
    }
    return 0;
}

void TextBox::selectStored(qsizetype offset, qsizetype length) {
    const qsizetype size = text().size();
    offset = std::clamp<qsizetype>(offset, 0, size);
    length = std::clamp<qsizetype>(length, 0, size - offset);
    QTextCursor cursor(document());
    cursor.setPosition(documentPosition(offset, true));
    cursor.setPosition(documentPosition(offset + length, false), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
    setFocus(Qt::OtherFocusReason);
}

qsizetype TextBox::longestLine(QStringView text) {
    qsizetype longest = 0;
    qsizetype start = 0;
    for (qsizetype at = text.indexOf(u"\r\n"); at >= 0; at = text.indexOf(u"\r\n", start)) {
        longest = std::max(longest, at - start);
        start = at + 2;
    }
    return std::max(longest, text.size() - start);
}

void TextBox::resetTypingFormat() {
    // Text typed next to a literal glyph must not inherit its format.
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection() && cursor.charFormat().hasProperty(kLiteralGlyph)) {
        cursor.setCharFormat(QTextCharFormat());
        setTextCursor(cursor);
    }
}

void TextBox::insertTyped(const QString& text) {
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const QTextBlock first = cursor.block();
    SegmentInserter inserter(text, false);
    inserter.insertSome(cursor, text.size());
    m_softBreaks = m_softBreaks || inserter.insertedSoftBreak();
    cursor.endEditBlock();
    setTextCursor(cursor);
    // The first and last lines joined text that was there: they may need cutting.
    tidySegments(first);
    tidySegments(textCursor().block());
    ensureCursorVisible();
}

void TextBox::tidySegments(QTextBlock block) {
    // Joined to the edit before it, so that one Undo takes back both.
    QTextCursor cursor(document());
    bool editing = false;
    auto edit = [&cursor, &editing] {
        if (!editing)
            cursor.joinPreviousEditBlock();
        editing = true;
    };
    auto length = [](const QTextBlock& b) { return qsizetype{b.length()} - 1; };
    auto joinTo = [&](const QTextBlock& second) { // removes the soft break before `second`
        edit();
        cursor.setPosition(second.position() - 1);
        cursor.setPosition(second.position(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    };
    if (isSoft(block) && length(block.previous()) + length(block) <= kSegment) {
        const QTextBlock previous = block.previous();
        joinTo(block);
        block = previous;
    }
    if (isSoft(block.next()) && length(block) + length(block.next()) <= kSegment)
        joinTo(block.next());
    if (length(block) > kMaxSegment) {
        edit();
        splitLongBlock(block);
        m_softBreaks = true;
    }
    if (editing)
        cursor.endEditBlock();
}

bool TextBox::stepOverSoftBreak(QKeyEvent* event) {
    // Qt would stop at, or delete, the break between two segments: step over it first.
    QTextCursor cursor = textCursor();
    const auto is = [event](QKeySequence::StandardKey key) { return event->matches(key); };
    const bool selecting = is(QKeySequence::SelectPreviousChar) ||
                           is(QKeySequence::SelectPreviousWord) ||
                           is(QKeySequence::SelectNextChar) || is(QKeySequence::SelectNextWord);
    if (cursor.hasSelection() && !selecting)
        return false; // a move collapses the selection, a delete removes it
    const bool backspace = event->key() == Qt::Key_Backspace &&
                           !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
    const bool backward =
        backspace || is(QKeySequence::MoveToPreviousChar) || is(QKeySequence::MoveToPreviousWord) ||
        is(QKeySequence::SelectPreviousChar) || is(QKeySequence::SelectPreviousWord) ||
        is(QKeySequence::DeleteStartOfWord);
    const bool forward = is(QKeySequence::Delete) || is(QKeySequence::MoveToNextChar) ||
                         is(QKeySequence::MoveToNextWord) || is(QKeySequence::SelectNextChar) ||
                         is(QKeySequence::SelectNextWord) || is(QKeySequence::DeleteEndOfWord);
    int target = -1;
    if (backward && cursor.atBlockStart() && isSoft(cursor.block()))
        target = cursor.position() - 1;
    else if (forward && cursor.atBlockEnd() && isSoft(cursor.block().next()))
        target = cursor.position() + 1;
    if (target < 0)
        return false;
    cursor.setPosition(target, selecting ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    setTextCursor(cursor);
    return true;
}

void TextBox::keyPressEvent(QKeyEvent* event) {
    if (IsStrayAltKey(*event)) {
        event->ignore();
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const auto modifiers = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (enter && modifiers == Qt::NoModifier && !isReadOnly()) {
        // Shift+Enter would insert U+2028; both store a line break, CR LF.
        QTextCursor cursor = textCursor();
        cursor.beginEditBlock();
        cursor.removeSelectedText();
        const QTextBlock block = cursor.block();
        if (cursor.atBlockStart() && isSoft(block)) {
            cursor.setBlockFormat(QTextBlockFormat()); // the soft break becomes the line break
        } else if (cursor.atBlockEnd() && isSoft(block.next())) {
            cursor.setPosition(block.next().position());
            cursor.setBlockFormat(QTextBlockFormat());
        } else {
            cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        }
        cursor.endEditBlock();
        setTextCursor(cursor);
        tidySegments(cursor.block().previous());
        tidySegments(textCursor().block());
        ensureCursorVisible();
        event->accept();
        return;
    }
    if (containsGlyph(event->text()) && !isReadOnly()) {
        // A glyph the user types is a character of its own, not a line end.
        insertTyped(event->text());
        event->accept();
        return;
    }
    if (!event->text().isEmpty())
        resetTypingFormat();
    if (m_softBreaks)
        stepOverSoftBreak(event);
    const int revision = document()->revision();
    QPlainTextEdit::keyPressEvent(event);
    // Undo and Redo bring back states that were tidy; joining to them would lose Redo.
    if (document()->revision() != revision && !event->matches(QKeySequence::Undo) &&
        !event->matches(QKeySequence::Redo))
        tidySegments(textCursor().block());
}

void TextBox::inputMethodEvent(QInputMethodEvent* event) {
    resetTypingFormat();
    if (!containsGlyph(event->commitString()) || isReadOnly()) {
        const int revision = document()->revision();
        QPlainTextEdit::inputMethodEvent(event);
        if (document()->revision() != revision)
            tidySegments(textCursor().block());
        return;
    }
    // The base class ends the preedit and removes what the commit replaces; the glyphs go in
    // as typed.
    QInputMethodEvent withoutCommit(event->preeditString(), event->attributes());
    withoutCommit.setCommitString(QString(), event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&withoutCommit);
    insertTyped(event->commitString());
}

bool TextBox::canInsertFromMimeData(const QMimeData* source) const {
    return source && !isReadOnly() && (source->hasUrls() || source->hasText());
}

void TextBox::insertFromMimeData(const QMimeData* source) {
    if (!source || isReadOnly())
        return;
    if (source->hasUrls()) { // a file manager also sends the URL as text: never data
        emit urlsDropped(source->urls());
        return;
    }
    if (!source->hasText())
        return;
    insertTyped(normalisePasted(source->text()));
}

QMimeData* TextBox::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    auto* data = new QMimeData;
    data->setText(storedText(cursor.selectionStart(), cursor.selectionEnd()));
    return data;
}

} // namespace tarnwick::ui
