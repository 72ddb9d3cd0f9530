#include "desktop/panellayout.h"

#include <algorithm>
#include <cmath>

namespace {

bool WeatherShown(const DisplaySettings& s) { return s.DisplayWeather && s.CurrentWeather; }
bool SideMonthsShown(const DisplaySettings& s) { return s.DisplayPrevMonth || s.DisplayNextMonth; }

int DayCount(const PanelCounts& counts, int i) {
  return i < static_cast<int>(counts.dayEvents.size()) ? counts.dayEvents[static_cast<size_t>(i)] : 0;
}

// Rows of the day list: a header for each day with events (and for today when it is always
// shown), and one row per event.
int DayListRows(const DisplaySettings& s, const PanelCounts& counts) {
  int rows = 0;
  for (int i = 0; i <= s.DisplayDays; ++i) {
    const int n = DayCount(counts, i);
    if (n > 0 || (i == 0 && s.AlwaysShowToday)) ++rows;
    rows += n;
  }
  return rows;
}

int Channel(quint32 colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

}  // namespace

int CalendarRows(const DisplaySettings& s) {
  if (!s.DisplayCal) return 0;
  return SideMonthsShown(s) ? 12 : 8;
}

int ContentHeight(const DisplaySettings& s, const PanelCounts& counts) {
  const int R = s.R();
  int h = R;
  if (s.DisplayTaskList) h += (counts.openToDos + 1) * R;
  h += CalendarRows(s) * R;
  if (WeatherShown(s)) h += counts.weatherRows * R;
  if (s.DisplayEvents) h += DayListRows(s, counts) * R;
  if (s.DisplayNotebook) h += (s.MemoLines + 1) * R;
  if (!s.UseToolTips) h += s.MemoLines * R;
  return h;
}

PanelLayout LayoutBackgroundBars(const DisplaySettings& s, const PanelCounts& counts) {
  const int R = s.R();
  PanelLayout out;
  int y = 0;
  out.bars.push_back({y, 0});  // the title row
  y = R;
  if (s.DisplayEvents) {
    for (int i = 0; i <= s.DisplayDays; ++i) {
      const int n = DayCount(counts, i);
      if (n > 0 || (i == 0 && s.AlwaysShowToday)) {
        out.bars.push_back({y, 0});  // the day header
        y += R;
      }
      y += n * R;
    }
  }
  out.marks.TasksTop = y;
  out.marks.TasksBottom = y;
  if (s.DisplayTaskList) {
    out.bars.push_back({y, 0});  // "Tasks"
    y += (counts.openToDos + 1) * R;
    out.marks.TasksBottom = y;
  }
  if (!s.UseToolTips) y += s.MemoLines * R;  // the information box has no bar
  if (s.DisplayCal) {
    out.marks.CalendarTop = y;
    out.bars.push_back({y, 0});  // the month title
    if (SideMonthsShown(s)) {
      out.bars.push_back({y + 8 * R, R / 2});  // the small months' titles
      y += 12 * R;
    } else {
      y += 8 * R;
    }
  } else {
    out.marks.CalendarTop = y;
  }
  if (s.DisplayNotebook) {
    out.bars.push_back({y, 0});  // "Quick Notes"
    y += (s.MemoLines + 1) * R;
  }
  out.marks.WeatherTop = y;
  out.marks.AlertRowTop = y;
  if (WeatherShown(s)) {
    if (counts.weatherAlertRow && counts.weatherRows > 1) {
      out.marks.AlertRowTop = y + R;
      out.marks.AlertRowShown = true;
    }
    for (int row = 0; row < counts.weatherRows; ++row) out.bars.push_back({y + row * R, 0});
    y += counts.weatherRows * R;
  }
  out.height = y;
  return out;
}

std::vector<quint32> GradientColumns(quint32 start, quint32 end, int width) {
  const int W = std::max(1, width);
  std::vector<quint32> out;
  out.reserve(static_cast<size_t>(W) + 1);
  double value[3];
  double step[3];
  for (int c = 0; c < 3; ++c) {
    const int a = Channel(start, 8 * c);
    const int b = Channel(end, 8 * c);
    value[c] = a;
    step[c] = static_cast<double>(b - a) / W;
  }
  for (int x = 0; x <= W; ++x) {
    quint32 colour = 0;
    for (int c = 0; c < 3; ++c) {
      value[c] += step[c];
      // The last column lies one step past the end colour; keep it a valid channel value.
      const int v = std::clamp(static_cast<int>(std::nearbyint(value[c])), 0, 255);
      colour |= static_cast<quint32>(v) << (8 * c);
    }
    if (colour == 1) colour = 0;  // the colour key would punch a hole into the window
    out.push_back(colour);
  }
  return out;
}

TDateTime ShownMonthDate(TDateTime now, int monthOffset) { return IncMonth(DatePart(now), monthOffset); }

MonthCellTable MakeMonthCells(TDateTime now, int monthOffset) {
  MonthCellTable cells;
  for (auto& row : cells) row.fill(now);
  int y, m, d;
  DecodeDate(ShownMonthDate(now, monthOffset), y, m, d);
  const int f = WeekdayIndex(EncodeDate(y, m, 1));
  const int days = DaysInMonth(y, m);
  for (int day = 1; day <= days; ++day) {
    const int k = MonthCellIndex(f, day);
    cells[static_cast<size_t>(k / 7)][static_cast<size_t>(k % 7)] = EncodeDate(y, m, day);
  }
  return cells;
}

SideMonthCellTable MakeSideMonthCells(TDateTime now, int monthOffset, bool prev, bool next) {
  SideMonthCellTable cells;
  const TDateTime today = DatePart(now);
  for (auto& row : cells) {
    if (prev && next) {
      for (int j = 0; j < 7; ++j) {
        row[static_cast<size_t>(j)] = IncMonth(today, -1);
        row[static_cast<size_t>(j) + 8] = IncMonth(today, 1);
      }
      row[7] = today;
    } else {
      row.fill(today);
    }
  }
  if (!prev && !next) return cells;
  const TDateTime shown = ShownMonthDate(now, monthOffset);
  const int first = prev ? 0 : 1;
  const int last = next ? 1 : 0;
  const int o = (prev && next) ? 0 : 4;
  for (int i = first; i <= last; ++i) {
    const int base = 8 * i * (last - first);
    int y, m, d;
    DecodeDate(IncMonth(shown, i == 0 ? -1 : 1), y, m, d);
    const int f = WeekdayIndex(EncodeDate(y, m, 1));
    const int days = DaysInMonth(y, m);
    for (int day = 1; day <= days; ++day) {
      const int k = MonthCellIndex(f, day);
      const int column = k % 7 + base + o;
      cells[static_cast<size_t>(k / 7)][static_cast<size_t>(column)] = EncodeDate(y, m, day);
    }
  }
  return cells;
}

TDateTime CalendarDateAt(int x, int y, const CalendarGeometry& g, const MonthCellTable& cells,
                         const SideMonthCellTable& sideCells, TDateTime now) {
  const int R = std::max(2, g.R);
  const int rel = y - g.calendarTop - 2 * R;
  if (rel < 0) return now;
  const int r = rel / R;
  if (r >= 7) {
    if (!g.sideMonths) return now;
    const int r2 = (y - g.calendarTop - 9 * R) / (R / 2);
    if (r2 < 0 || r2 > 6) return now;
    const int c2 = std::max(1, g.W / 15);
    const int col = std::clamp(x < 0 ? 0 : x / c2, 0, 14);
    return sideCells[static_cast<size_t>(r2)][static_cast<size_t>(col)];
  }
  const int c = std::max(1, g.W / 7);
  const int col = std::clamp(x < 0 ? 0 : x / c, 0, 6);
  return cells[static_cast<size_t>(r)][static_cast<size_t>(col)];
}

WindowSize ComputeWindowSize(int contentHeight, const DisplaySettings& s, int workAreaHeight) {
  const int R = s.R();
  int rows = s.MaxHeight;
  if (workAreaHeight > 0) rows = std::min(rows, std::max(2, workAreaHeight / R));
  WindowSize out;
  out.scrollRange = contentHeight;
  if (contentHeight / R <= rows) {
    out.scrollMode = false;
    out.height = contentHeight;
    out.width = s.Width;
  } else {
    out.scrollMode = true;
    out.height = R * rows;
    out.width = s.Width + ScrollBarWidth;
  }
  return out;
}

DockingResult ComputeDocking(const DockingInput& in) {
  const int bottomEdge = in.workArea.y() + in.workArea.height();
  const int rightEdge = in.workArea.x() + in.workArea.width();
  int top = in.window.y();
  int left = in.window.x();
  const int h = in.window.height();
  const int w = in.window.width();
  DockingResult out;
  if (in.showing) {
    // A docked panel goes back to its edge when its size changed, and also when the edge
    // has moved since (another resolution or scale): it is no longer within a row of it.
    const bool nearBottom = bottomEdge - in.R <= top + h && top + h <= bottomEdge;
    const bool nearRight = rightEdge - in.R <= left + w && left + w <= rightEdge;
    if (h != in.LastHeight || (in.dockBottom && !nearBottom)) {
      if (in.dockBottom) top = bottomEdge - h;
      out.changed = true;
    }
    if (w != in.LastWidth || (in.dockRight && !nearRight)) {
      if (in.dockRight) left = rightEdge - w;
      out.changed = true;
    }
  }
  const QPoint inside = KeepInside(QRect(left, top, w, h), in.workArea).topLeft();
  left = inside.x();
  top = inside.y();
  out.dockBottom = bottomEdge - in.R <= top + h;
  out.dockRight = rightEdge - in.R <= left + w;
  if (top != in.DesktopTop || left != in.DesktopLeft || w != in.LastWidth) out.changed = true;
  out.LastHeight = h;
  out.LastWidth = w;
  out.position = QPoint(left, top);
  return out;
}

QRect KeepInside(const QRect& window, const QRect& workArea) {
  const auto fit = [](int at, int size, int from, int length) {
    if (size >= length) return from;  // too large: its top or left edge stays on the screen
    return std::clamp(at, from, from + length - size);
  };
  return QRect(fit(window.x(), window.width(), workArea.x(), workArea.width()),
               fit(window.y(), window.height(), workArea.y(), workArea.height()), window.width(), window.height());
}

QRect ResizedPlace(const QRect& window, QSize size, const QRect& workArea, bool dockRight) {
  QRect placed(window.topLeft(), size);
  if (dockRight) placed.moveRight(window.right());
  return KeepInside(placed, workArea);
}

QRect SnapToWorkArea(const QRect& proposed, const QRect& workArea, int R) {
  const int left = workArea.x();
  const int top = workArea.y();
  const int right = workArea.x() + workArea.width();
  const int bottom = workArea.y() + workArea.height();
  const int s = R - 2;
  int x = proposed.x();
  int y = proposed.y();
  const int w = proposed.width();
  const int h = proposed.height();
  if (x <= left + s) x = left;
  if (right - s <= x + w) x = right - w;
  if (y <= top + s) y = top;
  if (bottom - s <= y + h) y = bottom - h;
  return QRect(x, y, w, h);
}

ResizeResult FormCanResize(const ResizeInput& in) {
  const int R = std::max(1, in.R);
  ResizeResult out;
  const int W = in.proposed.width();
  int H = in.proposed.height();
  if (H < 2 * R || H > in.workArea.height() || W < 100 || W > in.workArea.width()) return out;
  out.accepted = true;
  out.panelWidth = W - (in.scrollMode ? ScrollBarWidth : 0);
  if (in.userResize) {
    if (in.contentHeight <= H) {
      out.maxHeight = in.workArea.height() / R;
    } else {
      out.maxHeight = H / R;
      H = (H / R) * R;
    }
  }
  out.height = H;
  return out;
}

HitZone PanelHitZone(int x, int clientY, int scrollPos, QSize client, int R) {
  const int E = std::max(1, R / 5);
  const int contentY = clientY + scrollPos;
  HitZone zone = HitZone::Client;
  if (contentY >= 0 && contentY / std::max(1, R) == 0) zone = HitZone::Caption;
  // The edges belong to the window, not to the content: they are measured in the client
  // area, so a scrolled panel keeps its resize zones at its edges only.
  const bool top = clientY < E;
  const bool bottom = clientY > client.height() - E;
  if (top) zone = HitZone::Top;
  if (bottom) zone = HitZone::Bottom;
  if (x < E) zone = top ? HitZone::TopLeft : bottom ? HitZone::BottomLeft : HitZone::Left;
  if (x > client.width() - E) zone = top ? HitZone::TopRight : bottom ? HitZone::BottomRight : HitZone::Right;
  return zone;
}
