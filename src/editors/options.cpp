#include "editors/options.h"

#include "desktop/panellayout.h"
#include "editors/serverpage.h"
#include "editors/themeselect.h"
#include "network/openmeteo.h"
#include "network/weather.h"
#include "network/weatherplace.h"
#include "platform/autostart.h"
#include "platform/sound.h"
#include "platform/windowfit.h"
#include "session/appcontext.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

const char* const SoundFilter =
    "All Supported Audio Files (*.wav;*.mp3;*.wma;*.mid)|*.wav;*.mp3;*.au;*.mid;*.wma|Microsoft WAV Files "
    "(*.wav)|*.wav|MPEG Level 3 Audio Files (*.mp3)|*.mp3|Windows Media Audio Files (*.wma)|*.wma|MIDI Sequence "
    "Files (*.mid)|*.mid";

}  // namespace

// --- The colour swatch.

ColourSwatch::ColourSwatch(QWidget* parent) : QFrame(parent) {
  setFixedSize(44, 20);
  SetColour(0);
}

void ColourSwatch::SetColour(Dialogs::Colour colour) {
  colour_ = colour & 0xffffff;
  const QColor shown(colour_ & 0xff, (colour_ >> 8) & 0xff, (colour_ >> 16) & 0xff);
  setStyleSheet(QStringLiteral("background: %1; border: 1px solid #8a8a8a; border-radius: 3px;").arg(shown.name()));
  setToolTip(shown.name().toUpper());
}

// --- The dialog.

T_Options::T_Options(AppContext& context, Sound& sound, QWidget* parent)
    : QDialog(parent), context_(context), sound_(sound) {
  setObjectName(QStringLiteral("T_Options"));
  setWindowTitle(tr("Options"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(10);
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->addTab(BuildAppearancePage(), tr("Appearance"));
  PageControl1->addTab(BuildDisplayPage(), tr("Display"));
  PageControl1->addTab(BuildBehaviorPage(), tr("Behavior"));
  PageControl1->addTab(BuildSynchronizationPage(), tr("Synchronization"));
  CalendarServerPage = new ServerPage(context, PageControl1);
  PageControl1->addTab(CalendarServerPage, tr("Calendar Server"));
  layout->addWidget(PageControl1, 1);

  auto* buttons = new QHBoxLayout;
  auto button = [this](const QString& text, const char* name) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
  };
  HelpButton = button(tr("?"), "HelpButton");
  HelpButton->setFixedWidth(HelpButton->sizeHint().height() + 8);
  PreviewButton = button(tr("Preview"), "PreviewButton");
  SaveButton = button(tr("Save"), "SaveButton");
  CancelButton = button(tr("Cancel"), "CancelButton");
  SaveButton->setDefault(true);
  buttons->addWidget(HelpButton);
  buttons->addStretch(1);
  buttons->addWidget(PreviewButton);
  buttons->addWidget(SaveButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);

  BuildBindings();
  ConnectHandlers();
  SetThemeSelect(nullptr);
}

T_Options::~T_Options() = default;

void T_Options::ConnectHandlers() {
  connect(SaveButton, &QPushButton::clicked, this, &T_Options::SaveButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &T_Options::CancelButtonClick);
  connect(PreviewButton, &QPushButton::clicked, this, &T_Options::PreviewButtonClick);
  connect(HelpButton, &QPushButton::clicked, this, &T_Options::HelpButtonClick);
  connect(PageControl1, &QTabWidget::currentChanged, this, &T_Options::PageControl1Change);
  connect(GradHeight, &QSpinBox::valueChanged, this, &T_Options::GradHeightChange);
  connect(MonitorSelect, &QComboBox::currentIndexChanged, this, [this] {
    if (!loading_) LimitMaxHeight();
  });
  const std::pair<QPushButton*, void (T_Options::*)()> picks[] = {
      {PickStart, &T_Options::PickStartClick},
      {Button1, &T_Options::Button1Click},
      {Button2, &T_Options::Button2Click},
      {Button3, &T_Options::Button3Click},
      {Button4, &T_Options::Button4Click},
      {Button5, &T_Options::Button5Click},
      {Button6, &T_Options::Button6Click},
      {PickEventDay, &T_Options::PickEventDayClick},
      {LabelPick, &T_Options::LabelPickClick},
      {NoteColorPick, &T_Options::NoteColorPickClick},
      {TaskColorPicker, &T_Options::TaskColorPickerClick},
      {PlayBtn, &T_Options::PlayBtnClick},
      {SndBrowseBtn, &T_Options::SndBrowseBtnClick},
      {SyncPassReset, &T_Options::SyncPassResetClick},
      {SaveAsTheme, &T_Options::SaveAsThemeClick},
      {LoadNewTheme, &T_Options::LoadNewThemeClick},
      {CheckUpdateButton, &T_Options::CheckUpdateButtonClick},
  };
  for (const auto& [b, handler] : picks) connect(b, &QPushButton::clicked, this, handler);

  connect(DisplayWeather, &QCheckBox::toggled, this, [this] {
    if (!loading_) DisplayWeatherClick();
  });
  connect(UseToolTips, &QCheckBox::toggled, this, [this] {
    if (!loading_) UseToolTipsClick();
  });
  for (QCheckBox* b : {DisplayEvents, UseDropShadow, DisplayCalendar, PrevMonth, NextMonth, PlayAlarm, EnableSync}) {
    connect(b, &QCheckBox::toggled, this, [this] {
      if (!loading_) UpdateDependentControls();
    });
  }
  // WeatherZipChange, DegreePickerChange, PressurePickerChange.
  auto touched = [this] {
    if (!loading_) weatherTouched_ = true;
  };
  connect(WeatherZip, &QLineEdit::textChanged, this, touched);
  connect(WeatherPlaceChoice, &QComboBox::currentIndexChanged, this, touched);
  connect(WeatherFindBtn, &QPushButton::clicked, this, &T_Options::WeatherFindBtnClick);
  connect(WeatherPlaceSearch, &QLineEdit::returnPressed, this, &T_Options::WeatherFindBtnClick);
  connect(DegreePicker, &QComboBox::currentIndexChanged, this, touched);
  connect(PressurePicker, &QComboBox::currentIndexChanged, this, touched);
  // The user's choice of tray icon, kept while the list changes with the weather box.
  connect(IconPicker, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!loading_ && index >= 0) wantedTrayIcon_ = index;
  });
}

void T_Options::SetThemeSelect(T_ThemeSelect* chooser) {
  themeSelect_ = chooser;
  SaveAsTheme->setVisible(chooser != nullptr);
  LoadNewTheme->setVisible(chooser != nullptr);
}

void T_Options::Open() {  // NOLINT(bugprone-virtual-near-miss)
  if (!isVisible()) show();
  raise();
  activateWindow();
}

QStringList T_Options::SnapshotKeys() const {
  QStringList keys;
  for (const Binding& b : bindings_) keys << b.key;
  keys << QStringLiteral("Title");
  return keys;
}

QStringList T_Options::PlacementKeys() {
  return {QStringLiteral("Monitor"),    QStringLiteral("DesktopLeft"), QStringLiteral("DesktopTop"),
          QStringLiteral("dockBottom"), QStringLiteral("dockRight"),   QStringLiteral("LastWidth"),
          QStringLiteral("LastHeight")};
}

QRect T_Options::PanelWorkArea(const QString& monitor) const {
  const Screens& screens = context_.screens();
  int index = 0;
  if (screens.count() > 1 && !monitor.isEmpty()) index = monitor.toInt();
  if (index < 0 || index >= screens.count()) index = std::max(0, screens.primary());
  const QRect area = screens.info(index).workArea;
  return area.isValid() ? area : QRect(0, 0, 1920, 1080);
}

QRect T_Options::WorkArea() const {
  const Screens& screens = context_.screens();
  const int item = MonitorSelect->currentIndex();
  int index = item >= 1 ? item - 1 : screens.primary();
  if (index < 0 || index >= screens.count()) index = 0;
  const QRect area = screens.info(index).workArea;
  return area.isValid() ? area : QRect(0, 0, 1920, 1080);
}

// --- Showing and hiding.

void T_Options::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Restoring a minimised dialog is no new showing.
  if (!event->spontaneous()) {
    CentreOnScreen(this);
    FormShow();
  }
}

void T_Options::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  FormHide();
}

void T_Options::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

// Escape cancels.
void T_Options::reject() { CancelButtonClick(); }

void T_Options::SetServerSync(ServerSync* sync) { CalendarServerPage->SetServerSync(sync); }

void T_Options::FormShow() {
  weatherTouched_ = false;
  CalendarServerPage->LoadAccount();
  FillMonitorList();
  CheckUpdateButton->setVisible(static_cast<bool>(context_.windows().CheckForUpdates));
  HelpButton->setVisible(static_cast<bool>(context_.windows().ShowHelp));
  LoadControls();
  LimitMaxHeight();
}

void T_Options::FormHide() { sound_.Stop(); }

void T_Options::FormClose() {
  RestoreSnapshot();
  PanelChanged();
}

void T_Options::PageControl1Change() { sound_.Stop(); }

void T_Options::FillMonitorList() {
  const bool wasLoading = std::exchange(loading_, true);
  MonitorSelect->clear();
  MonitorSelect->addItem(tr("Primary System Monitor"));
  const Screens& screens = context_.screens();
  for (int i = 0; i < screens.count(); ++i) {
    const QRect g = screens.info(i).geometry;
    MonitorSelect->addItem(tr("Monitor %1: %2x%3").arg(i).arg(g.width()).arg(g.height()));
  }
  loading_ = wasLoading;
}

// --- Settings and controls.

void T_Options::LoadControls() {
  const TSettings& settings = context_.settings();
  loading_ = true;
  snapshot_.clear();
  for (const Binding& b : bindings_) {
    const QString text = settings.GetSetting(b.key);
    snapshot_.insert(b.key, text);
    b.load(text);
  }
  // Loading a theme here changes the title with the colours, so Cancel takes both back.
  snapshot_.insert(QStringLiteral("Title"), settings.GetSetting(QStringLiteral("Title")));
  placement_.clear();
  for (const QString& key : PlacementKeys()) placement_.insert(key, settings.GetSetting(key));
  loading_ = false;
  UpdateDependentControls();
}

void T_Options::ApplyControls() {
  TSettings& settings = context_.settings();
  const QRect oldArea = PanelWorkArea(settings.GetSetting(QStringLiteral("Monitor")));
  const int oldWidth = settings.GetInt(QStringLiteral("Width"));
  for (const Binding& b : bindings_) settings.SetSetting(b.key, b.apply());
  PlacePanel(oldArea, oldWidth);
  LoadDisplaySettings(settings, context_.display());
  // A new place is asked for at once.
  const PlaceChoice chosen = ChosenPlace();
  if (WeatherZip->text() != snapshot_.value(QStringLiteral("WeatherZip")) ||
      chosen.latitude != snapshot_.value(QStringLiteral("WeatherLatitude")) ||
      chosen.longitude != snapshot_.value(QStringLiteral("WeatherLongitude"))) {
    RefreshWeather();
  }
}

// The panel keeps its place on its monitor: moved with the work area when another monitor is
// chosen, then through the edge snapping at the size it will have, so a panel on the right
// edge stays on it when it widens (and grows to the left), and one on the bottom edge stays
// there. The panel goes to the stored place when it reloads the settings.
void T_Options::PlacePanel(const QRect& oldArea, int oldWidth) {
  TSettings& settings = context_.settings();
  const QRect area = PanelWorkArea(settings.GetSetting(QStringLiteral("Monitor")));
  QPoint place(settings.GetInt(QStringLiteral("DesktopLeft")), settings.GetInt(QStringLiteral("DesktopTop")));
  if (area != oldArea) place += area.topLeft() - oldArea.topLeft();
  // The scroll bar's room, when the panel shows one, stays beside the new width.
  const int shownWidth = settings.GetInt(QStringLiteral("LastWidth"));
  const int scrollBar = shownWidth - oldWidth == ScrollBarWidth ? ScrollBarWidth : 0;
  const QSize size(std::min(PanelWidth->value() + scrollBar, area.width()),
                   std::clamp(settings.GetInt(QStringLiteral("LastHeight")), 0, area.height()));
  const QRect placed = SnapToWorkArea(QRect(place, size), area, GradHeight->value());
  if (placed.x() != settings.GetInt(QStringLiteral("DesktopLeft")))
    settings.SetInt(QStringLiteral("DesktopLeft"), placed.x());
  if (placed.y() != settings.GetInt(QStringLiteral("DesktopTop")))
    settings.SetInt(QStringLiteral("DesktopTop"), placed.y());
}

void T_Options::RestoreSnapshot() {
  if (snapshot_.isEmpty()) return;
  TSettings& settings = context_.settings();
  for (const QString& key : SnapshotKeys()) settings.SetSetting(key, snapshot_.value(key));
  for (const QString& key : PlacementKeys()) settings.SetSetting(key, placement_.value(key));
  LoadDisplaySettings(settings, context_.display());
}

void T_Options::Enable(QWidget* control, bool enabled) {
  control->setEnabled(enabled);
  if (QLabel* label = labels_.value(control)) label->setEnabled(enabled);
}

void T_Options::UpdateDependentControls() {
  const bool events = DisplayEvents->isChecked();
  Enable(DisplayDays, events);
  Enable(AlwaysToday, events);
  const bool weather = DisplayWeather->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{WeatherZip, WeatherPlaceSearch, WeatherFindBtn, WeatherPlaceChoice,
                                                    DegreePicker, PressurePicker, CurrentWeather, TooltipWeather}) {
    Enable(w, weather);
  }
  Enable(DropShadowColor, UseDropShadow->isChecked());
  Enable(Button6, UseDropShadow->isChecked());
  Enable(PrevMonth, DisplayCalendar->isChecked());
  Enable(NextMonth, DisplayCalendar->isChecked());
  for (QWidget* w : std::initializer_list<QWidget*>{SoundFilePath, PlayBtn, SndBrowseBtn})
    Enable(w, PlayAlarm->isChecked());
  Enable(SyncEMail, EnableSync->isChecked());
  Enable(SyncPassReset, EnableSync->isChecked());
  Enable(AllowOlderPeers, EnableSync->isChecked());
  FillTrayIcons();
}

// The weather icons are offered only while weather is shown; a weather icon chosen before
// comes back when the box is ticked again.
void T_Options::FillTrayIcons() {
  const bool wasLoading = std::exchange(loading_, true);
  IconPicker->clear();
  IconPicker->addItems({tr("Orvane Icon"), tr("Day of Month")});
  if (DisplayWeather->isChecked()) {
    IconPicker->addItems({tr("Temperature"), tr("Day top, Temperature bottom"), tr("Temperature top, Day bottom")});
  }
  IconPicker->setCurrentIndex(wantedTrayIcon_ >= 0 && wantedTrayIcon_ < IconPicker->count() ? wantedTrayIcon_ : 0);
  loading_ = wasLoading;
}

void T_Options::LimitMaxHeight() {
  const int limit = WorkArea().height() / std::max(1, GradHeight->value());
  // Setting the highest value lowers a larger one to it.
  MaxHeight->setMaximum(std::max(MaxHeight->minimum(), limit));
}

void T_Options::GradHeightChange() {
  if (!loading_ && GradHeight->value() > 0) LimitMaxHeight();
}

void T_Options::ReloadThemeControls() {
  if (!themeSelect_) return;
  const TSettings& settings = context_.settings();
  const QStringList keys = T_ThemeSelect::ThemeKeys();
  loading_ = true;
  for (const Binding& b : bindings_) {
    if (keys.contains(b.key, Qt::CaseInsensitive)) b.load(settings.GetSetting(b.key));
  }
  loading_ = false;
  UpdateDependentControls();
}

// --- The buttons below the pages.

void T_Options::SaveButtonClick() {
  hide();
  ApplyControls();
  if (weatherTouched_) RefreshWeather();
  const SaveResult saved = context_.settings().SaveSettings();
  if (Autostart* autostart = context_.autostart()) autostart->Set(context_.settings().RunsAtStartup());
  PanelChanged();
  // The settings stay changed in memory and are written again at the next save.
  if (!saved.ok) context_.dialogs().Alert(tr("The settings could not be saved: %1").arg(saved.error));
}

void T_Options::PreviewButtonClick() {
  ApplyControls();
  if (DisplayWeather->isChecked() && weatherTouched_) RefreshWeather();
  PanelChanged();
}

void T_Options::CancelButtonClick() {
  hide();
  RestoreSnapshot();
  if (context_.display().DisplayWeather && weatherTouched_) RefreshWeather();
  PanelChanged();
}

void T_Options::HelpButtonClick() {
  if (context_.windows().ShowHelp) context_.windows().ShowHelp();
}

void T_Options::LoadPlaceChoices() {
  const bool wasLoading = loading_;
  loading_ = true;
  places_.clear();
  WeatherPlaceChoice->clear();
  if (!storedPlace_.latitude.isEmpty() && !storedPlace_.longitude.isEmpty()) {
    places_ << storedPlace_;
    WeatherPlaceChoice->addItem(storedPlace_.name.isEmpty()
                                    ? storedPlace_.latitude + QStringLiteral(", ") + storedPlace_.longitude
                                    : storedPlace_.name);
    WeatherPlaceSearch->setText(storedPlace_.name);
  } else {
    // Without a place the zip code stands for it, and is offered as the text to search for.
    places_ << PlaceChoice{};
    WeatherPlaceChoice->addItem(tr("The zip code's place"));
    WeatherPlaceSearch->setText(context_.settings().GetSetting(QStringLiteral("WeatherZip")).trimmed());
  }
  loading_ = wasLoading;
}

T_Options::PlaceChoice T_Options::ChosenPlace() const {
  const int index = WeatherPlaceChoice->currentIndex();
  return index >= 0 && index < places_.size() ? places_.at(index) : PlaceChoice{};
}

void T_Options::WeatherFindBtnClick() {
  const QString text = WeatherPlaceSearch->text().trimmed();
  QString base = context_.settings().GetSetting(QStringLiteral("WeatherGeocodeUrl")).trimmed();
  if (base.isEmpty()) base = QString::fromLatin1(DefaultOpenMeteoGeocodeUrl);
  OpenMeteoClient client;
  WeatherFindBtn->setEnabled(false);  // one search at a time; the dialog stays alive meanwhile
  const PlaceSearch search = FindWeatherPlaces(client, base, text);
  WeatherFindBtn->setEnabled(DisplayWeather->isChecked());
  if (!search.error.isEmpty() || search.places.isEmpty()) {
    const QString message = search.error.isEmpty() ? tr("No place matches \"%1\".").arg(text)
                                                   : tr("The place cannot be looked up: %1.").arg(search.error);
    context_.dialogs().MessageBox(message, tr("Weather"), Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
    return;
  }
  places_.clear();
  WeatherPlaceChoice->clear();
  for (const WeatherPlace& place : search.places) {
    places_ << PlaceChoice{QString::number(place.latitude, 'f', 4), QString::number(place.longitude, 'f', 4),
                           place.name};
    WeatherPlaceChoice->addItem(place.name);
  }
  WeatherPlaceChoice->setCurrentIndex(0);
  weatherTouched_ = true;
}

void T_Options::RefreshWeather() {
  if (RefreshNow) {
    RefreshNow();
  } else if (T_Weather* weather = context_.weather()) {
    weather->RefreshNow();
  }
}

void T_Options::PanelChanged() {
  const AppWindows& windows = context_.windows();
  if (windows.DisplaySettingsChanged) {
    windows.DisplaySettingsChanged();
  } else if (windows.RepaintDesktop) {
    windows.RepaintDesktop();
  }
}

// --- Colours and the font.

void T_Options::PickColour(ColourSwatch* swatch, Dialogs::Colour initial) {
  if (const auto chosen = context_.dialogs().ChooseColour(initial)) swatch->SetColour(*chosen);
}

// The start colour's dialog opens on the colour the dialog was shown with.
void T_Options::PickStartClick() {
  PickColour(GradStart,
             TSettings::ParseInt(snapshot_.value(QStringLiteral("GradientStart"))).value_or(GradStart->Colour()));
}
void T_Options::Button1Click() { PickColour(GradEnd, GradEnd->Colour()); }
void T_Options::Button2Click() { PickColour(BackColor, BackColor->Colour()); }
void T_Options::Button3Click() { PickColour(ItemColor, ItemColor->Colour()); }
void T_Options::Button4Click() { PickColour(HeaderColor, HeaderColor->Colour()); }
void T_Options::Button6Click() { PickColour(DropShadowColor, DropShadowColor->Colour()); }
void T_Options::PickEventDayClick() { PickColour(EventDayColor, EventDayColor->Colour()); }
void T_Options::LabelPickClick() { PickColour(LabelColor, LabelColor->Colour()); }
void T_Options::NoteColorPickClick() { PickColour(NoteColor, NoteColor->Colour()); }
void T_Options::TaskColorPickerClick() { PickColour(TaskColor, TaskColor->Colour()); }

void T_Options::Button5Click() {
  Dialogs::FontChoice initial;
  initial.family = PanelFont->text();
  initial.pointSize = std::max(6, PanelFont->font().pointSize());
  const auto chosen = context_.dialogs().ChooseFont(initial);
  if (chosen && !chosen->family.trimmed().isEmpty()) SetPanelFont(chosen->family);
}

// The label names the face and shows it.
void T_Options::SetPanelFont(const QString& face) {
  QFont font = PanelFont->font();
  font.setFamily(face);
  PanelFont->setFont(font);
  PanelFont->setText(face);
}

// --- Dependent controls and their questions.

void T_Options::DisplayWeatherClick() {
  UpdateDependentControls();
  weatherTouched_ = !weatherTouched_;
}

void T_Options::UseToolTipsClick() {
  if (UseToolTips->isChecked()) return;
  if (!context_.dialogs().Confirm(tr("Disabling tooltips may slow down Orvane.  Are you sure?"))) {
    const QSignalBlocker block(UseToolTips);
    UseToolTips->setChecked(true);
  }
}

// --- The alarm sound.

void T_Options::PlayBtnClick() {
  const QString path = SoundFilePath->text().trimmed();
  if (path.isEmpty()) return;
  if (!QFileInfo(path).isFile()) {
    context_.dialogs().Alert(tr("The sound file \"%1\" cannot be found.").arg(path));
    return;
  }
  sound_.Stop();
  sound_.Play(path);
}

void T_Options::SndBrowseBtnClick() {
  sound_.Stop();
  Dialogs::FileRequest request;
  request.title = tr("Sound File");
  request.filter = QString::fromLatin1(SoundFilter);
  const QString current = SoundFilePath->text().trimmed();
  if (!current.isEmpty()) {
    request.directory = QFileInfo(current).absolutePath();
    request.fileName = QFileInfo(current).fileName();
  }
  if (const auto chosen = context_.dialogs().OpenFile(request)) SoundFilePath->setText(*chosen);
}

// --- Synchronisation, themes and updates.

void T_Options::SyncPassResetClick() {
  const auto entered =
      context_.dialogs().InputQuery(tr("Reset Password"), tr("Please enter the new password:"), QString(), true);
  // An empty answer would drop the password from the settings: it keeps the one there is.
  if (entered && !entered->isEmpty()) pendingSyncPass_ = *entered;
}

void T_Options::SaveAsThemeClick() {
  if (!themeSelect_) return;
  const auto title =
      context_.dialogs().InputQuery(tr("Theme Title"), tr("Please enter a title for the theme:"), QString());
  if (!title) return;
  if (title->trimmed().isEmpty()) {
    context_.dialogs().MessageBox(tr("A theme needs a title."), QStringLiteral("Invalid Entry"), Dialogs::Buttons::Ok,
                                  Dialogs::Icon::Warning);
    return;
  }
  ApplyControls();
  PanelChanged();
  const TSettings& settings = context_.settings();
  themeSelect_->ClearLoadedTheme();
  themeSelect_->SetThemeValue(QStringLiteral("Title"), title->trimmed());
  for (const QString& key : T_ThemeSelect::ThemeKeys()) {
    if (key.compare(QStringLiteral("Title"), Qt::CaseInsensitive) != 0) {
      themeSelect_->SetThemeValue(key, settings.GetSetting(key));
    }
  }
  themeSelect_->SaveTheme();
}

void T_Options::LoadNewThemeClick() {
  if (!themeSelect_) return;
  themeSelect_->exec();
  ReloadThemeControls();
}

void T_Options::CheckUpdateButtonClick() {
  if (context_.windows().CheckForUpdates) context_.windows().CheckForUpdates();
}
