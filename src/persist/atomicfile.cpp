#include "persist/atomicfile.h"

#include "posix/uniquefd.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

namespace {

bool injected(const AtomicWriteFault& fault, AtomicWriteStep step) { return fault && fault(step); }

// The file that is really replaced: the end of a chain of symbolic links, or
// the path itself. The saver follows links the same way; asking here lets a
// device or a pipe at the end of the chain be refused rather than replaced.
QFileInfo finalTarget(const QString& path) {
  QFileInfo info(path);
  for (int depth = 0; depth < 40 && info.isSymLink(); ++depth) info.setFile(info.symLinkTarget());
  return info;
}

// Makes the rename itself durable; a folder that refuses is no reason to fail.
void syncFolder(const QString& folder) {
  const UniqueFd fd(
      ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) ::fsync(fd.get());
}

bool fail(QString* error, const QString& why) {
  if (error) *error = why;
  return false;
}

}  // namespace

bool writeFileAtomically(const QString& path, QByteArrayView bytes, const AtomicWriteFault& fault,
                         QString* error) {
  if (path.isEmpty()) return fail(error, QStringLiteral("no file name"));
  const QFileInfo target = finalTarget(path);
  if (target.exists() && !target.isFile()) return fail(error, QStringLiteral("not a regular file"));

  // The saver writes a temporary file beside the target, gives it the
  // target's permissions, flushes it to the disk on commit and renames it
  // over the target; a failure before the rename leaves no trace.
  QSaveFile file(path);
  if (injected(fault, AtomicWriteStep::CreateTemporary) || !file.open(QIODevice::WriteOnly))
    return fail(error, file.errorString());
  if (injected(fault, AtomicWriteStep::Write) ||
      file.write(bytes.data(), bytes.size()) != bytes.size()) {
    file.cancelWriting();
    return fail(error, file.errorString());
  }
  if (injected(fault, AtomicWriteStep::Sync) || injected(fault, AtomicWriteStep::Rename)) {
    file.cancelWriting();
    return fail(error, QStringLiteral("refused"));
  }
  if (!file.commit()) return fail(error, file.errorString());
  syncFolder(target.absolutePath());
  return true;
}
