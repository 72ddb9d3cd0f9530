// The four pages of the options dialog and the binding of each control to its setting.
#include "editors/controls.h"
#include "editors/options.h"
#include "session/appcontext.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace {

QSpinBox* Spin(QWidget* parent, const char* name, int lowest, int highest) {
  auto* spin = Named(new QSpinBox(parent), name);
  spin->setRange(lowest, highest);
  spin->setMinimumWidth(80);
  return spin;
}

QSlider* TrackBar(QWidget* parent, const char* name, int lowest, int highest) {
  auto* slider = Named(new QSlider(Qt::Horizontal, parent), name);
  slider->setRange(lowest, highest);
  slider->setPageStep(16);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setTickInterval(32);
  slider->setMinimumWidth(200);
  return slider;
}

// A field set in from the left, under the box it belongs to.
QWidget* Indented(QWidget* field) {
  auto* holder = new QWidget(field->parentWidget());
  auto* layout = new QHBoxLayout(holder);
  layout->setContentsMargins(22, 0, 0, 0);
  layout->addWidget(field);
  return holder;
}

QFormLayout* Form() {
  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  form->setHorizontalSpacing(12);
  form->setVerticalSpacing(6);
  return form;
}

// A page holding one titled group, the group's layout filled by the caller.
QGroupBox* PageGroup(QWidget* page, const QString& title) {
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(10, 10, 10, 10);
  auto* group = new QGroupBox(title, page);
  layout->addWidget(group);
  layout->addStretch(1);
  return group;
}

QString BoolText(bool value) { return value ? QStringLiteral("-1") : QStringLiteral("0"); }
bool BoolOf(const QString& text) { return TSettings::ParseBool(text).value_or(false); }
int IntOf(const QString& text, int fallback) { return TSettings::ParseInt(text).value_or(fallback); }

}  // namespace

QLabel* T_Options::AddRow(QFormLayout* form, const QString& label, QWidget* field, QWidget* enabledWith) {
  auto* caption = new QLabel(label);
  caption->setBuddy(enabledWith ? enabledWith : field);
  form->addRow(caption, field);
  labels_.insert(enabledWith ? enabledWith : field, caption);
  return caption;
}

QWidget* T_Options::BuildAppearancePage() {
  auto* page = new QWidget;
  QGroupBox* group = PageGroup(page, tr(" Desktop Panel Appearance "));
  auto* layout = new QVBoxLayout(group);
  layout->setSpacing(12);

  // Sizes and the font.
  auto* sizes = Form();
  GradHeight = Spin(group, "GradHeight", 10, 100);
  PanelWidth = Spin(group, "PanelWidth", 90, 1020);
  MaxHeight = Spin(group, "MaxHeight", 2, 2);
  AddRow(sizes, tr("Line Height"), GradHeight);
  AddRow(sizes, tr("Panel Width"), PanelWidth);
  AddRow(sizes, tr("Maximum Panel Items"), MaxHeight);
  auto* fontRow = new QHBoxLayout;
  PanelFont = Named(new QLabel(group), "PanelFont");
  PanelFont->setMinimumWidth(160);
  PanelFont->setFrameShape(QFrame::StyledPanel);
  PanelFont->setContentsMargins(6, 2, 6, 2);
  Button5 = Named(new QPushButton(tr("Pick"), group), "Button5");
  fontRow->addWidget(PanelFont, 1);
  fontRow->addWidget(Button5);
  auto* fontField = new QWidget(group);
  fontField->setLayout(fontRow);
  fontRow->setContentsMargins(0, 0, 0, 0);
  sizes->addRow(new QLabel(tr("Panel Font")), fontField);
  layout->addLayout(sizes);

  // The colours, two columns of swatch rows.
  auto* colours = new QGridLayout;
  colours->setHorizontalSpacing(8);
  colours->setVerticalSpacing(6);
  struct ColourRow {
    ColourSwatch*& swatch;
    const char* swatchName;
    QPushButton*& button;
    const char* buttonName;
    QString label;
  };
  const ColourRow rows[] = {
      {GradStart, "GradStart", PickStart, "PickStart", tr("Gradient Start Color")},
      {GradEnd, "GradEnd", Button1, "Button1", tr("Gradient End Color")},
      {BackColor, "BackColor", Button2, "Button2", tr("Background Color")},
      {ItemColor, "ItemColor", Button3, "Button3", tr("Item Font color")},
      {HeaderColor, "HeaderColor", Button4, "Button4", tr("Header Font Color")},
      {EventDayColor, "EventDayColor", PickEventDay, "PickEventDay", tr("Color for days w/events")},
      {LabelColor, "LabelColor", LabelPick, "LabelPick", tr("Color for weekday labels")},
      {NoteColor, "NoteColor", NoteColorPick, "NoteColorPick", tr("Color for note flags")},
      {TaskColor, "TaskColor", TaskColorPicker, "TaskColorPicker", tr("Color for overdue tasks")},
      {DropShadowColor, "DropShadowColor", Button6, "Button6", tr("Drop Shadow Color")},
  };
  const int perColumn = 5;
  int i = 0;
  for (const ColourRow& row : rows) {
    row.swatch = Named(new ColourSwatch(group), row.swatchName);
    row.button = Named(new QPushButton(tr("Pick"), group), row.buttonName);
    auto* caption = new QLabel(row.label, group);
    caption->setBuddy(row.button);
    labels_.insert(row.swatch, caption);
    const int r = i % perColumn;
    const int c = (i / perColumn) * 4;
    colours->addWidget(caption, r, c);
    colours->addWidget(row.swatch, r, c + 1);
    colours->addWidget(row.button, r, c + 2);
    ++i;
  }
  colours->setColumnMinimumWidth(3, 18);
  colours->setColumnStretch(0, 1);
  colours->setColumnStretch(4, 1);
  layout->addLayout(colours);

  // Transparency.
  auto* alphas = Form();
  alphas->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  PanelAlpha = TrackBar(group, "PanelAlpha", 25, 255);
  BgAlpha = TrackBar(group, "BgAlpha", 0, 255);
  GradientAlpha = TrackBar(group, "GradientAlpha", 0, 255);
  AddRow(alphas, tr("Desktop Window Transparency"), PanelAlpha);
  AddRow(alphas, tr("Background Transparency"), BgAlpha);
  AddRow(alphas, tr("Gradient Transparency"), GradientAlpha);
  layout->addLayout(alphas);

  UseDropShadow = Named(new QCheckBox(tr("Use a drop shadow behind text"), group), "UseDropShadow");
  layout->addWidget(UseDropShadow);

  auto* themes = new QHBoxLayout;
  SaveAsTheme = Named(new QPushButton(tr("Save as a Theme"), group), "SaveAsTheme");
  LoadNewTheme = Named(new QPushButton(tr("Load a Theme"), group), "LoadNewTheme");
  themes->addWidget(SaveAsTheme);
  themes->addWidget(LoadNewTheme);
  themes->addStretch(1);
  layout->addLayout(themes);
  return page;
}

QWidget* T_Options::BuildDisplayPage() {
  auto* page = new QWidget;
  QGroupBox* group = PageGroup(page, tr(" Desktop Panel Display Options "));
  auto* columns = new QHBoxLayout(group);
  columns->setSpacing(24);

  // What the panel lists, and where.
  auto* left = Form();
  DisplayDays = Spin(group, "DisplayDays", 1, 366);
  MonitorSelect = Named(new QComboBox(group), "MonitorSelect");
  MonitorSelect->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  MonitorSelect->setMinimumContentsLength(24);
  DisplayEvents = Named(new QCheckBox(tr("Display Upcoming Events"), group), "DisplayEvents");
  AlwaysToday = Named(new QCheckBox(tr("Always Display Current Date"), group), "AlwaysToday");
  DisplayTaskList = Named(new QCheckBox(tr("Display Task List"), group), "DisplayTaskList");
  DisplayCalendar = Named(new QCheckBox(tr("Display Monthly Calendar"), group), "DisplayCalendar");
  PrevMonth = Named(new QCheckBox(tr("Display calendar for previous month"), group), "PrevMonth");
  NextMonth = Named(new QCheckBox(tr("Display calendar for next month"), group), "NextMonth");
  DisplayNotebook = Named(new QCheckBox(tr("Display Quick Notes"), group), "DisplayNotebook");
  SaveNotebook = Named(new QCheckBox(tr("Save Quick Notes on exit"), group), "SaveNotebook");
  MemoLines = Spin(group, "MemoLines", 2, 15);
  UseToolTips = Named(new QCheckBox(tr("Use tooltips for quick info"), group), "UseToolTips");
  IconPicker = Named(new QComboBox(group), "IconPicker");
  IconPicker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  IconPicker->setMinimumContentsLength(24);
  AddRow(left, tr("Display On"), MonitorSelect);
  left->addRow(DisplayEvents);
  AddRow(left, tr("Number of days to display"), DisplayDays);
  left->addRow(Indented(AlwaysToday));
  left->addRow(DisplayTaskList);
  left->addRow(DisplayCalendar);
  left->addRow(Indented(PrevMonth));
  left->addRow(Indented(NextMonth));
  left->addRow(DisplayNotebook);
  left->addRow(Indented(SaveNotebook));
  AddRow(left, tr("Quick Notes/Info Area size"), MemoLines);
  left->addRow(UseToolTips);
  AddRow(left, tr("Tray Icon"), IconPicker);
  columns->addLayout(left);

  // The weather.
  auto* right = Form();
  DisplayWeather = Named(new QCheckBox(tr("Display weather information"), group), "DisplayWeather");
  WeatherZip = Named(new QLineEdit(group), "WeatherZip");
  WeatherZip->setMaxLength(10);
  WeatherZip->setFixedWidth(90);
  DegreePicker = Named(new QComboBox(group), "DegreePicker");
  DegreePicker->addItems({tr("°F"), tr("°C"), tr("°R"), tr("K"), tr("°Re")});
  PressurePicker = Named(new QComboBox(group), "PressurePicker");
  PressurePicker->addItems({tr("Inches"), tr("MM Hg"), tr("Atm"), tr("KPa")});
  // The place, searched for by name, postal code or "lat,lon", and confirmed from the list.
  WeatherPlaceSearch = Named(new QLineEdit(group), "WeatherPlaceSearch");
  WeatherPlaceSearch->setPlaceholderText(tr("City, postal code or lat,lon"));
  WeatherFindBtn = Named(new QPushButton(tr("Find"), group), "WeatherFindBtn");
  WeatherFindBtn->setMaximumWidth(WeatherFindBtn->fontMetrics().horizontalAdvance(WeatherFindBtn->text()) + 24);
  auto* search = new QWidget(group);
  auto* searchRow = new QHBoxLayout(search);
  searchRow->setContentsMargins(0, 0, 0, 0);
  searchRow->addWidget(WeatherPlaceSearch, 1);
  searchRow->addWidget(WeatherFindBtn);
  WeatherPlaceChoice = Named(new QComboBox(group), "WeatherPlaceChoice");
  WeatherPlaceChoice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  WeatherPlaceChoice->setMinimumContentsLength(3);
  WeatherPlaceChoice->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  WeatherPlaceChoice->setAccessibleName(tr("Weather for"));
  CurrentWeather = Named(new QCheckBox(tr("Display current weather on desktop"), group), "CurrentWeather");
  TooltipWeather = Named(new QCheckBox(tr("Display weather information in popups"), group), "TooltipWeather");
  right->addRow(DisplayWeather);
  AddRow(right, tr("US Zip code for weather info"), WeatherZip);
  // The place rows span the column: a place's name is longer than the fields beside labels.
  auto* placeLabel = new QLabel(tr("Place for weather"));
  placeLabel->setBuddy(WeatherPlaceSearch);
  labels_.insert(WeatherPlaceSearch, placeLabel);
  right->addRow(placeLabel);
  right->addRow(search);
  right->addRow(WeatherPlaceChoice);
  AddRow(right, tr("Display Temperatures using "), DegreePicker);
  AddRow(right, tr("Display Pressure using"), PressurePicker);
  right->addRow(CurrentWeather);
  right->addRow(TooltipWeather);
  auto* rightColumn = new QVBoxLayout;
  rightColumn->addLayout(right);
  rightColumn->addStretch(1);
  columns->addLayout(rightColumn);
  columns->addStretch(1);
  return page;
}

QWidget* T_Options::BuildBehaviorPage() {
  auto* page = new QWidget;
  QGroupBox* group = PageGroup(page, tr(" Desktop Panel Behavior Options "));
  auto* layout = new QVBoxLayout(group);
  layout->setSpacing(10);

  auto* startRow = new QHBoxLayout;
  auto* startColumn = new QVBoxLayout;
  RunStartup = Named(new QCheckBox(tr("Run Orvane at startup"), group), "RunStartup");
  EnableAutoUpdate = Named(new QCheckBox(tr("Enable AutoUpdate"), group), "EnableAutoUpdate");
  startColumn->addWidget(RunStartup);
  startColumn->addWidget(EnableAutoUpdate);
  CheckUpdateButton = Named(new QPushButton(tr("Check for updates now"), group), "CheckUpdateButton");
  startRow->addLayout(startColumn);
  startRow->addStretch(1);
  startRow->addWidget(CheckUpdateButton, 0, Qt::AlignBottom);
  layout->addLayout(startRow);

  // Four choices of what a click opens, each its own pair of radios.
  auto* pairs = new QGridLayout;
  pairs->setSpacing(10);
  auto pair = [group](const QString& title, QRadioButton*& first, const char* firstName, const QString& firstText,
                      QRadioButton*& second, const char* secondName, const QString& secondText) {
    auto* box = new QGroupBox(title, group);
    auto* v = new QVBoxLayout(box);
    first = Named(new QRadioButton(firstText, box), firstName);
    second = Named(new QRadioButton(secondText, box), secondName);
    v->addWidget(first);
    v->addWidget(second);
    return box;
  };
  pairs->addWidget(pair(tr("Double-Clicking an event will..."), CalButn, "CalButn", tr("Open the Calendar window"),
                        CalX, "CalX", tr("Open the event for editing")),
                   0, 0);
  pairs->addWidget(pair(tr("Double-Clicking a task will..."), TodoButn, "TodoButn", tr("Open the Task List window"),
                        TodoX, "TodoX", tr("Open the task for editing")),
                   0, 1);
  pairs->addWidget(
      pair(tr("Double-Clicking the Desktop Calendar will..."), TessalyButn, "TessalyButn",
           tr("Display a list of events on that day"), TessalyX, "TessalyX", tr("Open the Calendar Window")),
      1, 0);
  pairs->addWidget(
      pair(tr("Open Weather Infomation Page  with..."), WeatherDouble, "WeatherDouble",
           tr("Double Click in Weather Area"), WeatherSingle, "WeatherSingle", tr("Single Click in Weather Area")),
      1, 1);
  layout->addLayout(pairs);

  AllDayDefault = Named(new QCheckBox(tr("Make new events as all day events"), group), "AllDayDefault");
  layout->addWidget(AllDayDefault);

  auto* alarms = new QGroupBox(tr("Alarms"), group);
  auto* alarmLayout = new QVBoxLayout(alarms);
  PlayAlarm = Named(new QCheckBox(tr("Play sound for event alarms"), alarms), "PlayAlarm");
  alarmLayout->addWidget(PlayAlarm);
  auto* pathRow = new QHBoxLayout;
  auto* pathLabel = new QLabel(tr("Path to sound file"), alarms);
  SoundFilePath = Named(new QLineEdit(alarms), "SoundFilePath");
  SoundFilePath->setMinimumWidth(260);
  pathLabel->setBuddy(SoundFilePath);
  labels_.insert(SoundFilePath, pathLabel);
  PlayBtn = Named(new QPushButton(tr("Play"), alarms), "PlayBtn");
  SndBrowseBtn = Named(new QPushButton(tr("Browse..."), alarms), "SndBrowseBtn");
  pathRow->addWidget(pathLabel);
  pathRow->addWidget(SoundFilePath, 1);
  pathRow->addWidget(PlayBtn);
  pathRow->addWidget(SndBrowseBtn);
  alarmLayout->addLayout(pathRow);
  auto* showRow = new QHBoxLayout;
  AlarmBoxOnly = Named(new QCheckBox(tr("Show alarms in a box, not as desktop notifications"), alarms), "AlarmBoxOnly");
  auto* snoozeLabel = new QLabel(tr("Snooze for"), alarms);
  SnoozeDefault = Named(new QComboBox(alarms), "SnoozeDefault");
  SnoozeDefault->addItems({tr("5 minutes"), tr("10 minutes"), tr("15 minutes"), tr("1 hour")});
  snoozeLabel->setBuddy(SnoozeDefault);
  showRow->addWidget(AlarmBoxOnly);
  showRow->addStretch(1);
  showRow->addWidget(snoozeLabel);
  showRow->addWidget(SnoozeDefault);
  alarmLayout->addLayout(showRow);
  layout->addWidget(alarms);
  return page;
}

QWidget* T_Options::BuildSynchronizationPage() {
  auto* page = new QWidget;
  QGroupBox* group = PageGroup(page, tr(" Network Synchronization Settings "));
  auto* form = Form();
  group->setLayout(form);
  EnableSync = Named(new QCheckBox(tr("Enable Synchronization"), group), "EnableSync");
  SyncEMail = Named(new QLineEdit(group), "SyncEMail");
  SyncEMail->setMinimumWidth(240);
  SyncPassReset = Named(new QPushButton(tr("Set Sync Password"), group), "SyncPassReset");
  AllowOlderPeers =
      Named(new QCheckBox(tr("Allow older peers (their password travels unprotected)"), group), "AllowOlderPeers");
  form->addRow(EnableSync);
  AddRow(form, tr("Sync User Name"), SyncEMail);
  form->addRow(QString(), SyncPassReset);
  form->addRow(AllowOlderPeers);
  return page;
}

void T_Options::BuildBindings() {
  auto spin = [this](const char* key, QSpinBox* field, int shownOffset = 0) {
    bindings_.push_back({QString::fromLatin1(key),
                         [field, shownOffset](const QString& t) {
                           field->setValue(IntOf(t, field->value() - shownOffset) + shownOffset);
                         },
                         [field, shownOffset] { return QString::number(field->value() - shownOffset); }});
  };
  auto colour = [this](const char* key, ColourSwatch* swatch) {
    bindings_.push_back({QString::fromLatin1(key), [swatch](const QString& t) { swatch->SetColour(IntOf(t, 0)); },
                         [swatch] { return QString::number(swatch->Colour()); }});
  };
  // A track bar whose position is the value, or (inverted) 255 less the value.
  auto track = [this](const char* key, QSlider* slider, bool inverted) {
    bindings_.push_back(
        {QString::fromLatin1(key),
         [slider, inverted](const QString& t) {
           const int value = IntOf(t, inverted ? 255 - slider->value() : slider->value());
           slider->setValue(inverted ? 255 - value : value);
         },
         [slider, inverted] { return QString::number(inverted ? 255 - slider->value() : slider->value()); }});
  };
  // A box, or a pair of radios whose first stands for true.
  auto box = [this](const char* key, QAbstractButton* button, QAbstractButton* opposite = nullptr) {
    bindings_.push_back({QString::fromLatin1(key),
                         [button, opposite](const QString& t) {
                           button->setChecked(BoolOf(t));
                           if (opposite) opposite->setChecked(!BoolOf(t));
                         },
                         [button] { return BoolText(button->isChecked()); }});
  };
  auto combo = [this](const char* key, QComboBox* list) {
    bindings_.push_back(
        {QString::fromLatin1(key),
         [list](const QString& t) { list->setCurrentIndex(std::clamp(IntOf(t, 0), 0, list->count() - 1)); },
         [list] { return QString::number(std::max(0, list->currentIndex())); }});
  };
  auto text = [this](const char* key, QLineEdit* edit) {
    bindings_.push_back(
        {QString::fromLatin1(key), [edit](const QString& t) { edit->setText(t); }, [edit] { return edit->text(); }});
  };

  spin("Width", PanelWidth);
  spin("GradientHeight", GradHeight);
  colour("GradientStart", GradStart);
  colour("GradientEnd", GradEnd);
  colour("BgColor", BackColor);
  colour("FontColor", ItemColor);
  colour("EventDayColor", EventDayColor);
  colour("LabelColor", LabelColor);
  colour("HeaderFontColor", HeaderColor);
  colour("NoteColor", NoteColor);
  colour("DropColor", DropShadowColor);
  colour("TaskColor", TaskColor);
  bindings_.push_back({QStringLiteral("FontName"), [this](const QString& t) { SetPanelFont(t); },
                       [this] { return PanelFont->text(); }});
  track("BgAlpha", BgAlpha, true);
  track("MidAlpha", GradientAlpha, true);
  track("PanelAlpha", PanelAlpha, false);
  box("DblClickCal", CalButn, CalX);
  box("DblClickTodo", TodoButn, TodoX);
  box("DblClickTessaly", TessalyButn, TessalyX);
  box("RunAtStartup", RunStartup);
  spin("DisplayDays", DisplayDays, 1);
  // Loaded before the limit is known: the limit is applied once every control is set.
  bindings_.push_back({QStringLiteral("MaxHeight"),
                       [this](const QString& t) {
                         MaxHeight->setMaximum(std::numeric_limits<int>::max());
                         MaxHeight->setValue(IntOf(t, MaxHeight->value()));
                       },
                       [this] { return QString::number(MaxHeight->value()); }});
  // The first item follows the primary monitor; item n + 1 is monitor n.
  bindings_.push_back({QStringLiteral("MonitorSelect"),
                       [this](const QString& t) {
                         const int item = IntOf(t, -1) + 1;
                         MonitorSelect->setCurrentIndex(item >= 0 && item < MonitorSelect->count() ? item : 0);
                       },
                       [this] {
                         const int item = std::max(0, MonitorSelect->currentIndex());
                         if (item >= 1) {
                           context_.settings().SetInt(QStringLiteral("Monitor"), item - 1);
                         } else {
                           context_.settings().SelectPrimaryMonitor();
                         }
                         return QString::number(item - 1);
                       }});
  box("UseDropShadow", UseDropShadow);
  box("AlwaysShowToday", AlwaysToday);
  box("DisplayTaskList", DisplayTaskList);
  box("DisplayCal", DisplayCalendar);
  box("DisplayWeather", DisplayWeather);
  text("WeatherZip", WeatherZip);
  // The place is three settings behind one list entry.
  bindings_.push_back({QStringLiteral("WeatherLatitude"), [this](const QString& t) { storedPlace_.latitude = t; },
                       [this] { return ChosenPlace().latitude; }});
  bindings_.push_back({QStringLiteral("WeatherLongitude"), [this](const QString& t) { storedPlace_.longitude = t; },
                       [this] { return ChosenPlace().longitude; }});
  bindings_.push_back({QStringLiteral("WeatherPlace"),
                       [this](const QString& t) {
                         storedPlace_.name = t;
                         LoadPlaceChoices();
                       },
                       [this] { return ChosenPlace().name; }});
  box("DisplayEvents", DisplayEvents);
  combo("TempDeg", DegreePicker);
  box("DisplayPrevMonth", PrevMonth);
  box("DisplayNextMonth", NextMonth);
  combo("PressureType", PressurePicker);
  // The list is filled by UpdateDependentControls, which selects the wanted item.
  bindings_.push_back({QStringLiteral("TrayIconType"), [this](const QString& t) { wantedTrayIcon_ = IntOf(t, 0); },
                       [this] { return QString::number(std::max(0, IconPicker->currentIndex())); }});
  box("CurrentWeather", CurrentWeather);
  box("ToolTipWeather", TooltipWeather);
  box("DisplayNotebook", DisplayNotebook);
  box("SaveNotebook", SaveNotebook);
  box("UseToolTips", UseToolTips);
  box("EnableAutoUpdate", EnableAutoUpdate);
  box("WeatherDouble", WeatherDouble, WeatherSingle);
  box("AllDayDflt", AllDayDefault);
  box("AlarmEnabled", PlayAlarm);
  text("AlarmSound", SoundFilePath);
  box("AlarmMessageBox", AlarmBoxOnly);
  // The list's items stand for the snooze choices, in order; another stored value shows the
  // default (10 minutes).
  bindings_.push_back({QStringLiteral("SnoozeMinutes"),
                       [this](const QString& t) {
                         const auto* found =
                             std::find(std::begin(SnoozeChoices), std::end(SnoozeChoices), IntOf(t, 10));
                         const bool known = found != std::end(SnoozeChoices);
                         SnoozeDefault->setCurrentIndex(known ? int(found - std::begin(SnoozeChoices)) : 1);
                       },
                       [this] {
                         const int item = std::clamp(SnoozeDefault->currentIndex(), 0, 3);
                         return QString::number(SnoozeChoices[item]);
                       }});
  box("EnableSync", EnableSync);
  bindings_.push_back({QStringLiteral("SyncPass"), [this](const QString& t) { pendingSyncPass_ = t; },
                       [this] { return pendingSyncPass_; }});
  text("SyncEMail", SyncEMail);
  box("AllowOlderPeers", AllowOlderPeers);
  spin("MemoLines", MemoLines);
}
