// The theme chooser: previews that leave the live look alone, Cancel and Select, deleting the
// user's themes, saving a theme with its questions, and (make screenshots) pictures of the
// chooser and of every shipped theme over a light and a dark wallpaper.
#include "core/memorykeystore.h"
#include "editors/themeselect.h"
#include "session/appcontext.h"
#include "support/screenshot.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QApplication>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The chooser on a context over a memory store with a pinned clock and scripted dialogs,
// reading themes from folders of the test's own ("shipped" and "user").
class ThemeSelect : public ::testing::Test {
 protected:
  ThemeSelect() {
    EnsureApplication();
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    context = std::make_unique<AppContext>(std::make_unique<FixedClock>(DT(2026, 12, 2, 9, 30)), std::move(scripted),
                                           std::make_unique<MemoryKeyStore>());
    LoadDisplaySettings(context->settings(), context->display());
    chooser = std::make_unique<T_ThemeSelect>(*context);
    chooser->SetThemeFolders(dir.filePath("shipped"), dir.filePath("user"));
    context->windows().RepaintDesktop = [this] { ++repaints; };
    Put("shipped/night.ovtheme", {"Title=Night", "FontName=DejaVu Sans", "MidAlpha=3", "PanelAlpha=200"});
    // Without TaskColor, and with a key that is no theme's.
    Put("shipped/rose.ovtheme", {"Title=Rose", "BgColor=255", "FontColor=8388736", "BgAlpha=0", "MidAlpha=0", "UpdateHost=x"});
    Put("user/sea.ovtheme", {"Title=Sea", "BgColor=16711680", "BgAlpha=0", "MidAlpha=0"});
    Put("user/night 2.ovtheme", {"Title=Night", "BgColor=5"});
  }
  void Put(const QString& file, const QStringList& lines) { ASSERT_TRUE(WriteThemeFile(dir.filePath(file), lines).lines); }
  void Choose(const QString& title) {
    const auto found = chooser->ThemeList->findItems(title, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << title.toStdString();
    chooser->ThemeList->setCurrentItem(found.first());
  }
  QStringList Listed() const {
    QStringList texts;
    for (int i = 0; i < chooser->ThemeList->count(); ++i) texts << chooser->ThemeList->item(i)->text();
    return texts;
  }
  QStringList ThemeSettings() {
    QStringList values;
    for (const QString& key : T_ThemeSelect::ThemeKeys()) values << key + '=' + context->settings().GetSetting(key);
    return values;
  }
  // The share of the preview's pixels in one colour.
  double Share(QRgb colour) {
    const QImage image = chooser->Preview();
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
    }
    return double(n) / (image.width() * image.height());
  }

  QTemporaryDir dir;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<AppContext> context;
  std::unique_ptr<T_ThemeSelect> chooser;
  int repaints = 0;
};

// Cancel after previews puts back exactly the look the chooser opened on (an absent key
// stays absent); only an empty title is kept as "Current".
class ThemeCancel : public ThemeSelect, public ::testing::WithParamInterface<const char*> {};

TEST_P(ThemeCancel, RestoresTheSixteenKeys) {
  context->settings().SetSetting("Title", GetParam());
  context->settings().SetSetting("MidAlpha", QString());
  QStringList before = ThemeSettings();
  const DisplaySettings shown = context->display();
  chooser->show();
  for (const char* title : {"Sea", "Rose", "Night"}) {
    Choose(title);
    EXPECT_EQ(context->display().BgColor, shown.BgColor) << title;  // the panel keeps its look
    EXPECT_EQ(context->display().PanelAlpha, shown.PanelAlpha) << title;
  }
  chooser->Button2->click();
  if (before[0] == "Title=") before[0] = "Title=Current";
  EXPECT_EQ(ThemeSettings(), before);
  EXPECT_EQ(context->settings().GetSetting("UpdateHost"), QString());
  EXPECT_EQ(repaints, 0);
}

INSTANTIATE_TEST_SUITE_P(Titles, ThemeCancel, ::testing::Values("", "Ocean"));

TEST_F(ThemeSelect, ListsBothFoldersPreviewsAndSelectsWithFontColorForTaskColor) {
  context->settings().SetSetting("Title", "Rose");
  chooser->PanelSize = [] { return QSize(200, 260); };
  chooser->show();
  EXPECT_EQ(Listed(), (QStringList{"Night", "Night", "Rose", "Sea"}));  // one title, two files
  EXPECT_EQ(chooser->ThemeList->currentRow(), 2);                      // the theme in use
  EXPECT_FALSE(chooser->Button3->isEnabled());                         // shipped
  ASSERT_EQ(chooser->Preview().size(), QSize(200, 260));
  EXPECT_GT(Share(qRgb(255, 0, 0)), 0.3);  // mostly the theme's background
  Choose("Sea");
  EXPECT_GT(Share(qRgb(0, 0, 255)), 0.3);
  EXPECT_TRUE(chooser->Button3->isEnabled());

  Choose("Rose");
  chooser->Button1->click();
  EXPECT_EQ(chooser->result(), QDialog::Accepted);
  EXPECT_EQ(context->settings().GetSetting("TaskColor"), "8388736");
  EXPECT_EQ(context->display().TaskColor, 8388736U);
  EXPECT_EQ(context->settings().GetSetting("GradientStart"), "36864");  // not in Rose
  EXPECT_EQ(context->settings().GetSetting("UpdateHost"), QString());
  EXPECT_EQ(repaints, 1);
}

// Deleting the user's theme that took a shipped one's place brings the shipped one back.
TEST_F(ThemeSelect, DeleteAsksAndDeletesOnlyOnYes) {
  Put("user/rose.ovtheme", {"Title=My Rose"});
  chooser->show();
  for (Dialogs::Answer answer : {Dialogs::Answer::Cancel, Dialogs::Answer::No, Dialogs::Answer::Yes}) {
    EXPECT_EQ(Listed().first(), "My Rose");
    Choose("My Rose");
    dialogs->AnswerMessage(answer);
    chooser->Button3->click();
    EXPECT_EQ(dialogs->LastText(), "Are you sure you want to delete the theme 'My Rose'?");
  }
  EXPECT_EQ(Listed(), (QStringList{"Night", "Night", "Rose", "Sea"}));
}

// Saving "Night" (over the shipped one) and then "NIGHT": the same file, so it asks.
struct SaveCase {
  const char* name;
  std::vector<Dialogs::Answer> answers;
  std::vector<std::optional<QString>> titles;  // answers to the title prompt
  QString file;                                // where the second theme went; empty: nowhere
};

class ThemeSave : public ThemeSelect, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(ThemeSave, AsksBeforeOverwriting) {
  chooser->SetThemeValue("Title", "Night");
  chooser->SetThemeValue("BgColor", "1");
  dialogs->AnswerMessage(Dialogs::Answer::Yes);
  ASSERT_TRUE(chooser->SaveTheme());
  chooser->ClearLoadedTheme();
  for (const QString& key : T_ThemeSelect::ThemeKeys()) chooser->SetThemeValue(key, "2");
  chooser->SetThemeValue("Title", "NIGHT");
  auto title = GetParam().titles.begin();  // each No is followed by the title prompt
  for (Dialogs::Answer a : GetParam().answers) {
    dialogs->AnswerMessage(a);
    if (a == Dialogs::Answer::No) dialogs->AnswerInput(*title++);
  }

  const QString file = GetParam().file;
  EXPECT_EQ(chooser->SaveTheme(), !file.isEmpty());
  EXPECT_EQ(dialogs->asked()[1].text, "The theme 'NIGHT' already exists. \n Do you want to overwrite it?");
  const auto read = [this](const QString& name) { return *ReadThemeFile(dir.filePath("user/" + name)).lines; };
  EXPECT_EQ(ThemeLineValue(read("night.ovtheme"), "BgColor"), file == "night.ovtheme" ? "2" : "1");
  if (!file.isEmpty()) {
    EXPECT_EQ(read(file).size(), 16);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ThemeSave,
    ::testing::Values(SaveCase{"Yes", {Dialogs::Answer::Yes}, {}, "night.ovtheme"},
                      SaveCase{"Cancel", {Dialogs::Answer::Cancel}, {}, QString()},
                      SaveCase{"NoThenNewTitle", {Dialogs::Answer::No}, {"Night Owl"}, "night owl.ovtheme"},
                      // A cancelled prompt keeps the title, so the question comes again.
                      SaveCase{"NoPromptCancelledYes", {Dialogs::Answer::No, Dialogs::Answer::Yes}, {std::nullopt}, "night.ovtheme"}),
    [](const auto& info) { return std::string(info.param.name); });

// A wallpaper-like sky, light or dark.
QImage Wallpaper(QSize size, bool light) {
  QImage image(size, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient sky(0, 0, size.width() * 0.5, size.height());
  sky.setColorAt(0, light ? QColor(196, 222, 244) : QColor(14, 20, 44));
  sky.setColorAt(1, light ? QColor(236, 226, 196) : QColor(48, 34, 64));
  p.fillRect(image.rect(), sky);
  return image;
}

TEST_F(ThemeSelect, ScreenshotsOfTheChooserAndEveryShippedThemeOnLightAndDarkWallpapers) {
  chooser->SetThemeFolders(qEnvironmentVariable("ORVANE_SOURCE_DIR") + "/data/themes", dir.path());
  DataFormat& cal = context->calendar();
  const char* events[] = {"Standup", "Lunch with Sam", "Project review", "Mom's birthday", "Book club"};
  for (int i = 0; i < 5; ++i) {
    TNote& note = cal.NoteArray[static_cast<size_t>(cal.AppendNote())];
    note.Title = events[i];
    note.StartDate = note.EndDate = D(2026, 12, 2) + i / 2 * 2;
    note.Start = i != 3;
    note.StartTime = EncodeTime(9 + 2 * i, 0);
  }
  TToDo& task = cal.ToDoArray[static_cast<size_t>(cal.AppendToDo())];
  task.Title = "Pay the electricity bill";
  task.DueDate = D(2026, 12, 1);
  context->settings().SetSetting("DisplayNotebook", "0");
  LoadDisplaySettings(context->settings(), context->display());
  chooser->show();
  const int count = chooser->ThemeList->count();
  ASSERT_GE(count, 6);
  std::vector<QImage> shots;
  for (bool light : {true, false}) {
    chooser->PanelBackdrop = [light](QSize size) { return Wallpaper(size, light); };
    for (int i = 0; i < count; ++i) {
      chooser->ThemeList->setCurrentRow(i);
      chooser->ThemeListClick();
      shots.push_back(chooser->Preview());
      const QStringList lines = *ReadThemeFile(chooser->EntryPaths()[i]).lines;  // complete and valid
      EXPECT_EQ(ApplicableThemeLines(lines), lines);
      EXPECT_EQ(lines.size(), 16);
    }
  }
  Choose("Ocean");
  Screenshot(chooser.get(), "themeselect", QSize(400, 400));
  const QSize cell = shots[0].size() + QSize(10, 10);
  QImage sheet(cell.width() * count + 10, cell.height() * 2 + 10, QImage::Format_RGB32);
  sheet.fill(Qt::gray);
  QPainter p(&sheet);
  for (size_t k = 0; k < shots.size(); ++k) {
    p.drawImage(10 + int(k) % count * cell.width(), 10 + int(k) / count * cell.height(), shots[k]);
  }
  SaveScreenshot(sheet, "themes-light-dark");
}

}  // namespace
