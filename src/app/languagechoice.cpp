#include "app/languagechoice.h"

#include <QStringList>

std::optional<QString> languageFileName(const QString& chooserText) {
  const QStringList pieces = chooserText.split(QStringLiteral(" | "));
  if (pieces.size() < 2) return std::nullopt;
  return pieces.at(1);
}
