#pragma once

#include "core/clock.h"
#include "core/dataformat.h"
#include "core/keystore.h"
#include "desktop/displaysettings.h"
#include "platform/dialogs.h"
#include "platform/screens.h"
#include "settings/settings.h"

#include <memory>

// Everything one running Orvane works on: the clock, the questions to the user, the key
// store, the calendar, and (as they are built) the settings and windows. Nothing of this is
// global: tests build their own contexts, two of them can live in one process.
class AppContext {
 public:
  AppContext(std::unique_ptr<Clock> clock, std::unique_ptr<Dialogs> dialogs, std::unique_ptr<KeyStore> store);
  ~AppContext();
  AppContext(const AppContext&) = delete;
  AppContext& operator=(const AppContext&) = delete;

  Clock& clock() { return *clock_; }
  Dialogs& dialogs() { return *dialogs_; }
  KeyStore& store() { return *store_; }
  DataFormat& calendar() { return calendar_; }

  // Loads the settings from the store and fills in their defaults over these monitors (the
  // main sequence asks the first-run questions this way; command-line runs use ThisRunOnly).
  void LoadSettings(std::unique_ptr<Screens> screens, TSettings::Mode mode);
  // The settings; a context that never loaded them gets this run's defaults over one
  // fixed monitor, asking nothing.
  TSettings& settings();
  // The desktop panel's typed copy of the display settings (LoadDisplaySettings).
  DisplaySettings& display() { return display_; }

  // Writes the calendar when it changed. A failure keeps DataChanged set so the next tick
  // tries again, and is shown once, not again while the same error persists.
  bool SaveCalendar();

 private:
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<Dialogs> dialogs_;
  std::unique_ptr<KeyStore> store_;
  DataFormat calendar_;
  QString lastSaveError_;
  std::unique_ptr<Screens> screens_;
  std::unique_ptr<TSettings> settings_;
  DisplaySettings display_;
};
