#include "app/startup.h"

#include "app/cli.h"
#include "app/commands.h"
#include "app/launch.h"
#include "app/panelwindows.h"
#include "app/quitsignals.h"
#include "core/paths.h"
#include "desktop/alarmpresenter.h"
#include "desktop/appicon.h"
#include "network/openmeteo.h"
#include "network/weatherplace.h"
#include "platform/autostart.h"
#include "platform/datafolder.h"
#include "platform/dbusnotifications.h"
#include "platform/networkpresence.h"
#include "platform/qtdialogs.h"
#include "platform/qtscreens.h"
#include "platform/qtshell.h"
#include "platform/singleinstance.h"
#include "platform/sound.h"
#include "platform/sqlitekeystore.h"
#include "session/appcontext.h"

#include <sys/resource.h>
#include <unistd.h>
#include <QApplication>
#include <QFile>
#include <QSessionManager>
#include <QTextStream>
#include <QTimer>
#include <csignal>
#include <ctime>

namespace {

// Milliseconds since the process started (to the clock tick: the kernel counts the start in
// ticks since boot); -1 when the system does not tell.
qint64 MsSinceProcessStart() {
  QFile file(QStringLiteral("/proc/self/stat"));
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QByteArray stat = file.readAll();
  // The fields after the program's name, which is in parentheses and may hold spaces; the
  // start time is the 22nd field of the line.
  const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
  bool ok = false;
  const qint64 ticks = fields.size() > 19 ? fields[19].toLongLong(&ok) : 0;
  timespec now{};
  const long perSecond = sysconf(_SC_CLK_TCK);
  if (!ok || perSecond <= 0 || clock_gettime(CLOCK_BOOTTIME, &now) != 0) return -1;
  return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000 - ticks * 1000 / perSecond;
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

  // SIGTERM, SIGINT and SIGHUP end the message loop like the Exit command, so the calendar
  // is saved on the way out. The loop is ended with exit() rather than quit(): that also ends
  // a dialog shown before the loop runs (the first-run questions), and every dialog after it
  // returns at once. The handlers are in place before this copy listens for a second start,
  // so a signal sent as soon as the copy can be found still ends it cleanly; one that comes
  // before the loop waits in the pair until the loop reads it.
  bool quitRequested = false;
  ExitOnSignals(&app, {SIGTERM, SIGINT, SIGHUP}, [&quitRequested] { quitRequested = true; });

  // The lock and the store live in the data folder. A folder that cannot be made ready is
  // reported by the lock or the store, in their words.
  QString unready;
  UserDataFolder().Prepare(unready);
  SingleInstance instance(DatabasePath());
  switch (instance.Start()) {
    case SingleInstance::Outcome::OtherRunning:
      return 0;
    case SingleInstance::Outcome::Failed:
      QTextStream(stderr) << "orvane: " << instance.ErrorString() << Qt::endl;
      return 1;
    case SingleInstance::Outcome::First:
      break;
  }
  auto dialogs = std::make_unique<QtDialogs>();
  QtDialogs* shownDialogs = dialogs.get();
  auto opened = SqliteKeyStore::Open(DatabasePath());
  if (!opened.store) {
    shownDialogs->MessageBox(
        QStringLiteral("Orvane cannot open its calendar at %1: %2").arg(DatabasePath(), opened.error),
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
  // A place typed at the first-run question is looked up and confirmed before the panel starts.
  if (context.settings().WeatherPlaceAsked()) {
    OpenMeteoClient places;
    ConfirmWeatherPlace(context.settings(), context.dialogs(), places);
    context.settings().SaveSettings();
    if (quitRequested) return 0;
  }
  // The entry follows the setting the first start filled in, and the executable's place.
  XdgAutostart autostart;
  context.SetAutostart(&autostart);
  autostart.Set(context.settings().RunsAtStartup());
  PainterStartup(context);
  context.calendar().LoadCalendar(context.store());
  context.reminders().Load(context.store());

  QtScreens screens;
  QtSound alarmSound;
  QtSound previewSound;
  QtShell shell;
  SystemNetworkPresence presence;
  PanelWindows panel(context, PanelServices{screens, alarmSound, previewSound, shell, presence});
  T_DesktopWindow& desktop = panel.desktop;
  DBusNotifications notifications;
  desktop.Alarms().SetNotifications(&notifications);
  QApplication::setWindowIcon(ApplicationIcon());
  // The panel's icon sits in the notification area, which brings a hidden panel back.
  desktop.ShowTrayIcon();
  // Once the first picture is on the screen: with ORVANE_PAINT_TIME set, how long the start
  // took, and the processor time it used, go to standard error (the start-up bench reads
  // them; on a busy machine the processor time is the steadier figure).
  desktop.FirstPainted = [] {
    QTimer::singleShot(0, [] {
      if (!qEnvironmentVariableIsSet("ORVANE_PAINT_TIME")) return;
      rusage used{};
      getrusage(RUSAGE_SELF, &used);
      const qint64 cpuMs = (qint64(used.ru_utime.tv_sec) + used.ru_stime.tv_sec) * 1000 +
                           (used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1000;
      QTextStream(stderr) << "orvane: first paint " << MsSinceProcessStart() << " ms after start, " << cpuMs
                          << " ms of processor time" << Qt::endl;
    });
  };
  const bool firstTheme = context.settings().GetSetting(QStringLiteral("Title")).isEmpty();
  desktop.show();
  if (firstTheme) {
    context.settings().SetSetting(QStringLiteral("Title"), QStringLiteral("Default"));
    context.windows().ShowThemeSelect();
  }
  QObject::connect(&instance, &SingleInstance::RaiseRequested, &desktop, [&desktop] { desktop.BringBack(); });
  // The calendar server (where one is set) is synchronised at once, then in the background.
  panel.serverSync.Start();

  // The end of the desktop session: write what is unsaved before the session ends us.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, [&context, &desktop](QSessionManager&) {
    context.reminders().KeepCheckTime();
    context.SaveCalendar();
    desktop.SaveQuickNotes();
    context.settings().SaveSettings();
  });

  const int code = app.exec();

  PainterShutdown(context);
  context.reminders().KeepCheckTime();
  context.SaveCalendar();
  context.calendar().ClearCalendar();
  context.settings().SaveSettings();
  return code;
}

}  // namespace

int RunWindowProgram(int argc, char** argv) {
  const QStringList arguments = CommandLineArguments(argc, argv);
  const CliCommand* found = FindCommand(arguments);
  if (!found) return RunPanel(argc, argv);
  CliCommand command = *found;
  if (command.name == QStringLiteral("render")) command.run = RunRender;
  if (command.name == QStringLiteral("print")) command.run = RunPrint;
  if (!HaveDisplay()) qputenv("QT_QPA_PLATFORM", "offscreen");
  ChoosePlatform();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("orvane"));
  if (!AsksForUsage(arguments)) ReserveHeapForTheCalendar();
  return RunCommand(command, arguments);
}
