#pragma once
// What the router tests do to and across the lab of network namespaces that
// run-router-tests.sh builds. The test program itself runs in the PC
// namespace; these helpers reach the other namespaces through lab.sh.

#include <QString>

#include <optional>
#include <string>

namespace lab {

// The PC's address, the one every rule must point at.
inline constexpr char kPcAddress[] = "10.77.0.2";
inline constexpr char kPublicWanAddress[] = "203.0.113.2";
inline constexpr char kCarrierWanAddress[] = "100.64.0.2";
inline constexpr char kCarrierPublicAddress[] = "198.51.100.1";
// The test site in the server namespace, as the window is pointed at it.
inline constexpr char kSiteUrl[] = "http://198.51.100.2:8380";
// The PC's IPv6 address and the site's IPv6 instance (documentation prefix, no NAT).
inline constexpr char kPcAddress6[] = "2001:db8:77::2";
inline constexpr char kSiteUrl6[] = "http://[2001:db8:100::2]:8380";

// Whether the program runs inside a lab (else the tests skip).
bool present();

// Runs `lab.sh LAB_DIR <arguments>`; true when it succeeded.
bool control(const std::string& arguments);

enum class Wan { Public, Carrier };
enum class Daemon { Off, UpnpAndNatPmp, UpnpV1AndNatPmp, NatPmpOnly };
// Brings the lab into the given state, changing only what differs.
bool ensure(Wan wan, Daemon daemon);

// What the test site in the server namespace answered for one port.
struct SiteAnswer {
  std::string sawAddress;
  bool open = false;
};
std::optional<SiteAnswer> askSite(int port);

// A listening TCP socket on the PC's address; tells whether a connection
// arrived (waits for none: the site's answer comes after its probe).
class Listener {
 public:
  explicit Listener(int port);
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  bool listening() const { return m_fd >= 0; }
  bool connectionArrived() const;

 private:
  int m_fd = -1;
};

}  // namespace lab
