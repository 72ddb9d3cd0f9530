#pragma once

#include <QMainWindow>
#include <QPoint>
#include <functional>

class AppContext;
class QAction;
class QListWidget;
class QListWidgetItem;
class QMenu;

// The to-do window: every task in display order with a check mark for completed ones. From
// here the user opens, creates, completes and deletes tasks; each change is made through the
// calendar's own operations and reported with Changed, so the panel repaints at once.
// Other windows and the maker's pages are reached through the context's window hooks; a main
// menu command whose hook is not set stays hidden.
class T_ToDo : public QMainWindow {
  Q_OBJECT
 public:
  // The task editor is reached through the context's window hooks (NewTask, ViewTask).
  explicit T_ToDo(AppContext& context, QWidget* parent = nullptr);

  // Set when the window is made and by the editor's Save, cleared when the editor is shown;
  // while set, every activation of the window rebuilds the list.
  bool NeedsRefresh = false;

  // The task an entry of the list stands for, -1 for none.
  int TaskOfEntry(int entry) const;
  // The entry under a point of the list's viewport, -1 for none.
  int EntryAt(const QPoint& pos) const;
  // The entry the context menu's commands act on.
  int RememberedEntry() const { return rememberedIndex_; }

  // --- Handlers.
  void RefreshTaskList();
  void FormShow();
  void FormActivate();
  void CheckListMouseDown(Qt::MouseButton button, const QPoint& pos);
  void CheckListMouseMove();
  void CheckListDblClick(const QPoint& pos);
  void CheckListKeyDown(int key);
  void CheckListClickCheck(int entry, bool checked);
  // Remembers the entry the menu's commands act on: the one under the last press, or the
  // selected one when the menu was opened from the keyboard.
  void ToDoMenuPopup(bool fromKeyboard = false);
  void NewToDo1Click();
  void ViewToDo1Click();
  void DeleteToDo1Click();
  // Shows or hides the main menu's commands by whether their windows exist.
  void UpdateMainMenu();

  // --- Components.
  QListWidget* CheckList;
  QMenu* ToDoMenu;
  QAction* NewToDo1;
  QAction* ViewToDo1;
  QAction* DeleteToDo1;
  QAction* Calendar1;
  QAction* Options1;
  QMenu* Help1;
  QAction* OrvaneHelp1;
  QAction* N6;
  QAction* AboutOrvane1;
  QAction* Feedback1;
  QAction* OrvaneWebsite1;

 signals:
  // A task was completed, reopened or deleted here: the panel repaints.
  void Changed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void OpenEditorForNew();
  void OpenEditorFor(int entry);
  void DeleteEntry(int entry);

  AppContext& context_;
  int rememberedIndex_ = -1;
  QPoint lastPress_;
  bool doublePressArmed_ = false;
  // Guards the list's own item changes while it is being rebuilt.
  bool filling_ = false;
  bool inCheckChange_ = false;
  // The list was rebuilt since the last left press: a double-click whose first click changed
  // a mark does not act on whatever entry moved under the pointer.
  bool rebuiltSincePress_ = false;
  bool pairBroken_ = false;     // the last left press came after such a rebuild
  bool ignoreRelease_ = false;  // the release ending an ignored double-click
};
