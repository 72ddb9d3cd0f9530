#pragma once

#include <QDialog>

class AppContext;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The task editor: one window, made once and reused for every task. A caller prepares it
// with NewTask or ViewTask and then shows it; it does not wait for it. Save writes the
// controls into the task record and marks the calendar changed; it never changes whether
// the task is completed.
class T_TaskForm : public QDialog {
  Q_OBJECT
 public:
  explicit T_TaskForm(AppContext& context, QWidget* parent = nullptr);

  // Prepares the editor for a new task.
  void NewTask();
  // Prepares the editor for the task at this index of the calendar.
  void ViewTask(int index);

  // Shows the prepared editor, or brings it forward with what was just prepared when it is
  // open already.
  void Open();  // NOLINT(bugprone-virtual-near-miss): shows the window filled in, not QDialog::open

  // The task being edited, -1 for a new one.
  int EditIndex() const { return editIndex_; }
  bool Prepared() const { return prepared_; }

  // --- Handlers.
  void FormShow();
  // The due-date rule: the picker is enabled exactly while "Due Date" is checked.
  void CheckBox1Click();
  void SaveButtonClick();
  void CancelButtonClick();

  // --- Controls.
  QGroupBox* NoteDetails;
  QLineEdit* Title;
  QComboBox* PrioritySelect;
  QComboBox* CategorySelect;
  QCheckBox* CheckBox1;
  QDateEdit* DueDate;
  QPlainTextEdit* NotesMemo;
  QPushButton* SaveButton;
  QPushButton* CancelButton;

 signals:
  // The editor was shown: what the to-do window lists is current again.
  void Shown();
  // Save changed the calendar: the panel repaints, the to-do window refreshes when next
  // activated.
  void Saved();

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  void Reset();

  AppContext& context_;
  int editIndex_ = -1;
  bool prepared_ = false;
};
