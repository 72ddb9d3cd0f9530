#pragma once

// Events whose times are kept in a time zone of their own (an event brought in from another
// program with a TZID, or in UTC). Their start date, times, exceptions and day notes are the
// wall clock of that zone, and their pattern runs on that zone's days; where and when they
// fall here is worked out for each day asked about. An event without a zone (every event
// made here) keeps the local wall clock, whatever the zone.

#include "core/records.h"

#include <QHash>
#include <QString>
#include <QTimeZone>
#include <optional>

class ZonedTime {
 public:
  // Whether the event's times are another zone's wall clock: it is timed, and names a zone
  // known here that is not the local one. (A zone not known here is read as local.)
  bool Foreign(const TNote& note);
  // The local moment of a wall-clock moment of the zone.
  TDateTime ToLocal(const QString& zoneId, TDateTime wall);
  // The zone's wall-clock moment of a local moment.
  TDateTime FromLocal(const QString& zoneId, TDateTime local);

 private:
  const QTimeZone* Zone(const QString& id);

  QHash<QString, std::optional<QTimeZone>> zones_;
  QByteArray localId_;
  bool localKnown_ = false;
  // Conversions asked for again (the panel asks for the same days at every repaint).
  QHash<QPair<QString, qint64>, TDateTime> toLocal_;
};
