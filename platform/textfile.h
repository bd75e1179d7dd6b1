#pragma once

#include "textcodec.h"

#include <QStringList>

#include <functional>

namespace platform {

// Files other than pages (settings, rules, required tags, results, noise words) are read only when
// they are regular files of at most this size: a device or a FIFO named by mistake would never end.
constexpr qint64 kMaxInputBytes = qint64(64) << 20;

// Whole-file reads and atomic writes. Failures raise EFOpenError / EFCreateError.
// Only a regular file of at most maxBytes is read; anything else is refused without waiting.
QByteArray readFileBytes(const QString& path, qint64 maxBytes = kMaxInputBytes);
DecodedText readTextFile(const QString& path);

// An output is written to a temporary file beside it and renamed over it, so a failed write
// leaves the old file as it was. A character device or FIFO (/dev/null, /dev/stdout, a pipe) is
// written in place instead, never replaced; a block device, socket or folder is refused. A
// symbolic link is followed only where the kernel's protected_symlinks rule would follow it:
// outside a sticky world-writable folder, or when it belongs to the running user or to the folder's
// owner.
void writeFileAtomically(const QString& path, const QByteArray& bytes);
// The same with the bytes made in pieces: produce hands each piece to write in turn. An exception
// of produce leaves the old file as it was and goes on to the caller.
using ByteWriter = std::function<void(const QByteArray&)>;
void writeFileAtomically(const QString& path,
                         const std::function<void(const ByteWriter&)>& produce);

// What tells two paths apart: the same device and inode when the file exists, else the same
// absolute path with its folder resolved.
struct FileIdentity {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    QString path;
    bool operator==(const FileIdentity& o) const {
        return exists == o.exists &&
               (exists ? device == o.device && inode == o.inode : path == o.path);
    }
};
FileIdentity fileIdentity(const QString& path);

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
