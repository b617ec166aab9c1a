// Draws the program's own artwork: the symbol (a handheld throttle with a Wi-Fi arc) at the
// icon sizes, and the about dialog's header banner. Run: kavelo-draw-artwork <output folder>.

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

// The symbol on a square of side s: a rounded handheld with a display, a knob and Wi-Fi arcs.
void DrawSymbol(QPainter& p, qreal s) {
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF body(s * 0.22, s * 0.16, s * 0.56, s * 0.80);
  QLinearGradient shell(body.topLeft(), body.bottomRight());
  shell.setColorAt(0, QColor(0x2b, 0x5d, 0x9c));
  shell.setColorAt(1, QColor(0x14, 0x32, 0x5c));
  p.setPen(QPen(QColor(0x0c, 0x1f, 0x3a), s / 48.0));
  p.setBrush(shell);
  p.drawRoundedRect(body, s * 0.10, s * 0.10);
  const QRectF display(s * 0.30, s * 0.24, s * 0.40, s * 0.24);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xc8, 0xf0, 0xd0));
  p.drawRoundedRect(display, s * 0.03, s * 0.03);
  p.setBrush(QColor(0x1e, 0x7a, 0x3c));
  p.drawRect(QRectF(s * 0.34, s * 0.40, s * 0.22, s * 0.04));
  const QPointF knob(s * 0.50, s * 0.70);
  QRadialGradient knobShade(knob, s * 0.13);
  knobShade.setColorAt(0, QColor(0xf4, 0xf4, 0xf4));
  knobShade.setColorAt(1, QColor(0x9a, 0xa4, 0xb0));
  p.setBrush(knobShade);
  p.setPen(QPen(QColor(0x0c, 0x1f, 0x3a), s / 64.0));
  p.drawEllipse(knob, s * 0.12, s * 0.12);
  p.setPen(QPen(QColor(0xff, 0x9f, 0x1a), s * 0.055, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  const QPointF arcCentre(s * 0.72, s * 0.25);
  for (int i = 1; i <= 2; ++i) {
    const qreal r = s * 0.09 * i;
    p.drawArc(QRectF(arcCentre.x() - r, arcCentre.y() - r, 2 * r, 2 * r), 0 * 16, 90 * 16);
  }
  p.setBrush(QColor(0xff, 0x9f, 0x1a));
  p.setPen(Qt::NoPen);
  p.drawEllipse(arcCentre, s * 0.035, s * 0.035);
}

QImage Symbol(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  DrawSymbol(p, size);
  return image;
}

QImage Banner() {
  QImage image(366, 50, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 366, 50);
  sky.setColorAt(0, QColor(0x14, 0x32, 0x5c));
  sky.setColorAt(1, QColor(0x2b, 0x6f, 0xb8));
  p.fillRect(QRect(0, 0, 366, 50), sky);
  // A track along the bottom: two rails and sleepers.
  p.setPen(QPen(QColor(255, 255, 255, 70), 2));
  for (int x = 4; x < 366; x += 12) p.drawLine(x, 40, x + 5, 48);
  p.setPen(QPen(QColor(255, 255, 255, 150), 1.5));
  p.drawLine(0, 42, 366, 42);
  p.drawLine(0, 47, 366, 47);
  p.translate(8, 3);
  DrawSymbol(p, 36);
  p.resetTransform();
  QFont title(QStringLiteral("DejaVu Sans"));
  title.setPixelSize(18);
  title.setBold(true);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRect(54, 4, 306, 24), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Kavelo Update Tool"));
  QFont sub(QStringLiteral("DejaVu Sans"));
  sub.setPixelSize(10);
  p.setFont(sub);
  p.setPen(QColor(0xff, 0xd5, 0x8a));
  p.drawText(QRect(55, 24, 306, 14), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Firmware for the Orvo Wi-Fi handheld"));
  return image;
}

} // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  bool ok = Banner().save(out.filePath(QStringLiteral("about-header.png")));
  ok = Symbol(48).save(out.filePath(QStringLiteral("about-symbol.png"))) && ok;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    ok = Symbol(size).save(out.filePath(QStringLiteral("kavelo-update-tool-%1.png").arg(size))) && ok;
  ok = Symbol(256).save(out.filePath(QStringLiteral("kavelo-update-tool.png"))) && ok;
  return ok ? 0 : 1;
}
