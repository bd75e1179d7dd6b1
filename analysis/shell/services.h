#pragma once

#include "platform/folders.h"

#include <QString>

namespace platform {
class Dialogs;
class FileDialogs;
class Shell;
class Help;
class Printer;
class Mail;
} // namespace platform

namespace webhost {
class Host;
class LocalWeb;
} // namespace webhost

namespace quillmark {

class OpenWeb;

// What the main window reaches the platform through. main.cpp wires the real ones; tests wire
// doubles.
struct Services {
    platform::Dialogs* dialogs = nullptr;
    platform::FileDialogs* fileDialogs = nullptr;
    platform::Shell* shell = nullptr;
    platform::Help* help = nullptr;
    platform::Printer* printer = nullptr;
    platform::Mail* mail = nullptr;
    webhost::Host* host = nullptr;
    webhost::LocalWeb* localWeb = nullptr; // the host's own Web menu, when the host is LocalWeb
    // The folder or the site, whichever is open, when the host is it: the Web menu's sites.
    OpenWeb* openWeb = nullptr;
    // The delivered data (read), the cache (working copies) and the user's lists (edited).
    platform::Folders folders;
    QString registryPath;
    QString instanceName; // the executable's file name
};

} // namespace quillmark
