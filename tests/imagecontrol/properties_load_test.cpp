// Loading pictures into the image control from every source it offers, and
// what a failed load or ClearImage leaves behind.
#include "../codecs/ico_builder.h"
#include "image/control/aicalphaimage.h"
#include "props_pictures.h"

#include <QApplication>
#include <QClipboard>
#include <QImageReader>
#include <QMimeData>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

struct Control {
  QWidget window;
  aicAlphaImage* image = new aicAlphaImage(&window);
};

QImage qtReads(const QString& path) {
  return QImageReader(path).read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QByteArray twoSizeIcon() {
  std::vector<icobuild::Entry> entries;
  for (int size : {16, 32}) {
    icobuild::BitmapEntry wanted;
    wanted.width = wanted.height = size;
    entries.push_back(icobuild::bitmapEntry(wanted));
  }
  const std::vector<uint8_t> bytes = icobuild::iconFile(entries);
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

TEST(ImageControlLoading, FileArrayAndResourceGiveThePicture) {
  const QString path = props::suite("basn6a08.png");
  const QImage expected = qtReads(path);
  Control file, array, resource;
  EXPECT_TRUE(file.image->LoadImage_FromFile(path));
  EXPECT_TRUE(array.image->LoadImage_FromArray(props::spanOf(props::readFile(path))));
  EXPECT_TRUE(resource.image->LoadImage_FromResource("basn6a08.png", "imagecontrol"));
  for (const Control* c : {&file, &array, &resource}) {
    EXPECT_EQ(c->image->ImageType(), ImageTypeCode::kPng);
    EXPECT_TRUE(props::nearPixels(c->image->picture(), expected));
  }
}

TEST(ImageControlLoading, HandleAndClipboard) {
  const QImage source = props::distinctPicture(7, 5);
  Control handle, clipboard;
  EXPECT_TRUE(handle.image->LoadImage_FromHandle(source));
  EXPECT_EQ(handle.image->ImageType(), ImageTypeCode::kBitmap);
  EXPECT_TRUE(props::samePixels(handle.image->picture(), source));

  QApplication::clipboard()->setImage(source);
  EXPECT_TRUE(clipboard.image->LoadImage_FromClipboard());
  EXPECT_EQ(clipboard.image->picture().Width(), 7);
  EXPECT_EQ(clipboard.image->picture().Height(), 5);
}

TEST(ImageControlLoading, IconSizeIsChosenAndKeptBytesReloadAnotherSize) {
  const QByteArray icon = twoSizeIcon();
  Control c;
  c.image->setKeepOriginalFormat(true);
  ASSERT_TRUE(c.image->LoadImage_FromArray(props::spanOf(icon), 32, 32));
  EXPECT_EQ(c.image->picture().Width(), 32);
  EXPECT_EQ(c.image->ImageType(), ImageTypeCode::kAlphaIcon);
  ASSERT_TRUE(c.image->LoadImage_FromOrignalBytes(16, 16));
  EXPECT_EQ(c.image->picture().Width(), 16);
  // The kept bytes survive the reload, so yet another size can be asked for.
  EXPECT_TRUE(c.image->LoadImage_FromOrignalBytes(32, 32));
  EXPECT_EQ(c.image->picture().Width(), 32);
}

TEST(ImageControlLoading, SourceBytesAreKeptOnlyWhenAskedOrWhileDesigning) {
  Control runTime, designing;
  ASSERT_TRUE(runTime.image->LoadImage_FromArray(props::spanOf(twoSizeIcon()), 32, 32));
  // Nothing to reload from: the shown picture stays.
  EXPECT_FALSE(runTime.image->LoadImage_FromOrignalBytes(16, 16));
  EXPECT_EQ(runTime.image->picture().Width(), 32);

  designing.image->setDesignMode(true);
  ASSERT_TRUE(designing.image->LoadImage_FromArray(props::spanOf(twoSizeIcon()), 32, 32));
  EXPECT_TRUE(designing.image->LoadImage_FromOrignalBytes(16, 16));
}

TEST(ImageControlLoading, OnlyThePngDecodersReportedErrorsAreShown) {
  Control c;
  QStringList shown;
  c.image->setLoadErrorPresenter([&shown](const QString& text) { shown << text; });
  // A chunk length past any input is reported; a damaged CRC stays quiet.
  QByteArray overflow = props::readFile(props::suite("basn6a08.png"));
  const qsizetype idat = overflow.indexOf("IDAT");
  ASSERT_GT(idat, 4);
  overflow.replace(idat - 4, 4, QByteArray("\x7F\xFF\xFF\xF0", 4));
  EXPECT_FALSE(c.image->LoadImage_FromArray(props::spanOf(overflow)));
  QByteArray badCrc = props::readFile(props::suite("basn6a08.png"));
  badCrc[29] = static_cast<char>(badCrc[29] ^ 1);  // inside IHDR's CRC
  EXPECT_FALSE(c.image->LoadImage_FromArray(props::spanOf(badCrc)));
  EXPECT_TRUE(
      c.image->LoadImage_FromArray(props::spanOf(props::readFile(props::suite("basn6a08.png")))));
  EXPECT_EQ(shown, QStringList{"PNG chunk length overflow"});
}

TEST(ImageControlLoading, FailedLoadsAndClearImageLeaveNoPicture) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString junk = props::writeFile(dir, "junk.png", QByteArray(300, 'x'));
  Control c;
  int32_t width = -7, height = -7;

  ASSERT_TRUE(c.image->LoadImage_FromFile(props::suite("basn6a08.png")));
  EXPECT_FALSE(c.image->LoadImage_FromFile(junk));
  EXPECT_EQ(c.image->ImageType(), ImageTypeCode::kNone);
  EXPECT_FALSE(c.image->GetImageScales(width, height));

  ASSERT_TRUE(c.image->LoadImage_FromFile(props::suite("basn6a08.png")));
  EXPECT_FALSE(c.image->LoadImage_FromFile(dir.filePath("missing.png")));
  EXPECT_EQ(c.image->ImageType(), ImageTypeCode::kNone);

  ASSERT_TRUE(c.image->LoadImage_FromFile(props::suite("basn6a08.png")));
  EXPECT_FALSE(c.image->LoadImage_FromResource("missing.png", "imagecontrol"));
  EXPECT_EQ(c.image->ImageType(), ImageTypeCode::kNone);

  ASSERT_TRUE(c.image->LoadImage_FromFile(props::suite("basn6a08.png")));
  c.image->ClearImage();
  EXPECT_EQ(c.image->ImageType(), ImageTypeCode::kNone);
  std::vector<uint8_t> bytes{1, 2, 3};
  EXPECT_FALSE(c.image->GetImageBytes(bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(width, -7);
  EXPECT_EQ(height, -7);
}

TEST(ImageControlLoading, SetImageBytesTakesWhatGetImageBytesGives) {
  const QImage source = props::distinctPicture(9, 6);
  Control from, to;
  ASSERT_TRUE(from.image->LoadImage_FromHandle(source));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(from.image->GetImageBytes(bytes));
  EXPECT_TRUE(to.image->SetImageBytes(bytes));
  EXPECT_TRUE(props::samePixels(to.image->picture(), source));
  EXPECT_FALSE(to.image->SetImageBytes({}));
  EXPECT_EQ(to.image->ImageType(), ImageTypeCode::kNone);
}

}  // namespace
