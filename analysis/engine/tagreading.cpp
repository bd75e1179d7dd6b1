#include "tagreading.h"

#include "textmap.h"

#include "platform/ascii.h"

#include <QHash>
#include <QVarLengthArray>

#include <algorithm>

namespace engine {

using platform::asciiLower;
using platform::trimControl;

namespace {

const QString kEndHead = QStringLiteral("</HEAD>");

QString entryName(const QString& entry) {
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    return eq < 0 ? entry : entry.left(eq);
}

} // namespace

MetaTag ParseMetaTag(const QString& line, bool unquote) {
    static const NoCaseNeedle metaNeedle(u"<META"), contentNeedle(u"CONTENT");
    // Views into the line, each step as the text it leaves.
    QStringView s = trimmedControl(line);
    const qsizetype meta = findNoCase(s, metaNeedle);
    if (meta < 0)
        throw EInvalidMetaTag();
    s = trimmedControl(s.mid(qMin(meta + 6, s.size())));
    const qsizetype eq = s.indexOf(QLatin1Char('='));
    if (eq == 0)
        throw EInvalidMetaTag();
    if (eq > 0)
        s = s.mid(eq); // the attribute name before it is not used
    s = trimmedControl(s);
    s = trimmedControl(s.mid(qMin<qsizetype>(1, s.size())));
    const qsizetype content = findNoCase(s, contentNeedle);
    if (content == 0)
        throw EInvalidMetaTag();
    QStringView name = content < 0 ? QStringView() : trimmedControl(s.left(content));
    // The content runs from after the first '=' to before the closing '>'; an XHTML tag closed
    // by "/>" reads like one closed by ">".
    QStringView value;
    if (s.endsWith(QLatin1String("/>"))) {
        const QStringView base = trimmedControl(s.left(s.size() - 2));
        value = trimmedControl(base.mid(base.indexOf(QLatin1Char('=')) + 1));
    } else {
        const qsizetype from = s.indexOf(QLatin1Char('=')) + 1;
        value = trimmedControl(s.mid(from, qMax<qsizetype>(0, s.size() - from - 1)));
    }
    if (unquote) {
        auto dropFirstAndLast = [](QStringView v) {
            return v.size() < 2 ? QStringView() : v.mid(1, v.size() - 2);
        };
        name = trimmedControl(dropFirstAndLast(name));
        value = trimmedControl(dropFirstAndLast(value));
    }
    return {name.toString(), value.toString()};
}

void BuildTagList(QStringList& list, TagReading reading, const RuleTable& ruleTable,
                  const RuleValues& rules) {
    list.clear();
    if (reading == TagReading::DescriptionAndKeywords) {
        list << QStringLiteral("Description=") << QStringLiteral("keywords=");
        return;
    }
    for (int r = 1; r < ruleTable.rowCount(); ++r) {
        const QString name = trimControl(asciiLower(ruleTable.cell(0, r)));
        if (!name.isEmpty())
            list.append(name + QLatin1Char('='));
    }
    const std::pair<const QString*, const char*> defaults[] = {{&rules.Rating, "rating="},
                                                               {&rules.Privacy, "privacy="},
                                                               {&rules.DescReq, "description="},
                                                               {&rules.KeyReq, "keywords="}};
    for (const auto& [sw, entry] : defaults)
        if (RuleValues::on(*sw) && !list.contains(QLatin1String(entry), Qt::CaseInsensitive))
            list.append(QLatin1String(entry));
}

void ReadTags(PageState& st, TagReading reading, QStringList& list, RuleTable& ruleTable) {
    const WorkingCopy& wc = st.workingCopy;
    const int s = wc.indexOfLine(st.headTag) + 2;
    const int endHead = wc.indexOfLine(kEndHead);

    // The entries by name; the first entry of a name wins.
    TextMap byName;
    for (qsizetype i = 0; i < list.size(); ++i)
        byName.insertFirst(entryName(list.at(i)).toCaseFolded(), int(i));

    if (endHead > s) {
        static const NoCaseNeedle meta(u"<META");
        // The head's text and where each of its lines up to the end-head line starts in it.
        const QString& head = wc.text();
        QVarLengthArray<qsizetype, 256> starts(endHead + 1);
        qsizetype start = 0;
        for (int i = 0; i <= endHead; ++i) {
            starts[i] = start;
            start += wc.line(i).size() + 2;
        }
        const qsizetype headEnd = starts[endHead] - 2; // the end of the line before end-head
        // For a long list: the first line where each quoted text stands (between two
        // consecutive double quotes), so that each name's walk starts at its first line.
        const bool indexed = list.size() > 16;
        QHash<QString, int> firstLine;
        if (indexed) {
            for (int i = s; i < endHead; ++i) {
                const QStringView l = wc.line(i);
                for (qsizetype q = l.indexOf(QLatin1Char('"')); q >= 0;) {
                    const qsizetype next = l.indexOf(QLatin1Char('"'), q + 1);
                    if (next < 0)
                        break;
                    const QString key = asciiLower(l.mid(q + 1, next - q - 1).toString());
                    if (!firstLine.contains(key))
                        firstLine.insert(key, i);
                    q = next;
                }
            }
        }
        for (qsizetype j = 0; j < list.size(); ++j) {
            const QString name = entryName(list.at(j));
            int from = s;
            if (indexed && !name.contains(QLatin1Char('"')) &&
                std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; })) {
                from = firstLine.value(asciiLower(name), -1);
                if (from < 0)
                    continue; // no line holds the quoted name
            }
            // No line holds a name with a line break in it.
            if (name.contains(QLatin1Char('\r')) || name.contains(QLatin1Char('\n')))
                continue;
            const QString quoted = QLatin1Char('"') + name + QLatin1Char('"');
            const NoCaseNeedle needle(quoted);
            // The first line from `from` on that holds the quoted name: the line of its first
            // occurrence in the head's text from that line's start.
            for (qsizetype at = starts[from];;) {
                const qsizetype p = findNoCase(head, needle, at, headEnd);
                if (p < 0)
                    break;
                const int i =
                    int(std::upper_bound(starts.cbegin(), starts.cend(), p) - starts.cbegin()) - 1;
                const QStringView l = wc.line(i);
                if (!containsNoCase(l, meta))
                    break;
                MetaTag tag;
                try {
                    tag = ParseMetaTag(l.toString(), true);
                } catch (const EInvalidMetaTag&) {
                    at = starts[i + 1];
                    continue;
                }
                const int named = byName.value(tag.name.toCaseFolded(), -1);
                if (reading == TagReading::DescriptionAndKeywords) {
                    if (named >= 0)
                        (j == 0 ? st.descriptionContent : st.keywordsContent) = tag.content;
                } else if (named >= 0 && !tag.content.isEmpty()) {
                    list[named] = entryName(list.at(named)) + QLatin1Char('=') + tag.content;
                }
                break;
            }
        }
    }
    if (reading != TagReading::RuleTable)
        return;
    for (int r = 1; r < ruleTable.rowCount(); ++r) {
        const QString name = trimControl(asciiLower(ruleTable.cell(0, r)));
        if (name.isEmpty())
            continue;
        const int i = byName.value(name.toCaseFolded(), -1);
        ruleTable.setCell(
            1, r, i < 0 ? QString() : list.at(i).mid(list.at(i).indexOf(QLatin1Char('=')) + 1));
    }
}

} // namespace engine
