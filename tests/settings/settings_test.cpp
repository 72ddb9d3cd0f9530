// The settings store: defaults sized by the screen, the first-run questions, encodings,
// saving (with the autostart entry) and the settings text of backup files.
#include "settings/settings.h"
#include "core/memorykeystore.h"
#include "platform/screens.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString Key = "\\Software\\Orvane";

// Two monitors; primary is the index of the primary one.
FixedScreens TwoMonitors(int primary) {
  return FixedScreens({Monitor{QRect(0, 0, 1280, 1024), QRect(0, 0, 1280, 1000), primary == 0},
                       Monitor{QRect(1280, 0, 1600, 900), QRect(1280, 0, 1600, 860), primary == 1}});
}

void Store(MemoryKeyStore& store, std::initializer_list<std::pair<const char*, const char*>> values) {
  ASSERT_TRUE(store.OpenKey(Key, true));
  for (const auto& [name, value] : values) ASSERT_TRUE(store.WriteString(name, value));
  store.CloseKey();
}

std::optional<QString> Stored(MemoryKeyStore& store, const QString& name) {
  if (!store.OpenKeyReadOnly(Key)) return std::nullopt;
  auto value = store.ReadString(name);
  store.CloseKey();
  return value;
}

class SettingsTest : public ::testing::Test {
 protected:
  TempHome home_;
  MemoryKeyStore store_;
  ScriptedDialogs dialogs_;
  FixedScreens screens_;  // one 1920 x 1080 monitor whose work area is 1920 x 1040

  // A first run that answers all three questions.
  std::unique_ptr<TSettings> FirstRun() {
    for (const char* answer : {"10001", "pat@example.org", "secret"}) dialogs_.AnswerInput(answer);
    return std::make_unique<TSettings>(store_, dialogs_, screens_);
  }
  // A start where nothing is asked, over the given stored values.
  std::unique_ptr<TSettings> Quiet(std::initializer_list<std::pair<const char*, const char*>> values) {
    Store(store_, {{"DisplayWeather", "0"}, {"EnableSync", "0"}});
    Store(store_, values);
    return std::make_unique<TSettings>(store_, dialogs_, screens_);
  }
};

// --- Defaults and stored values ------------------------------------------------------------

TEST_F(SettingsTest, FirstRunQuestionsAndDefaultsSizedByTheWorkArea) {
  auto settings = FirstRun();
  QStringList asked;
  for (const auto& question : dialogs_.asked()) asked << question.caption;
  EXPECT_EQ(asked, QStringList({"Enter a Place for Weather", "Enter Name or EMail for Synchronization",
                                "Enter Password for Synchronization"}));
  EXPECT_TRUE(settings->WeatherPlaceAsked());
  const auto sizes = [](const TSettings& s) {
    return QStringList({s.GetSetting("MainWidth"), s.GetSetting("MainHeight"), s.GetSetting("DesktopLeft"),
                        s.GetSetting("MaxHeight")});
  };
  EXPECT_EQ(sizes(*settings), QStringList({"1440", "780", "1700", "49"}));
  for (const auto& [key, expected] : {std::pair{"WeatherZip", "10001"},
                                      {"SyncEMail", "pat@example.org"},
                                      {"SyncPass", "secret"},
                                      {"EnableSync", "-1"}})
    EXPECT_EQ(settings->GetSetting(key), expected) << key;
  settings->SetSetting("Title", "Default");  // new keys go last
  EXPECT_EQ(settings->Lines().last(), "Title=Default");
  // The primary monitor's work area (here 1600 x 860) sizes them.
  const FixedScreens two = TwoMonitors(1);
  MemoryKeyStore other;
  Store(other, {{"DisplayWeather", "0"}, {"EnableSync", "0"}});
  EXPECT_EQ(sizes(TSettings(other, dialogs_, two)), QStringList({"1200", "645", "1380", "40"}));
  // An install that reads its weather from a site of its own is asked for a US zip code.
  MemoryKeyStore classic;
  Store(classic, {{"EnableSync", "0"}, {"WeatherHost", "weather.example.org"}});
  dialogs_.AnswerInput(QStringLiteral("10001"));
  EXPECT_FALSE(TSettings(classic, dialogs_, screens_).WeatherPlaceAsked());
  EXPECT_EQ(dialogs_.asked().back().caption, "Enter Zip for Weather");
}

TEST_F(SettingsTest, WeatherProviderIsOpenMeteoUnlessTheInstallNamesItsOwnWeatherSite) {
  const std::tuple<const char*, const char*, const char*> rows[] = {
      {"", "", "open-meteo"},  // a new install
      {"www.weather.com", "", "open-meteo"},
      {" WWW.Weather.com ", "", "open-meteo"},
      {"127.0.0.1:8080", "", "classic"},
      {"127.0.0.1:8080", "open-meteo", "open-meteo"},  // a choice once made stays
  };
  for (const auto& [host, stored, expected] : rows) {
    MemoryKeyStore store;
    Store(store, {{"DisplayWeather", "0"}, {"EnableSync", "0"}});
    if (*host) Store(store, {{"WeatherHost", host}});
    if (*stored) Store(store, {{"WeatherProvider", stored}});
    EXPECT_EQ(TSettings(store, dialogs_, screens_).GetSetting("WeatherProvider"), expected) << host;
  }
}

TEST_F(SettingsTest, StoredValuesAndUnknownKeysAreKeptAndNamesMatchWithoutRegardToCase) {
  ASSERT_TRUE(store_.OpenKey(Key, true));
  ASSERT_TRUE(store_.WriteInteger("MemoLines", 9));  // only text values are settings
  Store(store_, {{"Width", "250"}, {"SomethingElse", "kept as is"}, {"TooltipWeather", "0"}, {"MAXHEIGHT", "333"}});
  auto settings = FirstRun();
  EXPECT_EQ(settings->Lines().first(), "Width=250");
  for (const auto& [key, value] :
       {std::pair{"SomethingElse", "kept as is"}, {"MemoLines", "5"}, {"ToolTipWeather", "0"}, {"maxheight", "333"}})
    EXPECT_EQ(settings->GetSetting(key), value) << key;
  const qsizetype lines = settings->Lines().size();
  settings->SetSetting("tooltipweather", "-1");
  EXPECT_EQ(settings->Lines().size(), lines);
  EXPECT_EQ(settings->GetSetting("ToolTipWeather"), "-1");
}

TEST_F(SettingsTest, ValuesThatDoNotParseAsTheirTypeTakeTheDefault) {
  // clang-format off
  const std::tuple<const char*, const char*, const char*> cases[] = {  // key, stored, read
      {"Width", "abc", "220"}, {"Width", "99999999999", "220"}, {"DesktopTop", "12px", "0"}, {"GradientHeight", "0", "21"},
      {"BgColor", "16777216", "0"}, {"FontColor", "-1", "16777215"}, {"BgAlpha", "256", "127"}, {"PanelAlpha", "24", "255"},
      {"TempDeg", "5", "0"}, {"MemoLines", "1", "5"}, {"dockRight", "maybe", "-1"}, {"Monitor", "-3", "0"},
      {"DisplayCal", "False", "False"}, {"BgColor", "16777215", "16777215"}, {"PanelAlpha", "25", "25"}};
  // clang-format on
  for (const auto& [key, stored, read] : cases) {
    MemoryKeyStore store;
    Store(store, {{key, stored}, {"DisplayWeather", "0"}, {"EnableSync", "0"}});
    EXPECT_EQ(TSettings(store, dialogs_, screens_).GetSetting(key), read) << key << "=" << stored;
  }
}

TEST_F(SettingsTest, BooleansReadAsIntegersOrWordsAndAreWrittenAsMinusOneAndZero) {
  // clang-format off
  const std::pair<const char*, std::optional<bool>> cases[] = {
      {"-1", true}, {"0", false}, {"1", true}, {"42", true}, {"True", true}, {"true", true}, {"FALSE", false},
      {"False", false}, {"yes", std::nullopt}, {"", std::nullopt}, {"0x1", std::nullopt}};
  // clang-format on
  for (const auto& [text, expected] : cases) EXPECT_EQ(TSettings::ParseBool(text), expected) << text;
  auto settings = Quiet({});
  settings->SetBool("DisplayCal", false);
  settings->SetBool("AllDayDflt", true);
  EXPECT_EQ(settings->GetSetting("DisplayCal") + settings->GetSetting("AllDayDflt"), "0-1");
}

// --- The first-run questions -------------------------------------------------------------

TEST_F(SettingsTest, ACancelledQuestionTurnsItsFeatureOff) {
  struct Case {
    std::vector<std::optional<QString>> answers;  // zip, name, password
    std::vector<std::pair<const char*, const char*>> settings;
  };
  const Case cases[] = {
      {{std::nullopt, "pat", "pw"},
       {{"DisplayWeather", "0"}, {"CurrentWeather", "0"}, {"ToolTipWeather", "0"}, {"WeatherZip", ""}}},
      {{"10001", std::nullopt}, {{"EnableSync", "0"}, {"SyncEMail", ""}}},  // the password is not asked
      {{"10001", "pat", std::nullopt}, {{"EnableSync", "0"}, {"SyncEMail", "pat"}, {"DisplayWeather", "-1"}}}};
  for (const Case& c : cases) {
    MemoryKeyStore store;
    ScriptedDialogs dialogs;
    for (const auto& answer : c.answers) dialogs.AnswerInput(answer);
    TSettings settings(store, dialogs, screens_);
    EXPECT_EQ(dialogs.asked().size(), c.answers.size());
    for (const auto& [key, value] : c.settings) EXPECT_EQ(settings.GetSetting(key), value) << key;
  }
}

TEST_F(SettingsTest, MonitorRulesPlaceThePanel) {
  // clang-format off
  const std::tuple<const char*, const char*, int, const char*, const char*> cases[] = {
      // MonitorSelect and Monitor stored (nullptr: absent), the primary, what they become
      {nullptr, nullptr, 1, "-1", "1"}, {"-1", "0", 1, "-1", "1"}, {"0", "0", 1, "0", "0"},
      {"0", "2", 1, "0", "1"}, {"1", nullptr, 0, "1", "0"}, {"abc", "0", 1, "-1", "1"}};
  // clang-format on
  for (const auto& [select, monitor, primary, expectedSelect, expectedMonitor] : cases) {
    MemoryKeyStore store;
    Store(store, {{"DisplayWeather", "0"}, {"EnableSync", "0"}});
    if (select) Store(store, {{"MonitorSelect", select}});
    if (monitor) Store(store, {{"Monitor", monitor}});
    const FixedScreens screens = TwoMonitors(primary);
    TSettings settings(store, dialogs_, screens);
    EXPECT_EQ(settings.GetSetting("MonitorSelect") + "/" + settings.GetSetting("Monitor"),
              QString(expectedSelect) + "/" + expectedMonitor);
  }
}

// --- Saving and the autostart entry ------------------------------------------------------

TEST_F(SettingsTest, SaveWritesEveryKeyAsTextAndAFailedSaveKeepsTheStore) {
  Store(store_, {{"Unknown", "x"}});
  auto settings = FirstRun();
  ASSERT_TRUE(settings->SaveSettings().ok);
  for (const QString& line : settings->Lines()) {
    const QString name = line.section('=', 0, 0);
    EXPECT_EQ(Stored(store_, name), line.section('=', 1)) << name.toStdString();
  }
  EXPECT_EQ(TSettings(store_, dialogs_, screens_).Lines(), settings->Lines());

  // The empty text removes a key but not its stored value.
  settings->SetSetting("FontName", QString());
  EXPECT_FALSE(settings->Lines().join('\n').contains("FontName"));
  settings->SetSetting("Width", "400");
  settings->SetSetting("MemoLines", "7");
  store_.FailWritesOf("MemoLines");
  const SaveResult result = settings->SaveSettings();
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.error.contains("MemoLines"));
  EXPECT_EQ(Stored(store_, "Width"), "220");
  store_.FailWritesOf(QString());
  ASSERT_TRUE(settings->SaveSettings().ok);
  EXPECT_EQ(Stored(store_, "FontName"), "Trebuchet MS");
}

TEST_F(SettingsTest, RunAtStartupIsExactlyMinusOneAndSavingLeavesTheAutostartEntryAlone) {
  auto settings = Quiet({{"RunAtStartup", "1"}});
  EXPECT_FALSE(settings->RunsAtStartup());
  settings->SetSetting("RunAtStartup", "-1");
  EXPECT_TRUE(settings->RunsAtStartup());
  ASSERT_TRUE(settings->SaveSettings().ok);
  EXPECT_FALSE(QFileInfo::exists(home_.path() + "/config/autostart/orvane.desktop"));
}

// --- Command-line runs: nothing asked, nothing of the defaults kept -----------------------

TEST_F(SettingsTest, ThisRunOnlyAsksNothingAndSavesOnlyWhatWasStored) {
  Store(store_, {{"Width", "abc"}, {"MonitorSelect", "-1"}, {"Monitor", "1"}, {"FontName", "DejaVu Sans"}});
  TSettings settings(store_, dialogs_, screens_, TSettings::Mode::ThisRunOnly);
  EXPECT_TRUE(dialogs_.asked().empty());
  EXPECT_EQ(settings.GetSetting("Width"), "220");
  EXPECT_EQ(settings.GetSetting("Monitor"), "0");
  EXPECT_EQ(settings.GetSetting("DisplayWeather"), "-1");
  settings.SetSetting("DisplayDays", "3");
  ASSERT_TRUE(settings.SaveSettings().ok);
  EXPECT_EQ(Stored(store_, "Width"), "abc");
  EXPECT_EQ(Stored(store_, "Monitor"), "1");
  EXPECT_EQ(Stored(store_, "DisplayDays"), "3");
  EXPECT_EQ(Stored(store_, "MainWidth"), std::nullopt);
  QByteArray stream;
  settings.WriteSettingsToStream(stream);
  EXPECT_EQ(stream,
            QByteArray("Width=abc\r\nMonitorSelect=-1\r\nMonitor=1\r\nFontName=DejaVu Sans\r\nDisplayDays=3\r\n"));
}

// --- The settings text -------------------------------------------------------------------

TEST_F(SettingsTest, TheSettingsTextIsEveryLineWithCrLfAndReadingReplacesTheWholeList) {
  auto settings = FirstRun();
  QByteArray stream;
  settings->WriteSettingsToStream(stream);
  EXPECT_EQ(stream, settings->Lines().join("\r\n").toUtf8() + "\r\n");
  const std::pair<QByteArray, QStringList> cases[] = {
      {"A=1\r\nB=two\r\n", {"A=1", "B=two"}},
      {"A=1\nB=2\rC=3\r\nD=4", {"A=1", "B=2", "C=3", "D=4"}},
      {"", {}},
      {"Pass=a=b\r\n", {"Pass=a=b"}},  // the first = ends the name
      {"\r\n\r\nA=1\r\nnoequals\r\n=x\r\nB=\r\n", {"A=1"}},
      {"Width=1\r\nwidth=2\r\n", {"Width=1"}},  // the first of repeated names counts
      {"FontName=Caf\xc3\xa9\r\n", {"FontName=Caf\u00e9"}},
      {"FontName=Caf\xe9 \x80\r\n", {"FontName=Caf\u00e9 \u20ac"}}};  // the older code page
  for (const auto& [bytes, lines] : cases) {
    settings->ReadSettingsFromStream(bytes);
    EXPECT_EQ(settings->Lines(), lines) << bytes.toStdString();
  }
}

}  // namespace
