// The "Recurrence" page of the event editor: every pattern through Save and back through
// ViewNote, the stacking of its panels, the range controls and the exception list.
#include "noteformfixture.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

namespace {

// A Wednesday, the 30th: the last Wednesday of its month.
const TDateTime Start = D(2026, 12, 30);

class RecurrenceFixture : public NoteFormFixture {
 protected:
  void NewEvent(const QString& title = QStringLiteral("Series")) {
    form->NewNote(Start);
    Show();
    Type(form->Title, title);
    form->PageControl->setCurrentWidget(page);
  }
  // The panels a user sees on the page.
  QStringList Seen() const {
    QStringList seen;
    for (QWidget* p : std::initializer_list<QWidget*>{page->OncePanel, page->DailyPanel, page->WeeklyPanel,
                                                      page->MonthlyPanel, page->YearlyPanel, page->RecurRangePanel,
                                                      page->ExceptionPanel})
      if (p->isVisibleTo(page)) seen << p->objectName();
    return seen;
  }
  QStringList CheckedWeekdays() const {
    QStringList on;
    for (int w = 0; w < 7; ++w)
      if (page->WeekdayBox(w)->isChecked()) on << page->WeekdayBox(w)->objectName();
    return on;
  }
  // Picks a date in the exception picker's drop-down calendar.
  void PickException(QDate date) { emit page->ExceptionPicker->calendarWidget()->clicked(date); }
  QList<TDateTime> ListedExceptions() const {
    QList<TDateTime> dates;
    for (int r = 0; r < page->ExceptionList->count(); ++r)
      dates << page->ExceptionList->item(r)->data(Qt::UserRole).toDouble();
    return dates;
  }
};

// --- Each pattern: chosen on the page, saved, found by the day queries, shown again.

struct PatternRow {
  const char* name;
  std::function<void(T_RecurrencePage&)> choose;
  int repeatType;
  std::function<void(const TNote&)> fields;
  TDateTime occurs;
  TDateTime doesNotOccur;
  std::function<void(const T_RecurrencePage&)> shown;
};
void PrintTo(const PatternRow& r, std::ostream* os) { *os << r.name; }

class RecurrencePattern : public RecurrenceFixture, public ::testing::WithParamInterface<PatternRow> {};

TEST_P(RecurrencePattern, SavesFindsAndShowsAgain) {
  const PatternRow& r = GetParam();
  NewEvent();
  r.choose(*page);
  Click(form->SaveButton);
  ASSERT_EQ(calendar().NoteCount(), 1);
  const TNote saved = note(0);
  EXPECT_EQ(saved.RepeatType, r.repeatType);
  EXPECT_DOUBLE_EQ(saved.StartDate, Start);
  r.fields(saved);
  EXPECT_TRUE(calendar().NoteOccursOn(0, r.occurs));
  EXPECT_FALSE(calendar().NoteOccursOn(0, r.doesNotOccur));

  // Written to the store and read back, the series is the same.
  ASSERT_TRUE(context->SaveCalendar());
  DataFormat reloaded(*clock);
  reloaded.LoadCalendar(context->store());
  ASSERT_EQ(reloaded.NoteCount(), 1);
  EXPECT_EQ(reloaded.NoteArray[0], saved);

  form->ViewNote(0);
  r.shown(*page);
  // Saved again as shown, the record stays the same but for its stamp.
  form->SaveButtonClick();
  TNote again = note(0);
  again.ModifyDate = saved.ModifyDate;
  // A new event has no start date before its first save; the end date, which only a series
  // ending on a date reads, takes the start date from the second save on.
  EXPECT_DOUBLE_EQ(again.EndDate, Start);
  again.EndDate = saved.EndDate;
  EXPECT_EQ(again, saved);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, RecurrencePattern,
    ::testing::Values(
        PatternRow{"OneTime", [](T_RecurrencePage&) {}, 0,
                   [](const TNote& e) {
                     EXPECT_EQ(e.RepeatFrequency, 1);
                     EXPECT_EQ(e.RepeatDay, 30);
                     EXPECT_EQ(e.RepeatMonth, 12);
                     EXPECT_EQ(e.RepeatCardinal, 5);
                   },
                   Start, Start + 1, [](const T_RecurrencePage& p) { EXPECT_TRUE(p.OnceButton->isChecked()); }},
        PatternRow{"DailyEveryThreeDays",
                   [](T_RecurrencePage& p) {
                     NoteFormFixture::Click(p.DailyButton);
                     NoteFormFixture::Type(p.DailyXDays, QStringLiteral("3"));
                   },
                   1, [](const TNote& e) { EXPECT_EQ(e.RepeatFrequency, 3); }, D(2027, 1, 2), D(2027, 1, 1),
                   [](const T_RecurrencePage& p) {
                     EXPECT_TRUE(p.DailyButton->isChecked());
                     EXPECT_TRUE(p.DailyXDaysButton->isChecked());
                     EXPECT_TRUE(p.DailyXDays->isEnabled());
                     EXPECT_EQ(p.DailyXDays->text(), QStringLiteral("3"));
                   }},
        PatternRow{"DailyEveryWeekday",
                   [](T_RecurrencePage& p) {
                     NoteFormFixture::Click(p.DailyButton);
                     NoteFormFixture::Click(p.DailyWeekdayButton);
                   },
                   2, [](const TNote& e) { EXPECT_EQ(e.RepeatFrequency, 1); }, D(2027, 1, 4), D(2027, 1, 2),
                   [](const T_RecurrencePage& p) {
                     EXPECT_TRUE(p.DailyButton->isChecked());
                     EXPECT_TRUE(p.DailyWeekdayButton->isChecked());
                     EXPECT_FALSE(p.DailyXDays->isEnabled());
                   }},
        PatternRow{"WeeklyEveryTwoWeeksMondayAndWednesday",
                   [](T_RecurrencePage& p) {
                     NoteFormFixture::Click(p.WeeklyButton);
                     NoteFormFixture::Type(p.WeeklyXWeeks, QStringLiteral("2"));
                     NoteFormFixture::Click(p.WeeklyMonday);
                   },
                   3,
                   [](const TNote& e) {
                     EXPECT_EQ(e.RepeatFrequency, 2);
                     EXPECT_TRUE(e.RepeatMonday);
                     EXPECT_TRUE(e.RepeatWednesday);
                     EXPECT_FALSE(e.RepeatSunday || e.RepeatTuesday || e.RepeatThursday || e.RepeatFriday ||
                                  e.RepeatSaturday);
                   },
                   D(2027, 1, 13), D(2027, 1, 6),
                   [](const T_RecurrencePage& p) {
                     EXPECT_TRUE(p.WeeklyButton->isChecked());
                     EXPECT_EQ(p.WeeklyXWeeks->text(), QStringLiteral("2"));
                     EXPECT_TRUE(p.WeeklyMonday->isChecked());
                     EXPECT_TRUE(p.WeeklyWednesday->isChecked());
                     EXPECT_FALSE(p.WeeklyTuesday->isChecked());
                   }},
        PatternRow{"MonthlyDayThirtyEveryTwoMonths",
                   [](T_RecurrencePage& p) {
                     NoteFormFixture::Click(p.MonthlyButton);
                     NoteFormFixture::Type(p.MonthlyXMonths, QStringLiteral("2"));
                   },
                   4,
                   [](const TNote& e) {
                     EXPECT_EQ(e.RepeatDay, 30);
                     EXPECT_EQ(e.RepeatFrequency, 2);
                   },
                   D(2027, 4, 30), D(2027, 1, 30),
                   [](const T_RecurrencePage& p) {
                     EXPECT_TRUE(p.MonthlyButton->isChecked());
                     EXPECT_TRUE(p.MonthlyDayXofXButton->isChecked());
                     EXPECT_EQ(p.MonthlyDayX->text(), QStringLiteral("30"));
                     EXPECT_EQ(p.MonthlyXMonths->text(), QStringLiteral("2"));
                   }},
        PatternRow{"MonthlyLastWednesdayEveryThreeMonths",
                   [](T_RecurrencePage& p) {
                     NoteFormFixture::Click(p.MonthlyButton);
                     NoteFormFixture::Click(p.MonthlyNthDOWButton);
                     NoteFormFixture::Type(p.MonthlyDOWXMonths, QStringLiteral("3"));
                   },
                   5,
                   [](const TNote& e) {
                     EXPECT_EQ(e.RepeatCardinal, 4);
                     EXPECT_EQ(e.RepeatDay, 3);
                     EXPECT_EQ(e.RepeatFrequency, 3);
                   },
                   D(2027, 3, 31), D(2027, 1, 27),
                   [](const T_RecurrencePage& p) {
                     EXPECT_TRUE(p.MonthlyNthDOWButton->isChecked());
                     EXPECT_EQ(p.MonthlyNthDay->currentText(), QStringLiteral("Last"));
                     EXPECT_EQ(p.MonthlyDOW->currentText(), QStringLiteral("Wednesday"));
                     EXPECT_EQ(p.MonthlyDOWXMonths->text(), QStringLiteral("3"));
                   }},
        PatternRow{"YearlyEveryJulyFourth",
                   [](T_RecurrencePage& p) {
                     NoteFormFixture::Click(p.YearlyButton);
                     p.YearlyMonthDD->setCurrentIndex(6);
                     NoteFormFixture::Type(p.YearlyMMDay, QStringLiteral("4"));
                   },
                   6,
                   [](const TNote& e) {
                     EXPECT_EQ(e.RepeatMonth, 6);
                     EXPECT_EQ(e.RepeatDay, 4);
                   },
                   D(2027, 7, 4), D(2027, 12, 30),
                   [](const T_RecurrencePage& p) {
                     EXPECT_TRUE(p.YearlyMonthDayButton->isChecked());
                     EXPECT_EQ(p.YearlyMonthDD->currentText(), QStringLiteral("July"));
                     EXPECT_EQ(p.YearlyMMDay->text(), QStringLiteral("4"));
                   }},
        PatternRow{"YearlyLastWednesdayOfMarch",
                   [](T_RecurrencePage& p) {
                     NoteFormFixture::Click(p.YearlyButton);
                     NoteFormFixture::Click(p.YearlyNthDOWButton);
                     p.YearlyNthDowMonth->setCurrentIndex(2);
                   },
                   7,
                   [](const TNote& e) {
                     EXPECT_EQ(e.RepeatCardinal, 4);
                     EXPECT_EQ(e.RepeatDay, 3);
                     EXPECT_EQ(e.RepeatMonth, 2);
                   },
                   D(2027, 3, 31), D(2027, 3, 24),
                   [](const T_RecurrencePage& p) {
                     EXPECT_TRUE(p.YearlyNthDOWButton->isChecked());
                     EXPECT_EQ(p.YearlyNthDOW->currentText(), QStringLiteral("Last"));
                     EXPECT_EQ(p.YearlyDOW->currentText(), QStringLiteral("Wednesday"));
                     EXPECT_EQ(p.YearlyNthDowMonth->currentText(), QStringLiteral("March"));
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Choosing a pattern starts from the start date.

TEST_F(RecurrenceFixture, EachPatternStartsFromTheStartDate) {
  NewEvent();
  Click(page->WeeklyButton);
  EXPECT_EQ(CheckedWeekdays(), QStringList{QStringLiteral("WeeklyWednesday")});
  Click(page->WeeklyFriday);
  Click(page->MonthlyButton);
  EXPECT_EQ(page->MonthlyDayX->text(), QStringLiteral("30"));
  EXPECT_EQ(page->MonthlyNthDay->currentText(), QStringLiteral("Last"));
  EXPECT_EQ(page->MonthlyDOW->currentText(), QStringLiteral("Wednesday"));
  Click(page->YearlyButton);
  EXPECT_EQ(page->YearlyMonthDD->currentText(), QStringLiteral("December"));
  EXPECT_EQ(page->YearlyNthDowMonth->currentText(), QStringLiteral("December"));
  EXPECT_EQ(page->YearlyMMDay->text(), QStringLiteral("30"));
  EXPECT_EQ(page->YearlyNthDOW->currentText(), QStringLiteral("Last"));
  EXPECT_EQ(page->YearlyDOW->currentText(), QStringLiteral("Wednesday"));
  Click(page->WeeklyButton);
  EXPECT_EQ(CheckedWeekdays(), QStringList{QStringLiteral("WeeklyWednesday")});

  // A later start date counts from the moment a pattern is chosen.
  form->StartTimePicker->setDate(QDate(2027, 1, 5));
  Click(page->MonthlyButton);
  EXPECT_EQ(page->MonthlyDayX->text(), QStringLiteral("5"));
  EXPECT_EQ(page->MonthlyNthDay->currentText(), QStringLiteral("First"));
  EXPECT_EQ(page->MonthlyDOW->currentText(), QStringLiteral("Tuesday"));
}

TEST_F(RecurrenceFixture, PanelsStackAsThePatternAndSpanSay) {
  NewEvent();
  EXPECT_EQ(Seen(), QStringList{QStringLiteral("OncePanel")});
  Click(form->SpanOption);
  EXPECT_EQ(Seen(), (QStringList{QStringLiteral("OncePanel"), QStringLiteral("ExceptionPanel")}));

  const std::pair<QRadioButton*, const char*> patterns[] = {{page->DailyButton, "DailyPanel"},
                                                            {page->WeeklyButton, "WeeklyPanel"},
                                                            {page->MonthlyButton, "MonthlyPanel"},
                                                            {page->YearlyButton, "YearlyPanel"}};
  for (const auto& [button, panel] : patterns) {
    Click(button);
    EXPECT_EQ(Seen(), (QStringList{QString::fromLatin1(panel), QStringLiteral("RecurRangePanel"),
                                   QStringLiteral("ExceptionPanel")}))
        << panel;
    // A series cannot span days.
    EXPECT_FALSE(form->SpanOption->isChecked());
    EXPECT_FALSE(form->SpanOption->isEnabled());
    EXPECT_FALSE(form->SpanDays->isEnabled());
  }
  Click(page->OnceButton);
  EXPECT_EQ(Seen(), QStringList{QStringLiteral("OncePanel")});
  EXPECT_TRUE(form->SpanOption->isEnabled());
  EXPECT_FALSE(form->SpanOption->isChecked());
}

// --- Field corrections while typing.

struct TypingRow {
  const char* name;
  UpDownEdit* T_RecurrencePage::*edit;
  const char* typed;
  const char* shown;
};
void PrintTo(const TypingRow& r, std::ostream* os) { *os << r.name; }

class RecurrenceTyping : public RecurrenceFixture, public ::testing::WithParamInterface<TypingRow> {};

TEST_P(RecurrenceTyping, CorrectsTheText) {
  const TypingRow& r = GetParam();
  NewEvent();
  Click(page->DailyButton);
  Click(page->MonthlyButton);  // any pattern; the edits are checked whichever is seen
  UpDownEdit* edit = page->*r.edit;
  edit->setEnabled(true);
  Type(edit, QString::fromLatin1(r.typed));
  EXPECT_EQ(edit->text(), QString::fromLatin1(r.shown));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, RecurrenceTyping,
    ::testing::Values(TypingRow{"DailyZero", &T_RecurrencePage::DailyXDays, "0", "1"},
                      TypingRow{"DailyLetter", &T_RecurrencePage::DailyXDays, "x", "1"},
                      TypingRow{"DailyNoUpperLimit", &T_RecurrencePage::DailyXDays, "500", "500"},
                      TypingRow{"WeeksZero", &T_RecurrencePage::WeeklyXWeeks, "0", "1"},
                      TypingRow{"NthMonthsLetter", &T_RecurrencePage::MonthlyDOWXMonths, "q", "1"},
                      TypingRow{"DayOfMonthAboveThirtyOne", &T_RecurrencePage::MonthlyDayX, "45", "31"},
                      TypingRow{"DayOfMonthZero", &T_RecurrencePage::MonthlyDayX, "0", "1"},
                      TypingRow{"YearlyDayLetter", &T_RecurrencePage::YearlyMMDay, "z", "1"},
                      TypingRow{"MonthsNotCheckedWhileTyping", &T_RecurrencePage::MonthlyXMonths, "x", "x"},
                      TypingRow{"CountNotCheckedWhileTyping", &T_RecurrencePage::RepeatCount, "0", "0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecurrenceFixture, ArrowsKeepToTheirBounds) {
  NewEvent();
  Click(page->MonthlyButton);
  page->MonthlyXMonths->setText(QStringLiteral("24"));
  page->MonthlyXMonths->stepBy(1);
  EXPECT_EQ(page->MonthlyXMonths->text(), QStringLiteral("24"));
  page->MonthlyXMonths->stepBy(-30);
  EXPECT_EQ(page->MonthlyXMonths->text(), QStringLiteral("1"));
  page->MonthlyXMonths->setText(QStringLiteral("x"));
  page->MonthlyXMonths->stepBy(1);
  EXPECT_EQ(page->MonthlyXMonths->text(), QStringLiteral("1"));
}

// --- Range.

TEST_F(RecurrenceFixture, RangeRulesEnableOneControl) {
  NewEvent();
  Click(page->DailyButton);
  EXPECT_TRUE(page->RepeatInfiniteButton->isChecked());
  const std::tuple<QRadioButton*, bool, bool> rules[] = {{page->RepeatInfiniteButton, false, false},
                                                         {page->RepeatCountButton, true, false},
                                                         {page->RepeatUntilButton, false, true},
                                                         {page->RepeatInfiniteButton, false, false}};
  for (const auto& [button, count, until] : rules) {
    Click(button);
    EXPECT_EQ(page->RepeatCount->isEnabled(), count) << button->objectName().toStdString();
    EXPECT_EQ(page->EndDatePicker->isEnabled(), until) << button->objectName().toStdString();
  }
}

TEST_F(RecurrenceFixture, RangeKeptWhenSwitchingBackToOneTime) {
  NewEvent();
  Click(page->DailyButton);
  Click(page->RepeatCountButton);
  Type(page->RepeatCount, QStringLiteral("5"));
  Click(page->OnceButton);
  Click(form->SaveButton);
  ASSERT_EQ(calendar().NoteCount(), 1);
  EXPECT_EQ(note(0).RepeatType, 0);
  EXPECT_EQ(note(0).RangeType, 1);
  EXPECT_EQ(note(0).RangeCount, 5);
}

TEST_F(RecurrenceFixture, SeriesEndsAfterACountOrOnADate) {
  NewEvent();
  Click(page->WeeklyButton);
  Click(page->RepeatCountButton);
  Type(page->RepeatCount, QStringLiteral("3"));
  Click(form->SaveButton);
  ASSERT_EQ(calendar().NoteCount(), 1);
  EXPECT_EQ(note(0).RangeType, 1);
  EXPECT_EQ(note(0).RangeCount, 3);
  EXPECT_DOUBLE_EQ(note(0).EndDate, 0);  // a new event's start date before the save

  form->ViewNote(0);
  EXPECT_TRUE(page->RepeatCountButton->isChecked());
  EXPECT_TRUE(page->RepeatCount->isEnabled());
  EXPECT_EQ(page->RepeatCount->text(), QStringLiteral("3"));
  EXPECT_EQ(page->EndDatePicker->date(), QDate(2026, 12, 2));  // today
  Click(page->RepeatUntilButton);
  page->EndDatePicker->setDate(QDate(2027, 2, 10));
  form->SaveButtonClick();
  EXPECT_EQ(note(0).RangeType, 2);
  EXPECT_DOUBLE_EQ(note(0).EndDate, D(2027, 2, 10));
  EXPECT_EQ(note(0).RangeCount, 1);
  EXPECT_TRUE(calendar().NoteOccursOn(0, D(2027, 2, 10)));
  EXPECT_FALSE(calendar().NoteOccursOn(0, D(2027, 2, 17)));

  form->ViewNote(0);
  EXPECT_TRUE(page->RepeatUntilButton->isChecked());
  EXPECT_TRUE(page->EndDatePicker->isEnabled());
  EXPECT_FALSE(page->RepeatCount->isEnabled());
  EXPECT_EQ(page->EndDatePicker->date(), QDate(2027, 2, 10));
}

// --- Exceptions.

TEST_F(RecurrenceFixture, ExceptionPickedTwiceIsListedOnce) {
  NewEvent();
  Click(page->DailyButton);
  PickException(QDate(2027, 1, 10));
  PickException(QDate(2027, 1, 2));
  PickException(QDate(2027, 1, 10));
  EXPECT_EQ(page->WorkingExceptions(), (QList<TDateTime>{D(2027, 1, 10), D(2027, 1, 2)}));
  // Listed in date order, each entry keeping its date.
  EXPECT_EQ(ListedExceptions(), (QList<TDateTime>{D(2027, 1, 2), D(2027, 1, 10)}));
  EXPECT_EQ(page->ExceptionList->item(0)->text(), QStringLiteral("1/2/2027"));
  EXPECT_FALSE(page->RemoveExceptionButton->isEnabled());

  Click(form->SaveButton);
  ASSERT_EQ(calendar().NoteCount(), 1);
  EXPECT_EQ(note(0).Exceptions, (QList<TDateTime>{D(2027, 1, 10), D(2027, 1, 2)}));
  EXPECT_FALSE(calendar().NoteOccursOn(0, D(2027, 1, 10)));
  EXPECT_TRUE(calendar().NoteOccursOn(0, D(2027, 1, 9)));

  form->ViewNote(0);
  EXPECT_EQ(page->WorkingExceptions(), (QList<TDateTime>{D(2027, 1, 10), D(2027, 1, 2)}));
  EXPECT_EQ(ListedExceptions(), (QList<TDateTime>{D(2027, 1, 2), D(2027, 1, 10)}));
}

TEST_F(RecurrenceFixture, RemovingAnExceptionRemovesThatDateOnly) {
  NewEvent();
  Click(page->WeeklyButton);
  for (QDate d : {QDate(2027, 1, 6), QDate(2027, 1, 13), QDate(2027, 1, 20)}) PickException(d);
  // The entry's own date counts, never its text read back.
  page->ExceptionList->item(1)->setText(QStringLiteral("1/6/2027"));
  page->ExceptionList->setCurrentRow(1);
  EXPECT_TRUE(page->RemoveExceptionButton->isEnabled());
  Click(page->RemoveExceptionButton);
  EXPECT_FALSE(page->RemoveExceptionButton->isEnabled());
  EXPECT_EQ(page->WorkingExceptions(), (QList<TDateTime>{D(2027, 1, 6), D(2027, 1, 20)}));
  EXPECT_EQ(ListedExceptions(), (QList<TDateTime>{D(2027, 1, 6), D(2027, 1, 20)}));
  // Nothing selected: nothing removed.
  page->ExceptionList->clearSelection();
  page->RemoveExceptionButtonClick();
  EXPECT_EQ(page->WorkingExceptions().size(), 2);
}

TEST_F(RecurrenceFixture, SeriesWithoutExceptionsSavesNone) {
  const int i = StoredEvent(Start, QStringLiteral("Gym"));
  note(i).RepeatType = 1;
  note(i).Exceptions = {D(2027, 1, 3)};
  form->ViewNote(i);
  Show();
  form->PageControl->setCurrentWidget(page);
  page->ExceptionList->setCurrentRow(0);
  Click(page->RemoveExceptionButton);
  Click(form->SaveButton);
  EXPECT_TRUE(note(i).Exceptions.isEmpty());
  EXPECT_TRUE(calendar().NoteOccursOn(i, D(2027, 1, 3)));
}

TEST_F(RecurrenceFixture, StoredValuesOutsideTheListsAreNotWrittenBackAsMinusOne) {
  const int i = StoredEvent(Start, QStringLiteral("Odd"));
  note(i).RepeatType = 7;
  note(i).RepeatCardinal = 9;
  note(i).RepeatDay = 3;
  note(i).RepeatMonth = 40;
  form->ViewNote(i);
  form->SaveButtonClick();
  EXPECT_EQ(note(i).RepeatType, 7);
  EXPECT_EQ(note(i).RepeatCardinal, 4);  // the start date's: last
  EXPECT_EQ(note(i).RepeatMonth, 11);    // the start date's: December
  EXPECT_EQ(note(i).RepeatDay, 3);
}

TEST_F(RecurrenceFixture, ResetForgetsThePreviousSeries) {
  const int i = StoredEvent(Start, QStringLiteral("Gym"));
  note(i).RepeatType = 2;
  note(i).RangeType = 1;
  note(i).RangeCount = 8;
  note(i).Exceptions = {D(2027, 1, 4)};
  form->ViewNote(i);
  form->NewNote(D(2027, 3, 3));
  EXPECT_TRUE(page->OnceButton->isChecked());
  EXPECT_TRUE(page->DailyXDaysButton->isChecked());
  EXPECT_TRUE(page->RepeatInfiniteButton->isChecked());
  EXPECT_EQ(page->RepeatCount->text(), QStringLiteral("1"));
  EXPECT_EQ(page->EndDatePicker->date(), QDate(2027, 3, 3));
  EXPECT_EQ(page->ExceptionList->count(), 0);
  EXPECT_TRUE(page->WorkingExceptions().isEmpty());
  EXPECT_EQ(page->ExceptionPicker->date(), QDate(2026, 12, 2));
  EXPECT_TRUE(form->SpanOption->isEnabled());
  page->YearlyButton->setChecked(true);
  EXPECT_EQ(page->YearlyMonthDD->currentText(), QStringLiteral("March"));
}

}  // namespace
