#pragma once

#include "core/tdatetime.h"

// The desktop window's heartbeat: at every tick it checks the alarms, saves what changed and
// repaints the panel.
constexpr int TickIntervalMs = 5000;

// The alarm window: the tick interval in whole seconds.
constexpr int AlarmWindowSeconds = TickIntervalMs / 1000;

// The moment the first tick of a run looks back to for due alarms (one window before now);
// later ticks pass the moment of the tick before.
inline TDateTime FirstAlarmTick(TDateTime now) { return now - AlarmWindowSeconds / SecsPerDay; }
