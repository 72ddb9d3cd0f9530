// The about box: the version of this build, and its picture (make screenshots).

#include "editors/aboutbox.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

void EnsureApplication() {
  static int argc = 1;
  static char name[] = "test_editors";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QApplication(argc, argv);
}

TEST(AboutBoxScreenshot, ShowsTheVersionOfThisBuild) {
  EnsureApplication();
  T_About about;
  EXPECT_EQ(about.VersionLabel->text(), QStringLiteral("Version ") + T_About::CompiledVersion());
  EXPECT_EQ(T_About(nullptr, QStringLiteral(" ")).VersionLabel->text(), QStringLiteral("Version"));
  about.show();
  QCoreApplication::processEvents();
  const QImage picture = about.grab().toImage();
  EXPECT_GE(picture.height(), 150);
  const QString dir = qEnvironmentVariable("ORVANE_SCREENSHOTS");
  if (!dir.isEmpty()) {
    QDir().mkpath(dir);
    EXPECT_TRUE(picture.save(dir + QStringLiteral("/aboutbox.png")));
  }
}

}  // namespace
