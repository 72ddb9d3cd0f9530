// Fuzz target: the Open-Meteo forecast and place search readers, fed untrusted answers.
#include "network/openmeteoparser.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the units, the rest is the answer.
  const int tempDeg = data[0] % 5;
  const int pressureType = (data[0] / 5) % 4;
  const QByteArray json(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

  TWeatherReport report;
  report.Temperature = QStringLiteral("held");
  const QString error = ReadOpenMeteoForecast(json, tempDeg, pressureType, report);
  if (error.isEmpty() != (report.CurrentValid && report.ForecastValid)) std::abort();
  if (!error.isEmpty() && report.Temperature != QStringLiteral("held")) std::abort();
  if (error.isEmpty() && (report.Temperature.isEmpty() || report.TempUnit.isEmpty())) std::abort();

  const PlaceSearch search = ReadOpenMeteoPlaces(json);
  if (!search.error.isEmpty() && !search.places.isEmpty()) std::abort();
  for (const WeatherPlace& place : search.places) {
    if (place.name.isEmpty() || !(place.latitude >= -90 && place.latitude <= 90) ||
        !(place.longitude >= -180 && place.longitude <= 180))
      std::abort();
  }
  ParseLatLon(QString::fromUtf8(json));
  return 0;
}
