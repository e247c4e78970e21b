#include "text_box.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>

namespace tarnwick::platform {

namespace {

constexpr int kStoredChar = QTextFormat::UserProperty + 1;

// The mark shown for each character that cannot stand in the document as itself.
char16_t markFor(char16_t stored) {
    switch (stored) {
    case u'\r':
        return u'\u240D'; // SYMBOL FOR CARRIAGE RETURN
    case u'\n':
        return u'\u240A'; // SYMBOL FOR LINE FEED
    case u'\0':
        return u'\u2400'; // SYMBOL FOR NULL
    case u'\u2029':
        return u'\u2424'; // SYMBOL FOR NEWLINE
    default:
        return u'\u2426'; // U+FDD0, U+FDD1, U+FFFC: SYMBOL FOR SUBSTITUTE FORM TWO
    }
}

bool isMark(QChar c) {
    const char16_t u = c.unicode();
    return u == u'\u240D' || u == u'\u240A' || u == u'\u2400' || u == u'\u2424' || u == u'\u2426';
}

// Characters that need a mark; CR and LF only when they do not form a CR LF pair.
bool needsMark(QStringView text, qsizetype i) {
    const char16_t c = text[i].unicode();
    switch (c) {
    case u'\r':
        return i + 1 >= text.size() || text[i + 1] != u'\n';
    case u'\n':
        return i == 0 || text[i - 1] != u'\r';
    case u'\0':
    case u'\u2029':
    case u'\uFDD0':
    case u'\uFDD1':
    case u'\uFFFC':
        return true;
    default:
        return false;
    }
}

QTextCharFormat markFormat(char16_t stored) {
    QTextCharFormat format;
    format.setProperty(kStoredChar, static_cast<int>(stored));
    format.setForeground(QColor(0x80, 0x80, 0x80));
    return format;
}

// Line breaks of pasted text become CR LF; every other character stays.
QString normalisePasted(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += u"\r\n";
        } else if (c == u'\n') {
            out += u"\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
}

void TextBox::setText(const QString& text) {
    bool plain = true;
    for (qsizetype i = 0; i < text.size() && plain; ++i)
        plain = !needsMark(text, i);
    if (plain) {
        setPlainText(text); // CR LF becomes one block break
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
    const QTextCharFormat plainFormat;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (!needsMark(stored, i))
            continue;
        if (i > runStart)
            cursor.insertText(stored.mid(runStart, i - runStart).toString(), plainFormat);
        const char16_t c = stored[i].unicode();
        cursor.insertText(QString(QChar(markFor(c))), markFormat(c));
        runStart = i + 1;
    }
    if (runStart < stored.size())
        cursor.insertText(stored.mid(runStart).toString(), plainFormat);
}

QString TextBox::text() const {
    const QString raw = document()->toRawText();
    if (std::none_of(raw.begin(), raw.end(), isMark)) {
        // No marks: only block breaks differ from what is stored.
        QString out;
        out.reserve(raw.size() + raw.count(QChar::ParagraphSeparator));
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
            const QString piece = fragment.text().mid(start - fragment.position(), end - start);
            const QVariant stored = fragment.charFormat().property(kStoredChar);
            if (!stored.isValid()) {
                out += piece;
                continue;
            }
            const auto storedChar = static_cast<char16_t>(stored.toInt());
            const QChar mark(markFor(storedChar));
            for (QChar c : piece)
                out += c == mark ? QChar(storedChar) : c;
        }
        const int separator = block.position() + block.length() - 1;
        if (block.next().isValid() && separator >= from && separator < to)
            out += u"\r\n";
    }
    return out;
}

void TextBox::resetTypingFormat() {
    // Text typed next to a mark must not inherit the mark's stored character.
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection() && cursor.charFormat().hasProperty(kStoredChar)) {
        cursor.setCharFormat(QTextCharFormat());
        setTextCursor(cursor);
    }
}

void TextBox::keyPressEvent(QKeyEvent* event) {
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
    if (!event->text().isEmpty())
        resetTypingFormat();
    QPlainTextEdit::keyPressEvent(event);
}

void TextBox::inputMethodEvent(QInputMethodEvent* event) {
    resetTypingFormat();
    QPlainTextEdit::inputMethodEvent(event);
}

void TextBox::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText() || isReadOnly())
        return;
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    insertStored(cursor, normalisePasted(source->text()));
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData* TextBox::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    auto* data = new QMimeData;
    data->setText(storedText(cursor.selectionStart(), cursor.selectionEnd()));
    return data;
}

} // namespace tarnwick::platform
