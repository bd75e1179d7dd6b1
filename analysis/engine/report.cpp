#include "report.h"
#include "workfiles.h"

#include "platform/errors.h"
#include "platform/textcodec.h"
#include "platform/textfile.h"

#include <QDir>
#include <QUrl>

#include <utility>

namespace engine {

namespace {

void appendPane(QStringList& out, const QStringList& pane) {
    for (const QString& line : pane)
        out.append(escapeHtml(line) + QStringLiteral("<br>"));
}

void appendFailedAndPassed(QStringList& out, const QStringList& failedPane,
                           const QStringList& passedPane) {
    out << QStringLiteral("<p><font size=\"3\" face=\"Verdana\"><b>Section One - Files that failed "
                          "the report</b></font><br>")
        << QStringLiteral(
               "<font size=\"2\" face=\"Verdana\">This section shows a listing of the files that")
        << QStringLiteral("failed the reporting and why they failed.</font></p>")
        << QStringLiteral("<p><font size=\"2\" face=\"Verdana\">") << QStringLiteral("<br>");
    appendPane(out, failedPane);
    out << QStringLiteral("</font></p>");

    out << QStringLiteral("<p><font size=\"3\" face=\"Verdana\"><b>Section Two - Files that Passed "
                          "the report</b></font><br>")
        << QStringLiteral(
               "<font size=\"2\" face=\"Verdana\">This section shows a listing of the files that")
        << QStringLiteral("passed the analysis.</font></p>")
        << QStringLiteral("<p><font size=\"2\" face=\"Verdana\">") << QStringLiteral("<br>");
    appendPane(out, passedPane);
    out << QStringLiteral("</font></p>");
}

// Section Three's explanation; check and browser view differ in their wording and figures.
void appendSectionThree(QStringList& out, const QStringList& keywordPane, const QString& checkWord,
                        const QString& bodyWords, const QString& limit, const QString& countedIn) {
    out << QStringLiteral("<p><font size=\"3\" face=\"Verdana\"><b>Section Three - Keyword Density "
                          "and Spam</b></p>")
        << QStringLiteral("<font size=\"2\" face=\"Verdana\">")
        << QStringLiteral("<p>This section checks Keyword Density and Spam Analysis<BR>")
        << QStringLiteral("The ") + checkWord +
               QStringLiteral(" check is used to verify that the keywords are found in")
        << QStringLiteral(
               "the description Meta tag and in the body of the document.  The body of the")
        << QStringLiteral("document is defined as the text found between the ") + bodyWords +
               QStringLiteral(" HTML")
        << QStringLiteral(
               "tags.  Generally, search engines will not read all the text in the body,")
        << QStringLiteral("usually just the first ") + limit +
               QStringLiteral(" characters into the body and by default that is")
        << QStringLiteral(
               "what Quillmark will check.  Many times, keywords are placed in the document,")
        << QStringLiteral("but far below the ") + limit + QStringLiteral("-character limit.</p>")
        << QStringLiteral(
               "<p>This report will also list the keywords listed in the keywords Meta tag and")
        << QStringLiteral("the number of times they occur in the first ") + countedIn +
               QStringLiteral(" characters of")
        << QStringLiteral("body text.  To see where the ") + limit +
               QStringLiteral("-character limit is, select Body Check")
        << QStringLiteral("Tester from the Special menu in Quillmark.  Select ") + limit +
               QStringLiteral(" from the menu then")
        << QStringLiteral(
               "click on the lightning bolt button.  The Body Check Tester will show the")
        << QStringLiteral("first ") + limit +
               QStringLiteral("-characters in the body of the document.</p>")
        << QStringLiteral("</font>") << QStringLiteral("<p><font size=\"2\" face=\"Verdana\">")
        << QStringLiteral("<br><br>");
    appendPane(out, keywordPane);
    out << QStringLiteral("</font></p>");
}

} // namespace

QString escapeHtml(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QStringList reportHead(const QString& dataFolder) {
    return reportHeadWithLogo(
        QUrl::fromLocalFile(QDir(dataFolder).absoluteFilePath(engine::kLogoFile))
            .toString(QUrl::FullyEncoded));
}

QString logoDataUrl(const QString& dataFolder) {
    const QString path = QDir(dataFolder).absoluteFilePath(engine::kLogoFile);
    // A logo is a few kilobytes; a larger file is no logo of ours and would bloat every report.
    const QByteArray bytes = platform::readFileBytes(path, qint64(1) << 20);
    // Told by its first bytes, as a browser tells it: the name says nothing certain.
    static const std::pair<QByteArray, QLatin1String> kPictures[] = {
        {QByteArrayLiteral("GIF87a"), QLatin1String("image/gif")},
        {QByteArrayLiteral("GIF89a"), QLatin1String("image/gif")},
        {QByteArrayLiteral("\x89PNG\r\n\x1A\n"), QLatin1String("image/png")},
        {QByteArrayLiteral("\xFF\xD8\xFF"), QLatin1String("image/jpeg")},
    };
    for (const auto& [magic, type] : kPictures)
        if (bytes.startsWith(magic))
            return QStringLiteral("data:") + type + QStringLiteral(";base64,") +
                   QString::fromLatin1(bytes.toBase64());
    throw platform::EFOpenError(path, QStringLiteral("It is not a GIF, PNG or JPEG picture."));
}

QStringList reportHeadWithLogo(const QString& logoSource) {
    return {
        QStringLiteral("<html>"),
        QStringLiteral("<head>"),
        QStringLiteral("<meta http-equiv=\"Content-Language\" content=\"en-us\">"),
        QStringLiteral(
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"),
        QStringLiteral("<meta name=\"GENERATOR\" content=\"Quillmark 4.0\">"),
        QStringLiteral("<meta name=\"description\" content=\"Quillmark Report\">"),
        QStringLiteral("<meta name=\"Keywords\" content=\"metadata, analysis\">"),
        QStringLiteral("<Title>Quillmark metadata analysis report</title>"),
        QStringLiteral("</HEAD>"),
        QStringLiteral("<body text=\"#000000\" bgcolor=\"#FFFFCC\">"),
        logoSource.isEmpty()
            ? QStringLiteral("<p>")
            : QStringLiteral("<p><img border=\"0\" src=\"") + escapeHtml(logoSource) +
                  QStringLiteral("\" align=\"right\" alt=\"Varnholt Logo\" >"),
        QStringLiteral("<font face=\"Verdana\" size=\"4\">Quillmark metadata analysis report<br>"),
        QStringLiteral("</font><font face=\"Verdana\" size=\"2\">This report is developed to "
                       "assist you in determining the general meaning of"),
        QStringLiteral("your HTML documents; showing how machine aided indexing will catalog the"),
        QStringLiteral("pages.  Additionally, the report will help you to determine if your pages "
                       "follow company policy."),
        QStringLiteral(
            "The report will show files that passed the checks, files that failed the</font>"),
        QStringLiteral(
            "<font face=\"Verdana\" size=\"2\">checks and Keyword Density and Spam analysis."),
        QStringLiteral("</font></p>"),
    };
}

QStringList reportBody(const QStringList& failedPane, const QStringList& passedPane,
                       const QStringList& keywordPane, const QString& bodychk) {
    QStringList out;
    appendFailedAndPassed(out, failedPane, passedPane);
    appendSectionThree(out, keywordPane, QStringLiteral("keyword density"),
                       QStringLiteral("body and end body"), bodychk, bodychk);
    return out;
}

QStringList browserViewBody(const QStringList& failedPane, const QStringList& passedPane,
                            const QStringList& keywordPane, const QString& bodychk) {
    QStringList out;
    appendFailedAndPassed(out, failedPane, passedPane);
    appendSectionThree(out, keywordPane, QStringLiteral("key word density"),
                       QStringLiteral("<body> and </body>"), QStringLiteral("7500"), bodychk);
    return out;
}

void writeReport(const QString& path, const QStringList& lines) {
    platform::writeFileAtomically(path, platform::encodeWindows1252Ncr(platform::joinLines(lines)));
}

} // namespace engine
