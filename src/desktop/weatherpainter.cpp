// The weather section of the desktop panel: current temperature with today's high and low,
// the alert row, conditions, humidity and UV index, pressure with its trend arrow, and the
// wind; or one line while the first report loads or when there is none.

#include "desktop/weatherpainter.h"

#include "desktop/displayfunctions.h"
#include "network/weather.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// Where the line-break tag of a two-part wind text starts, or -1.
qsizetype WindTagAt(const QString& wind) { return wind.indexOf(QLatin1Char('<')); }

}  // namespace

int WeatherRowCount(const TWeatherReport& report) {
  if (!report.CurrentValid) return 1;
  int rows = WindTagAt(report.Wind) >= 0 ? 6 : 5;
  if (report.SevereAlert) ++rows;
  return rows;
}

bool WeatherAlertRowShown(const TWeatherReport& report) {
  return !report.Loading && report.CurrentValid && report.SevereAlert;
}

TrendDirection PressureTrendDirection(const QString& trend) {
  if (trend == QLatin1String("up")) return TrendDirection::Up;
  if (trend == QLatin1String("down")) return TrendDirection::Down;
  return TrendDirection::Steady;
}

std::array<QLine, 3> TrendArrowLines(int x, int c, int q, TrendDirection direction) {
  switch (direction) {
    case TrendDirection::Up:  // a shaft with its head at the top
      return {QLine(x, c + q, x, c - q), QLine(x, c - q, x - q, c), QLine(x, c - q, x + q, c)};
    case TrendDirection::Down:  // a shaft with its head at the bottom
      return {QLine(x, c - q, x, c + q), QLine(x, c + q, x - q, c), QLine(x, c + q, x + q, c)};
    case TrendDirection::Steady:
      break;
  }
  // A shaft pointing right.
  return {QLine(x - q, c, x + q, c), QLine(x + q, c, x, c - q), QLine(x + q, c, x, c + q)};
}

WindRows SplitWind(const QString& wind) {
  WindRows rows;
  const qsizetype tag = WindTagAt(wind);
  if (tag < 0) {
    rows.first = wind;
    return rows;
  }
  rows.twoRows = true;
  rows.first = wind.left(tag).trimmed();
  // The second part starts after the tag's end; a tag that never closes leaves nothing to
  // show rather than the markup itself.
  const qsizetype close = wind.indexOf(QLatin1Char('>'), tag);
  if (close >= 0) rows.second = wind.mid(close + 1).trimmed();
  return rows;
}

QString WeatherLoadingText() { return PanelText("Weather Loading..."); }
QString WeatherOfflineText() { return PanelText("Weather Offline"); }
QString SevereAlertText() { return PanelText("Severe Weather Alert"); }

QString HighLowText(const TWeatherReport& report) {
  // A missing high reads "N/A", without a unit after it.
  const QString highUnit = report.High == QLatin1String("N/A") ? QString() : report.TempUnit;
  return PanelText("Hi: ") + report.High + highUnit + QStringLiteral("  ") + PanelText("Lo: ") + report.Low +
         report.TempUnit;
}

QString HumidityText(const TWeatherReport& report) {
  return PanelText("RH: ") + report.Humidity + PanelText("%   UV: ") + report.UVIndex;
}

QString PressureRowText(const TWeatherReport& report) {
  // The three trailing blanks leave room for the trend arrow at the text's right end.
  return PanelText("Pressure: ") + report.Pressure + report.PressureUnit + QStringLiteral("   ");
}

QString ConditionsRowText(const TWeatherReport& report, TDateTime now) {
  if (!report.AsOf.isValid()) return report.Conditions;
  const TDateTime asOf = FromQDateTime(report.AsOf.toLocalTime());
  // Counted in whole seconds: day fractions do not add up exactly.
  if (std::llround((now - asOf) * 86400) <= 3600) return report.Conditions;
  return report.Conditions + PanelText(", as of ") + FormatDateTime(QStringLiteral("h:nn"), asOf);
}

const TWeatherReport* WeatherReportOf(const T_Weather* weather) { return weather ? &weather->Report() : nullptr; }

// --- Painting.

void DisplayFunctions::DrawTrendArrow(QPainter& p, int x, int y, quint32 colour, TrendDirection direction) {
  const QPen pen = p.pen();
  const bool antialiased = p.testRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(ColourOf(colour));
  for (const QLine& line : TrendArrowLines(x, y, settings_.R() / 4, direction)) p.drawLine(line);
  p.setRenderHint(QPainter::Antialiasing, antialiased);
  p.setPen(pen);
}

int DisplayFunctions::PaintWeather(QPainter& p, int y) {
  const TWeatherReport& report = *Weather;
  const int R = settings_.R();
  const int W = settings_.Width;
  const int g = R / 8;
  font_.colour = settings_.HeaderFontColor;
  // The section keeps the typeface, style and (in the one-line states) the size that the
  // section above left.
  if (report.Loading) {
    DrawTextCentred(p, W / 2, DrawY(y), WeatherLoadingText(), W - 2 * g);
    return y + R;
  }
  if (!report.CurrentValid) {
    DrawTextCentred(p, W / 2, DrawY(y), WeatherOfflineText(), W - 2 * g);
    return y + R;
  }

  font_.cellHeight = R;
  DrawTextLeft(p, g, DrawY(y), report.Temperature + report.TempUnit, W / 4 - g);
  // Right-aligned one pixel in, so that its shadow ends at W - g.
  DrawTextRight(p, W - g - 1, DrawY(y), HighLowText(report), 3 * W / 4);
  y += R;

  if (report.SevereAlert) {
    Marks.AlertRowTop = y;
    Marks.AlertRowShown = true;
    font_.bold = false;
    font_.italic = true;
    font_.underline = true;
    DrawTextCentred(p, W / 2, DrawY(y), SevereAlertText(), W - 2 * g);
    y += R;
    font_.italic = false;
    font_.underline = false;
  }

  DrawTextCentred(p, W / 2, DrawY(y), ConditionsRowText(report, Now()), W - 2 * g);
  y += R;
  DrawTextCentred(p, W / 2, DrawY(y), HumidityText(report), W - 2 * g);
  y += R;

  const int w = DrawTextCentred(p, W / 2, DrawY(y), PressureRowText(report), W - 2 * g);
  if (RowInPicture(y)) {
    // At the right end of the text, within its trailing blanks; a text that fills the row
    // would put the arrow past the panel's edge, so it is kept inside.
    const int x = std::min(w + (W - w) / 2, W - g - R / 4 - 1);
    const int c = DrawY(y) + R / 2;
    const TrendDirection direction = PressureTrendDirection(report.PressureTrend);
    if (settings_.UseDropShadow) DrawTrendArrow(p, x + 1, c + 1, settings_.DropColor, direction);
    DrawTrendArrow(p, x, c, settings_.HeaderFontColor, direction);
  }
  y += R;

  const WindRows wind = SplitWind(report.Wind);
  DrawTextCentred(p, W / 2, DrawY(y), wind.first, W - 2 * g);
  if (wind.twoRows) {
    y += R;
    DrawTextCentred(p, W / 2, DrawY(y), wind.second, W - 2 * g);
  }
  return y + R;
}
