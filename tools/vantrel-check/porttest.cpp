#include "porttest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "apianswer.h"
#include "sitecontract/sitecontract.h"

namespace {

constexpr int kTooManyTests = 429;
constexpr int kBusy = 503;

QString requestPath(const TestedPort& tested) {
  return QLatin1String(sitecontract::kApiPortPrefix) + QString::number(tested.port) +
         QLatin1Char('?') + QLatin1String(sitecontract::kApiProtocolParameter) + QLatin1Char('=') +
         protocolName(tested.protocol);
}

QString arrivalDetail(const TestedPort& tested, bool open) {
  if (tested.protocol == PortProtocol::Tcp) {
    return open ? QStringLiteral("the site's connection request arrived")
                : QStringLiteral("no connection request arrived before the site's answer");
  }
  return open
             ? QStringLiteral("the site's datagram arrived")
             : QStringLiteral("no datagram with the site's token arrived before the site's answer");
}

}  // namespace

PortTest::PortTest(QNetworkAccessManager& network, const QString& site, const SiteRoute& route,
                   const QString& localIp, const TestedPort& tested,
                   std::chrono::milliseconds limit, QObject* parent)
    : QObject(parent),
      m_network(network),
      m_site(site),
      m_route(route),
      m_localIp(localIp),
      m_limit(limit),
      m_listener(tested.protocol) {
  m_outcome.tested = tested;
  // Only the site's own datagram proves a UDP port open.
  m_listener.requireProbeToken(true);
  m_deadline.setSingleShot(true);
  connect(&m_deadline, &QTimer::timeout, this, [this] {
    finishWithSiteFailure(QStringLiteral("the site did not answer within %1 s")
                              .arg(static_cast<double>(m_limit.count()) / 1000.0));
  });
}

PortTest::~PortTest() {
  if (m_reply) {
    m_reply->disconnect(this);
    m_reply->abort();
    m_reply->deleteLater();
  }
}

void PortTest::start() {
  m_clock.start();
  const PortOpening opening = m_listener.open(m_outcome.tested.port, m_localIp);
  if (!opening.listening()) {
    m_outcome.result = resultOfOpening(opening);
    m_outcome.detail = opening.errorText;
    QMetaObject::invokeMethod(this, &PortTest::finish, Qt::QueuedConnection);
    return;
  }
  m_deadline.start(m_limit);
  sendRequest();
}

void PortTest::sendRequest() {
  // A site whose name was looked up for the test's family is asked at that
  // address, under its own name.
  const bool byAddress = !m_route.hostHeader.isEmpty();
  QNetworkRequest request(
      QUrl((byAddress ? m_route.url.toString() : m_site) + requestPath(m_outcome.tested)));
  if (byAddress) {
    request.setRawHeader("Host", m_route.hostHeader.toLatin1());
    request.setPeerVerifyName(m_route.host);
  }
  request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("vantrel-check"));
  m_replyTooLarge = false;
  m_reply = m_network.get(request);
  connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
    if (received > kMaxApiAnswerBytes && m_reply) {
      m_replyTooLarge = true;
      m_reply->abort();
    }
  });
  connect(m_reply, &QNetworkReply::finished, this, &PortTest::onReplyFinished);
}

void PortTest::onReplyFinished() {
  QNetworkReply* reply = m_reply;
  m_reply = nullptr;
  if (!reply) return;
  reply->deleteLater();
  if (m_finished) return;
  if (m_replyTooLarge)
    return finishWithSiteFailure(QStringLiteral("the answer is far larger than the test site's"));

  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!status.isValid()) return finishWithSiteFailure(reply->errorString());
  const int httpStatus = status.toInt();
  if (retryLater(*reply, httpStatus)) return;

  const ApiAnswer answer = readApiAnswer(httpStatus, reply->readAll(), m_outcome.tested);
  switch (answer.kind) {
    case ApiAnswer::Kind::NotATestSite:
      return finishWithSiteFailure(answer.message);
    case ApiAnswer::Kind::Refused:
      m_outcome.result = PortResult::Error;
      m_outcome.detail = QStringLiteral("the site refused the test: ") + answer.message;
      return finish();
    case ApiAnswer::Kind::Tested:
      break;
  }
  decide(answer.address, answer.token);
}

bool PortTest::retryLater(QNetworkReply& reply, int httpStatus) {
  // A busy or rate-limited site says when to come back; when that is within
  // this port's time, asking again is what a person would do.
  if (httpStatus != kTooManyTests && httpStatus != kBusy) return false;
  bool isNumber = false;
  const qint64 seconds = reply.rawHeader("Retry-After").trimmed().toLongLong(&isNumber);
  if (!isNumber || seconds < 0) return false;
  const qint64 waitMs = seconds * 1000;
  if (m_clock.elapsed() + waitMs >= m_limit.count()) return false;
  QTimer::singleShot(std::chrono::milliseconds(waitMs), this, [this] {
    if (!m_finished) sendRequest();
  });
  return true;
}

void PortTest::decide(const QString& address, const QString& token) {
  if (m_finished) return;
  m_listener.takeWaitingArrivals();
  const bool open = m_listener.arrivalSeenFor(token);
  m_outcome.result = verdictFor(open);
  m_outcome.detail = arrivalDetail(m_outcome.tested, open);
  m_outcome.publicAddress = address;
  finish();
}

void PortTest::finishWithSiteFailure(const QString& detail) {
  if (m_finished) return;
  m_outcome.result = PortResult::Error;
  m_outcome.detail = detail;
  m_outcome.siteFailed = true;
  finish();
}

void PortTest::finish() {
  if (m_finished) return;
  m_finished = true;
  m_deadline.stop();
  if (m_reply) {
    m_reply->disconnect(this);
    m_reply->abort();
  }
  m_listener.close();
  emit finished(m_outcome);
}
