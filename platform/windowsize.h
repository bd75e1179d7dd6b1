#pragma once

#include <QSize>

#include <initializer_list>
#include <utility>

class QHeaderView;
class QToolBar;
class QWidget;

namespace platform {

// Sizes a window that is built with a layout so that it grows with its font: it starts at
// `start`, or larger where the layout needs more, and centred on the screen; it is never made
// smaller than its layout needs, nor than `floor` where one is given. A later change of font or
// style is followed. Call it once the window's controls are in their layout.
void startSize(QWidget* window, QSize start, QSize floor = QSize());

// Keeps a control at least `floor` large, and larger where its own smallest size needs more
// (a group box: its caption), also after a change of font or style.
void keepMinimumSize(QWidget* widget, QSize floor);

// Keeps a toolbar as large as all its buttons together, so that none goes behind the toolbar's
// overflow arrow however large the font.
void keepToolbarWhole(QToolBar* toolbar);

// Keeps the given columns of a header at their widths (column, width), or wider where their
// heading needs more, also after a change of font or style.
void keepColumnWidths(QHeaderView* header, std::initializer_list<std::pair<int, int>> widths);

} // namespace platform
