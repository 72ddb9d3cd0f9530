// The desktop window: the heartbeat (alarms with their catch-up, saving), placement on first
// start and after the settings or the screen change, sizing and moving by the mouse, and the
// quick-notes file.

#include "desktop/desktopwindow.h"
#include "panelfixture.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "settings/settings.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
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

  int AlarmAt(TDateTime time, const QString& title) {
    const int i = AddEvent(ctx.calendar(), D(2024, 3, 15), title, time);
    TNote& note = ctx.calendar().NoteArray[static_cast<size_t>(i)];
    note.Alarm = true;
    note.AlarmTime = time;
    note.Notes = QStringLiteral("Room 4");
    return i;
  }
  // Where the panel was last placed, as the docking bookkeeping stores it.
  void StorePlace(QRect place, bool dockBottom, bool dockRight, int maxHeight) {
    TSettings& settings = ctx.context->settings();
    settings.SetInt(QStringLiteral("DesktopLeft"), place.x());
    settings.SetInt(QStringLiteral("DesktopTop"), place.y());
    settings.SetInt(QStringLiteral("LastWidth"), place.width());
    settings.SetInt(QStringLiteral("LastHeight"), place.height());
    settings.SetBool(QStringLiteral("dockBottom"), dockBottom);
    settings.SetBool(QStringLiteral("dockRight"), dockRight);
    settings.SetInt(QStringLiteral("MaxHeight"), maxHeight);
    LoadDisplaySettings(settings, ctx.display());
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

  // The machine slept: the next tick comes 92 seconds late and both alarms are due.
  ctx.clock->Set(DT(2024, 3, 15, 14, 1, 30));
  ctx.dialogs->AnswerMessage(Dialogs::Answer::Ok);
  ctx.dialogs->AnswerMessage(Dialogs::Answer::Ok);
  window.Timer1Timer();
  QCoreApplication::processEvents();
  ASSERT_EQ(ctx.dialogs->asked().size(), 2u);
  EXPECT_EQ(ctx.dialogs->asked()[0].caption, QStringLiteral("Orvane Alarm"));
  EXPECT_EQ(ctx.dialogs->asked()[0].text, QStringLiteral("Standup\n\nRoom 4"));
  EXPECT_EQ(ctx.dialogs->asked()[1].text, QStringLiteral("Review\n\nRoom 4"));
  // Each sound starts once its message is up, so a sound that fails cannot keep it away.
  ASSERT_EQ(sound.played.size(), 2u);
  for (size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(sound.played[k].first, QStringLiteral("/sounds/chime.wav"));
    EXPECT_GT(sound.played[k].second, k) << "the sound of alarm " << k << " before its message";
  }
  // The following ticks report nothing again (an unexpected question fails the test).
  for (int i = 0; i < 3; ++i) {
    ctx.clock->Advance(5 / SecsPerDay);
    window.Timer1Timer();
  }
  EXPECT_EQ(ctx.dialogs->asked().size(), 2u);
}

TEST_F(DesktopWindowTest, AlarmMessageShowsWithTheSoundOffAndWithoutAnAudioDevice) {
  QtSound noDevice([] { return false; });
  const QString shipped = qEnvironmentVariable("ORVANE_SOURCE_DIR") + QStringLiteral("/data/Alarms/Alarm1.wav");
  for (const bool enabled : {false, true}) {
    ctx.clock->Advance(600 / SecsPerDay);  // the alarm of the round before is long past
    AlarmAt(ctx.clock->Now() - D(2024, 3, 15) + EncodeTime(0, 0, 4), QStringLiteral("Standup"));
    ctx.display().AlarmEnabled = enabled;
    ctx.display().AlarmSound = shipped;
    Sound& output = enabled ? static_cast<Sound&>(noDevice) : sound;
    T_DesktopWindow window(*ctx.context, screens, output);
    ctx.clock->Advance(5 / SecsPerDay);
    ctx.dialogs->AnswerMessage(Dialogs::Answer::Ok);
    window.Timer1Timer();
    QCoreApplication::processEvents();
    EXPECT_EQ(ctx.dialogs->asked().size(), enabled ? 2u : 1u);
    EXPECT_EQ(ctx.dialogs->asked().back().caption, QStringLiteral("Orvane Alarm"));
  }
  EXPECT_TRUE(sound.played.empty()) << "no sound while switched off";
  EXPECT_EQ(noDevice.LastOutcome(), QtSound::Outcome::NoDevice);
}

TEST_F(DesktopWindowTest, TickSavesTheCalendarHoldingItWhileAPeerTalksAtMostFiveSeconds) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  AddEvent(ctx.calendar(), D(2024, 3, 16), QStringLiteral("Saved"));
  window.Timer1Timer();
  EXPECT_FALSE(ctx.calendar().DataChanged);
  bool held = true;
  window.HoldSave = [&held] { return held; };
  AddEvent(ctx.calendar(), D(2024, 3, 16), QStringLiteral("Merged"));
  window.Timer1Timer();
  EXPECT_TRUE(ctx.calendar().DataChanged);
  held = false;
  window.Timer1Timer();
  EXPECT_FALSE(ctx.calendar().DataChanged) << "saved once the peer is done";
  held = true;
  // A peer that keeps talking: each merge is held from its own first tick for five seconds.
  for (const int day : {17, 18}) {
    AddEvent(ctx.calendar(), D(2024, 3, day), QStringLiteral("Merged later"));
    window.Timer1Timer();
    ctx.clock->Advance(4.9 / SecsPerDay);
    window.Timer1Timer();
    EXPECT_TRUE(ctx.calendar().DataChanged) << day;
    ctx.clock->Advance(0.1 / SecsPerDay);
    window.Timer1Timer();
    EXPECT_FALSE(ctx.calendar().DataChanged) << day;
    ctx.clock->Advance(5 / SecsPerDay);
  }
}

TEST_F(DesktopWindowTest, FirstStartSitsAtTheTopRightAndTheUpdateCheckFollowsItsSetting) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  int checks = 0;
  window.RunUpdateCheck = [&checks] { ++checks; };
  window.show();
  EXPECT_EQ(window.geometry().topRight(), QPoint(1919, 0));
  EXPECT_TRUE(ctx.display().dockRight);
  EXPECT_TRUE(window.Timer1->isActive());
  EXPECT_EQ(window.UpdateCheck->interval(), 600000);
  window.UpdateCheckTimer();
  EXPECT_EQ(checks, 1);
  EXPECT_EQ(window.UpdateCheck->interval(), 3600000);
  ctx.display().EnableAutoUpdate = false;
  window.FormPaint();
  EXPECT_FALSE(window.UpdateCheck->isActive());
  window.UpdateCheckTimer();
  EXPECT_EQ(checks, 1);
}

// Previewed widths keep the right edge of a panel docked right. The options dialog stores
// another place (another monitor, or the place before a preview): the panel goes there when
// it reloads the settings, not at the next drag.
TEST_F(DesktopWindowTest, PreviewedWidthsKeepTheDockedEdgeAndReloadedSettingsWithAnotherPlaceMoveThePanel) {
  FixedScreens two({Monitor{QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040), true},
                    Monitor{QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 1024), false}});
  T_DesktopWindow window(*ctx.context, two, sound);
  window.show();  // first start: docked to the top right
  ASSERT_TRUE(ctx.display().dockRight);
  TSettings& settings = ctx.context->settings();
  for (int width : {400, 150, 220}) {  // wider, narrower, and back as after Cancel
    settings.SetInt(QStringLiteral("Width"), width);
    window.DisplaySettingsChanged();
    EXPECT_EQ(window.geometry(), QRect(1920 - width, 0, width, window.height())) << width;
  }
  settings.SetInt(QStringLiteral("Monitor"), 1);
  settings.SetInt(QStringLiteral("DesktopLeft"), 3200 - 220);
  settings.SetInt(QStringLiteral("DesktopTop"), 30);
  window.DisplaySettingsChanged();
  EXPECT_EQ(window.pos(), QPoint(3200 - 220, 30));
  EXPECT_EQ(settings.GetInt(QStringLiteral("DesktopLeft")), 3200 - 220);
  window.hide();
}

TEST_F(DesktopWindowTest, StartedInScrollModeTheScrollBarStaysOnTheScreen) {
  for (int i = 0; i < 12; ++i) AddEvent(ctx.calendar(), D(2024, 3, 15), QStringLiteral("Event %1").arg(i));
  // Docked to the right at the last start, before the content needed scrolling.
  StorePlace(QRect(1700, 0, 220, 10 * 21), false, true, 10);
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.show();
  window.FormPaint();
  EXPECT_TRUE(window.painter().ScrollMode);
  EXPECT_EQ(window.geometry(), QRect(1920 - 235, 0, 235, 10 * 21));
  // The scroll bar goes again: the right edge stays where it is.
  ctx.context->settings().SetInt(QStringLiteral("MaxHeight"), 40);
  window.DisplaySettingsChanged();
  EXPECT_FALSE(window.painter().ScrollMode);
  EXPECT_EQ(window.geometry(), QRect(1920 - 220, 0, 220, window.height()));
}

TEST_F(DesktopWindowTest, AScaledScreenKeepsThePanelInsideAndBackAtFullSizeItReturnsToItsEdges) {
  for (int i = 0; i < 30; ++i) AddEvent(ctx.calendar(), D(2024, 3, 15), QStringLiteral("Event %1").arg(i));
  // Docked to the bottom right of a 1080-pixel screen, with room for 49 rows.
  StorePlace(QRect(1700, 1040 - 40 * 21, 220, 40 * 21), true, true, 49);
  // The same screen at 200%, in device-independent pixels.
  FixedScreens scaled({Monitor{QRect(0, 0, 960, 540), QRect(0, 0, 960, 520), true}});
  {
    T_DesktopWindow window(*ctx.context, scaled, sound);
    window.KeepsQuickNotesFile = false;
    window.show();
    window.FormPaint();
    EXPECT_TRUE(QRect(0, 0, 960, 520).contains(window.geometry())) << window.geometry().y();
    EXPECT_EQ(window.geometry().right(), 959);
    EXPECT_TRUE(window.painter().ScrollMode);
  }
  // Back at 100%: on its edges again, not where the small screen's edges were.
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.show();
  window.FormPaint();
  EXPECT_EQ(window.geometry().bottomRight(), QPoint(1919, 1039));
}

void SendMouse(QWidget& w, QEvent::Type type, QPoint local, QPoint global, Qt::MouseButtons buttons) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(local), QPointF(global), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &event);
}

TEST_F(DesktopWindowTest, TheMouseMovesAndSnapsByTheTitleRowAndSizesByTheEdges) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.show();
  const QPoint start = window.pos(), grab(100, 8);
  SendMouse(window, QEvent::MouseButtonPress, grab, start + grab, Qt::LeftButton);
  // Far past the left edge, and a little down: the panel stops at the work area's edge.
  SendMouse(window, QEvent::MouseMove, grab, start + grab + QPoint(-3000, 300), Qt::LeftButton);
  EXPECT_EQ(window.pos(), QPoint(0, 300));
  // Within the snap distance of the top: it jumps to the edge.
  SendMouse(window, QEvent::MouseMove, grab, start + grab + QPoint(-1000, 15), Qt::LeftButton);
  EXPECT_EQ(window.pos(), QPoint(start.x() - 1000, 0));
  SendMouse(window, QEvent::MouseButtonRelease, grab, start + grab + QPoint(-1000, 15), Qt::NoButton);
  // The new place is recorded and the panel is no longer docked to the right.
  EXPECT_EQ(ctx.context->settings().GetSetting(QStringLiteral("DesktopLeft")), QString::number(start.x() - 1000));
  EXPECT_FALSE(ctx.display().dockRight);

  // The left edge widens the panel; narrower than 100 pixels is refused.
  const QRect before = window.geometry();
  const QPoint edge(1, 100);
  SendMouse(window, QEvent::MouseButtonPress, edge, before.topLeft() + edge, Qt::LeftButton);
  SendMouse(window, QEvent::MouseMove, edge, before.topLeft() + edge + QPoint(-40, 0), Qt::LeftButton);
  EXPECT_EQ(window.geometry(), before.adjusted(-40, 0, 0, 0));
  SendMouse(window, QEvent::MouseMove, edge, before.topLeft() + edge + QPoint(150, 0), Qt::LeftButton);
  EXPECT_EQ(window.width(), 260);
  SendMouse(window, QEvent::MouseButtonRelease, edge, before.topLeft() + edge, Qt::NoButton);
  EXPECT_EQ(ctx.context->settings().GetSetting(QStringLiteral("Width")), QStringLiteral("260"));

  // A height less than the content needs is cut to whole rows; the content then scrolls.
  const int R = ctx.display().R();
  int w = 300, h = 5 * R + 7;
  ASSERT_TRUE(window.FormCanResize(w, h));
  EXPECT_EQ(h, 5 * R);
  EXPECT_EQ(ctx.display().MaxHeight, 5);
  window.FormPaint();
  EXPECT_TRUE(window.painter().ScrollMode);
  EXPECT_EQ(window.size(), QSize(300 + 15, 5 * R));
  EXPECT_TRUE(window.VertScrollBar->isVisible());
}

QByteArray NotesFile() {
  QFile file(T_DesktopWindow::QuickNotesPath());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

void WriteNotesFile(const QByteArray& text) {
  QFile file(T_DesktopWindow::QuickNotesPath());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
}

TEST_F(DesktopWindowTest, QuickNotesAreLoadedWrittenWithinATickAndAtExitAndKeptPrivate) {
  WriteNotesFile("milk\nbread\n");
  {
    T_DesktopWindow window(*ctx.context, screens, sound);
    EXPECT_EQ(window.QuickNotes->toPlainText(), QStringLiteral("milk\nbread"));
    window.QuickNotes->setPlainText(QStringLiteral("milk\nbread\neggs"));
    window.Timer1Timer();
    EXPECT_EQ(NotesFile(), QByteArray("milk\nbread\neggs\n"));
    window.QuickNotes->setPlainText(QStringLiteral("call the plumber"));
  }
  EXPECT_EQ(NotesFile(), QByteArray("call the plumber\n"));
  // Notes are private, even where an older version left them open to others.
  EXPECT_EQ(QFile::permissions(T_DesktopWindow::QuickNotesPath()) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(DesktopWindowTest, SaveNotebookOffDeletesTheFileAtExitButAPictureOnlyLeavesItAlone) {
  WriteNotesFile("keep me\n");
  ctx.display().SaveNotebook = false;
  {
    T_DesktopWindow window(*ctx.context, screens, sound);
    window.KeepsQuickNotesFile = false;
    EXPECT_EQ(window.RenderOver(QImage()).width(), 220);
  }
  EXPECT_EQ(NotesFile(), QByteArray("keep me\n"));
  {
    T_DesktopWindow window(*ctx.context, screens, sound);
    EXPECT_TRUE(window.QuickNotes->toPlainText().isEmpty()) << "not loaded while the notes are not kept";
  }
  EXPECT_FALSE(QFile::exists(T_DesktopWindow::QuickNotesPath()));
}

}  // namespace
