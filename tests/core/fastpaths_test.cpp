// The quick ways of merging records and splitting lines give what the plain ways give: the
// plain ways are written out here (a scan for the last match, a measure of every prefix) and
// compared on random input.
#include "core/dataformat.h"
#include "core/splitline.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// The last record matching as merges match, found by scanning every record.
void PlainMergeNote(DataFormat& calendar, const TNote& incoming) {
  for (int i = calendar.NoteCount() - 1; i >= 0; --i) {
    TNote& note = calendar.NoteArray[i];
    if (note.Title == incoming.Title && note.StartDate == incoming.StartDate && note.StartTime == incoming.StartTime &&
        note.RepeatType == incoming.RepeatType) {
      if (note.ModifyDate < incoming.ModifyDate) note = incoming;
      return;
    }
  }
  calendar.NoteArray[calendar.AppendNote()] = incoming;
}

void PlainMergeToDo(DataFormat& calendar, const TToDo& incoming) {
  for (int i = calendar.ToDoCount() - 1; i >= 0; --i) {
    if (calendar.ToDoArray[i].Title == incoming.Title) {
      if (calendar.ToDoArray[i].ModifyDate < incoming.ModifyDate) calendar.ToDoArray[i] = incoming;
      return;
    }
  }
  calendar.ToDoArray[calendar.AppendToDo()] = incoming;
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
      return n;
    };
    const auto task = [&] {
      TToDo t;
      t.Title = QStringLiteral("Task %1").arg(pick(5));
      t.ModifyDate = D(2024, 1, 1) + pick(5);
      t.Completed = pick(2) == 0;
      t.Category = QString::number(random());
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
    }
    int open = 0;
    for (const TToDo& t : plain.ToDoArray) open += t.IsOpen() ? 1 : 0;
    EXPECT_EQ(quick.OpenToDoCount, open);
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
