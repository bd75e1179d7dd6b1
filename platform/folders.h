#pragma once

// Where a program's files live. The delivered data is read-only (installed under share/ of the
// prefix, or the build tree's program folder); what a program writes goes to the user's own
// folders, so that an installed program run by an ordinary user never writes beside itself.

#include <QString>

namespace platform {

struct Folders {
    QString data;     // read-only delivered data: help file, default lists, logo, sample web
    QString cache;    // working copies and downloads, made on demand
    QString userData; // the lists the user edits, made on demand
    // Each ends in '/'.

    // An editable list (relative to the folders, e.g. "Required/metareq.txt"): the user's copy
    // when there is one, else the delivered default.
    QString listToRead(const QString& relative) const;
    // Where an edited list is written: in the user's folder, which is made when missing. The
    // default in the data folder is never written. Raises EFCreateError.
    QString listToWrite(const QString& relative) const;
    // A working file in the cache folder, its folders made when missing. Raises EFCreateError.
    QString cacheFile(const QString& relative) const;
};

// The folders of `program` ("quillmark", "tidewell") whose executable lies in
// `executableFolder`. The data folder is the first that holds the program's help file
// ("<program>.hlp") among <executable folder>/../<data dir>/<program>/, the desktop's data
// folders + <program>/, and the executable folder itself. The cache folder is
// ${XDG_CACHE_HOME:-~/.cache}/<program>/, the user data folder
// ${XDG_DATA_HOME:-~/.local/share}/<program>/.
Folders programFolders(const QString& program, const QString& executableFolder);
// The same for the running executable.
Folders programFolders(const QString& program);

// The same folder for all three, for tools and tests that keep everything in one place.
Folders oneFolder(const QString& folder);

// Makes the folder of `file` and every missing folder on the way, each with mode 0700, and
// checks that the folder can be written. Raises EFCreateError naming `file` and the folder that
// could not be made or written. Answers `file`.
QString prepareFolderOf(const QString& file);
// The same for a folder.
void prepareFolder(const QString& folder);

// Where a file dialog starts: the last folder used, when there is one, else the user's
// documents folder (the home folder when that is missing).
QString dialogStartFolder(const QString& lastUsed);

} // namespace platform
