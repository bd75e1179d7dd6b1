#include "rulebase.h"

namespace engine {

const QString RuleTable::kHeading = QStringLiteral("Required Meta Tag Listing");

void RuleTable::emptyCells() {
    for (int r = 1; r < rowCount(); ++r)
        m_rows[r] = {};
}

void RuleTable::clear() {
    m_rows.clear();
    m_rows.append({kHeading, QString()});
}

void RuleTable::setNames(const QStringList& names) {
    clear();
    for (const QString& n : names)
        m_rows.append({n, QString()});
}

QStringList RuleTable::names() const {
    QStringList out;
    for (int r = 1; r < rowCount(); ++r)
        out.append(m_rows.at(r).at(0));
    return out;
}

} // namespace engine
