// The XDG autostart entry that starts the program at logon.
#include "platform/autostart.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>

namespace {

TEST(XdgAutostart, OnWritesAnEntryThatRunsTheExecutableOffRemovesIt) {
  TempHome home;
  QFile entry(home.path() + "/config/autostart/orvane.desktop");
  const std::pair<QString, QString> programs[] = {{"/opt/orvane/bin/orvane", "/opt/orvane/bin/orvane"},
                                                  {"/home/pat/My Apps/orvane", "\"/home/pat/My Apps/orvane\""},
                                                  {"/home/pat/100%$/orvane", "\"/home/pat/100%%\\$/orvane\""}};
  for (const auto& [program, exec] : programs) {
    ASSERT_TRUE(XdgAutostart(program).Set(true));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    entry.close();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nExec=" + exec + "\n")) << text.toStdString();
  }
  ASSERT_TRUE(XdgAutostart().Set(false));
  EXPECT_FALSE(entry.exists());
  EXPECT_TRUE(XdgAutostart().Set(false));  // off with no entry is no failure
}

}  // namespace
