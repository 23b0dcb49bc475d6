#pragma once
// Small helpers every test folder shares: where the sources, the test data and
// the built programs are, a free loopback port, and loopback in a network of
// the test's own.

#include <QString>

namespace testsupport {

// The repository's root folder (from VANTREL_SOURCE_DIR, set by CTest).
QString sourceDir();
// tests/data inside the repository.
QString dataDir();
// The folder holding the built programs (vantrel, vantrel-site, ...).
QString binDir();
// A TCP port on 127.0.0.1 that was free a moment ago (bound to port 0, then released).
int freeTcpPort();
// A UDP port on 127.0.0.1 that was free a moment ago.
int freeUdpPort();
// Brings the loopback interface up in the network namespace the calling
// thread has just entered (a new one has loopback down); false when it cannot.
bool bringUpLoopback();

}  // namespace testsupport
