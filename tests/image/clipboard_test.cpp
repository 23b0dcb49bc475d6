// Pictures and file names taken from the clipboard.
#include "image/c32bppdib.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

TEST(Clipboard, LoadsAPictureAndListsPastedFiles) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  QImage picture(5, 3, QImage::Format_ARGB32);
  picture.fill(qRgba(0, 128, 255, 255));
  clipboard->setImage(picture);
  c32bppDIB image;
  ASSERT_TRUE(image.LoadPicture_ClipBoard());
  EXPECT_EQ(image.Width(), 5);
  EXPECT_EQ(image.Height(), 3);
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kBitmap);
  EXPECT_EQ(image.GetPixel(4, 2), 128 * 256 + 255 * 65536);
  QStringList names;
  EXPECT_EQ(GetPastedFileNames(names), 0);

  auto* files = new QMimeData;
  files->setUrls({QUrl::fromLocalFile("/tmp/one.png"), QUrl::fromLocalFile("/tmp/two.gif")});
  clipboard->setMimeData(files);
  EXPECT_EQ(GetPastedFileNames(names), 2);
  EXPECT_EQ(names, (QStringList{"/tmp/one.png", "/tmp/two.gif"}));
  EXPECT_FALSE(image.LoadPicture_ClipBoard());
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kNone);
  clipboard->clear();
}
