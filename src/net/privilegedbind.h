#pragma once
// Sockets on ports below 1024 for a program without the permission to bind
// them: the small helper vantrel-bind, which alone holds that permission,
// binds the socket and passes its descriptor back over a Unix socket pair.
#include <QString>

#include "net/socketfd.h"

namespace privilegedbind {

// Where the helper is looked for: set explicitly (tests do), else beside the
// running program (a build tree), else where the package installs it.
// Process-wide because the socket objects that need it are made in many places
// and all of them must use the same helper.
void setHelperPath(const QString& path);
QString helperPath();

// Whether the helper should be asked: a port below 1024 whose own bind failed
// for want of permission.
bool wanted(int port, int sockError);

// A socket of the given kind bound to `at` by the helper, non-blocking and
// closed on exec. On failure an invalid SocketFd and, in *sockError, the
// socket-library error: the helper's own (for example "address in use"), or
// "permission denied" when the helper is missing, lacks its permission or
// gives no answer.
SocketFd bindThroughHelper(sys::Kind kind, const Endpoint& at, int* sockError);

}  // namespace privilegedbind
