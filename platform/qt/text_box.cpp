#include "text_box.h"

#include "keys.h"
#include "platform/file_io.h"
#include "platform/line_ends.h"
#include "platform/text_decoder.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>

namespace tarnwick::platform {

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
        return i + 1 >= text.size() || text[i + 1] != u'\n';
    case u'\n':
        return i == 0 || text[i - 1] != u'\r';
    default:
        return (c < 0x20 || c > 0x2028) && glyphFor(c) != c; // most text skips the table
    }
}

QTextCharFormat literalFormat() {
    QTextCharFormat format;
    format.setProperty(kLiteralGlyph, true);
    return format;
}

// Appends `piece` as stored: glyphs become their characters unless they are literal.
void appendStored(QString& out, QStringView piece, bool literal) {
    if (literal || !containsGlyph(piece)) {
        out += piece;
        return;
    }
    for (QChar c : piece)
        out += isGlyph(c) ? QChar(storedFor(c.unicode())) : c;
}

// Line breaks of pasted text become CR LF; every other character stays.
QString normalisePasted(const QString& text) {
    return QString::fromStdU16String(NormaliseLineEnds(text.toStdU16String()));
}

} // namespace

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
}

void TextBox::setText(const QString& text, bool knownPlain) {
    if (knownPlain) {
        setPlainText(text);
    } else if (!containsGlyph(text)) {
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
    } else {
        QTextDocument* doc = document();
        doc->setUndoRedoEnabled(false);
        setPlainText(QString());
        QTextCursor cursor(doc);
        cursor.beginEditBlock();
        insertStored(cursor, text);
        cursor.endEditBlock();
        doc->setUndoRedoEnabled(true);
    }
    moveCursor(QTextCursor::Start);
    resetTypingFormat();
}

void TextBox::insertStored(QTextCursor& cursor, QStringView stored) {
    const QTextCharFormat plain;
    QString run;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QChar c = stored[i];
        if (isGlyph(c)) {
            if (!run.isEmpty())
                cursor.insertText(run, plain);
            run.clear();
            cursor.insertText(QString(c), literalFormat());
        } else {
            run += needsGlyph(stored, i) ? QChar(glyphFor(c.unicode())) : c;
        }
    }
    if (!run.isEmpty())
        cursor.insertText(run, plain);
}

QString TextBox::text() const {
    const QString raw = document()->toRawText();
    if (!containsGlyph(raw)) {
        // No glyphs: only block breaks differ from what is stored.
        QString out;
        out.reserve(raw.size() + raw.count(QChar::ParagraphSeparator));
        AdviseHugePages(out.constData(), static_cast<std::size_t>(out.capacity()) * 2);
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
    return storedText(0, document()->characterCount() - 1);
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
        if (block.next().isValid() && separator >= from && separator < to)
            out += u"\r\n";
    }
    return out;
}

void TextBox::selectStored(qsizetype offset, qsizetype length) {
    // A CR LF pair is one block break in the document; every other character is one.
    const QString stored = text();
    offset = std::clamp<qsizetype>(offset, 0, stored.size());
    length = std::clamp<qsizetype>(length, 0, stored.size() - offset);
    const QStringView view(stored);
    const auto breaksBefore = [&view](qsizetype at) { return view.left(at).count(u"\r\n"); };
    const qsizetype from = offset - breaksBefore(offset);
    const qsizetype to = offset + length - breaksBefore(offset + length);
    QTextCursor cursor(document());
    cursor.setPosition(static_cast<int>(from));
    cursor.setPosition(static_cast<int>(to), QTextCursor::KeepAnchor);
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

QString TextBox::fromFile(std::string_view bytes, qsizetype& longest) {
    const QString text = QString::fromStdU16String(NormaliseLineEnds(DecodeText(bytes)));
    longest = longestLine(text);
    return text;
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
    insertStored(cursor, text);
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
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
        cursor.insertBlock(cursor.blockFormat(), QTextCharFormat());
        setTextCursor(cursor);
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
    QPlainTextEdit::keyPressEvent(event);
}

void TextBox::inputMethodEvent(QInputMethodEvent* event) {
    resetTypingFormat();
    if (!containsGlyph(event->commitString()) || isReadOnly()) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent withoutCommit(event->preeditString(), event->attributes());
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

} // namespace tarnwick::platform
