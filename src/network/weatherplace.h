#pragma once

#include "network/openmeteoparser.h"

class Dialogs;
class OpenMeteoClient;
class TSettings;

// The places for a text the user typed: a US zip code is searched for in the United States
// only (elsewhere five digits are a postal code of many countries).
PlaceSearch FindWeatherPlaces(OpenMeteoClient& client, const QString& base, const QString& text);

// After the first-run question took a place: looks it up and shows what was found for the
// user to confirm ("Boston, Massachusetts, United States"), keeping the one chosen as
// WeatherLatitude, WeatherLongitude and WeatherPlace. Nothing found asks again; cancelling
// the question again turns the weather off. When the service cannot be reached the text
// stays as typed and the weather looks it up when it next refreshes.
void ConfirmWeatherPlace(TSettings& settings, Dialogs& dialogs, OpenMeteoClient& client);
