// First sizes: every window opens inside the available area of its screen, however large the
// size it asks for or was stored with. The offscreen screen is 800 x 600, smaller than most
// windows' own sizes.
#include "core/memorykeystore.h"
#include "editors/mainform.h"
#include "editors/noteform.h"
#include "editors/options.h"
#include "editors/printview.h"
#include "editors/taskform.h"
#include "editors/themeselect.h"
#include "editors/todo.h"
#include "platform/sound.h"
#include "session/appcontext.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QApplication>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

class FirstSizeTest : public ::testing::Test {
 protected:
  FirstSizeTest() {
    EnsureApplication();
    context = std::make_unique<AppContext>(std::make_unique<FixedClock>(DT(2026, 12, 2, 9, 30)),
                                           std::make_unique<ScriptedDialogs>(), std::make_unique<MemoryKeyStore>());
    area = QGuiApplication::primaryScreen()->availableGeometry();
  }

  // The window, shown, lies inside the available area, frame included.
  void ExpectInside(QWidget& window, const char* name) {
    QApplication::processEvents();
    EXPECT_TRUE(area.contains(window.frameGeometry()))
        << name << ": " << window.frameGeometry().x() << "," << window.frameGeometry().y() << " "
        << window.frameGeometry().width() << "x" << window.frameGeometry().height();
    window.hide();
  }

  std::unique_ptr<AppContext> context;
  QRect area;
};

// Stored with its bottom past the work area (as 3/4 of a larger screen's work area is).
TEST_F(FirstSizeTest, MonthWindowStoredPastTheBottomOpensInside) {
  DisplaySettings& d = context->display();
  d.MainLeft = 200;
  d.MainTop = 150;
  d.MainWidth = 760;
  d.MainHeight = 580;
  T_Main month(*context);
  month.show();
  ExpectInside(month, "month");
}

TEST_F(FirstSizeTest, EveryOtherWindowOpensInside) {
  T_PrintView print(*context);
  print.ShowForDate(D(2026, 12, 2));
  ExpectInside(print, "print view");
  T_TaskForm task(*context);
  T_ToDo todo(*context, task);
  todo.show();
  ExpectInside(todo, "to-do");
  task.Open();
  ExpectInside(task, "task editor");
  T_NoteForm note(*context);
  note.show();
  ExpectInside(note, "event editor");
  T_ThemeSelect themes(*context);
  themes.show();
  ExpectInside(themes, "theme chooser");
  SilentSound sound;
  T_Options options(*context, sound);
  options.Open();
  ExpectInside(options, "options");
}

}  // namespace
