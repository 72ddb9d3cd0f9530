#include "app/startup.h"

#include "app/appcontext.h"
#include "app/cli.h"
#include "core/paths.h"
#include "desktop/appicon.h"
#include "desktop/desktopwindow.h"
#include "desktop/webpages.h"
#include "editors/aboutbox.h"
#include "editors/mainform.h"
#include "editors/noteform.h"
#include "editors/options.h"
#include "editors/printview.h"
#include "editors/taskform.h"
#include "editors/themeselect.h"
#include "editors/todo.h"
#include "network/network.h"
#include "network/update.h"
#include "network/weather.h"
#include "platform/qtdialogs.h"
#include "platform/qtscreens.h"
#include "platform/qtshell.h"
#include "platform/singleinstance.h"
#include "platform/sound.h"
#include "platform/sqlitekeystore.h"
#include "platform/x11desktop.h"

#include <QApplication>
#include <QLineEdit>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SIGTERM, SIGINT and SIGHUP end the message loop like the Exit command, so the calendar is
// saved on the way out. The handler only writes a byte; the loop does the rest.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] auto written = ::write(signalPipe[0], &byte, 1);
}

void InstallQuitSignals(QObject* parent, bool& quitRequested) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, parent);
  QObject::connect(notifier, &QSocketNotifier::activated, parent, [&quitRequested] {
    char byte;
    [[maybe_unused]] auto got = ::read(signalPipe[1], &byte, 1);
    quitRequested = true;
    // exit() rather than quit(): it also ends a dialog shown before the message loop runs
    // (the first-run questions), and every dialog after it returns at once.
    QCoreApplication::exit(0);
  });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

bool HaveDisplay() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// The panel places itself on the desktop, which Wayland does not allow a client to do: run
// through XWayland unless the user chose a platform.
void ChoosePlatform() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
}

int RunPanel(int argc, char** argv) {
  if (!HaveDisplay()) {
    QTextStream(stderr) << "Orvane shows its panel on a graphical desktop, and none was found (DISPLAY is not "
                           "set).\nTry \"orvane render --out panel.png\" or \"orvane agenda\" instead.\n";
    return 1;
  }
  ChoosePlatform();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("orvane"));
  QApplication::setApplicationDisplayName(QStringLiteral("Orvane"));
  QApplication::setQuitOnLastWindowClosed(false);

  SingleInstance instance(QCoreApplication::applicationFilePath());
  switch (instance.Start()) {
    case SingleInstance::Outcome::OtherRunning: return 0;
    case SingleInstance::Outcome::Failed:
      QTextStream(stderr) << "orvane: " << instance.ErrorString() << Qt::endl;
      return 1;
    case SingleInstance::Outcome::First: break;
  }
  bool quitRequested = false;
  InstallQuitSignals(&app, quitRequested);

  auto dialogs = std::make_unique<QtDialogs>();
  QtDialogs* shownDialogs = dialogs.get();
  auto opened = SqliteKeyStore::Open(DatabasePath());
  if (!opened.store) {
    shownDialogs->MessageBox(QStringLiteral("Orvane cannot open its calendar at %1: %2").arg(DatabasePath(), opened.error),
                             QStringLiteral("Alert"), Dialogs::Buttons::Ok, Dialogs::Icon::Error);
    return 1;
  }
  if (!opened.movedAside.isEmpty()) {
    shownDialogs->MessageBox(
        QStringLiteral("The calendar file could not be read. It was kept as %1 and Orvane starts with an empty "
                       "calendar.")
            .arg(opened.movedAside),
        QStringLiteral("Alert"), Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
  }
  AppContext context(std::make_unique<SystemClock>(), std::move(dialogs), std::move(opened.store));

  // The settings come before any window: the first-run questions are asked here.
  context.LoadSettings(std::make_unique<QtScreens>(), TSettings::Mode::FirstRun);
  // Ended during the first-run questions: nothing was changed yet, and the questions the
  // signal cut short are asked again at the next start.
  if (quitRequested) return 0;
  PainterStartup(context);
  context.calendar().LoadCalendar(context.store());

  // The weather keeper reads its settings afresh at every refresh.
  T_Weather weather([&context] {
    const TSettings& stored = context.settings();
    WeatherSettings settings;
    settings.DisplayWeather = stored.GetBool(QStringLiteral("DisplayWeather"));
    settings.WeatherZip = stored.GetSetting(QStringLiteral("WeatherZip")).trimmed();
    settings.TempDeg = stored.GetInt(QStringLiteral("TempDeg"));
    settings.PressureType = stored.GetInt(QStringLiteral("PressureType"));
    settings.WeatherHost = stored.GetSetting(QStringLiteral("WeatherHost"));
    return settings;
  });
  context.SetWeather(&weather);

  // The desktop window carries the heartbeat: alarms, saving and the repaint.
  QtScreens desktopScreens;
  QtSound sound;
  T_DesktopWindow desktop(context, desktopScreens, sound);
  // The desktop window's update timer runs the silent check; a newer installer is started and
  // the program ends through the way out below, which saves the calendar.
  QtShell shell;
  T_Update update(context.dialogs(), shell,
                  [&context] { return context.settings().GetSetting(QStringLiteral("UpdateHost")); });
  update.ProductPage = [&context] { return WebSiteUrl(context.settings()); };
  desktop.RunUpdateCheck = [&update] { update.CheckForUpdate(true); };
  // The network window lives for the whole run: its listener answers other copies, and the
  // records they send are saved by the desktop window's tick like any other change.
  T_Network network(context);
  QObject::connect(&network, &T_Network::CalendarMerged, &desktop, qOverload<>(&QWidget::update));
  desktop.HoldSave = [&network] { return network.Serving(); };
  // The task editor and the to-do window are made once and stay hidden until asked for; a
  // change made in either repaints the panel at once.
  T_TaskForm taskForm(context);
  T_ToDo toDo(context, taskForm);
  QObject::connect(&taskForm, &T_TaskForm::Saved, &desktop, &T_DesktopWindow::FormPaint);
  QObject::connect(&toDo, &T_ToDo::Changed, &desktop, &T_DesktopWindow::FormPaint);
  QObject::connect(&weather, &T_Weather::WeatherChanged, &desktop, qOverload<>(&QWidget::update));
  // One event editor serves the panel and the month window.
  T_NoteForm noteForm(context);
  QObject::connect(&noteForm, &T_NoteForm::Saved, &desktop, &T_DesktopWindow::FormPaint);
  T_PrintView printView(context);
  // The month window, made once; it refills its days at its next activation after a save.
  T_Main month(context);
  QObject::connect(&noteForm, &T_NoteForm::Saved, &month, [&month] { month.NeedsRefresh = true; });
  // The theme chooser previews at the panel's size; it opens from the desktop menu, and by
  // itself at the first start, without blocking the panel.
  T_ThemeSelect themeSelect(context);
  themeSelect.PanelSize = [&desktop] { return desktop.size(); };
  themeSelect.PanelBackdrop = [&desktop](QSize size) { return X11RootWallpaper(QRect(desktop.pos(), size)); };
  // The options dialog, made once. Its sound preview has a player of its own, so closing the
  // dialog never cuts an alarm short.
  QtSound previewSound;
  T_Options options(context, previewSound);
  options.SetThemeSelect(&themeSelect);

  AppWindows& windows = context.windows();
  windows.NewEvent = [&noteForm](TDateTime date) {
    noteForm.NewNote(date);
    noteForm.show();
    noteForm.raise();
    noteForm.activateWindow();
  };
  windows.ViewEvent = [&noteForm](int index) {
    noteForm.ViewNote(index);
    noteForm.show();
    noteForm.raise();
    noteForm.activateWindow();
  };
  windows.NewTask = [&taskForm] {
    taskForm.NewTask();
    taskForm.Open();
  };
  windows.ViewTask = [&taskForm](int index) {
    taskForm.ViewTask(index);
    taskForm.Open();
  };
  windows.ShowToDo = [&toDo] {
    toDo.show();
    toDo.raise();
    toDo.activateWindow();
  };
  windows.ShowPrint = [&printView](TDateTime date) { printView.ShowForDate(date); };
  windows.ShowThemeSelect = [&themeSelect] {
    themeSelect.show();
    themeSelect.raise();
    themeSelect.activateWindow();
  };
  windows.ShowNetwork = [&network] { network.ShowNetwork(); };
  windows.CheckForUpdates = [&update] { update.CheckForUpdate(false); };
  windows.RepaintDesktop = [&desktop] { desktop.FormPaint(); };
  // The panel's menu opens web pages and the user guide through the shell; its icon sits in
  // the notification area, which brings a hidden panel back.
  desktop.SetShell(&shell);
  T_About about;
  windows.ShowHelp = [&shell, &context] { OpenHelp(shell, context.dialogs()); };
  windows.ShowAbout = [&about] { about.exec(); };
  windows.DisplaySettingsChanged = [&desktop] { desktop.DisplaySettingsChanged(); };
  QApplication::setWindowIcon(ApplicationIcon());
  desktop.ShowTrayIcon();
  desktop.HideOtherWindows = [&] {
    for (QWidget* window : std::initializer_list<QWidget*>{&month, &toDo, &options, &taskForm, &noteForm}) {
      window->hide();
    }
  };
  windows.NewEventTitled = [&noteForm](TDateTime date, const QString& title) {
    noteForm.NewNote(date);
    noteForm.show();
    noteForm.raise();
    noteForm.activateWindow();
    noteForm.Title->setText(title);
    noteForm.Title->setCursorPosition(static_cast<int>(title.size()));
  };
  windows.ShowMonth = [&month] { month.Present(); };
  windows.ShowMonthFilled = [&month](TDateTime date) {
    month.FillMonth(date);
    month.Present();
  };
  windows.ShowMonthDay = [&month](TDateTime date) {
    month.ShowDay(date);
    month.Present();
  };
  toDo.ShowCalendar = windows.ShowMonth;
  month.OpenContactPage = [&shell, &context] { shell.OpenUrl(ContactUrl(context.settings())); };
  month.OpenWebsite = [&shell, &context] { shell.OpenUrl(WebSiteUrl(context.settings())); };
  windows.ShowOptions = [&options] { options.Open(); };
  toDo.ShowOptions = windows.ShowOptions;
  const bool firstTheme = context.settings().GetSetting(QStringLiteral("Title")).isEmpty();
  desktop.show();
  if (firstTheme) {
    context.settings().SetSetting(QStringLiteral("Title"), QStringLiteral("Default"));
    windows.ShowThemeSelect();
  }
  QObject::connect(&instance, &SingleInstance::RaiseRequested, &desktop, [&desktop] { desktop.BringBack(); });

  // The end of the desktop session: write what is unsaved before the session ends us.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, [&context, &desktop](QSessionManager&) {
    context.SaveCalendar();
    desktop.SaveQuickNotes();
    context.settings().SaveSettings();
  });

  const int code = app.exec();

  PainterShutdown(context);
  context.SaveCalendar();
  context.calendar().ClearCalendar();
  context.settings().SaveSettings();
  return code;
}

}  // namespace

int OrvaneMain(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const CliCommand* command = FindCommand(arguments);
  if (!command) return RunPanel(argc, argv);

  if (command->needs == CliCommand::Needs::Gui) {
    if (!HaveDisplay()) qputenv("QT_QPA_PLATFORM", "offscreen");
    ChoosePlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvane"));
    return RunCommand(*command, arguments);
  }
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("orvane"));
  return RunCommand(*command, arguments);
}
