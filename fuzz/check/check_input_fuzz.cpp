// What vantrel-check reads from outside: the site's JSON answer (with any
// status), datagrams arriving on a tested UDP port, and port texts from the
// command line or the port list file.
#include <QByteArrayView>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "apianswer.h"
#include "app/engine/probepayload.h"
#include "app/engine/testedport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte picks the HTTP status and the protocol asked about.
  const int statuses[] = {200, 200, 400, 429, 503, 404, 302, 500};
  const int status = statuses[data[0] & 0x07];
  const TestedPort asked{8080, (data[0] & 0x08) != 0 ? PortProtocol::Udp : PortProtocol::Tcp};
  const QByteArrayView rest(reinterpret_cast<const char*>(data + 1),
                            static_cast<qsizetype>(size - 1));

  const ApiAnswer answer = readApiAnswer(status, rest, asked);
  if (answer.kind == ApiAnswer::Kind::Tested && answer.address.isEmpty()) __builtin_trap();

  if (const auto token = probeTokenOf(rest); token && token->size() != 16) __builtin_trap();

  const QString text = QString::fromUtf8(rest);
  const std::variant<TestedPort, QString> parsed = parseTestedPort(text);
  if (const auto* tested = std::get_if<TestedPort>(&parsed);
      tested && (tested->port < 1 || tested->port > 65535)) {
    __builtin_trap();
  }
  return 0;
}
