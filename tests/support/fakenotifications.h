#pragma once

#include "platform/notifications.h"

#include <vector>

// A notification service in the test's hands: it records each message, and the test plays
// the user's part by emitting ActionInvoked or NotificationClosed. `available` false stands
// for a desktop without the service; `failing` for one whose calls fail.
class FakeNotifications final : public Notifications {
 public:
  bool Available() override { return available; }
  std::optional<quint32> Notify(const Message& message) override {
    if (failing) return std::nullopt;
    shown.push_back(message);
    return static_cast<quint32>(shown.size());  // ids from 1, as services give them
  }
  void Close(quint32 id) override { closed.push_back(id); }

  bool available = true;
  bool failing = false;
  std::vector<Message> shown;
  std::vector<quint32> closed;
};
