#pragma once
// Real ways to make the file system refuse a write, for tests of what a failed
// save leaves behind. The tests usually run as root, which ignores permission
// bits, so the immutable attribute is tried first; permission bits are the
// fallback for an ordinary user. Either is undone when the object goes away.
#include <QString>

class RefusedPath {
 public:
  enum class Kind { Folder, File };
  // Makes `path` refuse changes: a folder takes no new files, a file cannot
  // be replaced or renamed over.
  RefusedPath(const QString& path, Kind kind);
  RefusedPath(const RefusedPath&) = delete;
  RefusedPath& operator=(const RefusedPath&) = delete;
  ~RefusedPath();

  // False when this system offered no way to refuse (the test then skips).
  bool active() const { return m_immutable || m_permissions; }

 private:
  QString m_path;
  bool m_immutable = false;
  bool m_permissions = false;
  unsigned m_oldMode = 0;
};
