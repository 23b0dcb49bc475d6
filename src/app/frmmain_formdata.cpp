// The main window's stored form data: the product picture and its shadow,
// made with the designer and kept as a resource of the program.
#include <QString>

#include "app/controlform.h"
#include "app/frmmain.h"
#include "image/control/aicalphaimage.h"

// The resource lives in this static library; nothing else refers to it, so
// it is registered by hand before the first read.
static void registerFormResources() { Q_INIT_RESOURCE(frmmain); }

namespace {

const QString kFormResource = QStringLiteral(":/forms/frmmain.vfd");

}  // namespace

void FrmMain::readFormData() {
  registerFormResources();
  // Missing or unreadable form data leaves the picture empty; the window works without it.
  ReadControlForm(kFormResource, aicAlphaImage1->objectName(), *aicAlphaImage1);
}
