#include "controls/animationbar.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <algorithm>
#include <cstdlib>

#include "controls/colornumber.h"
#include "platform/twips.h"

namespace {

constexpr std::int32_t kDefaultStyle = 1;
constexpr std::int16_t kDefaultTiming = 50;
constexpr std::int16_t kDefaultIncrement = 200;
constexpr std::int16_t kFirstPairSelected = 0;
constexpr std::int16_t kSecondPairSelected = -1;
constexpr std::uint32_t kDefaultBarColorNumber = 0x800000;  // navy: blue 0x80 in 0x00BBGGRR

// Design of the bars: the first pair is a calm green, the coloured second pair
// a little narrower so the two pairs are told apart when both are in use.
constexpr int kFirstPairWidthTwips = 900;
constexpr int kSecondPairWidthTwips = 600;
const QColor kFirstPairColor(46, 158, 68);

// The bars and the pulse keep this distance from the strip's top and bottom
// edges, so the border stays visible around them.
constexpr int kInsetPixels = 2;

QString defaultBarColorText() { return QString::number(kDefaultBarColorNumber); }

std::uint32_t colorNumberOr(const QString& text, std::uint32_t fallback) {
  return parseColorNumber(text).value_or(fallback);
}

}  // namespace

AnimationBar::AnimationBar(QWidget* parent)
    : QWidget(parent),
      m_stripColorNumber(kButtonFaceColorNumber),
      m_pulseColorNumber(kDefaultBarColorNumber) {
  state(Bar::FirstLeft).width = kFirstPairWidthTwips;
  state(Bar::FirstRight).width = kFirstPairWidthTwips;
  state(Bar::SecondLeft).width = kSecondPairWidthTwips;
  state(Bar::SecondRight).width = kSecondPairWidthTwips;
  state(Bar::SecondLeft).colorNumber = kDefaultBarColorNumber;
  state(Bar::SecondRight).colorNumber = kDefaultBarColorNumber;

  for (int index = 0; index < kStyleCount; ++index) {
    const int style = index + 1;
    connect(&m_timers[index], &QTimer::timeout, this, [this, style] { step(style); });
  }
  setAttribute(Qt::WA_OpaquePaintEvent);
  reset();
}

AnimationBar::~AnimationBar() = default;

void AnimationBar::setStyle(std::int32_t style) { m_style = style; }
void AnimationBar::setTiming(std::int16_t milliseconds) { m_timing = milliseconds; }
void AnimationBar::setIncrement(std::int16_t twips) { m_increment = twips; }
void AnimationBar::setColorBars(std::int16_t selection) { m_colorBars = selection; }
void AnimationBar::setLeftColorBarColor(const QString& colorNumber) {
  m_leftColorBarColor = colorNumber;
}
void AnimationBar::setRightColorBarColor(const QString& colorNumber) {
  m_rightColorBarColor = colorNumber;
}
void AnimationBar::setPulseColor(const QString& colorNumber) { m_pulseColor = colorNumber; }
void AnimationBar::setBackGroundColor(const QString& colorNumber) {
  m_backGroundColor = colorNumber;
}

void AnimationBar::BeginDisplay() {
  reset();

  if (m_leftColorBarColor.isEmpty()) m_leftColorBarColor = defaultBarColorText();
  if (m_rightColorBarColor.isEmpty()) m_rightColorBarColor = defaultBarColorText();
  if (m_pulseColor.isEmpty()) m_pulseColor = defaultBarColorText();
  if (m_timing == 0) m_timing = kDefaultTiming;
  if (m_increment == 0) m_increment = kDefaultIncrement;
  if (m_style == 0) m_style = kDefaultStyle;

  state(Bar::SecondLeft).colorNumber = colorNumberOr(m_leftColorBarColor, kDefaultBarColorNumber);
  state(Bar::SecondRight).colorNumber = colorNumberOr(m_rightColorBarColor, kDefaultBarColorNumber);

  if (m_style < 1 || m_style > kStyleCount) {
    update();
    return;
  }
  if (m_style == 5) {
    m_pulseColorNumber = colorNumberOr(m_pulseColor, kDefaultBarColorNumber);
    m_pulseWidth = 0;
    m_pulseVisible = true;
  }
  // A negative interval cannot drive a timer; such a value gets the default pace.
  const int interval = m_timing > 0 ? m_timing : kDefaultTiming;
  m_timers[m_style - 1].start(interval);
  update();
}

void AnimationBar::EndDisplay() { reset(); }

void AnimationBar::ApplyBackGroundColor() {
  if (m_backGroundColor.isEmpty()) m_backGroundColor = colorNumberText(kButtonFaceColorNumber);
  m_stripColorNumber = colorNumberOr(m_backGroundColor, kButtonFaceColorNumber);
  update();
}

QRect AnimationBar::stripTwips() const { return QRect(0, 0, m_stripWidth, m_stripHeight); }
int AnimationBar::barLeft(Bar bar) const { return state(bar).left; }
int AnimationBar::barStart(Bar bar) const { return state(bar).start; }
int AnimationBar::barWidth(Bar bar) const { return state(bar).width; }

QColor AnimationBar::barColor(Bar bar) const {
  if (bar == Bar::FirstLeft || bar == Bar::FirstRight) return kFirstPairColor;
  return colorFromNumber(state(bar).colorNumber, palette());
}

QColor AnimationBar::stripColor() const { return colorFromNumber(m_stripColorNumber, palette()); }
bool AnimationBar::isPulseVisible() const { return m_pulseVisible; }

QRect AnimationBar::pulseTwips() const {
  const int left = m_stripWidth / 2 - m_pulseWidth / 2 - kParkGapTwips;
  return QRect(left, 0, m_pulseWidth, m_stripHeight);
}

int AnimationBar::runningTimerCount() const {
  return static_cast<int>(std::count_if(m_timers.begin(), m_timers.end(),
                                        [](const QTimer& timer) { return timer.isActive(); }));
}

int AnimationBar::runningStyle() const {
  for (int index = 0; index < kStyleCount; ++index) {
    if (m_timers[index].isActive()) return index + 1;
  }
  return 0;
}

int AnimationBar::runningTimerInterval() const {
  const int style = runningStyle();
  return style == 0 ? -1 : m_timers[style - 1].interval();
}

void AnimationBar::tick() {
  const int style = runningStyle();
  if (style != 0) step(style);
}

QSize AnimationBar::sizeHint() const { return QSize(twipsToPixels(3585), twipsToPixels(195)); }

void AnimationBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // A hidden widget hears of its size only when it is shown; if a reset has
  // already taken that size in, this is no change and a running animation goes on.
  if (event->size() == m_stripSizedFor) return;
  reset();
}

void AnimationBar::sizeStrip() {
  m_stripSizedFor = size();
  m_stripWidth = pixelsToTwips(width());
  m_stripHeight = std::min(pixelsToTwips(height()), kStripMaxHeightTwips);
}

void AnimationBar::reset() {
  sizeStrip();
  m_pulseGrowing = true;
  for (QTimer& timer : m_timers) timer.stop();
  m_pulseVisible = false;
  m_pulseWidth = 0;

  const int stripLeft = 0;
  for (Bar bar : {Bar::FirstLeft, Bar::SecondLeft}) {
    state(bar).left = stripLeft - state(bar).width - kParkGapTwips;
  }
  for (Bar bar : {Bar::FirstRight, Bar::SecondRight}) {
    state(bar).left = stripLeft + m_stripWidth + kParkGapTwips;
  }
  for (BarState& bar : m_bars) bar.start = bar.left;
  update();
}

int AnimationBar::stepSize() const {
  // A negative increment would send the bars away from the point at which they
  // wrap, so they would never come back; its size is what counts.
  return std::abs(static_cast<int>(m_increment));
}

bool AnimationBar::selectedPair(Pair* pair) {
  if (m_colorBars == kFirstPairSelected) {
    *pair = {&state(Bar::FirstLeft), &state(Bar::FirstRight)};
    return true;
  }
  if (m_colorBars == kSecondPairSelected) {
    *pair = {&state(Bar::SecondLeft), &state(Bar::SecondRight)};
    return true;
  }
  return false;
}

void AnimationBar::step(int style) {
  if (style == 5) {
    stepPulse();
    update();
    return;
  }
  Pair pair{};
  if (!selectedPair(&pair)) return;
  switch (style) {
    case 1:
      stepLeftBar(pair);
      break;
    case 2:
      stepRightBar(pair);
      break;
    case 3:
      stepBothInTurn(pair);
      break;
    case 4:
      stepLeftBar(pair);
      stepRightBar(pair);
      break;
    default:
      return;
  }
  update();
}

void AnimationBar::stepLeftBar(const Pair& pair) {
  if (pair.left->left >= pair.right->start) {
    pair.left->left = pair.left->start;
  } else {
    pair.left->left += stepSize();
  }
}

void AnimationBar::stepRightBar(const Pair& pair) {
  if (pair.right->left > pair.left->start) {
    pair.right->left -= stepSize();
  } else {
    pair.right->left = pair.right->start;
  }
}

void AnimationBar::stepBothInTurn(const Pair& pair) {
  if (pair.left->left < pair.right->start) {
    pair.left->left += stepSize();
  } else if (pair.right->left > pair.left->start) {
    pair.right->left -= stepSize();
  } else {
    pair.left->left = pair.left->start;
    pair.right->left = pair.right->start;
  }
}

void AnimationBar::stepPulse() {
  // The block is placed kParkGapTwips left of the centre, so it stays inside
  // the strip only while it is at most the strip width less twice that gap.
  const int widest = std::max(0, m_stripWidth - 2 * kParkGapTwips);
  if (m_pulseGrowing) {
    m_pulseWidth = std::min(m_pulseWidth + stepSize(), widest);
    if (m_pulseWidth >= widest) m_pulseGrowing = false;
  } else {
    m_pulseWidth = std::max(m_pulseWidth - stepSize(), 0);
    if (m_pulseWidth <= 0) m_pulseGrowing = true;
  }
}

void AnimationBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));

  const QRect strip(0, 0, twipsToPixels(m_stripWidth), twipsToPixels(m_stripHeight));
  if (strip.isEmpty()) return;
  painter.fillRect(strip, stripColor());

  painter.save();
  painter.setClipRect(strip.adjusted(1, 1, -1, -1));
  painter.setRenderHint(QPainter::Antialiasing);
  paintBar(painter, state(Bar::FirstLeft), true, barColor(Bar::FirstLeft));
  paintBar(painter, state(Bar::FirstRight), false, barColor(Bar::FirstRight));
  paintBar(painter, state(Bar::SecondLeft), true, barColor(Bar::SecondLeft));
  paintBar(painter, state(Bar::SecondRight), false, barColor(Bar::SecondRight));

  if (m_pulseVisible && m_pulseWidth > 0) {
    const QRect block = pulseTwips();
    const QRectF pixels(twipsToPixels(block.left()), kInsetPixels, twipsToPixels(block.width()),
                        strip.height() - 2 * kInsetPixels);
    const QColor color = colorFromNumber(m_pulseColorNumber, palette());
    QLinearGradient shine(pixels.topLeft(), pixels.bottomLeft());
    shine.setColorAt(0.0, color.lighter(160));
    shine.setColorAt(0.5, color);
    shine.setColorAt(1.0, color.darker(130));
    QPainterPath path;
    path.addRoundedRect(pixels, 2, 2);
    painter.fillPath(path, shine);
  }
  painter.restore();

  // A sunken edge around the strip.
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawLine(strip.topLeft(), strip.topRight());
  painter.drawLine(strip.topLeft(), strip.bottomLeft());
  painter.setPen(palette().color(QPalette::Light));
  painter.drawLine(strip.bottomLeft(), strip.bottomRight());
  painter.drawLine(strip.topRight(), strip.bottomRight());
}

// A bar is drawn as a comet: solid at its leading edge, fading out along its
// tail, so the direction of travel reads at a glance.
void AnimationBar::paintBar(QPainter& painter, const BarState& bar, bool tailOnLeft,
                            const QColor& color) const {
  const int stripHeight = twipsToPixels(m_stripHeight);
  const QRectF pixels(twipsToPixels(bar.left), kInsetPixels, twipsToPixels(bar.width),
                      stripHeight - 2 * kInsetPixels);
  if (pixels.width() <= 0 || pixels.height() <= 0) return;
  if (pixels.right() < 0 || pixels.left() > width()) return;

  QColor tail = color;
  tail.setAlpha(0);
  QColor head = color;
  head.setAlpha(230);
  QLinearGradient fade(pixels.left(), 0, pixels.right(), 0);
  fade.setColorAt(0.0, tailOnLeft ? tail : head.lighter(120));
  fade.setColorAt(tailOnLeft ? 0.85 : 0.15, head);
  fade.setColorAt(1.0, tailOnLeft ? head.lighter(120) : tail);
  QPainterPath path;
  path.addRoundedRect(pixels, 2, 2);
  painter.fillPath(path, fade);
}
