// The desktop panel's right-click menu: its items in menu order, how they are prepared for the
// point that was clicked, and the commands they carry out on events, tasks, day notes, the
// weather, the calendar's files and the program itself. Windows of other parts are reached
// through the context's hooks; an item whose window is not part of this run is hidden.

#include "core/repeattype.h"
#include "core/trimcontrol.h"
#include "desktop/desktopwindow.h"
#include "network/weather.h"
#include "platform/icalendar.h"
#include "platform/shell.h"
#include "session/appcontext.h"
#include "settings/calendarfiles.h"
#include "settings/settings.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPlainTextEdit>

namespace {

const QString Crlf = QStringLiteral("\r\n");

// A caption made of the user's text: an ampersand is shown, not taken as a shortcut mark.
QString Literal(const QString& text) { return QString(text).replace(QLatin1Char('&'), QStringLiteral("&&")); }

void Run(const std::function<void()>& hook) {
  if (hook) hook();
}

}  // namespace

QAction* T_DesktopWindow::AddItem(QMenu* menu, const char* name, const QString& caption,
                                  void (T_DesktopWindow::*handler)()) {
  auto* action = new QAction(caption, menu);
  action->setObjectName(QString::fromLatin1(name));
  menu->addAction(action);
  if (handler) connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
  return action;
}

QAction* T_DesktopWindow::AddSeparator(QMenu* menu, const char* name) {
  QAction* action = AddItem(menu, name, QString(), nullptr);
  action->setSeparator(true);
  return action;
}

void T_DesktopWindow::CreatePopupMenu() {
  PopupMenu = new QMenu(this);
  PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
  QMenu* m = PopupMenu;
  CalYear1 = AddItem(m, "CalYear1", QString(), nullptr);
  CalYear2 = AddItem(m, "CalYear2", QString(), nullptr);
  CalYear3 = AddItem(m, "CalYear3", QString(), nullptr);
  connect(CalYear1, &QAction::triggered, this, [this] { CalYearClick(1); });
  connect(CalYear2, &QAction::triggered, this, [this] { CalYearClick(2); });
  connect(CalYear3, &QAction::triggered, this, [this] { CalYearClick(3); });
  CalDivider = AddSeparator(m, "CalDivider");
  WeatherAlert = AddItem(m, "WeatherAlert", tr("View Severe Weather Alert"), &T_DesktopWindow::WeatherAlertClick);
  ViewForecast1 = AddItem(m, "ViewForecast1", tr("View Forecast"), &T_DesktopWindow::ViewForecast1Click);
  WeatherSplitter = AddSeparator(m, "WeatherSplitter");

  eventsMenu_ = new QMenu(tr("Events"), m);
  eventsMenu_->setObjectName(QStringLiteral("Events1"));
  Events1 = eventsMenu_->menuAction();
  Events1->setObjectName(QStringLiteral("Events1"));
  m->addAction(Events1);

  NewItem1 = AddItem(m, "NewItem1", tr("New Event"), &T_DesktopWindow::NewItem1Click);
  NewTask1 = AddItem(m, "NewTask1", tr("New Task"), &T_DesktopWindow::NewTask1Click);
  N7 = AddSeparator(m, "N7");
  AddNote1 = AddItem(m, "AddNote1", tr("Add Note"), &T_DesktopWindow::AddNote1Click);
  RemoveNotes1 = AddItem(m, "RemoveNotes1", tr("Remove Notes"), &T_DesktopWindow::RemoveNotes1Click);
  ViewNotes1 = AddItem(m, "ViewNotes1", tr("View Notes"), &T_DesktopWindow::ViewNotes1Click);
  Notesplitter = AddSeparator(m, "Notesplitter");
  ViewItem1 = AddItem(m, "ViewItem1", tr("View Event"), &T_DesktopWindow::ViewItem1Click);
  DeleteItem1 = AddItem(m, "DeleteItem1", tr("Delete Event"), &T_DesktopWindow::DeleteItem1Click);
  Exception1 = AddItem(m, "Exception1", tr("Set Exception (Hide Event)"), &T_DesktopWindow::Exception1Click);
  ViewEventList1 = AddItem(m, "ViewEventList1", tr("View List of Events"), &T_DesktopWindow::ViewEventList1Click);
  PrintCalendarofEvents1 = AddItem(m, "PrintCalendarofEvents1", tr("Print Calendar of Events"),
                                   &T_DesktopWindow::PrintCalendarofEvents1Click);
  N3 = AddSeparator(m, "N3");
  MarkCompleted1 = AddItem(m, "MarkCompleted1", tr("Mark Completed"), &T_DesktopWindow::MarkCompleted1Click);
  ViewTask1 = AddItem(m, "ViewTask1", tr("View Task"), &T_DesktopWindow::ViewTask1Click);
  DeleteItem2 = AddItem(m, "DeleteItem2", tr("Delete Task"), &T_DesktopWindow::DeleteItem2Click);
  N2 = AddSeparator(m, "N2");
  OpenCalendar1 = AddItem(m, "OpenCalendar1", tr("Open Calendar"), &T_DesktopWindow::OpenCalendar1Click);
  OpenToDo1 = AddItem(m, "OpenToDo1", tr("Open Tasks"), &T_DesktopWindow::OpenToDo1Click);
  N1 = AddSeparator(m, "N1");

  helpMenu_ = new QMenu(tr("Help"), m);
  helpMenu_->setObjectName(QStringLiteral("Help1"));
  Help1 = helpMenu_->menuAction();
  Help1->setObjectName(QStringLiteral("Help1"));
  m->addAction(Help1);
  OrvaneHelp1 = AddItem(helpMenu_, "OrvaneHelp1", tr("Orvane Help"), &T_DesktopWindow::OrvaneHelp1Click);
  OrvaneHelp1->setShortcut(QKeySequence(Qt::Key_F1));
  OrvaneHelp1->setShortcutContext(Qt::WindowShortcut);
  addAction(OrvaneHelp1);  // F1 also while the menu is closed
  N6 = AddSeparator(helpMenu_, "N6");
  AboutOrvane1 = AddItem(helpMenu_, "AboutOrvane1", tr("About Orvane"), &T_DesktopWindow::AboutOrvane1Click);
  Feedback1 = AddItem(helpMenu_, "Feedback1", tr("Contact the developer"), &T_DesktopWindow::Feedback1Click);
  OrvaneWebsite1 = AddItem(helpMenu_, "OrvaneWebsite1", tr("Orvane Website"), &T_DesktopWindow::OrvaneWebsite1Click);

  Options1 = AddItem(m, "Options1", tr("Options"), &T_DesktopWindow::Options1Click);
  LoadTheme1 = AddItem(m, "LoadTheme1", tr("Load Theme"), &T_DesktopWindow::LoadTheme1Click);
  N8 = AddSeparator(m, "N8");

  transferMenu_ = new QMenu(tr("Data Backup and Transfer"), m);
  transferMenu_->setObjectName(QStringLiteral("DataBackupandTransfer1"));
  DataBackupandTransfer1 = transferMenu_->menuAction();
  DataBackupandTransfer1->setObjectName(QStringLiteral("DataBackupandTransfer1"));
  m->addAction(DataBackupandTransfer1);
  QMenu* t = transferMenu_;
  NetworkItem = AddItem(t, "NetworkItem", tr("Synchronize across Network"), &T_DesktopWindow::NetworkItemClick);
  FileSyncItem = AddItem(t, "FileSyncItem", tr("Synchronize with file"), &T_DesktopWindow::FileSyncItemClick);
  BackupItem = AddItem(t, "BackupItem", tr("Backup Data and Settings"), &T_DesktopWindow::BackupItemClick);
  RestoreItem = AddItem(t, "RestoreItem", tr("Restore Data and Settings"), &T_DesktopWindow::RestoreItemClick);
  N9 = AddSeparator(t, "N9");
  ExportICalendarItem =
      AddItem(t, "ExportICalendarItem", tr("Export to iCalendar..."), &T_DesktopWindow::ExportICalendarItemClick);
  ImportICalendarItem =
      AddItem(t, "ImportICalendarItem", tr("Import from iCalendar..."), &T_DesktopWindow::ImportICalendarItemClick);

  N5 = AddSeparator(m, "N5");
  Refresh1 = AddItem(m, "Refresh1", tr("Refresh"), &T_DesktopWindow::Refresh1Click);
  Restore1 = AddItem(m, "Restore1", tr("Restore"), &T_DesktopWindow::Restore1Click);
  Hide1 = AddItem(m, "Hide1", tr("Hide Window"), &T_DesktopWindow::Hide1Click);
  Exit1 = AddItem(m, "Exit1", tr("Exit"), &T_DesktopWindow::Exit1Click);

  // Shown only where a click asks for them.
  for (QAction* action : {CalYear1, CalYear2, CalYear3, CalDivider, WeatherAlert, WeatherSplitter, Events1,
                          ViewEventList1, MarkCompleted1}) {
    action->setVisible(false);
  }
}

// --- Preparing the menu.

void T_DesktopWindow::PopupMenuPopup(QPoint globalPos) {
  const DisplaySettings& s = context_.display();
  DataFormat& calendar = context_.calendar();
  const bool shown = isVisible();
  Restore1->setVisible(!shown);
  Hide1->setVisible(shown);
  Refresh1->setVisible(shown);
  PrepareServerItem();

  const TDateTime now = context_.clock().Now();
  SelectedDate = now;
  const PanelZones zones = Zones();
  const auto [x, y] = ContentPoint(mapFromGlobal(globalPos));

  for (QAction* action :
       {Events1, DeleteItem1, DeleteItem2, MarkCompleted1, ViewTask1, N2, ViewItem1, Notesplitter, AddNote1,
        RemoveNotes1, ViewNotes1, N3, CalDivider, CalYear1, CalYear2, CalYear3, Exception1}) {
    action->setVisible(false);
  }

  if ((s.DisplayEvents || s.DisplayTaskList) && zones.InListRows(y)) {
    ClickedRow = y / s.R();
    if (ClickedRow < static_cast<int>(painter_.HitRows.size())) {
      const THitRow row = painter_.HitRows[static_cast<size_t>(ClickedRow)];
      if (const THitRow* event = ClickedRowOf('N')) {
        SelectedDate = event->Date;
        const TNote& note = calendar.NoteArray[static_cast<size_t>(event->Index)];
        const bool dayNote = calendar.HasDayNote(event->Index, event->Date);
        for (QAction* action : {N3, ViewItem1, DeleteItem1, Notesplitter, AddNote1}) action->setVisible(true);
        RemoveNotes1->setVisible(dayNote);
        ViewNotes1->setVisible((dayNote || !note.Notes.isEmpty()) && s.UseToolTips);
        Exception1->setVisible(OffersException(calendar, event->Index));
      } else if (ClickedRowOf('T')) {
        for (QAction* action : {MarkCompleted1, DeleteItem2, ViewTask1, N2}) action->setVisible(true);
      } else if (row.Kind == ' ') {
        SelectedDate = row.Date;
      }
    }
  }

  if (zones.calendarRows > 0) {
    if (zones.InCalendarCells(y)) {
      SelectedDate = painter_.CalendarDateAt(x, y);
      PrepareEventsMenu(SelectedDate);
    } else if (zones.InMonthTitleRow(y) && (x <= s.R() || x >= zones.W - s.R())) {
      for (QAction* action : {CalDivider, CalYear1, CalYear2, CalYear3}) action->setVisible(true);
    }
  }

  const TWeatherReport* report = Report();
  if (s.DisplayWeather && report && report->CurrentValid && ForecastIndex(SelectedDate, now)) {
    ViewForecast1->setText(DayNumber(SelectedDate) == DayNumber(now) ? tr("View Weather") : tr("View Forecast"));
    ViewForecast1->setVisible(true);
    WeatherSplitter->setVisible(true);
  } else {
    ViewForecast1->setVisible(false);
  }
  HideUnavailableItems();
}

void T_DesktopWindow::ShowPopupMenu(QPoint globalPos) {
  // A menu still open (the tray asked again) closes before its entries are prepared anew.
  if (PopupMenu->isVisible()) PopupMenu->hide();
  PopupMenuPopup(globalPos);
  PopupMenu->popup(globalPos);
}

void T_DesktopWindow::HideUnavailableItems() {
  const AppWindows& w = context_.windows();
  const auto need = [](QAction* action, bool available) {
    if (!available) action->setVisible(false);
  };
  need(NewItem1, bool(w.NewEvent));
  need(NewTask1, bool(w.NewTask));
  need(ViewItem1, bool(w.ViewEvent));
  need(ViewTask1, bool(w.ViewTask));
  need(PrintCalendarofEvents1, bool(w.ShowPrint));
  need(OpenCalendar1, bool(w.ShowMonth));
  need(OpenToDo1, bool(w.ShowToDo));
  need(OrvaneHelp1, bool(w.ShowHelp));
  need(AboutOrvane1, bool(w.ShowAbout));
  need(Feedback1, bool(w.OpenContactPage));
  need(OrvaneWebsite1, bool(w.OpenWebsite));
  need(WeatherAlert, shell_ != nullptr);
  need(Options1, bool(w.ShowOptions));
  need(LoadTheme1, bool(w.ShowThemeSelect));
  NetworkItem->setVisible(context_.display().EnableSync && w.ShowNetwork);
  Help1->setVisible(OrvaneHelp1->isVisible() || AboutOrvane1->isVisible() || Feedback1->isVisible());
}

void T_DesktopWindow::PrepareEventsMenu(TDateTime date) {
  DataFormat& calendar = context_.calendar();
  const std::vector<int> events = calendar.FindSortedDayEvents(date);
  if (events.empty()) return;
  Events1->setVisible(true);
  const QString caption =
      tr("Events for ") + FormatDateTime(QStringLiteral("ddddd"), date, FormatSettings::FromSystemLocale());
  // Built once per date; built again when the calendar changed since, so that an entry never
  // names a deleted event or a note that is gone.
  if (caption == eventsCaption_ && calendar.DataChanged.Revision() == eventsRevision_) return;
  eventsMenu_->clear();
  for (QMenu* old : eventsMenu_->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) old->deleteLater();
  eventsMenu_->setTitle(Literal(caption));
  eventsCaption_ = caption;
  eventsRevision_ = calendar.DataChanged.Revision();

  const TDateTime day = DatePart(date);
  const FormatSettings format;
  const AppWindows& windows = context_.windows();
  for (int index : events) {
    const TNote& note = calendar.NoteArray[static_cast<size_t>(index)];
    const QString text = note.Start ? FormatDateTime(format.LongTimeFormat, calendar.StartTimeOn(index, day)) +
                                          QLatin1Char(' ') + note.Title
                                    : note.Title;
    QMenu* item = eventsMenu_->addMenu(Literal(text));
    if (windows.ViewEvent) {
      connect(item->addAction(tr("View/Edit Event")), &QAction::triggered, this, [this, index] {
        if (context_.windows().ViewEvent) context_.windows().ViewEvent(index);
      });
    }
    connect(item->addAction(tr("Delete Event")), &QAction::triggered, this, [this, index] { DeleteEvent(index); });
    if (OffersException(calendar, index)) {
      connect(item->addAction(tr("Set Exception (Hide)")), &QAction::triggered, this,
              [this, index, day] { context_.calendar().ToggleException(index, day); });
    }
    item->addSeparator();
    connect(item->addAction(tr("Add Note")), &QAction::triggered, this,
            [this, index, day] { AddDayNoteFor(index, day); });
    const bool dayNote = calendar.HasDayNote(index, day);
    if (dayNote || !note.Notes.isEmpty()) {
      connect(item->addAction(tr("View Notes")), &QAction::triggered, this,
              [this, index, day] { ShowNotesFor(index, day, !context_.display().UseToolTips); });
    }
    if (dayNote) {
      connect(item->addAction(tr("Remove Notes")), &QAction::triggered, this,
              [this, index, day] { context_.calendar().RemoveDayNote(index, day); });
    }
  }
}

// --- Commands.

void T_DesktopWindow::ShowText(const QString& text) {
  context_.dialogs().MessageBox(ForDisplay(text), tr("Orvane"), Dialogs::Buttons::Ok, Dialogs::Icon::Information);
}

void T_DesktopWindow::AddDayNoteFor(int index, TDateTime date) {
  const QString text =
      context_.dialogs().EditMemo(tr("Enter Note"), tr("Please type your note and click OK."), QString());
  if (text.isEmpty()) return;
  context_.calendar().AddDayNote(index, text, DatePart(date));
}

void T_DesktopWindow::ShowNotesFor(int index, TDateTime date, bool toInfoBox) {
  const DataFormat& calendar = context_.calendar();
  QString text = calendar.NoteArray[static_cast<size_t>(index)].Notes;
  if (calendar.HasDayNote(index, date)) {
    if (!text.isEmpty()) text += Crlf;
    text += calendar.GetDayNote(index, date);
  }
  if (toInfoBox) {
    InfoMemo->clear();
    InfoMemo->setPlainText(ForDisplay(TrimControlAndSpace(text)));
  } else {
    ShowText(text);
  }
}

void T_DesktopWindow::DeleteEvent(int index) {
  DataFormat& calendar = context_.calendar();
  if (index < 0 || index >= calendar.NoteCount()) return;
  const TNote& note = calendar.NoteArray[static_cast<size_t>(index)];
  if (note.DeleteDate != 0) return;
  if (RepeatOf(note) > RepeatType::Once &&
      !context_.dialogs().Confirm(tr("Are you sure you want to delete all instances of '") + note.Title + tr("'?"))) {
    return;
  }
  calendar.DeleteNote(index);
  FormPaint();
}

void T_DesktopWindow::CalYearClick(int years) {
  painter_.MonthOffset += YearStep * 12 * years;
  FormPaint();
}

void T_DesktopWindow::WeatherAlertClick() { OpenWeatherPage(); }

void T_DesktopWindow::ViewForecast1Click() {
  const TWeatherReport* report = Report();
  if (!report) return;
  const std::optional<QString> text = ForecastText(*report, SelectedDate, context_.clock().Today());
  if (!text) return;
  if (context_.display().UseToolTips) {
    ShowText(TrimControlAndSpace(*text));
  } else {
    InfoMemo->clear();
    InfoMemo->setPlainText(ForDisplay(TrimControlAndSpace(*text)));
  }
}

void T_DesktopWindow::NewItem1Click() {
  Run([this] { context_.windows().NewEvent(SelectedDate); });
}

void T_DesktopWindow::NewTask1Click() { Run(context_.windows().NewTask); }

void T_DesktopWindow::AddNote1Click() {
  if (const THitRow* row = ClickedRowOf('N')) AddDayNoteFor(row->Index, row->Date);
}

void T_DesktopWindow::RemoveNotes1Click() {
  if (const THitRow* row = ClickedRowOf('N')) context_.calendar().RemoveDayNote(row->Index, row->Date);
}

void T_DesktopWindow::ViewNotes1Click() {
  if (const THitRow* row = ClickedRowOf('N')) ShowNotesFor(row->Index, row->Date, false);
}

void T_DesktopWindow::ViewItem1Click() {
  const THitRow* row = ClickedRowOf('N');
  if (row && context_.windows().ViewEvent) context_.windows().ViewEvent(row->Index);
}

void T_DesktopWindow::DeleteItem1Click() {
  if (const THitRow* row = ClickedRowOf('N')) DeleteEvent(row->Index);
}

void T_DesktopWindow::Exception1Click() {
  if (const THitRow* row = ClickedRowOf('N')) context_.calendar().ToggleException(row->Index, DatePart(row->Date));
}

void T_DesktopWindow::ViewEventList1Click() { ShowText(context_.calendar().GetEventListText(SelectedDate)); }

void T_DesktopWindow::PrintCalendarofEvents1Click() {
  Run([this] { context_.windows().ShowPrint(SelectedDate); });
}

void T_DesktopWindow::MarkCompleted1Click() {
  const THitRow* row = ClickedRowOf('T');
  if (!row) return;
  DataFormat& calendar = context_.calendar();
  if (calendar.ToDoArray[static_cast<size_t>(row->Index)].DeleteDate == 0) calendar.ToggleToDoCompleted(row->Index);
  FormPaint();
}

void T_DesktopWindow::ViewTask1Click() {
  const THitRow* row = ClickedRowOf('T');
  if (row && context_.windows().ViewTask) context_.windows().ViewTask(row->Index);
}

void T_DesktopWindow::DeleteItem2Click() {
  if (const THitRow* row = ClickedRowOf('T')) {
    DataFormat& calendar = context_.calendar();
    const TToDo& task = calendar.ToDoArray[static_cast<size_t>(row->Index)];
    if (task.DeleteDate == 0 &&
        context_.dialogs().Confirm(tr("Are you sure you want to delete '") + task.Title + tr("'?"))) {
      calendar.DeleteToDo(row->Index);
    }
  }
  FormPaint();
}

void T_DesktopWindow::OpenCalendar1Click() { Run(context_.windows().ShowMonth); }
void T_DesktopWindow::OpenToDo1Click() { Run(context_.windows().ShowToDo); }
void T_DesktopWindow::OrvaneHelp1Click() { Run(context_.windows().ShowHelp); }
void T_DesktopWindow::AboutOrvane1Click() { Run(context_.windows().ShowAbout); }

void T_DesktopWindow::Feedback1Click() { Run(context_.windows().OpenContactPage); }
void T_DesktopWindow::OrvaneWebsite1Click() { Run(context_.windows().OpenWebsite); }

void T_DesktopWindow::Options1Click() { Run(context_.windows().ShowOptions); }
void T_DesktopWindow::LoadTheme1Click() { Run(context_.windows().ShowThemeSelect); }
void T_DesktopWindow::NetworkItemClick() { Run(context_.windows().ShowNetwork); }

void T_DesktopWindow::FileSyncItemClick() {
  Dialogs::FileRequest request;
  request.title = tr("Select a Orvane Sync file...");
  request.filter = tr("Orvane Sync Files (*.ovs)|*.ovs");
  request.defaultExtension = QStringLiteral(".ovs");
  const std::optional<QString> path = context_.dialogs().OpenFile(request);
  if (!path) return;
  SyncWithFile(context_.calendar(), *path, context_.dialogs());
}

void T_DesktopWindow::BackupItemClick() {
  Dialogs::FileRequest request;
  request.filter = tr("Orvane Backup Files (*.ovb)|*.ovb");
  request.defaultExtension = QStringLiteral(".ovb");
  const std::optional<QString> path = context_.dialogs().SaveFile(request);
  if (!path) return;
  BackupToFile(context_.calendar(), context_.settings(), *path, context_.dialogs());
}

void T_DesktopWindow::RestoreItemClick() {
  Dialogs::FileRequest request;
  request.filter = tr("Orvane Backup Files (*.ovb)|*.ovb");
  request.defaultExtension = QStringLiteral(".ovb");
  const std::optional<QString> path = context_.dialogs().OpenFile(request);
  if (path && context_.dialogs().Confirm(tr("Restoring will erase all data in Orvane - do you want to continue?"))) {
    // The restored calendar and settings are stored at once and together.
    if (RestoreFromFile(context_.calendar(), context_.settings(), *path, context_.dialogs()).ok) {
      context_.SaveCalendarAndSettings();
    }
  }
  DisplaySettingsChanged();
}

void T_DesktopWindow::ExportICalendarItemClick() {
  Dialogs::FileRequest request;
  request.title = tr("Export to iCalendar");
  request.filter = tr("iCalendar Files (*.ics)|*.ics");
  request.defaultExtension = QStringLiteral(".ics");
  const std::optional<QString> path = context_.dialogs().SaveFile(request);
  if (!path) return;
  const IcsExportResult result = ExportICalendar(context_.calendar(), *path, context_.clock().Now());
  if (!result.ok) {
    context_.dialogs().Alert(result.error);
    return;
  }
  ShowText(ExportSummary(result, *path));
}

void T_DesktopWindow::ImportICalendarItemClick() {
  Dialogs::FileRequest request;
  request.title = tr("Import from iCalendar");
  request.filter = tr("iCalendar Files (*.ics)|*.ics");
  request.defaultExtension = QStringLiteral(".ics");
  const std::optional<QString> path = context_.dialogs().OpenFile(request);
  if (!path) return;
  const IcsImportResult result = ImportICalendar(context_.calendar(), *path, context_.clock().Now());
  if (!result.ok) {
    context_.dialogs().Alert(result.error);
    return;
  }
  FormPaint();
  ShowText(ImportSummary(result, *path));
}

void T_DesktopWindow::Refresh1Click() {
  if (T_Weather* weather = context_.weather()) weather->RefreshNow();
  FormPaint();
}

void T_DesktopWindow::Restore1Click() { show(); }
void T_DesktopWindow::Hide1Click() { hide(); }

void T_DesktopWindow::Exit1Click() {
  context_.settings().SaveSettings();
  QCoreApplication::quit();
}
