#pragma once

#include "network/weatherparser.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// Open-Meteo: a forecast and a place search as JSON, no key. This file reads their answers
// into the weather report and into places; it fetches nothing.

// Where the service is when the settings name no other address.
inline constexpr const char* DefaultOpenMeteoForecastUrl = "https://api.open-meteo.com/v1/forecast";
inline constexpr const char* DefaultOpenMeteoGeocodeUrl = "https://geocoding-api.open-meteo.com/v1/search";

// A place the weather is fetched for: its coordinates and the name shown to the user
// ("Boston, Massachusetts, United States").
struct WeatherPlace {
  QString name;
  double latitude = 0;
  double longitude = 0;
};

// The forecast request for a place: current conditions, the hourly pressure (for its trend)
// and ten days, in °F and mph (the report converts them into the user's units).
QUrl OpenMeteoForecastUrl(const QString& base, double latitude, double longitude);
// The place search for a name or a postal code, at most count places, in one country when a
// two-letter country code is given.
QUrl OpenMeteoGeocodeUrl(const QString& base, const QString& text, int count = 5,
                         const QString& countryCode = QString());

// The text of a WMO weather code, in the same words the classic site's codes are shown with;
// a code without a text is shown as its number.
QString WmoConditionsText(int code);
// The 16-point compass direction of a bearing in degrees ("N", "NNE", ... "NNW").
QString CompassPoint(double degrees);

// Reads a forecast answer into the report in the user's units (tempDeg, pressureType). An
// empty text means the report was filled and both valid flags are set; otherwise the text
// says what was wrong, the flags are cleared and every value stays as it was.
QString ReadOpenMeteoForecast(const QByteArray& json, int tempDeg, int pressureType, TWeatherReport& report);

// The places of a place search, best first (none when nothing matched), or a message.
struct PlaceSearch {
  QList<WeatherPlace> places;
  QString error;  // empty when the answer was read
};
PlaceSearch ReadOpenMeteoPlaces(const QByteArray& json);

// "lat,lon" in decimal degrees ("42.36, -71.06"), inside the globe's ranges; nothing for any
// other text.
std::optional<WeatherPlace> ParseLatLon(const QString& text);
