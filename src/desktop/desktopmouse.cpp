// The desktop panel's answers to the pointer: the details of what it is over (as a tooltip or
// in the information box), clicks that navigate the month calendar or open the weather page,
// and double-clicks that open the window for a row, a day or the tasks. Everything is decided
// from the layout marks and hit rows of the last paint.

#include "core/trimcontrol.h"
#include "desktop/desktopwindow.h"
#include "network/weather.h"
#include "platform/shell.h"
#include "session/appcontext.h"
#include "settings/webpages.h"

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolTip>

namespace {

const QString Crlf = QStringLiteral("\r\n");

}  // namespace

T_DesktopWindow::PointerPlace T_DesktopWindow::ContentPoint(QPoint pos) const {
  return {pos.x(), pos.y() + (painter_.ScrollMode ? painter_.ScrollPos : 0)};
}

PanelZones T_DesktopWindow::Zones() const {
  const DisplaySettings& s = context_.display();
  PanelZones zones;
  zones.R = s.R();
  zones.W = s.Width;
  zones.marks = painter_.Marks;
  zones.calendarRows = CalendarRows(s);
  zones.weatherShown = s.DisplayWeather && s.CurrentWeather && Report() != nullptr;
  return zones;
}

const TWeatherReport* T_DesktopWindow::Report() const {
  const T_Weather* weather = context_.weather();
  return weather ? &weather->Report() : nullptr;
}

bool T_DesktopWindow::WeatherValid() const {
  const DisplaySettings& s = context_.display();
  const TWeatherReport* report = Report();
  return s.DisplayWeather && s.CurrentWeather && report && report->CurrentValid;
}

void T_DesktopWindow::ShowDetails(const QString& text) {
  const QString trimmed = TrimControlAndSpace(text);
  if (context_.display().UseToolTips) {
    setToolTip(ForDisplay(trimmed));
  } else if (InfoMemo->toPlainText() != ForDisplay(trimmed)) {
    // Written only when it changes, so the box keeps its place while the pointer rests.
    InfoMemo->clear();
    InfoMemo->setPlainText(ForDisplay(trimmed));
  }
}

void T_DesktopWindow::OpenWeatherPage() {
  if (!shell_) return;
  shell_->OpenUrl(WeatherPageUrl(context_.settings(), context_.display().WeatherZip));
}

const THitRow* T_DesktopWindow::ClickedRowOf(char kind) const {
  if (ClickedRow < 0 || ClickedRow >= static_cast<int>(painter_.HitRows.size())) return nullptr;
  const THitRow& row = painter_.HitRows[static_cast<size_t>(ClickedRow)];
  if (row.Kind != kind) return nullptr;
  if (kind == 'N' && (row.Index < 0 || row.Index >= context_.calendar().NoteCount())) return nullptr;
  if (kind == 'T' && (row.Index < 0 || row.Index >= context_.calendar().ToDoCount())) return nullptr;
  return &row;
}

void T_DesktopWindow::FormMouseMove(QPoint pos) {
  const DisplaySettings& s = context_.display();
  const TDateTime now = context_.clock().Now();
  SelectedDate = now;
  if (!painter_.PaintedOnce) return;
  const PanelZones zones = Zones();
  const auto [x, y] = ContentPoint(pos);
  const int R = s.R();
  QString hint;
  bool hintSet = false;

  const TWeatherReport* report = Report();
  const bool overAlert = WeatherValid() && report->SevereAlert && zones.InAlertRow(y) && zones.InWeatherSection(y);
  setCursor(overAlert ? Qt::PointingHandCursor : Qt::ArrowCursor);

  const bool weatherWanted = s.DisplayWeather && s.ToolTipWeather;
  if (zones.InListRows(y)) {
    const int index = y / R;
    if (index >= 0 && index < static_cast<int>(painter_.HitRows.size())) {
      const THitRow& row = painter_.HitRows[static_cast<size_t>(index)];
      if (row.Kind == ' ' || row.Kind == 'N') SelectedDate = row.Date;
      const QString weather = row.Kind == ' ' ? WeatherText(report, weatherWanted, row.Date, now) : QString();
      const QString text = RowDetailsText(context_.calendar(), row, weather);
      if (s.UseToolTips) {
        hint = TrimControlAndSpace(text);
        hintSet = true;
      } else {
        ShowDetails(text);
      }
    }
  }
  if (zones.calendarRows > 0) {
    if (zones.InMonthTitleRow(y)) {
      // The navigation hint is a tooltip even where details go to the information box.
      hint = MonthTitleHint();
      hintSet = true;
    } else if (zones.InCalendarCells(y)) {
      SelectedDate = painter_.CalendarDateAt(x, y);
      const QString text = CellDetailsText(context_.calendar(), SelectedDate, report, weatherWanted, now);
      if (s.UseToolTips) {
        hint = TrimControlAndSpace(text);
        hintSet = true;
      } else {
        ShowDetails(text);
      }
    }
  }
  const QString shown = hintSet ? ForDisplay(hint) : QString();
  if (shown != toolTip()) {
    setToolTip(shown);
    // A tooltip already showing follows the pointer's new item at once.
    if (QToolTip::isVisible()) {
      if (shown.isEmpty()) {
        QToolTip::hideText();
      } else {
        QToolTip::showText(mapToGlobal(pos), shown, this);
      }
    }
  }
}

void T_DesktopWindow::FormMouseDown(Qt::MouseButton button, QPoint pos, bool doubleClick) {
  const DisplaySettings& s = context_.display();
  const PanelZones zones = Zones();
  const auto [x, y] = ContentPoint(pos);
  const bool left = button == Qt::LeftButton;
  const TWeatherReport* report = Report();
  // The weather page opens once per press, also where the alert row lies in the weather
  // section; the press that ends a double click does not open it again.
  bool pageOpened = false;

  TitleRowClicked = false;
  ViewEventList1->setVisible(false);

  if (WeatherValid()) {
    if (zones.InAlertRow(y) && report->SevereAlert && zones.InWeatherSection(y)) {
      if (left) {
        if (!doubleClick) OpenWeatherPage();
        pageOpened = true;
      } else {
        WeatherAlert->setVisible(true);
        WeatherSplitter->setVisible(true);
        PopupMenu->setDefaultAction(WeatherAlert);
      }
    } else {
      if (PopupMenu->defaultAction() == WeatherAlert) PopupMenu->setDefaultAction(nullptr);
      WeatherAlert->setVisible(false);
      WeatherSplitter->setVisible(false);
    }
  }

  if (zones.calendarRows > 0) {
    if (zones.InMonthTitleRow(y)) {
      TitleRowClicked = true;
      if (!left) {
        const TDateTime shown = ShownMonthDate(context_.clock().Now(), painter_.MonthOffset);
        int step = 0;
        if (zones.OverLeftArrows(x, y)) step = -1;
        if (zones.OverRightArrows(x, y)) step = 1;
        if (step != 0) {
          YearStep = step;
          QAction* years[3] = {CalYear1, CalYear2, CalYear3};
          for (int i = 0; i < 3; ++i) {
            years[i]->setText(FormatDateTime(QStringLiteral("mmm yyyy"), IncMonth(shown, step * 12 * (i + 1))));
          }
        }
      } else if (zones.OverLeftArrows(x, y)) {
        painter_.MonthOffset -= 1;
      } else if (zones.OverRightArrows(x, y)) {
        painter_.MonthOffset += 1;
      } else if (zones.OverMonthCentre(x, y)) {
        painter_.MonthOffset = 0;
      }
    } else if (zones.InMainGrid(y)) {
      ViewEventList1->setVisible(true);
    }
  }

  if (WeatherValid() && zones.InWeatherSection(y)) {
    if (s.WeatherDouble || !left) {
      WeatherAlert->setText(tr("Open NWS Weather Page"));
      WeatherAlert->setVisible(true);
      WeatherSplitter->setVisible(true);
      PopupMenu->setDefaultAction(WeatherAlert);
    } else if (!pageOpened && !doubleClick) {
      OpenWeatherPage();
    }
    FormPaint();
    return;
  }
  WeatherAlert->setText(tr("View Severe Weather Alert"));
  if (PopupMenu->defaultAction() == WeatherAlert) PopupMenu->setDefaultAction(nullptr);
  WeatherAlert->setVisible(false);
  WeatherSplitter->setVisible(false);
  FormPaint();
}

void T_DesktopWindow::FormDblClick(QPoint pos) {
  // A double click on the month title only navigates (its presses did that).
  if (TitleRowClicked) return;
  const DisplaySettings& s = context_.display();
  const PanelZones zones = Zones();
  const auto [x, y] = ContentPoint(pos);
  Q_UNUSED(x);
  const AppWindows& windows = context_.windows();
  const TDateTime now = context_.clock().Now();
  ClickedRow = y / s.R();
  const bool onRow = ClickedRow >= 0 && ClickedRow < static_cast<int>(painter_.HitRows.size());
  const THitRow row = onRow ? painter_.HitRows[static_cast<size_t>(ClickedRow)] : THitRow{now, -1, ' '};

  if (zones.InEventPart(y)) {
    // The title row above the list is no event row either: it opens the month at today.
    if (row.Kind != 'N' || s.DblClickCal) {
      if (windows.ShowMonthDay) windows.ShowMonthDay(row.Date);
    } else if (ClickedRowOf('N') && windows.ViewEvent) {
      windows.ViewEvent(row.Index);
    }
  } else if (zones.InTaskPart(y)) {
    if (row.Kind != 'T' || s.DblClickTodo) {
      if (windows.ShowToDo) windows.ShowToDo();
    } else if (ClickedRowOf('T') && windows.ViewTask) {
      windows.ViewTask(row.Index);
    }
  } else if (zones.InMainGrid(y)) {
    if (s.DblClickTessaly) {
      ViewEventList1Click();
    } else if (windows.ShowMonthFilled) {
      windows.ShowMonthFilled(SelectedDate);
    }
  } else if (zones.InWeatherSection(y)) {
    if (s.WeatherDouble) OpenWeatherPage();
  } else if (s.DblClickCal && windows.ShowMonthFilled) {
    windows.ShowMonthFilled(now);
  }
}
