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
    : context_(context),
      services_(services),
      weather_(ReadWeatherSettings(context.settings()).DisplayWeather
                   ? std::make_unique<T_Weather>(WeatherSettingsOf(context), services.presence)
                   : nullptr),
      desktop(context, services.screens, services.alarmSound),
      network(context, {}, services.lanPort),
      serverSync(context.calendar(), context.store(), context.settings(), context.dialogs()) {
  if (weather_) {
    context.SetWeather(weather_.get());
    QObject::connect(weather_.get(), &T_Weather::WeatherChanged, &desktop, qOverload<>(&QWidget::update));
  }
  Wire(context, services.shell);
}

T_Weather& PanelWindows::weather() {
  if (weather_) return *weather_;
  weather_ = std::make_unique<T_Weather>(WeatherSettingsOf(context_), services_.presence);
  context_.SetWeather(weather_.get());
  QObject::connect(weather_.get(), &T_Weather::WeatherChanged, &desktop, qOverload<>(&QWidget::update));
  return *weather_;
}

T_Update& PanelWindows::update() {
  if (update_) return *update_;
  update_ = std::make_unique<T_Update>(context_.dialogs(), services_.shell, services_.presence,
                                       [this] { return context_.settings().GetSetting(QStringLiteral("UpdateHost")); });
  // Where an installer cannot be fetched safely, the user is offered the product's page.
  update_->ProductPage = [this] { return WebSiteUrl(context_.settings()); };
  return *update_;
}

// --- The windows, made when first asked for. Each is wired to what exists already; what
// is made later finds it through these.

T_TaskForm& PanelWindows::taskForm() {
  if (taskForm_) return *taskForm_;
  taskForm_ = std::make_unique<T_TaskForm>(context_);
  // A change made in the task editor repaints the panel at once. The to-do list is rebuilt
  // at its next activation after the editor saved, and not while the editor is only being
  // looked at (a list made later is made from the calendar as it is).
  QObject::connect(taskForm_.get(), &T_TaskForm::Saved, &desktop, &T_DesktopWindow::FormPaint);
  QObject::connect(taskForm_.get(), &T_TaskForm::Shown, &desktop, [this] {
    if (toDo_) toDo_->NeedsRefresh = false;
  });
  QObject::connect(taskForm_.get(), &T_TaskForm::Saved, &desktop, [this] {
    if (toDo_) toDo_->NeedsRefresh = true;
  });
  return *taskForm_;
}

T_ToDo& PanelWindows::toDo() {
  if (toDo_) return *toDo_;
  toDo_ = std::make_unique<T_ToDo>(context_);
  QObject::connect(toDo_.get(), &T_ToDo::Changed, &desktop, &T_DesktopWindow::FormPaint);
  // Made after the hooks were set: its menus show the commands they reach.
  toDo_->UpdateMainMenu();
  return *toDo_;
}

T_NoteForm& PanelWindows::noteForm() {
  if (noteForm_) return *noteForm_;
  noteForm_ = std::make_unique<T_NoteForm>(context_);
  // One event editor serves the panel and the month window, which refills its days at its
  // next activation after a save.
  QObject::connect(noteForm_.get(), &T_NoteForm::Saved, &desktop, &T_DesktopWindow::FormPaint);
  QObject::connect(noteForm_.get(), &T_NoteForm::Saved, &desktop, [this] {
    if (month_) month_->NeedsRefresh = true;
  });
  return *noteForm_;
}

T_PrintView& PanelWindows::printView() {
  if (!printView_) printView_ = std::make_unique<T_PrintView>(context_);
  return *printView_;
}

T_Main& PanelWindows::month() {
  if (month_) return *month_;
  month_ = std::make_unique<T_Main>(context_);
  month_->UpdateMainMenu();
  return *month_;
}

T_ThemeSelect& PanelWindows::themeSelect() {
  if (themeSelect_) return *themeSelect_;
  themeSelect_ = std::make_unique<T_ThemeSelect>(context_);
  // The theme chooser previews at the panel's size over the wallpaper under the panel.
  themeSelect_->PanelSize = [this] { return desktop.size(); };
  themeSelect_->PanelBackdrop = [this](QSize size) { return X11RootWallpaper(QRect(desktop.pos(), size)); };
  return *themeSelect_;
}

T_Options& PanelWindows::options() {
  if (options_) return *options_;
  options_ = std::make_unique<T_Options>(context_, services_.previewSound);
  options_->SetThemeSelect(&themeSelect());
  options_->SetServerSync(&serverSync);
  return *options_;
}

T_About& PanelWindows::about() {
  if (!about_) about_ = std::make_unique<T_About>();
  return *about_;
}

void PanelWindows::Wire(AppContext& context, Shell& shell) {
  // The desktop window's update timer runs the silent check; a newer installer is started and
  // the program ends through the main sequence's way out, which saves the calendar.
  desktop.RunUpdateCheck = [this] { update().CheckForUpdate(true); };
  // The panel set to show the weather makes its keeper.
  desktop.NeedWeather = [this] { weather(); };
  // The network window lives for the whole run: its listener answers other copies, and the
  // records they send are saved by the desktop window's tick like any other change.
  QObject::connect(&network, &T_Network::CalendarMerged, &desktop, qOverload<>(&QWidget::update));
  desktop.HoldSave = [this] { return network.Serving(); };

  AppWindows& windows = context.windows();
  windows.NewEvent = [this](TDateTime date) {
    noteForm().NewNote(date);
    Present(noteForm());
  };
  windows.NewEventTitled = [this](TDateTime date, const QString& title) {
    T_NoteForm& form = noteForm();
    form.NewNote(date);
    Present(form);
    form.Title->setText(title);
    form.Title->setCursorPosition(static_cast<int>(title.size()));
  };
  windows.ViewEvent = [this](int index) {
    noteForm().ViewNote(index);
    Present(noteForm());
  };
  windows.NewTask = [this] {
    taskForm().NewTask();
    taskForm().Open();
  };
  windows.ViewTask = [this](int index) {
    taskForm().ViewTask(index);
    taskForm().Open();
  };
  windows.ShowToDo = [this] { Present(toDo()); };
  windows.ShowMonth = [this] { month().Present(); };
  windows.ShowMonthFilled = [this](TDateTime date) {
    month().FillMonth(date);
    month().Present();
  };
  windows.ShowMonthDay = [this](TDateTime date) {
    month().ShowDay(date);
    month().Present();
  };
  windows.ShowPrint = [this](TDateTime date) { printView().ShowForDate(date); };
  windows.ShowNetwork = [this] { network.ShowNetwork(); };
  windows.ShowOptions = [this] { options().Open(); };
  windows.ShowThemeSelect = [this] { Present(themeSelect()); };
  windows.ShowHelp = [&shell, &context] { OpenHelp(shell, context.dialogs()); };
  windows.ShowAbout = [this] { about().exec(); };
  windows.CheckForUpdates = [this] { update().CheckForUpdate(false); };
  windows.RepaintDesktop = [this] { desktop.FormPaint(); };
  windows.DisplaySettingsChanged = [this] { desktop.DisplaySettingsChanged(); };
  // The windows not made yet are not shown either.
  windows.HideOtherWindows = [this] {
    for (QWidget* window :
         std::initializer_list<QWidget*>{month_.get(), toDo_.get(), options_.get(), taskForm_.get(), noteForm_.get()}) {
      if (window) window->hide();
    }
  };
  // The maker's pages, opened in the browser from the Help menus.
  windows.OpenContactPage = [&shell, &context] { shell.OpenUrl(ContactUrl(context.settings())); };
  windows.OpenWebsite = [&shell, &context] { shell.OpenUrl(WebSiteUrl(context.settings())); };

  // The calendar server: what is open in an editor keeps its unsaved work (the server's
  // changes to it wait), and what came down shows everywhere (a window made later shows
  // the calendar as it is then).
  serverSync.InUse = [this, &context](const QString& uid) {
    const DataFormat& calendar = context.calendar();
    const int note = noteForm_ && noteForm_->isVisible() ? noteForm_->EditIndex() : -1;
    const int task = taskForm_ && taskForm_->isVisible() ? taskForm_->EditIndex() : -1;
    return (note >= 0 && note < calendar.NoteCount() && calendar.NoteArray[note].Uid == uid) ||
           (task >= 0 && task < calendar.ToDoCount() && calendar.ToDoArray[task].Uid == uid);
  };
  QObject::connect(&serverSync, &ServerSync::CalendarChanged, &desktop, [this] {
    if (month_) month_->NeedsRefresh = true;
    if (toDo_) toDo_->NeedsRefresh = true;
  });
  desktop.SetServerSync(&serverSync);

  // The panel opens the weather pages through the shell.
  desktop.SetShell(&shell);
}
