#include "i18n/languagefolder.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Each place the language files may be, tried in order: beside the program,
// in the share folder of the install around it, in the packages' data folder.
TEST(LanguageFolder, BesideTheProgramThenBesideTheInstallThenThePackagesFolder) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString bin = root.filePath(QStringLiteral("bin"));
  const QString share = root.filePath(QStringLiteral("share/vantrel"));
  ASSERT_TRUE(QDir().mkpath(bin));
  EXPECT_EQ(languageBaseFolder(bin), QString::fromLatin1(kInstalledDataFolder));
  ASSERT_TRUE(QDir().mkpath(share + QStringLiteral("/Languages")));
  EXPECT_EQ(languageBaseFolder(bin), share);
  ASSERT_TRUE(QDir().mkpath(bin + QStringLiteral("/Languages")));
  EXPECT_EQ(languageBaseFolder(bin), bin);
}

}  // namespace
