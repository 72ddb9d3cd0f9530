#pragma once

// The "Orvane Network" window: finds other copies on the local network, lists them, and
// exchanges events and tasks with the one the user picks. Its listener answers other
// copies for the whole run, whether the window is shown or not.

#include "network/lanprotocol.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QHostAddress>
#include <functional>

class AppContext;
class QEventLoop;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class QUdpSocket;

// A small progress window shown without blocking its caller.
class T_ProgressDialog : public QDialog {
  Q_OBJECT
 public:
  explicit T_ProgressDialog(QWidget* parent = nullptr);
  // Into both the label and the caption.
  void SetText(const QString& text);
  // 0 to 100; repaints at once.
  void SetProgress(int percent);

  QProgressBar* Gauge1;
  QLabel* DisplayLabel;
  QPushButton* Button1;
  std::function<void()> OnCancel;
};

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

class T_Network : public QWidget {
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
  explicit T_Network(AppContext& context, Timings timings = {}, quint16 port = Lan::Port, QWidget* parent = nullptr);
  ~T_Network() override;

  // Whether the listener is open; when not, why.
  bool Listening() const { return listening_; }
  QString ListenError() const { return listenError_; }

  // Shows the window and starts a discovery (the desktop menu's command).
  void ShowNetwork();

  void FormShow();
  void RefreshButtonClick();
  void SyncButtonClick();
  void RemoteListDblClick();
  void SyncByIPButtonClick();
  void CloseButtonClick();

  // Asks for the password and exchanges with the address; the outcome is shown as a message.
  void SyncWith(const QString& address);
  // The exchange itself with a password already known: no question, no message.
  SyncResult SyncWithPassword(const QString& address, const QString& password);

  const std::vector<TSystem>& Systems() const { return protocol_.Systems(); }
  // Whether another copy is in the middle of an exchange with this one (its password was
  // accepted and it has neither ended nor gone silent).
  bool Serving() const { return protocol_.Serving(monotonic_.elapsed()); }
  // Derives the key of this copy's own password ahead of the first check (slow on purpose).
  void PrepareKey() { protocol_.PrepareKey(Identity().password); }
  // The protocol state, for tests that look at what strangers left behind.
  const LanProtocol& Protocol() const { return protocol_; }
  // Called with every progress text and figure of an exchange (tests, the command line).
  std::function<void(const QString& text, int percent)> ProgressObserver;
  // Whether an exchange shows its progress window (runs without a desktop do not).
  bool ShowProgress = true;

  QListWidget* RemoteList;
  QPushButton* SyncButton;
  QPushButton* SyncByIPButton;
  QPushButton* RefreshButton;
  QPushButton* CloseButton;
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

 private:
  void IdUDPServer1UDPRead();
  void Send(const QString& address, const QByteArray& bytes);
  void LockButtons();
  void UnlockButtons();
  void ArmActivity();
  // Runs the event loop until the condition holds (checked after every datagram and timer).
  void WaitUntil(const std::function<bool()>& condition);
  void WakeWaiter();
  void Progress(T_ProgressDialog& dialog, const QString* text, int percent);
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
  // The peer of the running exchange showed itself as an older copy; or refused us for a while.
  bool olderPeer_ = false;
  int lockedOutSeconds_ = 0;
};
