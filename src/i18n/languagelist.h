#pragma once
// The language list file ("_Current_Languages.txt"): one chooser item a line,
// "display name | language file name", for example "Deutsch | German". Only
// UTF-16LE text with its byte-order mark is taken; a file in any other
// encoding, a missing file and an empty file give no items.
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>

// The items of a list file's bytes, in file order: lines split at CR LF,
// trimmed of spaces, blank lines and "'" comments left out.
QStringList ParseLanguageList(QByteArrayView bytes);

// Reads the list file whole and hands each item to `addLanguageItem` in file
// order (the main window adds them to its language chooser).
void LoadLanguageList(const std::function<void(const QString&)>& addLanguageItem,
                      const QString& fileName);
