#pragma once

#include "network/caldavclient.h"
#include "network/calendarserver.h"
#include "network/calendarsync.h"
#include "network/serverpassword.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class DataFormat;
class Dialogs;
class KeyStore;
class QTimer;
class TSettings;

// The calendar server account as the settings hold it (the password is kept elsewhere:
// serverpassword.h).
struct ServerAccount {
  static const QString UrlSetting;       // "CalendarServerUrl"
  static const QString UserSetting;      // "CalendarServerUser"
  static const QString CalendarSetting;  // "CalendarServerCalendar": the collection's path
  static const QString AllowHttpSetting;
  // "CalendarServerCertificate": the SHA-256 fingerprint of a certificate the user trusts
  // although it cannot be verified (a server that signed its own).
  static const QString CertificateSetting;
  // "CalendarServerHost": the other host the calendars are kept on, which the user agreed to.
  static const QString HostSetting;
  // "CalendarServerTasks": the task list new tasks go to; empty: the calendar's collection.
  static const QString TasksSetting;
  static const QString IntervalSetting;  // "CalendarServerInterval": minutes between runs
  static constexpr int DefaultIntervalMinutes = 15;

  QString url;
  QString user;
  QString calendar;
  bool allowHttp = false;
  QString certificate;
  QString calendarHost;
  QString tasks;

  static ServerAccount Read(const TSettings& settings);
  // The client's trust: plain http, the certificate and the other host.
  CalDavClient::Trust Trust() const { return {allowHttp, certificate, calendarHost}; }
  bool IsSet() const { return !url.isEmpty() && !user.isEmpty() && !calendar.isEmpty(); }
  // The password's name in the secret store.
  QString PasswordKey() const { return user + QLatin1Char('@') + url; }
  bool operator==(const ServerAccount&) const = default;
};

// Sets the account in the settings (an empty one removes it) and saves the settings with the
// calendar in one transaction. Another server or calendar than before: every record forgets
// where it was kept and the synchronisation's state goes, so the records go up there afresh.
SaveResult SaveServerAccount(DataFormat& calendar, KeyStore& store, TSettings& settings, const ServerAccount& account);

// Writes a backup of the calendar and the settings (as Backup Data and Settings does) into the
// data folder before a first synchronisation: its path, or empty with error set.
QString BackupBeforeFirstSync(const DataFormat& calendar, const TSettings& settings, QString& error);

// Synchronises the running panel's calendar with the calendar server, in the background: at
// start, one minute after the last change made here (changes made together go up together),
// every CalendarServerInterval minutes, and when asked (the menu). Every request is
// answered through the event loop, so the panel never waits for the network.
//
// Each run works on the panel's own calendar and saves through its store, in whole
// transactions after complete answers (CalendarSync). Before the first run of a calendar that
// holds records none of which was ever on a server, a backup is written (and a run whose
// backup cannot be written does not start). What the server changed of a record
// open in an editor waits for a later run (InUse). A run that fails is tried again after
// 30 seconds, doubling up to the interval; the status shows since when it fails. A refused
// password is asked for once (through Dialogs); nothing else is ever asked from the
// background.
class ServerSync : public QObject, private CalendarServer {
  Q_OBJECT

 public:
  ServerSync(DataFormat& calendar, KeyStore& store, TSettings& settings, Dialogs& dialogs, QObject* parent = nullptr);
  ~ServerSync() override;

  // The client for an account and password: the CalDAV client unless replaced (tests).
  std::function<std::unique_ptr<CalendarServer>(const ServerAccount&, const QString& password)> MakeServer;
  // Reads the account's password and answers later: the secret store or the file unless
  // replaced (tests).
  using PasswordDone = std::function<void(std::optional<QString>, serverpassword::Place, QString error)>;
  std::function<void(const ServerAccount&, PasswordDone)> LoadPassword;
  // Keeps a password the user typed after a refusal, where the old one was kept.
  std::function<bool(const ServerAccount&, const QString& password, serverpassword::Place place)> StorePassword;
  // Whether the records of a UID are open in an editor (CalendarSync::InUse).
  std::function<bool(const QString& uid)> InUse;

  // How long after a change here the run starts, and the first wait after a failure.
  int ChangeDelayMs = 60 * 1000;
  int FirstRetryMs = 30 * 1000;

  // Takes the account as the settings now hold it and runs at once (nothing without one).
  void Start();
  // Stops a run on its way and waits for AccountChanged (the account is being changed).
  void Stop();
  // The account changed or went (the options): the client and password are dropped.
  // backedUp: the calendar was just backed up for the account's first synchronisation.
  void AccountChanged(bool backedUp = false);
  // A run now (the menu); one that is running is followed by another.
  void SyncNow();

  bool HasAccount() const { return account_.IsSet(); }
  bool Running() const { return sync_ != nullptr; }
  // The last run failed (the network, the server or the password).
  bool Failing() const { return failingSince_ != 0; }
  bool PasswordRefused() const { return refused_; }
  // "Last synchronized 10:42", "Server unreachable since 10:45"; empty without an account
  // or before the first run ends.
  QString StatusLine() const;
  // When the next run starts, in milliseconds from now; -1 when none is due.
  int NextRunMs() const;
  const SyncReport& LastReport() const { return report_; }
  // CalendarServerInterval in milliseconds.
  int IntervalMs() const;

 signals:
  // Records came from the server: the windows show them.
  void CalendarChanged();
  // StatusLine or Failing changed.
  void StatusChanged();
  // A run ended (LastReport).
  void Finished();

 private:
  // The server as the run sees it: each answer is passed on only while its run lasts, and
  // changes made here while it was on its way are told apart from the run's own.
  void Discover(ServerCallback done) override;
  void MakeCalendar(const QString& home, const QString& name, ServerCallback done) override;
  void Changes(const QString& collection, const QString& syncToken, ServerCallback done) override;
  void List(const QString& collection, ServerCallback done) override;
  void Fetch(const QString& collection, const QStringList& paths, ServerCallback done) override;
  void Put(const QString& path, const QByteArray& data, const QString& etag, ServerCallback done) override;
  void Remove(const QString& path, const QString& etag, ServerCallback done) override;
  ServerCallback Passed(ServerCallback done);
  void Abandon();

  void Schedule(int ms);
  void Run();
  void RunWith(const QString& password);
  void Ended(const SyncReport& report, bool interrupted);
  void AskPassword();
  void Poll();
  void NoteLocalChanges();
  void Interrupted();

  DataFormat& calendar_;
  KeyStore& store_;
  TSettings& settings_;
  Dialogs& dialogs_;
  ServerAccount account_;
  std::optional<QString> password_;
  serverpassword::Place place_ = serverpassword::Place::SecretStore;
  std::unique_ptr<CalendarServer> server_;
  QString serverPassword_;  // the password server_ was made with
  std::unique_ptr<CalendarSync> sync_;
  UnchangedRecords unchanged_;
  std::shared_ptr<int> run_;  // lives as long as the run: answers to an older run are dropped
  QTimer* due_ = nullptr;     // the next run
  QTimer* poll_ = nullptr;    // looks for changes made here
  quint64 seenRevision_ = 0;
  quint64 generation_ = 0;
  bool loadingPassword_ = false;
  bool again_ = false;  // asked or changed here during a run: another follows
  bool changedDuringRun_ = false;
  int failures_ = 0;
  TDateTime failingSince_ = 0;
  TDateTime lastSynced_ = 0;
  bool unreachable_ = false;
  bool refused_ = false;
  bool askedPassword_ = false;
  bool backedUp_ = false;  // for this account's first synchronisation
  SyncReport report_;
};
