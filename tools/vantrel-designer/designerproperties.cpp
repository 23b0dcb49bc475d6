#include "designerproperties.h"

#include "image/control/aicalphaimage.h"

namespace {

using Kind = DesignerProperty::Kind;

DesignerProperty flag(const QString& name, bool (aicAlphaImage::*get)() const,
                      void (aicAlphaImage::*set)(bool)) {
  return {name,
          Kind::Flag,
          0,
          1,
          {},
          [get](const aicAlphaImage& c) { return (c.*get)() ? 1 : 0; },
          [set](aicAlphaImage& c, int32_t v) { (c.*set)(v != 0); }};
}

DesignerProperty number(const QString& name, int32_t minimum, int32_t maximum,
                        int32_t (aicAlphaImage::*get)() const,
                        void (aicAlphaImage::*set)(int32_t)) {
  return {name,
          Kind::Number,
          minimum,
          maximum,
          {},
          [get](const aicAlphaImage& c) { return (c.*get)(); },
          [set](aicAlphaImage& c, int32_t v) { (c.*set)(v); }};
}

DesignerProperty choice(const QString& name, const QStringList& choices,
                        int32_t (aicAlphaImage::*get)() const,
                        void (aicAlphaImage::*set)(int32_t)) {
  DesignerProperty property = number(name, 0, static_cast<int32_t>(choices.size()) - 1, get, set);
  property.kind = Kind::Choice;
  property.choices = choices;
  return property;
}

std::vector<DesignerProperty> buildTable() {
  using C = aicAlphaImage;
  DesignerProperty shadowColor =
      number(QStringLiteral("ShadowColor"), 0, 0xFFFFFF, &C::ShadowColor, &C::setShadowColor);
  shadowColor.kind = Kind::Colour;
  return {
      number(QStringLiteral("Opacity"), 0, 100, &C::Opacity, &C::setOpacity),
      flag(QStringLiteral("StretchQuality"), &C::StretchQuality, &C::setStretchQuality),
      choice(QStringLiteral("ScaleMethod"),
             {QStringLiteral("0 - Fit"), QStringLiteral("1 - Stretch"),
              QStringLiteral("2 - Fit, never enlarge"), QStringLiteral("3 - Actual size"),
              QStringLiteral("4 - Custom size")},
             &C::ScaleMethod, &C::setScaleMethod),
      flag(QStringLiteral("ShadowEnabled"), &C::ShadowEnabled, &C::setShadowEnabled),
      number(QStringLiteral("ShadowDepth"), 0, 10, &C::ShadowDepth, &C::setShadowDepth),
      number(QStringLiteral("ShadowOpacity"), 0, 100, &C::ShadowOpacity, &C::setShadowOpacity),
      shadowColor,
      number(QStringLiteral("ShadowOffsetX"), -100, 100, &C::ShadowOffsetX, &C::setShadowOffsetX),
      number(QStringLiteral("ShadowOffsetY"), -100, 100, &C::ShadowOffsetY, &C::setShadowOffsetY),
      choice(QStringLiteral("HitTest"),
             {QStringLiteral("0 - Control"), QStringLiteral("1 - Picture box"),
              QStringLiteral("2 - Opaque pixels"), QStringLiteral("3 - Visible pixels")},
             &C::HitTest, &C::setHitTest),
      choice(QStringLiteral("Mirror"),
             {QStringLiteral("0 - None"), QStringLiteral("1 - Horizontal"),
              QStringLiteral("2 - Vertical"), QStringLiteral("3 - Both")},
             &C::Mirror, &C::setMirror),
      number(QStringLiteral("grayScale"), 0, 8, &C::grayScale, &C::setGrayScale),
      flag(QStringLiteral("AutoSize"), &C::AutoSize, &C::setAutoSize),
      flag(QStringLiteral("KeepOriginalFormat"), &C::KeepOriginalFormat, &C::setKeepOriginalFormat),
  };
}

bool parseNumber(const QString& text, int32_t& value) {
  bool ok = false;
  const QString trimmed = text.trimmed();
  const qlonglong parsed = trimmed.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                               ? trimmed.mid(2).toLongLong(&ok, 16)
                               : trimmed.toLongLong(&ok, 10);
  if (!ok || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  value = static_cast<int32_t>(parsed);
  return true;
}

// "#RRGGBB" as a colour number, which keeps blue in the high byte.
bool parseHtmlColour(const QString& text, int32_t& value) {
  if (text.size() != 7 || !text.startsWith(QLatin1Char('#'))) return false;
  bool ok = false;
  const uint rgb = text.mid(1).toUInt(&ok, 16);
  if (!ok) return false;
  const uint red = (rgb >> 16) & 0xFF, green = (rgb >> 8) & 0xFF, blue = rgb & 0xFF;
  value = static_cast<int32_t>(red | (green << 8) | (blue << 16));
  return true;
}

}  // namespace

const std::vector<DesignerProperty>& designerProperties() {
  static const std::vector<DesignerProperty> table = buildTable();
  return table;
}

const DesignerProperty* findDesignerProperty(const QString& name) {
  for (const DesignerProperty& property : designerProperties()) {
    if (property.name.compare(name, Qt::CaseInsensitive) == 0) return &property;
  }
  return nullptr;
}

bool parseDesignerValue(const DesignerProperty& property, const QString& text, int32_t& value) {
  const QString trimmed = text.trimmed().toLower();
  int32_t parsed = 0;
  if (property.kind == Kind::Flag &&
      (trimmed == QLatin1String("true") || trimmed == QLatin1String("false"))) {
    parsed = trimmed == QLatin1String("true") ? 1 : 0;
  } else if (property.kind == Kind::Colour && trimmed.startsWith(QLatin1Char('#'))) {
    if (!parseHtmlColour(trimmed, parsed)) return false;
  } else if (!parseNumber(trimmed, parsed)) {
    return false;
  }
  if (parsed < property.minimum || parsed > property.maximum) return false;
  value = parsed;
  return true;
}

bool applyDesignerSetting(aicAlphaImage& control, const QString& setting, QString* error) {
  auto fail = [&](const QString& reason) {
    if (error) *error = reason;
    return false;
  };
  const qsizetype equals = setting.indexOf(QLatin1Char('='));
  if (equals <= 0) return fail(QStringLiteral("\"%1\" is not Name=value").arg(setting));
  const QString name = setting.left(equals).trimmed();
  const DesignerProperty* property = findDesignerProperty(name);
  if (property == nullptr) return fail(QStringLiteral("no property named \"%1\"").arg(name));
  int32_t value = 0;
  if (!parseDesignerValue(*property, setting.mid(equals + 1), value)) {
    return fail(QStringLiteral("%1 takes a value from %2 to %3, not \"%4\"")
                    .arg(property->name)
                    .arg(property->minimum)
                    .arg(property->maximum)
                    .arg(setting.mid(equals + 1)));
  }
  property->set(control, value);
  return true;
}
