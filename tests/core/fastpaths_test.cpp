// The quick ways of merging records, sorting a busy day and splitting lines give what the
// plain ways give: the plain ways are written out here (a scan for the last match, a measure
// of every prefix) or called (the sort of the day's events alone) and compared on random
// input.
#include "core/dataformat.h"
#include "core/splitline.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <cmath>
#include <random>

namespace {

// The record an incoming one replaces, found by scanning every record: the last with the
// same identity, else (or when it carries none) the last with the same title, start and
// pattern. A copy without identity keeps the one here; a new record without one gets its
// derived identity, numbered past those taken.
template <typename Record, typename SameUid, typename SameOld>
int PlainMatch(const std::deque<Record>& records, const Record& incoming, SameUid sameUid, SameOld sameOld) {
  for (int i = static_cast<int>(records.size()) - 1; !incoming.Uid.isEmpty() && i >= 0; --i)
    if (sameUid(records[i], incoming)) return i;
  for (int i = static_cast<int>(records.size()) - 1; i >= 0; --i)
    if (sameOld(records[i], incoming)) return i;
  return -1;
}

template <typename Record, typename SameUid>
QString PlainUnused(const std::deque<Record>& records, Record probe, SameUid sameUid) {
  const QString derived = DerivedUid(probe);
  for (int n = 1;; ++n) {
    probe.Uid =
        n == 1 ? derived : derived.left(derived.indexOf(QLatin1Char('@'))) + QStringLiteral("-%1@orvane").arg(n);
    if (std::none_of(records.begin(), records.end(), [&](const Record& r) { return sameUid(r, probe); }))
      return probe.Uid;
  }
}

void PlainMergeNote(DataFormat& calendar, const TNote& incoming) {
  const auto sameUid = [](const TNote& a, const TNote& b) {
    return a.Uid == b.Uid && a.RecurrenceId == b.RecurrenceId;
  };
  const auto sameOld = [](const TNote& a, const TNote& b) {
    return a.Title == b.Title && a.StartDate == b.StartDate && a.StartTime == b.StartTime &&
           a.RepeatType == b.RepeatType;
  };
  const int at = PlainMatch(calendar.NoteArray, incoming, sameUid, sameOld);
  if (at < 0) {
    TNote added = incoming;
    if (added.Uid.isEmpty()) added.Uid = PlainUnused(calendar.NoteArray, added, sameUid);
    calendar.NoteArray[calendar.AppendNote()] = added;
  } else if (TNote& note = calendar.NoteArray[at]; note.ModifyDate < incoming.ModifyDate) {
    const TNote kept = note;
    note = incoming;
    if (incoming.Uid.isEmpty()) std::tie(note.Uid, note.RecurrenceId) = std::tie(kept.Uid, kept.RecurrenceId);
  }
}

void PlainMergeToDo(DataFormat& calendar, const TToDo& incoming) {
  const auto sameUid = [](const TToDo& a, const TToDo& b) { return a.Uid == b.Uid; };
  const auto sameOld = [](const TToDo& a, const TToDo& b) { return a.Title == b.Title; };
  const int at = PlainMatch(calendar.ToDoArray, incoming, sameUid, sameOld);
  if (at < 0) {
    TToDo added = incoming;
    if (added.Uid.isEmpty()) added.Uid = PlainUnused(calendar.ToDoArray, added, sameUid);
    calendar.ToDoArray[calendar.AppendToDo()] = added;
  } else if (TToDo& todo = calendar.ToDoArray[at]; todo.ModifyDate < incoming.ModifyDate) {
    const QString kept = todo.Uid;
    todo = incoming;
    if (incoming.Uid.isEmpty()) todo.Uid = kept;
  }
}

TEST(FastPaths, MergingFindsTheRecordAScanOfEveryRecordFinds) {
  std::mt19937 random(7);
  const auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  FixedClock clock(DT(2024, 5, 1, 12, 0));
  for (int round = 0; round < 20; ++round) {
    DataFormat quick(clock), plain(clock);
    // Few titles, days and times, so that identities repeat (also among deleted records),
    // and edits in between that the quick way must notice.
    const auto note = [&] {
      TNote n;
      n.Title = QStringLiteral("Event %1").arg(pick(6));
      n.StartDate = D(2024, 5, 1 + pick(3));
      n.StartTime = pick(3) == 0 ? -0.0 : EncodeTime(8 + pick(2), 0);
      n.RepeatType = pick(2);
      n.ModifyDate = D(2024, 1, 1) + pick(5);
      n.DeleteDate = pick(4) == 0 ? D(2024, 2, 1) : 0;
      n.Location = QString::number(random());
      // Some carry an identity from a small set (some for one instance of a series), so
      // identities meet records matched the old way and records that took another.
      if (pick(3) != 0) n.Uid = QStringLiteral("u%1").arg(pick(8));
      if (pick(4) == 0) n.RecurrenceId = D(2024, 5, 1 + pick(2));
      return n;
    };
    const auto task = [&] {
      TToDo t;
      t.Title = QStringLiteral("Task %1").arg(pick(5));
      t.ModifyDate = D(2024, 1, 1) + pick(5);
      t.Completed = pick(2) == 0;
      t.Category = QString::number(random());
      if (pick(3) != 0) t.Uid = QStringLiteral("t%1").arg(pick(6));
      return t;
    };
    for (int step = 0; step < 200; ++step) {
      switch (pick(5)) {
        case 0: {  // an edit of the same record in both, between merges
          if (quick.NoteCount() == 0) break;
          const int i = pick(quick.NoteCount());
          const QString title = QStringLiteral("Event %1").arg(pick(6));
          quick.NoteArray[i].Title = plain.NoteArray[i].Title = title;
          quick.DataChanged = true;
          plain.DataChanged = true;
          break;
        }
        case 1: {
          const TToDo t = task();
          quick.MergeToDo(t);
          PlainMergeToDo(plain, t);
          break;
        }
        default: {
          const TNote n = note();
          quick.MergeNote(n);
          PlainMergeNote(plain, n);
        }
      }
    }
    ASSERT_EQ(quick.NoteCount(), plain.NoteCount());
    for (int i = 0; i < quick.NoteCount(); ++i) EXPECT_EQ(quick.NoteArray[i], plain.NoteArray[i]) << i;
    ASSERT_EQ(quick.ToDoCount(), plain.ToDoCount());
    for (int i = 0; i < quick.ToDoCount(); ++i) {
      EXPECT_EQ(quick.ToDoArray[i].Category, plain.ToDoArray[i].Category) << i;
      EXPECT_EQ(quick.ToDoArray[i].Completed, plain.ToDoArray[i].Completed) << i;
      EXPECT_EQ(quick.ToDoArray[i].Uid, plain.ToDoArray[i].Uid) << i;
    }
    int open = 0;
    for (const TToDo& t : plain.ToDoArray) open += t.IsOpen() ? 1 : 0;
    EXPECT_EQ(quick.OpenToDoCount, open);
  }
}

// Days of 60 to 200 events, some hidden or shown by exception dates, starts at few times (0
// and -0 among them, in some rounds one that is no number, or an event in another zone),
// edited between the days asked.
TEST(FastPaths, ABusyDayComesInTheOrderOfSortingItsEvents) {
  std::mt19937 random(5);
  const auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  FixedClock clock(DT(2024, 5, 1, 12, 0));
  const TDateTime times[] = {0.0, -0.0, EncodeTime(9, 0), EncodeTime(9, 30), EncodeTime(23, 45)};
  for (int round = 0; round < 12; ++round) {
    DataFormat calendar(clock);
    for (int i = 60 + pick(140); i > 0; --i) {
      TNote& n = calendar.NoteArray[calendar.AppendNote()];
      n.StartDate = D(2024, 5, 1);
      n.RepeatType = pick(4) == 0 ? 0 : 1;
      n.RepeatFrequency = 1;
      n.Start = pick(4) != 0;
      n.StartTime = times[pick(5)];
      n.DeleteDate = pick(10) == 0 ? D(2024, 4, 1) : 0;
      // Hides a daily event, shows a one-time one; a date given twice flips once.
      if (pick(5) == 0) n.Exceptions = {D(2024, 5, 1) + pick(3), D(2024, 5, 2)};
    }
    if (round % 4 == 1) calendar.NoteArray[pick(calendar.NoteCount())].StartTime = std::nan("");
    if (round % 4 == 2) {
      TNote& n = calendar.NoteArray[pick(calendar.NoteCount())];
      n.Start = true;
      n.TimeZone = QStringLiteral("Europe/London");
    }
    calendar.DataChanged = true;
    for (int day = 0; day < 3; ++day) {
      const TDateTime date = D(2024, 5, 1) + day;
      ASSERT_EQ(calendar.FindSortedDayEvents(date), calendar.SortDayEvents(calendar.FindDayEvents(date), date))
          << round << " " << day;
      calendar.NoteArray[pick(calendar.NoteCount())].StartTime = times[pick(5)];
      calendar.DataChanged = true;
    }
  }
}

// Lines as the splitter made them before it searched: every prefix measured in turn.
QStringList PlainSplit(const QString& text, int maxWidth, const T_SplitLine::Measure& measure) {
  QStringList lines;
  qsizetype p = 0;
  while (p < text.size()) {
    qsizetype n = 0;
    int width = 0;
    for (;;) {
      ++n;
      width = measure(text.mid(p, n));
      if (width >= maxWidth || p + n >= text.size() || text.mid(p, n).endsWith(QLatin1String("\r\n"))) break;
    }
    if (width > maxWidth) {
      qsizetype breakAt = 0;
      for (qsizetype k = n; k >= 1 && breakAt == 0; --k) {
        const QChar c = text.at(p + k - 1);
        if (c == u' ' || c == u'\r' || c == u'\n') breakAt = k;
      }
      n = breakAt > 0 ? breakAt : std::max<qsizetype>(1, n - 1);
    }
    const QString piece = text.mid(p, n);
    lines << (piece.endsWith(QLatin1String("\r\n")) ? piece.chopped(2) : piece);
    p += n;
  }
  return lines;
}

TEST(FastPaths, SplitLinesAreThoseOfMeasuringEveryPrefix) {
  std::mt19937 random(11);
  // Characters of different widths, as a proportional font has them.
  const auto measure = [](const QString& s) {
    int width = 0;
    for (QChar c : s) width += c == u'i' ? 3 : c == u'W' ? 14 : c == u' ' ? 4 : 8;
    return width;
  };
  const QString alphabet = QStringLiteral("aiW  \r\n");
  T_SplitLine splitter;
  for (int round = 0; round < 500; ++round) {
    QString text;
    const int length = static_cast<int>(random() % 200);
    for (int i = 0; i < length; ++i) text += alphabet.at(static_cast<int>(random() % alphabet.size()));
    if (round % 3 == 0) text.replace(QLatin1String("\r"), QLatin1String("\r\n"));
    const int width = static_cast<int>(random() % 120);
    splitter.split(text, width, measure);
    QStringList got;
    for (int i = 0; i < splitter.lineCount(); ++i) got << splitter.line(i);
    ASSERT_EQ(got, PlainSplit(text, width, measure)) << text.toStdString() << " in " << width;
  }
}

}  // namespace
