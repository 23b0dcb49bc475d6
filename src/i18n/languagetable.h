#pragma once
// The entries of one language file and the matching of a look-up key against
// them: the key and the chosen field are compared in upper case, and the first
// entry in file order that matches wins.
#include "i18n/languagefile.h"

#include <QString>
#include <vector>

enum class LookUpField : qint16 { Id = 1, Name = 2, Key = 3 };

class LanguageTable {
 public:
  LanguageTable() = default;
  explicit LanguageTable(std::vector<LanguageEntry> entries);

  // The first entry whose `field` equals `key` without regard to letter case,
  // or nullptr. An id is compared as its decimal text.
  const LanguageEntry* find(LookUpField field, const QString& key) const;

  const std::vector<LanguageEntry>& entries() const { return m_entries; }
  bool isEmpty() const { return m_entries.empty(); }

 private:
  std::vector<LanguageEntry> m_entries;
  // Upper-cased copies made once per load, so that a look-up upper-cases only its key.
  std::vector<QString> m_upperKeys;
  std::vector<QString> m_upperNames;
};
