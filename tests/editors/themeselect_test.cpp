// The theme chooser: previews that leave the live look alone, Cancel and Select, deleting the
// user's themes, and saving a theme with its questions.
#include "themeselectfixture.h"

namespace {

class ThemeSelect : public ThemeSelectFixture {
 protected:
  ThemeSelect() {
    Put("shipped/night.ovtheme", {"Title=Night", "FontName=DejaVu Sans", "MidAlpha=3", "PanelAlpha=200"});
    // Without TaskColor, and with a key that is no theme's.
    Put("shipped/rose.ovtheme", {"Title=Rose", "BgColor=255", "FontColor=8388736", "BgAlpha=0", "MidAlpha=0", "UpdateHost=x"});
    Put("user/sea.ovtheme", {"Title=Sea", "BgColor=16711680", "BgAlpha=0", "MidAlpha=0"});
    Put("user/night 2.ovtheme", {"Title=Night", "BgColor=5"});
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
  EXPECT_EQ(chooser->result(), QDialog::Rejected);
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
  const QDir user(dir.filePath("user"));
  EXPECT_EQ(user.entryList({"*.ovtheme"}).size(), file.isEmpty() || file == "night.ovtheme" ? 3 : 4);
  const auto night = ReadThemeFile(user.filePath("night.ovtheme")).lines.value_or(QStringList());
  EXPECT_EQ(ThemeLineValue(night, "BgColor"), file == "night.ovtheme" ? "2" : "1");
  if (!file.isEmpty()) {
    EXPECT_EQ(ReadThemeFile(user.filePath(file)).lines->size(), 16);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ThemeSave,
    ::testing::Values(SaveCase{"Yes", {Dialogs::Answer::Yes}, {}, "night.ovtheme"},
                      SaveCase{"Cancel", {Dialogs::Answer::Cancel}, {}, QString()},
                      SaveCase{"NoThenNewTitle", {Dialogs::Answer::No}, {"Night Owl"}, "night owl.ovtheme"},
                      // A cancelled prompt keeps the title, so the question comes again.
                      SaveCase{"NoPromptCancelledYes", {Dialogs::Answer::No, Dialogs::Answer::Yes}, {std::nullopt}, "night.ovtheme"},
                      SaveCase{"NoTakenTitleCancel", {Dialogs::Answer::No, Dialogs::Answer::Cancel}, {"sea"}, QString()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ThemeSelect, SaveThatCannotWriteSaysSoAndFails) {
  QDir(dir.filePath("user")).mkpath("dusk_dawn.ovtheme");  // a folder in the way
  chooser->SetThemeValue("Title", "Dusk/Dawn");
  dialogs->AnswerMessage(Dialogs::Answer::Yes);
  dialogs->AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_FALSE(chooser->SaveTheme());
  EXPECT_EQ(dialogs->asked().back().caption, "Alert");
}

}  // namespace
