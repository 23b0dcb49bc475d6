// What the image control reports of the mouse and the keyboard, and how the
// image controls of one window hand the mouse over between them.
#include "painting_support.h"
#include "platform/propertybag.h"

#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>

using painting::Stage;

namespace {

// The control's events in the order they arrive, as short texts.
class EventLog {
 public:
  explicit EventLog(aicAlphaImage& c) {
    using A = aicAlphaImage;
    QObject::connect(&c, &A::Click, [this](int16_t b) { add("Click", b); });
    QObject::connect(&c, &A::DblClick, [this](int16_t b) { add("DblClick", b); });
    QObject::connect(&c, &A::MouseEnter, [this] { m_lines << "MouseEnter"; });
    QObject::connect(&c, &A::MouseExit, [this] { m_lines << "MouseExit"; });
    QObject::connect(&c, &A::MouseDown, [this](int16_t b, int16_t s, float x, float y) {
      add("MouseDown", b, s, x, y);
    });
    QObject::connect(&c, &A::MouseUp, [this](int16_t b, int16_t s, float x, float y) {
      add("MouseUp", b, s, x, y);
    });
    QObject::connect(&c, &A::KeyDown, [this](int16_t k, int16_t s) { add("KeyDown", k, s); });
    QObject::connect(&c, &A::KeyPress, [this](int16_t k) { add("KeyPress", k); });
    QObject::connect(&c, &A::KeyUp, [this](int16_t k, int16_t s) { add("KeyUp", k, s); });
  }
  // Without MouseEnter and MouseExit, which depend on where the pointer was.
  QStringList withoutEnterAndExit() const {
    QStringList lines = m_lines;
    lines.removeAll(QStringLiteral("MouseEnter"));
    lines.removeAll(QStringLiteral("MouseExit"));
    return lines;
  }
  const QStringList& lines() const { return m_lines; }

 private:
  template <typename... Args>
  void add(const char* name, Args... args) {
    QStringList parts{QString::fromLatin1(name)};
    (parts << ... << QString::number(args));
    m_lines << parts.join(QLatin1Char(' '));
  }
  QStringList m_lines;
};

class ClickStage : public Stage {
 public:
  ClickStage() : Stage({100, 100}) {
    control().setGeometry(10, 10, 40, 40);
    m_loaded = load(painting::solidPicture({40, 40}, Qt::red));
  }
  bool ready() { return m_loaded && show(); }

 private:
  bool m_loaded = false;
};

}  // namespace

TEST(ImageControlInput, LeftPressAndReleaseGiveClickWithButtonOne) {
  ClickStage stage;
  ASSERT_TRUE(stage.ready());
  EventLog log(stage.control());
  QTest::mouseClick(&stage.control(), Qt::LeftButton, {}, QPoint(5, 7));
  // Positions in twips, the container's default unit: 15 a pixel.
  EXPECT_EQ(log.withoutEnterAndExit(),
            QStringList({"MouseDown 1 0 75 105", "MouseUp 1 0 75 105", "Click 1"}));
}

TEST(ImageControlInput, ButtonsAndShiftKeysAreNumbered) {
  ClickStage stage;
  ASSERT_TRUE(stage.ready());
  EventLog log(stage.control());
  QTest::mouseClick(&stage.control(), Qt::RightButton, Qt::ShiftModifier | Qt::AltModifier,
                    QPoint(1, 1));
  QTest::mouseClick(&stage.control(), Qt::MiddleButton, Qt::ControlModifier, QPoint(1, 1));
  EXPECT_EQ(log.withoutEnterAndExit(),
            QStringList({"MouseDown 2 5 15 15", "MouseUp 2 5 15 15", "Click 2",
                         "MouseDown 4 2 15 15", "MouseUp 4 2 15 15", "Click 4"}));
}

TEST(ImageControlInput, DoubleClickPassesTheStoredButton) {
  ClickStage stage;
  ASSERT_TRUE(stage.ready());
  aicAlphaImage& control = stage.control();
  EventLog log(control);
  // The window system's order for a double click: press, release, press,
  // double click, release.
  const auto send = [&](QEvent::Type type) {
    const QPointF pos(2, 2);
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::RightButton;
    QMouseEvent event(type, pos, control.mapToGlobal(pos), Qt::RightButton, held, {});
    QCoreApplication::sendEvent(&control, &event);
  };
  for (const QEvent::Type type :
       {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
        QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
    send(type);
  }
  EXPECT_EQ(log.withoutEnterAndExit(),
            QStringList({"MouseDown 2 0 30 30", "MouseUp 2 0 30 30", "Click 2",
                         "MouseDown 2 0 30 30", "DblClick 2", "MouseUp 2 0 30 30"}));
}

TEST(ImageControlInput, PositionsFollowTheContainersScaleMode) {
  Stage stage({100, 100});
  stage.window().setProperty("ScaleMode", 3);  // pixels
  PropertyBag nothingStored;
  stage.control().ReadProperties(nothingStored);
  stage.control().setGeometry(10, 10, 40, 40);
  ASSERT_TRUE(stage.load(painting::solidPicture({40, 40}, Qt::red)));
  ASSERT_TRUE(stage.show());
  EventLog log(stage.control());
  QTest::mouseClick(&stage.control(), Qt::LeftButton, {}, QPoint(5, 7));
  EXPECT_EQ(log.withoutEnterAndExit().value(0), QStringLiteral("MouseDown 1 0 5 7"));
}

TEST(ImageControlInput, KeysAreReportedWithVirtualKeyCodes) {
  ClickStage stage;
  ASSERT_TRUE(stage.ready());
  EventLog log(stage.control());
  QTest::keyClick(&stage.control(), Qt::Key_A);
  QTest::keyClick(&stage.control(), Qt::Key_Left, Qt::ShiftModifier);
  QTest::keyClick(&stage.control(), Qt::Key_F1, Qt::ControlModifier);
  QTest::keyClick(&stage.control(), Qt::Key_7);
  // The modifier keys report themselves too, as the platform's keyboard does.
  EXPECT_EQ(log.lines(), QStringList({"KeyDown 65 0", "KeyPress 97", "KeyUp 65 0", "KeyDown 16 1",
                                      "KeyDown 37 1", "KeyUp 37 1", "KeyUp 16 0", "KeyDown 17 2",
                                      "KeyDown 112 2", "KeyUp 112 2", "KeyUp 17 0", "KeyDown 55 0",
                                      "KeyPress 55", "KeyUp 55 0"}));
}

TEST(ImageControlInput, DropsAreReportedOnlyInManualDropMode) {
  ClickStage stage;
  ASSERT_TRUE(stage.ready());
  aicAlphaImage& control = stage.control();
  qRegisterMetaType<const QMimeData*>();
  QSignalSpy over(&control, &aicAlphaImage::OLEDragOver);
  QSignalSpy dropped(&control, &aicAlphaImage::OLEDragDrop);
  QString droppedText;
  QObject::connect(&control, &aicAlphaImage::OLEDragDrop,
                   [&](const QMimeData* data, int32_t, int16_t, int16_t, float, float) {
                     droppedText = data ? data->text() : QString();
                   });
  QMimeData data;
  data.setText(QStringLiteral("dropped words"));
  const auto dropAt = [&](QPoint pos) {
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(&control, &enter);
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(&control, &drop);
    return drop.isAccepted();
  };

  EXPECT_FALSE(dropAt({4, 6}));
  EXPECT_EQ(over.count(), 0);
  EXPECT_EQ(dropped.count(), 0);

  control.setOLEDropMode(1);
  EXPECT_TRUE(dropAt({4, 6}));
  ASSERT_EQ(over.count(), 1);
  EXPECT_EQ(over.at(0).at(1).toInt(), 1);  // copy
  EXPECT_EQ(over.at(0).at(6).toInt(), 0);  // entering
  ASSERT_EQ(dropped.count(), 1);
  EXPECT_EQ(dropped.at(0).at(2).toInt(), 1);  // left button
  EXPECT_EQ(dropped.at(0).at(3).toInt(), 1);  // shift
  EXPECT_FLOAT_EQ(dropped.at(0).at(4).toFloat(), 60.0f);
  EXPECT_EQ(droppedText, QStringLiteral("dropped words"));
}

// The real pointer moves over two controls side by side and off them again:
// each entering control takes the window's shared capture, the one losing it
// reports its exit at once, and the last one notices by itself that the
// pointer has left.
TEST(ImageControlInput, PointerMovesBetweenControlsOfOneWindow) {
  Stage stage({200, 100});
  aicAlphaImage& left = stage.control();
  auto* right = new aicAlphaImage(&stage.window());
  left.setGeometry(10, 10, 40, 40);
  right->setGeometry(60, 10, 40, 40);
  ASSERT_TRUE(stage.load(painting::solidPicture({40, 40}, Qt::red)));
  ASSERT_TRUE(stage.load(painting::solidPicture({40, 40}, Qt::blue), right));
  ASSERT_TRUE(stage.show());
  const QPoint offBoth = stage.window().mapToGlobal(QPoint(150, 80));
  QCursor::setPos(offBoth);
  QTRY_VERIFY_WITH_TIMEOUT(!left.isMouseOver() && !right->isMouseOver(), 5000);
  EventLog leftLog(left);
  EventLog rightLog(*right);

  QCursor::setPos(left.mapToGlobal(QPoint(20, 20)));
  QTRY_VERIFY_WITH_TIMEOUT(left.isMouseOver(), 5000);
  EXPECT_EQ(leftLog.lines(), QStringList({"MouseEnter"}));

  QCursor::setPos(right->mapToGlobal(QPoint(20, 20)));
  QTRY_VERIFY_WITH_TIMEOUT(right->isMouseOver(), 5000);
  EXPECT_FALSE(left.isMouseOver());
  EXPECT_EQ(leftLog.lines(), QStringList({"MouseEnter", "MouseExit"}));
  EXPECT_EQ(rightLog.lines(), QStringList({"MouseEnter"}));

  QCursor::setPos(offBoth);
  QTRY_VERIFY_WITH_TIMEOUT(rightLog.lines().size() == 2, 5000);
  EXPECT_EQ(rightLog.lines(), QStringList({"MouseEnter", "MouseExit"}));
  EXPECT_FALSE(right->isMouseOver());
  EXPECT_EQ(leftLog.lines().size(), 2);
}
