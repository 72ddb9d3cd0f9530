#include "platform/networkpresence.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QTimer>
#include <optional>

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

// The addresses of a name, looked up while the caller's events go on being handled (the
// panel keeps painting); nothing when no answer came in time.
std::optional<QHostInfo> LookUp(const QString& host) {
  // Without an application there are no events to handle: the resolver answers directly.
  if (!QCoreApplication::instance()) return QHostInfo::fromName(host);
  QEventLoop loop;
  std::optional<QHostInfo> answer;
  QTimer::singleShot(SystemNetworkPresence::LookupTimeoutMs, &loop, &QEventLoop::quit);
  // Bound to the loop: an answer that comes after the wait ended is dropped with it.
  QHostInfo::lookupHost(host, &loop, [&answer, &loop](const QHostInfo& info) {
    answer = info;
    loop.quit();
  });
  if (!answer) loop.exec();
  return answer;
}

}  // namespace

bool HostIsLoopback(const QString& host) {
  if (host.isEmpty()) return false;
  QHostAddress literal;
  if (literal.setAddress(host)) return literal.isLoopback();
  if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) return true;
  const std::optional<QHostInfo> info = LookUp(host);
  if (!info || info->error() != QHostInfo::NoError || info->addresses().isEmpty()) return false;
  for (const QHostAddress& address : info->addresses()) {
    if (!address.isLoopback()) return false;
  }
  return true;
}

bool SystemNetworkPresence::Present(const QString& host) { return AnyInterfaceUp() || HostIsLoopback(host); }
