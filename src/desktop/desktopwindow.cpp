#include "desktop/desktopwindow.h"

#include "core/paths.h"
#include "core/tick.h"
#include "core/wholefile.h"
#include "desktop/alarmpresenter.h"
#include "desktop/trayicon.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "platform/x11desktop.h"
#include "session/appcontext.h"
#include "settings/settings.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

namespace {

constexpr int UpdateCheckFirstMs = 600000;
constexpr int UpdateCheckHourlyMs = 3600000;

Qt::Edges EdgesOf(HitZone zone) {
  switch (zone) {
    case HitZone::Top:
      return Qt::TopEdge;
    case HitZone::Bottom:
      return Qt::BottomEdge;
    case HitZone::Left:
      return Qt::LeftEdge;
    case HitZone::Right:
      return Qt::RightEdge;
    case HitZone::TopLeft:
      return Qt::TopEdge | Qt::LeftEdge;
    case HitZone::TopRight:
      return Qt::TopEdge | Qt::RightEdge;
    case HitZone::BottomLeft:
      return Qt::BottomEdge | Qt::LeftEdge;
    case HitZone::BottomRight:
      return Qt::BottomEdge | Qt::RightEdge;
    default:
      return {};
  }
}

Qt::CursorShape CursorOf(HitZone zone) {
  switch (zone) {
    case HitZone::Top:
    case HitZone::Bottom:
      return Qt::SizeVerCursor;
    case HitZone::Left:
    case HitZone::Right:
      return Qt::SizeHorCursor;
    case HitZone::TopLeft:
    case HitZone::BottomRight:
      return Qt::SizeFDiagCursor;
    case HitZone::TopRight:
    case HitZone::BottomLeft:
      return Qt::SizeBDiagCursor;
    default:
      return Qt::ArrowCursor;
  }
}

QString Rgba(quint32 bgr, int alpha) {
  const QColor c = ColourOf(bgr);
  return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(alpha);
}

}  // namespace

T_DesktopWindow::T_DesktopWindow(AppContext& context, const Screens& screens, Sound& sound, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint | Qt::NoDropShadowWindowHint),
      context_(context),
      screens_(screens),
      painter_(context.calendar(), context.clock(), context.display()) {
  setObjectName(QStringLiteral("T_DesktopWindow"));
  setWindowTitle(QStringLiteral("Orvane"));
  // The surface has an alpha channel always: with a compositor the picture is translucent,
  // without one it is composed over the wallpaper and opaque. Which of the two is decided
  // at every paint, so starting or stopping a compositor takes effect at the next tick.
  setAttribute(Qt::WA_TranslucentBackground, true);
  setAttribute(Qt::WA_NoSystemBackground, true);
  setMouseTracking(true);
  setToolTipDuration(-1);
  backdropSource_ = [](const QRect& rect) { return X11RootWallpaper(rect); };
  painter_.Weather = WeatherReportOf(context.weather());

  alarms_ = new AlarmPresenter(context, sound, this);
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(TickIntervalMs);
  connect(Timer1, &QTimer::timeout, this, &T_DesktopWindow::Timer1Timer);
  UpdateCheck = new QTimer(this);
  UpdateCheck->setObjectName(QStringLiteral("UpdateCheck"));
  UpdateCheck->setInterval(UpdateCheckFirstMs);
  connect(UpdateCheck, &QTimer::timeout, this, &T_DesktopWindow::UpdateCheckTimer);

  QuickNotes = new QPlainTextEdit(this);
  QuickNotes->setObjectName(QStringLiteral("QuickNotes"));
  QuickNotes->setTabChangesFocus(false);
  QuickNotes->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  QuickNotes->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QuickNotes->hide();
  connect(QuickNotes, &QPlainTextEdit::textChanged, this, &T_DesktopWindow::QuickNotesChanged);
  InfoMemo = new QPlainTextEdit(this);
  InfoMemo->setObjectName(QStringLiteral("InfoMemo"));
  InfoMemo->setReadOnly(true);
  InfoMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  InfoMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  InfoMemo->hide();
  VertScrollBar = new QScrollBar(Qt::Vertical, this);
  VertScrollBar->setObjectName(QStringLiteral("VertScrollBar"));
  VertScrollBar->hide();
  connect(VertScrollBar, &QScrollBar::valueChanged, this, [this](int value) {
    if (painter_.ScrollPos == value) return;
    painter_.ScrollPos = value;
    FormPaint();
  });
  StyleBoxes();
  // The menu opens on a right press (mousePressEvent), after the press has been handled.
  setContextMenuPolicy(Qt::PreventContextMenu);
  CreatePopupMenu();
  TrayIcon = new DesktopTray(this);
  connect(TrayIcon, &DesktopTray::LeftPress, this, [this] { TrayIconActivated(QSystemTrayIcon::Trigger); });
  connect(TrayIcon, &DesktopTray::DoubleClick, this, [this] { TrayIconActivated(QSystemTrayIcon::DoubleClick); });
  connect(TrayIcon, &DesktopTray::MenuRequested, this, [this] { TrayIconActivated(QSystemTrayIcon::Context); });
  FormCreate();
}

T_DesktopWindow::~T_DesktopWindow() { FormDestroy(); }

// --- Lifecycle.

void T_DesktopWindow::FormCreate() {
  // The first tick catches up on the alarms since the last check of the run before.
  context_.reminders().Start(context_.clock().Now());
  SelectedDate = context_.clock().Now();
  LoadQuickNotes();
}

void T_DesktopWindow::FormShow() {
  const DisplaySettings& s = context_.display();
  ShowingInProgress = true;
  painter_.BeginPaint();
  // The size the first paint gives it (scroll bar included), no taller than the work area:
  // MaxHeight may have been set on a larger screen or at another scale.
  const QRect area = WorkArea();
  painter_.WorkAreaHeight = area.height();
  const WindowSize size = painter_.UpdateWindowSize();
  // A stored position off every monitor (one that was unplugged) is brought back inside.
  const QRect placed = SnapToWorkArea(QRect(s.DesktopLeft, s.DesktopTop, size.width, size.height), area, s.R());
  setGeometry(placed);
  UpdateDocking();
  ShowingInProgress = false;
  if (context_.settings().GetSetting(QStringLiteral("Title")).isEmpty()) {
    context_.settings().SetSetting(QStringLiteral("Title"), QStringLiteral("Default"));
    // The theme chooser is offered here once it exists.
  }
  Timer1->start();
  if (s.EnableAutoUpdate) {
    UpdateCheck->start();
  } else {
    UpdateCheck->stop();
  }
  FormPaint();
}

void T_DesktopWindow::FormHide() {
  // The editors and the other windows go with the panel (Hide Window).
  const AppWindows& windows = context_.windows();
  if (windows.HideOtherWindows && !bringingBack_) windows.HideOtherWindows();
}

void T_DesktopWindow::FormDestroy() {
  terminating_ = true;
  painter_.Terminating = true;
  SaveQuickNotes();
}

void T_DesktopWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The window is not mapped yet: the window manager finds the hints when it takes it on,
  // and is asked again once it has (every re-show, the tray's and a second start's too).
  X11MarkDesktopPanel(this);
  QTimer::singleShot(0, this, [this] {
    if (isVisible()) X11MarkDesktopPanel(this);
  });
  FormShow();
}

void T_DesktopWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!terminating_) FormHide();
}

void T_DesktopWindow::ReloadDisplaySettings() {
  LoadDisplaySettings(context_.settings(), context_.display());
  StyleBoxes();
  // Back to the program's icon at once when the picture was just switched off.
  if (context_.display().TrayIconType == 0 && lastTrayIconType_ != 0) TrayIcon->ResetTrayIcon();
  lastTrayIconType_ = context_.display().TrayIconType;
}

void T_DesktopWindow::DisplaySettingsChanged() {
  ReloadDisplaySettings();
  // The settings may hold another place: the options put the panel on another monitor or
  // back where it was before a preview, a restore brings the place it had.
  const DisplaySettings& s = context_.display();
  if (isVisible() && pos() != QPoint(s.DesktopLeft, s.DesktopTop)) move(s.DesktopLeft, s.DesktopTop);
  FormPaint();
}

void T_DesktopWindow::BringBack() {
  // Hidden and shown again to come back in front; an editor the user has open stays open.
  const QScopedValueRollback<bool> guard(bringingBack_, true);
  if (isVisible()) hide();
  show();
  raise();
  activateWindow();
}

// --- Size, place and paint.

QRect T_DesktopWindow::WorkArea() const {
  int index = 0;
  const QString monitor = context_.display().Monitor;
  if (screens_.count() > 1 && !monitor.isEmpty()) index = monitor.toInt();
  if (index < 0 || index >= screens_.count()) index = std::max(0, screens_.primary());
  const QRect area = screens_.info(index).workArea;
  return area.isValid() ? area : QRect(0, 0, 1920, 1080);
}

void T_DesktopWindow::UpdateWindowSize() {
  const QRect area = WorkArea();
  painter_.WorkAreaHeight = area.height();
  const WindowSize size = painter_.UpdateWindowSize();
  painter_.ResizingInProgress = true;
  // A panel docked to the right keeps its right edge when the scroll bar comes or goes.
  const QSize wanted(size.width, size.height);
  if (this->size() != wanted) setGeometry(ResizedPlace(geometry(), wanted, area, context_.display().dockRight));
  const int W = context_.display().Width;
  VertScrollBar->setVisible(size.scrollMode);
  if (size.scrollMode) {
    VertScrollBar->setGeometry(W, 0, ScrollBarWidth, size.height);
    VertScrollBar->setRange(0, std::max(0, size.scrollRange - size.height));
    VertScrollBar->setPageStep(size.height);
    VertScrollBar->setSingleStep(context_.display().R());
    VertScrollBar->setValue(painter_.ScrollPos);
  }
  painter_.ResizingInProgress = false;
}

void T_DesktopWindow::UpdateDocking() {
  DisplaySettings& s = context_.display();
  DockingInput in;
  in.window = geometry();
  in.workArea = WorkArea();
  in.showing = ShowingInProgress;
  in.R = s.R();
  in.LastHeight = s.LastHeight;
  in.LastWidth = s.LastWidth;
  in.DesktopTop = s.DesktopTop;
  in.DesktopLeft = s.DesktopLeft;
  in.dockBottom = s.dockBottom;
  in.dockRight = s.dockRight;
  const DockingResult out = ComputeDocking(in);
  if (out.position != pos()) move(out.position);
  // The snapshot follows at once; the store only when something changed.
  s.dockBottom = out.dockBottom;
  s.dockRight = out.dockRight;
  s.LastHeight = out.LastHeight;
  s.LastWidth = out.LastWidth;
  if (!out.changed) return;
  TSettings& settings = context_.settings();
  settings.SetInt(QStringLiteral("DesktopTop"), out.position.y());
  settings.SetInt(QStringLiteral("DesktopLeft"), out.position.x());
  settings.SetBool(QStringLiteral("dockBottom"), out.dockBottom);
  settings.SetBool(QStringLiteral("dockRight"), out.dockRight);
  settings.SetInt(QStringLiteral("LastHeight"), out.LastHeight);
  settings.SetInt(QStringLiteral("LastWidth"), out.LastWidth);
  settings.SaveSettings();
  ReloadDisplaySettings();
}

bool T_DesktopWindow::FormCanResize(int& newWidth, int& newHeight) {
  const DisplaySettings& s = context_.display();
  painter_.BeginPaint();
  ResizeInput in;
  in.proposed = QSize(newWidth, newHeight);
  in.workArea = WorkArea().size();
  in.R = s.R();
  in.scrollMode = painter_.ScrollMode;
  in.userResize = !ShowingInProgress && !painter_.ResizingInProgress;
  in.contentHeight = painter_.ContentHeight();
  const ResizeResult out = ::FormCanResize(in);
  if (!out.accepted) return false;
  context_.settings().SetInt(QStringLiteral("Width"), out.panelWidth);
  if (out.maxHeight >= 0) context_.settings().SetInt(QStringLiteral("MaxHeight"), out.maxHeight);
  ReloadDisplaySettings();
  newHeight = out.height;
  return true;
}

QImage T_DesktopWindow::Backdrop(const QRect& globalRect) const {
  QImage image;
  if (backdropSource_) image = backdropSource_(globalRect);
  if (image.isNull() || image.size() != globalRect.size()) {
    image = QImage(globalRect.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(ColourOf(context_.display().BgColor));
  }
  return image;
}

void T_DesktopWindow::FormPaint() {
  const DisplaySettings& s = context_.display();
  if (s.DisplayWeather && !context_.weather() && NeedWeather) NeedWeather();
  // The keeper comes after the window (at start, or at the first paint that shows it).
  painter_.Weather = WeatherReportOf(context_.weather());
  if (isVisible()) {
    painter_.BeginPaint();
    UpdateWindowSize();
    UpdateDocking();
    painter_.PaintedOnce = true;
    // At the screen's resolution: sharp on a scaled (HiDPI) screen.
    const qreal dpr = devicePixelRatioF();
    picture_ = QImage(size() * dpr, QImage::Format_RGB32);
    picture_.setDevicePixelRatio(dpr);
    translucent_ = X11CompositorRunning();
    if (translucent_) {
      painter_.PaintPanel(picture_, nullptr);
    } else {
      // The wallpaper is read in the screen's own pixels.
      const QImage backdrop = Backdrop(QRect(pos() * dpr, size() * dpr));
      painter_.PaintPanel(picture_, &backdrop);
    }
    PlaceBoxes();
    update();
    UpdateTrayIcon();
  }
  if (s.EnableAutoUpdate && !UpdateCheck->isActive()) UpdateCheck->start();
  if (!s.EnableAutoUpdate && UpdateCheck->isActive()) UpdateCheck->stop();
  NetworkItem->setVisible(s.EnableSync && bool(context_.windows().ShowNetwork));
}

void T_DesktopWindow::PlaceBoxes() {
  InfoMemo->setGeometry(painter_.InfoBox.rect);
  InfoMemo->setVisible(painter_.InfoBox.visible);
  QuickNotes->setGeometry(painter_.QuickNotesBox.rect);
  QuickNotes->setVisible(painter_.QuickNotesBox.visible);
}

void T_DesktopWindow::StyleBoxes() {
  const DisplaySettings& s = context_.display();
  // The boxes are see-through like the panel, with the panel's text colour.
  const QString style = QStringLiteral(
                            "QPlainTextEdit { background: %1; color: %2; border: 1px solid %3; border-radius: 3px; "
                            "selection-background-color: %4; }")
                            .arg(Rgba(s.BgColor, 70), ColourOf(s.FontColor).name(), Rgba(s.HeaderFontColor, 90),
                                 Rgba(s.GradientStart, 200));
  QFont font(s.FontName);
  font.setPixelSize(std::max(9, s.R() * 13 / 21));
  for (QPlainTextEdit* box : {QuickNotes, InfoMemo}) {
    box->setStyleSheet(style);
    box->setFont(font);
  }
  // A flat, narrow scroll bar in the panel's colours.
  VertScrollBar->setStyleSheet(
      QStringLiteral(
          "QScrollBar:vertical { background: %1; width: %2px; margin: 10px 0 10px 0; border: none; }"
          "QScrollBar::handle:vertical { background: %3; min-height: 20px; border-radius: 3px; margin: 0 3px; }"
          "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { background: %4; height: 10px; "
          "subcontrol-origin: margin; border: none; }"
          "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
          .arg(Rgba(s.BgColor, 150))
          .arg(ScrollBarWidth)
          .arg(Rgba(s.HeaderFontColor, 150), Rgba(s.GradientStart, 180)));
}

void T_DesktopWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  if (picture_.isNull()) {
    p.fillRect(rect(), translucent_ ? QColor(Qt::transparent) : ColourOf(context_.display().BgColor));
    return;
  }
  p.drawImage(0, 0, picture_);
  if (FirstPainted) std::exchange(FirstPainted, nullptr)();
}

QImage T_DesktopWindow::RenderOver(const QImage& backdrop, qreal scale) {
  painter_.BeginPaint();
  const WindowSize size = painter_.UpdateWindowSize();
  QImage picture(QSize(size.width, size.height) * scale, QImage::Format_RGB32);
  picture.setDevicePixelRatio(scale);
  const QImage scaled = backdrop.isNull()
                            ? NeutralBackdrop(picture.size())
                            : backdrop.scaled(picture.size(), Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)
                                  .copy(QRect(QPoint(0, 0), picture.size()));
  painter_.PaintPanel(picture, &scaled);
  painter_.PaintedOnce = true;
  // The boxes and the scroll bar are widgets of their own: drawn over the picture where the
  // window shows them.
  resize(size.width, size.height);
  QPainter p(&picture);
  for (auto [box, place] : {std::pair{QuickNotes, painter_.QuickNotesBox}, std::pair{InfoMemo, painter_.InfoBox}}) {
    if (!place.visible) continue;
    box->setGeometry(place.rect);
    // A box of a window that is not shown has not laid out its text for its size yet.
    // Its scroll bar is left out: the picture shows the box's first lines.
    QResizeEvent resized(place.rect.size(), QSize());
    QCoreApplication::sendEvent(box, &resized);
    const Qt::ScrollBarPolicy policy = box->verticalScrollBarPolicy();
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->render(&p, place.rect.topLeft(), QRegion(), QWidget::DrawChildren);
    box->setVerticalScrollBarPolicy(policy);
  }
  if (size.scrollMode) {
    VertScrollBar->setGeometry(context_.display().Width, 0, ScrollBarWidth, size.height);
    VertScrollBar->setRange(0, std::max(0, size.scrollRange - size.height));
    VertScrollBar->setPageStep(size.height);
    VertScrollBar->setValue(painter_.ScrollPos);
    VertScrollBar->render(&p, VertScrollBar->pos(), QRegion(), QWidget::DrawChildren);
  }
  return picture;
}

// --- The timers.

void T_DesktopWindow::Timer1Timer() {
  // A tick that comes while a message of this tick waits for the user (a failed save) is
  // skipped; the tick after catches up from where the last one ended.
  if (inTick_) return;
  const QScopedValueRollback<bool> guard(inTick_, true);
  DataFormat& calendar = context_.calendar();
  const TDateTime now = context_.clock().Now();
  // Every alarm after the previous tick and not after now, and the snoozes that ended: a late
  // tick still raises each alarm once, one after a sleep shows what was missed, and the next
  // tick starts where this one ended. The save below keeps the check time.
  alarms_->Present(context_.reminders().Check(now));
  // A peer mid-exchange puts the save off, but only for HoldSaveCapSeconds: then the tick
  // saves what was merged so far even if the exchange goes on.
  bool hold = HoldSave && calendar.DataChanged && HoldSave();
  if (hold) {
    if (!holdSince_ || now < *holdSince_) holdSince_ = now;
    // (A millisecond's allowance for the rounding of the day fractions.)
    hold = (now - *holdSince_) * SecsPerDay + 0.001 < HoldSaveCapSeconds;
  }
  if (!hold) {
    holdSince_.reset();
    context_.SaveCalendar();
  }
  if (quickNotesDirty_ && context_.display().SaveNotebook) SaveQuickNotes();
  FormPaint();
}

void T_DesktopWindow::UpdateCheckTimer() {
  if (!context_.display().EnableAutoUpdate) {
    UpdateCheck->stop();
    return;
  }
  if (RunUpdateCheck) RunUpdateCheck();
  UpdateCheck->setInterval(UpdateCheckHourlyMs);
}

// --- Quick notes.

QString T_DesktopWindow::QuickNotesPath() { return UserDataDir() + QStringLiteral("OVQuickNotes.txt"); }

void T_DesktopWindow::LoadQuickNotes() {
  if (!context_.display().SaveNotebook) return;
  QFile file(QuickNotesPath());
  if (!file.open(QIODevice::ReadOnly)) return;  // no file yet: the box stays empty
  QString text = QString::fromUtf8(file.readAll());
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  const QSignalBlocker blocker(QuickNotes);
  QuickNotes->setPlainText(text);
  quickNotesDirty_ = false;
}

void T_DesktopWindow::QuickNotesChanged() { quickNotesDirty_ = true; }

bool T_DesktopWindow::SaveQuickNotes() {
  if (!KeepsQuickNotesFile) return true;
  const QString path = QuickNotesPath();
  if (!context_.display().SaveNotebook) {
    if (QFile::exists(path)) QFile::remove(path);
    quickNotesDirty_ = false;
    return true;
  }
  // Written through a temporary file that replaces the old one, so a crash or a full disk
  // leaves the last complete notes; readable by the user only, like the calendar.
  QString text = QuickNotes->toPlainText();
  if (!text.isEmpty()) text += QLatin1Char('\n');
  const QString error = WriteWholeFile(path, text.toUtf8(), FileAccess::OwnerOnly);
  if (!error.isEmpty()) {
    // Tried again at every tick; told once, until the trouble changes or passes.
    if (error != quickNotesError_) {
      quickNotesError_ = error;
      context_.dialogs().MessageBox(tr("The quick notes could not be saved. %1").arg(error), QStringLiteral("Orvane"),
                                    Dialogs::Buttons::Ok, Dialogs::Icon::Error);
    }
    return false;
  }
  quickNotesError_.clear();
  quickNotesDirty_ = false;
  return true;
}

// --- Moving and sizing by the mouse.

void T_DesktopWindow::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const HitZone zone = PanelHitZone(pos.x(), pos.y(), painter_.ScrollPos, size(), context_.display().R());
  if (event->button() != Qt::LeftButton || zone == HitZone::Client) {
    event->accept();
    FormMouseDown(event->button(), pos);
    if (event->button() == Qt::RightButton) ShowPopupMenu(event->globalPosition().toPoint());
    return;
  }
  drag_ = zone == HitZone::Caption ? Drag::Move : Drag::Size;
  dragEdges_ = static_cast<int>(EdgesOf(zone));
  dragStart_ = event->globalPosition().toPoint();
  dragGeometry_ = geometry();
  event->accept();
}

void T_DesktopWindow::mouseMoveEvent(QMouseEvent* event) {
  const int R = context_.display().R();
  if (drag_ == Drag::None) {
    const QPoint pos = event->position().toPoint();
    FormMouseMove(pos);
    const HitZone zone = PanelHitZone(pos.x(), pos.y(), painter_.ScrollPos, size(), R);
    if (zone != HitZone::Client) setCursor(CursorOf(zone));
    QWidget::mouseMoveEvent(event);
    return;
  }
  const QPoint delta = event->globalPosition().toPoint() - dragStart_;
  if (drag_ == Drag::Move) {
    const QRect proposed(dragGeometry_.topLeft() + delta, size());
    move(SnapToWorkArea(proposed, WorkArea(), R).topLeft());
    return;
  }
  const Qt::Edges edges = static_cast<Qt::Edges>(dragEdges_);
  int w = dragGeometry_.width();
  int h = dragGeometry_.height();
  if (edges & Qt::RightEdge) w += delta.x();
  if (edges & Qt::LeftEdge) w -= delta.x();
  if (edges & Qt::BottomEdge) h += delta.y();
  if (edges & Qt::TopEdge) h -= delta.y();
  if (!FormCanResize(w, h)) return;
  const int right = dragGeometry_.x() + dragGeometry_.width();
  const int bottom = dragGeometry_.y() + dragGeometry_.height();
  const int x = (edges & Qt::LeftEdge) ? right - w : dragGeometry_.x();
  const int y = (edges & Qt::TopEdge) ? bottom - h : dragGeometry_.y();
  setGeometry(x, y, w, h);
}

void T_DesktopWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (drag_ == Drag::None) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  drag_ = Drag::None;
  // The new place and size are recorded by the docking bookkeeping of the repaint.
  FormPaint();
}

void T_DesktopWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const HitZone zone = PanelHitZone(pos.x(), pos.y(), painter_.ScrollPos, size(), context_.display().R());
  if (event->button() != Qt::LeftButton || zone != HitZone::Client) {
    // Only the left button double-clicks; the second press of anything else is a press.
    mousePressEvent(event);
    return;
  }
  event->accept();
  FormDblClick(pos);
  FormMouseDown(event->button(), pos, true);
}

void T_DesktopWindow::wheelEvent(QWheelEvent* event) {
  if (!painter_.ScrollMode) {
    QWidget::wheelEvent(event);
    return;
  }
  const int steps = event->angleDelta().y() / 120;
  VertScrollBar->setValue(VertScrollBar->value() - steps * context_.display().R());
}
