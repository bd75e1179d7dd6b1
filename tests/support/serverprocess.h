#pragma once

// The processes of the tests' servers: started so that they die with the test, stopped by
// their process.

#include <QProcess>
#include <QStringList>

namespace testsupport {

// A server outlives no test, even one that crashed.
void diesWithTest(QProcess& process);
void killProcess(QProcess& process);

// Starts a Python server script whose first line on standard output is the port it listens on;
// answers that port, 0 when the server did not start or said no port.
int startPortServer(QProcess& process, const QStringList& arguments);

} // namespace testsupport
