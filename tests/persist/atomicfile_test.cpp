#include "persist/atomicfile.h"

#include "persist_test_files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

mode_t modeOf(const QString& path) {
  struct stat info {};
  ::stat(QFile::encodeName(path).constData(), &info);
  return info.st_mode & 07777;
}

TEST(AtomicReplace, ExistingFileKeepsItsPermissions) {
  QTemporaryDir dir;
  const QString path = dir.filePath("data");
  ASSERT_TRUE(writeBytes(path, "old"));
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
  ASSERT_TRUE(writeFileAtomically(path, "new"));
  EXPECT_EQ(readBytes(path), QByteArray("new"));
  EXPECT_EQ(modeOf(path), mode_t{0640});
}

TEST(AtomicReplace, NewFileGetsTheUsualPermissions) {
  QTemporaryDir dir;
  const QString path = dir.filePath("data");
  const mode_t oldMask = ::umask(022);
  const bool written = writeFileAtomically(path, "new");
  ::umask(oldMask);
  ASSERT_TRUE(written);
  EXPECT_EQ(modeOf(path), mode_t{0644});
}

TEST(AtomicReplace, SymbolicLinkKeepsPointingAtTheReplacedFile) {
  QTemporaryDir dir;
  const QString real = dir.filePath("real.dat");
  const QString link = dir.filePath("link.dat");
  ASSERT_TRUE(writeBytes(real, "old"));
  ASSERT_TRUE(QFile::link(real, link));
  ASSERT_TRUE(writeFileAtomically(link, "new"));
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_EQ(readBytes(real), QByteArray("new"));
  EXPECT_EQ(folderEntries(dir.path()), (QStringList{"link.dat", "real.dat"}));
}

TEST(AtomicReplace, LargeContentIsWrittenWhole) {
  QTemporaryDir dir;
  const QString path = dir.filePath("data");
  QByteArray bytes(3 * 1024 * 1024 + 17, '\0');
  for (qsizetype i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31);
  ASSERT_TRUE(writeFileAtomically(path, bytes));
  EXPECT_EQ(readBytes(path), bytes);
}

}  // namespace
