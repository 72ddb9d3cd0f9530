#include "editors/todo.h"

#include "editors/controls.h"
#include "platform/windowfit.h"
#include "session/appcontext.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QShowEvent>

namespace {

// Each entry keeps the index of its task: the panel rebuilds the display order at every
// paint, so an entry's position alone could name another task by the time it is used.
constexpr int TaskRole = Qt::UserRole;

}  // namespace

T_ToDo::T_ToDo(AppContext& context, QWidget* parent) : QMainWindow(parent), context_(context) {
  setObjectName(QStringLiteral("T_ToDo"));
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setWindowTitle(tr("Tasks"));
  resize(380, 440);

  CheckList = new QListWidget(this);
  CheckList->setObjectName(QStringLiteral("CheckList"));
  CheckList->setSelectionMode(QAbstractItemView::SingleSelection);
  CheckList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  CheckList->setUniformItemSizes(true);
  CheckList->viewport()->setMouseTracking(true);
  CheckList->viewport()->installEventFilter(this);
  CheckList->installEventFilter(this);
  setCentralWidget(CheckList);

  ToDoMenu = new QMenu(this);
  ToDoMenu->setObjectName(QStringLiteral("ToDoMenu"));
  NewToDo1 = NamedAction(ToDoMenu, tr("New Task"), "NewToDo1");
  ViewToDo1 = NamedAction(ToDoMenu, tr("View Task"), "ViewToDo1");
  DeleteToDo1 = NamedAction(ToDoMenu, tr("Delete Task"), "DeleteToDo1");
  ToDoMenu->addActions({NewToDo1, ViewToDo1, DeleteToDo1});
  connect(NewToDo1, &QAction::triggered, this, [this] { NewToDo1Click(); });
  connect(ViewToDo1, &QAction::triggered, this, [this] { ViewToDo1Click(); });
  connect(DeleteToDo1, &QAction::triggered, this, [this] { DeleteToDo1Click(); });

  QMenuBar* bar = menuBar();
  Calendar1 = NamedAction(bar, tr("Calendar"), "Calendar1");
  Options1 = NamedAction(bar, tr("Options"), "Options1");
  bar->addAction(Calendar1);
  bar->addAction(Options1);
  Help1 = bar->addMenu(tr("Help"));
  Help1->setObjectName(QStringLiteral("Help1"));
  Help1->menuAction()->setObjectName(QStringLiteral("Help1"));
  OrvaneHelp1 = NamedAction(Help1, tr("Orvane Help"), "OrvaneHelp1");
  OrvaneHelp1->setShortcut(QKeySequence(Qt::Key_F1));
  OrvaneHelp1->setShortcutContext(Qt::WindowShortcut);
  N6 = NamedAction(Help1, QString(), "N6");
  N6->setSeparator(true);
  AboutOrvane1 = NamedAction(Help1, tr("About Orvane"), "AboutOrvane1");
  Feedback1 = NamedAction(Help1, tr("Contact the developer"), "Feedback1");
  OrvaneWebsite1 = NamedAction(Help1, tr("Orvane Website"), "OrvaneWebsite1");
  Help1->addActions({OrvaneHelp1, N6, AboutOrvane1, Feedback1, OrvaneWebsite1});
  // F1 works while the window is active, also when the menu bar is not open.
  addAction(OrvaneHelp1);

  // The main menu opens the other windows and the maker's pages through the context's window
  // hooks; a command whose hook is not set stays hidden.
  AppWindows& windows = context_.windows();
  const auto run = [&windows](std::function<void()> AppWindows::*hook) {
    return [&windows, hook] {
      if (windows.*hook) (windows.*hook)();
    };
  };
  connect(Calendar1, &QAction::triggered, this, [this, &windows] {
    if (!windows.ShowMonth) return;
    windows.ShowMonth();
    hide();
  });
  connect(Options1, &QAction::triggered, this, run(&AppWindows::ShowOptions));
  connect(OrvaneHelp1, &QAction::triggered, this, run(&AppWindows::ShowHelp));
  connect(AboutOrvane1, &QAction::triggered, this, run(&AppWindows::ShowAbout));
  connect(Feedback1, &QAction::triggered, this, run(&AppWindows::OpenContactPage));
  connect(OrvaneWebsite1, &QAction::triggered, this, run(&AppWindows::OpenWebsite));

  connect(CheckList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (filling_) return;
    CheckListClickCheck(CheckList->row(item), item->checkState() == Qt::Checked);
  });

  UpdateMainMenu();
  // FormCreate.
  NeedsRefresh = true;
}

int T_ToDo::TaskOfEntry(int entry) const {
  const QListWidgetItem* item = entry >= 0 ? CheckList->item(entry) : nullptr;
  if (!item) return -1;
  bool ok = false;
  const int task = item->data(TaskRole).toInt(&ok);
  if (!ok || task < 0 || task >= context_.calendar().ToDoCount()) return -1;
  return task;
}

int T_ToDo::EntryAt(const QPoint& pos) const {
  const QListWidgetItem* item = CheckList->itemAt(pos);
  return item ? CheckList->row(item) : -1;
}

void T_ToDo::RefreshTaskList() {
  DataFormat& calendar = context_.calendar();
  calendar.SortToDos();
  const FormatSettings format = FormatSettings::FromSystemLocale();
  const int count = calendar.SortedToDoCount();
  const TDateTime today = context_.clock().Today();
  const QColor doneColour = palette().color(QPalette::Disabled, QPalette::Text);
  const QColor overdueColour(0xb0, 0x1c, 0x1c);
  const int rowHeight = CheckList->fontMetrics().height() + 8;
  if (inCheckChange_ && count < CheckList->count()) {
    // Tasks were deleted elsewhere meanwhile; their entries go once the list's own change
    // notice is over.
    QMetaObject::invokeMethod(
        this, [this] { RefreshTaskList(); }, Qt::QueuedConnection);
    return;
  }

  // The entries are rewritten in place: a mark the user just changed is rewritten from
  // inside the list's own change notice, where removing its entry would pull it from under
  // the list.
  filling_ = true;
  while (CheckList->count() > count) delete CheckList->takeItem(CheckList->count() - 1);
  for (int position = 0; position < count; ++position) {
    const int index = calendar.SortedToDos[static_cast<size_t>(position)];
    const TToDo& task = calendar.ToDoArray[static_cast<size_t>(index)];
    QString text = task.Title + QStringLiteral(" (") + PriorityName(task.Priority);
    if (task.DueDate != 0)
      text += QStringLiteral(" Due ") + FormatDateTime(QStringLiteral("ddddd"), task.DueDate, format);
    text += QLatin1Char(')');

    QListWidgetItem* item = CheckList->item(position);
    if (!item) {
      item = new QListWidgetItem(CheckList);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      item->setSizeHint(QSize(0, rowHeight));
    }
    item->setText(text);
    item->setToolTip(task.Notes.join(QLatin1Char('\n')));
    item->setData(TaskRole, index);
    item->setCheckState(task.Completed ? Qt::Checked : Qt::Unchecked);
    // Done tasks are greyed; open tasks whose due day has passed stand out in red.
    const bool overdue = !task.Completed && task.DueDate != 0 && DatePart(task.DueDate) < today;
    item->setForeground(task.Completed ? QBrush(doneColour) : overdue ? QBrush(overdueColour) : QBrush());
  }
  filling_ = false;
  rebuiltSincePress_ = true;
}

void T_ToDo::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void T_ToDo::FormShow() {
  static const char* const centredProperty = "orvaneCentred";
  if (!property(centredProperty).toBool()) {
    CentreOnScreen(this);
    setProperty(centredProperty, true);
  }
  UpdateMainMenu();
  RefreshTaskList();
}

bool T_ToDo::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return QMainWindow::event(event);
}

void T_ToDo::FormActivate() {
  if (NeedsRefresh) RefreshTaskList();
}

void T_ToDo::UpdateMainMenu() {
  const AppWindows& windows = context_.windows();
  Calendar1->setVisible(static_cast<bool>(windows.ShowMonth));
  Options1->setVisible(static_cast<bool>(windows.ShowOptions));
  OrvaneHelp1->setVisible(static_cast<bool>(windows.ShowHelp));
  AboutOrvane1->setVisible(static_cast<bool>(windows.ShowAbout));
  Feedback1->setVisible(static_cast<bool>(windows.OpenContactPage));
  OrvaneWebsite1->setVisible(static_cast<bool>(windows.OpenWebsite));
  const bool below = AboutOrvane1->isVisible() || Feedback1->isVisible() || OrvaneWebsite1->isVisible();
  N6->setVisible(OrvaneHelp1->isVisible() && below);
  Help1->menuAction()->setVisible(OrvaneHelp1->isVisible() || below);
  menuBar()->setVisible(Calendar1->isVisible() || Options1->isVisible() || Help1->menuAction()->isVisible());
}

// --- The mouse and the keys in the list.

bool T_ToDo::eventFilter(QObject* watched, QEvent* event) {
  if (watched == CheckList && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Delete) {
      CheckListKeyDown(key->key());
      return true;
    }
    return false;
  }
  // The menu key's context menu comes to the list itself: the list passes only the mouse's
  // on to its viewport.
  const bool menuKey = watched == CheckList && event->type() == QEvent::ContextMenu;
  if (watched != CheckList->viewport() && !menuKey) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint pos = mouse->position().toPoint();
      if (mouse->button() == Qt::LeftButton) {
        pairBroken_ = rebuiltSincePress_;
        rebuiltSincePress_ = false;
      }
      CheckListMouseDown(mouse->button(), pos);
      // The right press has done its selecting; the list's own would select again.
      return mouse->button() == Qt::RightButton;
    }
    case QEvent::MouseButtonDblClick: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return false;
      // When the first click changed a mark, the list was rebuilt and another task may now
      // sit under the pointer: the second click of the pair does nothing, its release
      // included (so it cannot change that other task's mark).
      if (pairBroken_) {
        ignoreRelease_ = true;
        return true;
      }
      CheckListDblClick(mouse->position().toPoint());
      return true;
    }
    case QEvent::MouseButtonRelease:
      if (ignoreRelease_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        ignoreRelease_ = false;
        return true;
      }
      return false;
    case QEvent::MouseMove:
      CheckListMouseMove();
      return false;
    case QEvent::ContextMenu: {
      auto* menuEvent = static_cast<QContextMenuEvent*>(event);
      const bool fromKeyboard = menuEvent->reason() == QContextMenuEvent::Keyboard;
      ToDoMenuPopup(fromKeyboard);
      ToDoMenu->popup(ContextMenuPoint(*menuEvent, *CheckList, rememberedIndex_));
      return true;
    }
    default:
      return false;
  }
}

void T_ToDo::CheckListMouseDown(Qt::MouseButton button, const QPoint& pos) {
  lastPress_ = pos;
  if (button == Qt::LeftButton) {
    if (!doublePressArmed_) {
      doublePressArmed_ = true;
      return;
    }
    doublePressArmed_ = false;
    rememberedIndex_ = EntryAt(pos);
    if (rememberedIndex_ < 0) OpenEditorForNew();
  } else if (button == Qt::RightButton) {
    const int entry = EntryAt(pos);
    if (entry >= 0) {
      CheckList->setCurrentRow(entry, QItemSelectionModel::ClearAndSelect);
    } else {
      CheckList->clearSelection();
      CheckList->setCurrentRow(-1);
    }
  }
}

void T_ToDo::CheckListMouseMove() { doublePressArmed_ = false; }

void T_ToDo::CheckListDblClick(const QPoint& pos) {
  const int entry = EntryAt(pos);
  if (entry >= 0) OpenEditorFor(entry);
}

void T_ToDo::CheckListKeyDown(int key) {
  if (key != Qt::Key_Delete) return;
  const QList<QListWidgetItem*> selected = CheckList->selectedItems();
  if (selected.isEmpty()) return;
  DeleteEntry(CheckList->row(selected.front()));
}

void T_ToDo::CheckListClickCheck(int entry, bool checked) {
  const int index = TaskOfEntry(entry);
  DataFormat& calendar = context_.calendar();
  // An entry whose task was deleted elsewhere since the list was made changes nothing.
  if (index >= 0 && calendar.ToDoArray[static_cast<size_t>(index)].DeleteDate == 0 &&
      calendar.ToDoArray[static_cast<size_t>(index)].Completed != checked) {
    // The calendar's own toggle keeps the open-task count with the records.
    calendar.ToggleToDoCompleted(index);
  }
  inCheckChange_ = true;
  RefreshTaskList();
  inCheckChange_ = false;
  emit Changed();
}

// --- The context menu.

void T_ToDo::ToDoMenuPopup(bool fromKeyboard) {
  if (fromKeyboard) {
    const QList<QListWidgetItem*> selected = CheckList->selectedItems();
    rememberedIndex_ = selected.isEmpty() ? -1 : CheckList->row(selected.front());
  } else {
    rememberedIndex_ = EntryAt(lastPress_);
  }
  const bool onEntry = rememberedIndex_ >= 0;
  ViewToDo1->setEnabled(onEntry);
  DeleteToDo1->setEnabled(onEntry);
}

void T_ToDo::NewToDo1Click() { OpenEditorForNew(); }

void T_ToDo::ViewToDo1Click() { OpenEditorFor(rememberedIndex_); }

void T_ToDo::DeleteToDo1Click() { DeleteEntry(rememberedIndex_); }

// --- Acting on entries.

void T_ToDo::OpenEditorForNew() {
  if (context_.windows().NewTask) context_.windows().NewTask();
}

void T_ToDo::OpenEditorFor(int entry) {
  const int index = TaskOfEntry(entry);
  if (index >= 0 && context_.windows().ViewTask) context_.windows().ViewTask(index);
}

void T_ToDo::DeleteEntry(int entry) {
  const int index = TaskOfEntry(entry);
  if (index < 0) return;
  DataFormat& calendar = context_.calendar();
  if (calendar.ToDoArray[static_cast<size_t>(index)].DeleteDate == 0) calendar.DeleteToDo(index);
  rememberedIndex_ = -1;
  RefreshTaskList();
  emit Changed();
}
