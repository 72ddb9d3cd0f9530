#pragma once

#include "core/reminders.h"

#include <QObject>
#include <QPointer>
#include <map>
#include <vector>

class AppContext;
class Notifications;
class Sound;
class T_AlarmBox;

// Shows the alarms that came due: the alarm sound once, then a desktop notification per
// alarm with "Snooze" and "Dismiss" (a click opens the event), or, where the desktop has no
// notification service (or the settings choose it), one box listing them all.
class AlarmPresenter : public QObject {
  Q_OBJECT

 public:
  AlarmPresenter(AppContext& context, Sound& sound, QObject* parent = nullptr);
  ~AlarmPresenter() override;

  // The notification service; none: alarms always show in the box. Not owned.
  void SetNotifications(Notifications* notifications);

  void Present(const std::vector<DueAlarm>& due);
  // The box, once an alarm has shown in it.
  T_AlarmBox* Box() const { return box_; }

  // Puts the alarm off for some minutes (written with the next save).
  void Snooze(const DueAlarm& alarm, int minutes);
  // Opens the alarm's event in the event editor.
  void Open(const DueAlarm& alarm);

 private:
  void ShowInBox(const std::vector<DueAlarm>& due);
  void ActionInvoked(quint32 id, const QString& key);
  // The event the alarm belongs to now, or -1 when it is gone.
  int IndexOf(const DueAlarm& alarm) const;

  AppContext& context_;
  Sound& sound_;
  QPointer<Notifications> notifications_;
  T_AlarmBox* box_ = nullptr;  // owned; made at the first alarm it shows
  // The notifications up on the desktop, by the id the service gave them.
  std::map<quint32, DueAlarm> shown_;
};
