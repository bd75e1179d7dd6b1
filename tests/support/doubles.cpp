#include "doubles.h"

#include "platform/errors.h"

#include <QThread>

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>

namespace testsupport {

platform::Dialogs::Button ScriptedDialogs::show(Kind kind, const QString& text,
                                                const QList<Button>& buttons) {
    const Shown s{kind, text, buttons};
    shown.append(s);
    if (onShow)
        onShow(s);
    if (buttons.size() <= 1)
        return buttons.isEmpty() ? Button::Ok : buttons.first();
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons.last();
}

QStringList ScriptedDialogs::texts() const {
    QStringList out;
    for (const Shown& s : shown)
        out.append(s.text);
    return out;
}

int ScriptedDialogs::count(const QString& text) const {
    return int(texts().count(text));
}

QString ScriptedFileDialogs::next() {
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

QString ScriptedFileDialogs::openFileName(const Options& options) {
    asked.append({QStringLiteral("open"), options});
    return next();
}

QString ScriptedFileDialogs::saveFileName(const Options& options) {
    asked.append({QStringLiteral("save"), options});
    return next();
}

QString ScriptedFileDialogs::existingDirectory(const QString& title, const QString& folder) {
    Options o;
    o.title = title;
    o.folder = folder;
    asked.append({QStringLiteral("folder"), o});
    return next();
}

PdfPrinter::PdfPrinter(QString folder) : m_folder(std::move(folder)) {
    QDir().mkpath(m_folder);
}

PdfPrinter::~PdfPrinter() = default;

QPrinter& PdfPrinter::startJob(const QString& title) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    const QString folder = unwritable ? m_folder + QStringLiteral("/missing") : m_folder;
    const QString path = folder + QStringLiteral("/job%1.pdf").arg(jobs.size() + 1);
    printer->setOutputFileName(path);
    printer->setDocName(title);
    jobs.append({title, path});
    m_printers.push_back(std::move(printer));
    return *m_printers.back();
}

namespace {

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

QString pdfText(const QString& path) {
    return run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
}

QString pdfInfo(const QString& path, const QString& field) {
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    const QRegularExpression re(
        QStringLiteral("^%1:\\s*(.*)$").arg(QRegularExpression::escape(field)),
        QRegularExpression::MultilineOption);
    return re.match(info).captured(1).trimmed();
}

int RecordingMail::sendMail(const QString& subject, const QString& body) {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    sent.append({subject, body, cursor && cursor->shape() == Qt::WaitCursor});
    return results.isEmpty() ? platform::kMailSuccess : results.takeFirst();
}

QString ScriptedInstaller::systemDirectory() {
    if (failSystemDirectory)
        throw platform::Error(QStringLiteral("The system directory cannot be found."));
    return systemDir;
}

bool ScriptedInstaller::start(const QString& command, const QString& parameters,
                              const QString& directory, bool wait) {
    started.append({command, parameters, directory, wait});
    return realProcesses ? platform::startProgram(command, parameters, directory, wait) : true;
}

void ScriptedInstaller::pause(int) {
    ++pauses;
    if (onPause)
        onPause();
    if (pauseMs > 0)
        QThread::msleep(ulong(pauseMs));
}

namespace {

class FaultyEditor : public webhost::Editor {
public:
    FaultyEditor(std::unique_ptr<webhost::Editor> inner, FaultyHost& host)
        : m_inner(std::move(inner)), m_host(host) {}
    QString vtiGetTopPageURL() override {
        ++m_host.topPageCalls;
        if (m_host.failTopPage)
            throw webhost::HostError(QStringLiteral("No page is open in the web host."));
        return m_inner->vtiGetTopPageURL();
    }
    QString vtiGetMetaTag(QString& a, const QString& u, const QString& n, int f1, int f2) override {
        m_host.metaCalls.append({QStringLiteral("get"), a, n, QString(), f1, f2});
        return m_inner->vtiGetMetaTag(a, u, n, f1, f2);
    }
    void vtiSetMetaTag(QString& a, const QString& u, const QString& n, QString& c, int f1,
                       int f2) override {
        m_host.metaCalls.append({QStringLiteral("set"), a, n, c, f1, f2});
        m_inner->vtiSetMetaTag(a, u, n, c, f1, f2);
    }

private:
    std::unique_ptr<webhost::Editor> m_inner;
    FaultyHost& m_host;
};

class FaultyExplorer : public webhost::Explorer {
public:
    FaultyExplorer(std::unique_ptr<webhost::Explorer> inner, FaultyHost& host)
        : m_inner(std::move(inner)), m_host(host) {}
    void vtiGetDocToFile(QString& address, const QString& localPath) override {
        ++m_host.getDocCalls;
        if (m_host.failGetDoc || m_host.getDocCalls == m_host.failGetDocAt)
            throw webhost::HostError(QStringLiteral("The page cannot be fetched."));
        m_inner->vtiGetDocToFile(address, localPath);
        if (m_host.getDocCalls == m_host.loseDocAt)
            QFile::remove(localPath);
    }
    webhost::PageListing vtigetpagesinfolder(const QString& folder, int flag) override {
        m_host.listedFolders.append(folder);
        if (m_host.failListing)
            throw webhost::HostError(QStringLiteral("The folder cannot be listed."));
        return m_inner->vtigetpagesinfolder(folder, flag);
    }
    QStringList webFolders() override { return m_inner->webFolders(); }

private:
    std::unique_ptr<webhost::Explorer> m_inner;
    FaultyHost& m_host;
};

} // namespace

std::unique_ptr<webhost::Explorer> FaultyHost::createExplorer() {
    if (failExplorer)
        throw webhost::HostError(QStringLiteral("Explorer cannot be created"));
    return std::make_unique<FaultyExplorer>(m_inner.createExplorer(), *this);
}

std::unique_ptr<webhost::Editor> FaultyHost::createEditor() {
    if (failEditor)
        throw webhost::HostError(QStringLiteral("Editor cannot be created"));
    return std::make_unique<FaultyEditor>(m_inner.createEditor(), *this);
}

} // namespace testsupport
