#pragma once

#include <QString>

#include <optional>

namespace webhost {

// Where a meta tag stands in a page's text.
struct MetaTagSpan {
    qsizetype tagStart = 0;
    qsizetype tagEnd = 0; // just after the closing '>'
    bool hasContent = false;
    qsizetype contentStart = 0; // the content attribute's value, quotes included
    qsizetype contentEnd = 0;
    QString content; // decoded value
    bool selfClosing = false;
};

// The first meta tag of the head whose name (or http-equiv) equals name, case aside. Comments
// are skipped; the search ends at the end of the head or the start of the body.
std::optional<MetaTagSpan> findMetaTag(const QString& html, const QString& name);

// The text with the meta tag's content set; a missing tag is added at the end of the head.
// Throws webhost::HostError when the page has no head to put it in.
QString withMetaTag(const QString& html, const QString& name, const QString& content);

QString escapeAttribute(const QString& value);
QString unescapeAttribute(const QString& value);

} // namespace webhost
