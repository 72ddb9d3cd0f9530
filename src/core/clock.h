#pragma once

#include "core/tdatetime.h"

#include <QDateTime>

// Where "now" comes from. Everything that reads the time asks the context's clock, so tests
// can pin it.
class Clock {
 public:
  virtual ~Clock() = default;
  // The current local date and time.
  virtual TDateTime Now() const = 0;

  TDateTime Today() const { return DatePart(Now()); }
  TDateTime Time() const { return TimePart(Now()); }
};

class SystemClock final : public Clock {
 public:
  TDateTime Now() const override { return FromQDateTime(QDateTime::currentDateTime()); }
};

// A clock that shows the moment it was given until told otherwise.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(TDateTime now = 0) : now_(now) {}
  TDateTime Now() const override { return now_; }
  void Set(TDateTime now) { now_ = now; }
  void Advance(double days) { now_ += days; }

 private:
  TDateTime now_;
};
