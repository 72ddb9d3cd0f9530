#pragma once

#include "core/tdatetime.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

// One day of the ten-day forecast, as texts in the chosen unit.
struct TForecastDay {
  QString Conditions;
  QString High;
  QString Low;
  QString PrecipChance;
};

// The current weather and the ten-day forecast for the user's zip code, as texts ready to
// show. The panel, its forecast texts and the tray icon read it; T_Weather fills it.
struct TWeatherReport {
  bool Loading = true;
  bool CurrentValid = false;
  bool ForecastValid = false;

  QString Temperature;
  QString High;  // "N/A" when the page gives none
  QString Low;
  QString Conditions;
  QString Humidity;
  QString UVIndex;
  QString Wind;  // "Wind: " and the page's wind text, which may carry markup
  QString Pressure;
  QString PressureTrend;  // "up", "down" or another word (steady)
  bool SevereAlert = false;
  QString TempUnit;
  QString PressureUnit;

  std::array<TForecastDay, 10> Forecast;  // index 0 is today

  // When the values were fetched (UTC); invalid when the source does not say.
  QDateTime AsOf;
};

// Temperature units (TempDeg): 0 °F, 1 °C, 2 °R, 3 K, 4 °Re. Pressure units (PressureType):
// 0 inches of mercury, 1 mm Hg, 2 atm, 3 kPa. An unknown unit is taken as the first.
qint64 ConvertTemperature(qint64 fahrenheit, int unit);
double ConvertPressure(int unit, double inches);
QString TempUnitLabel(int unit);
QString PressureUnitLabel(int unit);
// The shortest decimal text of a pressure ("30.12", "1", "765.04").
QString PressureText(double value);

// The text of a conditions code of the site; a code it does not know stays as it is.
QString ConditionsText(const QString& code);

enum class PageParse {
  Parsed,         // the page was read whole; its valid flag is set
  MarkerMissing,  // a marker was not found: this page's flag is cleared, nothing else changes
  BadNumber,      // a number that must be converted is not one: the whole refresh fails
};

// Reads the current-conditions page into the report. Only a page read whole changes the
// values; otherwise they stay as they were and CurrentValid is cleared.
PageParse ParseCurrentPage(const QString& page, int tempDeg, int pressureType, TWeatherReport& report);
// Reads the ten-day page into the report's Forecast, the same way, with ForecastValid.
PageParse ParseTenDayPage(const QString& page, int tempDeg, TWeatherReport& report);

// The text of the forecast menu entry for a date: the current weather for today, the
// forecast for the nine days after it; nothing for other days. Lines end with CR LF.
std::optional<QString> ForecastText(const TWeatherReport& report, TDateTime date, TDateTime today);
