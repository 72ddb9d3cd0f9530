#include "settings/displaysettings.h"

#include "settings/settings.h"

#include <QFileInfo>
#include <algorithm>

namespace {

quint32 Colour(const TSettings& s, const char* name, quint32 fallback) {
  return static_cast<quint32>(s.GetInt(QString::fromLatin1(name), static_cast<qint32>(fallback))) & 0xFFFFFFu;
}

}  // namespace

void ClampDisplaySettings(DisplaySettings& d) {
  d.GradientHeight = std::clamp(d.GradientHeight, 8, 200);
  d.Width = std::clamp(d.Width, 100, 10000);
  d.MemoLines = std::clamp(d.MemoLines, 2, 15);
  d.DisplayDays = std::clamp(d.DisplayDays, 0, 365);
  d.MaxHeight = std::max(d.MaxHeight, 2);
}

void LoadDisplaySettings(const TSettings& s, DisplaySettings& d) {
  const DisplaySettings defaults;
  auto integer = [&s](const char* name, int fallback) { return s.GetInt(QString::fromLatin1(name), fallback); };
  auto boolean = [&s](const char* name, bool fallback) { return s.GetBool(QString::fromLatin1(name), fallback); };
  auto text = [&s](const char* name) { return s.GetSetting(QString::fromLatin1(name)); };
  auto alpha = [&](const char* name, int fallback) {
    return static_cast<quint8>(std::clamp(integer(name, fallback), 0, 255));
  };

  d.MainWidth = integer("MainWidth", defaults.MainWidth);
  d.MainHeight = integer("MainHeight", defaults.MainHeight);
  d.MainTop = integer("MainTop", defaults.MainTop);
  d.MainLeft = integer("MainLeft", defaults.MainLeft);
  d.DesktopTop = integer("DesktopTop", defaults.DesktopTop);
  d.DesktopLeft = integer("DesktopLeft", defaults.DesktopLeft);
  d.Width = integer("Width", defaults.Width);
  d.GradientStart = Colour(s, "GradientStart", defaults.GradientStart);
  d.GradientEnd = Colour(s, "GradientEnd", defaults.GradientEnd);
  d.GradientHeight = integer("GradientHeight", defaults.GradientHeight);
  d.BgColor = Colour(s, "BgColor", defaults.BgColor);
  d.FontColor = Colour(s, "FontColor", defaults.FontColor);
  d.DropColor = Colour(s, "DropColor", defaults.DropColor);
  d.UseDropShadow = boolean("UseDropShadow", defaults.UseDropShadow);
  d.EventDayColor = Colour(s, "EventDayColor", defaults.EventDayColor);
  d.LabelColor = Colour(s, "LabelColor", defaults.LabelColor);
  d.HeaderFontColor = Colour(s, "HeaderFontColor", defaults.HeaderFontColor);
  d.NoteColor = Colour(s, "NoteColor", defaults.NoteColor);
  d.TaskColor = Colour(s, "TaskColor", defaults.TaskColor);
  d.BgAlpha = alpha("BgAlpha", defaults.BgAlpha);
  d.MidAlpha = alpha("MidAlpha", defaults.MidAlpha);
  d.PanelAlpha = alpha("PanelAlpha", defaults.PanelAlpha);
  d.DisplayDays = integer("DisplayDays", defaults.DisplayDays);
  d.FontName = text("FontName");
  if (d.FontName.isEmpty()) d.FontName = defaults.FontName;
  d.DblClickCal = boolean("DblClickCal", defaults.DblClickCal);
  d.DblClickTodo = boolean("DblClickTodo", defaults.DblClickTodo);
  d.DblClickTessaly = boolean("DblClickTessaly", defaults.DblClickTessaly);
  d.RunAtStartup = boolean("RunAtStartup", defaults.RunAtStartup);
  d.MaxHeight = integer("MaxHeight", defaults.MaxHeight);
  d.dockBottom = boolean("dockBottom", defaults.dockBottom);
  d.dockRight = boolean("dockRight", defaults.dockRight);
  d.LastHeight = integer("LastHeight", defaults.LastHeight);
  d.LastWidth = integer("LastWidth", defaults.LastWidth);
  d.AlwaysShowToday = boolean("AlwaysShowToday", defaults.AlwaysShowToday);
  d.DisplayEvents = boolean("DisplayEvents", defaults.DisplayEvents);
  d.DisplayTaskList = boolean("DisplayTaskList", defaults.DisplayTaskList);
  d.DisplayCal = boolean("DisplayCal", defaults.DisplayCal);
  d.DisplayWeather = boolean("DisplayWeather", defaults.DisplayWeather);
  d.DisplayNotebook = boolean("DisplayNotebook", defaults.DisplayNotebook);
  d.CurrentWeather = boolean("CurrentWeather", defaults.CurrentWeather);
  d.ToolTipWeather = boolean("ToolTipWeather", defaults.ToolTipWeather);
  d.WeatherDouble = boolean("WeatherDouble", defaults.WeatherDouble);
  d.EnableAutoUpdate = boolean("EnableAutoUpdate", defaults.EnableAutoUpdate);
  d.WeatherZip = text("WeatherZip");
  d.TempDeg = integer("TempDeg", defaults.TempDeg);
  d.PressureType = integer("PressureType", defaults.PressureType);
  d.DisplayPrevMonth = boolean("DisplayPrevMonth", defaults.DisplayPrevMonth);
  d.DisplayNextMonth = boolean("DisplayNextMonth", defaults.DisplayNextMonth);
  d.AllDayDflt = boolean("AllDayDflt", defaults.AllDayDflt);
  d.TrayIconType = std::clamp(integer("TrayIconType", defaults.TrayIconType), 0, 4);
  d.EnableSync = boolean("EnableSync", defaults.EnableSync);
  d.SyncEMail = text("SyncEMail");
  d.SyncPass = text("SyncPass");
  d.SaveNotebook = boolean("SaveNotebook", defaults.SaveNotebook);
  d.UseToolTips = boolean("UseToolTips", defaults.UseToolTips);
  d.MemoLines = integer("MemoLines", defaults.MemoLines);
  d.AlarmEnabled = boolean("AlarmEnabled", defaults.AlarmEnabled);
  d.AlarmSound = text("AlarmSound");
  d.SnoozeMinutes = std::clamp(integer("SnoozeMinutes", defaults.SnoozeMinutes), 1, 1440);
  d.AlarmMessageBox = boolean("AlarmMessageBox", defaults.AlarmMessageBox);
  d.Monitor = text("Monitor");
  // Without its sound file the alarm is shown without a sound.
  if (!QFileInfo(d.AlarmSound).isFile()) d.AlarmEnabled = false;
  ClampDisplaySettings(d);
}
