#include "settings/webpages.h"

#include "core/paths.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QFileInfo>

QUrl SiteAddress(const QString& setting, const char* fallback) {
  QString text = setting.trimmed();
  if (text.isEmpty()) text = QString::fromLatin1(fallback);
  if (!text.contains(QStringLiteral("://"))) text = QStringLiteral("https://") + text;
  QUrl url(text, QUrl::StrictMode);
  if (!url.isValid() || url.host().isEmpty()) url = QUrl(QString::fromLatin1(fallback));
  // The page paths are added to the site's root.
  url.setPath(QString());
  url.setQuery(QString());
  url.setFragment(QString());
  return url;
}

QUrl WeatherPageUrl(const TSettings& settings, const QString& zip) {
  QUrl url = SiteAddress(settings.GetSetting(QStringLiteral("NwsHost")), DefaultNwsHost);
  url.setPath(QStringLiteral("/total_forecast/citysearch.php"));
  // The zip code is the user's text: every character that is not plainly safe is escaped.
  url.setQuery(QStringLiteral("search=") + QString::fromLatin1(QUrl::toPercentEncoding(zip.trimmed())));
  return url;
}

QUrl WebSiteUrl(const TSettings& settings) {
  QUrl url = SiteAddress(settings.GetSetting(QStringLiteral("WebSite")), DefaultWebSite);
  url.setPath(QStringLiteral("/"));
  return url;
}

QUrl ContactUrl(const TSettings& settings) {
  QUrl url = SiteAddress(settings.GetSetting(QStringLiteral("WebSite")), DefaultWebSite);
  url.setPath(QStringLiteral("/contact.php"));
  return url;
}

QString HelpIndexPath() {
  const QString path = DataDir() + QStringLiteral("help/index.html");
  return QFileInfo::exists(path) ? path : QString();
}

bool OpenHelp(Shell& shell, Dialogs& dialogs) {
  const QString path = HelpIndexPath();
  if (path.isEmpty()) {
    dialogs.Alert(QCoreApplication::translate("T_DesktopWindow", "The user guide was not found in %1.")
                      .arg(DataDir() + QStringLiteral("help")));
    return false;
  }
  if (!shell.OpenUrl(QUrl::fromLocalFile(path))) {
    dialogs.Alert(QCoreApplication::translate("T_DesktopWindow", "No program could open the user guide %1.").arg(path));
    return false;
  }
  return true;
}
