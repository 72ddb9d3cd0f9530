// The panel's mouse handling and right-click menu, driven with Qt Test input on an offscreen
// panel on a pinned Monday (7 Dec 2026, 9:30) with a weather report, a recording shell and
// window hooks that log what they were asked to open: which items a click offers, month
// navigation, the events submenu, the weather entries and clicks, double-clicks by zone,
// deleting, the details; the tray icon, and a picture of the open menu (make screenshots).

#include "desktop/desktopwindow.h"
#include "desktop/trayicon.h"
#include "network/weather.h"
#include "panelfixture.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "settings/settings.h"
#include "support/fakeservices.h"
#include "support/recordingshell.h"
#include "support/screenshot.h"

#include <gtest/gtest.h>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

namespace {

class DesktopMenuTest : public ::testing::Test {
 public:
  static TDateTime Today() { return 46363; }

  DesktopMenuTest()
      : ctx(Today() + 9.5 / 24),
        weather(
            [] {
              WeatherSettings settings;
              settings.DisplayWeather = false;
              return settings;
            },
            network) {
    ctx.context->settings().SetBool(QStringLiteral("DisplayNotebook"), false);
    ctx.context->settings().SetSetting(QStringLiteral("WeatherZip"), QStringLiteral("10001"));
    PainterStartup(*ctx.context);
    TWeatherReport& r = weather.Report();
    r.Loading = false, r.CurrentValid = r.ForecastValid = true;
    r.Temperature = QStringLiteral("41"), r.TempUnit = QStringLiteral("\u00B0F");
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
  void Click(QPoint p) { QTest::mouseClick(&Panel(), Qt::LeftButton, {}, p); }
  void RightClick(QPoint p) {
    QTest::mouseClick(&Panel(), Qt::RightButton, {}, p);
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
  bool Deleted(int note) { return ctx.calendar().NoteArray[static_cast<size_t>(note)].DeleteDate != 0; }

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

QAction* Entry(QMenu* menu, const QString& text) {
  for (QAction* a : menu->actions()) {
    if (a->text() == text) return a;
  }
  ADD_FAILURE() << "no entry " << text.toStdString();
  return new QAction(menu);
}

TEST_F(DesktopMenuTest, ARightClickOffersWhatItsPlaceAllowsAndNoItemOfAWindowNotInThisRun) {
  const int plain = AddEvent(ctx.calendar(), Today(), QStringLiteral("Dentist"), EncodeTime(15, 0));
  ctx.calendar().NoteArray[static_cast<size_t>(plain)].Notes = QStringLiteral("Bring the card");
  const int series = AddEvent(ctx.calendar(), D(2026, 11, 2), QStringLiteral("Standup"), EncodeTime(9, 0), 2);
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
  ctx.context->windows() = AppWindows{};
  Panel().SetShell(nullptr);
  RightClick(RowPoint(' ', -1, Today()));
  for (const char* item : {"NewItem1", "NewTask1", "PrintCalendarofEvents1", "OpenCalendar1", "OpenToDo1", "Help1",
                           "Options1", "LoadTheme1", "NetworkItem", "Restore1"}) {
    EXPECT_FALSE(Shown(item)) << item;
  }
  for (const char* item : {"FileSyncItem", "BackupItem", "Refresh1", "Hide1", "Exit1"}) EXPECT_TRUE(Shown(item));
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
  Panel().CalYear3->trigger();
  EXPECT_EQ(Panel().painter().MonthOffset, -12);
  EXPECT_TRUE(opened.isEmpty());
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
  EXPECT_TRUE(Deleted(party));
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
  const int series = AddEvent(ctx.calendar(), D(2026, 11, 2), QStringLiteral("Walk"), EncodeTime(7, 0), 1);
  const int task = AddTask(ctx.calendar(), QStringLiteral("Pay rent"));
  RightClick(RowPoint('N', series));
  for (const Dialogs::Answer answer : {Dialogs::Answer::No, Dialogs::Answer::Yes}) {
    ctx.dialogs->AnswerMessage(answer);
    Panel().DeleteItem1->trigger();
    EXPECT_EQ(Deleted(series), answer == Dialogs::Answer::Yes);
  }
  EXPECT_EQ(ctx.dialogs->LastText(), QStringLiteral("Are you sure you want to delete all instances of 'Walk'?"));
  RightClick(RowPoint('N', once));
  Panel().DeleteItem1->trigger();  // no question (an unexpected one fails the test)
  EXPECT_TRUE(Deleted(once));
  // A task's row: Mark Completed takes it off the list.
  RightClick(RowPoint('T', task));
  Panel().MarkCompleted1->trigger();
  EXPECT_TRUE(ctx.calendar().ToDoArray[static_cast<size_t>(task)].Completed);
  for (const THitRow& row : Panel().painter().HitRows) EXPECT_NE(row.Kind, 'T');
}

TEST_F(DesktopMenuTest, DetailsGoToTheTooltipOrTheInformationBox) {
  const int event = AddEvent(ctx.calendar(), Today(), QStringLiteral("Dentist"), EncodeTime(15, 0));
  ctx.calendar().NoteArray[static_cast<size_t>(event)].Notes = QStringLiteral("Bring the card");
  ctx.calendar().AddDayNote(event, QStringLiteral("Room 4"), Today());
  AddEvent(ctx.calendar(), Today() + 1, QStringLiteral("Review"), EncodeTime(14, 0));
  Hover(RowPoint('N', event));
  EXPECT_EQ(Panel().toolTip(), QStringLiteral("Bring the card\nRoom 4"));
  EXPECT_EQ(Panel().SelectedDate, Today());
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
  AddEvent(ctx.calendar(), Today(), QStringLiteral("Added later"));
  for (Dialogs::Answer answer : {Dialogs::Answer::No, Dialogs::Answer::Yes}) {
    ctx.dialogs->AnswerOpenFile(file);
    ctx.dialogs->AnswerMessage(answer);
    Panel().RestoreItem->trigger();
    EXPECT_EQ(ctx.calendar().NoteCount(), answer == Dialogs::Answer::Yes ? 1 : 2);
  }
  EXPECT_EQ(ctx.dialogs->LastText(),
            QStringLiteral("Restoring will erase all data in Orvane - do you want to continue?"));
  EXPECT_EQ(ctx.calendar().NoteArray[0].Title, QStringLiteral("Kept"));
}

TEST(TrayIcon, TipsCutAt63CharactersAndPicturesCarryTextWithinTheirWidth) {
  TWeatherReport weather;
  weather.Temperature = QStringLiteral("41"), weather.High = QStringLiteral("50"), weather.Low = QStringLiteral("30");
  const TDateTime now = D(2026, 12, 7) + EncodeTime(9, 30);
  const QString head = QStringLiteral("Orvane - 7 Dec 2026\r\n");
  EXPECT_EQ(TrayTip(1, now, 1, &weather), head + QStringLiteral("1 Event Today"));
  EXPECT_EQ(TrayTip(3, now, 2, &weather), head + QStringLiteral("2 Events Today - Temp: 41\u00B0"));
  weather.Temperature = weather.High = weather.Low = QStringLiteral("-1234567890");
  const QString cut = TrayTip(2, D(2026, 9, 30), 0, &weather);
  EXPECT_EQ(cut.size(), 63);
  EXPECT_TRUE(cut.endsWith(QStringLiteral("High: -1234567890\u00B0  L")));
  EnsureApplication();
  for (int type = 1; type <= 4; ++type) {  // text is drawn, shrunk to at most 14 pixels and centred
    const QImage picture = TrayPicture(type, QStringLiteral("28"), QStringLiteral("-104\u00B0"));
    ASSERT_EQ(picture.size(), QSize(16, 16)) << type;
    int first = 16, last = -1;  // the columns holding ink (darker than the white ground)
    for (int i = 0; i < 256; ++i) {
      if (qGray(picture.pixel(i % 16, i / 16)) < 160) first = std::min(first, i % 16), last = std::max(last, i % 16);
    }
    EXPECT_TRUE(1 <= first && first < last && last <= 14) << type << ": " << first << " to " << last;
  }
  EXPECT_TRUE(TrayPicture(0, QStringLiteral("07"), QString()).isNull());
}

TEST_F(DesktopMenuTest, TrayFollowsItsTypeAndBringsThePanelBack) {
  ctx.context->settings().SetInt(QStringLiteral("TrayIconType"), 2);
  ctx.display().TrayIconType = 2;
  T_DesktopWindow& panel = Panel();
  EXPECT_FALSE(panel.TrayIcon->ShowsApplicationIcon());
  EXPECT_TRUE(panel.TrayIcon->Tip().endsWith(QStringLiteral("Temp: 41\u00B0  High: \u00B0  Low: \u00B0")));
  ctx.context->settings().SetInt(QStringLiteral("TrayIconType"), 0);
  panel.DisplaySettingsChanged();
  EXPECT_TRUE(panel.TrayIcon->ShowsApplicationIcon());
  EXPECT_EQ(panel.TrayIcon->Tip(), QStringLiteral("Orvane"));
  int othersHidden = 0;
  ctx.context->windows().HideOtherWindows = [&othersHidden] { ++othersHidden; };
  panel.Hide1->trigger();
  EXPECT_FALSE(panel.isVisible());
  emit panel.TrayIcon->LeftPress();
  EXPECT_TRUE(panel.isVisible());
  emit panel.TrayIcon->LeftPress();  // in front again; an open editor stays open
  EXPECT_EQ(othersHidden, 1);
  emit panel.TrayIcon->DoubleClick();
  EXPECT_EQ(opened, QStringList{QStringLiteral("ShowMonth")});
}

TEST_F(DesktopMenuTest, ContextMenuScreenshot) {
  const int dentist = AddEvent(ctx.calendar(), Today(), QStringLiteral("Dentist"), EncodeTime(15, 15));
  ctx.calendar().AddDayNote(dentist, QStringLiteral("Bring the insurance card"), Today());
  AddEvent(ctx.calendar(), D(2026, 11, 2), QStringLiteral("Standup"), EncodeTime(9, 0), 2);
  QTest::mouseClick(&Panel(), Qt::RightButton, {}, RowPoint('N', dentist));
  ASSERT_TRUE(Panel().PopupMenu->isVisible());
  const QImage picture = Panel().PopupMenu->grab().toImage();
  Panel().PopupMenu->hide();
  SaveScreenshot(picture, QStringLiteral("desktop-menu"));
}

}  // namespace
