#include "network/serversync.h"

#include "core/backupfiles.h"
#include "core/dataformat.h"
#include "core/keystore.h"
#include "core/paths.h"
#include "core/wholefile.h"
#include "network/caldavclient.h"
#include "platform/dialogs.h"
#include "settings/settings.h"

#include <QPointer>
#include <QTimer>
#include <algorithm>

const QString ServerAccount::UrlSetting = QStringLiteral("CalendarServerUrl");
const QString ServerAccount::UserSetting = QStringLiteral("CalendarServerUser");
const QString ServerAccount::CalendarSetting = QStringLiteral("CalendarServerCalendar");
const QString ServerAccount::AllowHttpSetting = QStringLiteral("CalendarServerAllowHttp");
const QString ServerAccount::CertificateSetting = QStringLiteral("CalendarServerCertificate");
const QString ServerAccount::HostSetting = QStringLiteral("CalendarServerHost");
const QString ServerAccount::TasksSetting = QStringLiteral("CalendarServerTasks");
const QString ServerAccount::IntervalSetting = QStringLiteral("CalendarServerInterval");

namespace {

// How often the calendar is looked at for changes made here (a number compared).
constexpr int PollMs = 2000;

}  // namespace

ServerAccount ServerAccount::Read(const TSettings& settings) {
  ServerAccount account;
  account.url = settings.GetSetting(UrlSetting);
  account.user = settings.GetSetting(UserSetting);
  account.calendar = settings.GetSetting(CalendarSetting);
  account.allowHttp = settings.GetBool(AllowHttpSetting);
  account.certificate = settings.GetSetting(CertificateSetting);
  account.calendarHost = settings.GetSetting(HostSetting);
  account.tasks = settings.GetSetting(TasksSetting);
  return account;
}

SaveResult SaveServerAccount(DataFormat& calendar, KeyStore& store, TSettings& settings, const ServerAccount& account) {
  const ServerAccount before = ServerAccount::Read(settings);
  const bool moved = before.url != account.url || before.user != account.user || before.calendar != account.calendar ||
                     before.calendarHost != account.calendarHost || before.tasks != account.tasks;
  const QStringList names{ServerAccount::UrlSetting,         ServerAccount::UserSetting,
                          ServerAccount::CalendarSetting,    ServerAccount::AllowHttpSetting,
                          ServerAccount::CertificateSetting, ServerAccount::HostSetting,
                          ServerAccount::TasksSetting};
  settings.SetSetting(ServerAccount::UrlSetting, account.url);
  settings.SetSetting(ServerAccount::UserSetting, account.user);
  settings.SetSetting(ServerAccount::CalendarSetting, account.calendar);
  settings.SetSetting(ServerAccount::AllowHttpSetting, account.allowHttp ? QStringLiteral("-1") : QString());
  settings.SetSetting(ServerAccount::CertificateSetting, account.certificate);
  settings.SetSetting(ServerAccount::HostSetting, account.calendarHost);
  settings.SetSetting(ServerAccount::TasksSetting, account.tasks);
  if (moved) {
    for (TNote& note : calendar.NoteArray) note.Server = TServerCopy();
    for (TToDo& todo : calendar.ToDoArray) todo.Server = TServerCopy();
    calendar.DataChanged = true;
  }
  return calendar.SaveWith(store, [&] {
    SaveResult result = settings.WriteSettingsToStore();
    // An empty setting is absent: the values of a removed account go from the store too.
    if (result.ok && store.OpenKey(QStringLiteral("\\Software\\Orvane"), false)) {
      for (const QString& name : names)
        if (settings.GetSetting(name).isEmpty()) store.DeleteValue(name);
      store.CloseKey();
    }
    if (result.ok && moved) store.DeleteKey(CalendarSync::StateKey());
    return result;
  });
}

QString BackupBeforeFirstSync(const DataFormat& calendar, const TSettings& settings, QString& error) {
  QByteArray lines;
  settings.WriteSettingsToStream(lines);
  const QString path = UserDataDir() + QStringLiteral("before-calendar-server-") +
                       FormatDateTime(QStringLiteral("yyyy-mm-dd-hhnnss"), calendar.clock().Now()) +
                       QStringLiteral(".ovb");
  error = WriteWholeFile(path, BackupBytes(calendar, lines), FileAccess::OwnerOnly);
  return error.isEmpty() ? path : QString();
}

ServerSync::ServerSync(DataFormat& calendar, KeyStore& store, TSettings& settings, Dialogs& dialogs, QObject* parent)
    : QObject(parent), calendar_(calendar), store_(store), settings_(settings), dialogs_(dialogs) {
  MakeServer = [](const ServerAccount& account, const QString& password) -> std::unique_ptr<CalendarServer> {
    return std::make_unique<CalDavClient>(QUrl(account.url), account.user, password, account.Trust());
  };
  LoadPassword = [](const ServerAccount& account, PasswordDone done) {
    serverpassword::LoadLater(account.PasswordKey(), std::move(done));
  };
  StorePassword = [](const ServerAccount& account, const QString& password, serverpassword::Place place) {
    return serverpassword::Store(account.PasswordKey(), password, place == serverpassword::Place::File).ok;
  };
  due_ = new QTimer(this);
  due_->setSingleShot(true);
  due_->setTimerType(Qt::PreciseTimer);  // the times it says are the times it keeps
  connect(due_, &QTimer::timeout, this, &ServerSync::Run);
  poll_ = new QTimer(this);
  poll_->setInterval(PollMs);
  connect(poll_, &QTimer::timeout, this, &ServerSync::Poll);
  seenRevision_ = calendar_.DataChanged.Revision();
  generation_ = calendar_.Generation();
}

ServerSync::~ServerSync() { Abandon(); }

int ServerSync::IntervalMs() const {
  const int minutes =
      std::clamp(settings_.GetInt(ServerAccount::IntervalSetting, ServerAccount::DefaultIntervalMinutes), 1, 24 * 60);
  return minutes * 60 * 1000;
}

void ServerSync::Start() {
  account_ = ServerAccount::Read(settings_);
  if (!account_.IsSet()) {
    due_->stop();
    poll_->stop();
    emit StatusChanged();
    return;
  }
  seenRevision_ = calendar_.DataChanged.Revision();
  poll_->start();
  Schedule(0);
}

void ServerSync::Stop() {
  Abandon();
  due_->stop();
  poll_->stop();
}

void ServerSync::AccountChanged(bool backedUp) {
  Abandon();
  backedUp_ = backedUp;
  server_.reset();
  password_.reset();
  report_ = SyncReport();
  failures_ = 0;
  failingSince_ = 0;
  lastSynced_ = 0;
  unreachable_ = refused_ = askedPassword_ = false;
  Start();
  emit StatusChanged();
}

void ServerSync::SyncNow() {
  if (!HasAccount()) return;
  if (Running() || loadingPassword_) {
    again_ = true;
    return;
  }
  Schedule(0);
}

int ServerSync::NextRunMs() const { return due_->isActive() ? due_->remainingTime() : -1; }

void ServerSync::Schedule(int ms) { due_->start(std::max(0, ms)); }

QString ServerSync::StatusLine() const {
  if (!HasAccount()) return QString();
  if (refused_) return tr("Server refused the password");
  if (failingSince_ != 0) {
    const QString since = FormatDateTime(QStringLiteral("h:nn"), failingSince_);
    return unreachable_ ? tr("Server unreachable since %1").arg(since) : tr("Server failing since %1").arg(since);
  }
  if (lastSynced_ != 0) return tr("Last synchronized %1").arg(FormatDateTime(QStringLiteral("h:nn"), lastSynced_));
  return QString();
}

// --- Runs.

void ServerSync::Run() {
  if (!HasAccount()) return;
  if (Running() || loadingPassword_) {
    again_ = true;
    return;
  }
  if (password_) {
    RunWith(*password_);
    return;
  }
  loadingPassword_ = true;
  const QPointer<ServerSync> self(this);
  const ServerAccount asked = account_;
  LoadPassword(account_, [self, asked](std::optional<QString> password, serverpassword::Place place, QString error) {
    if (!self) return;
    self->loadingPassword_ = false;
    if (!(asked == self->account_)) {  // the account changed meanwhile
      self->Schedule(0);
      return;
    }
    if (!password) {
      SyncReport failed;
      failed.error = error;
      self->Ended(failed, false);
      return;
    }
    self->password_ = password;
    self->place_ = place;
    self->RunWith(*password);
  });
}

void ServerSync::RunWith(const QString& password) {
  if (!backedUp_ && FirstSyncOfRecords(calendar_)) {
    QString error;
    if (BackupBeforeFirstSync(calendar_, settings_, error).isEmpty()) {
      SyncReport failed;
      failed.error = tr("the backup before the first synchronization could not be written: %1").arg(error);
      Ended(failed, false);
      return;
    }
  }
  backedUp_ = true;
  if (!server_ || serverPassword_ != password) {
    server_ = MakeServer(account_, password);
    serverPassword_ = password;
  }
  due_->stop();
  again_ = changedDuringRun_ = false;
  generation_ = calendar_.Generation();
  run_ = std::make_shared<int>(0);
  sync_ = std::make_unique<CalendarSync>(calendar_, store_, static_cast<CalendarServer&>(*this), account_.calendar,
                                         &unchanged_);
  sync_->InUse = InUse;
  sync_->TaskList = account_.tasks;
  // What changed here until now goes with this run.
  seenRevision_ = calendar_.DataChanged.Revision();
  const std::weak_ptr<int> run = run_;
  sync_->Run([this, run](const SyncReport& report) {
    // The run's object ends outside its own call.
    QTimer::singleShot(0, this, [this, run, report] {
      if (!run.expired()) Ended(report, false);
    });
  });
  seenRevision_ = calendar_.DataChanged.Revision();
}

void ServerSync::Abandon() {
  run_.reset();
  sync_.reset();
}

// The calendar was replaced (a restore) while an answer was on its way: the run's record
// numbers name other records now, so it stops, and a new run starts from the new calendar.
void ServerSync::Interrupted() {
  SyncReport report;
  report.error = tr("the calendar was replaced during the synchronization");
  Abandon();
  generation_ = calendar_.Generation();
  seenRevision_ = calendar_.DataChanged.Revision();
  again_ = true;
  Ended(report, true);
}

void ServerSync::Ended(const SyncReport& report, bool interrupted) {
  Abandon();
  report_ = report;
  const TDateTime now = calendar_.clock().Now();
  if (!report.down.isEmpty() || !report.removedHere.isEmpty() || !report.settled.isEmpty()) emit CalendarChanged();
  int next;
  if (interrupted) {
    next = 0;
  } else if (report.error.isEmpty()) {
    failures_ = 0;
    failingSince_ = 0;
    unreachable_ = refused_ = false;
    lastSynced_ = now;
    next = again_ ? 0 : changedDuringRun_ || !report.postponed.isEmpty() ? ChangeDelayMs : IntervalMs();
  } else {
    ++failures_;
    if (failingSince_ == 0) failingSince_ = now;
    unreachable_ = report.unreachable;
    // The next run starts on a fresh connection (the network may have changed meanwhile).
    if (report.unreachable) server_.reset();
    if (report.unauthorized) {
      refused_ = true;
      password_.reset();
      if (!askedPassword_) {
        askedPassword_ = true;
        QTimer::singleShot(0, this, &ServerSync::AskPassword);
      }
    }
    // 30 s, 1 min, 2 min, ... up to the interval.
    const qint64 backOff = qint64(FirstRetryMs) << std::min(failures_ - 1, 20);
    next = static_cast<int>(std::min<qint64>(IntervalMs(), backOff));
    if (again_) next = 0;
  }
  again_ = changedDuringRun_ = false;
  Schedule(next);
  emit StatusChanged();
  emit Finished();
}

// Asked once for a refused password: a new one is kept where the old one was and used at
// once; cancelled, the runs go on with the kept one (and fail) until the options change it.
void ServerSync::AskPassword() {
  const std::optional<QString> password = dialogs_.InputQuery(
      tr("Calendar Server"), tr("The calendar server refused the password of %1. Password:").arg(account_.user),
      QString(), true);
  if (!password || password->isEmpty() || !HasAccount()) return;
  if (StorePassword) StorePassword(account_, *password, place_);
  password_ = *password;
  SyncNow();
}

// --- Changes made here.

void ServerSync::Poll() {
  if (!Running() && calendar_.Generation() != generation_) {
    generation_ = calendar_.Generation();
    seenRevision_ = calendar_.DataChanged.Revision() - 1;  // a replaced calendar is a change
  }
  NoteLocalChanges();
}

void ServerSync::NoteLocalChanges() {
  const quint64 revision = calendar_.DataChanged.Revision();
  if (revision == seenRevision_) return;
  seenRevision_ = revision;
  if (!HasAccount()) return;
  if (Running() || loadingPassword_) {
    changedDuringRun_ = true;
  } else if (!Failing()) {
    // Changes made together go up together: each one starts the wait again.
    Schedule(ChangeDelayMs);
  }
}

// --- The server as the run sees it.

ServerCallback ServerSync::Passed(ServerCallback done) {
  const std::weak_ptr<int> run = run_;
  return [this, run, done = std::move(done)](const ServerAnswer& answer) {
    if (run.expired()) return;
    if (calendar_.Generation() != generation_) {
      // Later, not inside the client's own call; the run's other answers are dropped.
      run_.reset();
      QTimer::singleShot(0, this, &ServerSync::Interrupted);
      return;
    }
    NoteLocalChanges();
    done(answer);
    seenRevision_ = calendar_.DataChanged.Revision();
  };
}

void ServerSync::Discover(ServerCallback done) { server_->Discover(Passed(std::move(done))); }
void ServerSync::MakeCalendar(const QString& home, const QString& name, ServerCallback done) {
  server_->MakeCalendar(home, name, Passed(std::move(done)));
}
void ServerSync::Changes(const QString& collection, const QString& syncToken, ServerCallback done) {
  server_->Changes(collection, syncToken, Passed(std::move(done)));
}
void ServerSync::List(const QString& collection, ServerCallback done) {
  server_->List(collection, Passed(std::move(done)));
}
void ServerSync::Fetch(const QString& collection, const QStringList& paths, ServerCallback done) {
  server_->Fetch(collection, paths, Passed(std::move(done)));
}
void ServerSync::Put(const QString& path, const QByteArray& data, const QString& etag, ServerCallback done) {
  server_->Put(path, data, etag, Passed(std::move(done)));
}
void ServerSync::Remove(const QString& path, const QString& etag, ServerCallback done) {
  server_->Remove(path, etag, Passed(std::move(done)));
}
