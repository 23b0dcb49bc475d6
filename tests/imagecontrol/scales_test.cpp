// The drawn size of the picture for each scale method, upright and in the
// rotated form, worked out by hand for a 40 x 20 and a 30 x 40 picture.
#include "image/control/aicalphaimage.h"
#include "props_pictures.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

struct Control {
  QWidget window;
  aicAlphaImage* image = new aicAlphaImage(&window);
  explicit Control(int pictureWidth, int pictureHeight) {
    image->resize(120, 90);
    EXPECT_TRUE(image->LoadImage_FromHandle(props::distinctPicture(pictureWidth, pictureHeight)));
  }
};

struct Scaled {
  int32_t width = -1;
  int32_t height = -1;
  bool operator==(const Scaled&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Scaled& s) {
  return out << s.width << " x " << s.height;
}

Scaled scales(const aicAlphaImage& image, int32_t method, int32_t desiredWidth,
              int32_t desiredHeight, bool rotated = false) {
  Scaled s;
  EXPECT_TRUE(
      image.GetImageScales(s.width, s.height, method, desiredWidth, desiredHeight, rotated));
  return s;
}

TEST(ImageControlScales, WithoutAPictureNothingIsTouched) {
  QWidget window;
  aicAlphaImage image(&window);
  int32_t width = 11, height = 22;
  EXPECT_FALSE(image.GetImageScales(width, height, 1, 100, 100));
  EXPECT_EQ(width, 11);
  EXPECT_EQ(height, 22);
}

TEST(ImageControlScales, EachMethodUpright) {
  Control c(40, 20);
  c.image->setScaleCustomSize(33, 44);
  // Fit: 100/40 = 2.5 and 100/20 = 5, the smaller wins.
  EXPECT_EQ(scales(*c.image, 0, 100, 100), (Scaled{100, 50}));
  EXPECT_EQ(scales(*c.image, 1, 100, 70), (Scaled{100, 70}));
  EXPECT_EQ(scales(*c.image, 2, 100, 100), (Scaled{40, 20}));  // never enlarged
  EXPECT_EQ(scales(*c.image, 2, 30, 100), (Scaled{30, 15}));   // but made smaller
  EXPECT_EQ(scales(*c.image, 0, 30, 7), (Scaled{14, 7}));      // 7/20 = 0.35; 40 * 0.35 = 14
  EXPECT_EQ(scales(*c.image, 0, 25, 100), (Scaled{25, 13}));   // 12.5 rounds up
  EXPECT_EQ(scales(*c.image, 3, 100, 100), (Scaled{40, 20}));
  EXPECT_EQ(scales(*c.image, 4, 100, 100), (Scaled{33, 44}));
}

TEST(ImageControlScales, MethodAndDesiredSizeDefaults) {
  Control c(40, 20);
  c.image->setScaleMethod(1);
  c.image->setScaleCustomSize(5, 6);
  EXPECT_EQ(scales(*c.image, -1, 70, 60), (Scaled{70, 60}));  // the current method
  EXPECT_EQ(scales(*c.image, 9, 70, 60), (Scaled{5, 6}));     // above 4 is 4
  EXPECT_EQ(scales(*c.image, 1, 0, -5), (Scaled{120, 90}));   // the control's size
  EXPECT_EQ(scales(*c.image, 0, 0, 0), (Scaled{120, 60}));    // fit into 120 x 90
}

TEST(ImageControlScales, RotatedFormUsesTheDiagonal) {
  // 30 x 40 has the diagonal 50.
  Control c(30, 40);
  c.image->setScaleCustomSize(8, 9);
  EXPECT_EQ(scales(*c.image, 1, 100, 80, true), (Scaled{60, 64}));  // 100*30/50, 80*40/50
  EXPECT_EQ(scales(*c.image, 0, 100, 80, true), (Scaled{48, 64}));  // 80*30/50, 80*40/50
  EXPECT_EQ(scales(*c.image, 2, 100, 80, true), (Scaled{30, 40}));  // 48 x 64 would enlarge
  EXPECT_EQ(scales(*c.image, 2, 25, 60, true), (Scaled{15, 20}));   // 25*30/50, 25*40/50
  EXPECT_EQ(scales(*c.image, 3, 100, 80, true), (Scaled{30, 40}));
  EXPECT_EQ(scales(*c.image, 4, 100, 80, true), (Scaled{8, 9}));

  // 40 x 20: diagonal sqrt(2000) = 44.72, taken as 45.
  Control wide(40, 20);
  EXPECT_EQ(scales(*wide.image, 0, 90, 90, true), (Scaled{80, 40}));  // 90*40/45, 90*20/45
}

}  // namespace
