#include "loopback.h"
#include "site_process.h"

#include <gtest/gtest.h>

using namespace sitetest;

TEST(SiteCommandLine, HelpListsTheOptionsAndExitsZero) {
  const ProgramRun run = runSiteToEnd({"--help"});
  EXPECT_EQ(run.exitStatus, 0);
  for (const char* name : {"--listen", "--port", "--probe-timeout-ms", "--burst", "--refill-ms",
                           "--max-probes", "--trust-proxy", "--probe-address"})
    EXPECT_NE(run.out.find(name), std::string::npos) << name;
}

TEST(SiteCommandLine, BadOptionsExitTwoWithAClearMessage) {
  const std::vector<std::vector<std::string>> bad = {
      {"--no-such-option"},      {"--port", "70000"}, {"--port", "eighty"},
      {"--listen", "localhost"}, {"--burst", "0"},    {"--refill-ms"},
  };
  for (const auto& arguments : bad) {
    const ProgramRun run = runSiteToEnd(arguments);
    EXPECT_EQ(run.exitStatus, 2) << arguments[0];
    EXPECT_NE(run.err.find(arguments[0]), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

TEST(SiteCommandLine, PortInUseExitsOneAndSaysSo) {
  Fd taken = tcpListener("127.0.0.1");
  ASSERT_TRUE(taken.valid());
  const ProgramRun run =
      runSiteToEnd({"--listen", "127.0.0.1", "--port", std::to_string(localPort(taken.get()))});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find("cannot serve on 127.0.0.1"), std::string::npos) << run.err;
}

TEST(SiteCommandLine, StopsCleanlyOnSigterm) {
  SiteProcess site;
  ASSERT_TRUE(site.started()) << site.log();
  EXPECT_EQ(get(site.port(), "/").status, 200);
  EXPECT_EQ(site.stop(), 0);
  EXPECT_NE(site.log().find("stopped"), std::string::npos);
}
