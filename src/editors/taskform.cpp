#include "editors/taskform.h"

#include "editors/controls.h"
#include "platform/windowfit.h"
#include "session/appcontext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

const QDate DayZero(1899, 12, 30);

QDate PickerDate(TDateTime date) { return DayZero.addDays(DayNumber(date)); }
TDateTime FromPicker(const QDate& date) { return static_cast<TDateTime>(DayZero.daysTo(date)); }

const int NormalPriority = 2;

// The memo's lines as a task keeps them: a line break at the very end starts no line of its
// own, and an empty memo holds no lines at all.
QStringList MemoLines(const QString& text) {
  if (text.isEmpty()) return {};
  QString plain = text;
  plain.remove(QLatin1Char('\r'));
  QStringList lines = plain.split(QLatin1Char('\n'));
  if (lines.size() > 1 && lines.back().isEmpty()) lines.removeLast();
  return lines;
}

}  // namespace

T_TaskForm::T_TaskForm(AppContext& context, QWidget* parent) : QDialog(parent), context_(context) {
  setObjectName(QStringLiteral("T_TaskForm"));
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setWindowTitle(tr("New Task"));

  auto* layout = new QVBoxLayout(this);
  NoteDetails = Named(new QGroupBox(tr("Note Details"), this), "NoteDetails");
  layout->addWidget(NoteDetails);
  auto* grid = new QGridLayout(NoteDetails);
  grid->setColumnStretch(1, 1);

  auto* titleLabel = new QLabel(tr("Title/Short Name (displayed on calendar)"), NoteDetails);
  Title = Named(new QLineEdit(NoteDetails), "Title");
  titleLabel->setBuddy(Title);
  grid->addWidget(titleLabel, 0, 0, 1, 2);
  grid->addWidget(Title, 1, 0, 1, 2);

  // Only the five priorities can be chosen: there is no text to type that would match none.
  auto* priorityLabel = new QLabel(tr("Priority"), NoteDetails);
  PrioritySelect = Named(new QComboBox(NoteDetails), "PrioritySelect");
  PrioritySelect->setEditable(false);
  PrioritySelect->addItems({tr("Highest"), tr("High"), tr("Normal"), tr("Low"), tr("Lowest")});
  priorityLabel->setBuddy(PrioritySelect);
  grid->addWidget(priorityLabel, 2, 0);
  grid->addWidget(PrioritySelect, 2, 1, Qt::AlignLeft);

  auto* categoryLabel = new QLabel(tr("Category"), NoteDetails);
  CategorySelect = Named(new QComboBox(NoteDetails), "CategorySelect");
  CategorySelect->setEditable(true);
  CategorySelect->setInsertPolicy(QComboBox::NoInsert);
  CategorySelect->setMinimumWidth(160);
  categoryLabel->setBuddy(CategorySelect);
  grid->addWidget(categoryLabel, 3, 0);
  grid->addWidget(CategorySelect, 3, 1, Qt::AlignLeft);

  CheckBox1 = Named(new QCheckBox(tr("Due Date"), NoteDetails), "CheckBox1");
  DueDate = Named(new QDateEdit(NoteDetails), "DueDate");
  DueDate->setCalendarPopup(true);
  QString format = QLocale().dateFormat(QLocale::ShortFormat);
  if (!format.contains(QLatin1String("yyyy"))) format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
  DueDate->setDisplayFormat(format);
  DueDate->setAccessibleName(tr("Due Date"));
  grid->addWidget(CheckBox1, 4, 0);
  grid->addWidget(DueDate, 4, 1, Qt::AlignLeft);

  auto* notesLabel = new QLabel(tr("Full Description / Notes"), NoteDetails);
  NotesMemo = Named(new QPlainTextEdit(NoteDetails), "NotesMemo");
  NotesMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  NotesMemo->setTabChangesFocus(true);
  NotesMemo->setFixedSize(360, 120);
  notesLabel->setBuddy(NotesMemo);
  grid->addWidget(notesLabel, 5, 0, 1, 2);
  grid->addWidget(NotesMemo, 6, 0, 1, 2);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  SaveButton = Named(new QPushButton(tr("Save"), this), "SaveButton");
  CancelButton = Named(new QPushButton(tr("Cancel"), this), "CancelButton");
  SaveButton->setDefault(true);
  SaveButton->setAutoDefault(true);
  CancelButton->setAutoDefault(false);
  buttons->addWidget(SaveButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
  connect(SaveButton, &QPushButton::clicked, this, [this] { SaveButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });

  // FormCreate: nothing is prepared yet.
  Reset();
  prepared_ = false;
}

void T_TaskForm::Reset() {
  NotesMemo->clear();
  Title->clear();
  CategorySelect->setEditText(tr("Default"));
  PrioritySelect->setCurrentIndex(NormalPriority);
  DueDate->setDate(PickerDate(context_.clock().Today()));
  CheckBox1->setChecked(false);
  CheckBox1Click();
}

void T_TaskForm::NewTask() {
  setWindowTitle(tr("New Task"));
  Reset();
  editIndex_ = -1;
  prepared_ = true;
}

void T_TaskForm::ViewTask(int index) {
  setWindowTitle(tr("View/Edit Task"));
  Reset();
  const DataFormat& calendar = context_.calendar();
  if (index < 0 || index >= calendar.ToDoCount()) {
    // Nothing to show: the editor starts a new task instead of writing past the list.
    editIndex_ = -1;
    setWindowTitle(tr("New Task"));
    prepared_ = true;
    return;
  }
  const TToDo& task = calendar.ToDoArray[static_cast<size_t>(index)];
  Title->setText(task.Title);
  CategorySelect->setEditText(task.Category);
  NotesMemo->setPlainText(task.Notes.join(QLatin1Char('\n')));
  // A stored priority outside the five is shown, and saved, as "Normal", which is also how
  // the panel names it.
  const bool knownPriority = task.Priority >= 0 && task.Priority < PrioritySelect->count();
  PrioritySelect->setCurrentIndex(knownPriority ? task.Priority : NormalPriority);
  if (task.DueDate == 0) {
    CheckBox1->setChecked(false);
    DueDate->setDate(PickerDate(context_.clock().Today()));
  } else {
    CheckBox1->setChecked(true);
    DueDate->setDate(PickerDate(task.DueDate));
  }
  CheckBox1Click();
  editIndex_ = index;
  prepared_ = true;
}

void T_TaskForm::Open() {  // NOLINT(bugprone-virtual-near-miss)
  if (isVisible()) {
    FormShow();
  } else {
    show();
  }
  raise();
  activateWindow();
}

void T_TaskForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void T_TaskForm::FormShow() {
  emit Shown();
  CentreOnScreen(this);
  SaveButton->setDefault(true);
  CancelButton->setDefault(false);
  if (!prepared_) NewTask();
  prepared_ = false;
  Title->setFocus();
}

void T_TaskForm::CheckBox1Click() { DueDate->setEnabled(CheckBox1->isChecked()); }

void T_TaskForm::SaveButtonClick() {
  if (Title->text().isEmpty()) {
    context_.dialogs().Alert(tr("You haven't specified a name!"));
    Title->setFocus();
    return;
  }
  DataFormat& calendar = context_.calendar();
  int index = editIndex_;
  // A task that is no longer there (the calendar was replaced meanwhile) is saved as a new
  // one rather than written past the end of the list.
  if (index < 0 || index >= calendar.ToDoCount()) index = calendar.AppendToDo();
  TToDo& task = calendar.ToDoArray[static_cast<size_t>(index)];
  task.Title = Title->text();
  task.Category = CategorySelect->currentText();
  task.DueDate = CheckBox1->isChecked() ? FromPicker(DueDate->date()) : 0;
  task.Notes = MemoLines(NotesMemo->toPlainText());
  task.Priority = std::max(0, PrioritySelect->currentIndex());
  // The newer edit wins when two calendars are merged; without the stamp an edit would never
  // reach the task's copy on another computer.
  task.ModifyDate = context_.clock().Now();
  editIndex_ = index;

  calendar.DataChanged = true;
  hide();
  emit Saved();
}

void T_TaskForm::CancelButtonClick() { hide(); }

void T_TaskForm::reject() { CancelButtonClick(); }
