// The title row and the month calendars of the desktop panel.

#include "desktop/displayfunctions.h"

#include <QPainter>

namespace {

const char* const WeekdayLabels[7] = {"Su", "M ", "Tu", "W ", "Th", "F ", "Sa"};

QString DayNumberText(int day) { return QString::number(day).rightJustified(2, QLatin1Char(' ')); }

}  // namespace

int DisplayFunctions::PaintTitleRow(QPainter& p, int y) {
  const int R = settings_.R();
  const int W = settings_.Width;
  HitRows.clear();
  HitRows.push_back({DatePart(now_), 0, ' '});
  font_.cellHeight = R;
  font_.colour = settings_.HeaderFontColor;
  font_.bold = true;
  font_.italic = true;
  font_.underline = false;
  DrawTextCentred(p, W / 2, DrawY(y), PanelText("Orvane"), W - 2 * (R / 2 + R / 8));
  if (ServerFailing) {
    // A hollow ring in the title's colour, in the margin the title keeps free.
    const int d = std::max(4, R / 3);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ColourOf(settings_.HeaderFontColor), std::max(1, R / 12)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(W - R / 2 - d / 2, y + (R - d) / 2, d, d);
    p.drawLine(W - R / 2, y + (R - d) / 2 + d / 4, W - R / 2, y + (R - d) / 2 + d * 3 / 4 - 1);
    p.restore();
  }
  return y + R;
}

void DisplayFunctions::DrawArrows(QPainter& p, int m, quint32 colour) {
  const int R = settings_.R();
  const int W = settings_.Width;
  const int q = R / 4;
  p.setPen(ColourOf(colour));
  // Two chevrons pointing left, and their mirror images on the right.
  p.drawLine(q, m, 2 * q, m - q);
  p.drawLine(q, m, 2 * q, m + q);
  p.drawLine(2 * q, m, 3 * q, m - q);
  p.drawLine(2 * q, m, 3 * q, m + q);
  p.drawLine(W - q, m, W - 2 * q, m - q);
  p.drawLine(W - q, m, W - 2 * q, m + q);
  p.drawLine(W - 2 * q, m, W - 3 * q, m - q);
  p.drawLine(W - 2 * q, m, W - 3 * q, m + q);
}

int DisplayFunctions::PaintMonth(QPainter& p, int y) {
  const int R = settings_.R();
  const int W = settings_.Width;
  const int c = W / 7;
  Marks.CalendarTop = y;
  for (auto& row : MonthCells) row.fill(now_);
  const int margin = (c - TextWidth(QStringLiteral("01"))) / 2;

  const TDateTime shown = ShownMonthDate(now_, MonthOffset);
  font_.cellHeight = R;
  font_.bold = true;
  font_.italic = true;
  font_.underline = false;
  font_.colour = settings_.HeaderFontColor;
  DrawTextCentred(p, W / 2, DrawY(y), FormatDateTime(QStringLiteral("mmmm yyyy"), shown), W - 2 * R);

  const int m = DrawY(y) + R / 2;
  const bool antialiased = p.testRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::Antialiasing, false);
  if (settings_.UseDropShadow) DrawArrows(p, m + 1, settings_.DropColor);
  DrawArrows(p, m, settings_.HeaderFontColor);
  p.setRenderHint(QPainter::Antialiasing, antialiased);

  y += R;
  font_.colour = settings_.LabelColor;
  for (int k = 0; k < 7; ++k) DrawTextLeft(p, k * c + margin, DrawY(y), QString::fromLatin1(WeekdayLabels[k]), c);
  y += R;
  font_.bold = false;
  font_.italic = false;

  int year, month, dayOfMonth;
  DecodeDate(shown, year, month, dayOfMonth);
  int todayYear, todayMonth, todayDay;
  DecodeDate(now_, todayYear, todayMonth, todayDay);
  const int f = WeekdayIndex(EncodeDate(year, month, 1));
  const int days = DaysInMonth(year, month);
  for (int d = 1; d <= days; ++d) {
    const int k = MonthCellIndex(f, d);
    const TDateTime date = EncodeDate(year, month, d);
    const bool today = d == todayDay && MonthOffset == 0;
    font_.bold = today;
    font_.underline = today;
    font_.colour = days_.Events(date).empty() ? settings_.FontColor : settings_.EventDayColor;
    DrawTextLeft(p, (k % 7) * c + margin, DrawY(y + (k / 7) * R), DayNumberText(d), c);
    MonthCells[static_cast<size_t>(k / 7)][static_cast<size_t>(k % 7)] = date;
  }
  font_.bold = false;
  font_.underline = false;
  y += 6 * R;  // six week rows, whether or not the month needs them
  if (settings_.DisplayPrevMonth || settings_.DisplayNextMonth) y = PaintSideMonths(p, y);
  return y;
}

int DisplayFunctions::PaintSideMonths(QPainter& p, int y) {
  const int R = settings_.R();
  const int W = settings_.Width;
  const int c2 = W / 15;
  const bool prev = settings_.DisplayPrevMonth;
  const bool next = settings_.DisplayNextMonth;
  const bool both = prev && next;

  // The defaults of the table: the neighbouring months of today, or today itself.
  const TDateTime today = DatePart(now_);
  for (auto& row : SideMonthCells) {
    if (both) {
      for (int j = 0; j < 7; ++j) {
        row[static_cast<size_t>(j)] = IncMonth(today, -1);
        row[static_cast<size_t>(j) + 8] = IncMonth(today, 1);
      }
      row[7] = today;
    } else {
      row.fill(today);
    }
  }

  const TDateTime shown = ShownMonthDate(now_, MonthOffset);
  const int first = prev ? 0 : 1;
  const int last = next ? 1 : 0;
  const int entryCell = font_.cellHeight;
  int margin2 = (W / 7 - TextWidth(QStringLiteral("01"))) / 2;
  if (!both) margin2 += W / 4;
  int t[2];
  if (both) {
    t[0] = (W - c2) / 4 + 1;
    t[1] = (W + c2) / 2 + t[0];
  } else {
    t[0] = t[1] = W / 2 + 1;
  }

  font_.cellHeight = R / 2;
  font_.bold = true;
  font_.italic = true;
  font_.underline = false;
  font_.colour = settings_.HeaderFontColor;
  TDateTime months[2] = {IncMonth(shown, -1), IncMonth(shown, 1)};
  for (int i = first; i <= last; ++i) {
    DrawTextCentred(p, t[i], DrawY(y), FormatDateTime(QStringLiteral("mmmm yyyy"), months[i]), W / 2 - R);
  }

  y += R / 2;
  font_.colour = settings_.LabelColor;
  for (int i = first; i <= last; ++i) {
    const int base = 8 * i * (last - first);
    for (int k = 0; k < 7; ++k) {
      DrawTextLeft(p, (base + k) * c2 + margin2, DrawY(y), QString::fromLatin1(WeekdayLabels[k]), c2);
    }
  }

  y += R / 2;
  font_.bold = false;
  font_.italic = false;
  const int o = both ? 0 : 4;
  for (int i = first; i <= last; ++i) {
    const int base = 8 * i * (last - first);
    int year, month, dayOfMonth;
    DecodeDate(months[i], year, month, dayOfMonth);
    const int f = WeekdayIndex(EncodeDate(year, month, 1));
    const int days = DaysInMonth(year, month);
    for (int d = 1; d <= days; ++d) {
      const int k = MonthCellIndex(f, d);
      const TDateTime date = EncodeDate(year, month, d);
      font_.colour = days_.Events(date).empty() ? settings_.FontColor : settings_.EventDayColor;
      DrawTextLeft(p, (k % 7 + base) * c2 + margin2, DrawY(y + ((k / 7) * R) / 2), DayNumberText(d), c2);
      const int column = k % 7 + base + o;
      SideMonthCells[static_cast<size_t>(k / 7)][static_cast<size_t>(column)] = date;
    }
  }
  y += 3 * R;
  font_.cellHeight = entryCell;
  return y;
}
