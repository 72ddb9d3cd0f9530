// Theme files: their lines, what of them is applied, the file names titles are saved under.
#include "settings/themefiles.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QFile>
#include <QTemporaryDir>

namespace {

// Titles become file names: A-Z lowered (so "NIGHT" is Night's file), nothing that leaves
// the folder, hides the file or another system refuses, and never too long.
TEST(ThemeFiles, FileNamesFollowTheTitleAndAreSafe) {
  const std::pair<QString, QString> cases[] = {{"Night", "night"},
                                               {"NIGHT", "night"},
                                               {"Été Q", "Été q"},
                                               {"../a\\b", "_a_b"},
                                               {".profile", "profile"},
                                               {"Tab\tEnd\n", "tab_end_"},
                                               {"Is it: *x*?", "is it_ _x__"},
                                               {" .. ", "theme"}};
  for (const auto& [title, file] : cases) EXPECT_EQ(ThemeFileName(title), file + ".ovtheme") << title.toStdString();
  const QString moons = ThemeFileName(QString::fromUtf8("\xF0\x9F\x8C\x99").repeated(100));
  EXPECT_LE(moons.toUtf8().size(), 200);
  EXPECT_EQ(QString::fromUtf8(moons.toUtf8()), moons);  // no half of a surrogate pair
}

TEST(ThemeFiles, LinesParseByNameAndRoundTripAsCrLf) {
  EXPECT_EQ(ParseThemeLines("Title=A\nbgalpha=4\rTITLE=B\r\n=5\r\nMidAlpha=\r\njunk\r\nFontName=Caf\xe9=x"),
            (QStringList{"Title=A", "bgalpha=4", "FontName=Café=x"}));
  QTemporaryDir dir;
  const QString path = dir.filePath("sub/night.ovtheme");
  const QStringList lines{"Title=Nacht über Köln", "UseDropShadow=-1"};
  ASSERT_TRUE(WriteThemeFile(path, lines).lines);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  EXPECT_EQ(file.readAll(), QString("Title=Nacht über Köln\r\nUseDropShadow=-1\r\n").toUtf8());
  EXPECT_EQ(ReadThemeFile(path).lines, lines);
  // Too large to be a theme: refused unread.
  file.write(QByteArray(MaxThemeFileBytes, '\n'));
  file.close();
  EXPECT_FALSE(ReadThemeFile(path).lines);
  // A pipe is not opened: reading it would wait for a writer.
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.ovtheme")).constData(), 0600), 0);
  EXPECT_FALSE(ReadThemeFile(dir.filePath("pipe.ovtheme")).lines);
  // A folder in the way: the write fails and says why.
  EXPECT_FALSE(WriteThemeFile(dir.path(), lines).error.isEmpty());
}

// A theme only restyles the panel: whatever else a passed-around file carries stays out of
// the settings, and so do values their key cannot hold.
TEST(ThemeFiles, OnlyValidThemeKeysAreAppliedAndTaskColorFallsBackToFontColor) {
  EXPECT_EQ(ApplicableThemeLines({"Title=Trojan", "UpdateHost=evil.example", "RunAtStartup=-1", "BgAlpha=999",
                                  "PanelAlpha=3", "FontColor=255", "GradientStart=-5", "UseDropShadow=maybe"}),
            (QStringList{"Title=Trojan", "FontColor=255", "TaskColor=255"}));
  EXPECT_EQ(ApplicableThemeLines({"FontColor=1", "TaskColor=2"}), (QStringList{"FontColor=1", "TaskColor=2"}));
}

}  // namespace
