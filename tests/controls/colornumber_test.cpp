// Colour numbers as the controls receive them: text in 0x00BBGGRR layout, with
// system colours flagged by the top bit.
#include "controls/colornumber.h"

#include <QApplication>
#include <QtTest>

#include "colornumber_test.h"

void ColorNumberTest::readsDecimalHexAndSignedSystemColours() {
  QCOMPARE(parseColorNumber("8388608"), std::optional<std::uint32_t>(0x800000));
  QCOMPARE(parseColorNumber(" &H8000000F "), std::optional<std::uint32_t>(0x8000000F));
  QCOMPARE(parseColorNumber("0xff"), std::optional<std::uint32_t>(0xFF));
  // The platform writes system colours out as negative 32-bit numbers.
  QCOMPARE(parseColorNumber("-2147483633"), std::optional<std::uint32_t>(0x8000000F));
  QCOMPARE(parseColorNumber("2147483663"), std::optional<std::uint32_t>(0x8000000F));
  QCOMPARE(colorNumberText(kButtonFaceColorNumber), QString("-2147483633"));
}

void ColorNumberTest::refusesTextThatIsNoNumber() {
  QVERIFY(!parseColorNumber("").has_value());
  QVERIFY(!parseColorNumber("navy").has_value());
  QVERIFY(!parseColorNumber("&H").has_value());
  QVERIFY(!parseColorNumber("&H123456789").has_value());
  QVERIFY(!parseColorNumber("4294967296").has_value());
  QVERIFY(!parseColorNumber("-2147483649").has_value());
}

void ColorNumberTest::mapsRedFirstAndSystemColoursToThePalette() {
  QPalette palette;
  palette.setColor(QPalette::Active, QPalette::Button, QColor(1, 2, 3));
  palette.setColor(QPalette::Active, QPalette::Highlight, QColor(4, 5, 6));
  QCOMPARE(colorFromNumber(0x0000FF, palette), QColor(255, 0, 0));
  QCOMPARE(colorFromNumber(0x800000, palette), QColor(0, 0, 128));
  QCOMPARE(colorFromNumber(0x8000000F, palette), QColor(1, 2, 3));
  QCOMPARE(colorFromNumber(0x8000000D, palette), QColor(4, 5, 6));
  // An index the palette has no counterpart for still yields a usable colour.
  QCOMPARE(colorFromNumber(0x800000FE, palette), QColor(1, 2, 3));
}
