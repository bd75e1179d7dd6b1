// The main window's proxy settings command.
#include "mainwindow.h"

#include "analysis/proxy/proxysettings.h"
#include "analysis/rules/rulestore.h"

namespace quillmark {

void MainWindow::editProxySettings() {
    ProxySettingsDialog pset(*m_services.dialogs, *m_services.help, m_helpFile,
                             m_services.registryPath, rules::kSettingsKey, this);
    pset.exec();
}

} // namespace quillmark
