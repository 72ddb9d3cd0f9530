#pragma once

// The theme chooser on a context over a memory store with a pinned clock and scripted
// dialogs, reading themes from folders of the test's own ("shipped" and "user").
#include "app/appcontext.h"
#include "core/memorykeystore.h"
#include "editors/themeselect.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class ThemeSelectFixture : public ::testing::Test {
 protected:
  ThemeSelectFixture() {
    static int argc = 1;
    static char name[] = "test_editors";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    context = std::make_unique<AppContext>(std::make_unique<FixedClock>(DT(2026, 12, 2, 9, 30)), std::move(scripted),
                                           std::make_unique<MemoryKeyStore>());
    LoadDisplaySettings(context->settings(), context->display());
    chooser = std::make_unique<T_ThemeSelect>(*context);
    chooser->SetThemeFolders(dir.filePath(QStringLiteral("shipped")), dir.filePath(QStringLiteral("user")));
    context->windows().RepaintDesktop = [this] { ++repaints; };
  }
  void Put(const QString& file, const QStringList& lines) {
    ASSERT_TRUE(WriteThemeFile(dir.filePath(file), lines).lines);
  }
  void Choose(const QString& title) {
    const auto found = chooser->ThemeList->findItems(title, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << title.toStdString();
    chooser->ThemeList->setCurrentItem(found.first());
  }

  QTemporaryDir dir;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<AppContext> context;
  std::unique_ptr<T_ThemeSelect> chooser;
  int repaints = 0;
};
