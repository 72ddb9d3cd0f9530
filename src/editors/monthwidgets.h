#pragma once

#include <QColor>
#include <QLabel>
#include <QStyledItemDelegate>
#include <QWidget>
#include <vector>

class QPalette;
class QToolButton;

// The pieces the month window is drawn with: its colours, the day headers, the event chips
// of the day lists and the lines between the days.
namespace month {

// Each entry of a day list keeps its event's index, and the time and title apart for painting.
constexpr int EventRole = Qt::UserRole;
constexpr int TimeRole = Qt::UserRole + 1;
constexpr int TitleRole = Qt::UserRole + 2;

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
