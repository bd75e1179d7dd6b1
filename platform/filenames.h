#pragma once

// File names as the programs show them, and back. A name is UTF-8 when its bytes are valid
// UTF-8, otherwise Windows-1252 (every byte maps to one character), the rule for text too: a name
// from an old web such as "caf\xE9.htm" is shown as "café.htm" and still opens.

#include <QByteArray>
#include <QString>

namespace platform {

QString decodeFileName(const char* bytes, qsizetype size);
inline QString decodeFileName(const QByteArray& bytes) {
    return decodeFileName(bytes.constData(), bytes.size());
}

// A name that can stand as one line of a list (panes, results files): no control character,
// line breaks included, and no line or paragraph separator.
bool isListableName(const QString& name);
// The name with every character that isListableName refuses shown as '?'.
QString listableForm(const QString& name);

// The bytes of a path whose names were decoded by decodeFileName. The UTF-8 form wins wherever
// it names an existing file; a name is taken as Windows-1252 only where it does not. An ASCII
// path costs nothing, any other path one lstat while its UTF-8 form exists.
QByteArray nativePath(const QString& path);
// open(2) on nativePath(path); a path longer than the system takes at once is opened a piece at
// a time, so that pages deep in a web still open. Returns -1 with errno set on failure.
int openNative(const QString& path, int flags);
int openNative(const QByteArray& native, int flags);

} // namespace platform
