#include "i18n/extractbetween.h"

QString ExtractBetween(QStringView text, QStringView delimiters) {
  if (delimiters.isEmpty()) return {};
  const QChar opening = delimiters.front();
  const QChar closing = delimiters.back();
  const qsizetype start = text.indexOf(opening);
  if (start < 0) return {};
  const qsizetype end = text.lastIndexOf(closing);
  if (end <= start) return {};
  return text.sliced(start + 1, end - start - 1).toString();
}
