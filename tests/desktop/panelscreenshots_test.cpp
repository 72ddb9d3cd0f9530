// Pictures of the panel in representative states, one table row each. With
// ORVANE_SCREENSHOTS set (make screenshots) each is written there as panel-NAME.png.

#include "desktop/desktopwindow.h"
#include "panelfixture.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "settings/settings.h"
#include "settings/themefiles.h"
#include "support/screenshot.h"

#include <gtest/gtest.h>
#include <QPlainTextEdit>

namespace {

const TDateTime Today = D(2026, 12, 7);  // a Monday, at 9:30

// B: a busy week of events and tasks; O: overdue and coming tasks with a deadline today.
void Fill(DataFormat& cal, std::string_view what) {
  if (what.find('B') != std::string_view::npos) {
    AddEvent(cal, Today, QStringLiteral("Team offsite"));
    AddSeries(cal, D(2026, 11, 2), 2, QStringLiteral("Standup"), EncodeTime(9, 0));
    AddEvent(cal, Today, QStringLiteral("Lunch with Sam"), EncodeTime(12, 30));
    cal.AddDayNote(AddEvent(cal, Today, QStringLiteral("Dentist"), EncodeTime(15, 15)),
                   QStringLiteral("Bring the insurance card"), Today);
    AddSeries(cal, D(2026, 11, 3), 3, QStringLiteral("Gym"), EncodeTime(7, 0));
    AddEvent(cal, Today + 1, QStringLiteral("Project review"), EncodeTime(14, 0));
    AddEvent(cal, Today + 2, QStringLiteral("Mom's birthday"));
    AddEvent(cal, Today + 3, QStringLiteral("Book club"), EncodeTime(19, 0));
    cal.AddDayNote(AddEvent(cal, Today + 5, QStringLiteral("Flight to Denver"), EncodeTime(6, 45)),
                   QStringLiteral("Seat 14C"), Today + 5);
    AddEvent(cal, Today + 5, QStringLiteral("Hotel check-in"));
    AddEvent(cal, D(2026, 12, 18), QStringLiteral("Holiday party"), EncodeTime(18, 0));
    AddEvent(cal, D(2026, 12, 24), QStringLiteral("Christmas Eve"));
    AddEvent(cal, D(2026, 11, 26), QStringLiteral("Thanksgiving"));
    AddEvent(cal, D(2027, 1, 1), QStringLiteral("New Year's Day"));
    AddTask(cal, QStringLiteral("Renew passport"), Today + 10, 1);
    AddTask(cal, QStringLiteral("Buy a gift for Mom"), Today + 1, 2);
    AddTask(cal, QStringLiteral("Water the plants"), 0, 3);
  }
  if (what.find('O') != std::string_view::npos) {
    AddTask(cal, QStringLiteral("File the expense report"), Today - 3, 0);
    AddTask(cal, QStringLiteral("Call the insurance"), Today, 1);
    AddTask(cal, QStringLiteral("Pay the electricity bill"), Today - 1, 1);
    AddTask(cal, QStringLiteral("Plan the spring trip"), D(2027, 3, 3), 2);
    AddTask(cal, QStringLiteral("Clean out the garage"), 0, 4);
    AddEvent(cal, Today, QStringLiteral("Quarterly taxes due"));
  }
}

struct Shot {
  const char* name;
  const char* fill;
  const char* theme;  // a shipped theme, or nullptr for the default
  void (*change)(DisplaySettings&);
  const char* notes;
  int scale;
};

class PanelScreenshot : public ::testing::TestWithParam<Shot> {};

TEST_P(PanelScreenshot, Picture) {
  const Shot& shot = GetParam();
  TempHome home;
  PanelContext ctx(Today + EncodeTime(9, 30));
  FixedScreens screens;
  SilentSound sound;
  PainterStartup(*ctx.context);
  if (shot.theme) {
    const QString path = qEnvironmentVariable("ORVANE_SOURCE_DIR") + "/data/themes/" + shot.theme + ".ovtheme";
    const ThemeFileResult theme = ReadThemeFile(path);
    ASSERT_TRUE(theme.lines) << qPrintable(theme.error);
    for (const QString& line : ApplicableThemeLines(*theme.lines)) {
      ctx.context->settings().SetSetting(line.section('=', 0, 0), line.section('=', 1));
    }
    LoadDisplaySettings(ctx.context->settings(), ctx.display());
  }
  ctx.display().DisplayWeather = false;  // the weather section has pictures of its own
  if (shot.change) shot.change(ctx.display());
  Fill(ctx.calendar(), shot.fill);
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.KeepsQuickNotesFile = false;
  window.QuickNotes->setPlainText(QString::fromUtf8(shot.notes));
  const QImage picture = window.RenderOver(QImage(), shot.scale);
  const QImage once = window.RenderOver(QImage());
  EXPECT_EQ(once.width(), ctx.display().Width + (window.painter().ScrollMode ? 15 : 0));
  ASSERT_EQ(picture.size(), once.size() * shot.scale);
  // At twice the scale the same layout at twice the pixels: the gradient bars of the title
  // row, the tasks and the month are where the picture at 100% has them.
  const LayoutMarks& marks = window.painter().Marks;
  for (const QPoint at :
       {QPoint(once.width() - 4, 3), QPoint(once.width() - 4, marks.TasksTop + 3), QPoint(6, marks.CalendarTop + 3)}) {
    const QColor a = once.pixelColor(at), b = picture.pixelColor(at * shot.scale + QPoint(1, 1) * (shot.scale - 1));
    EXPECT_LE(std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())}),
              24)
        << at.x() << "," << at.y();
  }
  SaveScreenshot(picture, QStringLiteral("panel-") + QLatin1String(shot.name));
}

INSTANTIATE_TEST_SUITE_P(
    States, PanelScreenshot,
    ::testing::Values(
        Shot{"empty", "", nullptr, nullptr, "", 1},
        Shot{"busy-week", "B", nullptr, nullptr, "Pick up the dry cleaning\nWi-Fi at the cabin: maple-42", 1},
        Shot{"busy-week-scale2", "B", nullptr, nullptr, "Pick up the dry cleaning", 2},
        Shot{"overdue-tasks", "O", nullptr, nullptr, "", 1},
        Shot{"small-months", "B", nullptr,
             [](DisplaySettings& s) { s.DisplayPrevMonth = s.DisplayNextMonth = true, s.DisplayDays = 2; }, "", 1},
        Shot{"previous-month", "B", nullptr,
             [](DisplaySettings& s) { s.DisplayPrevMonth = true, s.DisplayEvents = s.DisplayNotebook = false; }, "", 1},
        Shot{"scroll-mode", "BO", nullptr, [](DisplaySettings& s) { s.MaxHeight = 16; }, "", 1},
        Shot{"information-box", "B", nullptr,
             [](DisplaySettings& s) { s.UseToolTips = s.DisplayNotebook = false, s.DisplayDays = 1; }, "", 1},
        Shot{"light-theme", "B", "light", nullptr, "Ideas for the garden:\n- tulips by the fence", 1},
        Shot{"dark-theme", "BO", "dark", [](DisplaySettings& s) { s.DisplayNextMonth = true; }, "", 1}),
    [](const auto& info) {
      std::string name = info.param.name;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

}  // namespace
