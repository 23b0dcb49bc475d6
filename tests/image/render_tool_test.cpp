// vantrel-image render, run as a user would run it; the saved PNG is read back.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "test_support.h"

namespace {

int runTool(const QStringList& args, QString* output = nullptr) {
  QProcess process;
  process.start(testsupport::binDir() + "/vantrel-image", args);
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished(5000);
    return -1;
  }
  if (output) *output = QString::fromUtf8(process.readAllStandardOutput());
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString suite(const char* name) { return testsupport::dataDir() + "/pngsuite/" + name; }

}  // namespace

TEST(VantrelImageRender, ScalesMirrorsAndSavesAPng) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString out = dir.filePath("out.png");
  QString printed;
  ASSERT_EQ(runTool({"render", suite("basn2c08.png"), out, "--width", "64", "--height", "16",
                     "--mirror-x"},
                    &printed),
            0);
  EXPECT_EQ(printed, "64 16\n");
  const QImage drawn(out);
  ASSERT_EQ(drawn.size(), QSize(64, 16));
  const QImage original(suite("basn2c08.png"));
  // Mirrored: the drawing's right edge shows the picture's left edge.
  EXPECT_EQ(drawn.pixel(63, 0), original.pixel(0, 0));
}

TEST(VantrelImageRender, TurnsAndAddsAShadowInATransparentPicture) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString out = dir.filePath("turned.png");
  QString printed;
  ASSERT_EQ(runTool({"--no-gdiplus", "render", suite("basn6a08.png"), out, "--angle", "30",
                     "--shadow", "3", "--opacity", "80"},
                    &printed),
            0);
  // A 32 x 32 picture needs a square of side 45 for any turn, plus 6 for the shadow.
  EXPECT_EQ(printed, "51 51\n");
  const QImage drawn(out);
  ASSERT_EQ(drawn.size(), QSize(51, 51));
  EXPECT_TRUE(drawn.hasAlphaChannel());
  EXPECT_EQ(qAlpha(drawn.pixel(0, 0)), 0);
  EXPECT_GT(qAlpha(drawn.pixel(25, 25)), 0);
}

TEST(VantrelImageRender, ReportsBadUsageAndMissingFiles) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  EXPECT_EQ(runTool({"render", suite("basn2c08.png")}), 2);
  EXPECT_EQ(runTool({"render", suite("basn2c08.png"), dir.filePath("a.png"), "--width"}), 2);
  EXPECT_EQ(runTool({"render", suite("basn2c08.png"), dir.filePath("a.png"), "--angle", "x"}), 2);
  EXPECT_EQ(runTool({"render", dir.filePath("missing.png"), dir.filePath("a.png")}), 1);
  // A drawing beyond the limit of one drawing is refused with a message, turned
  // or not, and nothing is written.
  EXPECT_EQ(runTool({"render", suite("basn2c08.png"), dir.filePath("a.png"), "--width", "500000000",
                     "--height", "1"}),
            1);
  EXPECT_EQ(runTool({"render", suite("basn2c08.png"), dir.filePath("a.png"), "--width",
                     "2000000000", "--height", "-2147483648", "--angle", "10"}),
            1);
  EXPECT_FALSE(QFile::exists(dir.filePath("a.png")));
}
