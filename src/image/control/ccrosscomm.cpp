// The link between the image controls of one window. The window finds its link
// through a hidden child object (the anchor) that carries a pointer to it, so
// the link needs no global table and disappears from view with the window.
#include "image/control/ccrosscomm.h"

#include "image/cgdiplus.h"
#include "image/control/aicalphaimage.h"

#include <QObject>
#include <QWidget>

namespace {

constexpr char kAnchorName[] = "vantrel.imageControlLink";

// Hidden child of the window that points at its link. It owns nothing: the link
// deletes it when the last control lets go.
class LinkAnchor : public QObject {
 public:
  LinkAnchor(QWidget& window, cCrossComm* link) : QObject(&window), m_link(link) {
    setObjectName(QLatin1String(kAnchorName));
  }
  cCrossComm* link() const { return m_link; }

 private:
  cCrossComm* m_link;
};

LinkAnchor* anchorOf(QWidget* window) {
  if (!window) return nullptr;
  return dynamic_cast<LinkAnchor*>(
      window->findChild<QObject*>(QLatin1String(kAnchorName), Qt::FindDirectChildrenOnly));
}

}  // namespace

cCrossComm* cCrossComm::ForWindow(QWidget* window) {
  if (!window) return nullptr;
  if (LinkAnchor* anchor = anchorOf(window)) {
    anchor->link()->AddRef();
    return anchor->link();
  }
  auto* link = new cCrossComm(window);
  new LinkAnchor(*window, link);
  link->AddRef();
  return link;
}

void cCrossComm::AddRef() { ++m_refs; }

void cCrossComm::RemoveRef() {
  if (m_refs <= 0) return;
  if (--m_refs == 0) delete this;
}

void cCrossComm::SetCapture(aicAlphaImage* control) {
  aicAlphaImage* previous = m_holder.data();
  if (previous == control) return;
  // The holder changes first, so the previous one no longer counts as over the
  // picture while it reports its exit.
  m_holder = control;
  if (previous) previous->ReleaseMouseCapture();
}

void cCrossComm::ReleaseCapture(aicAlphaImage* control) {
  if (control && m_holder.data() == control) m_holder.clear();
}

cCrossComm::cCrossComm(QWidget* window) : m_window(window) {
  if (window) m_gdiToken = ManageGDIToken(*window);
}

cCrossComm::~cCrossComm() {
  // The anchor is gone already when the window went first.
  if (LinkAnchor* anchor = anchorOf(m_window.data()); anchor && anchor->link() == this) {
    delete anchor;
  }
}
