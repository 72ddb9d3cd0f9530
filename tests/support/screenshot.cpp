#include "support/screenshot.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QWidget>

QImage Screenshot(QWidget* window, const QString& name, QSize atLeast) {
  QApplication::processEvents();
  const QImage image = window->grab().toImage();
  EXPECT_FALSE(image.isNull()) << name.toStdString();
  EXPECT_GE(image.width(), atLeast.width()) << name.toStdString();
  EXPECT_GE(image.height(), atLeast.height()) << name.toStdString();
  SaveScreenshot(image, name);
  return image;
}

void SaveScreenshot(const QImage& image, const QString& name) {
  const QString dir = qEnvironmentVariable("ORVANE_SCREENSHOTS");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
  EXPECT_TRUE(image.save(path)) << path.toStdString();
}
