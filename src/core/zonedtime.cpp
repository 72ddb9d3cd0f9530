#include "core/zonedtime.h"

#include <QDateTime>
#include <cmath>

namespace {

// A moment to the millisecond, so equal moments meet in the cache.
qint64 Millis(TDateTime t) { return std::llround(t * MSecsPerDay); }

QDateTime WallIn(TDateTime wall, const QTimeZone& zone) {
  const QDateTime plain = ToQDateTime(wall);
  return QDateTime(plain.date(), plain.time(), zone);
}

}  // namespace

const QTimeZone* ZonedTime::Zone(const QString& id) {
  auto it = zones_.find(id);
  if (it == zones_.end()) {
    if (!localKnown_) {
      localId_ = QTimeZone::systemTimeZoneId();
      localKnown_ = true;
    }
    std::optional<QTimeZone> zone;
    const QByteArray name = id.toUtf8();
    if (name != localId_ && QTimeZone::isTimeZoneIdAvailable(name)) zone = QTimeZone(name);
    if (zone && !zone->isValid()) zone.reset();
    it = zones_.insert(id, zone);
  }
  return it->has_value() ? &**it : nullptr;
}

bool ZonedTime::Foreign(const TNote& note) { return note.Start && !note.TimeZone.isEmpty() && Zone(note.TimeZone); }

TDateTime ZonedTime::ToLocal(const QString& zoneId, TDateTime wall) {
  const QTimeZone* zone = Zone(zoneId);
  if (!zone || !std::isfinite(wall)) return wall;
  const auto key = qMakePair(zoneId, Millis(wall));
  if (const auto cached = toLocal_.constFind(key); cached != toLocal_.cend()) return *cached;
  const QDateTime local = WallIn(wall, *zone).toLocalTime();
  const TDateTime result = local.isValid() ? FromQDateTime(local) : wall;
  if (toLocal_.size() > 100000) toLocal_.clear();
  toLocal_.insert(key, result);
  return result;
}

TDateTime ZonedTime::FromLocal(const QString& zoneId, TDateTime local) {
  const QTimeZone* zone = Zone(zoneId);
  if (!zone || !std::isfinite(local)) return local;
  const QDateTime moment = ToQDateTime(local).toTimeZone(*zone);
  return moment.isValid() ? FromQDateTime(moment) : local;
}
