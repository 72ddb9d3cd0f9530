// How due alarms reach the user: a notification per alarm with Snooze and Dismiss where the
// desktop has the service, else one box; snoozes come back once, missed alarms once.
#include "desktop/alarmpresenter.h"
#include "desktop/alarmbox.h"
#include "desktop/desktopwindow.h"
#include "panelfixture.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "support/fakenotifications.h"

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
}

TEST_F(AlarmPresenterTest, WithoutTheServiceOrByChoiceAllAlarmsOfATickShareOneBox) {
  struct Row {
    const char* name;
    bool available, failing, boxChosen;
  };
  const Row rows[] = {
      {"no service", false, false, false}, {"service failing", true, true, false}, {"box chosen", true, false, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ctx.clock->Set(DT(2024, 3, 15, 13, 59, 58));
    ctx.calendar().ClearCalendar();
    for (const int second : {0, 1, 2}) AlarmAt(EncodeTime(14, 0, second), QStringLiteral("Alarm %1").arg(second));
    TNote& third = ctx.calendar().NoteArray[2];
    third.Location.clear(), third.Notes = QStringLiteral("Bring the plans\r\nand the budget");
    ctx.display().AlarmMessageBox = row.boxChosen;
    ctx.display().SnoozeMinutes = 10;
    fake.available = row.available, fake.failing = row.failing, fake.shown.clear();
    T_DesktopWindow window(*ctx.context, screens, sound);
    window.Alarms().SetNotifications(&fake);

    Tick(window, 5);
    EXPECT_TRUE(fake.shown.empty());
    T_AlarmBox* box = window.Alarms().Box();
    ASSERT_TRUE(box && box->isVisible());
    ASSERT_EQ(box->AlarmList->count(), 3);
    EXPECT_EQ(box->AlarmList->item(2)->text(), QStringLiteral("2:00 PM Alarm 2\nBring the plans"));
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

}  // namespace
