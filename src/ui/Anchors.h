#pragma once
// Keeps controls anchored to the edges of their parent as it resizes, the way the window was
// designed: positions are given in design pixels at 96 dpi and scaled with the screen.

#include "ui/Scale.h"

#include <QObject>
#include <QRect>
#include <QWidget>

#include <vector>

namespace kavelo::ui {

enum TAnchor : unsigned {
  akLeft = 1,
  akTop = 2,
  akRight = 4,
  akBottom = 8,
  akLeftTop = akLeft | akTop,
  akAll = akLeft | akTop | akRight | akBottom,
};

class TAnchors : public QObject {
public:
  // parent: the widget whose resizing moves the controls; designSize: its size in the design.
  TAnchors(QWidget* parent, QSize designSize);
  // Places child at its design rectangle and keeps its anchors from now on.
  void Place(QWidget* child, QRect design, unsigned anchors = akLeftTop);
  // A new width for a placed child, in screen pixels, kept from now on like its design width.
  void SetWidth(QWidget* child, int width);
  void Apply();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct TEntry {
    QWidget* Widget;
    QRect Design; // scaled
    unsigned Anchors;
  };
  QWidget* fParent;
  QSize fDesignSize; // scaled
  std::vector<TEntry> fEntries;
};

} // namespace kavelo::ui
