// The options dialog: every control shows and stores its setting by its rule, dependent
// controls follow their boxes, Preview then Cancel puts the snapshot back, Save writes the
// store and refreshes the weather, and the panel's height limit follows the line height.
#include "editors/options.h"
#include "editorfixture.h"
#include "editors/themeselect.h"
#include "platform/sound.h"
#include "support/fakeservices.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

namespace {

class OptionsTest : public EditorTest {
 protected:
  OptionsTest() {
    // A primary monitor whose work area is 1000 pixels high, and a second one.
    context->LoadSettings(
        std::make_unique<FixedScreens>(QList<Monitor>{{QRect(0, 0, 1600, 1040), QRect(0, 0, 1600, 1000), true},
                                                      {QRect(1600, 0, 1280, 1024), QRect(1600, 0, 1280, 1024), false}}),
        TSettings::Mode::ThisRunOnly);
    LoadDisplaySettings(settings(), context->display());
    context->windows().DisplaySettingsChanged = [this] { ++panelReloads; };
    options = std::make_unique<T_Options>(*context, sound);
    options->RefreshNow = [this] { ++refreshes; };
  }
  ~OptionsTest() override { options->hide(); }

  TSettings& settings() { return context->settings(); }
  QObject* Find(const QString& name) {
    QObject* found = options->findChild<QObject*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
  }
  template <typename T>
  T* Control(const char* name) {
    return qobject_cast<T*>(Find(QLatin1String(name)));
  }
  void Click(const char* name) { Control<QAbstractButton>(name)->click(); }
  // What a control shows, as one value.
  QVariant Shown(const QString& name) {
    QObject* o = Find(name);
    if (auto* swatch = dynamic_cast<ColourSwatch*>(o)) return swatch->Colour();
    if (auto* spin = qobject_cast<QSpinBox*>(o)) return spin->value();
    if (auto* slider = qobject_cast<QSlider*>(o)) return slider->value();
    if (auto* combo = qobject_cast<QComboBox*>(o)) return combo->currentIndex();
    if (auto* button = qobject_cast<QAbstractButton*>(o)) return button->isChecked();
    if (auto* edit = qobject_cast<QLineEdit*>(o)) return edit->text();
    if (auto* label = qobject_cast<QLabel*>(o)) return label->text();
    return {};
  }
  bool EnabledWithLabel(QWidget* w) {
    for (QLabel* label : options->findChildren<QLabel*>()) {
      if (label->buddy() == w && label->isEnabled() != w->isEnabled()) return !w->isEnabled();
    }
    return w->isEnabled();
  }

  SilentSound sound;
  std::unique_ptr<T_Options> options;
  int panelReloads = 0;
  int refreshes = 0;
};

struct Mapping {
  const char* key;
  const char* stored;
  const char* control;
  QVariant shown;
};

// Each row: the stored text, the control it shows in and what that control shows; a row for
// each kind of control, and every conversion (BgAlpha and MidAlpha show inverted, DisplayDays
// and MonitorSelect one more, SnoozeDefault the item of its minutes).
// clang-format off
const Mapping Mappings[] = {
    {"Width", "300", "PanelWidth", 300}, {"GradientStart", "1122867", "GradStart", 1122867},
    {"TaskColor", "7", "TaskColor", 7}, {"FontName", "DejaVu Serif", "PanelFont", QStringLiteral("DejaVu Serif")},
    {"PanelAlpha", "200", "PanelAlpha", 200}, {"BgAlpha", "100", "BgAlpha", 155},
    {"MidAlpha", "30", "GradientAlpha", 225}, {"DisplayDays", "9", "DisplayDays", 10},
    {"MonitorSelect", "1", "MonitorSelect", 2}, {"DisplayWeather", "-1", "DisplayWeather", true},
    {"WeatherZip", "10001", "WeatherZip", QStringLiteral("10001")}, {"TempDeg", "3", "DegreePicker", 3},
    {"UseToolTips", "0", "UseToolTips", false}, {"DblClickCal", "-1", "CalButn", true},
    {"DblClickTodo", "0", "TodoButn", false}, {"EnableSync", "-1", "EnableSync", true},
    {"SyncEMail", "ann@example.org", "SyncEMail", QStringLiteral("ann@example.org")},
    {"SnoozeMinutes", "60", "SnoozeDefault", 3}, {"AlarmMessageBox", "-1", "AlarmBoxOnly", true}};
// clang-format on

TEST_F(OptionsTest, EachControlShowsItsSettingAndStoresItBack) {
  for (const Mapping& m : Mappings) settings().SetSetting(QLatin1String(m.key), QLatin1String(m.stored));
  settings().SetSetting(QStringLiteral("SyncPass"), QStringLiteral("secret"));
  options->show();
  for (const Mapping& m : Mappings) EXPECT_EQ(Shown(QLatin1String(m.control)), m.shown) << m.key;
  // Each pair of radios has exactly one ticked.
  for (const char* second : {"CalX", "TodoX", "TessalyX", "WeatherSingle"}) {
    auto* radio = Control<QAbstractButton>(second);
    for (QAbstractButton* other : radio->parentWidget()->findChildren<QAbstractButton*>())
      EXPECT_TRUE(other == radio || other->isChecked() != radio->isChecked()) << second;
  }
  for (const Mapping& m : Mappings) settings().SetSetting(QLatin1String(m.key), QString());
  settings().SetSetting(QStringLiteral("SyncPass"), QString());
  options->ApplyControls();
  for (const Mapping& m : Mappings)
    EXPECT_EQ(settings().GetSetting(QLatin1String(m.key)), QLatin1String(m.stored)) << m.key;
  EXPECT_EQ(settings().GetSetting(QStringLiteral("SyncPass")) + settings().GetSetting(QStringLiteral("Monitor")),
            QStringLiteral("secret1"));
}

TEST_F(OptionsTest, BoxesEnableTheirDependentControls) {
  const std::pair<const char*, std::vector<const char*>> rows[] = {
      {"DisplayEvents", {"DisplayDays", "AlwaysToday"}},
      {"DisplayWeather", {"WeatherZip", "DegreePicker", "PressurePicker", "CurrentWeather", "TooltipWeather"}},
      {"UseDropShadow", {"DropShadowColor", "Button6"}},
      {"DisplayCalendar", {"PrevMonth", "NextMonth"}},
      {"PlayAlarm", {"SoundFilePath", "PlayBtn", "SndBrowseBtn"}},
      {"EnableSync", {"SyncEMail", "SyncPassReset", "AllowOlderPeers"}},
  };
  options->show();
  for (const auto& [box, dependents] : rows) {
    for (bool ticked : {false, true}) {
      Click(box);
      ASSERT_EQ(Shown(QLatin1String(box)).toBool(), ticked) << box;
      for (const char* d : dependents)
        EXPECT_EQ(EnabledWithLabel(qobject_cast<QWidget*>(Find(QLatin1String(d)))), ticked) << box << " " << d;
    }
  }
  // The tray icon list offers the weather icons only with the weather, and keeps a choice.
  settings().SetSetting(QStringLiteral("TrayIconType"), QStringLiteral("3"));
  settings().SetSetting(QStringLiteral("DisplayWeather"), QStringLiteral("0"));
  options->hide();
  options->show();
  auto* icons = Control<QComboBox>("IconPicker");
  EXPECT_EQ(std::pair(icons->count(), icons->currentIndex()), std::pair(2, 0));
  Click("DisplayWeather");
  EXPECT_EQ(std::pair(icons->count(), icons->currentIndex()), std::pair(5, 3));
  icons->setCurrentIndex(1);
  Click("DisplayCalendar");
  EXPECT_EQ(icons->currentIndex(), 1);
}

TEST_F(OptionsTest, PreviewThenCancelPutsTheSnapshotBack) {
  settings().SetSetting(QStringLiteral("SyncPass"), QStringLiteral("old"));
  // The stored width, gradient end, password, monitor choice, monitor and place; the shown width.
  const auto state = [this] {
    QStringList values;
    for (const char* key : {"Width", "GradientEnd", "SyncPass", "MonitorSelect", "Monitor", "DesktopLeft"})
      values << settings().GetSetting(QLatin1String(key));
    return values << QString::number(context->display().Width);
  };
  const QStringList before = state();
  for (bool byClosing : {false, true}) {
    options->show();
    Control<QSpinBox>("PanelWidth")->setValue(400);
    dialogs->AnswerColour(255);
    Click("Button1");
    Control<QComboBox>("MonitorSelect")->setCurrentIndex(2);
    dialogs->AnswerInput(QStringLiteral("new"));
    Click("SyncPassReset");
    Click("PreviewButton");
    EXPECT_EQ(state().mid(0, 4) << state().back() << QString::number(panelReloads),
              QStringList({"400", "255", "new", "1", "400", "1"}));
    byClosing ? void(options->close()) : Click("CancelButton");
    EXPECT_TRUE(!options->isVisible() && panelReloads == 2);
    panelReloads = 0;
    EXPECT_EQ(state(), before);
  }
  EXPECT_EQ(refreshes, 0);
}

// The panel on the primary monitor's right edge (its work area is 1600 wide): a wider preview
// keeps the right edge, Cancel puts the place back, and another monitor takes the panel to
// the same place on it.
TEST_F(OptionsTest, PanelKeepsItsPlace) {
  for (auto [key, value] : {std::pair{"Width", "220"},
                            {"DesktopLeft", "1380"},
                            {"DesktopTop", "40"},
                            {"dockRight", "-1"},
                            {"LastWidth", "220"},
                            {"LastHeight", "300"}})
    settings().SetSetting(QLatin1String(key), QLatin1String(value));
  options->show();
  Control<QSpinBox>("PanelWidth")->setValue(320);
  Click("PreviewButton");
  EXPECT_EQ(context->display().DesktopLeft, 1280);
  Click("CancelButton");
  const DisplaySettings& d = context->display();
  EXPECT_EQ(std::tuple(d.Width, d.DesktopLeft, d.DesktopTop), std::tuple(220, 1380, 40));
  options->show();
  Control<QComboBox>("MonitorSelect")->setCurrentIndex(2);  // its work area: 1600..2880
  Click("SaveButton");
  EXPECT_EQ(std::pair(d.DesktopLeft, d.DesktopTop), std::pair(2880 - 220, 40));
}

TEST_F(OptionsTest, SaveWritesTheStoreAndTheAutostartEntryAndRefreshesAChangedZipTwice) {
  TempHome home;
  FakeAutostart autostart;
  context->SetAutostart(&autostart);
  settings().SetSetting(QStringLiteral("WeatherZip"), QStringLiteral("10001"));
  options->show();
  Control<QLineEdit>("WeatherZip")->setText(QStringLiteral("02139"));
  Control<QAbstractButton>("RunStartup")->setChecked(true);
  Click("SaveButton");
  EXPECT_TRUE(autostart.on && !options->isVisible());
  // Two refreshes: the zip differs from the snapshot, and the weather was touched.
  EXPECT_EQ(std::pair(refreshes, panelReloads), std::pair(2, 1));
  ASSERT_TRUE(context->store().OpenKeyReadOnly(QStringLiteral("\\Software\\Orvane")));
  EXPECT_EQ(context->store().ReadString(QStringLiteral("WeatherZip")), QStringLiteral("02139"));
  context->store().CloseKey();
}

TEST_F(OptionsTest, TheWeatherPlaceIsFoundConfirmedFromTheListAndAskedForAtOnce) {
  settings().SetSetting(QStringLiteral("WeatherZip"), QStringLiteral("10001"));
  // Nothing listens here: a search by name has no answer.
  settings().SetSetting(QStringLiteral("WeatherGeocodeUrl"), QStringLiteral("http://127.0.0.1:9/v1/search"));
  options->show();
  // Without a place the zip code is offered as the text to search for.
  EXPECT_EQ(Shown(QStringLiteral("WeatherPlaceSearch")), QStringLiteral("10001"));
  EXPECT_EQ(Control<QComboBox>("WeatherPlaceChoice")->currentText(), QStringLiteral("The zip code's place"));
  Control<QLineEdit>("WeatherPlaceSearch")->setText(QStringLiteral("Boston"));
  dialogs->AnswerMessage(Dialogs::Answer::Ok);
  Click("WeatherFindBtn");
  ASSERT_EQ(dialogs->asked().size(), 1u);
  EXPECT_TRUE(dialogs->asked().back().text.startsWith(QStringLiteral("The place cannot be looked up: ")));
  EXPECT_EQ(Control<QComboBox>("WeatherPlaceChoice")->count(), 1);
  // Coordinates are taken as they stand and shown for confirmation.
  Control<QLineEdit>("WeatherPlaceSearch")->setText(QStringLiteral("42.36, -71.06"));
  Click("WeatherFindBtn");
  EXPECT_EQ(Control<QComboBox>("WeatherPlaceChoice")->currentText(), QStringLiteral("42.36, -71.06"));
  Click("SaveButton");
  EXPECT_EQ(settings().GetSetting(QStringLiteral("WeatherLatitude")), QStringLiteral("42.3600"));
  EXPECT_EQ(settings().GetSetting(QStringLiteral("WeatherLongitude")), QStringLiteral("-71.0600"));
  EXPECT_EQ(settings().GetSetting(QStringLiteral("WeatherPlace")), QStringLiteral("42.36, -71.06"));
  EXPECT_EQ(refreshes, 2);  // the place changed, and the weather was touched
  // Shown again: the stored place, and choosing the zip code's place again is not offered by the list.
  options->show();
  EXPECT_EQ(Control<QComboBox>("WeatherPlaceChoice")->currentText(), QStringLiteral("42.36, -71.06"));
  Click("SaveButton");
  EXPECT_EQ(refreshes, 2);  // nothing changed: no refresh
}

TEST_F(OptionsTest, MaxHeightIsLimitedToTheWorkAreaInLines) {
  settings().SetSetting(QStringLiteral("GradientHeight"), QStringLiteral("21"));
  settings().SetSetting(QStringLiteral("MaxHeight"), QStringLiteral("60"));
  options->show();
  auto* maxHeight = Control<QSpinBox>("MaxHeight");
  EXPECT_EQ(std::pair(maxHeight->maximum(), maxHeight->value()), std::pair(47, 47));  // 1000 div 21
  Control<QSpinBox>("GradHeight")->setValue(40);
  EXPECT_EQ(std::pair(maxHeight->maximum(), maxHeight->value()), std::pair(25, 25));
  // The second monitor's work area is 1024 pixels high.
  Control<QComboBox>("MonitorSelect")->setCurrentIndex(2);
  Control<QSpinBox>("GradHeight")->setValue(16);
  EXPECT_EQ(maxHeight->maximum(), 64);
}

TEST_F(OptionsTest, PickButtonsSetTheirOwnSwatchAndClearingTooltipsAsksFirst) {
  // clang-format off
  const std::pair<const char*, const char*> rows[] = {
      {"PickStart", "GradStart"}, {"Button1", "GradEnd"}, {"Button2", "BackColor"}, {"Button3", "ItemColor"},
      {"Button4", "HeaderColor"}, {"Button6", "DropShadowColor"}, {"PickEventDay", "EventDayColor"},
      {"LabelPick", "LabelColor"}, {"NoteColorPick", "NoteColor"}, {"TaskColorPicker", "TaskColor"}};
  // clang-format on
  options->show();
  int colour = 0x102030;
  for (const auto& [button, swatch] : rows) {
    dialogs->AnswerColour(++colour);
    Click(button);
    EXPECT_EQ(Shown(QLatin1String(swatch)), colour) << button;
  }
  dialogs->AnswerColour(std::nullopt);  // a cancelled dialog changes nothing
  Click("Button1");
  EXPECT_EQ(Shown(QStringLiteral("GradEnd")), 0x102032);
  for (auto answer : {Dialogs::Answer::No, Dialogs::Answer::Yes}) {
    dialogs->AnswerMessage(answer);
    Click("UseToolTips");
    EXPECT_EQ(Shown(QStringLiteral("UseToolTips")).toBool(), answer == Dialogs::Answer::No);
  }
  EXPECT_EQ(dialogs->LastText(), QStringLiteral("Disabling tooltips may slow down Orvane.  Are you sure?"));
}

TEST_F(OptionsTest, ThemesAreSavedFromAndLoadedIntoTheControls) {
  TempHome home;
  QTemporaryDir shipped, user;
  ASSERT_TRUE(WriteThemeFile(QDir(shipped.path()).filePath("sea.ovtheme"), {"Title=Sea", "BgColor=255"}).lines);
  T_ThemeSelect chooser(*context);
  chooser.SetThemeFolders(shipped.path(), user.path());
  options->SetThemeSelect(&chooser);
  options->show();
  dialogs->AnswerColour(0x123456);
  Click("Button2");
  dialogs->AnswerInput(QStringLiteral("Night"));
  Click("SaveAsTheme");
  const QStringList lines = *ReadThemeFile(QDir(user.path()).filePath("night.ovtheme")).lines;
  QStringList keys;
  for (const QString& line : lines) keys << line.section(QLatin1Char('='), 0, 0);
  EXPECT_EQ(keys, T_ThemeSelect::ThemeKeys());
  EXPECT_EQ(ThemeLineValue(lines, "Title") + ThemeLineValue(lines, "BgColor"), "Night" + QString::number(0x123456));
  // Selecting a theme in the chooser shows its colours here; Cancel takes it back, title and all.
  QTimer::singleShot(0, &chooser, [&chooser] {
    chooser.ThemeList->setCurrentRow(chooser.EntryPaths().indexOf(QRegularExpression(".*sea.ovtheme")));
    chooser.Button1Click();
  });
  Click("LoadNewTheme");
  EXPECT_EQ(Shown(QStringLiteral("BackColor")), 255);
  Click("CancelButton");
  EXPECT_EQ(std::pair(settings().GetInt(QStringLiteral("BgColor")), settings().GetSetting(QStringLiteral("Title"))),
            std::pair(0, QString()));
}

}  // namespace
