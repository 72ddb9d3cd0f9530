#pragma once

// Shared by the event editor tests: a context over a memory store with a pinned clock and
// scripted dialogs, the editor on it, and small helpers that type and click as a user does.

#include "core/memorykeystore.h"
#include "editors/noteform.h"
#include "editors/recurrencepage.h"
#include "editors/updownedit.h"
#include "session/appcontext.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

class NoteFormFixture : public ::testing::Test {
 protected:
  explicit NoteFormFixture(TDateTime now = DT(2026, 12, 2, 9, 30)) {
    EnsureApplication();
    auto fixed = std::make_unique<FixedClock>(now);
    clock = fixed.get();
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    context = std::make_unique<AppContext>(std::move(fixed), std::move(scripted), std::make_unique<MemoryKeyStore>());
    form = std::make_unique<T_NoteForm>(*context);
    page = form->RecurrencePage;
  }

  DataFormat& calendar() { return context->calendar(); }
  TNote& note(int index) { return calendar().NoteArray[static_cast<size_t>(index)]; }

  // Shows the editor as a caller does after preparing it, and makes it the active window so
  // that fields can be left with the keyboard.
  void Show() {
    form->show();
    QApplication::setActiveWindow(form.get());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }

 public:
  // Replaces the text of a field by typing, as a user does.
  static void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty()) {
      QTest::keyClick(edit, Qt::Key_Delete);
    } else {
      QTest::keyClicks(edit, text);
    }
  }
  static void Type(UpDownEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  // Types into a field and leaves it with Tab.
  static void TypeAndLeave(QLineEdit* edit, const QString& text) {
    Type(edit, text);
    QTest::keyClick(edit, Qt::Key_Tab);
  }
  // Clicks near the left end, where a check box or radio button has its mark.
  static void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(std::min(8, button->width() / 2), button->height() / 2));
  }

 protected:

  // A timed one-time event stored as the editor would have stored it.
  int StoredEvent(TDateTime day, const QString& title) {
    const int i = calendar().AppendNote();
    TNote& e = note(i);
    e.Title = title;
    e.Category = QStringLiteral("Work");
    e.Location = QStringLiteral("Room 4");
    e.StartDate = day;
    e.EndDate = day;
    e.Start = true;
    e.StartTime = EncodeTime(14, 5);
    e.EndTime = EncodeTime(15, 30);
    e.AlarmTime = EncodeTime(13, 45);
    e.RangeCount = 1;
    e.RepeatFrequency = 1;
    e.SpanRange = 2;
    int y = 0, m = 0, d = 0;
    DecodeDate(day, y, m, d);
    e.RepeatDay = d;
    e.RepeatMonth = m;
    e.RepeatCardinal = (d - 1) / 7 + 1;
    calendar().DataChanged = true;
    return i;
  }

  FixedClock* clock = nullptr;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<AppContext> context;
  std::unique_ptr<T_NoteForm> form;
  T_RecurrencePage* page = nullptr;
};
