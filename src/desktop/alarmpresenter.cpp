#include "desktop/alarmpresenter.h"

#include "core/paths.h"
#include "desktop/alarmbox.h"
#include "platform/notifications.h"
#include "platform/sound.h"
#include "session/appcontext.h"

#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace {

// The program's icon: the drawing shipped beside the program, else the installed theme icon.
QString IconName() {
  const QString file = DataDir() + QStringLiteral("icons/orvane.svg");
  return QFileInfo::exists(file) ? QUrl::fromLocalFile(file).toString() : QStringLiteral("orvane");
}

}  // namespace

AlarmPresenter::AlarmPresenter(AppContext& context, Sound& sound, QObject* parent)
    : QObject(parent), context_(context), sound_(sound) {}

AlarmPresenter::~AlarmPresenter() { delete box_; }

void AlarmPresenter::SetNotifications(Notifications* notifications) {
  if (notifications_) notifications_->disconnect(this);
  notifications_ = notifications;
  shown_.clear();
  if (!notifications) return;
  connect(notifications, &Notifications::ActionInvoked, this, &AlarmPresenter::ActionInvoked);
  connect(notifications, &Notifications::NotificationClosed, this, [this](quint32 id, quint32) { shown_.erase(id); });
}

void AlarmPresenter::Present(const std::vector<DueAlarm>& due) {
  if (due.empty()) return;
  const DisplaySettings& s = context_.display();
  // The alarm never waits for the sound: it starts once the alarms are up, so a sound that
  // fails, or has no device to play on, cannot keep them from showing.
  if (s.AlarmEnabled) QTimer::singleShot(0, this, [this, path = s.AlarmSound] { sound_.Play(path); });

  std::vector<DueAlarm> unshown = due;
  if (!s.AlarmMessageBox && notifications_ && notifications_->Available()) {
    unshown.clear();
    const DataFormat& calendar = context_.calendar();
    const TDateTime today = context_.clock().Today();
    for (const DueAlarm& alarm : due) {
      Notifications::Message message;
      message.summary = AlarmSummary(calendar, alarm, today);
      message.body = AlarmDetail(calendar, alarm);
      message.icon = IconName();
      message.actions = {QStringLiteral("default"), tr("Open"),   QStringLiteral("snooze"), tr("Snooze"),
                         QStringLiteral("dismiss"), tr("Dismiss")};
      if (const std::optional<quint32> id = notifications_->Notify(message)) {
        shown_[*id] = alarm;
      } else {
        unshown.push_back(alarm);  // the service failed: the box shows it
      }
    }
  }
  if (!unshown.empty()) ShowInBox(unshown);
}

void AlarmPresenter::ShowInBox(const std::vector<DueAlarm>& due) {
  if (!box_) {
    box_ = new T_AlarmBox;
    box_->OnSnooze = [this](const DueAlarm& alarm, int minutes) { Snooze(alarm, minutes); };
    box_->OnOpen = [this](const DueAlarm& alarm) { Open(alarm); };
  }
  const DataFormat& calendar = context_.calendar();
  const TDateTime today = context_.clock().Today();
  std::vector<T_AlarmBox::Entry> entries;
  for (const DueAlarm& alarm : due) {
    entries.push_back({alarm, AlarmSummary(calendar, alarm, today), AlarmDetail(calendar, alarm)});
  }
  box_->AddAlarms(entries, context_.display().SnoozeMinutes);
}

void AlarmPresenter::ActionInvoked(quint32 id, const QString& key) {
  const auto found = shown_.find(id);
  if (found == shown_.end()) return;  // not one of ours, or already answered
  const DueAlarm alarm = found->second;
  shown_.erase(found);
  if (key == QLatin1String("snooze")) {
    Snooze(alarm, context_.display().SnoozeMinutes);
  } else if (key == QLatin1String("default")) {
    Open(alarm);
  }
  // Services that keep a message after its button was pressed are told to take it away.
  if (notifications_) notifications_->Close(id);
}

void AlarmPresenter::Snooze(const DueAlarm& alarm, int minutes) {
  minutes = std::clamp(minutes, 1, Reminders::MaxSnoozeMinutes);
  context_.reminders().Snooze(alarm, context_.clock().Now() + minutes / (24.0 * 60));
}

int AlarmPresenter::IndexOf(const DueAlarm& alarm) const {
  DataFormat& calendar = context_.calendar();
  if (alarm.index >= 0 && alarm.index < calendar.NoteCount() &&
      calendar.NoteArray[static_cast<size_t>(alarm.index)].Uid == alarm.uid &&
      calendar.NoteArray[static_cast<size_t>(alarm.index)].DeleteDate == 0) {
    return alarm.index;
  }
  return context_.reminders().FindOccurrence(alarm.uid, alarm.day);
}

void AlarmPresenter::Open(const DueAlarm& alarm) {
  const int index = IndexOf(alarm);
  if (index >= 0 && context_.windows().ViewEvent) context_.windows().ViewEvent(index);
}
