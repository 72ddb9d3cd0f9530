#include "editors/recurrencepage.h"

#include "core/records.h"
#include "core/repeattype.h"
#include "editors/controls.h"
#include "editors/updownedit.h"
#include "platform/dialogs.h"

#include <QButtonGroup>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegion>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <variant>

namespace {

// Panels covered by those in front of them are hidden (UpdateSeen), so none needs to paint
// its own background over the ones behind it.
QFrame* NewPanel(QWidget* parent, const char* name) { return Named(new QFrame(parent), name); }

QComboBox* NewList(QWidget* parent, const char* name, const QStringList& items) {
  auto* box = Named(new QComboBox(parent), name);
  box->addItems(items);
  box->setCurrentIndex(0);
  return box;
}

QStringList CardinalNames() {
  return {QObject::tr("First"), QObject::tr("Second"), QObject::tr("Third"), QObject::tr("Fourth"),
          QObject::tr("Last")};
}

QStringList DayNames() {
  QStringList names;
  for (const char* n : LongDayNames) names << QObject::tr(n);
  return names;
}

QStringList MonthNames() {
  QStringList names;
  for (const char* n : LongMonthNames) names << QObject::tr(n);
  return names;
}

// Selects an item when the index names one; a stored value outside the list leaves the
// selection as it is, so that saving again never writes an index of -1.
void SelectIndex(QComboBox* box, int index) {
  if (index >= 0 && index < box->count()) box->setCurrentIndex(index);
}

// A row of widgets and texts from left to right; plain texts become labels.
QHBoxLayout* Row(QWidget* parent, std::initializer_list<std::variant<QWidget*, const char*>> parts) {
  auto* row = new QHBoxLayout;
  row->setSpacing(4);
  for (const auto& part : parts) {
    if (const auto* w = std::get_if<QWidget*>(&part)) {
      row->addWidget(*w);
    } else {
      row->addWidget(new QLabel(QObject::tr(std::get<const char*>(part)), parent));
    }
  }
  row->addStretch(1);
  return row;
}

}  // namespace

QDate ToQDate(TDateTime date) {
  int y = 0, m = 0, d = 0;
  DecodeDate(date, y, m, d);
  return QDate(y, m, d);
}

TDateTime FromQDate(const QDate& date) { return EncodeDate(date.year(), date.month(), date.day()); }

QDateEdit* NewDatePicker(QWidget* parent, const QString& name) {
  auto* picker = new QDateEdit(parent);
  picker->setObjectName(name);
  picker->setCalendarPopup(true);
  QString format = QLocale().dateFormat(QLocale::ShortFormat);
  if (!format.contains(QLatin1String("yyyy"))) format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
  picker->setDisplayFormat(format);
  return picker;
}

T_RecurrencePage::T_RecurrencePage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("RecurrencePage"));
  auto* outer = new QVBoxLayout(this);
  auto* group = Named(new QGroupBox(tr("Recurrence Options"), this), "RecurrenceOptions");
  outer->addWidget(group);
  outer->addStretch(1);
  auto* groupLayout = new QHBoxLayout(group);

  PatternButtons = Named(new QWidget(group), "PatternButtons");
  auto* buttons = new QVBoxLayout(PatternButtons);
  buttons->setContentsMargins(0, 0, 0, 0);
  OnceButton = Named(new QRadioButton(tr("One Time"), PatternButtons), "OnceButton");
  DailyButton = Named(new QRadioButton(tr("Daily"), PatternButtons), "DailyButton");
  WeeklyButton = Named(new QRadioButton(tr("Weekly"), PatternButtons), "WeeklyButton");
  MonthlyButton = Named(new QRadioButton(tr("Monthly"), PatternButtons), "MonthlyButton");
  YearlyButton = Named(new QRadioButton(tr("Yearly"), PatternButtons), "YearlyButton");
  PatternGroup = new QButtonGroup(this);
  int tag = 0;
  for (QRadioButton* b : {OnceButton, DailyButton, WeeklyButton, MonthlyButton, YearlyButton}) {
    buttons->addWidget(b);
    PatternGroup->addButton(b, tag++);
  }
  buttons->addStretch(1);
  OnceButton->setChecked(true);
  groupLayout->addWidget(PatternButtons, 0, Qt::AlignTop);

  auto* line = new QFrame(group);
  line->setFrameShape(QFrame::VLine);
  line->setFrameShadow(QFrame::Sunken);
  groupLayout->addWidget(line);

  PanelArea = Named(new QWidget(group), "PanelArea");
  groupLayout->addWidget(PanelArea, 0, Qt::AlignTop);

  BuildPatternPanels();
  BuildRangePanel();
  BuildExceptionPanel();
  OncePanel = NewPanel(PanelArea, "OncePanel");
  panels_ = {DailyPanel, WeeklyPanel, MonthlyPanel, YearlyPanel, RecurRangePanel, ExceptionPanel, OncePanel};
  PlacePanels();
  UpdateSeen();

  connect(PatternGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) ButtonClick(id);
  });
}

void T_RecurrencePage::BuildPatternPanels() {
  // Daily.
  DailyPanel = NewPanel(PanelArea, "DailyPanel");
  DailyXDaysButton = Named(new QRadioButton(tr("Every"), DailyPanel), "DailyXDaysButton");
  DailyXDays = Named(new UpDownEdit(1, 365, DailyPanel), "DailyXDays");
  DailyDaysLabel = Named(new QLabel(tr("Day(s)"), DailyPanel), "DailyDaysLabel");
  DailyWeekdayButton = Named(new QRadioButton(tr("Every Weekday"), DailyPanel), "DailyWeekdayButton");
  {
    auto* v = new QVBoxLayout(DailyPanel);
    v->addLayout(Row(DailyPanel, {DailyXDaysButton, DailyXDays, DailyDaysLabel}));
    v->addLayout(Row(DailyPanel, {DailyWeekdayButton}));
    v->addStretch(1);
  }
  DailyXDaysButton->setChecked(true);
  connect(DailyXDaysButton, &QRadioButton::toggled, this, [this] { DailyXDaysButtonClick(); });

  // Weekly.
  WeeklyPanel = NewPanel(PanelArea, "WeeklyPanel");
  WeeklyXWeeks = Named(new UpDownEdit(1, 104, WeeklyPanel), "WeeklyXWeeks");
  const char* boxNames[7] = {"WeeklySunday",   "WeeklyMonday", "WeeklyTuesday", "WeeklyWednesday",
                             "WeeklyThursday", "WeeklyFriday", "WeeklySaturday"};
  for (int w = 0; w < 7; ++w) weekdays_[w] = Named(new QCheckBox(tr(LongDayNames[w]), WeeklyPanel), boxNames[w]);
  WeeklySunday = weekdays_[0];
  WeeklyMonday = weekdays_[1];
  WeeklyTuesday = weekdays_[2];
  WeeklyWednesday = weekdays_[3];
  WeeklyThursday = weekdays_[4];
  WeeklyFriday = weekdays_[5];
  WeeklySaturday = weekdays_[6];
  {
    auto* v = new QVBoxLayout(WeeklyPanel);
    v->addLayout(Row(WeeklyPanel, {"Recur Every ", WeeklyXWeeks, "Week(s) on:"}));
    auto* grid = new QGridLayout;
    for (int w = 0; w < 7; ++w) grid->addWidget(weekdays_[w], w / 4, w % 4);
    v->addLayout(grid);
    v->addStretch(1);
  }

  // Monthly.
  MonthlyPanel = NewPanel(PanelArea, "MonthlyPanel");
  MonthlyDayXofXButton = Named(new QRadioButton(tr("Day "), MonthlyPanel), "MonthlyDayXofXButton");
  MonthlyDayX = Named(new UpDownEdit(1, 31, MonthlyPanel), "MonthlyDayX");
  MonthlyDayX->setToolTip(tr(
      "If the day is higher than the number of days in the month, the event will show on the last day of the month."));
  MonthlyXMonths = Named(new UpDownEdit(1, 24, MonthlyPanel), "MonthlyXMonths");
  MonthlyNthDOWButton = Named(new QRadioButton(tr("The "), MonthlyPanel), "MonthlyNthDOWButton");
  MonthlyNthDay = NewList(MonthlyPanel, "MonthlyNthDay", CardinalNames());
  MonthlyDOW = NewList(MonthlyPanel, "MonthlyDOW", DayNames());
  MonthlyDOWXMonths = Named(new UpDownEdit(1, 24, MonthlyPanel), "MonthlyDOWXMonths");
  {
    auto* v = new QVBoxLayout(MonthlyPanel);
    v->addLayout(Row(MonthlyPanel, {MonthlyDayXofXButton, MonthlyDayX, "of every ", MonthlyXMonths, "month(s)"}));
    v->addLayout(Row(MonthlyPanel,
                     {MonthlyNthDOWButton, MonthlyNthDay, MonthlyDOW, "of every ", MonthlyDOWXMonths, "month(s)"}));
    v->addStretch(1);
  }
  MonthlyDayXofXButton->setChecked(true);

  // Yearly.
  YearlyPanel = NewPanel(PanelArea, "YearlyPanel");
  YearlyMonthDayButton = Named(new QRadioButton(tr("Every"), YearlyPanel), "YearlyMonthDayButton");
  YearlyMonthDD = NewList(YearlyPanel, "YearlyMonthDD", MonthNames());
  YearlyMMDay = Named(new UpDownEdit(1, 31, YearlyPanel), "YearlyMMDay");
  YearlyNthDOWButton = Named(new QRadioButton(tr("Every "), YearlyPanel), "YearlyNthDOWButton");
  YearlyNthDOW = NewList(YearlyPanel, "YearlyNthDOW", CardinalNames());
  YearlyDOW = NewList(YearlyPanel, "YearlyDOW", DayNames());
  YearlyNthDowMonth = NewList(YearlyPanel, "YearlyNthDowMonth", MonthNames());
  {
    auto* v = new QVBoxLayout(YearlyPanel);
    v->addLayout(Row(YearlyPanel, {YearlyMonthDayButton, YearlyMonthDD, YearlyMMDay}));
    v->addLayout(Row(YearlyPanel, {YearlyNthDOWButton, YearlyNthDOW, YearlyDOW, "of", YearlyNthDowMonth}));
    v->addStretch(1);
  }
  YearlyMonthDayButton->setChecked(true);

  for (UpDownEdit* e : {DailyXDays, WeeklyXWeeks, MonthlyDayX, MonthlyXMonths, MonthlyDOWXMonths, YearlyMMDay})
    e->setText(QStringLiteral("1"));
  for (UpDownEdit* e : {DailyXDays, WeeklyXWeeks, MonthlyDOWXMonths})
    connect(e, &UpDownEdit::textChanged, this, [e] { NumEditChange(e); });
  for (UpDownEdit* e : {MonthlyDayX, YearlyMMDay})
    connect(e, &UpDownEdit::textChanged, this, [e] { MonthlyDayXChange(e); });
}

void T_RecurrencePage::BuildRangePanel() {
  RecurRangePanel = NewPanel(PanelArea, "RecurRangePanel");
  RecurRangePanel->setFrameShape(QFrame::StyledPanel);
  RepeatInfiniteButton = Named(new QRadioButton(tr("No end date"), RecurRangePanel), "RepeatInfiniteButton");
  RepeatCountButton = Named(new QRadioButton(tr("End after"), RecurRangePanel), "RepeatCountButton");
  RepeatCount = Named(new UpDownEdit(1, 100, RecurRangePanel), "RepeatCount");
  RepeatCount->setText(QStringLiteral("1"));
  RepeatCountLabel = Named(new QLabel(tr("occurence(s)"), RecurRangePanel), "RepeatCountLabel");
  RepeatUntilButton = Named(new QRadioButton(tr("End after"), RecurRangePanel), "RepeatUntilButton");
  EndDatePicker = NewDatePicker(RecurRangePanel, QStringLiteral("EndDatePicker"));
  auto* grid = new QGridLayout(RecurRangePanel);
  grid->addWidget(RepeatInfiniteButton, 0, 0, 1, 3);
  grid->addWidget(RepeatCountButton, 1, 0);
  grid->addWidget(RepeatCount, 1, 1);
  grid->addWidget(RepeatCountLabel, 1, 2);
  grid->addWidget(RepeatUntilButton, 2, 0);
  grid->addWidget(EndDatePicker, 2, 1, 1, 2, Qt::AlignLeft);
  grid->setColumnStretch(3, 1);
  RepeatInfiniteButton->setChecked(true);
  RepeatCount->setEnabled(false);
  EndDatePicker->setEnabled(false);
  connect(RepeatInfiniteButton, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RepeatInfiniteButtonClick();
  });
  connect(RepeatCountButton, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RepeatCountButtonClick();
  });
  connect(RepeatUntilButton, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RepeatUntilButtonClick();
  });
}

void T_RecurrencePage::BuildExceptionPanel() {
  ExceptionPanel = NewPanel(PanelArea, "ExceptionPanel");
  ExceptionPanel->setFrameShape(QFrame::StyledPanel);
  ExceptionLabel = Named(new QLabel(tr("Add an exception:"), ExceptionPanel), "ExceptionLabel");
  ExceptionPicker = NewDatePicker(ExceptionPanel, QStringLiteral("ExceptionPicker"));
  ExceptionList = Named(new QListWidget(ExceptionPanel), "ExceptionList");
  ExceptionList->setFlow(QListView::TopToBottom);
  ExceptionList->setWrapping(true);
  ExceptionList->setResizeMode(QListView::Adjust);
  ExceptionList->setUniformItemSizes(true);
  ExceptionList->setSelectionMode(QAbstractItemView::SingleSelection);
  // Four columns of dates.
  const QFontMetrics fm(ExceptionList->font());
  const int column = fm.horizontalAdvance(QStringLiteral("12/28/2026")) + 14;
  const int row = fm.height() + 4;
  ExceptionList->setGridSize(QSize(column, row));
  ExceptionList->setFixedSize(4 * column + 2 * ExceptionList->frameWidth() + 4,
                              4 * row + 2 * ExceptionList->frameWidth());
  RemoveExceptionButton = Named(new QPushButton(tr("Remove Exception"), ExceptionPanel), "RemoveExceptionButton");
  RemoveExceptionButton->setEnabled(false);
  ExceptionLabel->setBuddy(ExceptionPicker);

  auto* h = new QHBoxLayout(ExceptionPanel);
  auto* left = new QVBoxLayout;
  left->addWidget(ExceptionLabel);
  left->addWidget(ExceptionPicker);
  left->addStretch(1);
  left->addWidget(RemoveExceptionButton);
  h->addLayout(left);
  h->addWidget(ExceptionList);
  h->addStretch(1);

  // A date chosen in the drop-down calendar is added when the calendar closes on it.
  QCalendarWidget* calendar = ExceptionPicker->calendarWidget();
  auto picked = [this](QDate date) {
    ExceptionPicker->setDate(date);
    ExceptionPickerCloseUp();
  };
  connect(calendar, &QCalendarWidget::clicked, this, picked);
  connect(calendar, &QCalendarWidget::activated, this, picked);
  connect(ExceptionList, &QListWidget::itemSelectionChanged, this, [this] { ExceptionListClick(); });
  connect(RemoveExceptionButton, &QPushButton::clicked, this, [this] { RemoveExceptionButtonClick(); });
}

void T_RecurrencePage::PlacePanels() {
  int width = 0, patternHeight = 0;
  for (QWidget* p : {DailyPanel, WeeklyPanel, MonthlyPanel, YearlyPanel}) {
    const QSize s = p->sizeHint();
    width = std::max(width, s.width());
    patternHeight = std::max(patternHeight, s.height());
  }
  const QSize range = RecurRangePanel->sizeHint();
  const QSize exception = ExceptionPanel->sizeHint();
  width = std::max({width, range.width(), exception.width()});
  const int gap = 0;
  for (QWidget* p : {DailyPanel, WeeklyPanel, MonthlyPanel, YearlyPanel}) p->setGeometry(0, 0, width, patternHeight);
  RecurRangePanel->setGeometry(0, patternHeight + gap, width, range.height());
  ExceptionPanel->setGeometry(0, patternHeight + range.height() + 2 * gap, width, exception.height());
  const int height = patternHeight + range.height() + exception.height() + 2 * gap;
  OncePanel->setGeometry(0, 0, width, height);
  PanelArea->setFixedSize(width, height);
}

void T_RecurrencePage::UpdateSeen() {
  // The children list of the area runs from back to front: a panel is seen unless the
  // panels in front of it cover all of it.
  const QObjectList order = PanelArea->children();
  for (QWidget* p : panels_) {
    const qsizetype at = order.indexOf(p);
    QRegion front;
    for (QWidget* q : panels_) {
      if (q != p && order.indexOf(q) > at) front += q->geometry();
    }
    p->setVisible(!QRegion(p->geometry()).subtracted(front).isEmpty());
  }
}

void T_RecurrencePage::ToFront(QWidget* panel) {
  panel->raise();
  UpdateSeen();
}

void T_RecurrencePage::ToBack(QWidget* panel) {
  panel->lower();
  UpdateSeen();
}

void T_RecurrencePage::ExceptionPanelToFront(bool front) {
  if (front) {
    ToFront(ExceptionPanel);
  } else {
    ToBack(ExceptionPanel);
  }
}

void T_RecurrencePage::EnableExceptionControls() {
  for (QWidget* w : std::initializer_list<QWidget*>{ExceptionPicker, ExceptionList, ExceptionLabel})
    w->setEnabled(true);
  RemoveExceptionButton->setEnabled(!ExceptionList->selectedItems().isEmpty());
}

int T_RecurrencePage::PatternTag() const { return std::max(0, PatternGroup->checkedId()); }

// --- Pattern rule and the start date.

void T_RecurrencePage::ButtonClick(int tag) {
  SyncRecurrenceControls();
  if (tag == 0) {
    if (PatternSpanRule) PatternSpanRule(true);
  } else {
    ToBack(OncePanel);
    if (PatternSpanRule) PatternSpanRule(false);
    ToFront(ExceptionPanel);
  }
  QWidget* panels[5] = {OncePanel, DailyPanel, WeeklyPanel, MonthlyPanel, YearlyPanel};
  if (tag >= 0 && tag < 5) ToFront(panels[tag]);
}

void T_RecurrencePage::SyncRecurrenceControls() {
  if (!StartTimePicker) return;
  const QDate s = StartTimePicker->date();
  const int d = s.day();
  const int m = s.month();
  const int w = WeekdayIndex(FromQDate(s));
  const int n = (d - 1) / 7;
  for (int k = 0; k < 7; ++k) weekdays_[k]->setChecked(k == w);
  MonthlyDayX->setText(QString::number(d));
  MonthlyNthDay->setCurrentIndex(n);
  MonthlyDOW->setCurrentIndex(w);
  YearlyMonthDD->setCurrentIndex(m - 1);
  YearlyNthDowMonth->setCurrentIndex(m - 1);
  YearlyMMDay->setText(QString::number(d));
  YearlyNthDOW->setCurrentIndex(n);
  YearlyDOW->setCurrentIndex(w);
}

void T_RecurrencePage::ResetRecurrence(TDateTime date) {
  const QString one = QStringLiteral("1");
  DailyXDays->setText(one);
  WeeklyXWeeks->setText(one);
  for (QCheckBox* box : weekdays_) box->setChecked(false);
  MonthlyDayX->setText(one);
  MonthlyXMonths->setText(one);
  MonthlyNthDay->setCurrentIndex(0);
  MonthlyDOW->setCurrentIndex(0);
  MonthlyDOWXMonths->setText(one);
  int y = 0, m = 0, d = 0;
  DecodeDate(date, y, m, d);
  YearlyMonthDD->setCurrentIndex(m - 1);
  YearlyNthDowMonth->setCurrentIndex(m - 1);
  YearlyNthDOW->setCurrentIndex(0);
  YearlyDOW->setCurrentIndex(0);
  // Each pattern's own choice goes back to its first variant, so nothing of the event shown
  // before carries over into the next one.
  DailyXDaysButton->setChecked(true);
  MonthlyDayXofXButton->setChecked(true);
  YearlyMonthDayButton->setChecked(true);

  ToFront(OncePanel);
  OnceButton->setChecked(true);

  EndDatePicker->setDate(ToQDate(date));
  exceptions_.clear();
  ExceptionList->clear();
  ExceptionPicker->setDate(ToQDate(DatePart(NowOrZero())));
  RemoveExceptionButton->setEnabled(false);
  RepeatInfiniteButton->setChecked(true);
  RepeatCount->setText(one);
}

// --- Control rules.

void T_RecurrencePage::DailyXDaysButtonClick() { DailyXDays->setEnabled(DailyXDaysButton->isChecked()); }

void T_RecurrencePage::RepeatInfiniteButtonClick() {
  RepeatCount->setEnabled(false);
  EndDatePicker->setEnabled(false);
}

void T_RecurrencePage::RepeatCountButtonClick() {
  RepeatCount->setEnabled(true);
  EndDatePicker->setEnabled(false);
}

void T_RecurrencePage::RepeatUntilButtonClick() {
  EndDatePicker->setEnabled(true);
  RepeatCount->setEnabled(false);
}

void T_RecurrencePage::NumEditChange(UpDownEdit* edit) {
  const std::optional<int> v = edit->Value();
  if (v && *v >= 1) return;
  edit->setText(QStringLiteral("1"));
  // The next key typed replaces the "1".
  edit->selectAll();
}

void T_RecurrencePage::MonthlyDayXChange(UpDownEdit* edit) {
  const std::optional<int> v = edit->Value();
  QString fixed;
  if (!v || *v < 1) {
    fixed = QStringLiteral("1");
  } else if (*v > 31) {
    fixed = QStringLiteral("31");
  } else {
    return;
  }
  edit->setText(fixed);
  edit->selectAll();
}

// --- Load, clear and save.

void T_RecurrencePage::LoadRecurrence(const TNote& e) {
  const QString freq = QString::number(e.RepeatFrequency);
  switch (RepeatOf(e)) {
    case RepeatType::Daily:
      DailyButton->setChecked(true);
      DailyXDaysButton->setChecked(true);
      DailyXDays->setText(freq);
      break;
    case RepeatType::EveryWeekday:
      DailyButton->setChecked(true);
      DailyWeekdayButton->setChecked(true);
      break;
    case RepeatType::Weekly:
      WeeklyButton->setChecked(true);
      WeeklyXWeeks->setText(freq);
      break;
    case RepeatType::MonthlyByDay:
      MonthlyButton->setChecked(true);
      MonthlyDayXofXButton->setChecked(true);
      MonthlyDayX->setText(QString::number(e.RepeatDay));
      MonthlyXMonths->setText(freq);
      break;
    case RepeatType::MonthlyByWeekday:
      MonthlyButton->setChecked(true);
      MonthlyNthDOWButton->setChecked(true);
      SelectIndex(MonthlyNthDay, e.RepeatCardinal);
      SelectIndex(MonthlyDOW, e.RepeatDay);
      MonthlyDOWXMonths->setText(freq);
      break;
    case RepeatType::YearlyByDay:
      YearlyButton->setChecked(true);
      YearlyMonthDayButton->setChecked(true);
      SelectIndex(YearlyMonthDD, e.RepeatMonth);
      YearlyMMDay->setText(QString::number(e.RepeatDay));
      break;
    case RepeatType::YearlyByWeekday:
      YearlyButton->setChecked(true);
      YearlyNthDOWButton->setChecked(true);
      SelectIndex(YearlyNthDOW, e.RepeatCardinal);
      SelectIndex(YearlyDOW, e.RepeatDay);
      SelectIndex(YearlyNthDowMonth, e.RepeatMonth);
      break;
    default:
      break;
  }

  const QDate today = ToQDate(DatePart(NowOrZero()));
  switch (e.RangeType) {
    case 1:
      RepeatCountButton->setChecked(true);
      RepeatCount->setText(QString::number(e.RangeCount));
      EndDatePicker->setDate(today);
      break;
    case 2:
      RepeatUntilButton->setChecked(true);
      EndDatePicker->setDate(ToQDate(DatePart(e.EndDate)));
      break;
    default:
      RepeatInfiniteButton->setChecked(true);
      EndDatePicker->setDate(today);
      break;
  }

  for (int w = 0; w < 7; ++w) weekdays_[w]->setChecked(e.RepeatOn(w == 0 ? 7 : w));

  exceptions_.clear();
  ExceptionList->clear();
  for (TDateTime x : e.Exceptions) {
    exceptions_.append(x);
    AddExceptionEntry(x);
  }
}

void T_RecurrencePage::ClearRecurrence(TNote& e, TDateTime startDate) const {
  int y = 0, m = 0, d = 0;
  DecodeDate(startDate, y, m, d);
  e.RangeType = 0;
  e.RangeCount = 1;
  e.EndDate = e.StartDate;
  SetRepeat(e, RepeatType::Once);
  e.RepeatFrequency = 1;
  e.RepeatDay = d;
  e.RepeatMonth = m;
  e.RepeatCardinal = (d - 1) / 7 + 1;
  for (int w = 1; w <= 7; ++w) e.SetRepeatOn(w, false);
  e.Exceptions.clear();
}

void T_RecurrencePage::SaveRecurrence(TNote& e) const {
  auto number = [](const UpDownEdit* edit) { return edit->Value().value_or(1); };
  switch (PatternTag()) {
    case 1:
      if (DailyXDaysButton->isChecked()) {
        SetRepeat(e, RepeatType::Daily);
        e.RepeatFrequency = number(DailyXDays);
      } else {
        SetRepeat(e, RepeatType::EveryWeekday);
      }
      break;
    case 2:
      SetRepeat(e, RepeatType::Weekly);
      e.RepeatFrequency = number(WeeklyXWeeks);
      for (int w = 0; w < 7; ++w) e.SetRepeatOn(w == 0 ? 7 : w, weekdays_[w]->isChecked());
      break;
    case 3:
      if (MonthlyDayXofXButton->isChecked()) {
        SetRepeat(e, RepeatType::MonthlyByDay);
        e.RepeatDay = number(MonthlyDayX);
        e.RepeatFrequency = number(MonthlyXMonths);
      } else {
        SetRepeat(e, RepeatType::MonthlyByWeekday);
        e.RepeatCardinal = MonthlyNthDay->currentIndex();
        e.RepeatDay = MonthlyDOW->currentIndex();
        e.RepeatFrequency = number(MonthlyDOWXMonths);
      }
      break;
    case 4:
      if (YearlyMonthDayButton->isChecked()) {
        SetRepeat(e, RepeatType::YearlyByDay);
        e.RepeatMonth = YearlyMonthDD->currentIndex();
        e.RepeatDay = number(YearlyMMDay);
      } else {
        SetRepeat(e, RepeatType::YearlyByWeekday);
        e.RepeatCardinal = YearlyNthDOW->currentIndex();
        e.RepeatDay = YearlyDOW->currentIndex();
        e.RepeatMonth = YearlyNthDowMonth->currentIndex();
      }
      break;
    default:
      break;
  }

  if (RepeatCountButton->isChecked()) {
    e.RangeType = 1;
    e.RangeCount = number(RepeatCount);
  } else if (RepeatUntilButton->isChecked()) {
    e.RangeType = 2;
    e.EndDate = FromQDate(EndDatePicker->date());
  }

  if (!exceptions_.isEmpty()) {
    e.Exceptions.clear();
    for (TDateTime x : exceptions_) e.Exceptions.append(DatePart(x));
  }
}

UpDownEdit* T_RecurrencePage::CheckFields(Dialogs& dialogs) {
  struct Field {
    UpDownEdit* edit;
    int max;
    const char* message;
  };
  std::vector<Field> fields;
  switch (PatternTag()) {
    case 1:
      if (DailyXDaysButton->isChecked())
        fields.push_back({DailyXDays, INT_MAX, "Please enter a valid number of days."});
      break;
    case 2:
      fields.push_back({WeeklyXWeeks, INT_MAX, "Please enter a valid number of weeks."});
      break;
    case 3:
      if (MonthlyDayXofXButton->isChecked()) {
        fields.push_back({MonthlyDayX, 31, "Please enter a valid day of the month."});
        fields.push_back({MonthlyXMonths, INT_MAX, "Please enter a valid number of months."});
      } else {
        fields.push_back({MonthlyDOWXMonths, INT_MAX, "Please enter a valid number of months."});
      }
      break;
    case 4:
      if (YearlyMonthDayButton->isChecked())
        fields.push_back({YearlyMMDay, 31, "Please enter a valid day of the month."});
      break;
    default:
      break;
  }
  if (RepeatCountButton->isChecked())
    fields.push_back({RepeatCount, INT_MAX, "Please enter a valid number of occurrences."});

  for (const Field& f : fields) {
    const std::optional<int> v = f.edit->Value();
    if (v && *v >= 1 && *v <= f.max) continue;
    dialogs.MessageBox(tr(f.message), tr("Invalid Entry"), Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
    return f.edit;
  }
  return nullptr;
}

// --- Exceptions.

void T_RecurrencePage::AddExceptionEntry(TDateTime date) {
  const TDateTime day = DatePart(date);
  auto* item = new QListWidgetItem(FormatDateTime(QStringLiteral("ddddd"), day, FormatSettings::FromSystemLocale()));
  item->setData(Qt::UserRole, day);
  // Entries stand in date order; each keeps its date, so the text is never read back.
  int row = 0;
  while (row < ExceptionList->count() && ExceptionList->item(row)->data(Qt::UserRole).toDouble() <= day) ++row;
  ExceptionList->insertItem(row, item);
}

void T_RecurrencePage::ExceptionPickerCloseUp() {
  const TDateTime day = FromQDate(ExceptionPicker->date());
  for (TDateTime x : exceptions_) {
    if (DatePart(x) == day) return;
  }
  exceptions_.append(day);
  AddExceptionEntry(day);
}

void T_RecurrencePage::ExceptionListClick() {
  RemoveExceptionButton->setEnabled(!ExceptionList->selectedItems().isEmpty());
}

void T_RecurrencePage::RemoveExceptionButtonClick() {
  const QList<QListWidgetItem*> selected = ExceptionList->selectedItems();
  if (selected.isEmpty()) return;
  QListWidgetItem* item = selected.first();
  const TDateTime day = item->data(Qt::UserRole).toDouble();
  for (qsizetype k = 0; k < exceptions_.size(); ++k) {
    if (DatePart(exceptions_[k]) == day) {
      exceptions_.removeAt(k);
      break;
    }
  }
  delete item;
  RemoveExceptionButton->setEnabled(false);
}
