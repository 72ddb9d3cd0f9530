#include "platform/dbusnotifications.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
// A service that does not answer within this time is taken as absent.
constexpr int CallTimeoutMs = 3000;

}  // namespace

DBusNotifications::DBusNotifications(QObject* parent) : DBusNotifications(QDBusConnection::sessionBus(), parent) {}

DBusNotifications::DBusNotifications(const QDBusConnection& bus, QObject* parent) : Notifications(parent), bus_(bus) {
  Listen();
}

void DBusNotifications::Listen() {
  if (listening_ || !bus_.isConnected()) return;
  // The signals are followed by the service's name, so a service started later is heard too.
  const bool action = bus_.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                                   SLOT(OnActionInvoked(uint, QString)));
  const bool closed = bus_.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                                   SLOT(OnNotificationClosed(uint, uint)));
  listening_ = action && closed;
}

bool DBusNotifications::Available() {
  capabilities_.reset();
  if (!bus_.isConnected()) {
    lastError_ = QStringLiteral("no session bus");
    return false;
  }
  Listen();
  const QDBusMessage reply =
      bus_.call(QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities")),
                QDBus::Block, CallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    lastError_ = reply.errorMessage().isEmpty() ? QStringLiteral("no answer") : reply.errorMessage();
    return false;
  }
  const QList<QVariant> args = reply.arguments();
  if (args.size() != 1 || args[0].metaType() != QMetaType::fromType<QStringList>()) {
    lastError_ = QStringLiteral("GetCapabilities answered %1 values of an unexpected type").arg(args.size());
    return false;
  }
  const QStringList capabilities = args[0].toStringList();
  // Without buttons an alarm could not be snoozed: such a service is of no use for alarms.
  if (!listening_ || !capabilities.contains(QStringLiteral("actions"))) {
    lastError_ =
        listening_ ? QStringLiteral("the service shows no buttons") : QStringLiteral("cannot hear the service");
    return false;
  }
  capabilities_ = capabilities;
  return true;
}

std::optional<quint32> DBusNotifications::Notify(const Message& message) {
  if (!capabilities_ && !Available()) return std::nullopt;
  QString body = message.body;
  if (capabilities_->contains(QStringLiteral("body-markup"))) body = body.toHtmlEscaped();
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("orvane"));
  // The program plays the alarm sound itself.
  hints.insert(QStringLiteral("suppress-sound"), true);
  if (message.persistent) hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(2)));
  QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
  call << QStringLiteral("Orvane") << uint(0) << message.icon << message.summary << body << message.actions << hints
       << int(message.persistent ? 0 : -1);
  const QDBusMessage reply = bus_.call(call, QDBus::Block, CallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    lastError_ = reply.errorMessage().isEmpty() ? QStringLiteral("no answer") : reply.errorMessage();
    capabilities_.reset();
    return std::nullopt;
  }
  const QList<QVariant> args = reply.arguments();
  if (args.size() != 1 || args[0].metaType() != QMetaType::fromType<uint>()) {
    lastError_ = QStringLiteral("Notify answered %1 values of an unexpected type").arg(args.size());
    capabilities_.reset();
    return std::nullopt;
  }
  return args[0].toUInt();
}

void DBusNotifications::Close(quint32 id) {
  QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("CloseNotification"));
  call << uint(id);
  bus_.call(call, QDBus::NoBlock);
}

void DBusNotifications::OnActionInvoked(uint id, const QString& key) { emit ActionInvoked(id, key); }

void DBusNotifications::OnNotificationClosed(uint id, uint reason) { emit NotificationClosed(id, reason); }
