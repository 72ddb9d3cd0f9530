#pragma once

#include "platform/dialogs.h"

#include <QDialog>
#include <QFrame>
#include <QHash>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class AppContext;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class ServerPage;
class ServerSync;
class Sound;
class T_ThemeSelect;

// A swatch panel showing one colour of the settings (0x00BBGGRR) as its fill.
class ColourSwatch : public QFrame {
 public:
  explicit ColourSwatch(QWidget* parent = nullptr);
  Dialogs::Colour Colour() const { return colour_; }
  void SetColour(Dialogs::Colour colour);

 private:
  Dialogs::Colour colour_ = 0;
};

// The options dialog ("Options"): every setting of the panel on four pages. Showing it takes
// a snapshot of the settings it edits; Preview writes the controls into the settings so the
// panel shows them at once; Save also writes the settings to the store; Cancel and closing
// the window put the snapshot back. It is made once and shown again for every use.
class T_Options : public QDialog {
  Q_OBJECT

 public:
  // sound plays the alarm preview; it stays owned by the caller and must outlive the dialog.
  T_Options(AppContext& context, Sound& sound, QWidget* parent = nullptr);
  ~T_Options() override;

  // Shows the dialog (from a fresh snapshot unless it is open already) and brings it forward.
  void Open();  // NOLINT(bugprone-virtual-near-miss): shows the window filled in, not QDialog::open

  // The theme chooser behind "Save as a Theme" and "Load a Theme"; without one both buttons
  // are hidden.
  void SetThemeSelect(T_ThemeSelect* chooser);
  // The running calendar server synchronisation, for the "Calendar Server" page.
  void SetServerSync(ServerSync* sync);
  // Refreshes the weather; unset, the weather keeper of the context does (when the run has one).
  std::function<void()> RefreshNow;

  // The text of every key the dialog edits (but Monitor, which is kept with the panel's
  // place) as it was when the dialog was shown.
  QString SnapshotValue(const QString& key) const { return snapshot_.value(key); }
  QStringList SnapshotKeys() const;
  // The synchronisation password that Save or Preview will store.
  QString PendingSyncPass() const { return pendingSyncPass_; }
  // The zip code or a weather unit was changed, or the weather box toggled, since showing.
  bool WeatherTouched() const { return weatherTouched_; }
  // The work area of the monitor chosen in "Display On" (the primary one for the first item).
  QRect WorkArea() const;
  // The panel's monitor, place and docking as they were when the dialog was shown; Cancel
  // puts them back with the width, since a preview may have moved the panel (to another
  // monitor, or to the left as it widened on the right edge).
  static QStringList PlacementKeys();

  // --- Handlers.
  void FormShow();
  void FormHide();
  void FormClose();
  void LoadControls();
  void ApplyControls();
  void UpdateDependentControls();
  void RestoreSnapshot();
  // The upper limit of "Maximum Panel Items": the work area's height in lines.
  void LimitMaxHeight();
  void SaveButtonClick();
  void PreviewButtonClick();
  void CancelButtonClick();
  void HelpButtonClick();
  void PageControl1Change();
  void GradHeightChange();
  void PickStartClick();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void PickEventDayClick();
  void LabelPickClick();
  void NoteColorPickClick();
  void TaskColorPickerClick();
  void DisplayWeatherClick();
  void UseToolTipsClick();
  void PlayBtnClick();
  void SndBrowseBtnClick();
  void SyncPassResetClick();
  void SaveAsThemeClick();
  void LoadNewThemeClick();
  void CheckUpdateButtonClick();
  // Searches for the place (a name, a postal code or "lat,lon") and offers what was found in
  // WeatherPlaceChoice for confirmation; nothing found, or no answer, is said in a message.
  void WeatherFindBtnClick();

  // --- Controls.
  QTabWidget* PageControl1 = nullptr;
  // Appearance.
  QSpinBox* GradHeight = nullptr;
  QSpinBox* PanelWidth = nullptr;
  ColourSwatch* GradStart = nullptr;
  ColourSwatch* GradEnd = nullptr;
  ColourSwatch* BackColor = nullptr;
  ColourSwatch* ItemColor = nullptr;
  ColourSwatch* HeaderColor = nullptr;
  ColourSwatch* EventDayColor = nullptr;
  ColourSwatch* LabelColor = nullptr;
  ColourSwatch* NoteColor = nullptr;
  ColourSwatch* TaskColor = nullptr;
  ColourSwatch* DropShadowColor = nullptr;
  QPushButton* PickStart = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button4 = nullptr;
  QPushButton* Button5 = nullptr;
  QPushButton* Button6 = nullptr;
  QPushButton* PickEventDay = nullptr;
  QPushButton* LabelPick = nullptr;
  QPushButton* NoteColorPick = nullptr;
  QPushButton* TaskColorPicker = nullptr;
  QLabel* PanelFont = nullptr;
  QSlider* PanelAlpha = nullptr;
  QSlider* BgAlpha = nullptr;
  QSlider* GradientAlpha = nullptr;
  QSpinBox* MaxHeight = nullptr;
  QCheckBox* UseDropShadow = nullptr;
  QPushButton* SaveAsTheme = nullptr;
  QPushButton* LoadNewTheme = nullptr;
  // Display.
  QSpinBox* DisplayDays = nullptr;
  QComboBox* MonitorSelect = nullptr;
  QCheckBox* AlwaysToday = nullptr;
  QCheckBox* DisplayTaskList = nullptr;
  QCheckBox* DisplayCalendar = nullptr;
  QCheckBox* DisplayWeather = nullptr;
  QLineEdit* WeatherZip = nullptr;
  QCheckBox* DisplayEvents = nullptr;
  QComboBox* DegreePicker = nullptr;
  QCheckBox* PrevMonth = nullptr;
  QCheckBox* NextMonth = nullptr;
  QComboBox* PressurePicker = nullptr;
  QLineEdit* WeatherPlaceSearch = nullptr;
  QPushButton* WeatherFindBtn = nullptr;
  QComboBox* WeatherPlaceChoice = nullptr;
  QComboBox* IconPicker = nullptr;
  QCheckBox* CurrentWeather = nullptr;
  QCheckBox* TooltipWeather = nullptr;
  QCheckBox* DisplayNotebook = nullptr;
  QCheckBox* SaveNotebook = nullptr;
  QCheckBox* UseToolTips = nullptr;
  QSpinBox* MemoLines = nullptr;
  // Behavior.
  QCheckBox* RunStartup = nullptr;
  QCheckBox* EnableAutoUpdate = nullptr;
  QPushButton* CheckUpdateButton = nullptr;
  QRadioButton* CalButn = nullptr;
  QRadioButton* CalX = nullptr;
  QRadioButton* TodoButn = nullptr;
  QRadioButton* TodoX = nullptr;
  QRadioButton* TessalyButn = nullptr;  // a double-click on the calendar lists the day's events
  QRadioButton* TessalyX = nullptr;     // ... or opens the calendar window
  QRadioButton* WeatherDouble = nullptr;
  QRadioButton* WeatherSingle = nullptr;
  QCheckBox* AllDayDefault = nullptr;
  QCheckBox* PlayAlarm = nullptr;
  QLineEdit* SoundFilePath = nullptr;
  QPushButton* PlayBtn = nullptr;
  QPushButton* SndBrowseBtn = nullptr;
  QCheckBox* AlarmBoxOnly = nullptr;   // alarms in the program's box, not as notifications
  QComboBox* SnoozeDefault = nullptr;  // 5, 10, 15 minutes or 1 hour
  // Synchronization.
  QCheckBox* EnableSync = nullptr;
  QLineEdit* SyncEMail = nullptr;
  QPushButton* SyncPassReset = nullptr;
  QCheckBox* AllowOlderPeers = nullptr;
  // Calendar Server (serverpage.h): changes the account at once, apart from Save and Cancel.
  ServerPage* CalendarServerPage = nullptr;
  // Below the pages.
  QPushButton* SaveButton = nullptr;
  QPushButton* CancelButton = nullptr;
  QPushButton* PreviewButton = nullptr;
  QPushButton* HelpButton = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  // One setting and its control: how the stored text shows, and what the control stores.
  struct Binding {
    QString key;
    std::function<void(const QString&)> load;
    std::function<QString()> apply;
  };

  QWidget* BuildAppearancePage();
  QWidget* BuildDisplayPage();
  QWidget* BuildBehaviorPage();
  QWidget* BuildSynchronizationPage();
  void BuildBindings();
  void ConnectHandlers();
  // A labelled row of a form; the label is enabled and disabled with the field.
  QLabel* AddRow(QFormLayout* form, const QString& label, QWidget* field, QWidget* enabledWith = nullptr);
  void Enable(QWidget* control, bool enabled);
  void FillMonitorList();
  // The work area of monitor index, as the panel chooses it from the Monitor setting.
  QRect PanelWorkArea(const QString& monitor) const;
  // Moves the stored panel place onto the chosen monitor and through the edge snapping at
  // the panel's new width (oldWidth: the panel width the panel was shown with).
  void PlacePanel(const QRect& oldArea, int oldWidth);
  void FillTrayIcons();
  void SetPanelFont(const QString& face);
  void PickColour(ColourSwatch* swatch, Dialogs::Colour initial);
  // Re-reads the theme's keys from the settings into their controls.
  void ReloadThemeControls();
  void RefreshWeather();
  // The panel re-reads the display settings and repaints.
  void PanelChanged();

  AppContext& context_;
  Sound& sound_;
  T_ThemeSelect* themeSelect_ = nullptr;
  std::vector<Binding> bindings_;  // in the order ApplyControls writes them
  QHash<QWidget*, QLabel*> labels_;
  QHash<QString, QString> snapshot_;
  QHash<QString, QString> placement_;  // PlacementKeys as they were when shown
  QString pendingSyncPass_;
  bool weatherTouched_ = false;
  // The weather place as stored and as found: decimal degrees as text, and the shown name.
  struct PlaceChoice {
    QString latitude;
    QString longitude;
    QString name;
  };
  PlaceChoice storedPlace_;
  QList<PlaceChoice> places_;  // the entries of WeatherPlaceChoice
  void LoadPlaceChoices();
  PlaceChoice ChosenPlace() const;
  bool loading_ = false;  // the controls are being set from the settings, not by the user
  int wantedTrayIcon_ = 0;
};
