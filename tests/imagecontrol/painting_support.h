#pragma once
// Pictures and windows for the image control's drawing and input tests: test
// pictures are painted with QPainter, saved as PNG files in a temporary folder
// and loaded the way a user would load them; the control sits on a plain
// window of one known colour, so what shows through can be predicted.
#include "image/control/control.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace painting {

// A picture of one straight (not premultiplied) colour.
inline QImage solidPicture(QSize size, QColor colour) {
  QImage picture(size, QImage::Format_ARGB32);
  picture.fill(colour);
  return picture;
}

// A transparent square picture with an opaque disc in its middle.
inline QImage discPicture(int side, int radius, QColor colour) {
  QImage picture(side, side, QImage::Format_ARGB32);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  painter.drawEllipse(QPoint(side / 2, side / 2), radius, radius);
  return picture;
}

// A plain window of one colour with an image control on it.
class Stage {
 public:
  explicit Stage(QSize windowSize = {200, 150}, QColor background = Qt::white)
      : m_window(std::make_unique<QWidget>()) {
    m_window->resize(windowSize);
    m_window->setAutoFillBackground(true);
    QPalette palette = m_window->palette();
    palette.setColor(QPalette::Window, background);
    m_window->setPalette(palette);
    m_control = new aicAlphaImage(m_window.get());
  }

  QWidget& window() { return *m_window; }
  aicAlphaImage& control() { return *m_control; }

  // Saves the picture as a PNG file and loads it into the control.
  bool load(const QImage& picture, aicAlphaImage* control = nullptr) {
    const QString path = m_folder.filePath(QStringLiteral("picture%1.png").arg(m_saved++));
    if (!picture.save(path, "PNG")) return false;
    return (control ? control : m_control)->LoadImage_FromFile(path);
  }

  bool show() {
    m_window->show();
    return QTest::qWaitForWindowExposed(m_window.get());
  }

  // The window as drawn, control included.
  QImage grab() { return m_window->grab().toImage().convertToFormat(QImage::Format_RGB32); }

 private:
  QTemporaryDir m_folder;
  std::unique_ptr<QWidget> m_window;
  aicAlphaImage* m_control = nullptr;
  int m_saved = 0;
};

// True when every channel lies within tolerance of the expected colour.
inline ::testing::AssertionResult near(QColor actual, QColor expected, int tolerance = 2) {
  const bool close = std::abs(actual.red() - expected.red()) <= tolerance &&
                     std::abs(actual.green() - expected.green()) <= tolerance &&
                     std::abs(actual.blue() - expected.blue()) <= tolerance;
  if (close) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got (" << actual.red() << ", " << actual.green() << ", " << actual.blue()
         << "), expected (" << expected.red() << ", " << expected.green() << ", " << expected.blue()
         << ") within " << tolerance;
}

// A straight colour with alpha blended over an opaque background.
inline QColor blended(QColor over, QColor under) {
  const double a = over.alphaF();
  return QColor::fromRgbF(static_cast<float>(over.redF() * a + under.redF() * (1 - a)),
                          static_cast<float>(over.greenF() * a + under.greenF() * (1 - a)),
                          static_cast<float>(over.blueF() * a + under.blueF() * (1 - a)));
}

}  // namespace painting
