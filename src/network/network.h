#pragma once

// The "Orvane Network" window: finds other copies on the local network, lists them, and
// exchanges events and tasks with the one the user picks. Its listener answers other
// copies for the whole run, whether the window is shown or not.

#include "network/lanpeer.h"

#include <QDialog>
#include <functional>
#include <memory>

class AppContext;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

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

class T_Network : public QWidget {
  Q_OBJECT
 public:
  using Timings = LanTimings;
  using SyncResult = LanPeer::SyncResult;

  // Opens the listener on the port (at the SyncBindAddress setting, all addresses when empty).
  explicit T_Network(AppContext& context, Timings timings = {}, quint16 port = Lan::Port, QWidget* parent = nullptr);
  ~T_Network() override;

  // The listener and the exchanges behind the window.
  LanPeer& Peer() { return peer_; }

  // Whether the listener is open; when not, why.
  bool Listening() const { return peer_.Listening(); }
  QString ListenError() const { return peer_.ListenError(); }

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
  SyncResult SyncWithPassword(const QString& address, const QString& password) {
    return peer_.SyncWithPassword(address, password);
  }

  const std::vector<TSystem>& Systems() const { return peer_.Systems(); }
  bool Serving() const { return peer_.Serving(); }

  QListWidget* RemoteList;
  QPushButton* SyncButton;
  QPushButton* SyncByIPButton;
  QPushButton* RefreshButton;
  QPushButton* CloseButton;

 signals:
  // The calendar changed through records received (the desktop repaints).
  void CalendarMerged();

 private:
  AppContext& context_;
  LanPeer peer_;
  // Shown while an exchange of the active side pushes and pulls records.
  std::unique_ptr<T_ProgressDialog> progress_;
};
