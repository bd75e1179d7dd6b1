#pragma once

// Helper processes that run as an unprivileged user. Root passes every permission check, so a
// test of a file that cannot be read runs its program as user nobody when it runs as root (CI);
// otherwise the test's own user is unprivileged already.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace testsupport {

bool runningAsRoot();

// Lets the unprivileged user into a folder of the test: the folder, everything under it and the
// folders on the way to it that the test owns become searchable and readable, and under the
// folder writable when asked.
void shareFolder(const QString& folder, bool writable);

// Starts the program as the unprivileged user, with the process environment already set on it.
// The program and the sanitizers' suppressions file are copied into `sharedFolder` first: the
// build tree may be out of that user's reach.
void startUnprivileged(QProcess& process, const QString& program, const QStringList& args,
                       const QString& sharedFolder);

} // namespace testsupport
