#include "network/weatherplace.h"

#include "network/openmeteo.h"
#include "network/weather.h"
#include "platform/dialogs.h"
#include "settings/settings.h"

#include <QRegularExpression>

PlaceSearch FindWeatherPlaces(OpenMeteoClient& client, const QString& base, const QString& text) {
  static const QRegularExpression usZip(QStringLiteral(R"(^\d{5}(-\d{4})?$)"));
  return client.FindPlaces(base, text, usZip.match(text).hasMatch() ? QStringLiteral("US") : QString());
}

void ConfirmWeatherPlace(TSettings& settings, Dialogs& dialogs, OpenMeteoClient& client) {
  const WeatherSettings weather = ReadWeatherSettings(settings);
  const QString base =
      weather.GeocodeUrl.isEmpty() ? QString::fromLatin1(DefaultOpenMeteoGeocodeUrl) : weather.GeocodeUrl;
  QString text = weather.WeatherZip;
  const QString caption = QStringLiteral("Weather");
  while (!text.isEmpty()) {
    const PlaceSearch search = FindWeatherPlaces(client, base, text);
    if (!search.error.isEmpty()) {
      dialogs.MessageBox(QStringLiteral("The place cannot be looked up now: %1.  Orvane will look for \"%2\" when "
                                        "it next updates the weather; you can choose the place in the Options "
                                        "window.")
                             .arg(search.error, text),
                         caption, Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
      return;
    }
    if (search.places.isEmpty()) {
      dialogs.MessageBox(QStringLiteral("No place matches \"%1\".").arg(text), caption, Dialogs::Buttons::Ok,
                         Dialogs::Icon::Warning);
    } else {
      QStringList names;
      for (const WeatherPlace& place : search.places) names << place.name;
      if (const std::optional<int> chosen =
              dialogs.ChooseItem(QStringLiteral("Weather Place"), QStringLiteral("Show the weather for:"), names);
          chosen && *chosen >= 0 && *chosen < search.places.size()) {
        const WeatherPlace& place = search.places.at(*chosen);
        settings.SetSetting(QStringLiteral("WeatherLatitude"), QString::number(place.latitude, 'f', 4));
        settings.SetSetting(QStringLiteral("WeatherLongitude"), QString::number(place.longitude, 'f', 4));
        settings.SetSetting(QStringLiteral("WeatherPlace"), place.name);
        return;
      }
    }
    const TSettings::WeatherQuestion question = TSettings::PlaceQuestion();
    text = dialogs.InputQuery(question.caption, question.prompt, text).value_or(QString()).trimmed();
    settings.SetSetting(QStringLiteral("WeatherZip"), text);
  }
  settings.SetSetting(QStringLiteral("DisplayWeather"), QStringLiteral("0"));
}
