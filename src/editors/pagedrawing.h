#pragma once

// The pages of the paper calendars: a day, one or more weeks, a month or a year, drawn onto
// any painter (the preview picture, a printer, a PDF file). Every position and size comes from
// the page size, so one layout serves the preview and the paper alike.

#include "core/tdatetime.h"
#include "platform/dialogs.h"

#include <QPageLayout>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <vector>

class DataFormat;
class QPainter;
class QPagedPaintDevice;

enum class CalendarKind { Day, Week, Month, Year };

// The range a page count and a weeks-per-page value keep to.
constexpr int MinPageCount = 1;
constexpr int MaxPageCount = 100;
constexpr int MinWeeksPerPage = 1;
constexpr int MaxWeeksPerPage = 8;

struct PageOptions {
  CalendarKind kind = CalendarKind::Month;
  int weeksPerPage = 1;
  // Portrait pages show short day names and the year in 3 columns by 4 rows.
  bool portrait = false;
  // Only the calendar: no events, no notes.
  bool blank = false;
  // Face, style and colour of the text; its heights always come from the page.
  Dialogs::FontChoice font = DefaultPrintFont();

  static Dialogs::FontChoice DefaultPrintFont();
};

// One day cell of a week or month grid, as drawn.
struct PageCell {
  TDateTime date = 0;
  QRect rect;           // the cell between its grid lines
  bool filled = false;  // the label and events were drawn (a day of the page's period)
  QString label;
  QStringList lines;  // the event lines of the day, in order (those past the cell are clipped)
};

// What a page was drawn with: the checks of the tests and the proof of the layout.
struct PageGeometry {
  CalendarKind kind = CalendarKind::Month;
  int unit = 0;    // page height div 20
  int margin = 0;  // inner margin
  QRect frame;     // (left, top) to (right, bottom); empty on year pages
  QString title;

  // Week and month pages.
  int rows = 0;
  int headerHeight = 0;
  int rowHeight = 0;
  int columnWidth = 0;
  TDateTime firstDay = 0;  // the date of the first cell (a Sunday)
  QStringList dayNames;
  std::vector<PageCell> cells;  // rows * 7, row by row

  // Day pages: every text line drawn (event lines and the lines of their notes), in order.
  QStringList lines;

  // Year pages.
  int monthColumns = 0;
  int monthRows = 0;
  std::vector<QRect> monthBlocks;                // January first
  std::vector<std::vector<int>> monthWeekLines;  // per month, the week line (1..6) of each day

  const PageCell* cellOf(TDateTime date) const;
};

// The page height unit and inner margin of a page of this height.
int PageUnit(int pageHeight);

// The number of week rows of a month page: 1 + the Sundays from its second day to its last.
int MonthRows(int year, int month);
// The Sunday on or before a date.
TDateTime WeekStart(TDateTime date);

// Draws the page of one period for date onto painter, over a page of the given size in the
// painter's units. The calendar's day queries give the events (not on blank or year pages).
PageGeometry DrawPage(QPainter& painter, QSize page, TDateTime date, const PageOptions& options, DataFormat& calendar);

// The dates of count consecutive pages from start: a day, weeksPerPage weeks, a month or a
// year further each (a month further from the 31st keeps to the month: 31 January, 28
// February, 31 March). count is kept within 1..100.
std::vector<TDateTime> PageDates(CalendarKind kind, TDateTime start, int count, int weeksPerPage);

// Draws the pages onto a printer or PDF writer that is ready (its page layout set), each on
// its own sheet. False with a message when the device cannot be drawn on.
bool PrintPages(QPagedPaintDevice& device, const std::vector<TDateTime>& dates, const PageOptions& options,
                DataFormat& calendar, QString& error);

// The layout of a page saved as PDF: the local paper size (Letter where the locale measures in
// inches, A4 elsewhere), the orientation, no margins of its own (the pages keep theirs).
QPageLayout PdfPageLayout(bool portrait);

// Writes the pages as a PDF file, replacing it only when complete. False with a message when
// the file cannot be written.
bool WritePdf(const QString& path, const std::vector<TDateTime>& dates, const PageOptions& options,
              DataFormat& calendar, QString& error);

// The name of a kind, as the command line writes it ("day", "week", "month", "year").
QString CalendarKindName(CalendarKind kind);
