#include "ui/Anchors.h"

#include <QEvent>

#include <cmath>

namespace kavelo::ui {

namespace {
// Without anchors on an axis a control keeps the relative position of its centre.
int Proportional(int start, int extent, int designTotal, int total) {
  if (designTotal <= 0) return start;
  const double centre = (start + extent / 2.0) * total / designTotal;
  return static_cast<int>(std::lround(centre - extent / 2.0));
}
} // namespace

TAnchors::TAnchors(QWidget* parent, QSize designSize)
    : QObject(parent), fParent(parent),
      fDesignSize(Scaled(designSize.width()), Scaled(designSize.height())) {
  parent->installEventFilter(this);
}

void TAnchors::Place(QWidget* child, QRect design, unsigned anchors) {
  const QRect scaled = Scaled(design);
  child->setGeometry(scaled);
  fEntries.push_back({child, scaled, anchors});
}

void TAnchors::SetWidth(QWidget* child, int width) {
  for (auto& e : fEntries)
    if (e.Widget == child) e.Design.setWidth(width);
  Apply();
}

void TAnchors::Apply() {
  const int dw = fParent->width() - fDesignSize.width();
  const int dh = fParent->height() - fDesignSize.height();
  for (const auto& e : fEntries) {
    QRect r = e.Design;
    const bool left = e.Anchors & akLeft, right = e.Anchors & akRight;
    const bool top = e.Anchors & akTop, bottom = e.Anchors & akBottom;
    if (left && right) r.setWidth(std::max(0, r.width() + dw));
    else if (right) r.moveLeft(r.left() + dw);
    else if (!left) r.moveLeft(Proportional(e.Design.left(), e.Design.width(), fDesignSize.width(), fParent->width()));
    if (top && bottom) r.setHeight(std::max(0, r.height() + dh));
    else if (bottom) r.moveTop(r.top() + dh);
    else if (!top) r.moveTop(Proportional(e.Design.top(), e.Design.height(), fDesignSize.height(), fParent->height()));
    e.Widget->setGeometry(r);
  }
}

bool TAnchors::eventFilter(QObject* watched, QEvent* event) {
  if (watched == fParent && event->type() == QEvent::Resize) Apply();
  return QObject::eventFilter(watched, event);
}

} // namespace kavelo::ui
