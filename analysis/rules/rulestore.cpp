#include "rulestore.h"

#include "platform/folders.h"
#include "platform/registrystore.h"
#include "platform/textfile.h"

#include <QDir>
#include <QFileInfo>

namespace rules {

const QString kSettingsKey = QStringLiteral("\\Software\\VRNH\\Quillmark");

const QString kRequiredTagList = QStringLiteral("Required/metareq.txt");

namespace {
const QString kDerivedTagList = QStringLiteral("Required/metatemp.txt");
}

QString requiredTagFile(const QString& folder) {
    return QDir(folder).filePath(kRequiredTagList);
}

QString derivedTagFile(const QString& folder) {
    return QDir(folder).filePath(kDerivedTagList);
}

platform::Folders quillmarkFolders() {
    return platform::programFolders(QStringLiteral("quillmark"));
}

QString requiredTagFileToRead(const platform::Folders& folders) {
    return folders.listToRead(kRequiredTagList);
}

void readRuleValues(const platform::RegistryStore& key, engine::RuleValues& v) {
    for (const rulevalues::Rule& rule : rulevalues::kRules) {
        const QString name = rulevalues::valueName(rule);
        if (key.valueExists(name))
            v.*rule.member = key.readString(name);
    }
    if (v.bodychk == QLatin1String("0"))
        v.bodychk = QStringLiteral("1000");
}

QChar chooseDelimiter(const QStringList& lines) {
    const QString first = lines.value(0);
    const QString second = lines.value(1);
    QChar best;
    qsizetype bestCount = 0;
    bool tie = false;
    for (QChar d : {QChar(u','), QChar(u';'), QChar(u'#'), QChar(u'\t'), QChar(u'|')}) {
        const qsizetype n = first.count(d);
        if (n == 0 || n != second.count(d))
            continue;
        if (n > bestCount) {
            best = d;
            bestCount = n;
            tie = false;
        } else if (n == bestCount) {
            tie = true;
        }
    }
    return tie ? QChar() : best;
}

QStringList splitCells(const QString& line, QChar delimiter) {
    QStringList cells;
    QString cell;
    bool quoted = false;
    bool wasQuoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                    cell += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cell += c;
            }
        } else if (c == QLatin1Char('"') && cell.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (!delimiter.isNull() && c == delimiter) {
            cells.append(cell);
            cell.clear();
            wasQuoted = false;
        } else {
            cell += c;
        }
    }
    cells.append(cell);
    return cells;
}

QStringList firstColumn(const QStringList& lines) {
    const QChar delimiter = chooseDelimiter(lines);
    QStringList out;
    out.reserve(lines.size());
    for (const QString& line : lines)
        out.append(splitCells(line, delimiter).first());
    return out;
}

QStringList readRequiredTags(const QString& path) {
    return firstColumn(platform::readLines(path));
}

QString requiredTagLine(const QString& name) {
    bool quote = name.startsWith(QLatin1Char('"'));
    for (QChar c : name)
        if (c == u',' || c == u';' || c == u'#' || c == u'\t' || c == u'|' || c == u'\r' ||
            c == u'\n')
            quote = true;
    if (!quote)
        return name;
    QString inner = name;
    inner.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    inner.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

void writeRequiredTags(const QString& path, const QStringList& names) {
    QStringList lines;
    lines.reserve(names.size());
    for (const QString& n : names)
        lines.append(requiredTagLine(n));
    // A missing Required folder is made again rather than leaving the user unable to save.
    QDir().mkpath(QFileInfo(path).absolutePath());
    platform::writeAnsiLines(path, lines);
}

engine::RuleValues startingRuleValues() {
    engine::RuleValues v;
    for (const rulevalues::Rule& rule : rulevalues::kRules)
        if (rule.startingValue)
            v.*rule.member = QString::fromLatin1(rule.startingValue);
    return v;
}

QStringList requiredWithDefaults(QStringList list, const engine::RuleValues& v) {
    for (const auto& [name, sw] : rulevalues::kDefaultTags) {
        const QString tag = QString::fromLatin1(name);
        if (engine::RuleValues::on(v.*sw) && !list.contains(tag, Qt::CaseInsensitive))
            list.append(tag);
    }
    return list;
}

void buildRuleTable(const platform::Folders& folders, const engine::RuleValues& v,
                    QStringList& requiredTags, engine::RuleTable& ruleTable) {
    requiredTags = requiredWithDefaults(platform::readLines(requiredTagFileToRead(folders)), v);
    const QString derived = folders.cacheFile(kDerivedTagList);
    platform::writeAnsiLines(derived, requiredTags);
    ruleTable.setNames(firstColumn(platform::readLines(derived)));
}

} // namespace rules
