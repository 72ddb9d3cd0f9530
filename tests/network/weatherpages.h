#pragma once

#include <QString>
#include <QStringList>

// Pages made for these tests in the shape of the weather site's pages: the markers the
// readers look for, with everything else kept to a minimum.
struct CurrentPageFields {
  QString wind = QStringLiteral("From NW at 10 mph");
  QString uv = QStringLiteral("3 Moderate");
  QString pressure = QStringLiteral("30.12");
  QString trend = QStringLiteral("up");
  QString temp = QStringLiteral("75");
  QString humidity = QStringLiteral("60");
  QString code = QStringLiteral("cloud_partly");
  QString high = QStringLiteral("80");  // empty: the page has no "temph1" pair
  QString low = QStringLiteral("60");
  bool alert = false;
};

inline QString CurrentPage(const CurrentPageFields& f = {}) {
  QString query =
      QStringLiteral("site=wx&temp=%1&dewp=50&hmid=%2&vis=10&baro=30&cond=%3").arg(f.temp, f.humidity, f.code);
  if (!f.high.isEmpty()) query += QStringLiteral("&temph1=") + f.high;
  query += QStringLiteral("&templ1=") + f.low + QStringLiteral("&zip=12345");
  if (f.alert) query += QStringLiteral("&alert=severe");
  return QStringLiteral(
             "<html><head><title>Local weather</title></head><body>\n"
             "<table class=\"obs\">\n"
             "<tr><td class=\"obsTextB\">Wind:</td><td class=\"obsTextA\">%1</td></tr>\n"
             "<tr><td class=\"obsTextB\">UV Index:</td><td class=\"obsTextA\">%2</td></tr>\n"
             "<tr><td class=\"obsTextB\">Pressure:</td><td class=\"obsTextA\">%3&nbsp;in "
             "<img src=\"/icons/%4_pressure.gif\"></td></tr>\n"
             "</table>\n"
             "<script type=\"text/javascript\">var OAS_query = '%5';</script>\n"
             "<div class=\"CM_tag\"></div>\n"
             "</body></html>\n")
      .arg(f.wind, f.uv, f.pressure, f.trend, query);
}

struct ForecastRow {
  QString conditions;
  QString high;
  QString low;
  QString chance;
};

inline QList<ForecastRow> TenRows() {
  QList<ForecastRow> rows;
  const QStringList conditions = {QStringLiteral("Sunny"),   QStringLiteral("Partly Cloudy"), QStringLiteral("Rain"),
                                  QStringLiteral("Showers"), QStringLiteral("Cloudy"),        QStringLiteral("Snow")};
  for (int i = 0; i < 10; ++i) {
    rows << ForecastRow{conditions.at(i % conditions.size()), QString::number(50 + i), QString::number(30 + i),
                        QStringLiteral("%1 %").arg(i * 10)};
  }
  return rows;
}

inline QString TenDayPage(const QList<ForecastRow>& rows = TenRows()) {
  QString page = QStringLiteral(
      "<html><body>\n<table><tr><td>Day</td><td>Description</td><td>High Temperatures / Low</td>"
      "<td>Precip</td></tr>\n");
  for (int i = 0; i < rows.size(); ++i) {
    const ForecastRow& r = rows.at(i);
    page += QStringLiteral(
                "<tr><td id=\"tendayIconDay0%1\"><img src=\"/icons/%1.gif\"></td>\n"
                "<td class=\"blueVerdana\" style=\"padding: 0px;\">%2</TD>\n"
                "<td><B class=\"Text11\">%3&deg;</B>/%4&deg;</td>\n"
                "<td align=\"CENTER\"> %5 </td></tr>\n")
                .arg(i)
                .arg(r.conditions, r.high, r.low, r.chance);
  }
  page += QStringLiteral("</table>\n<p>Last Updated Sunday, 6 December</p></body></html>\n");
  return page;
}
