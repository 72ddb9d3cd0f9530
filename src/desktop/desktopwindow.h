#pragma once

#include "core/tdatetime.h"
#include "desktop/displayfunctions.h"
#include "desktop/hittesting.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <functional>
#include <optional>

class AlarmPresenter;
class AppContext;
class DesktopBackdrop;
class DesktopTray;
class QAction;
class QMenu;
class QPlainTextEdit;
class QScrollBar;
class QTimer;
class Screens;
class ServerSync;
class Shell;
class Sound;

// The panel on the desktop: a frameless tool window without a task-bar entry, kept below
// normal windows, translucent where a compositing manager runs and composed over the
// wallpaper where none does. It carries the five-second heartbeat (alarms, saving, the
// repaint) and the quick notes.
class T_DesktopWindow : public QWidget {
  Q_OBJECT

 public:
  // screens and sound stay owned by the caller and must outlive the window.
  T_DesktopWindow(AppContext& context, const Screens& screens, Sound& sound, QWidget* parent = nullptr);
  ~T_DesktopWindow() override;

  DisplayFunctions& painter() { return painter_; }
  // Shows the alarms each tick finds (notifications or the alarm box).
  AlarmPresenter& Alarms() { return *alarms_; }

  // --- Components.
  QTimer* Timer1 = nullptr;
  QTimer* UpdateCheck = nullptr;
  QPlainTextEdit* QuickNotes = nullptr;
  QPlainTextEdit* InfoMemo = nullptr;
  QScrollBar* VertScrollBar = nullptr;

  // --- Window state read by the mouse handling.
  bool ShowingInProgress = false;
  int ClickedRow = 0;
  TDateTime SelectedDate = 0;
  bool TitleRowClicked = false;
  int YearStep = 1;

  // --- The right-click menu (desktopmenu.cpp), in menu order; every item is named after
  // itself. Separators are actions too. A submenu's item is its menu's action.
  QMenu* PopupMenu = nullptr;
  QAction* CalYear1 = nullptr;
  QAction* CalYear2 = nullptr;
  QAction* CalYear3 = nullptr;
  QAction* CalDivider = nullptr;
  QAction* WeatherAlert = nullptr;
  QAction* ViewForecast1 = nullptr;
  QAction* WeatherSplitter = nullptr;
  QAction* Events1 = nullptr;
  QAction* NewItem1 = nullptr;
  QAction* NewTask1 = nullptr;
  QAction* N7 = nullptr;
  QAction* AddNote1 = nullptr;
  QAction* RemoveNotes1 = nullptr;
  QAction* ViewNotes1 = nullptr;
  QAction* Notesplitter = nullptr;
  QAction* ViewItem1 = nullptr;
  QAction* DeleteItem1 = nullptr;
  QAction* Exception1 = nullptr;
  QAction* ViewEventList1 = nullptr;
  QAction* PrintCalendarofEvents1 = nullptr;
  QAction* N3 = nullptr;
  QAction* MarkCompleted1 = nullptr;
  QAction* ViewTask1 = nullptr;
  QAction* DeleteItem2 = nullptr;
  QAction* N2 = nullptr;
  QAction* OpenCalendar1 = nullptr;
  QAction* OpenToDo1 = nullptr;
  QAction* N1 = nullptr;
  QAction* Help1 = nullptr;
  QAction* OrvaneHelp1 = nullptr;
  QAction* N6 = nullptr;
  QAction* AboutOrvane1 = nullptr;
  QAction* Feedback1 = nullptr;
  QAction* OrvaneWebsite1 = nullptr;
  QAction* Options1 = nullptr;
  QAction* LoadTheme1 = nullptr;
  QAction* N8 = nullptr;
  QAction* DataBackupandTransfer1 = nullptr;
  QAction* NetworkItem = nullptr;
  QAction* FileSyncItem = nullptr;
  QAction* BackupItem = nullptr;
  QAction* RestoreItem = nullptr;
  QAction* N9 = nullptr;
  QAction* ExportICalendarItem = nullptr;
  QAction* ImportICalendarItem = nullptr;
  QAction* SynchronizewithServer1 = nullptr;  // while a calendar server is set (serverstatus.cpp)
  QAction* N5 = nullptr;
  QAction* Refresh1 = nullptr;
  QAction* Restore1 = nullptr;
  QAction* Hide1 = nullptr;
  QAction* Exit1 = nullptr;

  // --- The tray icon (trayicon.h): made with the window, shown by ShowTrayIcon.
  DesktopTray* TrayIcon = nullptr;

  // --- The mouse (desktopmouse.cpp), points in window coordinates.
  void FormMouseMove(QPoint pos);
  // doubleClick: the press that ends a double click (after FormDblClick).
  void FormMouseDown(Qt::MouseButton button, QPoint pos, bool doubleClick = false);
  void FormDblClick(QPoint pos);
  // Prepares the menu for a pointer at a screen position, then opens it there.
  void PopupMenuPopup(QPoint globalPos);
  void ShowPopupMenu(QPoint globalPos);

  // The shell that opens web pages and the user guide; without one those entries are hidden.
  void SetShell(Shell* shell) { shell_ = shell; }
  // Re-reads the display settings and repaints (after the options, a theme, a restore).
  void DisplaySettingsChanged();
  // Brings the panel back in front, shown (the tray icon, a second start of the program).
  void BringBack();
  // Puts the icon into the notification area where the desktop has one.
  void ShowTrayIcon();
  // The tray picture and tip for the current settings (called at the end of every paint).
  void UpdateTrayIcon();

  // The one repaint entry: size, docking, then the picture.
  void FormPaint();
  void UpdateWindowSize();
  void UpdateDocking();
  // The sizing limits for a proposed size; false leaves the window as it is. On success the
  // height may be cut to whole rows.
  bool FormCanResize(int& newWidth, int& newHeight);
  void Timer1Timer();
  void UpdateCheckTimer();

  // The work area of the monitor that holds the panel (the Monitor setting).
  QRect WorkArea() const;

  // The picture of the panel as it shows on the desktop, boxes included, over a backdrop of
  // the panel's size (the render command and screenshots). A scale of 2 paints it as a
  // screen scaled to 200% shows it: twice the pixels, with that device pixel ratio.
  QImage RenderOver(const QImage& backdrop, qreal scale = 1);

  // The automatic update check, run by the update timer; nothing until it is set.
  std::function<void()> RunUpdateCheck;
  // Makes the weather keeper (into the context) when a paint finds the weather shown and
  // none kept; nothing until it is set.
  std::function<void()> NeedWeather;
  // Called once, after the window first showed its picture; nothing until it is set.
  std::function<void()> FirstPainted;
  // While this answers true the tick leaves the calendar unsaved (a network peer is in the
  // middle of an exchange, and a long save would make it time out); the next tick saves. A
  // hold lasts at most HoldSaveCapSeconds, so a peer that keeps talking cannot keep merged
  // records unsaved.
  std::function<bool()> HoldSave;
  static constexpr double HoldSaveCapSeconds = 5;
  // The calendar server's synchronisation (serverstatus.cpp): its menu item, the mark on the
  // title row while it fails, its line in the tray's tip. Not owned.
  void SetServerSync(ServerSync* sync);
  // Where the desktop pixels under the window come from when no compositor shows them.
  void SetBackdropSource(std::function<QImage(const QRect&)> source) { backdropSource_ = std::move(source); }

  // Whether the window writes or deletes the quick-notes file (false for a picture only).
  bool KeepsQuickNotesFile = true;

  // The quick-notes file, OVQuickNotes.txt in the user's data folder.
  static QString QuickNotesPath();
  // Writes the quick notes (SaveNotebook) or deletes the file; false when writing failed.
  bool SaveQuickNotes();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormHide();
  void FormDestroy();
  void LoadQuickNotes();
  void QuickNotesChanged();
  void PlaceBoxes();
  void ReloadDisplaySettings();
  QImage Backdrop(const QRect& globalRect) const;
  void StyleBoxes();

  // desktopmouse.cpp
  struct PointerPlace {
    int x = 0;
    int y = 0;  // content y: the scroll position added
  };
  PointerPlace ContentPoint(QPoint pos) const;
  PanelZones Zones() const;
  bool WeatherValid() const;
  const TWeatherReport* Report() const;
  void ShowDetails(const QString& text);
  void OpenWeatherPage();
  // The row the last right-click or double-click was over, if it is of that kind.
  const THitRow* ClickedRowOf(char kind) const;

  // desktopmenu.cpp
  void CreatePopupMenu();
  QAction* AddItem(QMenu* menu, const char* name, const QString& caption, void (T_DesktopWindow::*handler)());
  QAction* AddSeparator(QMenu* menu, const char* name);
  void PrepareEventsMenu(TDateTime date);
  void HideUnavailableItems();
  void ShowText(const QString& text);
  void AddDayNoteFor(int index, TDateTime date);
  void ShowNotesFor(int index, TDateTime date, bool toInfoBox);
  void DeleteEvent(int index);
  void CalYearClick(int years);
  void WeatherAlertClick();
  void ViewForecast1Click();
  void NewItem1Click();
  void NewTask1Click();
  void AddNote1Click();
  void RemoveNotes1Click();
  void ViewNotes1Click();
  void ViewItem1Click();
  void DeleteItem1Click();
  void Exception1Click();
  void ViewEventList1Click();
  void PrintCalendarofEvents1Click();
  void MarkCompleted1Click();
  void ViewTask1Click();
  void DeleteItem2Click();
  void OpenCalendar1Click();
  void OpenToDo1Click();
  void OrvaneHelp1Click();
  void AboutOrvane1Click();
  void Feedback1Click();
  void OrvaneWebsite1Click();
  void Options1Click();
  void LoadTheme1Click();
  void NetworkItemClick();
  void FileSyncItemClick();
  void BackupItemClick();
  void RestoreItemClick();
  void ExportICalendarItemClick();
  void ImportICalendarItemClick();
  void Refresh1Click();
  void Restore1Click();
  void Hide1Click();
  void Exit1Click();

  // trayicon.cpp
  void TrayIconActivated(int reason);

  // serverstatus.cpp
  void PrepareServerItem();
  QString ServerStatusLine() const;

  AppContext& context_;
  const Screens& screens_;
  DisplayFunctions painter_;
  QImage picture_;
  bool translucent_ = false;  // the last picture was made for a compositor
  std::function<QImage(const QRect&)> backdropSource_;
  AlarmPresenter* alarms_ = nullptr;
  // When the tick first held the save for the running exchange.
  std::optional<TDateTime> holdSince_;
  bool quickNotesDirty_ = false;
  QString quickNotesError_;  // the last failure to save the notes that was shown
  bool terminating_ = false;
  bool inTick_ = false;
  bool bringingBack_ = false;  // hidden only to come back in front: the other windows stay
  Shell* shell_ = nullptr;
  ServerSync* serverSync_ = nullptr;
  QMenu* eventsMenu_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QMenu* transferMenu_ = nullptr;
  // What the events submenu was built for: its caption and the calendar's revision then.
  QString eventsCaption_;
  quint64 eventsRevision_ = 0;
  int lastTrayIconType_ = 0;
  // Moving by the title row and sizing from the edges.
  enum class Drag { None, Move, Size };
  Drag drag_ = Drag::None;
  int dragEdges_ = 0;  // Qt::Edges of the sizing
  QPoint dragStart_;
  QRect dragGeometry_;
};
