#pragma once

// The pages the program opens in the user's browser: the weather service's city search for
// the user's zip code, the product web site and its contact page, and the user guide that
// ships with the program. Hosts are settings, so a deployment (or a test) can point them
// elsewhere.

#include <QString>
#include <QUrl>

class Dialogs;
class Shell;
class TSettings;

// The weather service used when the setting NwsHost is empty.
inline constexpr const char* DefaultNwsHost = "https://www.weather.gov";
// The product web site used when the setting WebSite is empty.
inline constexpr const char* DefaultWebSite = "https://orvane.org";

// A host setting ("host", "host:port" or a whole "scheme://host" address) as an address;
// the default when it is empty. Plain hosts are reached over https.
QUrl SiteAddress(const QString& setting, const char* fallback);

// The city search page for a zip code: path /total_forecast/citysearch.php, query search=zip.
QUrl WeatherPageUrl(const TSettings& settings, const QString& zip);
QUrl WebSiteUrl(const TSettings& settings);
QUrl ContactUrl(const TSettings& settings);

// The user guide's first page (help/index.html in the shipped data), or an empty path when
// it is not there.
QString HelpIndexPath();

// Opens the user guide in the browser; says so when it is missing or nothing opened it.
bool OpenHelp(Shell& shell, Dialogs& dialogs);
