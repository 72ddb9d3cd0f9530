// Pictures of every window in a representative state, for make screenshots: with
// ORVANE_SCREENSHOTS set each is written there as NAME.png; otherwise each is only grabbed.
// Where a picture must show something, the test checks it.
#include "editorfixture.h"
#include "editors/aboutbox.h"
#include "editors/mainform.h"
#include "editors/monthwidgets.h"
#include "editors/noteform.h"
#include "editors/options.h"
#include "editors/printview.h"
#include "editors/recurrencepage.h"
#include "editors/taskform.h"
#include "editors/themeselect.h"
#include "editors/todo.h"
#include "platform/sound.h"
#include "support/screenshot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

namespace {

class Screenshots : public EditorTest {
 protected:
  Screenshots() : EditorTest(DT(2026, 12, 2, 10, 20)) {}

  // A standup on Mondays, Wednesdays and Fridays, with exceptions and notes on some of its days.
  int Standup(TDateTime from) {
    const int i = AddEvent(from, QStringLiteral("Team standup"), EncodeTime(9, 15));
    TNote& e = note(i);
    std::tie(e.Category, e.Location, e.EndTime, e.AlarmTime) =
        std::tuple("Work", "Meeting room 3, second floor", EncodeTime(9, 30), EncodeTime(9, 5));
    e.Notes = QStringLiteral("Short status round.\r\nBlockers first, then plans for the day.");
    std::tie(e.Alarm, e.RepeatType, e.RepeatFrequency) = std::tuple(true, 3, 1);
    e.RepeatMonday = e.RepeatWednesday = e.RepeatFriday = true;
    e.Exceptions = {D(2026, 11, 27), D(2026, 12, 25), D(2027, 1, 1), D(2026, 12, 23), D(2026, 12, 30)};
    for (const auto& [text, day] : {std::pair{"Demo of the new planner build", D(2026, 11, 18)},
                                    {"Room change: meeting room 5", D(2026, 12, 9)},
                                    {"Bring the quarterly numbers", D(2026, 12, 9)},
                                    {"Last standup of the year, short", D(2026, 12, 21)}})
      calendar().AddDayNote(i, QString::fromUtf8(text), day);
    return i;
  }
};

TEST_F(Screenshots, AboutBoxShowsTheVersionOfThisBuild) {
  T_About about;
  EXPECT_EQ(about.VersionLabel->text(), QStringLiteral("Version ") + T_About::CompiledVersion());
  EXPECT_EQ(T_About(nullptr, QStringLiteral(" ")).VersionLabel->text(), QStringLiteral("Version"));
  about.show();
  Screenshot(&about, QStringLiteral("aboutbox"));
}

TEST_F(Screenshots, EventEditorPagesAndPatterns) {
  T_NoteForm form(*context);
  T_RecurrencePage* page = form.RecurrencePage;
  const auto snap = [&form](const char* name) { Screenshot(&form, QStringLiteral("noteform-") + name); };
  const int standup = Standup(D(2026, 11, 4));
  form.ViewNote(standup);
  Activate(&form);
  snap("details");
  // The same event brought in with a time zone of its own: its times say whose they are.
  calendar().NoteArray[standup].TimeZone = QStringLiteral("Europe/London");
  form.ViewNote(standup);
  snap("details-zoned");
  calendar().NoteArray[standup].TimeZone.clear();
  form.ViewNote(standup);
  form.PageControl->setCurrentWidget(page);
  snap("recurrence-weekly-with-exceptions");
  form.PageControl->setCurrentWidget(form.NotesPage);
  form.NoteList->selectRow(1);
  snap("notes");
  form.NewNote(D(2026, 12, 30));
  snap("new");
  form.PageControl->setCurrentWidget(page);
  snap("recurrence-once");
  Click(form.SpanOption);
  snap("recurrence-once-spanning");
  for (const auto& [button, name] : {std::pair{page->DailyButton, "recurrence-daily"},
                                     {page->WeeklyButton, "recurrence-weekly"},
                                     {page->MonthlyButton, "recurrence-monthly"},
                                     {page->YearlyButton, "recurrence-yearly"}}) {
    Click(button);
    snap(name);
  }
}

TEST_F(Screenshots, TaskEditorAndToDoWindow) {
  T_TaskForm editor(*context);
  T_ToDo todo(*context);
  editor.Open();
  Screenshot(&editor, QStringLiteral("taskform-new"));
  // A working week of tasks: some due, one overdue, two done.
  // clang-format off
  const std::tuple<const char*, int, TDateTime, bool> tasks[] = {
      {"Renew passport", 1, D(2027, 1, 15), false},
      {"Send the quarterly report", 0, D(2026, 12, 2), false},
      {"Renew car insurance", 1, D(2026, 11, 30), false},
      {"Call the plumber about the kitchen sink", 2, 0, false},
      {"Pick up dry cleaning", 3, D(2026, 12, 4), false},
      {"Sort the photo archive", 4, 0, false},
      {"Pay the electricity bill", 0, D(2026, 11, 28), true},
      {"Order birthday present for Sam", 2, D(2026, 12, 1), true}};
  // clang-format on
  for (const auto& [title, priority, due, done] : tasks) AddTask(QString::fromUtf8(title), priority, due, done);
  task(0).Category = QStringLiteral("Errands");
  task(0).Notes = QStringList{"Two photos, 35 x 45 mm.", "Old passport and form B-12.", "Office opens at 8:30."};
  editor.ViewTask(0);
  editor.Open();
  Screenshot(&editor, QStringLiteral("taskform-due-date"));
  editor.hide();
  Activate(&todo);
  todo.CheckList->setCurrentRow(2);
  Screenshot(&todo, QStringLiteral("todo"));
  todo.hide();
}

TEST_F(Screenshots, BusyMonth) {
  const char* titles[] = {"Team standup", "Dentist",       "Lunch with Ana", "Gym",
                          "Piano lesson", "Budget review", "School play",    "Flight to Boston"};
  for (int d = 1; d <= 31; ++d) {
    for (int k = 0; k < (d * 7) % 4; ++k)
      AddEvent(D(2026, 12, d), titles[(d + k * 3) % 8], EncodeTime(8 + (k * 3 + d) % 10, (d * 5) % 60));
  }
  AddEvent(D(2026, 12, 25), QStringLiteral("Christmas Day"));
  AddWeekly(QStringLiteral("Yoga"));
  AppWindows& w = context->windows();
  w.ShowToDo = w.ShowOptions = w.ShowHelp = w.ShowAbout = [] {};
  w.ShowPrint = [](TDateTime) {};
  T_Main main(*context);
  main.resize(1100, 760);
  main.FillMonth(D(2026, 12, 2));
  main.show();
  main.DateData(main.SelectedCell()).ListBox->setCurrentRow(1);
  Screenshot(&main, QStringLiteral("month"));
  main.hide();
}

TEST_F(Screenshots, OptionsPages) {
  TempHome home;
  T_ThemeSelect chooser(*context);
  SilentSound sound;
  T_Options options(*context, sound);
  options.SetThemeSelect(&chooser);
  context->windows().CheckForUpdates = context->windows().ShowHelp = [] {};
  for (const auto& [key, value] : {std::pair{"WeatherZip", "10001"},
                                   {"SyncEMail", "ann@example.org"},
                                   {"AlarmSound", "/usr/share/orvane/Alarms/Alarm1.wav"}})
    context->settings().SetSetting(QLatin1String(key), QLatin1String(value));
  options.show();
  auto* pages = options.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
  ASSERT_NE(pages, nullptr);
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    Screenshot(&options,
               QStringLiteral("options-") + pages->tabText(i).toLower().replace(QLatin1Char(' '), QLatin1Char('-')));
  }
  options.hide();
}

// The chooser, and a sheet of every shipped theme (each complete and valid) over a light and
// a dark wallpaper-like sky.
TEST_F(Screenshots, ThemeChooserAndEveryShippedTheme) {
  T_ThemeSelect chooser(*context);
  QTemporaryDir user;
  chooser.SetThemeFolders(qEnvironmentVariable("ORVANE_SOURCE_DIR") + "/data/themes", user.path());
  const char* events[] = {"Standup", "Lunch with Sam", "Project review", "Mom's birthday", "Book club"};
  for (int i = 0; i < 5; ++i)
    AddEvent(D(2026, 12, 2) + i / 2 * 2, events[i], i == 3 ? std::nullopt : std::optional(EncodeTime(9 + 2 * i, 0)));
  AddTask(QStringLiteral("Pay the electricity bill"), 2, D(2026, 12, 1));
  context->settings().SetSetting("DisplayNotebook", "0");
  LoadDisplaySettings(context->settings(), context->display());
  chooser.show();
  const int count = chooser.ThemeList->count();
  ASSERT_GE(count, 6);
  std::vector<QImage> shots;
  for (bool light : {true, false}) {
    chooser.PanelBackdrop = [light](QSize size) {
      QImage image(size, QImage::Format_RGB32);
      QLinearGradient sky(0, 0, size.width() * 0.5, size.height());
      sky.setColorAt(0, light ? QColor(196, 222, 244) : QColor(14, 20, 44));
      sky.setColorAt(1, light ? QColor(236, 226, 196) : QColor(48, 34, 64));
      QPainter(&image).fillRect(image.rect(), sky);
      return image;
    };
    for (int i = 0; i < count; ++i) {
      chooser.ThemeList->setCurrentRow(i);
      chooser.ThemeListClick();
      shots.push_back(chooser.Preview());
      const QStringList lines = *ReadThemeFile(chooser.EntryPaths()[i]).lines;
      EXPECT_EQ(ApplicableThemeLines(lines), lines);
      EXPECT_EQ(lines.size(), 16);
    }
  }
  chooser.ThemeList->setCurrentItem(chooser.ThemeList->findItems(QStringLiteral("Ocean"), Qt::MatchExactly).value(0));
  Screenshot(&chooser, QStringLiteral("themeselect"));
  const QSize cell = shots[0].size() + QSize(10, 10);
  QImage sheet(cell.width() * count + 10, cell.height() * 2 + 10, QImage::Format_RGB32);
  sheet.fill(Qt::gray);
  QPainter p(&sheet);
  for (size_t k = 0; k < shots.size(); ++k)
    p.drawImage(10 + int(k) % count * cell.width(), 10 + int(k) / count * cell.height(), shots[k]);
  SaveScreenshot(sheet, QStringLiteral("themes-light-dark"));
  chooser.hide();
}

TEST_F(Screenshots, PrintViewOfEachKindInBothOrientations) {
  Standup(D(2026, 11, 30));
  note(AddEvent(D(2026, 12, 2), QStringLiteral("Dentist"), EncodeTime(14, 5))).Notes =
      QStringLiteral("Bring the x-rays.\r\nParking on Elm Street.");
  // clang-format off
  const std::tuple<int, const char*, int, int> events[] = {
      {2, "Pay rent", -1, 0}, {4, "Piano lesson", 17, 0}, {8, "Book club: The Left Hand of Darkness", 19, 30},
      {12, "Holiday market", -1, 0}, {12, "Lunch with Grandma", 12, 0}, {17, "Office party", 18, 0},
      {19, "Flight to Denver UA 1423", 7, 45}, {24, "Christmas Eve", -1, 0}, {25, "Christmas Day", -1, 0},
      {31, "New Year's Eve party", 21, 0}};
  // clang-format on
  for (const auto& [day, title, hour, minute] : events)
    AddEvent(D(2026, 12, day), QString::fromUtf8(title),
             hour < 0 ? std::nullopt : std::optional(EncodeTime(hour, minute)));
  T_PrintView view(*context);
  view.InstalledPrinters = [] { return QStringList(); };
  view.resize(1100, 720);
  view.show();
  const auto shoot = [&view](QRadioButton* kind, int portrait, const QString& name) {
    Click(kind);
    if (kind == view.WeekCal) view.WeeksPerPage->setValue(2);
    view.AlignSelect->setCurrentIndex(1 - portrait);
    emit view.AlignSelect->activated(1 - portrait);
    Screenshot(&view, QStringLiteral("printview-") + name);
  };
  for (const auto& [kind, name] :
       {std::pair{view.DayCal, "day"}, {view.WeekCal, "week"}, {view.MonthCal, "month"}, {view.YearCal, "year"}}) {
    shoot(kind, 0, name + QStringLiteral("-landscape"));
    shoot(kind, 1, name + QStringLiteral("-portrait"));
  }
  Click(view.PrintBlank);
  shoot(view.MonthCal, 0, QStringLiteral("month-blank"));
  view.hide();
}

}  // namespace
