#include "support/programrun.h"

#include "core/clock.h"
#include "platform/sqlitekeystore.h"
#include "support/testutil.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

void ProgramTest::SetUp() {
  binary_ = QFileInfo(qEnvironmentVariable("ORVANE_BINARY")).canonicalFilePath();
  ASSERT_FALSE(binary_.isEmpty()) << "ORVANE_BINARY is not set";
  ASSERT_TRUE(dir_.isValid());
  oldRuntime_ = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", Environment().value(QStringLiteral("XDG_RUNTIME_DIR")).toLocal8Bit());
}

void ProgramTest::TearDown() {
  for (const auto& p : started_) {
    if (p->state() == QProcess::NotRunning) continue;
    p->kill();
    p->waitForFinished(3000);
  }
  started_.clear();
  if (oldRuntime_.isNull())
    qunsetenv("XDG_RUNTIME_DIR");
  else
    qputenv("XDG_RUNTIME_DIR", oldRuntime_);
}

QString ProgramTest::Home(const QString& who) const {
  return dir_.path() + QLatin1Char('/') + (who.isEmpty() ? QStringLiteral("home") : who);
}

QProcessEnvironment ProgramTest::Environment(const QString& who) const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
    const QString path = Home(who) + QLatin1Char('/') + QLatin1String(name);
    QDir().mkpath(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QLatin1String(name), path);
  }
  return env;
}

QString ProgramTest::DatabaseFile(const QString& who) const {
  return Environment(who).value(QStringLiteral("XDG_DATA_HOME")) + QStringLiteral("/orvane/orvane.db");
}

std::unique_ptr<SqliteKeyStore> ProgramTest::OpenStore(const QString& who) const {
  const QString path = DatabaseFile(who);
  QDir().mkpath(QFileInfo(path).path());
  auto opened = SqliteKeyStore::Open(path);
  EXPECT_TRUE(opened.store) << opened.error.toStdString();
  return std::move(opened.store);
}

void ProgramTest::Store(const std::function<void(DataFormat&)>& fill,
                        const QList<std::pair<QString, QString>>& settings, const QString& who) {
  auto store = OpenStore(who);
  ASSERT_TRUE(store);
  if (fill) {
    FixedClock clock(DT(2024, 3, 1, 9, 0));
    DataFormat calendar(clock);
    fill(calendar);
    calendar.DataChanged = true;
    ASSERT_TRUE(calendar.SaveIfChanged(*store).ok);
  }
  if (settings.isEmpty()) return;
  ASSERT_TRUE(store->OpenKey(QStringLiteral("\\Software\\Orvane"), true));
  for (const auto& [name, value] : settings) ASSERT_TRUE(store->WriteString(name, value));
  store->CloseKey();
}

void ProgramTest::Load(const std::function<void(DataFormat&)>& look, const QString& who) const {
  auto store = OpenStore(who);
  if (!store) return;
  FixedClock clock(0);
  DataFormat calendar(clock);
  calendar.LoadCalendar(*store);
  look(calendar);
}

QString ProgramTest::Dump(const QString& who) const {
  auto store = OpenStore(who);
  return store ? store->Dump() : QString();
}

QProcess* ProgramTest::Start(const QStringList& args, const QString& who, const RunOptions& options) {
  started_.push_back(std::make_unique<QProcess>());
  QProcess* p = started_.back().get();
  QProcessEnvironment env = Environment(who);
  if (options.headless) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QLatin1String(name));
  }
  if (options.logLoads) {
    // The log goes to files of its own (one per process, the name ending in its id), not
    // into the program's standard error.
    env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    env.insert(QStringLiteral("LD_DEBUG_OUTPUT"), dir_.filePath(QStringLiteral("loads/log")));
    QDir().mkpath(dir_.filePath(QStringLiteral("loads")));
  }
  p->setProcessEnvironment(env);
  p->setWorkingDirectory(options.workingDir.isEmpty() ? dir_.path() : options.workingDir);
  if (options.inChild) p->setChildProcessModifier(options.inChild);
  p->start(binary_, args);
  EXPECT_TRUE(p->waitForStarted(10000)) << args.join(QLatin1Char(' ')).toStdString();
  return p;
}

ProgramResult ProgramTest::Run(const QStringList& args, const QString& who, const RunOptions& options) {
  QProcess* p = Start(args, who, options);
  bool finished = false;
  if (options.spin) {
    QEventLoop loop;
    QObject::connect(p, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(options.guardMs, &loop, &QEventLoop::quit);
    if (p->state() != QProcess::NotRunning) loop.exec();
    finished = p->state() == QProcess::NotRunning;
  } else {
    finished = p->waitForFinished(options.guardMs);
  }
  EXPECT_TRUE(finished) << "still running: " << args.join(QLatin1Char(' ')).toStdString();
  ProgramResult result;
  if (!finished) return result;
  result.code = p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
  result.out = QString::fromUtf8(p->readAllStandardOutput());
  result.err = QString::fromUtf8(p->readAllStandardError());
  if (options.logLoads) {
    // "     12:	file=libQt6Core.so.6 [0];  needed by ./orvane [0]"
    QDir logs(dir_.filePath(QStringLiteral("loads")));
    const QRegularExpression loadedFile(
        QStringLiteral("\\bfile=(\\S+)\\s+\\[\\d+\\];\\s+(needed|dynamically loaded) by"));
    for (const QString& name : logs.entryList(QDir::Files)) {
      QFile log(logs.filePath(name));
      const QString text = log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
      for (auto m = loadedFile.globalMatch(text); m.hasNext();)
        result.loaded << QFileInfo(m.next().captured(1)).fileName();
      log.remove();
    }
  }
  return result;
}

QString ProgramTest::WaitForError(QProcess& process, const QString& text) {
  QString said;
  process.setReadChannel(QProcess::StandardError);
  while (!said.contains(text) && process.waitForReadyRead(10000))
    said += QString::fromUtf8(process.readAllStandardError());
  return said;
}

TNote& AddEvent(DataFormat& calendar, const QString& title, TDateTime day, double time) {
  TNote& note = calendar.NoteArray[static_cast<size_t>(calendar.AppendNote())];
  note.Title = title;
  note.StartDate = day;
  if (time >= 0) {
    note.Start = true;
    note.StartTime = time;
  }
  return note;
}

TToDo& AddTask(DataFormat& calendar, const QString& title) {
  TToDo& task = calendar.ToDoArray[static_cast<size_t>(calendar.AppendToDo())];
  task.Title = title;
  return task;
}
