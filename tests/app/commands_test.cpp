// The read-only commands (agenda, print, render) run as a program over a calendar in its
// store, and every command's answer to arguments it cannot take.
#include "support/programrun.h"
#include "support/testutil.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <fcntl.h>
#include <unistd.h>

namespace {

using Commands = ProgramTest;

int PdfPages(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QByteArray bytes = file.readAll();
  if (!bytes.startsWith("%PDF-")) return -2;
  return int(QString::fromLatin1(bytes).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
}

TEST_F(Commands, AgendaPrintsEachDayThenTheOpenTasks) {
  Store([](DataFormat& c) {
    AddEvent(c, QStringLiteral("Holiday"), D(2024, 3, 5));
    AddEvent(c, QStringLiteral("Dentist"), D(2024, 3, 5), EncodeTime(9, 30));
    TNote& standup = AddEvent(c, QStringLiteral("Standup"), D(2024, 3, 4), EncodeTime(10, 0));
    standup.RepeatType = 2;  // every weekday
    standup.RepeatFrequency = 1;
    AddEvent(c, QStringLiteral("Cancelled"), D(2024, 3, 6));
    c.DeleteNote(c.NoteCount() - 1);
    AddTask(c, QStringLiteral("Water plants")).Priority = 3;
    TToDo& rent = AddTask(c, QStringLiteral("Pay rent"));
    rent.Priority = 1;
    rent.DueDate = D(2024, 3, 8);
    AddTask(c, QStringLiteral("Done already"));
    c.ToggleToDoCompleted(c.ToDoCount() - 1);
  });
  const ProgramResult r = Run({"agenda", "--date", "2024-03-05", "--days", "3"});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, QStringLiteral("Events for 03/05/2024:\nHoliday\n9:30 AM Dentist\n10:00 AM Standup\n\n"
                                  "Events for 03/06/2024:\n10:00 AM Standup\n\n"
                                  "Events for 03/07/2024:\n10:00 AM Standup\n\n"
                                  "Tasks\nPay rent (High) due 3/8/2024\nWater plants (Low)\n"));
  // Without options: seven days from today.
  const ProgramResult week = Run({"agenda"}, QStringLiteral("empty"));
  ASSERT_EQ(week.code, 0);
  EXPECT_EQ(week.out.count(QStringLiteral("No events listed.")), 7);
  EXPECT_TRUE(week.out.endsWith(QStringLiteral("\n\nTasks\n")));
}

TEST_F(Commands, PrintWritesTheRequestedPagesWithoutADisplay) {
  Store([](DataFormat& c) {
    for (const TDateTime day : {D(2026, 1, 31), D(2026, 2, 14), D(2026, 3, 17)})
      AddEvent(c, QStringLiteral("Dentist"), day, EncodeTime(9, 5));
  });
  const struct {
    QStringList args;
    int pages;
  } cases[] = {{{"--kind", "month", "--start", "2026-01-31", "--pages", "3"}, 3},
               {{"--kind", "day", "--start", "2026-12-09"}, 1},
               {{"--kind", "day", "--start", "2026-12-30", "--pages", "5"}, 5},
               {{"--kind", "week", "--start", "2026-12-09", "--pages", "2", "--weeks-per-page", "2"}, 2},
               {{"--kind", "month", "--start", "2026-12-01", "--pages", "12", "--portrait", "--blank"}, 12},
               {{"--kind", "year", "--start", "2024-02-29", "--pages", "2"}, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const QString out = File(QStringLiteral("calendar.pdf"));
    QFile::remove(out);
    const ProgramResult r = Run(QStringList{"print"} + c.args + QStringList{"--out", out}, {}, {.headless = true});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(PdfPages(out), c.pages);
    if (c.pages == 3) {
      EXPECT_TRUE(r.out.contains(QStringLiteral("3 pages of month calendars"))) << r.out.toStdString();
    }
  }
}

TEST_F(Commands, RenderPaintsThePanelWithoutADisplay) {
  Store([](DataFormat& c) {
    for (int i = 0; i < 3; ++i) AddEvent(c, QStringLiteral("Event %1").arg(i), D(2024, 3, 15));
  });
  const QString out = File(QStringLiteral("panel.png"));
  ASSERT_EQ(Run({"render", "--out", out, "--now", "2024-03-15 10:00"}, {}, {.headless = true}).code, 0);
  const QImage busy(out);
  ASSERT_FALSE(busy.isNull());
  EXPECT_EQ(busy.width(), 220);
  // The day list of a day without the three events is three rows shorter.
  ASSERT_EQ(Run({"render", "--out", out, "--now", "2024-03-16 10:00"}, {}, {.headless = true}).code, 0);
  EXPECT_EQ(QImage(out).height(), busy.height() - 3 * 21);
  // As on a screen scaled to 200%: twice the pixels each way.
  ASSERT_EQ(Run({"render", "--out", out, "--now", "2024-03-15 10:00", "--scale", "2"}, {}, {.headless = true}).code, 0);
  EXPECT_EQ(QImage(out).size(), busy.size() * 2);

  QImage wall(64, 64, QImage::Format_RGB32);
  wall.fill(QColor(255, 0, 255));
  ASSERT_TRUE(wall.save(File(QStringLiteral("wall.png"))));
  ASSERT_EQ(Run({"render", "--out", out, "--backdrop", File(QStringLiteral("wall.png"))}, {}, {.headless = true}).code, 0);
  // Half the default background over magenta: red and blue well above green.
  const QImage over(out);
  const QColor c = over.pixelColor(over.width() / 2, over.height() - 3);
  EXPECT_GT(c.red(), c.green() + 60);
  EXPECT_GT(c.blue(), c.green() + 60);
}

struct BadArgs {
  const char* name;
  QStringList args;  // @DIR is the test's folder; @OUT a file there that must not appear
  int code;
  const char* message;
};

void PrintTo(const BadArgs& row, std::ostream* os) { *os << row.name; }

class CommandArguments : public ProgramTest, public ::testing::WithParamInterface<BadArgs> {};

TEST_P(CommandArguments, AreRefusedWithAMessageAndNothingWritten) {
  QFile junk(File(QStringLiteral("junk.png")));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("not a picture");
  junk.close();
  QStringList args = GetParam().args;
  args.replaceInStrings(QStringLiteral("@OUT"), File(QStringLiteral("out")));
  args.replaceInStrings(QStringLiteral("@DIR"), dir_.path());
  const ProgramResult r = Run(args, {}, {.headless = true});
  EXPECT_EQ(r.code, GetParam().code);
  EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
  EXPECT_TRUE(r.err.contains(QString::fromUtf8(GetParam().message))) << r.err.toStdString();
  if (r.code == 2 && args.value(0) != QStringLiteral("frobnicate")) {
    EXPECT_TRUE(r.err.contains(QStringLiteral("usage: orvane ") + args.value(0))) << r.err.toStdString();
  }
  // The agenda's refusal is its reason and its usage; a missing backup is one line.
  const qsizetype lines = r.err.trimmed().count(QLatin1Char('\n'));
  if (args.value(0) == QStringLiteral("agenda") || args.value(0) == QStringLiteral("restore")) {
    EXPECT_EQ(lines, r.code == 2 ? 1 : 0) << r.err.toStdString();
  }
  EXPECT_FALSE(QFile::exists(File(QStringLiteral("out"))));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandArguments,
    ::testing::Values(
        BadArgs{"UnknownCommand", {"frobnicate"}, 2, "unknown command"},
        BadArgs{"AgendaNotADate", {"agenda", "--date", "2024-02-30"}, 2, "usage: orvane agenda [--date YYYY-MM-DD] [--days N]"},
        BadArgs{"AgendaDateInAnotherForm", {"agenda", "--date", "3/5/2024"}, 2, "--date"},
        BadArgs{"AgendaDateWithoutValue", {"agenda", "--date"}, 2, "--date"},
        BadArgs{"AgendaDaysNotANumber", {"agenda", "--days", "seven"}, 2, "--days"},
        BadArgs{"AgendaZeroDays", {"agenda", "--days", "0"}, 2, "--days"},
        BadArgs{"AgendaUnknownOption", {"agenda", "--weeks", "2"}, 2, "--weeks"},
        BadArgs{"AgendaStrayArgument", {"agenda", "tomorrow"}, 2, "tomorrow"},
        BadArgs{"PrintNoKind", {"print", "--start", "2026-01-01", "--out", "@OUT"}, 2, "--kind day|week|month|year is required"},
        BadArgs{"PrintUnknownKind", {"print", "--kind", "decade", "--start", "2026-01-01", "--out", "@OUT"}, 2, "not \"decade\""},
        BadArgs{"PrintNoStart", {"print", "--kind", "month", "--out", "@OUT"}, 2, "--start YYYY-MM-DD is required"},
        BadArgs{"PrintBadStart", {"print", "--kind", "month", "--start", "2026-02-30", "--out", "@OUT"}, 2, "--start wants a date"},
        BadArgs{"PrintStartTooEarly", {"print", "--kind", "month", "--start", "1850-01-01", "--out", "@OUT"}, 2, "--start wants a date"},
        BadArgs{"PrintStartTooLate", {"print", "--kind", "year", "--start", "9950-01-01", "--out", "@OUT"}, 2, "before 9900"},
        BadArgs{"PrintNoPages", {"print", "--kind", "day", "--start", "2026-01-01", "--pages", "0", "--out", "@OUT"}, 2, "--pages wants a whole number from 1 to 100"},
        BadArgs{"PrintTooManyPages", {"print", "--kind", "day", "--start", "2026-01-01", "--pages", "101", "--out", "@OUT"}, 2, "not \"101\""},
        BadArgs{"PrintFractionOfPages", {"print", "--kind", "day", "--start", "2026-01-01", "--pages", "2.5", "--out", "@OUT"}, 2, "--pages wants"},
        BadArgs{"PrintNoWeeks", {"print", "--kind", "week", "--start", "2026-01-01", "--weeks-per-page", "0", "--out", "@OUT"}, 2, "from 1 to 8"},
        BadArgs{"PrintTooManyWeeks", {"print", "--kind", "week", "--start", "2026-01-01", "--weeks-per-page", "9", "--out", "@OUT"}, 2, "from 1 to 8"},
        BadArgs{"PrintWeeksForAMonth", {"print", "--kind", "month", "--start", "2026-01-01", "--weeks-per-page", "2", "--out", "@OUT"}, 2, "for --kind week"},
        BadArgs{"PrintNoOut", {"print", "--kind", "month", "--start", "2026-01-01"}, 2, "--out FILE.pdf is required"},
        BadArgs{"PrintOutWithoutValue", {"print", "--kind", "month", "--start", "2026-01-01", "--out"}, 2, "--out needs a value"},
        BadArgs{"PrintUnknownOption", {"print", "--kind", "month", "--start", "2026-01-01", "--out", "@OUT", "--colour"}, 2, "unknown option --colour"},
        BadArgs{"PrintStrayArgument", {"print", "--kind", "month", "--start", "2026-01-01", "--out", "@OUT", "extra"}, 2, "unexpected argument \"extra\""},
        BadArgs{"PrintIntoAMissingFolder", {"print", "--kind", "month", "--start", "2026-01-01", "--out", "@DIR/none/x.pdf"}, 1, "Cannot write"},
        BadArgs{"RenderNoOut", {"render"}, 2, "--out FILE.png is required"},
        BadArgs{"RenderOutWithoutValue", {"render", "--out"}, 2, "--out needs a value"},
        BadArgs{"RenderBadMoment", {"render", "--out", "@OUT", "--now", "tomorrow"}, 2, "--now wants a moment"},
        BadArgs{"RenderUnknownOption", {"render", "--out", "@OUT", "--big"}, 2, "unknown option --big"},
        BadArgs{"RenderScaleZero", {"render", "--out", "@OUT", "--scale", "0"}, 2, "--scale wants a whole number from 1 to 4"},
        BadArgs{"RenderScaleTooLarge", {"render", "--out", "@OUT", "--scale", "5"}, 2, "not \"5\""},
        BadArgs{"RenderScaleFraction", {"render", "--out", "@OUT", "--scale", "1.5"}, 2, "--scale wants"},
        BadArgs{"RenderMissingBackdrop", {"render", "--out", "@OUT", "--backdrop", "@DIR/none.png"}, 1, "cannot read the picture"},
        BadArgs{"RenderBackdropNotAPicture", {"render", "--out", "@OUT", "--backdrop", "@DIR/junk.png"}, 1, "cannot read the picture"},
        BadArgs{"BackupWithoutFile", {"backup"}, 2, "usage: orvane backup FILE.ovb"},
        BadArgs{"SyncTwoFiles", {"sync", "a", "b"}, 2, "usage: orvane sync"},
        BadArgs{"RestoreUnknownOption", {"restore", "--force", "x"}, 2, "usage: orvane restore"},
        BadArgs{"ExportWithoutFile", {"export-ics"}, 2, "usage: orvane export-ics"},
        BadArgs{"ImportUnknownOption", {"import-ics", "@DIR/x.ics", "--what"}, 2, "usage: orvane import-ics"},
        BadArgs{"ExportIntoAMissingFolder", {"export-ics", "@DIR/no/dir/x.ics"}, 1, ""},
        BadArgs{"ImportAMissingFile", {"import-ics", "@DIR/none.ics"}, 1, "none.ics"},
        BadArgs{"ImportNotACalendar", {"import-ics", "@DIR/junk.png"}, 1, "not an iCalendar file"},
        BadArgs{"RestoreAMissingFile", {"restore", "@DIR/none.ovb"}, 1, "none.ovb"},
        BadArgs{"LanSyncWithoutPasswordFile", {"lan-sync", "127.0.0.2"}, 2, "--password-file"},
        BadArgs{"WeatherWithAnOption", {"weather", "--zip"}, 2, "usage: orvane weather"},
        BadArgs{"WeatherWithoutAZipCode", {"weather"}, 1, "no zip code"},
        BadArgs{"PanelWithoutADisplay", {}, 1, "DISPLAY"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// The command lines a document shows: "orvane ..." at the start of a line of its examples,
// and in <code> in running text (cut at a pipe).
QStringList DocumentedCommandLines(const QString& relativePath) {
  QFile file(qEnvironmentVariable("ORVANE_SOURCE_DIR") + relativePath);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QString text = QString::fromUtf8(file.readAll());
  QStringList lines;
  const QRegularExpression atLineStart(QStringLiteral("^(?:<pre>)?orvane( [^\\n]*)?$"),
                                       QRegularExpression::MultilineOption);
  for (auto m = atLineStart.globalMatch(text); m.hasNext();) {
    // The description follows the command after a wide gap.
    lines << m.next().captured(0).remove(QStringLiteral("<pre>")).split(QStringLiteral("  ")).first().trimmed();
  }
  const QRegularExpression inCode(QStringLiteral("<code>(orvane [^<|]*)"));
  for (auto m = inCode.globalMatch(text); m.hasNext();) lines << m.next().captured(1).trimmed();
  return lines;
}

TEST_F(Commands, TheCommandLinesOfTheGuideAndTheReadmeWork) {
  int examples = 0;
  for (const char* document : {"/data/help/index.html", "/README.md"}) {
    const QStringList lines = DocumentedCommandLines(QString::fromLatin1(document));
    ASSERT_GT(lines.size(), 10) << document;
    for (const QString& line : lines) {
      QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts).mid(1);
      if (words.isEmpty()) continue;  // the panel itself
      // Every command named answers its --help.
      const ProgramResult help = Run({words.first(), "--help"});
      EXPECT_EQ(help.code, 0) << document << ": " << line.toStdString();
      EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: orvane ") + words.first()) ||
                  words.first().startsWith(QStringLiteral("--")))
          << help.out.toStdString();
      // An example without placeholders runs as it stands (but for the ones that wait or
      // need a service).
      const bool placeholders = line.contains(QRegularExpression(QStringLiteral("[A-Z\\[]")));
      if (placeholders || words.first() == QStringLiteral("listen") || words.first() == QStringLiteral("weather")) continue;
      const ProgramResult r = Run(words);
      EXPECT_EQ(r.code, 0) << line.toStdString() << ": " << r.err.toStdString();
      ++examples;
      if (words.first() == QStringLiteral("agenda")) {
        const int days = words.contains(QStringLiteral("--days")) ? words.at(words.indexOf(QStringLiteral("--days")) + 1).toInt() : 7;
        EXPECT_EQ(r.out.count(QStringLiteral("Events for ")), days) << line.toStdString();
      }
    }
  }
  EXPECT_GE(examples, 3);
}

TEST_F(Commands, FollowTheConventionsOfTheirPeers) {
  Store([](DataFormat& c) { AddEvent(c, QStringLiteral("Dentist"), D(2024, 3, 5), EncodeTime(9, 30)); });
  // "--name=value" is "--name value".
  const ProgramResult spaced = Run({"agenda", "--date", "2024-03-05", "--days", "2"});
  const ProgramResult joined = Run({"agenda", "--date=2024-03-05", "--days=2"});
  ASSERT_EQ(joined.code, 0) << joined.err.toStdString();
  EXPECT_EQ(joined.out, spaced.out);
  // A mistake is told on standard error; standard output stays clean.
  const ProgramResult wrong = Run({"agenda", "--days", "many"});
  EXPECT_EQ(wrong.code, 2);
  EXPECT_TRUE(wrong.out.isEmpty());
  EXPECT_TRUE(wrong.err.contains(QStringLiteral("usage: orvane agenda")));

  // Standard output that cannot take the text is a failure, said on standard error.
  RunOptions full;
  full.inChild = [] {
    const int fd = ::open("/dev/full", O_WRONLY);
    ::dup2(fd, 1);
  };
  const ProgramResult noRoom = Run({"agenda", "--date", "2024-03-05"}, {}, full);
  EXPECT_EQ(noRoom.code, 1);
  EXPECT_TRUE(noRoom.err.contains(QStringLiteral("cannot write to standard output"))) << noRoom.err.toStdString();

  // A reader that went away ends the command without a word.
  RunOptions closed;
  closed.inChild = [] {
    int ends[2];
    if (::pipe(ends) != 0) return;
    ::close(ends[0]);
    ::dup2(ends[1], 1);
  };
  const ProgramResult gone = Run({"--help"}, {}, closed);
  EXPECT_NE(gone.code, 0);
  EXPECT_TRUE(gone.err.isEmpty()) << gone.err.toStdString();
}

}  // namespace
