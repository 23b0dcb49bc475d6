// What the image control draws on its window: the picture blended over what
// lies beneath, its soft shadow underneath it, opacity, rotation, layout and
// the AutoRedraw cache. Every expectation is worked out from the colours put
// in, not from the drawing code.
#include "painting_support.h"

#include <set>

using painting::blended;
using painting::near;
using painting::Stage;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 160, 0);

}  // namespace

TEST(ImageControlPainting, HalfTransparentPictureBlendsWithTheWindowBeneath) {
  Stage stage({120, 80}, kBlue);
  aicAlphaImage& control = stage.control();
  control.setGeometry(10, 10, 40, 40);
  control.setScaleMethod(AlphaImageScale::kActualSize);
  QImage picture = painting::solidPicture({40, 40}, QColor(255, 0, 0, 128));
  // The right half is fully opaque, a 10-pixel strip at the bottom fully clear.
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      if (y >= 30)
        picture.setPixelColor(x, y, Qt::transparent);
      else if (x >= 20)
        picture.setPixelColor(x, y, QColor(255, 0, 0));
    }
  }
  ASSERT_TRUE(stage.load(picture));
  ASSERT_TRUE(stage.show());

  const QImage shot = stage.grab();
  EXPECT_TRUE(near(shot.pixelColor(15, 20), blended(QColor(255, 0, 0, 128), kBlue)));
  EXPECT_TRUE(near(shot.pixelColor(40, 20), QColor(255, 0, 0), 0));
  EXPECT_TRUE(near(shot.pixelColor(25, 45), kBlue, 0));
  EXPECT_TRUE(near(shot.pixelColor(100, 60), kBlue, 0));

  // Without the image service, grayscale and lightness draw through the own
  // blender: the window still shows through the clear strip and, grayed,
  // through the half-transparent part.
  control.setGDIplusAllowed(false);
  ASSERT_FALSE(control.GDIplusEnabled());
  control.setGrayScale(1);
  control.setIntensityOffset(10);
  const QImage grayed = stage.grab();
  EXPECT_TRUE(near(grayed.pixelColor(25, 45), kBlue, 0));
  EXPECT_GT(grayed.pixelColor(15, 20).blue(), 100);
  const QColor opaqueGray = grayed.pixelColor(40, 20);
  EXPECT_EQ(opaqueGray.red(), opaqueGray.blue());
}

TEST(ImageControlPainting, NoPictureLeavesTheWindowAsItIs) {
  Stage stage({60, 60}, kBlue);
  stage.control().setGeometry(0, 0, 60, 60);
  ASSERT_TRUE(stage.show());
  const QImage shot = stage.grab();
  for (const QPoint p : {QPoint(0, 0), QPoint(30, 30), QPoint(59, 59)}) {
    EXPECT_TRUE(near(shot.pixelColor(p), kBlue, 0));
  }
}

TEST(ImageControlPainting, SoftShadowLiesUnderThePicture) {
  Stage stage({120, 120});
  aicAlphaImage& control = stage.control();
  control.setGeometry(0, 0, 120, 120);
  control.setScaleMethod(AlphaImageScale::kActualSize);
  control.setShadowColor(0);
  control.setShadowOpacity(100);
  control.setShadowDepth(5);
  control.OffsetShadow(6, 6);
  control.setShadowEnabled(true);
  ASSERT_TRUE(stage.load(painting::solidPicture({40, 40}, kGreen)));
  ASSERT_TRUE(stage.show());

  const QRect picture = control.pictureRect();
  ASSERT_EQ(picture.size(), QSize(40, 40));
  const QImage shot = stage.grab();
  // Where picture and shadow overlap, only the picture shows.
  EXPECT_TRUE(near(shot.pixelColor(picture.bottomRight()), kGreen, 0));
  EXPECT_TRUE(near(shot.pixelColor(picture.center()), kGreen, 0));
  // Nothing on the side away from the offset.
  EXPECT_TRUE(near(shot.pixelColor(picture.topLeft() - QPoint(2, 2)), Qt::white, 0));

  // Right of the picture, the shadow fades from dark to the window's white in
  // many steps, never getting darker on the way out.
  const int y = picture.center().y();
  std::set<int> greys;
  int previous = -1;
  for (int x = picture.right() + 1; x < picture.right() + 30; ++x) {
    const int grey = shot.pixelColor(x, y).red();
    EXPECT_GE(grey, previous) << "at x " << x;
    previous = grey;
    if (grey > 0 && grey < 255) greys.insert(grey);
  }
  EXPECT_GE(greys.size(), 5u);
  EXPECT_LT(shot.pixelColor(picture.right() + 3, y).red(), 128);
  EXPECT_EQ(previous, 255);
}

// The shadow is as strong as ShadowOpacity x Opacity / 100, with the picture
// itself at Opacity, whether it is blurred on the fly (picture drawn at its own
// size) or prepared beforehand (a smaller picture fitted to the same size).
TEST(ImageControlPainting, ShadowStrengthIsTheProductOfBothOpacities) {
  for (const int32_t method : {AlphaImageScale::kActualSize, AlphaImageScale::kFit}) {
    SCOPED_TRACE(method == AlphaImageScale::kFit ? "enlarged" : "own size");
    Stage stage({160, 100});
    aicAlphaImage& control = stage.control();
    control.setScaleMethod(method);
    control.setShadowColor(0);
    control.setShadowDepth(0);
    control.setShadowOpacity(60);
    control.OffsetShadow(30, 0);
    control.setShadowEnabled(true);
    control.setOpacity(50);
    const int side = method == AlphaImageScale::kFit ? 10 : 20;
    ASSERT_TRUE(stage.load(painting::solidPicture({side, side}, kGreen)));
    control.setGeometry(10, 10, 90, 20);
    ASSERT_TRUE(stage.show());

    const QRect picture = control.pictureRect().translated(control.pos());
    ASSERT_EQ(picture.size(), QSize(20, 20));
    const QImage shot = stage.grab();
    const QPoint inPicture(picture.left() + 5, picture.center().y());
    const QPoint inShadow(picture.right() + 25, picture.center().y());
    EXPECT_TRUE(near(shot.pixelColor(inPicture), blended(QColor(0, 160, 0, 128), Qt::white)));
    EXPECT_TRUE(near(shot.pixelColor(inShadow), blended(QColor(0, 0, 0, 77), Qt::white)));
  }
}

// AutoSize gives the control the picture's size, as GetImageScales has it; a
// shadow reaching past the control is cut at its edge.
TEST(ImageControlPainting, AutoSizeTakesThePictureSizeAndCutsTheShadow) {
  Stage stage({200, 150});
  aicAlphaImage& control = stage.control();
  control.move(20, 20);
  control.setScaleMethod(AlphaImageScale::kActualSize);
  control.setShadowColor(0);
  control.setShadowOpacity(100);
  control.setShadowDepth(3);
  control.OffsetShadow(4, 4);
  control.setShadowEnabled(true);
  control.setAutoSize(true);
  ASSERT_TRUE(stage.load(painting::solidPicture({30, 20}, kGreen)));
  ASSERT_TRUE(stage.show());

  EXPECT_EQ(control.size(), QSize(30, 20));
  EXPECT_EQ(control.pictureRect(), QRect(0, 0, 30, 20));
  const QImage shot = stage.grab();
  const QPoint corner = control.geometry().bottomRight();
  EXPECT_TRUE(near(shot.pixelColor(corner), kGreen, 0));
  EXPECT_TRUE(near(shot.pixelColor(corner + QPoint(2, 0)), Qt::white, 0));
  EXPECT_TRUE(near(shot.pixelColor(corner + QPoint(0, 2)), Qt::white, 0));
}

// A picture larger than any screen is drawn at its actual size all the same.
TEST(ImageControlPainting, LargePictureKeepsItsActualSize) {
  Stage stage;
  aicAlphaImage& control = stage.control();
  control.setScaleMethod(AlphaImageScale::kActualSize);
  control.setAutoSize(true);
  ASSERT_TRUE(stage.load(painting::solidPicture({2100, 2100}, kGreen)));
  EXPECT_EQ(control.size(), QSize(2100, 2100));
  EXPECT_EQ(control.pictureRect(), QRect(0, 0, 2100, 2100));
}

TEST(ImageControlPainting, PictureIsCentredAndFittedToTheControl) {
  Stage stage;
  aicAlphaImage& control = stage.control();
  control.setGeometry(0, 0, 100, 60);
  ASSERT_TRUE(stage.load(painting::solidPicture({20, 10}, kGreen)));
  EXPECT_EQ(control.pictureRect(), QRect(0, 5, 100, 50));
  control.setScaleMethod(AlphaImageScale::kActualSize);
  EXPECT_EQ(control.pictureRect(), QRect(40, 25, 20, 10));
  ASSERT_TRUE(stage.show());
  control.resize(120, 80);
  EXPECT_EQ(control.pictureRect(), QRect(50, 35, 20, 10));
}

TEST(ImageControlPainting, RotationTurnsThePictureAboutItsCentre) {
  Stage stage({100, 100});
  aicAlphaImage& control = stage.control();
  control.setGeometry(0, 0, 100, 100);
  control.setScaleMethod(AlphaImageScale::kActualSize);
  control.setRotateEnabled(true);
  ASSERT_TRUE(stage.load(painting::solidPicture({40, 20}, kGreen)));
  // The square that holds the picture at every angle: its diagonal, 45.
  EXPECT_EQ(control.pictureRect().size(), QSize(45, 45));
  const QPoint centre = control.pictureRect().center();
  ASSERT_TRUE(stage.show());

  QImage shot = stage.grab();
  EXPECT_TRUE(near(shot.pixelColor(centre + QPoint(17, 0)), kGreen, 0));
  EXPECT_TRUE(near(shot.pixelColor(centre + QPoint(0, 15)), Qt::white, 0));

  control.setRotation(90);
  shot = stage.grab();
  EXPECT_TRUE(near(shot.pixelColor(centre + QPoint(0, 17)), kGreen, 2));
  EXPECT_TRUE(near(shot.pixelColor(centre + QPoint(0, -17)), kGreen, 2));
  EXPECT_TRUE(near(shot.pixelColor(centre + QPoint(17, 0)), Qt::white, 0));
  EXPECT_TRUE(near(shot.pixelColor(centre + QPoint(-17, 0)), Qt::white, 0));
}

TEST(ImageControlPainting, AutoRedrawCacheLooksLikeTheDirectDrawing) {
  Stage stage({100, 100});
  aicAlphaImage& control = stage.control();
  control.setGeometry(0, 0, 100, 100);
  control.setRotateEnabled(true);
  control.setRotation(30);
  ASSERT_TRUE(stage.load(painting::discPicture(40, 15, QColor(200, 40, 40))));
  ASSERT_TRUE(stage.show());
  const QImage direct = stage.grab();

  control.setAutoRedraw(true);
  EXPECT_EQ(stage.grab(), direct);

  // Colour effects and opacity still apply to the cached drawing.
  control.setGrayScale(1);
  control.setOpacity(50);
  const QColor grey = stage.grab().pixelColor(control.pictureRect().center());
  EXPECT_EQ(grey.red(), grey.green());
  EXPECT_EQ(grey.green(), grey.blue());
  EXPECT_GT(grey.red(), 100);  // half of a mid grey over white
}

// Stretched and turnable, the picture takes the control's proportions, not its
// own: a square picture in a wide control is drawn wide.
TEST(ImageControlPainting, TurnableStretchedPictureKeepsTheControlsProportions) {
  Stage stage({140, 100});
  aicAlphaImage& control = stage.control();
  control.setGeometry(20, 25, 100, 50);
  control.setScaleMethod(AlphaImageScale::kStretch);
  control.setRotateEnabled(true);
  ASSERT_TRUE(stage.load(painting::solidPicture({20, 20}, kGreen)));
  ASSERT_TRUE(stage.show());
  const QPoint centre = control.pictureRect().center() + control.pos();
  const QImage shot = stage.grab();
  EXPECT_TRUE(near(shot.pixelColor(centre + QPoint(30, 0)), kGreen, 0));
  EXPECT_TRUE(near(shot.pixelColor(centre + QPoint(0, 15)), kGreen, 0));
  EXPECT_TRUE(near(shot.pixelColor(centre + QPoint(0, 21)), Qt::white, 0));
  EXPECT_TRUE(near(shot.pixelColor(centre + QPoint(38, 0)), Qt::white, 0));
}
