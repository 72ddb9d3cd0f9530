#pragma once

// A shown desktop panel on a pinned Monday (7 Dec 2026, 9:30) with a weather report, a
// recording shell and window hooks that log what they were asked to open; pointer helpers
// that aim at rows and calendar days of the last paint.

#include "desktop/desktopwindow.h"
#include "network/weather.h"
#include "panelfixture.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "support/fakeservices.h"
#include "support/recordingshell.h"

#include <gtest/gtest.h>
#include <QMenu>
#include <QTest>

class DesktopMenuTest : public ::testing::Test {
 public:
  static TDateTime Today() { return 46363; }

  DesktopMenuTest() : ctx(Today() + 9.5 / 24), weather([] { return WeatherSettings{false, {}, 0, 0, {}}; }, network) {
    ctx.context->settings().SetBool(QStringLiteral("DisplayNotebook"), false);
    ctx.context->settings().SetSetting(QStringLiteral("WeatherZip"), QStringLiteral("10001"));
    PainterStartup(*ctx.context);
    TWeatherReport& r = weather.Report();
    r.Loading = false;
    r.CurrentValid = r.ForecastValid = true;
    r.Temperature = QStringLiteral("41");
    r.TempUnit = QStringLiteral("\u00B0F");
    for (int k = 0; k < 10; ++k) {
      r.Forecast[static_cast<size_t>(k)] = {"Sunny", QString::number(50 + k), QString::number(30 + k), "10%"};
    }
    ctx.context->SetWeather(&weather);
    // Each hook logs its name and its argument: a row's index, or a date's day number.
    const auto log = [this](const char* what) {
      return [this, what](auto... arg) {
        opened << QStringList{what, QString::number(static_cast<int>(arg))...}.join(' ');
      };
    };
    AppWindows& w = ctx.context->windows();
    w.NewEvent = log("NewEvent"), w.ViewEvent = log("ViewEvent"), w.ViewTask = log("ViewTask");
    w.ShowMonthFilled = log("ShowMonthFilled"), w.ShowMonthDay = log("ShowMonthDay"), w.ShowPrint = log("ShowPrint");
    w.NewTask = log("NewTask"), w.ShowToDo = log("ShowToDo"), w.ShowMonth = log("ShowMonth");
    w.ShowNetwork = log("ShowNetwork"), w.ShowOptions = log("ShowOptions"), w.ShowThemeSelect = log("ShowThemeSelect");
    w.ShowHelp = log("ShowHelp"), w.ShowAbout = log("ShowAbout");
  }

  // The panel, made and shown once the test has filled the calendar and settings.
  T_DesktopWindow& Panel() {
    if (!window) {
      window = std::make_unique<T_DesktopWindow>(*ctx.context, screens, sound);
      window->KeepsQuickNotesFile = false;
      window->SetShell(&shell);
      window->show();
    }
    return *window;
  }
  int R() { return ctx.display().R(); }

  // The middle of the first hit row of a kind (and index, and date, where given).
  QPoint RowPoint(char kind, int index = -1, TDateTime date = -1) {
    const auto& rows = Panel().painter().HitRows;
    for (size_t i = 1; i < rows.size(); ++i) {
      if (rows[i].Kind == kind && (index < 0 || rows[i].Index == index) && (date < 0 || rows[i].Date == date)) {
        return {R() * 3, static_cast<int>(i) * R() + R() / 2};
      }
    }
    ADD_FAILURE() << "no row of kind " << kind;
    return {};
  }
  // A point of the main month over the given day.
  QPoint DayPoint(TDateTime day) {
    const int top = Panel().painter().Marks.CalendarTop;
    for (int y = top + 2 * R() + 2; y < top + 8 * R(); y += R() / 2) {
      for (int x = 4; x < ctx.display().Width; x += 6) {
        if (Panel().painter().CalendarDateAt(x, y) == day) return {x, y};
      }
    }
    ADD_FAILURE() << "day not shown";
    return {};
  }
  QPoint MonthTitle(int x) { return {x, Panel().painter().Marks.CalendarTop + R() / 2}; }

  void Hover(QPoint p) {
    QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(Panel().mapToGlobal(p)), Qt::NoButton, Qt::NoButton, {});
    QCoreApplication::sendEvent(&Panel(), &move);
  }
  void Click(QPoint p, Qt::MouseButton button = Qt::LeftButton) { QTest::mouseClick(&Panel(), button, {}, p); }
  void RightClick(QPoint p) {
    Click(p, Qt::RightButton);
    Panel().PopupMenu->hide();
  }
  void DoubleClick(QPoint p) {
    QTest::mouseClick(&Panel(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(&Panel(), Qt::LeftButton, {}, p);
    QTest::mouseRelease(&Panel(), Qt::LeftButton, {}, p);
  }
  bool Shown(const char* name) {
    auto* action = Panel().findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(action, nullptr) << name;
    return action && action->isVisible();
  }

  TempHome home;
  PanelContext ctx;
  FakeNetworkPresence network{false};
  T_Weather weather;
  FixedScreens screens;
  SilentSound sound;
  RecordingShell shell;
  QStringList opened;
  std::unique_ptr<T_DesktopWindow> window;
};
