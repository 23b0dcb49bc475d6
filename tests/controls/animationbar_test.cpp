// The animation bar on a real widget: defaults, the strip, the five styles and
// the pair selection, followed step by step through tick() and, where the timer
// itself matters, through bounded waits on the running widget.
#include "controls/animationbar.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

#include "colornumber_test.h"
#include "controls/colornumber.h"
#include "platform/twips.h"

using Bar = AnimationBar::Bar;

namespace {

// The main window's bar is 3585 twips wide; 239 pixels make 3585 twips exactly.
constexpr int kWidthPixels = 239;
constexpr int kHeightPixels = 13;

// A shown bar of the given size, so that its resize events arrive as they do
// on a window.
std::unique_ptr<AnimationBar> makeBar(int widthPixels = kWidthPixels,
                                      int heightPixels = kHeightPixels) {
  auto bar = std::make_unique<AnimationBar>();
  bar->resize(widthPixels, heightPixels);
  bar->show();
  if (!QTest::qWaitForWindowExposed(bar.get())) qWarning("animation bar not exposed");
  return bar;
}

// Resizes a shown bar and waits (bounded) until the bar has taken the size in.
bool resizeBar(AnimationBar& bar, int widthPixels, int heightPixels) {
  bar.resize(widthPixels, heightPixels);
  return QTest::qWaitFor([&] { return bar.stripTwips().width() == pixelsToTwips(widthPixels); },
                         5000);
}

struct Positions {
  int firstLeft, firstRight, secondLeft, secondRight;
  bool operator==(const Positions&) const = default;
};

Positions positionsOf(const AnimationBar& bar) {
  return {bar.barLeft(Bar::FirstLeft), bar.barLeft(Bar::FirstRight), bar.barLeft(Bar::SecondLeft),
          bar.barLeft(Bar::SecondRight)};
}

bool isParked(const AnimationBar& bar) {
  for (Bar which : {Bar::FirstLeft, Bar::FirstRight, Bar::SecondLeft, Bar::SecondRight}) {
    if (bar.barLeft(which) != bar.barStart(which)) return false;
  }
  return true;
}

}  // namespace

class AnimationBarTest : public QObject {
  Q_OBJECT

 private slots:
  void parksTheBarsOutsideTheStrip();
  void beginDisplayWithNothingSetSlidesTheFirstLeftBarEvery50ms();
  void styleOneWrapsOnceTheRightBarsStartIsReached();
  void styleTwoSlidesTheRightBarLeftAndWraps();
  void styleThreeMovesTheBarsInTurnThenRestarts();
  void styleFourBarsCrossInTheMiddleAndWrapIndependently();
  void stylePulseGrowsWithinTheStripThenShrinksBack();
  void colorBarsMinusOneMovesTheColouredPair();
  void colorBarsOfAnyOtherValueRunsTheTimerButMovesNoBar();
  void givenTimingAndIncrementPaceTheAnimation();
  void negativeIncrementStillComesBack();
  void unknownStyleStartsNothing();
  void stripHeightIsCappedAt315Twips();
  void endDisplayWhileIdleChangesNothingVisible();
  void endDisplayAndResizeStopTheAnimation();
  void atMostOneTimerRunsAcrossRestarts();
  void backgroundColourDefaultsToButtonFace();
  void hiddenBarAnimatesAtItsOwnSizeAndKeepsRunningWhenShown();
  void screenshotOfARunningBar();
};

void AnimationBarTest::parksTheBarsOutsideTheStrip() {
  auto bar = makeBar();
  const int stripWidth = pixelsToTwips(kWidthPixels);
  QCOMPARE(bar->stripTwips(), QRect(0, 0, stripWidth, pixelsToTwips(kHeightPixels)));
  QCOMPARE(bar->barLeft(Bar::FirstLeft), -bar->barWidth(Bar::FirstLeft) - 150);
  QCOMPARE(bar->barLeft(Bar::SecondLeft), -bar->barWidth(Bar::SecondLeft) - 150);
  QCOMPARE(bar->barLeft(Bar::FirstRight), stripWidth + 150);
  QCOMPARE(bar->barLeft(Bar::SecondRight), stripWidth + 150);
  QVERIFY(isParked(*bar));
  QCOMPARE(bar->runningTimerCount(), 0);
  QVERIFY(!bar->isPulseVisible());
}

void AnimationBarTest::beginDisplayWithNothingSetSlidesTheFirstLeftBarEvery50ms() {
  auto bar = makeBar();
  const Positions parked = positionsOf(*bar);
  bar->BeginDisplay();
  QCOMPARE(bar->runningStyle(), 1);
  QCOMPARE(bar->runningTimerInterval(), 50);
  QCOMPARE(bar->runningTimerCount(), 1);

  bar->tick();
  QCOMPARE(positionsOf(*bar), (Positions{parked.firstLeft + 200, parked.firstRight,
                                         parked.secondLeft, parked.secondRight}));
  bar->tick();
  QCOMPARE(bar->barLeft(Bar::FirstLeft), parked.firstLeft + 400);

  // The timer itself drives it too.
  const int before = bar->barLeft(Bar::FirstLeft);
  QTRY_VERIFY_WITH_TIMEOUT(bar->barLeft(Bar::FirstLeft) != before, 5000);
  QCOMPARE(bar->barLeft(Bar::SecondLeft), parked.secondLeft);
}

void AnimationBarTest::styleOneWrapsOnceTheRightBarsStartIsReached() {
  auto bar = makeBar();
  bar->BeginDisplay();
  const int start = bar->barStart(Bar::FirstLeft);
  const int target = bar->barStart(Bar::FirstRight);
  int ticks = 0;
  while (bar->barLeft(Bar::FirstLeft) < target && ticks < 1000) {
    bar->tick();
    ++ticks;
  }
  QCOMPARE(bar->barLeft(Bar::FirstLeft), start + ticks * 200);
  bar->tick();
  QCOMPARE(bar->barLeft(Bar::FirstLeft), start);
  bar->tick();
  QCOMPARE(bar->barLeft(Bar::FirstLeft), start + 200);
  QCOMPARE(bar->barLeft(Bar::FirstRight), target);
}

void AnimationBarTest::styleTwoSlidesTheRightBarLeftAndWraps() {
  auto bar = makeBar();
  bar->setStyle(2);
  bar->BeginDisplay();
  const int start = bar->barStart(Bar::FirstRight);
  const int limit = bar->barStart(Bar::FirstLeft);
  bar->tick();
  QCOMPARE(bar->barLeft(Bar::FirstRight), start - 200);
  QCOMPARE(bar->barLeft(Bar::FirstLeft), limit);
  int ticks = 1;
  while (bar->barLeft(Bar::FirstRight) > limit && ticks < 1000) {
    bar->tick();
    ++ticks;
  }
  QVERIFY(bar->barLeft(Bar::FirstRight) <= limit);
  bar->tick();
  QCOMPARE(bar->barLeft(Bar::FirstRight), start);
}

void AnimationBarTest::styleThreeMovesTheBarsInTurnThenRestarts() {
  auto bar = makeBar();
  bar->setStyle(3);
  bar->BeginDisplay();
  const Positions parked = positionsOf(*bar);

  // First only the left bar travels, all the way to the right bar's start.
  int ticks = 0;
  while (bar->barLeft(Bar::FirstLeft) < parked.firstRight && ticks < 1000) {
    bar->tick();
    QCOMPARE(bar->barLeft(Bar::FirstRight), parked.firstRight);
    ++ticks;
  }
  // Then only the right bar travels, back to the left bar's start.
  const int leftAtEnd = bar->barLeft(Bar::FirstLeft);
  ticks = 0;
  while (bar->barLeft(Bar::FirstRight) > parked.firstLeft && ticks < 1000) {
    bar->tick();
    QCOMPARE(bar->barLeft(Bar::FirstLeft), leftAtEnd);
    ++ticks;
  }
  QVERIFY(ticks > 0);
  // Then both start over.
  bar->tick();
  QCOMPARE(positionsOf(*bar), parked);
  bar->tick();
  QCOMPARE(bar->barLeft(Bar::FirstLeft), parked.firstLeft + 200);
}

void AnimationBarTest::styleFourBarsCrossInTheMiddleAndWrapIndependently() {
  auto bar = makeBar();
  bar->setStyle(4);
  bar->BeginDisplay();
  const Positions parked = positionsOf(*bar);
  const int middle = bar->stripTwips().width() / 2;

  bool crossed = false;
  int leftWraps = 0;
  int rightWraps = 0;
  for (int i = 0; i < 200; ++i) {
    const int leftBefore = bar->barLeft(Bar::FirstLeft);
    const int rightBefore = bar->barLeft(Bar::FirstRight);
    bar->tick();
    const int left = bar->barLeft(Bar::FirstLeft);
    const int right = bar->barLeft(Bar::FirstRight);
    // Both move on every tick, in opposite directions (or jump back home).
    QVERIFY(left == leftBefore + 200 || left == parked.firstLeft);
    QVERIFY(right == rightBefore - 200 || right == parked.firstRight);
    if (left == parked.firstLeft) ++leftWraps;
    if (right == parked.firstRight) ++rightWraps;
    const int leftCentre = left + bar->barWidth(Bar::FirstLeft) / 2;
    const int rightCentre = right + bar->barWidth(Bar::FirstRight) / 2;
    if (!crossed && leftCentre >= rightCentre && leftWraps == 0) {
      crossed = true;
      QVERIFY2(qAbs(leftCentre - middle) <= 400, "the bars cross near the middle of the strip");
    }
  }
  QVERIFY(crossed);
  QVERIFY(leftWraps > 0);
  QVERIFY(rightWraps > 0);
  QCOMPARE(bar->barLeft(Bar::SecondLeft), parked.secondLeft);
  QCOMPARE(bar->barLeft(Bar::SecondRight), parked.secondRight);
}

void AnimationBarTest::stylePulseGrowsWithinTheStripThenShrinksBack() {
  auto bar = makeBar();
  bar->setStyle(5);
  bar->setPulseColor("255");
  bar->BeginDisplay();
  QVERIFY(bar->isPulseVisible());
  QCOMPARE(bar->pulseTwips().width(), 0);
  const QRect strip = bar->stripTwips();

  QList<int> widths;
  for (int i = 0; i < 60; ++i) {
    bar->tick();
    const QRect block = bar->pulseTwips();
    widths << block.width();
    QCOMPARE(block.left(), strip.left() + strip.width() / 2 - block.width() / 2 - 150);
    QVERIFY2(block.left() >= strip.left() && block.left() + block.width() <= strip.right() + 1,
             "the pulse stays inside the strip");
  }
  QCOMPARE(widths.at(0), 200);
  QCOMPARE(widths.at(1), 400);
  const int widest = *std::max_element(widths.begin(), widths.end());
  const int peak = widths.indexOf(widest);
  QVERIFY(widest > strip.width() / 2);
  QCOMPARE(widths.at(peak + 1), widest - 200);
  const int empty = widths.indexOf(0, peak);
  QVERIFY2(empty > peak, "the block shrinks back to nothing");
  QCOMPARE(widths.at(empty + 1), 200);
  // The bars stay parked while the block pulses.
  QVERIFY(isParked(*bar));
}

void AnimationBarTest::colorBarsMinusOneMovesTheColouredPair() {
  auto bar = makeBar();
  bar->setColorBars(-1);
  bar->setStyle(4);
  bar->setLeftColorBarColor("255");        // red
  bar->setRightColorBarColor("&H00FF00");  // green
  QCOMPARE(bar->barColor(Bar::SecondLeft), QColor(0, 0, 128));
  bar->BeginDisplay();
  QCOMPARE(bar->barColor(Bar::SecondLeft), QColor(255, 0, 0));
  QCOMPARE(bar->barColor(Bar::SecondRight), QColor(0, 255, 0));

  const Positions parked = positionsOf(*bar);
  bar->tick();
  QCOMPARE(positionsOf(*bar), (Positions{parked.firstLeft, parked.firstRight,
                                         parked.secondLeft + 200, parked.secondRight - 200}));
}

void AnimationBarTest::colorBarsOfAnyOtherValueRunsTheTimerButMovesNoBar() {
  for (int style = 1; style <= 4; ++style) {
    auto bar = makeBar();
    bar->setColorBars(1);
    bar->setStyle(style);
    bar->BeginDisplay();
    QCOMPARE(bar->runningStyle(), style);
    for (int i = 0; i < 30; ++i) bar->tick();
    QVERIFY(isParked(*bar));
  }
  // The colours are still applied to the second pair.
  auto bar = makeBar();
  bar->setColorBars(1);
  bar->BeginDisplay();
  QCOMPARE(bar->barColor(Bar::SecondRight), QColor(0, 0, 128));
}

void AnimationBarTest::givenTimingAndIncrementPaceTheAnimation() {
  auto bar = makeBar();
  bar->setTiming(120);
  bar->setIncrement(75);
  bar->BeginDisplay();
  QCOMPARE(bar->runningTimerInterval(), 120);
  const int start = bar->barLeft(Bar::FirstLeft);
  bar->tick();
  QCOMPARE(bar->barLeft(Bar::FirstLeft), start + 75);
}

void AnimationBarTest::negativeIncrementStillComesBack() {
  auto bar = makeBar();
  bar->setIncrement(-300);
  bar->setStyle(4);
  bar->BeginDisplay();
  const Positions parked = positionsOf(*bar);
  bar->tick();
  QCOMPARE(bar->barLeft(Bar::FirstLeft), parked.firstLeft + 300);
  QCOMPARE(bar->barLeft(Bar::FirstRight), parked.firstRight - 300);
  int wraps = 0;
  for (int i = 0; i < 100; ++i) {
    bar->tick();
    if (bar->barLeft(Bar::FirstLeft) == parked.firstLeft) ++wraps;
  }
  QVERIFY(wraps > 0);
}

void AnimationBarTest::unknownStyleStartsNothing() {
  for (int style : {6, -1, 1000}) {
    auto bar = makeBar();
    bar->setStyle(style);
    bar->BeginDisplay();
    QCOMPARE(bar->runningTimerCount(), 0);
    bar->tick();
    QVERIFY(isParked(*bar));
    QVERIFY(!bar->isPulseVisible());
  }
}

void AnimationBarTest::stripHeightIsCappedAt315Twips() {
  // Heights are whole pixels: 510 twips is 34 pixels, 195 twips is 13.
  auto tall = makeBar(kWidthPixels, 34);
  QCOMPARE(tall->stripTwips().height(), 315);
  QCOMPARE(tall->stripTwips().width(), pixelsToTwips(kWidthPixels));
  auto low = makeBar(kWidthPixels, 13);
  QCOMPARE(low->stripTwips().height(), 195);
  auto exact = makeBar(kWidthPixels, 21);
  QCOMPARE(exact->stripTwips().height(), 315);

  // The strip follows later resizes, and the parked right bars follow its width.
  QVERIFY(resizeBar(*low, 100, 40));
  QCOMPARE(low->stripTwips(), QRect(0, 0, 1500, 315));
  QCOMPARE(low->barLeft(Bar::FirstRight), 1500 + 150);
}

void AnimationBarTest::endDisplayWhileIdleChangesNothingVisible() {
  QWidget window;
  auto* bar = new AnimationBar(&window);
  bar->setGeometry(0, 0, kWidthPixels, kHeightPixels);
  window.resize(kWidthPixels, kHeightPixels);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));

  const QImage before = bar->grab().toImage();
  const Positions parked = positionsOf(*bar);
  bar->EndDisplay();
  QCOMPARE(positionsOf(*bar), parked);
  QCOMPARE(bar->runningTimerCount(), 0);
  QCOMPARE(bar->grab().toImage(), before);
}

void AnimationBarTest::endDisplayAndResizeStopTheAnimation() {
  auto bar = makeBar();
  bar->setStyle(5);
  bar->BeginDisplay();
  bar->tick();
  bar->EndDisplay();
  QCOMPARE(bar->runningTimerCount(), 0);
  QVERIFY(!bar->isPulseVisible());

  bar->setStyle(4);
  bar->BeginDisplay();
  bar->tick();
  bar->tick();
  QVERIFY(!isParked(*bar));
  QVERIFY(resizeBar(*bar, kWidthPixels + 30, kHeightPixels));
  QCOMPARE(bar->runningTimerCount(), 0);
  QVERIFY(isParked(*bar));
  QCOMPARE(bar->barLeft(Bar::FirstRight), pixelsToTwips(kWidthPixels + 30) + 150);
}

void AnimationBarTest::atMostOneTimerRunsAcrossRestarts() {
  auto bar = makeBar();
  for (int style = 1; style <= 5; ++style) {
    bar->setStyle(style);
    bar->BeginDisplay();
    QCOMPARE(bar->runningTimerCount(), 1);
    QCOMPARE(bar->runningStyle(), style);
  }
  // Calling BeginDisplay again restarts from the parked positions.
  bar->setStyle(1);
  bar->BeginDisplay();
  bar->tick();
  bar->BeginDisplay();
  QVERIFY(isParked(*bar));
  QCOMPARE(bar->runningTimerCount(), 1);
}

void AnimationBarTest::backgroundColourDefaultsToButtonFace() {
  auto bar = makeBar();
  QPalette palette = bar->palette();
  palette.setColor(QPalette::Button, QColor(10, 20, 30));
  bar->setPalette(palette);
  QCOMPARE(bar->stripColor(), QColor(10, 20, 30));

  bar->setBackGroundColor("255");
  QCOMPARE(bar->stripColor(), QColor(10, 20, 30));  // only applied on request
  bar->ApplyBackGroundColor();
  QCOMPARE(bar->stripColor(), QColor(255, 0, 0));

  bar->setBackGroundColor("");
  bar->ApplyBackGroundColor();
  QCOMPARE(bar->stripColor(), QColor(10, 20, 30));
}

void AnimationBarTest::hiddenBarAnimatesAtItsOwnSizeAndKeepsRunningWhenShown() {
  QWidget window;
  auto* bar = new AnimationBar(&window);
  bar->setGeometry(0, 0, 100, 13);
  bar->setStyle(4);
  bar->BeginDisplay();
  QCOMPARE(bar->stripTwips().width(), 1500);
  QCOMPARE(bar->barLeft(Bar::FirstRight), 1500 + 150);
  bar->tick();
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QCOMPARE(bar->runningStyle(), 4);
}

void AnimationBarTest::screenshotOfARunningBar() {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  QList<AnimationBar*> bars;
  for (int style = 1; style <= 5; ++style) {
    auto* bar = new AnimationBar(&window);
    bar->setFixedSize(kWidthPixels, 21);
    bar->setStyle(style);
    if (style == 3) {
      bar->setColorBars(-1);
      bar->setLeftColorBarColor(QString::number(0x2060E0));
      bar->setRightColorBarColor(QString::number(0xE06020));
    }
    layout->addWidget(bar);
    bars << bar;
  }
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  for (AnimationBar* bar : bars) {
    bar->BeginDisplay();
    for (int i = 0; i < 8; ++i) bar->tick();
  }
  const QString folder =
      qEnvironmentVariable("VANTREL_BINARY_DIR", QCoreApplication::applicationDirPath()) +
      "/screenshots";
  QVERIFY(QDir().mkpath(folder));
  QVERIFY(window.grab().save(folder + "/animation-bar-styles.png"));
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int failures = 0;
  {
    AnimationBarTest test;
    failures += QTest::qExec(&test, argc, argv);
  }
  {
    ColorNumberTest test;
    failures += QTest::qExec(&test, argc, argv);
  }
  return failures;
}

#include "animationbar_test.moc"
