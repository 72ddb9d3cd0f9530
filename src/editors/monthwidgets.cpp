#include "editors/monthwidgets.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QPainter>
#include <QToolButton>
#include <algorithm>

namespace month {

QColor Mix(const QColor& a, const QColor& b, double amountOfB) {
  const double k = 1.0 - amountOfB;
  return QColor::fromRgbF(static_cast<float>(a.redF() * k + b.redF() * amountOfB),
                          static_cast<float>(a.greenF() * k + b.greenF() * amountOfB),
                          static_cast<float>(a.blueF() * k + b.blueF() * amountOfB));
}

MonthColours MonthColours::Of(const QPalette& p) {
  MonthColours c;
  const QColor accent = p.color(QPalette::Active, QPalette::Highlight);
  c.monthList = p.color(QPalette::Base);
  c.otherList = Mix(p.color(QPalette::Window), accent, 0.10);
  c.selectedList = Mix(p.color(QPalette::Base), accent, 0.12);
  c.header = p.color(QPalette::Button);
  c.headerText = p.color(QPalette::ButtonText);
  c.otherHeaderText = Mix(c.headerText, c.header, 0.5);
  c.selectedHeader = Mix(p.color(QPalette::Window), accent, 0.28);
  c.selectedHeaderText = p.color(QPalette::WindowText);
  c.gridLine = Mix(p.color(QPalette::Window), p.color(QPalette::WindowText), 0.18);
  return c;
}

void DayHeader::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Window));
  QFont f = font();
  f.setBold(today);
  p.setFont(f);
  const QFontMetrics metrics(f);
  const QString caption = metrics.elidedText(text(), Qt::ElideRight, width() - 12);
  QRect textRect(6, 0, metrics.horizontalAdvance(caption), height());
  if (today) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(palette().color(QPalette::Active, QPalette::Highlight));
    p.drawRoundedRect(QRectF(textRect.adjusted(-4, 1, 4, -1)), 7, 7);
    p.setPen(palette().color(QPalette::Active, QPalette::HighlightedText));
  } else {
    p.setPen(palette().color(QPalette::WindowText));
  }
  p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, caption);
}

QSize EntryDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return QSize(0, option.fontMetrics.height() + 6);
}

void EntryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  const QPalette& pal = option.palette;
  const QColor accent = pal.color(QPalette::Active, QPalette::Highlight);
  const bool selected = option.state & QStyle::State_Selected;
  const QString time = index.data(TimeRole).toString();
  const QString title = index.data(TitleRole).toString();
  const QRectF chip = QRectF(option.rect).adjusted(3, 1, -3, -1);
  QColor textColour = pal.color(QPalette::Text);
  if (selected || time.isEmpty()) {
    painter->setPen(Qt::NoPen);
    painter->setBrush(selected ? accent : Mix(pal.color(QPalette::Base), accent, 0.22));
    painter->drawRoundedRect(chip, 4, 4);
    if (selected) textColour = pal.color(QPalette::Active, QPalette::HighlightedText);
  }
  qreal x = chip.left() + 6;
  const qreal right = chip.right() - 4;
  if (!time.isEmpty()) {
    painter->setPen(Qt::NoPen);
    painter->setBrush(selected ? textColour : accent);
    painter->drawEllipse(QPointF(x + 3, chip.center().y()), 3, 3);
    x += 11;
    QFont timeFont = option.font;
    timeFont.setBold(true);
    painter->setFont(timeFont);
    painter->setPen(selected ? textColour : Mix(accent, pal.color(QPalette::Text), 0.35));
    const QFontMetricsF timeMetrics(timeFont);
    painter->drawText(QRectF(x, chip.top(), std::max<qreal>(0, right - x), chip.height()),
                      Qt::AlignVCenter | Qt::AlignLeft, time);
    x += timeMetrics.horizontalAdvance(time) + 5;
  }
  painter->setFont(option.font);
  painter->setPen(textColour);
  const QString shown = QFontMetricsF(option.font).elidedText(title, Qt::ElideRight, std::max<qreal>(0, right - x));
  painter->drawText(QRectF(x, chip.top(), std::max<qreal>(0, right - x), chip.height()),
                    Qt::AlignVCenter | Qt::AlignLeft, shown);
  painter->restore();
}

void DayEntries::Reset(std::shared_ptr<const DayEntryTable> table, std::vector<int> rows) {
  beginResetModel();
  table_ = std::move(table);
  rows_ = std::move(rows);
  endResetModel();
}

int DayEntries::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Count(); }

QVariant DayEntries::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Count()) return QVariant();
  const DayEntry& entry = (*table_)[static_cast<size_t>(rows_[static_cast<size_t>(index.row())])];
  // The long time format "h:nn AM/PM" is FormatSettings' own.
  const auto time = [&entry] {
    if (!entry.timed) return QString();
    const FormatSettings format;
    return FormatDateTime(format.LongTimeFormat, entry.start, format);
  };
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return entry.timed ? time() + QLatin1Char(' ') + entry.title : entry.title;
    case EventRole:
      return entry.event;
    case TimeRole:
      return time();
    case TitleRole:
      return entry.title;
    default:
      return QVariant();
  }
}

Qt::ItemFlags DayEntries::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
}

DayList::DayList(QWidget* parent) : QListView(parent), entries_(new DayEntries(this)) { setModel(entries_); }

QString DayList::Text(int row) const { return entries_->index(row, 0).data().toString(); }

void DayList::setCurrentRow(int row) {
  selectionModel()->setCurrentIndex(entries_->index(row, 0), QItemSelectionModel::ClearAndSelect);
}

QRect DayList::EntryRect(int row) const { return visualRect(entries_->index(row, 0)); }

int DayList::EntryAt(const QPoint& pos) const { return indexAt(pos).row(); }

int DayList::SelectedEntry() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? -1 : selected.front().row();
}

GridLines::GridLines(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

void GridLines::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(colour);
  for (int x : xs) p.drawLine(x, 0, x, height());
  for (int y : ys) p.drawLine(0, y, width(), y);
}

QToolButton* TitleButton(QWidget* parent, const QString& text, const QString& hint, const char* name) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(text);
  button->setToolTip(hint);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  // The title's large face is for the month's name only.
  QFont face = QApplication::font();
  face.setBold(true);
  button->setFont(face);
  return button;
}

}  // namespace month
