// orvane render: the desktop panel as it would look, painted without a display.
#include "app/commands.h"
#include "desktop/desktopwindow.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "session/appcontext.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QTextStream>

namespace {

// The largest backdrop picture read, in pixels: far beyond any screen, well below what would
// exhaust memory.
constexpr qint64 MaxBackdropPixels = qint64(16384) * 16384;
constexpr int MaxScale = 4;

}  // namespace

int RunRender(CliArgs& args) {
  const CliCommand command = RenderCommand();
  QString error;
  const std::optional<QString> out = args.TakeOption(QStringLiteral("--out"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  const std::optional<QString> nowText = args.TakeOption(QStringLiteral("--now"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  const std::optional<QString> backdropPath = args.TakeOption(QStringLiteral("--backdrop"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  const std::optional<QString> scaleText = args.TakeOption(QStringLiteral("--scale"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  if (const QString unknown = args.UnknownOption(); !unknown.isEmpty()) {
    return UsageError(command, QStringLiteral("unknown option %1").arg(unknown));
  }
  if (!args.Positional().isEmpty()) {
    return UsageError(command, QStringLiteral("unexpected argument \"%1\"").arg(args.Positional().first()));
  }
  if (!out || out->isEmpty()) return UsageError(command, QStringLiteral("--out FILE.png is required"));
  // The picture as a screen scaled to N00% shows the panel: N times the pixels each way.
  int scale = 1;
  if (scaleText) {
    bool ok = false;
    scale = scaleText->toInt(&ok);
    if (!ok || scale < 1 || scale > MaxScale) {
      return UsageError(
          command,
          QStringLiteral("--scale wants a whole number from 1 to %1, not \"%2\"").arg(MaxScale).arg(*scaleText));
    }
  }

  std::unique_ptr<Clock> clock;
  if (nowText) {
    const QDateTime moment = QDateTime::fromString(*nowText, QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!moment.isValid() || moment.date().year() < 1900) {
      return UsageError(command,
                        QStringLiteral("--now wants a moment as \"YYYY-MM-DD HH:MM\", not \"%1\"").arg(*nowText));
    }
    const QDate d = moment.date();
    const QTime t = moment.time();
    clock = std::make_unique<FixedClock>(EncodeDate(d.year(), d.month(), d.day()) + EncodeTime(t.hour(), t.minute()));
  }

  QImage backdrop;
  if (backdropPath) {
    QImageReader reader(*backdropPath);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > MaxBackdropPixels) {
      QTextStream(stderr) << "orvane render: the picture " << *backdropPath << " is too large" << Qt::endl;
      return 1;
    }
    if (!reader.read(&backdrop)) {
      QTextStream(stderr) << "orvane render: cannot read the picture " << *backdropPath << ": " << reader.errorString()
                          << Qt::endl;
      return 1;
    }
  }

  std::unique_ptr<AppContext> context = OpenCliContext(false, error, std::move(clock));
  if (!context) {
    QTextStream(stderr) << "orvane render: " << error << Qt::endl;
    return 1;
  }
  PainterStartup(*context);
  FixedScreens screens;
  SilentSound sound;
  T_DesktopWindow window(*context, screens, sound);
  // A picture only: the quick-notes file stays as the panel keeps it.
  window.KeepsQuickNotesFile = false;
  const QImage picture = window.RenderOver(backdrop, scale);
  PainterShutdown(*context);
  if (!picture.save(*out, "PNG")) {
    QTextStream(stderr) << "orvane render: cannot write " << *out << Qt::endl;
    return 1;
  }
  QTextStream(stdout) << "The panel (" << picture.width() << " x " << picture.height() << " pixels) is in "
                      << QFileInfo(*out).absoluteFilePath() << Qt::endl;
  return 0;
}
