#pragma once

#include "platform/errors.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace ftp {

// The action set, in the order of its values 0 to 11.
enum TickftpActions {
    ickftpIdle,
    ickftpAbort,
    ickftpLogon,
    ickftpLogoff,
    ickftpDownload,
    ickftpUpload,
    ickftpDeleteFile,
    ickftpRenameFile,
    ickftpListDirectory,
    ickftpListDirectoryLong,
    ickftpMakeDirectory,
    ickftpRemoveDirectory,
    // Internal actions, run the same way as the others.
    ickftpGetWorkingDirectory,
    ickftpChangeWorkingDirectory,
};

enum TickftpTransferMode { icktmDefault, icktmASCII, icktmBinary };

// A failed action: the code, and the message "code: description".
class EickFTP : public platform::Error {
public:
    EickFTP(int code, const QString& description, bool safeguard = false)
        : platform::Error(QStringLiteral("%1: %2").arg(code).arg(description), code),
          m_description(description), m_safeguard(safeguard) {}
    const QString& description() const { return m_description; }
    // The failure is one of the client's safeguards (TLS, a stall, bytes that do not belong,
    // a size cap); its description says which.
    bool isSafeguard() const { return m_safeguard; }

private:
    QString m_description;
    bool m_safeguard = false;
};

// An FTP client driven by properties: set host, login, paths and modes, then set Action. Each
// action runs on a worker thread of its own while the calling thread waits in slices of at most
// 10 ms, dispatching its events meanwhile; the worker hands every event to the calling thread
// and waits until the handler has returned, so handlers run there, one at a time, in order.
// Failures raise EickFTP from setAction (or setRemotePath).
//
// The calling thread must run a QCoreApplication; a close request from the window system or a
// quit request during a wait ends the transfer and the wait (259).
class TickFTP {
public:
    // The port is the owner's choice (the update server listens on 21).
    explicit TickFTP(int port = 21);
    ~TickFTP();
    TickFTP(const TickFTP&) = delete;
    TickFTP& operator=(const TickFTP&) = delete;

    int Port() const { return m_port; }
    void setPort(int port) { m_port = port; }

    QString RemoteHost() const { return m_remoteHost; }
    void setRemoteHost(const QString& v) { m_remoteHost = v.left(256); }
    QString User() const { return m_user; }
    void setUser(const QString& v) { m_user = v.left(128); }
    QString Password() const { return m_password; }
    void setPassword(const QString& v) { m_password = v.left(128); }
    QString RemotePath() const { return m_remotePath; }
    // Stores the path; on an open connection it then changes the server's directory there.
    void setRemotePath(const QString& v);
    QString RemoteFile() const { return m_remoteFile; }
    void setRemoteFile(const QString& v) { m_remoteFile = v.left(260); }
    // The new name of ickftpRenameFile.
    QString RenameTo() const { return m_renameTo; }
    void setRenameTo(const QString& v) { m_renameTo = v.left(260); }
    QString LocalFile() const { return m_localFile; }
    // The platform's path limit (4096 here), so a long local path is never cut to another file.
    void setLocalFile(const QString& v) { m_localFile = v.left(4096); }
    TickftpTransferMode TransferMode() const { return m_transferMode; }
    void setTransferMode(TickftpTransferMode v) { m_transferMode = v; }
    bool Passive() const { return m_passive; }
    void setPassive(bool v) { m_passive = v; }
    bool UseCache() const { return m_useCache; }
    void setUseCache(bool v) { m_useCache = v; }
    int Timeout() const { return m_timeout; }
    void setTimeout(int seconds) { m_timeout = seconds; }
    // Seconds without a byte of a transfer or without a reply of the server after which the
    // action fails with 12002; never retried. Tests lower it; the updater keeps the default.
    static constexpr int kStallSeconds = 60;
    int StallTimeout() const { return m_stallTimeout; }
    void setStallTimeout(int seconds) { m_stallTimeout = qMax(1, seconds); }
    // The most bytes a download may bring; more end it there with 12030. 0: no cap.
    qint64 MaxSize() const { return m_maxSize; }
    void setMaxSize(qint64 bytes) { m_maxSize = qMax<qint64>(0, bytes); }
    QString ProxyServer() const { return m_proxyServer; }
    void setProxyServer(const QString& v) { m_proxyServer = v; }
    QString ProxyUser() const { return m_proxyUser; }
    void setProxyUser(const QString& v) { m_proxyUser = v; }
    QString ProxyPassword() const { return m_proxyPassword; }
    void setProxyPassword(const QString& v) { m_proxyPassword = v; }
    // Every connection asks for TLS (AUTH TLS, then both channels protected); a server that
    // has none is used in plain text unless RequireTls is set, which makes that a failure.
    bool RequireTls() const { return m_requireTls; }
    void setRequireTls(bool v) { m_requireTls = v; }
    // The CA certificates the server's certificate is checked against; empty: the system's.
    QString CaFile() const { return m_caFile; }
    void setCaFile(const QString& v) { m_caFile = v.left(4096); }
    QString LastReply() const;

    // The running action, ickftpIdle when none runs.
    TickftpActions Action() const;
    // Runs the action and returns when it has ended; ickftpIdle stops a running action.
    void setAction(TickftpActions action);
    bool busy() const;
    bool connected() const { return m_connected; }

    // Events, delivered on the thread that set Action.
    std::function<void(TickFTP& Sender)> OnStartTransfer;
    std::function<void(TickFTP& Sender, qint64 BytesTransferred, const QByteArray& Text)>
        OnTransfer;
    std::function<void(TickFTP& Sender, const QString& FileName, bool IsDir, qint64 FileSize,
                       const QString& FileDate, const QString& FileTime)>
        OnDirList;
    std::function<void(TickFTP& Sender)> OnEndTransfer;
    std::function<void(TickFTP& Sender, int StatusCode, const QString& Description)> OnStatus;

private:
    struct Impl;
    friend struct Impl;

    int m_port;
    QString m_remoteHost, m_user, m_password, m_remotePath, m_remoteFile, m_renameTo, m_localFile;
    TickftpTransferMode m_transferMode = icktmDefault;
    bool m_passive = false;
    bool m_useCache = true;
    int m_timeout = 0;
    int m_stallTimeout = kStallSeconds;
    qint64 m_maxSize = 0;
    QString m_proxyServer, m_proxyUser, m_proxyPassword;
    bool m_requireTls = false;
    QString m_caFile;
    bool m_connected = false;
    std::unique_ptr<Impl> d;
};

} // namespace ftp
