// The image control's design-time state in a property bag and in a form data
// file: which keys are written, with which types, in which order, and that a
// saved control reads back the same.
#include "../codecs/ico_builder.h"
#include "image/control/aicalphaimage.h"
#include "platform/formdata.h"
#include "platform/propertybag.h"
#include "props_pictures.h"

#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <variant>

namespace {

struct Control {
  QWidget window;
  aicAlphaImage* image = new aicAlphaImage(&window);
  Control() { image->resize(64, 48); }
};

QStringList keysOf(const PropertyBag& bag) {
  QStringList keys;
  for (const auto& entry : bag.entries()) keys << entry.first;
  return keys;
}

template <class T>
bool storedAs(const PropertyBag& bag, const char* key) {
  const PropertyValue* value = bag.find(key);
  return value != nullptr && std::holds_alternative<T>(*value);
}

// Every property away from its default.
void changeEverything(aicAlphaImage& image) {
  image.setScaleMethod(4);
  image.setScaleCustomSize(40, 30);
  image.setOpacity(70);
  image.setMirror(2);
  image.setRotation(45);
  image.setGrayScale(4);
  image.setHitTest(2);
  image.setStretchQuality(false);
  image.setAutoSize(true);
  image.setAutoRedraw(true);
  image.setKeepOriginalFormat(true);
  image.setInversedImage(true);
  image.setShadowEnabled(true);
  image.setRotateEnabled(true);
  image.setMaskColor(0x123456);
  image.setMaskUsed(2);
  image.setEnabled(false);
  QPixmap icon(8, 8);
  icon.fill(Qt::green);
  image.setMouseIcon(icon);
  image.setMousePointer(99);
  image.setOLEDropMode(1);
  image.setShadowColor(0x0000FF);
  image.setShadowDepth(5);
  image.setShadowOffsetX(-3);
  image.setShadowOffsetY(7);
  image.setShadowOpacity(80);
  image.setIntensityOffset(-12.5f);
}

const QStringList kEveryKeyInOrder = {
    "Image",       "Scaler",      "Opacity",  "Mirror",    "Angle",         "GrayScale",
    "HitTest",     "Props",       "MaskUsed", "MaskColor", "MaskSource",    "Mask",
    "Enabled",     "MIcon",       "MPointer", "OLEdrop",   "ScaleCx",       "ScaleCy",
    "ShadowColor", "ShadowDepth", "ShadowX",  "ShadowY",   "ShadowOpacity", "Intensity"};

TEST(ImageControlPersistence, DefaultsWriteNothingButThePicture) {
  Control empty;
  PropertyBag bag;
  empty.image->WriteProperties(bag);
  EXPECT_TRUE(bag.isEmpty());

  Control loaded;
  ASSERT_TRUE(loaded.image->LoadImage_FromFile(props::suite("basn6a08.png")));
  loaded.image->WriteProperties(bag);
  EXPECT_EQ(keysOf(bag), QStringList({"Image"}));
  EXPECT_TRUE(storedAs<QByteArray>(bag, "Image"));
}

TEST(ImageControlPersistence, EveryKeyIsWrittenInOrderWithItsType) {
  Control c;
  ASSERT_TRUE(c.image->LoadImage_FromHandle(props::distinctPicture(6, 4)));
  changeEverything(*c.image);
  PropertyBag bag;
  c.image->WriteProperties(bag);
  EXPECT_EQ(keysOf(bag), kEveryKeyInOrder);

  for (const char* key : {"Scaler", "Mirror", "Angle", "GrayScale", "HitTest", "Props", "MaskColor",
                          "MaskSource", "Mask", "ScaleCx", "ScaleCy", "ShadowColor"}) {
    EXPECT_TRUE(storedAs<int32_t>(bag, key)) << key;
  }
  for (const char* key :
       {"Opacity", "MPointer", "OLEdrop", "ShadowDepth", "ShadowX", "ShadowY", "ShadowOpacity"}) {
    EXPECT_TRUE(storedAs<int16_t>(bag, key)) << key;
  }
  EXPECT_TRUE(storedAs<bool>(bag, "MaskUsed"));
  EXPECT_TRUE(storedAs<bool>(bag, "Enabled"));
  EXPECT_TRUE(storedAs<float>(bag, "Intensity"));
  EXPECT_TRUE(storedAs<StoredPicture>(bag, "MIcon"));

  // The values a reader of the form sees.
  EXPECT_EQ(bag.ReadProperty<int32_t>("GrayScale", 0), 3);
  EXPECT_EQ(bag.ReadProperty<int16_t>("Opacity", 0), 70);
  // AutoRedraw, KeepOriginalFormat, InversedImage, ShadowEnabled, RotateEnabled, AutoSize;
  // StretchQuality off.
  EXPECT_EQ(bag.ReadProperty<int32_t>("Props", 0), 8 | 16 | 64 | 128 | 256 | 4);
  EXPECT_EQ(bag.ReadProperty<int32_t>("ShadowColor", 0), 0x0000FF);
  EXPECT_EQ(bag.ReadProperty<float>("Intensity", 0), -12.5f);
}

TEST(ImageControlPersistence, CustomSizeOnlyWithTheCustomScaleMethod) {
  Control c;
  c.image->setScaleCustomSize(40, 30);
  PropertyBag bag;
  for (int32_t method : {0, 1, 2, 3}) {
    c.image->setScaleMethod(method);
    c.image->WriteProperties(bag);
    EXPECT_FALSE(bag.contains("ScaleCx")) << method;
    EXPECT_FALSE(bag.contains("ScaleCy")) << method;
  }
  c.image->setScaleMethod(4);
  c.image->WriteProperties(bag);
  EXPECT_EQ(bag.ReadProperty<int32_t>("ScaleCx", 0), 40);
  EXPECT_EQ(bag.ReadProperty<int32_t>("ScaleCy", 0), 30);
  // Saving the same bag again after leaving method 4 takes them out.
  c.image->setScaleMethod(1);
  c.image->WriteProperties(bag);
  EXPECT_FALSE(bag.contains("ScaleCx"));

  // A hand-made form with a size but another method: the size is not read.
  PropertyBag stray;
  stray.set("Scaler", int32_t{1});
  stray.set("ScaleCx", int32_t{40});
  Control reader;
  reader.image->ReadProperties(stray);
  EXPECT_EQ(reader.image->ScaleCx(), 0);
}

TEST(ImageControlPersistence, AppliedMaskOnlyWhileAMaskIsUsed) {
  Control c;
  ASSERT_TRUE(c.image->LoadImage_FromHandle(props::distinctPicture(6, 4)));
  PropertyBag bag;
  c.image->setMaskUsed(3);
  c.image->WriteProperties(bag);
  EXPECT_TRUE(bag.ReadProperty("MaskUsed", false));
  EXPECT_TRUE(bag.contains("Mask"));
  c.image->setMaskUsed(0);
  c.image->WriteProperties(bag);
  EXPECT_FALSE(bag.contains("MaskUsed"));
  EXPECT_FALSE(bag.contains("Mask"));
}

TEST(ImageControlPersistence, EveryKeyRoundTripsThroughABagAndAFormDataFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  Control original;
  ASSERT_TRUE(original.image->LoadImage_FromHandle(props::distinctPicture(6, 4)));
  changeEverything(*original.image);
  FormData form;
  PropertyBag& saved = form.control("aicAlphaImage1");
  original.image->WriteProperties(saved);

  Control fromBag;
  fromBag.image->ReadProperties(saved);
  PropertyBag again;
  fromBag.image->WriteProperties(again);
  EXPECT_TRUE(again == saved);
  EXPECT_EQ(fromBag.image->grayScale(), 4);
  EXPECT_FALSE(fromBag.image->isEnabled());
  EXPECT_EQ(fromBag.image->cursor().shape(), Qt::BitmapCursor);
  EXPECT_TRUE(fromBag.image->acceptDrops());
  // The picture is shown as it was: mirrored, masked, inverted.
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(props::pixelOf(fromBag.image->picture(), x, y),
                props::pixelOf(original.image->picture(), x, y));
    }
  }

  const QString path = dir.filePath("frm.vfd");
  ASSERT_TRUE(saveFormDataFile(path, form));
  const std::optional<FormData> loaded = loadFormDataFile(path);
  ASSERT_TRUE(loaded.has_value());
  ASSERT_NE(loaded->find("aicAlphaImage1"), nullptr);
  Control fromFile;
  fromFile.image->ReadProperties(*loaded->find("aicAlphaImage1"));
  PropertyBag third;
  fromFile.image->WriteProperties(third);
  EXPECT_TRUE(third == saved);
}

TEST(ImageControlPersistence, ReadingStartsFromDefaultsAndHoldsValuesToTheirRanges) {
  Control c;
  changeEverything(*c.image);
  PropertyBag handEdited;
  handEdited.set("Opacity", int16_t{250});
  handEdited.set("ShadowDepth", int16_t{11});
  handEdited.set("HitTest", int32_t{9});
  handEdited.set("Mirror", int32_t{-1});
  handEdited.set("GrayScale", int32_t{8});
  handEdited.set("Intensity", 400.0f);
  handEdited.set("ShadowX", int32_t{5});  // the wrong type reads as the default
  c.image->ReadProperties(handEdited);
  PropertyBag written;
  c.image->WriteProperties(written);
  EXPECT_TRUE(written.isEmpty()) << keysOf(written).join(",").toStdString();
  EXPECT_EQ(c.image->ImageType(), ImageTypeCode::kNone);
  EXPECT_TRUE(c.image->isEnabled());
  EXPECT_FALSE(c.image->acceptDrops());
}

TEST(ImageControlPersistence, AnUnreadablePictureResetsItsPlacement) {
  PropertyBag bag;
  bag.set("Image", QByteArray(200, 'z'));
  bag.set("Angle", int32_t{30});
  bag.set("Mirror", int32_t{1});
  bag.set("Opacity", int16_t{40});
  bag.set("Scaler", int32_t{4});
  bag.set("ScaleCx", int32_t{10});
  bag.set("ScaleCy", int32_t{12});
  bag.set("ShadowDepth", int16_t{6});
  Control c;
  c.image->ReadProperties(bag);
  EXPECT_EQ(c.image->ImageType(), ImageTypeCode::kNone);
  EXPECT_EQ(c.image->Rotation(), 0);
  EXPECT_EQ(c.image->Mirror(), 0);
  EXPECT_EQ(c.image->Opacity(), 100);
  EXPECT_EQ(c.image->ScaleCx(), 0);
  EXPECT_EQ(c.image->ScaleCy(), 0);
  EXPECT_EQ(c.image->ShadowDepth(), 6);  // not part of the picture's placement
}

// --- What "Image" holds.

TEST(ImageControlSavedPicture, ChangedBitmapSavesTheUnmodifiedPicture) {
  const QImage source = props::distinctPicture(6, 4);
  Control c;
  ASSERT_TRUE(c.image->LoadImage_FromHandle(source));
  c.image->setInversedImage(true);
  c.image->setMirror(3);
  c.image->setMaskUsed(4);
  ASSERT_FALSE(props::samePixels(c.image->picture(), source));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(c.image->GetImageBytes(bytes));
  EXPECT_TRUE(props::decodesTo(bytes, source));
  // Saving did not disturb the shown picture.
  EXPECT_EQ(props::pixelOf(c.image->picture(), 0, 3), 0u);
}

TEST(ImageControlSavedPicture, PngWithoutKeptBytesSavesTheUnmodifiedPicture) {
  const QImage source = props::distinctPicture(5, 5);
  Control c;
  ASSERT_TRUE(c.image->LoadImage_FromArray(props::spanOf(props::pngOf(source))));
  ASSERT_EQ(c.image->ImageType(), ImageTypeCode::kPng);
  c.image->setInversedImage(true);
  c.image->setMirror(1);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(c.image->GetImageBytes(bytes));
  EXPECT_TRUE(props::decodesTo(bytes, source));
}

TEST(ImageControlSavedPicture, KeptSourcesSaveTheirOriginalBytes) {
  icobuild::BitmapEntry wanted;
  wanted.width = wanted.height = 16;
  wanted.bits = 4;
  wanted.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  wanted.pixel = [](int x, int y) { return static_cast<uint32_t>((x + y) % 4); };
  const std::vector<uint8_t> icon = icobuild::iconFile({icobuild::bitmapEntry(wanted)});
  const QByteArray png = props::readFile(props::suite("basn6a08.png"));

  for (const bool designing : {false, true}) {
    Control c;
    c.image->setDesignMode(designing);
    c.image->setKeepOriginalFormat(!designing);
    ASSERT_TRUE(c.image->LoadImage_FromArray(icon, 16, 16));
    c.image->setInversedImage(true);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(c.image->GetImageBytes(bytes));
    EXPECT_EQ(bytes, icon);

    ASSERT_TRUE(c.image->LoadImage_FromArray(props::spanOf(png)));
    ASSERT_TRUE(c.image->GetImageBytes(bytes));
    EXPECT_EQ(bytes, props::vectorOf(png));
  }
}

TEST(ImageControlSavedPicture, IconLoadedAtRunTimeIsStillSaved) {
  icobuild::BitmapEntry wanted;
  wanted.width = wanted.height = 16;
  const std::vector<uint8_t> icon = icobuild::iconFile({icobuild::bitmapEntry(wanted)});
  Control c;
  ASSERT_TRUE(c.image->LoadImage_FromArray(icon, 16, 16));
  PropertyBag bag;
  c.image->WriteProperties(bag);
  ASSERT_TRUE(bag.contains("Image"));
  Control reader;
  reader.image->ReadProperties(bag);
  EXPECT_EQ(reader.image->picture().Width(), 16);
  EXPECT_EQ(props::pixelOf(reader.image->picture(), 3, 3),
            props::pixelOf(c.image->picture(), 3, 3));
}

}  // namespace
