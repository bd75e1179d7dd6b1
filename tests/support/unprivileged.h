#pragma once

// Permission cases need a user that permissions stop; root passes every check and CI runs as
// root. There such a test runs its program, or the test function itself, as user nobody;
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

// True when the calling test function should go on in this process: the tests do not run as
// root. As root it runs the function (all its rows) again as uid/gid 65534 with a home and a
// temporary folder of that user's own, fails the test if that run fails, and answers false.
bool runsUnprivileged(const char* testFunction);

} // namespace testsupport
