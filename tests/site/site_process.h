#pragma once
// Runs the real vantrel-site executable for a test: started on 127.0.0.1 on a
// port the system picks, its standard error collected, stopped with SIGTERM.
// Every wait is bounded.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sitetest {

std::string sitePath();

// Waits for `pid` to end, up to `limit`, and kills it past that. Its exit
// status, or -1 when it did not exit normally or had to be killed.
int reap(pid_t pid, std::chrono::milliseconds limit);

// The outcome of running the executable to its end (for option tests).
struct ProgramRun {
  int exitStatus = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};
ProgramRun runSiteToEnd(const std::vector<std::string>& arguments);

class SiteProcess {
 public:
  // Adds "--listen 127.0.0.1 --port 0" unless the arguments name them.
  explicit SiteProcess(std::vector<std::string> arguments = {});
  ~SiteProcess();
  SiteProcess(const SiteProcess&) = delete;
  SiteProcess& operator=(const SiteProcess&) = delete;

  bool started() const { return m_port != 0; }
  std::uint16_t port() const { return m_port; }
  // Sends SIGTERM and waits up to `limit`; the exit status, or -1 when it
  // had to be killed.
  int stop(std::chrono::milliseconds limit = std::chrono::seconds(20));
  // The most memory the process has held so far (VmHWM), in KiB; 0 if unknown.
  long peakMemoryKiB() const;
  // Everything written to standard error so far.
  std::string log() const;
  // Waits until the log contains `text`.
  bool waitForLog(const std::string& text,
                  std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

 private:
  void collect(int fd);

  pid_t m_pid = -1;
  std::uint16_t m_port = 0;
  std::thread m_reader;
  mutable std::mutex m_mutex;
  std::string m_log;
  bool m_logClosed = false;
};

}  // namespace sitetest
