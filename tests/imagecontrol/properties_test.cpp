// The image control's properties as a host sees them: the set rules, the
// change reports, and what a set does to the shown picture.
#include "image/control/aicalphaimage.h"
#include "platform/propertybag.h"
#include "props_pictures.h"

#include <QSignalSpy>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {

struct Control {
  QWidget window;
  aicAlphaImage* image = new aicAlphaImage(&window);
  QSignalSpy changes{image, &aicAlphaImage::PropertyChanged};

  QStringList changeNames() {
    QStringList names;
    for (const QList<QVariant>& args : std::as_const(changes)) names << args.at(0).toString();
    changes.clear();
    return names;
  }
};

TEST(ImageControlSetRules, OpacityWrapsIntoOneToHundredAndZeroStaysZero) {
  Control c;
  c.image->setOpacity(250);
  EXPECT_EQ(c.image->Opacity(), 50);
  c.image->setOpacity(-30);
  EXPECT_EQ(c.image->Opacity(), 30);
  c.image->setOpacity(200);  // a whole multiple of 100 is full opacity
  EXPECT_EQ(c.image->Opacity(), 100);
  c.image->setOpacity(100);
  EXPECT_EQ(c.image->Opacity(), 100);
  c.image->setOpacity(0);
  EXPECT_EQ(c.image->Opacity(), 0);
  c.image->setOpacity(std::numeric_limits<int32_t>::min());
  EXPECT_EQ(c.image->Opacity(), 48);  // 2147483648 mod 100
  EXPECT_EQ(c.changeNames(), QStringList({"Opacity", "Opacity", "Opacity", "Opacity", "Opacity"}));
}

TEST(ImageControlSetRules, GrayScaleKeepsZeroToEightAndStoresOneLess) {
  Control c;
  c.image->setGrayScale(9);
  c.image->setGrayScale(-1);
  EXPECT_EQ(c.image->grayScale(), 0);
  EXPECT_TRUE(c.changeNames().isEmpty());

  c.image->setGrayScale(1);
  EXPECT_EQ(c.image->grayScale(), 1);
  EXPECT_EQ(c.changeNames(), QStringList({"GrayScale"}));
  // The stored form is the internal code: weighting 1 is code 0.
  PropertyBag bag;
  c.image->WriteProperties(bag);
  EXPECT_EQ(bag.ReadProperty<int32_t>("GrayScale", 99), 0);

  c.image->setGrayScale(8);
  EXPECT_EQ(c.image->grayScale(), 8);
}

TEST(ImageControlSetRules, RangesOfShadowHitTestMirrorAndIntensity) {
  Control c;
  c.image->setShadowDepth(11);
  c.image->setShadowDepth(-1);
  c.image->setShadowOpacity(101);
  c.image->setShadowOpacity(-1);
  c.image->setHitTest(4);
  c.image->setMirror(4);
  c.image->setIntensityOffset(100.5f);
  c.image->setIntensityOffset(std::numeric_limits<float>::quiet_NaN());
  c.image->setMaskUsed(6);
  c.image->setOLEDropMode(2);
  c.image->setMousePointer(42);
  EXPECT_TRUE(c.changeNames().isEmpty());
  EXPECT_EQ(c.image->ShadowDepth(), 2);
  EXPECT_EQ(c.image->ShadowOpacity(), 50);
  EXPECT_EQ(c.image->HitTest(), 0);
  EXPECT_EQ(c.image->Mirror(), 0);
  EXPECT_EQ(c.image->IntensityOffset(), 0.0f);
  EXPECT_EQ(c.image->MaskUsed(), 0);

  c.image->setShadowDepth(10);
  c.image->setShadowOpacity(100);
  c.image->setHitTest(3);
  c.image->setIntensityOffset(-100.0f);
  EXPECT_EQ(c.image->ShadowDepth(), 10);
  EXPECT_EQ(c.image->ShadowOpacity(), 100);
  EXPECT_EQ(c.image->HitTest(), 3);
  EXPECT_EQ(c.image->IntensityOffset(), -100.0f);
  EXPECT_EQ(c.changeNames(), QStringList({"ShadowDepth", "ShadowOpacity", "HitTest", "Intensity"}));
}

TEST(ImageControlSetRules, EverySetReportsItsChangeNameOnce) {
  Control c;
  QPixmap icon(16, 16);
  icon.fill(Qt::red);
  const std::vector<std::pair<std::function<void()>, QString>> sets = {
      {[&] { c.image->setAutoRedraw(true); }, "AutoRedraw"},
      {[&] { c.image->setHitTest(2); }, "HitTest"},
      {[&] { c.image->setInversedImage(true); }, "InversedImage"},
      {[&] { c.image->setAutoSize(true); }, "AutoSize"},
      {[&] { c.image->setScaleMethod(1); }, "Stretch"},
      {[&] { c.image->setStretchQuality(false); }, "StretchQuality"},
      {[&] { c.image->setOpacity(40); }, "Opacity"},
      {[&] { c.image->setKeepOriginalFormat(true); }, "KeepOriginalFormat"},
      {[&] { c.image->setGrayScale(3); }, "GrayScale"},
      {[&] { c.image->setRotateEnabled(true); }, "RotateEnabled"},
      {[&] { c.image->setShadowEnabled(true); }, "ShadowEnabled"},
      {[&] { c.image->setShadowColor(0x0000FF); }, "ShadowColor"},
      {[&] { c.image->setShadowOffsetX(5); }, "ShadowOffsetX"},
      {[&] { c.image->setShadowOffsetY(-5); }, "ShadowOffsetY"},
      {[&] { c.image->setShadowDepth(4); }, "ShadowDepth"},
      {[&] { c.image->setShadowOpacity(70); }, "ShadowOpacity"},
      {[&] { c.image->setMousePointer(2); }, "MousePointer"},
      {[&] { c.image->setMouseIcon(icon); }, "MouseIcon"},
      {[&] { c.image->setOLEDropMode(1); }, "OLEDropMode"},
      {[&] { c.image->setIntensityOffset(12.5f); }, "Intensity"},
      // Persisted too, so a designer must learn of them as well.
      {[&] { c.image->setMirror(1); }, "Mirror"},
      {[&] { c.image->setRotation(30); }, "Rotation"},
      {[&] { c.image->setMaskColor(0x00FF00); }, "MaskColor"},
      {[&] { c.image->setMaskUsed(1); }, "MaskUsed"},
  };
  for (const auto& [set, name] : sets) {
    set();
    EXPECT_EQ(c.changeNames(), QStringList({name})) << name.toStdString();
    set();  // the same value again changes nothing
    EXPECT_TRUE(c.changeNames().isEmpty()) << name.toStdString();
  }
}

TEST(ImageControlSetRules, WindowPropertiesReachTheControlWindow) {
  Control c;
  c.image->setOLEDropMode(1);
  EXPECT_TRUE(c.image->acceptDrops());
  c.image->setOLEDropMode(0);
  EXPECT_FALSE(c.image->acceptDrops());

  c.image->setMousePointer(2);
  EXPECT_EQ(c.image->cursor().shape(), Qt::CrossCursor);
  c.image->setMousePointer(11);
  EXPECT_EQ(c.image->cursor().shape(), Qt::WaitCursor);
  QPixmap icon(16, 16);
  icon.fill(Qt::blue);
  c.image->setMouseIcon(icon);
  c.image->setMousePointer(99);
  EXPECT_EQ(c.image->cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(c.image->cursor().pixmap().toImage().pixel(3, 3), QColor(Qt::blue).rgb());
}

// --- What a set does to the shown picture.

struct LoadedControl : Control {
  QImage source = props::distinctPicture(6, 4);
  LoadedControl() {
    const QByteArray png = props::pngOf(source);
    EXPECT_TRUE(image->LoadImage_FromArray(props::spanOf(png)));
    changes.clear();
  }
};

TEST(ImageControlPictureChanges, MirrorFlipsTheShownPictureAndBack) {
  LoadedControl c;
  c.image->setMirror(1);
  EXPECT_TRUE(props::samePixels(c.image->picture(), c.source.mirrored(true, false)));
  c.image->setMirror(2);
  EXPECT_TRUE(props::samePixels(c.image->picture(), c.source.mirrored(false, true)));
  c.image->setMirror(3);
  EXPECT_TRUE(props::samePixels(c.image->picture(), c.source.mirrored(true, true)));
  c.image->setMirror(0);
  EXPECT_TRUE(props::samePixels(c.image->picture(), c.source));
}

TEST(ImageControlPictureChanges, InversionInvertsColoursAndTurnsBack) {
  LoadedControl c;
  QImage inverted = c.source;
  inverted.invertPixels();
  c.image->setInversedImage(true);
  EXPECT_TRUE(props::samePixels(c.image->picture(), inverted));
  c.image->setInversedImage(false);
  EXPECT_TRUE(props::samePixels(c.image->picture(), c.source));
}

TEST(ImageControlPictureChanges, MaskColourAndCornersBecomeTransparent) {
  LoadedControl c;
  const QRgb topLeft = c.source.pixel(0, 0);
  const QRgb bottomRight = c.source.pixel(5, 3);

  c.image->setMaskUsed(2);  // the top-left pixel's colour
  EXPECT_EQ(props::pixelOf(c.image->picture(), 0, 0), 0u);
  EXPECT_EQ(props::pixelOf(c.image->picture(), 5, 3), bottomRight);

  c.image->setMaskUsed(5);  // the bottom-right pixel's colour instead
  EXPECT_EQ(props::pixelOf(c.image->picture(), 0, 0), topLeft);
  EXPECT_EQ(props::pixelOf(c.image->picture(), 5, 3), 0u);

  // MaskColor is the colour number 0x00BBGGRR of a pixel in the middle.
  const QRgb middle = c.source.pixel(2, 1);
  c.image->setMaskColor(qRed(middle) | (qGreen(middle) << 8) | (qBlue(middle) << 16));
  EXPECT_EQ(props::pixelOf(c.image->picture(), 5, 3), 0u);  // source 5 is still in use
  c.image->setMaskUsed(1);
  EXPECT_EQ(props::pixelOf(c.image->picture(), 2, 1), 0u);
  EXPECT_EQ(props::pixelOf(c.image->picture(), 5, 3), bottomRight);

  c.image->setMaskUsed(0);
  EXPECT_TRUE(props::samePixels(c.image->picture(), c.source));
}

TEST(ImageControlPictureChanges, TakingTheMaskOffKeepsThePicturesOwnTransparency) {
  Control c;
  QImage source = props::distinctPicture(5, 3);
  source.setPixel(1, 1, qRgba(0, 0, 0, 0));  // transparent of its own
  const QRgb maskColour = qRgb(0x10, 0x20, 0x30);
  source.setPixel(4, 2, maskColour);
  source.setPixel(3, 0, maskColour);
  ASSERT_TRUE(c.image->LoadImage_FromHandle(source));
  c.image->setMaskColor(0x10 | (0x20 << 8) | (0x30 << 16));
  c.image->setMaskUsed(1);
  c.image->setMirror(3);  // what the mask removed moves with the picture
  EXPECT_EQ(props::pixelOf(c.image->picture(), 0, 0), 0u);
  EXPECT_EQ(props::pixelOf(c.image->picture(), 1, 2), 0u);

  // Saving stores the picture as it was loaded, its own hole included.
  std::vector<uint8_t> saved;
  ASSERT_TRUE(c.image->GetImageBytes(saved));
  c32bppDIB reread;
  ASSERT_TRUE(reread.LoadPicture_Stream(saved));
  EXPECT_TRUE(props::samePixels(reread, source));

  c.image->setMaskUsed(0);
  c.image->setMirror(0);
  EXPECT_TRUE(props::samePixels(c.image->picture(), source));
}

TEST(ImageControlPictureChanges, ANewPictureIsShownTheWayThePropertiesSay) {
  Control c;
  c.image->setMirror(1);
  c.image->setInversedImage(true);
  c.image->setStretchQuality(false);
  const QImage source = props::distinctPicture(5, 3);
  ASSERT_TRUE(c.image->LoadImage_FromHandle(source));
  QImage expected = source.mirrored(true, false);
  expected.invertPixels();
  EXPECT_TRUE(props::samePixels(c.image->picture(), expected));
  EXPECT_FALSE(c.image->picture().HighQualityInterpolation());
}

}  // namespace
