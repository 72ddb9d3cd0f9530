#include "app/panelwindows.h"

#include "core/paths.h"

#include "platform/shell.h"
#include "platform/x11desktop.h"
#include "session/appcontext.h"
#include "settings/webpages.h"

#include <QLineEdit>

namespace {

// The weather keeper reads its settings afresh at every refresh.
std::function<WeatherSettings()> WeatherSettingsOf(AppContext& context) {
  return [&context] {
    WeatherSettings settings = ReadWeatherSettings(context.settings());
    settings.CacheFile = UserDataDir() + QStringLiteral("weather.json");
    return settings;
  };
}

void Present(QWidget& window) {
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace

PanelWindows::PanelWindows(AppContext& context, const PanelServices& services)
    : weather(WeatherSettingsOf(context), services.presence),
      desktop(context, services.screens, services.alarmSound),
      update(context.dialogs(), services.shell, services.presence,
             [&context] { return context.settings().GetSetting(QStringLiteral("UpdateHost")); }),
      network(context, {}, services.lanPort),
      taskForm(context),
      toDo(context),
      noteForm(context),
      printView(context),
      month(context),
      themeSelect(context),
      options(context, services.previewSound),
      serverSync(context.calendar(), context.store(), context.settings(), context.dialogs()) {
  context.SetWeather(&weather);
  Wire(context, services.shell);
}

void PanelWindows::Wire(AppContext& context, Shell& shell) {
  // The desktop window's update timer runs the silent check; a newer installer is started and
  // the program ends through the main sequence's way out, which saves the calendar.
  desktop.RunUpdateCheck = [this] { update.CheckForUpdate(true); };
  // Where an installer cannot be fetched safely, the user is offered the product's page.
  update.ProductPage = [&context] { return WebSiteUrl(context.settings()); };
  // The network window lives for the whole run: its listener answers other copies, and the
  // records they send are saved by the desktop window's tick like any other change.
  QObject::connect(&network, &T_Network::CalendarMerged, &desktop, qOverload<>(&QWidget::update));
  desktop.HoldSave = [this] { return network.Serving(); };
  // A change made in the task editor or the to-do window repaints the panel at once.
  QObject::connect(&taskForm, &T_TaskForm::Saved, &desktop, &T_DesktopWindow::FormPaint);
  QObject::connect(&toDo, &T_ToDo::Changed, &desktop, &T_DesktopWindow::FormPaint);
  // The to-do list is rebuilt at its next activation after the task editor saved, and not
  // while the editor is only being looked at.
  QObject::connect(&taskForm, &T_TaskForm::Shown, &toDo, [this] { toDo.NeedsRefresh = false; });
  QObject::connect(&taskForm, &T_TaskForm::Saved, &toDo, [this] { toDo.NeedsRefresh = true; });
  QObject::connect(&weather, &T_Weather::WeatherChanged, &desktop, qOverload<>(&QWidget::update));
  // One event editor serves the panel and the month window, which refills its days at its
  // next activation after a save.
  QObject::connect(&noteForm, &T_NoteForm::Saved, &desktop, &T_DesktopWindow::FormPaint);
  QObject::connect(&noteForm, &T_NoteForm::Saved, &month, [this] { month.NeedsRefresh = true; });
  // The theme chooser previews at the panel's size over the wallpaper under the panel.
  themeSelect.PanelSize = [this] { return desktop.size(); };
  themeSelect.PanelBackdrop = [this](QSize size) { return X11RootWallpaper(QRect(desktop.pos(), size)); };
  options.SetThemeSelect(&themeSelect);

  AppWindows& windows = context.windows();
  windows.NewEvent = [this](TDateTime date) {
    noteForm.NewNote(date);
    Present(noteForm);
  };
  windows.NewEventTitled = [this](TDateTime date, const QString& title) {
    noteForm.NewNote(date);
    Present(noteForm);
    noteForm.Title->setText(title);
    noteForm.Title->setCursorPosition(static_cast<int>(title.size()));
  };
  windows.ViewEvent = [this](int index) {
    noteForm.ViewNote(index);
    Present(noteForm);
  };
  windows.NewTask = [this] {
    taskForm.NewTask();
    taskForm.Open();
  };
  windows.ViewTask = [this](int index) {
    taskForm.ViewTask(index);
    taskForm.Open();
  };
  windows.ShowToDo = [this] { Present(toDo); };
  windows.ShowMonth = [this] { month.Present(); };
  windows.ShowMonthFilled = [this](TDateTime date) {
    month.FillMonth(date);
    month.Present();
  };
  windows.ShowMonthDay = [this](TDateTime date) {
    month.ShowDay(date);
    month.Present();
  };
  windows.ShowPrint = [this](TDateTime date) { printView.ShowForDate(date); };
  windows.ShowNetwork = [this] { network.ShowNetwork(); };
  windows.ShowOptions = [this] { options.Open(); };
  windows.ShowThemeSelect = [this] { Present(themeSelect); };
  windows.ShowHelp = [&shell, &context] { OpenHelp(shell, context.dialogs()); };
  windows.ShowAbout = [this] { about.exec(); };
  windows.CheckForUpdates = [this] { update.CheckForUpdate(false); };
  windows.RepaintDesktop = [this] { desktop.FormPaint(); };
  windows.DisplaySettingsChanged = [this] { desktop.DisplaySettingsChanged(); };
  windows.HideOtherWindows = [this] {
    for (QWidget* window : std::initializer_list<QWidget*>{&month, &toDo, &options, &taskForm, &noteForm}) {
      window->hide();
    }
  };
  // The maker's pages, opened in the browser from the Help menus.
  windows.OpenContactPage = [&shell, &context] { shell.OpenUrl(ContactUrl(context.settings())); };
  windows.OpenWebsite = [&shell, &context] { shell.OpenUrl(WebSiteUrl(context.settings())); };

  // The calendar server: what is open in an editor keeps its unsaved work (the server's
  // changes to it wait), and what came down shows everywhere.
  serverSync.InUse = [this, &context](const QString& uid) {
    const DataFormat& calendar = context.calendar();
    const int note = noteForm.isVisible() ? noteForm.EditIndex() : -1;
    const int task = taskForm.isVisible() ? taskForm.EditIndex() : -1;
    return (note >= 0 && note < calendar.NoteCount() && calendar.NoteArray[note].Uid == uid) ||
           (task >= 0 && task < calendar.ToDoCount() && calendar.ToDoArray[task].Uid == uid);
  };
  QObject::connect(&serverSync, &ServerSync::CalendarChanged, &month, [this] {
    month.NeedsRefresh = true;
    toDo.NeedsRefresh = true;
  });
  desktop.SetServerSync(&serverSync);
  options.SetServerSync(&serverSync);

  // The panel opens the weather pages through the shell.
  desktop.SetShell(&shell);

  // The windows made before the hooks were set show the commands they now reach.
  month.UpdateMainMenu();
  toDo.UpdateMainMenu();
}
