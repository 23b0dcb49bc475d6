#pragma once
// One port tested from the command line: the shared listener on (ip, port),
// the site's JSON test in place of the browser, and the shared verdict taken
// when the answer arrives. Everything is bounded by one time limit.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>

#include "app/engine/portlistener.h"
#include "app/engine/portverdict.h"
#include "app/engine/siteroute.h"
#include "app/engine/testedport.h"

class QNetworkAccessManager;
class QNetworkReply;

struct PortTestOutcome {
  TestedPort tested;
  PortResult result = PortResult::Error;
  QString detail;
  QString publicAddress;  // the address the site probed, when it answered
  // The site could not be used at all (unreachable, silent, or not a test
  // site), as opposed to a site that answered and refused this one test.
  bool siteFailed = false;
};

class PortTest : public QObject {
  Q_OBJECT

 public:
  // `site` as given; the requests go where `route` says (over the family of localIp).
  PortTest(QNetworkAccessManager& network, const QString& site, const SiteRoute& route,
           const QString& localIp, const TestedPort& tested, std::chrono::milliseconds limit,
           QObject* parent = nullptr);
  ~PortTest() override;

  // Opens the port and asks the site; finished() follows exactly once, never
  // from within start().
  void start();

 signals:
  void finished(const PortTestOutcome& outcome);

 private:
  void sendRequest();
  void onReplyFinished();
  bool retryLater(QNetworkReply& reply, int httpStatus);
  void decide(const QString& address, const QString& token);
  void finishWithSiteFailure(const QString& detail);
  void finish();

  QNetworkAccessManager& m_network;
  QString m_site;
  SiteRoute m_route;
  QString m_localIp;
  std::chrono::milliseconds m_limit;
  PortListener m_listener;
  QPointer<QNetworkReply> m_reply;
  bool m_replyTooLarge = false;
  QTimer m_deadline;
  QElapsedTimer m_clock;
  PortTestOutcome m_outcome;
  bool m_finished = false;
};
