#pragma once

#include <QString>

namespace platform {

// A name shown in a window title as it is: Qt reads "[*]" in a title as the place of its
// modified mark and drops it, and takes "[*][*]" for one literal "[*]".
inline QString titleText(QString name) {
    return name.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
}

} // namespace platform
