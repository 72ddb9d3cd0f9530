// The panel under a real window manager (openbox) on the private X server: it stays out of
// task bars and pagers, below other windows, on every virtual desktop, and keeps all of that
// when it is brought back (the tray icon, a second start).

#include "core/memorykeystore.h"
#include "desktop/desktopwindow.h"
#include "desktop/displayfunctions.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "session/appcontext.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"
#include "x11session.h"

#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace x11test;

constexpr quint32 AllDesktops = 0xFFFFFFFFu;

class X11WindowManager : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ServerRunning()) GTEST_SKIP() << qPrintable(ServerProblem());
    wm = StartOpenbox();
    if (wm->missing()) GTEST_SKIP() << qPrintable(wm->problem());
    ASSERT_TRUE(wm->problem().isEmpty()) << qPrintable(wm->problem());
    context = std::make_unique<AppContext>(std::make_unique<FixedClock>(DT(2026, 12, 7, 9, 0)),
                                           std::make_unique<ScriptedDialogs>(), std::make_unique<MemoryKeyStore>());
    PainterStartup(*context);
    panel = std::make_unique<T_DesktopWindow>(*context, screens, sound);
    panel->KeepsQuickNotesFile = false;
  }
  void TearDown() override {
    if (context) PainterShutdown(*context);
    panel.reset();
    wm.reset();
  }

  xcb_window_t Window() const { return static_cast<xcb_window_t>(panel->winId()); }
  // The window manager has taken the window on (it tells the frame's size).
  bool Managed() const { return !Property(Window(), "_NET_FRAME_EXTENTS").empty(); }
  bool OnEveryDesktop() const {
    return HasAtom(Window(), "_NET_WM_STATE", "_NET_WM_STATE_STICKY") ||
           Property(Window(), "_NET_WM_DESKTOP") == std::vector<quint32>{AllDesktops};
  }
  bool KeptOutOfTheWay() const {
    return HasAtom(Window(), "_NET_WM_STATE", "_NET_WM_STATE_BELOW") &&
           HasAtom(Window(), "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR") &&
           HasAtom(Window(), "_NET_WM_STATE", "_NET_WM_STATE_SKIP_PAGER") && OnEveryDesktop();
  }
  void ExpectPanelState(const char* when) {
    // The window manager answers in its own time; waiting is not what is tested.
    WaitFor([this] { return KeptOutOfTheWay(); }, 3000);
    EXPECT_TRUE(HasAtom(Window(), "_NET_WM_STATE", "_NET_WM_STATE_BELOW")) << when;
    EXPECT_TRUE(HasAtom(Window(), "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR")) << when;
    EXPECT_TRUE(HasAtom(Window(), "_NET_WM_STATE", "_NET_WM_STATE_SKIP_PAGER")) << when;
    EXPECT_TRUE(OnEveryDesktop()) << when << ": _NET_WM_DESKTOP "
                                  << (Property(Window(), "_NET_WM_DESKTOP").empty()
                                          ? -1
                                          : static_cast<qint64>(Property(Window(), "_NET_WM_DESKTOP")[0]));
  }

  std::unique_ptr<DesktopProgram> wm;
  TempHome home;
  FixedScreens screens;
  SilentSound sound;
  std::unique_ptr<AppContext> context;
  std::unique_ptr<T_DesktopWindow> panel;
};

TEST_F(X11WindowManager, PanelStaysOutOfTaskBarsAndPagersOnEveryDesktop) {
  panel->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
  ASSERT_TRUE(WaitFor([this] { return Managed(); }));
  ExpectPanelState("first show");
}

TEST_F(X11WindowManager, BringingThePanelBackKeepsItOnEveryDesktop) {
  panel->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
  ASSERT_TRUE(WaitFor([this] { return Managed() && OnEveryDesktop(); }));
  // The tray icon's press and a second start of the program both bring the panel back.
  for (int time = 1; time <= 2; ++time) {
    panel->BringBack();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    ASSERT_TRUE(WaitFor([this] { return Managed(); }));
    QTest::qWait(200);  // let the window manager finish with the window
    ExpectPanelState(time == 1 ? "brought back" : "brought back twice");
  }
}

}  // namespace
