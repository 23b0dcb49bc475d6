#include "filefaults.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool setImmutable(const QString& path, bool on) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

// Whether a new file can still be made in `folder` (root ignores permission bits).
bool folderTakesFiles(const QString& folder) {
  const QByteArray probe = QFile::encodeName(folder + QStringLiteral("/.probe"));
  const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.constData());
  return true;
}

}  // namespace

RefusedPath::RefusedPath(const QString& path, Kind kind) : m_path(path) {
  if (setImmutable(path, true)) {
    m_immutable = true;
    return;
  }
  if (kind != Kind::Folder) return;
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0) return;
  m_oldMode = info.st_mode & 07777;
  ::chmod(QFile::encodeName(path).constData(), 0555);
  m_permissions = !folderTakesFiles(path);
  if (!m_permissions) ::chmod(QFile::encodeName(path).constData(), m_oldMode);
}

RefusedPath::~RefusedPath() {
  if (m_immutable) setImmutable(m_path, false);
  if (m_permissions) ::chmod(QFile::encodeName(m_path).constData(), m_oldMode);
}
