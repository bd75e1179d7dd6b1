#include "ftplisting.h"

#include <QRegularExpression>

namespace ftp {

namespace {

QString dateText(int day, int month, int year) {
    return QString::asprintf("%02d/%02d/%04d", day, month, year);
}

QString timeText(int h, int m, int s) {
    return QString::asprintf("%02d:%02d:%02d", h, m, s);
}

int monthNumber(const QString& m) {
    static const char* names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                  "jul", "aug", "sep", "oct", "nov", "dec"};
    const QString l = m.toLower();
    for (int i = 0; i < 12; ++i)
        if (l == QLatin1String(names[i]))
            return i + 1;
    return 0;
}

bool parseUnix(const QString& line, ListEntry& e, const QDate& today) {
    // type+perms, links, owner, [group], size, month, day, year-or-time, name
    static const QRegularExpression re(QStringLiteral(
        "^([-dlbcps])[-rwxsStTl+.@]{9,10}\\s+\\d+\\s+(?:\\S+\\s+){1,2}(\\d+)\\s+"
        "([A-Za-z]{3})\\s+(\\d{1,2})\\s+(\\d{4}|\\d{1,2}:\\d{2}(?::\\d{2})?)\\s(.+)$"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return false;
    const int month = monthNumber(m.captured(3));
    const int day = m.captured(4).toInt();
    if (month == 0 || day < 1 || day > 31)
        return false;
    QString name = m.captured(6);
    const QChar type = m.captured(1).at(0);
    if (type == QLatin1Char('l')) {
        const qsizetype arrow = name.indexOf(QLatin1String(" -> "));
        if (arrow > 0)
            name.truncate(arrow);
    }
    if (name.isEmpty())
        return false;
    const QString yt = m.captured(5);
    int year, h = 0, mi = 0, s = 0;
    if (yt.contains(QLatin1Char(':'))) {
        const QStringList parts = yt.split(QLatin1Char(':'));
        h = parts.value(0).toInt();
        mi = parts.value(1).toInt();
        s = parts.value(2).toInt();
        if (h > 23 || mi > 59 || s > 59)
            return false;
        // The server leaves the year out for the last months; a day after today (one day of
        // slack for the server's time zone) belongs to last year.
        year = today.year();
        const QDate d(year, month, qMin(day, QDate(year, month, 1).daysInMonth()));
        if (d > today.addDays(1))
            --year;
    } else {
        year = yt.toInt();
    }
    bool ok = false;
    e.size = m.captured(2).toLongLong(&ok);
    if (!ok)
        return false;
    e.name = name;
    e.isDir = type == QLatin1Char('d');
    e.date = dateText(day, month, year);
    e.time = timeText(h, mi, s);
    return true;
}

bool parseDos(const QString& line, ListEntry& e) {
    // 01-05-23  12:34PM       <DIR>          name    or    01-05-2023  09:03  1234 name
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2})-(\\d{1,2})-(\\d{2}|\\d{4})\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?"
                       "\\s*([AaPp][Mm])?\\s+"
                       "(<DIR>|\\d+)\\s+(.+)$"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return false;
    const int month = m.captured(1).toInt();
    const int day = m.captured(2).toInt();
    int year = m.captured(3).toInt();
    if (m.captured(3).size() == 2)
        year += year < 70 ? 2000 : 1900;
    int h = m.captured(4).toInt();
    const int mi = m.captured(5).toInt();
    const int s = m.captured(6).toInt();
    const QString ampm = m.captured(7).toUpper();
    if (!ampm.isEmpty()) {
        if (h < 1 || h > 12)
            return false;
        if (ampm == QLatin1String("PM") && h != 12)
            h += 12;
        else if (ampm == QLatin1String("AM") && h == 12)
            h = 0;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || h > 23 || mi > 59 || s > 59)
        return false;
    e.isDir = m.captured(8).compare(QLatin1String("<DIR>"), Qt::CaseInsensitive) == 0;
    e.size = e.isDir ? 0 : m.captured(8).toLongLong();
    e.name = m.captured(9);
    e.date = dateText(day, month, year);
    e.time = timeText(h, mi, s);
    return true;
}

bool globMatch(const QChar* n, const QChar* ne, const QChar* p, const QChar* pe) {
    // Iterative wildcard match with one backtrack point.
    const QChar* starP = nullptr;
    const QChar* starN = nullptr;
    while (n < ne) {
        if (p < pe && *p == QLatin1Char('*')) {
            starP = ++p;
            starN = n;
        } else if (p < pe && (*p == QLatin1Char('?') || p->toCaseFolded() == n->toCaseFolded())) {
            ++p;
            ++n;
        } else if (starP) {
            p = starP;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pe && *p == QLatin1Char('*'))
        ++p;
    return p == pe;
}

} // namespace

bool parseListLine(const QString& line, ListEntry& entry, const QDate& today) {
    QString l = line;
    while (l.endsWith(QLatin1Char('\r')) || l.endsWith(QLatin1Char('\n')))
        l.chop(1);
    if (l.isEmpty())
        return false;
    ListEntry e;
    if (!parseUnix(l, e, today) && !parseDos(l, e))
        return false;
    entry = e;
    return true;
}

bool matchesMask(const QString& name, const QString& mask) {
    if (mask.isEmpty() || mask == QLatin1String("*.*") || mask == QLatin1String("*"))
        return true;
    if (globMatch(name.constData(), name.constData() + name.size(), mask.constData(),
                  mask.constData() + mask.size()))
        return true;
    // "name.*" also matches "name", as the platform's masks do.
    if (mask.endsWith(QLatin1String(".*"))) {
        const QString stem = mask.left(mask.size() - 2);
        return globMatch(name.constData(), name.constData() + name.size(), stem.constData(),
                         stem.constData() + stem.size());
    }
    return false;
}

} // namespace ftp
