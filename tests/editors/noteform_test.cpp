// The event editor driven as a user drives it: the Details page, Save and Cancel, the field
// checks and the per-date notes.
#include "noteformfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>

namespace {

const QString InvalidEntry = QStringLiteral("Invalid Entry");
const QString BadHour = QStringLiteral("Please enter a valid hour value.");
const QString BadMinute = QStringLiteral("Please enter a valid minute value.");

// --- Reset: the times a new event starts with.

struct ResetRow {
  const char* name;
  int hour, minute;
  const char* startHour;
  const char* startHalf;
  const char* endHour;
  const char* endHalf;
};
void PrintTo(const ResetRow& r, std::ostream* os) { *os << r.name; }

class NoteFormReset : public NoteFormFixture, public ::testing::WithParamInterface<ResetRow> {};

TEST_P(NoteFormReset, StartsOnTheHourAndEndsAnHourLater) {
  const ResetRow& r = GetParam();
  clock->Set(DT(2026, 12, 2, r.hour, r.minute));
  form->NewNote(D(2026, 12, 9));
  EXPECT_EQ(form->StartHour->text(), QString::fromLatin1(r.startHour));
  EXPECT_EQ(form->S_SelectAMPM->currentText(), QString::fromLatin1(r.startHalf));
  EXPECT_EQ(form->StartMin->text(), QStringLiteral("00"));
  EXPECT_EQ(form->EndHour->text(), QString::fromLatin1(r.endHour));
  EXPECT_EQ(form->E_SelectAMPM->currentText(), QString::fromLatin1(r.endHalf));
  EXPECT_EQ(form->EndMin->text(), QStringLiteral("00"));
}

INSTANTIATE_TEST_SUITE_P(
    Times, NoteFormReset,
    ::testing::Values(ResetRow{"LateMorningEndsAtNoon", 11, 20, "11", "AM", "12", "PM"},
                      ResetRow{"JustAfterNoon", 12, 5, "12", "PM", "1", "PM"},
                      ResetRow{"JustAfterMidnight", 0, 30, "12", "AM", "1", "AM"},
                      ResetRow{"LateEveningEndsAtMidnight", 23, 10, "11", "PM", "12", "AM"},
                      ResetRow{"Morning", 9, 0, "9", "AM", "10", "AM"},
                      ResetRow{"Afternoon", 15, 59, "3", "PM", "4", "PM"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NoteFormFixture, NewNoteClearsWhatTheLastEventLeft) {
  const int old = StoredEvent(D(2026, 11, 20), QStringLiteral("Old"));
  note(old).Alarm = true;
  note(old).Span = true;
  note(old).SpanRange = 4;
  note(old).Notes = QStringLiteral("notes");
  form->ViewNote(old);
  form->PageControl->setCurrentIndex(2);

  form->NewNote(D(2026, 12, 9));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("New Note"));
  EXPECT_EQ(form->EditIndex(), -1);
  EXPECT_TRUE(form->Title->text().isEmpty());
  EXPECT_TRUE(form->LocationDisplay->text().isEmpty());
  EXPECT_TRUE(form->NotesMemo->toPlainText().isEmpty());
  // The category stays: a new event starts in the category last shown.
  EXPECT_EQ(form->CategorySelect->currentText(), QStringLiteral("Work"));
  EXPECT_EQ(form->StartTimePicker->date(), QDate(2026, 12, 9));
  EXPECT_EQ(form->DateTimePicker1->date(), QDate(2026, 12, 2));
  EXPECT_FALSE(form->AlarmActive->isChecked());
  EXPECT_FALSE(form->AlarmHour->isEnabled());
  EXPECT_FALSE(form->SpanOption->isChecked());
  EXPECT_FALSE(form->SpanDays->isEnabled());
  EXPECT_EQ(form->PageControl->currentWidget(), form->DetailsPage);
  EXPECT_FALSE(form->Button1->isEnabled());
  EXPECT_FALSE(form->Button2->isEnabled());
  EXPECT_EQ(form->NoteList->rowCount(), 1);
}

TEST_F(NoteFormFixture, AllDayDefaultComesFromTheSettings) {
  context->display().AllDayDflt = true;
  form->NewNote(D(2026, 12, 9));
  EXPECT_TRUE(form->UseStartEnd->isChecked());
  EXPECT_FALSE(form->StartHour->isEnabled());
  context->display().AllDayDflt = false;
  form->NewNote(D(2026, 12, 9));
  EXPECT_FALSE(form->UseStartEnd->isChecked());
  EXPECT_TRUE(form->StartHour->isEnabled());
}

TEST_F(NoteFormFixture, ShownWithoutPreparingStartsANewEventNowAndPreparedKeepsItsEvent) {
  EXPECT_FALSE(form->Prepared());
  Show();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("New Note"));
  EXPECT_EQ(form->StartTimePicker->date(), QDate(2026, 12, 2));
  EXPECT_TRUE(form->Title->hasFocus());
  EXPECT_TRUE(form->SaveButton->isDefault());
  form->hide();
  form->ViewNote(StoredEvent(D(2026, 12, 10), QStringLiteral("Dentist")));
  EXPECT_TRUE(form->Prepared());
  Show();
  EXPECT_FALSE(form->Prepared());
  EXPECT_EQ(form->windowTitle(), QStringLiteral("View/Edit Event"));
  EXPECT_EQ(form->Title->text(), QStringLiteral("Dentist"));
}

// --- Field checks when a field is left.

struct HourRow {
  const char* name;
  const char* typed;
  int presetHalf;  // 0 AM, 1 PM before typing
  const char* hour;
  const char* half;
  bool message;
};
void PrintTo(const HourRow& r, std::ostream* os) { *os << r.name; }

class NoteFormHourExit : public NoteFormFixture, public ::testing::WithParamInterface<HourRow> {
 protected:
  NoteFormHourExit() : NoteFormFixture(DT(2026, 12, 2, 14, 40)) {}
};

TEST_P(NoteFormHourExit, NormalisesOrReports) {
  const HourRow& r = GetParam();
  form->NewNote(D(2026, 12, 2));
  form->UseStartEnd->setChecked(false);
  Show();
  form->E_SelectAMPM->setCurrentIndex(r.presetHalf);
  if (r.message) dialogs->AnswerMessage(Dialogs::Answer::Ok);
  TypeAndLeave(form->EndHour, QString::fromLatin1(r.typed));
  EXPECT_EQ(form->EndHour->text(), QString::fromLatin1(r.hour));
  EXPECT_EQ(form->E_SelectAMPM->currentText(), QString::fromLatin1(r.half));
  if (r.message) {
    ASSERT_EQ(dialogs->asked().size(), 1u);
    EXPECT_EQ(dialogs->asked()[0].caption, InvalidEntry);
    EXPECT_EQ(dialogs->asked()[0].text, BadHour);
  } else {
    EXPECT_TRUE(dialogs->asked().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Hours, NoteFormHourExit,
    ::testing::Values(HourRow{"ZeroIsMidnight", "0", 1, "12", "AM", false},
                      HourRow{"FifteenIsThreePm", "15", 0, "3", "PM", false},
                      HourRow{"TwentyFourIsNoon", "24", 0, "12", "PM", false},
                      HourRow{"TwelveHourValueKeepsTheSelector", "7", 1, "7", "PM", false},
                      HourRow{"TwentyFiveGivesTheCurrentHour", "25", 0, "2", "PM", true},
                      HourRow{"LettersGiveTheCurrentHour", "x", 0, "2", "PM", true},
                      HourRow{"EmptyGivesTheCurrentHour", "", 0, "2", "PM", true}),
    [](const auto& info) { return std::string(info.param.name); });

struct MinuteRow {
  const char* name;
  const char* typed;
  const char* shown;
  bool message;
};
void PrintTo(const MinuteRow& r, std::ostream* os) { *os << r.name; }

class NoteFormMinExit : public NoteFormFixture, public ::testing::WithParamInterface<MinuteRow> {};

TEST_P(NoteFormMinExit, PadsOrReports) {
  const MinuteRow& r = GetParam();
  form->NewNote(D(2026, 12, 2));
  form->AlarmActive->setChecked(true);
  Show();
  if (r.message) dialogs->AnswerMessage(Dialogs::Answer::Ok);
  TypeAndLeave(form->AlarmMin, QString::fromLatin1(r.typed));
  EXPECT_EQ(form->AlarmMin->text(), QString::fromLatin1(r.shown));
  if (r.message) {
    ASSERT_EQ(dialogs->asked().size(), 1u);
    EXPECT_EQ(dialogs->asked()[0].text, BadMinute);
    EXPECT_EQ(dialogs->asked()[0].caption, InvalidEntry);
  }
}

INSTANTIATE_TEST_SUITE_P(Minutes, NoteFormMinExit,
                         ::testing::Values(MinuteRow{"OneDigitGetsALeadingZero", "5", "05", false},
                                           MinuteRow{"FiftyNineStays", "59", "59", false},
                                           MinuteRow{"SixtyIsReported", "60", "00", true},
                                           MinuteRow{"LettersAreReported", "ab", "00", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Control rules.

TEST_F(NoteFormFixture, AllDayDisablesTheTimesYetSaveWritesThem) {
  form->NewNote(D(2026, 12, 2));
  form->UseStartEnd->setChecked(false);
  Show();
  TypeAndLeave(form->StartHour, QStringLiteral("3"));
  TypeAndLeave(form->StartMin, QStringLiteral("15"));
  form->S_SelectAMPM->setCurrentIndex(1);
  TypeAndLeave(form->EndHour, QStringLiteral("4"));
  form->E_SelectAMPM->setCurrentIndex(1);
  Click(form->UseStartEnd);
  ASSERT_TRUE(form->UseStartEnd->isChecked());
  for (QWidget* w : std::initializer_list<QWidget*>{form->StartHour, form->StartMin, form->S_SelectAMPM, form->EndHour,
                                                    form->EndMin, form->E_SelectAMPM})
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  Type(form->Title, QStringLiteral("Holiday"));
  Click(form->SaveButton);

  ASSERT_EQ(calendar().NoteCount(), 1);
  EXPECT_FALSE(note(0).Start);
  EXPECT_DOUBLE_EQ(note(0).StartTime, EncodeTime(15, 15));
  EXPECT_DOUBLE_EQ(note(0).EndTime, EncodeTime(16, 0));
}

TEST_F(NoteFormFixture, AlarmTimesFollowTheAlarmBox) {
  form->NewNote(D(2026, 12, 2));
  Show();
  EXPECT_FALSE(form->AlarmTimeLabel->isEnabled());
  Click(form->AlarmActive);
  for (QWidget* w : std::initializer_list<QWidget*>{form->AlarmTimeLabel, form->AlarmHour, form->AlarmMin,
                                                    form->A_SelectAMPM})
    EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
  TypeAndLeave(form->AlarmHour, QStringLiteral("8"));
  TypeAndLeave(form->AlarmMin, QStringLiteral("45"));
  form->A_SelectAMPM->setCurrentIndex(0);
  Type(form->Title, QStringLiteral("Call"));
  Click(form->SaveButton);
  ASSERT_EQ(calendar().NoteCount(), 1);
  EXPECT_TRUE(note(0).Alarm);
  EXPECT_DOUBLE_EQ(note(0).AlarmTime, EncodeTime(8, 45));
}

TEST_F(NoteFormFixture, SpanOptionEnablesTheDayCountAndShowsTheExceptions) {
  form->NewNote(D(2026, 12, 2));
  Show();
  EXPECT_FALSE(page->ExceptionPanel->isVisibleTo(page));
  Click(form->SpanOption);
  EXPECT_TRUE(form->SpanDays->isEnabled());
  EXPECT_TRUE(form->SpanDaysLabel->isEnabled());
  EXPECT_TRUE(page->ExceptionPanel->isVisibleTo(page));
  EXPECT_FALSE(page->RecurRangePanel->isVisibleTo(page));
  Type(form->SpanDays, QStringLiteral("3"));
  Type(form->Title, QStringLiteral("Conference"));
  Click(form->SaveButton);
  ASSERT_EQ(calendar().NoteCount(), 1);
  EXPECT_TRUE(note(0).Span);
  EXPECT_EQ(note(0).SpanRange, 3);
  EXPECT_TRUE(calendar().NoteOccursOn(0, D(2026, 12, 4)));
  EXPECT_FALSE(calendar().NoteOccursOn(0, D(2026, 12, 5)));

  form->ViewNote(0);
  Click(form->SpanOption);
  EXPECT_FALSE(form->SpanDays->isEnabled());
  EXPECT_FALSE(page->ExceptionPanel->isVisibleTo(page));
}

TEST_F(NoteFormFixture, SpanDayCountIsCorrectedWhileTyping) {
  form->NewNote(D(2026, 12, 2));
  form->SpanOption->setChecked(true);
  Show();
  Type(form->SpanDays, QStringLiteral("0"));
  EXPECT_EQ(form->SpanDays->text(), QStringLiteral("1"));
  Type(form->SpanDays, QStringLiteral("x"));
  EXPECT_EQ(form->SpanDays->text(), QStringLiteral("1"));
  // The corrected "1" is selected, so the next digit replaces it.
  QTest::keyClicks(form->SpanDays, QStringLiteral("7"));
  EXPECT_EQ(form->SpanDays->text(), QStringLiteral("7"));
}

// --- Save.

TEST_F(NoteFormFixture, SaveWritesEveryDetailField) {
  form->NewNote(D(2026, 12, 2));
  form->UseStartEnd->setChecked(false);
  Show();
  QSignalSpy saved(form.get(), &T_NoteForm::Saved);
  Type(form->Title, QStringLiteral("Dentist"));
  Type(form->LocationDisplay, QStringLiteral("Main St 5"));
  form->CategorySelect->setEditText(QStringLiteral("Health"));
  form->StartTimePicker->setDate(QDate(2026, 12, 14));
  TypeAndLeave(form->StartHour, QStringLiteral("15"));
  TypeAndLeave(form->StartMin, QStringLiteral("5"));
  TypeAndLeave(form->EndHour, QStringLiteral("4"));
  form->E_SelectAMPM->setCurrentIndex(1);
  form->NotesMemo->setPlainText(QStringLiteral("  bring the card\nand the form \n\n"));
  calendar().DataChanged = false;
  Click(form->SaveButton);

  ASSERT_EQ(calendar().NoteCount(), 1);
  const TNote& e = note(0);
  EXPECT_EQ(e.Title, QStringLiteral("Dentist"));
  EXPECT_EQ(e.Location, QStringLiteral("Main St 5"));
  EXPECT_EQ(e.Category, QStringLiteral("Health"));
  EXPECT_EQ(e.Notes, QStringLiteral("bring the card\r\nand the form"));
  EXPECT_DOUBLE_EQ(e.StartDate, D(2026, 12, 14));
  EXPECT_TRUE(e.Start);
  EXPECT_DOUBLE_EQ(e.StartTime, EncodeTime(15, 5));
  EXPECT_DOUBLE_EQ(e.EndTime, EncodeTime(16, 0));
  EXPECT_DOUBLE_EQ(e.AlarmTime, EncodeTime(0, 0));  // "12" "00" "AM"
  EXPECT_FALSE(e.Alarm);
  EXPECT_FALSE(e.Span);
  EXPECT_EQ(e.RepeatType, 0);
  EXPECT_EQ(e.RepeatDay, 14);
  EXPECT_EQ(e.RepeatMonth, 12);
  EXPECT_EQ(e.RepeatCardinal, 2);
  EXPECT_TRUE(calendar().DataChanged);
  EXPECT_EQ(saved.count(), 1);
  EXPECT_FALSE(form->isVisible());
  // The day queries see it.
  EXPECT_TRUE(calendar().NoteOccursOn(0, D(2026, 12, 14)));
  EXPECT_EQ(calendar().FindDayEvents(D(2026, 12, 14)), std::vector<int>{0});
}

TEST_F(NoteFormFixture, ModifyDateIsNowWithItsDate) {
  const int i = StoredEvent(D(2026, 12, 10), QStringLiteral("Dentist"));
  note(i).ModifyDate = DT(2026, 11, 1, 20, 0);
  clock->Set(DT(2026, 12, 3, 8, 15));
  form->ViewNote(i);
  form->SaveButtonClick();
  EXPECT_DOUBLE_EQ(note(i).ModifyDate, DT(2026, 12, 3, 8, 15));
  // An edit made this morning beats last evening's copy of another calendar.
  TNote older = note(i);
  older.Title = QStringLiteral("Evening edit");
  older.ModifyDate = DT(2026, 12, 2, 21, 0);
  calendar().MergeNote(older);
  EXPECT_EQ(note(i).Title, QStringLiteral("Dentist"));
}

TEST_F(NoteFormFixture, EmptyTitleIsRefusedAndNothingChanges) {
  form->NewNote(D(2026, 12, 2));
  Show();
  dialogs->AnswerMessage(Dialogs::Answer::Ok);
  Click(form->SaveButton);
  ASSERT_EQ(dialogs->asked().size(), 1u);
  EXPECT_EQ(dialogs->asked()[0].caption, QStringLiteral("Alert"));
  EXPECT_EQ(dialogs->asked()[0].text, QStringLiteral("You haven't specified an event name!"));
  EXPECT_EQ(dialogs->asked()[0].buttons, Dialogs::Buttons::Ok);
  EXPECT_EQ(calendar().NoteCount(), 0);
  EXPECT_TRUE(form->isVisible());
}

// A field that does not parse when Save runs (Enter pressed while it still holds the text):
// its own message, the focus, and neither a new event slot nor a half-written record.
struct RefusedRow {
  const char* name;
  const char* field;
  std::function<void(T_NoteForm&)> set;
  const char* message;
};
void PrintTo(const RefusedRow& r, std::ostream* os) { *os << r.name; }

class NoteFormSaveRefused : public NoteFormFixture, public ::testing::WithParamInterface<RefusedRow> {};

TEST_P(NoteFormSaveRefused, ChangesNothing) {
  const RefusedRow& r = GetParam();
  for (bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "existing event" : "new event");
    const int stored = StoredEvent(D(2026, 12, 10), QStringLiteral("Stored"));
    const TNote before = note(stored);
    const int count = calendar().NoteCount();
    if (existing) {
      form->ViewNote(stored);
    } else {
      form->NewNote(D(2026, 12, 9));
    }
    Show();
    form->Title->setText(QStringLiteral("Changed"));
    r.set(*form);
    const size_t asked = dialogs->asked().size();
    dialogs->AnswerMessage(Dialogs::Answer::Ok);
    // Enter on the default button, without leaving the field first.
    form->SaveButtonClick();
    ASSERT_EQ(dialogs->asked().size(), asked + 1);
    EXPECT_EQ(dialogs->asked().back().text, QString::fromLatin1(r.message));
    EXPECT_EQ(dialogs->asked().back().caption, InvalidEntry);
    EXPECT_EQ(calendar().NoteCount(), count);
    EXPECT_EQ(note(stored), before);
    EXPECT_TRUE(form->isVisible());
    QWidget* field = form->findChild<QWidget*>(QString::fromLatin1(r.field));
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->hasFocus() || field->isAncestorOf(QApplication::focusWidget()))
        << "focus is on " << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : "");
    form->hide();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, NoteFormSaveRefused,
    ::testing::Values(
        RefusedRow{"StartHourNinetyNine", "StartHour", [](T_NoteForm& f) { f.StartHour->setText("99"); },
                   "Please enter a valid hour value."},
        RefusedRow{"EndHourLetters", "EndHour", [](T_NoteForm& f) { f.EndHour->setText("x"); },
                   "Please enter a valid hour value."},
        RefusedRow{"EndMinuteSeventyFive", "EndMin", [](T_NoteForm& f) { f.EndMin->setText("75"); },
                   "Please enter a valid minute value."},
        RefusedRow{"AlarmMinuteLetters", "AlarmMin",
                   [](T_NoteForm& f) {
                     f.AlarmActive->setChecked(true);
                     f.AlarmMin->setText("m");
                   },
                   "Please enter a valid minute value."},
        RefusedRow{"MonthlyIntervalNotANumber", "MonthlyXMonths",
                   [](T_NoteForm& f) {
                     f.RecurrencePage->MonthlyButton->setChecked(true);
                     f.RecurrencePage->MonthlyXMonths->setText("x");
                   },
                   "Please enter a valid number of months."},
        RefusedRow{"RepeatCountNotANumber", "RepeatCount",
                   [](T_NoteForm& f) {
                     f.RecurrencePage->WeeklyButton->setChecked(true);
                     f.RecurrencePage->RepeatCountButton->setChecked(true);
                     f.RecurrencePage->RepeatCount->setText("ab");
                   },
                   "Please enter a valid number of occurrences."},
        RefusedRow{"RepeatCountZero", "RepeatCount",
                   [](T_NoteForm& f) {
                     f.RecurrencePage->DailyButton->setChecked(true);
                     f.RecurrencePage->RepeatCountButton->setChecked(true);
                     f.RecurrencePage->RepeatCount->setText("0");
                   },
                   "Please enter a valid number of occurrences."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NoteFormFixture, SaveReadsTwentyFourHourTextAsLeavingTheFieldWould) {
  form->NewNote(D(2026, 12, 2));
  form->UseStartEnd->setChecked(false);
  form->Title->setText(QStringLiteral("Late"));
  form->StartHour->setText(QStringLiteral("21"));
  form->EndHour->setText(QStringLiteral("0"));
  form->SaveButtonClick();
  ASSERT_EQ(calendar().NoteCount(), 1);
  EXPECT_DOUBLE_EQ(note(0).StartTime, EncodeTime(21, 0));
  EXPECT_DOUBLE_EQ(note(0).EndTime, EncodeTime(0, 0));
}

TEST_F(NoteFormFixture, CancelLeavesTheEventAlone) {
  const int i = StoredEvent(D(2026, 12, 10), QStringLiteral("Dentist"));
  const TNote before = note(i);
  form->ViewNote(i);
  Show();
  QSignalSpy cancelled(form.get(), &T_NoteForm::Cancelled);
  QSignalSpy saved(form.get(), &T_NoteForm::Saved);
  Type(form->Title, QStringLiteral("Something else"));
  Click(form->CancelButton);
  EXPECT_EQ(note(i), before);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(cancelled.count(), 1);
  EXPECT_EQ(saved.count(), 0);
}

TEST_F(NoteFormFixture, EnterSavesAndEscapeCancels) {
  form->NewNote(D(2026, 12, 2));
  Show();
  QSignalSpy saved(form.get(), &T_NoteForm::Saved);
  Type(form->Title, QStringLiteral("Quick"));
  QTest::keyClick(form->Title, Qt::Key_Return);
  EXPECT_EQ(saved.count(), 1);
  ASSERT_EQ(calendar().NoteCount(), 1);
  EXPECT_FALSE(form->isVisible());

  form->ViewNote(0);
  Show();
  QSignalSpy cancelled(form.get(), &T_NoteForm::Cancelled);
  Type(form->Title, QStringLiteral("Not this"));
  QTest::keyClick(form->Title, Qt::Key_Escape);
  EXPECT_EQ(cancelled.count(), 1);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(note(0).Title, QStringLiteral("Quick"));
}

// --- Load.

TEST_F(NoteFormFixture, ViewNoteShowsTheStoredEvent) {
  const int i = StoredEvent(D(2026, 12, 10), QStringLiteral("Dentist"));
  note(i).Notes = QStringLiteral("line one\r\nline two");
  note(i).Alarm = true;
  note(i).AlarmTime = EncodeTime(0, 5);
  note(i).EndTime = EncodeTime(12, 0);
  form->ViewNote(i);
  EXPECT_EQ(form->EditIndex(), i);
  const std::pair<QString, const char*> shown[] = {
      {form->windowTitle(), "View/Edit Event"}, {form->Title->text(), "Dentist"},
      {form->CategorySelect->currentText(), "Work"}, {form->LocationDisplay->text(), "Room 4"},
      {form->NotesMemo->toPlainText(), "line one\nline two"}, {form->StartHour->text(), "2"},
      {form->StartMin->text(), "05"}, {form->S_SelectAMPM->currentText(), "PM"}, {form->EndHour->text(), "12"},
      {form->E_SelectAMPM->currentText(), "PM"}, {form->AlarmHour->text(), "12"}, {form->AlarmMin->text(), "05"},
      {form->A_SelectAMPM->currentText(), "AM"}};
  for (const auto& [text, expected] : shown) EXPECT_EQ(text, QString::fromUtf8(expected));
  EXPECT_EQ(form->StartTimePicker->date(), QDate(2026, 12, 10));
  EXPECT_FALSE(form->UseStartEnd->isChecked());
  EXPECT_TRUE(form->StartHour->isEnabled());
  EXPECT_TRUE(form->AlarmActive->isChecked());
  EXPECT_TRUE(form->AlarmHour->isEnabled());
  EXPECT_TRUE(form->Button1->isEnabled());
  EXPECT_TRUE(form->Button2->isEnabled());

  // Saved again unchanged, the record is the same but for its stamp.
  TNote before = note(i);
  form->SaveButtonClick();
  before.ModifyDate = note(i).ModifyDate;
  EXPECT_EQ(note(i), before);
}

// --- Per-date notes.

TEST_F(NoteFormFixture, DayNotesAreAddedEditedAndRemovedAtOnce) {
  const int i = StoredEvent(D(2026, 12, 10), QStringLiteral("Standup"));
  form->ViewNote(i);
  Show();
  form->PageControl->setCurrentWidget(form->NotesPage);
  QSignalSpy changed(form.get(), &T_NoteForm::DayNotesChanged);

  form->DateTimePicker1->setDate(QDate(2026, 12, 17));
  dialogs->AnswerMemo(QStringLiteral("Bring cake"));
  Click(form->Button1);
  form->DateTimePicker1->setDate(QDate(2026, 12, 11));
  dialogs->AnswerMemo(QStringLiteral("Room change"));
  Click(form->Button1);
  form->DateTimePicker1->setDate(QDate(2026, 12, 17));
  dialogs->AnswerMemo(QStringLiteral("and candles"));
  Click(form->Button1);
  dialogs->AnswerMemo(QString());  // saved empty: nothing added
  Click(form->Button1);

  ASSERT_EQ(note(i).RecurNotes.size(), 2);
  EXPECT_EQ(note(i).RecurNotes[0], (TRecurNote{QStringLiteral("Room change"), D(2026, 12, 11)}));
  EXPECT_EQ(note(i).RecurNotes[1], (TRecurNote{QStringLiteral("Bring cake\r\nand candles"), D(2026, 12, 17)}));
  ASSERT_EQ(form->NoteList->rowCount(), 2);
  EXPECT_EQ(form->NoteList->item(0, 0)->text(), QStringLiteral("12/11/2026"));
  EXPECT_EQ(form->NoteList->item(1, 0)->text(), QStringLiteral("12/17/2026"));
  EXPECT_EQ(form->NoteList->item(1, 1)->text(), QStringLiteral("Bring cake\\and candles"));
  ASSERT_GE(dialogs->asked().size(), 1u);
  EXPECT_EQ(dialogs->asked()[0].caption, QStringLiteral("Enter Note"));
  EXPECT_EQ(dialogs->asked()[0].text, QStringLiteral("Please type your note and click OK."));

  // Edit, then Cancel in the note dialog: the note stays as it was.
  form->NoteList->selectRow(1);
  dialogs->AnswerMemo(std::nullopt);
  Click(form->Button3);
  EXPECT_EQ(note(i).RecurNotes[1].Data, QStringLiteral("Bring cake\r\nand candles"));
  EXPECT_EQ(dialogs->asked().back().caption, QStringLiteral("Edit Note"));
  EXPECT_EQ(dialogs->asked().back().text, QStringLiteral("Edit your note below."));
  // Edit and save.
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

  // Cancel does not undo them.
  Click(form->CancelButton);
  ASSERT_EQ(note(i).RecurNotes.size(), 1);
  EXPECT_EQ(note(i).RecurNotes[0].Data, QStringLiteral("Room 12"));
  // Nor does Save of another edit.
  form->ViewNote(i);
  EXPECT_EQ(form->NoteList->rowCount(), 1);
  EXPECT_EQ(form->NoteList->item(0, 1)->text(), QStringLiteral("Room 12"));
  form->SaveButtonClick();
  EXPECT_EQ(note(i).RecurNotes.size(), 1);
}

TEST_F(NoteFormFixture, NoteButtonsDoNothingWithoutARowThatHoldsADate) {
  const int i = StoredEvent(D(2026, 12, 10), QStringLiteral("Standup"));
  form->ViewNote(i);
  ASSERT_EQ(form->NoteList->rowCount(), 1);
  form->NoteList->selectRow(0);
  Click(form->Button2);
  Click(form->Button3);  // no note dialog is asked for
  EXPECT_TRUE(note(i).RecurNotes.isEmpty());

  // A new event has no record yet: Add and Remove are off and do nothing.
  form->NewNote(D(2026, 12, 2));
  EXPECT_FALSE(form->Button1->isEnabled());
  form->Button1Click();
  EXPECT_TRUE(dialogs->asked().empty());
}

}  // namespace
