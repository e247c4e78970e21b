#pragma once

#include <QList>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QUrl>

#include <functional>
#include <string_view>

namespace tarnwick::ui {

/// A multi-line text box that keeps line breaks as set: text() returns exactly the text
/// last given to setText() plus the user's edits, character for character.
///
/// CR LF is shown as a line break. Characters that Qt's document would turn into block
/// breaks or drop (a lone CR or LF, U+2029, U+FDD0, U+FDD1, U+FFFC, NUL) are shown as
/// glyphs from the Control Pictures block inside their line (a lone LF as U+240A). Where
/// the text itself holds one of those glyphs, that character carries a format property
/// that keeps it literal; formats survive undo and redo. Enter and Shift+Enter store
/// CR LF; pasted or dropped text keeps its characters, its line breaks stored as CR LF like
/// typed ones. Dropped or pasted URLs are handed on through urlsDropped().
///
/// A line longer than a few thousand characters is held in display segments, blocks joined by
/// soft breaks that store nothing, so that an edit lays out one segment and not the whole
/// line (Qt lays out a block whole, in time that grows faster than its length). The box
/// wraps its lines anyway; a segment ends after a blank where one is near, so only the row
/// that ends a segment may be shorter than the rows around it. Keys step, delete and break
/// lines across a soft break as if it were not there.
class TextBox : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit TextBox(QWidget* parent = nullptr);

    /// Shows `text`.
    void setText(const QString& text);
    /// As setText(), in slices for a large text: `progress(done, total)` is called between
    /// them and may return false to stop, which leaves the box, its caret, where it is
    /// scrolled to and its undo history as they were. Returns whether the text was replaced.
    /// `knownPlain`: the caller knows it holds nothing shown as a glyph (ASCII without NUL,
    /// every line end CR LF), which spares two scans of a large file.
    bool loadText(const QString& text, bool knownPlain,
                  const std::function<bool(qint64 done, qint64 total)>& progress);
    QString text() const;
    /// The stored characters between two document positions.
    QString storedText(int from, int to) const;

    /// Selects `length` stored characters from stored index `offset` (as in text()),
    /// scrolls them into view and takes the focus.
    void selectStored(qsizetype offset, qsizetype length);

signals:
    /// URLs dropped or pasted (a file manager's files): never inserted as text.
    void urlsDropped(const QList<QUrl>& urls);

public:
    /// The length of the longest line of `text` as the box shows it: only CR LF breaks a
    /// line. Layout and editing costs grow with it.
    static qsizetype longestLine(QStringView text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    void insertTyped(const QString& text);
    void resetTypingFormat();
    bool stepOverSoftBreak(QKeyEvent* event);
    void tidySegments(QTextBlock block);
    int documentPosition(qsizetype stored, bool atSegmentStart) const;

    void remember(const QString& text);
    void forget();

    // Whether the document may hold a soft break; false spares text() a walk of the blocks.
    bool m_softBreaks = false;
    // The stored text while the document is as setText() or loadText() left it.
    QString m_stored;
    bool m_storedValid = false;
};

} // namespace tarnwick::ui
