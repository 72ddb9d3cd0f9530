#include "editors/serverpage.h"

#include "network/caldavclient.h"
#include "network/calendarsync.h"
#include "network/serverpassword.h"
#include "network/serversync.h"
#include "session/appcontext.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString NewCalendarName = QStringLiteral("Orvane");

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

}  // namespace

ServerPage::ServerPage(AppContext& context, QWidget* parent) : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("ServerPage"));
  MakeClient = [](const ServerAccount& account, const QString& password) -> std::unique_ptr<CalendarServer> {
    return std::make_unique<CalDavClient>(QUrl(account.url), account.user, password, account.Trust());
  };
  StorePassword = [](const QString& key, const QString& password, bool fileAllowed, QString& error) {
    const serverpassword::Stored stored = serverpassword::Store(key, password, fileAllowed);
    error = stored.error;
    return stored.ok;
  };
  ForgetPassword = [](const QString& key) { serverpassword::Forget(key); };

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  auto* group = new QGroupBox(tr(" Calendar Server "), this);
  layout->addWidget(group);
  layout->addStretch(1);
  auto* form = new QFormLayout(group);
  form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  form->setHorizontalSpacing(12);
  form->setVerticalSpacing(6);

  ServerUrl = Named(new QLineEdit(group), "ServerUrl");
  ServerUrl->setPlaceholderText(tr("https://dav.example.org/"));
  ServerUrl->setMinimumWidth(320);
  ServerUser = Named(new QLineEdit(group), "ServerUser");
  ServerUser->setMinimumWidth(200);
  ServerPassword = Named(new QLineEdit(group), "ServerPassword");
  ServerPassword->setMinimumWidth(200);
  ServerPassword->setEchoMode(QLineEdit::Password);
  ServerConnect = Named(new QPushButton(tr("Connect"), group), "ServerConnect");
  ServerCalendar = Named(new QComboBox(group), "ServerCalendar");
  ServerCalendar->setMinimumWidth(320);
  ServerTasks = Named(new QComboBox(group), "ServerTasks");
  ServerTasks->setMinimumWidth(320);
  ServerInterval = Named(new QSpinBox(group), "ServerInterval");
  ServerInterval->setRange(1, 24 * 60);
  ServerInterval->setSuffix(tr(" minutes"));
  ServerUse = Named(new QPushButton(tr("Use This Calendar"), group), "ServerUse");
  ServerRemove = Named(new QPushButton(tr("Remove Account"), group), "ServerRemove");
  ServerState = Named(new QLabel(group), "ServerState");
  ServerState->setWordWrap(true);
  ServerState->setMinimumWidth(460);

  form->addRow(tr("Server Address"), ServerUrl);
  form->addRow(tr("User Name"), ServerUser);
  form->addRow(tr("Password"), ServerPassword);
  form->addRow(QString(), ServerConnect);
  form->addRow(tr("Calendar"), ServerCalendar);
  form->addRow(tr("Tasks"), ServerTasks);
  form->addRow(tr("Synchronize Every"), ServerInterval);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ServerUse);
  buttons->addWidget(ServerRemove);
  buttons->addStretch(1);
  form->addRow(QString(), buttons);
  form->addRow(ServerState);

  connect(ServerConnect, &QPushButton::clicked, this, &ServerPage::ServerConnectClick);
  connect(ServerUse, &QPushButton::clicked, this, &ServerPage::ServerUseClick);
  connect(ServerRemove, &QPushButton::clicked, this, &ServerPage::ServerRemoveClick);
  connect(ServerInterval, &QSpinBox::valueChanged, this, [this](int minutes) {
    TSettings& settings = context_.settings();
    if (settings.GetInt(ServerAccount::IntervalSetting, ServerAccount::DefaultIntervalMinutes) == minutes) return;
    settings.SetInt(ServerAccount::IntervalSetting, minutes);
    settings.SaveSettings();
  });
  LoadAccount();
}

ServerPage::~ServerPage() = default;

void ServerPage::SetServerSync(ServerSync* sync) {
  sync_ = sync;
  if (sync) connect(sync, &ServerSync::StatusChanged, this, [this] { ShowState(); });
  ShowState();
}

QUrl ServerPage::Address() const { return QUrl::fromUserInput(ServerUrl->text().trimmed()); }

void ServerPage::LoadAccount() {
  if (busy_) return;
  const ServerAccount account = ServerAccount::Read(context_.settings());
  ServerUrl->setText(account.url);
  ServerUser->setText(account.user);
  ServerPassword->clear();
  ServerCalendar->clear();
  collections_.clear();
  ServerTasks->clear();
  taskLists_.clear();
  if (account.IsSet()) {
    ServerCalendar->addItem(account.calendar);
    ServerTasks->addItem(account.tasks.isEmpty() ? tr("With the events") : account.tasks);
  }
  ServerUse->setEnabled(false);
  ServerRemove->setEnabled(account.IsSet());
  const QSignalBlocker blocker(ServerInterval);
  ServerInterval->setValue(
      context_.settings().GetInt(ServerAccount::IntervalSetting, ServerAccount::DefaultIntervalMinutes));
  ShowState();
}

// What the account is and how its synchronisation goes, or what the page is doing.
void ServerPage::ShowState(const QString& text) {
  if (!text.isEmpty()) {
    ServerState->setText(text);
    return;
  }
  const ServerAccount account = ServerAccount::Read(context_.settings());
  if (!account.IsSet()) {
    ServerState->setText(tr("No calendar server. Give its address, your user name and password, then Connect."));
    return;
  }
  QString state = tr("Synchronizing with %1 as %2.").arg(account.url, account.user);
  if (sync_ && !sync_->StatusLine().isEmpty()) state += QLatin1Char(' ') + sync_->StatusLine();
  ServerState->setText(state);
}

void ServerPage::ServerConnectClick() {
  if (busy_) return;
  const QUrl url = Address();
  if (const QString problem = CalDavClient::AddressProblem(url, false); !problem.isEmpty()) {
    ShowState(tr("This address cannot be used: %1.").arg(problem));
    return;
  }
  if (ServerUser->text().trimmed().isEmpty() || ServerPassword->text().isEmpty()) {
    ShowState(tr("Give your user name and password."));
    return;
  }
  // The same server as the account's: what the user agreed to for it still holds.
  const ServerAccount account = ServerAccount::Read(context_.settings());
  const bool same = account.url == url.toString(QUrl::RemoveUserInfo);
  certificate_ = same ? account.certificate : QString();
  calendarHost_ = same ? account.calendarHost : QString();
  Discover();
}

void ServerPage::Discover() {
  busy_ = true;
  ServerConnect->setEnabled(false);
  ServerUse->setEnabled(false);
  ShowState(tr("Looking for your calendars..."));
  ServerAccount account;
  account.url = Address().toString(QUrl::RemoveUserInfo);
  account.user = ServerUser->text().trimmed();
  account.certificate = certificate_;
  account.calendarHost = calendarHost_;
  client_ = MakeClient(account, ServerPassword->text());
  const QPointer<ServerPage> self(this);
  client_->Discover([self](const ServerAnswer& answer) {
    if (self) self->Found(answer);
  });
}

void ServerPage::Found(const ServerAnswer& answer) {
  busy_ = false;
  ServerConnect->setEnabled(true);
  // A certificate no authority vouches for, or calendars on another host: asked once each,
  // and looked for again when the user agrees.
  if (!answer.ok() && !answer.certificate.isEmpty() && answer.certificate != certificate_) {
    // The fingerprint in lines of eight bytes, to be read against the server's.
    const QStringList bytes = answer.certificate.split(QLatin1Char(':'));
    QStringList lines;
    for (qsizetype i = 0; i < bytes.size(); i += 8) lines << bytes.mid(i, 8).join(QLatin1Char(':'));
    const QString question = tr("The server's certificate cannot be verified, so this may not be your server.\n\n"
                                "Its SHA-256 fingerprint:\n%1\n\n"
                                "Trust this certificate? Answer Yes only if your server shows the same fingerprint.")
                                 .arg(lines.join(QLatin1Char('\n')));
    if (context_.dialogs().Confirm(question)) {
      certificate_ = answer.certificate;
      Discover();
      return;
    }
  } else if (!answer.ok() && !answer.otherHost.isEmpty() && answer.otherHost != calendarHost_) {
    if (context_.dialogs().Confirm(
            tr("Your calendars are kept at %1. Send your user name and password there?").arg(answer.otherHost))) {
      calendarHost_ = answer.otherHost;
      Discover();
      return;
    }
  }
  if (!answer.ok()) {
    ShowState(tr("The server could not be used: %1.").arg(answer.error));
    return;
  }
  home_ = answer.home;
  foundHost_ = answer.otherHost;
  collections_.clear();
  ServerCalendar->clear();
  bool haveOrvane = false;
  for (const ServerCollection& c : answer.collections) {
    if (!c.Holds(QStringLiteral("VEVENT"))) continue;
    collections_ << c;
    ServerCalendar->addItem(c.displayName.isEmpty() ? c.path : c.displayName);
    haveOrvane |= c.displayName == NewCalendarName;
  }
  // A calendar of its own, made when chosen, where the server allows it.
  if (!haveOrvane) {
    collections_ << ServerCollection();
    ServerCalendar->addItem(tr("New calendar \"%1\"").arg(NewCalendarName));
  }
  // Tasks go with the events unless a task list of their own is chosen.
  ServerTasks->clear();
  taskLists_ = QStringList{QString()};
  ServerTasks->addItem(tr("With the events"));
  for (const ServerCollection& c : answer.collections) {
    if (!c.Holds(QStringLiteral("VTODO"))) continue;
    taskLists_ << c.path;
    ServerTasks->addItem(c.displayName.isEmpty() ? c.path : c.displayName);
  }
  ServerCalendar->setCurrentIndex(0);
  for (int i = 0; i < collections_.size(); ++i)
    if (collections_[i].displayName == NewCalendarName || collections_[i].path.isEmpty())
      ServerCalendar->setCurrentIndex(i);
  ServerUse->setEnabled(true);
  ShowState(tr("Choose the calendar to synchronize with, then Use This Calendar."));
}

void ServerPage::ServerUseClick() {
  const int chosen = ServerCalendar->currentIndex();
  if (busy_ || !client_ || chosen < 0 || chosen >= collections_.size()) return;
  ServerAccount wanted;
  wanted.url = Address().toString(QUrl::RemoveUserInfo);
  wanted.user = ServerUser->text().trimmed();
  // The password is kept before anything changes on the server.
  QString error;
  if (!StorePassword(wanted.PasswordKey(), ServerPassword->text(), false, error)) {
    const QString question =
        tr("No desktop secret store keeps the password (%1).\n\nKeep it in %2, a file only you can read?")
            .arg(error, serverpassword::FilePath());
    if (!context_.dialogs().Confirm(question)) {
      ShowState(tr("The account was not set: the password could not be kept."));
      return;
    }
    if (!StorePassword(wanted.PasswordKey(), ServerPassword->text(), true, error)) {
      ShowState(tr("The password could not be kept: %1.").arg(error));
      return;
    }
  }
  const ServerCollection collection = collections_[chosen];
  if (!collection.path.isEmpty()) {
    // The records meet this calendar for the first time: never synchronised, or with another.
    const ServerAccount now = ServerAccount::Read(context_.settings());
    const bool another = now.url != wanted.url || now.user != wanted.user || now.calendar != collection.path ||
                         now.calendarHost != foundHost_;
    const DataFormat& calendar = context_.calendar();
    const bool live = std::any_of(calendar.NoteArray.begin(), calendar.NoteArray.end(),
                                  [](const TNote& n) { return n.DeleteDate == 0; }) ||
                      std::any_of(calendar.ToDoArray.begin(), calendar.ToDoArray.end(),
                                  [](const TToDo& t) { return t.DeleteDate == 0; });
    if (live && (another || FirstSyncOfRecords(calendar)))
      Compare(collection);
    else
      Use(collection);
    return;
  }
  busy_ = true;
  ServerUse->setEnabled(false);
  ShowState(tr("Making the calendar \"%1\"...").arg(NewCalendarName));
  const QPointer<ServerPage> self(this);
  client_->MakeCalendar(home_, NewCalendarName, [self](const ServerAnswer& answer) {
    if (!self) return;
    self->busy_ = false;
    self->ServerUse->setEnabled(true);
    if (!answer.ok() || answer.collections.isEmpty()) {
      self->ShowState(self->tr("The server did not make the calendar: %1. Choose one of yours.").arg(answer.error));
      return;
    }
    self->Use(answer.collections.first());
  });
}

void ServerPage::Done() {
  busy_ = false;
  ServerUse->setEnabled(true);
  ServerConnect->setEnabled(true);
}

void ServerPage::Compare(const ServerCollection& collection) {
  busy_ = true;
  ServerUse->setEnabled(false);
  ServerConnect->setEnabled(false);
  ShowState(tr("Comparing this calendar with the server's..."));
  const QPointer<ServerPage> self(this);
  client_->List(collection.path, [self, collection](const ServerAnswer& answer) {
    if (!self) return;
    if (!answer.ok()) {
      self->Done();
      self->ShowState(self->tr("The server could not be used: %1.").arg(answer.error));
      return;
    }
    QStringList paths;
    for (const ServerItem& item : answer.items) paths << item.path;
    self->FetchAll(collection, paths, {});
  });
}

void ServerPage::FetchAll(const ServerCollection& collection, QStringList paths, QList<ServerItem> items) {
  if (!paths.isEmpty()) {
    const QStringList batch = paths.mid(0, 100);
    paths = paths.mid(100);
    const QPointer<ServerPage> self(this);
    client_->Fetch(collection.path, batch, [self, collection, paths, items](const ServerAnswer& answer) mutable {
      if (!self) return;
      if (!answer.ok()) {
        self->Done();
        self->ShowState(self->tr("The server could not be used: %1.").arg(answer.error));
        return;
      }
      items << answer.items;
      self->FetchAll(collection, paths, items);
    });
    return;
  }
  Done();
  if (items.isEmpty()) {
    Use(collection);
    return;
  }
  const FirstSyncPreview preview = PreviewFirstSync(context_.calendar(), items);
  const QString question =
      tr("%1 events here, %2 on the server, %3 the same.").arg(preview.here).arg(preview.there).arg(preview.same) +
      QStringLiteral("\n\n") +
      tr("Both calendars will hold all of them. A backup of this calendar is written "
         "first. Synchronize with this calendar?");
  if (!context_.dialogs().Confirm(question)) {
    ShowState(tr("Nothing was changed."));
    return;
  }
  QString error;
  const QString backup = BackupBeforeFirstSync(context_.calendar(), context_.settings(), error);
  if (backup.isEmpty()) {
    ShowState(tr("Nothing was changed: the backup could not be written (%1).").arg(error));
    return;
  }
  Use(collection, true);
  ShowState(tr("A backup of this calendar is in %1.").arg(backup));
}

void ServerPage::Use(const ServerCollection& collection, bool backedUp) {
  ServerAccount account;
  account.url = Address().toString(QUrl::RemoveUserInfo);
  account.user = ServerUser->text().trimmed();
  account.calendar = collection.path;
  const QString taskList = taskLists_.value(ServerTasks->currentIndex());
  if (taskList != collection.path) account.tasks = taskList;
  account.certificate = certificate_;
  account.calendarHost = foundHost_;
  if (sync_) sync_->Stop();
  const SaveResult saved = SaveServerAccount(context_.calendar(), context_.store(), context_.settings(), account);
  if (sync_) sync_->AccountChanged(backedUp);
  if (!saved.ok) {
    ShowState(tr("The account could not be saved: %1.").arg(saved.error));
    return;
  }
  ServerPassword->clear();
  ServerUse->setEnabled(false);
  ServerRemove->setEnabled(true);
  ShowState();
}

void ServerPage::ServerRemoveClick() {
  const ServerAccount account = ServerAccount::Read(context_.settings());
  if (busy_ || !account.IsSet()) return;
  if (!context_.dialogs().Confirm(tr("Stop synchronizing with %1? The calendar here stays as it is.").arg(account.url)))
    return;
  ForgetPassword(account.PasswordKey());
  if (sync_) sync_->Stop();
  const SaveResult saved = SaveServerAccount(context_.calendar(), context_.store(), context_.settings(), {});
  if (sync_) sync_->AccountChanged();
  client_.reset();
  LoadAccount();
  if (!saved.ok) ShowState(tr("The account could not be removed: %1.").arg(saved.error));
}
