#include "pagefacts.h"

#include "analysis/engine/checks.h"
#include "analysis/engine/headpipeline.h"
#include "analysis/engine/nocase.h"
#include "platform/ascii.h"

#include <QUrl>

#include <algorithm>
#include <array>

namespace batch {

namespace {

// The kinds in the order the SARIF output lists its rules.
constexpr std::array<FindingKind, 24> kKinds{{
    {"no-meta-tags", "NoMetaTags", "The page has no meta tags.",
     "The page holds no <meta> tag at all, so none of the required tags can be read.", "error"},
    {"missing-tag", "MissingRequiredTag", "A required tag is missing.",
     "A tag of the required tag list is not among the page's meta tags.", "error"},
    {"tag-without-value", "TagWithoutValue", "A required tag has no value.",
     "A required meta tag stands on the page but its content is empty.", "error"},
    {"keywords-too-short", "KeywordsTooShort", "The keywords are shorter than the minimum.",
     "The keywords tag's content has fewer characters than the rule base's minimum.", "error"},
    {"keywords-too-long", "KeywordsTooLong", "The keywords are longer than the maximum.",
     "The keywords tag's content has more characters than the rule base's maximum.", "error"},
    {"description-too-short", "DescriptionTooShort", "The description is shorter than the minimum.",
     "The description tag's content has fewer characters than the rule base's minimum.", "error"},
    {"description-too-long", "DescriptionTooLong", "The description is longer than the maximum.",
     "The description tag's content has more characters than the rule base's maximum.", "error"},
    {"missing-safesurf-label", "MissingSafeSurfLabel", "The SafeSurf PICS label is missing.",
     "The rule base asks for a SafeSurf PICS label and the page has none.", "error"},
    {"missing-rsac-label", "MissingRsacLabel", "The RSAC PICS label is missing.",
     "The rule base asks for an RSAC PICS label and the page has none.", "error"},
    {"missing-weburbia-label", "MissingWeburbiaLabel", "The Weburbia PICS label is missing.",
     "The rule base asks for a Weburbia PICS label and the page has none.", "error"},
    {"keyword-repeated", "KeywordRepeated", "A keyword is repeated too often.",
     "A keyword stands more than six times in the keywords tag; the tag will be disqualified.",
     "warning"},
    {"keywords-not-in-description", "KeywordsNotInDescription",
     "No keyword is found in the description.",
     "None of the page's keywords is a word of its description.", "warning"},
    {"missing-head", "MissingHead", "The <HEAD> tag is missing.",
     "The page has no <HEAD> tag; its head is read from the top of the page.", "warning"},
    {"missing-end-head", "MissingEndHead", "The </HEAD> tag is missing.",
     "The page has no </HEAD> tag before its body.", "warning"},
    {"missing-body", "MissingBody", "The <BODY> or <FRAMESET> tag is missing.",
     "The page has neither a <BODY> nor a <FRAMESET> tag.", "warning"},
    {"missing-end-script", "MissingEndScript", "A script in the head is not ended.",
     "A <SCRIPT> element in the head has no </SCRIPT> tag.", "warning"},
    {"missing-end-style", "MissingEndStyle", "A style in the head is not ended.",
     "A <STYLE> element in the head has no </STYLE> tag.", "warning"},
    {"empty-title", "EmptyTitle", "The title is empty.", "The page's title tag has no content.",
     "warning"},
    {"title-not-ended", "TitleNotEnded", "The title tag is not ended.",
     "The page's <title> has no </title> in its head.", "warning"},
    {"title-tag-inside", "TagInsideTitle", "Another tag starts inside the title.",
     "A tag starts between the page's <title> and </title>.", "warning"},
    {"unreadable-page", "UnreadablePage", "The page file cannot be read.",
     "The page's file could not be opened or read, so it was not checked.", "error"},
    {"check-error", "CheckError", "The page's check met an error.",
     "An error stopped part of the page's check.", "error"},
    {"unlisted-page", "UnlistedPage", "The page cannot be checked.",
     "The page's name could not be listed in the web, so it was not checked.", "error"},
    {"unfetched-page", "UnfetchedPage", "The page cannot be fetched.",
     "The site answered the page with an error, a redirect out of the site or more than a page "
     "may hold, so it was not checked.",
     "error"},
}};

const QString kFileIs = QStringLiteral("File = ");

// 1-based line of a position: CR LF, CR and LF each end a line.
int lineAt(QStringView text, qsizetype pos) {
    int line = 1;
    const char16_t* d = text.utf16();
    for (qsizetype i = 0; i < pos && i < text.size(); ++i) {
        if (d[i] == '\n')
            ++line;
        else if (d[i] == '\r' && !(i + 1 < text.size() && d[i + 1] == '\n'))
            ++line;
    }
    return line;
}

// The line of the first meta tag that names `name` in double quotes, as the tag readings find
// it; 0 when none does.
int metaTagLine(const QString& text, const QString& name) {
    static const engine::NoCaseNeedle meta(u"<meta");
    const QString quoted = QLatin1Char('"') + name + QLatin1Char('"');
    const engine::NoCaseNeedle needle(quoted);
    for (qsizetype p = engine::findNoCase(text, meta); p >= 0;
         p = engine::findNoCase(text, meta, p + 1)) {
        qsizetype end = text.indexOf(QLatin1Char('>'), p);
        if (end < 0)
            end = text.size();
        if (engine::findNoCase(text, needle, p, end) >= 0)
            return lineAt(text, p);
    }
    return 0;
}

int titleLine(const QString& text) {
    const qsizetype p = engine::findNoCase(text, u"<title");
    return p < 0 ? 0 : lineAt(text, p);
}

struct Reader {
    const QString& text;
    QList<Finding>& findings;
    void add(const char* kind, const QString& tag, const QString& detail, int line = 0) {
        findings.append({QLatin1String(kind), tag, detail, line});
    }
};

// A head-problem or title line of the head pipeline; false for any other line.
bool headLine(Reader& r, const QString& line) {
    const struct {
        const QString& text;
        const char* kind;
        bool atTitle;
    } known[] = {{engine::kMissingHead, "missing-head", false},
                 {engine::kMissingEndHead, "missing-end-head", false},
                 {engine::kMissingBody, "missing-body", false},
                 {engine::kMissingEndScript, "missing-end-script", false},
                 {engine::kMissingEndStyle, "missing-end-style", false},
                 {engine::kEmptyTitle, "empty-title", true},
                 {engine::kTitleNotEnded, "title-not-ended", true},
                 {engine::kTitleTagInside, "title-tag-inside", true}};
    for (const auto& k : known) {
        if (line == platform::trimControl(k.text)) {
            r.add(k.kind, k.atTitle ? QStringLiteral("title") : QString(), line,
                  k.atTitle ? titleLine(r.text) : 0);
            return true;
        }
    }
    return false;
}

// A line of the policy check's failure reason.
void reasonLine(Reader& r, const QString& line) {
    static const QString error = QStringLiteral("Error: ");
    static const QString noValue = QStringLiteral(" Does not have a value");
    static const QString warning = QStringLiteral("Warning: ");
    static const QString below = QStringLiteral(" is less than the minimum value");
    static const QString above = QStringLiteral(" is greater than the maximum value");
    if (line == QLatin1String("File has no meta tags")) {
        r.add("no-meta-tags", QString(), line);
    } else if (line.startsWith(error) && line.endsWith(noValue)) {
        const QString tag = line.mid(error.size(), line.size() - error.size() - noValue.size());
        const int at = metaTagLine(r.text, platform::trimControl(tag));
        r.add(at > 0 ? "tag-without-value" : "missing-tag", tag, line, at);
    } else if (line.startsWith(warning) && (line.endsWith(below) || line.endsWith(above))) {
        const bool low = line.endsWith(below);
        const QString tag =
            line.mid(warning.size(), line.size() - warning.size() - (low ? below : above).size());
        const bool keywords =
            platform::asciiLower(platform::trimControl(tag)) == QLatin1String("keywords");
        const char* kind = keywords ? (low ? "keywords-too-short" : "keywords-too-long")
                                    : (low ? "description-too-short" : "description-too-long");
        r.add(kind, tag, line, metaTagLine(r.text, platform::trimControl(tag)));
    } else if (headLine(r, line)) {
    } else {
        // The PICS labels that are missing, on one line.
        const std::pair<const engine::PicsLabel*, const char*> labels[] = {
            {&engine::safeSurfLabel(), "missing-safesurf-label"},
            {&engine::rsacLabel(), "missing-rsac-label"},
            {&engine::weburbiaLabel(), "missing-weburbia-label"}};
        const QStringList parts = line.split(QStringLiteral(", "));
        QList<std::pair<const char*, QString>> found;
        for (const QString& part : parts)
            for (const auto& [label, kind] : labels)
                if (part == label->missingText)
                    found.append({kind, part.section(QLatin1Char(' '), 0, 0)});
        if (found.size() == parts.size()) {
            for (const auto& [kind, name] : found)
                r.add(kind, name, line);
        } else {
            r.add("check-error", QString(), line);
        }
    }
}

int lengthOf(const engine::RuleTable& table, const QString& name, const QString& content) {
    for (int row = 1; row < table.rowCount(); ++row)
        if (platform::trimControl(platform::asciiLower(table.cell(0, row))) == name)
            return int(platform::trimControl(table.cell(1, row)).size());
    return int(platform::trimControl(content).size());
}

void appendJsonNumber(QByteArray& to, qint64 n) {
    to += QByteArray::number(n);
}

const FindingKind* kindOf(const QString& id, int* index) {
    for (size_t i = 0; i < kKinds.size(); ++i)
        if (id == QLatin1String(kKinds[i].id)) {
            *index = int(i);
            return &kKinds[i];
        }
    return nullptr;
}

} // namespace

std::span<const FindingKind> findingKinds() {
    return kKinds;
}

PageFacts pageFacts(const engine::PageState& st, const engine::RuleTable& table,
                    const engine::PageText& page, const QString& address,
                    const engine::PaneOutput& out, bool failed, bool unreadable,
                    const QStringList& messages) {
    PageFacts f;
    f.status = unreadable ? QStringLiteral("unreadable")
               : failed   ? QStringLiteral("failed")
                          : QStringLiteral("passed");
    const QString& text = page.text;
    if (page.read) {
        static const engine::NoCaseNeedle open(u"<title"), close(u"</title>");
        const qsizetype t = engine::findNoCase(text, open);
        const qsizetype gt = t < 0 ? -1 : text.indexOf(QLatin1Char('>'), t);
        const qsizetype end = gt < 0 ? -1 : engine::findNoCase(text, close, gt);
        if (end >= 0) {
            f.hasTitle = true;
            f.title = text.mid(gt + 1, end - gt - 1).simplified();
        }
    }
    f.keywordsLength = lengthOf(table, QStringLiteral("keywords"), st.keywordsContent);
    f.descriptionLength = lengthOf(table, QStringLiteral("description"), st.descriptionContent);
    if (failed)
        f.failure = failureEntry(out.failed);

    Reader r{text, f.findings};
    if (unreadable) {
        for (const QString& m : messages)
            r.add("unreadable-page", QString(), m.mid(address.size() + 2));
    } else {
        for (const QString& m : messages)
            r.add("check-error", QString(), m.mid(address.size() + 2));
    }
    // A page that passes keeps its head-problem lines in the passed pane.
    for (const QString& raw : out.passed) {
        const QString line = platform::trimControl(raw);
        if (!line.isEmpty() && !unreadable)
            headLine(r, line);
    }
    const QString header = kFileIs + address;
    const QString singleHeader = QStringLiteral("File ") + address;
    for (const QString& raw : out.failed) {
        const QString line = platform::trimControl(raw);
        if (line.isEmpty() || line == header || line == singleHeader)
            continue;
        reasonLine(r, line);
    }

    static const QString repeated = QStringLiteral("WARNING! Keyword ");
    static const QString repeatedEnd = QStringLiteral(" times throughout keywords.");
    int keywordsLine = -1;
    auto keywordsAt = [&] {
        if (keywordsLine < 0)
            keywordsLine = metaTagLine(text, QStringLiteral("keywords"));
        return keywordsLine;
    };
    for (const QString& raw : out.keyword) {
        const QString line = platform::trimControl(raw);
        if (line.startsWith(repeated) && line.contains(repeatedEnd)) {
            const qsizetype is = line.lastIndexOf(QStringLiteral(" is repeated "));
            r.add("keyword-repeated", line.mid(repeated.size(), is - repeated.size()), line,
                  keywordsAt());
        } else if (line == QLatin1String("WARNING! Keywords not found in page description.")) {
            r.add("keywords-not-in-description", QStringLiteral("description"), line,
                  metaTagLine(text, QStringLiteral("description")));
        } else if (raw.endsWith(QLatin1Char(' '))) {
            // "keyword - count " as the keyword check writes each count.
            const qsizetype dash = raw.lastIndexOf(QStringLiteral(" - "));
            bool ok = false;
            const int n = dash < 0 ? 0 : QStringView(raw).mid(dash + 3).trimmed().toInt(&ok);
            if (ok) {
                const QString word = raw.left(dash);
                const bool seen = std::any_of(f.keywordCounts.cbegin(), f.keywordCounts.cend(),
                                              [&](const auto& c) { return c.first == word; });
                if (!seen)
                    f.keywordCounts.append({word, n});
            }
        }
    }
    return f;
}

PageFacts unlistedFacts(const QString& reason, const QStringList& failureLines) {
    PageFacts f;
    f.status = QStringLiteral("unlisted");
    f.failure = failureEntry(failureLines);
    f.findings.append({QStringLiteral("unlisted-page"), QString(),
                       QStringLiteral("The page cannot be checked: ") + reason, 0});
    return f;
}

PageFacts unfetchedFacts(const QString& reason, const QStringList& failureLines) {
    PageFacts f = unlistedFacts(reason, failureLines);
    f.status = QStringLiteral("unfetched");
    f.findings.first().kind = QStringLiteral("unfetched-page");
    return f;
}

void appendJsonString(QByteArray& to, QStringView text) {
    static const char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    to.reserve(to.size() + utf8.size() + 2);
    to += '"';
    for (const char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            to += '\\';
            to += char(c);
        } else if (c < 0x20) {
            switch (c) {
            case '\n':
                to += "\\n";
                break;
            case '\r':
                to += "\\r";
                break;
            case '\t':
                to += "\\t";
                break;
            default:
                to += "\\u00";
                to += hex[c >> 4];
                to += hex[c & 15];
            }
        } else {
            to += char(c);
        }
    }
    to += '"';
}

QByteArray pageJson(const QString& address, const PageFacts& f) {
    QByteArray j;
    j.reserve(256);
    j += "{\"address\":";
    appendJsonString(j, address);
    j += ",\"status\":";
    appendJsonString(j, f.status);
    j += ",\"title\":";
    if (f.hasTitle)
        appendJsonString(j, f.title);
    else
        j += "null";
    j += ",\"keywordsLength\":";
    appendJsonNumber(j, f.keywordsLength);
    j += ",\"descriptionLength\":";
    appendJsonNumber(j, f.descriptionLength);
    j += ",\"failure\":";
    appendJsonStrings(j, f.failure);
    j += ",\"keywords\":{";
    for (qsizetype i = 0; i < f.keywordCounts.size(); ++i) {
        if (i > 0)
            j += ',';
        appendJsonString(j, f.keywordCounts.at(i).first);
        j += ':';
        appendJsonNumber(j, f.keywordCounts.at(i).second);
    }
    j += "},\"findings\":[";
    for (qsizetype i = 0; i < f.findings.size(); ++i) {
        const Finding& g = f.findings.at(i);
        if (i > 0)
            j += ',';
        j += "{\"kind\":";
        appendJsonString(j, g.kind);
        if (!g.tag.isEmpty()) {
            j += ",\"tag\":";
            appendJsonString(j, g.tag);
        }
        j += ",\"detail\":";
        appendJsonString(j, g.detail);
        if (g.line > 0) {
            j += ",\"line\":";
            appendJsonNumber(j, g.line);
        }
        j += '}';
    }
    j += "]}";
    return j;
}

QByteArray pageSarifResults(const QString& address, const PageFacts& f) {
    QByteArray s;
    if (f.findings.isEmpty())
        return s;
    // A site's start page "/" is the root itself, not the root of its origin.
    const QByteArray uri =
        address == QLatin1String("/") ? QByteArray("./") : QUrl::toPercentEncoding(address, "/");
    for (qsizetype i = 0; i < f.findings.size(); ++i) {
        const Finding& g = f.findings.at(i);
        int index = 0;
        const FindingKind* kind = kindOf(g.kind, &index);
        if (i > 0)
            s += ',';
        s += "{\"ruleId\":";
        appendJsonString(s, g.kind);
        s += ",\"ruleIndex\":";
        appendJsonNumber(s, index);
        s += ",\"level\":\"";
        s += kind ? kind->level : "error";
        s += "\",\"message\":{\"text\":";
        appendJsonString(s, g.detail);
        s += "},\"locations\":[{\"physicalLocation\":{\"artifactLocation\":{\"uri\":\"";
        s += uri; // percent-encoded: nothing in it needs escaping
        s += "\",\"uriBaseId\":\"WEBROOT\"}";
        if (g.line > 0) {
            s += ",\"region\":{\"startLine\":";
            appendJsonNumber(s, g.line);
            s += '}';
        }
        s += "}}]";
        if (!g.tag.isEmpty()) {
            s += ",\"properties\":{\"tag\":";
            appendJsonString(s, g.tag);
            s += '}';
        }
        s += '}';
    }
    return s;
}

QStringList failureEntry(const QStringList& failedLines) {
    qsizetype b = 0;
    qsizetype e = failedLines.size();
    while (b < e && failedLines.at(b).isEmpty())
        ++b;
    while (e > b && failedLines.at(e - 1).isEmpty())
        --e;
    return failedLines.mid(b, e - b);
}

void appendJsonStrings(QByteArray& to, const QStringList& list) {
    to += '[';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i > 0)
            to += ',';
        appendJsonString(to, list.at(i));
    }
    to += ']';
}

} // namespace batch
