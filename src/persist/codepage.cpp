#include "persist/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <langinfo.h>

namespace {

// The name of the locale's character set, or "UTF-8" when the locale names
// none or only ASCII.
QByteArray systemCharset() {
  const QByteArray codeset(::nl_langinfo(CODESET));
  if (codeset.isEmpty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" ||
      codeset == "US-ASCII") {
    return QByteArrayLiteral("UTF-8");
  }
  return codeset;
}

}  // namespace

QString decodeSystemText(QByteArrayView bytes) {
  QStringDecoder decoder(systemCharset().constData());
  if (!decoder.isValid()) decoder = QStringDecoder(QStringDecoder::Utf8);
  return decoder.decode(bytes);
}

QByteArray encodeSystemText(QStringView text) {
  QStringEncoder encoder(systemCharset().constData());
  if (!encoder.isValid()) encoder = QStringEncoder(QStringEncoder::Utf8);
  return encoder.encode(text);
}
