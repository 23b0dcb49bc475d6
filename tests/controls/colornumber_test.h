#pragma once
#include <QObject>

class ColorNumberTest : public QObject {
  Q_OBJECT

 private slots:
  void readsDecimalHexAndSignedSystemColours();
  void refusesTextThatIsNoNumber();
  void mapsRedFirstAndSystemColoursToThePalette();
};
