#pragma once

// Reaching a window that a command shows modally: the command blocks in the window's own event
// loop, so the test acts from a timer.

#include <QMetaObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <initializer_list>
#include <type_traits>
#include <vector>

class QWidget;

namespace testsupport {

// What a script does with one modal window.
struct ModalStep {
    template <typename F, typename = std::enable_if_t<std::is_invocable_v<F&, QWidget*>>>
    ModalStep(F f) : act(std::move(f)) {}

    std::function<void(QWidget*)> act;
    const QMetaObject* expected = nullptr; // the class the window must have, if any
};

// A step for a window of class T: any other window is closed instead and fails the test.
template <typename T> ModalStep expect(std::function<void(T*)> act) {
    ModalStep step([act = std::move(act)](QWidget* window) { act(qobject_cast<T*>(window)); });
    step.expected = &T::staticMetaObject;
    return step;
}

// While it lives, runs its steps on the windows that open modally, one step per window in the
// order they open (polled every 10 ms). A window its step leaves open is closed afterwards, as
// Cancel would close it, so that a failed step cannot leave the test waiting in the window's
// loop. A step that no window came for fails the test when the script ends. Nothing is polled
// while a step runs, so a window that a step itself opens modally is out of the script's reach.
class ModalScript {
public:
    ModalScript(std::initializer_list<ModalStep> steps);
    explicit ModalScript(ModalStep step);
    ~ModalScript();
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    // Closes every window that opens modally while it lives, however many or few.
    static ModalScript closeEach();

    // The class names of the windows met so far, in the order they opened.
    const QStringList& seen() const { return m_seen; }

private:
    ModalScript(std::vector<ModalStep> steps, bool closeEach);
    void poll();

    std::vector<ModalStep> m_steps;
    bool m_closeEach;
    size_t m_next = 0;
    QStringList m_seen;
    QTimer m_timer;
};

} // namespace testsupport
