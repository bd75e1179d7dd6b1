#pragma once

// The working-file names live with the reading of a page file.
#include "pagefile.h"
