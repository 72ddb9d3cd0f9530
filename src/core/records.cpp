#include "core/records.h"

#include <QCryptographicHash>
#include <QUuid>
#include <QtEndian>
#include <cstring>

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

QString NewUid() { return QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral("@orvane"); }

namespace {

QString HashedUid(const QByteArray& identity) {
  const QByteArray digest = QCryptographicHash::hash(identity, QCryptographicHash::Sha1).toHex().left(32);
  return QStringLiteral("orvane-") + QLatin1String(digest) + QStringLiteral("@orvane");
}

// A moment's exact bits (0.0 and -0.0 alike), the same on every computer.
void AddMoment(QByteArray& identity, TDateTime t) {
  const double value = t == 0 ? 0.0 : t;
  quint64 bits;
  std::memcpy(&bits, &value, sizeof bits);
  char bytes[8];
  qToLittleEndian(bits, bytes);
  identity.append(bytes, 8);
}

}  // namespace

QString DerivedUid(const TNote& note) {
  QByteArray identity = "event\n" + note.Title.toUtf8() + '\n';
  AddMoment(identity, note.StartDate);
  AddMoment(identity, note.StartTime);
  identity += QByteArray::number(note.RepeatType);
  return HashedUid(identity);
}

QString DerivedUid(const TToDo& todo) { return HashedUid("task\n" + todo.Title.toUtf8()); }
