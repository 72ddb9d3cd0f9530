#pragma once

#include "core/tdatetime.h"

#include <QList>
#include <QString>
#include <QStringList>

// A note attached to one date of an event.
struct TRecurNote {
  QString Data;
  TDateTime Date = 0;

  bool operator==(const TRecurNote& other) const = default;
};

// Where a record is kept on a calendar server: the resource that holds it, the resource's
// ETag when the record was last sent or received, a fingerprint of the record as it was then
// (another fingerprint now means it changed here since), and whether the server's copy says
// more than the record can (it is then never written back). It belongs to this computer: it
// is stored with the record but travels in no file and no LAN message.
struct TServerCopy {
  QString Href;
  QString ETag;
  QString Synced;
  bool ReadOnly = false;

  bool operator==(const TServerCopy& other) const = default;
};

// One event. Times of day are fractions below 1, dates whole numbers.
struct TNote {
  QString Title;
  QString Category;
  QString Location;
  QString Notes;
  TDateTime StartTime = 0;
  TDateTime EndTime = 0;
  TDateTime AlarmTime = 0;
  TDateTime StartDate = 0;
  TDateTime EndDate = 0;
  TDateTime ModifyDate = 0;
  TDateTime DeleteDate = 0;
  bool Span = false;
  bool Start = false;  // true: timed; false: all-day
  bool Alarm = false;
  qint32 SpanRange = 0;
  qint32 RangeType = 0;  // 0 no end, 1 after RangeCount, 2 on EndDate
  qint32 RangeCount = 0;
  qint32 RepeatType = 0;  // 0..7
  qint32 RepeatFrequency = 0;
  qint32 RepeatDay = 0;
  qint32 RepeatMonth = 0;
  qint32 RepeatCardinal = 0;
  bool RepeatMonday = false;
  bool RepeatTuesday = false;
  bool RepeatWednesday = false;
  bool RepeatThursday = false;
  bool RepeatFriday = false;
  bool RepeatSaturday = false;
  bool RepeatSunday = false;
  QList<TDateTime> Exceptions;
  QList<TRecurNote> RecurNotes;
  // Kept beside the fields above (in the store and in files, where older copies pass over
  // them). Uid names the event wherever it travels; an event that stands for one instance of
  // another program's series carries the series' Uid and the instance's original start.
  QString Uid;
  TDateTime RecurrenceId = 0;
  // The time zone (an IANA name) whose wall clock the times, dates, exceptions and day notes
  // above are in; empty: the local wall clock, wherever the calendar is.
  QString TimeZone;
  TServerCopy Server;

  // The weekday flag of an ISO weekday, 1 Monday .. 7 Sunday.
  bool RepeatOn(int isoWeekday) const;
  void SetRepeatOn(int isoWeekday, bool on);

  bool operator==(const TNote& other) const = default;
};

// One task.
struct TToDo {
  QString Title;
  QString Category;
  QStringList Notes;    // one entry per line
  qint32 Priority = 0;  // 0 Highest .. 4 Lowest
  bool Completed = false;
  TDateTime DueDate = 0;
  TDateTime ModifyDate = 0;
  TDateTime DeleteDate = 0;
  QString Uid;  // as an event's
  TServerCopy Server;

  bool IsOpen() const { return !Completed && DeleteDate == 0; }
  bool operator==(const TToDo& other) const = default;
};

// A fresh identity for a record made here.
QString NewUid();
// The identity of a record stored or sent without one, made from what identified it
// before (an event's title, start and pattern; a task's title): copies of one record on
// several computers get the same identity.
QString DerivedUid(const TNote& note);
QString DerivedUid(const TToDo& todo);

// "Highest", "High", "Normal", "Low", "Lowest"; an out-of-range priority gives "Normal".
QString PriorityName(int priority);
