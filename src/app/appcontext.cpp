#include "app/appcontext.h"

AppContext::AppContext(std::unique_ptr<Clock> clock, std::unique_ptr<Dialogs> dialogs,
                       std::unique_ptr<KeyStore> store)
    : clock_(std::move(clock)), dialogs_(std::move(dialogs)), store_(std::move(store)), calendar_(*clock_) {}

AppContext::~AppContext() = default;

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
