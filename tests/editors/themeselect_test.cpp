// The theme chooser: previews that leave the live look alone, Cancel and Select, deleting the
// user's themes, and saving a theme with its questions.
#include "editors/themeselect.h"
#include "editorfixture.h"

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

// The chooser on a context over a memory store with a pinned clock and scripted dialogs,
// reading themes from folders of the test's own ("shipped" and "user").
class ThemeSelect : public EditorTest {
 protected:
  ThemeSelect() {
    LoadDisplaySettings(context->settings(), context->display());
    chooser = std::make_unique<T_ThemeSelect>(*context);
    chooser->SetThemeFolders(dir.filePath("shipped"), dir.filePath("user"));
    context->windows().RepaintDesktop = [this] { ++repaints; };
    Put("shipped/night.ovtheme", {"Title=Night", "FontName=DejaVu Sans", "MidAlpha=3", "PanelAlpha=200"});
    // Without TaskColor, and with a key that is no theme's.
    Put("shipped/rose.ovtheme",
        {"Title=Rose", "BgColor=255", "FontColor=8388736", "BgAlpha=0", "MidAlpha=0", "UpdateHost=x"});
    Put("user/sea.ovtheme", {"Title=Sea", "BgColor=16711680", "BgAlpha=0", "MidAlpha=0"});
    Put("user/night 2.ovtheme", {"Title=Night", "BgColor=5"});
  }
  void Put(const QString& file, const QStringList& lines) {
    ASSERT_TRUE(WriteThemeFile(dir.filePath(file), lines).lines);
  }
  void Choose(const QString& title) {
    const auto found = chooser->ThemeList->findItems(title, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << title.toStdString();
    chooser->ThemeList->setCurrentItem(found.first());
  }
  QString Listed() const {
    QStringList texts;
    for (int i = 0; i < chooser->ThemeList->count(); ++i) texts << chooser->ThemeList->item(i)->text();
    return texts.join(',');
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
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
    return double(n) / (image.width() * image.height());
  }

  QTemporaryDir dir;
  std::unique_ptr<T_ThemeSelect> chooser;
  int repaints = 0;
};

// Cancel after previews puts back exactly the look the chooser opened on (an absent key
// stays absent); only an empty title is kept as "Current".
TEST_F(ThemeSelect, CancelRestoresTheSixteenKeys) {
  for (const char* title : {"", "Ocean"}) {
    context->settings().SetSetting("Title", title);
    context->settings().SetSetting("MidAlpha", QString());
    QStringList before = ThemeSettings();
    const DisplaySettings shown = context->display();
    chooser->show();
    for (const char* previewed : {"Sea", "Rose", "Night"}) {
      Choose(previewed);
      // The panel keeps its look.
      EXPECT_EQ(std::pair(context->display().BgColor, context->display().PanelAlpha),
                std::pair(shown.BgColor, shown.PanelAlpha));
    }
    chooser->Button2->click();
    if (before[0] == "Title=") before[0] = "Title=Current";
    EXPECT_EQ(ThemeSettings(), before);
    EXPECT_EQ(context->settings().GetSetting("UpdateHost"), QString());
  }
  EXPECT_EQ(repaints, 0);
}

TEST_F(ThemeSelect, ListsBothFoldersPreviewsAndSelectsWithFontColorForTaskColor) {
  context->settings().SetSetting("Title", "Rose");
  chooser->PanelSize = [] { return QSize(200, 260); };
  chooser->show();
  EXPECT_EQ(Listed(), "Night,Night,Rose,Sea");     // one title, two files
  EXPECT_EQ(chooser->ThemeList->currentRow(), 2);  // the theme in use
  EXPECT_FALSE(chooser->Button3->isEnabled());     // shipped
  EXPECT_GT(Share(qRgb(255, 0, 0)), 0.3);          // mostly the theme's background
  Choose("Sea");
  EXPECT_GT(Share(qRgb(0, 0, 255)), 0.3);
  EXPECT_TRUE(chooser->Button3->isEnabled());

  Choose("Rose");
  chooser->Button1->click();
  EXPECT_EQ(context->display().TaskColor, 8388736U);
  // GradientStart is not in Rose: it keeps its value; UpdateHost is no theme's key.
  EXPECT_EQ(context->settings().GetSetting("TaskColor") + ' ' + context->settings().GetSetting("GradientStart") + ' ' +
                context->settings().GetSetting("UpdateHost") + QString::number(repaints),
            "8388736 36864 1");
}

// Deleting the user's theme that took a shipped one's place brings the shipped one back.
TEST_F(ThemeSelect, DeleteAsksAndDeletesOnlyOnYes) {
  Put("user/rose.ovtheme", {"Title=My Rose"});
  chooser->show();
  for (Dialogs::Answer answer : {Dialogs::Answer::Cancel, Dialogs::Answer::No, Dialogs::Answer::Yes}) {
    EXPECT_TRUE(Listed().startsWith("My Rose"));
    Choose("My Rose");
    dialogs->AnswerMessage(answer);
    chooser->Button3->click();
    EXPECT_EQ(dialogs->LastText(), "Are you sure you want to delete the theme 'My Rose'?");
  }
  EXPECT_EQ(Listed(), "Night,Night,Rose,Sea");
}

// Saving "Night" (over the shipped one) and then "NIGHT": the same file, so it asks. Each No
// is followed by the title prompt; a cancelled prompt keeps the title, so the question comes
// again.
TEST_F(ThemeSelect, SaveAsksBeforeOverwriting) {
  using A = Dialogs::Answer;
  struct Row {
    std::vector<A> answers;
    std::vector<std::optional<QString>> titles;
    QString file;  // where the second theme went; empty: nowhere
  };
  const Row rows[] = {{{A::Yes}, {}, "night.ovtheme"},
                      {{A::Cancel}, {}, QString()},
                      {{A::No}, {"Night Owl"}, "night owl.ovtheme"},
                      {{A::No, A::Yes}, {std::nullopt}, "night.ovtheme"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.file.toStdString());
    for (const char* made : {"user/night.ovtheme", "user/night owl.ovtheme"}) QFile::remove(dir.filePath(made));
    const size_t asked = dialogs->asked().size();
    chooser->ClearLoadedTheme();
    chooser->SetThemeValue("Title", "Night");
    chooser->SetThemeValue("BgColor", "1");
    dialogs->AnswerMessage(A::Yes);
    ASSERT_TRUE(chooser->SaveTheme());
    chooser->ClearLoadedTheme();
    for (const QString& key : T_ThemeSelect::ThemeKeys()) chooser->SetThemeValue(key, "2");
    chooser->SetThemeValue("Title", "NIGHT");
    auto title = r.titles.begin();
    for (A a : r.answers) {
      dialogs->AnswerMessage(a);
      if (a == A::No) dialogs->AnswerInput(*title++);
    }
    EXPECT_EQ(chooser->SaveTheme(), !r.file.isEmpty());
    EXPECT_EQ(dialogs->asked()[asked + 1].text, "The theme 'NIGHT' already exists. \n Do you want to overwrite it?");
    const auto read = [this](const QString& name) { return *ReadThemeFile(dir.filePath("user/" + name)).lines; };
    EXPECT_EQ(ThemeLineValue(read("night.ovtheme"), "BgColor"), r.file == "night.ovtheme" ? "2" : "1");
    EXPECT_EQ(r.file.isEmpty() ? 16 : read(r.file).size(), 16);
  }
}

}  // namespace
