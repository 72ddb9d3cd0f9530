#pragma once

#include "core/tdatetime.h"

#include <QMainWindow>
#include <QPoint>
#include <array>
#include <functional>
#include <vector>

class AppContext;
class QAction;
class QLabel;
class QMenu;
class QToolButton;
class QWidget;
namespace month {
class DayList;
}

// One day of the month grid: its date, its header and list, the double-press flag, and the
// event each list entry stands for (entry k shows NoteArray[Events[k]]).
struct TDateData {
  TDateTime Date = 0;
  QLabel* Panel = nullptr;
  month::DayList* ListBox = nullptr;
  bool DoublePress = false;
  std::vector<int> Events;
};

// The month window: six weeks by seven days, each day a header and a list of the events
// that fall on it. From here the user moves between months and years, opens, creates,
// hides and deletes events, attaches per-date notes, and moves or copies occurrences from
// one day to another by dragging them. Made once and only hidden and shown afterwards.
//
// Other windows are reached through the context's window hooks; a command whose hook is
// not set is hidden.
class T_Main : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int CellCount = 42;
  // The height of a day's header; its list fills the rest of the cell.
  static constexpr int HeaderHeight = 17;

  explicit T_Main(AppContext& context, QWidget* parent = nullptr);

  // Set by the event editor's Save: the next activation refills every day.
  bool NeedsRefresh = false;

  // --- Entry points.
  // Shows the month of a date and selects that date.
  void FillMonth(TDateTime date);
  // Selects the cell of a date when the grid holds it; the date becomes the selected date
  // in any case.
  void SelectDay(TDateTime date);
  // Selects the date, filling its month first when the grid does not hold it.
  void ShowDay(TDateTime date);
  void SelectCell(int cell);
  // Shows the window (restored when minimised), in front and active.
  void Present();
  // Lists the live events of a cell's date again.
  void RefillDay(int cell);
  void LayoutGrid();

  TDateTime SelectedDate() const { return selectedDate_; }
  int SelectedCell() const { return selectedCell_; }
  const TDateData& DateData(int cell) const { return cells_[static_cast<size_t>(cell)]; }
  // The cell whose list (or the list's viewport) this is, -1 for none.
  int CellOfList(const QObject* object) const;
  // The entry under a point of a cell list's viewport, -1 for none.
  int EntryAt(int cell, const QPoint& pos) const;
  // The live event an entry of a cell stands for, -1 for none.
  int EventOfEntry(int cell, int entry) const;
  // The selected entry of a cell's list, -1 for none.
  int SelectedEntry(int cell) const;
  // An entry's tooltip: title, times, location and the day's note.
  QString EntryTip(int cell, int entry) const;
  // The entry the context menu's commands act on.
  int RememberedEntry() const { return rememberedEntry_; }

  // --- Handlers.
  void FormShow();
  void FormActivate();
  // The close button: keeps the window's geometry in the settings; the window hides.
  void FormClose();
  void PrevYearClick();
  void PrevMonthClick();
  void ThisMonthClick();
  void NextMonthClick();
  void NextYearClick();
  void ListBoxMouseDown(int cell, Qt::MouseButton button, const QPoint& pos);
  void ListBoxMouseMove(int cell);
  void ListBoxDblClick(int cell, const QPoint& pos);
  // A key pressed in a day list: Delete, Escape, or a character that begins a new event.
  // Returns whether the key was used.
  bool ListBoxKeyDown(int cell, int key, const QString& text, Qt::KeyboardModifiers modifiers);
  // The selected entry of the source list's day leaves it (unless copying) and shows on the
  // target's day.
  void ListBoxDragDrop(int source, int target, bool copy);
  // Remembers the entry the menu's commands act on (the one under the last press, or the
  // selected one when the menu was opened from the keyboard) and enables the commands.
  void NoteMenuPopup(bool fromKeyboard = false);
  void NewItemClick();
  void ViewItemClick();
  void AddNoteClick();
  void RemoveNotesClick();
  void DeleteItemClick();
  void Hide1Click();
  // Shows the main menu's commands whose windows exist in this run.
  void UpdateMainMenu();

  // --- Components.
  QLabel* MonthTitle;
  QToolButton* PrevYear;
  QToolButton* PrevMonth;
  QToolButton* ThisMonth;
  QToolButton* NextMonth;
  QToolButton* NextYear;
  QWidget* LabelPanel;
  QLabel* SundayLabel;
  QLabel* MondayLabel;
  QLabel* TuesdayLabel;
  QLabel* WednesdayLabel;
  QLabel* ThursdayLabel;
  QLabel* FridayLabel;
  QLabel* SaturdayLabel;
  QWidget* MainPanel;

  QMenu* NoteMenu;
  QAction* NewItem;
  QAction* ViewItem;
  QAction* AddNote;
  QAction* RemoveNotes;
  QAction* DeleteItem;
  QAction* Hide1;

  QAction* ToDo1;
  QAction* Options1;
  QAction* Print1;
  QMenu* Help1;
  QAction* OrvaneHelp1;
  QAction* N1;
  QAction* AboutOrvane1;
  QAction* Feedback1;
  QAction* OrvaneWebsite1;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildTitle(QWidget* parent);
  void BuildDayNames(QWidget* parent);
  void BuildGrid(QWidget* parent);
  void BuildMenus();
  void PlaceWindow();
  void RefillAll();
  // Lists the live events of the cells from first to last again.
  void RefillDays(int first, int last);
  // The colours of a cell's header and list as the selection and the shown month make them.
  void PaintHeader(int cell, bool selected);
  void SetListColour(int cell, const QColor& colour);
  // Fills the month of a day of the month after (or before) and goes to day d of it.
  void StepMonth(TDateTime dayInMonth);
  void OpenNew(TDateTime date, const QString& title = QString());
  void OpenEvent(int index);
  // Deletes an event, asking first about a series unless the caller already asked.
  void DeleteEvent(int index, bool asked);
  void Repaint();
  void StartDrag(int cell);

  AppContext& context_;
  std::array<TDateData, CellCount> cells_;
  std::array<QLabel*, 7> dayNames_ = {};
  QWidget* gridLines_ = nullptr;
  TDateTime selectedDate_ = 0;
  TDateTime shownMonth_ = 0;  // the first day of the month shown
  int selectedCell_ = 14;
  QColor savedColour_;
  QPoint lastPress_;
  int pressCell_ = -1;
  bool pressOnEntry_ = false;
  int rememberedEntry_ = -1;
  bool created_ = false;
  // The calendar's revision when the lists were last filled: a change made elsewhere shows
  // at the next activation even when nobody set NeedsRefresh.
  quint64 filledRevision_ = 0;
  int filledNoteCount_ = 0;
  // The days' lists wait for the window to be shown: the panel makes the window at start,
  // and a busy calendar's lists are thousands of entries nobody may look at.
  bool listsPending_ = false;
};
