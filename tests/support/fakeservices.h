#pragma once

// Stand-ins for the platform services that reach outside the test: the network, the
// autostart entry, the data folder.

#include "platform/autostart.h"
#include "platform/datafolder.h"
#include "platform/networkpresence.h"

#include <QStringList>
#include <optional>

// Answers every host with present, and records the hosts asked about.
class FakeNetworkPresence final : public NetworkPresence {
 public:
  explicit FakeNetworkPresence(bool present = true) : present(present) {}
  bool Present(const QString& host) override {
    asked << host;
    return present;
  }
  bool present;
  QStringList asked;
};

// Remembers what the entry was last set to (nothing: never set).
class FakeAutostart final : public Autostart {
 public:
  bool Set(bool on) override {
    this->on = on;
    return true;
  }
  std::optional<bool> on;
};
