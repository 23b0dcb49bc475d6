#pragma once
// The designer's two moves between a stored bag and a live control: a control
// made from a bag (in design mode, at the size it has on its window, so that
// icons pick the entry of that size) and a control written back into a bag.
#include <QSize>

class PropertyBag;
class QWidget;
class aicAlphaImage;

aicAlphaImage* createDesignControl(QWidget* parent, const QSize& size, const PropertyBag& bag);

// Replaces the bag's keys with what the control stores now; keys a control
// no longer writes (a cleared picture, a value back at its default) go.
void storeDesignControl(const aicAlphaImage& control, PropertyBag& bag);
