#include "site_process.h"

#include "posix/pollwait.h"
#include "posix/spawn.h"
#include "test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <regex>

namespace sitetest {

namespace {

using Clock = std::chrono::steady_clock;

pid_t spawn(const std::vector<std::string>& arguments, int outFd, int errFd) {
  std::vector<std::string> command{sitePath()};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return spawnProgram(command, {outFd, errFd});
}

std::string readAll(int fd, Clock::time_point deadline) {
  std::string text;
  char buffer[4096];
  for (;;) {
    if (!waitForEvents(fd, POLLIN, deadline)) break;
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, std::size_t(got));
  }
  return text;
}

}  // namespace

int reap(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    if (Clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    usleep(10 * 1000);
  }
}

std::string sitePath() { return testsupport::binDir().toStdString() + "/vantrel-site"; }

ProgramRun runSiteToEnd(const std::vector<std::string>& arguments) {
  ProgramRun run;
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return run;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return run;
  }
  const pid_t pid = spawn(arguments, out[1], err[1]);
  close(out[1]);
  close(err[1]);
  if (pid > 0) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    run.out = readAll(out[0], deadline);
    run.err = readAll(err[0], deadline);
    run.exitStatus = reap(pid, std::chrono::seconds(20));
  }
  close(out[0]);
  close(err[0]);
  return run;
}

SiteProcess::SiteProcess(std::vector<std::string> arguments) {
  const auto named = [&arguments](const char* name) {
    return std::find(arguments.begin(), arguments.end(), name) != arguments.end();
  };
  if (!named("--listen")) arguments.insert(arguments.end(), {"--listen", "127.0.0.1"});
  if (!named("--port")) arguments.insert(arguments.end(), {"--port", "0"});

  int err[2];
  if (pipe2(err, O_CLOEXEC) != 0) return;
  const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  m_pid = spawn(arguments, devNull, err[1]);
  close(devNull);
  close(err[1]);
  if (m_pid <= 0) {
    close(err[0]);
    return;
  }
  m_reader = std::thread([this, fd = err[0]] { collect(fd); });

  if (waitForLog("serving http://", std::chrono::seconds(30))) {
    static const std::regex served(R"(serving http://[^ ]*:(\d+)/)");
    std::smatch match;
    const std::string text = log();
    if (std::regex_search(text, match, served)) m_port = std::uint16_t(std::stoi(match[1]));
  }
}

SiteProcess::~SiteProcess() { stop(); }

void SiteProcess::collect(int fd) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    std::lock_guard lock(m_mutex);
    m_log.append(buffer, std::size_t(got));
  }
  close(fd);
  std::lock_guard lock(m_mutex);
  m_logClosed = true;
}

int SiteProcess::stop(std::chrono::milliseconds limit) {
  if (m_pid <= 0) return -1;
  kill(m_pid, SIGTERM);
  const int status = reap(m_pid, limit);
  m_pid = -1;
  if (m_reader.joinable()) m_reader.join();  // the pipe closes with the process
  return status;
}

long SiteProcess::peakMemoryKiB() const {
  std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

std::string SiteProcess::log() const {
  std::lock_guard lock(m_mutex);
  return m_log;
}

bool SiteProcess::waitForLog(const std::string& text, std::chrono::milliseconds limit) const {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    {
      std::lock_guard lock(m_mutex);
      if (m_log.find(text) != std::string::npos) return true;
      if (m_logClosed) return false;
    }
    if (Clock::now() > deadline) return false;
    usleep(5 * 1000);
  }
}

}  // namespace sitetest
