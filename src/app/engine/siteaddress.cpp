#include "app/engine/siteaddress.h"

#include "persist/modini.h"

#ifndef VANTREL_DEFAULT_SITE_URL
#define VANTREL_DEFAULT_SITE_URL "http://127.0.0.1:8380"
#endif

QString compiledSiteAddress() { return QStringLiteral(VANTREL_DEFAULT_SITE_URL); }

QString siteAddress(const QString& settingsFile) {
  QString site =
      ReadIniValue(QStringLiteral("main"), QStringLiteral("site"), settingsFile).trimmed();
  if (site.isEmpty()) site = compiledSiteAddress();
  while (site.endsWith(QLatin1Char('/'))) site.chop(1);
  return site;
}

QString siteAddress6(const QString& settingsFile) {
  QString site =
      ReadIniValue(QStringLiteral("main"), QStringLiteral("site6"), settingsFile).trimmed();
  while (site.endsWith(QLatin1Char('/'))) site.chop(1);
  return site;
}
