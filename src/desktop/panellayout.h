#pragma once

// The geometry of the desktop panel as plain functions: section heights, the bars and the
// layout marks, the month tables and the date under a point, window sizing, docking,
// snapping and the edge zones. Nothing here paints or touches a window.

#include "core/tdatetime.h"
#include "settings/displaysettings.h"

#include <QRect>
#include <QSize>
#include <array>
#include <vector>

// What the painter knows about the calendar before it lays out the panel.
struct PanelCounts {
  // Events of today + i for i = 0..DisplayDays (the day list's days).
  std::vector<int> dayEvents;
  int openToDos = 0;
  // Rows of the weather section; 0 while no weather panel is painted.
  int weatherRows = 0;
  // The weather section's second row is the severe-weather alert row.
  bool weatherAlertRow = false;
};

// Positions written by each paint and read by hit-testing, in content coordinates (0 is the
// top of the title row).
struct LayoutMarks {
  int TasksTop = 0;
  int TasksBottom = 0;
  int CalendarTop = 0;
  int WeatherTop = 0;
  // The severe-weather alert row, one row high; only while AlertRowShown (otherwise the top
  // equals WeatherTop and no row is the alert row).
  int AlertRowTop = 0;
  bool AlertRowShown = false;
};

// Whether content y lies in the alert row of the last paint.
inline bool InAlertRow(const LayoutMarks& marks, int y, int R) {
  return marks.AlertRowShown && y >= marks.AlertRowTop && y < marks.AlertRowTop + R;
}

struct GradientBarPlace {
  int y = 0;
  int height = 0;  // 0: one row
};

struct PanelLayout {
  std::vector<GradientBarPlace> bars;
  LayoutMarks marks;
  int height = 0;  // the content height, equal to ContentHeight
};

// 0 without the calendar, 8 rows, or 12 with a small month.
int CalendarRows(const DisplaySettings& s);
// The height in pixels that all shown sections need.
int ContentHeight(const DisplaySettings& s, const PanelCounts& counts);
// The gradient bars and the layout marks, in content coordinates.
PanelLayout LayoutBackgroundBars(const DisplaySettings& s, const PanelCounts& counts);

// --- Gradient bars.
// The colour of each of the W + 1 columns of a bar, as 0x00BBGGRR: each channel steps by
// (end - start) / W, starting one step after start, rounded half to even and kept within
// 0..255. The colour key (value 1) is replaced by black.
std::vector<quint32> GradientColumns(quint32 start, quint32 end, int width);

// --- Month tables.
using MonthCellTable = std::array<std::array<TDateTime, 7>, 7>;
using SideMonthCellTable = std::array<std::array<TDateTime, 15>, 7>;

// The month shown: the current date moved by offset months (date only).
TDateTime ShownMonthDate(TDateTime now, int monthOffset);
// Row and column of day d in a month whose first day falls on weekday f (Sunday 0).
inline int MonthCellIndex(int firstWeekday, int day) { return firstWeekday + day - 1; }
// The table of the main month: every cell the current date-time, each day's cell its date.
MonthCellTable MakeMonthCells(TDateTime now, int monthOffset);
// The small months' table, with its defaults and the days of each shown month.
SideMonthCellTable MakeSideMonthCells(TDateTime now, int monthOffset, bool prev, bool next);

struct CalendarGeometry {
  int R = 21;
  int W = 220;
  int calendarTop = 0;
  bool sideMonths = false;
};
// The date under (x, y), y in content coordinates at or below the weekday labels. Points
// outside the columns take the nearest column; points below the small months give now.
TDateTime CalendarDateAt(int x, int y, const CalendarGeometry& g, const MonthCellTable& cells,
                         const SideMonthCellTable& sideCells, TDateTime now);

// --- Window size, docking, snapping and resizing.
struct WindowSize {
  int width = 0;
  int height = 0;
  bool scrollMode = false;
  int scrollRange = 0;
};
// Height, width and scroll mode for a content height. With a work-area height the window
// is never taller than the rows that fit into it (MaxHeight may come from a larger screen or
// another scale), and the content scrolls instead.
WindowSize ComputeWindowSize(int contentHeight, const DisplaySettings& s, int workAreaHeight = 0);

// The scroll bar's width in scroll mode.
constexpr int ScrollBarWidth = 15;

struct DockingInput {
  QRect window;    // the window's current geometry
  QRect workArea;  // the work area of the panel's monitor
  bool showing = false;
  int R = 21;
  int LastHeight = 0;
  int LastWidth = 0;
  int DesktopTop = 0;
  int DesktopLeft = 0;
  bool dockBottom = false;
  bool dockRight = false;
};
struct DockingResult {
  QPoint position;  // where the window goes
  bool dockBottom = false;
  bool dockRight = false;
  int LastHeight = 0;
  int LastWidth = 0;
  bool changed = false;  // the settings must be written
};
DockingResult ComputeDocking(const DockingInput& in);

// The rectangle moved (not resized) so that it lies inside the work area, as far as it fits.
QRect KeepInside(const QRect& window, const QRect& workArea);

// Where the window goes when the program gives it a new size (the scroll bar comes or goes,
// the content grows): one docked to the right keeps its right edge, and it stays inside the
// work area.
QRect ResizedPlace(const QRect& window, QSize size, const QRect& workArea, bool dockRight);

// The proposed geometry moved into the work area, snapping to an edge within R - 2 pixels.
QRect SnapToWorkArea(const QRect& proposed, const QRect& workArea, int R);

struct ResizeInput {
  QSize proposed;
  QSize workArea;
  int R = 21;
  bool scrollMode = false;
  bool userResize = false;  // not while showing or while the program resizes
  int contentHeight = 0;
};
struct ResizeResult {
  bool accepted = false;
  int height = 0;      // the height to use (whole rows after a user resize that limits)
  int panelWidth = 0;  // the new Width setting
  int maxHeight = -1;  // the new MaxHeight setting; -1: unchanged
};
ResizeResult FormCanResize(const ResizeInput& in);

// Where a pointer at (x, y) in the window's client area lets the user move or size the panel.
enum class HitZone { Client, Caption, Top, Bottom, Left, Right, TopLeft, TopRight, BottomLeft, BottomRight };
HitZone PanelHitZone(int x, int clientY, int scrollPos, QSize client, int R);

// The quick-notes and information boxes: where they go and whether they show.
struct BoxPlace {
  QRect rect;
  bool visible = false;
};
