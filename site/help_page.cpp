#include "site/pages.h"

namespace site {

namespace {

constexpr std::string_view kHelpBody =
    R"(<h1>The router is set up, but the port test still fails</h1>
<p>You added a port forwarding rule, saved it, and the test still says <b>Failed</b> or
<b>closed or filtered</b>. That happens to almost everyone at least once. Work through the
checks below in order: the first ones are the most common, and each takes a minute or two.</p>

<h2>1. A program must be listening on the port</h2>
<p>The test can only succeed when something on your computer answers on that port. A forwarding
rule alone opens nothing: the router passes the connection on, and if no program is waiting for it,
your computer turns it away.</p>
<ul>
<li>When you test with Vantrel, Vantrel listens on the port itself while the test runs. If a row
says <b>Port in use.</b>, another program already holds the port: close that program (or test
while it runs, with its own test) and try again.</li>
<li>When you test a game server, camera or other service, make sure it is running and set to the
same port and protocol you are testing.</li>
</ul>

<h2>2. A firewall on the computer</h2>
<p>Most systems have a firewall of their own that drops connections from outside your home
network, even when the router lets them through. Allow the program (or the port) for incoming
connections in the firewall settings, for the network type you are on. Security suites often add
a second firewall of their own: check it too, or pause it for one test to see whether it is the
cause.</p>

<h2>3. The rule points at the wrong local address</h2>
<p>A forwarding rule sends the port to one local address, such as <code>192.168.1.20</code>. It
must be the address of <em>this</em> computer, on the network adapter you actually use.</p>
<ul>
<li>Look the address up on the computer (in Vantrel it is shown in the address list) and compare
it with the rule, digit for digit.</li>
<li>Computers get their address from the router and it can change after a restart. Give the
computer a fixed address, or reserve the address for it in the router's DHCP settings
(often called "address reservation" or "static lease"), and point the rule at that.</li>
<li>A computer connected by both cable and Wi-Fi has two addresses. The rule must use the one the
listening program is bound to.</li>
</ul>

<h2>4. Double NAT: two routers in a row</h2>
<p>Many homes have a modem from the provider that is itself a router, with your own router behind
it. A connection from the internet then meets the provider's box first, and your rule in the
second router is never reached.</p>
<p>How to tell: open your router's status page and find its <b>WAN</b> or <b>internet</b> address.
If it starts with <code>192.168.</code>, <code>10.</code> or <code>172.16.</code> to
<code>172.31.</code>, your router is behind another one. Either switch the provider's box to
bridge or modem-only mode, or add the same forwarding rule on the provider's box, pointing at
your router's WAN address.</p>

<h2>5. Carrier-grade NAT: the provider shares one public address</h2>
<p>Some providers, most mobile and many fibre and cable providers among them, put many customers
behind one shared public address. Nothing you set at home can then forward a port, because
the connection stops at the provider.</p>
<p>How to tell: compare the address the test result page shows ("Address tested") with the WAN
address on your router's status page. If they differ, or the WAN address starts with
<code>100.64.</code> to <code>100.127.</code>, you are behind carrier-grade NAT (or double NAT, see
above). Ask your provider for a public IPv4 address; many give one on request, sometimes for a
small fee. The address the site saw is the one the whole internet sees, so it is the one that
matters.</p>

<h2>6. Ports the provider blocks</h2>
<p>Some providers block a few well-known ports for all home customers, often 25 (mail),
80 and 443 (web servers), 135 to 139 and 445 (file sharing). A test of such a port fails
whatever you set up. Try the same setup on a high port such as 25565 or 50000: if that works and
the low one does not, the provider blocks it. Most programs can be moved to another port; your
provider's help pages usually list what they block.</p>

<h2>7. The router needs a restart</h2>
<p>Some routers only apply new forwarding rules after a restart, and some keep old connection
entries around until then. Save the rule, restart the router, wait until the internet connection
is back, and test again. While you are in the settings, check that the rule is switched on and
that no second rule claims the same port.</p>

<h2>8. TCP or UDP</h2>
<p>A forwarding rule is for TCP, for UDP, or for both. A rule for TCP does nothing for UDP, and
the other way round. Check which one your program needs (its documentation says; games often need
both) and make the rule match, or choose "both" where the router offers it.</p>
<p>The two tests also work differently. The TCP test knows the answer: the connection was accepted
or it was not. UDP gives no answer, so the UDP test can only send its datagrams; whether they
arrived, only the program listening on your computer can tell. Vantrel does exactly that and marks
the row accordingly.</p>

<h2>Still failing?</h2>
<p>Test from the start with the simplest setup: one TCP port above 1024, the computer connected
to the router directly, the computer's firewall paused for the test. If that works, add the other
parts back one at a time, and the one that breaks the test is the one to fix.</p>
<p><a href="/port_test.php">Run the TCP test</a> &middot; <a href="/port_test_udp.php">Run the UDP test</a></p>
)";

}  // namespace

std::string helpPage() { return pageFrame("Port forwarding still fails?", kHelpBody); }

}  // namespace site
