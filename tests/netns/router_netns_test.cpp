// The router help against a real router daemon, in the lab that
// run-router-tests.sh builds: the PC (this program), a router with NAT, the
// provider and the test site, each in a network namespace of its own.
#include "labcontrol.h"
#include "router/diagnosis.h"
#include "router/routerclient.h"
#include "router/routertask.h"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>

namespace {

using router::Diagnosis;
using router::Transport;

const router::Ipv4 kPc = *router::Ipv4::parse(std::string_view(lab::kPcAddress));

class RouterLab : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!lab::present())
      GTEST_SKIP() << "not inside the router lab: run through run-router-tests.sh";
  }

  // A full port test: listen on the PC, ask the site to probe, diagnose.
  struct PortTest {
    bool siteSaysOpen = false;
    bool arrived = false;
    std::string siteSaw;
    Diagnosis diagnosis = Diagnosis::Unknown;
  };
  PortTest testPort(router::RouterClient& client, int port) {
    PortTest result;
    lab::Listener listener(port);
    EXPECT_TRUE(listener.listening());
    const auto site = lab::askSite(port);
    EXPECT_TRUE(site.has_value()) << "the test site did not answer";
    if (!site) return result;
    result.siteSaysOpen = site->open;
    result.siteSaw = site->sawAddress;
    result.arrived = site->open && listener.connectionArrived();
    const router::RouterAnswers answers{client.gateway(), client.findRule(port, Transport::Tcp)};
    result.diagnosis =
        router::diagnose(answers, router::Ipv4::parse(std::string_view(site->sawAddress)), kPc,
                         port, result.arrived);
    return result;
  }
};

TEST_F(RouterLab, PortWithoutRuleIsNoMapping) {
  ASSERT_TRUE(lab::ensure(lab::Wan::Public, lab::Daemon::UpnpAndNatPmp));
  router::RouterClient client;
  const router::GatewayInfo gateway = client.discover();
  ASSERT_EQ(gateway.method, router::Method::UpnpIgd)
      << router::describe(gateway.outcome).toStdString();
  EXPECT_EQ(gateway.externalAddress, router::Ipv4::parse(std::string_view(lab::kPublicWanAddress)));
  EXPECT_EQ(gateway.localAddress, kPc);

  const PortTest test = testPort(client, 40001);
  EXPECT_FALSE(test.siteSaysOpen);
  EXPECT_EQ(test.siteSaw, lab::kPublicWanAddress);
  EXPECT_EQ(test.diagnosis, Diagnosis::NoMapping);
}

TEST_F(RouterLab, ForwardedPortIsReachedThroughTheRouterAndRemovedAgain) {
  ASSERT_TRUE(lab::ensure(lab::Wan::Public, lab::Daemon::UpnpAndNatPmp));
  router::RouterClient client;
  ASSERT_TRUE(client.discover().found());
  const router::Outcome added = client.forward(40002, Transport::Tcp, kPc);
  ASSERT_TRUE(added.ok()) << router::describe(added).toStdString();

  const PortTest test = testPort(client, 40002);
  EXPECT_TRUE(test.siteSaysOpen);
  EXPECT_TRUE(test.arrived);
  EXPECT_EQ(test.diagnosis, Diagnosis::Ok);
  ASSERT_EQ(client.addedRules().size(), 1u);
  EXPECT_EQ(client.addedRules()[0].leaseSeconds, router::kDefaultLeaseSeconds);

  EXPECT_TRUE(client.removeAll().ok());
  EXPECT_TRUE(client.addedRules().empty());
  EXPECT_EQ(client.findRule(40002, Transport::Tcp).state, router::RuleAnswer::State::NoRule);
  EXPECT_FALSE(testPort(client, 40002).siteSaysOpen);
}

TEST_F(RouterLab, ForwardingThroughNatPmpAloneReachesThePcToo) {
  ASSERT_TRUE(lab::ensure(lab::Wan::Public, lab::Daemon::NatPmpOnly));
  router::RouterClient client;
  const router::GatewayInfo gateway = client.discover();
  ASSERT_EQ(gateway.method, router::Method::NatPmp)
      << router::describe(gateway.outcome).toStdString();
  EXPECT_EQ(gateway.externalAddress, router::Ipv4::parse(std::string_view(lab::kPublicWanAddress)));
  ASSERT_TRUE(client.forward(40003, Transport::Tcp, kPc).ok());

  EXPECT_TRUE(testPort(client, 40003).arrived);
  EXPECT_TRUE(client.removeAll().ok());
  EXPECT_FALSE(testPort(client, 40003).siteSaysOpen);
}

// This case and the next meet a router that describes itself as an IGD v1.
TEST_F(RouterLab, RefusedForwardingSaysWhyAndAsksNothingForAnotherAddress) {
  ASSERT_TRUE(lab::ensure(lab::Wan::Public, lab::Daemon::UpnpV1AndNatPmp));
  router::RouterClient client;
  ASSERT_TRUE(client.discover().found());
  // The lab's router takes rules for ports from 1024 up only.
  const router::Outcome refused = client.forward(80, Transport::Tcp, kPc);
  EXPECT_EQ(refused.failure, router::Failure::NotAuthorised)
      << router::describe(refused).toStdString();
  const router::Ipv4 anotherComputer = *router::Ipv4::parse(std::string_view("10.77.0.3"));
  EXPECT_EQ(client.forward(40008, Transport::Tcp, anotherComputer).failure,
            router::Failure::WrongLocalAddress);
  EXPECT_EQ(client.findRule(40008, Transport::Tcp).state, router::RuleAnswer::State::NoRule);
  EXPECT_TRUE(client.addedRules().empty());
}

// Straight through the UPnP client library, as another program would:
// `call` gets the router's control address and service type.
bool withRouter(const std::function<bool(const char* controlUrl, const char* serviceType)>& call) {
  int error = 0;
  UPNPDev* devices = upnpDiscover(2000, nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error);
  UPNPUrls urls{};
  IGDdatas data{};
  char lan[40] = {};
  const int found = UPNP_GetValidIGD(devices, &urls, &data, lan, sizeof lan);
  bool done = false;
  if (found == 1 || found == 2) {
    done = call(urls.controlURL, data.first.servicetype);
    FreeUPNPUrls(&urls);
  }
  freeUPNPDevlist(devices);
  return done;
}

// Another program's rule.
bool addRuleToPort(int externalPort, int internalPort) {
  return withRouter([&](const char* controlUrl, const char* serviceType) {
    const std::string external = std::to_string(externalPort),
                      internal = std::to_string(internalPort);
    return UPNP_AddPortMapping(controlUrl, serviceType, external.c_str(), internal.c_str(),
                               lab::kPcAddress, "another program", "TCP", nullptr, "600") == 0;
  });
}

TEST_F(RouterLab, RuleToAnotherInternalPortIsMappedElsewhere) {
  ASSERT_TRUE(lab::ensure(lab::Wan::Public, lab::Daemon::UpnpV1AndNatPmp));
  ASSERT_TRUE(addRuleToPort(40004, 40005));
  router::RouterClient client;
  ASSERT_TRUE(client.discover().found());
  const router::RuleAnswer rule = client.findRule(40004, Transport::Tcp);
  ASSERT_EQ(rule.state, router::RuleAnswer::State::Rule);
  EXPECT_EQ(rule.rule.internalPort, 40005);
  EXPECT_EQ(rule.rule.description, QStringLiteral("another program"));

  const PortTest test = testPort(client, 40004);
  EXPECT_FALSE(test.arrived);
  EXPECT_EQ(test.diagnosis, Diagnosis::MappedElsewhere);
  // Not the program's rule: it may not remove it.
  EXPECT_EQ(client.remove(40004, Transport::Tcp).failure, router::Failure::NotOurs);
}

TEST_F(RouterLab, RouterBehindProviderNatIsCgnat) {
  ASSERT_TRUE(lab::ensure(lab::Wan::Carrier, lab::Daemon::UpnpAndNatPmp));
  router::RouterClient client;
  const router::GatewayInfo gateway = client.discover();
  ASSERT_EQ(gateway.method, router::Method::UpnpIgd)
      << router::describe(gateway.outcome).toStdString();
  EXPECT_EQ(gateway.externalAddress,
            router::Ipv4::parse(std::string_view(lab::kCarrierWanAddress)));
  // The router forwards, but the provider's NAT in front of it does not.
  ASSERT_TRUE(client.forward(40006, Transport::Tcp, kPc).ok());

  const PortTest test = testPort(client, 40006);
  EXPECT_FALSE(test.siteSaysOpen);
  EXPECT_EQ(test.siteSaw, lab::kCarrierPublicAddress);
  EXPECT_EQ(test.diagnosis, Diagnosis::Cgnat);
  EXPECT_TRUE(client.removeAll().ok());
}

// vantrel-check as a person runs it on the PC. It leaves the rule it adds to
// its lease, so the test removes the rule itself afterwards.
TEST_F(RouterLab, CheckCommandForwardsAPortAndReadsItOpenThroughTheRouter) {
  ASSERT_TRUE(lab::ensure(lab::Wan::Public, lab::Daemon::UpnpAndNatPmp));
  constexpr int kPort = 40012;
  const std::string command = std::string("timeout --kill-after=5 120 '") + VANTREL_CHECK_PROGRAM +
                              "' --site " + lab::kSiteUrl + " --ip " + lab::kPcAddress +
                              " --forward --lease 600 --json " + std::to_string(kPort) + "/tcp";
  std::string output;
  if (FILE* check = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t read; (read = fread(buffer, 1, sizeof buffer, check)) > 0;)
      output.append(buffer, read);
    EXPECT_EQ(pclose(check), 0) << output;
  }
  const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(output)).object();
  const QJsonObject expectedRouter{
      {"found", true}, {"protocol", "upnp-igd"}, {"external_address", lab::kPublicWanAddress}};
  EXPECT_EQ(report["router"].toObject(), expectedRouter) << output;
  const QJsonObject port = report["ports"].toArray().at(0).toObject();
  EXPECT_EQ(port["result"].toString(), QStringLiteral("open")) << output;
  EXPECT_EQ(port["forwarded"], QJsonValue(true));
  EXPECT_EQ(port["diagnosis"].toString(), QStringLiteral("ok"));

  router::RouterClient client;
  ASSERT_TRUE(client.discover().found());
  const router::RuleAnswer rule = client.findRule(kPort, Transport::Tcp);
  ASSERT_EQ(rule.state, router::RuleAnswer::State::Rule);
  EXPECT_EQ(rule.rule.internalClient, kPc);
  EXPECT_EQ(rule.rule.internalPort, kPort);
  EXPECT_GT(rule.rule.leaseSeconds, 0);
  EXPECT_LE(rule.rule.leaseSeconds, 600);
  EXPECT_TRUE(withRouter([](const char* controlUrl, const char* serviceType) {
    return UPNP_DeletePortMapping(controlUrl, serviceType, std::to_string(kPort).c_str(), "TCP",
                                  nullptr) == 0;
  }));
  EXPECT_EQ(client.findRule(kPort, Transport::Tcp).state, router::RuleAnswer::State::NoRule);
}

// Over IPv6 nothing is translated: the router's firewall alone decides, and
// it lets in exactly the one port it was told to.
TEST_F(RouterLab, Ipv6FirewallThatAllowsOnePortGivesOpenForItAndClosedForAnother) {
  constexpr int kAllowed = 40601;
  constexpr int kBlocked = 40602;
  ASSERT_TRUE(lab::control("ipv6 allow " + std::to_string(kAllowed)));
  const std::string command = std::string("timeout --kill-after=5 120 '") + VANTREL_CHECK_PROGRAM +
                              "' --site '" + lab::kSiteUrl6 + "' --ip " + lab::kPcAddress6 +
                              " --json " + std::to_string(kAllowed) + "/tcp " +
                              std::to_string(kBlocked) + "/tcp";
  std::string output;
  if (FILE* check = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t read; (read = fread(buffer, 1, sizeof buffer, check)) > 0;)
      output.append(buffer, read);
    EXPECT_EQ(pclose(check) >> 8, 1) << output;  // one port not open
  }
  const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(output)).object();
  EXPECT_EQ(report["public_address"].toString(), QLatin1String(lab::kPcAddress6)) << output;
  const QJsonArray ports = report["ports"].toArray();
  ASSERT_EQ(ports.size(), 2) << output;
  EXPECT_EQ(ports[0].toObject()["result"].toString(), QStringLiteral("open")) << output;
  EXPECT_EQ(ports[1].toObject()["result"].toString(), QStringLiteral("closed")) << output;
  EXPECT_EQ(ports[1].toObject()["family"].toString(), QStringLiteral("ipv6"));
}

// Behind the provider's NAT no rule helps over IPv4; the PC's global IPv6
// address is offered instead.
TEST_F(RouterLab, CheckCommandBehindProviderNatOffersAnIpv6Test) {
  ASSERT_TRUE(lab::ensure(lab::Wan::Carrier, lab::Daemon::UpnpAndNatPmp));
  const std::string command = std::string("timeout --kill-after=5 120 '") + VANTREL_CHECK_PROGRAM +
                              "' --site " + lab::kSiteUrl + " --ip " + lab::kPcAddress +
                              " --forward 40701/tcp";
  std::string output;
  if (FILE* check = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t read; (read = fread(buffer, 1, sizeof buffer, check)) > 0;)
      output.append(buffer, read);
    pclose(check);
  }
  EXPECT_NE(output.find("40701/tcp closed ("), std::string::npos) << output;
  EXPECT_NE(output.find(std::string("this computer has the IPv6 address ") + lab::kPcAddress6 +
                        ": an IPv6 test is possible (vantrel-check -6)"),
            std::string::npos)
      << output;
}

// The window's way: calls run on the task's thread, answers come back
// through the event loop of the receiver's thread.
class RouterLabWindow : public RouterLab {
 protected:
  int m_argc = 1;
  char m_name[17] = "RouterNetnsTests";
  char* m_argv[2] = {m_name, nullptr};
  QCoreApplication m_application{m_argc, m_argv};
};

TEST_F(RouterLabWindow, SilentNetworkIsUnknownWithinTheDiscoveryLimit) {
  ASSERT_TRUE(lab::ensure(lab::Wan::Public, lab::Daemon::Off));
  QCoreApplication& application = m_application;
  router::RouterTask task(&application);
  std::optional<router::GatewayInfo> gateway;
  QThread* answeredOn = nullptr;
  QEventLoop loop;
  const auto started = std::chrono::steady_clock::now();
  task.discover([&](const router::GatewayInfo& answer) {
    gateway = answer;
    answeredOn = QThread::currentThread();
    loop.quit();
  });
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);  // a bound, not an expectation
  loop.exec();
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_TRUE(gateway.has_value());
  EXPECT_EQ(answeredOn, application.thread());
  EXPECT_FALSE(gateway->found());
  EXPECT_EQ(gateway->outcome.failure, router::Failure::NoRouter);
  // Not a speed check: the libraries' own schedules wait far longer when a
  // network stays silent (NAT-PMP retries for about two minutes), so this
  // only tells that the search kept to its limit rather than theirs.
  const auto tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
  std::cout << "discovery on a silent network: " << tookMs << " ms\n";
  EXPECT_LT(took, 5 * router::RouterLimits{}.discovery);

  const auto site = lab::askSite(40007);
  ASSERT_TRUE(site.has_value());
  EXPECT_EQ(
      router::diagnose({*gateway, {}}, router::Ipv4::parse(std::string_view(site->sawAddress)), kPc,
                       40007, site->open),
      Diagnosis::Unknown);
}

TEST_F(RouterLabWindow, OverdueAnswerComesOnceAsNoAnswerAndTheLateOneIsDropped) {
  ASSERT_TRUE(lab::ensure(lab::Wan::Public, lab::Daemon::Off));
  router::RouterLimits limits;
  limits.answer = std::chrono::milliseconds(1000);
  router::RouterTask task(&m_application, limits);
  int searches = 0;
  std::vector<router::Failure> ruleAnswers;
  QEventLoop loop;
  task.discover([&](const router::GatewayInfo&) {
    ++searches;
    // Asked after the search, so answered after the rule question's late
    // answer: once this one is in, that one has been dropped.
    task.removeAll(
        [&](const router::Outcome&, const std::vector<router::PortRule>&) { loop.quit(); });
  });
  // Queued behind a search of a silent network (2 s): overdue before its turn.
  task.findRule(40009, Transport::Tcp, [&](const router::RuleAnswer& answer) {
    ruleAnswers.push_back(answer.outcome.failure);
  });
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);  // a bound, not an expectation
  loop.exec();
  EXPECT_EQ(searches, 1);
  EXPECT_EQ(ruleAnswers, std::vector<router::Failure>{router::Failure::NoAnswer});
}

}  // namespace
