#include "modal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace testsupport {

void onNextModal(std::function<void(QWidget*)> action, int timeoutMs) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(
        timer, &QTimer::timeout, [timer, clock, action = std::move(action), timeoutMs] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal && clock->elapsed() < timeoutMs)
                return;
            timer->stop();
            timer->deleteLater();
            delete clock;
            if (modal)
                action(modal);
            else
                qWarning("onNextModal: no modal window opened within %d ms", timeoutMs);
        });
    timer->start();
}

} // namespace testsupport
