// The desktop window: the heartbeat (alarms with their catch-up, saving), placement on first
// start, the sizing limits, and the quick-notes file.

#include "desktop/desktopwindow.h"
#include "panelfixture.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class RecordingSound : public Sound {
 public:
  void Play(const QString& path) override { played.push_back(path); }
  void Stop() override {}
  std::vector<QString> played;
};

class DesktopWindowTest : public ::testing::Test {
 protected:
  explicit DesktopWindowTest(TDateTime now = DT(2024, 3, 15, 13, 59, 58)) : ctx(now) {
    PainterStartup(*ctx.context);
  }

  TempHome home;
  PanelContext ctx;
  FixedScreens screens;  // 1920 x 1080 with a 40-pixel panel at the bottom
  RecordingSound sound;
};

int AlarmAt(DataFormat& calendar, TDateTime day, TDateTime time, const QString& title) {
  const int i = AddEvent(calendar, day, title, time);
  TNote& note = calendar.NoteArray[static_cast<size_t>(i)];
  note.Alarm = true;
  note.AlarmTime = time;
  note.Notes = QStringLiteral("Room 4");
  return i;
}

TEST_F(DesktopWindowTest, LateTickRaisesEachAlarmOnceAndNeverTwice) {
  AlarmAt(ctx.calendar(), D(2024, 3, 15), EncodeTime(14, 0, 30), QStringLiteral("Standup"));
  AlarmAt(ctx.calendar(), D(2024, 3, 15), EncodeTime(14, 1, 0), QStringLiteral("Review"));
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
  EXPECT_EQ(sound.played, (std::vector<QString>{QStringLiteral("/sounds/chime.wav"), QStringLiteral("/sounds/chime.wav")}));

  // The following ticks report nothing again (an unexpected question fails the test).
  for (int i = 0; i < 3; ++i) {
    ctx.clock->Advance(5 / SecsPerDay);
    window.Timer1Timer();
  }
  EXPECT_EQ(ctx.dialogs->asked().size(), 2u);
}

TEST_F(DesktopWindowTest, AlarmWithoutSoundStillShowsTheMessage) {
  AlarmAt(ctx.calendar(), D(2024, 3, 15), EncodeTime(14, 0, 2), QStringLiteral("Standup"));
  ctx.display().AlarmEnabled = false;
  T_DesktopWindow window(*ctx.context, screens, sound);
  ctx.clock->Set(DT(2024, 3, 15, 14, 0, 3));
  ctx.dialogs->AnswerMessage(Dialogs::Answer::Ok);
  window.Timer1Timer();
  EXPECT_EQ(ctx.dialogs->asked().size(), 1u);
  EXPECT_TRUE(sound.played.empty());
}

// The sound starts once the message is up, so a sound that fails cannot keep it away.
TEST_F(DesktopWindowTest, AlarmMessageShowsBeforeTheSoundStarts) {
  struct OrderedSound : Sound {
    explicit OrderedSound(const ScriptedDialogs& d) : dialogs(d) {}
    void Play(const QString&) override { messagesBefore.push_back(dialogs.asked().size()); }
    void Stop() override {}
    const ScriptedDialogs& dialogs;
    std::vector<size_t> messagesBefore;
  } ordered(*ctx.dialogs);
  AlarmAt(ctx.calendar(), D(2024, 3, 15), EncodeTime(14, 0, 2), QStringLiteral("Standup"));
  ctx.display().AlarmEnabled = true;
  T_DesktopWindow window(*ctx.context, screens, ordered);
  ctx.clock->Set(DT(2024, 3, 15, 14, 0, 3));
  ctx.dialogs->AnswerMessage(Dialogs::Answer::Ok);
  window.Timer1Timer();
  QCoreApplication::processEvents();
  EXPECT_EQ(ordered.messagesBefore, std::vector<size_t>{1});
}

// The platform's sound on a machine without an audio device is silent; the message shows.
TEST_F(DesktopWindowTest, AlarmWithoutAnAudioDeviceShowsTheMessage) {
  QtSound noDevice([] { return false; });
  AlarmAt(ctx.calendar(), D(2024, 3, 15), EncodeTime(14, 0, 2), QStringLiteral("Standup"));
  ctx.display().AlarmEnabled = true;
  ctx.display().AlarmSound = QString::fromLocal8Bit(qgetenv("ORVANE_SOURCE_DIR")) + QStringLiteral("/data/Alarms/Alarm1.wav");
  T_DesktopWindow window(*ctx.context, screens, noDevice);
  ctx.clock->Set(DT(2024, 3, 15, 14, 0, 3));
  ctx.dialogs->AnswerMessage(Dialogs::Answer::Ok);
  window.Timer1Timer();
  QCoreApplication::processEvents();
  ASSERT_EQ(ctx.dialogs->asked().size(), 1u);
  EXPECT_EQ(ctx.dialogs->asked()[0].caption, QStringLiteral("Orvane Alarm"));
  EXPECT_EQ(noDevice.LastOutcome(), QtSound::Outcome::NoDevice);
}

// The options dialog stores another place (another monitor, or the place before a preview):
// the panel goes there when it reloads the settings, not at the next drag.
TEST_F(DesktopWindowTest, ReloadedSettingsWithAnotherPlaceMoveThePanel) {
  FixedScreens two({Monitor{QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040), true},
                    Monitor{QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 1024), false}});
  T_DesktopWindow window(*ctx.context, two, sound);
  window.show();
  TSettings& settings = ctx.context->settings();
  settings.SetInt(QStringLiteral("Monitor"), 1);
  settings.SetInt(QStringLiteral("DesktopLeft"), 3200 - 220);
  settings.SetInt(QStringLiteral("DesktopTop"), 30);
  window.DisplaySettingsChanged();
  EXPECT_EQ(window.pos(), QPoint(3200 - 220, 30));
  EXPECT_EQ(settings.GetInt(QStringLiteral("DesktopLeft")), 3200 - 220);
  window.hide();
}

TEST_F(DesktopWindowTest, AlarmBeforeTheWindowStartedIsNotRaised) {
  AlarmAt(ctx.calendar(), D(2024, 3, 15), EncodeTime(13, 50, 0), QStringLiteral("Earlier"));
  T_DesktopWindow window(*ctx.context, screens, sound);
  ctx.clock->Advance(5 / SecsPerDay);
  window.Timer1Timer();
  EXPECT_TRUE(ctx.dialogs->asked().empty());
}

TEST_F(DesktopWindowTest, TickSavesTheCalendar) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  AddEvent(ctx.calendar(), D(2024, 3, 16), QStringLiteral("Saved"));
  ASSERT_TRUE(ctx.calendar().DataChanged);
  window.Timer1Timer();
  EXPECT_FALSE(ctx.calendar().DataChanged);
}

TEST_F(DesktopWindowTest, TickHoldsTheSaveWhileAskedAndSavesAfterwards) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  bool held = true;
  window.HoldSave = [&held] { return held; };
  AddEvent(ctx.calendar(), D(2024, 3, 16), QStringLiteral("Merged"));
  window.Timer1Timer();
  EXPECT_TRUE(ctx.calendar().DataChanged);
  held = false;
  window.Timer1Timer();
  EXPECT_FALSE(ctx.calendar().DataChanged);
}

TEST_F(DesktopWindowTest, PeerThatKeepsTalkingHoldsTheSaveAtMostFiveSeconds) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.HoldSave = [] { return true; };
  AddEvent(ctx.calendar(), D(2024, 3, 16), QStringLiteral("Merged"));
  window.Timer1Timer();
  ctx.clock->Advance(4.9 / SecsPerDay);
  window.Timer1Timer();
  EXPECT_TRUE(ctx.calendar().DataChanged);
  ctx.clock->Advance(0.1 / SecsPerDay);
  window.Timer1Timer();
  EXPECT_FALSE(ctx.calendar().DataChanged);
  // The exchange goes on: the next merge is held again from its own first tick, then saved.
  AddEvent(ctx.calendar(), D(2024, 3, 17), QStringLiteral("Merged later"));
  ctx.clock->Advance(5 / SecsPerDay);
  window.Timer1Timer();
  EXPECT_TRUE(ctx.calendar().DataChanged);
  ctx.clock->Advance(5 / SecsPerDay);
  window.Timer1Timer();
  EXPECT_FALSE(ctx.calendar().DataChanged);
}

TEST_F(DesktopWindowTest, FirstStartSitsAtTheTopRightOfTheWorkArea) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.show();
  EXPECT_EQ(window.geometry().topRight(), QPoint(1919, 0));
  EXPECT_EQ(window.width(), 220);
  EXPECT_TRUE(window.Timer1->isActive());
  EXPECT_EQ(window.Timer1->interval(), 5000);
  EXPECT_TRUE(window.UpdateCheck->isActive());
  EXPECT_EQ(window.UpdateCheck->interval(), 600000);
  EXPECT_TRUE(ctx.display().dockRight);
  EXPECT_EQ(ctx.context->settings().GetSetting(QStringLiteral("Title")), QStringLiteral("Default"));
  EXPECT_EQ(ctx.context->settings().GetSetting(QStringLiteral("LastWidth")), QStringLiteral("220"));
}

// Stores where the panel was last placed, as the docking bookkeeping does.
void StorePlace(AppContext& context, QRect place, bool dockBottom, bool dockRight, int maxHeight) {
  TSettings& settings = context.settings();
  settings.SetInt(QStringLiteral("DesktopLeft"), place.x());
  settings.SetInt(QStringLiteral("DesktopTop"), place.y());
  settings.SetInt(QStringLiteral("LastWidth"), place.width());
  settings.SetInt(QStringLiteral("LastHeight"), place.height());
  settings.SetBool(QStringLiteral("dockBottom"), dockBottom);
  settings.SetBool(QStringLiteral("dockRight"), dockRight);
  settings.SetInt(QStringLiteral("MaxHeight"), maxHeight);
  LoadDisplaySettings(settings, context.display());
}

TEST_F(DesktopWindowTest, StartedInScrollModeTheScrollBarStaysOnTheScreen) {
  for (int i = 0; i < 12; ++i) AddEvent(ctx.calendar(), D(2024, 3, 15), QStringLiteral("Event %1").arg(i));
  // Docked to the right at the last start, before the content needed scrolling.
  StorePlace(*ctx.context, QRect(1700, 0, 220, 10 * 21), false, true, 10);
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.show();
  window.FormPaint();
  EXPECT_TRUE(window.painter().ScrollMode);
  EXPECT_EQ(window.geometry(), QRect(1920 - 235, 0, 235, 10 * 21));
  // The scroll bar goes again: the right edge stays where it is.
  TSettings& settings = ctx.context->settings();
  settings.SetInt(QStringLiteral("MaxHeight"), 40);
  window.DisplaySettingsChanged();
  EXPECT_FALSE(window.painter().ScrollMode);
  EXPECT_EQ(window.geometry().right(), 1919);
  EXPECT_EQ(window.width(), 220);
}

TEST_F(DesktopWindowTest, PreviewingAnotherWidthKeepsTheRightEdgeOfADockedPanel) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.show();  // first start: docked to the top right
  ASSERT_TRUE(ctx.display().dockRight);
  TSettings& settings = ctx.context->settings();
  for (int width : {400, 150, 220}) {  // wider, narrower, and back as after Cancel
    settings.SetInt(QStringLiteral("Width"), width);
    window.DisplaySettingsChanged();
    EXPECT_EQ(window.geometry(), QRect(1920 - width, 0, width, window.height())) << width;
  }
}

TEST_F(DesktopWindowTest, AScaledScreenKeepsThePanelInsideAndBackAtFullSizeItReturnsToItsEdges) {
  for (int i = 0; i < 30; ++i) AddEvent(ctx.calendar(), D(2024, 3, 15), QStringLiteral("Event %1").arg(i));
  const int R = 21;
  // Docked to the bottom right of a 1080-pixel screen, with room for 49 rows.
  StorePlace(*ctx.context, QRect(1700, 1040 - 40 * R, 220, 40 * R), true, true, 49);
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
  EXPECT_EQ(window.geometry().right(), 1919);
  EXPECT_EQ(window.geometry().bottom(), 1039);
}

TEST_F(DesktopWindowTest, UpdateCheckFollowsItsSetting) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  int checks = 0;
  window.RunUpdateCheck = [&checks] { ++checks; };
  window.show();
  window.UpdateCheckTimer();
  EXPECT_EQ(checks, 1);
  EXPECT_EQ(window.UpdateCheck->interval(), 3600000);
  ctx.display().EnableAutoUpdate = false;
  window.FormPaint();
  EXPECT_FALSE(window.UpdateCheck->isActive());
  window.UpdateCheckTimer();
  EXPECT_EQ(checks, 1);
}

TEST_F(DesktopWindowTest, UserResizeLimitsTheHeightToWholeRows) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.show();
  const int R = ctx.display().R();
  int w = 260;
  int h = 5 * R + 7;  // less than the content needs
  ASSERT_TRUE(window.FormCanResize(w, h));
  EXPECT_EQ(h, 5 * R);
  EXPECT_EQ(ctx.display().Width, 260);
  EXPECT_EQ(ctx.display().MaxHeight, 5);
  // The next paint scrolls, with room for the scroll bar beside the panel.
  window.FormPaint();
  EXPECT_TRUE(window.painter().ScrollMode);
  EXPECT_EQ(window.width(), 260 + 15);
  EXPECT_EQ(window.height(), 5 * R);
  EXPECT_TRUE(window.VertScrollBar->isVisible());

  int narrow = 99;
  int tall = 300;
  EXPECT_FALSE(window.FormCanResize(narrow, tall));
  EXPECT_EQ(ctx.display().Width, 260);
}

void SendMouse(QWidget& w, QEvent::Type type, QPoint local, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(local), QPointF(global), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &event);
}

TEST_F(DesktopWindowTest, DraggingTheTitleRowMovesAndSnapsThePanel) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.show();
  const QPoint start = window.pos();
  const QPoint grab(100, 8);
  SendMouse(window, QEvent::MouseButtonPress, grab, start + grab, Qt::LeftButton, Qt::LeftButton);
  // Far past the left edge, and a little down: the panel stops at the work area's edge.
  SendMouse(window, QEvent::MouseMove, grab, start + grab + QPoint(-3000, 300), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(window.pos(), QPoint(0, 300));
  // Within the snap distance of the top: it jumps to the edge.
  SendMouse(window, QEvent::MouseMove, grab, start + grab + QPoint(-1000, 15), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(window.pos(), QPoint(start.x() - 1000, 0));
  SendMouse(window, QEvent::MouseButtonRelease, grab, start + grab + QPoint(-1000, 15), Qt::LeftButton, Qt::NoButton);
  // The new place is recorded and the panel is no longer docked to the right.
  EXPECT_EQ(ctx.context->settings().GetSetting(QStringLiteral("DesktopLeft")), QString::number(start.x() - 1000));
  EXPECT_FALSE(ctx.display().dockRight);
}

TEST_F(DesktopWindowTest, DraggingTheLeftEdgeWidensThePanel) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.show();
  const QRect before = window.geometry();
  const QPoint edge(1, 100);
  SendMouse(window, QEvent::MouseButtonPress, edge, before.topLeft() + edge, Qt::LeftButton, Qt::LeftButton);
  SendMouse(window, QEvent::MouseMove, edge, before.topLeft() + edge + QPoint(-40, 0), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(window.geometry().left(), before.left() - 40);
  EXPECT_EQ(window.geometry().right(), before.right());
  EXPECT_EQ(ctx.display().Width, 260);
  // Narrower than 100 pixels is refused: the panel keeps its last accepted size.
  SendMouse(window, QEvent::MouseMove, edge, before.topLeft() + edge + QPoint(150, 0), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(window.width(), 260);
  SendMouse(window, QEvent::MouseButtonRelease, edge, before.topLeft() + edge, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(ctx.context->settings().GetSetting(QStringLiteral("Width")), QStringLiteral("260"));
}

TEST_F(DesktopWindowTest, QuickNotesAreLoadedAtCreationAndWrittenAtExit) {
  {
    QFile file(T_DesktopWindow::QuickNotesPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("milk\nbread\n");
  }
  {
    T_DesktopWindow window(*ctx.context, screens, sound);
    EXPECT_EQ(window.QuickNotes->toPlainText(), QStringLiteral("milk\nbread"));
    window.QuickNotes->setPlainText(QStringLiteral("milk\nbread\neggs"));
  }
  QFile file(T_DesktopWindow::QuickNotesPath());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("milk\nbread\neggs\n"));
  // Notes are private, even where an older version left them open to others.
  EXPECT_EQ(file.permissions() & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(DesktopWindowTest, QuickNotesAreWrittenWithinOneTickOfAChange) {
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.QuickNotes->setPlainText(QStringLiteral("call the plumber"));
  EXPECT_FALSE(QFile::exists(T_DesktopWindow::QuickNotesPath()));
  window.Timer1Timer();
  QFile file(T_DesktopWindow::QuickNotesPath());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("call the plumber\n"));
}

TEST_F(DesktopWindowTest, SaveNotebookOffDeletesTheFileAtExit) {
  {
    QFile file(T_DesktopWindow::QuickNotesPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("old notes\n");
  }
  ctx.display().SaveNotebook = false;
  {
    T_DesktopWindow window(*ctx.context, screens, sound);
    EXPECT_TRUE(window.QuickNotes->toPlainText().isEmpty()) << "not loaded while the notes are not kept";
  }
  EXPECT_FALSE(QFile::exists(T_DesktopWindow::QuickNotesPath()));
}

TEST_F(DesktopWindowTest, APictureOnlyLeavesTheNotesFileAlone) {
  ctx.display().SaveNotebook = false;
  {
    QFile file(T_DesktopWindow::QuickNotesPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me\n");
  }
  {
    T_DesktopWindow window(*ctx.context, screens, sound);
    window.KeepsQuickNotesFile = false;
    const QImage picture = window.RenderOver(QImage());
    EXPECT_EQ(picture.width(), 220);
  }
  EXPECT_TRUE(QFile::exists(T_DesktopWindow::QuickNotesPath()));
}

}  // namespace
