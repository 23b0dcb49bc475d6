#pragma once
// The designer's two moves between a stored bag and a live control: a control
// made from a bag (in design mode, at the size it has on its window, so that
// icons pick the entry of that size) and a control written back into a bag.
#include <QSize>
#include <QString>

#include <optional>

#include "platform/formdata.h"

class PropertyBag;
class QWidget;
class aicAlphaImage;

aicAlphaImage* createDesignControl(QWidget* parent, const QSize& size, const PropertyBag& bag);

// Replaces the bag's keys with what the control stores now; keys a control
// no longer writes (a cleared picture, a value back at its default) go.
void storeDesignControl(const aicAlphaImage& control, PropertyBag& bag);

// The form data at path, or an empty form when no file is there yet; nullopt,
// with the reason naming the line, when the file is not form data (such a
// file is never overwritten).
std::optional<FormData> openDesignerForm(const QString& path, QString* error);
