// Pictures of the theme chooser with its preview, and a sheet of the panel in every shipped
// theme over a light (top) and a dark (bottom) wallpaper. With ORVANE_SCREENSHOTS set (make
// screenshots) they are written there as PNGs.
#include "desktop/displayfunctions.h"
#include "themeselectfixture.h"

#include <QPainter>

namespace {

// A wallpaper-like picture: a sky with soft hills, light or dark.
QImage Wallpaper(QSize size, bool light) {
  QImage image(size, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient sky(0, 0, 0, size.height());
  sky.setColorAt(0, light ? QColor(196, 222, 244) : QColor(14, 20, 44));
  sky.setColorAt(1, light ? QColor(250, 240, 214) : QColor(40, 30, 60));
  p.fillRect(image.rect(), sky);
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 3; ++i) {
    p.setBrush(light ? QColor(120 + 30 * i, 170 + 20 * i, 110 + 25 * i) : QColor(20 + 8 * i, 26 + 10 * i, 40 + 12 * i));
    p.drawEllipse(QPointF(size.width() * (0.2 + 0.35 * i), size.height() * (0.95 - 0.08 * i)), size.width() * 0.6,
                  size.height() * 0.3);
  }
  return image;
}

void Save(const QImage& image, const char* name) {
  const QString dir = qEnvironmentVariable("ORVANE_SCREENSHOTS");
  if (!dir.isEmpty() && QDir().mkpath(dir)) {
    EXPECT_TRUE(image.save(QDir(dir).filePath(QLatin1String(name))));
  }
}

class ThemeScreenshot : public ThemeSelectFixture {};

TEST_F(ThemeScreenshot, ChooserAndEveryShippedThemeOnLightAndDarkWallpapers) {
  chooser->SetThemeFolders(qEnvironmentVariable("ORVANE_SOURCE_DIR") + "/data/themes", dir.path());
  DataFormat& cal = context->calendar();
  const char* events[] = {"Standup", "Lunch with Sam", "Project review", "Mom's birthday", "Book club"};
  for (int i = 0; i < 5; ++i) {
    TNote& note = cal.NoteArray[static_cast<size_t>(cal.AppendNote())];
    note.Title = events[i];
    note.StartDate = note.EndDate = D(2026, 12, 2) + i / 2 * 2;
    note.Start = i != 3;
    note.StartTime = EncodeTime(9 + 2 * i, 0);
    note.EndTime = note.StartTime + EncodeTime(1, 0);
  }
  cal.ToDoArray[static_cast<size_t>(cal.AppendToDo())].Title = "Renew passport";
  cal.ToDoArray[static_cast<size_t>(cal.AppendToDo())].DueDate = D(2026, 12, 1);
  cal.ToDoArray.back().Title = "Pay the electricity bill";
  context->settings().SetSetting("DisplayNotebook", "0");

  chooser->PanelBackdrop = [](QSize size) { return Wallpaper(size, false); };
  chooser->show();
  const int count = chooser->ThemeList->count();
  ASSERT_GE(count, 6);
  Choose("Ocean");
  QApplication::processEvents();
  Save(chooser->grab().toImage(), "themeselect.png");

  QImage sheet;
  QPainter sheetPainter;
  for (int i = 0; i < count; ++i) {
    chooser->show();
    chooser->ThemeList->setCurrentRow(i);
    chooser->Button1->click();
    DisplayFunctions painter(context->calendar(), context->clock(), context->display());
    painter.BeginPaint();
    const WindowSize size = painter.UpdateWindowSize();
    if (sheet.isNull()) {
      sheet = QImage((size.width + 10) * count + 10, size.height * 2 + 30, QImage::Format_RGB32);
      sheet.fill(Qt::gray);
      sheetPainter.begin(&sheet);
    }
    for (int row = 0; row < 2; ++row) {
      const QImage wallpaper = Wallpaper(QSize(size.width, size.height), row == 0);
      QImage panel(wallpaper.size(), QImage::Format_RGB32);
      painter.PaintPanel(panel, &wallpaper);
      sheetPainter.drawImage(10 + i * (size.width + 10), 10 + row * (size.height + 10), panel);
    }
  }
  sheetPainter.end();
  Save(sheet, "themes-light-dark.png");
}

}  // namespace
