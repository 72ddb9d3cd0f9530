// First sizes: every window opens inside the available area of its screen, however large the
// size it asks for or was stored with. The offscreen screen is 800 x 600, smaller than most
// windows' own sizes.
#include "editorfixture.h"
#include "editors/mainform.h"
#include "editors/noteform.h"
#include "editors/options.h"
#include "editors/printview.h"
#include "editors/taskform.h"
#include "editors/themeselect.h"
#include "editors/todo.h"
#include "platform/sound.h"

#include <QScreen>

namespace {

TEST_F(EditorTest, EveryWindowOpensInsideTheAvailableArea) {
  // The month window stored with its bottom past the work area (as 3/4 of a larger screen's is).
  DisplaySettings& d = context->display();
  std::tie(d.MainLeft, d.MainTop, d.MainWidth, d.MainHeight) = std::tuple(200, 150, 760, 580);
  T_Main month(*context);
  T_PrintView print(*context);
  T_TaskForm task(*context);
  T_ToDo todo(*context);
  T_NoteForm note(*context);
  T_ThemeSelect themes(*context);
  SilentSound sound;
  T_Options options(*context, sound);
  const std::pair<QWidget*, std::function<void()>> windows[] = {
      {&month, [&] { month.show(); }},    {&print, [&] { print.ShowForDate(D(2026, 12, 2)); }},
      {&todo, [&] { todo.show(); }},      {&task, [&] { task.Open(); }},
      {&note, [&] { note.show(); }},      {&themes, [&] { themes.show(); }},
      {&options, [&] { options.Open(); }}};
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  for (const auto& [window, open] : windows) {
    open();
    QApplication::processEvents();
    const QRect frame = window->frameGeometry();
    EXPECT_TRUE(area.contains(frame)) << window->metaObject()->className() << ": " << frame.x() << "," << frame.y()
                                      << " " << frame.width() << "x" << frame.height();
    window->hide();
  }
}

}  // namespace
