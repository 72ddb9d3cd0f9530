#pragma once

// What the alarm tests share: a notification service in the test's hands, and a panel on a
// pinned clock whose timer the test ticks.

#include "desktop/desktopwindow.h"
#include "desktop/displayfunctions.h"
#include "desktop/panelfixture.h"
#include "platform/notifications.h"
#include "platform/screens.h"
#include "platform/sound.h"

#include <gtest/gtest.h>
#include <vector>

// It records each message, and the test plays the user's part by emitting ActionInvoked or
// NotificationClosed. `available` false stands for a desktop without the service; `failing`
// for one whose calls fail.
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

// Two seconds before 2:00 PM on Friday, March 15, 2024, with the alarm sound off.
class AlarmWindowTest : public ::testing::Test {
 protected:
  AlarmWindowTest() : ctx(DT(2024, 3, 15, 13, 59, 58)) {
    PainterStartup(*ctx.context);
    ctx.display().AlarmEnabled = false;
  }
  // An event of that day whose alarm rings as it starts.
  int AlarmAt(TDateTime time, const QString& title, const QString& location = QStringLiteral("Room 4")) {
    const int i = AddEvent(ctx.calendar(), D(2024, 3, 15), title, time);
    TNote& note = ctx.calendar().NoteArray[static_cast<size_t>(i)];
    note.Alarm = true, note.AlarmTime = time, note.Location = location;
    return i;
  }
  void Tick(T_DesktopWindow& window, double seconds) {
    ctx.clock->Advance(seconds / SecsPerDay);
    window.Timer1Timer();
  }

  TempHome home;
  PanelContext ctx;
  FixedScreens screens;
  SilentSound sound;
};
