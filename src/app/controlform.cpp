#include "app/controlform.h"

#include "image/control/aicalphaimage.h"
#include "platform/formdata.h"

bool ReadControlForm(const QString& formPath, const QString& controlName, aicAlphaImage& control) {
  const std::optional<FormData> form = loadFormDataFile(formPath);
  if (!form) return false;
  const PropertyBag* bag = form->find(controlName);
  if (bag == nullptr) return false;
  control.ReadProperties(*bag);
  return true;
}
