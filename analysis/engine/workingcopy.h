#pragma once

#include "nocase.h"

#include "platform/ascii.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace engine {

// The working copy: a text held as lines. Its text is the lines joined with CR LF;
// a line break of any kind (CR LF, LF, CR) separates two lines, and a break at the very end
// leaves an empty last line. Positions are 0-based offsets into the text.
//
// The lines are views into texts the copy keeps and never changes, so that splitting, moving
// and emptying lines costs no copy of their characters; the text is joined again only when it is
// asked for after the lines changed.
class WorkingCopy {
public:
    const QString& text() const;
    void setText(const QString& text);
    void clear() { setText(QString()); }

    int lineCount() const {
        if (!m_linesValid)
            splitText();
        return int(m_lines.size());
    }
    // Valid until the copy next changes.
    QStringView line(int index) const {
        if (!m_linesValid)
            splitText();
        return m_lines.at(index);
    }
    QStringList lines() const;
    // A line given with embedded line breaks becomes several lines.
    void insertLine(int index, const QString& text);
    void clearLine(int index);
    void moveLine(int from, int to);
    // The lines from `from` up to `to` (exclusive) become the lines at `order`, in that order.
    void arrangeLines(int from, int to, const QList<int>& order);

    // The first line equal to the text without regard to case, or -1.
    int indexOfLine(QStringView text) const;
    // The first position at or after from where the text occurs without regard to case and ends
    // at or before to (-1 for the end of the text); -1 when there is none.
    qsizetype find(QStringView what, qsizetype from = 0, qsizetype to = -1) const;
    void insertText(qsizetype position, QStringView text) { replaceText(position, 0, text); }
    void replaceText(qsizetype position, qsizetype length, QStringView text);

private:
    void splitText() const;

    mutable QString m_text;
    mutable bool m_textValid = true;
    // What the line views point into; shared, never written.
    mutable QList<QString> m_store;
    mutable QList<QStringView> m_lines;
    mutable bool m_linesValid = true;
};

using platform::trimmedControl;

// The position of the next CR or LF at or after `from`, or the text's size.
qsizetype nextLineBreak(QStringView text, qsizetype from);
// The position of the next `c` at or after `from`, or -1: for the many short lines, cheaper
// than a general search.
qsizetype nextChar(QStringView text, char16_t c, qsizetype from = 0);

// Lines of a text the way the working copy splits it.
QStringList splitWorkingLines(const QString& text);
// The same lines as views into the text, appended to `lines`.
void splitWorkingLines(QStringView text, QList<QStringView>& lines);

} // namespace engine
