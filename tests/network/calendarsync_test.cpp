// The synchronisation against a calendar server in memory: what wins a conflict, and what an
// interrupted or refused run leaves behind (the ordinary traffic is tested against Radicale).
#include "fakecalendarserver.h"
#include "loopbackserver.h"
#include "support/testutil.h"

#include "core/backupfiles.h"
#include "core/bytestream.h"
#include "core/clock.h"
#include "core/memorykeystore.h"
#include "network/calendarsync.h"

#include <gtest/gtest.h>

namespace {

// One computer with its calendar and store.
struct Computer {
  FixedClock clock{DT(2026, 12, 7, 9, 0)};
  MemoryKeyStore store;
  DataFormat calendar{clock};

  int AddEvent(const QString& title, TDateTime day) {
    const int i = calendar.AppendNote();
    TNote& note = calendar.NoteArray[i];
    note.Title = title;
    note.StartDate = day;
    note.Start = true;
    note.StartTime = EncodeTime(10, 0, 0);
    note.EndTime = EncodeTime(11, 0, 0);
    note.RepeatFrequency = 1;
    return i;
  }
  // The live events' titles, sorted.
  QStringList Titles() const {
    QStringList titles;
    for (const TNote& note : calendar.NoteArray)
      if (note.DeleteDate == 0) titles << note.Title;
    for (const TToDo& todo : calendar.ToDoArray)
      if (todo.DeleteDate == 0) titles << todo.Title + (todo.Completed ? QStringLiteral(" (done)") : QString());
    titles.sort();
    return titles;
  }
  SyncReport Sync(CalendarServer& server) {
    CalendarSync sync(calendar, store, server, QStringLiteral("/cal/"));
    std::optional<SyncReport> report;
    sync.Run([&](const SyncReport& r) { report = r; });
    EXPECT_TRUE(SpinUntil([&] { return report.has_value(); }));
    return report.value_or(SyncReport());
  }
};

class CalendarSyncTest : public ::testing::Test {
 protected:
  FakeCalendarServer server;
  Computer a, b;
};

TEST_F(CalendarSyncTest, AConflictKeepsTheLaterChangeAndTheLoserAsADeletedRecord) {
  a.AddEvent(QStringLiteral("Review"), D(2026, 12, 9));
  a.Sync(server);
  b.Sync(server);
  // B changes first, A later; A's change reaches the server first.
  b.calendar.NoteArray[0].Title = QStringLiteral("Review (B)");
  b.calendar.NoteArray[0].ModifyDate = DT(2026, 12, 7, 10, 0);
  a.calendar.NoteArray[0].Title = QStringLiteral("Review (A)");
  a.calendar.NoteArray[0].ModifyDate = DT(2026, 12, 7, 11, 0);
  a.Sync(server);
  const SyncReport settled = b.Sync(server);
  EXPECT_TRUE(settled.agree);
  EXPECT_EQ(settled.settled.size(), 1);
  EXPECT_EQ(b.Titles(), QStringList{QStringLiteral("Review (A)")});
  const auto loser = std::find_if(b.calendar.NoteArray.begin(), b.calendar.NoteArray.end(),
                                  [](const TNote& n) { return n.Title == QStringLiteral("Review (B)"); });
  ASSERT_NE(loser, b.calendar.NoteArray.end());
  EXPECT_NE(loser->DeleteDate, 0);

  // The other way round: B's later change goes up over A's.
  b.calendar.NoteArray[0].Title = QStringLiteral("Review (B again)");
  b.calendar.NoteArray[0].ModifyDate = DT(2026, 12, 7, 13, 0);
  a.calendar.NoteArray[0].Title = QStringLiteral("Review (A again)");
  a.calendar.NoteArray[0].ModifyDate = DT(2026, 12, 7, 12, 0);
  a.Sync(server);
  EXPECT_TRUE(b.Sync(server).agree);
  a.Sync(server);
  EXPECT_EQ(a.Titles(), QStringList{QStringLiteral("Review (B again)")});
  EXPECT_EQ(b.Titles(), a.Titles());
}

TEST_F(CalendarSyncTest, AnUploadWhoseAnswerIsLostResumesWithoutDuplicates) {
  a.AddEvent(QStringLiteral("Flight"), D(2026, 12, 20));
  server.interfere = [](const QByteArray& verb, const QString&, bool& wrote) -> std::optional<ServerAnswer> {
    if (verb != "PUT") return std::nullopt;
    wrote = true;  // the server keeps it, the answer never arrives
    ServerAnswer lost;
    lost.error = QStringLiteral("the server cannot be reached");
    return lost;
  };
  const SyncReport cut = a.Sync(server);
  EXPECT_FALSE(cut.agree);
  EXPECT_FALSE(cut.error.isEmpty());
  server.interfere = nullptr;
  const SyncReport resumed = a.Sync(server);
  EXPECT_TRUE(resumed.agree) << resumed.error.toStdString();
  EXPECT_EQ(server.resources.size(), 1u);
  EXPECT_EQ(a.Titles(), QStringList{QStringLiteral("Flight")});
}

TEST_F(CalendarSyncTest, AFailedAnswerChangesNothingAndSendsNothing) {
  a.AddEvent(QStringLiteral("Ours"), D(2026, 12, 8));
  Computer phone;
  phone.AddEvent(QStringLiteral("Theirs"), D(2026, 12, 9));
  phone.Sync(server);
  server.interfere = [](const QByteArray& verb, const QString&, bool&) -> std::optional<ServerAnswer> {
    if (verb != "REPORT") return std::nullopt;
    ServerAnswer broken;
    broken.status = 207;
    broken.error = QStringLiteral("the server's answer cannot be read");
    return broken;
  };
  const int before = server.requests;
  const SyncReport report = a.Sync(server);
  EXPECT_FALSE(report.agree);
  EXPECT_EQ(report.error, QStringLiteral("the server's answer cannot be read"));
  EXPECT_EQ(a.Titles(), QStringList{QStringLiteral("Ours")});
  EXPECT_EQ(server.requests - before, 1);
  EXPECT_FALSE(a.store.KeyExists(CalendarSync::StateKey()));
}

TEST_F(CalendarSyncTest, AServerWithoutTheSyncReportIsComparedByListing) {
  server.offersSyncReport = false;
  a.AddEvent(QStringLiteral("Yoga"), D(2026, 12, 10));
  a.Sync(server);
  EXPECT_EQ(b.Sync(server).down, QStringList{QStringLiteral("Yoga")});
  server.Erase(server.resources.begin()->first);
  EXPECT_EQ(b.Sync(server).removedHere, QStringList{QStringLiteral("Yoga")});
  EXPECT_TRUE(b.Titles().isEmpty());
}

TEST_F(CalendarSyncTest, ARuleNoPatternSaysIsKeptReadOnly) {
  // The 1st and the 15th of every month: no pattern says it, so it comes in as single events.
  const QByteArray rule =
      "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//other//EN\r\nBEGIN:VEVENT\r\nUID:twice@other\r\n"
      "DTSTAMP:20261201T000000Z\r\nDTSTART:20261215T090000\r\nRRULE:FREQ=MONTHLY;BYMONTHDAY=1,15;COUNT=4\r\n"
      "SUMMARY:Pay rent\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
  server.Write(QStringLiteral("/cal/twice.ics"), rule);
  EXPECT_TRUE(a.Sync(server).agree);
  ASSERT_EQ(a.Titles().size(), 4);
  a.calendar.NoteArray[1].Title = QStringLiteral("Pay rent (late)");
  const SyncReport report = a.Sync(server);
  EXPECT_EQ(report.readOnly, QStringList{QStringLiteral("Pay rent")});
  EXPECT_TRUE(report.up.isEmpty());
  EXPECT_EQ(server.resources.at(QStringLiteral("/cal/twice.ics")).data, rule);
}

TEST_F(CalendarSyncTest, ARestoredCalendarIsComparedWithTheWholeServerAgain) {
  a.AddEvent(QStringLiteral("Kept"), D(2026, 12, 8));
  a.Sync(server);
  TNote restored = a.calendar.NoteArray[0];  // as a backup holds it: no server copy
  restored.Server = TServerCopy();
  b.Sync(server);
  b.AddEvent(QStringLiteral("Added after the backup"), D(2026, 12, 9));
  b.Sync(server);
  a.Sync(server);
  CalendarRecords records;
  records.notes.push_back(restored);
  ReplaceCalendar(a.calendar, records);
  const SyncReport report = a.Sync(server);
  EXPECT_TRUE(report.agree);
  EXPECT_EQ(a.Titles(), (QStringList{QStringLiteral("Added after the backup"), QStringLiteral("Kept")}));
  EXPECT_EQ(server.resources.size(), 2u);
}

}  // namespace
