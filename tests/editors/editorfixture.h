#pragma once

// Shared by the window tests: a context over a memory store with a pinned clock and scripted
// dialogs, records made as the editors would have made them, and helpers that type and click
// as a user does.

#include "core/memorykeystore.h"
#include "session/appcontext.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <memory>
#include <optional>

class EditorTest : public ::testing::Test {
 protected:
  // Wednesday 2 December 2026, in the morning.
  explicit EditorTest(TDateTime now = DT(2026, 12, 2, 9, 30)) {
    EnsureApplication();
    auto fixed = std::make_unique<FixedClock>(now);
    clock = fixed.get();
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    context = std::make_unique<AppContext>(std::move(fixed), std::move(scripted), std::make_unique<MemoryKeyStore>());
  }

  DataFormat& calendar() { return context->calendar(); }
  TNote& note(int i) { return calendar().NoteArray[static_cast<size_t>(i)]; }
  TToDo& task(int i) { return calendar().ToDoArray[static_cast<size_t>(i)]; }

  // A one-time event on a day: all day, or an hour from the given start.
  int AddEvent(TDateTime day, const QString& title, std::optional<TDateTime> start = std::nullopt) {
    const int i = calendar().AppendNote();
    TNote& e = note(i);
    e.Title = title;
    e.StartDate = e.EndDate = day;
    if (start) {
      e.Start = true;
      e.StartTime = *start;
      e.EndTime = *start + EncodeTime(1, 0);
    }
    calendar().DataChanged = true;
    return i;
  }
  // Every Monday from 7 December 2026 at 8 AM.
  int AddWeekly(const QString& title) {
    const int i = AddEvent(D(2026, 12, 7), title, EncodeTime(8, 0));
    note(i).RepeatType = 3;
    note(i).RepeatFrequency = 1;
    note(i).SetRepeatOn(1, true);
    return i;
  }
  int AddTask(const QString& title, int priority, TDateTime due = 0, bool completed = false) {
    const int i = calendar().AppendToDo();
    task(i).Title = title;
    task(i).Category = QStringLiteral("Default");
    task(i).Priority = priority;
    task(i).DueDate = due;
    if (completed) calendar().ToggleToDoCompleted(i);
    return i;
  }

  // Shows a window and makes it the active one, so that fields can be left with the keyboard.
  static void Activate(QWidget* window) {
    window->show();
    QApplication::setActiveWindow(window);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  }
  // Replaces the text of a field (a line edit or a spin box) by typing, as a user does.
  template <typename Field>
  static void Type(Field* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    if (text.isEmpty()) {
      QTest::keyClick(field, Qt::Key_Delete);
    } else {
      QTest::keyClicks(field, text);
    }
  }
  // Types into a field and leaves it with Tab.
  template <typename Field>
  static void TypeAndLeave(Field* field, const QString& text) {
    Type(field, text);
    QTest::keyClick(field, Qt::Key_Tab);
  }
  // Clicks near the left end, where a check box or radio button has its mark.
  static void Click(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(std::min(6, button->width() / 2), button->height() / 2));
  }

  FixedClock* clock = nullptr;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<AppContext> context;
};
