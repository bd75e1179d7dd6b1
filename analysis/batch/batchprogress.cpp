#include "batchprogress.h"

#include "platform/windowsize.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

namespace quillmark {

const QString BatchProgressWindow::kFirstCaption =
    QStringLiteral("Batch Verify in Progress, Please Wait...");
const QString BatchProgressWindow::kLaterCaption =
    QStringLiteral("Performing Batch Verify, Please Wait ...");
const QString BatchProgressWindow::kPreparing = QStringLiteral("Preparing to Verify Files");

namespace {

// A text line that keeps its whole text but shows a long one shortened in the middle, so that
// the end of a long page address stays visible. Its size depends on its font alone, never on
// its text: the window keeps its size and layout however the texts change.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;

    QSize sizeHint() const override {
        const QFontMetrics m = fontMetrics();
        const QMargins frame = contentsMargins();
        // Room for the first text in full.
        return {m.horizontalAdvance(BatchProgressWindow::kPreparing) + frame.left() + frame.right(),
                m.height() + frame.top() + frame.bottom()};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect r = contentsRect();
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(text(), Qt::ElideMiddle, r.width()));
    }
};

} // namespace

BatchProgressWindow::BatchProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_text(kPreparing) {
    setObjectName(QStringLiteral("upbf"));
    setWindowTitle(kFirstCaption);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3 + 6, 3 + 6, 3 + 6, 3 + 6);
    layout->setSpacing(6);
    StaticText1 = new ElidedLabel(m_text, this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    upb = new QProgressBar(this);
    upb->setObjectName(QStringLiteral("upb"));
    upb->setRange(0, 1);
    upb->setValue(0);
    layout->addWidget(StaticText1);
    layout->addWidget(upb);
    // Enlarged, the window keeps the two lines at its top.
    layout->addStretch(1);
    platform::startSize(this, QSize(420, 84));
}

void BatchProgressWindow::startRun(int total) {
    m_total = total;
    m_completed = 0;
    refresh();
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    m_running = true;
    show();
}

void BatchProgressWindow::finishRun() {
    m_running = false;
    close();
}

void BatchProgressWindow::setText(const QString& text) {
    m_text = text;
}

void BatchProgressWindow::setCompleted(int completed) {
    m_completed = completed;
}

void BatchProgressWindow::refresh() {
    if (StaticText1->text() != m_text)
        StaticText1->setText(m_text);
    // A run of no pages still shows an empty bar rather than a busy one.
    const int total = qMax(m_total, 1);
    if (upb->maximum() != total)
        upb->setRange(0, total);
    if (upb->value() != m_completed)
        upb->setValue(m_completed);
}

void BatchProgressWindow::closeEvent(QCloseEvent* event) {
    if (m_running) {
        event->ignore();
        return;
    }
    setWindowTitle(kLaterCaption);
    QDialog::closeEvent(event);
}

void BatchProgressWindow::keyPressEvent(QKeyEvent* event) {
    // Escape would hide the window while the run goes on.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quillmark
