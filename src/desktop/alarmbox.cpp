#include "desktop/alarmbox.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// More alarms than this scroll.
constexpr int MaxVisibleRows = 8;
// Room beside the caption for the window manager's icon and buttons.
constexpr int CaptionMargin = 160;

}  // namespace

T_AlarmBox::T_AlarmBox(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("T_AlarmBox"));
  setWindowTitle(tr("Orvane Alarm"));
  // An alarm must not take the keyboard from what the user is typing in.
  setAttribute(Qt::WA_ShowWithoutActivating);

  auto* layout = new QVBoxLayout(this);
  AlarmList = new QListWidget(this);
  AlarmList->setObjectName(QStringLiteral("AlarmList"));
  AlarmList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  AlarmList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  AlarmList->setTextElideMode(Qt::ElideNone);
  AlarmList->setWordWrap(false);
  AlarmList->setAlternatingRowColors(true);
  AlarmList->setSpacing(2);
  layout->addWidget(AlarmList);

  auto* row = new QHBoxLayout;
  auto* label = new QLabel(tr("Snooze for"), this);
  SnoozeTime = new QComboBox(this);
  SnoozeTime->setObjectName(QStringLiteral("SnoozeTime"));
  SnoozeTime->addItems({tr("5 minutes"), tr("10 minutes"), tr("15 minutes"), tr("1 hour")});
  label->setBuddy(SnoozeTime);
  SnoozeButton = new QPushButton(tr("Snooze"), this);
  SnoozeButton->setObjectName(QStringLiteral("SnoozeButton"));
  DismissButton = new QPushButton(tr("Dismiss"), this);
  DismissButton->setObjectName(QStringLiteral("DismissButton"));
  row->addWidget(label);
  row->addWidget(SnoozeTime);
  row->addStretch(1);
  row->addWidget(SnoozeButton);
  row->addWidget(DismissButton);
  layout->addLayout(row);

  connect(SnoozeButton, &QPushButton::clicked, this, &T_AlarmBox::SnoozeButtonClick);
  connect(DismissButton, &QPushButton::clicked, this, &T_AlarmBox::DismissButtonClick);
  connect(AlarmList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    const int row = AlarmList->row(item);
    if (row >= 0 && OnOpen) OnOpen(listed_[static_cast<size_t>(row)]);
  });
}

void T_AlarmBox::AddAlarms(const std::vector<Entry>& entries, int defaultMinutes) {
  if (!isVisible()) {
    const auto* chosen = std::find(std::begin(SnoozeChoices), std::end(SnoozeChoices), defaultMinutes);
    SnoozeTime->setCurrentIndex(chosen != std::end(SnoozeChoices) ? int(chosen - std::begin(SnoozeChoices)) : 1);
  }
  for (const Entry& e : entries) {
    // An occurrence already listed (snoozed and back while still in the box) is not added twice.
    const bool listed = std::any_of(listed_.begin(), listed_.end(),
                                    [&e](const DueAlarm& a) { return a.uid == e.alarm.uid && a.day == e.alarm.day; });
    if (listed) continue;
    listed_.push_back(e.alarm);
    QString text = e.summary;
    if (!e.detail.isEmpty()) text += QLatin1Char('\n') + e.detail;
    auto* item = new QListWidgetItem(text, AlarmList);
    if (e.alarm.missed) {
      QFont bold = item->font();
      bold.setBold(true);
      item->setFont(bold);
    }
  }
  FitToText();
  show();
  raise();
}

void T_AlarmBox::FitToText() {
  int width = 0;
  int height = 0;
  for (int row = 0; row < AlarmList->count(); ++row) {
    const QListWidgetItem* item = AlarmList->item(row);
    const QFontMetrics metrics(item->font());
    for (const QString& line : item->text().split(QLatin1Char('\n')))
      width = std::max(width, metrics.horizontalAdvance(line));
    if (row < MaxVisibleRows) height += AlarmList->sizeHintForRow(row) + 2 * AlarmList->spacing();
  }
  const int frame = 2 * AlarmList->frameWidth();
  const bool scrolls = AlarmList->count() > MaxVisibleRows;
  const int scrollBar = scrolls ? AlarmList->verticalScrollBar()->sizeHint().width() : 0;
  // Room for the item's own margins besides its text.
  // The list is as wide as its longest line at least, and takes the box's width.
  AlarmList->setMinimumWidth(width + frame + scrollBar + 12 + 2 * AlarmList->spacing());
  AlarmList->setFixedHeight(height + frame + 4);
  AlarmList->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + CaptionMargin);
  const QSize least = minimumSizeHint();
  resize(std::max(least.width(), minimumWidth()), least.height());
}

std::vector<int> T_AlarmBox::ChosenRows() const {
  std::vector<int> rows;
  for (int row = 0; row < AlarmList->count(); ++row) {
    if (AlarmList->item(row)->isSelected()) rows.push_back(row);
  }
  if (rows.empty()) {
    for (int row = 0; row < AlarmList->count(); ++row) rows.push_back(row);
  }
  std::sort(rows.rbegin(), rows.rend());
  return rows;
}

void T_AlarmBox::RemoveRows(const std::vector<int>& rows) {
  for (const int row : rows) {
    delete AlarmList->takeItem(row);
    listed_.erase(listed_.begin() + row);
  }
  if (listed_.empty()) {
    hide();
    return;
  }
  FitToText();
}

void T_AlarmBox::SnoozeButtonClick() {
  const int index = std::clamp(SnoozeTime->currentIndex(), 0, int(std::size(SnoozeChoices)) - 1);
  const std::vector<int> rows = ChosenRows();
  if (OnSnooze) {
    for (const int row : rows) OnSnooze(listed_[static_cast<size_t>(row)], SnoozeChoices[index]);
  }
  RemoveRows(rows);
}

void T_AlarmBox::DismissButtonClick() { RemoveRows(ChosenRows()); }

void T_AlarmBox::closeEvent(QCloseEvent* event) {
  // Closing the box dismisses what it lists.
  AlarmList->clear();
  listed_.clear();
  QWidget::closeEvent(event);
}
