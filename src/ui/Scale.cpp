#include "ui/Scale.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace kavelo::ui {

double DesignScale() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

int Scaled(int designPixels) {
  return static_cast<int>(std::lround(designPixels * DesignScale()));
}

QRect Scaled(const QRect& design) {
  return QRect(Scaled(design.x()), Scaled(design.y()), Scaled(design.width()), Scaled(design.height()));
}

QSize Scaled(const QSize& design) {
  return QSize(Scaled(design.width()), Scaled(design.height()));
}

} // namespace kavelo::ui
