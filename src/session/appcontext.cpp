#include "session/appcontext.h"

#include "platform/autostart.h"

AppContext::AppContext(std::unique_ptr<Clock> clock, std::unique_ptr<Dialogs> dialogs, std::unique_ptr<KeyStore> store)
    : clock_(std::move(clock)), dialogs_(std::move(dialogs)), store_(std::move(store)), calendar_(*clock_) {}

AppContext::~AppContext() = default;

void AppContext::LoadSettings(std::unique_ptr<Screens> screens, TSettings::Mode mode) {
  settings_.reset();
  screens_ = std::move(screens);
  settings_ = std::make_unique<TSettings>(*store_, *dialogs_, *screens_, mode);
}

TSettings& AppContext::settings() {
  if (!settings_) LoadSettings(std::make_unique<FixedScreens>(), TSettings::Mode::ThisRunOnly);
  return *settings_;
}

bool AppContext::SaveCalendar() {
  if (calendar_.DataChanged && store_->ChangedElsewhere()) {
    // Another program (an older version, a copy that ignored the lock) wrote the calendar
    // while this one had it open. Writing over it would silently drop its changes.
    calendar_.MergeStoreChanges(*store_);
    dialogs_->MessageBox(QStringLiteral("Another program changed the calendar while Orvane was running. Its changes "
                                        "were merged with yours."),
                         QStringLiteral("Orvane"), Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
  }
  const bool alarmsToo = reminders_.NeedsSave();
  const SaveResult result = calendar_.SaveChanged(*store_, alarmsToo, [this] { return reminders_.Write(*store_); });
  if (result.ok && alarmsToo) reminders_.Saved();
  return Reported(result);
}

bool AppContext::SaveCalendarAndSettings() {
  TSettings& stored = settings();
  const SaveResult result = calendar_.SaveWith(*store_, [&stored] { return stored.WriteSettingsToStore(); });
  if (result.ok && autostart_) autostart_->Set(stored.RunsAtStartup());
  return Reported(result);
}

bool AppContext::Reported(const SaveResult& result) {
  if (result.ok) {
    lastSaveError_.clear();
    return true;
  }
  if (result.error != lastSaveError_) {
    lastSaveError_ = result.error;
    dialogs_->MessageBox(result.error, QStringLiteral("Orvane"), Dialogs::Buttons::Ok, Dialogs::Icon::Error);
  }
  return false;
}
