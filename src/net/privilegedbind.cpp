#include "net/privilegedbind.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "bind/bindprotocol.h"
#include "net/syserror.h"

extern char** environ;

namespace privilegedbind {
namespace {

constexpr int kPermissionDenied = 10013;
// The helper answers within milliseconds; this only guards against one that hangs.
constexpr int kReplyTimeoutMs = 2000;

std::mutex& pathLock() {
  static std::mutex lock;
  return lock;
}

QString& explicitPath() {
  static QString path;
  return path;
}

QString defaultPath() {
  if (QCoreApplication::instance() != nullptr) {
    const QString besideProgram =
        QCoreApplication::applicationDirPath() + QStringLiteral("/vantrel-bind");
    if (QFileInfo(besideProgram).isExecutable()) return besideProgram;
  }
  return QStringLiteral(VANTREL_BIND_INSTALLED_PATH);
}

// The helper's end of the pair must be descriptor 3 there; keep it away from
// 3 here so that the spawn's dup2 really copies (and so clears close-on-exec).
int childEndAwayFromThree(int fd) {
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 10);
  close(fd);
  return moved;
}

pid_t spawnHelper(const QByteArray& path, sys::Kind kind, const Endpoint& at, int childEnd) {
  const QByteArray kindText = kind == sys::Kind::Stream ? "tcp" : "udp";
  const QByteArray addressText = sys::addressText(at).toLatin1();
  const QByteArray portText = QByteArray::number(at.port);
  char* argv[] = {const_cast<char*>("vantrel-bind"), const_cast<char*>(kindText.constData()),
                  const_cast<char*>(addressText.constData()),
                  const_cast<char*>(portText.constData()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, childEnd, bindprotocol::kReplyDescriptor);
  posix_spawn_file_actions_addclosefrom_np(&actions, bindprotocol::kReplyDescriptor + 1);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, path.constData(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

// Reads the helper's answer; returns the received descriptor or -1, with the
// helper's errno in *helperError (0 when it sent none).
int receiveReply(int fd, int* helperError) {
  *helperError = 0;
  pollfd waitFor{fd, POLLIN, 0};
  int ready = 0;
  do {
    ready = poll(&waitFor, 1, kReplyTimeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return -1;

  bindprotocol::BindReply reply;
  iovec part{&reply, sizeof reply};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t got = 0;
  do {
    got = recvmsg(fd, &message, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  if (got != static_cast<ssize_t>(sizeof reply)) return -1;

  int received = -1;
  for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
       header = CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS &&
        header->cmsg_len == CMSG_LEN(sizeof(int))) {
      std::memcpy(&received, CMSG_DATA(header), sizeof received);
    }
  }
  // A truncated control message may have lost a descriptor; trust nothing then.
  if ((message.msg_flags & MSG_CTRUNC) != 0) {
    if (received >= 0) close(received);
    return -1;
  }
  if (reply.error != 0) {
    if (received >= 0) close(received);
    *helperError = reply.error;
    return -1;
  }
  return received;
}

void reap(pid_t pid) {
  int status = 0;
  pid_t done = 0;
  do {
    done = waitpid(pid, &status, WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done != 0) return;
  // Still running after its answer (or after the time limit): it must not linger.
  kill(pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

void setHelperPath(const QString& path) {
  const std::lock_guard<std::mutex> hold(pathLock());
  explicitPath() = path;
}

QString helperPath() {
  {
    const std::lock_guard<std::mutex> hold(pathLock());
    if (!explicitPath().isEmpty()) return explicitPath();
  }
  return defaultPath();
}

bool wanted(int port, int sockError) {
  return sockError == kPermissionDenied && port >= 1 && port < bindprotocol::kFirstUnprivilegedPort;
}

SocketFd bindThroughHelper(sys::Kind kind, const Endpoint& at, int* sockError) {
  *sockError = kPermissionDenied;
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return SocketFd();
  SocketFd ours(ends[0]);
  SocketFd theirs(childEndAwayFromThree(ends[1]));
  if (!theirs.valid()) return SocketFd();

  const pid_t pid = spawnHelper(QFile::encodeName(helperPath()), kind, at, theirs.get());
  theirs.reset();
  if (pid < 0) return SocketFd();

  int helperError = 0;
  SocketFd received(receiveReply(ours.get(), &helperError));
  reap(pid);
  if (!received.valid()) {
    if (helperError != 0) *sockError = sockerr::fromErrno(helperError);
    return SocketFd();
  }
  const int flags = fcntl(received.get(), F_GETFL);
  if (flags < 0 || fcntl(received.get(), F_SETFL, flags | O_NONBLOCK) != 0) return SocketFd();
  *sockError = 0;
  return received;
}

}  // namespace privilegedbind
