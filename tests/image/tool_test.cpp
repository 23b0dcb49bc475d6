// The vantrel-image command-line tool, run as a user would run it.
#include "tool_runner.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(VantrelImageTool, InfoPrintsSizeTypeAndAlpha) {
  const ToolRun run = runTool({"info", suite("basn6a08.png")});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "32 32 10 1\n");
  const ToolRun opaque = runTool({"--no-gdiplus", "--no-zlib", "info", suite("basn2c08.png")});
  EXPECT_EQ(opaque.exitCode, 0);
  EXPECT_EQ(opaque.output, "32 32 10 0\n");
}

TEST(VantrelImageTool, NoImageExitsWithOneAndSaysWhy) {
  const ToolRun corrupt = runTool({"--no-gdiplus", "info", suite("xc9n2c08.png")});
  EXPECT_EQ(corrupt.exitCode, 1);
  EXPECT_EQ(corrupt.output, "0 0 -1 0\n");
  EXPECT_EQ(corrupt.errors, "vantrel-image: PNG does not decode: PNG unsupported colour type\n");
  const ToolRun crc = runTool({"--no-gdiplus", "decode", suite("xhdn0g08.png"), "unused.rgba"});
  EXPECT_EQ(crc.exitCode, 1);
  EXPECT_EQ(crc.errors, "vantrel-image: PNG does not decode: PNG IHDR CRC mismatch\n");
  const ToolRun missing = runTool({"info", suite("missing.png")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.errors, "vantrel-image: cannot open the file\n");
}

TEST(VantrelImageTool, BadUsageExitsWithTwo) {
  EXPECT_EQ(runTool({}).exitCode, 2);
  EXPECT_EQ(runTool({"info"}).exitCode, 2);
  EXPECT_EQ(runTool({"decode", suite("basn6a08.png")}).exitCode, 2);
  EXPECT_EQ(runTool({"--fast", "info", suite("basn6a08.png")}).exitCode, 2);
  EXPECT_EQ(runTool({"show", suite("basn6a08.png")}).exitCode, 2);
}

TEST(VantrelImageTool, DecodeWritesTopDownRGBA) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString premultiplied = dir.filePath("p.rgba");
  const QString straight = dir.filePath("s.rgba");
  // basn4a08: grey with alpha; its first pixel (top left) is white, fully transparent.
  ASSERT_EQ(runTool({"--no-gdiplus", "decode", suite("basn4a08.png"), premultiplied}).exitCode, 0);
  ASSERT_EQ(
      runTool({"--no-gdiplus", "--straight", "decode", suite("basn4a08.png"), straight}).exitCode,
      0);
  QFile p(premultiplied), s(straight);
  ASSERT_TRUE(p.open(QIODevice::ReadOnly));
  ASSERT_TRUE(s.open(QIODevice::ReadOnly));
  const QByteArray pBytes = p.readAll(), sBytes = s.readAll();
  ASSERT_EQ(pBytes.size(), 32 * 32 * 4);
  ASSERT_EQ(sBytes.size(), 32 * 32 * 4);
  for (qsizetype i = 0; i < pBytes.size(); i += 4) {
    const int alpha = static_cast<uint8_t>(pBytes[i + 3]);
    ASSERT_EQ(alpha, static_cast<uint8_t>(sBytes[i + 3]));
    for (int c = 0; c < 3; ++c) {
      const int stored = static_cast<uint8_t>(pBytes[i + c]);
      ASSERT_LE(stored, alpha);
      if (alpha != 0 && alpha != 255) {
        ASSERT_EQ(static_cast<uint8_t>(sBytes[i + c]), stored * 255 / alpha);
      }
    }
  }
}

TEST(VantrelImageTool, UnwritableOutputIsReported) {
  const ToolRun run = runTool({"decode", suite("basn6a08.png"), "/nonexistent-folder/out.rgba"});
  EXPECT_EQ(run.exitCode, 1);
}
