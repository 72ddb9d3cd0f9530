#include "editors/pagedrawing.h"

#include "core/dataformat.h"
#include "core/splitline.h"
#include "core/wholefile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

namespace {

// The resolution of the PDF files written, in dots per inch.
constexpr int PdfResolution = 300;

const QColor LineColour(90, 90, 90);
const QColor HeaderShade(232, 232, 232);
const QColor OutsideShade(246, 246, 246);

QColor TextColour(Dialogs::Colour c) { return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff); }

// Draws with the chosen face and style; heights are set per text from the page.
class PageText {
 public:
  PageText(QPainter& painter, const Dialogs::FontChoice& choice) : painter_(painter), base_(choice.family) {
    base_.setBold(choice.bold);
    base_.setItalic(choice.italic);
    base_.setUnderline(choice.underline);
    base_.setStrikeOut(choice.strikeOut);
    painter_.setPen(TextColour(choice.colour));
  }

  // Sets the font so that a line of text is height pixels tall (ascent plus descent), as a
  // font height gives the height of its character cell.
  void SetHeight(int height, bool bold = false) {
    height = std::max(1, height);
    QFont font = base_;
    if (bold) font.setBold(true);
    font.setPixelSize(height);
    const int measured = QFontMetrics(font, painter_.device()).height();
    if (measured > height) font.setPixelSize(std::max(1, height * height / measured));
    painter_.setFont(font);
  }

  // Sets the height, or a smaller one when sample would be wider than width: text too wide
  // for its space is drawn smaller rather than run into its neighbour.
  void SetHeightWithin(int height, const QString& sample, int width, bool bold = false) {
    SetHeight(height, bold);
    for (int tries = 0; tries < 4 && height > 1 && Width(sample) > width; ++tries) {
      height = std::max(1, height * width / std::max(1, Width(sample)));
      SetHeight(height, bold);
    }
  }

  int Width(const QString& text) const { return painter_.fontMetrics().horizontalAdvance(text); }
  int Height() const { return painter_.fontMetrics().height(); }
  // Text with its cell's top-left corner at (x, y).
  void Out(int x, int y, const QString& text) { painter_.drawText(x, y + painter_.fontMetrics().ascent(), text); }

  // Splits text into lines no wider than width. The splitter takes a piece that fills the
  // width exactly as a whole line, even in the middle of a word; measured in half pixels
  // against an odd limit, no piece fills it exactly, so such a line ends at its last blank.
  void Split(T_SplitLine& splitter, const QString& text, int width) const {
    splitter.split(text, 2 * width + 1, [this](const QString& s) { return 2 * Width(s); });
  }

 private:
  QPainter& painter_;
  QFont base_;
};

// A text whose lines end in CR LF only, as the line splitter breaks them.
QString WithCrLf(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return text;
}

// The line an event has in a calendar on a day: the start time and the title, or the title
// alone for an all-day event.
QString EventLine(const DataFormat& calendar, int index, TDateTime day) {
  const TNote& note = calendar.NoteArray[static_cast<size_t>(index)];
  if (!note.Start) return note.Title;
  return FormatDateTime(QStringLiteral("h:nn AM/PM"), calendar.StartTimeOn(index, day)) + QLatin1Char(' ') + note.Title;
}

// The live events of a day in display order.
std::vector<int> EventsOf(DataFormat& calendar, TDateTime date) { return calendar.FindSortedDayEvents(date); }

class PagePainter {
 public:
  PagePainter(QPainter& painter, QSize page, const PageOptions& options, DataFormat& calendar)
      : p_(painter),
        options_(options),
        calendar_(calendar),
        text_(painter, options.font),
        pw_(page.width()),
        ph_(page.height()) {
    g_.kind = options.kind;
    g_.unit = PageUnit(ph_);
    g_.margin = std::max(g_.unit / 8, 2);
    g_.frame.setCoords(g_.unit, 2 * g_.unit, pw_ - g_.unit, ph_ - g_.unit);
    QPen pen(LineColour);
    pen.setWidth(std::max(1, g_.unit / 40));
    linePen_ = pen;
  }

  PageGeometry Draw(TDateTime date) {
    switch (options_.kind) {
      case CalendarKind::Day:
        DayPage(date);
        break;
      case CalendarKind::Week:
        WeekPage(date);
        break;
      case CalendarKind::Month:
        MonthPage(date);
        break;
      case CalendarKind::Year:
        YearPage(date);
        break;
    }
    return g_;
  }

 private:
  int u() const { return g_.unit; }
  int m() const { return g_.margin; }
  int left() const { return g_.frame.left(); }
  int top() const { return g_.frame.top(); }
  int right() const { return g_.frame.right(); }
  int bottom() const { return g_.frame.bottom(); }

  void Line(int x1, int y1, int x2, int y2) {
    p_.save();
    p_.setPen(linePen_);
    p_.drawLine(x1, y1, x2, y2);
    p_.restore();
  }

  void TitleAndFrame() {
    text_.SetHeight(u() / 7 * 6);
    text_.Out((pw_ - text_.Width(g_.title)) / 2, u(), g_.title);
    Line(left(), top(), right(), top());
    Line(right(), top(), right(), bottom());
    Line(right(), bottom(), left(), bottom());
    Line(left(), bottom(), left(), top());
  }

  void DayPage(TDateTime date) {
    date = DatePart(date);
    g_.title = FormatDateTime(QStringLiteral("dddd d mmm yyyy"), date);
    TitleAndFrame();
    if (options_.blank) return;
    text_.SetHeight(u() / 2);
    const int x = left() + m();
    int y = top() + m();
    const int height = text_.Height();
    p_.save();
    p_.setClipRect(QRect(QPoint(left() + 1, top() + 1), QPoint(right() - 1, bottom() - 1)));
    T_SplitLine splitter;
    for (const int index : EventsOf(calendar_, date)) {
      // Nothing is drawn over or below the frame's bottom edge, the event line included;
      // once the page is full, the remaining events are not even laid out.
      if (y + height >= bottom()) break;
      const QString line = EventLine(calendar_, index, date);
      text_.Out(x, y, line);
      g_.lines << line;
      y += height;
      QString notes = calendar_.NoteArray[static_cast<size_t>(index)].Notes;
      if (!notes.isEmpty()) notes += QStringLiteral("\r\n");
      notes += calendar_.GetDayNote(index, date);
      text_.Split(splitter, WithCrLf(notes), right() - (left() + 2 * m()));
      for (int k = 0; k < splitter.lineCount() && y + height < bottom(); ++k) {
        text_.Out(x, y, splitter.line(k));
        g_.lines << splitter.line(k);
        y += height;
      }
      y += height;  // an empty line between events
    }
    p_.restore();
  }

  void WeekPage(TDateTime date) {
    const TDateTime first = WeekStart(date);
    g_.title = tr("Week of ") + FormatDateTime(QStringLiteral("d mmm yyyy"), first);
    DrawCalendarGrid(std::clamp(options_.weeksPerPage, MinWeeksPerPage, MaxWeeksPerPage), false,
                     QStringLiteral("mmm dd"), first);
  }

  void MonthPage(TDateTime date) {
    int year, month, day;
    DecodeDate(date, year, month, day);
    g_.title = FormatDateTime(QStringLiteral("mmmm yyyy"), date);
    DrawCalendarGrid(MonthRows(year, month), true, QStringLiteral("dd"), EncodeDate(year, month, 1));
  }

  void DrawCalendarGrid(int rows, bool monthOnly, const QString& labelFormat, TDateTime start) {
    const int cw = (right() - left()) / 7;
    text_.SetHeight(u() / 2);
    const int hh = text_.Height() + m();
    const int gridTop = top() + hh;
    const int rh = (bottom() - gridTop) / rows;
    g_.rows = rows;
    g_.headerHeight = hh;
    g_.rowHeight = rh;
    g_.columnWidth = cw;
    g_.firstDay = WeekStart(start);
    int startYear, startMonth, startDay;
    DecodeDate(start, startYear, startMonth, startDay);

    // The cells first, so that shading lies under the lines and the text.
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < 7; ++c) {
        PageCell cell;
        cell.date = g_.firstDay + 7 * r + c;
        const int x1 = left() + c * cw;
        const int x2 = c == 6 ? right() : left() + (c + 1) * cw;
        const int y1 = gridTop + r * rh;
        const int y2 = r == rows - 1 ? bottom() : gridTop + (r + 1) * rh;
        cell.rect = QRect(QPoint(x1, y1), QPoint(x2, y2));
        int y, mo, d;
        DecodeDate(cell.date, y, mo, d);
        cell.filled = !monthOnly || (y == startYear && mo == startMonth);
        if (!cell.filled) p_.fillRect(cell.rect, OutsideShade);
        g_.cells.push_back(cell);
      }
    }
    p_.fillRect(QRect(QPoint(left(), top()), QPoint(right(), gridTop)), HeaderShade);

    TitleAndFrame();
    for (int k = 1; k <= 6; ++k) Line(left() + k * cw, top(), left() + k * cw, bottom());
    for (int r = 0; r < rows; ++r) Line(left(), top() + hh + r * rh, right(), top() + hh + r * rh);

    text_.SetHeight(u() / 2);
    const QString nameFormat = options_.portrait ? QStringLiteral("ddd") : QStringLiteral("dddd");
    for (int c = 0; c < 7; ++c) {
      const QString name = FormatDateTime(nameFormat, g_.firstDay + c);
      g_.dayNames << name;
      text_.Out(left() + c * cw + (cw - text_.Width(name)) / 2, top() + m() / 2, name);
    }

    T_SplitLine splitter;
    for (PageCell& cell : g_.cells) {
      if (!cell.filled) continue;
      const int x = cell.rect.left() + m();
      p_.save();
      // Text stays in its cell: what does not fit is cut at the cell's edge.
      p_.setClipRect(cell.rect.adjusted(1, 1, -1, -1));
      text_.SetHeight(u() / 5 * 2);
      cell.label = FormatDateTime(labelFormat, cell.date);
      text_.Out(x, cell.rect.top() + m(), cell.label);
      int y = cell.rect.top() + m() + text_.Height();
      if (!options_.blank) {
        text_.SetHeight(static_cast<int>(std::floor(u() * 0.375)));
        // A busy day stops at the bottom of its cell: lines below it would be cut away.
        const int cellBottom = cell.rect.bottom();
        for (const int index : EventsOf(calendar_, cell.date)) {
          if (y >= cellBottom) break;
          text_.Split(splitter, EventLine(calendar_, index, cell.date), cw - 2 * m());
          for (int k = 0; k < splitter.lineCount() && y < cellBottom; ++k) {
            text_.Out(x, y, splitter.line(k));
            cell.lines << splitter.line(k);
            y += text_.Height();
          }
        }
      }
      p_.restore();
    }
  }

  void YearPage(TDateTime date) {
    int year, month, day;
    DecodeDate(date, year, month, day);
    g_.frame = QRect();
    g_.title = FormatDateTime(QStringLiteral("yyyy"), date);
    text_.SetHeight(u());
    text_.Out((pw_ - text_.Width(g_.title)) / 2, u(), g_.title);
    text_.SetHeight(u() / 2);

    const int columns = options_.portrait ? 3 : 4;
    const int rows = options_.portrait ? 4 : 3;
    const int mw = (pw_ - 2 * u()) / columns;
    const int mh = (ph_ - (7 * u()) / 2) / rows;
    const int dw = mw / 8;
    const int lh = mh / 9;
    g_.monthColumns = columns;
    g_.monthRows = rows;
    static const char* const initials[7] = {"Su", "M", "Tu", "W", "Th", "F", "Sa"};
    for (int mo = 1; mo <= 12; ++mo) {
      const int x0 = u() + ((mo - 1) % columns) * mw;
      const int y0 = 2 * u() + u() / 2 + ((mo - 1) / columns) * mh;
      g_.monthBlocks.push_back(QRect(x0, y0, mw, mh));
      const QString name = QString::fromLatin1(LongMonthNames[mo - 1]);
      text_.SetHeight(u() / 2);
      text_.Out(x0 + (mw - text_.Width(name)) / 2, y0, name);
      // Each initial and day number keeps within its day column, with a little room to spare.
      text_.SetHeightWithin(u() / 2, QStringLiteral("Sa"), dw * 9 / 10, true);
      for (int k = 0; k < 7; ++k) text_.Out(x0 + dw / 2 + k * dw, y0 + lh, QString::fromLatin1(initials[k]));
      text_.SetHeightWithin(u() / 2, QStringLiteral("00"), dw * 8 / 10);
      const int firstWeekday = WeekdayIndex(EncodeDate(year, mo, 1));
      std::vector<int> weekLines;
      for (int d = 1; d <= DaysInMonth(year, mo); ++d) {
        const TDateTime value = EncodeDate(year, mo, d);
        const int weekday = WeekdayIndex(value);
        const int w = (d - 1) / 7 + 1 + (weekday < firstWeekday ? 1 : 0);
        weekLines.push_back(w);
        text_.Out(x0 + dw / 2 + weekday * dw, y0 + 2 * lh + (w - 1) * lh, FormatDateTime(QStringLiteral("dd"), value));
      }
      g_.monthWeekLines.push_back(std::move(weekLines));
    }
  }

  static QString tr(const char* text) { return QCoreApplication::translate("PageDrawing", text); }

  QPainter& p_;
  const PageOptions& options_;
  DataFormat& calendar_;
  PageText text_;
  const int pw_;
  const int ph_;
  QPen linePen_;
  PageGeometry g_;
};

}  // namespace

Dialogs::FontChoice PageOptions::DefaultPrintFont() {
  Dialogs::FontChoice font;
  font.family = QStringLiteral("Trebuchet MS");
  font.pointSize = 10;
  return font;
}

const PageCell* PageGeometry::cellOf(TDateTime date) const {
  for (const PageCell& cell : cells) {
    if (cell.date == DatePart(date)) return &cell;
  }
  return nullptr;
}

int PageUnit(int pageHeight) { return pageHeight / 20; }

int MonthRows(int year, int month) {
  int sundays = 0;
  for (int d = 2; d <= DaysInMonth(year, month); ++d) {
    if (WeekdayIndex(EncodeDate(year, month, d)) == 0) ++sundays;
  }
  return 1 + sundays;
}

TDateTime WeekStart(TDateTime date) { return DatePart(date) - WeekdayIndex(date); }

PageGeometry DrawPage(QPainter& painter, QSize page, TDateTime date, const PageOptions& options, DataFormat& calendar) {
  painter.save();
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  PagePainter pagePainter(painter, page, options, calendar);
  PageGeometry geometry = pagePainter.Draw(date);
  painter.restore();
  return geometry;
}

std::vector<TDateTime> PageDates(CalendarKind kind, TDateTime start, int count, int weeksPerPage) {
  count = std::clamp(count, MinPageCount, MaxPageCount);
  weeksPerPage = std::clamp(weeksPerPage, MinWeeksPerPage, MaxWeeksPerPage);
  std::vector<TDateTime> dates;
  TDateTime offset = 0;
  for (int k = 0; k < count; ++k) {
    if (k > 0) {
      switch (kind) {
        case CalendarKind::Day:
          offset += 1;
          break;
        case CalendarKind::Week:
          offset += 7 * weeksPerPage;
          break;
        case CalendarKind::Month:
          break;
        case CalendarKind::Year: {
          int year, month, day;
          DecodeDate(start + offset, year, month, day);
          offset += IsLeapYear(year) ? 366 : 365;
          break;
        }
      }
    }
    // Months are counted from the start date itself, so the 31st gives the last day of a
    // shorter month without dragging later months back to it.
    dates.push_back(kind == CalendarKind::Month ? IncMonth(start, k) : start + offset);
  }
  return dates;
}

bool PrintPages(QPagedPaintDevice& device, const std::vector<TDateTime>& dates, const PageOptions& options,
                DataFormat& calendar, QString& error) {
  QPainter painter;
  if (!painter.begin(&device)) {
    error = QCoreApplication::translate("PageDrawing", "The printer could not start the print job.");
    return false;
  }
  for (size_t i = 0; i < dates.size(); ++i) {
    if (i > 0 && !device.newPage()) {
      painter.end();
      error = QCoreApplication::translate("PageDrawing", "The printer could not start a new page.");
      return false;
    }
    DrawPage(painter, QSize(device.width(), device.height()), dates[i], options, calendar);
  }
  if (!painter.end()) {
    error = QCoreApplication::translate("PageDrawing", "The printer could not finish the print job.");
    return false;
  }
  return true;
}

QPageLayout PdfPageLayout(bool portrait) {
  const QPageSize size(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                          : QPageSize::A4);
  return QPageLayout(size, portrait ? QPageLayout::Portrait : QPageLayout::Landscape, QMarginsF(0, 0, 0, 0));
}

bool WritePdf(const QString& path, const std::vector<TDateTime>& dates, const PageOptions& options,
              DataFormat& calendar, QString& error) {
  // The document is made in memory and then written through a temporary file that replaces
  // the target only when complete.
  QByteArray document;
  {
    QBuffer buffer(&document);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(PdfResolution);
    writer.setPageLayout(PdfPageLayout(options.portrait));
    writer.setCreator(QStringLiteral("Orvane"));
    writer.setTitle(QStringLiteral("Orvane %1 calendar").arg(CalendarKindName(options.kind)));
    if (!PrintPages(writer, dates, options, calendar, error)) return false;
  }
  // The pages show the user's events: readable by their owner only.
  error = WriteWholeFile(path, document, FileAccess::OwnerOnly);
  return error.isEmpty();
}

QString CalendarKindName(CalendarKind kind) {
  switch (kind) {
    case CalendarKind::Day:
      return QStringLiteral("day");
    case CalendarKind::Week:
      return QStringLiteral("week");
    case CalendarKind::Month:
      return QStringLiteral("month");
    case CalendarKind::Year:
      return QStringLiteral("year");
  }
  return QString();
}
