#include "network/weatherparser.h"
#include "support/testutil.h"
#include "weatherpages.h"

#include <gtest/gtest.h>

namespace {

// ---- conversions -----------------------------------------------------------------------

struct TempCase {
  int fahrenheit;
  int unit;
  qint64 expected;
};

class ConvertTemperatureTest : public ::testing::TestWithParam<TempCase> {};

TEST_P(ConvertTemperatureTest, RoundsTowardsMinusInfinity) {
  EXPECT_EQ(ConvertTemperature(GetParam().fahrenheit, GetParam().unit), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, ConvertTemperatureTest,
                         ::testing::Values(TempCase{75, 0, 75}, TempCase{75, 1, 23}, TempCase{75, 2, 535},
                                           TempCase{75, 3, 296}, TempCase{75, 4, 19}, TempCase{20, 1, -7},
                                           // Exact quotients stay exact (no binary rounding below).
                                           TempCase{50, 1, 10}, TempCase{32, 1, 0}, TempCase{-40, 1, -40},
                                           TempCase{212, 1, 100}, TempCase{212, 3, 373}, TempCase{41, 4, 4},
                                           TempCase{31, 1, -1}, TempCase{31, 4, -1}));

struct PressureCase {
  int unit;
  double inches;
  const char* text;
};

class ConvertPressureTest : public ::testing::TestWithParam<PressureCase> {};

TEST_P(ConvertPressureTest, KeepsTwoDecimalsAtMost) {
  EXPECT_EQ(PressureText(ConvertPressure(GetParam().unit, GetParam().inches)), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Examples, ConvertPressureTest,
                         ::testing::Values(PressureCase{0, 30.12, "30.12"}, PressureCase{1, 30.12, "765.04"},
                                           PressureCase{2, 30.12, "1"}, PressureCase{3, 30.12, "101.97"},
                                           PressureCase{1, 30.0, "762"}, PressureCase{0, 29.9, "29.9"},
                                           PressureCase{3, 29.92, "101.29"}));

TEST(ConditionsText, MapsTheCodesExactlyAndKeepsOthersAsTheyAre) {
  const std::pair<const char*, const char*> table[] = {
      {"cloud", "Cloudy"}, {"cloud_partly", "Partly Cloudy"}, {"clear_mostly_sunny", "Fair"}, {"clear_mostly", "Fair"},
      {"rain_showers", "Rain Showers"}, {"rain", "Rain"}, {"snow_showers", "Light Snow"}, {"snow", "Snow"},
      {"hail", "hail"}, {"Cloud", "Cloud"}, {"cloud_", "cloud_"}};
  for (const auto& [code, text] : table) EXPECT_EQ(ConditionsText(QString::fromLatin1(code)), QString::fromLatin1(text)) << code;
}

// ---- current-conditions page -----------------------------------------------------------

TEST(CurrentPage, FullReportInFahrenheitAndInches) {
  TWeatherReport r;
  ASSERT_EQ(ParseCurrentPage(CurrentPage(), 0, 0, r), PageParse::Parsed);
  EXPECT_TRUE(r.CurrentValid);
  const std::pair<QString, const char*> fields[] = {
      {r.Temperature, "75"}, {r.High, "80"}, {r.Low, "60"}, {r.Humidity, "60"}, {r.Conditions, "Partly Cloudy"},
      {r.UVIndex, "3 Moderate"}, {r.Wind, "Wind: NW at 10 mph"}, {r.Pressure, "30.12"}, {r.PressureTrend, "up"},
      {r.TempUnit, "°F"}, {r.PressureUnit, " In."}};
  for (const auto& [value, expected] : fields) EXPECT_EQ(value, QString::fromUtf8(expected));
  EXPECT_FALSE(r.SevereAlert);
  EXPECT_FALSE(r.ForecastValid);  // another page's flag
  CurrentPageFields alert;
  alert.alert = true;
  ASSERT_EQ(ParseCurrentPage(CurrentPage(alert), 0, 0, r), PageParse::Parsed);
  EXPECT_TRUE(r.SevereAlert);
}

struct FieldCase {
  const char* name;
  CurrentPageFields page;
  int tempDeg, pressureType;
  QString TWeatherReport::*field;
  const char* expected;
};

class CurrentField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(CurrentField, IsReadAndConverted) {
  TWeatherReport r;
  ASSERT_EQ(ParseCurrentPage(CurrentPage(GetParam().page), GetParam().tempDeg, GetParam().pressureType, r),
            PageParse::Parsed);
  EXPECT_EQ(r.*GetParam().field, QString::fromUtf8(GetParam().expected));
}

CurrentPageFields With(QString CurrentPageFields::*field, const char* value) {
  CurrentPageFields f;
  f.*field = QString::fromUtf8(value);
  return f;
}

using R = TWeatherReport;
using F = CurrentPageFields;
INSTANTIATE_TEST_SUITE_P(
    Fields, CurrentField,
    ::testing::Values(
        FieldCase{"Celsius", {}, 1, 1, &R::Temperature, "23"}, FieldCase{"HighCelsius", {}, 1, 1, &R::High, "26"},
        FieldCase{"LowCelsius", {}, 1, 1, &R::Low, "15"}, FieldCase{"Millimetres", {}, 1, 1, &R::Pressure, "765.04"},
        FieldCase{"CelsiusUnit", {}, 1, 1, &R::TempUnit, "°C"}, FieldCase{"MillimetreUnit", {}, 1, 1, &R::PressureUnit, " mm"},
        // Without the "temph1" pair there is no high; the low is still read.
        FieldCase{"NoHigh", With(&F::high, ""), 1, 0, &R::High, "N/A"},
        FieldCase{"LowWithoutHigh", [] { F f = With(&F::high, ""); f.low = QStringLiteral("58"); return f; }(), 1, 0, &R::Low, "14"},
        FieldCase{"TrendWordAsItIs", With(&F::trend, "steady"), 0, 0, &R::PressureTrend, "steady"},
        FieldCase{"WindFromWordDropped", With(&F::wind, "From SSW at 12 mph"), 0, 0, &R::Wind, "Wind: SSW at 12 mph"},
        FieldCase{"WindWithoutFrom", With(&F::wind, "SSW at 12 mph"), 0, 0, &R::Wind, "Wind: SSW at 12 mph"},
        FieldCase{"WindCalm", With(&F::wind, "CALM"), 0, 0, &R::Wind, "Wind: CALM"},
        FieldCase{"WindInTwoPartsKeepsItsMarkup", With(&F::wind, "From N at 5 mph<br>gusting to 20"), 0, 0, &R::Wind,
                  "Wind: N at 5 mph<br>gusting to 20"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CurrentPage, TemperatureThatIsNoIntegerFailsOnlyWhenConverting) {
  CurrentPageFields f;
  f.temp = QStringLiteral("N/A");
  TWeatherReport r;
  EXPECT_EQ(ParseCurrentPage(CurrentPage(f), 0, 0, r), PageParse::Parsed);
  EXPECT_EQ(r.Temperature, QStringLiteral("N/A"));
  EXPECT_EQ(ParseCurrentPage(CurrentPage(f), 1, 0, r), PageParse::BadNumber);
  EXPECT_FALSE(r.CurrentValid);
}

TEST(CurrentPage, PressureThatIsNoNumberFailsInEveryUnit) {
  for (const char* bad : {"thirty", "", "nan", "inf"}) {
    CurrentPageFields f;
    f.pressure = QString::fromLatin1(bad);
    TWeatherReport r;
    EXPECT_EQ(ParseCurrentPage(CurrentPage(f), 0, 0, r), PageParse::BadNumber) << bad;
  }
}

// A report that already holds values from an earlier refresh.
TWeatherReport HeldReport() {
  TWeatherReport r;
  EXPECT_EQ(ParseCurrentPage(CurrentPage(), 0, 0, r), PageParse::Parsed);
  EXPECT_EQ(ParseTenDayPage(TenDayPage(), 0, r), PageParse::Parsed);
  return r;
}

struct MissingCase {
  const char* name;
  const char* marker;  // removed from the page
};

class CurrentMissingMarkerTest : public ::testing::TestWithParam<MissingCase> {};

TEST_P(CurrentMissingMarkerTest, FailsThePageAndKeepsWhatWasHeld) {
  QString page = CurrentPage(CurrentPageFields{.wind = QStringLiteral("From E at 3 mph"), .temp = QStringLiteral("40")});
  page.remove(QString::fromLatin1(GetParam().marker));
  TWeatherReport r = HeldReport();
  EXPECT_EQ(ParseCurrentPage(page, 0, 0, r), PageParse::MarkerMissing);
  EXPECT_FALSE(r.CurrentValid);
  EXPECT_TRUE(r.ForecastValid);
  EXPECT_EQ(r.Wind, QStringLiteral("Wind: NW at 10 mph"));
  EXPECT_EQ(r.Temperature, QStringLiteral("75"));
}

INSTANTIATE_TEST_SUITE_P(Markers, CurrentMissingMarkerTest,
                         ::testing::Values(MissingCase{"Wind", "Wind:"}, MissingCase{"ObsText", "obsTextA"},
                                           MissingCase{"CellEnd", "</td"}, MissingCase{"UV", "UV Index:"},
                                           MissingCase{"Pressure", "Pressure:"}, MissingCase{"Nbsp", "&nbsp;"},
                                           MissingCase{"Icons", "/icons/"}, MissingCase{"TrendEnd", "_pressure"},
                                           MissingCase{"Query", "OAS_query"}, MissingCase{"Tag", "CM_tag"},
                                           MissingCase{"Quote", "'"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CurrentPage, ShortQueryFailsCleanly) {
  const QString page = QStringLiteral(
      "Wind:<td class=\"obsTextA\">N</td> UV Index:<td class=\"obsTextA\">1</td> Pressure:<td "
      "class=\"obsTextA\">30&nbsp;<img src=\"/icons/up_pressure.gif\"> OAS_query='a=1&t=7' CM_tag");
  TWeatherReport r;
  EXPECT_EQ(ParseCurrentPage(page, 0, 0, r), PageParse::MarkerMissing);
  EXPECT_FALSE(r.CurrentValid);
}

TEST(CurrentPage, MarkersAtTheVeryEndDoNotReadPastTheText) {
  for (const QString& page : {QStringLiteral("Wind:"), QStringLiteral("Wind:obsTextA"), QStringLiteral("Wind:obsText"),
                              QStringLiteral("Wind:xxobsTextA\">")}) {
    TWeatherReport r;
    EXPECT_EQ(ParseCurrentPage(page, 1, 1, r), PageParse::MarkerMissing) << page.toStdString();
  }
}

// ---- ten-day page ----------------------------------------------------------------------

TEST(TenDayPage, ReadsAllTenDays) {
  TWeatherReport r;
  ASSERT_EQ(ParseTenDayPage(TenDayPage(), 0, r), PageParse::Parsed);
  EXPECT_TRUE(r.ForecastValid);
  const auto rows = TenRows();
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(r.Forecast[i].Conditions, rows[i].conditions);
    EXPECT_EQ(r.Forecast[i].High, rows[i].high);
    EXPECT_EQ(r.Forecast[i].Low, rows[i].low);
    EXPECT_EQ(r.Forecast[i].PrecipChance, rows[i].chance);
  }
}

TEST(TenDayPage, ConvertsHighsAndLowsBelowZeroToo) {
  auto rows = TenRows();
  rows[3].high = QStringLiteral("-2");
  rows[3].low = QStringLiteral("-15");
  TWeatherReport r;
  ASSERT_EQ(ParseTenDayPage(TenDayPage(rows), 2, r), PageParse::Parsed);
  EXPECT_EQ(r.Forecast[0].High, QStringLiteral("510"));
  EXPECT_EQ(r.Forecast[0].Low, QStringLiteral("490"));
  ASSERT_EQ(ParseTenDayPage(TenDayPage(rows), 1, r), PageParse::Parsed);
  EXPECT_EQ(r.Forecast[3].High, QStringLiteral("-19"));
  EXPECT_EQ(r.Forecast[3].Low, QStringLiteral("-27"));
}

TEST(TenDayPage, HighThatIsNoIntegerFailsOnlyWhenConverting) {
  auto rows = TenRows();
  rows[5].high = QStringLiteral("--");
  TWeatherReport r;
  EXPECT_EQ(ParseTenDayPage(TenDayPage(rows), 0, r), PageParse::Parsed);
  EXPECT_EQ(r.Forecast[5].High, QStringLiteral("--"));
  EXPECT_EQ(ParseTenDayPage(TenDayPage(rows), 1, r), PageParse::BadNumber);
  EXPECT_FALSE(r.ForecastValid);
}

class TenDayMissingMarkerTest : public ::testing::TestWithParam<MissingCase> {};

TEST_P(TenDayMissingMarkerTest, FailsThePageAndKeepsWhatWasHeld) {
  auto rows = TenRows();
  rows[0].conditions = QStringLiteral("Hail");
  QString page = TenDayPage(rows);
  page.remove(QString::fromLatin1(GetParam().marker));
  TWeatherReport r = HeldReport();
  EXPECT_EQ(ParseTenDayPage(page, 0, r), PageParse::MarkerMissing);
  EXPECT_FALSE(r.ForecastValid);
  EXPECT_TRUE(r.CurrentValid);
  EXPECT_EQ(r.Forecast[0].Conditions, QStringLiteral("Sunny"));
}

INSTANTIATE_TEST_SUITE_P(Markers, TenDayMissingMarkerTest,
                         ::testing::Values(MissingCase{"HighTemperatures", "High Temperatures"},
                                           MissingCase{"LastUpdated", "Last Updated"},
                                           MissingCase{"BlueVerdana", "blueVerdana"}, MissingCase{"Padding", "0px;"},
                                           MissingCase{"CellEnd", "</TD>"}, MissingCase{"Bold", "Text11"},
                                           MissingCase{"BoldEnd", "</B"}, MissingCase{"Degrees", "&deg"},
                                           MissingCase{"Center", "CENTER"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TenDayPage, NineDaysAreNotAForecast) {
  auto rows = TenRows();
  rows.removeLast();
  TWeatherReport r;
  EXPECT_EQ(ParseTenDayPage(TenDayPage(rows), 0, r), PageParse::MarkerMissing);
  EXPECT_FALSE(r.ForecastValid);
}

TEST(TenDayPage, DaysAfterLastUpdatedDoNotCount) {
  QString page = TenDayPage();
  // Moving the end mark before the last day cuts that day off.
  page.remove(QStringLiteral("Last Updated"));
  page.insert(page.indexOf(QStringLiteral("tendayIconDay09")), QStringLiteral("Last Updated"));
  TWeatherReport r;
  EXPECT_EQ(ParseTenDayPage(page, 0, r), PageParse::MarkerMissing);
}

// ---- forecast texts --------------------------------------------------------------------

TWeatherReport LoadedReport(const CurrentPageFields& f = {}) {
  TWeatherReport r;
  EXPECT_EQ(ParseCurrentPage(CurrentPage(f), 0, 0, r), PageParse::Parsed);
  EXPECT_EQ(ParseTenDayPage(TenDayPage(), 0, r), PageParse::Parsed);
  r.Loading = false;
  return r;
}

TEST(ForecastText, TodayIsTheWeatherWithEveryValue) {
  const auto text = ForecastText(LoadedReport(), D(2026, 12, 6), D(2026, 12, 6));
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, QStringLiteral("Weather for 06 Dec 2026\r\n"
                                  "-------------------------------\r\n"
                                  "Temp: 75°F  High: 50°F  Low: 30°F\r\n"
                                  "Partly Cloudy\r\n"
                                  "Chance of precipitation: 0 %\r\n"
                                  "Pressure: 30.12 In.\r\n"
                                  "Relative Humidity: 60%\r\n"
                                  "UV Index: 3 Moderate\r\n"
                                  "Wind: NW at 10 mph"));
  // A wind in two parts takes two lines.
  CurrentPageFields f;
  f.wind = QStringLiteral("From N at 5 mph <br> gusting to 20 ");
  const auto two = ForecastText(LoadedReport(f), D(2026, 12, 6), D(2026, 12, 6));
  ASSERT_TRUE(two);
  EXPECT_TRUE(two->endsWith(QStringLiteral("UV Index: 3 Moderate\r\nWind: N at 5 mph\r\ngusting to 20"))) << two->toStdString();
}

TEST(ForecastText, NineDaysAheadIsTheLastForecast) {
  // The time of day of either date does not matter.
  const auto text = ForecastText(LoadedReport(), DT(2026, 12, 15, 23, 30), DT(2026, 12, 6, 8, 0));
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, QStringLiteral("Forecast for 15 Dec 2026\r\n"
                                  "-------------------------------\r\n"
                                  "High: 59°F  Low: 39°F\r\n"
                                  "Showers\r\n"
                                  "Chance of precipitation: 90 %"));
  EXPECT_EQ(text->split(QStringLiteral("\r\n")).size(), 5);  // three lines below the hyphens
}

TEST(ForecastText, OutsideTheTenDaysThereIsNone) {
  const TWeatherReport r = LoadedReport();
  EXPECT_FALSE(ForecastText(r, D(2026, 12, 16), D(2026, 12, 6)));
  EXPECT_FALSE(ForecastText(r, D(2026, 12, 5), D(2026, 12, 6)));
  EXPECT_TRUE(ForecastText(r, D(2027, 1, 2), D(2026, 12, 24)));  // across the year's end
}

}  // namespace
