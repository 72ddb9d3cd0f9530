// orvane listen: a passive LAN peer on the user's calendar until stopped.
// orvane lan-sync ADDRESS --password-file FILE: one exchange of the active side.
#include "app/commands.h"
#include "app/quitsignals.h"
#include "network/lanpeer.h"
#include "session/appcontext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QTimer>
#include <csignal>

namespace {

// How often the listener looks for merged records to save, and how long a running exchange
// may put the save off.
constexpr int SaveCheckMs = 1000;
constexpr qint64 HoldCapMs = 5000;

}  // namespace

int RunListen(CliArgs& args) {
  const CliCommand command = ListenCommand();
  if (const QString unknown = args.UnknownOption(); !unknown.isEmpty()) {
    return UsageError(command, QStringLiteral("unknown option %1").arg(unknown));
  }
  if (!args.Positional().isEmpty()) {
    return UsageError(command, QStringLiteral("unexpected argument \"%1\"").arg(args.Positional().first()));
  }
  QTextStream err(stderr);
  QString error;
  std::unique_ptr<AppContext> context = OpenCliContext(true, error);
  if (!context) {
    err << "orvane listen: " << error << Qt::endl;
    return 1;
  }
  // The stop signals are watched before the port opens: a signal sent as soon as the port
  // answers still stops the listener cleanly.
  QObject stopper;
  if (!ExitOnSignals(&stopper, {SIGTERM, SIGINT})) {
    err << "orvane listen: cannot watch for the stop signals" << Qt::endl;
    return 1;
  }
  LanPeer network(*context);
  if (!network.Listening()) {
    err << "orvane listen: cannot listen on port " << Lan::Port << ": " << network.ListenError() << Qt::endl;
    return 1;
  }
  if (!context->settings().GetBool(QStringLiteral("EnableSync"))) {
    err << "orvane listen: network synchronization is turned off (EnableSync); no request will be answered" << Qt::endl;
  }
  // Merged records are written soon after they arrive. A write of a large calendar takes a
  // while, so it waits while a peer is mid-exchange (the peer could give up waiting for an
  // answer) — but never longer than HoldCapMs, so a peer that keeps talking cannot keep
  // merged records unsaved.
  QTimer saver;
  QElapsedTimer held;
  QObject::connect(&saver, &QTimer::timeout, [&context, &network, &held] {
    if (!context->calendar().DataChanged) return;
    if (network.Serving()) {
      if (!held.isValid()) held.start();
      if (held.elapsed() < HoldCapMs) return;
    }
    held.invalidate();
    context->SaveCalendar();
  });
  saver.start(SaveCheckMs);
  QObject::connect(&network, &LanPeer::OlderPeerRefused, [&err](const QString& address) {
    err << "orvane listen: refused " << address
        << ": it runs an older Orvane that sends its password unprotected (allow it with AllowOlderPeers)" << Qt::endl;
  });
  // The listener is there to answer: its key is ready before the first peer asks.
  if (!context->settings().GetSetting(QStringLiteral("SyncPass")).isEmpty()) network.PrepareKey();
  err << "orvane listen: answering on UDP port " << Lan::Port << "; stop with Ctrl+C" << Qt::endl;
  QCoreApplication::exec();
  saver.stop();
  return context->SaveCalendar() ? 0 : 1;
}

int RunLanSync(CliArgs& args) {
  const CliCommand command = LanSyncCommand();
  QString error;
  const std::optional<QString> passwordFile = args.TakeOption(QStringLiteral("--password-file"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  if (const QString unknown = args.UnknownOption(); !unknown.isEmpty()) {
    return UsageError(command, QStringLiteral("unknown option %1").arg(unknown));
  }
  const QStringList positional = args.Positional();
  if (positional.size() != 1) return UsageError(command, QStringLiteral("give one address to synchronize with"));
  if (!passwordFile) return UsageError(command, QStringLiteral("--password-file is required"));

  QTextStream err(stderr);
  QFile file(*passwordFile);
  if (!file.open(QIODevice::ReadOnly)) {
    err << "orvane lan-sync: cannot read " << *passwordFile << ": " << file.errorString() << Qt::endl;
    return 1;
  }
  // The first line, without its line end.
  QString password = QString::fromUtf8(file.readLine(4096));
  while (password.endsWith(QLatin1Char('\n')) || password.endsWith(QLatin1Char('\r'))) password.chop(1);

  std::unique_ptr<AppContext> context = OpenCliContext(true, error);
  if (!context) {
    err << "orvane lan-sync: " << error << Qt::endl;
    return 1;
  }
  LanPeer network(*context);
  if (!network.Listening()) {
    err << "orvane lan-sync: cannot listen on port " << Lan::Port << " for the answers: " << network.ListenError()
        << Qt::endl;
    return 1;
  }
  const LanPeer::SyncResult result = network.SyncWithPassword(positional.first(), password);
  QTextStream(stdout) << result.message << Qt::endl;
  const bool saved = context->SaveCalendar();
  return result.complete && saved ? 0 : 1;
}
