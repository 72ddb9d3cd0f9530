// The panel's side of the calendar server's synchronisation: "Synchronize with Server" in its
// menu (which the tray opens too) while an account is set, a mark on the title row while the
// synchronisation fails, and a line in the tray's tip. Nothing here ever asks the user.
#include "desktop/desktopwindow.h"
#include "desktop/trayicon.h"
#include "network/serversync.h"

#include <QAction>
#include <QMenu>

void T_DesktopWindow::SetServerSync(ServerSync* sync) {
  serverSync_ = sync;
  if (!SynchronizewithServer1) {
    SynchronizewithServer1 = new QAction(tr("Synchronize with Server"), PopupMenu);
    SynchronizewithServer1->setObjectName(QStringLiteral("SynchronizewithServer1"));
    SynchronizewithServer1->setVisible(false);
    PopupMenu->insertAction(N5, SynchronizewithServer1);
    connect(SynchronizewithServer1, &QAction::triggered, this, [this] {
      if (serverSync_) serverSync_->SyncNow();
    });
  }
  if (!sync) return;
  connect(sync, &ServerSync::StatusChanged, this, [this] {
    const bool failing = serverSync_ && serverSync_->HasAccount() && serverSync_->Failing();
    UpdateTrayIcon();
    if (painter_.ServerFailing != failing) {
      painter_.ServerFailing = failing;
      FormPaint();
    }
  });
  connect(sync, &ServerSync::CalendarChanged, this, &T_DesktopWindow::FormPaint);
}

void T_DesktopWindow::PrepareServerItem() {
  if (SynchronizewithServer1) SynchronizewithServer1->setVisible(serverSync_ && serverSync_->HasAccount());
}

QString T_DesktopWindow::ServerStatusLine() const { return serverSync_ ? serverSync_->StatusLine() : QString(); }
