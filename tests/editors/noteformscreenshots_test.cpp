// Pictures of the event editor: each page, each pattern panel and a filled notes grid. With
// ORVANE_SCREENSHOTS set (make screenshots) each is written there as a PNG; otherwise they
// are grabbed and checked only.
#include "noteformfixture.h"
#include "support/screenshot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>

namespace {

class NoteFormScreenshot : public NoteFormFixture {
 protected:
  NoteFormScreenshot() : NoteFormFixture(DT(2026, 12, 2, 10, 20)) {}

  void Snap(const char* name) { Screenshot(form.get(), QStringLiteral("noteform-") + QLatin1String(name), {301, 301}); }

  // A weekly standup with exceptions and notes on some of its days.
  int Standup() {
    const int i = StoredEvent(D(2026, 11, 4), QStringLiteral("Team standup"));
    TNote& e = note(i);
    e.Category = QStringLiteral("Work");
    e.Location = QStringLiteral("Meeting room 3, second floor");
    e.Notes = QStringLiteral("Short status round.\r\nBlockers first, then plans for the day.");
    e.StartTime = EncodeTime(9, 15);
    e.EndTime = EncodeTime(9, 30);
    e.Alarm = true;
    e.AlarmTime = EncodeTime(9, 5);
    e.RepeatType = 3;
    e.RepeatFrequency = 1;
    e.RepeatMonday = e.RepeatWednesday = e.RepeatFriday = true;
    e.Exceptions = {D(2026, 11, 27), D(2026, 12, 25), D(2027, 1, 1), D(2026, 12, 23), D(2026, 12, 30)};
    calendar().AddDayNote(i, QStringLiteral("Demo of the new planner build"), D(2026, 11, 18));
    calendar().AddDayNote(i, QStringLiteral("Sam leads today"), D(2026, 12, 2));
    calendar().AddDayNote(i, QStringLiteral("Room change: meeting room 5"), D(2026, 12, 9));
    calendar().AddDayNote(i, QStringLiteral("Bring the quarterly numbers"), D(2026, 12, 9));
    calendar().AddDayNote(i, QStringLiteral("Last standup of the year, short"), D(2026, 12, 21));
    return i;
  }
};

TEST_F(NoteFormScreenshot, Pages) {
  const int i = Standup();
  form->ViewNote(i);
  Show();
  Snap("details");
  form->PageControl->setCurrentWidget(page);
  Snap("recurrence-weekly-with-exceptions");
  form->PageControl->setCurrentWidget(form->NotesPage);
  form->NoteList->selectRow(1);
  Snap("notes");
}

TEST_F(NoteFormScreenshot, NewEventAndEachPattern) {
  form->NewNote(D(2026, 12, 30));
  Show();
  Snap("new");
  form->PageControl->setCurrentWidget(page);
  Snap("recurrence-once");
  Click(form->SpanOption);
  Snap("recurrence-once-spanning");
  const std::pair<QRadioButton*, const char*> patterns[] = {{page->DailyButton, "daily"},
                                                            {page->WeeklyButton, "weekly"},
                                                            {page->MonthlyButton, "monthly"},
                                                            {page->YearlyButton, "yearly"}};
  for (const auto& [button, name] : patterns) {
    Click(button);
    Snap((std::string("recurrence-") + name).c_str());
  }
}

}  // namespace
