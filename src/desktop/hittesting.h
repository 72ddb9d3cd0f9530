#pragma once

// What the pointer is over on the desktop panel, and the texts shown about it, as plain
// functions of the last paint's layout marks. The window's mouse handling and its menu
// (desktopmouse.cpp, desktopmenu.cpp) act on these; nothing here touches a window.

#include "core/tdatetime.h"
#include "desktop/panellayout.h"

#include <QString>
#include <optional>

class DataFormat;
struct THitRow;
struct TWeatherReport;

// The panel's zones for a point in content coordinates (y includes the scroll position).
struct PanelZones {
  int R = 21;
  int W = 220;  // the panel width; the arrows of the month title sit at its ends
  LayoutMarks marks;
  int calendarRows = 0;  // 0 without the calendar, else 8 or 12
  bool weatherShown = false;

  // Between the title row and the end of the task list.
  bool InListRows(int y) const { return R < y && y < marks.TasksBottom; }
  bool InEventPart(int y) const { return y < marks.TasksTop; }
  bool InTaskPart(int y) const { return y < marks.TasksBottom; }
  bool InMonthTitleRow(int y) const { return calendarRows > 0 && marks.CalendarTop <= y && y <= marks.CalendarTop + R; }
  bool OverLeftArrows(int x, int y) const { return InMonthTitleRow(y) && 0 <= x && x <= R; }
  bool OverRightArrows(int x, int y) const { return InMonthTitleRow(y) && W - R <= x && x <= W; }
  bool OverMonthCentre(int x, int y) const { return InMonthTitleRow(y) && 2 * R <= x && x <= W - 2 * R; }
  bool InMainGrid(int y) const {
    return calendarRows > 0 && marks.CalendarTop + 2 * R <= y && y <= marks.CalendarTop + 8 * R;
  }
  bool InCalendarCells(int y) const {
    return calendarRows > 0 && marks.CalendarTop + 2 * R <= y && y <= marks.CalendarTop + calendarRows * R;
  }
  bool InWeatherSection(int y) const { return weatherShown && y >= marks.WeatherTop; }
  // Only while the last paint showed the alert row.
  bool InAlertRow(int y) const { return marks.AlertRowShown && marks.AlertRowTop <= y && y <= marks.AlertRowTop + R; }
};

// CR LF line ends as the widgets show them.
QString ForDisplay(const QString& text);

// The forecast entry of a date: 0 for today up to 9 for the date nine days from now; nothing
// for other dates (times of day do not count).
std::optional<int> ForecastIndex(TDateTime date, TDateTime now);

// What the weather tells about a date, or the empty text when the weather is not wanted in
// the details (wanted false), not valid, or the date is outside the forecast. Today's text
// starts with the current temperature.
QString WeatherText(const TWeatherReport* report, bool wanted, TDateTime date, TDateTime now);
// The same without the current temperature: the conditions, the high and low and the chance
// of precipitation.
QString ForecastPart(const TWeatherReport& report, int k);

// The details of a list row: a day header's weather and the menu hint, an event's notes and
// its note for the day, a task's note lines.
QString RowDetailsText(const DataFormat& calendar, const THitRow& row, const QString& weatherText);

// The details of a calendar day: its list of events, then the weather for it.
QString CellDetailsText(DataFormat& calendar, TDateTime date, const TWeatherReport* report, bool weatherWanted,
                        TDateTime now);

// The hint over the month title row.
QString MonthTitleHint();

// Whether a right-click on an event may hide the day: a series, or a one-time event that has
// hidden or added days and still falls on its own start date.
bool OffersException(const DataFormat& calendar, int index);
