// The desktop window: the heartbeat (alarms with their catch-up, saving), placement on first
// start and after the settings or the screen change, sizing and moving by the mouse, and the
// quick-notes file.

#include "desktop/desktopwindow.h"
#include "desktop/alarmbox.h"
#include "desktop/alarmpresenter.h"
#include "panelfixture.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "settings/settings.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

namespace {

// Records what it was asked to play, and how many messages were up when it was.
class RecordingSound : public Sound {
 public:
  explicit RecordingSound(const ScriptedDialogs& d) : dialogs(d) {}
  void Play(const QString& path) override { played.push_back({path, dialogs.asked().size()}); }
  void Stop() override {}
  const ScriptedDialogs& dialogs;
  std::vector<std::pair<QString, size_t>> played;
};

class DesktopWindowTest : public ::testing::Test {
 protected:
  DesktopWindowTest() : ctx(DT(2024, 3, 15, 13, 59, 58)), sound(*ctx.dialogs) { PainterStartup(*ctx.context); }

  void AlarmAt(TDateTime time, const QString& title) {
    TNote& note = ctx.calendar().NoteArray[static_cast<size_t>(AddEvent(ctx.calendar(), D(2024, 3, 15), title, time))];
    note.Alarm = true, note.AlarmTime = time, note.Notes = QStringLiteral("Room 4");
  }
  void Set(const char* key, int value) { ctx.context->settings().SetInt(QLatin1String(key), value); }
  void Tick(T_DesktopWindow& window, double seconds) {
    ctx.clock->Advance(seconds / SecsPerDay);
    window.Timer1Timer();
  }

  TempHome home;
  PanelContext ctx;
  FixedScreens screens;  // 1920 x 1080 with a 40-pixel panel at the bottom
  RecordingSound sound;
};

TEST_F(DesktopWindowTest, LateTickRaisesEachAlarmOnceAndNeverTwiceNorOnesFromBeforeTheStart) {
  AlarmAt(EncodeTime(13, 50, 0), QStringLiteral("Earlier"));
  AlarmAt(EncodeTime(14, 0, 30), QStringLiteral("Standup"));
  AlarmAt(EncodeTime(14, 1, 0), QStringLiteral("Review"));
  ctx.display().AlarmEnabled = true;
  ctx.display().AlarmSound = QStringLiteral("/sounds/chime.wav");
  T_DesktopWindow window(*ctx.context, screens, sound);
  // The next tick comes 92 seconds late and both alarms are due: one box lists them (no
  // question is asked: an unexpected one fails the test).
  Tick(window, 92);
  QCoreApplication::processEvents();
  const T_AlarmBox* box = window.Alarms().Box();
  ASSERT_TRUE(box && box->isVisible());
  EXPECT_EQ(box->windowTitle(), QStringLiteral("Orvane Alarm"));
  ASSERT_EQ(box->AlarmList->count(), 2);
  EXPECT_EQ(box->AlarmList->item(0)->text(), QStringLiteral("2:00 PM Standup\nRoom 4"));
  EXPECT_EQ(box->AlarmList->item(1)->text(), QStringLiteral("2:01 PM Review\nRoom 4"));
  // The sound plays once for the two, after the box is up.
  ASSERT_EQ(sound.played.size(), 1u);
  EXPECT_EQ(sound.played[0].first, QStringLiteral("/sounds/chime.wav"));
  for (int i = 0; i < 3; ++i) Tick(window, 5);
  EXPECT_EQ(box->AlarmList->count(), 2);
  EXPECT_EQ(sound.played.size(), 1u);
}

TEST_F(DesktopWindowTest, AlarmShowsWithTheSoundOffAndWithoutAnAudioDevice) {
  QtSound noDevice([] { return false; });
  for (const bool enabled : {false, true}) {
    ctx.clock->Advance(600 / SecsPerDay);  // the alarm of the round before is long past
    AlarmAt(ctx.clock->Now() - D(2024, 3, 15) + EncodeTime(0, 0, 4), QStringLiteral("Standup"));
    ctx.display().AlarmEnabled = enabled;
    ctx.display().AlarmSound = qEnvironmentVariable("ORVANE_SOURCE_DIR") + QStringLiteral("/data/Alarms/Alarm1.wav");
    T_DesktopWindow window(*ctx.context, screens, enabled ? static_cast<Sound&>(noDevice) : sound);
    Tick(window, 5);
    QCoreApplication::processEvents();
    ASSERT_TRUE(window.Alarms().Box());
    EXPECT_TRUE(window.Alarms().Box()->isVisible());
  }
  EXPECT_TRUE(sound.played.empty()) << "no sound while switched off";
  EXPECT_EQ(noDevice.LastOutcome(), QtSound::Outcome::NoDevice);
}

TEST_F(DesktopWindowTest, TickSavesTheCalendarHoldingItWhileAPeerTalksAtMostFiveSeconds) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  bool held = false;
  window.HoldSave = [&held] { return held; };
  for (const bool peer : {false, true}) {
    held = peer;
    AddEvent(ctx.calendar(), D(2024, 3, 16), QStringLiteral("Merged"));
    window.Timer1Timer();
    EXPECT_EQ(ctx.calendar().DataChanged, peer);
  }
  held = false;
  window.Timer1Timer();
  EXPECT_FALSE(ctx.calendar().DataChanged) << "saved once the peer is done";
  held = true;
  // A peer that keeps talking: each merge is held from its own first tick for five seconds.
  for (const int day : {17, 18}) {
    AddEvent(ctx.calendar(), D(2024, 3, day), QStringLiteral("Merged later"));
    window.Timer1Timer();
    Tick(window, 4.9);
    EXPECT_TRUE(ctx.calendar().DataChanged) << day;
    Tick(window, 0.1);
    EXPECT_FALSE(ctx.calendar().DataChanged) << day;
    ctx.clock->Advance(5 / SecsPerDay);
  }
}

// First start: at the top right. Previewed widths keep the right edge of a panel docked
// right. The options dialog stores another place (another monitor, or the place before a
// preview): the panel goes there when it reloads the settings, not at the next drag.
TEST_F(DesktopWindowTest, FirstStartAtTheTopRightPreviewsKeepTheDockedEdgeAndReloadedPlacesMoveThePanel) {
  FixedScreens two({Monitor{QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040), true},
                    Monitor{QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 1024), false}});
  T_DesktopWindow window(*ctx.context, two, sound);
  int checks = 0;
  window.RunUpdateCheck = [&checks] { ++checks; };
  window.show();
  EXPECT_EQ(window.geometry().topRight(), QPoint(1919, 0));
  ASSERT_TRUE(ctx.display().dockRight);
  for (int width : {400, 150, 220}) {  // wider, narrower, and back as after Cancel
    Set("Width", width);
    window.DisplaySettingsChanged();
    EXPECT_EQ(window.geometry(), QRect(1920 - width, 0, width, window.height())) << width;
  }
  Set("Monitor", 1), Set("DesktopLeft", 3200 - 220), Set("DesktopTop", 30);
  window.DisplaySettingsChanged();
  EXPECT_EQ(window.pos(), QPoint(3200 - 220, 30));
  EXPECT_EQ(ctx.context->settings().GetInt(QStringLiteral("DesktopLeft")), 3200 - 220);
  // The update check runs on its timer while it is switched on.
  window.UpdateCheckTimer();
  ctx.display().EnableAutoUpdate = false;
  window.FormPaint();
  EXPECT_FALSE(window.UpdateCheck->isActive());
  window.UpdateCheckTimer();
  EXPECT_EQ(checks, 1);
  window.hide();
}

// Docked to the right at the last start, before the content needed scrolling: the scroll bar
// stays on the screen, and goes again with the room. Docked to the bottom right of a 1080-pixel
// screen, the panel stays inside the same screen at 200% and returns to its edges at 100%.
TEST_F(DesktopWindowTest, StoredPlacesInScrollModeAndOnAScaledScreenStayOnTheScreenAndOnTheirEdges) {
  const auto store = [this](QRect place, bool dockBottom, int maxHeight) {
    Set("DesktopLeft", place.x()), Set("DesktopTop", place.y()), Set("LastWidth", place.width());
    Set("LastHeight", place.height()), Set("dockBottom", -dockBottom), Set("dockRight", -1);
    Set("MaxHeight", maxHeight);
    LoadDisplaySettings(ctx.context->settings(), ctx.display());
  };
  for (int i = 0; i < 12; ++i) AddEvent(ctx.calendar(), D(2024, 3, 15), QStringLiteral("Event %1").arg(i));
  store(QRect(1700, 0, 220, 10 * 21), false, 10);
  {
    T_DesktopWindow window(*ctx.context, screens, sound);
    window.KeepsQuickNotesFile = false;
    window.show();
    window.FormPaint();
    EXPECT_TRUE(window.painter().ScrollMode);
    EXPECT_EQ(window.geometry(), QRect(1920 - 235, 0, 235, 10 * 21));
    Set("MaxHeight", 40);
    window.DisplaySettingsChanged();
    EXPECT_FALSE(window.painter().ScrollMode);
    EXPECT_EQ(window.geometry(), QRect(1920 - 220, 0, 220, window.height()));
  }
  for (int i = 12; i < 30; ++i) AddEvent(ctx.calendar(), D(2024, 3, 15), QStringLiteral("Event %1").arg(i));
  store(QRect(1700, 1040 - 40 * 21, 220, 40 * 21), true, 49);
  FixedScreens scaled({Monitor{QRect(0, 0, 960, 540), QRect(0, 0, 960, 520), true}});
  for (Screens* on : {static_cast<Screens*>(&scaled), static_cast<Screens*>(&screens)}) {
    T_DesktopWindow window(*ctx.context, *on, sound);
    window.KeepsQuickNotesFile = false;
    window.show();
    window.FormPaint();
    if (on == &scaled) {
      EXPECT_TRUE(QRect(0, 0, 960, 520).contains(window.geometry())) << window.geometry().y();
      EXPECT_EQ(window.geometry().right(), 959);
      EXPECT_TRUE(window.painter().ScrollMode);
    } else {
      EXPECT_EQ(window.geometry().bottomRight(), QPoint(1919, 1039));
    }
  }
}

TEST_F(DesktopWindowTest, TheMouseMovesAndSnapsByTheTitleRowAndSizesByTheEdges) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.show();
  const auto mouse = [&window](QEvent::Type type, QPoint local, QPoint global) {
    QMouseEvent event(type, QPointF(local), QPointF(global), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &event);
  };
  const QPoint start = window.pos(), grab(100, 8);
  mouse(QEvent::MouseButtonPress, grab, start + grab);
  // Far past the left edge, and a little down: the panel stops at the work area's edge.
  mouse(QEvent::MouseMove, grab, start + grab + QPoint(-3000, 300));
  EXPECT_EQ(window.pos(), QPoint(0, 300));
  // Within the snap distance of the top: it jumps to the edge.
  mouse(QEvent::MouseMove, grab, start + grab + QPoint(-1000, 15));
  EXPECT_EQ(window.pos(), QPoint(start.x() - 1000, 0));
  mouse(QEvent::MouseButtonRelease, grab, start + grab + QPoint(-1000, 15));
  // The new place is recorded and the panel is no longer docked to the right.
  EXPECT_EQ(ctx.context->settings().GetInt(QStringLiteral("DesktopLeft")), start.x() - 1000);
  EXPECT_FALSE(ctx.display().dockRight);
  // The left edge widens the panel; narrower than 100 pixels is refused.
  const QRect before = window.geometry();
  const QPoint edge(1, 100);
  mouse(QEvent::MouseButtonPress, edge, before.topLeft() + edge);
  mouse(QEvent::MouseMove, edge, before.topLeft() + edge + QPoint(-40, 7));  // a left edge leaves the height alone
  EXPECT_EQ(window.geometry(), before.adjusted(-40, 0, 0, 0));
  mouse(QEvent::MouseMove, edge, before.topLeft() + edge + QPoint(150, 0));
  EXPECT_EQ(window.width(), 260);
  mouse(QEvent::MouseButtonRelease, edge, before.topLeft() + edge);
  EXPECT_EQ(ctx.context->settings().GetInt(QStringLiteral("Width")), 260);
  // A height less than the content needs is cut to whole rows; the content then scrolls.
  const int R = ctx.display().R();
  int w = 300, h = 5 * R + 7;
  ASSERT_TRUE(window.FormCanResize(w, h));
  EXPECT_EQ(std::tuple(h, ctx.display().MaxHeight), std::tuple(5 * R, 5));
  window.FormPaint();
  EXPECT_TRUE(window.painter().ScrollMode);
  EXPECT_EQ(window.size(), QSize(300 + 15, 5 * R));
  EXPECT_TRUE(window.VertScrollBar->isVisible());
  EXPECT_EQ(window.VertScrollBar->geometry(), QRect(300, 0, 15, 5 * R)) << "beside the content";
}

// Written within a tick and at exit, and kept private; with SaveNotebook off the file is
// neither loaded nor kept, but a window that only makes a picture leaves it alone.
TEST_F(DesktopWindowTest, QuickNotesAreLoadedWrittenWithinATickAndAtExitKeptPrivateOrDeleted) {
  const QString path = T_DesktopWindow::QuickNotesPath();
  const auto contents = [&path] {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
  };
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("milk\nbread\n") == 11);
  file.close();
  {
    T_DesktopWindow window(*ctx.context, screens, sound);
    EXPECT_EQ(window.QuickNotes->toPlainText(), QStringLiteral("milk\nbread"));
    window.QuickNotes->setPlainText(QStringLiteral("milk\nbread\neggs"));
    window.Timer1Timer();
    EXPECT_EQ(contents(), QByteArray("milk\nbread\neggs\n"));
    window.QuickNotes->setPlainText(QStringLiteral("keep me"));
  }
  EXPECT_EQ(contents(), QByteArray("keep me\n"));
  // Notes are private, even where an older version left them open to others.
  EXPECT_EQ(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
  ctx.display().SaveNotebook = false;
  {
    T_DesktopWindow window(*ctx.context, screens, sound);
    window.KeepsQuickNotesFile = false;
    EXPECT_EQ(window.RenderOver(QImage()).width(), 220);
  }
  EXPECT_EQ(contents(), QByteArray("keep me\n"));
  {
    T_DesktopWindow window(*ctx.context, screens, sound);
    EXPECT_TRUE(window.QuickNotes->toPlainText().isEmpty()) << "not loaded while the notes are not kept";
  }
  EXPECT_FALSE(QFile::exists(path));
}

}  // namespace
