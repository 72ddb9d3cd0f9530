#include "network/network.h"

#include "platform/windowfit.h"
#include "session/appcontext.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QHostInfo>
#include <QLabel>
#include <QListWidget>
#include <QNetworkDatagram>
#include <QProgressBar>
#include <QPushButton>
#include <QSysInfo>
#include <QTimer>
#include <QUdpSocket>
#include <QVBoxLayout>

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("T_Network", text); }

// IPv4 senders as plain dotted addresses, also when a socket reports them IPv6-mapped.
QString AddressText(const QHostAddress& address) {
  bool isV4 = false;
  const quint32 v4 = address.toIPv4Address(&isV4);
  return isV4 ? QHostAddress(v4).toString() : address.toString();
}

// A destination typed or listed: an address as it is, a name resolved to its first IPv4
// address (any address when it has none). Empty when the name does not resolve.
QString ResolveAddress(const QString& destination) {
  const QString trimmed = destination.trimmed();
  QHostAddress address;
  if (address.setAddress(trimmed)) return AddressText(address);
  const QHostInfo info = QHostInfo::fromName(trimmed);
  if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) return QString();
  for (const QHostAddress& candidate : info.addresses()) {
    if (candidate.protocol() == QAbstractSocket::IPv4Protocol) return AddressText(candidate);
  }
  return AddressText(info.addresses().first());
}

// How long an exchange waits for a challenge after the peer answered only the discovery.
constexpr int OlderPeerGraceMs = 500;

// Asks the kernel for a receive buffer that holds a whole pushed calendar.
constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;

}  // namespace

T_ProgressDialog::T_ProgressDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("T_ProgressDialog"));
  Gauge1 = new QProgressBar(this);
  Gauge1->setObjectName(QStringLiteral("Gauge1"));
  Gauge1->setRange(0, 100);
  DisplayLabel = new QLabel(QCoreApplication::translate("T_ProgressDialog", "Processing..."), this);
  DisplayLabel->setObjectName(QStringLiteral("DisplayLabel"));
  Button1 = new QPushButton(QCoreApplication::translate("T_ProgressDialog", "Cancel"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(DisplayLabel);
  layout->addWidget(Gauge1);
  layout->addWidget(Button1, 0, Qt::AlignHCenter);
  connect(Button1, &QPushButton::clicked, this, [this] {
    if (OnCancel) OnCancel();
  });
}

void T_ProgressDialog::SetText(const QString& text) {
  DisplayLabel->setText(text);
  setWindowTitle(text);
}

void T_ProgressDialog::SetProgress(int percent) {
  if (Gauge1->value() == percent) return;
  Gauge1->setValue(percent);
  Gauge1->repaint();
}

T_Network::T_Network(AppContext& context, Timings timings, quint16 port, QWidget* parent)
    : QWidget(parent, Qt::Dialog),
      context_(context),
      timings_(timings),
      port_(port),
      protocol_(context.calendar(), timings.peerIdleMs) {
  setObjectName(QStringLiteral("T_Network"));
  setWindowTitle(Tr("Orvane Network"));
  auto* label = new QLabel(Tr("Systems running Orvane on this network:"), this);
  RemoteList = new QListWidget(this);
  RemoteList->setObjectName(QStringLiteral("RemoteList"));
  SyncButton = new QPushButton(Tr("Synchronize"), this);
  SyncButton->setObjectName(QStringLiteral("SyncButton"));
  SyncButton->setDefault(true);
  SyncByIPButton = new QPushButton(Tr("Connect IP"), this);
  SyncByIPButton->setObjectName(QStringLiteral("SyncByIPButton"));
  RefreshButton = new QPushButton(Tr("Refresh List"), this);
  RefreshButton->setObjectName(QStringLiteral("RefreshButton"));
  CloseButton = new QPushButton(Tr("Close"), this);
  CloseButton->setObjectName(QStringLiteral("CloseButton"));
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {SyncButton, SyncByIPButton, RefreshButton, CloseButton}) buttons->addWidget(button);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(RemoteList);
  layout->addLayout(buttons);

  connect(SyncButton, &QPushButton::clicked, this, &T_Network::SyncButtonClick);
  connect(SyncByIPButton, &QPushButton::clicked, this, &T_Network::SyncByIPButtonClick);
  connect(RefreshButton, &QPushButton::clicked, this, &T_Network::RefreshButtonClick);
  connect(CloseButton, &QPushButton::clicked, this, &T_Network::CloseButtonClick);
  connect(RemoteList, &QListWidget::itemDoubleClicked, this, &T_Network::RemoteListDblClick);

  CheckPass = new QTimer(this);
  CheckPass->setObjectName(QStringLiteral("CheckPass"));
  CheckPass->setInterval(timings_.checkPassMs);
  connect(CheckPass, &QTimer::timeout, this, [this] {
    CheckPass->stop();
    PassState = 3;
    WakeWaiter();
  });
  Activity = new QTimer(this);
  Activity->setObjectName(QStringLiteral("Activity"));
  Activity->setInterval(timings_.activityMs);
  connect(Activity, &QTimer::timeout, this, [this] {
    Activity->stop();
    TimedOut = true;
    Stopped = true;
    WakeWaiter();
  });

  // FormCreate.
  ComputerName = QSysInfo::machineHostName();
  monotonic_.start();

  const QString bindText = context_.settings().GetSetting(QStringLiteral("SyncBindAddress")).trimmed();
  QHostAddress bindAddress(QHostAddress::AnyIPv4);
  if (!bindText.isEmpty() && !bindAddress.setAddress(bindText)) {
    listenError_ = Tr("The synchronization address \"%1\" is not an IP address.").arg(bindText);
    bindAddress = QHostAddress(QHostAddress::AnyIPv4);
  }
  IdUDPServer1 = new QUdpSocket(this);
  IdUDPClient1 = new QUdpSocket(this);
  if (listenError_.isEmpty()) {
    listening_ = IdUDPServer1->bind(bindAddress, port_);
    if (!listening_) listenError_ = IdUDPServer1->errorString();
  }
  if (listening_) {
    IdUDPServer1->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, ReceiveBufferBytes);
    connect(IdUDPServer1, &QUdpSocket::readyRead, this, &T_Network::IdUDPServer1UDPRead);
  }
  // With a bind address the datagrams leave from it too, so the peer answers there.
  if (!bindText.isEmpty() && listenError_.isEmpty()) IdUDPClient1->bind(bindAddress, 0);
}

T_Network::~T_Network() {
  // A wait still running (the program ends mid-exchange) must not outlive the window.
  WakeWaiter();
}

LanProtocol::Identity T_Network::Identity() const {
  TSettings& settings = context_.settings();
  LanProtocol::Identity identity;
  identity.computerName = ComputerName;
  identity.user = settings.GetSetting(QStringLiteral("SyncEMail"));
  identity.password = settings.GetSetting(QStringLiteral("SyncPass"));
  identity.enabled = settings.GetBool(QStringLiteral("EnableSync"));
  identity.allowOlder = settings.GetBool(QStringLiteral("AllowOlderPeers"));
  return identity;
}

void T_Network::Send(const QString& address, const QByteArray& bytes) {
  const QHostAddress destination(address);
  if (destination.isNull()) return;
  // A full send buffer refuses the datagram for a moment: let the loop run and try again.
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (IdUDPClient1->writeDatagram(bytes, destination, port_) >= 0) return;
    if (IdUDPClient1->error() != QAbstractSocket::TemporaryError) return;
    QEventLoop pause;
    QTimer::singleShot(1, &pause, &QEventLoop::quit);
    pause.exec();
  }
}

void T_Network::IdUDPServer1UDPRead() {
  // A bounded batch: under a steady stream the timers and the rest of the program still get
  // their turn, and the datagrams left are read when the loop comes back here.
  for (int batch = 0; batch < 256 && IdUDPServer1->hasPendingDatagrams(); ++batch) {
    const QNetworkDatagram datagram = IdUDPServer1->receiveDatagram(Lan::MaxDatagram);
    if (!datagram.isValid()) break;
    const QString sender = AddressText(datagram.senderAddress());
    const LanEvents events = protocol_.Handle(datagram.data(), sender, Identity(), monotonic_.elapsed());
    for (const LanReply& reply : events.replies) Send(reply.address, reply.bytes);
    if (events.pass == LanEvents::Pass::Accepted && PassState == 0) PassState = 2;
    if (events.pass == LanEvents::Pass::Refused && PassState == 0) PassState = 1;
    if (events.lockedOutSeconds) lockedOutSeconds_ = *events.lockedOutSeconds;
    if (events.olderPeer) olderPeer_ = true;
    if (events.refusedOlder) emit OlderPeerRefused(sender);
    if (events.disableActivity) Activity->stop();
    if (events.remoteNoteCount) RemoteNoteCount = *events.remoteNoteCount;
    if (events.remoteToDoCount) RemoteToDoCount = *events.remoteToDoCount;
    if (events.replied) Replied = true;
    if (events.lockButtons) LockButtons();
    if (events.unlockButtons && !syncing_) UnlockButtons();
    if (events.systemsChanged) {
      RemoteList->clear();
      RemoteList->addItems(protocol_.SystemLines());
    }
    if (events.merged > 0) emit CalendarMerged();
  }
  WakeWaiter();
}

void T_Network::LockButtons() {
  TimedOut = false;
  SyncButton->setEnabled(false);
  SyncByIPButton->setEnabled(false);
}

void T_Network::UnlockButtons() {
  Activity->stop();
  SyncButton->setEnabled(true);
  SyncByIPButton->setEnabled(true);
}

void T_Network::ArmActivity() {
  // Arming it while it runs keeps its interval going.
  if (!Activity->isActive()) Activity->start();
}

void T_Network::WaitUntil(const std::function<bool()>& condition) {
  if (condition()) return;
  QEventLoop loop;
  waitLoop_ = &loop;
  while (!condition()) loop.exec();
  waitLoop_ = nullptr;
}

void T_Network::WakeWaiter() {
  if (waitLoop_) waitLoop_->quit();
}

void T_Network::Progress(T_ProgressDialog& dialog, const QString* text, int percent) {
  if (text) dialog.SetText(*text);
  dialog.SetProgress(percent);
  if (ProgressObserver) ProgressObserver(dialog.DisplayLabel->text(), percent);
}

void T_Network::ShowNetwork() {
  const bool opening = !isVisible();
  show();
  if (opening) CentreOnScreen(this);
  raise();
  activateWindow();
  FormShow();
}

void T_Network::FormShow() { RefreshButtonClick(); }

void T_Network::RefreshButtonClick() {
  protocol_.ClearSystems();
  Send(QStringLiteral("255.255.255.255"), Lan::Message(Lan::DiscWord));
}

void T_Network::SyncButtonClick() {
  const int row = RemoteList->currentRow();
  if (row < 0 || row >= static_cast<int>(protocol_.Systems().size())) return;
  SyncWith(protocol_.Systems()[static_cast<size_t>(row)].Address);
}

void T_Network::RemoteListDblClick() {
  if (SyncButton->isEnabled()) SyncButtonClick();
}

void T_Network::SyncByIPButtonClick() {
  const std::optional<QString> address = context_.dialogs().InputQuery(
      Tr("Remote Address"),
      Tr("Please enter the IP Address or hostname (i.e. %1) of the system you want to synchronize with.")
          .arg(QStringLiteral("office-pc.local")),
      QString());
  if (address) SyncWith(*address);
}

void T_Network::CloseButtonClick() { hide(); }

void T_Network::SyncWith(const QString& address) {
  if (syncing_) return;
  const std::optional<QString> password = context_.dialogs().InputQuery(
      Tr("Network Password"), Tr("Please enter the remote system's synchronization password"), QString(), true);
  QString message;
  if (!password) {
    message = Tr("Synchronization Cancelled.");
    UnlockButtons();
  } else {
    message = SyncWithPassword(address, *password).message;
  }
  context_.dialogs().MessageBox(message, Tr("Orvane"), Dialogs::Buttons::Ok, Dialogs::Icon::Information);
}

T_Network::SyncResult T_Network::SyncWithPassword(const QString& address, const QString& password) {
  SyncResult result;
  if (syncing_) return result;
  const QString peer = ResolveAddress(address);
  if (peer.isEmpty()) {
    result.message = Tr("The system \"%1\" was not found on the network.").arg(address.trimmed());
    return result;
  }
  syncing_ = true;
  const auto fail = [&](const QString& message) {
    result.message = message;
    protocol_.EndExchange();
    UnlockButtons();
    syncing_ = false;
    return result;
  };

  // The password check: the challenge, with a discovery beside it that an older copy
  // answers although it does not know the challenge.
  LockButtons();
  PassState = 0;
  olderPeer_ = false;
  lockedOutSeconds_ = 0;
  const std::vector<QByteArray> hello = protocol_.BeginExchange(peer, password);
  if (hello.empty()) return fail(Tr("The password could not be prepared: not enough memory."));
  for (const QByteArray& datagram : hello) Send(peer, datagram);
  CheckPass->start();
  WaitUntil([this] { return PassState != 0 || olderPeer_; });
  if (PassState == 0 && olderPeer_) {
    // The challenge may have been lost, or be on its way behind the announcement: ask once
    // more and give it a moment before taking the peer for an older copy.
    Send(peer, hello.front());
    QTimer grace;
    grace.setSingleShot(true);
    bool graceOver = false;
    connect(&grace, &QTimer::timeout, this, [this, &graceOver] {
      graceOver = true;
      WakeWaiter();
    });
    grace.start(OlderPeerGraceMs);
    WaitUntil([&] { return PassState != 0 || graceOver || protocol_.Challenged(); });
    grace.stop();
    if (protocol_.Challenged()) WaitUntil([this] { return PassState != 0; });
  }
  if (PassState == 0 && olderPeer_) {
    if (!context_.settings().GetBool(QStringLiteral("AllowOlderPeers"))) {
      CheckPass->stop();
      return fail(
          Tr("The other computer runs an older Orvane that sends its password unprotected; update it, "
             "or turn on \"Allow older peers\" in Options."));
    }
    Send(peer, protocol_.BeginOlderCheck(password));
    CheckPass->start();
    WaitUntil([this] { return PassState != 0; });
  }
  CheckPass->stop();
  if (PassState != 2) {
    if (PassState == 3) return fail(Tr("Network timeout verifying password."));
    if (lockedOutSeconds_ > 0) {
      return fail(QCoreApplication::translate(
          "T_Network", "The other computer refuses this one for %n second(s) after several wrong passwords.", nullptr,
          lockedOutSeconds_));
    }
    return fail(Tr("Remote Password incorrect."));
  }

  Stopped = false;
  T_ProgressDialog dialog(this);
  dialog.OnCancel = [this] {
    Stopped = true;
    WakeWaiter();
  };
  const QString localText = Tr("Synchronizing Local Data");
  if (ShowProgress) dialog.show();
  Progress(dialog, &localText, 0);

  // Whether the peer takes records with their identities: a copy that knows nothing of them
  // answers with its bare count.
  if (!Stopped) {
    Replied = false;
    Send(peer, protocol_.Outgoing(Lan::Message(Lan::NoteCntWord, Lan::ExtrasAsk)));
    ArmActivity();
    WaitUntil([this] { return Replied || Stopped; });
  }
  const bool extras = protocol_.PeerTakesExtras();

  // Push every local record; nothing is awaited, but the sender pauses after every burst so
  // the receiver keeps up.
  DataFormat& calendar = context_.calendar();
  const qint64 localTotal = qint64(calendar.NoteCount()) + calendar.ToDoCount();
  qint64 done = 0;
  const auto pushed = [&](const std::optional<QByteArray>& message) {
    if (message)
      Send(peer, protocol_.Outgoing(*message));
    else
      ++result.tooLarge;
    ++done;
    Progress(dialog, nullptr, static_cast<int>(qRound(double(done) * 100.0 / double(localTotal))));
    if (done % timings_.burst == 0) {
      QEventLoop pause;
      QTimer::singleShot(timings_.pauseMs, &pause, &QEventLoop::quit);
      pause.exec();
    }
  };
  // The calendar can change under the loop (records merged from elsewhere): index by count.
  for (qint64 i = 0; i < calendar.NoteCount() && !Stopped; ++i)
    pushed(Lan::NoteMessage(calendar.NoteArray[size_t(i)], extras));
  for (qint64 i = 0; i < calendar.ToDoCount() && !Stopped; ++i)
    pushed(Lan::ToDoMessage(calendar.ToDoArray[size_t(i)], extras));

  const QString prepareText = Tr("Preparing Remote Data");
  Progress(dialog, &prepareText, 0);
  QCoreApplication::processEvents();

  // The peer's counts.
  RemoteNoteCount = 0;
  RemoteToDoCount = 0;
  for (const auto& word : {Lan::NoteCntWord, Lan::TodoCntWord}) {
    if (Stopped) break;
    Replied = false;
    Send(peer, protocol_.Outgoing(QByteArray(word, Lan::WordLength)));
    ArmActivity();
    WaitUntil([this] { return Replied || Stopped; });
  }

  // Pull every remote record.
  const QString remoteText = Tr("Synchronizing Remote Data");
  const qint64 remoteTotal = qint64(RemoteNoteCount) + RemoteToDoCount;
  done = 0;
  if (!Stopped) Progress(dialog, &remoteText, 0);
  const auto pull = [&](const QByteArray& word, quint32 count) {
    for (quint32 index = 0; index < count && !Stopped; ++index) {
      Replied = false;
      Send(peer, protocol_.Outgoing(word + Lan::IndexBytes(index)));
      ArmActivity();
      WaitUntil([this] { return Replied || Stopped; });
      ++done;
      Progress(dialog, nullptr, static_cast<int>(qRound(double(done) * 100.0 / double(remoteTotal))));
    }
  };
  pull(QByteArray(Lan::GetNoteWord, Lan::WordLength), RemoteNoteCount);
  pull(QByteArray(Lan::GetTodoWord, Lan::WordLength), RemoteToDoCount);

  // The end; its answer is awaited no longer than the activity limit.
  if (!Stopped) {
    Replied = false;
    Send(peer, protocol_.Outgoing(Lan::Message(Lan::SyncDoneWord)));
    ArmActivity();
    WaitUntil([this] { return Replied || Stopped; });
  }
  protocol_.EndExchange();
  dialog.OnCancel = nullptr;
  dialog.close();

  if (!Stopped) {
    result.complete = true;
    result.message = Tr("Synchronization Complete!");
    if (result.tooLarge > 0) {
      result.message +=
          QLatin1Char(' ') +
          QCoreApplication::translate("T_Network", "%n record(s) were too large to send.", nullptr, result.tooLarge);
    }
  } else if (TimedOut) {
    result.message = Tr("Synchronization Timed Out - Check your connection and try again.");
  } else {
    result.message = Tr("Synchronization Cancelled.");
  }
  UnlockButtons();
  syncing_ = false;
  return result;
}
