#pragma once

#include "core/reminders.h"

#include <QWidget>
#include <functional>
#include <vector>

class QComboBox;
class QListWidget;
class QPushButton;

// "Orvane Alarm": the alarms that came due, in one window that stays open without taking the
// keyboard from whatever the user is typing in. Alarms that come due while it is open join
// its list. Snooze and Dismiss act on the selected alarms, or on all of them when none is
// selected; the box goes once its list is empty. Double-clicking an alarm opens its event.
class T_AlarmBox : public QWidget {
  Q_OBJECT

 public:
  explicit T_AlarmBox(QWidget* parent = nullptr);

  QListWidget* AlarmList = nullptr;
  QComboBox* SnoozeTime = nullptr;
  QPushButton* SnoozeButton = nullptr;
  QPushButton* DismissButton = nullptr;

  // Adds alarms with their texts (a summary and a detail line each) and shows the box,
  // snooze time preset to defaultMinutes when the box was not showing.
  struct Entry {
    DueAlarm alarm;
    QString summary;
    QString detail;
  };
  void AddAlarms(const std::vector<Entry>& entries, int defaultMinutes);
  const std::vector<DueAlarm>& Listed() const { return listed_; }

  // What Snooze (with its minutes) and a double-click do with an alarm.
  std::function<void(const DueAlarm&, int minutes)> OnSnooze;
  std::function<void(const DueAlarm&)> OnOpen;

  void SnoozeButtonClick();
  void DismissButtonClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // The selected rows, or every row when none is selected; highest first.
  std::vector<int> ChosenRows() const;
  void RemoveRows(const std::vector<int>& rows);
  void FitToText();

  std::vector<DueAlarm> listed_;
};
