// How due alarms reach the user: a notification per alarm with Snooze, Dismiss and Open where
// the desktop has the service, else one box for all the alarms of a tick.
#include "desktop/alarmpresenter.h"
#include "desktop/alarmbox.h"
#include "support/fakenotifications.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

namespace {

using AlarmPresenterTest = AlarmWindowTest;

TEST_F(AlarmPresenterTest, ANotificationPerAlarmWhoseButtonsSnoozeDismissAndOpen) {
  const int standup = AlarmAt(EncodeTime(14, 0), QStringLiteral("Standup"));
  AlarmAt(EncodeTime(14, 0, 1), QStringLiteral("Review"));
  const int call = AlarmAt(EncodeTime(14, 0, 2), QStringLiteral("Call"));
  std::vector<int> opened;
  ctx.context->windows().ViewEvent = [&opened](int index) { opened.push_back(index); };
  ctx.display().SnoozeMinutes = 5;
  FakeNotifications fake;
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.Alarms().SetNotifications(&fake);

  Tick(window, 5);
  ASSERT_EQ(fake.shown.size(), 3u);
  EXPECT_EQ(fake.shown[0].summary, QStringLiteral("2:00 PM Standup"));
  EXPECT_EQ(fake.shown[0].body, QStringLiteral("Room 4"));
  EXPECT_EQ(fake.shown[0].actions, (QStringList{"default", "Open", "snooze", "Snooze", "dismiss", "Dismiss"}));
  EXPECT_EQ(window.Alarms().Box(), nullptr) << "no box beside the notifications";

  const TNote before = ctx.calendar().NoteArray[static_cast<size_t>(call)];
  emit fake.ActionInvoked(1, QStringLiteral("default"));
  emit fake.ActionInvoked(2, QStringLiteral("dismiss"));
  emit fake.ActionInvoked(3, QStringLiteral("snooze"));
  emit fake.ActionInvoked(2, QStringLiteral("snooze"));  // answered already: nothing
  EXPECT_EQ(fake.closed, (std::vector<quint32>{1, 2, 3}));
  EXPECT_EQ(opened, std::vector<int>{standup});
  EXPECT_EQ(ctx.context->reminders().Snoozes(),
            (std::vector<TSnooze>{{before.Uid, D(2024, 3, 15), ctx.clock->Now() + 5 / (24.0 * 60)}}));
  EXPECT_EQ(ctx.calendar().NoteArray[static_cast<size_t>(call)], before) << "snoozing leaves the event alone";
  Tick(window, 5);
  EXPECT_FALSE(ctx.context->reminders().NeedsSave()) << "the snooze is written with the tick's save";
}

TEST_F(AlarmPresenterTest, WithoutTheServiceOrByChoiceAllAlarmsOfATickShareOneBox) {
  // Why the box: the service's availability, whether its calls fail, the settings' choice.
  const std::tuple<const char*, bool, bool, bool> rows[] = {
      {"no service", false, false, false}, {"service failing", true, true, false}, {"box chosen", true, false, true}};
  for (const auto& [name, available, failing, boxChosen] : rows) {
    SCOPED_TRACE(name);
    ctx.clock->Set(DT(2024, 3, 15, 13, 59, 58));
    ctx.calendar().ClearCalendar();
    for (const int second : {0, 1, 2}) AlarmAt(EncodeTime(14, 0, second), QStringLiteral("Alarm %1").arg(second));
    TNote& third = ctx.calendar().NoteArray[2];
    third.Location.clear(), third.Notes = QStringLiteral("Bring the plans\r\nand the budget");
    ctx.display().AlarmMessageBox = boxChosen;
    ctx.display().SnoozeMinutes = 10;
    FakeNotifications fake;
    fake.available = available, fake.failing = failing;
    T_DesktopWindow window(*ctx.context, screens, sound);
    window.Alarms().SetNotifications(&fake);

    Tick(window, 5);
    EXPECT_TRUE(fake.shown.empty());
    T_AlarmBox* box = window.Alarms().Box();
    ASSERT_TRUE(box && box->isVisible());
    ASSERT_EQ(box->AlarmList->count(), 3);
    EXPECT_EQ(box->AlarmList->item(2)->text(), QStringLiteral("2:00 PM Alarm 2\nBring the plans"));
    // Wide enough for its caption and its text.
    EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->windowTitle()));
    EXPECT_GE(box->AlarmList->width(), box->AlarmList->fontMetrics().horizontalAdvance("2:00 PM Alarm 0"));
    EXPECT_EQ(box->SnoozeTime->currentText(), QStringLiteral("10 minutes"));

    // The first snoozed for a quarter of an hour, the others dismissed.
    box->AlarmList->item(0)->setSelected(true);
    box->SnoozeTime->setCurrentIndex(2);
    box->SnoozeButton->click();
    EXPECT_EQ(box->AlarmList->count(), 2);
    box->DismissButton->click();
    for (int i = 0; i < 179; ++i) Tick(window, 5);
    EXPECT_FALSE(box->isVisible());
    Tick(window, 5);
    ASSERT_EQ(box->isVisible() ? box->AlarmList->count() : 0, 1);
    EXPECT_EQ(box->AlarmList->item(0)->text(), QStringLiteral("2:00 PM Alarm 0\nRoom 4"));
  }
}

}  // namespace
