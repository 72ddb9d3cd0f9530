// The display settings snapshot read from the settings store.

#include "panelfixture.h"
#include "settings/displaysettings.h"
#include "settings/settings.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

TEST(LoadDisplaySettings, ReadsTypedValuesFromTheirText) {
  PanelContext ctx(DT(2024, 3, 15, 9, 0));
  TSettings& settings = ctx.context->settings();
  settings.SetSetting(QStringLiteral("GradientStart"), QStringLiteral("16711680"));  // blue
  settings.SetSetting(QStringLiteral("FontName"), QStringLiteral("DejaVu Serif"));
  settings.SetSetting(QStringLiteral("DisplayPrevMonth"), QStringLiteral("-1"));
  settings.SetSetting(QStringLiteral("UseToolTips"), QStringLiteral("0"));
  settings.SetSetting(QStringLiteral("Width"), QStringLiteral("300"));
  settings.SetSetting(QStringLiteral("BgAlpha"), QStringLiteral("200"));
  DisplaySettings d;
  LoadDisplaySettings(settings, d);
  EXPECT_EQ(d.GradientStart, 0xFF0000u);
  EXPECT_EQ(d.FontName, QStringLiteral("DejaVu Serif"));
  EXPECT_TRUE(d.DisplayPrevMonth);
  EXPECT_FALSE(d.UseToolTips);
  EXPECT_EQ(d.Width, 300);
  EXPECT_EQ(d.BgAlpha, 200);
  // Alphas stay within a byte.
  settings.SetSetting(QStringLiteral("BgAlpha"), QStringLiteral("300"));
  settings.SetSetting(QStringLiteral("MidAlpha"), QStringLiteral("-4"));
  LoadDisplaySettings(settings, d);
  EXPECT_EQ(d.BgAlpha, 255);
  EXPECT_EQ(d.MidAlpha, 0);
}

struct RangeCase {
  const char* name;
  const char* key;
  const char* value;
  int DisplaySettings::*field;
  int expected;
};

class DisplaySettingsRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(DisplaySettingsRange, ValuesOutOfRangeAreBroughtIn) {
  PanelContext ctx(DT(2024, 3, 15, 9, 0));
  TSettings& settings = ctx.context->settings();
  settings.SetSetting(QString::fromLatin1(GetParam().key), QString::fromLatin1(GetParam().value));
  DisplaySettings d;
  LoadDisplaySettings(settings, d);
  EXPECT_EQ(d.*(GetParam().field), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DisplaySettingsRange,
    ::testing::Values(RangeCase{"RowHeightZero", "GradientHeight", "0", &DisplaySettings::GradientHeight, 8},
                      RangeCase{"RowHeightHuge", "GradientHeight", "5000", &DisplaySettings::GradientHeight, 200},
                      RangeCase{"NarrowPanel", "Width", "10", &DisplaySettings::Width, 100},
                      RangeCase{"ManyMemoLines", "MemoLines", "99", &DisplaySettings::MemoLines, 15},
                      RangeCase{"NegativeDays", "DisplayDays", "-3", &DisplaySettings::DisplayDays, 0},
                      RangeCase{"YearsOfDays", "DisplayDays", "100000", &DisplaySettings::DisplayDays, 365},
                      RangeCase{"NoRows", "MaxHeight", "0", &DisplaySettings::MaxHeight, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadDisplaySettings, AMissingAlarmSoundSwitchesTheSoundOff) {
  TempHome home;
  PanelContext ctx(DT(2024, 3, 15, 9, 0));
  TSettings& settings = ctx.context->settings();
  settings.SetSetting(QStringLiteral("AlarmEnabled"), QStringLiteral("-1"));
  settings.SetSetting(QStringLiteral("AlarmSound"), home.path() + QStringLiteral("/none.wav"));
  DisplaySettings d;
  LoadDisplaySettings(settings, d);
  EXPECT_FALSE(d.AlarmEnabled);
  QFile sound(home.path() + QStringLiteral("/chime.wav"));
  ASSERT_TRUE(sound.open(QIODevice::WriteOnly));
  sound.write("RIFF");
  sound.close();
  settings.SetSetting(QStringLiteral("AlarmSound"), sound.fileName());
  LoadDisplaySettings(settings, d);
  EXPECT_TRUE(d.AlarmEnabled);
  EXPECT_EQ(d.AlarmSound, sound.fileName());
}

}  // namespace
