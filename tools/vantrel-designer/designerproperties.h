#pragma once
// The image control's properties the designer edits, as one table shared by
// the window's editors and the command line's --set: each entry names the
// property as the control does, says what kind of editor fits it and its
// range, and reads and sets it through the control's own setters so that
// every set rule of the control applies.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

class aicAlphaImage;

struct DesignerProperty {
  enum class Kind { Flag, Number, Choice, Colour };

  QString name;
  Kind kind = Kind::Number;
  int32_t minimum = 0;
  int32_t maximum = 0;
  QStringList choices;  // Kind::Choice: the text of each value from minimum on
  std::function<int32_t(const aicAlphaImage&)> get;
  std::function<void(aicAlphaImage&, int32_t)> set;
};

const std::vector<DesignerProperty>& designerProperties();
const DesignerProperty* findDesignerProperty(const QString& name);

// Parses a value for the property: decimal or 0x hex numbers, 1/0/true/false
// for flags, and #RRGGBB for colours besides a colour number. False for text
// that is none of these or a value outside the property's range.
bool parseDesignerValue(const DesignerProperty& property, const QString& text, int32_t& value);

// Applies "Name=value" to the control; false with a readable reason otherwise.
bool applyDesignerSetting(aicAlphaImage& control, const QString& setting, QString* error);
