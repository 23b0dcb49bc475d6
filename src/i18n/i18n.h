#pragma once
// Localisation: language files are read into a Translator, which answers text
// look-ups by a control's base-language wording; ModLanguage walks a window's
// controls, remembers their built-in texts and writes translations into them.
// Qt Core only: windows are reached through platform/translatable.h.
#include "i18n/languagefile.h"
#include "i18n/languagelist.h"
#include "i18n/languagetable.h"
#include "i18n/modlanguage.h"
#include "i18n/translator.h"
