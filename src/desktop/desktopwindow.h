#pragma once

#include "core/tdatetime.h"
#include "desktop/displayfunctions.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <functional>

class AppContext;
class DesktopBackdrop;
class QPlainTextEdit;
class QScrollBar;
class QTimer;
class Screens;
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
  // the panel's size (the render command and screenshots).
  QImage RenderOver(const QImage& backdrop);

  // The automatic update check, run by the update timer; nothing until it is set.
  std::function<void()> RunUpdateCheck;
  // While this answers true the tick leaves the calendar unsaved (a network peer is in the
  // middle of an exchange, and a long save would make it time out); the next tick saves.
  std::function<bool()> HoldSave;
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
  void ShowAlarm(int index);
  QImage Backdrop(const QRect& globalRect) const;
  void StyleBoxes();

  AppContext& context_;
  const Screens& screens_;
  Sound& sound_;
  DisplayFunctions painter_;
  QImage picture_;
  bool translucent_ = false;  // the last picture was made for a compositor
  std::function<QImage(const QRect&)> backdropSource_;
  TDateTime previousTick_ = 0;
  bool quickNotesDirty_ = false;
  bool terminating_ = false;
  bool inTick_ = false;
  // Moving by the title row and sizing from the edges.
  enum class Drag { None, Move, Size };
  Drag drag_ = Drag::None;
  int dragEdges_ = 0;  // Qt::Edges of the sizing
  QPoint dragStart_;
  QRect dragGeometry_;
};
