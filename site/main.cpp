// vantrel-site: the Vantrel test site. See --help.

#include "site/site_options.h"
#include "site/site_service.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int g_stopFd = -1;

extern "C" void onStopSignal(int) {
  // Only async-signal-safe work here: one write to the site's eventfd.
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t written = write(g_stopFd, &one, sizeof one);
}

void installStopHandlers() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = argc > 0 ? argv[0] : "vantrel-site";
  const site::ParsedOptions parsed =
      site::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  switch (parsed.action) {
    case site::ParsedOptions::Action::ShowHelp:
      std::fputs(site::helpText(program).c_str(), stdout);
      return 0;
    case site::ParsedOptions::Action::Fail:
      std::fprintf(stderr, "%s: %s\nTry '%s --help' for the list of options.\n", program.c_str(),
                   parsed.error.c_str(), program.c_str());
      return 2;
    case site::ParsedOptions::Action::Run:
      break;
  }

  site::Site site(parsed.options);
  std::string error;
  if (!site.listen(error)) {
    std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
    return 1;
  }
  g_stopFd = site.stopDescriptor();
  installStopHandlers();

  const auto& address = parsed.options.listenAddress;
  const std::string host = address.isV4() ? address.text() : "[" + address.text() + "]";
  std::fprintf(stderr, "vantrel-site: serving http://%s:%u/\n", host.c_str(),
               unsigned(site.port()));
  if (parsed.options.probeAddress)
    std::fprintf(stderr, "vantrel-site: TEST MODE: every probe goes to %s, not to the visitor\n",
                 parsed.options.probeAddress->text().c_str());
  std::fflush(stderr);

  site.run();
  std::fprintf(stderr, "vantrel-site: stopped\n");
  return 0;
}
