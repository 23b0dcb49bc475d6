#include "persist/modlist.h"

#include "persist/atomicfile.h"
#include "persist/codepage.h"

#include <QFile>

void AddPortRow(PortRowList& list, QStringView line) {
  const qsizetype firstComma = line.indexOf(u',');
  if (firstComma < 0) {
    list.appendPortRow({line.toString(), QString()});
    return;
  }
  const QStringView rest = line.sliced(firstComma + 1);
  const qsizetype secondComma = rest.indexOf(u',');
  const QStringView protocol = secondComma < 0 ? rest : rest.first(secondComma);
  list.appendPortRow({line.first(firstComma).toString(), protocol.toString()});
}

int readPortList(PortRowList& list, QByteArrayView fileBytes) {
  const QString text = decodeSystemText(fileBytes);
  int added = 0;
  qsizetype lineStart = 0;
  const qsizetype size = text.size();
  while (lineStart < size) {
    qsizetype lineEnd = lineStart;
    while (lineEnd < size && text[lineEnd] != u'\r' && text[lineEnd] != u'\n') ++lineEnd;
    if (lineEnd > lineStart) {
      AddPortRow(list, QStringView(text).sliced(lineStart, lineEnd - lineStart));
      ++added;
    }
    // CR LF is one line end; a lone CR or LF is one too.
    qsizetype next = lineEnd;
    if (next < size && text[next] == u'\r') ++next;
    if (next < size && text[next] == u'\n' && (next == lineEnd || text[next - 1] == u'\r')) ++next;
    lineStart = next > lineEnd ? next : lineEnd + 1;
  }
  return added;
}

QByteArray writePortList(const PortRowList& list) {
  QString text;
  const int count = list.portRowCount();
  for (int index = 0; index < count; ++index) {
    const PortRow row = list.portRow(index);
    text += row.port;
    text += u',';
    text += row.protocol;
    text += QLatin1String("\r\n");
  }
  return encodeSystemText(text);
}

int LoadPortList(PortRowList& list, const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return 0;
  return readPortList(list, bytes);
}

bool SavePortList(const PortRowList& list, const QString& path) {
  return writeFileAtomically(path, writePortList(list));
}
