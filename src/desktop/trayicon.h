#pragma once

// The panel's icon in the notification area. By the setting TrayIconType it shows the
// program's icon (0) or a 16 x 16 picture drawn at every paint: the day of the month (1), the
// temperature (2), or both, the day above (3) or below (4). Its tip names the date, today's
// number of events and the temperature. A left press brings the panel back, a double click
// also opens the month window, a right press opens the panel's menu.

#include "core/tdatetime.h"

#include <QImage>
#include <QObject>
#include <QString>

class QSystemTrayIcon;
struct TWeatherReport;

// The longest tip the tray keeps (the rest is cut).
constexpr int TrayTipLength = 63;

// The picture of a type (1..4) for the day ("dd") and the temperature text (with its degree
// sign): white, with black text in "Arial" that shrinks until it is at most 14 pixels wide.
// A null image for any other type.
QImage TrayPicture(int type, const QString& day, const QString& temperature);

// "1 Event Today", "0 Events Today".
QString EventCountText(int count);

// The tip of a type (1..4): "Orvane - 7 Dec 2026", CR LF, then the count or the temperatures;
// cut to 63 characters and trimmed. report may be null (no weather yet).
QString TrayTip(int type, TDateTime now, int eventsToday, const TWeatherReport* report);

// The icon in the tray.
class DesktopTray : public QObject {
  Q_OBJECT

 public:
  explicit DesktopTray(QObject* parent = nullptr);
  ~DesktopTray() override;

  // Puts the icon into the tray (where the desktop has one; it appears when one starts).
  void Show();
  // The program's icon and title again.
  void ResetTrayIcon();
  // A drawn picture and its tip. An unchanged picture and tip are not sent again.
  void SetTrayPicture(const QImage& picture, const QString& tip);
  // A line under the tip (the calendar server's state); empty for none.
  void SetStatusLine(const QString& line);

  bool ShowsApplicationIcon() const { return picture_.isNull(); }
  const QImage& Picture() const { return picture_; }
  const QString& Tip() const { return tip_; }
  // What the tray shows: the tip and the status line.
  QString ToolTip() const;
  QSystemTrayIcon* Icon() const { return icon_; }

 signals:
  void LeftPress();
  void DoubleClick();
  void MenuRequested();

 private:
  QSystemTrayIcon* icon_ = nullptr;
  QImage picture_;
  QString tip_;
  QString statusLine_;
};
