#include "persist/userfolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

const QString kUserFolderName = QStringLiteral("vantrel");

// /usr holds installed, unchanging files. Root may write there, but a list
// saved into /usr/bin would be a stray file the package manager knows nothing of.
bool isUnderUsr(const QString& canonicalFolder) {
  return canonicalFolder == QLatin1String("/usr") ||
         canonicalFolder.startsWith(QLatin1String("/usr/"));
}

bool mayWriteInto(const QString& folder) {
  const QString canonical = QFileInfo(folder).canonicalFilePath();
  if (canonical.isEmpty() || isUnderUsr(canonical)) return false;
  // access() also says no on a read-only mount, where the bits alone would say yes.
  return ::access(QFile::encodeName(canonical).constData(), W_OK | X_OK) == 0;
}

QString configHome() {
  const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
  // A relative value is invalid and must be ignored.
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return QDir::cleanPath(xdg);
  return QDir::homePath() + QStringLiteral("/.config");
}

}  // namespace

QString userDataFolder(const QString& programFolder) {
  if (mayWriteInto(programFolder)) return programFolder;
  return configHome() + u'/' + kUserFolderName;
}

bool makeFolderOf(const QString& filePath) {
  return QDir().mkpath(QFileInfo(filePath).absolutePath());
}
