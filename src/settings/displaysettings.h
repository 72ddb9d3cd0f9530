#pragma once

#include <QString>
#include <QtGlobal>

class TSettings;

// The typed snapshot of the settings that the desktop panel paints and hit-tests from.
// LoadDisplaySettings refreshes it after every settings change. Colours are 0x00BBGGRR as
// the settings hold them. The member defaults are the settings' own defaults, so a test can
// start from a plain DisplaySettings and change what it needs.
struct DisplaySettings {
  int MainWidth = 0;
  int MainHeight = 0;
  int MainTop = 0;
  int MainLeft = 0;
  int DesktopTop = 0;
  int DesktopLeft = 0;
  int Width = 220;
  quint32 GradientStart = 36864;
  quint32 GradientEnd = 0;
  int GradientHeight = 21;
  quint32 BgColor = 0;
  quint32 FontColor = 16777215;
  quint32 DropColor = 8421504;
  bool UseDropShadow = true;
  quint32 EventDayColor = 57568;
  quint32 LabelColor = 16777215;
  quint32 HeaderFontColor = 16777214;
  quint32 NoteColor = 57568;
  quint32 TaskColor = 255;
  quint8 BgAlpha = 127;
  quint8 MidAlpha = 16;
  quint8 PanelAlpha = 255;
  int DisplayDays = 6;
  QString FontName = QStringLiteral("Trebuchet MS");
  bool DblClickCal = false;
  bool DblClickTodo = false;
  bool DblClickTessaly = true;
  bool RunAtStartup = false;
  int MaxHeight = 40;
  bool dockBottom = false;
  bool dockRight = true;
  int LastHeight = 0;
  int LastWidth = 0;
  bool AlwaysShowToday = true;
  bool DisplayEvents = true;
  bool DisplayTaskList = true;
  bool DisplayCal = true;
  bool DisplayWeather = true;
  bool DisplayNotebook = true;
  bool CurrentWeather = true;
  bool ToolTipWeather = true;
  bool WeatherDouble = true;
  bool EnableAutoUpdate = true;
  QString WeatherZip;
  int TempDeg = 0;
  int PressureType = 0;
  bool DisplayPrevMonth = false;
  bool DisplayNextMonth = false;
  bool AllDayDflt = false;
  int TrayIconType = 0;
  bool EnableSync = true;
  QString SyncEMail;
  QString SyncPass;
  bool SaveNotebook = true;
  bool UseToolTips = true;
  int MemoLines = 5;
  bool AlarmEnabled = true;
  QString AlarmSound;
  int SnoozeMinutes = 10;
  bool AlarmMessageBox = false;
  // The monitor that holds the panel: the setting's text, empty for the first monitor.
  QString Monitor;

  // The row height, never below a size the layout can divide by.
  int R() const { return GradientHeight; }
};

// Reads the snapshot from the settings store. Values out of their range are brought into it
// (a row height of at least 8 pixels, a width of at least 100, 2..15 memo lines, 0..365
// listed days, alphas 0..255), so painting never divides by zero or loops without end.
// A missing alarm sound file switches the alarm sound off in the snapshot.
void LoadDisplaySettings(const TSettings& settings, DisplaySettings& display);

// Brings every numeric value of a snapshot into the range the painter can work with.
void ClampDisplaySettings(DisplaySettings& display);
