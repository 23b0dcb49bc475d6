#pragma once
// Translator: one language file in memory and the look-up of texts in it.
//
// The program keeps one program-wide instance (Translator::programWide()).
// Its usual set-up is: LanguageFilePath = the "Languages" folder,
// LookUpMethod = 3 (match on the base-language text), BaseLanguage =
// "English", UsingBase = true; then, each time a language is chosen,
// setLanguageFile(name) followed by Say(base text) for every text.
#include "i18n/languagetable.h"

#include <QString>
#include <QStringList>
#include <cstdint>

class Translator {
 public:
  // What setLanguageFile did.
  enum class LoadResult {
    Loaded,          // the file was read; its entries replaced the table
    KeptPrevious,    // the file could not be read or was empty; the table is unchanged
    NoLanguageFiles  // the base language was chosen but the folder holds no ".lng" file
  };

  Translator() = default;

  // The program-wide instance, created on first use.
  static Translator& programWide();

  // The folder of the language files, always ending in "/". Setting it lists
  // the folder's "*.lng" files again (sorted by name, letter case ignored);
  // a folder that cannot be read leaves the list empty.
  QString LanguageFilePath() const { return m_languageFilePath; }
  void setLanguageFilePath(const QString& path);

  // The file name, with extension, of the language file in memory.
  QString LanguageFile() const { return m_languageFile; }
  // Chooses a language by name (a file name without extension) and loads its
  // file. Another language than BaseLanguage loads "<name>.lng" and answers
  // from its translated column. The base language (letter case ignored)
  // answers from the base-language column of the first listed file; with no
  // file listed nothing changes but UsingBase, and NoLanguageFiles is returned.
  LoadResult setLanguageFile(const QString& languageName);

  QString BaseLanguage() const { return m_baseLanguage; }
  void setBaseLanguage(const QString& name) { m_baseLanguage = name; }

  // The name of the window being translated; kept for the caller, look-ups ignore it.
  QString UseFormName() const { return m_useFormName; }
  void setUseFormName(const QString& name) { m_useFormName = name; }

  // 1 = match the id, 2 = the name, 3 = the base-language text; any other
  // value (the initial 0 included) makes every look-up answer "".
  int16_t LookUpMethod() const { return m_lookUpMethod; }
  void setLookUpMethod(int16_t method) { m_lookUpMethod = method; }

  // true: look-ups answer the base-language column; false: the translated one.
  bool UsingBase() const { return m_usingBase; }
  void setUsingBase(bool usingBase) { m_usingBase = usingBase; }

  // The text of the first entry matching `key` without regard to letter case,
  // from the column UsingBase selects; "" when nothing matches.
  QString Say(const QString& key) const;
  QString Say(int64_t key) const { return Say(QString::number(key)); }

  // The "*.lng" names found when LanguageFilePath was last set, in order.
  const QStringList& languageFiles() const { return m_languageFiles; }
  const LanguageTable& table() const { return m_table; }

 private:
  LoadResult loadLanguageFile();
  QString resolveFileName(const QString& fileName) const;

  QString m_languageFilePath;
  QString m_languageFile;
  QString m_baseLanguage;
  QString m_useFormName;
  int16_t m_lookUpMethod = 0;
  bool m_usingBase = false;
  QStringList m_languageFiles;
  LanguageTable m_table;
};
