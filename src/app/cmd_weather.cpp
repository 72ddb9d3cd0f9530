// orvane weather: fetch the two weather pages once and print the forecast texts.
#include "app/commands.h"
#include "network/weather.h"
#include "platform/networkpresence.h"
#include "session/appcontext.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

int RunWeather(CliArgs& args) {
  const CliCommand command = WeatherCommand();
  if (const QString unknown = args.UnknownOption(); !unknown.isEmpty()) {
    return UsageError(command, QStringLiteral("unknown option %1").arg(unknown));
  }
  if (!args.Positional().isEmpty()) {
    return UsageError(command, QStringLiteral("unexpected argument \"%1\"").arg(args.Positional().first()));
  }
  QString error;
  std::unique_ptr<AppContext> context = OpenCliContext(false, error);
  if (!context) {
    QTextStream(stderr) << "orvane weather: " << error << Qt::endl;
    return 1;
  }
  const TSettings& stored = context->settings();
  WeatherSettings settings;
  settings.WeatherZip = stored.GetSetting(QStringLiteral("WeatherZip")).trimmed();
  settings.TempDeg = stored.GetInt(QStringLiteral("TempDeg"));
  settings.PressureType = stored.GetInt(QStringLiteral("PressureType"));
  settings.WeatherHost = stored.GetSetting(QStringLiteral("WeatherHost"));
  if (settings.WeatherZip.isEmpty()) {
    QTextStream(stderr) << "orvane weather: no zip code is set for the weather; enter one in the Options window"
                        << Qt::endl;
    return 1;
  }

  // One refresh, now: each page waits no longer than the client's time-out for data, and
  // no page, however steadily it trickles, takes longer than the client's deadline.
  SystemNetworkPresence presence;
  T_Weather weather([settings] { return settings; }, presence);
  weather.UpdateWeather->stop();
  weather.RefreshNow();
  const TWeatherReport& report = weather.Report();
  QTextStream out(stdout);
  if (!report.CurrentValid) {
    out << QCoreApplication::translate("Weather", "Weather Offline") << Qt::endl;
    return 1;
  }
  const TDateTime today = context->clock().Today();
  for (int d = 0; d <= 9; ++d) {
    const std::optional<QString> text = ForecastText(report, today + d, today);
    if (!text) continue;
    if (d > 0) out << "\n";
    out << QString(*text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) << "\n";
  }
  out.flush();
  return 0;
}
