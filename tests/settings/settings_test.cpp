// The settings store: defaults in the table's order, the first-run questions, encodings,
// saving (with the autostart entry) and the settings text of backup files.
#include "core/memorykeystore.h"
#include "platform/screens.h"
#include "settings/settings.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const QString ZipCaption = QStringLiteral("Enter Zip for Weather");
const QString NameCaption = QStringLiteral("Enter Name or EMail for Synchronization");
const QString PassCaption = QStringLiteral("Enter Password for Synchronization");

// One 1920 x 1080 monitor whose work area is 1920 x 1040.
FixedScreens OneMonitor() { return FixedScreens(); }

// Two monitors; primary is the index of the primary one.
FixedScreens TwoMonitors(int primary) {
  return FixedScreens({Monitor{QRect(0, 0, 1280, 1024), QRect(0, 0, 1280, 1000), primary == 0},
                       Monitor{QRect(1280, 0, 1600, 900), QRect(1280, 0, 1600, 860), primary == 1}});
}

void Store(MemoryKeyStore& store, std::initializer_list<std::pair<const char*, const char*>> values) {
  ASSERT_TRUE(store.OpenKey(QStringLiteral("\\Software\\Orvane"), true));
  for (const auto& [name, value] : values) ASSERT_TRUE(store.WriteString(QString::fromUtf8(name), QString::fromUtf8(value)));
  store.CloseKey();
}

std::optional<QString> Stored(MemoryKeyStore& store, const QString& name) {
  if (!store.OpenKeyReadOnly(QStringLiteral("\\Software\\Orvane"))) return std::nullopt;
  auto value = store.ReadString(name);
  store.CloseKey();
  return value;
}

QStringList Captions(const ScriptedDialogs& dialogs) {
  QStringList captions;
  for (const auto& asked : dialogs.asked()) captions << asked.caption;
  return captions;
}

class SettingsTest : public ::testing::Test {
 protected:
  TempHome home_;
  MemoryKeyStore store_;
  ScriptedDialogs dialogs_;
  FixedScreens screens_ = OneMonitor();

  // A first run that answers all three questions.
  std::unique_ptr<TSettings> FirstRun() {
    dialogs_.AnswerInput(QStringLiteral("10001"));
    dialogs_.AnswerInput(QStringLiteral("pat@example.org"));
    dialogs_.AnswerInput(QStringLiteral("secret"));
    return std::make_unique<TSettings>(store_, dialogs_, screens_);
  }
};

// --- Defaults ---------------------------------------------------------------------------

TEST_F(SettingsTest, FirstRunFillsTheDefaultsAndTheAnswers) {
  auto settings = FirstRun();
  const std::pair<const char*, const char*> cases[] = {
      {"MainWidth", "1440"}, {"MainHeight", "780"}, {"DesktopLeft", "1700"}, {"MaxHeight", "49"},
      {"WeatherZip", "10001"}, {"SyncEMail", "pat@example.org"}, {"SyncPass", "secret"}, {"DisplayWeather", "-1"},
      {"EnableSync", "-1"}, {"MemoLines", "5"}, {"AllowOlderPeers", "0"}};
  for (const auto& [key, expected] : cases) EXPECT_EQ(settings->GetSetting(key), QString::fromUtf8(expected)) << key;
  EXPECT_TRUE(settings->GetSetting(QStringLiteral("AlarmSound")).endsWith(QStringLiteral("Alarms/Alarm1.wav")));
  // The theme title is set by the desktop window, not by the defaults.
  EXPECT_EQ(settings->GetSetting(QStringLiteral("Title")), QString());
  EXPECT_EQ(settings->Lines().size(), 61);
}

TEST_F(SettingsTest, DefaultsSeeTheValuesFilledInBeforeThem) {
  Store(store_, {{"Width", "300"}, {"GradientHeight", "20"}, {"DisplayWeather", "0"}, {"EnableSync", "0"}});
  TSettings settings(store_, dialogs_, screens_);
  EXPECT_EQ(settings.GetSetting(QStringLiteral("DesktopLeft")), QStringLiteral("1620"));  // 1920 - 300
  EXPECT_EQ(settings.GetSetting(QStringLiteral("MaxHeight")), QStringLiteral("52"));      // 1040 div 20
  EXPECT_EQ(settings.GetSetting(QStringLiteral("CurrentWeather")), QStringLiteral("0"));
  EXPECT_EQ(settings.GetSetting(QStringLiteral("ToolTipWeather")), QStringLiteral("0"));
  EXPECT_TRUE(dialogs_.asked().empty());
}

TEST_F(SettingsTest, StoredValuesAndUnknownKeysAreKept) {
  Store(store_, {{"Width", "250"}, {"SomethingElse", "kept as is"}, {"WeatherZip", "90210"},
                 {"SyncEMail", "a"}, {"SyncPass", "b"}});
  TSettings settings(store_, dialogs_, screens_);
  EXPECT_EQ(settings.GetSetting(QStringLiteral("Width")), QStringLiteral("250"));
  EXPECT_EQ(settings.GetSetting(QStringLiteral("SomethingElse")), QStringLiteral("kept as is"));
  EXPECT_EQ(settings.Lines().first(), QStringLiteral("Width=250"));
}

// --- Values that do not parse as their type count as absent --------------------------------

struct BadValueCase {
  const char* name;
  const char* key;
  const char* stored;
  const char* expected;
};

class UnparsableValue : public SettingsTest, public ::testing::WithParamInterface<BadValueCase> {};

TEST_P(UnparsableValue, TakesTheDefault) {
  const BadValueCase& c = GetParam();
  Store(store_, {{c.key, c.stored}, {"DisplayWeather", "0"}, {"EnableSync", "0"}});
  TSettings settings(store_, dialogs_, screens_);
  EXPECT_EQ(settings.GetSetting(QString::fromUtf8(c.key)), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, UnparsableValue,
    ::testing::Values(BadValueCase{"IntegerText", "Width", "abc", "220"},
                      BadValueCase{"IntegerTooBig", "Width", "99999999999", "220"},
                      BadValueCase{"IntegerWithUnit", "DesktopTop", "12px", "0"},
                      BadValueCase{"ZeroRowHeight", "GradientHeight", "0", "21"},
                      BadValueCase{"ColourAboveRange", "BgColor", "16777216", "0"},
                      BadValueCase{"NegativeColour", "FontColor", "-1", "16777215"},
                      BadValueCase{"AlphaAboveRange", "BgAlpha", "256", "127"},
                      BadValueCase{"PanelAlphaBelowRange", "PanelAlpha", "24", "255"},
                      BadValueCase{"UnitOutOfRange", "TempDeg", "5", "0"},
                      BadValueCase{"MemoLinesBelowRange", "MemoLines", "1", "5"},
                      BadValueCase{"BooleanWord", "dockRight", "maybe", "-1"},
                      BadValueCase{"NegativeMonitor", "Monitor", "-3", "0"},
                      BadValueCase{"ValidBooleanWordKept", "DisplayCal", "False", "False"},
                      BadValueCase{"ValidColourKept", "BgColor", "16777215", "16777215"},
                      BadValueCase{"AlphaAtEdgeKept", "PanelAlpha", "25", "25"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Booleans and names ----------------------------------------------------------------

struct BoolCase {
  const char* text;
  std::optional<bool> expected;
};

TEST(SettingsEncoding, BooleansReadAsIntegersOrWords) {
  const BoolCase cases[] = {{"-1", true},  {"0", false},   {"1", true},     {"42", true},
                            {"True", true}, {"true", true}, {"FALSE", false}, {"False", false},
                            {"yes", std::nullopt}, {"", std::nullopt}, {"0x1", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(TSettings::ParseBool(QString::fromUtf8(c.text)), c.expected) << c.text;
}

TEST_F(SettingsTest, BooleansAreWrittenAsMinusOneAndZero) {
  auto settings = FirstRun();
  settings->SetBool(QStringLiteral("DisplayCal"), false);
  settings->SetBool(QStringLiteral("AllDayDflt"), true);
  EXPECT_EQ(settings->GetSetting(QStringLiteral("DisplayCal")), QStringLiteral("0"));
  EXPECT_EQ(settings->GetSetting(QStringLiteral("AllDayDflt")), QStringLiteral("-1"));
  settings->SetSetting(QStringLiteral("AllDayDflt"), QStringLiteral("True"));
  EXPECT_TRUE(settings->GetBool(QStringLiteral("AllDayDflt")));
}

TEST_F(SettingsTest, NamesAreMatchedWithoutRegardToCase) {
  Store(store_, {{"TooltipWeather", "0"}, {"WIDTH", "333"}});
  auto settings = FirstRun();
  EXPECT_EQ(settings->GetSetting(QStringLiteral("ToolTipWeather")), QStringLiteral("0"));
  EXPECT_EQ(settings->GetSetting(QStringLiteral("width")), QStringLiteral("333"));
  const qsizetype lines = settings->Lines().size();
  settings->SetSetting(QStringLiteral("tooltipweather"), QStringLiteral("-1"));
  EXPECT_EQ(settings->Lines().size(), lines);
  EXPECT_EQ(settings->GetSetting(QStringLiteral("ToolTipWeather")), QStringLiteral("-1"));
}

TEST_F(SettingsTest, SettingTheEmptyTextRemovesTheKeyButNotItsStoredValue) {
  auto settings = FirstRun();
  ASSERT_TRUE(settings->SaveSettings().ok);
  settings->SetSetting(QStringLiteral("FontName"), QString());
  EXPECT_FALSE(settings->Lines().join('\n').contains(QStringLiteral("FontName")));
  ASSERT_TRUE(settings->SaveSettings().ok);
  EXPECT_EQ(Stored(store_, QStringLiteral("FontName")), QStringLiteral("Trebuchet MS"));
}

TEST_F(SettingsTest, NewKeysAreAppendedAtTheEnd) {
  auto settings = FirstRun();
  settings->SetSetting(QStringLiteral("Title"), QStringLiteral("Default"));
  EXPECT_EQ(settings->Lines().last(), QStringLiteral("Title=Default"));
}

// --- The first-run questions -------------------------------------------------------------

TEST_F(SettingsTest, QuestionsComeInTheOrderZipNamePassword) {
  auto settings = FirstRun();
  EXPECT_EQ(Captions(dialogs_), (QStringList{ZipCaption, NameCaption, PassCaption}));
  EXPECT_EQ(dialogs_.asked()[0].text,
            QStringLiteral("Orvane can display the current temperature and weather conditions for US locations.  To "
                           "enable this feature, please enter your zipcode.  To disable it, click cancel.  You can "
                           "change your selection using the Options window."));
  EXPECT_EQ(dialogs_.asked()[2].text,
            QStringLiteral("To complete the synchronization setup, please enter a password that will be used to "
                           "prevent unauthorized transfer."));
}

struct CancelCase {
  const char* name;
  std::vector<std::optional<QString>> answers;  // zip, name, password
  std::vector<std::pair<const char*, const char*>> settings;
};

class CancelledQuestion : public SettingsTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelledQuestion, TurnsItsFeatureOff) {
  for (const auto& answer : GetParam().answers) dialogs_.AnswerInput(answer);
  TSettings settings(store_, dialogs_, screens_);
  EXPECT_EQ(Captions(dialogs_), (QStringList{ZipCaption, NameCaption, PassCaption}.mid(0, GetParam().answers.size())));
  for (const auto& [key, value] : GetParam().settings) EXPECT_EQ(settings.GetSetting(key), QString::fromUtf8(value)) << key;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, CancelledQuestion,
    ::testing::Values(
        CancelCase{"ZipTurnsEveryWeatherDisplayOff", {std::nullopt, "pat", "pw"},
                   {{"DisplayWeather", "0"}, {"CurrentWeather", "0"}, {"ToolTipWeather", "0"}, {"WeatherZip", ""}}},
        CancelCase{"NameSkipsThePassword", {"10001", std::nullopt}, {{"EnableSync", "0"}, {"SyncEMail", ""}}},
        CancelCase{"PasswordTurnsSyncOff", {"10001", "pat", std::nullopt},
                   {{"EnableSync", "0"}, {"SyncEMail", "pat"}, {"DisplayWeather", "-1"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, AnEmptyAnswerIsAskedAgainAtTheNextStart) {
  dialogs_.AnswerInput(QString());
  dialogs_.AnswerInput(QStringLiteral("pat"));
  dialogs_.AnswerInput(QStringLiteral("pw"));
  {
    TSettings settings(store_, dialogs_, screens_);
    EXPECT_EQ(settings.GetSetting(QStringLiteral("WeatherZip")), QString());
    EXPECT_EQ(settings.GetSetting(QStringLiteral("DisplayWeather")), QStringLiteral("-1"));
    ASSERT_TRUE(settings.SaveSettings().ok);
  }
  dialogs_.AnswerInput(QStringLiteral("10001"));
  TSettings again(store_, dialogs_, screens_);
  EXPECT_EQ(Captions(dialogs_), (QStringList{ZipCaption, NameCaption, PassCaption, ZipCaption}));
  EXPECT_EQ(again.GetSetting(QStringLiteral("WeatherZip")), QStringLiteral("10001"));
}

// --- Monitors ---------------------------------------------------------------------------

struct MonitorCase {
  const char* name;
  const char* monitorSelect;  // nullptr: absent
  const char* monitor;
  int primary;
  const char* expectedSelect;
  const char* expectedMonitor;
};

class MonitorRules : public SettingsTest, public ::testing::WithParamInterface<MonitorCase> {};

TEST_P(MonitorRules, PlaceThePanel) {
  const MonitorCase& c = GetParam();
  Store(store_, {{"DisplayWeather", "0"}, {"EnableSync", "0"}});
  if (c.monitorSelect) Store(store_, {{"MonitorSelect", c.monitorSelect}});
  if (c.monitor) Store(store_, {{"Monitor", c.monitor}});
  const FixedScreens screens = TwoMonitors(c.primary);
  TSettings settings(store_, dialogs_, screens);
  EXPECT_EQ(settings.GetSetting(QStringLiteral("MonitorSelect")), QString::fromUtf8(c.expectedSelect));
  EXPECT_EQ(settings.GetSetting(QStringLiteral("Monitor")), QString::fromUtf8(c.expectedMonitor));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, MonitorRules,
    ::testing::Values(MonitorCase{"FirstRunTakesThePrimary", nullptr, nullptr, 1, "-1", "1"},
                      MonitorCase{"FollowingThePrimaryMovesWithIt", "-1", "0", 1, "-1", "1"},
                      MonitorCase{"AChosenMonitorStays", "0", "0", 1, "0", "0"},
                      MonitorCase{"AMissingMonitorTakesThePrimary", "0", "2", 1, "0", "1"},
                      MonitorCase{"AnAbsentMonitorTakesThePrimary", "1", nullptr, 0, "1", "0"},
                      MonitorCase{"AnUnreadableChoiceFollowsThePrimary", "abc", "0", 1, "-1", "1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, WorkAreaOfThePrimaryMonitorSizesTheDefaults) {
  Store(store_, {{"DisplayWeather", "0"}, {"EnableSync", "0"}});
  const FixedScreens screens = TwoMonitors(1);  // work area 1600 x 860
  TSettings settings(store_, dialogs_, screens);
  EXPECT_EQ(settings.GetSetting(QStringLiteral("MainWidth")), QStringLiteral("1200"));
  EXPECT_EQ(settings.GetSetting(QStringLiteral("MainHeight")), QStringLiteral("645"));
  EXPECT_EQ(settings.GetSetting(QStringLiteral("DesktopLeft")), QStringLiteral("1380"));
  EXPECT_EQ(settings.GetSetting(QStringLiteral("MaxHeight")), QStringLiteral("40"));
}

// --- Saving and the autostart entry ------------------------------------------------------

TEST_F(SettingsTest, SaveWritesEveryKeyAsText) {
  Store(store_, {{"Unknown", "x"}});
  auto settings = FirstRun();
  ASSERT_TRUE(settings->SaveSettings().ok);
  for (const QString& line : settings->Lines()) {
    const QString name = line.section(QLatin1Char('='), 0, 0);
    EXPECT_EQ(Stored(store_, name), line.section(QLatin1Char('='), 1)) << name.toStdString();
  }
  TSettings reloaded(store_, dialogs_, screens_);
  EXPECT_EQ(reloaded.Lines(), settings->Lines());
}

TEST_F(SettingsTest, AFailedSaveReportsTheValueAndKeepsTheStore) {
  auto settings = FirstRun();
  ASSERT_TRUE(settings->SaveSettings().ok);
  settings->SetSetting(QStringLiteral("Width"), QStringLiteral("400"));
  settings->SetSetting(QStringLiteral("MemoLines"), QStringLiteral("7"));
  store_.FailWritesOf(QStringLiteral("MemoLines"));
  const SaveResult result = settings->SaveSettings();
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.error.contains(QStringLiteral("MemoLines")));
  EXPECT_EQ(Stored(store_, QStringLiteral("Width")), QStringLiteral("220"));
}

TEST_F(SettingsTest, RunAtStartupIsExactlyMinusOneAndSavingLeavesTheAutostartEntryAlone) {
  auto settings = FirstRun();
  EXPECT_FALSE(settings->RunsAtStartup());
  settings->SetSetting(QStringLiteral("RunAtStartup"), QStringLiteral("-1"));
  EXPECT_TRUE(settings->RunsAtStartup());
  ASSERT_TRUE(settings->SaveSettings().ok);
  EXPECT_FALSE(QFileInfo::exists(home_.path() + QStringLiteral("/config/autostart/orvane.desktop")));
  settings->SetSetting(QStringLiteral("RunAtStartup"), QStringLiteral("1"));
  EXPECT_FALSE(settings->RunsAtStartup());
}

// --- Command-line runs: nothing asked, nothing of the defaults kept -----------------------

TEST_F(SettingsTest, ThisRunOnlyAsksNothingAndSavesOnlyWhatWasStored) {
  Store(store_, {{"Width", "abc"}, {"MonitorSelect", "-1"}, {"Monitor", "1"}, {"FontName", "DejaVu Sans"}});
  TSettings settings(store_, dialogs_, screens_, TSettings::Mode::ThisRunOnly);
  EXPECT_TRUE(dialogs_.asked().empty());
  EXPECT_EQ(settings.GetSetting(QStringLiteral("Width")), QStringLiteral("220"));
  EXPECT_EQ(settings.GetSetting(QStringLiteral("Monitor")), QStringLiteral("0"));
  EXPECT_EQ(settings.GetSetting(QStringLiteral("DisplayWeather")), QStringLiteral("-1"));

  settings.SetSetting(QStringLiteral("DisplayDays"), QStringLiteral("3"));
  ASSERT_TRUE(settings.SaveSettings().ok);
  EXPECT_EQ(Stored(store_, QStringLiteral("Width")), QStringLiteral("abc"));
  EXPECT_EQ(Stored(store_, QStringLiteral("Monitor")), QStringLiteral("1"));
  EXPECT_EQ(Stored(store_, QStringLiteral("FontName")), QStringLiteral("DejaVu Sans"));
  EXPECT_EQ(Stored(store_, QStringLiteral("DisplayDays")), QStringLiteral("3"));
  EXPECT_EQ(Stored(store_, QStringLiteral("MainWidth")), std::nullopt);

  QByteArray stream;
  settings.WriteSettingsToStream(stream);
  EXPECT_EQ(stream, QByteArray("Width=abc\r\nMonitorSelect=-1\r\nMonitor=1\r\nFontName=DejaVu Sans\r\nDisplayDays=3\r\n"));
}

// --- The settings text -------------------------------------------------------------------

TEST_F(SettingsTest, StreamHoldsEveryLineWithCrLfInListOrder) {
  auto settings = FirstRun();
  QByteArray stream;
  settings->WriteSettingsToStream(stream);
  EXPECT_EQ(stream, settings->Lines().join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
  EXPECT_TRUE(stream.startsWith("MainWidth=1440\r\nMainHeight=780\r\n"));
}

struct StreamCase {
  const char* name;
  QByteArray bytes;
  QStringList lines;
};

class SettingsStream : public SettingsTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(SettingsStream, ReplacesTheWholeList) {
  auto settings = FirstRun();
  settings->ReadSettingsFromStream(GetParam().bytes);
  EXPECT_EQ(settings->Lines(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsStream,
    ::testing::Values(
        StreamCase{"CrLf", "A=1\r\nB=two\r\n", {"A=1", "B=two"}},
        StreamCase{"MixedLineEnds", "A=1\nB=2\rC=3\r\nD=4", {"A=1", "B=2", "C=3", "D=4"}},
        StreamCase{"Empty", "", {}},
        StreamCase{"FirstEqualsEndsTheName", "Pass=a=b\r\n", {"Pass=a=b"}},
        StreamCase{"BlankAndNamelessLinesDropped", "\r\n\r\nA=1\r\nnoequals\r\n=x\r\nB=\r\n", {"A=1"}},
        StreamCase{"FirstOfRepeatedNamesCounts", "Width=1\r\nwidth=2\r\n", {"Width=1"}},
        StreamCase{"Utf8", "FontName=Caf\xc3\xa9\r\n", {QStringLiteral("FontName=Caf\u00e9")}},
        StreamCase{"OlderCodePage", "FontName=Caf\xe9 \x80\r\n", {QStringLiteral("FontName=Caf\u00e9 \u20ac")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, OnlyTextValuesAreSettings) {
  ASSERT_TRUE(store_.OpenKey(QStringLiteral("\\Software\\Orvane"), true));
  ASSERT_TRUE(store_.WriteInteger(QStringLiteral("Width"), 999));
  store_.CloseKey();
  auto settings = FirstRun();
  EXPECT_EQ(settings->GetSetting(QStringLiteral("Width")), QStringLiteral("220"));
}

}  // namespace
