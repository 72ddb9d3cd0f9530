#include "desktop/trayicon.h"

#include "core/trimcontrol.h"
#include "desktop/appicon.h"
#include "desktop/desktopwindow.h"
#include "desktop/hittesting.h"
#include "network/weather.h"
#include "session/appcontext.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QPainter>
#include <QSystemTrayIcon>

namespace {

constexpr int PictureSize = 16;
constexpr int SmallestCell = 4;
const QString Degree = QStringLiteral("\u00B0");

QString Tr(const char* text) { return QCoreApplication::translate("T_DesktopWindow", text); }

// "Arial" whose character cell (the line height) is cell pixels high.
QFont ArialOfCell(int cell) {
  QFont probe(QStringLiteral("Arial"));
  probe.setPixelSize(100);
  const double cellPerPixel = std::max(0.5, QFontMetrics(probe).height() / 100.0);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(std::max(1, qRound(cell / cellPerPixel)));
  return font;
}

// The text centred on x, on the line at top, in a font that shrinks until the text fits.
void DrawFittedCentred(QPainter& p, int x, int top, const QString& text, int maxWidth, int cell) {
  const int h0 = QFontMetrics(ArialOfCell(cell)).height();
  int size = cell;
  while (size > SmallestCell && QFontMetrics(ArialOfCell(size)).horizontalAdvance(text) > maxWidth) --size;
  const QFont font = ArialOfCell(size);
  const QFontMetrics metrics(font);
  const int h1 = metrics.height();
  p.setFont(font);
  p.drawText(x - metrics.horizontalAdvance(text) / 2, top + h0 / 2 - h1 / 2 + metrics.ascent(), text);
}

}  // namespace

QImage TrayPicture(int type, const QString& day, const QString& temperature) {
  if (type < 1 || type > 4) return QImage();
  QImage picture(PictureSize, PictureSize, QImage::Format_RGB32);
  picture.fill(Qt::white);
  QPainter p(&picture);
  p.setPen(Qt::black);
  p.setRenderHint(QPainter::TextAntialiasing);
  const int centre = PictureSize / 2;
  const int width = PictureSize - 2;
  switch (type) {
    case 1:
      DrawFittedCentred(p, centre, 0, day, width, PictureSize);
      break;
    case 2:
      DrawFittedCentred(p, centre, 0, temperature, width, PictureSize);
      break;
    case 3:
      DrawFittedCentred(p, centre, 0, day, width, PictureSize / 2);
      DrawFittedCentred(p, centre, PictureSize / 2, temperature, width, PictureSize / 2);
      break;
    case 4:
      DrawFittedCentred(p, centre, 0, temperature, width, PictureSize / 2);
      DrawFittedCentred(p, centre, PictureSize / 2, day, width, PictureSize / 2);
      break;
  }
  return picture;
}

QString EventCountText(int count) {
  return QString::number(count) + (count == 1 ? Tr(" Event Today") : Tr(" Events Today"));
}

QString TrayTip(int type, TDateTime now, int eventsToday, const TWeatherReport* report) {
  const QString T = report ? report->Temperature : QString();
  const QString H = report ? report->High : QString();
  const QString L = report ? report->Low : QString();
  QString tip = Tr("Orvane - ") + FormatDateTime(QStringLiteral("d mmm yyyy"), now) + QStringLiteral("\r\n");
  switch (type) {
    case 1:
      tip += EventCountText(eventsToday);
      break;
    case 2:
      tip += Tr("Temp: ") + T + Degree + Tr("  High: ") + H + Degree + Tr("  Low: ") + L + Degree;
      break;
    case 3:
    case 4:
      tip += EventCountText(eventsToday) + Tr(" - Temp: ") + T + Degree;
      break;
    default:
      return QString();
  }
  return TrimControlAndSpace(tip.left(TrayTipLength));
}

DesktopTray::DesktopTray(QObject* parent) : QObject(parent) {
  icon_ = new QSystemTrayIcon(this);
  icon_->setObjectName(QStringLiteral("TrayIcon"));
  ResetTrayIcon();
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
      case QSystemTrayIcon::Trigger:
        emit LeftPress();
        break;
      case QSystemTrayIcon::DoubleClick:
        emit DoubleClick();
        break;
      case QSystemTrayIcon::Context:
        emit MenuRequested();
        break;
      default:
        break;
    }
  });
}

DesktopTray::~DesktopTray() = default;

void DesktopTray::Show() { icon_->show(); }

void DesktopTray::ResetTrayIcon() {
  picture_ = QImage();
  tip_ = Tr("Orvane");
  icon_->setIcon(ApplicationIcon());
  icon_->setToolTip(ToolTip());
}

void DesktopTray::SetTrayPicture(const QImage& picture, const QString& tip) {
  if (picture == picture_ && tip == tip_) return;
  picture_ = picture;
  tip_ = tip;
  icon_->setIcon(QIcon(QPixmap::fromImage(picture)));
  icon_->setToolTip(ToolTip());
}

void DesktopTray::SetStatusLine(const QString& line) {
  if (line == statusLine_) return;
  statusLine_ = line;
  icon_->setToolTip(ToolTip());
}

QString DesktopTray::ToolTip() const {
  const QString tip = ForDisplay(tip_);
  return statusLine_.isEmpty() ? tip : tip + QLatin1Char('\n') + statusLine_;
}

// --- The window's half.

void T_DesktopWindow::ShowTrayIcon() { TrayIcon->Show(); }

void T_DesktopWindow::UpdateTrayIcon() {
  TrayIcon->SetStatusLine(ServerStatusLine());
  const int type = context_.display().TrayIconType;
  if (type == 0 && lastTrayIconType_ != 0) TrayIcon->ResetTrayIcon();
  lastTrayIconType_ = type;
  if (type < 1 || type > 4) return;
  const TDateTime now = context_.clock().Now();
  const TWeatherReport* report = Report();
  const QString temperature = (report ? report->Temperature : QString()) + Degree;
  const int events = context_.calendar().CountDayEvents(DatePart(now));
  TrayIcon->SetTrayPicture(TrayPicture(type, FormatDateTime(QStringLiteral("dd"), now), temperature),
                           TrayTip(type, now, events, report));
}

void T_DesktopWindow::TrayIconActivated(int reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      BringBack();
      break;
    case QSystemTrayIcon::DoubleClick:
      BringBack();
      if (context_.windows().ShowMonth) context_.windows().ShowMonth();
      break;
    case QSystemTrayIcon::Context:
      ShowPopupMenu(QCursor::pos());
      break;
    default:
      break;
  }
}
