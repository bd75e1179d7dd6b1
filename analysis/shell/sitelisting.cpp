#include "sitelisting.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmark {

const QString SiteListingWindow::kCaption = QStringLiteral("Listing the Site, Please Wait...");

namespace {
// Often enough to answer the user, seldom enough not to slow a listing of many pages.
constexpr int kRefreshMs = 25;
} // namespace

SiteListingWindow::SiteListingWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("SiteListing"));
    setWindowTitle(kCaption);
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    siteLabel = new QLabel(this);
    siteLabel->setObjectName(QStringLiteral("site"));
    siteLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(siteLabel);
    countsLabel = new QLabel(this);
    countsLabel->setObjectName(QStringLiteral("counts"));
    layout->addWidget(countsLabel);
    bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("bar"));
    bar->setMinimumWidth(360);
    layout->addWidget(bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancel"));
    connect(cancelButton, &QPushButton::clicked, this, &SiteListingWindow::reject);
    row->addWidget(cancelButton);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SiteListingWindow::start(const QString& root) {
    m_fetched = 0;
    m_known = 0;
    m_cancelled = false;
    siteLabel->setText(QStringLiteral("Finding the pages of %1").arg(root));
    cancelButton->setEnabled(true);
    m_clock.invalidate();
    refresh();
    show();
    raise();
    activateWindow();
    QCoreApplication::processEvents();
    m_clock.start();
}

bool SiteListingWindow::update(int fetched, int known) {
    m_fetched = fetched;
    m_known = qMax(known, fetched);
    if (!isVisible())
        return !m_cancelled;
    if (!m_clock.isValid() || m_clock.elapsed() >= kRefreshMs) {
        refresh();
        QCoreApplication::processEvents();
        m_clock.start();
    }
    return !m_cancelled;
}

void SiteListingWindow::finish() {
    hide();
}

QString SiteListingWindow::countsText() const {
    if (m_cancelled)
        return QStringLiteral("Cancelling ...");
    // Before the first address: robots.txt and the sitemap are being read.
    if (m_known == 0)
        return QStringLiteral("Looking for the site's pages ...");
    return QStringLiteral("%1 of %2 pages fetched").arg(m_fetched).arg(m_known);
}

void SiteListingWindow::refresh() {
    countsLabel->setText(countsText());
    // Busy until an address is known; then the share fetched.
    bar->setRange(0, m_known);
    bar->setValue(m_fetched);
}

void SiteListingWindow::reject() {
    m_cancelled = true;
    cancelButton->setEnabled(false);
    refresh();
}

} // namespace quillmark
