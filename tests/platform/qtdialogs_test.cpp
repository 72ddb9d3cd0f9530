// The Qt dialogs keep a sensible size: a long prompt wraps instead of running off the screen,
// and a short message is as wide as its caption needs. Also the pictures of the first-run
// prompt and of an alarm.
#include "platform/qtdialogs.h"
#include "support/screenshot.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace {

TEST(QtDialogsScreenshot, LongPromptsWrapWithinTheScreenAndCaptionsFit) {
  EnsureApplication();
  // As the program names itself: title bars show the name after the caption.
  QGuiApplication::setApplicationDisplayName("Orvane");
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  QtDialogs dialogs;
  const struct {
    const char* picture;
    const char* caption;
    std::function<void()> ask;
    int captionMargin;  // the title bar also holds the window manager's icon and buttons
    bool wraps;
  } rows[] = {
      {"prompt-zip", "Enter Zip for Weather",
       [&] {
         EXPECT_FALSE(dialogs.InputQuery(
             "Enter Zip for Weather",
             "Orvane can display the current temperature and weather conditions for US locations.  To enable this "
             "feature, please enter your zipcode.  To disable it, click cancel.  You can change your selection "
             "using the Options window.",
             QString(), false));
       },
       60, true},
      {"alarm-message", "Orvane Alarm",
       [&] {
         dialogs.MessageBox("Standup\n\nRoom 4", "Orvane Alarm", Dialogs::Buttons::Ok, Dialogs::Icon::Information);
       },
       100, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.caption);
    QRect shown;
    QTimer::singleShot(0, [&shown, &row] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        shown = modal->frameGeometry();
        Screenshot(modal, row.picture);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      }
    });
    row.ask();
    ASSERT_FALSE(shown.isNull());
    QFont bold = QApplication::font();
    bold.setBold(true);
    EXPECT_GE(shown.width(), QFontMetrics(bold).horizontalAdvance(row.caption) + row.captionMargin);
    if (row.wraps) {
      EXPECT_LE(shown.width(), 500);
      EXPECT_TRUE(area.contains(shown)) << shown.width() << "x" << shown.height();
    }
  }
}

}  // namespace
