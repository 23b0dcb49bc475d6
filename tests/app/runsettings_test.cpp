// What a run takes from a row's port text and from settings.ini.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "app/engine/testedport.h"
#include "app/runsettings.h"

TEST(RunSettings, PortTextIsAWholeNumberFromOneTo65535) {
  EXPECT_EQ(portNumberOf(u"80"), 80);
  EXPECT_EQ(portNumberOf(u"080"), 80);
  EXPECT_EQ(portNumberOf(u"65535"), 65535);
  EXPECT_EQ(portNumberOf(u"0000000000000001"), 1);
  for (const char* text : {"", " 80", "0", "65536", "70000", "99999999999999999999", "8o", "-1",
                           "+80", "8.0", "1.2.3.4"}) {
    EXPECT_FALSE(portNumberOf(QString::fromLatin1(text))) << text;
  }
}

TEST(RunSettings, PageTimeoutIsWholeSecondsFromFiveTo300ElseTwenty) {
  QTemporaryDir folder;
  const QString settings = folder.filePath(QStringLiteral("settings.ini"));
  EXPECT_EQ(PageTimeoutSeconds(settings), 20);  // no file at all
  const std::pair<const char*, int> cases[] = {{"5", 5},    {"300", 300}, {" 45 ", 45}, {"4", 20},
                                               {"301", 20}, {"12.5", 20}, {"ten", 20},  {"", 20}};
  for (const auto& [value, seconds] : cases) {
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray("[main]\r\nlanguage=English\r\npage_timeout_s=") + value + "\r\n");
    file.close();
    EXPECT_EQ(PageTimeoutSeconds(settings), seconds) << value;
  }
}
