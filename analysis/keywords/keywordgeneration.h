#pragma once

// The keyword generator's work on texts: the body excerpt, the character data taken out of it
// by the markup parser, the words, the noise and keyword filters, the counts and the top rows.
// The window (keywordgenerator) adds the file, the list and the commands.

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace keywords {

class TickXMLp;

struct WordCount {
    QString word; // the normalised word as first met
    int count = 0;
};

enum class ExcerptResult { Excerpt, NoBodyTag, NoBodyEnd };

// The excerpt of a page text (line breaks as CR LF): bodyLimit characters from "<BODY" (or
// "<FRAMESET"). When the body, up to its "</BODY>" ("</FRAMESET>"), is shorter than bodyLimit,
// bodyLimit becomes that length.
// The excerpt views text.
ExcerptResult bodyExcerpt(const QString& text, int& bodyLimit, QStringView& excerpt);

// Configures the parser as the generator runs it and sends its character data to collection:
// every run a line of its own (CR LF after it), every entity reference one space.
void wireForText(TickXMLp& parser, QString& collection);
// The character data of the excerpt (a parser of its own).
QString extractText(QStringView excerpt);

// Every "==" becomes "=", and the characters % " , ' < . > ) ( are deleted.
QString normalizeWord(const QString& word);
// The first min(n, size) entries in the order of the generator's list: the highest count first,
// and among equal counts the word that sorts last (case aside) first.
QList<WordCount> topWords(const QList<WordCount>& counts, int n);
// count / total * 100 with three decimals in the locale's decimal separator.
QString shareText(int count, int total, const QLocale& locale = QLocale());

struct Generation {
    QStringList words; // after the filters
    int filteredWordCount = 0;
    // One entry per distinct normalised word (case aside), in the order of first occurrence; a
    // word that normalises to nothing (a lone "(") is counted among the words but gets no entry.
    QList<WordCount> counts;
    QList<WordCount> top;
};
// From the collected text to the top rows: the words by the comma-text rule, without the noise
// words and the queued keywords (whole word as split, case aside), counted as normalised.
Generation countText(const QString& text, const QStringList& noise, const QStringList& added,
                     int topCount);

} // namespace keywords
