#include "site/site_options.h"

#include <gtest/gtest.h>

using site::parseOptions;
using Action = site::ParsedOptions::Action;

TEST(SiteOptions, DefaultsMatchTheHelpText) {
  const auto parsed = parseOptions({});
  ASSERT_EQ(parsed.action, Action::Run);
  EXPECT_EQ(parsed.options.listenAddress.text(), "127.0.0.1");
  EXPECT_EQ(parsed.options.port, 8380);
  EXPECT_EQ(parsed.options.probeTimeout.count(), 3000);
  EXPECT_EQ(parsed.options.burst, 30u);
  EXPECT_EQ(parsed.options.refill.count(), 2000);
  EXPECT_EQ(parsed.options.maxProbes, 64u);
  EXPECT_FALSE(parsed.options.trustProxy);
  EXPECT_FALSE(parsed.options.probeAddress);
}

TEST(SiteOptions, ReadsEveryOptionInBothSpellings) {
  const auto parsed = parseOptions({"--listen",
                                    "::",
                                    "--port=0",
                                    "--probe-timeout-ms",
                                    "250",
                                    "--burst=2",
                                    "--refill-ms",
                                    "10",
                                    "--max-probes",
                                    "5",
                                    "--trust-proxy",
                                    "10.0.0.1",
                                    "--probe-address=127.0.0.9",
                                    "--workers",
                                    "4",
                                    "--max-queue",
                                    "3",
                                    "--max-connections-per-address",
                                    "7",
                                    "--client-timeout-ms",
                                    "900",
                                    "--udp-gap-ms",
                                    "0"});
  ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
  const auto& o = parsed.options;
  EXPECT_EQ(o.listenAddress.text(), "::");
  EXPECT_EQ(o.port, 0);
  EXPECT_EQ(o.probeTimeout.count(), 250);
  EXPECT_EQ(o.burst, 2u);
  EXPECT_EQ(o.refill.count(), 10);
  EXPECT_EQ(o.maxProbes, 5u);
  EXPECT_EQ(o.trustProxy->text(), "10.0.0.1");
  EXPECT_EQ(o.probeAddress->text(), "127.0.0.9");
  EXPECT_EQ(o.workers, 4u);
  EXPECT_EQ(o.maxQueue, 3u);
  EXPECT_EQ(o.maxConnectionsPerAddress, 7u);
  EXPECT_EQ(o.clientTimeout.count(), 900);
  EXPECT_EQ(o.udpGap.count(), 0);
}

TEST(SiteOptions, BadValuesFailWithTheOptionNamed) {
  const std::vector<std::vector<std::string>> bad = {
      {"--port", "65536"},         {"--port", "http"},         {"--port"},
      {"--listen", "example.com"}, {"--burst", "0"},           {"--refill-ms", "-5"},
      {"--max-probes", "1.5"},     {"--probe-timeout-ms", ""}, {"--trust-proxy", "10.0.0.256"},
      {"--workers", "0"},
  };
  for (const auto& arguments : bad) {
    const auto parsed = parseOptions(arguments);
    EXPECT_EQ(parsed.action, Action::Fail) << arguments[0];
    EXPECT_NE(parsed.error.find(arguments[0]), std::string::npos) << parsed.error;
  }
  const auto unknown = parseOptions({"--verbose"});
  EXPECT_EQ(unknown.action, Action::Fail);
  EXPECT_NE(unknown.error.find("--verbose"), std::string::npos);
}

TEST(SiteOptions, HelpWinsAndListsEveryOption) {
  EXPECT_EQ(parseOptions({"--port", "1", "--help"}).action, Action::ShowHelp);
  const std::string help = site::helpText("vantrel-site");
  for (const char* name :
       {"--listen", "--port", "--probe-timeout-ms", "--burst", "--refill-ms", "--max-probes",
        "--trust-proxy", "--probe-address", "--workers", "--max-queue",
        "--max-connections-per-address", "--client-timeout-ms", "--udp-gap-ms", "--help"})
    EXPECT_NE(help.find(name), std::string::npos) << name;
}
