#include "router/diagnosis.h"

#include <gtest/gtest.h>

namespace {

using router::Diagnosis;
using router::Ipv4;
using State = router::RuleAnswer::State;

constexpr int kPort = 5000;

Ipv4 ip(const char* text) { return *Ipv4::parse(std::string_view(text)); }

const Ipv4 kPc = ip("192.168.1.20");
const Ipv4 kPublic = ip("198.51.100.7");

router::RouterAnswers answers(std::optional<Ipv4> external, State state, Ipv4 client = kPc,
                              int port = kPort, bool enabled = true) {
  router::RouterAnswers result;
  result.gateway.method = router::Method::UpnpIgd;
  result.gateway.externalAddress = external;
  result.rule.state = state;
  result.rule.rule = {kPort, router::Transport::Tcp, client, port, {}, 0, enabled};
  return result;
}

Diagnosis closed(const router::RouterAnswers& from, std::optional<Ipv4> siteSaw = kPublic) {
  return router::diagnose(from, siteSaw, kPc, kPort, false);
}

TEST(RouterDiagnosis, OpenPortIsOkWhateverTheRouterSays) {
  EXPECT_EQ(router::diagnose({}, std::nullopt, kPc, kPort, true), Diagnosis::Ok);
  EXPECT_EQ(router::diagnose(answers(ip("100.64.0.2"), State::NoRule), kPublic, kPc, kPort, true),
            Diagnosis::Ok);
}

TEST(RouterDiagnosis, NoRouterOrNoExplanationIsUnknown) {
  EXPECT_EQ(closed({}), Diagnosis::Unknown);
  // A rule that points right here, and still closed: the router is not why.
  EXPECT_EQ(closed(answers(kPublic, State::Rule)), Diagnosis::Unknown);
  // NAT-PMP lists no rules.
  EXPECT_EQ(closed(answers(kPublic, State::NotKnown)), Diagnosis::Unknown);
}

TEST(RouterDiagnosis, MissingOrDisabledRuleIsNoMapping) {
  EXPECT_EQ(closed(answers(kPublic, State::NoRule)), Diagnosis::NoMapping);
  EXPECT_EQ(closed(answers(kPublic, State::Rule, kPc, kPort, false)), Diagnosis::NoMapping);
  // A router that keeps its address to itself still tells about its rules.
  EXPECT_EQ(closed(answers(std::nullopt, State::NoRule)), Diagnosis::NoMapping);
  EXPECT_EQ(closed(answers(kPublic, State::NoRule), std::nullopt), Diagnosis::NoMapping);
}

TEST(RouterDiagnosis, RuleForAnotherAddressOrPortIsMappedElsewhere) {
  EXPECT_EQ(closed(answers(kPublic, State::Rule, ip("192.168.1.21"))), Diagnosis::MappedElsewhere);
  EXPECT_EQ(closed(answers(kPublic, State::Rule, kPc, kPort + 1)), Diagnosis::MappedElsewhere);
}

TEST(RouterDiagnosis, SharedExternalAddressIsCgnatBeforeAnyRule) {
  EXPECT_EQ(closed(answers(ip("100.64.0.0"), State::NoRule)), Diagnosis::Cgnat);
  EXPECT_EQ(closed(answers(ip("100.127.255.255"), State::Rule)), Diagnosis::Cgnat);
  // Just outside 100.64.0.0/10: public addresses that match what the site saw.
  EXPECT_EQ(closed(answers(ip("100.63.255.255"), State::NoRule), ip("100.63.255.255")),
            Diagnosis::NoMapping);
  EXPECT_EQ(closed(answers(ip("100.128.0.0"), State::NoRule), ip("100.128.0.0")),
            Diagnosis::NoMapping);
}

TEST(RouterDiagnosis, PrivateOrUnseenExternalAddressIsDoubleNat) {
  for (const char* inner :
       {"10.1.2.3", "172.16.0.1", "172.31.255.255", "192.168.0.1", "169.254.1.1", "192.0.0.2"})
    EXPECT_EQ(closed(answers(ip(inner), State::NoRule)), Diagnosis::DoubleNat) << inner;
  EXPECT_EQ(closed(answers(ip("172.32.0.1"), State::NoRule), ip("172.32.0.1")),
            Diagnosis::NoMapping);
  // A public address, but not the one the site saw: another NAT sits between.
  EXPECT_EQ(closed(answers(ip("203.0.113.9"), State::Rule)), Diagnosis::DoubleNat);
}

TEST(RouterDiagnosis, NamesAreTheReportKeys) {
  EXPECT_EQ(router::diagnosisName(Diagnosis::MappedElsewhere), "mapped-elsewhere");
  EXPECT_EQ(router::diagnosisName(Diagnosis::DoubleNat), "double-nat");
  EXPECT_EQ(router::methodName(router::Method::NatPmp), "nat-pmp");
}

}  // namespace
