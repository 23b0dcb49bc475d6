#pragma once
// AnimationBar shows that something is in progress without saying how far it
// has come: coloured bars slide across a horizontal strip, or a block pulses in
// its middle. The owner writes the properties, calls BeginDisplay when the work
// starts and EndDisplay when it ends.
//
// Positions and sizes are kept in twips (15 twips = 1 pixel at 96 dpi), the unit
// in which Increment is given; painting converts them once.
#include <QColor>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>

class AnimationBar : public QWidget {
  Q_OBJECT

 public:
  // The four sliding bars: two pairs, each a left bar that travels right and a
  // right bar that travels left.
  enum class Bar { FirstLeft = 0, FirstRight = 1, SecondLeft = 2, SecondRight = 3 };

  static constexpr int kStripMaxHeightTwips = 315;
  // How far outside the strip the bars wait while parked.
  static constexpr int kParkGapTwips = 150;
  static constexpr int kStyleCount = 5;

  explicit AnimationBar(QWidget* parent = nullptr);
  ~AnimationBar() override;

  // Write-only properties; each value is stored as given and interpreted when
  // BeginDisplay (or ApplyBackGroundColor) runs.
  // Animation kind 1 to 5; 0 means 1 at BeginDisplay, other values animate nothing.
  void setStyle(std::int32_t style);
  using QWidget::setStyle;
  // Milliseconds between steps; 0 means 50.
  void setTiming(std::int16_t milliseconds);
  // Twips moved or grown per step; 0 means 200.
  void setIncrement(std::int16_t twips);
  // 0 animates the first pair, -1 the coloured second pair, anything else no bar.
  void setColorBars(std::int16_t selection);
  // Colour numbers as text (see controls/colornumber.h); empty means 0x800000.
  void setLeftColorBarColor(const QString& colorNumber);
  void setRightColorBarColor(const QString& colorNumber);
  void setPulseColor(const QString& colorNumber);
  // Colour of the strip, applied by ApplyBackGroundColor; empty means button face.
  void setBackGroundColor(const QString& colorNumber);

  // Resets, fills in defaults, colours the second pair and starts the
  // animation of the current style.
  void BeginDisplay();
  // Resets: every animation stops and the bars wait outside the strip.
  void EndDisplay();
  // Colours the strip with BackGroundColor (the button face when it is empty).
  void ApplyBackGroundColor();

  // Read-only view of the animation, in twips relative to the control.
  QRect stripTwips() const;
  int barLeft(Bar bar) const;
  int barStart(Bar bar) const;
  int barWidth(Bar bar) const;
  QColor barColor(Bar bar) const;
  QColor stripColor() const;
  bool isPulseVisible() const;
  // Left, top, width and height of the pulse block.
  QRect pulseTwips() const;
  int runningTimerCount() const;
  // Interval of the running timer in milliseconds, or -1 when none runs.
  int runningTimerInterval() const;
  // The style whose timer runs, or 0 when none runs.
  int runningStyle() const;

  // Runs one step of the running animation, exactly as its timer would; does
  // nothing while idle. Lets the animation be followed without waiting on time.
  void tick();

  QSize sizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  struct BarState {
    int left = 0;
    int start = 0;
    int width = 0;
    std::uint32_t colorNumber = 0;
  };
  struct Pair {
    BarState* left;
    BarState* right;
  };

  void reset();
  void sizeStrip();
  void step(int style);
  // Fills in the pair ColorBars selects; false when it selects none.
  bool selectedPair(Pair* pair);
  void stepLeftBar(const Pair& pair);
  void stepRightBar(const Pair& pair);
  void stepBothInTurn(const Pair& pair);
  void stepPulse();
  int stepSize() const;
  BarState& state(Bar bar) { return m_bars[static_cast<int>(bar)]; }
  const BarState& state(Bar bar) const { return m_bars[static_cast<int>(bar)]; }

  void paintBar(class QPainter& painter, const BarState& bar, bool tailOnLeft,
                const QColor& color) const;

  // Properties as written.
  std::int32_t m_style = 0;
  std::int16_t m_timing = 0;
  std::int16_t m_increment = 0;
  std::int16_t m_colorBars = 0;
  QString m_leftColorBarColor;
  QString m_rightColorBarColor;
  QString m_pulseColor;
  QString m_backGroundColor;

  // Animation state, twips.
  QSize m_stripSizedFor;
  int m_stripWidth = 0;
  int m_stripHeight = 0;
  std::uint32_t m_stripColorNumber;
  std::array<BarState, 4> m_bars;
  bool m_pulseVisible = false;
  bool m_pulseGrowing = true;
  int m_pulseWidth = 0;
  std::uint32_t m_pulseColorNumber;
  std::array<QTimer, kStyleCount> m_timers;
};
