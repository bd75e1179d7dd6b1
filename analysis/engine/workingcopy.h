#pragma once

#include <QString>
#include <QStringList>

namespace engine {

// The working copy htmlrichedit: a text held as lines. Its text is the lines joined with CR LF;
// a line break of any kind (CR LF, LF, CR) separates two lines, and a break at the very end
// leaves an empty last line. Positions are 0-based offsets into the text.
class WorkingCopy {
public:
    const QString& text() const;
    void setText(const QString& text);
    void clear() { setText(QString()); }

    const QStringList& lines() const;
    int lineCount() const { return int(lines().size()); }
    QString line(int index) const { return lines().at(index); }
    // A line given with embedded line breaks becomes several lines.
    void insertLine(int index, const QString& text);
    void deleteLine(int index);
    void setLines(const QStringList& lines);

    // The first line equal to the text without regard to case, or -1.
    int indexOfLine(const QString& text) const;
    // The first position at or after from where the text occurs without regard to case and ends
    // at or before to (-1 for the end of the text); -1 when there is none.
    qsizetype find(const QString& what, qsizetype from = 0, qsizetype to = -1) const;
    void insertText(qsizetype position, const QString& text);

private:
    mutable QString m_text;
    mutable QStringList m_lines;
    mutable bool m_textValid = true;
    mutable bool m_linesValid = true;
};

// Lines of a text the way the working copy splits it.
QStringList splitWorkingLines(const QString& text);

// Case-insensitive search in a range (see WorkingCopy::find); ASCII needles take a fast path.
qsizetype findNoCase(const QString& text, const QString& what, qsizetype from = 0, qsizetype to = -1);
bool containsNoCase(const QString& text, const QString& what);

} // namespace engine
