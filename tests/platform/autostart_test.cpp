// The XDG autostart entry that starts the program at logon.
#include "platform/autostart.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString EntryText() {
  QFile file(XdgAutostart::EntryPath());
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(XdgAutostart, OnWritesAnEntryThatRunsTheExecutableOffRemovesIt) {
  TempHome home;
  EXPECT_EQ(XdgAutostart::EntryPath(), home.path() + QStringLiteral("/config/autostart/orvane.desktop"));
  const std::pair<QString, QString> programs[] = {
      {QStringLiteral("/opt/orvane/bin/orvane"), QStringLiteral("/opt/orvane/bin/orvane")},
      {QStringLiteral("/home/pat/My Apps/orvane"), QStringLiteral("\"/home/pat/My Apps/orvane\"")},
      {QStringLiteral("/home/pat/100%$/orvane"), QStringLiteral("\"/home/pat/100%%\\$/orvane\"")}};
  for (const auto& [program, exec] : programs) {
    ASSERT_TRUE(XdgAutostart(program).Set(true));
    const QString entry = EntryText();
    EXPECT_TRUE(entry.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nExec=") + exec + QStringLiteral("\n"))) << entry.toStdString();
  }
  ASSERT_TRUE(XdgAutostart().Set(false));
  EXPECT_FALSE(QFileInfo::exists(XdgAutostart::EntryPath()));
  // Off with no entry is no failure.
  EXPECT_TRUE(XdgAutostart().Set(false));
}

}  // namespace
