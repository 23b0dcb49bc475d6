// Fading the control's opacity step by step, and the link its window keeps
// for all its image controls.
#include "painting_support.h"

#include "image/cgdiplus.h"

#include <QSignalSpy>

using painting::Stage;

namespace {

class OpacityLog {
 public:
  explicit OpacityLog(aicAlphaImage& control) {
    QObject::connect(&control, &aicAlphaImage::PropertyChanged, &control,
                     [this, &control](const QString& name) {
                       if (name == QLatin1String("Opacity")) values.append(control.Opacity());
                     });
  }
  QList<int32_t> values;
};

// Lets queued events and due timers run for a while, then returns.
void letTimePass(int ms) { QTest::qWait(ms); }

}  // namespace

TEST(ImageControlFade, FadeOutInTenStepsLandsExactlyOnZero) {
  Stage stage;
  aicAlphaImage& control = stage.control();
  ASSERT_EQ(control.Opacity(), 100);
  OpacityLog log(control);
  QSignalSpy terminated(&control, &aicAlphaImage::FadeTerminated);

  control.FadeInOut(0, 10, 5);
  ASSERT_TRUE(terminated.wait(10000));
  EXPECT_EQ(log.values, QList<int32_t>({90, 80, 70, 60, 50, 40, 30, 20, 10, 0}));
  ASSERT_EQ(terminated.count(), 1);
  EXPECT_EQ(terminated.at(0).at(0).toInt(), 0);
  EXPECT_EQ(control.Opacity(), 0);
  letTimePass(50);
  EXPECT_EQ(terminated.count(), 1);
  EXPECT_EQ(log.values.size(), 10);
}

TEST(ImageControlFade, ZeroStepOrTargetAlreadyReachedDoesNothing) {
  Stage stage;
  aicAlphaImage& control = stage.control();
  OpacityLog log(control);
  QSignalSpy terminated(&control, &aicAlphaImage::FadeTerminated);
  control.FadeInOut(50, 0, 100);
  control.FadeInOut(120, 7, 20);  // 120 is taken as 100, the opacity now
  letTimePass(150);
  EXPECT_TRUE(log.values.isEmpty());
  EXPECT_EQ(terminated.count(), 0);
  EXPECT_EQ(control.Opacity(), 100);
}

// A step that would carry the opacity past 100 stops at 100; it never wraps
// round to a small value by the opacity's set rule.
TEST(ImageControlFade, FadeInStopsAtTheTargetWithoutWrapping) {
  Stage stage;
  aicAlphaImage& control = stage.control();
  control.setOpacity(0);
  OpacityLog log(control);
  QSignalSpy terminated(&control, &aicAlphaImage::FadeTerminated);
  control.FadeInOut(100, 30, 10);
  ASSERT_TRUE(terminated.wait(10000));
  EXPECT_EQ(log.values, QList<int32_t>({30, 60, 90, 100}));
  EXPECT_EQ(terminated.at(0).at(0).toInt(), 100);
}

TEST(ImageControlFade, StepSignFollowsTheTargetAndANewFadeReplacesTheOld) {
  Stage stage;
  aicAlphaImage& control = stage.control();
  OpacityLog log(control);
  QSignalSpy terminated(&control, &aicAlphaImage::FadeTerminated);
  control.FadeInOut(0, 1, 10);
  control.FadeInOut(40, -25, 10);  // the sign of the step does not matter
  ASSERT_TRUE(terminated.wait(10000));
  EXPECT_EQ(log.values, QList<int32_t>({75, 50, 40}));
  letTimePass(50);
  ASSERT_EQ(terminated.count(), 1);
  EXPECT_EQ(terminated.at(0).at(0).toInt(), 40);
}

TEST(ImageControlLink, ControlsOfOneWindowShareOneLink) {
  QWidget window;
  cCrossComm* link = cCrossComm::ForWindow(&window);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->refCount(), 1);
  EXPECT_EQ(cCrossComm::ForWindow(&window), link);
  EXPECT_EQ(link->refCount(), 2);
  EXPECT_EQ(link->gdiToken(), ManageGDIToken(window));

  QWidget other;
  cCrossComm* otherLink = cCrossComm::ForWindow(&other);
  EXPECT_NE(otherLink, link);
  otherLink->RemoveRef();

  link->RemoveRef();
  link->RemoveRef();  // the last one: the link is gone, a new one is made
  cCrossComm* fresh = cCrossComm::ForWindow(&window);
  EXPECT_EQ(fresh->refCount(), 1);
  fresh->RemoveRef();
}

TEST(ImageControlLink, TakingTheCaptureReleasesThePreviousHolder) {
  QWidget window;
  auto* first = new aicAlphaImage(&window);
  auto* second = new aicAlphaImage(&window);
  first->setGeometry(0, 0, 10, 10);
  second->setGeometry(10, 0, 10, 10);
  window.resize(20, 10);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  cCrossComm* link = cCrossComm::ForWindow(&window);
  QSignalSpy firstExit(first, &aicAlphaImage::MouseExit);

  QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), first->mapToGlobal(QPointF(5, 5)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(first, &move);
  EXPECT_EQ(link->captureHolder(), first);
  EXPECT_TRUE(first->isMouseOver());

  link->SetCapture(second);
  EXPECT_EQ(link->captureHolder(), second);
  EXPECT_FALSE(first->isMouseOver());
  EXPECT_EQ(firstExit.count(), 1);

  link->ReleaseCapture(first);  // not the holder: nothing changes
  EXPECT_EQ(link->captureHolder(), second);
  link->ReleaseCapture(second);
  EXPECT_EQ(link->captureHolder(), nullptr);
  EXPECT_EQ(link->refCount(), 2);  // this test's and the first control's
  link->RemoveRef();
}
