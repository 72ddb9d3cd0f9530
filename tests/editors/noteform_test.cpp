// The event editor driven as a user drives it: the Details page, the field checks, Save and
// Cancel, the per-date notes, and the "Recurrence" page with its patterns, range and exceptions.
#include "editors/noteform.h"
#include "editorfixture.h"
#include "editors/recurrencepage.h"
#include "editors/updownedit.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <functional>

namespace {

const char* const BadHour = "Please enter a valid hour value.";
const char* const BadMinute = "Please enter a valid minute value.";
// A Wednesday, the 30th: the last Wednesday of its month.
const TDateTime Start = D(2026, 12, 30);

class NoteForm : public EditorTest {
 protected:
  NoteForm() : form(std::make_unique<T_NoteForm>(*context)), page(form->RecurrencePage) {}

  // A new event titled "Series" on the 30th, showing its "Recurrence" page.
  void NewSeries() {
    form->NewNote(Start);
    Activate(form.get());
    Type(form->Title, QStringLiteral("Series"));
    form->PageControl->setCurrentWidget(page);
  }
  // A timed one-time event stored as the editor would have stored it.
  int StoredEvent(TDateTime day, const QString& title) {
    const int i = AddEvent(day, title, EncodeTime(14, 5));
    TNote& e = note(i);
    std::tie(e.Category, e.Location, e.EndTime, e.AlarmTime) =
        std::tuple("Work", "Room 4", EncodeTime(15, 30), EncodeTime(13, 45));
    e.RangeCount = e.RepeatFrequency = 1;
    e.SpanRange = 2;
    int y = 0, m = 0, d = 0;
    DecodeDate(day, y, m, d);
    std::tie(e.RepeatDay, e.RepeatMonth, e.RepeatCardinal) = std::tuple(d, m, (d - 1) / 7 + 1);
    return i;
  }
  static QString Time(QLineEdit* hour, QLineEdit* minute, QComboBox* half) {
    return hour->text() + ':' + minute->text() + ' ' + half->currentText();
  }
  QList<TDateTime> ListedExceptions() const {
    QList<TDateTime> dates;
    for (int r = 0; r < page->ExceptionList->count(); ++r)
      dates << page->ExceptionList->item(r)->data(Qt::UserRole).toDouble();
    return dates;
  }

  std::unique_ptr<T_NoteForm> form;
  T_RecurrencePage* page;
};

TEST_F(NoteForm, NewNoteStartsOnTheNextHourAndForgetsWhatTheLastEventLeftButTheCategory) {
  const std::pair<TDateTime, const char*> rows[] = {{EncodeTime(11, 20), "11:00 AM-12:00 PM"},
                                                    {EncodeTime(12, 5), "12:00 PM-1:00 PM"},
                                                    {EncodeTime(0, 30), "12:00 AM-1:00 AM"},
                                                    {EncodeTime(23, 10), "11:00 PM-12:00 AM"}};
  for (const auto& [now, shown] : rows) {
    clock->Set(D(2026, 12, 2) + now);
    form->NewNote(D(2026, 12, 9));
    EXPECT_EQ(Time(form->StartHour, form->StartMin, form->S_SelectAMPM) + '-' +
                  Time(form->EndHour, form->EndMin, form->E_SelectAMPM),
              QString::fromLatin1(shown));
  }
  const int old = StoredEvent(Start, QStringLiteral("Old"));
  TNote& e = note(old);
  e.Alarm = e.Span = true;
  e.Notes = QStringLiteral("notes");
  std::tie(e.RepeatType, e.RangeType, e.RangeCount) = std::tuple(2, 1, 8);
  e.Exceptions = {D(2027, 1, 4)};
  form->ViewNote(old);
  form->PageControl->setCurrentIndex(2);
  context->display().AllDayDflt = true;
  form->NewNote(D(2027, 3, 3));
  EXPECT_EQ(form->EditIndex(), -1);
  EXPECT_EQ(form->Title->text() + form->LocationDisplay->text() + form->NotesMemo->toPlainText() + "|" +
                form->CategorySelect->currentText() + form->StartTimePicker->date().toString(Qt::ISODate),
            QStringLiteral("|Work2027-03-03"));
  EXPECT_FALSE(form->AlarmActive->isChecked() || form->SpanOption->isChecked() || form->StartHour->isEnabled());
  EXPECT_TRUE(form->UseStartEnd->isChecked());  // all day by the settings
  EXPECT_EQ(form->PageControl->currentWidget(), form->DetailsPage);
  EXPECT_TRUE(page->OnceButton->isChecked() && page->RepeatInfiniteButton->isChecked());
  EXPECT_EQ(page->ExceptionList->count() + page->WorkingExceptions().size(), 0);
  context->display().AllDayDflt = false;
  form->NewNote(D(2026, 12, 9));
  EXPECT_TRUE(form->StartHour->isEnabled());
  // Shown without being prepared, it starts a new event today; prepared, it keeps its event.
  T_NoteForm fresh(*context);
  Activate(&fresh);
  EXPECT_EQ(std::pair(fresh.windowTitle(), fresh.StartTimePicker->date()),
            std::pair(QString("New Note"), QDate(2026, 12, 2)));
  EXPECT_TRUE(fresh.Title->hasFocus());
  fresh.hide();
  fresh.ViewNote(old);
  Activate(&fresh);
  EXPECT_EQ(fresh.Title->text(), QStringLiteral("Old"));
}

TEST_F(NoteForm, ViewNoteShowsTheStoredEventSaveKeepsItAndEscapeOrCancelLeaveItAlone) {
  const int i = StoredEvent(D(2026, 12, 10), QStringLiteral("Dentist"));
  note(i).Notes = QStringLiteral("line one\r\nline two");
  note(i).Alarm = true;
  note(i).AlarmTime = EncodeTime(0, 5);
  note(i).EndTime = EncodeTime(12, 0);
  note(i).TimeZone = QStringLiteral("Europe/London");  // its times are London's, and say so
  form->ViewNote(i);
  EXPECT_TRUE(form->ZoneLabel->isVisibleTo(form.get()));
  EXPECT_EQ(form->ZoneLabel->text(), "(Europe/London time)");
  EXPECT_EQ(QStringList({form->windowTitle(), form->Title->text(), form->CategorySelect->currentText(),
                         form->LocationDisplay->text(), form->NotesMemo->toPlainText(),
                         Time(form->StartHour, form->StartMin, form->S_SelectAMPM),
                         Time(form->EndHour, form->EndMin, form->E_SelectAMPM),
                         Time(form->AlarmHour, form->AlarmMin, form->A_SelectAMPM)}),
            QStringList({"View/Edit Event", "Dentist", "Work", "Room 4", "line one\nline two", "2:05 PM", "12:00 PM",
                         "12:05 AM"}));
  EXPECT_EQ(form->StartTimePicker->date(), QDate(2026, 12, 10));
  EXPECT_TRUE(!form->UseStartEnd->isChecked() && form->AlarmHour->isEnabled());
  // The modify date is now with its date: this morning's edit must beat last evening's copy.
  note(i).ModifyDate = DT(2026, 11, 1, 20, 0);
  TNote before = note(i);
  clock->Set(before.ModifyDate = DT(2026, 12, 3, 8, 15));
  form->SaveButtonClick();
  EXPECT_EQ(note(i), before);
  // Escape or Cancel leave the event alone.
  QSignalSpy cancelled(form.get(), &T_NoteForm::Cancelled);
  for (bool escape : {true, false}) {
    form->ViewNote(i);
    Activate(form.get());
    Type(form->Title, QStringLiteral("Not this"));
    escape ? QTest::keyClick(form->Title, Qt::Key_Escape) : Click(form->CancelButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(note(i), before);
  }
  EXPECT_EQ(cancelled.count(), 2);
  form->NewNote(D(2026, 12, 10));
  EXPECT_FALSE(form->ZoneLabel->isVisibleTo(form.get()));
}

// Hours left as 24-hour values set the half of the day; others are reported.
TEST_F(NoteForm, LeftTimeFieldsAreNormalisedOrReported) {
  clock->Set(DT(2026, 12, 2, 14, 40));
  struct Row {
    bool alarmMinute;  // else the end hour
    int presetHalf;    // 0 AM, 1 PM before typing
    const char *typed, *shown, *half, *message;
  };
  const Row rows[] = {{false, 1, "0", "12", "AM", nullptr},  {false, 0, "15", "3", "PM", nullptr},
                      {false, 0, "24", "12", "PM", nullptr}, {false, 1, "7", "7", "PM", nullptr},
                      {false, 0, "25", "2", "PM", BadHour},  {false, 0, "", "2", "PM", BadHour},
                      {true, 0, "59", "59", "AM", nullptr},  {true, 0, "60", "00", "AM", BadMinute}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.typed);
    form->NewNote(D(2026, 12, 2));
    form->UseStartEnd->setChecked(false);
    form->AlarmActive->setChecked(true);
    Activate(form.get());
    QLineEdit* field = r.alarmMinute ? form->AlarmMin : form->EndHour;
    QComboBox* half = r.alarmMinute ? form->A_SelectAMPM : form->E_SelectAMPM;
    half->setCurrentIndex(r.presetHalf);
    const size_t asked = dialogs->asked().size();
    if (r.message) dialogs->AnswerMessage(Dialogs::Answer::Ok);
    TypeAndLeave(field, QString::fromLatin1(r.typed));
    EXPECT_EQ(field->text() + ' ' + half->currentText(), QString::fromLatin1(r.shown) + ' ' + r.half);
    ASSERT_EQ(dialogs->asked().size(), asked + (r.message ? 1 : 0));
    if (r.message) {
      EXPECT_EQ(dialogs->asked().back().caption + ": " + dialogs->LastText(), QString("Invalid Entry: ") + r.message);
    }
    form->hide();
  }
}

TEST_F(NoteForm, SaveWritesEveryDetailField) {
  form->NewNote(D(2026, 12, 2));
  form->UseStartEnd->setChecked(false);
  Activate(form.get());
  QSignalSpy saved(form.get(), &T_NoteForm::Saved);
  Type(form->Title, QStringLiteral("Dentist"));
  Type(form->LocationDisplay, QStringLiteral("Main St 5"));
  form->CategorySelect->setEditText(QStringLiteral("Health"));
  form->StartTimePicker->setDate(QDate(2026, 12, 14));
  TypeAndLeave(form->StartHour, QStringLiteral("15"));
  TypeAndLeave(form->StartMin, QStringLiteral("5"));
  TypeAndLeave(form->EndHour, QStringLiteral("4"));
  form->E_SelectAMPM->setCurrentIndex(1);
  Click(form->AlarmActive);
  TypeAndLeave(form->AlarmHour, QStringLiteral("8"));
  TypeAndLeave(form->AlarmMin, QStringLiteral("45"));
  form->A_SelectAMPM->setCurrentIndex(0);
  form->NotesMemo->setPlainText(QStringLiteral("  bring the card\nand the form \n\n"));
  calendar().DataChanged = false;
  QTest::keyClick(form->Title, Qt::Key_Return);
  ASSERT_EQ(calendar().NoteCount(), 1);
  const TNote& e = note(0);
  EXPECT_EQ(QStringList({e.Title, e.Location, e.Category, e.Notes}),
            QStringList({"Dentist", "Main St 5", "Health", "bring the card\r\nand the form"}));
  EXPECT_EQ(std::vector({e.StartDate, e.StartTime, e.EndTime, e.AlarmTime}),
            std::vector({D(2026, 12, 14), EncodeTime(15, 5), EncodeTime(16, 0), EncodeTime(8, 45)}));
  EXPECT_TRUE(e.Start && e.Alarm && !e.Span && calendar().DataChanged && !form->isVisible());
  EXPECT_EQ(std::make_tuple(e.RepeatType, e.RepeatDay, e.RepeatMonth, e.RepeatCardinal), std::make_tuple(0, 14, 12, 2));
  EXPECT_EQ(saved.count(), 1);

  // All day: the times are disabled, yet Save writes them; text read as leaving the field would.
  form->NewNote(D(2026, 12, 2));
  form->UseStartEnd->setChecked(false);
  form->Title->setText(QStringLiteral("Late"));
  form->StartHour->setText(QStringLiteral("21"));
  form->EndHour->setText(QStringLiteral("0"));
  Click(form->UseStartEnd);
  EXPECT_FALSE(form->StartMin->isEnabled() || form->E_SelectAMPM->isEnabled());
  form->SaveButtonClick();
  ASSERT_EQ(calendar().NoteCount(), 2);
  EXPECT_FALSE(note(1).Start);
  EXPECT_EQ(std::pair(note(1).StartTime, note(1).EndTime), std::pair(EncodeTime(21, 0), EncodeTime(0, 0)));
}

TEST_F(NoteForm, SpanOptionSavesADayCountAndShowsTheExceptions) {
  form->NewNote(D(2026, 12, 2));
  Activate(form.get());
  EXPECT_FALSE(page->ExceptionPanel->isVisibleTo(page));
  Click(form->SpanOption);
  EXPECT_TRUE(form->SpanDays->isEnabled() && page->ExceptionPanel->isVisibleTo(page));
  // Corrected while typing; the corrected "1" is selected, so the next digit replaces it.
  Type(form->SpanDays, QStringLiteral("0"));
  EXPECT_EQ(form->SpanDays->text(), QStringLiteral("1"));
  QTest::keyClicks(form->SpanDays, QStringLiteral("3"));
  Type(form->Title, QStringLiteral("Conference"));
  Click(form->SaveButton);
  ASSERT_EQ(calendar().NoteCount(), 1);
  EXPECT_EQ(std::pair(note(0).Span, note(0).SpanRange), std::pair(true, 3));
  EXPECT_TRUE(calendar().NoteOccursOn(0, D(2026, 12, 4)));
  EXPECT_FALSE(calendar().NoteOccursOn(0, D(2026, 12, 5)));
  form->ViewNote(0);
  Click(form->SpanOption);
  EXPECT_FALSE(form->SpanDays->isEnabled() || page->ExceptionPanel->isVisibleTo(page));
}

// A field that does not parse when Save runs (Enter pressed while it still holds the text):
// its own message, the focus, and neither a new event slot nor a half-written record.
TEST_F(NoteForm, SaveRefusedChangesNothing) {
  using RP = T_RecurrencePage;
  const char* const BadCount = "Please enter a valid number of occurrences.";
  // clang-format off
  const std::tuple<const char*, std::function<void(T_NoteForm&, RP&)>, const char*> rows[] = {
      {"StartHour", [](T_NoteForm& f, RP&) { f.StartHour->setText("99"); }, BadHour},
      {"EndHour", [](T_NoteForm& f, RP&) { f.EndHour->setText("x"); }, BadHour},
      {"EndMin", [](T_NoteForm& f, RP&) { f.EndMin->setText("75"); }, BadMinute},
      {"AlarmMin", [](T_NoteForm& f, RP&) { f.AlarmActive->setChecked(true), f.AlarmMin->setText("m"); }, BadMinute},
      {"MonthlyXMonths", [](T_NoteForm&, RP& p) { p.MonthlyButton->setChecked(true), p.MonthlyXMonths->setText("x"); },
       "Please enter a valid number of months."},
      {"RepeatCount", [](T_NoteForm&, RP& p) { p.WeeklyButton->setChecked(true), p.RepeatCountButton->setChecked(true), p.RepeatCount->setText("ab"); }, BadCount},
      {"RepeatCount", [](T_NoteForm&, RP& p) { p.DailyButton->setChecked(true), p.RepeatCountButton->setChecked(true), p.RepeatCount->setText("0"); }, BadCount},
      {"Title", [](T_NoteForm& f, RP&) { f.Title->clear(); }, "You haven't specified an event name!"}};
  // clang-format on
  for (const auto& [name, set, message] : rows) {
    for (bool existing : {false, true}) {
      SCOPED_TRACE(std::string(name) + (existing ? " existing event" : " new event"));
      const int stored = StoredEvent(D(2026, 12, 10), QStringLiteral("Stored"));
      const TNote before = note(stored);
      const int count = calendar().NoteCount();
      existing ? form->ViewNote(stored) : form->NewNote(D(2026, 12, 9));
      Activate(form.get());
      form->Title->setText(QStringLiteral("Changed"));
      set(*form, *page);
      dialogs->AnswerMessage(Dialogs::Answer::Ok);
      form->SaveButtonClick();
      EXPECT_EQ(dialogs->asked().back().caption + ": " + dialogs->LastText(),
                QString(name == std::string("Title") ? "Alert: " : "Invalid Entry: ") + message);
      EXPECT_EQ(calendar().NoteCount(), count);
      EXPECT_EQ(note(stored), before);
      QWidget* field = form->findChild<QWidget*>(QString::fromLatin1(name));
      ASSERT_NE(field, nullptr);
      EXPECT_TRUE(form->isVisible() && (field->hasFocus() || field->isAncestorOf(QApplication::focusWidget())));
      form->hide();
    }
  }
}

// Per-date notes are added, edited and removed at once, whatever Save or Cancel do after.
TEST_F(NoteForm, DayNotesAreAddedEditedAndRemovedAtOnce) {
  const int i = StoredEvent(D(2026, 12, 10), QStringLiteral("Standup"));
  form->ViewNote(i);
  Activate(form.get());
  form->PageControl->setCurrentWidget(form->NotesPage);
  form->NoteList->selectRow(0);  // the row of a stored event without notes holds no date
  Click(form->Button2);
  Click(form->Button3);
  EXPECT_TRUE(dialogs->asked().empty());
  QSignalSpy changed(form.get(), &T_NoteForm::DayNotesChanged);
  const std::pair<QDate, QString> added[] = {{QDate(2026, 12, 17), QStringLiteral("Bring cake")},
                                             {QDate(2026, 12, 11), QStringLiteral("Room change")},
                                             {QDate(2026, 12, 17), QStringLiteral("and candles")},
                                             {QDate(2026, 12, 17), QString()}};  // saved empty: nothing added
  for (const auto& [date, text] : added) {
    form->DateTimePicker1->setDate(date);
    dialogs->AnswerMemo(text);
    Click(form->Button1);
  }
  ASSERT_EQ(note(i).RecurNotes.size(), 2);
  EXPECT_EQ(note(i).RecurNotes[0], (TRecurNote{QStringLiteral("Room change"), D(2026, 12, 11)}));
  EXPECT_EQ(note(i).RecurNotes[1], (TRecurNote{QStringLiteral("Bring cake\r\nand candles"), D(2026, 12, 17)}));
  ASSERT_EQ(form->NoteList->rowCount(), 2);
  EXPECT_EQ(form->NoteList->item(0, 0)->text() + ' ' + form->NoteList->item(1, 1)->text(),
            QStringLiteral("12/11/2026 Bring cake\\and candles"));
  // Edit, then Cancel in the note dialog: the note stays as it was.
  form->NoteList->selectRow(1);
  dialogs->AnswerMemo(std::nullopt);
  Click(form->Button3);
  EXPECT_EQ(note(i).RecurNotes[1].Data, QStringLiteral("Bring cake\r\nand candles"));
  form->NoteList->selectRow(0);
  dialogs->AnswerMemo(QStringLiteral("Room 12"));
  Click(form->Button3);
  EXPECT_EQ(note(i).RecurNotes[0], (TRecurNote{QStringLiteral("Room 12"), D(2026, 12, 11)}));
  // The row's date is kept with the row: a changed cell text cannot pick another date.
  form->NoteList->item(1, 0)->setText(QStringLiteral("12/11/2026"));
  form->NoteList->selectRow(1);
  Click(form->Button2);
  ASSERT_EQ(note(i).RecurNotes.size(), 1);
  EXPECT_EQ(note(i).RecurNotes[0].Date, D(2026, 12, 11));
  EXPECT_GE(changed.count(), 4);
  // Neither Cancel nor a Save of another edit undoes them.
  Click(form->CancelButton);
  form->ViewNote(i);
  EXPECT_EQ(form->NoteList->rowCount(), 1);
  form->SaveButtonClick();
  EXPECT_EQ(note(i).RecurNotes.size(), 1);
  // A new event has no record yet: Add does nothing.
  const size_t asked = dialogs->asked().size();
  form->NewNote(D(2026, 12, 2));
  form->Button1Click();
  EXPECT_EQ(dialogs->asked().size(), asked);
}

// Each pattern: chosen on the page, saved, found by the day queries, shown again and saved
// again unchanged.
TEST_F(NoteForm, EachPatternSavesFindsAndShowsAgain) {
  using RP = T_RecurrencePage;
  struct Row {
    std::function<void(RP&)> choose;
    int type, frequency, day, month, cardinal;  // -1: whatever
    TDateTime occurs, skips;
  };
  // clang-format off
  const Row rows[] = {
      {[](RP&) {}, 0, 1, 30, 12, 5, Start, Start + 1},
      {[](RP& p) { Click(p.DailyButton), Type(p.DailyXDays, "3"); }, 1, 3, -1, -1, -1, D(2027, 1, 2), D(2027, 1, 1)},
      {[](RP& p) { Click(p.DailyButton), Click(p.DailyWeekdayButton); }, 2, 1, -1, -1, -1, D(2027, 1, 4), D(2027, 1, 2)},
      {[](RP& p) { Click(p.WeeklyButton), Type(p.WeeklyXWeeks, "2"), Click(p.WeeklyMonday); }, 3, 2, -1, -1, -1, D(2027, 1, 13), D(2027, 1, 6)},
      {[](RP& p) { Click(p.MonthlyButton), Type(p.MonthlyXMonths, "2"); }, 4, 2, 30, -1, -1, D(2027, 4, 30), D(2027, 1, 30)},
      {[](RP& p) { Click(p.MonthlyButton), Click(p.MonthlyNthDOWButton), Type(p.MonthlyDOWXMonths, "3"); }, 5, 3, 3, -1, 4, D(2027, 3, 31), D(2027, 1, 27)},
      {[](RP& p) { Click(p.YearlyButton), p.YearlyMonthDD->setCurrentIndex(6), Type(p.YearlyMMDay, "4"); }, 6, -1, 4, 6, -1, D(2027, 7, 4), D(2027, 12, 30)},
      {[](RP& p) { Click(p.YearlyButton), Click(p.YearlyNthDOWButton), p.YearlyNthDowMonth->setCurrentIndex(2); }, 7, -1, 3, 2, 4, D(2027, 3, 31), D(2027, 3, 24)}};
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE(r.type);
    calendar().ClearCalendar();
    NewSeries();
    r.choose(*page);
    Click(form->SaveButton);
    ASSERT_EQ(calendar().NoteCount(), 1);
    const TNote saved = note(0);
    EXPECT_DOUBLE_EQ(saved.StartDate, Start);
    const int got[] = {saved.RepeatType, saved.RepeatFrequency, saved.RepeatDay, saved.RepeatMonth,
                       saved.RepeatCardinal};
    const int want[] = {r.type, r.frequency, r.day, r.month, r.cardinal};
    for (int k = 0; k < 5; ++k) EXPECT_TRUE(want[k] < 0 || got[k] == want[k]) << "field " << k << ": " << got[k];
    EXPECT_TRUE(r.type != 3 || (saved.RepeatMonday && saved.RepeatWednesday && !saved.RepeatFriday));
    EXPECT_TRUE(calendar().NoteOccursOn(0, r.occurs));
    EXPECT_FALSE(calendar().NoteOccursOn(0, r.skips));
    form->ViewNote(0);
    form->SaveButtonClick();
    TNote again = note(0);
    again.ModifyDate = saved.ModifyDate;
    // A new event has no start date before its first save; the end date, which only a series
    // ending on a date reads, takes the start date from the second save on.
    EXPECT_DOUBLE_EQ(again.EndDate, Start);
    again.EndDate = saved.EndDate;
    EXPECT_EQ(again, saved);
    form->hide();
  }
}

// Each pattern starts from the start date and shows its own panel with the range and the
// exceptions; a one-time event shows its exceptions only when it spans days.
TEST_F(NoteForm, EachPatternStartsFromTheStartDateInItsOwnPanel) {
  NewSeries();
  const auto seen = [this] {
    QStringList names;
    for (QWidget* p : {page->OncePanel, page->DailyPanel, page->WeeklyPanel, page->MonthlyPanel, page->YearlyPanel,
                       page->RecurRangePanel, page->ExceptionPanel})
      if (p->isVisibleTo(page)) names << p->objectName();
    return names.join(' ');
  };
  Click(form->SpanOption);
  EXPECT_EQ(seen(), QStringLiteral("OncePanel ExceptionPanel"));
  Click(page->YearlyButton);
  EXPECT_EQ(seen(), QStringLiteral("YearlyPanel RecurRangePanel ExceptionPanel"));
  const auto weekdays = [this] {
    QStringList on;
    for (int w = 0; w < 7; ++w)
      if (page->WeekdayBox(w)->isChecked()) on << page->WeekdayBox(w)->objectName();
    return on;
  };
  Click(page->WeeklyButton);
  EXPECT_EQ(weekdays(), QStringList{QStringLiteral("WeeklyWednesday")});
  Click(page->WeeklyFriday);
  Click(page->MonthlyButton);
  Click(page->WeeklyButton);
  EXPECT_EQ(weekdays(), QStringList{QStringLiteral("WeeklyWednesday")});
  // A later start date counts from the moment a pattern is chosen.
  form->StartTimePicker->setDate(QDate(2027, 1, 5));
  Click(page->MonthlyButton);
  EXPECT_EQ(
      page->MonthlyDayX->text() + ' ' + page->MonthlyNthDay->currentText() + ' ' + page->MonthlyDOW->currentText(),
      QStringLiteral("5 First Tuesday"));
  Click(page->OnceButton);
  EXPECT_EQ(seen(), QStringLiteral("OncePanel"));
}

TEST_F(NoteForm, RecurrenceFieldsAreCorrectedWhileTypingAndArrowsKeepToTheirBounds) {
  NewSeries();
  Click(page->MonthlyButton);  // any pattern; the edits are checked whichever is seen
  using RP = T_RecurrencePage;
  // clang-format off
  const std::tuple<UpDownEdit* RP::*, const char*, const char*> rows[] = {
      {&RP::DailyXDays, "0", "1"}, {&RP::DailyXDays, "500", "500"}, {&RP::WeeklyXWeeks, "0", "1"},
      {&RP::MonthlyDOWXMonths, "q", "1"}, {&RP::MonthlyDayX, "45", "31"}, {&RP::YearlyMMDay, "z", "1"},
      {&RP::MonthlyXMonths, "x", "x"}, {&RP::RepeatCount, "0", "0"}};  // the last two: checked by Save
  // clang-format on
  for (const auto& [edit, typed, shown] : rows) {
    (page->*edit)->setEnabled(true);
    Type(page->*edit, QString::fromLatin1(typed));
    EXPECT_EQ((page->*edit)->text(), QString::fromLatin1(shown)) << (page->*edit)->objectName().toStdString();
  }
  page->MonthlyXMonths->setText(QStringLiteral("24"));
  page->MonthlyXMonths->stepBy(1);
  EXPECT_EQ(page->MonthlyXMonths->text(), QStringLiteral("24"));
  page->MonthlyXMonths->stepBy(-30);
  EXPECT_EQ(page->MonthlyXMonths->text(), QStringLiteral("1"));
}

TEST_F(NoteForm, SeriesEndsAfterACountOrOnADate) {
  NewSeries();
  Click(form->SpanOption);
  Click(page->WeeklyButton);
  // A series cannot span days; it ends never, after a count or on a date.
  EXPECT_FALSE(form->SpanOption->isChecked() || form->SpanOption->isEnabled() || form->SpanDays->isEnabled());
  EXPECT_FALSE(page->RepeatCount->isEnabled() || page->EndDatePicker->isEnabled());
  Click(page->RepeatCountButton);
  Type(page->RepeatCount, QStringLiteral("3"));
  Click(form->SaveButton);
  ASSERT_EQ(calendar().NoteCount(), 1);
  EXPECT_EQ(std::tuple(note(0).RangeType, note(0).RangeCount), std::tuple(1, 3));
  EXPECT_TRUE(calendar().NoteOccursOn(0, D(2027, 1, 13)));
  EXPECT_FALSE(calendar().NoteOccursOn(0, D(2027, 1, 20)));
  form->ViewNote(0);
  EXPECT_EQ(page->RepeatCountButton->isChecked() ? page->RepeatCount->text() : QString(), QStringLiteral("3"));
  Click(page->RepeatUntilButton);
  EXPECT_FALSE(page->RepeatCount->isEnabled());
  page->EndDatePicker->setDate(QDate(2027, 2, 10));
  form->SaveButtonClick();
  EXPECT_EQ(std::tuple(note(0).RangeType, note(0).EndDate), std::tuple(2, D(2027, 2, 10)));
  EXPECT_TRUE(calendar().NoteOccursOn(0, D(2027, 2, 10)));
  EXPECT_FALSE(calendar().NoteOccursOn(0, D(2027, 2, 17)));
  form->ViewNote(0);
  EXPECT_TRUE(page->RepeatUntilButton->isChecked() && page->EndDatePicker->date() == QDate(2027, 2, 10));
}

// Exceptions: each date once, removed by the entry's own date, saved with the series.
TEST_F(NoteForm, ExceptionsAreListedOnceInDateOrderAndRemovedByTheirOwnDate) {
  NewSeries();
  Click(page->DailyButton);
  for (QDate d : {QDate(2027, 1, 10), QDate(2027, 1, 2), QDate(2027, 1, 10), QDate(2027, 1, 20)})
    emit page->ExceptionPicker->calendarWidget()->clicked(d);
  EXPECT_EQ(ListedExceptions(), (QList<TDateTime>{D(2027, 1, 2), D(2027, 1, 10), D(2027, 1, 20)}));
  EXPECT_EQ(page->ExceptionList->item(0)->text(), QStringLiteral("1/2/2027"));
  EXPECT_FALSE(page->RemoveExceptionButton->isEnabled());
  // The entry's own date counts, never its text read back.
  page->ExceptionList->item(2)->setText(QStringLiteral("1/2/2027"));
  page->ExceptionList->setCurrentRow(2);
  Click(page->RemoveExceptionButton);
  EXPECT_FALSE(page->RemoveExceptionButton->isEnabled());
  page->ExceptionList->clearSelection();
  page->RemoveExceptionButtonClick();  // nothing selected: nothing removed
  EXPECT_EQ(page->WorkingExceptions(), (QList<TDateTime>{D(2027, 1, 10), D(2027, 1, 2)}));
  Click(form->SaveButton);
  ASSERT_EQ(calendar().NoteCount(), 1);
  EXPECT_EQ(note(0).Exceptions, (QList<TDateTime>{D(2027, 1, 10), D(2027, 1, 2)}));
  for (int d : {9, 10, 20}) EXPECT_EQ(calendar().NoteOccursOn(0, D(2027, 1, d)), d != 10) << d;
  form->ViewNote(0);
  EXPECT_EQ(ListedExceptions(), (QList<TDateTime>{D(2027, 1, 2), D(2027, 1, 10)}));
  // The last exception removed: the series saves none.
  for (int k = 0; k < 2; ++k) {
    page->ExceptionList->setCurrentRow(0);
    page->RemoveExceptionButtonClick();
  }
  form->SaveButtonClick();
  EXPECT_TRUE(note(0).Exceptions.isEmpty());
}

TEST_F(NoteForm, StoredValuesOutsideTheListsAreNotWrittenBackAsMinusOne) {
  const int i = StoredEvent(Start, QStringLiteral("Odd"));
  TNote& e = note(i);
  std::tie(e.RepeatType, e.RepeatCardinal, e.RepeatDay, e.RepeatMonth) = std::tuple(7, 9, 3, 40);
  form->ViewNote(i);
  form->SaveButtonClick();
  // The cardinal and month become the start date's: last, December.
  EXPECT_EQ(std::tie(e.RepeatType, e.RepeatCardinal, e.RepeatDay, e.RepeatMonth), std::tuple(7, 4, 3, 11));
}

}  // namespace
