#include "modal.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <QtTest>

namespace testsupport {

ModalScript::ModalScript(std::vector<ModalStep> steps, bool closeEach)
    : m_steps(std::move(steps)), m_closeEach(closeEach) {
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    m_timer.start();
}

ModalScript::ModalScript(std::initializer_list<ModalStep> steps)
    : ModalScript(std::vector<ModalStep>(steps), false) {}

ModalScript::ModalScript(ModalStep step)
    : ModalScript(std::vector<ModalStep>{std::move(step)}, false) {}

ModalScript ModalScript::closeEach() {
    return ModalScript({}, true);
}

ModalScript::~ModalScript() {
    m_timer.stop();
    if (m_next < m_steps.size())
        QTest::qFail(qPrintable(QStringLiteral("%1 of %2 modal windows did not open")
                                    .arg(m_steps.size() - m_next)
                                    .arg(m_steps.size())),
                     __FILE__, __LINE__);
}

void ModalScript::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || (!m_closeEach && m_next >= m_steps.size()))
        return;
    const QString className = QString::fromLatin1(modal->metaObject()->className());
    m_seen.append(className);
    QPointer<QWidget> window(modal);
    if (!m_closeEach) {
        const ModalStep step = m_steps[m_next++];
        if (step.expected && !step.expected->cast(modal))
            QTest::qFail(qPrintable(QStringLiteral("a %1 opened where a %2 was expected")
                                        .arg(className, QLatin1String(step.expected->className()))),
                         __FILE__, __LINE__);
        else
            step.act(modal);
    }
    if (!window || !window->isVisible())
        return;
    if (auto* dialog = qobject_cast<QDialog*>(window.data()))
        dialog->reject();
    else
        window->close();
}

} // namespace testsupport
