// orvane weather [--place TEXT]: fetch the weather once from the configured provider (or from
// Open-Meteo for the place given) and print the forecast texts.
#include "app/commands.h"
#include "network/weather.h"
#include "platform/networkpresence.h"
#include "session/appcontext.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

int RunWeather(CliArgs& args) {
  const CliCommand command = WeatherCommand();
  QString optionError;
  const std::optional<QString> placeText = args.TakeOption(QStringLiteral("--place"), optionError);
  if (!optionError.isEmpty()) return UsageError(command, optionError);
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
  WeatherSettings settings = ReadWeatherSettings(context->settings());
  QTextStream err(stderr);
  SystemNetworkPresence presence;
  T_Weather weather([&settings] { return settings; }, presence);
  weather.UpdateWeather->stop();

  // A place given here is searched for once and asked for once; nothing is saved.
  if (placeText) {
    const PlaceSearch search = weather.OpenMeteo->FindPlaces(
        settings.GeocodeUrl.isEmpty() ? QString::fromLatin1(DefaultOpenMeteoGeocodeUrl) : settings.GeocodeUrl,
        *placeText);
    if (!search.error.isEmpty() || search.places.isEmpty()) {
      err << "orvane weather: "
          << (search.error.isEmpty() ? QStringLiteral("no place matches \"%1\"").arg(placeText->trimmed())
                                     : search.error)
          << Qt::endl;
      return 1;
    }
    const WeatherPlace& place = search.places.first();
    settings.WeatherProvider = QString::fromLatin1(WeatherSettings::OpenMeteoProvider);
    settings.Latitude = QString::number(place.latitude, 'f', 6);
    settings.Longitude = QString::number(place.longitude, 'f', 6);
    settings.PlaceName = place.name;
  }
  if (settings.UsesOpenMeteo() && settings.WeatherZip.isEmpty() &&
      (settings.Latitude.isEmpty() || settings.Longitude.isEmpty())) {
    err << "orvane weather: no place is set for the weather; choose one in the Options window or give --place"
        << Qt::endl;
    return 1;
  }
  if (!settings.UsesOpenMeteo() && settings.WeatherZip.isEmpty()) {
    QTextStream(stderr) << "orvane weather: no zip code is set for the weather; enter one in the Options window"
                        << Qt::endl;
    return 1;
  }

  // One refresh, now: each page waits no longer than the client's time-out for data, and
  // no page, however steadily it trickles, takes longer than the client's deadline.
  weather.RefreshNow();
  const TWeatherReport& report = weather.Report();
  QTextStream out(stdout);
  if (!report.CurrentValid) {
    out << QCoreApplication::translate("Weather", "Weather Offline") << Qt::endl;
    if (settings.UsesOpenMeteo() && !weather.LastError().isEmpty()) {
      err << "orvane weather: " << weather.LastError() << Qt::endl;
    }
    return 1;
  }
  // Open-Meteo's report starts with the place it is for.
  if (settings.UsesOpenMeteo() && weather.Place()) {
    const WeatherPlace& place = *weather.Place();
    out << (place.name.isEmpty() ? QString::number(place.latitude, 'f', 4) + QStringLiteral(", ") +
                                       QString::number(place.longitude, 'f', 4)
                                 : place.name)
        << "\n\n";
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
