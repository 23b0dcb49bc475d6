#include "designercontrol.h"

#include "image/control/aicalphaimage.h"
#include "platform/propertybag.h"

#include <QFileInfo>

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

std::optional<FormData> openDesignerForm(const QString& path, QString* error) {
  if (!QFileInfo::exists(path)) return FormData();
  FormDataError formError;
  std::optional<FormData> form = loadFormDataFile(path, &formError);
  if (!form && error) {
    *error = QStringLiteral("%1: line %2: %3").arg(path).arg(formError.line).arg(formError.message);
  }
  return form;
}
