#include "persist/modini.h"
#include "persist/modlist.h"
#include "persist/userfolders.h"

#include "persist_test_files.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <unistd.h>

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value) : m_name(name) {
    if (qEnvironmentVariableIsSet(name)) m_old = qgetenv(name);
    qputenv(name, value);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    if (m_old)
      qputenv(m_name, *m_old);
    else
      qunsetenv(m_name);
  }

 private:
  const char* m_name;
  std::optional<QByteArray> m_old;
};

class UserFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_program.isValid());
    ASSERT_TRUE(m_home.isValid());
  }
  QString configFolder() const { return m_home.filePath(QStringLiteral("config/vantrel")); }

  // Saves both files the way the window does and reads them back.
  static void expectBothFilesSaveInto(const QString& folder) {
    const QString ports = folder + QStringLiteral("/ports.dat");
    const QString settings = folder + QStringLiteral("/settings.ini");
    ASSERT_TRUE(makeFolderOf(ports));
    ASSERT_TRUE(SavePortList(PortRows(std::vector<PortRow>{{"3074", "UDP"}}), ports));
    ASSERT_TRUE(WriteIniValue("main", "language", "Deutsch | German", settings));
    PortRows loaded;
    EXPECT_EQ(LoadPortList(loaded, ports), 1);
    EXPECT_EQ(ReadIniValue("main", "language", settings), QStringLiteral("Deutsch | German"));
  }

  QTemporaryDir m_program;
  QTemporaryDir m_home;
  ScopedEnv m_configHome{"XDG_CONFIG_HOME",
                         QFile::encodeName(m_home.filePath(QStringLiteral("config")))};
};

TEST_F(UserFolders, AWritableProgramFolderKeepsBothFilesBesideTheProgram) {
  EXPECT_EQ(userDataFolder(m_program.path()), m_program.path());
  expectBothFilesSaveInto(userDataFolder(m_program.path()));
  EXPECT_EQ(folderEntries(m_program.path()), (QStringList{"ports.dat", "settings.ini"}));
  EXPECT_FALSE(QFile::exists(m_home.filePath(QStringLiteral("config"))));
}

// /usr is the installed case even for root, who could write there.
TEST_F(UserFolders, AnInstalledProgramSavesIntoTheConfigFolderCreatedOnFirstSave) {
  const QString folder = userDataFolder(QStringLiteral("/usr/bin"));
  EXPECT_EQ(folder, configFolder());
  EXPECT_FALSE(QFile::exists(folder));
  expectBothFilesSaveInto(folder);
  EXPECT_EQ(folderEntries(folder), (QStringList{"ports.dat", "settings.ini"}));
}

TEST_F(UserFolders, AReadOnlyProgramFolderSavesIntoTheConfigFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write into any folder; the /usr case covers root";
  ASSERT_TRUE(QFile::setPermissions(m_program.path(), QFile::ReadOwner | QFile::ExeOwner));
  EXPECT_EQ(userDataFolder(m_program.path()), configFolder());
  QFile::setPermissions(m_program.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(UserFolders, WithoutAnAbsoluteConfigHomeTheFolderIsInTheHomeFolder) {
  const ScopedEnv home("HOME", QFile::encodeName(m_home.path()));
  for (const QByteArray& configHome : {QByteArray(), QByteArray("relative/config")}) {
    const ScopedEnv unusable("XDG_CONFIG_HOME", configHome);
    EXPECT_EQ(userDataFolder(QStringLiteral("/usr/bin")),
              m_home.filePath(QStringLiteral(".config/vantrel")));
  }
}

}  // namespace
