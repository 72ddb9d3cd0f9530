// The task editor: preparing it for a new or an existing task, the due-date rule, and what
// Save, Cancel and closing the window do to the calendar.
#include "todofixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

class TaskFormTest : public ToDoFixture {
 protected:
  static void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  void ShowEditor() {
    editor->Open();
    QApplication::setActiveWindow(editor.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
  }
};

TEST_F(TaskFormTest, NewTaskStartsFromTheResetState) {
  const int i = AddTask(QStringLiteral("Old"), 0, D(2026, 12, 20));
  editor->ViewTask(i);
  editor->NewTask();
  EXPECT_EQ(editor->windowTitle(), QStringLiteral("New Task"));
  EXPECT_EQ(editor->EditIndex(), -1);
  EXPECT_TRUE(editor->Prepared());
  EXPECT_TRUE(editor->Title->text().isEmpty());
  EXPECT_TRUE(editor->NotesMemo->toPlainText().isEmpty());
  EXPECT_EQ(editor->CategorySelect->currentText(), QStringLiteral("Default"));
  EXPECT_EQ(editor->PrioritySelect->currentIndex(), 2);
  EXPECT_FALSE(editor->CheckBox1->isChecked());
  EXPECT_FALSE(editor->DueDate->isEnabled());
  EXPECT_EQ(editor->DueDate->date(), QDate(2026, 12, 2));
}

TEST_F(TaskFormTest, ViewTaskShowsEveryField) {
  const int i = AddTask(QStringLiteral("Renew passport"), 1, D(2027, 1, 15));
  task(i).Category = QStringLiteral("Errands");
  task(i).Notes = QStringList{QStringLiteral("Photos first"), QString(), QStringLiteral("Form B-12")};
  editor->ViewTask(i);
  EXPECT_EQ(editor->windowTitle(), QStringLiteral("View/Edit Task"));
  EXPECT_EQ(editor->EditIndex(), i);
  EXPECT_EQ(editor->Title->text(), QStringLiteral("Renew passport"));
  EXPECT_EQ(editor->CategorySelect->currentText(), QStringLiteral("Errands"));
  EXPECT_EQ(editor->PrioritySelect->currentText(), QStringLiteral("High"));
  EXPECT_EQ(editor->NotesMemo->toPlainText(), QStringLiteral("Photos first\n\nForm B-12"));
  EXPECT_TRUE(editor->CheckBox1->isChecked());
  EXPECT_TRUE(editor->DueDate->isEnabled());
  EXPECT_EQ(editor->DueDate->date(), QDate(2027, 1, 15));
}

TEST_F(TaskFormTest, ViewTaskWithoutDueDateOrWithAnOddPriority) {
  editor->ViewTask(AddTask(QStringLiteral("Someday"), 9));
  EXPECT_FALSE(editor->CheckBox1->isChecked());
  EXPECT_FALSE(editor->DueDate->isEnabled());
  EXPECT_EQ(editor->DueDate->date(), QDate(2026, 12, 2));
  EXPECT_EQ(editor->PrioritySelect->currentIndex(), 2);  // a priority outside the five shows as Normal
}

TEST_F(TaskFormTest, DueDateCheckEnablesThePicker) {
  editor->NewTask();
  ShowEditor();
  QTest::mouseClick(editor->CheckBox1, Qt::LeftButton, {}, QPoint(6, editor->CheckBox1->height() / 2));
  EXPECT_TRUE(editor->DueDate->isEnabled());
  QTest::mouseClick(editor->CheckBox1, Qt::LeftButton, {}, QPoint(6, editor->CheckBox1->height() / 2));
  EXPECT_FALSE(editor->DueDate->isEnabled());
}

TEST_F(TaskFormTest, SaveAppendsANewTask) {
  editor->NewTask();
  ShowEditor();
  Type(editor->Title, QStringLiteral("Call the plumber"));
  editor->PrioritySelect->setCurrentIndex(0);
  editor->CategorySelect->setEditText(QStringLiteral("Home"));
  editor->CheckBox1->setChecked(true);
  editor->CheckBox1Click();
  editor->DueDate->setDate(QDate(2026, 12, 4));
  editor->NotesMemo->setPlainText(QStringLiteral("Kitchen sink\nAfter 3 pm\n"));
  const TDateTime saveMoment = DT(2026, 12, 2, 11, 5);
  clock->Set(saveMoment);
  calendar().DataChanged = false;
  QTest::mouseClick(editor->SaveButton, Qt::LeftButton);

  ASSERT_EQ(calendar().ToDoCount(), 1);
  const TToDo& t = task(0);
  EXPECT_EQ(t.Title, QStringLiteral("Call the plumber"));
  EXPECT_EQ(t.Category, QStringLiteral("Home"));
  EXPECT_EQ(t.Priority, 0);
  EXPECT_EQ(t.DueDate, D(2026, 12, 4));
  EXPECT_EQ(t.Notes, (QStringList{QStringLiteral("Kitchen sink"), QStringLiteral("After 3 pm")}));
  EXPECT_FALSE(t.Completed);
  EXPECT_EQ(t.ModifyDate, saveMoment);
  EXPECT_EQ(calendar().OpenToDoCount, 1);
  EXPECT_TRUE(static_cast<bool>(calendar().DataChanged));
  EXPECT_FALSE(editor->isVisible());
  EXPECT_EQ(repaints, 1);
}

TEST_F(TaskFormTest, SaveWithDueDateClearStoresZeroWhateverThePickerShows) {
  const int i = AddTask(QStringLiteral("Water plants"), 2, D(2026, 12, 10));
  editor->ViewTask(i);
  ShowEditor();
  editor->DueDate->setDate(QDate(2026, 12, 24));
  QTest::mouseClick(editor->CheckBox1, Qt::LeftButton, {}, QPoint(6, editor->CheckBox1->height() / 2));
  ASSERT_FALSE(editor->CheckBox1->isChecked());
  QTest::mouseClick(editor->SaveButton, Qt::LeftButton);
  EXPECT_EQ(task(i).DueDate, 0);
  EXPECT_EQ(calendar().ToDoCount(), 1);
}

TEST_F(TaskFormTest, SaveKeepsCompletionAndEmptyMemoMeansNoLines) {
  const int i = AddTask(QStringLiteral("Done already"), 3, 0, true);
  task(i).Notes = QStringList{QStringLiteral("old line")};
  editor->ViewTask(i);
  ShowEditor();
  editor->NotesMemo->clear();
  QTest::mouseClick(editor->SaveButton, Qt::LeftButton);
  EXPECT_TRUE(task(i).Completed);
  EXPECT_TRUE(task(i).Notes.isEmpty());
  EXPECT_EQ(calendar().OpenToDoCount, 0);
}

TEST_F(TaskFormTest, SaveWithEmptyTitleAsksAndChangesNothing) {
  const int i = AddTask(QStringLiteral("Keep me"), 2);
  editor->ViewTask(i);
  ShowEditor();
  Type(editor->Title, QString());
  editor->Title->clear();
  calendar().DataChanged = false;
  dialogs->AnswerMessage(Dialogs::Answer::Ok);
  QTest::mouseClick(editor->SaveButton, Qt::LeftButton);
  ASSERT_EQ(dialogs->asked().size(), 1u);
  EXPECT_EQ(dialogs->asked()[0].text, QStringLiteral("You haven't specified a name!"));
  EXPECT_EQ(dialogs->asked()[0].caption, QStringLiteral("Alert"));
  EXPECT_EQ(dialogs->asked()[0].buttons, Dialogs::Buttons::Ok);
  EXPECT_EQ(task(i).Title, QStringLiteral("Keep me"));
  EXPECT_FALSE(static_cast<bool>(calendar().DataChanged));
  EXPECT_TRUE(editor->isVisible());
  EXPECT_EQ(repaints, 0);
}

TEST_F(TaskFormTest, CancelAndClosingHideWithoutChanges) {
  const int i = AddTask(QStringLiteral("Unchanged"), 2);
  for (int way = 0; way < 3; ++way) {
    editor->ViewTask(i);
    ShowEditor();
    Type(editor->Title, QStringLiteral("Changed"));
    if (way == 0) QTest::mouseClick(editor->CancelButton, Qt::LeftButton);
    if (way == 1) editor->close();
    if (way == 2) QTest::keyClick(editor.get(), Qt::Key_Escape);
    EXPECT_FALSE(editor->isVisible()) << way;
    EXPECT_EQ(task(i).Title, QStringLiteral("Unchanged")) << way;
  }
  EXPECT_EQ(repaints, 0);
}

TEST_F(TaskFormTest, ShowingUnpreparedStartsANewTask) {
  const int i = AddTask(QStringLiteral("Earlier"), 2);
  editor->ViewTask(i);
  ShowEditor();
  QTest::mouseClick(editor->CancelButton, Qt::LeftButton);
  ASSERT_FALSE(editor->Prepared());
  ShowEditor();
  EXPECT_EQ(editor->EditIndex(), -1);
  EXPECT_EQ(editor->windowTitle(), QStringLiteral("New Task"));
  EXPECT_TRUE(editor->Title->text().isEmpty());
  EXPECT_EQ(QApplication::focusWidget(), editor->Title);
}

TEST_F(TaskFormTest, ReturnSavesThroughTheDefaultButton) {
  editor->NewTask();
  ShowEditor();
  Type(editor->Title, QStringLiteral("Quick one"));
  QTest::keyClick(editor->Title, Qt::Key_Return);
  ASSERT_EQ(calendar().ToDoCount(), 1);
  EXPECT_EQ(task(0).Title, QStringLiteral("Quick one"));
}

TEST_F(TaskFormTest, SavingAfterTheCalendarWasReplacedAddsInsteadOfWritingPastTheEnd) {
  const int i = AddTask(QStringLiteral("Before restore"), 2);
  editor->ViewTask(i);
  ShowEditor();
  calendar().ClearCalendar();
  QTest::mouseClick(editor->SaveButton, Qt::LeftButton);
  ASSERT_EQ(calendar().ToDoCount(), 1);
  EXPECT_EQ(task(0).Title, QStringLiteral("Before restore"));
  EXPECT_EQ(calendar().OpenToDoCount, 1);
}

}  // namespace
