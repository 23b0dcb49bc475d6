#include "image/control/ccrosscomm.h"

#include "image/control/aicalphaimage.h"

#include <QWidget>

// Placeholder bodies; the real ones replace them.
cCrossComm* cCrossComm::ForWindow(QWidget*) { return nullptr; }
void cCrossComm::AddRef() {}
void cCrossComm::RemoveRef() {}
void cCrossComm::SetCapture(aicAlphaImage*) {}
void cCrossComm::ReleaseCapture(aicAlphaImage*) {}
cCrossComm::cCrossComm(QWidget* window) : m_window(window) {}
cCrossComm::~cCrossComm() = default;
