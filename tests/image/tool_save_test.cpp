// vantrel-image's png and bmp commands and its --icon choice, run as a user would.
#include "../codecs/ico_builder.h"
#include "tool_runner.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString writeIcon(const QTemporaryDir& dir) {
  std::vector<icobuild::Entry> entries;
  for (int size : {16, 32, 48}) {
    icobuild::BitmapEntry wanted;
    wanted.width = wanted.height = size;
    entries.push_back(icobuild::bitmapEntry(wanted));
  }
  const std::vector<uint8_t> bytes = icobuild::iconFile(entries);
  const QString path = dir.filePath("sizes.ico");
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }
  return path;
}

}  // namespace

TEST(VantrelImageTool, PngAndBmpWriteFilesThatLoadAgain) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString png = dir.filePath("out.png"), bmp = dir.filePath("out.bmp");
  EXPECT_EQ(runTool({"png", suite("basn6a08.png"), png}).exitCode, 0);
  EXPECT_EQ(runTool({"--no-gdiplus", "info", png}).output, "32 32 10 1\n");
  EXPECT_EQ(runTool({"--no-gdiplus", "bmp", suite("basn6a08.png"), bmp}).exitCode, 0);
  // Saved premultiplied, so it comes back as a premultiplied alpha bitmap.
  EXPECT_EQ(runTool({"--no-gdiplus", "info", bmp}).output, "32 32 7 1\n");
  EXPECT_EQ(runTool({"--no-gdiplus", "bmp", suite("basn2c08.png"), bmp}).exitCode, 0);
  EXPECT_EQ(runTool({"--no-gdiplus", "info", bmp}).output, "32 32 1 0\n");
}

TEST(VantrelImageTool, ReportsFailureWhenNothingWasWritten) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString missing = dir.filePath("no/such/folder/out.png");
  EXPECT_EQ(runTool({"png", suite("basn6a08.png"), missing}).exitCode, 1);
  EXPECT_FALSE(QFile::exists(missing));
  // Neither the system service nor zlib: no PNG encoder at all.
  const QString png = dir.filePath("none.png");
  EXPECT_EQ(runTool({"--no-gdiplus", "--no-zlib", "png", suite("basn6a08.png"), png}).exitCode, 1);
  EXPECT_FALSE(QFile::exists(png));
  EXPECT_EQ(runTool({"png", suite("basn6a08.png")}).exitCode, 2);
}

TEST(VantrelImageTool, IconChoosesTheEntry) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString icon = writeIcon(dir);
  EXPECT_EQ(runTool({"info", icon}).output, "32 32 8 1\n");
  EXPECT_EQ(runTool({"--icon", "16x16x32", "info", icon}).output, "16 16 8 1\n");
  EXPECT_EQ(runTool({"--icon", "40x40x32", "info", icon}).output, "48 48 8 1\n");
  EXPECT_EQ(runTool({"--icon", "40x40", "info", icon}).exitCode, 2);
  EXPECT_EQ(runTool({"info", icon, "--icon"}).exitCode, 2);
}
