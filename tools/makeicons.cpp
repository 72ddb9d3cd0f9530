// Paints the program's icon (the drawing of data/icons/orvane.svg) as PNG files in the
// hicolor sizes: makeicons OUTDIR writes OUTDIR/<n>x<n>/apps/orvane.png. QtGui alone, no
// display needed.
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

void PaintIcon(QPainter& p) {
  const QColor ink(0x3b, 0x4a, 0x5a);
  const QColor red(0xd9, 0x45, 0x3b);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(ink, 8));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(24, 36, 208, 196), 24, 24);
  // The red header, clipped to the page's rounded top.
  QPainterPath page;
  page.addRoundedRect(QRectF(28, 40, 200, 188), 20, 20);
  p.save();
  p.setClipPath(page);
  p.fillRect(QRectF(28, 40, 200, 52), red);
  p.restore();
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  p.drawRoundedRect(QRectF(72, 20, 16, 44), 8, 8);
  p.drawRoundedRect(QRectF(168, 20, 16, 44), 8, 8);
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 4; ++column) {
      if (row == 2 && column == 3) continue;
      p.setBrush(row == 1 && column == 1 ? red : QColor(0x9a, 0xa7, 0xb4));
      p.drawRoundedRect(QRectF(52 + 40 * column, 112 + 36 * row, 28, 22), 4, 4);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const QString out = QString::fromLocal8Bit(argv[1]);
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(size / 256.0, size / 256.0);
    PaintIcon(painter);
    painter.end();
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
    if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/orvane.png"))) return 1;
  }
  return 0;
}
