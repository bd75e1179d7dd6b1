#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quillmark {

// The window shown while a site is listed: the pages fetched and the addresses known, and
// Cancel. The listing calls update() every so often; the window answers and repaints then.
class SiteListingWindow : public QDialog {
    Q_OBJECT
public:
    static const QString kCaption;

    explicit SiteListingWindow(QWidget* parent = nullptr);

    // A listing of the site at `root` starts: the counts are empty and nothing is cancelled.
    void start(const QString& root);
    // The listing's progress; false once the user has cancelled it.
    bool update(int fetched, int known);
    // The listing is over: the window goes.
    void finish();
    bool cancelled() const { return m_cancelled; }
    QString countsText() const;

    QLabel* siteLabel = nullptr;
    QLabel* countsLabel = nullptr;
    QProgressBar* bar = nullptr;
    QPushButton* cancelButton = nullptr;

    // Cancel, Esc and the window's close button cancel the listing; the window stays until the
    // listing has ended.
    void reject() override;

private:
    void refresh();

    int m_fetched = 0;
    int m_known = 0;
    bool m_cancelled = false;
    QElapsedTimer m_clock;
};

} // namespace quillmark
