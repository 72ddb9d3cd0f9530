#pragma once

// Shared by the task editor and to-do window tests: a context over a memory store with a
// pinned clock and scripted dialogs, the two windows on it, and helpers that press, move and
// type as a user does.

#include "core/memorykeystore.h"
#include "editors/taskform.h"
#include "editors/todo.h"
#include "session/appcontext.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

class ToDoFixture : public ::testing::Test {
 protected:
  explicit ToDoFixture(TDateTime now = DT(2026, 12, 2, 9, 30)) {
    EnsureApplication();
    auto fixed = std::make_unique<FixedClock>(now);
    clock = fixed.get();
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    context = std::make_unique<AppContext>(std::move(fixed), std::move(scripted), std::make_unique<MemoryKeyStore>());
    editor = std::make_unique<T_TaskForm>(*context);
    todo = std::make_unique<T_ToDo>(*context, *editor);
    QObject::connect(editor.get(), &T_TaskForm::Saved, [this] { ++repaints; });
    QObject::connect(todo.get(), &T_ToDo::Changed, [this] { ++repaints; });
  }
  ~ToDoFixture() override {
    editor->hide();
    todo->hide();
  }

  DataFormat& calendar() { return context->calendar(); }
  TToDo& task(int index) { return calendar().ToDoArray[static_cast<size_t>(index)]; }

  // A task as the editor would have stored it.
  int AddTask(const QString& title, int priority, TDateTime due = 0, bool completed = false) {
    const int i = calendar().AppendToDo();
    TToDo& t = task(i);
    t.Title = title;
    t.Category = QStringLiteral("Default");
    t.Priority = priority;
    t.DueDate = due;
    if (completed) calendar().ToggleToDoCompleted(i);
    return i;
  }

  // Shows the to-do window and makes it the active window.
  void ShowToDo() {
    todo->show();
    QApplication::setActiveWindow(todo.get());
    todo->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(todo.get()));
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
    return todo->CheckList->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, todo->CheckList).center();
  }
  // A point below the last entry.
  QPoint EmptySpace() const { return QPoint(viewport()->width() / 2, viewport()->height() - 10); }

  // A press and a release, as a single click of the user.
  void Click(const QPoint& at, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(viewport(), button, {}, at);
    QTest::mouseRelease(viewport(), button, {}, at);
  }
  // A double-click as the window system delivers it: press, release, press, double-click,
  // release.
  void DoubleClick(const QPoint& at) {
    Click(at);
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
  // The window becomes active again (after the editor was closed, say).
  void Activate() {
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(todo.get(), &activate);
  }

  int CountOpen() {
    int open = 0;
    for (const TToDo& t : calendar().ToDoArray) open += t.IsOpen() ? 1 : 0;
    return open;
  }

  FixedClock* clock = nullptr;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<AppContext> context;
  std::unique_ptr<T_TaskForm> editor;
  std::unique_ptr<T_ToDo> todo;
  int repaints = 0;
};
