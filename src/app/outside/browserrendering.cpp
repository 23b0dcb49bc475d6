#include "app/outside/browserrendering.h"

#include <QByteArray>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace {

// The renderer's name as the OpenGL driver reports it; empty when no context
// can be made current.
QByteArray openGlRendererName() {
  QOpenGLContext context;
  if (!context.create()) return {};
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  if (!surface.isValid() || !context.makeCurrent(&surface)) return {};
  const auto* name = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
  QByteArray copy(name != nullptr ? name : "");
  context.doneCurrent();
  return copy;
}

}  // namespace

bool isSoftwareOpenGlRenderer(const char* rendererName) {
  const QByteArray name = QByteArray(rendererName != nullptr ? rendererName : "").toLower();
  if (name.isEmpty()) return true;
  for (const char* emulated :
       {"llvmpipe", "softpipe", "swrast", "software rasterizer", "lavapipe"}) {
    if (name.contains(emulated)) return true;
  }
  return false;
}

void chooseBrowserRendering() {
  if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") || qEnvironmentVariableIsSet("QSG_RHI_BACKEND"))
    return;
  if (isSoftwareOpenGlRenderer(openGlRendererName().constData())) {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
  }
}
