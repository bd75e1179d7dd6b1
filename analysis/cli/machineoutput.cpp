#include "machineoutput.h"

#include "analysis/batch/pagefacts.h"
#include "analysis/rules/rulevalues.h"
#include "platform/infooptions.h"

#include <QUrl>

namespace checkcli {

namespace {

using batch::appendJsonString;

void appendSource(QByteArray& j, const QString& kind, const QString& path) {
    j += "{\"kind\":";
    appendJsonString(j, kind);
    j += ",\"path\":";
    appendJsonString(j, path);
    j += '}';
}

void appendText(QByteArray& j, const char* name, const char* text) {
    j += '"';
    j += name;
    j += "\":{\"text\":";
    appendJsonString(j, QString::fromUtf8(text));
    j += '}';
}

} // namespace

QByteArray jsonOpening(const RuleSources& sources, const engine::RuleValues& values,
                       const QStringList& requiredTags, const QString& webFolder) {
    QByteArray j = "{\"tool\":{\"name\":\"quillmark-check\",\"version\":";
    appendJsonString(j, QString::fromUtf8(platform::programVersion()));
    j += "},\n\"rules\":{\"source\":";
    appendSource(j, sources.rulesKind, sources.rulesPath);
    j += ",\"values\":{";
    bool first = true;
    for (const rulevalues::Rule& rule : rulevalues::kRules) {
        if (!first)
            j += ',';
        first = false;
        appendJsonString(j, rulevalues::valueName(rule));
        j += ':';
        appendJsonString(j, values.*rule.member);
    }
    j += "}},\n\"required\":{\"source\":";
    appendSource(j, sources.requiredKind, sources.requiredPath);
    j += ",\"tags\":";
    batch::appendJsonStrings(j, requiredTags);
    j += "},\n\"web\":";
    appendJsonString(j, webFolder);
    j += ",\n\"pages\":[";
    return j;
}

QByteArray sarifOpening(const RuleSources& sources, const QString& webFolder) {
    QByteArray s = "{\"$schema\":\"https://json.schemastore.org/sarif-2.1.0.json\","
                   "\"version\":\"2.1.0\",\"runs\":[{\"tool\":{\"driver\":{"
                   "\"name\":\"quillmark-check\",\"version\":";
    appendJsonString(s, QString::fromUtf8(platform::programVersion()));
    s += ",\"rules\":[";
    bool first = true;
    for (const batch::FindingKind& k : batch::findingKinds()) {
        s += first ? "\n" : ",\n";
        first = false;
        s += "{\"id\":";
        appendJsonString(s, QString::fromUtf8(k.id));
        s += ",\"name\":";
        appendJsonString(s, QString::fromUtf8(k.name));
        s += ',';
        appendText(s, "shortDescription", k.shortText);
        s += ',';
        appendText(s, "fullDescription", k.fullText);
        s += ",\"defaultConfiguration\":{\"level\":\"";
        s += k.level;
        s += "\"}}";
    }
    s += "]}},\n\"originalUriBaseIds\":{\"WEBROOT\":{\"uri\":";
    // A site's root is its address already.
    QString root = isSiteAddress(webFolder)
                       ? QUrl(webFolder).toString(QUrl::FullyEncoded)
                       : QUrl::fromLocalFile(webFolder).toString(QUrl::FullyEncoded);
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    appendJsonString(s, root);
    s += "}},\n\"properties\":{\"rules\":";
    appendSource(s, sources.rulesKind, sources.rulesPath);
    s += ",\"required\":";
    appendSource(s, sources.requiredKind, sources.requiredPath);
    s += "},\n\"results\":[";
    return s;
}

} // namespace checkcli
