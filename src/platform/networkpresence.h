#pragma once

#include <QString>

// Whether a request to a host can be worth trying. Callers ask before they request anything.
class NetworkPresence {
 public:
  virtual ~NetworkPresence() = default;
  virtual bool Present(const QString& host) = 0;
};

// True when a network interface other than loopback is up and running, or when the host
// itself is a loopback address or a name that resolves only to loopback addresses (a server
// on this machine needs no network). A name is looked up only when no interface is up, and
// then without blocking: the lookup runs while the caller's events go on being handled, and
// is given up after LookupTimeoutMs.
class SystemNetworkPresence final : public NetworkPresence {
 public:
  static constexpr int LookupTimeoutMs = 3000;
  bool Present(const QString& host) override;
};

// The loopback half alone: host is a loopback address, "localhost", or a name that resolves
// only to loopback addresses (looked up as Present does).
bool HostIsLoopback(const QString& host);
