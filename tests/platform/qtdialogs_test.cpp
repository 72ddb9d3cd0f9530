// The Qt dialogs keep a sensible size: a long prompt wraps instead of running off the screen,
// and a short message is as wide as its caption needs.
#include "platform/qtdialogs.h"
#include "support/screenshot.h"
#include "support/testutil.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Runs ask, which opens a modal dialog; gives the dialog's geometry as it showed (and with
// a name, its picture).
QRect ShownGeometry(const std::function<void()>& ask, const QString& picture = {}) {
  QRect shown;
  QTimer::singleShot(0, [&shown, picture] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      shown = modal->frameGeometry();
      if (!picture.isEmpty()) Screenshot(modal, picture);
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    }
  });
  ask();
  return shown;
}

int CaptionAdvance(const QString& caption) {
  QFont bold = QApplication::font();
  bold.setBold(true);
  return QFontMetrics(bold).horizontalAdvance(caption);
}

TEST(QtDialogsSize, LongPromptsWrapWithinTheScreenAndKeepTheirCaption) {
  EnsureApplication();
  // As the program names itself: title bars show the name after the caption.
  QGuiApplication::setApplicationDisplayName(QStringLiteral("Orvane"));
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QString prompt = QStringLiteral(
      "Orvane can synchronize your calendar with another system on a network.  If you would like to enable "
      "this feature, enter your name below.  To disable network synchronization, click cancel.  You can "
      "change your selection using the Options window.");
  const QString caption = QStringLiteral("Enter Name or EMail for Synchronization");
  QtDialogs dialogs;
  const QRect shown = ShownGeometry([&] { EXPECT_FALSE(dialogs.InputQuery(caption, prompt, QString(), false)); });
  ASSERT_FALSE(shown.isNull());
  EXPECT_LE(shown.width(), 500);
  EXPECT_TRUE(area.contains(shown)) << shown.width() << "x" << shown.height();
  EXPECT_GE(shown.width(), CaptionAdvance(caption) + 60);
}

TEST(QtDialogsSize, ShortMessageIsAsWideAsItsCaption) {
  EnsureApplication();
  const QString caption = QStringLiteral("Orvane Alarm");
  QtDialogs dialogs;
  const QRect shown = ShownGeometry([&] {
    dialogs.MessageBox(QStringLiteral("Standup\n\n"), caption, Dialogs::Buttons::Ok, Dialogs::Icon::Information);
  });
  ASSERT_FALSE(shown.isNull());
  // The title bar also holds the window manager's icon and buttons.
  EXPECT_GE(shown.width(), CaptionAdvance(caption) + 100);
}

TEST(QtDialogsScreenshot, FirstRunPromptAndAlarm) {
  EnsureApplication();
  QtDialogs dialogs;
  const QString zip = QStringLiteral(
      "Orvane can display the current temperature and weather conditions for US locations.  To enable this "
      "feature, please enter your zipcode.  To disable it, click cancel.  You can change your selection using "
      "the Options window.");
  EXPECT_FALSE(ShownGeometry([&] { dialogs.InputQuery(QStringLiteral("Enter Zip for Weather"), zip, QString(), false); },
                             QStringLiteral("prompt-zip"))
                   .isNull());
  EXPECT_FALSE(ShownGeometry([&] {
                 dialogs.MessageBox(QStringLiteral("Standup\n\nRoom 4"), QStringLiteral("Orvane Alarm"),
                                    Dialogs::Buttons::Ok, Dialogs::Icon::Information);
               },
                             QStringLiteral("alarm-message"))
                   .isNull());
}

}  // namespace
