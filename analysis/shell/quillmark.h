#pragma once

#include "services.h"

#include <memory>

namespace quillmark {

class MainWindow;

// The services of one run: the seams `given` sets and, for each one it leaves unset, the
// platform's real one, made and owned here. Without a host the host is an OpenWeb: the LocalWeb
// of the registry file and data folder, or the site the user opened, its copies in the cache
// folder's site/. An empty folder, registry file or instance name is the installed program's:
// quillmark's folders (platform::programFolders), the user's registry file, the executable's name.
// main.cpp gives nothing; tests and benchmarks give the seams they script.
class WiredServices {
public:
    explicit WiredServices(Services given = {});
    ~WiredServices();
    WiredServices(const WiredServices&) = delete;
    WiredServices& operator=(const WiredServices&) = delete;

    const Services& services() const { return m_services; }

private:
    Services m_services;
    // The real seams made here. The help speaks through the dialogs: they are made before it and
    // outlive it.
    std::unique_ptr<platform::Dialogs> m_dialogs;
    std::unique_ptr<platform::FileDialogs> m_fileDialogs;
    std::unique_ptr<platform::Shell> m_shell;
    std::unique_ptr<platform::Help> m_help;
    std::unique_ptr<platform::Printer> m_printer;
    std::unique_ptr<platform::Mail> m_mail;
    std::unique_ptr<webhost::LocalWeb> m_localWeb;
    std::unique_ptr<OpenWeb> m_openWeb; // on the LocalWeb: declared after it
};

// The program entry's start-up: the main window with the instance test and initialize, then the
// long-lived windows. The window is not shown; terminated() tells whether the program must end.
std::unique_ptr<MainWindow> startQuillmark(const Services& services);

// Start-up, then the message loop until the main window closes.
int runQuillmark(const Services& services);

} // namespace quillmark
