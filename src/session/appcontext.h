#pragma once

#include "core/clock.h"
#include "core/dataformat.h"
#include "core/keystore.h"
#include "core/reminders.h"
#include "platform/dialogs.h"
#include "platform/screens.h"
#include "settings/displaysettings.h"
#include "settings/settings.h"

#include <functional>
#include <memory>

class Autostart;
class T_Weather;

// The windows that one part of the program opens in another, and the only way a window reaches
// another window (or the maker's pages). The main sequence fills these in as it makes the
// windows; a hook left empty means that window is not part of this run (a test, a command),
// and the command that would open it is hidden or does nothing.
struct AppWindows {
  // The event editor on a new event for a date, or on the event NoteArray[index].
  std::function<void(TDateTime date)> NewEvent;
  // The event editor on a new event for a date, its title begun with what the user typed
  // (the caret after it).
  std::function<void(TDateTime date, const QString& title)> NewEventTitled;
  std::function<void(int index)> ViewEvent;
  // The task editor on a new task, or on the task ToDoArray[index].
  std::function<void()> NewTask;
  std::function<void(int index)> ViewTask;
  std::function<void()> ShowToDo;
  // The month window as it was; filled with the month of a date; with a date selected.
  std::function<void()> ShowMonth;
  std::function<void(TDateTime date)> ShowMonthFilled;
  std::function<void(TDateTime date)> ShowMonthDay;
  // The print view opened at a date.
  std::function<void(TDateTime date)> ShowPrint;
  std::function<void()> ShowNetwork;
  std::function<void()> ShowOptions;
  std::function<void()> ShowThemeSelect;
  std::function<void()> ShowHelp;
  std::function<void()> ShowAbout;
  // The update check the user asked for (it answers even when there is nothing new).
  std::function<void()> CheckForUpdates;
  // The desktop panel repaints now (after a change made in another window).
  std::function<void()> RepaintDesktop;
  // The display settings changed (options, theme, restore): the panel reloads and repaints.
  std::function<void()> DisplaySettingsChanged;
  // The editors and the other windows hide with the panel (its Hide Window).
  std::function<void()> HideOtherWindows;
  // The maker's contact page and web site, opened in the browser.
  std::function<void()> OpenContactPage;
  std::function<void()> OpenWebsite;
};

// Everything one running Orvane works on: the clock, the questions to the user, the key
// store, the calendar, and (as they are built) the settings and windows. Nothing of this is
// global: tests build their own contexts, two of them can live in one process.
class AppContext {
 public:
  AppContext(std::unique_ptr<Clock> clock, std::unique_ptr<Dialogs> dialogs, std::unique_ptr<KeyStore> store);
  virtual ~AppContext();
  AppContext(const AppContext&) = delete;
  AppContext& operator=(const AppContext&) = delete;

  Clock& clock() { return *clock_; }
  Dialogs& dialogs() { return *dialogs_; }
  KeyStore& store() { return *store_; }
  DataFormat& calendar() { return calendar_; }
  // The snoozes and the last alarm check, saved with the calendar.
  Reminders& reminders() { return reminders_; }

  // Loads the settings from the store and fills in their defaults over these monitors (the
  // main sequence asks the first-run questions this way; command-line runs use ThisRunOnly).
  void LoadSettings(std::unique_ptr<Screens> screens, TSettings::Mode mode);
  // The settings; a context that never loaded them gets this run's defaults over one
  // fixed monitor, asking nothing.
  TSettings& settings();
  // The monitors the settings were loaded over (loading this run's defaults if none were).
  const Screens& screens() {
    settings();
    return *screens_;
  }
  // The desktop panel's typed copy of the display settings (LoadDisplaySettings).
  DisplaySettings& display() { return display_; }

  // The weather keeper of the panel's run; none in command-line runs and most tests (the
  // panel then shows no weather section). Owned by the main sequence.
  T_Weather* weather() { return weather_; }
  void SetWeather(T_Weather* weather) { weather_ = weather; }

  // The start-at-logon entry, brought in line with RunAtStartup where the setting changes
  // (options, first start, restore); while none is set the entry is left alone. Not owned.
  Autostart* autostart() { return autostart_; }
  void SetAutostart(Autostart* autostart) { autostart_ = autostart; }

  // How windows reach each other.
  AppWindows& windows() { return windows_; }

  // Writes the calendar when it changed (and the alarms' state when that did, in the same
  // transaction). A failure keeps DataChanged set so the next tick
  // tries again, and is shown once, not again while the same error persists.
  bool SaveCalendar();
  // Writes the calendar and the settings in one transaction, for a restore, which replaces
  // both: a crash leaves the old pair or the new one, never the new calendar with the old
  // settings. Failures are shown as SaveCalendar's are.
  bool SaveCalendarAndSettings();

 private:
  bool Reported(const SaveResult& result);

  std::unique_ptr<Clock> clock_;
  std::unique_ptr<Dialogs> dialogs_;
  std::unique_ptr<KeyStore> store_;
  DataFormat calendar_;
  Reminders reminders_{calendar_};
  QString lastSaveError_;
  std::unique_ptr<Screens> screens_;
  std::unique_ptr<TSettings> settings_;
  DisplaySettings display_;
  T_Weather* weather_ = nullptr;
  Autostart* autostart_ = nullptr;
  AppWindows windows_;
};
