#include "windowsize.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QToolBar>
#include <QWidget>

#include <functional>
#include <vector>

namespace platform {

namespace {

// A smallest size given by hand takes the place of the one the widget's layout would set, so it
// is worked out again each time the layout is: the larger of a floor and what the widget needs.
class MinimumKeeper : public QObject {
public:
    MinimumKeeper(QWidget* widget, std::function<QSize()> needed)
        : QObject(widget), m_widget(widget), m_needed(std::move(needed)) {
        widget->installEventFilter(this);
        apply();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_widget)
            return false;
        switch (event->type()) {
        case QEvent::LayoutRequest:
            // The widget's own layout has dealt with the request by the time the filter sees it.
            apply();
            break;
        case QEvent::FontChange:
        case QEvent::StyleChange:
            // Seen before the widget takes the change in: measured once it has.
            QCoreApplication::postEvent(m_widget, new QEvent(QEvent::LayoutRequest));
            break;
        default:
            break;
        }
        return false;
    }

private:
    void apply() { m_widget->setMinimumSize(m_needed()); }

    QWidget* m_widget;
    std::function<QSize()> m_needed;
};

} // namespace

void startSize(QWidget* window, QSize start, QSize floor) {
    window->resize(start);
    // Polished now, so that the layout reckons with the style sheet's fonts before the window is
    // placed; the layout then raises the smallest size, and with it the size, where it must.
    window->ensurePolished();
    if (QLayout* layout = window->layout())
        layout->activate();
    if (floor.isValid())
        keepMinimumSize(window, floor);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        window->move(s->availableGeometry().center() - window->rect().center());
}

void keepMinimumSize(QWidget* widget, QSize floor) {
    new MinimumKeeper(widget, [widget, floor] {
        // A widget with a layout reports the layout's smallest size as its hint.
        return floor.expandedTo(widget->minimumSizeHint());
    });
}

void keepToolbarWhole(QToolBar* toolbar) {
    new MinimumKeeper(toolbar, [toolbar] {
        const QSize all = toolbar->sizeHint();
        return toolbar->orientation() == Qt::Horizontal ? QSize(all.width(), 0)
                                                        : QSize(0, all.height());
    });
}

namespace {

class ColumnWidths : public QObject {
public:
    ColumnWidths(QHeaderView* header, std::vector<std::pair<int, int>> widths)
        : QObject(header), m_header(header), m_widths(std::move(widths)) {
        fit();
        header->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            fit();
        return false;
    }

private:
    void fit() {
        for (const auto& [column, width] : m_widths)
            m_header->resizeSection(column, std::max(width, m_header->sectionSizeHint(column)));
    }
    QHeaderView* m_header;
    std::vector<std::pair<int, int>> m_widths;
};

} // namespace

void keepColumnWidths(QHeaderView* header, std::initializer_list<std::pair<int, int>> widths) {
    new ColumnWidths(header, widths);
}

} // namespace platform
