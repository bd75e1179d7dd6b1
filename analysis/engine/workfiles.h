#pragma once

// The working-file names live with the reading of a page file.
#include "pagefile.h"

#include <QString>

namespace engine {

// Files of the data folder that several windows name.
inline const QString kLogoFile = QStringLiteral("dorazo/logo22-gif.gif");
inline const QString kHelpFileName = QStringLiteral("quillmark.hlp");

} // namespace engine
