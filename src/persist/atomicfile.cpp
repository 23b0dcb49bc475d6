#include "persist/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Owns one descriptor and closes it when it goes out of scope.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : m_fd(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  int get() const { return m_fd; }
  bool valid() const { return m_fd >= 0; }
  // Closes now and reports whether the system accepted it (a late write
  // error can surface only here).
  bool close() {
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
  }

 private:
  int m_fd;
};

// Removes the temporary file unless the replacement went through.
class TemporaryFileGuard {
 public:
  explicit TemporaryFileGuard(QByteArray path) : m_path(std::move(path)) {}
  TemporaryFileGuard(const TemporaryFileGuard&) = delete;
  TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;
  ~TemporaryFileGuard() {
    if (!m_path.isEmpty()) ::unlink(m_path.constData());
  }
  void release() { m_path.clear(); }

 private:
  QByteArray m_path;
};

bool injected(const AtomicWriteFault& fault, AtomicWriteStep step) { return fault && fault(step); }

// The file that is really replaced: the target of a symbolic link, or the path itself.
QString resolvedTarget(const QString& path) {
  const QFileInfo info(path);
  if (info.isSymLink()) {
    const QString target = info.symLinkTarget();
    if (!target.isEmpty()) return target;
  }
  return info.absoluteFilePath();
}

// Creates a new, empty file beside `target` with a name nobody else uses. The
// mode 0666 lets the process's umask decide the permissions, as for any new file.
int createTemporaryBeside(const QString& target, QByteArray& temporaryPath) {
  const QFileInfo info(target);
  const QString prefix = info.absolutePath() + QLatin1String("/.") + info.fileName() + QLatin1Char('.');
  for (int attempt = 0; attempt < 64; ++attempt) {
    const quint64 suffix = QRandomGenerator::global()->generate64();
    temporaryPath = QFile::encodeName(prefix + QString::number(suffix, 36) + QLatin1String(".tmp"));
    const int fd = ::open(temporaryPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool writeAll(int fd, QByteArrayView bytes) {
  const char* data = bytes.data();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= written;
  }
  return true;
}

// Makes the rename itself durable; a folder that refuses is no reason to fail.
void syncFolder(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool writeFileAtomically(const QString& path, QByteArrayView bytes, const AtomicWriteFault& fault) {
  if (path.isEmpty()) return false;
  const QString target = resolvedTarget(path);
  const QByteArray encodedTarget = QFile::encodeName(target);

  if (injected(fault, AtomicWriteStep::CreateTemporary)) return false;
  QByteArray temporaryPath;
  UniqueFd fd(createTemporaryBeside(target, temporaryPath));
  if (!fd.valid()) return false;
  TemporaryFileGuard guard(temporaryPath);

  struct stat existing {};
  if (::stat(encodedTarget.constData(), &existing) == 0) {
    if (!S_ISREG(existing.st_mode)) return false;
    ::fchmod(fd.get(), existing.st_mode & 07777);
  }

  if (injected(fault, AtomicWriteStep::Write) || !writeAll(fd.get(), bytes)) return false;
  if (injected(fault, AtomicWriteStep::Sync) || ::fsync(fd.get()) != 0) return false;
  if (!fd.close()) return false;
  if (injected(fault, AtomicWriteStep::Rename) ||
      ::rename(temporaryPath.constData(), encodedTarget.constData()) != 0) {
    return false;
  }
  guard.release();
  syncFolder(QFileInfo(target).absolutePath());
  return true;
}
