#include "core/records.h"

bool TNote::RepeatOn(int isoWeekday) const {
  switch (isoWeekday) {
    case 1:
      return RepeatMonday;
    case 2:
      return RepeatTuesday;
    case 3:
      return RepeatWednesday;
    case 4:
      return RepeatThursday;
    case 5:
      return RepeatFriday;
    case 6:
      return RepeatSaturday;
    case 7:
      return RepeatSunday;
    default:
      return false;
  }
}

void TNote::SetRepeatOn(int isoWeekday, bool on) {
  switch (isoWeekday) {
    case 1:
      RepeatMonday = on;
      break;
    case 2:
      RepeatTuesday = on;
      break;
    case 3:
      RepeatWednesday = on;
      break;
    case 4:
      RepeatThursday = on;
      break;
    case 5:
      RepeatFriday = on;
      break;
    case 6:
      RepeatSaturday = on;
      break;
    case 7:
      RepeatSunday = on;
      break;
    default:
      break;
  }
}

QString PriorityName(int priority) {
  static const char* const names[5] = {"Highest", "High", "Normal", "Low", "Lowest"};
  if (priority < 0 || priority > 4) priority = 2;
  return QLatin1String(names[priority]);
}
