#pragma once

// Permission cases need a user that permissions stop; root passes every check and CI runs as
// root. There the test function runs again in a process of its own as nobody.

namespace testsupport {

// True when the calling test function should go on in this process: the tests do not run as
// root. As root it runs the function (all its rows) again as uid/gid 65534 with a home and a
// temporary folder of that user's own, fails the test if that run fails, and answers false.
bool runsUnprivileged(const char* testFunction);

} // namespace testsupport
