#include "apianswer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include "sitecontract/sitecontract.h"

namespace {

constexpr int kHttpOk = 200;
constexpr int kFirstErrorStatus = 400;

ApiAnswer notATestSite(const QString& why) {
  ApiAnswer answer;
  answer.kind = ApiAnswer::Kind::NotATestSite;
  answer.message = why;
  return answer;
}

QString stringField(const QJsonObject& object, const char* key) {
  const QJsonValue value = object.value(QLatin1String(key));
  return value.isString() ? value.toString() : QString();
}

}  // namespace

ApiAnswer readApiAnswer(int httpStatus, QByteArrayView body, const TestedPort& asked) {
  if (body.size() > kMaxApiAnswerBytes)
    return notATestSite(QStringLiteral("the answer is far too large"));
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(body.toByteArray(), &parseError);
  if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
    return notATestSite(
        QStringLiteral("the answer (HTTP status %1) is not the test site's JSON").arg(httpStatus));
  }
  const QJsonObject object = document.object();

  if (httpStatus >= kFirstErrorStatus) {
    const QString reason = stringField(object, sitecontract::kAnswerError);
    if (reason.isEmpty())
      return notATestSite(
          QStringLiteral("HTTP status %1 without the site's reason").arg(httpStatus));
    ApiAnswer answer;
    answer.kind = ApiAnswer::Kind::Refused;
    answer.message = QStringLiteral("%1 (HTTP status %2)").arg(reason).arg(httpStatus);
    return answer;
  }
  if (httpStatus != kHttpOk)
    return notATestSite(QStringLiteral("unexpected HTTP status %1").arg(httpStatus));

  // An answer about another port or protocol is not an answer to this test.
  const QJsonValue port = object.value(QLatin1String(sitecontract::kAnswerPort));
  if (!port.isDouble() || port.toDouble() != asked.port ||
      stringField(object, sitecontract::kAnswerProtocol) != protocolName(asked.protocol)) {
    return notATestSite(QStringLiteral("the answer is not about port %1/%2")
                            .arg(asked.port)
                            .arg(protocolName(asked.protocol)));
  }
  ApiAnswer answer;
  answer.kind = ApiAnswer::Kind::Tested;
  answer.address = stringField(object, sitecontract::kAnswerAddress);
  answer.token = stringField(object, sitecontract::kAnswerToken);
  if (answer.address.isEmpty()) return notATestSite(QStringLiteral("the answer names no address"));
  if (asked.protocol == PortProtocol::Udp && answer.token.isEmpty()) {
    return notATestSite(QStringLiteral("the UDP answer names no token"));
  }
  return answer;
}
