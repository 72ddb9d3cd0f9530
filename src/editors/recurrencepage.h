#pragma once

#include "core/tdatetime.h"

#include <QDate>
#include <QList>
#include <QWidget>
#include <functional>
#include <vector>

class Dialogs;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class UpDownEdit;
struct TNote;

// The "Recurrence" page of the event editor: the pattern of a series (one time, daily,
// weekly, monthly, yearly with their variants), how it ends and its exception dates, turned
// into controls and back into the recurrence fields of an event.
//
// The five pattern panels, the range panel and the exception panel lie in one area, stacked:
// the one in front is the one seen. "One Time" brings an empty panel to the front that covers
// them all; the exception panel shows over it while the event spans several days.
class T_RecurrencePage : public QWidget {
  Q_OBJECT
 public:
  explicit T_RecurrencePage(QWidget* parent = nullptr);

  // The editor's start-date picker, which every choice of a pattern starts from.
  QDateEdit* StartTimePicker = nullptr;
  // Called while a pattern is chosen, between sending the empty panel back and bringing the
  // exception panel forward: true for "One Time". The editor enables or clears its span
  // option here.
  std::function<void(bool once)> PatternSpanRule;
  // The clock's now, for the pickers set to "now" and "today".
  std::function<TDateTime()> Now;

  // --- Entry points of the editor's Reset, Load and Save.
  void ResetRecurrence(TDateTime date);
  void SyncRecurrenceControls();
  void LoadRecurrence(const TNote& event);
  // The recurrence defaults, before the editor writes any other field; startDate is the date
  // in the start-date picker.
  void ClearRecurrence(TNote& event, TDateTime startDate) const;
  void SaveRecurrence(TNote& event) const;
  // Checks every field that SaveRecurrence will read. The first that does not parse gets its
  // message and is returned, for the editor to show and focus; nothing when all parse.
  UpDownEdit* CheckFields(Dialogs& dialogs);

  // The pattern chosen on the page: 0 one time, 1 daily, 2 weekly, 3 monthly, 4 yearly.
  int PatternTag() const;
  // The working exception list, as edited.
  const QList<TDateTime>& WorkingExceptions() const { return exceptions_; }
  // Brings the exception panel to the front, or sends it to the back (the span rule).
  void ExceptionPanelToFront(bool front);
  // Enables the exception controls (when the editor is shown).
  void EnableExceptionControls();

  // --- Handlers.
  void ButtonClick(int tag);
  void DailyXDaysButtonClick();
  void RepeatInfiniteButtonClick();
  void RepeatCountButtonClick();
  void RepeatUntilButtonClick();
  void ExceptionPickerCloseUp();
  void ExceptionListClick();
  void RemoveExceptionButtonClick();
  // Interval and day count edits: text that is not an integer of at least 1 becomes "1".
  static void NumEditChange(UpDownEdit* edit);
  // Day-of-month edits: text that is not an integer becomes "1"; below 1 "1", above 31 "31".
  static void MonthlyDayXChange(UpDownEdit* edit);

  // --- Controls.
  QWidget* PatternButtons;
  QRadioButton* OnceButton;
  QRadioButton* DailyButton;
  QRadioButton* WeeklyButton;
  QRadioButton* MonthlyButton;
  QRadioButton* YearlyButton;
  QButtonGroup* PatternGroup;
  QWidget* PanelArea;

  QFrame* OncePanel;

  QFrame* DailyPanel;
  QRadioButton* DailyXDaysButton;
  UpDownEdit* DailyXDays;
  QLabel* DailyDaysLabel;
  QRadioButton* DailyWeekdayButton;

  QFrame* WeeklyPanel;
  UpDownEdit* WeeklyXWeeks;
  QCheckBox* WeeklySunday;
  QCheckBox* WeeklyMonday;
  QCheckBox* WeeklyTuesday;
  QCheckBox* WeeklyWednesday;
  QCheckBox* WeeklyThursday;
  QCheckBox* WeeklyFriday;
  QCheckBox* WeeklySaturday;

  QFrame* MonthlyPanel;
  QRadioButton* MonthlyDayXofXButton;
  UpDownEdit* MonthlyDayX;
  UpDownEdit* MonthlyXMonths;
  QRadioButton* MonthlyNthDOWButton;
  QComboBox* MonthlyNthDay;
  QComboBox* MonthlyDOW;
  UpDownEdit* MonthlyDOWXMonths;

  QFrame* YearlyPanel;
  QRadioButton* YearlyMonthDayButton;
  QComboBox* YearlyMonthDD;
  UpDownEdit* YearlyMMDay;
  QRadioButton* YearlyNthDOWButton;
  QComboBox* YearlyNthDOW;
  QComboBox* YearlyDOW;
  QComboBox* YearlyNthDowMonth;

  QFrame* RecurRangePanel;
  QRadioButton* RepeatInfiniteButton;
  QRadioButton* RepeatCountButton;
  UpDownEdit* RepeatCount;
  QLabel* RepeatCountLabel;
  QRadioButton* RepeatUntilButton;
  QDateEdit* EndDatePicker;

  QFrame* ExceptionPanel;
  QLabel* ExceptionLabel;
  QDateEdit* ExceptionPicker;
  QListWidget* ExceptionList;
  QPushButton* RemoveExceptionButton;

  // The seven weekday boxes, Sunday first.
  QCheckBox* WeekdayBox(int weekdayIndex) const { return weekdays_[weekdayIndex]; }

 private:
  void BuildPatternPanels();
  void BuildRangePanel();
  void BuildExceptionPanel();
  void PlacePanels();
  // Shows each panel of the area unless a panel in front of it covers it whole.
  void UpdateSeen();
  void ToFront(QWidget* panel);
  void ToBack(QWidget* panel);
  void AddExceptionEntry(TDateTime date);
  TDateTime NowOrZero() const { return Now ? Now() : 0; }

  QCheckBox* weekdays_[7] = {};
  std::vector<QWidget*> panels_;
  QList<TDateTime> exceptions_;
};

// Conversions between the date pickers and date values.
QDate ToQDate(TDateTime date);
TDateTime FromQDate(const QDate& date);
// A date picker with a calendar pop-up, showing the short date with a four-digit year.
QDateEdit* NewDatePicker(QWidget* parent, const QString& name);
