// Paints the program's icon (the drawing of data/icons/orvane.svg) as PNG files in the
// hicolor sizes: makeicons OUTDIR writes OUTDIR/<n>x<n>/apps/orvane.png. QtGui alone, no
// display needed. The drawing is the one the program shows in its tray and windows.
#include "../src/desktop/appicon.h"

#include <QDir>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const QString out = QString::fromLocal8Bit(argv[1]);
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QImage image = AppIconImage(size);
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
    if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/orvane.png"))) return 1;
  }
  return 0;
}
