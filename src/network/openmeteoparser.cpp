#include "network/openmeteoparser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QStringList>
#include <QUrlQuery>
#include <cmath>

namespace {

const QString NotAvailable = QStringLiteral("N/A");

// A number of the answer: there, absent (missing or null, which the service sends for a
// value it has no data for), or of the wrong kind.
struct Number {
  enum class State { Present, Absent, Wrong } state = State::Absent;
  double value = 0;
  bool present() const { return state == State::Present; }
  bool wrong() const { return state == State::Wrong; }
};

Number NumberOf(const QJsonValue& value) {
  if (value.isUndefined() || value.isNull()) return {};
  if (!value.isDouble() || !std::isfinite(value.toDouble())) return {Number::State::Wrong, 0};
  return {Number::State::Present, value.toDouble()};
}

// Rounds a value known to be in a small range.
int Rounded(double value) { return static_cast<int>(std::lround(value)); }

// Temperatures come in °F; past these the answer is not weather.
bool PlausibleFahrenheit(double f) { return f > -200 && f < 200; }

QString TemperatureText(double fahrenheit, int tempDeg) {
  return QString::number(ConvertTemperature(Rounded(fahrenheit), tempDeg));
}

// A weather code is a whole number of the WMO table (0 to 99).
std::optional<int> WeatherCode(const Number& n) {
  if (!n.present() || n.value < 0 || n.value > 99 || n.value != std::floor(n.value)) return std::nullopt;
  return static_cast<int>(n.value);
}

QString UvText(double uv) {
  const int index = Rounded(uv);
  const char* level = index < 3    ? "Low"
                      : index < 6  ? "Moderate"
                      : index < 8  ? "High"
                      : index < 11 ? "Very High"
                                   : "Extreme";
  return QString::number(index) + QLatin1Char(' ') + QLatin1String(level);
}

// The wind in mph for °F and °R, in km/h for the metric units.
QString WindText(double mph, const Number& direction, int tempDeg) {
  const bool metric = tempDeg == 1 || tempDeg == 3 || tempDeg == 4;
  const int speed = Rounded(metric ? mph * 1.609344 : mph);
  if (speed == 0) return QStringLiteral("Wind: Calm");
  QString text = QStringLiteral("Wind: ");
  if (direction.present()) text += CompassPoint(direction.value) + QStringLiteral(" at ");
  return text + QString::number(speed) + (metric ? QStringLiteral(" km/h") : QStringLiteral(" mph"));
}

// Sea-level pressure in hPa, as the inches with two decimals a barometer shows, then in the
// user's unit.
QString PressureIn(double hpa, int pressureType) {
  const double inches = std::round(hpa / 33.8638866667 * 100) / 100;
  return PressureText(ConvertPressure(pressureType, inches));
}

// The three-hour tendency of the hourly sea-level pressure up to the hour of "now": a change
// of a hectopascal or more is a rise or a fall; anything less, or no series, is steady.
QString PressureTrend(const QJsonObject& hourly, const QString& now) {
  const QJsonArray times = hourly.value(QStringLiteral("time")).toArray();
  const QJsonArray values = hourly.value(QStringLiteral("pressure_msl")).toArray();
  const QString hour = now.left(13);  // "2026-12-07T10"
  if (hour.size() < 13) return QStringLiteral("steady");
  for (qsizetype i = 0; i < times.size() && i < values.size(); ++i) {
    if (!times.at(i).toString().startsWith(hour)) continue;
    const Number current = NumberOf(values.at(i));
    const Number before = NumberOf(values.at(i >= 3 ? i - 3 : 0));
    if (!current.present() || !before.present()) break;
    const double change = current.value - before.value;
    if (change >= 1.0) return QStringLiteral("up");
    if (change <= -1.0) return QStringLiteral("down");
    break;
  }
  return QStringLiteral("steady");
}

// The JSON object of an answer, or a message. The service answers a bad request with
// {"error": true, "reason": "..."}.
std::optional<QJsonObject> ObjectOf(const QByteArray& json, QString& error) {
  QJsonParseError parse;
  const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
  if (parse.error != QJsonParseError::NoError || !doc.isObject()) {
    error = QStringLiteral("the weather service's answer is not readable JSON");
    return std::nullopt;
  }
  const QJsonObject object = doc.object();
  if (object.value(QStringLiteral("error")).toBool()) {
    const QString reason = object.value(QStringLiteral("reason")).toString().left(200);
    error = QStringLiteral("the weather service refused the request: ") +
            (reason.isEmpty() ? QStringLiteral("no reason given") : reason);
    return std::nullopt;
  }
  return object;
}

}  // namespace

QUrl OpenMeteoForecastUrl(const QString& base, double latitude, double longitude) {
  QUrl url(base);
  QUrlQuery query;
  query.addQueryItem(QStringLiteral("latitude"), QString::number(latitude, 'f', 4));
  query.addQueryItem(QStringLiteral("longitude"), QString::number(longitude, 'f', 4));
  query.addQueryItem(QStringLiteral("current"),
                     QStringLiteral("temperature_2m,relative_humidity_2m,weather_code,pressure_msl,"
                                    "wind_speed_10m,wind_direction_10m,uv_index"));
  query.addQueryItem(QStringLiteral("hourly"), QStringLiteral("pressure_msl"));
  query.addQueryItem(QStringLiteral("daily"), QStringLiteral("weather_code,temperature_2m_max,temperature_2m_min,"
                                                             "precipitation_probability_max"));
  query.addQueryItem(QStringLiteral("timezone"), QStringLiteral("auto"));
  query.addQueryItem(QStringLiteral("past_days"), QStringLiteral("1"));  // the trend's hours before midnight
  query.addQueryItem(QStringLiteral("forecast_days"), QStringLiteral("10"));
  query.addQueryItem(QStringLiteral("temperature_unit"), QStringLiteral("fahrenheit"));
  query.addQueryItem(QStringLiteral("wind_speed_unit"), QStringLiteral("mph"));
  url.setQuery(query);
  return url;
}

QUrl OpenMeteoGeocodeUrl(const QString& base, const QString& text, int count, const QString& countryCode) {
  QUrl url(base);
  QUrlQuery query;
  // The user's text is one value: QUrlQuery encodes "&", "=" and "#" in it.
  query.addQueryItem(QStringLiteral("name"), QString::fromLatin1(QUrl::toPercentEncoding(text.trimmed())));
  query.addQueryItem(QStringLiteral("count"), QString::number(count));
  query.addQueryItem(QStringLiteral("language"), QStringLiteral("en"));
  query.addQueryItem(QStringLiteral("format"), QStringLiteral("json"));
  static const QRegularExpression country(QStringLiteral("^[A-Z]{2}$"));
  if (country.match(countryCode).hasMatch()) query.addQueryItem(QStringLiteral("countryCode"), countryCode);
  url.setQuery(query);
  return url;
}

QString WmoConditionsText(int code) {
  switch (code) {
    case 0:
      return QStringLiteral("Clear");
    case 1:
      return QStringLiteral("Fair");
    case 2:
      return QStringLiteral("Partly Cloudy");
    case 3:
      return QStringLiteral("Cloudy");
    case 45:
    case 48:
      return QStringLiteral("Fog");
    case 51:
    case 53:
    case 55:
    case 56:
    case 57:
    case 61:
    case 63:
    case 65:
    case 66:
    case 67:
      return QStringLiteral("Rain");
    case 80:
    case 81:
    case 82:
      return QStringLiteral("Rain Showers");
    case 71:
    case 73:
    case 77:
      return QStringLiteral("Snow");
    case 75:
    case 86:
      return QStringLiteral("Heavy Snow");
    case 85:
      return QStringLiteral("Light Snow");
    case 95:
    case 96:
    case 99:
      return QStringLiteral("Thunderstorm");
    default:
      return QString::number(code);
  }
}

QString CompassPoint(double degrees) {
  static const char* const points[] = {"N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE",
                                       "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};
  if (!std::isfinite(degrees)) return QString();
  double d = std::fmod(degrees, 360.0);
  if (d < 0) d += 360.0;
  return QLatin1String(points[static_cast<int>(std::lround(d / 22.5)) % 16]);
}

QString ReadOpenMeteoForecast(const QByteArray& json, int tempDeg, int pressureType, TWeatherReport& report) {
  report.CurrentValid = false;
  report.ForecastValid = false;
  QString error;
  const std::optional<QJsonObject> root = ObjectOf(json, error);
  if (!root) return error;
  const QJsonObject current = root->value(QStringLiteral("current")).toObject();
  const QJsonObject daily = root->value(QStringLiteral("daily")).toObject();
  if (current.isEmpty()) return QStringLiteral("the weather service's answer has no current conditions");
  if (daily.isEmpty()) return QStringLiteral("the weather service's answer has no forecast");
  auto bad = [](const char* what) {
    return QStringLiteral("the weather service's answer has no usable ") + QLatin1String(what);
  };

  // Everything goes into a copy first, so a bad answer leaves the report as it was.
  TWeatherReport next = report;
  const Number temperature = NumberOf(current.value(QStringLiteral("temperature_2m")));
  if (!temperature.present() || !PlausibleFahrenheit(temperature.value)) return bad("temperature");
  next.Temperature = TemperatureText(temperature.value, tempDeg);
  const std::optional<int> code = WeatherCode(NumberOf(current.value(QStringLiteral("weather_code"))));
  if (!code) return bad("weather code");
  next.Conditions = WmoConditionsText(*code);

  const Number humidity = NumberOf(current.value(QStringLiteral("relative_humidity_2m")));
  if (humidity.wrong() || (humidity.present() && (humidity.value < 0 || humidity.value > 100))) return bad("humidity");
  next.Humidity = humidity.present() ? QString::number(Rounded(humidity.value)) : NotAvailable;

  const Number uv = NumberOf(current.value(QStringLiteral("uv_index")));
  if (uv.wrong() || (uv.present() && (uv.value < 0 || uv.value > 100))) return bad("UV index");
  next.UVIndex = uv.present() ? UvText(uv.value) : NotAvailable;

  const Number pressure = NumberOf(current.value(QStringLiteral("pressure_msl")));
  if (pressure.wrong() || (pressure.present() && (pressure.value < 100 || pressure.value > 2000))) {
    return bad("pressure");
  }
  next.Pressure = pressure.present() ? PressureIn(pressure.value, pressureType) : NotAvailable;
  next.PressureTrend =
      PressureTrend(root->value(QStringLiteral("hourly")).toObject(), current.value(QStringLiteral("time")).toString());

  const Number speed = NumberOf(current.value(QStringLiteral("wind_speed_10m")));
  const Number direction = NumberOf(current.value(QStringLiteral("wind_direction_10m")));
  if (speed.wrong() || direction.wrong() || (speed.present() && (speed.value < 0 || speed.value > 1000))) {
    return bad("wind");
  }
  next.Wind = speed.present() ? WindText(speed.value, direction, tempDeg) : QStringLiteral("Wind: N/A");

  // The ten days; the service may send fewer, and a day without a value shows "N/A".
  const QJsonArray codes = daily.value(QStringLiteral("weather_code")).toArray();
  const QJsonArray highs = daily.value(QStringLiteral("temperature_2m_max")).toArray();
  const QJsonArray lows = daily.value(QStringLiteral("temperature_2m_min")).toArray();
  const QJsonArray chances = daily.value(QStringLiteral("precipitation_probability_max")).toArray();
  const QJsonArray times = daily.value(QStringLiteral("time")).toArray();
  // With past_days the list starts with yesterday: today is the day of the current time.
  qsizetype first = 0;
  const QString today = current.value(QStringLiteral("time")).toString().left(10);
  for (qsizetype i = 0; i < times.size(); ++i) {
    if (times.at(i).toString() == today) {
      first = i;
      break;
    }
  }
  if (highs.size() <= first || lows.size() <= first) return bad("forecast");
  for (size_t d = 0; d < next.Forecast.size(); ++d) {
    const qsizetype i = first + static_cast<qsizetype>(d);
    TForecastDay& day = next.Forecast[d];
    const Number dayCode = NumberOf(codes.at(i));
    const Number high = NumberOf(highs.at(i));
    const Number low = NumberOf(lows.at(i));
    const Number chance = NumberOf(chances.at(i));
    if (dayCode.wrong() || (dayCode.present() && !WeatherCode(dayCode))) return bad("forecast");
    if (high.wrong() || low.wrong() || chance.wrong()) return bad("forecast");
    if ((high.present() && !PlausibleFahrenheit(high.value)) || (low.present() && !PlausibleFahrenheit(low.value))) {
      return bad("forecast");
    }
    if (chance.present() && (chance.value < 0 || chance.value > 100)) return bad("forecast");
    day.Conditions = dayCode.present() ? WmoConditionsText(*WeatherCode(dayCode)) : NotAvailable;
    day.High = high.present() ? TemperatureText(high.value, tempDeg) : NotAvailable;
    day.Low = low.present() ? TemperatureText(low.value, tempDeg) : NotAvailable;
    day.PrecipChance = chance.present() ? QString::number(Rounded(chance.value)) + QStringLiteral(" %") : NotAvailable;
  }
  next.High = next.Forecast[0].High;
  next.Low = next.Forecast[0].Low;
  // No alert source is read: the alert row stays hidden.
  next.SevereAlert = false;
  next.TempUnit = TempUnitLabel(tempDeg);
  next.PressureUnit = PressureUnitLabel(pressureType);
  next.CurrentValid = true;
  next.ForecastValid = true;
  report = std::move(next);
  return QString();
}

PlaceSearch ReadOpenMeteoPlaces(const QByteArray& json) {
  PlaceSearch search;
  const std::optional<QJsonObject> root = ObjectOf(json, search.error);
  if (!root) return search;
  // No match: the service leaves "results" out.
  const QJsonValue results = root->value(QStringLiteral("results"));
  if (results.isUndefined() || results.isNull()) return search;
  if (!results.isArray()) {
    search.error = QStringLiteral("the place search's answer has no list of places");
    return search;
  }
  for (const QJsonValue& entry : results.toArray()) {
    const QJsonObject place = entry.toObject();
    const Number latitude = NumberOf(place.value(QStringLiteral("latitude")));
    const Number longitude = NumberOf(place.value(QStringLiteral("longitude")));
    const QString name = place.value(QStringLiteral("name")).toString().trimmed();
    // A place without a name or coordinates on the globe cannot be offered.
    if (name.isEmpty() || !latitude.present() || !longitude.present() || std::abs(latitude.value) > 90 ||
        std::abs(longitude.value) > 180) {
      continue;
    }
    QStringList parts{name.left(100)};
    for (const char* key : {"admin1", "country"}) {
      const QString part = place.value(QLatin1String(key)).toString().trimmed().left(100);
      if (!part.isEmpty() && !parts.contains(part)) parts << part;
    }
    search.places << WeatherPlace{parts.join(QStringLiteral(", ")), latitude.value, longitude.value};
  }
  return search;
}

std::optional<WeatherPlace> ParseLatLon(const QString& text) {
  static const QRegularExpression pattern(
      QStringLiteral(R"(^\s*([-+]?\d{1,3}(?:\.\d+)?)\s*,\s*([-+]?\d{1,3}(?:\.\d+)?)\s*$)"));
  const QRegularExpressionMatch match = pattern.match(text);
  if (!match.hasMatch()) return std::nullopt;
  const double latitude = match.captured(1).toDouble();
  const double longitude = match.captured(2).toDouble();
  if (std::abs(latitude) > 90 || std::abs(longitude) > 180) return std::nullopt;
  return WeatherPlace{QString::number(latitude) + QStringLiteral(", ") + QString::number(longitude), latitude,
                      longitude};
}
