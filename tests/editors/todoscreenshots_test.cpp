// Pictures of the task editor (new, and a task with a due date) and of the to-do window with
// open, overdue and completed tasks. With ORVANE_SCREENSHOTS set (make screenshots) each is
// written there as a PNG; otherwise they are grabbed and checked only.
#include "support/screenshot.h"
#include "todofixture.h"

#include <QCheckBox>

namespace {

class ToDoScreenshot : public ToDoFixture {
 protected:
  ToDoScreenshot() : ToDoFixture(DT(2026, 12, 2, 10, 20)) {}

  void Snap(QWidget* window, const char* name) { Screenshot(window, QLatin1String(name), {301, 251}); }

  // A working week of tasks: some due, one overdue, two done.
  void Week() {
    AddTask(QStringLiteral("Send the quarterly report"), 0, D(2026, 12, 2));
    AddTask(QStringLiteral("Renew car insurance"), 1, D(2026, 11, 30));
    AddTask(QStringLiteral("Book flights for the holidays"), 1, D(2026, 12, 11));
    AddTask(QStringLiteral("Call the plumber about the kitchen sink"), 2);
    AddTask(QStringLiteral("Pick up dry cleaning"), 3, D(2026, 12, 4));
    AddTask(QStringLiteral("Sort the photo archive"), 4);
    AddTask(QStringLiteral("Pay the electricity bill"), 0, D(2026, 11, 28), true);
    AddTask(QStringLiteral("Order birthday present for Sam"), 2, D(2026, 12, 1), true);
  }
};

TEST_F(ToDoScreenshot, Editor) {
  editor->NewTask();
  editor->Open();
  Snap(editor.get(), "taskform-new");
  editor->hide();

  const int i = AddTask(QStringLiteral("Renew passport"), 1, D(2027, 1, 15));
  task(i).Category = QStringLiteral("Errands");
  task(i).Notes = QStringList{QStringLiteral("Two photos, 35 x 45 mm."), QStringLiteral("Old passport and form B-12."),
                              QStringLiteral("Office opens at 8:30.")};
  editor->ViewTask(i);
  editor->Open();
  Snap(editor.get(), "taskform-due-date");
}

TEST_F(ToDoScreenshot, ToDoWindow) {
  Week();
  ShowToDo();
  todo->CheckList->setCurrentRow(2);
  Snap(todo.get(), "todo");
}

}  // namespace
