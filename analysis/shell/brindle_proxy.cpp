// The main window's proxy settings command.
#include "brindle.h"

#include "analysis/proxy/psetting.h"
#include "analysis/rules/rulestore.h"

namespace quillmark {

void TForm1::ProxySettings1Click() {
    Tpset pset(*m_services.dialogs, *m_services.help, m_helpFile, m_services.registryPath,
               rules::kSettingsKey, this);
    pset.exec();
}

} // namespace quillmark
