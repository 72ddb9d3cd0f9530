// The Qt dialogs keep a sensible size: a long prompt wraps instead of running off the screen,
// and a short message is as wide as its caption needs. Also the pictures of the first-run
// prompt and of an alarm.
#include "platform/qtdialogs.h"
#include "settings/settings.h"
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
  const TSettings::WeatherQuestion place = TSettings::PlaceQuestion();
  const auto prompt = [&] { EXPECT_FALSE(dialogs.InputQuery(place.caption, place.prompt, QString(), false)); };
  const auto choice = [&] {
    EXPECT_FALSE(dialogs.ChooseItem("Weather Place", "Show the weather for:",
                                    {"Boston, Massachusetts, United States", "Boston, England, United Kingdom"}));
  };
  const auto alarm = [&] {
    dialogs.MessageBox("Standup\n\nRoom 4", "Orvane Alarm", Dialogs::Buttons::Ok, Dialogs::Icon::Information);
  };
  // The title bar also holds the window manager's icon and buttons: the caption margin.
  const struct {
    const char* picture;
    const char* caption;
    std::function<void()> ask;
    int captionMargin;
    bool wraps;
  } rows[] = {{"prompt-place", "Enter a Place for Weather", prompt, 60, true},
              {"weather-place-choice", "Weather Place", choice, 60, true},
              {"alarm-message", "Orvane Alarm", alarm, 100, false}};
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
