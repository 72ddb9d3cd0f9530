// The tray icon: its tip and picture for each type, the way back to the program's icon, and
// what its clicks do to the panel; a picture of the panel's open menu (make screenshots).

#include "desktop/trayicon.h"
#include "desktopmenufixture.h"
#include "settings/settings.h"
#include "support/screenshot.h"

namespace {

TEST(TrayIcon, TipOfEachTypeCutAt63Characters) {
  TWeatherReport weather;
  weather.Temperature = QStringLiteral("41");
  weather.High = QStringLiteral("50");
  weather.Low = QStringLiteral("30");
  const TDateTime now = D(2026, 12, 7) + EncodeTime(9, 30);
  const QString head = QStringLiteral("Orvane - 7 Dec 2026\r\n");
  EXPECT_EQ(TrayTip(1, now, 1, &weather), head + QStringLiteral("1 Event Today"));
  EXPECT_EQ(TrayTip(1, now, 0, nullptr), head + QStringLiteral("0 Events Today"));
  EXPECT_EQ(TrayTip(2, now, 3, &weather), head + QStringLiteral("Temp: 41\u00B0  High: 50\u00B0  Low: 30\u00B0"));
  EXPECT_EQ(TrayTip(3, now, 2, &weather), head + QStringLiteral("2 Events Today - Temp: 41\u00B0"));
  EXPECT_EQ(TrayTip(4, now, 2, nullptr), head + QStringLiteral("2 Events Today - Temp: \u00B0"));
  weather.Temperature = weather.High = weather.Low = QStringLiteral("-1234567890");
  const QString cut = TrayTip(2, D(2026, 9, 30), 0, &weather);
  EXPECT_EQ(cut.size(), 63);
  EXPECT_TRUE(cut.endsWith(QStringLiteral("High: -1234567890\u00B0  L")));
}

TEST(TrayIcon, EveryPictureCarriesTextWithinItsWidthAndTypesThreeAndFourSwapTheLines) {
  EnsureApplication();
  for (int type = 1; type <= 4; ++type) {  // text is drawn, shrunk to at most 14 pixels and centred
    const QImage picture = TrayPicture(type, QStringLiteral("28"), QStringLiteral("-104\u00B0"));
    ASSERT_EQ(picture.size(), QSize(16, 16)) << type;
    int first = 16, last = -1;  // the columns holding ink (darker than the white ground)
    for (int i = 0; i < 256; ++i) {
      if (qGray(picture.pixel(i % 16, i / 16)) < 160) first = std::min(first, i % 16), last = std::max(last, i % 16);
    }
    EXPECT_TRUE(1 <= first && first < last && last <= 14) << type << ": " << first << " to " << last;
  }
  const QImage dayFirst = TrayPicture(3, QStringLiteral("07"), QStringLiteral("41\u00B0"));
  const QImage dayLast = TrayPicture(4, QStringLiteral("07"), QStringLiteral("41\u00B0"));
  EXPECT_EQ(dayFirst.copy(0, 0, 16, 8), dayLast.copy(0, 8, 16, 8));
  EXPECT_EQ(dayFirst.copy(0, 8, 16, 8), dayLast.copy(0, 0, 16, 8));
  EXPECT_TRUE(TrayPicture(0, QStringLiteral("07"), QString()).isNull());
}

TEST_F(DesktopMenuTest, TrayFollowsItsTypeAndBringsThePanelBack) {
  ctx.context->settings().SetInt(QStringLiteral("TrayIconType"), 2);
  ctx.display().TrayIconType = 2;
  T_DesktopWindow& panel = Panel();
  EXPECT_FALSE(panel.TrayIcon->ShowsApplicationIcon());
  EXPECT_TRUE(panel.TrayIcon->Tip().endsWith(QStringLiteral("Temp: 41\u00B0  High: \u00B0  Low: \u00B0")));
  ctx.context->settings().SetInt(QStringLiteral("TrayIconType"), 0);
  panel.DisplaySettingsChanged();
  EXPECT_TRUE(panel.TrayIcon->ShowsApplicationIcon());
  EXPECT_EQ(panel.TrayIcon->Tip(), QStringLiteral("Orvane"));
  int othersHidden = 0;
  ctx.context->windows().HideOtherWindows = [&othersHidden] { ++othersHidden; };
  panel.Hide1->trigger();
  EXPECT_FALSE(panel.isVisible());
  emit panel.TrayIcon->LeftPress();
  EXPECT_TRUE(panel.isVisible());
  emit panel.TrayIcon->LeftPress();  // in front again; an open editor stays open
  EXPECT_EQ(othersHidden, 1);
  emit panel.TrayIcon->DoubleClick();
  EXPECT_EQ(opened, QStringList{QStringLiteral("ShowMonth")});
}

TEST_F(DesktopMenuTest, ContextMenuScreenshot) {
  const int dentist = AddEvent(ctx.calendar(), Today(), QStringLiteral("Dentist"), EncodeTime(15, 15));
  ctx.calendar().AddDayNote(dentist, QStringLiteral("Bring the insurance card"), Today());
  AddSeries(ctx.calendar(), D(2026, 11, 2), 2, QStringLiteral("Standup"), EncodeTime(9, 0));
  Click(RowPoint('N', dentist), Qt::RightButton);
  ASSERT_TRUE(Panel().PopupMenu->isVisible());
  const QImage picture = Panel().PopupMenu->grab().toImage();
  Panel().PopupMenu->hide();
  SaveScreenshot(picture, QStringLiteral("desktop-menu"));
}

}  // namespace
