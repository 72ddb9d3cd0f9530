#pragma once

#include <QList>
#include <QRect>

// One monitor: its whole area and its work area (the area less panels and docks), in
// desktop pixels.
struct Monitor {
  QRect geometry;
  QRect workArea;
  bool primary = false;
  bool operator==(const Monitor&) const = default;
};

// The system's monitors, in the system's order. This header uses QtCore only, so the
// settings can place the panel without a GUI; the program uses QtScreens (qtscreens.h).
class Screens {
 public:
  virtual ~Screens() = default;
  virtual int count() const = 0;
  // Monitor i, 0 <= i < count().
  virtual Monitor info(int index) const = 0;
  // The index of the primary monitor; -1 when there is no monitor.
  virtual int primary() const = 0;
};

// A fixed set of monitors: tests, and command-line runs that have no display.
class FixedScreens final : public Screens {
 public:
  // One 1920 x 1080 monitor with a 40-pixel panel at the bottom.
  FixedScreens() : FixedScreens({Monitor{QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040), true}}) {}
  explicit FixedScreens(QList<Monitor> monitors) : monitors_(std::move(monitors)) {}

  int count() const override { return static_cast<int>(monitors_.size()); }
  Monitor info(int index) const override { return monitors_.value(index); }
  int primary() const override {
    for (int i = 0; i < count(); ++i) {
      if (monitors_[i].primary) return i;
    }
    return monitors_.isEmpty() ? -1 : 0;
  }

 private:
  QList<Monitor> monitors_;
};
