#include "designerbatch.h"

#include <QPushButton>

#include <memory>

#include "designercontrol.h"
#include "designeroptions.h"
#include "designerproperties.h"
#include "image/control/aicalphaimage.h"
#include "image/control/ppgsourceimage.h"
#include "platform/formdata.h"

namespace {

bool fail(QString* error, const QString& reason) {
  if (error) *error = reason;
  return false;
}

// The picture goes in as the designer's user would put it in: through the
// page's Browse, with the dialog answered by the given path.
bool loadPicture(aicAlphaImage& control, const QString& imagePath, QString* error) {
  ppgSourceImage page;
  page.setSelectedControl(&control);
  page.setFileChooser([imagePath](QWidget*, const QString&, const QString&) { return imagePath; });
  page.cmdBrowse->click();
  if (control.picture().Handle() == 0) {
    return fail(error, QStringLiteral("%1: not a picture the control can load").arg(imagePath));
  }
  return true;
}

}  // namespace

bool runDesignerBatch(const DesignerOptions& options, QString* error) {
  std::optional<FormData> form = openDesignerForm(options.formPath, error);
  if (!form) return false;
  PropertyBag& bag = form->control(options.controlName);
  std::unique_ptr<aicAlphaImage> control(createDesignControl(nullptr, options.controlSize, bag));
  if (options.clearImage) control->ClearImage();
  if (!options.imagePath.isEmpty() && !loadPicture(*control, options.imagePath, error))
    return false;
  for (const QString& setting : options.settings) {
    if (!applyDesignerSetting(*control, setting, error)) return false;
  }
  storeDesignControl(*control, bag);
  QString saveError;
  if (options.save && !saveFormDataFile(options.formPath, *form, &saveError)) {
    return fail(error, QStringLiteral("%1: %2").arg(options.formPath, saveError));
  }
  return true;
}
