#pragma once
// cCrossComm: what the image controls of one window share. Only one of them
// can hold the mouse capture at a time (the one under the cursor); when another
// takes it, the previous holder is told to let go so that it reports
// MouseExit. The link also keeps the window's image-service session token,
// which every picture of those controls borrows.
//
// The link lives as long as a control holds a reference: ForWindow adds one,
// RemoveRef drops one, and the last RemoveRef deletes the link.
#include <QPointer>

#include <cstdint>

// QPointer<aicAlphaImage> needs the complete class wherever this header is used.
#include "image/control/aicalphaimage.h"

class QWidget;

class cCrossComm {
 public:
  // The window's link, created on first use, with a reference added for the
  // caller. window is the top-level window the controls sit on.
  static cCrossComm* ForWindow(QWidget* window);

  void AddRef();
  // Drops a reference; deletes the link when it was the last one.
  void RemoveRef();
  int refCount() const { return m_refs; }

  // The control that holds the capture now, or nullptr.
  aicAlphaImage* captureHolder() const { return m_holder.data(); }
  // Gives the capture to control; the previous holder (when another one) gets
  // ReleaseMouseCapture first.
  void SetCapture(aicAlphaImage* control);
  // Clears the capture when control holds it.
  void ReleaseCapture(aicAlphaImage* control);

  // The window's shared image-service session token (0 = the service cannot run).
  uint32_t gdiToken() const { return m_gdiToken; }

 private:
  explicit cCrossComm(QWidget* window);
  ~cCrossComm();
  cCrossComm(const cCrossComm&) = delete;
  cCrossComm& operator=(const cCrossComm&) = delete;

  QPointer<QWidget> m_window;
  QPointer<aicAlphaImage> m_holder;
  uint32_t m_gdiToken = 0;
  int m_refs = 0;
};
