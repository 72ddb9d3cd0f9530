#include "network/weatherparser.h"
#include "support/testutil.h"
#include "weatherpages.h"

#include <gtest/gtest.h>

namespace {

TEST(WeatherConversions, RoundTemperaturesDownAndKeepTwoDecimalsOfPressure) {
  // Exact quotients stay exact (no binary rounding below).
  const int temperatures[][3] = {{75, 0, 75}, {75, 1, 23}, {75, 2, 535}, {75, 3, 296},
                                 {75, 4, 19}, {20, 1, -7}, {31, 1, -1},  {31, 4, -1}};
  for (const auto& t : temperatures) EXPECT_EQ(ConvertTemperature(t[0], t[1]), t[2]) << t[0] << " in " << t[1];
  const std::tuple<int, double, const char*> pressures[] = {
      {0, 30.12, "30.12"}, {1, 30.12, "765.04"}, {2, 30.12, "1"}, {3, 30.12, "101.97"}, {1, 30.0, "762"}};
  for (const auto& [unit, inches, text] : pressures)
    EXPECT_EQ(PressureText(ConvertPressure(unit, inches)), QString::fromLatin1(text));
  EXPECT_EQ(ConditionsText(QStringLiteral("clear_mostly")), QStringLiteral("Fair"));
  EXPECT_EQ(ConditionsText(QStringLiteral("cloud_")), QStringLiteral("cloud_"));  // unknown codes stay
}

TEST(CurrentPage, ReadsAndConvertsEveryField) {
  TWeatherReport r;
  ASSERT_EQ(ParseCurrentPage(CurrentPage(), 1, 1, r), PageParse::Parsed);
  EXPECT_EQ(QStringList({r.Temperature + r.TempUnit, r.High, r.Low, r.Humidity, r.Conditions, r.UVIndex, r.Wind,
                         r.Pressure + r.PressureUnit, r.PressureTrend})
                .join(QLatin1Char('|')),
            QStringLiteral("23°C|26|15|60|Partly Cloudy|3 Moderate|Wind: NW at 10 mph|765.04 mm|up"));
  EXPECT_TRUE(r.CurrentValid);
  EXPECT_FALSE(r.ForecastValid);  // another page's flag
  EXPECT_FALSE(r.SevereAlert);
  // Without the "temph1" pair there is no high; the low is still read. A wind without "From" stays whole.
  ASSERT_EQ(
      ParseCurrentPage(CurrentPage({.wind = QStringLiteral("SSW at 12 mph"), .high = {}, .alert = true}), 0, 0, r),
      PageParse::Parsed);
  EXPECT_EQ(r.High, QStringLiteral("N/A"));
  EXPECT_EQ(r.Low, QStringLiteral("60"));
  EXPECT_EQ(r.Wind, QStringLiteral("Wind: SSW at 12 mph"));
  EXPECT_TRUE(r.SevereAlert);
  // A temperature that is no integer fails only when converting; a pressure that is no number in every unit.
  ASSERT_EQ(ParseCurrentPage(CurrentPage({.temp = QStringLiteral("N/A")}), 0, 0, r), PageParse::Parsed);
  EXPECT_EQ(ParseCurrentPage(CurrentPage({.temp = QStringLiteral("N/A")}), 1, 0, r), PageParse::BadNumber);
  EXPECT_FALSE(r.CurrentValid);
  for (const char* bad : {"thirty", "", "nan", "inf"}) {
    EXPECT_EQ(ParseCurrentPage(CurrentPage({.pressure = QString::fromLatin1(bad)}), 0, 0, r), PageParse::BadNumber)
        << bad;
  }
}

// A report that already holds values from an earlier refresh.
TWeatherReport HeldReport() {
  TWeatherReport r;
  EXPECT_EQ(ParseCurrentPage(CurrentPage(), 0, 0, r), PageParse::Parsed);
  EXPECT_EQ(ParseTenDayPage(TenDayPage(), 0, r), PageParse::Parsed);
  return r;
}

TEST(CurrentPage, AMissingMarkerFailsThePageAndKeepsWhatWasHeld) {
  const QString page =
      CurrentPage(CurrentPageFields{.wind = QStringLiteral("From E at 3 mph"), .temp = QStringLiteral("40")});
  QStringList pages;
  for (const char* marker : {"Wind:", "obsTextA", "</td", "UV Index:", "Pressure:", "&nbsp;", "/icons/", "_pressure",
                             "OAS_query", "CM_tag", "'"}) {
    pages << QString(page).remove(QString::fromLatin1(marker));
  }
  // A short query, and markers at the very end, do not read past the text.
  pages << QStringLiteral(
               "Wind:<td class=\"obsTextA\">N</td> UV Index:<td class=\"obsTextA\">1</td> Pressure:<td "
               "class=\"obsTextA\">30&nbsp;<img src=\"/icons/up_pressure.gif\"> OAS_query='a=1&t=7' CM_tag")
        << QStringLiteral("Wind:") << QStringLiteral("Wind:obsText") << QStringLiteral("Wind:xxobsTextA\">");
  // (That a failed page keeps what was held is checked over every page of the fuzz replay.)
  for (const QString& broken : pages) {
    TWeatherReport r = HeldReport();
    EXPECT_EQ(ParseCurrentPage(broken, 1, 1, r), PageParse::MarkerMissing) << broken.left(60).toStdString();
    EXPECT_FALSE(r.CurrentValid);
    EXPECT_EQ(r.Wind, QStringLiteral("Wind: NW at 10 mph"));
  }
}

TEST(TenDayPage, ReadsAllTenDaysConvertingBelowZeroTooOrFailsWithoutAMarkerOrADay) {
  auto rows = TenRows();
  TWeatherReport r;
  ASSERT_EQ(ParseTenDayPage(TenDayPage(rows), 0, r), PageParse::Parsed);
  EXPECT_TRUE(r.ForecastValid);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(r.Forecast[i].Conditions, rows[i].conditions) << i;
    EXPECT_EQ(r.Forecast[i].High, rows[i].high) << i;
    EXPECT_EQ(r.Forecast[i].Low, rows[i].low) << i;
    EXPECT_EQ(r.Forecast[i].PrecipChance, rows[i].chance) << i;
  }
  rows[3].high = QStringLiteral("-2");
  rows[3].low = QStringLiteral("-15");
  ASSERT_EQ(ParseTenDayPage(TenDayPage(rows), 1, r), PageParse::Parsed);
  EXPECT_EQ(r.Forecast[3].High, QStringLiteral("-19"));
  EXPECT_EQ(r.Forecast[3].Low, QStringLiteral("-27"));
  // A high that is no integer fails only when converting.
  rows[5].high = QStringLiteral("--");
  EXPECT_EQ(ParseTenDayPage(TenDayPage(rows), 0, r), PageParse::Parsed);
  EXPECT_EQ(ParseTenDayPage(TenDayPage(rows), 1, r), PageParse::BadNumber);
  EXPECT_FALSE(r.ForecastValid);
  rows = TenRows();
  rows[0].conditions = QStringLiteral("Hail");
  QStringList pages;
  for (const char* marker :
       {"High Temperatures", "Last Updated", "blueVerdana", "0px;", "</TD>", "Text11", "</B", "&deg", "CENTER"}) {
    pages << TenDayPage(rows).remove(QString::fromLatin1(marker));
  }
  // Nine days are not a forecast; days after "Last Updated" do not count.
  pages << TenDayPage(rows.mid(0, 9)) << TenDayPage(rows).remove(QStringLiteral("Last Updated"));
  pages.last().insert(pages.last().indexOf(QStringLiteral("tendayIconDay09")), QStringLiteral("Last Updated"));
  for (const QString& broken : pages) {
    TWeatherReport held = HeldReport();
    EXPECT_EQ(ParseTenDayPage(broken, 0, held), PageParse::MarkerMissing);
    EXPECT_EQ(held.Forecast[0].Conditions, QStringLiteral("Sunny"));
  }
}

TEST(ForecastText, TodayIsTheWeatherTheNextNineDaysForecastsAndNothingOutside) {
  EXPECT_EQ(
      ForecastText(HeldReport(), D(2026, 12, 6), D(2026, 12, 6)),
      QStringLiteral("Weather for 06 Dec 2026\r\n-------------------------------\r\n"
                     "Temp: 75°F  High: 50°F  Low: 30°F\r\nPartly Cloudy\r\nChance of precipitation: 0 %\r\n"
                     "Pressure: 30.12 In.\r\nRelative Humidity: 60%\r\nUV Index: 3 Moderate\r\nWind: NW at 10 mph"));
  // A wind in two parts takes two lines.
  TWeatherReport twoPartWind = HeldReport();
  twoPartWind.Wind = QStringLiteral("Wind: N at 5 mph <br> gusting to 20 ");
  EXPECT_TRUE(ForecastText(twoPartWind, D(2026, 12, 6), D(2026, 12, 6))
                  ->endsWith(QStringLiteral("UV Index: 3 Moderate\r\nWind: N at 5 mph\r\ngusting to 20")));
  // The time of day of either date does not matter.
  EXPECT_EQ(ForecastText(HeldReport(), DT(2026, 12, 15, 23, 30), DT(2026, 12, 6, 8, 0)),
            QStringLiteral("Forecast for 15 Dec 2026\r\n-------------------------------\r\n"
                           "High: 59°F  Low: 39°F\r\nShowers\r\nChance of precipitation: 90 %"));
  EXPECT_FALSE(ForecastText(HeldReport(), D(2026, 12, 16), D(2026, 12, 6)));
  EXPECT_TRUE(ForecastText(HeldReport(), D(2027, 1, 2), D(2026, 12, 24)));  // across the year's end
}

}  // namespace
