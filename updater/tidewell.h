#pragma once

#include "services.h"

#include <memory>

namespace tidewell {

class TForm1;

// The program entry's start-up: the main window and its FormCreate (not shown yet).
std::unique_ptr<TForm1> startTidewell(const Services& services);
// Start-up, then the message loop until the main window closes.
int runTidewell(const Services& services);

} // namespace tidewell
