#pragma once
// The socket object speaks one error vocabulary: the classic socket-library
// numbers that its text table describes. Every system failure passes through
// these two mappings and nowhere else.

namespace sockerr {

constexpr int kTooManyFiles = 10024;
constexpr int kWouldBlock = 10035;
constexpr int kNotSocket = 10038;
constexpr int kInProgress = 10036;
constexpr int kAddressFamilyNotSupported = 10047;
constexpr int kCannotAssignAddress = 10049;
constexpr int kConnectionReset = 10054;
constexpr int kNoBufferSpace = 10055;
constexpr int kNotConnected = 10057;
constexpr int kSystemCallFailure = 10107;
constexpr int kHostNotFound = 11001;
constexpr int kTryAgain = 11002;
constexpr int kNonRecoverable = 11003;
constexpr int kNoData = 11004;

constexpr int kWrongProtocolOrState = 40006;
constexpr int kBadArgument = 40014;
constexpr int kUnsupportedType = 40018;
constexpr int kInvalidInState = 40020;

// An errno value as its socket-library number (0 stays 0).
int fromErrno(int errnoValue);
// A getaddrinfo/getnameinfo result (EAI_*) as its socket-library number.
int fromLookup(int eaiValue);

}  // namespace sockerr
