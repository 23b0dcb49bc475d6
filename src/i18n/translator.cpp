#include "i18n/translator.h"

#include <QDir>
#include <QFileInfo>

Translator& Translator::programWide() {
  static Translator instance;
  return instance;
}

void Translator::setLanguageFilePath(const QString& path) {
  m_languageFilePath = path.endsWith(u'/') ? path : path + u'/';
  m_languageFiles.clear();
  // The file system's own listing order differs between machines; sorting makes
  // the base-language rule pick the same file everywhere.
  const QDir folder(m_languageFilePath);
  const QStringList found =
      folder.entryList({QStringLiteral("*.lng")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
  for (const QString& name : found) {
    if (!m_languageFiles.contains(name)) m_languageFiles.push_back(name);
  }
}

Translator::LoadResult Translator::setLanguageFile(const QString& languageName) {
  if (languageName.toLower() != m_baseLanguage.toLower()) {
    m_languageFile = languageName + QStringLiteral(".lng");
    m_usingBase = false;
    return loadLanguageFile();
  }
  m_usingBase = true;
  if (m_languageFiles.isEmpty()) return LoadResult::NoLanguageFiles;
  m_languageFile = m_languageFiles.front();
  return loadLanguageFile();
}

QString Translator::resolveFileName(const QString& fileName) const {
  const QString exact = m_languageFilePath + fileName;
  if (QFileInfo::exists(exact)) return exact;
  // Language names come from the chooser and from "settings.ini", which people
  // edit by hand; "german" should still find "German.lng".
  const QDir folder(m_languageFilePath);
  for (const QString& name : folder.entryList(QDir::Files)) {
    if (name.compare(fileName, Qt::CaseInsensitive) == 0) return m_languageFilePath + name;
  }
  return exact;
}

Translator::LoadResult Translator::loadLanguageFile() {
  const std::optional<QByteArray> bytes = ReadBoundedFile(resolveFileName(m_languageFile));
  if (!bytes || bytes->isEmpty()) return LoadResult::KeptPrevious;
  m_table = LanguageTable(ParseLanguageFile(*bytes));
  return LoadResult::Loaded;
}

QString Translator::Say(const QString& key) const {
  if (m_lookUpMethod < 1 || m_lookUpMethod > 3) return {};
  const LanguageEntry* entry = m_table.find(static_cast<LookUpField>(m_lookUpMethod), key);
  if (!entry) return {};
  return m_usingBase ? entry->key : entry->value;
}
