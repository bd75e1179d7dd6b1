#pragma once

// The seams' test doubles, shared by every test.

#include "platform/dialogs.h"
#include "platform/filedialogs.h"
#include "platform/help.h"
#include "platform/installer.h"
#include "platform/mail.h"
#include "platform/printer.h"
#include "platform/shell.h"
#include "webhost/host.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class QPrinter;

namespace testsupport {

// Records every box and answers from a script; a box with one button gets it, a question with
// no scripted answer gets its last button (No).
class ScriptedDialogs : public platform::Dialogs {
public:
    struct Shown {
        Kind kind;
        QString text;
        QList<Button> buttons;
    };
    QList<Shown> shown;
    QList<Button> answers;
    // Runs while a box is "open" (e.g. to check that commands are held off meanwhile).
    std::function<void(const Shown&)> onShow;

    Button show(Kind kind, const QString& text, const QList<Button>& buttons) override;
    QStringList texts() const;
    int count(const QString& text) const;
};

class ScriptedFileDialogs : public platform::FileDialogs {
public:
    struct Asked {
        QString kind; // "open", "save", "folder"
        Options options;
    };
    QList<Asked> asked;
    QStringList answers; // empty text = cancel

    QString openFileName(const Options& options) override;
    QString saveFileName(const Options& options) override;
    QString existingDirectory(const QString& title, const QString& folder) override;

private:
    QString next();
};

class RecordingShell : public platform::Shell {
public:
    QList<QUrl> opened;
    bool result = true;
    bool open(const QUrl& url) override {
        opened.append(url);
        return result;
    }
};

class RecordingHelp : public platform::Help {
public:
    struct Topic {
        QString file;
        int topic;
    };
    QList<Topic> topics;
    void showTopic(const QString& helpFile, int topic) override {
        topics.append({helpFile, topic});
    }
};

// Prints every job to a PDF file of its own in a folder; pdfText and pdfInfo read them back.
class PdfPrinter : public platform::Printer {
public:
    struct Job {
        QString title; // as the job was started
        QString path;  // the PDF file
    };
    explicit PdfPrinter(QString folder);
    ~PdfPrinter() override;
    QList<Job> jobs;
    int setupCalls = 0;
    // The job cannot start: its output goes to a folder that does not exist.
    bool unwritable = false;

    QPrinter& startJob(const QString& title) override;
    void setup(QWidget*) override { ++setupCalls; }

private:
    QString m_folder;
    std::vector<std::unique_ptr<QPrinter>> m_printers;
};

// A PDF's text as pdftotext reads it (form feed between pages).
QString pdfText(const QString& path);
// One field of pdfinfo ("Title", "Pages").
QString pdfInfo(const QString& path, const QString& field);

// Records every message handed to the mail program and answers from a script (0 when empty).
class RecordingMail : public platform::Mail {
public:
    struct Sent {
        QString subject;
        QString body;
        bool hourglass; // the wait cursor was shown meanwhile
    };
    QList<Sent> sent;
    QList<int> results;
    int sendMail(const QString& subject, const QString& body) override;
};

// The installer seam: a system directory of the test's own, every start recorded; with
// realProcesses the programs really run. pause() records and sleeps pauseMs instead.
class ScriptedInstaller : public platform::Installer {
public:
    struct Started {
        QString command, parameters, directory;
        bool wait;
    };
    QString systemDir;
    bool failSystemDirectory = false;
    bool realProcesses = false;
    int pauseMs = 0;
    int pauses = 0;
    // Runs at every pause, after the count (e.g. to act while a poll waits).
    std::function<void()> onPause;
    QList<Started> started;

    QString systemDirectory() override;
    bool start(const QString& command, const QString& parameters, const QString& directory,
               bool wait) override;
    void pause(int milliseconds) override;
};

// A host that wraps another and can be told to fail.
class FaultyHost : public webhost::Host {
public:
    explicit FaultyHost(webhost::Host& inner) : m_inner(inner) {}
    bool failExplorer = false;
    bool failEditor = false;
    bool failTopPage = false;
    bool failGetDoc = false;
    int failGetDocAt = 0; // the fetch of this number (1 = the first) fails; 0: none
    int loseDocAt = 0;    // the fetch of this number answers success but leaves no file
    bool failListing = false;
    int topPageCalls = 0;
    int getDocCalls = 0;
    QStringList listedFolders; // the folder of every listing asked for, in order
    // Every meta-tag call of the Editor objects, in order.
    struct MetaCall {
        QString op; // "get" or "set"
        QString address;
        QString name;
        QString content;
        int flag1;
        int flag2;
    };
    QList<MetaCall> metaCalls;

    std::unique_ptr<webhost::Explorer> createExplorer() override;
    std::unique_ptr<webhost::Editor> createEditor() override;

private:
    webhost::Host& m_inner;
};

} // namespace testsupport
