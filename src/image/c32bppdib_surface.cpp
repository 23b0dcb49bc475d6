#include "image/c32bppdib_surface.h"

#include "image/c32bppdib.h"

QPainter* DibSurface::select(uint8_t* bits, int32_t width, int32_t height) {
  if (m_painter.isActive() && m_bits == bits) return &m_painter;
  deselect();
  // Premultiplied ARGB32 on a little-endian machine lies in memory as B, G, R, A:
  // exactly the image's pixel model, so Qt paints straight into the buffer.
  m_view = QImage(bits, width, height, static_cast<qsizetype>(width) * 4,
                  QImage::Format_ARGB32_Premultiplied);
  if (m_view.isNull() || !m_painter.begin(&m_view)) {
    m_view = QImage();
    return nullptr;
  }
  m_bits = bits;
  m_painter.translate(0, height);
  m_painter.scale(1, -1);
  return &m_painter;
}

void DibSurface::deselect() {
  if (m_painter.isActive()) m_painter.end();
  m_view = QImage();
  m_bits = nullptr;
}

void c32bppDIB::setManageOwnDC(bool value) {
  if (!value && m_surface) {
    m_surface.reset();
  } else if (value && !m_surface && m_bits) {
    m_surface = std::make_unique<DibSurface>();
  }
  m_manageOwnDC = value;
}

QPainter* c32bppDIB::LoadDIBinDC(bool select) {
  if (select) {
    if (!m_bits) return nullptr;
    if (!m_surface) m_surface = std::make_unique<DibSurface>();
    return m_surface->select(m_bits.get(), m_width, m_height);
  }
  if (m_surface) {
    m_surface->deselect();
    if (!m_manageOwnDC) m_surface.reset();
  }
  return nullptr;
}

void c32bppDIB::releaseSurface() { m_surface.reset(); }
