#pragma once

// The weather section of the desktop panel as plain logic: how many rows it takes, whether it
// shows the severe-weather alert row, the texts of its rows and the shape of the pressure
// trend arrow. DisplayFunctions::PaintWeather (weatherpainter.cpp) paints from these.

#include "core/tdatetime.h"

#include <QLine>
#include <QString>
#include <array>

struct TWeatherReport;
class T_Weather;

enum class TrendDirection { Up = 0, Down = 1, Steady = 2 };

// Rows of the section: 1 without valid weather; otherwise 5, or 6 when the wind comes in two
// parts, plus the alert row. While a refresh is loading, a valid report keeps its room.
int WeatherRowCount(const TWeatherReport& report);

// Whether the section paints the alert row (the second row): a valid report with an alert,
// not while loading.
bool WeatherAlertRowShown(const TWeatherReport& report);

// "up" and "down" point the arrow; any other trend is steady.
TrendDirection PressureTrendDirection(const QString& trend);

// The three strokes of a trend arrow centred on (x, c), each arm q long.
std::array<QLine, 3> TrendArrowLines(int x, int c, int q, TrendDirection direction);

// The wind text as the panel shows it: one row, or, when the site put a line-break tag in
// it, the text before the tag and the text after it on two rows, each trimmed.
struct WindRows {
  QString first;
  QString second;
  bool twoRows = false;
};
WindRows SplitWind(const QString& wind);

// The texts of the rows (through the translation tables).
QString WeatherLoadingText();
QString WeatherOfflineText();
QString SevereAlertText();
QString HighLowText(const TWeatherReport& report);      // "Hi: 81°F  Lo: 64°F"
QString HumidityText(const TWeatherReport& report);     // "RH: 40%   UV: 5"
QString PressureRowText(const TWeatherReport& report);  // "Pressure: 30.1 In.   "
// The conditions, and when the report was fetched more than an hour before now (a report
// kept while the service cannot be reached) its time: "Partly Cloudy, as of 10:42".
QString ConditionsRowText(const TWeatherReport& report, TDateTime now);

// The report a weather keeper holds, or none without one (commands, most tests).
const TWeatherReport* WeatherReportOf(const T_Weather* weather);
