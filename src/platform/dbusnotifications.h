#pragma once

#include "platform/notifications.h"

#include <QDBusConnection>

// The notification service on the session bus. Its answers are checked before use: a reply
// of the wrong type or a failed call counts as no service.
class DBusNotifications final : public Notifications {
  Q_OBJECT

 public:
  explicit DBusNotifications(QObject* parent = nullptr);
  DBusNotifications(const QDBusConnection& bus, QObject* parent = nullptr);

  bool Available() override;
  std::optional<quint32> Notify(const Message& message) override;
  void Close(quint32 id) override;

  // What the last failed call reported (for the tests and the curious).
  QString LastError() const { return lastError_; }

 private slots:
  void OnActionInvoked(uint id, const QString& key);
  void OnNotificationClosed(uint id, uint reason);

 private:
  void Listen();

  QDBusConnection bus_;
  bool listening_ = false;
  // The service's capabilities, asked for once it answers.
  std::optional<QStringList> capabilities_;
  QString lastError_;
};
