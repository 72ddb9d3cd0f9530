// The panel's mouse handling and right-click menu, driven with Qt Test input on an offscreen
// panel: which items a click offers, month navigation, the events submenu, the weather
// entries and clicks, double-clicks by zone, deleting, the details.

#include "desktopmenufixture.h"

#include <QPlainTextEdit>

namespace {

TEST_F(DesktopMenuTest, ARightClickOffersWhatItsPlaceAllows) {
  const int plain = AddEvent(ctx.calendar(), Today(), QStringLiteral("Dentist"), EncodeTime(15, 0));
  ctx.calendar().NoteArray[static_cast<size_t>(plain)].Notes = QStringLiteral("Bring the card");
  const int series = AddSeries(ctx.calendar(), D(2026, 11, 2), 2, QStringLiteral("Standup"), EncodeTime(9, 0));
  ctx.calendar().AddDayNote(series, QStringLiteral("Room 4"), Today());
  AddTask(ctx.calendar(), QStringLiteral("Renew passport"));
  // Items that depend on where the press was; the rest of the menu is always there.
  const char* const placeItems[] = {"ViewItem1",   "DeleteItem1", "AddNote1",       "RemoveNotes1",
                                    "ViewNotes1",  "Exception1",  "MarkCompleted1", "ViewTask1",
                                    "DeleteItem2", "Events1",     "CalYear1",       "ViewForecast1"};
  const std::pair<QPoint, QStringList> cases[] = {
      {RowPoint('N', plain), {"ViewItem1", "DeleteItem1", "AddNote1", "ViewNotes1", "ViewForecast1"}},
      {RowPoint('N', series),
       {"ViewItem1", "DeleteItem1", "AddNote1", "RemoveNotes1", "ViewNotes1", "Exception1", "ViewForecast1"}},
      {RowPoint('T'), {"MarkCompleted1", "ViewTask1", "DeleteItem2", "ViewForecast1"}},
      {RowPoint(' ', -1, Today()), {"ViewForecast1"}},  // a day's header
      {DayPoint(Today() + 1), {"Events1", "ViewForecast1"}},
      {DayPoint(Today() + 12), {}},  // no events, beyond the forecast
      {MonthTitle(6), {"CalYear1", "ViewForecast1"}},
      {MonthTitle(110), {"ViewForecast1"}},
  };
  for (const auto& [where, expected] : cases) {
    RightClick(where);
    QStringList shown;
    for (const char* item : placeItems) {
      if (Shown(item)) shown << QString::fromLatin1(item);
    }
    EXPECT_EQ(shown, expected) << where.x() << "," << where.y();
  }
  // The forecast entry: for today and the nine days after.
  const std::pair<int, const char*> forecasts[] = {
      {0, "View Weather"}, {9, "View Forecast"}, {10, nullptr}, {-1, nullptr}};
  for (const auto& [days, caption] : forecasts) {
    RightClick(DayPoint(Today() + days));
    EXPECT_EQ(Shown("ViewForecast1"), caption != nullptr) << days;
    if (caption) {
      EXPECT_EQ(Panel().ViewForecast1->text(), QLatin1String(caption)) << days;
    }
  }
}

TEST_F(DesktopMenuTest, ItemsOfWindowsNotInThisRunAreHidden) {
  ctx.context->windows() = AppWindows{};
  Panel().SetShell(nullptr);
  RightClick(RowPoint(' ', -1, Today()));
  for (const char* item : {"NewItem1", "NewTask1", "PrintCalendarofEvents1", "OpenCalendar1", "OpenToDo1", "Help1",
                           "Options1", "LoadTheme1", "NetworkItem", "Restore1"}) {
    EXPECT_FALSE(Shown(item)) << item;
  }
  for (const char* item : {"FileSyncItem", "BackupItem", "Refresh1", "Hide1", "Exit1"})
    EXPECT_TRUE(Shown(item)) << item;
  ctx.context->windows().ShowNetwork = [] {};
  RightClick(RowPoint(' ', -1, Today()));
  EXPECT_TRUE(Shown("NetworkItem"));
  EXPECT_EQ(Panel().OrvaneHelp1->shortcut(), QKeySequence(Qt::Key_F1));
}

TEST_F(DesktopMenuTest, MonthArrowsCentreAndYearEntries) {
  const int W = ctx.display().Width;
  Click(MonthTitle(6));
  Click(MonthTitle(6));
  EXPECT_EQ(Panel().painter().MonthOffset, -2);
  Click(MonthTitle(W / 2));
  EXPECT_EQ(Panel().painter().MonthOffset, 0);
  // A double click on an arrow is two presses: it moves two months and opens nothing.
  DoubleClick(MonthTitle(W - 6));
  EXPECT_EQ(Panel().painter().MonthOffset, 2);
  Click(MonthTitle(W / 2));
  RightClick(MonthTitle(W - 6));
  EXPECT_EQ(QStringList({Panel().CalYear1->text(), Panel().CalYear2->text(), Panel().CalYear3->text()}),
            QStringList({"Dec 2027", "Dec 2028", "Dec 2029"}));
  Panel().CalYear2->trigger();
  EXPECT_EQ(Panel().painter().MonthOffset, 24);
  RightClick(MonthTitle(6));
  EXPECT_EQ(Panel().CalYear1->text(), QStringLiteral("Dec 2027"));
  Panel().CalYear3->trigger();
  EXPECT_EQ(Panel().painter().MonthOffset, -12);
  EXPECT_TRUE(opened.isEmpty());
}

QAction* Entry(QMenu* menu, const QString& text) {
  for (QAction* a : menu->actions()) {
    if (a->text() == text) return a;
  }
  ADD_FAILURE() << "no entry " << text.toStdString();
  return new QAction(menu);
}

TEST_F(DesktopMenuTest, EventsSubmenuIsBuiltOncePerDateAndAfterAChange) {
  AddEvent(ctx.calendar(), Today() + 2, QStringLiteral("Book club"), EncodeTime(19, 0));
  const int party = AddEvent(ctx.calendar(), Today() + 2, QStringLiteral("Cake & candles"));
  QMenu* events = Panel().Events1->menu();
  RightClick(DayPoint(Today() + 2));
  EXPECT_EQ(Panel().Events1->text(), QStringLiteral("Events for 12/9/2026"));
  const QList<QAction*> first = events->actions();
  ASSERT_EQ(first.size(), 2);
  EXPECT_EQ(first[0]->text(), QStringLiteral("Cake && candles"));  // all-day first; the & is shown
  EXPECT_EQ(first[1]->text(), QStringLiteral("7:00 PM Book club"));
  RightClick(DayPoint(Today() + 2));
  EXPECT_EQ(events->actions(), first) << "built again for the same date";
  // Deleting one through its entry: the next menu no longer names it.
  Entry(first[0]->menu(), QStringLiteral("Delete Event"))->trigger();
  EXPECT_NE(ctx.calendar().NoteArray[static_cast<size_t>(party)].DeleteDate, 0);
  RightClick(DayPoint(Today() + 2));
  ASSERT_EQ(events->actions().size(), 1);
  EXPECT_EQ(events->actions()[0]->text(), QStringLiteral("7:00 PM Book club"));
}

TEST_F(DesktopMenuTest, DoubleClickOpensTheWindowOfItsZone) {
  const int event = AddEvent(ctx.calendar(), Today() + 1, QStringLiteral("Review"), EncodeTime(14, 0));
  const int task = AddTask(ctx.calendar(), QStringLiteral("Pay rent"));
  const QString tomorrow = QString::number(DayNumber(Today() + 1));
  const struct {
    QPoint where;
    bool DisplaySettings::*option;  // switched on for the case
    QString expected;
  } cases[] = {
      {RowPoint(' ', -1, Today() + 1), nullptr, "ShowMonthDay " + tomorrow},
      {RowPoint('N', event), nullptr, QStringLiteral("ViewEvent %1").arg(event)},
      {RowPoint('N', event), &DisplaySettings::DblClickCal, "ShowMonthDay " + tomorrow},
      {RowPoint('T', task), nullptr, QStringLiteral("ViewTask %1").arg(task)},
      {RowPoint('T', task), &DisplaySettings::DblClickTodo, "ShowToDo"},
      {QPoint(60, Panel().painter().Marks.TasksTop + R() / 2), nullptr, "ShowToDo"},  // the Tasks header
      {DayPoint(Today() + 3), nullptr, "ShowMonthFilled " + QString::number(DayNumber(Today() + 3))},
      {MonthTitle(60) + QPoint(0, R()), &DisplaySettings::DblClickCal,  // the weekday labels
       "ShowMonthFilled " + QString::number(DayNumber(Today()))},
  };
  for (const auto& c : cases) {
    DisplaySettings& s = ctx.display();
    s.DblClickCal = s.DblClickTodo = s.DblClickTessaly = false;
    if (c.option) s.*(c.option) = true;
    opened.clear();
    Hover(c.where);
    DoubleClick(c.where);
    EXPECT_EQ(opened, QStringList{c.expected}) << c.expected.toStdString();
  }
  // With DblClickTessaly a calendar day shows its list of events instead.
  ctx.display().DblClickTessaly = true;
  ctx.dialogs->AnswerMessage(Dialogs::Answer::Ok);
  Hover(DayPoint(Today() + 1));
  DoubleClick(DayPoint(Today() + 1));
  EXPECT_TRUE(ctx.dialogs->LastText().contains(QStringLiteral("Review")));
}

TEST_F(DesktopMenuTest, WeatherRowsOpenThePageOnceByClickOrByDoubleClick) {
  const int top = Panel().painter().Marks.WeatherTop;
  ASSERT_GT(Panel().height(), top + 4 * R()) << "the panel paints the weather section";
  const QPoint rows(100, top + 3 * R() + R() / 2);
  ctx.display().WeatherDouble = false;
  DoubleClick(rows);
  ASSERT_EQ(shell.opened.size(), 1u) << "one page for a double click";
  EXPECT_EQ(shell.opened[0].toString(),
            QStringLiteral("https://www.weather.gov/total_forecast/citysearch.php?search=10001"));
  ctx.display().WeatherDouble = true;
  Click(rows);
  EXPECT_EQ(shell.opened.size(), 1u);
  EXPECT_TRUE(Shown("WeatherAlert"));
  EXPECT_EQ(Panel().WeatherAlert->text(), QStringLiteral("Open NWS Weather Page"));
  EXPECT_EQ(Panel().PopupMenu->defaultAction(), Panel().WeatherAlert);
  DoubleClick(rows);
  EXPECT_EQ(shell.opened.size(), 2u);
  // The severe-weather alert row opens the page on a press.
  weather.Report().SevereAlert = true;
  ctx.display().WeatherDouble = false;
  Panel().FormPaint();
  ASSERT_TRUE(Panel().painter().Marks.AlertRowShown);
  Click(QPoint(100, Panel().painter().Marks.AlertRowTop + R() / 2));
  EXPECT_EQ(shell.opened.size(), 3u);
}

TEST_F(DesktopMenuTest, DeletingASeriesAsksFirstAOneTimeEventDoesNotAndATaskIsMarkedCompleted) {
  const int once = AddEvent(ctx.calendar(), Today(), QStringLiteral("Lunch"), EncodeTime(12, 0));
  const int series = AddSeries(ctx.calendar(), D(2026, 11, 2), 1, QStringLiteral("Walk"), EncodeTime(7, 0));
  auto deleted = [this](int i) { return ctx.calendar().NoteArray[static_cast<size_t>(i)].DeleteDate != 0; };
  RightClick(RowPoint('N', series));
  ctx.dialogs->AnswerMessage(Dialogs::Answer::No);
  Panel().DeleteItem1->trigger();
  EXPECT_EQ(ctx.dialogs->LastText(), QStringLiteral("Are you sure you want to delete all instances of 'Walk'?"));
  EXPECT_FALSE(deleted(series));
  ctx.dialogs->AnswerMessage(Dialogs::Answer::Yes);
  Panel().DeleteItem1->trigger();
  EXPECT_TRUE(deleted(series));
  RightClick(RowPoint('N', once));
  Panel().DeleteItem1->trigger();  // no question (an unexpected one fails the test)
  EXPECT_TRUE(deleted(once));
  // A task's row: Mark Completed takes it off the list.
  const int task = AddTask(ctx.calendar(), QStringLiteral("Pay rent"));
  Panel().FormPaint();
  RightClick(RowPoint('T', task));
  Panel().MarkCompleted1->trigger();
  EXPECT_TRUE(ctx.calendar().ToDoArray[static_cast<size_t>(task)].Completed);
  for (const THitRow& row : Panel().painter().HitRows) EXPECT_NE(row.Kind, 'T');
}

TEST_F(DesktopMenuTest, DetailsGoToTheTooltipOrTheInformationBox) {
  const int event = AddEvent(ctx.calendar(), Today(), QStringLiteral("Dentist"), EncodeTime(15, 0));
  ctx.calendar().NoteArray[static_cast<size_t>(event)].Notes = QStringLiteral("Bring the card");
  ctx.calendar().AddDayNote(event, QStringLiteral("Room 4"), Today());
  Hover(RowPoint('N', event));
  EXPECT_EQ(Panel().toolTip(), QStringLiteral("Bring the card\nRoom 4"));
  EXPECT_EQ(Panel().SelectedDate, Today());
  Hover(RowPoint(' ', -1, Today()));
  EXPECT_EQ(Panel().toolTip(), QStringLiteral("Temp: 41  Sunny\nHigh: 50\u00B0F  Low: 30\u00B0F\n10% chance of "
                                              "precipitation\nRight Click for more options"));
  AddEvent(ctx.calendar(), Today() + 1, QStringLiteral("Review"), EncodeTime(14, 0));
  Hover(DayPoint(Today() + 1));  // a day's list of events, then its forecast
  EXPECT_EQ(Panel().toolTip(), QStringLiteral("Events for 12/08/2026:\n2:00 PM Review\n\nSunny\nHigh: 51\u00B0F  "
                                              "Low: 31\u00B0F\n10% chance of precipitation"));
  ctx.display().UseToolTips = false;
  Panel().FormPaint();
  Hover(RowPoint('N', event));
  EXPECT_EQ(Panel().InfoMemo->toPlainText(), QStringLiteral("Bring the card\nRoom 4"));
  RightClick(RowPoint('N', event));
  EXPECT_FALSE(Shown("ViewNotes1"));
  // The events submenu of the day still offers the notes, and writes them into the box.
  RightClick(DayPoint(Today()));
  Panel().InfoMemo->clear();
  Entry(Panel().Events1->menu()->actions()[0]->menu(), QStringLiteral("View Notes"))->trigger();
  EXPECT_EQ(Panel().InfoMemo->toPlainText(), QStringLiteral("Bring the card\nRoom 4"));
}

TEST_F(DesktopMenuTest, RestoreAsksFirstAndReplacesTheCalendar) {
  const QString file = home.path() + QStringLiteral("/week.ovb");
  AddEvent(ctx.calendar(), Today(), QStringLiteral("Kept"));
  ctx.dialogs->AnswerSaveFile(file);
  Panel().BackupItem->trigger();
  EXPECT_EQ(ctx.dialogs->asked().back().file.filter, QStringLiteral("Orvane Backup Files (*.ovb)|*.ovb"));
  AddEvent(ctx.calendar(), Today(), QStringLiteral("Added later"));
  for (Dialogs::Answer answer : {Dialogs::Answer::No, Dialogs::Answer::Yes}) {
    ctx.dialogs->AnswerOpenFile(file);
    ctx.dialogs->AnswerMessage(answer);
    Panel().RestoreItem->trigger();
  }
  EXPECT_EQ(ctx.dialogs->LastText(),
            QStringLiteral("Restoring will erase all data in Orvane - do you want to continue?"));
  ASSERT_EQ(ctx.calendar().NoteCount(), 1);
  EXPECT_EQ(ctx.calendar().NoteArray[0].Title, QStringLiteral("Kept"));
}

}  // namespace
