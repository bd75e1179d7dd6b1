#pragma once

#include "platform/textcodec.h"

#include <QByteArray>
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

// One change of a text: `removed` characters at `position` replaced by `inserted`.
struct TextEdit {
    qsizetype position = 0;
    qsizetype removed = 0;
    QString inserted;
};

// The smallest change that gives the meta tag its content: the attribute's text is kept as it
// stands (entities, quotes) and only the characters that differ are replaced, escaped for the
// quotes around them; a missing tag is added at the end of the head. None when the tag holds the
// content already. Throws webhost::HostError when the page has no head to put the tag in.
std::optional<TextEdit> metaTagEdit(const QString& html, const QString& name,
                                    const QString& content);
// The text with the edit of metaTagEdit applied.
QString withMetaTag(const QString& html, const QString& name, const QString& content);

// The charset label that the page declares (meta charset, the Content-Type meta tag, else the
// XML declaration), lower case; empty when it declares none.
QString declaredCharset(const QString& html);
// Charset labels that browsers read as UTF-8, and as Windows-1252 (ISO-8859-1 and ASCII among
// them); lower case.
bool isUtf8Label(const QString& label);
bool isWindows1252Label(const QString& label);

// How characters that a page does not hold yet are written into its bytes.
enum class NewTextBytes {
    Utf8,
    Windows1252, // numeric character references for what it cannot hold
    References,  // ASCII, everything else as numeric character references
};
// Chosen from the page's declared charset, as long as the page's bytes agree with it; from the
// bytes alone when it declares none. A page of ASCII only that declares nothing stays ASCII.
NewTextBytes newTextBytes(const QString& html, platform::TextEncoding encoding);
QByteArray encodeNewText(const QString& text, NewTextBytes how);

// The page's bytes with the meta tag set: every byte outside the change stays as it was and the
// inserted characters are written as newTextBytes says. None when nothing changes.
std::optional<QByteArray> withMetaTagBytes(const QByteArray& page, const QString& name,
                                           const QString& content);

QString escapeAttribute(const QString& value);
QString unescapeAttribute(const QString& value);

} // namespace webhost
