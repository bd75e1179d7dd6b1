#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

namespace engine {

// The rule values of the settings store, held as the texts that are stored; the checks convert
// the numbers when they use them.
struct RuleValues {
    QString KeyReq;
    QString keywords;
    QString keywordsm;
    QString DescReq;
    QString description;
    QString descriptionm;
    QString Rating;
    QString Privacy;
    QString rsafe;
    QString rrsac;
    QString rweb;
    QString bodychk;

    static bool on(const QString& value) { return value == QLatin1String("1"); }
};

// The rule table: row 0 is the heading; from row 1 column 0 holds a required tag name and
// column 1 the content that the last page read gave it.
class RuleTable {
public:
    static const QString kHeading;

    RuleTable() { clear(); }
    int rowCount() const { return int(m_rows.size()); }
    QString cell(int col, int row) const { return m_rows.at(row).at(col); }
    void setCell(int col, int row, const QString& text) { m_rows[row][col] = text; }
    // Empties every cell of the rows after the heading.
    void emptyCells();
    // Only the heading row is left.
    void clear();
    // Rows from 1 on, one per name.
    void setNames(const QStringList& names);
    QStringList names() const;

private:
    QList<std::array<QString, 2>> m_rows;
};

} // namespace engine
