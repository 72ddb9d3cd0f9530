#include "editors/noteform.h"

#include "core/trimcontrol.h"
#include "editors/controls.h"
#include "editors/recurrencepage.h"
#include "editors/updownedit.h"
#include "platform/windowfit.h"
#include "session/appcontext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// 0..23 shown in 12-hour form: 0 shows 12, 13..23 show 1..11.
int TwelveHour(int hour) {
  const int h = hour % 12;
  return h == 0 ? 12 : h;
}

std::optional<int> ParseInt(const QString& text) {
  bool ok = false;
  const int v = text.trimmed().toInt(&ok);
  if (!ok) return std::nullopt;
  return v;
}

const int AM = 0;
const int PM = 1;

}  // namespace

T_NoteForm::T_NoteForm(AppContext& context, QWidget* parent) : QDialog(parent), context_(context) {
  setObjectName(QStringLiteral("T_NoteForm"));
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setWindowTitle(tr("New Note"));

  auto* layout = new QVBoxLayout(this);
  PageControl = Named(new QTabWidget(this), "PageControl");
  layout->addWidget(PageControl);

  BuildDetailsPage();
  RecurrencePage = new T_RecurrencePage(PageControl);
  RecurrencePage->StartTimePicker = StartTimePicker;
  RecurrencePage->Now = [this] { return context_.clock().Now(); };
  RecurrencePage->PatternSpanRule = [this](bool once) {
    if (once) {
      SpanOption->setEnabled(true);
    } else if (SpanOption->isEnabled()) {
      SpanOption->setChecked(false);
      SpanOption->setEnabled(false);
      SpanOptionClick();
    }
  };
  PageControl->addTab(RecurrencePage, tr("Recurrence"));
  BuildNotesPage();

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

  connect(SaveButton, &QPushButton::clicked, this, [this] { SaveButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });

  // FormCreate: nothing is prepared yet.
  prepared_ = false;
}

T_NoteForm::~T_NoteForm() {
  // The time boxes lose their focus while the children are destroyed, after this form's own
  // members are gone: their exit handlers must not run then.
  for (QLineEdit* edit : hours_) {
    if (edit) disconnect(edit, nullptr, this, nullptr);
  }
  for (QLineEdit* edit : minutes_) {
    if (edit) disconnect(edit, nullptr, this, nullptr);
  }
}

void T_NoteForm::BuildDetailsPage() {
  DetailsPage = Named(new QWidget(PageControl), "DetailsPage");
  PageControl->addTab(DetailsPage, tr("Details"));
  auto* pageLayout = new QVBoxLayout(DetailsPage);
  EventDetails = Named(new QGroupBox(tr("Event Details"), DetailsPage), "EventDetails");
  pageLayout->addWidget(EventDetails);
  auto* grid = new QGridLayout(EventDetails);
  grid->setColumnStretch(2, 1);
  AddNameRows(grid);
  AddStartDateRow(grid);
  AddTimeRows(grid);
  AddSpanRow(grid);
  AddNotesRows(grid);

  connect(UseStartEnd, &QCheckBox::toggled, this, [this] { UseStartEndClick(); });
  connect(AlarmActive, &QCheckBox::toggled, this, [this] { AlarmActiveClick(); });
  connect(SpanOption, &QCheckBox::toggled, this, [this] { SpanOptionClick(); });
  connect(SpanDays, &UpDownEdit::textChanged, this, [this] { T_RecurrencePage::NumEditChange(SpanDays); });

  UseStartEndClick();
  AlarmActiveClick();
  SpanDays->setEnabled(false);
  SpanDaysLabel->setEnabled(false);
}

// Rows 0 to 3: the title, the location and the category.
void T_NoteForm::AddNameRows(QGridLayout* grid) {
  auto* titleLabel = new QLabel(tr("Title/Short Name (displayed on calendar)"), EventDetails);
  Title = Named(new QLineEdit(EventDetails), "Title");
  titleLabel->setBuddy(Title);
  grid->addWidget(titleLabel, 0, 0, 1, 3);
  grid->addWidget(Title, 1, 0, 1, 3);

  auto* locationLabel = new QLabel(tr("Location"), EventDetails);
  LocationDisplay = Named(new QLineEdit(EventDetails), "LocationDisplay");
  locationLabel->setBuddy(LocationDisplay);
  grid->addWidget(locationLabel, 2, 0);
  grid->addWidget(LocationDisplay, 2, 1, 1, 2);

  auto* categoryLabel = new QLabel(tr("Category"), EventDetails);
  CategorySelect = Named(new QComboBox(EventDetails), "CategorySelect");
  CategorySelect->setEditable(true);
  CategorySelect->setInsertPolicy(QComboBox::NoInsert);
  CategorySelect->setEditText(tr("Default"));
  CategorySelect->setMinimumWidth(160);
  categoryLabel->setBuddy(CategorySelect);
  grid->addWidget(categoryLabel, 3, 0);
  grid->addWidget(CategorySelect, 3, 1, 1, 2, Qt::AlignLeft);
}

// Row 4: the start date and the all-day box.
void T_NoteForm::AddStartDateRow(QGridLayout* grid) {
  auto* startDateLabel = new QLabel(tr("Start Date"), EventDetails);
  StartTimePicker = NewDatePicker(EventDetails, QStringLiteral("StartTimePicker"));
  startDateLabel->setBuddy(StartTimePicker);
  UseStartEnd = Named(new QCheckBox(tr("All Day Event"), EventDetails), "UseStartEnd");
  UseStartEnd->setChecked(true);
  auto* dateRow = new QHBoxLayout;
  dateRow->addWidget(StartTimePicker);
  dateRow->addSpacing(12);
  dateRow->addWidget(UseStartEnd);
  dateRow->addStretch(1);
  grid->addWidget(startDateLabel, 4, 0);
  grid->addLayout(dateRow, 4, 1, 1, 2);
}

// One time row: hour, minute and AM/PM, paired by their tag.
QHBoxLayout* T_NoteForm::NewTimeRow(int tag, const char* hourName, const char* minName, const char* ampmName) {
  const int twoDigits = QFontMetrics(font()).horizontalAdvance(QStringLiteral("00")) + 16;
  auto* hour = Named(new QLineEdit(EventDetails), hourName);
  auto* colon = new QLabel(QStringLiteral(":"), EventDetails);
  auto* minute = Named(new QLineEdit(EventDetails), minName);
  auto* ampm = Named(new QComboBox(EventDetails), ampmName);
  for (QLineEdit* e : {hour, minute}) {
    e->setMaxLength(2);
    e->setFixedWidth(twoDigits);
    e->setAlignment(Qt::AlignRight);
  }
  ampm->addItems({tr("AM"), tr("PM")});
  hours_[tag] = hour;
  minutes_[tag] = minute;
  ampm_[tag] = ampm;
  hour->setProperty("tag", tag);
  minute->setProperty("tag", tag);
  ampm->setProperty("tag", tag);
  connect(hour, &QLineEdit::editingFinished, this, [this, tag] { HourExit(tag); });
  connect(minute, &QLineEdit::editingFinished, this, [this, tag] { MinExit(tag); });
  connect(ampm, &QComboBox::activated, this, [this, tag] { SelectAMPMExit(tag); });
  auto* row = new QHBoxLayout;
  row->setSpacing(3);
  row->addWidget(hour);
  row->addWidget(colon);
  row->addWidget(minute);
  row->addSpacing(4);
  row->addWidget(ampm);
  row->addStretch(1);
  return row;
}

// Rows 5 to 7: the start, end and alarm times.
void T_NoteForm::AddTimeRows(QGridLayout* grid) {
  StartTimeLabel = Named(new QLabel(tr("Start Time"), EventDetails), "StartTimeLabel");
  grid->addWidget(StartTimeLabel, 5, 0);
  QHBoxLayout* startRow = NewTimeRow(0, "StartHour", "StartMin", "S_SelectAMPM");
  // An event brought in with a time zone of its own shows and keeps that zone's times.
  ZoneLabel = Named(new QLabel(EventDetails), "ZoneLabel");
  ZoneLabel->hide();
  startRow->insertWidget(startRow->count() - 1, ZoneLabel);
  grid->addLayout(startRow, 5, 1, 1, 2);
  EndTimeLabel = Named(new QLabel(tr("End Time"), EventDetails), "EndTimeLabel");
  grid->addWidget(EndTimeLabel, 6, 0);
  grid->addLayout(NewTimeRow(1, "EndHour", "EndMin", "E_SelectAMPM"), 6, 1, 1, 2);

  AlarmActive = Named(new QCheckBox(EventDetails), "AlarmActive");
  AlarmActive->setAccessibleName(tr("Alarm Time"));
  AlarmTimeLabel = Named(new QLabel(tr("Alarm Time"), EventDetails), "AlarmTimeLabel");
  auto* alarmLabelRow = new QHBoxLayout;
  alarmLabelRow->setSpacing(2);
  alarmLabelRow->addWidget(AlarmActive);
  alarmLabelRow->addWidget(AlarmTimeLabel);
  alarmLabelRow->addStretch(1);
  grid->addLayout(alarmLabelRow, 7, 0);
  grid->addLayout(NewTimeRow(2, "AlarmHour", "AlarmMin", "A_SelectAMPM"), 7, 1, 1, 2);

  StartHour = hours_[0];
  StartMin = minutes_[0];
  S_SelectAMPM = ampm_[0];
  EndHour = hours_[1];
  EndMin = minutes_[1];
  E_SelectAMPM = ampm_[1];
  AlarmHour = hours_[2];
  AlarmMin = minutes_[2];
  A_SelectAMPM = ampm_[2];
  StartHour->setText(QStringLiteral("1"));
  EndHour->setText(QStringLiteral("12"));
  AlarmHour->setText(QStringLiteral("12"));
  for (QLineEdit* m : minutes_) m->setText(QStringLiteral("00"));
}

// Row 8: spanning the event over days.
void T_NoteForm::AddSpanRow(QGridLayout* grid) {
  SpanOption = Named(new QCheckBox(tr("Span this event over "), EventDetails), "SpanOption");
  SpanDays = Named(new UpDownEdit(2, 100, EventDetails), "SpanDays");
  SpanDays->setText(QStringLiteral("2"));
  SpanDaysLabel = Named(new QLabel(tr("day(s)"), EventDetails), "SpanDaysLabel");
  auto* spanRow = new QHBoxLayout;
  spanRow->setSpacing(4);
  spanRow->addWidget(SpanOption);
  spanRow->addWidget(SpanDays);
  spanRow->addWidget(SpanDaysLabel);
  spanRow->addStretch(1);
  grid->addLayout(spanRow, 8, 0, 1, 3);
}

// Rows 9 and 10: the description.
void T_NoteForm::AddNotesRows(QGridLayout* grid) {
  auto* notesLabel = new QLabel(tr("Full Description / Notes"), EventDetails);
  NotesMemo = Named(new QPlainTextEdit(EventDetails), "NotesMemo");
  NotesMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  NotesMemo->setTabChangesFocus(true);
  NotesMemo->setMinimumHeight(90);
  notesLabel->setBuddy(NotesMemo);
  grid->addWidget(notesLabel, 9, 0, 1, 3);
  grid->addWidget(NotesMemo, 10, 0, 1, 3);
}

void T_NoteForm::BuildNotesPage() {
  NotesPage = Named(new QWidget(PageControl), "NotesPage");
  PageControl->addTab(NotesPage, tr("Notes"));
  auto* v = new QVBoxLayout(NotesPage);

  NoteList = Named(new QTableWidget(1, 2, NotesPage), "NoteList");
  NoteList->setHorizontalHeaderLabels({tr("Date"), tr("Note")});
  NoteList->verticalHeader()->hide();
  NoteList->setSelectionBehavior(QAbstractItemView::SelectRows);
  NoteList->setSelectionMode(QAbstractItemView::SingleSelection);
  NoteList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  NoteList->setWordWrap(false);
  NoteList->setAlternatingRowColors(true);
  QHeaderView* header = NoteList->horizontalHeader();
  header->setSectionsMovable(false);
  header->setSectionsClickable(false);
  header->setHighlightSections(false);
  // The date column fits the longest date ("12/28/2026") in the user's font; rows keep to
  // 16 pixels unless the font needs more.
  const QFontMetrics fm(NoteList->font());
  const int dateWidth = std::max(64, fm.horizontalAdvance(QStringLiteral("12/28/2026")) + 14);
  header->resizeSection(0, dateWidth);
  header->resizeSection(1, 420);
  header->setStretchLastSection(true);
  NoteList->verticalHeader()->setDefaultSectionSize(std::max(16, fm.height() + 4));
  NoteList->setMinimumSize(dateWidth + 420 + 2 * NoteList->frameWidth() + 2, 260);
  v->addWidget(NoteList);

  DateTimePicker1 = NewDatePicker(NotesPage, QStringLiteral("DateTimePicker1"));
  Button1 = Named(new QPushButton(tr("Add Note"), NotesPage), "Button1");
  Button3 = Named(new QPushButton(tr("Edit Note"), NotesPage), "Button3");
  Button2 = Named(new QPushButton(tr("Remove Note"), NotesPage), "Button2");
  for (QPushButton* b : {Button1, Button3, Button2}) b->setAutoDefault(false);
  auto* row = new QHBoxLayout;
  row->addWidget(DateTimePicker1);
  row->addWidget(Button1);
  row->addStretch(1);
  row->addWidget(Button3);
  row->addWidget(Button2);
  v->addLayout(row);

  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(NoteList, &QTableWidget::cellDoubleClicked, this, [this] { Button3Click(); });
}

// --- Entry points.

void T_NoteForm::NewNote(TDateTime date) {
  setWindowTitle(tr("New Note"));
  Reset(date);
  ZoneLabel->hide();
  editIndex_ = -1;
  RefreshNoteGrid();
  Button1->setEnabled(false);
  Button2->setEnabled(false);
  prepared_ = true;
}

void T_NoteForm::ViewNote(int index) {
  DataFormat& calendar = context_.calendar();
  if (index < 0 || index >= calendar.NoteCount()) return;
  setWindowTitle(tr("View/Edit Event"));
  Reset(DatePart(calendar.NoteArray[index].StartDate));
  editIndex_ = index;
  Load(index);
  Button1->setEnabled(true);
  Button2->setEnabled(true);
  prepared_ = true;
}

void T_NoteForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void T_NoteForm::FormShow() {
  CentreOnScreen(this);
  SaveButton->setDefault(true);
  CancelButton->setDefault(false);
  if (!prepared_) NewNote(context_.clock().Now());
  prepared_ = false;
  RecurrencePage->EnableExceptionControls();
  Title->setFocus();
}

// --- Reset and Load.

void T_NoteForm::Reset(TDateTime date) {
  const TDateTime now = context_.clock().Now();
  int hour = 0, minute = 0, second = 0, msec = 0;
  DecodeTime(TimePart(now), hour, minute, second, msec);
  ShowHour(0, hour);
  StartMin->setText(QStringLiteral("00"));

  const int startShown = TwelveHour(hour);
  EndHour->setText(QString::number(startShown % 12 + 1));
  const int startHalf = S_SelectAMPM->currentIndex();
  E_SelectAMPM->setCurrentIndex(startShown == 11 ? 1 - startHalf : startHalf);
  EndMin->setText(QStringLiteral("00"));

  DateTimePicker1->setDate(ToQDate(DatePart(now)));
  RecurrencePage->ResetRecurrence(DatePart(date));
  StartTimePicker->setDate(ToQDate(DatePart(date)));

  AlarmMin->setText(QStringLiteral("00"));
  AlarmHour->setText(QStringLiteral("12"));

  UseStartEnd->setChecked(context_.display().AllDayDflt);
  UseStartEndClick();
  AlarmActive->setChecked(false);
  AlarmActiveClick();
  SpanOption->setChecked(false);
  SpanOptionClick();
  SpanDays->setText(QStringLiteral("2"));

  Title->clear();
  LocationDisplay->clear();
  NotesMemo->clear();

  NoteList->clearContents();
  NoteList->setRowCount(1);
  PageControl->setCurrentWidget(DetailsPage);
}

void T_NoteForm::Load(int index) {
  const TNote e = context_.calendar().NoteArray[index];
  Title->setText(e.Title);
  CategorySelect->setEditText(e.Category);
  LocationDisplay->setText(e.Location);
  QString notes = e.Notes;
  NotesMemo->setPlainText(notes.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

  ShowTime(0, e.StartTime);
  ShowTime(1, e.EndTime);
  ShowTime(2, e.AlarmTime);
  ZoneLabel->setText(tr("(%1 time)").arg(e.TimeZone));
  ZoneLabel->setVisible(e.Start && !e.TimeZone.isEmpty());

  StartTimePicker->setDate(ToQDate(DatePart(e.StartDate)));
  RecurrencePage->SyncRecurrenceControls();

  SpanOption->setChecked(e.Span);
  SpanOptionClick();
  SpanDays->setText(QString::number(e.SpanRange));
  UseStartEnd->setChecked(!e.Start);
  UseStartEndClick();
  AlarmActive->setChecked(e.Alarm);
  AlarmActiveClick();

  RecurrencePage->LoadRecurrence(e);
  RefreshNoteGrid();
}

void T_NoteForm::ShowHour(int tag, int hour) {
  hours_[tag]->setText(QString::number(TwelveHour(hour)));
  ampm_[tag]->setCurrentIndex(hour >= 12 ? PM : AM);
}

void T_NoteForm::ShowTime(int tag, TDateTime time) {
  int hour = 0, minute = 0, second = 0, msec = 0;
  DecodeTime(TimePart(time), hour, minute, second, msec);
  ShowHour(tag, hour);
  minutes_[tag]->setText(QStringLiteral("%1").arg(minute, 2, 10, QLatin1Char('0')));
}

// --- Control rules.

void T_NoteForm::SpanOptionClick() {
  const bool on = SpanOption->isChecked();
  SpanDays->setEnabled(on);
  SpanDaysLabel->setEnabled(on);
  RecurrencePage->ExceptionPanelToFront(on);
}

void T_NoteForm::UseStartEndClick() {
  const bool timed = !UseStartEnd->isChecked();
  StartTimeLabel->setEnabled(timed);
  EndTimeLabel->setEnabled(timed);
  for (int tag : {0, 1}) {
    hours_[tag]->setEnabled(timed);
    minutes_[tag]->setEnabled(timed);
    ampm_[tag]->setEnabled(timed);
  }
}

void T_NoteForm::AlarmActiveClick() {
  const bool on = AlarmActive->isChecked();
  AlarmTimeLabel->setEnabled(on);
  AlarmHour->setEnabled(on);
  AlarmMin->setEnabled(on);
  A_SelectAMPM->setEnabled(on);
}

// --- Field checks.

bool T_NoteForm::FieldLeft() const {
  // A field loses the focus also while its own message box is up, when the user turns to
  // another window, and when the editor is closed; none of these leaves it within the editor.
  return !inFieldCheck_ && !isHidden() && isActiveWindow();
}

void T_NoteForm::HourExit(int tag) {
  if (!FieldLeft()) return;
  inFieldCheck_ = true;
  QLineEdit* edit = hours_[tag];
  const std::optional<int> v = ParseInt(edit->text());
  if (!v || *v < 0 || *v > 24) {
    context_.dialogs().MessageBox(tr("Please enter a valid hour value."), tr("Invalid Entry"), Dialogs::Buttons::Ok,
                                  Dialogs::Icon::Warning);
    int hour = 0, minute = 0, second = 0, msec = 0;
    DecodeTime(context_.clock().Time(), hour, minute, second, msec);
    ShowHour(tag, hour);
  } else if (*v == 0) {
    edit->setText(QStringLiteral("12"));
    ampm_[tag]->setCurrentIndex(AM);
  } else if (*v >= 13) {
    edit->setText(QString::number(*v - 12));
    ampm_[tag]->setCurrentIndex(PM);
  }
  inFieldCheck_ = false;
}

void T_NoteForm::MinExit(int tag) {
  if (!FieldLeft()) return;
  inFieldCheck_ = true;
  QLineEdit* edit = minutes_[tag];
  const std::optional<int> v = ParseInt(edit->text());
  if (!v || *v < 0 || *v > 59) {
    context_.dialogs().MessageBox(tr("Please enter a valid minute value."), tr("Invalid Entry"), Dialogs::Buttons::Ok,
                                  Dialogs::Icon::Warning);
    edit->setText(QStringLiteral("00"));
  } else {
    edit->setText(QStringLiteral("%1").arg(*v, 2, 10, QLatin1Char('0')));
  }
  inFieldCheck_ = false;
}

void T_NoteForm::SelectAMPMExit(int tag) {
  QComboBox* box = ampm_[tag];
  if (box->currentIndex() < 0) box->setCurrentIndex(AM);
}

std::optional<TDateTime> T_NoteForm::ReadTime(int tag) {
  auto refuse = [this](QWidget* field, const QString& message) {
    context_.dialogs().MessageBox(message, tr("Invalid Entry"), Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
    PageControl->setCurrentWidget(DetailsPage);
    field->setFocus();
    return std::nullopt;
  };
  std::optional<int> hour = ParseInt(hours_[tag]->text());
  if (!hour || *hour < 0 || *hour > 24) return refuse(hours_[tag], tr("Please enter a valid hour value."));
  const std::optional<int> minute = ParseInt(minutes_[tag]->text());
  if (!minute || *minute < 0 || *minute > 59) return refuse(minutes_[tag], tr("Please enter a valid minute value."));
  // An hour written in 24-hour form reads as leaving the field would show it.
  if (*hour == 0 || *hour >= 13) {
    ShowHour(tag, *hour == 24 ? 12 : *hour);
    hour = ParseInt(hours_[tag]->text());
  }
  const bool pm = ampm_[tag]->currentIndex() == PM;
  const int h24 = (*hour % 12) + (pm ? 12 : 0);
  return EncodeTime(h24, *minute);
}

// --- Save and Cancel.

void T_NoteForm::SaveButtonClick() {
  Dialogs& dialogs = context_.dialogs();
  if (Title->text().isEmpty()) {
    dialogs.Alert(tr("You haven't specified an event name!"));
    return;
  }
  // Every field that is read below is checked first, so that a field that does not parse
  // leaves the calendar exactly as it was.
  TDateTime times[3] = {};
  for (int tag = 0; tag < 3; ++tag) {
    const std::optional<TDateTime> t = ReadTime(tag);
    if (!t) return;
    times[tag] = *t;
  }
  const std::optional<int> spanDays = SpanDays->Value();
  if (!spanDays || *spanDays < 1) {
    dialogs.MessageBox(tr("Please enter a valid number of days."), tr("Invalid Entry"), Dialogs::Buttons::Ok,
                       Dialogs::Icon::Warning);
    PageControl->setCurrentWidget(DetailsPage);
    SpanDays->setFocus();
    return;
  }
  if (UpDownEdit* bad = RecurrencePage->CheckFields(dialogs)) {
    PageControl->setCurrentWidget(RecurrencePage);
    bad->setFocus();
    return;
  }

  DataFormat& calendar = context_.calendar();
  int index = editIndex_;
  if (index < 0 || index >= calendar.NoteCount()) index = calendar.AppendNote();
  TNote& e = calendar.NoteArray[index];
  const TDateTime startDate = FromQDate(StartTimePicker->date());

  RecurrencePage->ClearRecurrence(e, startDate);
  e.Title = Title->text();
  e.Category = CategorySelect->currentText();
  e.Location = LocationDisplay->text();
  QString notes = TrimControl(NotesMemo->toPlainText());
  notes.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  e.Notes = notes;
  e.StartTime = times[0];
  e.EndTime = times[1];
  e.AlarmTime = times[2];
  e.StartDate = startDate;
  e.Span = SpanOption->isChecked();
  e.Start = !UseStartEnd->isChecked();
  e.Alarm = AlarmActive->isChecked();
  e.SpanRange = *spanDays;
  RecurrencePage->SaveRecurrence(e);
  // Now, date and time of day: the newer edit wins when two calendars are merged.
  e.ModifyDate = context_.clock().Now();

  calendar.DataChanged = true;
  done(QDialog::Accepted);
  emit Saved();
}

void T_NoteForm::CancelButtonClick() {
  done(QDialog::Rejected);
  emit Cancelled();
}

void T_NoteForm::reject() { CancelButtonClick(); }

// --- Per-date notes.

void T_NoteForm::RefreshNoteGrid() {
  NoteList->clearContents();
  const DataFormat& calendar = context_.calendar();
  const bool have = editIndex_ >= 0 && editIndex_ < calendar.NoteCount();
  const QList<TRecurNote> notes = have ? calendar.NoteArray[editIndex_].RecurNotes : QList<TRecurNote>();
  NoteList->setRowCount(std::max<int>(1, static_cast<int>(notes.size())));
  for (int row = 0; row < notes.size(); ++row) {
    const TRecurNote& n = notes[row];
    auto* date = new QTableWidgetItem(FormatDateTime(QStringLiteral("m/d/yyyy"), DatePart(n.Date)));
    date->setData(Qt::UserRole, DatePart(n.Date));
    QString text = n.Data;
    auto* note = new QTableWidgetItem(text.replace(QStringLiteral("\r\n"), QStringLiteral("\\")));
    note->setToolTip(n.Data);
    NoteList->setItem(row, 0, date);
    NoteList->setItem(row, 1, note);
  }
}

std::optional<TDateTime> T_NoteForm::SelectedNoteDate() const {
  const int row = NoteList->currentRow();
  if (row < 0 || NoteList->selectionModel()->selectedRows().isEmpty()) return std::nullopt;
  const QTableWidgetItem* date = NoteList->item(row, 0);
  if (!date || !date->data(Qt::UserRole).isValid()) return std::nullopt;
  return date->data(Qt::UserRole).toDouble();
}

void T_NoteForm::Button1Click() {
  if (editIndex_ < 0) return;
  const QString text =
      context_.dialogs().EditMemo(tr("Enter Note"), tr("Please type your note and click OK."), QString());
  if (!text.isEmpty()) {
    context_.calendar().AddDayNote(editIndex_, text, FromQDate(DateTimePicker1->date()));
    emit DayNotesChanged();
  }
  RefreshNoteGrid();
}

void T_NoteForm::Button2Click() {
  const std::optional<TDateTime> date = SelectedNoteDate();
  if (editIndex_ < 0 || !date) return;
  context_.calendar().RemoveDayNote(editIndex_, *date);
  emit DayNotesChanged();
  RefreshNoteGrid();
}

void T_NoteForm::Button3Click() {
  const std::optional<TDateTime> date = SelectedNoteDate();
  if (editIndex_ < 0 || !date) return;
  DataFormat& calendar = context_.calendar();
  const QString before = calendar.GetDayNote(editIndex_, *date);
  const QString text = context_.dialogs().EditMemo(tr("Edit Note"), tr("Edit your note below."), before);
  if (text != before) {
    calendar.RemoveDayNote(editIndex_, *date);
    calendar.AddDayNote(editIndex_, text, *date);
    emit DayNotesChanged();
  }
  RefreshNoteGrid();
}
