// The task editor and the to-do window: what Save, Cancel and closing do to the calendar, the
// list's text and order, marks, the presses and double-clicks that open the editor, deleting,
// the context menu, and the list following the editor's changes.
#include "editors/todo.h"
#include "editorfixture.h"
#include "editors/taskform.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>

namespace {

class ToDo : public EditorTest {
 protected:
  ToDo() : editor(std::make_unique<T_TaskForm>(*context)), todo(std::make_unique<T_ToDo>(*context)) {
    // Wired as the panel's run wires them.
    context->windows().NewTask = [this] {
      editor->NewTask();
      editor->Open();
    };
    context->windows().ViewTask = [this](int index) {
      editor->ViewTask(index);
      editor->Open();
    };
    QObject::connect(editor.get(), &T_TaskForm::Shown, [this] { todo->NeedsRefresh = false; });
    QObject::connect(editor.get(), &T_TaskForm::Saved, [this] { todo->NeedsRefresh = true; });
    QObject::connect(editor.get(), &T_TaskForm::Saved, [this] { ++repaints; });
    QObject::connect(todo.get(), &T_ToDo::Changed, [this] { ++repaints; });
  }
  ~ToDo() override {
    editor->hide();
    todo->hide();
  }

  QWidget* viewport() const { return todo->CheckList->viewport(); }
  QStringList ListTexts() const {
    QStringList texts;
    for (int i = 0; i < todo->CheckList->count(); ++i) texts << todo->CheckList->item(i)->text();
    return texts;
  }
  QPoint EntryCentre(int entry) const { return todo->CheckList->visualItemRect(todo->CheckList->item(entry)).center(); }
  // Where an entry shows its check mark, at the entry's left end.
  QPoint EntryMark(int entry) const {
    QStyleOptionViewItem option;
    option.initFrom(todo->CheckList);
    option.rect = todo->CheckList->visualItemRect(todo->CheckList->item(entry));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.widget = todo->CheckList;
    return todo->CheckList->style()
        ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, todo->CheckList)
        .center();
  }
  QPoint EmptySpace() const { return QPoint(viewport()->width() / 2, viewport()->height() - 10); }
  void Press(const QPoint& at, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(viewport(), button, {}, at);
    QTest::mouseRelease(viewport(), button, {}, at);
  }
  // A double-click as the window system delivers it: press, release, press, double-click, release.
  void DoubleClick(const QPoint& at) {
    Press(at);
    QTest::mousePress(viewport(), Qt::LeftButton, {}, at);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(viewport(), &dbl);
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, at);
  }
  void MoveTo(const QPoint& at) {
    QMouseEvent move(QEvent::MouseMove, at, viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport(), &move);
  }
  void Reactivate() {
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(todo.get(), &activate);
  }
  int CountOpen() {
    int open = 0;
    for (const TToDo& t : calendar().ToDoArray) open += t.IsOpen() ? 1 : 0;
    return open;
  }

  std::unique_ptr<T_TaskForm> editor;
  std::unique_ptr<T_ToDo> todo;
  int repaints = 0;
};

TEST_F(ToDo, ViewTaskShowsEveryFieldAndNewTaskForgetsThem) {
  const int i = AddTask(QStringLiteral("Renew passport"), 1, D(2027, 1, 15));
  task(i).Category = QStringLiteral("Errands");
  task(i).Notes = QStringList{QStringLiteral("Photos first"), QString(), QStringLiteral("Form B-12")};
  editor->ViewTask(i);
  EXPECT_EQ(QStringList({editor->windowTitle(), editor->Title->text(), editor->CategorySelect->currentText(),
                         editor->PrioritySelect->currentText(), editor->NotesMemo->toPlainText()}),
            QStringList({"View/Edit Task", "Renew passport", "Errands", "High", "Photos first\n\nForm B-12"}));
  EXPECT_TRUE(editor->DueDate->isEnabled() && editor->DueDate->date() == QDate(2027, 1, 15));
  // A new task, and a task without a due date and with a priority outside the five (Normal).
  for (int k : {-1, AddTask(QStringLiteral("Someday"), 9)}) {
    k < 0 ? editor->NewTask() : editor->ViewTask(k);
    EXPECT_EQ(editor->EditIndex(), k);
    EXPECT_TRUE(k >= 0 || (editor->Title->text().isEmpty() && editor->NotesMemo->toPlainText().isEmpty()));
    EXPECT_FALSE(editor->CheckBox1->isChecked() || editor->DueDate->isEnabled());
    EXPECT_EQ(std::pair(editor->PrioritySelect->currentIndex(), editor->DueDate->date()),
              std::pair(2, QDate(2026, 12, 2)));
  }
}

TEST_F(ToDo, ReturnSavesANewTaskAndAnEmptyTitleIsRefused) {
  Activate(editor.get());
  Type(editor->Title, QStringLiteral("Call the plumber"));
  editor->PrioritySelect->setCurrentIndex(0);
  editor->CategorySelect->setEditText(QStringLiteral("Home"));
  Click(editor->CheckBox1);
  editor->DueDate->setDate(QDate(2026, 12, 4));
  editor->NotesMemo->setPlainText(QStringLiteral("Kitchen sink\nAfter 3 pm\n"));
  clock->Set(DT(2026, 12, 2, 11, 5));
  calendar().DataChanged = false;
  QTest::keyClick(editor->Title, Qt::Key_Return);
  ASSERT_EQ(calendar().ToDoCount(), 1);
  const TToDo& t = task(0);
  EXPECT_EQ(QStringList({t.Title, t.Category}) + t.Notes,
            QStringList({"Call the plumber", "Home", "Kitchen sink", "After 3 pm"}));
  EXPECT_EQ(std::make_tuple(t.Priority, t.DueDate, t.Completed, t.ModifyDate),
            std::make_tuple(0, D(2026, 12, 4), false, DT(2026, 12, 2, 11, 5)));
  EXPECT_EQ(std::tuple(calendar().OpenToDoCount, bool(calendar().DataChanged), editor->isVisible(), repaints),
            std::tuple(1, true, false, 1));

  editor->ViewTask(0);
  Activate(editor.get());
  editor->Title->clear();
  calendar().DataChanged = false;
  dialogs->AnswerMessage(Dialogs::Answer::Ok);
  QTest::mouseClick(editor->SaveButton, Qt::LeftButton);
  EXPECT_EQ(dialogs->asked().back().caption + ": " + dialogs->LastText(),
            QStringLiteral("Alert: You haven't specified a name!"));
  EXPECT_EQ(task(0).Title, QStringLiteral("Call the plumber"));
  EXPECT_EQ(std::tuple(bool(calendar().DataChanged), editor->isVisible(), repaints), std::tuple(false, true, 1));
  // The due date cleared on a completed task: none is stored, and the task stays completed.
  calendar().ToggleToDoCompleted(0);
  Type(editor->Title, QStringLiteral("Water plants"));
  Click(editor->CheckBox1);
  EXPECT_FALSE(editor->DueDate->isEnabled());
  editor->NotesMemo->clear();
  QTest::mouseClick(editor->SaveButton, Qt::LeftButton);
  EXPECT_TRUE(task(0).DueDate == 0 && task(0).Completed && task(0).Notes.isEmpty());
  EXPECT_EQ(std::pair(calendar().ToDoCount(), calendar().OpenToDoCount), std::pair(1, 0));
}

TEST_F(ToDo, CancelAndClosingHideWithoutChangesAndShowingUnpreparedStartsANewTask) {
  const int i = AddTask(QStringLiteral("Unchanged"), 2);
  for (int way = 0; way < 3; ++way) {
    editor->ViewTask(i);
    Activate(editor.get());
    Type(editor->Title, QStringLiteral("Changed"));
    if (way == 0) QTest::mouseClick(editor->CancelButton, Qt::LeftButton);
    if (way == 1) editor->close();
    if (way == 2) QTest::keyClick(editor.get(), Qt::Key_Escape);
    EXPECT_FALSE(editor->isVisible()) << way;
    EXPECT_EQ(task(i).Title, QStringLiteral("Unchanged")) << way;
  }
  EXPECT_EQ(repaints, 0);
  Activate(editor.get());
  EXPECT_TRUE(editor->EditIndex() == -1 && editor->Title->text().isEmpty() && editor->Title->hasFocus());
}

TEST_F(ToDo, SavingAfterTheCalendarWasReplacedAddsInsteadOfWritingPastTheEnd) {
  editor->ViewTask(AddTask(QStringLiteral("Before restore"), 2));
  Activate(editor.get());
  calendar().ClearCalendar();
  QTest::mouseClick(editor->SaveButton, Qt::LeftButton);
  ASSERT_EQ(calendar().ToDoCount(), 1);
  EXPECT_EQ(std::pair(task(0).Title, calendar().OpenToDoCount), std::pair(QString("Before restore"), 1));
}

TEST_F(ToDo, ListsOpenTasksInDisplayOrderThenCompletedLeavingDeletedOut) {
  AddTask(QStringLiteral("Tidy shed"), 4);
  AddTask(QStringLiteral("Done"), 0, 0, true);
  calendar().DeleteToDo(AddTask(QStringLiteral("Gone"), 0));
  AddTask(QStringLiteral("Pay rent"), 1, D(2026, 12, 5));
  AddTask(QStringLiteral("Dentist"), 3, DT(2027, 1, 14, 15, 0));
  AddTask(QStringLiteral("Odd"), 7);
  Activate(todo.get());
  EXPECT_EQ(ListTexts(), (QStringList{"Pay rent (High Due 12/5/2026)", "Dentist (Low Due 1/14/2027)",
                                      "Tidy shed (Lowest)", "Odd (Normal)", "Done (Highest)"}));
  EXPECT_EQ(std::pair(todo->CheckList->item(0)->checkState(), todo->CheckList->item(4)->checkState()),
            std::pair(Qt::Unchecked, Qt::Checked));
}

TEST_F(ToDo, CheckingMovesToTheEndAndClearingBringsItBack) {
  AddTask(QStringLiteral("First"), 0);
  AddTask(QStringLiteral("Second"), 1);
  AddTask(QStringLiteral("Third"), 2);
  Activate(todo.get());
  Press(EntryMark(0));
  EXPECT_EQ(ListTexts(), (QStringList{"Second (High)", "Third (Normal)", "First (Highest)"}));
  EXPECT_EQ(std::tuple(task(0).Completed, calendar().OpenToDoCount, repaints), std::tuple(true, 2, 1));
  Press(EntryMark(2));
  EXPECT_EQ(ListTexts(), (QStringList{"First (Highest)", "Second (High)", "Third (Normal)"}));
  EXPECT_EQ(std::tuple(task(0).Completed, calendar().OpenToDoCount, repaints), std::tuple(false, 3, 2));
  // The open count follows the records through many marks.
  for (int entry : {0, 0, 2, 1, 1, 0}) {
    QListWidgetItem* item = todo->CheckList->item(entry);
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    EXPECT_EQ(calendar().OpenToDoCount, CountOpen()) << "after entry " << entry;
  }
}

TEST_F(ToDo, DoubleClickOnAMarkChangesOnlyThatTaskAndOnAnEntryOpensItsTask) {
  AddTask(QStringLiteral("Alpha"), 0);
  AddTask(QStringLiteral("Beta"), 1);
  Activate(todo.get());
  DoubleClick(EntryMark(0));
  // The first click completed Alpha and moved Beta under the pointer; the second click of
  // the pair leaves Beta alone and opens nothing.
  EXPECT_TRUE(task(0).Completed && !task(1).Completed && calendar().OpenToDoCount == 1 && !editor->isVisible());
  DoubleClick(EntryCentre(0));
  ASSERT_TRUE(editor->isVisible());
  EXPECT_EQ(std::pair(editor->EditIndex(), editor->Title->text()), std::pair(1, QString("Beta")));
}

// Two presses open a new task only on empty space and without a move between; a third press
// starts a fresh pair.
TEST_F(ToDo, TwoPressesOnEmptySpaceOpenANewTask) {
  AddTask(QStringLiteral("Only task"), 2);
  Activate(todo.get());
  for (const auto& [onEntry, moved, opens] :
       {std::tuple{false, false, true}, {false, true, false}, {true, false, false}, {true, true, false}}) {
    const QPoint at = onEntry ? EntryCentre(0) : EmptySpace();
    Press(at);
    if (moved) MoveTo(at + QPoint(3, 0)), MoveTo(at);
    Press(at);
    EXPECT_EQ(editor->isVisible() && editor->EditIndex() == -1, opens) << onEntry << moved;
    if (opens) {
      editor->hide();
      Press(EmptySpace());
      EXPECT_FALSE(editor->isVisible());
      Press(EntryCentre(0));
    }
    editor->hide();
  }
}

TEST_F(ToDo, DeleteKeyDeletesTheSelectedTaskWithoutAsking) {
  AddTask(QStringLiteral("Keep"), 0);
  const int doomed = AddTask(QStringLiteral("Doomed"), 1);
  Activate(todo.get());
  todo->CheckList->clearSelection();
  QTest::keyClick(todo->CheckList, Qt::Key_Delete);  // nothing selected: nothing deleted
  EXPECT_EQ(std::pair(ListTexts().size(), repaints), std::pair(qsizetype(2), 0));
  Press(EntryCentre(1));
  calendar().DataChanged = false;
  QTest::keyClick(todo->CheckList, Qt::Key_Delete);
  EXPECT_NE(task(doomed).DeleteDate, 0);
  EXPECT_EQ(ListTexts(), QStringList{"Keep (Highest)"});
  EXPECT_EQ(std::tuple(calendar().OpenToDoCount, bool(calendar().DataChanged), repaints, dialogs->asked().size()),
            std::tuple(1, true, 1, size_t(0)));
}

TEST_F(ToDo, ContextMenuActsOnTheEntryUnderTheRightPress) {
  AddTask(QStringLiteral("One"), 0);
  const int two = AddTask(QStringLiteral("Two"), 1);
  AddTask(QStringLiteral("Completed"), 2, 0, true);
  Activate(todo.get());
  Press(EntryCentre(0));
  QTest::mousePress(viewport(), Qt::RightButton, {}, EntryCentre(2));
  todo->ToDoMenuPopup();
  EXPECT_EQ(todo->RememberedEntry(), 2);
  todo->DeleteToDo1->trigger();
  EXPECT_NE(task(2).DeleteDate, 0);
  EXPECT_EQ(calendar().OpenToDoCount, 2);  // a completed task was not counted as open
  EXPECT_EQ(ListTexts(), (QStringList{"One (Highest)", "Two (High)"}));
  // On empty space only New Task; the others, reached anyway, do nothing.
  QTest::mousePress(viewport(), Qt::RightButton, {}, EmptySpace());
  EXPECT_TRUE(todo->CheckList->selectedItems().isEmpty());
  todo->ToDoMenuPopup();
  EXPECT_EQ(todo->RememberedEntry(), -1);
  EXPECT_FALSE(todo->ViewToDo1->isEnabled() || todo->DeleteToDo1->isEnabled());
  todo->DeleteToDo1Click();
  todo->ViewToDo1Click();
  EXPECT_EQ(std::pair(ListTexts().size(), editor->isVisible()), std::pair(qsizetype(2), false));
  // From the keyboard the menu takes the selected entry and opens over it.
  QTest::mousePress(viewport(), Qt::RightButton, {}, EntryCentre(0));
  todo->CheckList->setCurrentRow(1);
  QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(1, 1), viewport()->mapToGlobal(QPoint(1, 1)));
  QApplication::sendEvent(todo->CheckList, &key);
  EXPECT_EQ(todo->ToDoMenu->pos(), viewport()->mapToGlobal(EntryCentre(1)));
  todo->ToDoMenu->hide();
  todo->ViewToDo1->trigger();
  ASSERT_TRUE(editor->isVisible());
  EXPECT_EQ(editor->EditIndex(), two);
}

TEST_F(ToDo, EditsReachTheListAtTheNextActivation) {
  const int i = AddTask(QStringLiteral("Draft report"), 2);
  Activate(todo.get());
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
  EXPECT_EQ(ListTexts(), QStringList{"Draft report (Normal)"});
  Reactivate();
  EXPECT_EQ(ListTexts(), QStringList{"Final report (Normal Due 12/9/2026)"});
  EXPECT_TRUE(todo->NeedsRefresh);  // stays set until the editor is shown again
  // A new task saved from the window joins the list.
  todo->NewToDo1->trigger();
  QTest::keyClicks(editor->Title, QStringLiteral("Book flights"));
  QTest::mouseClick(editor->SaveButton, Qt::LeftButton);
  Reactivate();
  EXPECT_EQ(ListTexts(), (QStringList{"Final report (Normal Due 12/9/2026)", "Book flights (Normal)"}));
  // Without pending edits an activation keeps the list.
  editor->Open();
  QTest::mouseClick(editor->CancelButton, Qt::LeftButton);
  AddTask(QStringLiteral("Added behind the window's back"), 2);
  Reactivate();
  EXPECT_EQ(ListTexts().size(), 2);
}

TEST_F(ToDo, EntriesKeepTheirTasksWhenThePanelReordersOrDeletesMeanwhile) {
  AddTask(QStringLiteral("Listed first"), 1);
  AddTask(QStringLiteral("Listed second"), 2);
  Activate(todo.get());
  // The panel adds a task and sorts again at its next paint, while this list stays as it is.
  AddTask(QStringLiteral("New urgent"), 0);
  calendar().SortToDos();
  ASSERT_EQ(calendar().SortedToDos.front(), 2);
  todo->CheckList->item(0)->setCheckState(Qt::Checked);
  EXPECT_TRUE(task(0).Completed && !task(2).Completed);
  // A mark on a task deleted on the panel changes nothing.
  calendar().DeleteToDo(1);
  todo->CheckList->item(1)->setCheckState(Qt::Checked);
  EXPECT_FALSE(task(1).Completed);
  EXPECT_EQ(calendar().OpenToDoCount, 1);
}

TEST_F(ToDo, MainMenuShowsOnlyCommandsWhoseWindowsExist) {
  int calendarShown = 0;
  context->windows().ShowMonth = [&] { ++calendarShown; };
  Activate(todo.get());
  EXPECT_TRUE(todo->Calendar1->isVisible() && !todo->Options1->isVisible());
  todo->Calendar1->trigger();
  EXPECT_EQ(calendarShown, 1);
  EXPECT_FALSE(todo->isVisible());
}

}  // namespace
