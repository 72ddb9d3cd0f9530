// orvane server add URL --user NAME --password-file FILE [--calendar NAME] [--tasks NAME]
//                   [--store-password-in-file] [--allow-http] [--fingerprint SHA256] [--allow-host HOST]
// orvane server list | remove | sync
#include "app/commands.h"
#include "core/keystore.h"
#include "network/caldavclient.h"
#include "network/calendarsync.h"
#include "network/serverpassword.h"
#include "session/appcontext.h"

#include <QFile>
#include <QTextStream>

namespace {

const QString UrlSetting = QStringLiteral("CalendarServerUrl");
const QString UserSetting = QStringLiteral("CalendarServerUser");
const QString CalendarSetting = QStringLiteral("CalendarServerCalendar");
const QString AllowHttpSetting = QStringLiteral("CalendarServerAllowHttp");
const QString CertificateSetting = QStringLiteral("CalendarServerCertificate");
const QString HostSetting = QStringLiteral("CalendarServerHost");
const QString TasksSetting = QStringLiteral("CalendarServerTasks");
const QString DefaultCalendar = QStringLiteral("Orvane");

QString Account(const QString& url, const QString& user) { return user + QLatin1Char('@') + url; }

// Every record forgets where it was kept on a server (the account changed or went).
void ForgetServerCopies(DataFormat& calendar) {
  for (TNote& note : calendar.NoteArray) note.Server = TServerCopy();
  for (TToDo& todo : calendar.ToDoArray) todo.Server = TServerCopy();
  calendar.DataChanged = true;
}

void ClearSyncState(AppContext& context) { context.store().DeleteKey(CalendarSync::StateKey()); }

int Add(const CliCommand& command, CliArgs& args, QTextStream& out, QTextStream& err) {
  QString error;
  const std::optional<QString> user = args.TakeOption(QStringLiteral("--user"), error);
  const std::optional<QString> passwordFile =
      error.isEmpty() ? args.TakeOption(QStringLiteral("--password-file"), error) : std::nullopt;
  const std::optional<QString> calendarName =
      error.isEmpty() ? args.TakeOption(QStringLiteral("--calendar"), error) : std::nullopt;
  const std::optional<QString> taskListName =
      error.isEmpty() ? args.TakeOption(QStringLiteral("--tasks"), error) : std::nullopt;
  const std::optional<QString> fingerprint =
      error.isEmpty() ? args.TakeOption(QStringLiteral("--fingerprint"), error) : std::nullopt;
  const std::optional<QString> otherHost =
      error.isEmpty() ? args.TakeOption(QStringLiteral("--allow-host"), error) : std::nullopt;
  if (!error.isEmpty()) return UsageError(command, error);
  const bool fileAllowed = args.TakeFlag(QStringLiteral("--store-password-in-file"));
  const bool allowHttp = args.TakeFlag(QStringLiteral("--allow-http"));
  if (const QString unknown = args.UnknownOption(); !unknown.isEmpty())
    return UsageError(command, QStringLiteral("unknown option %1").arg(unknown));
  const QStringList positional = args.Positional();
  if (positional.size() != 2) return UsageError(command, QStringLiteral("give the server's address"));
  if (!user || user->isEmpty()) return UsageError(command, QStringLiteral("--user is required"));
  if (!passwordFile) return UsageError(command, QStringLiteral("--password-file is required"));
  CalDavClient::Trust trust{allowHttp, CalDavClient::Fingerprint(fingerprint.value_or(QString())),
                            otherHost.value_or(QString()).trimmed()};
  if (fingerprint && trust.certificate.isEmpty())
    return UsageError(command, QStringLiteral("--fingerprint takes the certificate's SHA-256 fingerprint: 64 "
                                              "hexadecimal digits, with or without colons"));
  if (otherHost && trust.calendarHost.isEmpty())
    return UsageError(command, QStringLiteral("--allow-host needs a host"));
  const QUrl url = QUrl::fromUserInput(positional[1]);
  if (const QString problem = CalDavClient::AddressProblem(url, allowHttp); !problem.isEmpty()) {
    err << "orvane server add: " << problem << Qt::endl;
    return 1;
  }
  QFile file(*passwordFile);
  if (!file.open(QIODevice::ReadOnly)) {
    err << "orvane server add: cannot read " << *passwordFile << ": " << file.errorString() << Qt::endl;
    return 1;
  }
  QString password = QString::fromUtf8(file.readLine(4096));
  while (password.endsWith(QLatin1Char('\n')) || password.endsWith(QLatin1Char('\r'))) password.chop(1);

  std::unique_ptr<AppContext> context = OpenCliContext(true, error);
  if (!context) {
    err << "orvane server add: " << error << Qt::endl;
    return 1;
  }
  CalDavClient client(url, *user, password, trust);
  const ServerAnswer found = WaitForAnswer([&](ServerCallback done) { client.Discover(std::move(done)); });
  if (!found.ok()) {
    err << "orvane server add: " << found.error << Qt::endl;
    if (!found.certificate.isEmpty())
      err << "If this is your server's certificate (compare the fingerprint with the one the server shows), trust "
             "it by adding the server again with --fingerprint "
          << found.certificate << Qt::endl;
    else if (!found.otherHost.isEmpty())
      err << "To send your user name and password to " << found.otherHost << ", add the server again with --allow-host "
          << found.otherHost << Qt::endl;
    return 1;
  }
  // A task list of its own, when one is named (else the tasks go with the events).
  std::optional<ServerCollection> taskList;
  if (taskListName) {
    for (const ServerCollection& c : found.collections)
      if (c.displayName == *taskListName && c.Holds(QStringLiteral("VTODO"))) taskList = c;
    if (!taskList) {
      err << "orvane server add: the server has no task list \"" << *taskListName << "\"" << Qt::endl;
      return 1;
    }
  }
  // The password is kept before anything changes on the server.
  const QString serverUrl = url.toString(QUrl::RemoveUserInfo);
  const serverpassword::Stored kept = serverpassword::Store(Account(serverUrl, *user), password, fileAllowed);
  if (!kept.ok) {
    err << "orvane server add: " << kept.error << Qt::endl;
    return 1;
  }
  // The calendar named, or "Orvane": an existing one, else a new one where the server allows.
  const QString wanted = calendarName.value_or(DefaultCalendar);
  std::optional<ServerCollection> chosen;
  for (const ServerCollection& c : found.collections)
    if (c.displayName == wanted && c.Holds(QStringLiteral("VEVENT"))) chosen = c;
  if (!chosen) {
    const ServerAnswer made =
        WaitForAnswer([&](ServerCallback done) { client.MakeCalendar(found.home, wanted, std::move(done)); });
    if (made.ok() && !made.collections.isEmpty()) {
      chosen = made.collections.first();
      out << "Made the calendar \"" << wanted << "\" on the server" << Qt::endl;
    } else if (calendarName) {
      err << "orvane server add: the server has no calendar \"" << wanted << "\" and cannot make one: " << made.error
          << Qt::endl;
      return 1;
    } else {
      for (const ServerCollection& c : found.collections)
        if (!chosen && c.Holds(QStringLiteral("VEVENT"))) chosen = c;
      if (!chosen) {
        err << "orvane server add: the server has no calendar for events and cannot make one: " << made.error
            << Qt::endl;
        return 1;
      }
    }
  }
  if (taskList && taskList->path == chosen->path) taskList.reset();  // the tasks go with the events
  const QString taskPath = taskList ? taskList->path : QString();
  TSettings& settings = context->settings();
  const QStringList before{settings.GetSetting(UrlSetting), settings.GetSetting(UserSetting),
                           settings.GetSetting(CalendarSetting), settings.GetSetting(HostSetting),
                           settings.GetSetting(TasksSetting)};
  settings.SetSetting(UrlSetting, serverUrl);
  settings.SetSetting(UserSetting, *user);
  settings.SetSetting(CalendarSetting, chosen->path);
  settings.SetBool(AllowHttpSetting, allowHttp);
  settings.SetSetting(CertificateSetting, trust.certificate);
  settings.SetSetting(HostSetting, found.otherHost);
  settings.SetSetting(TasksSetting, taskPath);
  // Another server, calendar or task list: the records go up there afresh.
  if (before != QStringList{serverUrl, *user, chosen->path, found.otherHost, taskPath}) {
    ForgetServerCopies(context->calendar());
    ClearSyncState(*context);
  }
  if (!context->SaveCalendarAndSettings()) return 1;
  out << "Calendar server " << serverUrl << ", user " << *user << ", calendar \""
      << (chosen->displayName.isEmpty() ? chosen->path : chosen->displayName) << "\" (" << chosen->path << ")"
      << Qt::endl;
  if (taskList)
    out << "Tasks in \"" << (taskList->displayName.isEmpty() ? taskList->path : taskList->displayName) << "\" ("
        << taskList->path << ")" << Qt::endl;
  if (!found.otherHost.isEmpty()) out << "Calendars kept at " << found.otherHost << Qt::endl;
  if (!trust.certificate.isEmpty())
    out << "Certificate trusted by its SHA-256 fingerprint " << trust.certificate << Qt::endl;
  out << "Password kept in " << serverpassword::Describe(kept.place) << Qt::endl;
  return 0;
}

int List(QTextStream& out, QTextStream& err) {
  QString error;
  std::unique_ptr<AppContext> context = OpenCliContext(false, error);
  if (!context) {
    err << "orvane server list: " << error << Qt::endl;
    return 1;
  }
  const TSettings& settings = context->settings();
  if (settings.GetSetting(UrlSetting).isEmpty()) {
    out << "No calendar server" << Qt::endl;
    return 0;
  }
  out << settings.GetSetting(UrlSetting) << "  user " << settings.GetSetting(UserSetting) << "  calendar "
      << settings.GetSetting(CalendarSetting);
  if (const QString tasks = settings.GetSetting(TasksSetting); !tasks.isEmpty()) out << "  tasks " << tasks;
  if (const QString host = settings.GetSetting(HostSetting); !host.isEmpty()) out << "  at " << host;
  out << Qt::endl;
  if (const QString pin = settings.GetSetting(CertificateSetting); !pin.isEmpty())
    out << "Certificate trusted by its SHA-256 fingerprint " << pin << Qt::endl;
  return 0;
}

int Remove(QTextStream& out, QTextStream& err) {
  QString error;
  std::unique_ptr<AppContext> context = OpenCliContext(true, error);
  if (!context) {
    err << "orvane server remove: " << error << Qt::endl;
    return 1;
  }
  TSettings& settings = context->settings();
  const QString url = settings.GetSetting(UrlSetting);
  if (url.isEmpty()) {
    out << "No calendar server" << Qt::endl;
    return 0;
  }
  serverpassword::Forget(Account(url, settings.GetSetting(UserSetting)));
  const QStringList names{UrlSetting,         UserSetting, CalendarSetting, AllowHttpSetting,
                          CertificateSetting, HostSetting, TasksSetting};
  for (const QString& name : names) settings.SetSetting(name, {});
  ForgetServerCopies(context->calendar());
  // The settings' values go from the store with the records' server copies and the sync state.
  KeyStore& store = context->store();
  const SaveResult saved = context->calendar().SaveWith(store, [&] {
    SaveResult result = settings.WriteSettingsToStore();
    if (result.ok && store.OpenKey(QStringLiteral("\\Software\\Orvane"), false)) {
      for (const QString& name : names) store.DeleteValue(name);
      store.CloseKey();
    }
    store.DeleteKey(CalendarSync::StateKey());
    return result;
  });
  if (!saved.ok) {
    err << "orvane server remove: " << saved.error << Qt::endl;
    return 1;
  }
  out << "Removed the calendar server " << url << "; the calendar here is unchanged" << Qt::endl;
  return 0;
}

int Sync(QTextStream& out, QTextStream& err) {
  QString error;
  std::unique_ptr<AppContext> context = OpenCliContext(true, error);
  if (!context) {
    err << "orvane server sync: " << error << Qt::endl;
    return 1;
  }
  const TSettings& settings = context->settings();
  const QString url = settings.GetSetting(UrlSetting);
  if (url.isEmpty()) {
    err << "orvane server sync: no calendar server (add one with orvane server add)" << Qt::endl;
    return 1;
  }
  serverpassword::Place place;
  const std::optional<QString> password =
      serverpassword::Load(Account(url, settings.GetSetting(UserSetting)), place, error);
  if (!password) {
    err << "orvane server sync: " << error << Qt::endl;
    return 1;
  }
  CalDavClient client(
      QUrl(url), settings.GetSetting(UserSetting), *password,
      {settings.GetBool(AllowHttpSetting), settings.GetSetting(CertificateSetting), settings.GetSetting(HostSetting)});
  CalendarSync sync(context->calendar(), context->store(), client, settings.GetSetting(CalendarSetting));
  sync.TaskList = settings.GetSetting(TasksSetting);
  const SyncReport report = sync.RunAndWait();
  const auto lines = [&out](const char* label, const QStringList& items) {
    for (const QString& item : items) out << label << item << Qt::endl;
  };
  lines("Sent: ", report.up);
  lines("Received: ", report.down);
  lines("Settled: ", report.settled);
  lines("Deleted here: ", report.removedHere);
  lines("Deleted on the server: ", report.removedThere);
  lines("Kept as the server has it (read-only): ", report.readOnly);
  lines("Problem: ", report.problems);
  out << QStringLiteral("%1 sent, %2 received, %3 settled, %4 deleted here, %5 deleted on the server (%6 requests)")
             .arg(report.up.size())
             .arg(report.down.size())
             .arg(report.settled.size())
             .arg(report.removedHere.size())
             .arg(report.removedThere.size())
             .arg(client.requestCount())
      << Qt::endl;
  const bool saved = context->SaveCalendar();
  if (!report.error.isEmpty()) {
    err << "orvane server sync: " << report.error << Qt::endl;
    return 1;
  }
  if (!report.agree) {
    err << "orvane server sync: the calendar and the server do not agree yet" << Qt::endl;
    return 1;
  }
  return saved ? 0 : 1;
}

}  // namespace

int RunServer(CliArgs& args) {
  const CliCommand command = ServerCommand();
  QTextStream out(stdout);
  QTextStream err(stderr);
  const QStringList positional = args.Positional();
  const QString action = positional.value(0);
  if (action == QLatin1String("add")) return Add(command, args, out, err);
  if (const QString unknown = args.UnknownOption(); !unknown.isEmpty())
    return UsageError(command, QStringLiteral("unknown option %1").arg(unknown));
  if (positional.size() != 1) return UsageError(command, QStringLiteral("give one of add, list, remove, sync"));
  if (action == QLatin1String("list")) return List(out, err);
  if (action == QLatin1String("remove")) return Remove(out, err);
  if (action == QLatin1String("sync")) return Sync(out, err);
  return UsageError(command, QStringLiteral("unknown action \"%1\"").arg(action));
}
