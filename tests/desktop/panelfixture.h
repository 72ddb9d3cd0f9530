#pragma once

// Shared by the desktop tests: the application object, a context over a memory store with a
// pinned clock, and small builders for events, tasks and colours.

#include "core/memorykeystore.h"
#include "session/appcontext.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QImage>
#include <memory>

// The one QApplication of the test program, made on first use.
void EnsureApp();

// 0x00BBGGRR from red, green and blue.
constexpr quint32 Bgr(int r, int g, int b) {
  return static_cast<quint32>(r) | (static_cast<quint32>(g) << 8) | (static_cast<quint32>(b) << 16);
}

struct PanelContext {
  explicit PanelContext(TDateTime now);
  FixedClock* clock = nullptr;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<AppContext> context;
  DataFormat& calendar() { return context->calendar(); }
  DisplaySettings& display() { return context->display(); }
};

// A one-time event on a day; with a time of day it is a timed event.
int AddEvent(DataFormat& calendar, TDateTime day, const QString& title, double timeOfDay = -1);
// A series: every F days (type 1), every weekday (2), weekly on the day's weekday (3).
int AddSeries(DataFormat& calendar, TDateTime start, int repeatType, const QString& title, double timeOfDay = -1);
int AddTask(DataFormat& calendar, const QString& title, TDateTime due = 0, int priority = 2);

// The colour of a pixel as 0x00BBGGRR.
quint32 PixelBgr(const QImage& image, int x, int y);
