#pragma once

// One copy's side of the LAN synchronisation, without a window: the listener that answers
// other copies for the whole run, the discovery of the copies on the network, and the
// exchange of the active side. The network window shows it; `orvane listen` and
// `orvane lan-sync` run it alone.

#include "network/lanprotocol.h"

#include <QElapsedTimer>
#include <QObject>
#include <functional>

class AppContext;
class QEventLoop;
class QTimer;
class QUdpSocket;

// How long the LAN waits last; tests make them short.
struct LanTimings {
  int checkPassMs = 3000;
  int activityMs = 5000;
  int peerIdleMs = 30000;
  // The push lets the event loop (and the receiver) run after every burst of this many
  // datagrams, for pauseMs.
  int burst = 16;
  int pauseMs = 1;
};

class LanPeer : public QObject {
  Q_OBJECT
 public:
  using Timings = LanTimings;
  // How an exchange of the active side ended.
  struct SyncResult {
    QString message;
    bool complete = false;
    int tooLarge = 0;
  };

  // Opens the listener on the port (at the SyncBindAddress setting, all addresses when empty).
  explicit LanPeer(AppContext& context, Timings timings = {}, quint16 port = Lan::Port, QObject* parent = nullptr);
  ~LanPeer() override;

  // Whether the listener is open; when not, why.
  bool Listening() const { return listening_; }
  QString ListenError() const { return listenError_; }

  // Asks every copy on the network to show itself; the list of systems starts again.
  void Discover();
  // The exchange with the address, the password already known. Its progress is reported
  // between ExchangeStarted and ExchangeEnded.
  SyncResult SyncWithPassword(const QString& address, const QString& password);
  // Whether an exchange of the active side runs.
  bool Syncing() const { return syncing_; }
  // Stops the running exchange (its progress window's Cancel).
  void Cancel();

  const std::vector<TSystem>& Systems() const { return protocol_.Systems(); }
  QStringList SystemLines() const { return protocol_.SystemLines(); }
  // Whether another copy is in the middle of an exchange with this one (its password was
  // accepted and it has neither ended nor gone silent).
  bool Serving() const { return protocol_.Serving(monotonic_.elapsed()); }
  // Derives the key of this copy's own password ahead of the first check (slow on purpose).
  void PrepareKey() { protocol_.PrepareKey(Identity().password); }
  // The protocol state, for tests that look at what strangers left behind.
  const LanProtocol& Protocol() const { return protocol_; }
  // Called with every progress text and figure of an exchange (tests, the command line).
  std::function<void(const QString& text, int percent)> ProgressObserver;

  // An exchange begins (another copy's or ours): the window's synchronize buttons lock; and
  // it ended: they unlock and the activity limit stops.
  void LockButtons();
  void UnlockButtons();

  QTimer* CheckPass;
  QTimer* Activity;

  quint32 RemoteNoteCount = 0;
  quint32 RemoteToDoCount = 0;
  QString ComputerName;
  int PassState = 0;  // 0 waiting, 1 refused, 2 accepted, 3 no answer
  bool Replied = false;
  bool TimedOut = false;
  bool Stopped = false;

 signals:
  // The calendar changed through records received (the desktop repaints).
  void CalendarMerged();
  // A copy at the address tried the older, unprotected password check and was refused.
  void OlderPeerRefused(const QString& address);
  // The copies found changed (SystemLines).
  void SystemsChanged();
  // The synchronize buttons lock and unlock (LockButtons, UnlockButtons).
  void ButtonsLocked();
  void ButtonsUnlocked();
  // The pushing and pulling of records: begins once the password was accepted, goes on with
  // a text and a figure from 0 to 100, and ends.
  void ExchangeStarted();
  void ExchangeProgress(const QString& text, int percent);
  void ExchangeEnded();

 private:
  void IdUDPServer1UDPRead();
  void Send(const QString& address, const QByteArray& bytes);
  void ArmActivity();
  // Runs the event loop until the condition holds (checked after every datagram and timer).
  void WaitUntil(const std::function<bool()>& condition);
  void WakeWaiter();
  void Progress(const QString* text, int percent);
  LanProtocol::Identity Identity() const;

  AppContext& context_;
  Timings timings_;
  quint16 port_;
  LanProtocol protocol_;
  QUdpSocket* IdUDPServer1;
  QUdpSocket* IdUDPClient1;
  bool listening_ = false;
  QString listenError_;
  QElapsedTimer monotonic_;
  QEventLoop* waitLoop_ = nullptr;
  bool syncing_ = false;
  QString progressText_;
  // The peer of the running exchange showed itself as an older copy; or refused us for a while.
  bool olderPeer_ = false;
  int lockedOutSeconds_ = 0;
};
