#include "net/syserror.h"

#include <cerrno>
#include <netdb.h>

namespace sockerr {
namespace {

struct ErrnoRow {
  int errnoValue;
  int number;
};

constexpr ErrnoRow kErrnoRows[] = {
    {EINTR, 10004},
    {EBADF, 10009},
    {EACCES, 10013},
    {EPERM, 10013},
    {EFAULT, 10014},
    {EINVAL, 10022},
    {EMFILE, 10024},
    {ENFILE, 10024},
    {EAGAIN, kWouldBlock},
    {EINPROGRESS, kInProgress},
    {EALREADY, 10037},
    {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, kAddressFamilyNotSupported},
    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, kCannotAssignAddress},
    {ENETDOWN, 10050},
    {ENETUNREACH, 10051},
    {ENETRESET, 10052},
    {ECONNABORTED, 10053},
    {ECONNRESET, kConnectionReset},
    {EPIPE, kConnectionReset},
    {ENOBUFS, 10055},
    {EISCONN, 10056},
    {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},
    {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},
    {ELOOP, 10062},
    {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},
    {ENOTEMPTY, 10066},
    {EUSERS, 10068},
    {EDQUOT, 10069},
    {ESTALE, 10070},
    {EREMOTE, 10071},
    {ENOMEM, 8},
};

}  // namespace

int fromErrno(int errnoValue) {
  if (errnoValue == 0) return 0;
  if (errnoValue == EWOULDBLOCK) return kWouldBlock;  // may equal EAGAIN or not
  for (const ErrnoRow& row : kErrnoRows) {
    if (row.errnoValue == errnoValue) return row.number;
  }
  return kSystemCallFailure;
}

int fromLookup(int eaiValue) {
  switch (eaiValue) {
    case 0:
      return 0;
    case EAI_NONAME:
      return kHostNotFound;
    case EAI_AGAIN:
      return kTryAgain;
    case EAI_FAIL:
      return kNonRecoverable;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return kNoData;
#endif
    case EAI_ADDRFAMILY:
      return kNoData;
    case EAI_MEMORY:
      return 8;
    case EAI_SYSTEM:
      return fromErrno(errno);
    default:
      return kNonRecoverable;
  }
}

}  // namespace sockerr
