#include "app/appcontext.h"

AppContext::AppContext(std::unique_ptr<Clock> clock, std::unique_ptr<Dialogs> dialogs,
                       std::unique_ptr<KeyStore> store)
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
  const SaveResult result = calendar_.SaveIfChanged(*store_);
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
