#pragma once

#include "core/tdatetime.h"

#include <QDialog>
#include <optional>

class AppContext;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class T_RecurrencePage;
class UpDownEdit;

// The event editor: one window, made once and reused for every event. A caller prepares it
// with NewNote or ViewNote and then shows it; it does not wait for it. Save writes the
// controls into the event record and marks the calendar changed; per-date notes on the
// "Notes" page change the event at once, whatever Save or Cancel do afterwards.
class T_NoteForm : public QDialog {
  Q_OBJECT
 public:
  explicit T_NoteForm(AppContext& context, QWidget* parent = nullptr);
  ~T_NoteForm() override;

  // Prepares the editor for a new event on this date.
  void NewNote(TDateTime date);
  // Prepares the editor for the event at this index of the calendar.
  void ViewNote(int index);

  // The event being edited, -1 for a new one.
  int EditIndex() const { return editIndex_; }
  bool Prepared() const { return prepared_; }

  // --- Handlers.
  void FormShow();
  void SaveButtonClick();
  void CancelButtonClick();
  void SpanOptionClick();
  void UseStartEndClick();
  void AlarmActiveClick();
  // The hour, minute and AM/PM checks when a field is left; tag 0 start, 1 end, 2 alarm.
  void HourExit(int tag);
  void MinExit(int tag);
  void SelectAMPMExit(int tag);
  void RefreshNoteGrid();
  void Button1Click();
  void Button2Click();
  void Button3Click();

  // --- Controls.
  QTabWidget* PageControl;
  QWidget* DetailsPage;
  QWidget* NotesPage;
  T_RecurrencePage* RecurrencePage;
  QGroupBox* EventDetails;

  QLineEdit* Title;
  QLineEdit* LocationDisplay;
  QCheckBox* UseStartEnd;
  QCheckBox* SpanOption;
  UpDownEdit* SpanDays;
  QLabel* SpanDaysLabel;
  QLabel* StartTimeLabel;
  QLabel* ZoneLabel;  // the event's own time zone, when it keeps one
  QLineEdit* StartHour;
  QLineEdit* StartMin;
  QComboBox* S_SelectAMPM;
  QLabel* EndTimeLabel;
  QLineEdit* EndHour;
  QLineEdit* EndMin;
  QComboBox* E_SelectAMPM;
  QCheckBox* AlarmActive;
  QLabel* AlarmTimeLabel;
  QLineEdit* AlarmHour;
  QLineEdit* AlarmMin;
  QComboBox* A_SelectAMPM;
  QDateEdit* StartTimePicker;
  QComboBox* CategorySelect;
  QPlainTextEdit* NotesMemo;

  QTableWidget* NoteList;
  QDateEdit* DateTimePicker1;
  QPushButton* Button1;
  QPushButton* Button3;
  QPushButton* Button2;

  QPushButton* SaveButton;
  QPushButton* CancelButton;

 signals:
  // Save changed the calendar: the panel repaints, the month and to-do windows refresh.
  void Saved();
  // Cancel closed the editor.
  void Cancelled();
  // A per-date note was added, changed or removed.
  void DayNotesChanged();

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  void BuildDetailsPage();
  void AddNameRows(QGridLayout* grid);
  void AddStartDateRow(QGridLayout* grid);
  QHBoxLayout* NewTimeRow(int tag, const char* hourName, const char* minName, const char* ampmName);
  void AddTimeRows(QGridLayout* grid);
  void AddSpanRow(QGridLayout* grid);
  void AddNotesRows(QGridLayout* grid);
  void BuildNotesPage();
  void Reset(TDateTime date);
  void Load(int index);
  // The time of day of one hour, minute and AM/PM trio; nothing, after the field's message,
  // when the hour or the minute does not parse.
  std::optional<TDateTime> ReadTime(int tag);
  // Whether a field's focus loss is the user leaving it for another control of the editor.
  bool FieldLeft() const;
  // Sets an hour field and its AM/PM selector from an hour of the day 0..23.
  void ShowHour(int tag, int hour);
  void ShowTime(int tag, TDateTime time);
  // The date of the notes grid's selected row, when it holds one.
  std::optional<TDateTime> SelectedNoteDate() const;

  AppContext& context_;
  int editIndex_ = -1;
  bool prepared_ = false;
  bool inFieldCheck_ = false;
  QLineEdit* hours_[3] = {};
  QLineEdit* minutes_[3] = {};
  QComboBox* ampm_[3] = {};
};
