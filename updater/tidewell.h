#pragma once

#include "services.h"

#include <memory>

namespace tidewell {

class MainWindow;

// The program entry's start-up: the main window with its product list loaded (not shown yet).
std::unique_ptr<MainWindow> startTidewell(const Services& services);
// Start-up, then the message loop until the main window closes.
int runTidewell(const Services& services);

} // namespace tidewell
