#include "network/lanpeer.h"

#include "session/appcontext.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QSysInfo>
#include <QTimer>
#include <QUdpSocket>

namespace {

// The texts keep the network window's translation context: they are its messages.
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

LanPeer::LanPeer(AppContext& context, Timings timings, quint16 port, QObject* parent)
    : QObject(parent),
      context_(context),
      timings_(timings),
      port_(port),
      protocol_(context.calendar(), timings.peerIdleMs) {
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
    connect(IdUDPServer1, &QUdpSocket::readyRead, this, &LanPeer::IdUDPServer1UDPRead);
  }
  // With a bind address the datagrams leave from it too, so the peer answers there.
  if (!bindText.isEmpty() && listenError_.isEmpty()) IdUDPClient1->bind(bindAddress, 0);
}

LanPeer::~LanPeer() {
  // A wait still running (the program ends mid-exchange) must not outlive the peer.
  WakeWaiter();
}

LanProtocol::Identity LanPeer::Identity() const {
  TSettings& settings = context_.settings();
  LanProtocol::Identity identity;
  identity.computerName = ComputerName;
  identity.user = settings.GetSetting(QStringLiteral("SyncEMail"));
  identity.password = settings.GetSetting(QStringLiteral("SyncPass"));
  identity.enabled = settings.GetBool(QStringLiteral("EnableSync"));
  identity.allowOlder = settings.GetBool(QStringLiteral("AllowOlderPeers"));
  return identity;
}

void LanPeer::Send(const QString& address, const QByteArray& bytes) {
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

void LanPeer::IdUDPServer1UDPRead() {
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
      emit SystemsChanged();
    }
    if (events.merged > 0) emit CalendarMerged();
  }
  WakeWaiter();
}

void LanPeer::LockButtons() {
  TimedOut = false;
  emit ButtonsLocked();
}

void LanPeer::UnlockButtons() {
  Activity->stop();
  emit ButtonsUnlocked();
}

void LanPeer::ArmActivity() {
  // Arming it while it runs keeps its interval going.
  if (!Activity->isActive()) Activity->start();
}

void LanPeer::WaitUntil(const std::function<bool()>& condition) {
  if (condition()) return;
  QEventLoop loop;
  waitLoop_ = &loop;
  while (!condition()) loop.exec();
  waitLoop_ = nullptr;
}

void LanPeer::WakeWaiter() {
  if (waitLoop_) waitLoop_->quit();
}

void LanPeer::Progress(const QString* text, int percent) {
  if (text) progressText_ = *text;
  emit ExchangeProgress(progressText_, percent);
  if (ProgressObserver) ProgressObserver(progressText_, percent);
}

void LanPeer::Discover() {
  protocol_.ClearSystems();
  Send(QStringLiteral("255.255.255.255"), Lan::Message(Lan::DiscWord));
}

void LanPeer::Cancel() {
  Stopped = true;
  WakeWaiter();
}

LanPeer::SyncResult LanPeer::SyncWithPassword(const QString& address, const QString& password) {
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
  const QString localText = Tr("Synchronizing Local Data");
  emit ExchangeStarted();
  Progress(&localText, 0);

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
    Progress(nullptr, static_cast<int>(qRound(double(done) * 100.0 / double(localTotal))));
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
  Progress(&prepareText, 0);
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
  if (!Stopped) Progress(&remoteText, 0);
  const auto pull = [&](const QByteArray& word, quint32 count) {
    for (quint32 index = 0; index < count && !Stopped; ++index) {
      Replied = false;
      Send(peer, protocol_.Outgoing(word + Lan::IndexBytes(index)));
      ArmActivity();
      WaitUntil([this] { return Replied || Stopped; });
      ++done;
      Progress(nullptr, static_cast<int>(qRound(double(done) * 100.0 / double(remoteTotal))));
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
  emit ExchangeEnded();

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
