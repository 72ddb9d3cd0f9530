#pragma once

#include "network/calendarserver.h"

#include <QWidget>
#include <functional>
#include <memory>

class AppContext;
class CalendarServer;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class ServerSync;
struct ServerAccount;

// The options' "Calendar Server" page: the server's address, the user name and password;
// Connect looks for the user's calendars (without waiting: the answer fills the list when it
// comes), and "Use This Calendar" keeps the password in the desktop's secret store (or, where
// none runs and the user agrees, in a file only the user can read), makes the calendar
// "Orvane" where the server allows it and the user chose that, and sets the account. A
// certificate that cannot be verified is trusted, by its fingerprint, and a calendar home on
// another host is used, only when the user agrees when asked. Remove
// Account forgets it. The page changes the account at once, apart from the dialog's Save
// and Cancel, which are about the panel's settings.
class ServerPage : public QWidget {
  Q_OBJECT

 public:
  explicit ServerPage(AppContext& context, QWidget* parent = nullptr);
  ~ServerPage() override;

  // The running synchronisation, told when the account changes, whose state the page shows.
  void SetServerSync(ServerSync* sync);
  // The client for an account (its address, user and trust) and password: the CalDAV client
  // unless replaced (tests).
  std::function<std::unique_ptr<CalendarServer>(const ServerAccount&, const QString& password)> MakeClient;
  // Keeps the password (serverpassword::Store unless replaced): ok, or the error.
  std::function<bool(const QString& key, const QString& password, bool fileAllowed, QString& error)> StorePassword;
  std::function<void(const QString& key)> ForgetPassword;

  // Fills the controls from the settings (each time the options are shown).
  void LoadAccount();

  void ServerConnectClick();
  void ServerUseClick();
  void ServerRemoveClick();

  QLineEdit* ServerUrl = nullptr;
  QLineEdit* ServerUser = nullptr;
  QLineEdit* ServerPassword = nullptr;
  QPushButton* ServerConnect = nullptr;
  QComboBox* ServerCalendar = nullptr;
  QComboBox* ServerTasks = nullptr;  // "With the events", then the account's task lists
  QSpinBox* ServerInterval = nullptr;
  QPushButton* ServerUse = nullptr;
  QPushButton* ServerRemove = nullptr;
  QLabel* ServerState = nullptr;

 private:
  // Looks for the calendars with what the user agreed to so far.
  void Discover();
  void Found(const ServerAnswer& answer);
  // A calendar here meets a calendar on the server for the first time: what the first
  // synchronisation will find is shown, and a backup written, before the account is set.
  void Compare(const ServerCollection& collection);
  void FetchAll(const ServerCollection& collection, QStringList paths, QList<ServerItem> items);
  void Use(const ServerCollection& collection, bool backedUp = false);
  void Done();
  void ShowState(const QString& text = QString());
  QUrl Address() const;

  AppContext& context_;
  ServerSync* sync_ = nullptr;
  std::unique_ptr<CalendarServer> client_;
  QString home_;
  QString certificate_;                  // the fingerprint of a certificate the user trusts
  QString calendarHost_;                 // another host the user agreed to send the password to
  QString foundHost_;                    // the other host the calendars found are on
  QList<ServerCollection> collections_;  // the entries of ServerCalendar; a new one has no path
  QStringList taskLists_;                // the entries of ServerTasks: empty for the first
  bool busy_ = false;
};
