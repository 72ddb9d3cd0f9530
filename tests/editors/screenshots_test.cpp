// Pictures of every window in a representative state, for make screenshots: with
// ORVANE_SCREENSHOTS set each is written there as NAME.png; otherwise each is grabbed and
// checked for its size only. Where a picture must show something, the test checks it.
#include "editorfixture.h"
#include "editors/aboutbox.h"
#include "editors/mainform.h"
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

  // A weekly standup (Monday, Wednesday, Friday) with exceptions and notes on some of its days.
  int Standup(TDateTime from) {
    const int i = AddEvent(from, QStringLiteral("Team standup"), EncodeTime(9, 15));
    TNote& e = note(i);
    e.Category = QStringLiteral("Work");
    e.Location = QStringLiteral("Meeting room 3, second floor");
    e.Notes = QStringLiteral("Short status round.\r\nBlockers first, then plans for the day.");
    e.EndTime = EncodeTime(9, 30);
    e.Alarm = true;
    e.AlarmTime = EncodeTime(9, 5);
    e.RepeatType = 3;
    e.RepeatFrequency = 1;
    e.RepeatMonday = e.RepeatWednesday = e.RepeatFriday = true;
    e.Exceptions = {D(2026, 11, 27), D(2026, 12, 25), D(2027, 1, 1), D(2026, 12, 23), D(2026, 12, 30)};
    for (const auto& [text, day] : {std::pair{"Demo of the new planner build", D(2026, 11, 18)},
                                    {"Sam leads today", D(2026, 12, 2)},
                                    {"Room change: meeting room 5", D(2026, 12, 9)},
                                    {"Bring the quarterly numbers", D(2026, 12, 9)},
                                    {"Last standup of the year, short", D(2026, 12, 21)}})
      calendar().AddDayNote(i, QString::fromUtf8(text), day);
    return i;
  }
  // A month of ordinary life.
  void December() {
    Standup(D(2026, 11, 30));
    note(AddEvent(D(2026, 12, 2), QStringLiteral("Dentist"), EncodeTime(14, 5))).Notes =
        QStringLiteral("Bring the x-rays.\r\nParking on Elm Street.");
    const std::tuple<int, const char*, int, int> events[] = {{2, "Pay rent", -1, 0},
                                                             {4, "Piano lesson", 17, 0},
                                                             {8, "Book club: The Left Hand of Darkness", 19, 30},
                                                             {12, "Holiday market", -1, 0},
                                                             {12, "Lunch with Grandma", 12, 0},
                                                             {17, "Office party", 18, 0},
                                                             {19, "Flight to Denver UA 1423", 7, 45},
                                                             {24, "Christmas Eve", -1, 0},
                                                             {25, "Christmas Day", -1, 0},
                                                             {31, "New Year's Eve party", 21, 0}};
    for (const auto& [day, title, hour, minute] : events)
      AddEvent(D(2026, 12, day), QString::fromUtf8(title),
               hour < 0 ? std::nullopt : std::optional<TDateTime>(EncodeTime(hour, minute)));
  }
};

TEST_F(Screenshots, AboutBoxShowsTheVersionOfThisBuild) {
  T_About about;
  EXPECT_EQ(about.VersionLabel->text(), QStringLiteral("Version ") + T_About::CompiledVersion());
  EXPECT_EQ(T_About(nullptr, QStringLiteral(" ")).VersionLabel->text(), QStringLiteral("Version"));
  about.show();
  Screenshot(&about, QStringLiteral("aboutbox"), {0, 150});
}

TEST_F(Screenshots, EventEditorPagesAndPatterns) {
  T_NoteForm form(*context);
  T_RecurrencePage* page = form.RecurrencePage;
  const auto snap = [&form](const char* name) { Screenshot(&form, QStringLiteral("noteform-") + name, {301, 301}); };
  form.ViewNote(Standup(D(2026, 11, 4)));
  Activate(&form);
  snap("details");
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
  editor.NewTask();
  editor.Open();
  Screenshot(&editor, QStringLiteral("taskform-new"), {301, 251});
  const int i = AddTask(QStringLiteral("Renew passport"), 1, D(2027, 1, 15));
  task(i).Category = QStringLiteral("Errands");
  task(i).Notes = QStringList{QStringLiteral("Two photos, 35 x 45 mm."), QStringLiteral("Old passport and form B-12."),
                              QStringLiteral("Office opens at 8:30.")};
  editor.ViewTask(i);
  editor.Open();
  Screenshot(&editor, QStringLiteral("taskform-due-date"), {301, 251});
  editor.hide();
  // A working week of tasks: some due, one overdue, two done.
  calendar().ClearCalendar();
  const std::tuple<const char*, int, TDateTime, bool> tasks[] = {
      {"Send the quarterly report", 0, D(2026, 12, 2), false},
      {"Renew car insurance", 1, D(2026, 11, 30), false},
      {"Book flights for the holidays", 1, D(2026, 12, 11), false},
      {"Call the plumber about the kitchen sink", 2, 0, false},
      {"Pick up dry cleaning", 3, D(2026, 12, 4), false},
      {"Sort the photo archive", 4, 0, false},
      {"Pay the electricity bill", 0, D(2026, 11, 28), true},
      {"Order birthday present for Sam", 2, D(2026, 12, 1), true}};
  for (const auto& [title, priority, due, done] : tasks) AddTask(QString::fromUtf8(title), priority, due, done);
  Activate(&todo);
  todo.CheckList->setCurrentRow(2);
  Screenshot(&todo, QStringLiteral("todo"), {301, 251});
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
  QApplication::processEvents();
  for (int i = 0; i < T_Main::CellCount; ++i)
    if (main.DateData(i).Date == D(2026, 12, 2)) main.DateData(i).ListBox->setCurrentRow(1);
  Screenshot(&main, QStringLiteral("month"), QSize(1000, 700));
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
    Screenshot(&options, QStringLiteral("options-") + pages->tabText(i).toLower(), {401, 0});
  }
  options.hide();
}

// A wallpaper-like sky, light or dark.
QImage Wallpaper(QSize size, bool light) {
  QImage image(size, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient sky(0, 0, size.width() * 0.5, size.height());
  sky.setColorAt(0, light ? QColor(196, 222, 244) : QColor(14, 20, 44));
  sky.setColorAt(1, light ? QColor(236, 226, 196) : QColor(48, 34, 64));
  p.fillRect(image.rect(), sky);
  return image;
}

// The chooser, and a sheet of every shipped theme (each complete and valid) over a light and
// a dark wallpaper.
TEST_F(Screenshots, ThemeChooserAndEveryShippedTheme) {
  LoadDisplaySettings(context->settings(), context->display());
  T_ThemeSelect chooser(*context);
  QTemporaryDir user;
  chooser.SetThemeFolders(qEnvironmentVariable("ORVANE_SOURCE_DIR") + "/data/themes", user.path());
  const char* events[] = {"Standup", "Lunch with Sam", "Project review", "Mom's birthday", "Book club"};
  for (int i = 0; i < 5; ++i) {
    AddEvent(D(2026, 12, 2) + i / 2 * 2, events[i],
             i == 3 ? std::nullopt : std::optional<TDateTime>(EncodeTime(9 + 2 * i, 0)));
  }
  AddTask(QStringLiteral("Pay the electricity bill"), 2, D(2026, 12, 1));
  context->settings().SetSetting("DisplayNotebook", "0");
  LoadDisplaySettings(context->settings(), context->display());
  chooser.show();
  const int count = chooser.ThemeList->count();
  ASSERT_GE(count, 6);
  std::vector<QImage> shots;
  for (bool light : {true, false}) {
    chooser.PanelBackdrop = [light](QSize size) { return Wallpaper(size, light); };
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
  Screenshot(&chooser, QStringLiteral("themeselect"), QSize(400, 400));
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
  December();
  T_PrintView view(*context);
  view.InstalledPrinters = [] { return QStringList(); };
  view.resize(1100, 720);
  view.show();
  const auto choose = [&view](int orientation) {
    view.AlignSelect->setCurrentIndex(orientation);
    emit view.AlignSelect->activated(orientation);
  };
  for (const auto& [button, kind] :
       {std::pair{view.DayCal, "day"}, {view.WeekCal, "week"}, {view.MonthCal, "month"}, {view.YearCal, "year"}}) {
    Click(button);
    if (button == view.WeekCal) view.WeeksPerPage->setValue(2);
    for (const auto& [orientation, name] : {std::pair{1, "landscape"}, {0, "portrait"}}) {
      choose(orientation);
      Screenshot(&view, QStringLiteral("printview-%1-%2").arg(kind, name), {640, 430});
    }
  }
  choose(1);
  Click(view.MonthCal);
  Click(view.PrintBlank);
  Screenshot(&view, QStringLiteral("printview-month-blank"), {640, 430});
  view.hide();
}

}  // namespace
