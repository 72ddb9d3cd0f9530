#include "editors/mainform.h"

#include "core/repeattype.h"
#include "editors/controls.h"
#include "editors/monthwidgets.h"
#include "session/appcontext.h"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QToolTip>

namespace {

// What a drag between day lists carries; the source list itself says which day it left.
const char* const OccurrenceMime = "application/x-orvane-occurrence";

}  // namespace

// --- The mouse, the keys and drops in the day lists.

bool T_Main::eventFilter(QObject* watched, QEvent* event) {
  if (watched == MainPanel || watched == MonthTitle || watched == LabelPanel) {
    if (event->type() == QEvent::Resize && created_) LayoutGrid();
    return false;
  }
  const int cell = CellOfList(watched);
  if (cell < 0) return false;
  month::DayList* list = cells_[static_cast<size_t>(cell)].ListBox;
  const bool onViewport = watched == list->viewport();
  switch (event->type()) {
    case QEvent::KeyPress: {
      if (onViewport) return false;
      auto* key = static_cast<QKeyEvent*>(event);
      return ListBoxKeyDown(cell, key->key(), key->text(), key->modifiers());
    }
    case QEvent::MouseButtonPress: {
      if (!onViewport) return false;
      auto* mouse = static_cast<QMouseEvent*>(event);
      ListBoxMouseDown(cell, mouse->button(), mouse->position().toPoint());
      return false;
    }
    case QEvent::MouseMove: {
      if (!onViewport) return false;
      auto* mouse = static_cast<QMouseEvent*>(event);
      ListBoxMouseMove(cell);
      if (!(mouse->buttons() & Qt::LeftButton)) return false;
      // With the button held the pointer drags the entry it pressed, never the selection.
      if (pressCell_ == cell && pressOnEntry_ &&
          (mouse->position().toPoint() - lastPress_).manhattanLength() >= QApplication::startDragDistance()) {
        StartDrag(cell);
      }
      return true;
    }
    case QEvent::MouseButtonDblClick: {
      if (!onViewport) return false;
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return false;
      ListBoxDblClick(cell, mouse->position().toPoint());
      return true;
    }
    case QEvent::ToolTip: {
      if (!onViewport) return false;
      auto* help = static_cast<QHelpEvent*>(event);
      const int entry = EntryAt(cell, help->pos());
      const QString tip = EntryTip(cell, entry);
      if (tip.isEmpty()) {
        QToolTip::hideText();
      } else {
        QToolTip::showText(help->globalPos(), tip, list->viewport(), list->EntryRect(entry));
      }
      return true;
    }
    case QEvent::ContextMenu: {
      auto* menuEvent = static_cast<QContextMenuEvent*>(event);
      const bool fromKeyboard = menuEvent->reason() == QContextMenuEvent::Keyboard;
      if (cell != selectedCell_) SelectDay(cells_[static_cast<size_t>(cell)].Date);
      NoteMenuPopup(fromKeyboard);
      NoteMenu->popup(ContextMenuPoint(*menuEvent, *list, rememberedEntry_));
      return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      // Only an entry dragged from a day list of this window.
      if (CellOfList(drag->source()) < 0 || !drag->mimeData()->hasFormat(QLatin1String(OccurrenceMime))) {
        drag->ignore();
        return true;
      }
      drag->setDropAction(drag->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction);
      drag->accept();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const int source = CellOfList(drop->source());
      if (source < 0) {
        drop->ignore();
        return true;
      }
      const bool copy = drop->modifiers() & Qt::ControlModifier;
      drop->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
      drop->accept();
      ListBoxDragDrop(source, cell, copy);
      return true;
    }
    default:
      return false;
  }
}

void T_Main::ListBoxMouseDown(int cell, Qt::MouseButton button, const QPoint& pos) {
  if (cell < 0 || cell >= CellCount) return;
  TDateData& data = cells_[static_cast<size_t>(cell)];
  if (cell != selectedCell_) SelectDay(data.Date);
  lastPress_ = pos;
  pressCell_ = cell;
  pressOnEntry_ = EntryAt(cell, pos) >= 0;
  if (button != Qt::LeftButton) return;
  if (!data.DoublePress) {
    data.DoublePress = true;
    return;
  }
  data.DoublePress = false;
  // Two presses at one place on empty space: a new event on this day.
  if (!pressOnEntry_) OpenNew(data.Date);
}

void T_Main::ListBoxMouseMove(int cell) {
  if (cell >= 0 && cell < CellCount) cells_[static_cast<size_t>(cell)].DoublePress = false;
}

void T_Main::ListBoxDblClick(int cell, const QPoint& pos) {
  if (cell < 0 || cell >= CellCount) return;
  if (cell != selectedCell_) SelectDay(cells_[static_cast<size_t>(cell)].Date);
  // The entry under the pointer, which the first press selected.
  OpenEvent(EventOfEntry(cell, EntryAt(cell, pos)));
}

bool T_Main::ListBoxKeyDown(int cell, int key, const QString& text, Qt::KeyboardModifiers modifiers) {
  if (cell < 0 || cell >= CellCount) return false;
  const int entry = SelectedEntry(cell);
  if (key == Qt::Key_Delete) {
    const int index = EventOfEntry(cell, entry);
    if (index < 0) return true;
    if (RepeatOf(context_.calendar().NoteArray[static_cast<size_t>(index)]) > RepeatType::Once &&
        !context_.dialogs().Confirm(tr("Are you sure you want to delete all instances of this item?"))) {
      return true;
    }
    // Asked once: the deletion itself does not ask again.
    DeleteEvent(index, true);
    return true;
  }
  if (key == Qt::Key_Escape) {
    hide();
    return true;
  }
  if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const bool keypad = (modifiers & Qt::KeypadModifier) && !text.isEmpty() && text.front().isPrint();
  const bool typed = key == Qt::Key_Space || (key >= Qt::Key_0 && key <= Qt::Key_9) ||
                     (key >= Qt::Key_A && key <= Qt::Key_Z) || keypad;
  if (!typed) return false;
  // With an entry selected the key does nothing (nor does the list search for it).
  if (entry >= 0) return true;
  // The character as typed: its case, and the digit or sign of a keypad key.
  const QString character = !text.isEmpty() && text.front().isPrint() ? text.left(1) : QString(QChar(key));
  OpenNew(cells_[static_cast<size_t>(cell)].Date, character);
  return true;
}

void T_Main::StartDrag(int cell) {
  month::DayList* list = cells_[static_cast<size_t>(cell)].ListBox;
  const int entry = SelectedEntry(cell);
  pressCell_ = -1;
  if (EventOfEntry(cell, entry) < 0) return;
  auto* mime = new QMimeData;
  mime->setData(QLatin1String(OccurrenceMime), QByteArray::number(cell));
  auto* drag = new QDrag(list);
  drag->setMimeData(mime);
  const QRect itemRect = list->EntryRect(entry);
  drag->setPixmap(list->viewport()->grab(itemRect));
  drag->setHotSpot(lastPress_ - itemRect.topLeft());
  drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

void T_Main::ListBoxDragDrop(int source, int target, bool copy) {
  if (source < 0 || source >= CellCount || target < 0 || target >= CellCount) return;
  const int index = EventOfEntry(source, SelectedEntry(source));
  if (index < 0) return;
  DataFormat& calendar = context_.calendar();
  const TDateTime from = cells_[static_cast<size_t>(source)].Date;
  const TDateTime to = cells_[static_cast<size_t>(target)].Date;
  // An exception hides the occurrence on the day it leaves, another shows it where it lands;
  // dropped back on its own day the two cancel out.
  if (!copy) {
    calendar.ToggleException(index, from);
    RefillDay(source);
  }
  if (!calendar.NoteOccursOn(index, to)) {
    calendar.ToggleException(index, to);
    RefillDay(target);
  }
  Repaint();
}
