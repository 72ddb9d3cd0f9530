#include "platform/networkpresence.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>

namespace {

bool AnyInterfaceUp() {
  const auto interfaces = QNetworkInterface::allInterfaces();
  for (const QNetworkInterface& nic : interfaces) {
    const auto flags = nic.flags();
    if (flags.testFlag(QNetworkInterface::IsLoopBack)) continue;
    if (flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning)) return true;
  }
  return false;
}

}  // namespace

bool HostIsLoopback(const QString& host) {
  if (host.isEmpty()) return false;
  QHostAddress literal;
  if (literal.setAddress(host)) return literal.isLoopback();
  if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) return true;
  // Names are looked up only when no interface is up, so this does not wait on a resolver
  // across the network; /etc/hosts answers at once.
  const QHostInfo info = QHostInfo::fromName(host);
  if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) return false;
  for (const QHostAddress& address : info.addresses()) {
    if (!address.isLoopback()) return false;
  }
  return true;
}

bool NetworkPresent(const QString& host) { return AnyInterfaceUp() || HostIsLoopback(host); }
