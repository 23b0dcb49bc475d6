#include "app/engine/probepayload.h"

#include "sitecontract/sitecontract.h"

namespace {

// The datagram's number is small (the site sends three); more digits than
// this is not a probe.
constexpr qsizetype kMaxSequenceDigits = 9;

bool isLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<QString> probeTokenOf(QByteArrayView datagram) {
  const QByteArrayView word(sitecontract::kUdpProbeWord);
  const qsizetype tokenLength = static_cast<qsizetype>(sitecontract::kUdpTokenLength);
  // word, space, token, space, at least one digit, line feed
  const qsizetype shortest = word.size() + 1 + tokenLength + 1 + 1 + 1;
  if (datagram.size() < shortest || datagram.size() > shortest - 1 + kMaxSequenceDigits)
    return std::nullopt;
  if (!datagram.startsWith(word) || datagram[word.size()] != ' ') return std::nullopt;

  const QByteArrayView token = datagram.sliced(word.size() + 1, tokenLength);
  for (char c : token) {
    if (!isLowerHex(c)) return std::nullopt;
  }
  const qsizetype afterToken = word.size() + 1 + tokenLength;
  if (datagram[afterToken] != ' ' || datagram.back() != '\n') return std::nullopt;
  const QByteArrayView sequence = datagram.sliced(afterToken + 1, datagram.size() - afterToken - 2);
  for (char c : sequence) {
    if (!isDigit(c)) return std::nullopt;
  }
  return QString::fromLatin1(token.data(), token.size());
}
