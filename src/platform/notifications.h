#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

// The desktop's notification service (org.freedesktop.Notifications): a message in the
// corner of the screen with buttons ("actions"). The program uses the D-Bus implementation
// (DBusNotifications); tests put a fake in its place.
class Notifications : public QObject {
  Q_OBJECT

 public:
  struct Message {
    QString summary;
    QString body;
    // An icon file's path, or an icon theme name.
    QString icon;
    // Key and label pairs; the key "default" is the click on the message itself.
    QStringList actions;
    // Shown until the user acts on it rather than for a few seconds.
    bool persistent = true;
  };

  using QObject::QObject;
  ~Notifications() override = default;

  // Whether a service is there that shows messages with buttons.
  virtual bool Available() = 0;
  // Shows a message; the id the service gave it, nothing when it was not shown.
  virtual std::optional<quint32> Notify(const Message& message) = 0;
  // Takes a message away.
  virtual void Close(quint32 id) = 0;

 signals:
  // The user pressed a button (or clicked the message: "default").
  void ActionInvoked(quint32 id, const QString& key);
  // The message went: 1 expired, 2 dismissed by the user, 3 closed by a call, 4 other.
  void NotificationClosed(quint32 id, quint32 reason);
};
