#pragma once
// How typed values become socket bytes and back: numbers as their
// little-endian bytes, Booleans as FF FF / 00 00, strings in the locale's
// 8-bit encoding, string arrays joined by (or split at) line endings.

#include "net/sockvariant.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The value of the given type built from received bytes. *used tells how many
// of them the value took: a scalar takes at most its own width.
SockVariant variantFromBytes(int type, QByteArrayView bytes, qsizetype* used);

// The bytes a value is sent as; false for a type that cannot be sent.
bool bytesFromVariant(const SockVariant& value, const QString& lineEnding, QByteArray* out);

// Text as its UTF-16 (little-endian) code units, two bytes per character.
QByteArray utf16Bytes(const QString& text);
