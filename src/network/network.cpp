#include "network/network.h"

#include "platform/windowfit.h"
#include "session/appcontext.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("T_Network", text); }

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
    : QWidget(parent, Qt::Dialog), context_(context), peer_(context, timings, port) {
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

  connect(&peer_, &LanPeer::CalendarMerged, this, &T_Network::CalendarMerged);
  connect(&peer_, &LanPeer::SystemsChanged, this, [this] {
    RemoteList->clear();
    RemoteList->addItems(peer_.SystemLines());
  });
  connect(&peer_, &LanPeer::ButtonsLocked, this, [this] {
    SyncButton->setEnabled(false);
    SyncByIPButton->setEnabled(false);
  });
  connect(&peer_, &LanPeer::ButtonsUnlocked, this, [this] {
    SyncButton->setEnabled(true);
    SyncByIPButton->setEnabled(true);
  });
  connect(&peer_, &LanPeer::ExchangeStarted, this, [this] {
    progress_ = std::make_unique<T_ProgressDialog>(this);
    progress_->OnCancel = [this] { peer_.Cancel(); };
    progress_->show();
  });
  connect(&peer_, &LanPeer::ExchangeProgress, this, [this](const QString& text, int percent) {
    if (!progress_) return;
    if (progress_->DisplayLabel->text() != text) progress_->SetText(text);
    progress_->SetProgress(percent);
  });
  connect(&peer_, &LanPeer::ExchangeEnded, this, [this] {
    if (!progress_) return;
    progress_->OnCancel = nullptr;
    progress_->close();
    progress_.reset();
  });
}

T_Network::~T_Network() = default;

void T_Network::ShowNetwork() {
  const bool opening = !isVisible();
  show();
  if (opening) CentreOnScreen(this);
  raise();
  activateWindow();
  FormShow();
}

void T_Network::FormShow() { RefreshButtonClick(); }

void T_Network::RefreshButtonClick() { peer_.Discover(); }

void T_Network::SyncButtonClick() {
  const int row = RemoteList->currentRow();
  if (row < 0 || row >= static_cast<int>(peer_.Systems().size())) return;
  SyncWith(peer_.Systems()[static_cast<size_t>(row)].Address);
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
  if (peer_.Syncing()) return;
  const std::optional<QString> password = context_.dialogs().InputQuery(
      Tr("Network Password"), Tr("Please enter the remote system's synchronization password"), QString(), true);
  QString message;
  if (!password) {
    message = Tr("Synchronization Cancelled.");
    peer_.UnlockButtons();
  } else {
    message = peer_.SyncWithPassword(address, *password).message;
  }
  context_.dialogs().MessageBox(message, Tr("Orvane"), Dialogs::Buttons::Ok, Dialogs::Icon::Information);
}
