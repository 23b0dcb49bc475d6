#include "router/pmpgateway.h"

#include "router/routeranswers.h"
#include "posix/pollwait.h"

#include <natpmp.h>

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>

namespace router {
namespace {

using Clock = PollClock;

// The library's own retry schedule doubles up to a minute; our limit cuts it.
Clock::time_point nextRetryOrDeadline(natpmp_t* session, Clock::time_point deadline) {
  timeval retry{};
  if (getnatpmprequesttimeout(session, &retry) != 0) return deadline;
  const auto untilRetry =
      std::chrono::seconds(retry.tv_sec) + std::chrono::microseconds(retry.tv_usec);
  return std::min(deadline,
                  Clock::now() + std::chrono::ceil<std::chrono::milliseconds>(untilRetry));
}

}  // namespace

struct PmpGateway::Session {
  natpmp_t state{};
  Session() { state.s = -1; }
  ~Session() {
    if (state.s >= 0) closenatpmp(&state);
  }
  // Late answers to earlier requests (the library resends while it waits)
  // would otherwise be taken for the answer to the next request.
  void dropWaitingAnswers() const {
    char datagram[16];
    while (recv(state.s, datagram, sizeof datagram, MSG_DONTWAIT) >= 0) {
    }
  }
};

PmpGateway::PmpGateway(std::unique_ptr<Session> session) : m_session(std::move(session)) {}
PmpGateway::~PmpGateway() = default;

std::unique_ptr<PmpGateway> PmpGateway::open() {
  auto session = std::make_unique<Session>();
  if (initnatpmp(&session->state, 0, 0) != 0) return nullptr;
  std::unique_ptr<PmpGateway> gateway(new PmpGateway(std::move(session)));
  // The library connects its socket to the gateway, so the system has already
  // picked the source address that every mapping will point at.
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (getsockname(gateway->m_session->state.s, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
      local.sin_addr.s_addr != 0)
    gateway->m_localAddress = Ipv4{ntohl(local.sin_addr.s_addr)};
  if (sendpublicaddressrequest(&gateway->m_session->state) < 0) return nullptr;
  return gateway;
}

int PmpGateway::awaitAnswer(std::chrono::milliseconds limit, void* response) {
  natpmp_t* state = &m_session->state;
  const auto deadline = Clock::now() + limit;
  for (;;) {
    waitForEvents(state->s, POLLIN, nextRetryOrDeadline(state, deadline));
    const int result = readnatpmpresponseorretry(state, static_cast<natpmpresp_t*>(response));
    if (result != NATPMP_TRYAGAIN) return result;
    if (Clock::now() >= deadline) return NATPMP_ERR_NOGATEWAYSUPPORT;
  }
}

std::optional<Ipv4> PmpGateway::externalAddress(std::chrono::milliseconds limit, Outcome* outcome) {
  natpmpresp_t response{};
  *outcome = pmpOutcome(awaitAnswer(limit, &response));
  if (!outcome->ok()) return std::nullopt;
  if (response.type != NATPMP_RESPTYPE_PUBLICADDRESS) {
    *outcome = {Failure::BadAnswer, 0};
    return std::nullopt;
  }
  // A gateway without an address of its own answers 0.0.0.0: no address, but a gateway.
  if (response.pnu.publicaddress.addr.s_addr == 0) return std::nullopt;
  return Ipv4{ntohl(response.pnu.publicaddress.addr.s_addr)};
}

Outcome PmpGateway::map(int port, Transport transport, int leaseSeconds,
                        std::chrono::milliseconds limit, int* grantedLeaseSeconds) {
  const int protocol = transport == Transport::Tcp ? NATPMP_PROTOCOL_TCP : NATPMP_PROTOCOL_UDP;
  const auto wanted = static_cast<uint16_t>(port);
  // Removal asks for public port 0, as the protocol wants.
  const uint16_t publicPort = leaseSeconds == 0 ? 0 : wanted;
  m_session->dropWaitingAnswers();
  if (sendnewportmappingrequest(&m_session->state, protocol, wanted, publicPort,
                                static_cast<uint32_t>(leaseSeconds)) < 0)
    return {Failure::NoAnswer, 0};
  natpmpresp_t response{};
  const Outcome received = pmpOutcome(awaitAnswer(limit, &response));
  if (!received.ok()) return received;
  const PmpMappingAnswer answer{response.type, response.pnu.newportmapping.privateport,
                                response.pnu.newportmapping.mappedpublicport,
                                response.pnu.newportmapping.lifetime};
  *grantedLeaseSeconds = static_cast<int>(std::min<std::uint32_t>(answer.lifetime, 0x7FFFFFFF));
  return checkPmpMapping(answer, transport, port, leaseSeconds == 0);
}

}  // namespace router
