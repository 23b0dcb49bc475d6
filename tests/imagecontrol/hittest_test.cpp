// Which points of the control hit its picture, for every hit-test mode, and
// how the hit area follows the drawing.
#include "painting_support.h"

#include <QSignalSpy>

using painting::Stage;

namespace {

// A 40 x 40 control showing a disc of radius 12 at its centre (20, 20), drawn
// at its own size.
class DiscStage : public Stage {
 public:
  DiscStage() : Stage({100, 100}) {
    control().setGeometry(10, 10, 40, 40);
    control().setScaleMethod(AlphaImageScale::kActualSize);
    m_loaded = load(painting::discPicture(40, 12, Qt::red));
  }
  bool loaded() const { return m_loaded; }

 private:
  bool m_loaded = false;
};

const QPoint kDiscCentre(20, 20);
const QPoint kBoxCorner(9, 9);      // inside the disc's box, outside the disc
const QPoint kPictureCorner(2, 2);  // outside the disc's box

// Counts the presses that reach the window beneath the control.
class PressCounter : public QObject {
 public:
  int presses = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress) ++presses;
    return false;
  }
};

}  // namespace

TEST(ImageControlHitTest, EachModeHasItsOwnArea) {
  DiscStage stage;
  ASSERT_TRUE(stage.loaded());
  aicAlphaImage& control = stage.control();

  EXPECT_EQ(control.HitTest(), 0);  // the whole control
  EXPECT_TRUE(control.isHit(kPictureCorner));
  EXPECT_TRUE(control.isHit({39, 39}));
  EXPECT_FALSE(control.isHit({40, 40}));

  control.setHitTest(1);  // the box around the visible pixels
  EXPECT_TRUE(control.isHit(kDiscCentre));
  EXPECT_TRUE(control.isHit(kBoxCorner));
  EXPECT_FALSE(control.isHit(kPictureCorner));

  control.setHitTest(3);  // the visible pixels themselves
  EXPECT_TRUE(control.isHit(kDiscCentre));
  EXPECT_FALSE(control.isHit(kBoxCorner));
  EXPECT_FALSE(control.isHit(kPictureCorner));
}

TEST(ImageControlHitTest, ModeTwoTakesOnlyOpaquePixels) {
  Stage stage;
  aicAlphaImage& control = stage.control();
  control.setGeometry(0, 0, 20, 10);
  control.setScaleMethod(AlphaImageScale::kActualSize);
  QImage picture = painting::solidPicture({20, 10}, QColor(0, 0, 255, 200));
  for (int y = 0; y < 10; ++y) {
    for (int x = 10; x < 20; ++x) picture.setPixelColor(x, y, Qt::blue);
  }
  ASSERT_TRUE(stage.load(picture));
  control.setHitTest(2);
  EXPECT_FALSE(control.isHit({5, 5}));
  EXPECT_TRUE(control.isHit({15, 5}));
  control.setHitTest(3);
  EXPECT_TRUE(control.isHit({5, 5}));
}

TEST(ImageControlHitTest, DisabledOrDesignedControlIsHitEverywhere) {
  DiscStage stage;
  ASSERT_TRUE(stage.loaded());
  aicAlphaImage& control = stage.control();
  control.setHitTest(3);
  control.setEnabled(false);
  EXPECT_TRUE(control.isHit(kPictureCorner));
  control.setEnabled(true);
  EXPECT_FALSE(control.isHit(kPictureCorner));
  control.setDesignMode(true);
  EXPECT_TRUE(control.isHit(kPictureCorner));
}

TEST(ImageControlHitTest, AreaFollowsMirrorAndPlacement) {
  Stage stage;
  aicAlphaImage& control = stage.control();
  control.setGeometry(0, 0, 60, 40);
  control.setScaleMethod(AlphaImageScale::kActualSize);
  QImage picture = painting::solidPicture({20, 10}, Qt::transparent);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 5; ++x) picture.setPixelColor(x, y, Qt::red);
  }
  ASSERT_TRUE(stage.load(picture));
  control.setHitTest(3);
  const QRect placed = control.pictureRect();
  ASSERT_EQ(placed, QRect(20, 15, 20, 10));
  EXPECT_TRUE(control.isHit(placed.topLeft() + QPoint(2, 5)));
  EXPECT_FALSE(control.isHit(placed.topLeft() + QPoint(17, 5)));

  control.setMirror(1);
  EXPECT_FALSE(control.isHit(placed.topLeft() + QPoint(2, 5)));
  EXPECT_TRUE(control.isHit(placed.topLeft() + QPoint(17, 5)));

  control.OffsetImage(true, 0, 0);
  EXPECT_EQ(control.pictureRect().topLeft(), QPoint(0, 0));
  EXPECT_TRUE(control.isHit({17, 5}));
  EXPECT_FALSE(control.isHit(placed.topLeft() + QPoint(17, 5)));

  control.OffsetImage(false, 0, 0);
  EXPECT_EQ(control.pictureRect(), placed);
  EXPECT_TRUE(control.isHit(placed.topLeft() + QPoint(17, 5)));
}

// A click on a fully transparent pixel goes to the window beneath: no
// MouseEnter, no Click, and the control does not count as under the mouse.
TEST(ImageControlHitTest, ClickOnTransparentPixelPassesThrough) {
  DiscStage stage;
  ASSERT_TRUE(stage.loaded());
  aicAlphaImage& control = stage.control();
  control.setHitTest(3);
  PressCounter beneath;
  stage.window().installEventFilter(&beneath);
  ASSERT_TRUE(stage.show());
  QSignalSpy entered(&control, &aicAlphaImage::MouseEnter);
  QSignalSpy clicked(&control, &aicAlphaImage::Click);

  // The real pointer goes along, so that the control's own check of where the
  // pointer is agrees with the clicks.
  QCursor::setPos(control.mapToGlobal(kBoxCorner));
  QTest::mouseClick(&control, Qt::LeftButton, {}, kBoxCorner);
  EXPECT_EQ(beneath.presses, 1);
  EXPECT_EQ(entered.count(), 0);
  EXPECT_EQ(clicked.count(), 0);
  EXPECT_FALSE(control.isMouseOver());

  QCursor::setPos(control.mapToGlobal(kDiscCentre));
  QTest::mouseClick(&control, Qt::LeftButton, {}, kDiscCentre);
  EXPECT_EQ(beneath.presses, 1);
  EXPECT_EQ(entered.count(), 1);
  EXPECT_EQ(clicked.count(), 1);
  EXPECT_TRUE(control.isMouseOver());
}
