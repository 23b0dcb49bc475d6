#include "i18n/languagefolder.h"

#include "i18n/modlanguage.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool hasLanguages(const QString& folder) {
  return QFileInfo(folder + u'/' + kLanguagesFolderName).isDir();
}

}  // namespace

QString languageBaseFolder(const QString& programFolder) {
  if (hasLanguages(programFolder)) return programFolder;
  const QString besideInstall =
      QDir::cleanPath(programFolder + QStringLiteral("/../share/vantrel"));
  if (hasLanguages(besideInstall)) return besideInstall;
  return QString::fromLatin1(kInstalledDataFolder);
}
