// The program's commands run as a program over a calendar in its store: what each prints and
// how it ends, for good command lines and for every kind of argument it cannot take.
#include "platform/sqlitekeystore.h"
#include "support/programrun.h"
#include "support/testutil.h"

#include <fcntl.h>
#include <unistd.h>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QRegularExpression>

namespace {

using Commands = ProgramTest;

// What a command loads, by what it is for. The commands that need no window start with QtCore
// and what their work needs: none loads a graphics, printing or sound library or a platform
// plugin, only the network commands load Qt Network, and libical is loaded only for
// iCalendar files (the network's calendar server speaks them too).
enum class Loads { Core, ICalendar, Network, Window };

Loads LoadsOf(const QString& command) {
  for (const char* network : {"weather", "listen", "lan-sync", "server"})
    if (command == QLatin1String(network)) return Loads::Network;
  for (const char* ics : {"export-ics", "import-ics"})
    if (command == QLatin1String(ics)) return Loads::ICalendar;
  for (const char* window : {"render", "print", ""})
    if (command == QLatin1String(window)) return Loads::Window;
  return Loads::Core;
}

// The first library loaded that the command should not have loaded; empty when none.
QString StrayLibrary(const QString& command, const QStringList& loaded) {
  QStringList stray = {
      "libQt6Gui", "libQt6Widgets", "libQt6PrintSupport", "libQt6Multimedia", "libX11",  "libxcb",       "libEGL",
      "libGL",     "libfontconfig", "libfreetype",        "libqoffscreen",    "libqxcb", "orvane-window"};
  if (LoadsOf(command) == Loads::Window) return QString();
  if (LoadsOf(command) != Loads::Network)
    stray << "libQt6Network"
          << "libsodium"
          << "orvane-network";
  if (LoadsOf(command) == Loads::Core)
    stray << "libical"
          << "orvane-icalendar";
  for (const QString& library : loaded) {
    for (const QString& prefix : stray)
      if (library.startsWith(prefix)) return library;
  }
  return QString();
}

const char* const Agenda =
    "Events for 03/05/2024:\nHoliday\n9:30 AM Dentist (alarm 9:15 AM)\n10:00 AM Standup\n\n"
    "Events for 03/06/2024:\n10:00 AM Standup\n\nEvents for 03/07/2024:\n10:00 AM Standup\n\n"
    "Tasks\nPay rent (High) due 3/8/2024\nWater plants (Low)\n";

TEST_F(Commands, AnswerEachCommandLineWithItsOutputAndExitCodeAndWriteNothingWhenRefused) {
  Store([](DataFormat& c) {
    AddEvent(c, QStringLiteral("Holiday"), D(2024, 3, 5));
    TNote& dentist = AddEvent(c, QStringLiteral("Dentist"), D(2024, 3, 5), EncodeTime(9, 30));
    dentist.Alarm = true, dentist.AlarmTime = EncodeTime(9, 15);
    TNote& standup = AddEvent(c, QStringLiteral("Standup"), D(2024, 3, 4), EncodeTime(10, 0));
    standup.RepeatType = 2, standup.RepeatFrequency = 1;  // every weekday
    AddEvent(c, QStringLiteral("Cancelled"), D(2024, 3, 6));
    c.DeleteNote(c.NoteCount() - 1);
    AddTask(c, QStringLiteral("Water plants")).Priority = 3;
    TToDo& rent = AddTask(c, QStringLiteral("Pay rent"));
    rent.Priority = 1, rent.DueDate = D(2024, 3, 8);
    AddTask(c, QStringLiteral("Done already"));
    c.ToggleToDoCompleted(c.ToDoCount() - 1);
  });
  QFile junk(File(QStringLiteral("junk.png")));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write("not a picture") == 13);
  junk.close();
  const auto print = [](QStringList more) {
    return QStringList{"print", "--kind", "month", "--start", "2026-01-01"} + more;
  };
  const auto render = [](QStringList more) { return QStringList{"render", "--out", "@OUT"} + more; };
  const auto weeks = [](QStringList n) {
    return QStringList{"print", "--kind", "week", "--start", "2026-01-01", "--weeks-per-page"} + n +
           QStringList{"--out", "@OUT"};
  };
  const struct {
    QStringList args;  // @DIR is the test's folder; @OUT a file there that must not appear
    int code;
    const char* err;       // contained in standard error
    const char* out = "";  // all of standard output
  } cases[] = {{{"agenda", "--date", "2024-03-05", "--days", "3"}, 0, "", Agenda},
               {{"agenda", "--date=2024-03-05", "--days=3"}, 0, "", Agenda},  // "--name=value" is "--name value"
               {{"frobnicate"}, 2, "unknown command"},
               {{"alarms", "--hours", "0"}, 2, "--hours wants a number from 1 to 8784"},
               {{"alarms", "--hours", "1.5"}, 2, "not \"1.5\""},
               {{"alarms", "soon"}, 2, "unexpected argument \"soon\""},
               {{"agenda", "--date", "2024-02-30"}, 2, "usage: orvane agenda [--date YYYY-MM-DD] [--days N]"},
               {{"agenda", "--date", "3/5/2024"}, 2, "--date"},
               {{"agenda", "--date"}, 2, "--date"},
               {{"agenda", "--days", "seven"}, 2, "--days"},
               {{"agenda", "--days", "0"}, 2, "--days"},
               {{"agenda", "--weeks", "2"}, 2, "--weeks"},
               {{"agenda", "tomorrow"}, 2, "tomorrow"},
               {{"print", "--start", "2026-01-01", "--out", "@OUT"}, 2, "--kind day|week|month|year is required"},
               {{"print", "--kind", "decade", "--start", "2026-01-01", "--out", "@OUT"}, 2, "not \"decade\""},
               {{"print", "--kind", "month", "--out", "@OUT"}, 2, "--start YYYY-MM-DD is required"},
               {{"print", "--kind", "month", "--start", "2026-02-30", "--out", "@OUT"}, 2, "--start wants a date"},
               {{"print", "--kind", "month", "--start", "1850-01-01", "--out", "@OUT"}, 2, "--start wants a date"},
               {{"print", "--kind", "year", "--start", "9950-01-01", "--out", "@OUT"}, 2, "before 9900"},
               {print({"--pages", "0", "--out", "@OUT"}), 2, "--pages wants a whole number from 1 to 100"},
               {print({"--pages", "101", "--out", "@OUT"}), 2, "not \"101\""},
               {print({"--pages", "2.5", "--out", "@OUT"}), 2, "--pages wants"},
               {weeks({"0"}), 2, "from 1 to 8"},
               {weeks({"9"}), 2, "from 1 to 8"},
               {print({"--weeks-per-page", "2", "--out", "@OUT"}), 2, "for --kind week"},
               {print({}), 2, "--out FILE.pdf is required"},
               {print({"--out"}), 2, "--out needs a value"},
               {print({"--out", "@OUT", "--colour"}), 2, "unknown option --colour"},
               {print({"--out", "@OUT", "extra"}), 2, "unexpected argument \"extra\""},
               {print({"--out", "@DIR/none/x.pdf"}), 1, "Cannot write"},
               {{"render"}, 2, "--out FILE.png is required"},
               {render({"--now", "tomorrow"}), 2, "--now wants a moment"},
               {render({"--big"}), 2, "unknown option --big"},
               {render({"--scale", "0"}), 2, "--scale wants a whole number from 1 to 4"},
               {render({"--scale", "5"}), 2, "not \"5\""},
               {render({"--scale", "1.5"}), 2, "--scale wants"},
               {render({"--backdrop", "@DIR/none.png"}), 1, "cannot read the picture"},
               {render({"--backdrop", "@DIR/junk.png"}), 1, "cannot read the picture"},
               {{"backup"}, 2, "usage: orvane backup FILE.ovb"},
               {{"sync", "a", "b"}, 2, "usage: orvane sync"},
               {{"restore", "--force", "x"}, 2, "usage: orvane restore"},
               {{"export-ics"}, 2, "usage: orvane export-ics"},
               {{"import-ics", "@DIR/x.ics", "--what"}, 2, "usage: orvane import-ics"},
               {{"export-ics", "@DIR/no/dir/x.ics"}, 1, ""},
               {{"import-ics", "@DIR/none.ics"}, 1, "none.ics"},
               {{"import-ics", "@DIR/junk.png"}, 1, "not an iCalendar file"},
               {{"restore", "@DIR/none.ovb"}, 1, "none.ovb"},
               {{"lan-sync", "127.0.0.2"}, 2, "--password-file"},
               {{"server"}, 2, "give one of add, list, remove, sync"},
               {{"server", "add", "http://127.0.0.1:9/", "--password-file", "@DIR/x"}, 2, "--user is required"},
               {{"weather", "--zip"}, 2, "usage: orvane weather"},
               {{"weather"}, 1, "no place is set for the weather"},
               {{}, 1, "DISPLAY"}};
  for (const auto& c : cases) {
    QStringList args = c.args;
    args.replaceInStrings(QStringLiteral("@OUT"), File(QStringLiteral("out")));
    args.replaceInStrings(QStringLiteral("@DIR"), dir_.path());
    SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
    const ProgramResult r = Run(args, {}, {.headless = true, .logLoads = true});
    EXPECT_EQ(r.code, c.code);
    // Without a display of any kind, and loading only what the command needs (a command that
    // paints does load the graphics library: the log is read).
    ASSERT_FALSE(r.loaded.isEmpty());
    EXPECT_EQ(StrayLibrary(args.value(0), r.loaded), QString()) << r.loaded.join(' ').toStdString();
    EXPECT_EQ(r.loaded.contains(QStringLiteral("libQt6Gui.so.6")), LoadsOf(args.value(0)) == Loads::Window);
    EXPECT_EQ(r.out, QString::fromUtf8(c.out));
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << r.err.toStdString();
    const QString command = args.value(0);
    if (r.code == 2 && command != QStringLiteral("frobnicate")) {
      EXPECT_TRUE(r.err.contains(QStringLiteral("usage: orvane ") + command)) << r.err.toStdString();
    }
    // The agenda's refusal is its reason and its usage; a missing backup is one line.
    if (r.code != 0 && (command == QStringLiteral("agenda") || command == QStringLiteral("restore"))) {
      EXPECT_EQ(r.err.trimmed().count(QLatin1Char('\n')), r.code == 2 ? 1 : 0) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(File(QStringLiteral("out"))));
  }
  // The version, the help and every command's usage come from the executable alone; the
  // backup, restore and sync files are written and read with it alone, iCalendar files with
  // the iCalendar module besides; none needs a display.
  const QString backup = File(QStringLiteral("a.ovb")), ics = File(QStringLiteral("a.ics"));
  const QStringList alone[] = {{"--version"},           {"--help"},          {"render", "--help"},
                               {"lan-sync", "-h"},      {"backup", backup},  {"restore", backup},
                               {"sync", File("a.ovs")}, {"export-ics", ics}, {"import-ics", ics}};
  for (const QStringList& args : alone) {
    SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
    const ProgramResult r = Run(args, {}, {.headless = true, .logLoads = true});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    const bool ics = LoadsOf(args.value(0)) == Loads::ICalendar && args.value(1) != QStringLiteral("--help");
    EXPECT_EQ(StrayLibrary(ics ? args.value(0) : QStringLiteral("--version"), r.loaded), QString())
        << r.loaded.join(' ').toStdString();
    EXPECT_EQ(!r.loaded.filter(QRegularExpression(QStringLiteral("^libical\\."))).isEmpty(), ics)
        << r.loaded.join(' ').toStdString();
  }
  EXPECT_TRUE(QFile::exists(ics) && QFile::exists(File("a.ovs")));
  // Without options: seven days from today.
  const ProgramResult week = Run({"agenda"}, QStringLiteral("empty"));
  ASSERT_EQ(week.code, 0);
  EXPECT_EQ(week.out.count(QStringLiteral("No events listed.")), 7);
  EXPECT_TRUE(week.out.endsWith(QStringLiteral("\n\nTasks\n")));
  // Standard output that cannot take the text is a failure, said on standard error; a reader
  // that went away ends the command without a word.
  const ProgramResult noRoom =
      Run({"agenda", "--date", "2024-03-05"}, {}, {.inChild = [] { ::dup2(::open("/dev/full", O_WRONLY), 1); }});
  EXPECT_EQ(noRoom.code, 1);
  EXPECT_TRUE(noRoom.err.contains(QStringLiteral("cannot write to standard output"))) << noRoom.err.toStdString();
  const ProgramResult gone = Run({"--help"}, {}, {.inChild = [] {
                                   int ends[2];
                                   if (::pipe(ends) == 0) ::close(ends[0]), ::dup2(ends[1], 1);
                                 }});
  EXPECT_NE(gone.code, 0);
  EXPECT_TRUE(gone.err.isEmpty()) << gone.err.toStdString();
}

TEST_F(Commands, AlarmsListsWhatRingsInTheNextHoursSnoozedOnesIncluded) {
  // The program reads the real clock: the alarms are set from now, on whole minutes.
  const QDateTime now = QDateTime::currentDateTime();
  const QDateTime minute(now.date(), QTime(now.time().hour(), now.time().minute()));
  const auto at = [&minute](int minutes) { return FromQDateTime(minute.addSecs(minutes * 60)); };
  const auto add = [](DataFormat& c, const char* title, TDateTime alarm) -> TNote& {
    TNote& n = AddEvent(c, QString::fromLatin1(title), DatePart(alarm), TimePart(alarm));
    n.Alarm = true, n.AlarmTime = TimePart(alarm), n.Uid = QString::fromLatin1(title);
    return n;
  };
  Store([&](DataFormat& c) {
    add(c, "Standup", at(-60));  // rang an hour ago, snoozed below; the first event of all
    add(c, "Dentist", at(120));
    add(c, "Flight", at(30 * 60));
    add(c, "Silent", at(90)).Alarm = false;
  });
  {
    auto store = OpenStore();
    ASSERT_TRUE(store->OpenKey(QStringLiteral("\\Software\\Orvane\\Alarms\\Snoozes\\0"), true));
    store->WriteString(QStringLiteral("Uid"), QStringLiteral("Standup"));
    store->WriteDate(QStringLiteral("Day"), DatePart(at(-60)));
    store->WriteDate(QStringLiteral("Until"), at(180));
  }
  // Each line: when it rings, then the alarm's text (with the date when it is not today).
  const auto line = [&minute](int minutes, const char* title) {
    return minute.addSecs(minutes * 60).toString("yyyy-MM-dd HH:mm  .* ") + QRegularExpression::escape(title) + "\n";
  };
  const QString day = line(120, "Dentist") + line(180, "Standup (snoozed)");
  const ProgramResult listed = Run({"alarms"}), two = Run({"alarms", "--hours", "48"});
  EXPECT_TRUE(QRegularExpression("^" + day + "$").match(listed.out).hasMatch()) << listed.out.toStdString();
  EXPECT_TRUE(QRegularExpression("^" + day + line(30 * 60, "Flight") + "$").match(two.out).hasMatch())
      << two.out.toStdString() << two.err.toStdString();
}

TEST_F(Commands, PrintAndRenderWriteTheirPagesAndPicturesWithoutADisplay) {
  Store([](DataFormat& c) {
    for (const TDateTime day : {D(2026, 1, 31), D(2026, 2, 14), D(2026, 3, 17)})
      AddEvent(c, QStringLiteral("Dentist"), day, EncodeTime(9, 5));
    for (int i = 0; i < 3; ++i) AddEvent(c, QStringLiteral("Event %1").arg(i), D(2024, 3, 15));
  });
  const std::pair<QStringList, int> prints[] = {
      {{"--kind", "month", "--start", "2026-01-31", "--pages", "3"}, 3},
      {{"--kind", "day", "--start", "2026-12-09"}, 1},
      {{"--kind", "day", "--start", "2026-12-30", "--pages", "5"}, 5},
      {{"--kind", "week", "--start", "2026-12-09", "--pages", "2", "--weeks-per-page", "2"}, 2},
      {{"--kind", "month", "--start", "2026-12-01", "--pages", "12", "--portrait", "--blank"}, 12},
      {{"--kind", "year", "--start", "2024-02-29", "--pages", "2"}, 2}};
  const QString pdf = File(QStringLiteral("calendar.pdf")), out = File(QStringLiteral("panel.png"));
  for (const auto& [args, pages] : prints) {
    SCOPED_TRACE(args.join(' ').toStdString());
    QFile::remove(pdf);
    const ProgramResult r = Run(QStringList{"print"} + args + QStringList{"--out", pdf}, {}, {.headless = true});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QFile file(pdf);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_EQ(QString::fromLatin1(bytes).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))), pages);
    EXPECT_TRUE(pages != 3 || r.out.contains(QStringLiteral("3 pages of month calendars"))) << r.out.toStdString();
  }
  const auto render = [&](const QStringList& args) {
    EXPECT_EQ(Run(QStringList{"render", "--out", out} + args, {}, {.headless = true}).code, 0);
    return QImage(out);
  };
  const QImage busy = render({"--now", "2024-03-15 10:00"});
  EXPECT_EQ(busy.width(), 220);
  // The day list of a day without the three events is three rows shorter.
  EXPECT_EQ(render({"--now", "2024-03-16 10:00"}).height(), busy.height() - 3 * 21);
  // As on a screen scaled to 200%: twice the pixels each way.
  EXPECT_EQ(render({"--now", "2024-03-15 10:00", "--scale", "2"}).size(), busy.size() * 2);
  QImage wall(64, 64, QImage::Format_RGB32);
  wall.fill(QColor(255, 0, 255));
  ASSERT_TRUE(wall.save(File(QStringLiteral("wall.png"))));
  // Half the default background over magenta: red and blue well above green.
  const QImage over = render({"--backdrop", File(QStringLiteral("wall.png"))});
  const QColor c = over.pixelColor(over.width() / 2, over.height() - 3);
  EXPECT_GT(c.red(), c.green() + 60);
  EXPECT_GT(c.blue(), c.green() + 60);
}

TEST_F(Commands, TheCommandLinesOfTheGuideAndTheReadmeWork) {
  int examples = 0;
  for (const char* document : {"/data/help/index.html", "/README.md"}) {
    QFile file(qEnvironmentVariable("ORVANE_SOURCE_DIR") + QString::fromLatin1(document));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << document;
    const QString text = QString::fromUtf8(file.readAll());
    // "orvane ..." at the start of a line of the examples (the description follows after a
    // wide gap), and in <code> in running text (cut at a pipe).
    QStringList lines;
    const QRegularExpression atLineStart(QStringLiteral("^(?:<pre>)?(orvane(?: [^\\n]*)?)$|<code>(orvane [^<|]*)"),
                                         QRegularExpression::MultilineOption);
    for (auto m = atLineStart.globalMatch(text); m.hasNext();) {
      const QRegularExpressionMatch match = m.next();
      lines << (match.captured(1) + match.captured(2)).split(QStringLiteral("  ")).first().trimmed();
    }
    ASSERT_GT(lines.size(), 10) << document;
    for (const QString& line : lines) {
      const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts).mid(1);
      if (words.isEmpty()) continue;  // the panel itself
      // Every command named answers its --help.
      const ProgramResult help = Run({words.first(), "--help"});
      EXPECT_EQ(help.code, 0) << document << ": " << line.toStdString();
      EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: orvane ") + words.first()) ||
                  words.first().startsWith(QStringLiteral("--")))
          << help.out.toStdString();
      // An example without placeholders runs as it stands (but for the ones that wait or need a service).
      if (line.contains(QRegularExpression(QStringLiteral("[A-Z\\[]"))) || words.first() == QStringLiteral("listen") ||
          words.first() == QStringLiteral("weather") || words.first() == QStringLiteral("server")) {
        continue;
      }
      const ProgramResult r = Run(words);
      EXPECT_EQ(r.code, 0) << line.toStdString() << ": " << r.err.toStdString();
      ++examples;
      if (words.first() == QStringLiteral("agenda")) {
        const qsizetype at = words.indexOf(QStringLiteral("--days"));
        const int days = at < 0 ? 7 : words.value(at + 1).toInt();
        EXPECT_EQ(r.out.count(QStringLiteral("Events for ")), days) << line.toStdString();
      }
    }
  }
  EXPECT_GE(examples, 3);
}

}  // namespace
