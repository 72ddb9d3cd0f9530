// How due alarms reach the user: a notification per alarm with Snooze and Dismiss where the
// desktop has the service, else one box; snoozes come back once, missed alarms once.
#include "desktop/alarmpresenter.h"
#include "desktop/alarmbox.h"
#include "desktop/desktopwindow.h"
#include "panelfixture.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "support/fakenotifications.h"
#include "support/screenshot.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

namespace {

class SilentSound final : public Sound {
 public:
  void Play(const QString&) override {}
  void Stop() override {}
};

class AlarmPresenterTest : public ::testing::Test {
 protected:
  AlarmPresenterTest() : ctx(DT(2024, 3, 15, 13, 59, 58)) {
    PainterStartup(*ctx.context);
    ctx.display().AlarmEnabled = false;
  }
  int AlarmAt(TDateTime time, const QString& title) {
    const int i = AddEvent(ctx.calendar(), D(2024, 3, 15), title, time);
    TNote& note = ctx.calendar().NoteArray[static_cast<size_t>(i)];
    note.Alarm = true, note.AlarmTime = time, note.Location = QStringLiteral("Room 4");
    return i;
  }
  void Tick(T_DesktopWindow& window, double seconds) {
    ctx.clock->Advance(seconds / SecsPerDay);
    window.Timer1Timer();
  }
  QStringList Summaries(size_t from = 0) const {
    QStringList list;
    for (size_t i = from; i < fake.shown.size(); ++i) list << fake.shown[i].summary;
    return list;
  }

  TempHome home;
  PanelContext ctx;
  FixedScreens screens;
  SilentSound sound;
  FakeNotifications fake;
};

TEST_F(AlarmPresenterTest, ANotificationPerAlarmWhoseButtonsSnoozeDismissAndOpen) {
  const int standup = AlarmAt(EncodeTime(14, 0), QStringLiteral("Standup"));
  AlarmAt(EncodeTime(14, 0, 1), QStringLiteral("Review"));
  std::vector<int> opened;
  ctx.context->windows().ViewEvent = [&opened](int index) { opened.push_back(index); };
  ctx.display().SnoozeMinutes = 5;
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.Alarms().SetNotifications(&fake);

  Tick(window, 5);
  ASSERT_EQ(Summaries(), (QStringList{"2:00 PM Standup", "2:00 PM Review"}));
  EXPECT_EQ(fake.shown[0].body, QStringLiteral("Room 4"));
  EXPECT_EQ(fake.shown[0].actions, (QStringList{"default", "Open", "snooze", "Snooze", "dismiss", "Dismiss"}));
  EXPECT_EQ(window.Alarms().Box(), nullptr) << "no box beside the notifications";

  const TNote before = ctx.calendar().NoteArray[static_cast<size_t>(standup)];
  emit fake.ActionInvoked(1, QStringLiteral("snooze"));
  emit fake.ActionInvoked(2, QStringLiteral("dismiss"));
  emit fake.ActionInvoked(2, QStringLiteral("snooze"));  // answered already: nothing
  EXPECT_EQ(fake.closed, (std::vector<quint32>{1, 2}));
  EXPECT_EQ(ctx.calendar().NoteArray[static_cast<size_t>(standup)], before) << "snoozing leaves the event alone";
  // The snooze is written with the tick's save and comes back once, five minutes on.
  Tick(window, 5);
  EXPECT_FALSE(ctx.context->reminders().NeedsSave());
  for (int i = 0; i < 58; ++i) Tick(window, 5);
  EXPECT_EQ(fake.shown.size(), 2u);
  Tick(window, 5);
  EXPECT_EQ(Summaries(2), QStringList{"2:00 PM Standup"});
  for (int i = 0; i < 3; ++i) Tick(window, 5);
  EXPECT_EQ(fake.shown.size(), 3u);
  emit fake.ActionInvoked(3, QStringLiteral("default"));
  EXPECT_EQ(opened, std::vector<int>{standup});

  // The machine sleeps eight hours over an alarm: it shows once at wake, as missed.
  AlarmAt(EncodeTime(18, 0), QStringLiteral("Call"));
  Tick(window, 8 * 3600);
  EXPECT_EQ(Summaries(3), QStringList{"Missed: 6:00 PM Call"});
  Tick(window, 5);
  EXPECT_EQ(fake.shown.size(), 4u);
}

TEST_F(AlarmPresenterTest, WithoutTheServiceOrByChoiceAllAlarmsOfATickShareOneBox) {
  struct Row {
    const char* name;
    bool attached, available, failing, boxChosen;
  };
  const Row rows[] = {{"no service object", false, false, false, false},
                      {"no service", true, false, false, false},
                      {"service failing", true, true, true, false},
                      {"box chosen", true, true, false, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ctx.clock->Set(DT(2024, 3, 15, 13, 59, 58));
    ctx.calendar().ClearCalendar();
    for (const int second : {0, 1, 2}) AlarmAt(EncodeTime(14, 0, second), QStringLiteral("Alarm %1").arg(second));
    ctx.display().AlarmMessageBox = row.boxChosen;
    ctx.display().SnoozeMinutes = 10;
    fake.available = row.available, fake.failing = row.failing, fake.shown.clear();
    T_DesktopWindow window(*ctx.context, screens, sound);
    if (row.attached) window.Alarms().SetNotifications(&fake);

    Tick(window, 5);
    EXPECT_TRUE(fake.shown.empty());
    T_AlarmBox* box = window.Alarms().Box();
    ASSERT_TRUE(box && box->isVisible());
    ASSERT_EQ(box->AlarmList->count(), 3);
    // Not modal and not taking the keyboard; wide enough for its caption and its text.
    EXPECT_FALSE(box->isModal());
    EXPECT_TRUE(box->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->windowTitle()));
    EXPECT_GE(box->AlarmList->width(), box->AlarmList->fontMetrics().horizontalAdvance("2:00 PM Alarm 0"));
    EXPECT_EQ(box->SnoozeTime->currentText(), QStringLiteral("10 minutes"));

    // The first snoozed for a quarter of an hour, the others dismissed.
    box->AlarmList->clearSelection();
    box->AlarmList->item(0)->setSelected(true);
    box->SnoozeTime->setCurrentIndex(2);
    box->SnoozeButton->click();
    EXPECT_EQ(box->AlarmList->count(), 2);
    box->DismissButton->click();
    EXPECT_FALSE(box->isVisible());
    for (int i = 0; i < 179; ++i) Tick(window, 5);
    EXPECT_FALSE(box->isVisible());
    Tick(window, 5);
    ASSERT_TRUE(box->isVisible());
    ASSERT_EQ(box->AlarmList->count(), 1);
    EXPECT_EQ(box->AlarmList->item(0)->text(), QStringLiteral("2:00 PM Alarm 0\nRoom 4"));
    box->DismissButton->click();
  }
}

TEST_F(AlarmPresenterTest, ScreenshotOfTheBoxWithAMissedAlarmAndTwoDueNow) {
  AlarmAt(EncodeTime(9, 30), QStringLiteral("Dentist, Dr. Almeida"));
  AlarmAt(EncodeTime(14, 0), QStringLiteral("Team standup"));
  const int review = AlarmAt(EncodeTime(14, 0, 1), QStringLiteral("Design review"));
  ctx.calendar().NoteArray[static_cast<size_t>(review)].Location.clear();
  ctx.calendar().NoteArray[static_cast<size_t>(review)].Notes =
      QStringLiteral("Bring the printed plans\r\nand the budget");
  T_DesktopWindow window(*ctx.context, screens, sound);
  ctx.context->reminders().Start(DT(2024, 3, 15, 9, 0));  // the program stopped at nine
  Tick(window, 5);
  T_AlarmBox* box = window.Alarms().Box();
  ASSERT_TRUE(box);
  ASSERT_EQ(box->AlarmList->count(), 3);
  EXPECT_EQ(box->AlarmList->item(0)->text(), QStringLiteral("Missed: 9:30 AM Dentist, Dr. Almeida\nRoom 4"));
  EXPECT_EQ(box->AlarmList->item(2)->text(), QStringLiteral("2:00 PM Design review\nBring the printed plans"));
  Screenshot(box, QStringLiteral("alarmbox"));
}

}  // namespace
