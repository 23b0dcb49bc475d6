#pragma once
// Putting a window into a language. StoreDefaultTexts runs once per window,
// before any language is applied, and keeps every control's built-in
// (base-language) text in its Tag; ApplyLanguage then looks each Tag up and
// writes the translation into the control. Because the key is always the
// stored base text, a window can switch from any language to any other and
// back without being rebuilt. Neither procedure reports an error: a step that
// fails is skipped and the walk goes on.
#include "i18n/translator.h"
#include "platform/translatable.h"

#include <QString>
#include <optional>

// The names the program and its "Languages" folder agree on.
inline const QString kLanguagesFolderName = QStringLiteral("Languages");
inline const QString kLanguageListFileName = QStringLiteral("_Current_Languages.txt");
inline const QString kBaseLanguage = QStringLiteral("English");
// The chooser item the program adds after the listed languages.
inline const QString kBaseLanguageItem = QStringLiteral("English | English");

// The start-up set-up of a Translator for the window `windowName`: language
// files from <programFolder>/Languages, look-up by base-language text (method
// 3), English as the base language, answering from the base column.
void ConfigureTranslator(Translator& translator, const QString& programFolder,
                         const QString& windowName);

// Each control's Tag becomes its Caption, then its Text (so a control with
// both keeps its Text); a control with neither keeps its Tag. Then the
// window's Tag becomes the window's Caption.
void StoreDefaultTexts(TranslatableWindow& window);

// Loads `languageName` into the program-wide Translator and retitles every
// control, in collection order, and the window caption with the translation
// of its Tag. A Tag without a (non-empty) translation leaves its control as it is.
void ApplyLanguage(const QString& languageName, TranslatableWindow& window);
// The same with a given Translator.
void ApplyLanguage(const QString& languageName, TranslatableWindow& window, Translator& translator);

// The language name of a chooser item "display name | file name": the second
// piece of the item split at " | " ("Deutsch | German" gives "German"), or
// nullopt when the item holds no " | ".
std::optional<QString> LanguageNameOfItem(const QString& item);
