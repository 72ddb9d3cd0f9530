// The panel's run as the main sequence makes it: every menu command of every window reaches
// a window or a page, none is hidden for want of a hook.
#include "app/panelwindows.h"
#include "core/memorykeystore.h"
#include "desktop/trayicon.h"
#include "network/fakecalendarserver.h"
#include "platform/sound.h"
#include "session/appcontext.h"
#include "support/fakeservices.h"
#include "support/recordingshell.h"
#include "support/screenshot.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QMenuBar>
#include <QTest>

namespace {

// The hidden actions of a menu bar or menu and of all the menus under it, separators left out.
QStringList HiddenActions(const QList<QAction*>& actions) {
  QStringList hidden;
  for (QAction* action : actions) {
    if (action->isSeparator()) continue;
    if (!action->isVisible()) hidden << action->objectName();
    if (action->menu()) hidden << HiddenActions(action->menu()->actions());
  }
  return hidden;
}

TEST(PanelWindows, EveryMenuCommandOfEveryWindowIsWired) {
  EnsureApplication();
  TempHome home;
  auto store = std::make_unique<MemoryKeyStore>();
  // No weather fetch and a sync menu entry to show; nothing leaves this machine.
  store->OpenKey(QStringLiteral("\\Software\\Orvane"), true);
  for (const char* setting : {"DisplayWeather=0", "EnableSync=-1", "WeatherHost=127.0.0.1:9", "Title=Default"}) {
    store->WriteString(QString::fromLatin1(setting).section('=', 0, 0), QString::fromLatin1(setting).section('=', 1));
  }
  store->CloseKey();
  AppContext context(std::make_unique<FixedClock>(DT(2026, 12, 2, 9, 30)), std::make_unique<ScriptedDialogs>(),
                     std::move(store));
  context.LoadSettings(std::make_unique<FixedScreens>(), TSettings::Mode::ThisRunOnly);
  FixedScreens screens;
  SilentSound alarm, preview;
  RecordingShell shell;
  FakeNetworkPresence network(false);
  PanelWindows panel(context, PanelServices{screens, alarm, preview, shell, network, 0});
  // Without the weather shown there is no weather keeper; the first paint that shows it
  // makes one, and paints its report.
  EXPECT_EQ(context.weather(), nullptr);
  context.settings().SetSetting(QStringLiteral("DisplayWeather"), QStringLiteral("-1"));
  panel.desktop.DisplaySettingsChanged();
  ASSERT_NE(context.weather(), nullptr);
  EXPECT_EQ(panel.desktop.painter().Weather, &context.weather()->Report());

  for (QMenuBar* bar : {panel.toDo().menuBar(), panel.month().menuBar()})
    EXPECT_EQ(HiddenActions(bar->actions()), QStringList());

  // The panel's own menu, opened over the panel's title: the items that stand for other
  // windows or pages are all there.
  panel.desktop.PopupMenuPopup(panel.desktop.mapToGlobal(QPoint(5, 5)));
  const QStringList hidden = HiddenActions(panel.desktop.PopupMenu->actions());
  for (const char* name :
       {"NewItem1", "NewTask1", "PrintCalendarofEvents1", "OpenCalendar1", "OpenToDo1", "OrvaneHelp1", "AboutOrvane1",
        "Feedback1", "OrvaneWebsite1", "Options1", "LoadTheme1", "NetworkItem", "Help1"}) {
    EXPECT_FALSE(hidden.contains(QString::fromLatin1(name))) << name;
  }

  // Every hook by which one window reaches another is filled in.
  const AppWindows& w = context.windows();
#define HOOK(name) \
  std::pair { #name, bool(w.name) }
  const std::pair<const char*, bool> hooks[] = {
      HOOK(NewEvent),         HOOK(NewEventTitled),  HOOK(ViewEvent),
      HOOK(NewTask),          HOOK(ViewTask),        HOOK(ShowToDo),
      HOOK(ShowMonth),        HOOK(ShowMonthFilled), HOOK(ShowMonthDay),
      HOOK(ShowPrint),        HOOK(ShowNetwork),     HOOK(ShowOptions),
      HOOK(ShowThemeSelect),  HOOK(ShowHelp),        HOOK(ShowAbout),
      HOOK(CheckForUpdates),  HOOK(RepaintDesktop),  HOOK(DisplaySettingsChanged),
      HOOK(HideOtherWindows), HOOK(OpenContactPage), HOOK(OpenWebsite)};
#undef HOOK
  for (const auto& [name, set] : hooks) EXPECT_TRUE(set) << name;

  // The Help menus of the panel, the month and the to-do window reach the same pages.
  for (QWidget* window : std::initializer_list<QWidget*>{&panel.desktop, &panel.month(), &panel.toDo()}) {
    shell.opened.clear();
    window->findChild<QAction*>(QStringLiteral("Feedback1"))->trigger();
    window->findChild<QAction*>(QStringLiteral("OrvaneWebsite1"))->trigger();
    ASSERT_EQ(shell.opened.size(), 2u) << window->objectName().toStdString();
    EXPECT_EQ(shell.opened[0].path(), QStringLiteral("/contact.php"));
    EXPECT_EQ(shell.opened[1].path(), QStringLiteral("/"));
  }

  // The to-do window's New Task opens the one task editor, whose Save has the list rebuilt.
  panel.toDo().NeedsRefresh = false;
  panel.toDo().NewToDo1->trigger();
  EXPECT_TRUE(panel.taskForm().isVisible());
  emit panel.taskForm().Saved();
  EXPECT_TRUE(panel.toDo().NeedsRefresh);

  // Hiding the panel takes the other windows with it.
  panel.desktop.show(), panel.month().show(), panel.toDo().show();
  panel.desktop.Hide1->trigger();
  EXPECT_FALSE(panel.month().isVisible() || panel.toDo().isVisible());
}

// A calendar server that cannot be reached shows on the panel and in the tray, never as a
// question; its menu item is there only while an account is set, and runs a sync at once.
TEST(PanelWindows, TheCalendarServerShowsInTheMenuTheTitleRowAndTheTrayTip) {
  EnsureApplication();
  TempHome home;
  AppContext context(std::make_unique<FixedClock>(DT(2026, 12, 2, 10, 45)), std::make_unique<ScriptedDialogs>(),
                     std::make_unique<MemoryKeyStore>());
  context.LoadSettings(std::make_unique<FixedScreens>(), TSettings::Mode::ThisRunOnly);
  context.settings().SetBool(QStringLiteral("DisplayWeather"), false);
  context.settings().SetInt(QStringLiteral("TrayIconType"), 1);
  LoadDisplaySettings(context.settings(), context.display());
  FixedScreens screens;
  SilentSound alarm, preview;
  RecordingShell shell;
  FakeNetworkPresence network(false);
  PanelWindows panel(context, PanelServices{screens, alarm, preview, shell, network, 0});
  int runs = 0;
  QObject::connect(&panel.serverSync, &ServerSync::Finished, [&] { ++runs; });
  panel.serverSync.MakeServer = [](const ServerAccount&, const QString&) {
    auto server = std::make_unique<FakeCalendarServer>();
    server->interfere = [](const QByteArray&, const QString&, bool&) -> std::optional<ServerAnswer> {
      ServerAnswer answer;
      answer.error = QStringLiteral("host unreachable");
      return answer;
    };
    return server;
  };
  panel.serverSync.LoadPassword = [](const ServerAccount&, ServerSync::PasswordDone done) {
    done(QStringLiteral("secret"), serverpassword::Place::SecretStore, QString());
  };

  QAction* item = panel.desktop.SynchronizewithServer1;
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text(), QStringLiteral("Synchronize with Server"));
  panel.desktop.PopupMenuPopup(panel.desktop.mapToGlobal(QPoint(5, 5)));
  EXPECT_FALSE(item->isVisible());

  context.settings().SetSetting(ServerAccount::UrlSetting, QStringLiteral("https://dav.example/"));
  context.settings().SetSetting(ServerAccount::UserSetting, QStringLiteral("alice"));
  context.settings().SetSetting(ServerAccount::CalendarSetting, QStringLiteral("/alice/orvane/"));
  panel.serverSync.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return runs == 1; }, 10000));
  EXPECT_TRUE(panel.desktop.painter().ServerFailing);
  EXPECT_TRUE(panel.desktop.TrayIcon->ToolTip().endsWith(QStringLiteral("\nServer unreachable since 10:45")))
      << panel.desktop.TrayIcon->ToolTip().toStdString();
  panel.desktop.PopupMenuPopup(panel.desktop.mapToGlobal(QPoint(5, 5)));
  EXPECT_TRUE(item->isVisible());
  item->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return runs == 2; }, 10000));
  SaveScreenshot(panel.desktop.RenderOver(QImage()), QStringLiteral("panel-server-unreachable"));
}

}  // namespace
