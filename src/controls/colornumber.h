#pragma once
// Colours travel through the controls' properties as colour numbers written as
// text, in the platform's layout 0x00BBGGRR. A number with the top bit set names
// a system colour by its index in the low byte (0x8000000F is the button face);
// those are taken from the widget's palette so the control follows the theme.
#include <QColor>
#include <QPalette>
#include <QString>
#include <cstdint>
#include <optional>

inline constexpr std::uint32_t kButtonFaceColorNumber = 0x8000000F;

// Reads a colour number from text: decimal (signed or unsigned 32-bit, so the
// system colours may appear as negative numbers), "&H..." or "0x..." hex.
// Surrounding spaces are allowed; anything else yields nullopt.
std::optional<std::uint32_t> parseColorNumber(const QString& text);

// The colour that a colour number stands for. Unknown system colour indices
// fall back to the palette's button colour.
QColor colorFromNumber(std::uint32_t number, const QPalette& palette);

// The text a colour number is stored as: its decimal value as a signed 32-bit
// number, the way the platform writes these values out.
QString colorNumberText(std::uint32_t number);
