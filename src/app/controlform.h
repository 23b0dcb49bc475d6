#pragma once
// A window's controls get their design-time state from the window's stored
// form data (a file or a resource of the program).
#include <QString>

class aicAlphaImage;

// Gives control the bag stored under controlName in the form data at
// formPath. False, and the control left as it is, when the form data is
// missing or unreadable or holds nothing for that control.
bool ReadControlForm(const QString& formPath, const QString& controlName, aicAlphaImage& control);
