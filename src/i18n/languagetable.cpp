#include "i18n/languagetable.h"

#include <utility>

LanguageTable::LanguageTable(std::vector<LanguageEntry> entries) : m_entries(std::move(entries)) {
  m_upperKeys.reserve(m_entries.size());
  m_upperNames.reserve(m_entries.size());
  for (const LanguageEntry& entry : m_entries) {
    m_upperKeys.push_back(entry.key.toUpper());
    m_upperNames.push_back(entry.name.toUpper());
  }
}

const LanguageEntry* LanguageTable::find(LookUpField field, const QString& key) const {
  const QString wanted = key.toUpper();
  for (size_t i = 0; i < m_entries.size(); ++i) {
    bool equal = false;
    switch (field) {
      case LookUpField::Id:
        equal = QString::number(m_entries[i].id) == wanted;
        break;
      case LookUpField::Name:
        equal = m_upperNames[i] == wanted;
        break;
      case LookUpField::Key:
        equal = m_upperKeys[i] == wanted;
        break;
    }
    if (equal) return &m_entries[i];
  }
  return nullptr;
}
