#include "robots.h"

#include "siteurl.h"

#include <cmath>

namespace webhost::site {

namespace {

constexpr qsizetype kMaxRobotsBytes = 500 * 1024;

// The product token at the start of a User-agent value ("quillmark" of "Quillmark/5.0").
QByteArray productToken(const QByteArray& value) {
    qsizetype n = 0;
    while (n < value.size()) {
        const char c = value.at(n);
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '-'))
            break;
        ++n;
    }
    return value.left(n).toLower();
}

// Matches the pattern ('*' any run of characters, a final '$' the end) against the start of the
// path: the classic wildcard walk, backtracking only to the last '*'.
bool patternMatches(QByteArrayView pattern, QByteArrayView path) {
    bool anchored = false;
    if (pattern.endsWith('$')) {
        anchored = true;
        pattern.chop(1);
    }
    qsizetype p = 0;
    qsizetype s = 0;
    qsizetype star = -1;
    qsizetype resume = 0;
    while (true) {
        if (p == pattern.size() && (!anchored || s == path.size()))
            return true;
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = s;
            continue;
        }
        if (p < pattern.size() && s < path.size() && pattern[p] == path[s]) {
            ++p;
            ++s;
            continue;
        }
        if (star < 0 || resume >= path.size())
            return false;
        p = star + 1;
        s = ++resume;
    }
}

} // namespace

bool RobotsRules::allows(const QString& pathAndQuery) const {
    QByteArray path = normalPercentEncoding(pathAndQuery.toUtf8());
    if (!path.startsWith('/'))
        path.prepend('/');
    if (path == "/robots.txt")
        return true;
    qsizetype best = -1;
    bool allowed = true;
    for (const Rule& rule : rules) {
        const QByteArray& pattern = rule.normalPattern;
        if (pattern.size() < best || !patternMatches(pattern, path))
            continue;
        if (pattern.size() > best || rule.allow) {
            allowed = rule.allow;
            best = pattern.size();
        }
    }
    return allowed;
}

RobotsRules parseRobots(const QByteArray& body, const QString& agent) {
    QByteArray text = body.startsWith("\xEF\xBB\xBF") ? body.mid(3) : body;
    if (text.size() > kMaxRobotsBytes) {
        // A line cut in two could say less than it does: "Allow: /a" of "Allow: /abc".
        text.truncate(kMaxRobotsBytes);
        const qsizetype lastBreak = std::max(text.lastIndexOf('\n'), text.lastIndexOf('\r'));
        text.truncate(lastBreak < 0 ? 0 : lastBreak);
    }
    const QByteArray ourAgent = agent.toLower().toUtf8();

    struct Group {
        bool ours = false;
        bool any = false;
        QList<RobotsRules::Rule> rules;
        double crawlDelay = 0;
    };
    QList<Group> groups;
    bool collectingAgents = false; // the lines just read were User-agent lines
    RobotsRules result;

    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype lineEnd = at;
        while (lineEnd < text.size() && text.at(lineEnd) != '\n' && text.at(lineEnd) != '\r')
            ++lineEnd;
        QByteArray line = text.mid(at, lineEnd - at);
        at = lineEnd + 1;
        if (const qsizetype hash = line.indexOf('#'); hash >= 0)
            line.truncate(hash);
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray key = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();

        if (key == "user-agent") {
            if (!collectingAgents || groups.isEmpty())
                groups.append(Group());
            collectingAgents = true;
            const QByteArray token = value == "*" ? QByteArray("*") : productToken(value);
            if (token == "*")
                groups.last().any = true;
            else if (!token.isEmpty() && token == ourAgent)
                groups.last().ours = true;
            continue;
        }
        if (key == "sitemap") {
            // not part of any group
            const QString location = QString::fromUtf8(value);
            if (!location.isEmpty() && !result.sitemaps.contains(location))
                result.sitemaps.append(location);
            continue;
        }
        if (key != "allow" && key != "disallow" && key != "crawl-delay")
            continue;
        collectingAgents = false;
        if (groups.isEmpty())
            continue; // rules before any User-agent line belong to no group
        Group& group = groups.last();
        if (key == "crawl-delay") {
            bool ok = false;
            const double delay = value.toDouble(&ok);
            if (ok && std::isfinite(delay) && delay > 0 && group.crawlDelay == 0)
                group.crawlDelay = delay;
            continue;
        }
        if (value.isEmpty())
            continue; // "Disallow:" allows everything; an empty Allow says nothing
        RobotsRules::Rule rule;
        rule.pattern = QString::fromUtf8(value);
        rule.allow = key == "allow";
        rule.normalPattern = normalPercentEncoding(value);
        group.rules.append(rule);
    }

    // Every group naming our agent counts, else every '*' group.
    const bool haveOurs =
        std::any_of(groups.cbegin(), groups.cend(), [](const Group& g) { return g.ours; });
    for (const Group& g : groups) {
        if (haveOurs ? !g.ours : !g.any)
            continue;
        result.rules.append(g.rules);
        if (result.crawlDelay == 0)
            result.crawlDelay = g.crawlDelay;
    }
    return result;
}

} // namespace webhost::site
