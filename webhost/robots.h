#pragma once

// robots.txt: the rules of the group that applies to our user agent, its crawl delay and the
// sitemaps it names.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace webhost::site {

struct RobotsRules {
    struct Rule {
        QString pattern; // as written: '*' any characters, a final '$' the end
        bool allow = false;
        QByteArray normalPattern; // the pattern's percent-encoding normalised, as paths are
    };
    QList<Rule> rules;     // of the group for our agent, else of the '*' group
    double crawlDelay = 0; // seconds between requests; 0: none given
    QStringList sitemaps;  // every Sitemap line, whatever group it stands in

    // The path (with its query) may be fetched: the longest matching rule decides, Allow winning
    // a tie; no matching rule allows it. "/robots.txt" is always allowed.
    bool allows(const QString& pathAndQuery) const;
};

// The rules for the agent whose product token is `agent` ("quillmark"), matched without regard
// to case against the groups' User-agent lines. Lines that cannot be read are skipped; a body
// of more than 500 KB is read only up to there.
RobotsRules parseRobots(const QByteArray& text, const QString& agent);

} // namespace webhost::site
