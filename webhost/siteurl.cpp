#include "siteurl.h"

#include <QUrl>

namespace webhost::site {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The characters a component may hold as they are; every other byte is percent-encoded.
enum class Part { Path, Query, UserInfo };

bool keptAsIs(unsigned char c, Part part) {
    if (isAlpha(char(c)) || isDigit(char(c)))
        return true;
    switch (c) {
    case '-':
    case '.':
    case '_':
    case '~': // unreserved
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')': // sub-delims
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
        return true;
    case ':':
        return true;
    case '@':
    case '/':
        return part != Part::UserInfo;
    case '?':
        return part == Part::Query;
    default:
        return false;
    }
}

// Links and addresses are written by people: tabs and line breaks inside them are dropped and
// the blanks and controls around them trimmed, as browsers do.
QByteArray cleanedReference(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.removeIf([](char c) { return c == '\t' || c == '\n' || c == '\r'; });
    qsizetype from = 0;
    qsizetype to = bytes.size();
    while (from < to && static_cast<unsigned char>(bytes.at(from)) <= 0x20)
        ++from;
    while (to > from && static_cast<unsigned char>(bytes.at(to - 1)) <= 0x20)
        --to;
    return bytes.mid(from, to - from);
}

// The scheme of a reference in lower case, with the length of "scheme:"; 0 when it has none.
qsizetype schemeOf(const QByteArray& ref, QByteArray& scheme) {
    if (ref.isEmpty() || !isAlpha(ref.at(0)))
        return 0;
    for (qsizetype i = 1; i < ref.size(); ++i) {
        const char c = ref.at(i);
        if (c == ':') {
            scheme = ref.left(i).toLower();
            return i + 1;
        }
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

QByteArray removeDotSegments(const QByteArray& path) {
    QList<QByteArray> out;
    const QList<QByteArray> segments = path.split('/');
    // segments[0] is empty for an absolute path
    for (qsizetype i = 1; i < segments.size(); ++i) {
        const QByteArray& s = segments.at(i);
        const bool last = i + 1 == segments.size();
        if (s == ".") {
            if (last)
                out.append(QByteArray());
        } else if (s == "..") {
            if (!out.isEmpty())
                out.removeLast();
            if (last)
                out.append(QByteArray());
        } else {
            out.append(s);
        }
    }
    QByteArray result;
    result.reserve(path.size());
    for (const QByteArray& s : out)
        result.append('/').append(s);
    return result.isEmpty() ? QByteArrayLiteral("/") : result;
}

// The host in lower case (ASCII-compatible encoding for an international name), or empty when
// it is not a host name or address.
QByteArray normalHost(const QByteArray& written) {
    if (written.startsWith('[')) {
        if (!written.endsWith(']') || written.size() < 4)
            return QByteArray();
        for (qsizetype i = 1; i + 1 < written.size(); ++i) {
            const char c = written.at(i);
            if (!isDigit(c) && hexValue(c) < 0 && c != ':' && c != '.')
                return QByteArray();
        }
        return written.toLower();
    }
    const QByteArray host = QByteArray::fromPercentEncoding(written);
    if (host.isEmpty())
        return QByteArray();
    bool ascii = true;
    for (const char c : host) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            ascii = false;
            continue;
        }
        if (u <= 0x20 || u == 0x7F || QByteArrayView("#%/:<>?@[\\]^|\"`{}").contains(c))
            return QByteArray();
    }
    if (ascii) {
        QByteArray lower = host.toLower();
        if (!lower.contains("xn--"))
            return lower;
    }
    return QUrl::toAce(QString::fromUtf8(host)); // empty for a name IDNA refuses
}

QByteArray percentNormalised(QByteArrayView bytes, Part part) {
    QByteArray out;
    out.reserve(bytes.size() + 8);
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '%' && i + 2 < n && hexValue(bytes[i + 1]) >= 0 && hexValue(bytes[i + 2]) >= 0) {
            const auto v =
                static_cast<unsigned char>(hexValue(bytes[i + 1]) * 16 + hexValue(bytes[i + 2]));
            if (isAlpha(char(v)) || isDigit(char(v)) || v == '-' || v == '.' || v == '_' ||
                v == '~')
                out.append(char(v));
            else
                out.append('%').append(kHex[v >> 4]).append(kHex[v & 15]);
            i += 2;
        } else if (c != '%' && keptAsIs(c, part)) {
            out.append(char(c));
        } else {
            out.append('%').append(kHex[c >> 4]).append(kHex[c & 15]);
        }
    }
    return out;
}

struct Parts {
    QByteArray scheme;    // lower case
    QByteArray authority; // as written
    QByteArray path;
    QByteArray query;
    bool hasAuthority = false;
    bool hasQuery = false;
};

// A reference split into its components (RFC 3986, appendix B), the fragment dropped.
Parts split(const QByteArray& ref) {
    Parts p;
    QByteArray rest = ref;
    if (const qsizetype hash = rest.indexOf('#'); hash >= 0)
        rest.truncate(hash);
    if (const qsizetype len = schemeOf(rest, p.scheme))
        rest.remove(0, len);
    if (const qsizetype q = rest.indexOf('?'); q >= 0) {
        p.query = rest.mid(q + 1);
        p.hasQuery = true;
        rest.truncate(q);
    }
    // Browsers read a backslash in an http(s) path as a slash; pages written on Windows rely on it.
    rest.replace('\\', '/');
    if (rest.startsWith("//")) {
        const qsizetype slash = rest.indexOf('/', 2);
        p.hasAuthority = true;
        p.authority = rest.mid(2, slash < 0 ? -1 : slash - 2);
        rest = slash < 0 ? QByteArray() : rest.mid(slash);
    }
    p.path = rest;
    return p;
}

bool isWebScheme(const QByteArray& scheme) {
    return scheme == "http" || scheme == "https";
}

QString compose(const Parts& p) {
    if (!isWebScheme(p.scheme) || !p.hasAuthority)
        return QString();
    QByteArray authority = p.authority;
    QByteArray userInfo;
    if (const qsizetype at = authority.lastIndexOf('@'); at >= 0) {
        userInfo = percentNormalised(authority.left(at), Part::UserInfo);
        authority.remove(0, at + 1);
    }
    QByteArray hostPart = authority;
    QByteArray port;
    const qsizetype colon = authority.lastIndexOf(':');
    if (colon >= 0 && authority.indexOf(']', colon) < 0) {
        hostPart = authority.left(colon);
        port = authority.mid(colon + 1);
    }
    const QByteArray host = normalHost(hostPart);
    if (host.isEmpty())
        return QString();
    QByteArray out = p.scheme + "://";
    if (!userInfo.isEmpty())
        out += userInfo + '@';
    out += host;
    if (!port.isEmpty()) {
        bool ok = false;
        for (const char c : port)
            if (!isDigit(c))
                return QString();
        const int number = port.toInt(&ok);
        if (!ok || number > 65535)
            return QString();
        if (!((p.scheme == "http" && number == 80) || (p.scheme == "https" && number == 443)))
            out += ':' + QByteArray::number(number);
    }
    QByteArray path = percentNormalised(p.path, Part::Path);
    out += path.startsWith('/') ? removeDotSegments(path) : removeDotSegments('/' + path);
    if (p.hasQuery && !p.query.isEmpty())
        out += '?' + percentNormalised(p.query, Part::Query);
    return QString::fromLatin1(out);
}

} // namespace

QByteArray normalPercentEncoding(QByteArrayView pathAndQuery) {
    return percentNormalised(pathAndQuery, Part::Query);
}

QString normalUrl(const QString& url) {
    return compose(split(cleanedReference(url)));
}

QString resolveLink(const QString& baseUrl, const QString& link) {
    const QByteArray ref = cleanedReference(link);
    if (ref.isEmpty())
        return QString();
    const Parts base = split(cleanedReference(normalUrl(baseUrl)));
    if (base.scheme.isEmpty())
        return QString();
    Parts r = split(ref);
    if (!r.scheme.isEmpty() && !isWebScheme(r.scheme))
        return QString();
    // "http:page.htm" on an http page is relative, as browsers read it.
    if (r.scheme == base.scheme && !r.hasAuthority)
        r.scheme.clear();
    if (!r.scheme.isEmpty())
        return compose(r);
    Parts target = base;
    if (r.hasAuthority) {
        target.authority = r.authority;
        target.path = r.path;
        target.query = r.query;
        target.hasQuery = r.hasQuery;
    } else if (r.path.isEmpty()) {
        if (r.hasQuery) {
            target.query = r.query;
            target.hasQuery = true;
        }
    } else {
        if (r.path.startsWith('/'))
            target.path = r.path;
        else
            target.path = base.path.left(base.path.lastIndexOf('/') + 1) + r.path;
        target.query = r.query;
        target.hasQuery = r.hasQuery;
    }
    return compose(target);
}

QString siteRoot(const QString& startUrl) {
    const QString url = normalUrl(startUrl);
    if (url.isEmpty())
        return QString();
    const qsizetype pathStart = url.indexOf(QLatin1Char('/'), url.indexOf(QLatin1String("//")) + 2);
    qsizetype end = url.indexOf(QLatin1Char('?'), pathStart);
    if (end < 0)
        end = url.size();
    return url.left(url.lastIndexOf(QLatin1Char('/'), end - 1) + 1);
}

bool withinRoot(const QString& root, const QString& url) {
    const QString prefix = siteRoot(root);
    // The root ends with '/', so a match ends on a segment boundary and covers the whole origin.
    return !prefix.isEmpty() && normalUrl(url).startsWith(prefix);
}

QString addressOf(const QString& root, const QString& url) {
    const QString prefix = siteRoot(root);
    const QString normal = normalUrl(url);
    if (prefix.isEmpty() || !normal.startsWith(prefix))
        return QString();
    const QString rest = normal.mid(prefix.size());
    if (rest.isEmpty() || rest.startsWith(QLatin1Char('?')))
        return QLatin1Char('/') + rest;
    return rest;
}

QString urlOfAddress(const QString& root, const QString& address) {
    const QString prefix = siteRoot(root);
    if (prefix.isEmpty())
        return QString();
    QByteArray scheme;
    const QByteArray ref = cleanedReference(address);
    const QString url =
        schemeOf(ref, scheme)
            ? normalUrl(address)
            : normalUrl(prefix + QString::fromUtf8(ref.startsWith('/') ? ref.mid(1) : ref));
    return url.startsWith(prefix) ? url : QString();
}

QString folderOfAddress(const QString& address) {
    QStringView path(address);
    if (const qsizetype q = path.indexOf(QLatin1Char('?')); q >= 0)
        path = path.left(q);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return QString();
    path = path.left(slash);
    while (path.startsWith(QLatin1Char('/')))
        path = path.mid(1);
    return path.toString();
}

} // namespace webhost::site
