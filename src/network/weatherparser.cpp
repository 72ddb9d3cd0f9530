#include "network/weatherparser.h"

#include "core/floordiv.h"
#include "core/trimcontrol.h"

#include <QLocale>
#include <cmath>
#include <utility>

namespace {

const QString Crlf = QStringLiteral("\r\n");

// Hundredths are cut off, not rounded; the tiny allowance keeps a value that is meant to be
// exact (76200 hundredths) from dropping a cent through binary rounding.
double FloorHundredths(double hundredths) { return std::floor(hundredths + 1e-6) / 100.0; }

// A text cut out of a page, or nothing when a marker is missing.
using Cut = std::optional<QString>;

// s from marker: the text starting at the first occurrence of the marker.
Cut From(const QString& s, const QString& marker) {
  const qsizetype at = s.indexOf(marker);
  if (at < 0) return std::nullopt;
  return s.mid(at);
}

// The text from a number of characters past the start of the marker.
Cut PastStart(const QString& s, const QString& marker, qsizetype skip) {
  const qsizetype at = s.indexOf(marker);
  if (at < 0) return std::nullopt;
  return s.mid(at + skip);
}

Cut Before(const QString& s, const QString& marker) {
  const qsizetype at = s.indexOf(marker);
  if (at < 0) return std::nullopt;
  return s.left(at);
}

Cut After(const QString& s, const QString& marker) {
  const qsizetype at = s.indexOf(marker);
  if (at < 0) return std::nullopt;
  return s.mid(at + marker.size());
}

// The text between the first start marker and the first end marker after it; rest becomes
// the text from the end marker on.
Cut Between(const QString& s, const QString& start, const QString& end, QString* rest = nullptr) {
  const qsizetype a = s.indexOf(start);
  if (a < 0) return std::nullopt;
  const qsizetype from = a + start.size();
  const qsizetype b = s.indexOf(end, from);
  if (b < 0) return std::nullopt;
  QString between = s.mid(from, b - from);
  if (rest) *rest = s.mid(b);  // rest may be s itself
  return between;
}

// A temperature from a page in the chosen unit: as it stands for °F, otherwise converted,
// which needs an integer.
std::optional<QString> TemperatureIn(const QString& text, int tempDeg) {
  if (tempDeg == 0) return text;
  bool ok = false;
  const int f = text.trimmed().toInt(&ok);
  if (!ok) return std::nullopt;
  return QString::number(ConvertTemperature(f, tempDeg));
}

// The pairs "key=value" of the page's query block, joined by "&", read from the front.
class PairList {
 public:
  explicit PairList(QString text) : q_(std::move(text)) {}
  // The value of the first pair; nothing when it has no "=".
  Cut Read() const {
    const qsizetype amp = q_.indexOf(QLatin1Char('&'));
    const QString pair = amp < 0 ? q_ : q_.left(amp);
    const qsizetype eq = pair.indexOf(QLatin1Char('='));
    if (eq < 0) return std::nullopt;
    return pair.mid(eq + 1);
  }
  // Drops the first pair with its "&"; the list is empty after the last one.
  void Skip() {
    const qsizetype amp = q_.indexOf(QLatin1Char('&'));
    q_ = amp < 0 ? QString() : q_.mid(amp + 1);
  }
  bool Contains(const QString& text) const { return q_.contains(text); }

 private:
  QString q_;
};

}  // namespace

qint64 ConvertTemperature(qint64 fahrenheit, int unit) {
  switch (unit) {
    case 1:
      return FloorDiv((fahrenheit - 32) * 5, 9);  // (f - 32) / 1.8
    case 2:
      return fahrenheit + 460;
    case 3:
      return FloorDiv((fahrenheit - 32) * 5, 9) + 273;
    case 4:
      return FloorDiv((fahrenheit - 32) * 4, 9);  // (f - 32) / 2.25
    default:
      return fahrenheit;
  }
}

double ConvertPressure(int unit, double inches) {
  switch (unit) {
    case 1:
      return FloorHundredths(25.4 * inches * 100);
    case 2:
      return FloorHundredths(25.4 * inches * 100 / 760);
    case 3:
      return FloorHundredths(25.4 * inches * 10130 / 760);
    default:
      return inches;
  }
}

QString TempUnitLabel(int unit) {
  switch (unit) {
    case 1:
      return QStringLiteral("°C");
    case 2:
      return QStringLiteral("°R");
    case 3:
      return QStringLiteral("K");
    case 4:
      return QStringLiteral("°Re");
    default:
      return QStringLiteral("°F");
  }
}

QString PressureUnitLabel(int unit) {
  switch (unit) {
    case 1:
      return QStringLiteral(" mm");
    case 2:
      return QStringLiteral(" atm");
    case 3:
      return QStringLiteral(" KPa");
    default:
      return QStringLiteral(" In.");
  }
}

QString PressureText(double value) {
  if (value == 0) value = 0;  // no "-0"
  return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

QString ConditionsText(const QString& code) {
  static const std::pair<const char*, const char*> table[] = {
      {"cloud", "Cloudy"},
      {"cloud_mostly", "Mostly Cloudy"},
      {"cloud_partly", "Partly Cloudy"},
      {"cloud_fog", "Fog"},
      {"clear", "Clear"},
      {"clear_sunny", "Sunny"},
      {"clear_mostly_sunny", "Fair"},
      {"clear_mostly", "Fair"},
      {"rain_showers", "Rain Showers"},
      {"rain", "Rain"},
      {"thunder", "Thunderstorm"},
      {"thunder_isolated_tstorm", "Isolated T-Storms"},
      {"snow_blowing", "Blowing Snow"},
      {"snow_heavy", "Heavy Snow"},
      {"snow_showers", "Light Snow"},
      {"snow", "Snow"},
  };
  for (const auto& [from, to] : table) {
    if (code == QLatin1String(from)) return QString::fromLatin1(to);
  }
  return code;
}

PageParse ParseCurrentPage(const QString& page, int tempDeg, int pressureType, TWeatherReport& report) {
  report.CurrentValid = false;
  // Every value is cut into a copy first, so a page that fails leaves the report as it was.
  TWeatherReport next = report;
  const QString obs = QStringLiteral("obsTextA");
  constexpr qsizetype pastObs = 10;  // the marker and the two characters that close its tag

  // Wind; "From" and its blank are dropped from the front.
  Cut s = From(page, QStringLiteral("Wind:"));
  if (s) s = PastStart(*s, obs, pastObs);
  Cut w = s ? Before(*s, QStringLiteral("</td")) : std::nullopt;
  if (!w) return PageParse::MarkerMissing;
  if (w->mid(1, 3) == QStringLiteral("rom")) *w = w->mid(5);
  next.Wind = QStringLiteral("Wind: ") + *w;

  s = From(page, QStringLiteral("UV Index:"));
  if (s) s = PastStart(*s, obs, pastObs);
  Cut uv = s ? Before(*s, QStringLiteral("</td")) : std::nullopt;
  if (!uv) return PageParse::MarkerMissing;
  next.UVIndex = *uv;

  s = From(page, QStringLiteral("Pressure:"));
  if (s) s = PastStart(*s, obs, pastObs);
  Cut p = s ? Before(*s, QStringLiteral("&nbsp;")) : std::nullopt;
  if (!p) return PageParse::MarkerMissing;
  Cut trendFrom = After(*s, QStringLiteral("/icons/"));
  Cut trend = trendFrom ? Before(*trendFrom, QStringLiteral("_pressure")) : std::nullopt;
  if (!trend) return PageParse::MarkerMissing;
  bool ok = false;
  const double inches = p->trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(inches)) return PageParse::BadNumber;
  const double pressure = ConvertPressure(pressureType, inches);
  if (!std::isfinite(pressure)) return PageParse::BadNumber;
  next.Pressure = PressureText(pressure);
  next.PressureTrend = *trend;

  // The query block: "OAS_query" up to "CM_tag", then between its first "&" and last "'".
  const qsizetype queryAt = page.indexOf(QStringLiteral("OAS_query"));
  if (queryAt < 0) return PageParse::MarkerMissing;
  const qsizetype tagAt = page.indexOf(QStringLiteral("CM_tag"), queryAt);
  if (tagAt < 0) return PageParse::MarkerMissing;
  const QString block = page.mid(queryAt, tagAt - queryAt);
  const qsizetype amp = block.indexOf(QLatin1Char('&'));
  const qsizetype quote = block.lastIndexOf(QLatin1Char('\''));
  if (amp < 0 || quote <= amp) return PageParse::MarkerMissing;
  PairList q(block.mid(amp + 1, quote - amp - 1));

  Cut value = q.Read();
  if (!value) return PageParse::MarkerMissing;
  auto temperature = TemperatureIn(*value, tempDeg);
  if (!temperature) return PageParse::BadNumber;
  next.Temperature = *temperature;
  q.Skip();
  q.Skip();
  value = q.Read();
  if (!value) return PageParse::MarkerMissing;
  next.Humidity = *value;
  q.Skip();
  q.Skip();
  q.Skip();
  const Cut code = q.Read();
  if (!code) return PageParse::MarkerMissing;
  q.Skip();
  if (q.Contains(QStringLiteral("temph1"))) {
    value = q.Read();
    if (!value) return PageParse::MarkerMissing;
    auto high = TemperatureIn(*value, tempDeg);
    if (!high) return PageParse::BadNumber;
    next.High = *high;
    q.Skip();
  } else {
    next.High = QStringLiteral("N/A");
  }
  value = q.Read();
  if (!value) return PageParse::MarkerMissing;
  auto low = TemperatureIn(*value, tempDeg);
  if (!low) return PageParse::BadNumber;
  next.Low = *low;
  q.Skip();
  next.SevereAlert = q.Contains(QStringLiteral("severe"));

  next.Conditions = ConditionsText(*code);
  next.TempUnit = TempUnitLabel(tempDeg);
  next.PressureUnit = PressureUnitLabel(pressureType);
  next.CurrentValid = true;
  report = std::move(next);
  return PageParse::Parsed;
}

PageParse ParseTenDayPage(const QString& page, int tempDeg, TWeatherReport& report) {
  report.ForecastValid = false;
  if (!page.contains(QStringLiteral("High Temperatures"))) return PageParse::MarkerMissing;
  Cut upToUpdated = Before(page, QStringLiteral("Last Updated"));
  if (!upToUpdated) return PageParse::MarkerMissing;
  QString s = *upToUpdated;

  std::array<TForecastDay, 10> days;
  for (TForecastDay& day : days) {
    if (Cut icon = From(s, QStringLiteral("tendayIconDay0"))) s = *icon;
    Cut block = From(s, QStringLiteral("blueVerdana"));
    if (!block) return PageParse::MarkerMissing;
    s = *block;

    Cut conditions = Between(s, QStringLiteral("0px;\">"), QStringLiteral("</TD>"), &s);
    if (!conditions) return PageParse::MarkerMissing;
    day.Conditions = *conditions;

    Cut high = Between(s, QStringLiteral("Text11\">"), QStringLiteral("</B"), &s);
    if (!high) return PageParse::MarkerMissing;
    const qsizetype deg = high->indexOf(QStringLiteral("&deg;"));
    if (deg >= 0) high->remove(deg, 5);
    auto highText = TemperatureIn(*high, tempDeg);
    if (!highText) return PageParse::BadNumber;
    day.High = *highText;

    // The low follows the closing bold tag "</B>" and one separator character.
    const qsizetype lowEnd = s.indexOf(QStringLiteral("&deg"));
    if (lowEnd < 5) return PageParse::MarkerMissing;
    auto lowText = TemperatureIn(s.mid(5, lowEnd - 5), tempDeg);
    if (!lowText) return PageParse::BadNumber;
    day.Low = *lowText;
    s = s.mid(lowEnd);

    Cut chance = Between(s, QStringLiteral("CENTER\">"), QStringLiteral("</td"));
    if (!chance) return PageParse::MarkerMissing;
    day.PrecipChance = chance->trimmed();
  }
  report.Forecast = std::move(days);
  report.ForecastValid = true;
  return PageParse::Parsed;
}

std::optional<QString> ForecastText(const TWeatherReport& report, TDateTime date, TDateTime today) {
  const int d = DayNumber(date) - DayNumber(today);
  if (d < 0 || d > 9) return std::nullopt;
  const TForecastDay& day = report.Forecast[static_cast<size_t>(d)];
  const QString& unit = report.TempUnit;

  QString text;
  text += (d == 0 ? QStringLiteral("Weather ") : QStringLiteral("Forecast ")) + QStringLiteral("for ") +
          FormatDateTime(QStringLiteral("dd mmm yyyy"), date) + Crlf;
  text += QStringLiteral("-------------------------------") + Crlf;
  if (d == 0) text += QStringLiteral("Temp: ") + report.Temperature + unit + QStringLiteral("  ");
  text += QStringLiteral("High: ") + day.High + unit + QStringLiteral("  Low: ") + day.Low + unit + Crlf;
  text += (d == 0 ? report.Conditions : day.Conditions) + Crlf;
  text += QStringLiteral("Chance of precipitation: ") + day.PrecipChance + Crlf;
  if (d == 0) {
    text += QStringLiteral("Pressure: ") + report.Pressure + report.PressureUnit + Crlf;
    text += QStringLiteral("Relative Humidity: ") + report.Humidity + QStringLiteral("%") + Crlf;
    text += QStringLiteral("UV Index: ") + report.UVIndex + Crlf;
    const qsizetype tag = report.Wind.indexOf(QLatin1Char('<'));
    if (tag < 0) {
      text += report.Wind;
    } else {
      const qsizetype close = report.Wind.indexOf(QLatin1Char('>'));
      text += report.Wind.left(tag).trimmed() + Crlf;
      text += close < 0 ? QString() : report.Wind.mid(close + 1).trimmed();
    }
  }
  return TrimControl(text);
}
