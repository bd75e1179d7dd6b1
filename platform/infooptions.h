#pragma once

// --help and --version of the programs, answered before any window is made, so that they work
// without a display and never open one.

#include <cstdio>

namespace platform {

// The version every program of the delivery reports.
const char* programVersion();

// When the arguments ask for --help (-h) or --version before any "--", prints the answer for
// `program` to `out` and gives the exit status (0, or 2 when the answer cannot be written);
// -1 when the program is to start as usual. `summary` is the one line under the usage line.
int answerInfoOptions(int argc, char** argv, const char* program, const char* summary,
                      std::FILE* out);

} // namespace platform
