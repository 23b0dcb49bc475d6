#pragma once
// The settings file: read and write one value of an initialisation file (see
// persist/inidocument.h for the format). The program keeps only the language
// (section "main", key "language") and, optionally, the address of the test site.
#include <QString>

// Every value a read returns is cut to this many characters.
inline constexpr int kIniValueMaxLength = 254;

// The value of `key` in `section` of `fileName`, at most 254 characters; ""
// when the file, the section or the key is missing or the value is empty.
QString ReadIniValue(const QString& section, const QString& key, const QString& fileName);

// Stores `value` under `key` in `section` of `fileName`, creating the file and
// the section when missing and replacing an existing key in place; everything
// else in the file stays as it was. The file is replaced whole through a
// temporary file, so a failed write leaves the old one intact. Returns false
// when nothing was stored: the file exists but cannot be read, cannot be
// replaced, or the name or value cannot be held by the format (line breaks).
bool WriteIniValue(const QString& section, const QString& key, const QString& value,
                   const QString& fileName);
