#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace quillmark {

// The batch progress window, created hidden at start-up and kept for the whole program run.
// A run sets its text and counts as often as it likes; the controls show them when the run
// lets the window refresh, so that thousands of pages are not slowed by repainting.
class BatchProgressWindow : public QDialog {
    Q_OBJECT
public:
    static const QString kFirstCaption;
    static const QString kLaterCaption;
    static const QString kPreparing;

    explicit BatchProgressWindow(QWidget* parent = nullptr);

    // A run of `total` pages starts: nothing completed, the window shown centred on the screen.
    // Until finishRun the window cannot be closed from outside.
    void startRun(int total);
    // The run is over: the window closes (and so takes its later caption).
    void finishRun();
    bool running() const { return m_running; }
    void setText(const QString& text);
    QString text() const { return m_text; }
    void setCompleted(int completed);
    int completed() const { return m_completed; }
    int total() const { return m_total; }
    // The controls take the latest text and counts.
    void refresh();

    QLabel* StaticText1 = nullptr;
    QProgressBar* upb = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString m_text;
    int m_total = 0;
    int m_completed = 0;
    bool m_running = false;
};

} // namespace quillmark
