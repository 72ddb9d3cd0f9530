#pragma once

// The program's icon: a desk calendar page with a red header, two rings and a marked day (the
// drawing of data/icons/orvane.svg). Painted in code, so the tray, the windows and the icon
// files made for installation (tools/makeicons.cpp) all show the same picture without an SVG
// renderer. QtGui only.

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

// Paints the icon on a 256 x 256 canvas (scale the painter for other sizes).
inline void PaintAppIcon(QPainter& p) {
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

// The icon as a picture of size x size pixels on a transparent ground.
inline QImage AppIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.scale(size / 256.0, size / 256.0);
  PaintAppIcon(painter);
  painter.end();
  return image;
}

// The icon in the sizes desktops ask for.
inline QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
  return icon;
}
