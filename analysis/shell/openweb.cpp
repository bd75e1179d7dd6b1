#include "openweb.h"

#include "platform/registrystore.h"
#include "webhost/localweb.h"
#include "webhost/siteweb.h"

#include <QUrl>

namespace quillmark {

const QString OpenWeb::kStateKey = QStringLiteral("\\Software\\VRNH\\SiteWeb");

namespace {

const QString kSiteValue = QStringLiteral("site");
const QString kPageValue = QStringLiteral("page");

QString recentValue(int i) {
    return QStringLiteral("recent%1").arg(i + 1);
}

} // namespace

// An Explorer or Editor made by OpenWeb: it makes the open web's own object when it is first
// needed after a switch.
class OpenWeb::Forwarder {
public:
    explicit Forwarder(OpenWeb& owner) : m_owner(&owner) { owner.m_forwarders.append(this); }
    virtual ~Forwarder() {
        if (m_owner)
            m_owner->m_forwarders.removeOne(this);
    }
    Forwarder(const Forwarder&) = delete;
    Forwarder& operator=(const Forwarder&) = delete;

    virtual void drop() = 0;
    void orphan() {
        drop();
        m_owner = nullptr;
    }

protected:
    webhost::Host& host() {
        if (!m_owner)
            throw webhost::HostError(QStringLiteral("The web is closed."));
        return m_owner->openHost();
    }

private:
    OpenWeb* m_owner;
};

namespace {

class ForwardingExplorer final : public webhost::Explorer, public OpenWeb::Forwarder {
public:
    explicit ForwardingExplorer(OpenWeb& owner) : Forwarder(owner) { inner(); }

    void vtiGetDocToFile(QString& address, const QString& localPath) override {
        inner().vtiGetDocToFile(address, localPath);
    }
    webhost::PageListing vtigetpagesinfolder(const QString& folder, int flag) override {
        return inner().vtigetpagesinfolder(folder, flag);
    }
    QStringList webFolders() override { return inner().webFolders(); }
    void copyListedPage(QString& address, const QString& localPath) override {
        inner().copyListedPage(address, localPath);
    }
    void drop() override { m_inner.reset(); }

private:
    webhost::Explorer& inner() {
        if (!m_inner)
            m_inner = host().createExplorer();
        return *m_inner;
    }
    std::unique_ptr<webhost::Explorer> m_inner;
};

class ForwardingEditor final : public webhost::Editor, public OpenWeb::Forwarder {
public:
    explicit ForwardingEditor(OpenWeb& owner) : Forwarder(owner) { inner(); }

    QString vtiGetTopPageURL() override { return inner().vtiGetTopPageURL(); }
    QString vtiGetMetaTag(QString& address, const QString& unused, const QString& name, int flag1,
                          int flag2) override {
        return inner().vtiGetMetaTag(address, unused, name, flag1, flag2);
    }
    void vtiSetMetaTag(QString& address, const QString& unused, const QString& name,
                       QString& content, int isNew, int flag2) override {
        inner().vtiSetMetaTag(address, unused, name, content, isNew, flag2);
    }
    void drop() override { m_inner.reset(); }

private:
    webhost::Editor& inner() {
        if (!m_inner)
            m_inner = host().createEditor();
        return *m_inner;
    }
    std::unique_ptr<webhost::Editor> m_inner;
};

} // namespace

OpenWeb::OpenWeb(webhost::LocalWeb& local, QString registryPath, QString copyFolder)
    : m_local(local), m_registryPath(std::move(registryPath)), m_copyFolder(std::move(copyFolder)) {
    load();
}

OpenWeb::~OpenWeb() {
    // The objects made here may outlive it; they refuse from now on.
    for (Forwarder* f : std::as_const(m_forwarders))
        f->orphan();
}

std::unique_ptr<webhost::Explorer> OpenWeb::createExplorer() {
    return std::make_unique<ForwardingExplorer>(*this);
}

std::unique_ptr<webhost::Editor> OpenWeb::createEditor() {
    return std::make_unique<ForwardingEditor>(*this);
}

webhost::Host& OpenWeb::openHost() {
    if (m_site)
        return *m_site;
    return m_local;
}

QString OpenWeb::addressProblem(const QString& address) {
    const QString text = address.trimmed();
    if (text.isEmpty())
        return QStringLiteral("Type the address of the site, such as https://www.example.org/.");
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return QStringLiteral("The address %1 cannot be read: %2").arg(text, url.errorString());
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return QStringLiteral("The address %1 is not the address of a site: it must begin with "
                              "http:// or https://.")
            .arg(text);
    if (url.host().isEmpty())
        return QStringLiteral("The address %1 names no host: write it as https://www.example.org/.")
            .arg(text);
    return QString();
}

void OpenWeb::replaceSite(std::unique_ptr<webhost::SiteWeb> site) {
    // The old site's objects go before it does.
    for (Forwarder* f : std::as_const(m_forwarders))
        f->drop();
    m_site.reset();
    m_site = std::move(site);
}

void OpenWeb::openSite(const QString& address) {
    const QString text = address.trimmed();
    const QString problem = addressProblem(text);
    if (!problem.isEmpty())
        throw webhost::HostError(problem);
    // The old site empties and removes the copy folder the new one uses: it goes first.
    replaceSite(nullptr);
    webhost::SiteOptions options;
    options.address = text;
    replaceSite(std::make_unique<webhost::SiteWeb>(std::move(options), m_copyFolder));
    m_recent.removeAll(text);
    m_recent.prepend(text);
    while (m_recent.size() > kRecentSites)
        m_recent.removeLast();
    save();
}

void OpenWeb::openFolder(const QString& folder) {
    m_local.openWeb(folder);
    if (!m_site)
        return;
    replaceSite(nullptr);
    save();
}

void OpenWeb::openSitePage(const QString& address) {
    if (!m_site)
        throw webhost::HostError(QStringLiteral("No site is open."));
    m_site->openPage(address);
    save();
}

QStringList OpenWeb::recentSites() const {
    return m_recent;
}

void OpenWeb::load() {
    platform::RegistryStore reg(m_registryPath);
    if (!reg.openKeyReadOnly(kStateKey))
        return;
    for (int i = 0; i < kRecentSites; ++i) {
        const QString address = reg.readString(recentValue(i)).trimmed();
        if (!address.isEmpty() && !m_recent.contains(address) && addressProblem(address).isEmpty())
            m_recent.append(address);
    }
    const QString address = reg.readString(kSiteValue).trimmed();
    if (address.isEmpty() || !addressProblem(address).isEmpty())
        return;
    try {
        webhost::SiteOptions options;
        options.address = address;
        m_site = std::make_unique<webhost::SiteWeb>(std::move(options), m_copyFolder);
        const QString page = reg.readString(kPageValue);
        if (!page.isEmpty())
            m_site->openPage(page);
    } catch (const webhost::HostError&) {
        // A stored site that cannot be opened again: the folder is open.
        m_site.reset();
    }
}

void OpenWeb::save() {
    platform::RegistryStore reg(m_registryPath);
    bool ok = reg.openKey(kStateKey, true) &&
              reg.writeString(kSiteValue, m_site ? m_site->options().address : QString()) &&
              reg.writeString(kPageValue, m_site ? m_site->openPageAddress() : QString());
    for (int i = 0; ok && i < kRecentSites; ++i) {
        if (i < m_recent.size())
            ok = reg.writeString(recentValue(i), m_recent.at(i));
        else if (reg.valueExists(recentValue(i)))
            ok = reg.deleteValue(recentValue(i));
    }
    if (!ok)
        throw webhost::HostError(
            QStringLiteral("The web host cannot keep its state: %1").arg(reg.lastError()));
}

} // namespace quillmark
