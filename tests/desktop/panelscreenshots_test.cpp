// Pictures of the panel in representative states. With ORVANE_SCREENSHOTS set (make
// screenshots) each is written there as a PNG; otherwise they are painted and checked only.

#include "desktop/desktopwindow.h"
#include "panelfixture.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "support/screenshot.h"

#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace {

const TDateTime Now = DT(2026, 12, 7, 9, 30);  // a Monday morning
const TDateTime Today = D(2026, 12, 7);

void FillBusyWeek(DataFormat& cal) {
  AddEvent(cal, Today, QStringLiteral("Team offsite"));
  AddSeries(cal, D(2026, 11, 2), 2, QStringLiteral("Standup"), EncodeTime(9, 0));
  AddEvent(cal, Today, QStringLiteral("Lunch with Sam"), EncodeTime(12, 30));
  const int dentist = AddEvent(cal, Today, QStringLiteral("Dentist"), EncodeTime(15, 15));
  cal.AddDayNote(dentist, QStringLiteral("Bring the insurance card"), Today);
  AddSeries(cal, D(2026, 11, 3), 3, QStringLiteral("Gym"), EncodeTime(7, 0));
  AddEvent(cal, Today + 1, QStringLiteral("Project review"), EncodeTime(14, 0));
  AddEvent(cal, Today + 2, QStringLiteral("Mom's birthday"));
  AddEvent(cal, Today + 3, QStringLiteral("Book club"), EncodeTime(19, 0));
  const int flight = AddEvent(cal, Today + 5, QStringLiteral("Flight to Denver"), EncodeTime(6, 45));
  cal.AddDayNote(flight, QStringLiteral("Seat 14C"), Today + 5);
  AddEvent(cal, Today + 5, QStringLiteral("Hotel check-in"));
  AddEvent(cal, D(2026, 12, 18), QStringLiteral("Holiday party"), EncodeTime(18, 0));
  AddEvent(cal, D(2026, 12, 24), QStringLiteral("Christmas Eve"));
  AddEvent(cal, D(2026, 11, 26), QStringLiteral("Thanksgiving"));
  AddEvent(cal, D(2027, 1, 1), QStringLiteral("New Year's Day"));
  AddTask(cal, QStringLiteral("Renew passport"), Today + 10, 1);
  AddTask(cal, QStringLiteral("Buy a gift for Mom"), Today + 1, 2);
  AddTask(cal, QStringLiteral("Water the plants"), 0, 3);
}

void FillOverdueTasks(DataFormat& cal) {
  AddTask(cal, QStringLiteral("File the expense report"), Today - 3, 0);
  AddTask(cal, QStringLiteral("Call the insurance"), Today, 1);
  AddTask(cal, QStringLiteral("Pay the electricity bill"), Today - 1, 1);
  AddTask(cal, QStringLiteral("Plan the spring trip"), D(2027, 3, 3), 2);
  AddTask(cal, QStringLiteral("Clean out the garage"), 0, 4);
}

void LightTheme(DisplaySettings& s) {
  s.GradientStart = Bgr(120, 170, 230);
  s.GradientEnd = Bgr(236, 242, 250);
  s.BgColor = Bgr(250, 250, 252);
  s.FontColor = Bgr(34, 40, 49);
  s.HeaderFontColor = Bgr(20, 50, 110);
  s.EventDayColor = Bgr(200, 70, 30);
  s.LabelColor = Bgr(90, 100, 120);
  s.NoteColor = Bgr(230, 140, 20);
  s.TaskColor = Bgr(200, 30, 40);
  s.DropColor = Bgr(255, 255, 255);
  s.BgAlpha = 40;
  s.MidAlpha = 10;
}

void DarkTheme(DisplaySettings& s) {
  s.GradientStart = Bgr(92, 60, 150);
  s.GradientEnd = Bgr(18, 18, 28);
  s.BgColor = Bgr(16, 16, 24);
  s.FontColor = Bgr(225, 225, 235);
  s.HeaderFontColor = Bgr(255, 255, 254);
  s.EventDayColor = Bgr(255, 196, 80);
  s.LabelColor = Bgr(170, 160, 210);
  s.NoteColor = Bgr(255, 196, 80);
  s.TaskColor = Bgr(255, 100, 100);
  s.DropColor = Bgr(0, 0, 0);
  s.BgAlpha = 70;
  s.MidAlpha = 20;
}

class PanelScreenshot : public ::testing::Test {
 protected:
  PanelScreenshot() : ctx(Now) {
    PainterStartup(*ctx.context);
    DisplaySettings& s = ctx.display();
    s.DisplayWeather = false;  // the weather panel is drawn by its own section
  }

  void Shoot(const char* name, const QString& notes = QString()) {
    T_DesktopWindow window(*ctx.context, screens, sound);
    window.KeepsQuickNotesFile = false;
    if (!notes.isEmpty()) window.QuickNotes->setPlainText(notes);
    const QImage picture = window.RenderOver(QImage());
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.width(), ctx.display().Width + (window.painter().ScrollMode ? 15 : 0));
    SaveScreenshot(picture, QStringLiteral("panel-") + QLatin1String(name));
  }

  TempHome home;
  PanelContext ctx;
  FixedScreens screens;
  SilentSound sound;
};

TEST_F(PanelScreenshot, EmptyCalendar) { Shoot("empty"); }

TEST_F(PanelScreenshot, BusyWeek) {
  FillBusyWeek(ctx.calendar());
  Shoot("busy-week", QStringLiteral("Pick up the dry cleaning\nWi-Fi at the cabin: maple-42"));
}

TEST_F(PanelScreenshot, OverdueTasks) {
  FillOverdueTasks(ctx.calendar());
  AddEvent(ctx.calendar(), Today, QStringLiteral("Quarterly taxes due"));
  Shoot("overdue-tasks");
}

TEST_F(PanelScreenshot, BothSmallMonths) {
  FillBusyWeek(ctx.calendar());
  ctx.display().DisplayPrevMonth = ctx.display().DisplayNextMonth = true;
  ctx.display().DisplayDays = 2;
  Shoot("small-months");
}

TEST_F(PanelScreenshot, PreviousMonthOnly) {
  FillBusyWeek(ctx.calendar());
  ctx.display().DisplayPrevMonth = true;
  ctx.display().DisplayEvents = false;
  ctx.display().DisplayNotebook = false;
  Shoot("previous-month");
}

TEST_F(PanelScreenshot, ScrollMode) {
  FillBusyWeek(ctx.calendar());
  FillOverdueTasks(ctx.calendar());
  ctx.display().MaxHeight = 16;
  Shoot("scroll-mode");
}

TEST_F(PanelScreenshot, InformationBox) {
  FillBusyWeek(ctx.calendar());
  ctx.display().UseToolTips = false;
  ctx.display().DisplayNotebook = false;
  ctx.display().DisplayDays = 1;
  Shoot("information-box");
}

TEST_F(PanelScreenshot, LightTheme) {
  FillBusyWeek(ctx.calendar());
  LightTheme(ctx.display());
  Shoot("light-theme", QStringLiteral("Ideas for the garden:\n- tulips by the fence"));
}

TEST_F(PanelScreenshot, BusyWeekAtTwiceTheScale) {
  FillBusyWeek(ctx.calendar());
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.KeepsQuickNotesFile = false;
  window.QuickNotes->setPlainText(QStringLiteral("Pick up the dry cleaning"));
  const QImage once = window.RenderOver(QImage());
  const QImage twice = window.RenderOver(QImage(), 2);
  ASSERT_EQ(twice.size(), once.size() * 2);
  EXPECT_EQ(twice.devicePixelRatio(), 2);
  // The same layout at twice the pixels: the gradient bars of the title row, the tasks and
  // the month are where the picture at 100% has them, not in its upper left quarter.
  const LayoutMarks& marks = window.painter().Marks;
  for (const QPoint at : {QPoint(once.width() - 4, 3), QPoint(once.width() - 4, marks.TasksTop + 3),
                          QPoint(6, marks.CalendarTop + 3)}) {
    const QColor a = once.pixelColor(at);
    const QColor b = twice.pixelColor(at * 2 + QPoint(1, 1));
    EXPECT_NEAR(a.red(), b.red(), 24) << at.x() << "," << at.y();
    EXPECT_NEAR(a.green(), b.green(), 24) << at.x() << "," << at.y();
    EXPECT_NEAR(a.blue(), b.blue(), 24) << at.x() << "," << at.y();
  }
  SaveScreenshot(twice, QStringLiteral("panel-busy-week-scale2"));
}

TEST_F(PanelScreenshot, DarkTheme) {
  FillBusyWeek(ctx.calendar());
  FillOverdueTasks(ctx.calendar());
  DarkTheme(ctx.display());
  ctx.display().DisplayNextMonth = true;
  Shoot("dark-theme");
}

}  // namespace
