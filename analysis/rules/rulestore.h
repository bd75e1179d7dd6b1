#pragma once

#include "analysis/engine/rulebase.h"
#include "analysis/rules/rulevalues.h"

#include <QChar>

namespace platform {
class RegistryStore;
struct Folders;
} // namespace platform

namespace rules {

// The analysis program's settings key.
extern const QString kSettingsKey;

// The required tag list: delivered in the data folder, edited in the user's folder.
extern const QString kRequiredTagList; // "Required/metareq.txt"
QString requiredTagFile(const QString& folder);
// The rule table's working copy of the list, in the cache folder.
QString derivedTagFile(const QString& folder);
// The list a check reads: the user's when there is one, else the delivered default.
QString requiredTagFileToRead(const platform::Folders& folders);
// quillmark's folders: the window and the checker read the same data and the same user's lists.
platform::Folders quillmarkFolders();

// The rule values before anything is read: the starting values of the rule values table, which the
// rule base editor starts with too, so that a check never stops on a number that was never stored;
// every switch off.
engine::RuleValues startingRuleValues();

// GetDefaults, rule part: each rule value only if it exists; a body check count of
// "0" is stored as "1000". The key must be open.
void readRuleValues(const platform::RegistryStore& key, engine::RuleValues& values);

// The cell delimiter of a grid file: among comma, semicolon, '#', tab and '|', the one that
// occurs equally often in the first and second line and more often than any other such
// candidate; QChar() when there is none.
QChar chooseDelimiter(const QStringList& lines);
// One line split into cells; a cell written in double quotes loses its quotes.
QStringList splitCells(const QString& line, QChar delimiter);
// Column 0 of a grid loaded from these lines.
QStringList firstColumn(const QStringList& lines);

// The required tag names of the file (column 0 of each line). Raises EFOpenError.
QStringList readRequiredTags(const QString& path);
// A name as one line of the required tag file: a name holding a comma, a line break, another
// cell delimiter or a leading double quote is written in double quotes (inner quotes doubled,
// line breaks removed), so that it reads back as it was.
QString requiredTagLine(const QString& name);
// Writes the names one a line, atomically. Raises EFCreateError.
void writeRequiredTags(const QString& path, const QStringList& names);

// The required tag list with the default tags that are switched on added at its end.
QStringList requiredWithDefaults(QStringList required, const engine::RuleValues& values);

// Builds the rule table: the required tag list (requiredTagFileToRead) with the default tags
// that are switched on, written to Required/metatemp.txt of the cache folder and loaded back into
// the table. Raises EFOpenError or EFCreateError; the table is then left empty.
void buildRuleTable(const platform::Folders& folders, const engine::RuleValues& values,
                    QStringList& requiredTags, engine::RuleTable& ruleTable);

} // namespace rules
