#include "controls/colornumber.h"

#include <limits>

namespace {

constexpr std::uint32_t kSystemColorFlag = 0x80000000u;

std::optional<std::uint32_t> parseHex(const QString& digits) {
  if (digits.isEmpty() || digits.size() > 8) return std::nullopt;
  bool ok = false;
  const std::uint32_t value = digits.toUInt(&ok, 16);
  if (!ok) return std::nullopt;
  return value;
}

struct SystemColor {
  std::uint32_t index;
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
};

// The system colours a control can meaningfully ask for, mapped to the
// nearest palette role.
constexpr SystemColor kSystemColors[] = {
    {0x00, QPalette::Active, QPalette::Button},           // scroll bar
    {0x01, QPalette::Active, QPalette::Dark},             // desktop
    {0x02, QPalette::Active, QPalette::Highlight},        // active caption
    {0x03, QPalette::Inactive, QPalette::Highlight},      // inactive caption
    {0x04, QPalette::Active, QPalette::Window},           // menu
    {0x05, QPalette::Active, QPalette::Base},             // window
    {0x06, QPalette::Active, QPalette::Shadow},           // window frame
    {0x07, QPalette::Active, QPalette::WindowText},       // menu text
    {0x08, QPalette::Active, QPalette::Text},             // window text
    {0x09, QPalette::Active, QPalette::HighlightedText},  // caption text
    {0x0C, QPalette::Active, QPalette::Dark},             // application workspace
    {0x0D, QPalette::Active, QPalette::Highlight},        // highlight
    {0x0E, QPalette::Active, QPalette::HighlightedText},  // highlight text
    {0x0F, QPalette::Active, QPalette::Button},           // button face
    {0x10, QPalette::Active, QPalette::Dark},             // button shadow
    {0x11, QPalette::Disabled, QPalette::Text},           // gray text
    {0x12, QPalette::Active, QPalette::ButtonText},       // button text
    {0x14, QPalette::Active, QPalette::Light},            // button highlight
    {0x15, QPalette::Active, QPalette::Shadow},           // dark shadow
    {0x16, QPalette::Active, QPalette::Midlight},         // light
    {0x17, QPalette::Active, QPalette::ToolTipText},      // tooltip text
    {0x18, QPalette::Active, QPalette::ToolTipBase},      // tooltip background
};

}  // namespace

std::optional<std::uint32_t> parseColorNumber(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) return parseHex(trimmed.mid(2));
  if (trimmed.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) return parseHex(trimmed.mid(2));

  bool ok = false;
  const qlonglong value = trimmed.toLongLong(&ok, 10);
  if (!ok) return std::nullopt;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

QColor colorFromNumber(std::uint32_t number, const QPalette& palette) {
  if (number & kSystemColorFlag) {
    const std::uint32_t index = number & 0xFFu;
    for (const SystemColor& system : kSystemColors) {
      if (system.index == index) return palette.color(system.group, system.role);
    }
    return palette.color(QPalette::Active, QPalette::Button);
  }
  const int red = static_cast<int>(number & 0xFFu);
  const int green = static_cast<int>((number >> 8) & 0xFFu);
  const int blue = static_cast<int>((number >> 16) & 0xFFu);
  return QColor(red, green, blue);
}

QString colorNumberText(std::uint32_t number) {
  return QString::number(static_cast<std::int32_t>(number));
}
