#pragma once

#include "core/tdatetime.h"

#include <QAbstractListModel>
#include <QColor>
#include <QLabel>
#include <QListView>
#include <QStyledItemDelegate>
#include <QWidget>
#include <memory>
#include <vector>

class QPalette;
class QToolButton;

// The pieces the month window is drawn with: its colours, the day headers, the day lists
// with their event chips and the lines between the days.
namespace month {

// Each entry of a day list gives its event's index, and the time and title apart for painting.
constexpr int EventRole = Qt::UserRole;
constexpr int TimeRole = Qt::UserRole + 1;
constexpr int TitleRole = Qt::UserRole + 2;

// What an entry of a day list shows of its event: the event, with its start time (when it
// has one) and its title as they were when the day was filled.
struct DayEntry {
  int event = -1;
  bool timed = false;
  TDateTime start = 0;
  QString title;
};

// The entries of days filled together: one per event whose start is the same on every day,
// and one per day for the others. Taken once for the whole month, not once per day listing it.
using DayEntryTable = std::vector<DayEntry>;

// A day's entries as a list model. A busy month lists hundreds of thousands of entries, most
// of which nobody scrolls to: a row is the place of its entry in the table the month shares,
// and its texts ("9:05 AM Standup") are put together only when a view asks for them.
class DayEntries : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  // The day's new rows in place of the old ones, each naming an entry of the table; views
  // hear of it once, and lose their selection as they would by emptying the list.
  void Reset(std::shared_ptr<const DayEntryTable> table, std::vector<int> rows);
  int Count() const { return static_cast<int>(rows_.size()); }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  std::shared_ptr<const DayEntryTable> table_;
  std::vector<int> rows_;
};

// A day's list: its own entries model, and the entry-by-row questions the window asks.
class DayList : public QListView {
 public:
  explicit DayList(QWidget* parent);

  DayEntries& Entries() const { return *entries_; }
  int count() const { return entries_->Count(); }
  // An entry's text as the list shows it, empty for no entry.
  QString Text(int row) const;
  // Makes an entry the current and only selected one.
  void setCurrentRow(int row);
  // Where an entry lies in the viewport; empty for no entry.
  QRect EntryRect(int row) const;
  // The entry under a point of the viewport, -1 for none.
  int EntryAt(const QPoint& pos) const;
  // The selected entry, -1 for none.
  int SelectedEntry() const;

 private:
  DayEntries* entries_;
};

// a and b mixed, amountOfB of the way from a to b.
QColor Mix(const QColor& a, const QColor& b, double amountOfB);

// The window's colours, all taken from the user's palette: days of the shown month on the
// base colour, other days and the selected header in a faint tint of the selection colour
// (the part an inactive title bar plays elsewhere), the selected day's list in a lighter
// tint, the other headers in the button face.
struct MonthColours {
  QColor monthList, otherList, selectedList, header, headerText, otherHeaderText, selectedHeader, selectedHeaderText,
      gridLine;

  static MonthColours Of(const QPalette& p);
};

// A day's header: its caption on the colours the selection gives it; today's caption stands
// out on the selection colour.
class DayHeader : public QLabel {
 public:
  using QLabel::QLabel;
  bool today = false;

 protected:
  void paintEvent(QPaintEvent*) override;
};

// A day's entries as small chips: all-day events on a tint of the selection colour, timed
// ones with a dot and their start time before the title; the selected entry in the
// selection colour.
class EntryDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The lines between the days, drawn over the grid without taking any of its input.
class GridLines : public QWidget {
 public:
  explicit GridLines(QWidget* parent);
  std::vector<int> xs;
  std::vector<int> ys;
  QColor colour;

 protected:
  void paintEvent(QPaintEvent*) override;
};

// A flat, bold button of the month title (the arrows beside the month's name).
QToolButton* TitleButton(QWidget* parent, const QString& text, const QString& hint, const char* name);

}  // namespace month
