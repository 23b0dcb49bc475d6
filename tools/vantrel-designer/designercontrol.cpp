#include "designercontrol.h"

#include "image/control/aicalphaimage.h"
#include "platform/propertybag.h"

aicAlphaImage* createDesignControl(QWidget* parent, const QSize& size, const PropertyBag& bag) {
  auto* control = new aicAlphaImage(parent);
  control->setObjectName(QStringLiteral("designedControl"));
  control->setDesignMode(true);
  control->resize(size);
  control->ReadProperties(bag);
  return control;
}

void storeDesignControl(const aicAlphaImage& control, PropertyBag& bag) {
  bag.clear();
  control.WriteProperties(bag);
}
