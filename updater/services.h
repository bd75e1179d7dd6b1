#pragma once

#include "platform/folders.h"

#include <QString>

namespace platform {
class Dialogs;
class FileDialogs;
class Help;
class Shell;
class Installer;
} // namespace platform

namespace tidewell {

// What the updater's windows reach the platform through. main.cpp wires the real ones; tests
// wire doubles and a server of their own.
struct Services {
    platform::Dialogs* dialogs = nullptr;
    platform::FileDialogs* fileDialogs = nullptr;
    platform::Help* help = nullptr;
    platform::Shell* shell = nullptr;
    platform::Installer* installer = nullptr;
    QString registryPath;
    // The help file is read from the data folder; "regversioninfo.txt", "wversion.txt" and the
    // downloads go to the cache folder.
    platform::Folders folders;
    QString updateHost;
    int updatePort = 21;
};

// The public keys whose signatures the window trusts: the build's (TIDEWELL_SIGNING_KEYS) plus
// "keys.pub" in the data folder.
QString builtInSigningKeys();

// The update server, fixed when the program is built (TIDEWELL_UPDATE_HOST/PORT).
QString defaultUpdateHost();
int defaultUpdatePort();

} // namespace tidewell
