// Pictures of the print view: the preview of each kind of calendar in both orientations, over a
// calendar with a month of ordinary life in it. With ORVANE_SCREENSHOTS set (make screenshots)
// each is written there as a PNG; otherwise they are grabbed and checked only.
#include "printviewfixture.h"
#include "support/screenshot.h"

namespace {

class PrintViewScreenshot : public PrintViewFixture {
 protected:
  PrintViewScreenshot() : PrintViewFixture(DT(2026, 12, 2, 10, 20)) {
    view->resize(1100, 720);
    FillDecember();
  }

  void FillDecember() {
    const int standup = AddEvent(D(2026, 11, 30), QStringLiteral("Team standup"), EncodeTime(9, 15));
    TNote& s = calendar().NoteArray[size_t(standup)];
    s.RepeatType = 3;
    s.RepeatFrequency = 1;
    s.RepeatMonday = s.RepeatWednesday = s.RepeatFriday = true;
    s.Notes = QStringLiteral("Status round, blockers first.");
    s.Exceptions = {D(2026, 12, 25)};
    calendar().AddDayNote(standup, QStringLiteral("Sam leads today"), D(2026, 12, 2));
    calendar().DataChanged = true;
    const int dentist = AddEvent(D(2026, 12, 2), QStringLiteral("Dentist"), EncodeTime(14, 5));
    calendar().NoteArray[size_t(dentist)].Notes = QStringLiteral("Bring the x-rays.\r\nParking on Elm Street.");
    AddEvent(D(2026, 12, 2), QStringLiteral("Pay rent"));
    AddEvent(D(2026, 12, 4), QStringLiteral("Piano lesson"), EncodeTime(17, 0));
    AddEvent(D(2026, 12, 8), QStringLiteral("Book club: The Left Hand of Darkness"), EncodeTime(19, 30));
    AddEvent(D(2026, 12, 12), QStringLiteral("Holiday market"));
    AddEvent(D(2026, 12, 12), QStringLiteral("Lunch with Grandma"), EncodeTime(12, 0));
    AddEvent(D(2026, 12, 17), QStringLiteral("Office party"), EncodeTime(18, 0));
    AddEvent(D(2026, 12, 19), QStringLiteral("Flight to Denver UA 1423"), EncodeTime(7, 45));
    AddEvent(D(2026, 12, 24), QStringLiteral("Christmas Eve"));
    AddEvent(D(2026, 12, 25), QStringLiteral("Christmas Day"));
    AddEvent(D(2026, 12, 31), QStringLiteral("New Year's Eve party"), EncodeTime(21, 0));
  }

  void Snap(const QString& name) { Screenshot(view.get(), QStringLiteral("printview-") + name, {640, 430}); }
};

TEST_F(PrintViewScreenshot, EachKindInBothOrientations) {
  view->show();
  const std::pair<QRadioButton*, const char*> kinds[] = {
      {view->DayCal, "day"}, {view->WeekCal, "week"}, {view->MonthCal, "month"}, {view->YearCal, "year"}};
  for (const auto& [button, kind] : kinds) {
    Click(button);
    if (button == view->WeekCal) view->WeeksPerPage->setValue(2);
    for (const int orientation : {1, 0}) {
      Choose(view->AlignSelect, orientation);
      EXPECT_FALSE(view->PreviewImage().isNull());
      Snap(QStringLiteral("%1-%2").arg(QLatin1String(kind), orientation == 0 ? QStringLiteral("portrait")
                                                                              : QStringLiteral("landscape")));
    }
  }
}

TEST_F(PrintViewScreenshot, BlankMonth) {
  view->show();
  Click(view->PrintBlank);
  Snap(QStringLiteral("month-blank"));
}

}  // namespace
