// The to-do window: the list's text and order, marks, the presses and double-clicks that
// open the editor, deleting, the context menu, and the list following the editor's changes.
#include "todofixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace {

class ToDoTest : public ToDoFixture {};

struct EntryTextCase {
  const char* name;
  const char* title;
  int priority;
  TDateTime due;
  const char* expected;
};

class ToDoEntryText : public ToDoFixture, public ::testing::WithParamInterface<EntryTextCase> {};

TEST_P(ToDoEntryText, TitlePriorityAndDueDate) {
  const EntryTextCase& c = GetParam();
  AddTask(QString::fromUtf8(c.title), c.priority, c.due);
  todo->RefreshTaskList();
  EXPECT_EQ(ListTexts(), QStringList{QString::fromUtf8(c.expected)});
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ToDoEntryText,
    ::testing::Values(EntryTextCase{"NoDueDate", "Buy milk", 2, 0, "Buy milk (Normal)"},
                      EntryTextCase{"Highest", "Taxes", 0, 0, "Taxes (Highest)"},
                      EntryTextCase{"Lowest", "Tidy shed", 4, 0, "Tidy shed (Lowest)"},
                      EntryTextCase{"WithDueDate", "Pay rent", 1, D(2026, 12, 5), "Pay rent (High Due 12/5/2026)"},
                      EntryTextCase{"DueDateWithTimeOfDay", "Dentist", 3, DT(2027, 1, 14, 15, 0),
                                    "Dentist (Low Due 1/14/2027)"},
                      EntryTextCase{"PriorityOutOfRange", "Odd", 7, 0, "Odd (Normal)"},
                      EntryTextCase{"EmptyTitleKept", "", 2, 0, " (Normal)"}),
    [](const ::testing::TestParamInfo<EntryTextCase>& info) { return std::string(info.param.name); });

TEST_F(ToDoTest, ListsOpenTasksInDisplayOrderThenCompletedLeavingDeletedOut) {
  AddTask(QStringLiteral("Low one"), 3);
  AddTask(QStringLiteral("Done"), 0, 0, true);
  const int gone = AddTask(QStringLiteral("Gone"), 0);
  calendar().DeleteToDo(gone);
  AddTask(QStringLiteral("Urgent"), 0);
  ShowToDo();
  EXPECT_EQ(ListTexts(), (QStringList{"Urgent (Highest)", "Low one (Low)", "Done (Highest)"}));
  EXPECT_EQ(todo->CheckList->item(0)->checkState(), Qt::Unchecked);
  EXPECT_EQ(todo->CheckList->item(2)->checkState(), Qt::Checked);
}

TEST_F(ToDoTest, CheckingMovesToTheEndAndClearingBringsItBack) {
  AddTask(QStringLiteral("First"), 0);
  AddTask(QStringLiteral("Second"), 1);
  AddTask(QStringLiteral("Third"), 2);
  ShowToDo();
  ASSERT_EQ(calendar().OpenToDoCount, 3);

  Click(EntryMark(0));
  EXPECT_EQ(ListTexts(), (QStringList{"Second (High)", "Third (Normal)", "First (Highest)"}));
  EXPECT_EQ(todo->CheckList->item(2)->checkState(), Qt::Checked);
  EXPECT_TRUE(task(0).Completed);
  EXPECT_EQ(calendar().OpenToDoCount, 2);
  EXPECT_EQ(repaints, 1);

  Click(EntryMark(2));
  EXPECT_EQ(ListTexts(), (QStringList{"First (Highest)", "Second (High)", "Third (Normal)"}));
  EXPECT_FALSE(task(0).Completed);
  EXPECT_EQ(calendar().OpenToDoCount, 3);
  EXPECT_EQ(repaints, 2);
}

TEST_F(ToDoTest, OpenTaskCountFollowsTheRecordsThroughManyMarks) {
  for (int i = 0; i < 5; ++i) AddTask(QStringLiteral("Task %1").arg(i), i % 5);
  ShowToDo();
  const int entries[] = {0, 0, 3, 1, 4, 4, 2, 0};
  for (int entry : entries) {
    QListWidgetItem* item = todo->CheckList->item(entry);
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    EXPECT_EQ(calendar().OpenToDoCount, CountOpen()) << "after entry " << entry;
  }
  EXPECT_TRUE(static_cast<bool>(calendar().DataChanged));
}

TEST_F(ToDoTest, DoubleClickOnAMarkChangesOnlyThatTask) {
  AddTask(QStringLiteral("Alpha"), 0);
  AddTask(QStringLiteral("Beta"), 1);
  ShowToDo();
  DoubleClick(EntryMark(0));
  // The first click completed Alpha and moved Beta under the pointer; the second click of
  // the pair leaves Beta alone and opens nothing.
  EXPECT_TRUE(task(0).Completed);
  EXPECT_FALSE(task(1).Completed);
  EXPECT_EQ(calendar().OpenToDoCount, 1);
  EXPECT_FALSE(editor->isVisible());
}

struct PressCase {
  const char* name;
  bool onEntry;
  bool moveBetween;
  bool opensNewTask;
};

class ToDoTwoPresses : public ToDoFixture, public ::testing::WithParamInterface<PressCase> {};

TEST_P(ToDoTwoPresses, OpenANewTaskOnlyOnEmptySpaceWithoutAMove) {
  const PressCase& c = GetParam();
  AddTask(QStringLiteral("Only task"), 2);
  ShowToDo();
  const QPoint at = c.onEntry ? EntryCentre(0) : EmptySpace();
  Click(at);
  if (c.moveBetween) {
    MoveTo(at + QPoint(3, 0));
    MoveTo(at);
  }
  Click(at);
  EXPECT_EQ(editor->isVisible(), c.opensNewTask);
  if (c.opensNewTask) {
    EXPECT_EQ(editor->EditIndex(), -1);
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("New Task"));
  }
}

INSTANTIATE_TEST_SUITE_P(Presses, ToDoTwoPresses,
                         ::testing::Values(PressCase{"EmptySpaceSamePlace", false, false, true},
                                           PressCase{"EmptySpaceMovedBetween", false, true, false},
                                           PressCase{"OnAnEntry", true, false, false},
                                           PressCase{"OnAnEntryMovedBetween", true, true, false}),
                         [](const ::testing::TestParamInfo<PressCase>& info) { return std::string(info.param.name); });

TEST_F(ToDoTest, ThirdPressStartsAFreshPair) {
  ShowToDo();
  Click(EmptySpace());
  Click(EmptySpace());
  ASSERT_TRUE(editor->isVisible());
  editor->hide();
  Click(EmptySpace());
  EXPECT_FALSE(editor->isVisible());
}

TEST_F(ToDoTest, DoubleClickOnAnEntryOpensItsTask) {
  AddTask(QStringLiteral("Low"), 4);
  const int high = AddTask(QStringLiteral("High"), 0);
  ShowToDo();
  DoubleClick(EntryCentre(0));
  ASSERT_TRUE(editor->isVisible());
  EXPECT_EQ(editor->EditIndex(), high);
  EXPECT_EQ(editor->windowTitle(), QStringLiteral("View/Edit Task"));
  EXPECT_EQ(editor->Title->text(), QStringLiteral("High"));
}

TEST_F(ToDoTest, DeleteKeyDeletesTheSelectedTaskWithoutAsking) {
  AddTask(QStringLiteral("Keep"), 0);
  const int doomed = AddTask(QStringLiteral("Doomed"), 1);
  ShowToDo();
  todo->CheckList->clearSelection();
  QTest::keyClick(todo->CheckList, Qt::Key_Delete);  // nothing selected: nothing deleted
  EXPECT_EQ(ListTexts().size(), 2);
  EXPECT_EQ(repaints, 0);
  Click(EntryCentre(1));
  calendar().DataChanged = false;
  QTest::keyClick(todo->CheckList, Qt::Key_Delete);
  EXPECT_NE(task(doomed).DeleteDate, 0);
  EXPECT_EQ(ListTexts(), QStringList{"Keep (Highest)"});
  EXPECT_EQ(calendar().OpenToDoCount, 1);
  EXPECT_TRUE(static_cast<bool>(calendar().DataChanged));
  EXPECT_EQ(repaints, 1);
  EXPECT_TRUE(dialogs->asked().empty());
}

TEST_F(ToDoTest, ContextMenuActsOnTheEntryUnderTheRightPress) {
  AddTask(QStringLiteral("One"), 0);
  AddTask(QStringLiteral("Two"), 1);
  AddTask(QStringLiteral("Completed"), 2, 0, true);
  ShowToDo();
  Click(EntryCentre(0));
  QTest::mousePress(viewport(), Qt::RightButton, {}, EntryCentre(2));
  EXPECT_EQ(todo->CheckList->currentRow(), 2);
  todo->ToDoMenuPopup();
  EXPECT_EQ(todo->RememberedEntry(), 2);
  EXPECT_TRUE(todo->ViewToDo1->isEnabled());
  EXPECT_TRUE(todo->DeleteToDo1->isEnabled());
  todo->DeleteToDo1->trigger();
  EXPECT_NE(task(2).DeleteDate, 0);
  EXPECT_EQ(task(0).DeleteDate, 0);
  EXPECT_EQ(calendar().OpenToDoCount, 2);  // a completed task was not counted as open
  EXPECT_EQ(ListTexts(), (QStringList{"One (Highest)", "Two (High)"}));
}

TEST_F(ToDoTest, ContextMenuOnEmptySpaceOffersOnlyNewTask) {
  AddTask(QStringLiteral("One"), 0);
  ShowToDo();
  Click(EntryCentre(0));
  QTest::mousePress(viewport(), Qt::RightButton, {}, EmptySpace());
  EXPECT_TRUE(todo->CheckList->selectedItems().isEmpty());
  todo->ToDoMenuPopup();
  EXPECT_EQ(todo->RememberedEntry(), -1);
  EXPECT_TRUE(todo->NewToDo1->isEnabled());
  EXPECT_FALSE(todo->ViewToDo1->isEnabled());
  EXPECT_FALSE(todo->DeleteToDo1->isEnabled());
  todo->DeleteToDo1Click();  // reached anyway: nothing happens
  todo->ViewToDo1Click();
  EXPECT_EQ(task(0).DeleteDate, 0);
  EXPECT_FALSE(editor->isVisible());
  todo->NewToDo1->trigger();
  EXPECT_TRUE(editor->isVisible());
  EXPECT_EQ(editor->EditIndex(), -1);
}

TEST_F(ToDoTest, ViewTaskFromTheMenuOpensTheRememberedEntryOrTheSelectedOneFromTheKeyboard) {
  AddTask(QStringLiteral("One"), 0);
  const int two = AddTask(QStringLiteral("Two"), 1);
  ShowToDo();
  QTest::mousePress(viewport(), Qt::RightButton, {}, EntryCentre(0));
  todo->CheckList->setCurrentRow(1);
  todo->ToDoMenuPopup(true);
  EXPECT_EQ(todo->RememberedEntry(), 1);
  QTest::mousePress(viewport(), Qt::RightButton, {}, EntryCentre(1));
  todo->ToDoMenuPopup();
  todo->ViewToDo1->trigger();
  ASSERT_TRUE(editor->isVisible());
  EXPECT_EQ(editor->EditIndex(), two);
}

TEST_F(ToDoTest, EditsReachTheListAtTheNextActivation) {
  const int i = AddTask(QStringLiteral("Draft report"), 2);
  ShowToDo();
  DoubleClick(EntryCentre(0));
  ASSERT_TRUE(editor->isVisible());
  EXPECT_FALSE(todo->NeedsRefresh);  // showing the editor cleared it
  editor->Title->setText(QStringLiteral("Final report"));
  editor->CheckBox1->setChecked(true);
  editor->CheckBox1Click();
  editor->DueDate->setDate(QDate(2026, 12, 9));
  QTest::mouseClick(editor->SaveButton, Qt::LeftButton);
  EXPECT_EQ(task(i).Title, QStringLiteral("Final report"));
  EXPECT_EQ(repaints, 1);  // the panel repaints at once
  EXPECT_TRUE(todo->NeedsRefresh);
  EXPECT_EQ(ListTexts(), QStringList{"Draft report (Normal)"});
  Activate();
  EXPECT_EQ(ListTexts(), QStringList{"Final report (Normal Due 12/9/2026)"});
  EXPECT_TRUE(todo->NeedsRefresh);  // stays set until the editor is shown again
}

TEST_F(ToDoTest, ActivationWithoutPendingEditsKeepsTheList) {
  AddTask(QStringLiteral("Listed"), 2);
  ShowToDo();
  editor->NewTask();
  editor->Open();
  QTest::mouseClick(editor->CancelButton, Qt::LeftButton);
  AddTask(QStringLiteral("Added behind the window's back"), 2);
  Activate();
  EXPECT_EQ(ListTexts(), QStringList{"Listed (Normal)"});
}

TEST_F(ToDoTest, NewTaskSavedFromTheWindowJoinsTheList) {
  ShowToDo();
  todo->NewToDo1->trigger();
  ASSERT_TRUE(editor->isVisible());
  QTest::keyClicks(editor->Title, QStringLiteral("Book flights"));
  QTest::mouseClick(editor->SaveButton, Qt::LeftButton);
  Activate();
  EXPECT_EQ(ListTexts(), QStringList{"Book flights (Normal)"});
  EXPECT_EQ(calendar().OpenToDoCount, 1);
}

TEST_F(ToDoTest, EntriesKeepTheirTasksWhenThePanelReordersMeanwhile) {
  AddTask(QStringLiteral("Listed first"), 1);
  AddTask(QStringLiteral("Listed second"), 2);
  ShowToDo();
  // The panel adds a task and sorts again at its next paint, while this list stays as it is.
  AddTask(QStringLiteral("New urgent"), 0);
  calendar().SortToDos();
  ASSERT_EQ(calendar().SortedToDos.front(), 2);
  todo->CheckList->item(0)->setCheckState(Qt::Checked);
  EXPECT_TRUE(task(0).Completed);
  EXPECT_FALSE(task(2).Completed);
  EXPECT_EQ(calendar().OpenToDoCount, CountOpen());
}

TEST_F(ToDoTest, MarkOnATaskDeletedElsewhereChangesNothing) {
  AddTask(QStringLiteral("Stays"), 1);
  AddTask(QStringLiteral("Deleted on the panel"), 2);
  ShowToDo();
  calendar().DeleteToDo(1);
  todo->CheckList->item(1)->setCheckState(Qt::Checked);
  EXPECT_FALSE(task(1).Completed);
  EXPECT_EQ(calendar().OpenToDoCount, 1);
  QApplication::processEvents();
  EXPECT_EQ(ListTexts(), QStringList{"Stays (High)"});
}

TEST_F(ToDoTest, MainMenuShowsOnlyCommandsWhoseWindowsExist) {
  ShowToDo();
  EXPECT_FALSE(todo->Calendar1->isVisible());
  EXPECT_FALSE(todo->Options1->isVisible());
  EXPECT_FALSE(todo->Help1->menuAction()->isVisible());
  EXPECT_FALSE(todo->menuBar()->isVisible());

  int calendarShown = 0, websites = 0;
  context->windows().ShowMonth = [&] { ++calendarShown; };
  context->windows().OpenWebsite = [&] { ++websites; };
  todo->UpdateMainMenu();
  EXPECT_TRUE(todo->Calendar1->isVisible());
  EXPECT_FALSE(todo->Options1->isVisible());
  EXPECT_TRUE(todo->Help1->menuAction()->isVisible());
  EXPECT_FALSE(todo->N6->isVisible());
  EXPECT_TRUE(todo->OrvaneWebsite1->isVisible());
  EXPECT_TRUE(todo->menuBar()->isVisible());

  todo->OrvaneWebsite1->trigger();
  EXPECT_EQ(websites, 1);
  EXPECT_TRUE(todo->isVisible());
  todo->Calendar1->trigger();
  EXPECT_EQ(calendarShown, 1);
  EXPECT_FALSE(todo->isVisible());
}

TEST_F(ToDoTest, EveryActionIsNamedAfterItsMenuItem) {
  const std::pair<const char*, const char*> items[] = {
      {"NewToDo1", "New Task"},       {"ViewToDo1", "View Task"},       {"DeleteToDo1", "Delete Task"},
      {"Calendar1", "Calendar"},      {"Options1", "Options"},          {"Help1", "Help"},
      {"OrvaneHelp1", "Orvane Help"}, {"AboutOrvane1", "About Orvane"}, {"Feedback1", "Contact the developer"},
      {"OrvaneWebsite1", "Orvane Website"}};
  for (const auto& [name, text] : items) {
    auto* action = todo->findChild<QAction*>(QString::fromLatin1(name));
    ASSERT_NE(action, nullptr) << name;
    EXPECT_EQ(action->text(), QString::fromLatin1(text)) << name;
  }
  EXPECT_EQ(todo->OrvaneHelp1->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_EQ(todo->windowTitle(), QStringLiteral("Tasks"));
}

TEST_F(ToDoTest, ClosingHidesTheWindow) {
  ShowToDo();
  todo->close();
  EXPECT_FALSE(todo->isVisible());
  todo->show();
  EXPECT_TRUE(todo->isVisible());
}

}  // namespace
