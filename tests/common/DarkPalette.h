#pragma once
// A dark desktop theme: light text on dark windows, as many users run.

#include <QPalette>

namespace kavelo::test {

inline QPalette DarkPalette() {
  QPalette p;
  p.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
  p.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
  p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
  p.setColor(QPalette::AlternateBase, QColor(0x35, 0x35, 0x35));
  p.setColor(QPalette::Text, QColor(0xf0, 0xf0, 0xf0));
  p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
  p.setColor(QPalette::ButtonText, QColor(0xf0, 0xf0, 0xf0));
  p.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
  p.setColor(QPalette::HighlightedText, Qt::white);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
  return p;
}

} // namespace kavelo::test
