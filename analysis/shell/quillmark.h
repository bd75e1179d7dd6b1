#pragma once

#include "services.h"

#include <memory>

namespace quillmark {

class MainWindow;

// The program entry's start-up: the main window with the instance test and initialize, then the
// long-lived windows. The window is not shown; terminated() tells whether the program must end.
std::unique_ptr<MainWindow> startQuillmark(const Services& services);

// Start-up, then the message loop until the main window closes.
int runQuillmark(const Services& services);

} // namespace quillmark
