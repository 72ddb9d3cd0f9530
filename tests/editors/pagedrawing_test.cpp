// The pages of the paper calendars drawn on a picture: their layout, their days and their
// event texts.
#include "editors/pagedrawing.h"
#include "core/dataformat.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

namespace {

// A Letter page at 150 dots per inch.
const QSize Landscape(1650, 1275);
const QSize Portrait(1275, 1650);

class PageDrawing : public ::testing::Test {
 protected:
  PageDrawing() : clock_(DT(2026, 12, 1, 9, 0)), calendar_(clock_) { EnsureApplication(); }

  // A one-time event on a day: all day, or an hour from the given start.
  int Event(TDateTime day, const QString& title, std::optional<TDateTime> start = std::nullopt) {
    const int i = calendar_.AppendNote();
    TNote& note = calendar_.NoteArray[static_cast<size_t>(i)];
    std::tie(note.Title, note.StartDate, note.EndDate) = std::tuple(title, day, day);
    if (start) std::tie(note.Start, note.StartTime, note.EndTime) = std::tuple(true, *start, *start + EncodeTime(1, 0));
    calendar_.DataChanged = true;
    return i;
  }

  PageGeometry Draw(CalendarKind kind, TDateTime date, QSize size = Landscape, int weeks = 1, bool blank = false) {
    PageOptions options;
    options.kind = kind;
    options.weeksPerPage = weeks;
    options.portrait = size.height() > size.width();
    options.blank = blank;
    image_ = QImage(size, QImage::Format_RGB32);
    image_.fill(Qt::white);
    QPainter painter(&image_);
    return DrawPage(painter, size, date, options, calendar_);
  }

  // Whether any pixel of the area differs from white.
  bool Inked(const QRect& area) const {
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        if (image_.pixel(x, y) != qRgb(255, 255, 255)) return true;
      }
    }
    return false;
  }

  FixedClock clock_;
  DataFormat calendar_;
  QImage image_;
};

// A month page has one row per week and empty cells outside the month, within white margins.
TEST_F(PageDrawing, MonthPagesHaveOneRowPerWeek) {
  struct Row {
    int year, month, rows;
    int firstFilled;  // index of the month's first cell
  };
  for (const Row& c : {Row{2015, 2, 4, 0}, Row{2026, 8, 6, 6}, Row{2026, 5, 6, 5}, Row{2025, 11, 6, 6},
                       Row{2032, 2, 5, 0}, Row{2026, 12, 5, 2}}) {
    SCOPED_TRACE(c.year * 100 + c.month);
    EXPECT_EQ(MonthRows(c.year, c.month), c.rows);
    const PageGeometry g = Draw(CalendarKind::Month, D(c.year, c.month, 20));
    EXPECT_EQ(g.rows, c.rows);
    EXPECT_EQ(g.title, QStringLiteral("%1 %2").arg(QLatin1String(LongMonthNames[c.month - 1])).arg(c.year));
    ASSERT_EQ(g.cells.size(), size_t(7 * c.rows));
    const int days = DaysInMonth(c.year, c.month);
    for (int i = 0; i < int(g.cells.size()); ++i) {
      const bool inMonth = i >= c.firstFilled && i < c.firstFilled + days;
      EXPECT_EQ(g.cells[size_t(i)].label,
                inMonth ? QStringLiteral("%1").arg(i - c.firstFilled + 1, 2, 10, QLatin1Char('0')) : QString());
      EXPECT_EQ(g.cells[size_t(i)].filled, inMonth) << "cell " << i;
    }
  }
  const PageGeometry g = Draw(CalendarKind::Month, D(2026, 12, 1));
  EXPECT_FALSE(Inked(QRect(0, 0, 1650, 60)) || Inked(QRect(0, 1275 - 60, 1650, 60)));
  EXPECT_NEAR(g.cells[6].rect.right(), g.frame.right(), 7);  // seven columns fill the frame
  EXPECT_EQ(g.dayNames.back(), QStringLiteral("Saturday"));
  EXPECT_EQ(Draw(CalendarKind::Month, D(2026, 12, 1), Portrait).dayNames.back(), QStringLiteral("Sat"));
}

TEST_F(PageDrawing, WeekPagesStartOnTheSundayBeforeTheDateAndPagesAdvanceByTheirPeriod) {
  const PageGeometry g = Draw(CalendarKind::Week, D(2026, 12, 9), Landscape, 2);
  EXPECT_EQ(std::tuple(g.firstDay, g.title, g.rows), std::tuple(D(2026, 12, 6), QString("Week of 6 Dec 2026"), 2));
  ASSERT_EQ(g.cells.size(), 14u);
  for (const PageCell& cell : g.cells) EXPECT_TRUE(cell.filled);
  EXPECT_EQ(g.cells.front().label + ' ' + g.cells.back().label, QStringLiteral("Dec 06 Dec 19"));
  // Weeks across a month's end are filled too; a Sunday's week starts on it.
  EXPECT_EQ(Draw(CalendarKind::Week, D(2026, 12, 30)).cells.back().label, QStringLiteral("Jan 02"));
  EXPECT_EQ(Draw(CalendarKind::Week, D(2026, 12, 6)).firstDay, D(2026, 12, 6));

  EXPECT_EQ(PageDates(CalendarKind::Week, D(2026, 12, 9), 3, 2)[1], D(2026, 12, 23));
  EXPECT_EQ(PageDates(CalendarKind::Day, D(2026, 12, 31), 2, 1)[1], D(2027, 1, 1));
  QStringList titles;
  for (const TDateTime date : PageDates(CalendarKind::Month, D(2026, 1, 31), 3, 1))
    titles << Draw(CalendarKind::Month, date).title;
  for (const TDateTime date : PageDates(CalendarKind::Year, D(2024, 2, 29), 2, 1))
    titles << Draw(CalendarKind::Year, date).title;
  EXPECT_EQ(titles, (QStringList{"January 2026", "February 2026", "March 2026", "2024", "2025"}));
  // Counts outside their range are kept within it.
  EXPECT_EQ(PageDates(CalendarKind::Day, D(2026, 1, 1), 0, 1).size(), 1u);
  EXPECT_EQ(PageDates(CalendarKind::Day, D(2026, 1, 1), 500, 1).size(), 100u);
  EXPECT_EQ(PageDates(CalendarKind::Week, D(2026, 1, 4), 2, 0)[1], D(2026, 1, 11));
  EXPECT_EQ(Draw(CalendarKind::Week, D(2026, 1, 4), Landscape, 0).rows, 1);
  EXPECT_EQ(Draw(CalendarKind::Week, D(2026, 1, 4), Landscape, 99).rows, 8);
}

TEST_F(PageDrawing, YearPageLaysTheMonthsOutByOrientationWithTheirDaysApart) {
  for (const auto& [size, columns, rows] : {std::tuple{Portrait, 3, 4}, {Landscape, 4, 3}}) {
    const PageGeometry g = Draw(CalendarKind::Year, D(2026, 1, 1), size);
    EXPECT_EQ(std::tuple(g.monthColumns, g.monthRows), std::tuple(columns, rows));
    ASSERT_EQ(g.monthBlocks.size(), 12u);
    // Month by month along the rows.
    const QRect first = g.monthBlocks[0];
    EXPECT_EQ(g.monthBlocks[size_t(columns)].topLeft(), first.bottomLeft() + QPoint(0, 1));
    // January 2026's second week line is full (4 to 10): the column just before each number
    // starts is white, however narrow the columns.
    const int dw = first.width() / 8, lh = first.height() / 9;
    const int y = first.top() + 3 * lh;
    EXPECT_TRUE(Inked(QRect(first.left() + dw / 2, y, 7 * dw, lh)));
    for (int k = 1; k < 7; ++k)
      EXPECT_FALSE(Inked(QRect(first.left() + dw / 2 + k * dw - 1, y + 1, 1, lh - 2))) << "column " << k;
  }
  // August 2026 begins on a Saturday: the first line holds one day, the 31st is on the sixth.
  const std::vector<int> august = Draw(CalendarKind::Year, D(2026, 1, 1)).monthWeekLines[7];
  ASSERT_EQ(august.size(), 31u);
  EXPECT_EQ(std::vector({august[0], august[1], august[7], august[8], august[30]}), std::vector({1, 2, 2, 3, 6}));
  // February 2015 begins on a Sunday and fills four lines exactly.
  const std::vector<int> feb2015 = Draw(CalendarKind::Year, D(2015, 6, 1)).monthWeekLines[1];
  EXPECT_EQ(std::tuple(feb2015.front(), feb2015.back(), feb2015.size()), std::tuple(1, 4, size_t(28)));
}

TEST_F(PageDrawing, EventTextsShowTheStartTimeAndTitleAndDayPagesTheirNotes) {
  const int dentist = Event(D(2026, 12, 9), QStringLiteral("Dentist"), EncodeTime(9, 5));
  Event(D(2026, 12, 9), QStringLiteral("Holiday market"));
  Event(D(2026, 12, 9), QStringLiteral("Dinner"), EncodeTime(19, 30));
  const QStringList expected{"Holiday market", "9:05 AM Dentist", "7:30 PM Dinner"};
  EXPECT_EQ(Draw(CalendarKind::Month, D(2026, 12, 1)).cellOf(D(2026, 12, 9))->lines, expected);
  EXPECT_EQ(Draw(CalendarKind::Week, D(2026, 12, 9)).cellOf(D(2026, 12, 9))->lines, expected);
  // The empty cells before a month hold no events of their days.
  Event(D(2026, 11, 30), QStringLiteral("Last of November"));
  EXPECT_TRUE(Draw(CalendarKind::Month, D(2026, 12, 1)).cellOf(D(2026, 11, 30))->lines.isEmpty());
  calendar_.NoteArray[size_t(dentist)].Notes = QStringLiteral("Bring the x-rays\r\nParking on Elm Street");
  calendar_.AddDayNote(dentist, QStringLiteral("Ask about the crown"), D(2026, 12, 9));
  const PageGeometry g = Draw(CalendarKind::Day, D(2026, 12, 9));
  EXPECT_EQ(g.title, QStringLiteral("Wednesday 9 Dec 2026"));
  EXPECT_EQ(g.lines, (QStringList{"Holiday market", "9:05 AM Dentist", "Bring the x-rays", "Parking on Elm Street",
                                  "Ask about the crown", "7:30 PM Dinner"}));
  // Blank calendars show only their days.
  for (const CalendarKind kind : {CalendarKind::Week, CalendarKind::Month}) {
    const PageGeometry blank = Draw(kind, D(2026, 12, 9), Landscape, 1, true);
    EXPECT_FALSE(blank.cellOf(D(2026, 12, 9))->label.isEmpty());
    for (const PageCell& cell : blank.cells) EXPECT_TRUE(cell.lines.isEmpty());
  }
  const PageGeometry day = Draw(CalendarKind::Day, D(2026, 12, 9), Landscape, 1, true);
  EXPECT_TRUE(day.lines.isEmpty());
  EXPECT_FALSE(Inked(day.frame.adjusted(4, 4, -4, -4)));
}

TEST_F(PageDrawing, LongTextsAreSplitToTheCellWidthBetweenWordsAtEveryPageSize) {
  Event(D(2026, 12, 10), QStringLiteral("Quarterly planning meeting with the whole regional team"), EncodeTime(9, 5));
  const QStringList lines = Draw(CalendarKind::Month, D(2026, 12, 1), Portrait).cellOf(D(2026, 12, 10))->lines;
  ASSERT_GT(lines.size(), 1);
  EXPECT_EQ(lines.join(QString()), QStringLiteral("9:05 AM Quarterly planning meeting with the whole regional team"));
  Event(D(2026, 12, 9), QStringLiteral("Team standup"), EncodeTime(9, 15));
  Event(D(2026, 12, 9), QStringLiteral("Christmas Eve"));
  for (int height = 500; height <= 900; height += 2) {
    const PageGeometry g = Draw(CalendarKind::Month, D(2026, 12, 1), QSize(height * 85 / 110, height));
    for (const QString& line : g.cellOf(D(2026, 12, 9))->lines) {
      EXPECT_FALSE(line.startsWith(QLatin1Char(' ')) || line.endsWith(QStringLiteral(" T")))
          << height << ": \"" << line.toStdString() << '"';
    }
  }
}

// Text that does not fit is cut at its cell, and a day page draws nothing below its frame.
TEST_F(PageDrawing, TextThatDoesNotFitIsCutAtTheCell) {
  for (int i = 0; i < 40; ++i) Event(D(2026, 12, 9), QStringLiteral("Event number %1").arg(i), EncodeTime(6, i));
  const PageGeometry g = Draw(CalendarKind::Week, D(2026, 12, 9), Landscape, 2);
  const PageCell* below = g.cellOf(D(2026, 12, 16));
  // A full day lists the lines that fit in its cell and stops there.
  const qsizetype listed = g.cellOf(D(2026, 12, 9))->lines.size();
  EXPECT_GT(listed, 5);
  EXPECT_LT(listed, 40);
  // The cell below shows its own label only: nothing of the lines above runs into it.
  const QRect& r = below->rect;
  EXPECT_FALSE(Inked(QRect(r.left() + 2, r.top() + g.rowHeight / 2, r.width() - 4, r.height() / 2 - 2)));
  EXPECT_FALSE(Inked(QRect(r.center().x(), r.top() + 3, r.width() / 2 - 3, r.height() - 6)));
  const PageGeometry day = Draw(CalendarKind::Day, D(2026, 12, 9));
  EXPECT_GT(day.lines.size(), 5);
  EXPECT_LT(day.lines.size(), 40);
  EXPECT_FALSE(Inked(QRect(0, day.frame.bottom() + 4, Landscape.width(), Landscape.height() - day.frame.bottom() - 4)));
}

}  // namespace
