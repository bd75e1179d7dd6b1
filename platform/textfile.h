#pragma once

#include "textcodec.h"

#include <QStringList>

namespace platform {

// Whole-file reads and atomic writes. Failures raise EFOpenError / EFCreateError.
QByteArray readFileBytes(const QString& path);
DecodedText readTextFile(const QString& path);
// Written through QSaveFile: a failed write leaves the old file as it was.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

// A text's lines: breaks are CR LF, LF or CR; a break at the very end adds no empty line.
QStringList splitLines(const QString& text);
// The lines with CR LF after every line.
QString joinLines(const QStringList& lines);

QStringList readLines(const QString& path);
// The bytes of lines as the programs write them: CR LF after every line, in the ANSI code page
// (see encodeAnsiText).
QByteArray ansiLinesBytes(const QStringList& lines);
// CR LF after every line, in the ANSI code page (see encodeAnsiText).
void writeAnsiLines(const QString& path, const QStringList& lines);

} // namespace platform
