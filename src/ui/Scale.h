#pragma once
// Design pixels (the window and dialogs were designed at 96 dpi) on this screen.

#include <QRect>
#include <QSize>

namespace kavelo::ui {

// The scale of design pixels on this screen (1.0 at 96 dpi).
double DesignScale();
int Scaled(int designPixels);
QRect Scaled(const QRect& design);
QSize Scaled(const QSize& design);

} // namespace kavelo::ui
