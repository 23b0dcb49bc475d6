#pragma once
// vantrel-bind and its callers: how a socket on a port below 1024 is asked
// for and handed over. Only this tiny helper ever holds the permission to
// bind such ports; the program and its browser never do.
//
// The caller starts the helper as
//     vantrel-bind tcp|udp ADDRESS PORT
// with descriptor 3 one end of a Unix stream socket pair. The helper answers
// once on that socket with a BindReply; when `error` is 0 the message carries
// the bound socket's descriptor (SCM_RIGHTS). The socket is bound only: the
// caller listens on a TCP socket itself, which needs no permission.
#include <cstdint>

namespace bindprotocol {

// The descriptor the caller's end of the socket pair is given in the helper.
constexpr int kReplyDescriptor = 3;
// The helper only binds ports below this one; anything else needs no help.
constexpr int kFirstUnprivilegedPort = 1024;

struct BindReply {
  // 0, or the errno value of the step that failed (EINVAL for a request the
  // helper refuses, EADDRNOTAVAIL for an address that is not this machine's).
  std::int32_t error = 0;
};

}  // namespace bindprotocol
