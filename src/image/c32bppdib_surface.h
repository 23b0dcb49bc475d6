#pragma once
// The drawing surface of an image: a QImage view of the pixel buffer with a
// vertical flip, so that painters work in picture coordinates (y = 0 at the top)
// while the rows stay bottom-up in memory.

#include <QImage>
#include <QPainter>

#include <cstdint>

class DibSurface {
 public:
  DibSurface() = default;
  DibSurface(const DibSurface&) = delete;
  DibSurface& operator=(const DibSurface&) = delete;
  ~DibSurface() { deselect(); }

  // Starts painting on the given buffer; returns the painter (already active when
  // the same buffer is selected again).
  QPainter* select(uint8_t* bits, int32_t width, int32_t height);
  // Ends painting; the buffer is no longer referenced.
  void deselect();
  bool isSelected() const { return m_painter.isActive(); }

 private:
  QImage m_view;
  QPainter m_painter;
  uint8_t* m_bits = nullptr;
};
