#include "siteweb.h"

// Placeholder until the site host's fetching lands: every operation says the site cannot be
// reached, so no caller mistakes it for a working host.

namespace webhost {

struct SiteWeb::State {
    SiteOptions options;
    QString copyFolder;
    SiteProgress progress;
    SiteListing listing;
    QString openPage;
};

namespace {
[[noreturn]] void notYet() {
    throw HostError(QStringLiteral("Sites cannot be fetched yet."));
}
} // namespace

SiteWeb::SiteWeb(SiteOptions options, QString copyFolder) : m(std::make_unique<State>()) {
    m->options = std::move(options);
    m->copyFolder = std::move(copyFolder);
}
SiteWeb::~SiteWeb() = default;
std::unique_ptr<Explorer> SiteWeb::createExplorer() {
    notYet();
}
std::unique_ptr<Editor> SiteWeb::createEditor() {
    notYet();
}
const SiteOptions& SiteWeb::options() const {
    return m->options;
}
QString SiteWeb::rootUrl() const {
    return m->options.address;
}
QString SiteWeb::addressOf(const QString&) const {
    return QString();
}
void SiteWeb::setProgress(SiteProgress progress) {
    m->progress = std::move(progress);
}
const SiteListing& SiteWeb::list() {
    notYet();
}
const SiteListing& SiteWeb::listPages(const QStringList&) {
    notYet();
}
const SiteListing& SiteWeb::listing() const {
    return m->listing;
}
QString SiteWeb::copyOf(const QString&) const {
    return QString();
}
QString SiteWeb::openPageAddress() const {
    return m->openPage;
}
void SiteWeb::openPage(const QString& address) {
    m->openPage = address;
}

} // namespace webhost
