#pragma once
// Items of the language chooser read "display name | file name", for example
// "English | English"; the part after the first " | " names the language file.
#include <QString>
#include <optional>

inline const QString kBaseLanguageChoice = QStringLiteral("English | English");

// The language file name of a chooser text, or nothing when the text has no
// " | " (then no language is applied and the window keeps its texts).
std::optional<QString> languageFileName(const QString& chooserText);
