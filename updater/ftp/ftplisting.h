#pragma once

#include <QDate>
#include <QString>

namespace ftp {

// One entry of a long directory listing.
struct ListEntry {
    QString name;
    bool isDir = false;
    qint64 size = 0;
    QString date; // "%02d/%02d/%04d": day, month, year
    QString time; // "%02d:%02d:%02d"
};

// Parses one line of a Unix ("ls -l") or Windows/DOS listing. False for anything else (a "total"
// line, garbage, a line of an unknown format). A Unix line without a year takes the year that
// puts the date within the twelve months up to `today`.
bool parseListLine(const QString& line, ListEntry& entry,
                   const QDate& today = QDate::currentDate());

// The name mask of a listing, as the platform matches it: '*' any run, '?' one character,
// letters without regard to case; "*.*" and an empty mask match every name.
bool matchesMask(const QString& name, const QString& mask);

} // namespace ftp
