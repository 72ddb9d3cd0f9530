// The month window: the grid a month fills, moving between months and years, the day lists,
// the context menu's rules and commands, keys, drops between days, and refreshing after
// changes made elsewhere.
#include "editors/mainform.h"
#include "editorfixture.h"
#include "editors/monthwidgets.h"
#include "editors/noteform.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

namespace {

class MainFormTest : public EditorTest {
 protected:
  MainFormTest() {
    AppWindows& w = context->windows();
    w.NewEvent = [this](TDateTime date) { opened << QStringLiteral("new %1").arg(date); };
    w.NewEventTitled = [this](TDateTime date, const QString& t) {
      opened << QStringLiteral("new %1 %2").arg(date).arg(t);
    };
    w.ViewEvent = [this](int index) { opened << QStringLiteral("view %1").arg(index); };
    w.RepaintDesktop = [this] { ++repaints; };
    main = std::make_unique<T_Main>(*context);
    main->resize(1000, 720);
    main->show();
    QApplication::processEvents();
  }
  ~MainFormTest() override { main->hide(); }

  int AddEvent(const QString& title, TDateTime date, int hour = -1, int minute = 0) {
    return EditorTest::AddEvent(date, title, hour < 0 ? std::nullopt : std::optional(EncodeTime(hour, minute)));
  }
  int CellOf(TDateTime date) const {
    for (int i = 0; i < T_Main::CellCount; ++i)
      if (main->DateData(i).Date == date) return i;
    return -1;
  }
  month::DayList* List(TDateTime date) const { return main->DateData(CellOf(date)).ListBox; }
  QStringList Texts(TDateTime date) const {
    QStringList texts;
    for (int i = 0; i < List(date)->count(); ++i) texts << List(date)->Text(i);
    return texts;
  }
  // A right press on a day's entry (or below its entries) and the context menu opening.
  void MenuOn(TDateTime date, int entry) {
    month::DayList* list = List(date);
    const QPoint at = entry >= 0 ? list->EntryRect(entry).center() : QPoint(10, list->height() - 5);
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, at);
    main->NoteMenuPopup();
  }
  void Refill() {
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(main.get(), &activate);
  }

  std::unique_ptr<T_Main> main;
  QStringList opened;
  int repaints = 0;
};

TEST_F(MainFormTest, FebruaryStartingOnSundayFillsFourRowsAndTheDaysListAllDayEventsFirst) {
  AddEvent(QStringLiteral("Lunch"), D(2026, 2, 10), 12, 30);
  AddEvent(QStringLiteral("Standup"), D(2026, 2, 10), 9, 5);
  AddEvent(QStringLiteral("Holiday"), D(2026, 2, 10));
  calendar().DeleteNote(AddEvent(QStringLiteral("Gone"), D(2026, 2, 10), 8));
  // Daily from the 11th: one all day, one at 10:00 London time, an hour later here from 8
  // March (summer time here, not yet there).
  const int walk = AddEvent(QStringLiteral("Walk"), D(2026, 2, 11)),
            london = AddEvent(QStringLiteral("London"), D(2026, 2, 11), 10);
  for (const int daily : {walk, london}) {
    note(daily).RepeatType = 1;
    note(daily).RepeatFrequency = 1;
  }
  note(london).TimeZone = QStringLiteral("Europe/London");
  main->FillMonth(D(2026, 2, 10));
  EXPECT_EQ(Texts(D(2026, 2, 10)), (QStringList{"Holiday", "9:05 AM Standup", "12:30 PM Lunch"}));
  EXPECT_EQ(Texts(D(2026, 3, 7)) + Texts(D(2026, 3, 8)),
            (QStringList{"Walk", "5:00 AM London", "Walk", "6:00 AM London"}));
  // Every cell lists the events its day holds, in display order.
  for (int i = 0; i < T_Main::CellCount; ++i) {
    const TDateData& cell = main->DateData(i);
    std::vector<int> listed;
    for (int row = 0; row < cell.ListBox->count(); ++row)
      listed.push_back(cell.ListBox->model()->index(row, 0).data(month::EventRole).toInt());
    EXPECT_EQ(listed, calendar().SortDayEvents(calendar().FindDayEvents(cell.Date), cell.Date)) << i;
  }
  EXPECT_EQ(main->MonthTitle->text(), "February 2026");
  EXPECT_EQ(std::pair(main->DateData(0).Date, main->DateData(41).Date), std::pair(D(2026, 2, 1), D(2026, 3, 14)));
  EXPECT_EQ(main->DateData(27).Panel->text() + ", " + main->DateData(28).Panel->text(), "February 28, March 01");
  EXPECT_EQ(main->SelectedCell(), 9);
  // Days of the month on the base colour, the others tinted; the selected list lighter still,
  // and its own colour back once the selection moves on.
  const auto colour = [this](int cell) { return main->DateData(cell).ListBox->palette().color(QPalette::Base); };
  const QColor base = colour(27), other = colour(28);
  EXPECT_TRUE(base != other && colour(9) != base);
  main->SelectDay(D(2026, 3, 2));
  EXPECT_EQ(std::tuple(main->SelectedCell(), colour(9)), std::tuple(29, base));
  main->SelectDay(D(2026, 2, 2));
  EXPECT_EQ(colour(29), other);
}

// Stepping by month or year keeps the day of the month where it exists.
TEST_F(MainFormTest, NavigationKeepsTheDayOfMonthWhereItExists) {
  const std::tuple<TDateTime, const char*, TDateTime> rows[] = {
      {D(2026, 3, 31), "PrevMonth", D(2026, 2, 28)},  {D(2026, 1, 31), "NextMonth", D(2026, 2, 28)},
      {D(2026, 3, 15), "PrevMonth", D(2026, 2, 15)},  {D(2027, 1, 31), "PrevMonth", D(2026, 12, 31)},
      {D(2026, 12, 15), "NextMonth", D(2027, 1, 15)}, {D(2024, 2, 29), "NextYear", D(2025, 2, 28)},
      {D(2024, 2, 29), "PrevYear", D(2023, 3, 1)},    {D(2024, 1, 10), "NextYear", D(2025, 1, 10)},
      {D(2025, 2, 28), "PrevYear", D(2024, 2, 28)},   {D(2030, 6, 6), "ThisMonth", D(2026, 12, 2)}};
  for (const auto& [from, button, to] : rows) {
    main->FillMonth(from);
    main->findChild<QToolButton*>(QLatin1String(button))->click();
    EXPECT_EQ(main->DateData(main->SelectedCell()).Date, to) << from << " " << button;
  }
}

// An entry shows its event as it was when the day was filled, in the pieces its chip is
// painted from; filling the day again shows the change and drops the selection.
TEST_F(MainFormTest, EntriesShowTheirEventAsFilledUntilTheDayIsFilledAgain) {
  const int timed = AddEvent(QStringLiteral("Dentist"), D(2026, 12, 9), 0, 5);
  AddEvent(QStringLiteral("Holiday"), D(2026, 12, 9));
  main->FillMonth(D(2026, 12, 9));
  month::DayList* list = List(D(2026, 12, 9));
  const auto pieces = [list](int row) {
    const QModelIndex at = list->model()->index(row, 0);
    return QStringList{at.data(month::TimeRole).toString(), at.data(month::TitleRole).toString(),
                       at.data(month::EventRole).toString()};
  };
  EXPECT_EQ(pieces(0), (QStringList{"", "Holiday", "1"}));
  EXPECT_EQ(pieces(1), (QStringList{"12:05 AM", "Dentist", "0"}));
  EXPECT_EQ(pieces(2), (QStringList{"", "", ""}));
  list->setCurrentRow(1);
  note(timed).Title = QStringLiteral("Dentist, moved");
  note(timed).StartTime = EncodeTime(12, 0);
  EXPECT_EQ(Texts(D(2026, 12, 9)), (QStringList{"Holiday", "12:05 AM Dentist"}));
  EXPECT_EQ(main->SelectedEntry(CellOf(D(2026, 12, 9))), 1);
  main->NeedsRefresh = true;
  Refill();
  EXPECT_EQ(Texts(D(2026, 12, 9)), (QStringList{"Holiday", "12:00 PM Dentist, moved"}));
  EXPECT_EQ(main->SelectedEntry(CellOf(D(2026, 12, 9))), -1);
}

// The menu key opens the menu over the selected entry and acts on it; a tooltip over an
// entry tells of its event.
TEST_F(MainFormTest, MenuKeyAndTooltipFindTheirEntry) {
  AddEvent(QStringLiteral("Dentist"), D(2026, 12, 9), 10);
  const int lunch = AddEvent(QStringLiteral("Lunch"), D(2026, 12, 9), 12, 30);
  main->FillMonth(D(2026, 12, 9));
  month::DayList* list = List(D(2026, 12, 9));
  QWidget* viewport = list->viewport();
  list->setCurrentRow(1);
  QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(1, 1), viewport->mapToGlobal(QPoint(1, 1)));
  QApplication::sendEvent(list, &key);
  EXPECT_EQ(main->NoteMenu->pos(), viewport->mapToGlobal(list->EntryRect(1).center()));
  main->NoteMenu->hide();
  main->ViewItem->trigger();
  EXPECT_EQ(opened, QStringList{QStringLiteral("view %1").arg(lunch)});
  const QPoint onFirst = list->EntryRect(0).center();
  QHelpEvent help(QEvent::ToolTip, onFirst, viewport->mapToGlobal(onFirst));
  QApplication::sendEvent(viewport, &help);
  EXPECT_EQ(QToolTip::text(), "Dentist\n10:00 AM - 11:00 AM");
  QToolTip::hideText();
}

TEST_F(MainFormTest, MenuEnablesCommandsByTheEntryUnderThePress) {
  const int once = AddEvent(QStringLiteral("Dentist"), D(2026, 12, 2), 10);
  AddWeekly(QStringLiteral("Yoga"));
  const int moved = AddEvent(QStringLiteral("Moved"), D(2026, 12, 3));
  note(moved).Exceptions = {D(2026, 12, 10)};
  calendar().AddDayNote(once, QStringLiteral("Bring the card"), D(2026, 12, 2));
  main->FillMonth(D(2026, 12, 2));
  struct Row {
    TDateTime day;
    int entry;
    bool onEntry, removeNotes, hide;
  };
  for (const Row& r : {Row{D(2026, 12, 2), -1, false, false, false}, Row{D(2026, 12, 2), 0, true, true, false},
                       Row{D(2026, 12, 7), 0, true, false, true}, Row{D(2026, 12, 3), 0, true, false, true}}) {
    MenuOn(r.day, r.entry);
    SCOPED_TRACE(r.day);
    EXPECT_EQ(std::vector({main->NewItem->isEnabled(), main->ViewItem->isEnabled(), main->DeleteItem->isEnabled(),
                           main->AddNote->isEnabled(), main->RemoveNotes->isEnabled(), main->Hide1->isVisible()}),
              std::vector({true, r.onEntry, r.onEntry, r.onEntry, r.removeNotes, r.hide}));
  }
}

// Hide takes one occurrence of a series; Delete asks only about a series, and deletes it all.
TEST_F(MainFormTest, HideOrDeleteAnOccurrence) {
  const int once = AddEvent(QStringLiteral("Dentist"), D(2026, 12, 7), 10);
  const int weekly = AddWeekly(QStringLiteral("Yoga"));
  main->FillMonth(D(2026, 12, 7));
  MenuOn(D(2026, 12, 14), 0);
  main->Hide1Click();
  EXPECT_TRUE(Texts(D(2026, 12, 14)).isEmpty());
  EXPECT_EQ(Texts(D(2026, 12, 21)), QStringList{"8:00 AM Yoga"});
  EXPECT_EQ(repaints, 1);
  MenuOn(D(2026, 12, 7), 1);
  main->DeleteItemClick();  // one-time: no question
  EXPECT_TRUE(note(once).DeleteDate != 0 && dialogs->asked().empty());
  MenuOn(D(2026, 12, 7), 0);
  dialogs->AnswerMessage(Dialogs::Answer::No);
  main->DeleteItemClick();
  EXPECT_EQ(dialogs->asked().back().caption + ": " + dialogs->LastText(),
            "Confirmation: Are you sure you want to delete all instances of 'Yoga'?");
  EXPECT_EQ(note(weekly).DeleteDate, 0);

  List(D(2026, 12, 7))->setCurrentRow(0);
  dialogs->AnswerMessage(Dialogs::Answer::Yes);
  QTest::keyClick(List(D(2026, 12, 7)), Qt::Key_Delete);
  EXPECT_EQ(dialogs->LastText(), "Are you sure you want to delete all instances of this item?");
  EXPECT_NE(note(weekly).DeleteDate, 0);
  EXPECT_TRUE(Texts(D(2026, 12, 21)).isEmpty() && Texts(D(2026, 12, 7)).isEmpty());
  EXPECT_EQ(repaints, 3);
}

// A character typed in a day without a selected entry starts an event titled with it; two
// presses on empty space start one on that day, and a double-click opens an entry.
TEST_F(MainFormTest, TypingPressingAndDoubleClickingOpenTheEditor) {
  const int once = AddEvent(QStringLiteral("Dentist"), D(2026, 12, 9), 10);
  main->FillMonth(D(2026, 12, 8));
  QTest::keyClick(List(D(2026, 12, 8)), 'M');
  QTest::keyClick(List(D(2026, 12, 8)), Qt::Key_7, Qt::KeypadModifier);
  List(D(2026, 12, 9))->setCurrentRow(0);
  QTest::keyClick(List(D(2026, 12, 9)), 'M');  // an entry is selected: nothing
  QWidget* viewport = List(D(2026, 12, 9))->viewport();
  QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(10, viewport->height() - 5));
  QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(10, viewport->height() - 5));
  EXPECT_EQ(main->SelectedDate(), D(2026, 12, 9));
  QTest::mouseDClick(viewport, Qt::LeftButton, {}, List(D(2026, 12, 9))->EntryRect(0).center());
  EXPECT_EQ(opened,
            (QStringList{QStringLiteral("new %1 M").arg(D(2026, 12, 8)), QStringLiteral("new %1 7").arg(D(2026, 12, 8)),
                         QStringLiteral("new %1").arg(D(2026, 12, 9)), QStringLiteral("view %1").arg(once)}));
}

// A weekly occurrence dropped on another day moves there (or, with Ctrl, is copied); the
// series stays, and what the lists show is what the calendar holds.
TEST_F(MainFormTest, DropMovesOrCopiesTheOccurrence) {
  for (const auto& [copy, target, onMonday] :
       {std::tuple{false, D(2026, 12, 15), false}, {true, D(2026, 12, 15), true}, {false, D(2026, 12, 14), true}}) {
    calendar().ClearCalendar();
    AddWeekly(QStringLiteral("Yoga"));
    main->FillMonth(D(2026, 12, 14));
    List(D(2026, 12, 14))->setCurrentRow(0);
    main->ListBoxDragDrop(CellOf(D(2026, 12, 14)), CellOf(target), copy);
    for (bool refilled : {false, true}) {
      if (refilled) Refill();
      EXPECT_EQ(!Texts(D(2026, 12, 14)).isEmpty(), onMonday) << copy << refilled;
      EXPECT_EQ(Texts(target).size(), 1) << copy << refilled;
      EXPECT_EQ(Texts(D(2026, 12, 21)), QStringList{"8:00 AM Yoga"});
    }
  }
}

TEST_F(MainFormTest, ActivationShowsChangesMadeElsewhere) {
  // Typing in a day opens the real editor; its Save sets NeedsRefresh, as at start-up.
  T_NoteForm editor(*context);
  QObject::connect(&editor, &T_NoteForm::Saved, main.get(), [this] { main->NeedsRefresh = true; });
  context->windows().NewEventTitled = [&editor](TDateTime date, const QString& title) {
    editor.NewNote(date);
    editor.Title->setText(title);
  };
  main->FillMonth(D(2026, 12, 2));
  QTest::keyClick(List(D(2026, 12, 4)), 'P');
  editor.Title->setText(editor.Title->text() + QStringLiteral("ottery"));
  editor.SaveButtonClick();
  Refill();
  ASSERT_EQ(Texts(D(2026, 12, 4)).size(), 1);
  EXPECT_TRUE(Texts(D(2026, 12, 4)).front().endsWith(QLatin1String(" Pottery")));
  EXPECT_EQ(std::pair(main->NeedsRefresh, repaints), std::pair(false, 1));
  // A deletion from the panel sets no flag; the calendar's revision tells.
  calendar().DeleteNote(0);
  Refill();
  EXPECT_TRUE(Texts(D(2026, 12, 4)).isEmpty());
}

}  // namespace
