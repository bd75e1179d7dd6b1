#pragma once

// Reaching a window that a command shows modally: the command blocks in its own event loop, so
// the test acts from a timer.

#include <functional>

class QWidget;

namespace testsupport {

// Runs `action` on the next modal window as soon as it is open (polled every 10 ms). Given up
// with a test failure message after `timeoutMs`.
void onNextModal(std::function<void(QWidget*)> action, int timeoutMs = 10000);

} // namespace testsupport
