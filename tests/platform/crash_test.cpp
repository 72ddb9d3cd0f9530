// A save interrupted at any moment leaves the old or the new calendar, never half of one, and
// copies of its records that agree with its keys.
#include "core/dataformat.h"
#include "platform/sqlitekeystore.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <random>

namespace {

constexpr int Events = 400;

// Version v of the calendar: every event's title names v, and v decides how many there are,
// so a mix of two versions is easy to see.
void MakeVersion(DataFormat& cal, int v) {
  const int count = Events + (v % 7) * 10;
  while (cal.NoteCount() < count) cal.AppendNote();
  for (int i = 0; i < cal.NoteCount(); ++i) {
    TNote& n = cal.NoteArray[i];
    n.Title = QString("v%1 event %2").arg(v).arg(i);
    n.StartDate = 45000 + i;
    // Events beyond this version's count are deleted long ago, so the save drops them.
    n.DeleteDate = i < count ? 0 : 1;
    n.Notes = i % 3 == 0 ? QString("notes of version %1").arg(v) : QString();
  }
  cal.DataChanged = true;
}

[[noreturn]] void SaveForever(const QString& path) {
  auto store = SqliteKeyStore::Open(path).store;
  if (!store) _exit(3);
  FixedClock clock(46000);
  DataFormat cal(clock);
  for (int v = 1;; ++v) {
    MakeVersion(cal, v);
    if (!cal.SaveIfChanged(*store).ok) _exit(4);
  }
}

TEST(CrashSafety, KilledSavesLeaveAWholeCalendar) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/orvane.db";
  std::mt19937 rng(7);
  int checked = 0;
  for (int round = 0; round < 12; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveForever(path);
    usleep(std::uniform_int_distribution<int>(20000, 250000)(rng));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child ended by itself with " << WEXITSTATUS(status);

    auto opened = SqliteKeyStore::Open(path);
    ASSERT_TRUE(opened.store && opened.movedAside.isEmpty()) << opened.error.toStdString();
    FixedClock clock(46000);
    DataFormat cal(clock);
    cal.LoadCalendar(*opened.store);
    if (cal.NoteCount() == 0) continue;  // killed before the first save finished
    const int v = cal.NoteArray[0].Title.section(' ', 0, 0).mid(1).toInt();
    ASSERT_GT(v, 0) << cal.NoteArray[0].Title.toStdString();
    EXPECT_EQ(cal.NoteCount(), Events + (v % 7) * 10);
    for (const TNote& n : cal.NoteArray) {
      ASSERT_TRUE(n.Title.startsWith(QString("v%1 ").arg(v))) << n.Title.toStdString() << " in version " << v;
      ASSERT_EQ(n.Notes, n.Title.section(' ', 2).toInt() % 3 == 0 ? QString("notes of version %1").arg(v) : QString());
    }
    // The records' copies the load read say what the keys say.
    opened.store.reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DELETE FROM copies", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    DataFormat fromKeys(clock);
    fromKeys.LoadCalendar(*SqliteKeyStore::Open(path).store);
    ASSERT_EQ(cal.NoteArray, fromKeys.NoteArray);
    ++checked;
  }
  EXPECT_GT(checked, 6);
}

}  // namespace
