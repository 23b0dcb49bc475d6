#!/usr/bin/env bash
# A home network in network namespaces, for testing the router help against a
# real router daemon:
#
#   PC ns               router ns                     provider ns              server ns
#   eth0 10.77.0.2 ---- lan0 10.77.0.1                core0 198.51.100.1 ---- eth0 198.51.100.2
#                       wan0 203.0.113.2 ------------ up0 203.0.113.1
#                       (nftables NAT, miniupnpd)     (STUN responder)
#
# IPv6 beside it, from the documentation prefix and without NAT: PC
# 2001:db8:77::2 behind the router's lan0 2001:db8:77::1, the WAN link
# 2001:db8:113::/64, the server 2001:db8:100::2. The router's forward chain
# (family inet, so IPv4 and IPv6 alike) drops what comes in unasked, which is
# the IPv6 firewall a home router has; "ipv6 allow PORT" opens one TCP port.
#
# "wan public": the router's WAN address is what the outside sees, the provider
# only routes. "wan cgnat": the router's WAN is 100.64.0.2 and the provider
# masquerades it behind 198.51.100.1, as a carrier-grade NAT does.
#
# Why a STUN responder: the daemon refuses to forward while its WAN address is
# in a reserved range (documentation ranges and 100.64.0.0/10 included, and the
# lab may use nothing else) unless it learns through STUN that nothing between
# it and the outside filters incoming traffic. The responder sits on the
# provider's side of the WAN link and reports the router's own address, as a
# real STUN server does for a router with a public address.
#
# Why "nfproto ipv4" on the masquerade: the table serves both families, and
# IPv6 reaches the PC untranslated, as from a real provider.
#
# Why the base chains: the daemon's nftables back end only fills its own
# chains; the forward and NAT base chains that jump to them must exist first.
#
# Usage (LAB_DIR: an empty temporary folder that holds the lab's state):
#   lab.sh LAB_DIR up STUN_RESPONDER   build the namespaces (WAN public)
#   lab.sh LAB_DIR wan public|cgnat    re-address the WAN (stops the daemon)
#   lab.sh LAB_DIR daemon start upnp|upnp-v1|natpmp   the router daemon: UPnP
#                                      IGD v2 (or v1) and NAT-PMP, or NAT-PMP alone
#   lab.sh LAB_DIR daemon stop
#   lab.sh LAB_DIR site SITE_BINARY    the test site on 198.51.100.2:8380 and [2001:db8:100::2]:8380
#   lab.sh LAB_DIR ipv6 allow PORT     the router's IPv6 firewall lets TCP PORT in to the PC
#   lab.sh LAB_DIR ns pc|router|provider|server   prints a namespace's name
#   lab.sh LAB_DIR down                stop every process, remove every namespace
set -euo pipefail

lab=$1 command=$2
shift 2
# Names unique to this lab, so that two runs never meet.
tag=vtr$(basename "$lab" | tr -cd 'a-zA-Z0-9' | tail -c 8)
pc=$tag-pc router=$tag-rt provider=$tag-isp server=$tag-srv
stunPort=3478

inNs() { local ns=$1; shift; ip netns exec "$ns" "$@"; }

# Starts a program in a namespace, in the background, its pid in LAB_DIR/NAME.pid.
startIn() {
  local ns=$1 name=$2; shift 2
  ip netns exec "$ns" "$@" >"$lab/$name.log" 2>&1 &
  echo $! >"$lab/$name.pid"
}

stopProcess() {
  local pidFile=$lab/$1.pid
  [ -f "$pidFile" ] || return 0
  local pid; pid=$(cat "$pidFile")
  rm -f "$pidFile"
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
}

routerRules() {
  cat <<EOF
table inet vantrel_lab {
  chain forward {
    type filter hook forward priority 0; policy drop;
    ct state established,related accept
    iifname "lan0" oifname "wan0" accept
    jump miniupnpd
  }
  chain miniupnpd {
  }
  chain prerouting {
    type nat hook prerouting priority -100; policy accept;
    jump prerouting_miniupnpd
  }
  chain postrouting {
    type nat hook postrouting priority 100; policy accept;
    jump postrouting_miniupnpd
    meta nfproto ipv4 oifname "wan0" masquerade
  }
  chain prerouting_miniupnpd {
  }
  chain postrouting_miniupnpd {
  }
}
EOF
}

daemonConfig() {
  local upnp=yes
  [ "$1" = natpmp ] && upnp=no
  cat <<EOF
ext_ifname=wan0
listening_ip=lan0
port=5000
enable_upnp=$upnp
enable_natpmp=yes
secure_mode=yes
ext_perform_stun=yes
ext_stun_host=$(wanPeer)
ext_stun_port=$stunPort
upnp_table_name=vantrel_lab
upnp_nat_table_name=vantrel_lab
upnp_forward_chain=miniupnpd
upnp_nat_chain=prerouting_miniupnpd
upnp_nat_postrouting_chain=postrouting_miniupnpd
uuid=3f1c1d52-0b0e-4a55-9d43-6a2f0e1c0001
allow 1024-65535 10.77.0.0/24 1-65535
deny 0-65535 0.0.0.0/0 0-65535
EOF
}

wanMode() { cat "$lab/wan" 2>/dev/null || echo public; }
wanPeer() { [ "$(wanMode)" = cgnat ] && echo 100.64.0.1 || echo 203.0.113.1; }
wanSelf() { [ "$(wanMode)" = cgnat ] && echo 100.64.0.2 || echo 203.0.113.2; }

addressWan() {
  echo "$1" >"$lab/wan"
  inNs "$router" ip -4 addr flush dev wan0
  inNs "$provider" ip -4 addr flush dev up0
  inNs "$router" ip addr add "$(wanSelf)/24" dev wan0
  inNs "$provider" ip addr add "$(wanPeer)/24" dev up0
  inNs "$router" ip route replace default via "$(wanPeer)"
  inNs "$provider" nft flush ruleset
  if [ "$1" = cgnat ]; then
    inNs "$provider" nft -f - <<EOF
table ip vantrel_provider {
  chain postrouting {
    type nat hook postrouting priority 100; policy accept;
    ip saddr 100.64.0.0/10 oifname "core0" masquerade
  }
}
EOF
  fi
  stopProcess stun
  startIn "$provider" stun "$stunResponder" "$(wanPeer)" "$stunPort"
}

up() {
  stunResponder=$1
  echo "$stunResponder" >"$lab/stun-responder"
  for ns in "$pc" "$router" "$provider" "$server"; do ip netns add "$ns"; done
  for ns in "$pc" "$router" "$provider" "$server"; do inNs "$ns" ip link set lo up; done
  ip link add eth0 netns "$pc" type veth peer name lan0 netns "$router"
  ip link add wan0 netns "$router" type veth peer name up0 netns "$provider"
  ip link add core0 netns "$provider" type veth peer name eth0 netns "$server"
  inNs "$pc" ip addr add 10.77.0.2/24 dev eth0
  inNs "$router" ip addr add 10.77.0.1/24 dev lan0
  inNs "$provider" ip addr add 198.51.100.1/24 dev core0
  inNs "$server" ip addr add 198.51.100.2/24 dev eth0
  inNs "$pc" ip link set eth0 up
  inNs "$router" ip link set lan0 up
  inNs "$router" ip link set wan0 up
  inNs "$provider" ip link set up0 up
  inNs "$provider" ip link set core0 up
  inNs "$server" ip link set eth0 up
  inNs "$pc" ip route add default via 10.77.0.1
  inNs "$server" ip route add default via 198.51.100.1
  inNs "$router" sysctl -qw net.ipv4.ip_forward=1
  inNs "$provider" sysctl -qw net.ipv4.ip_forward=1
  addressIpv6
  routerRules | inNs "$router" nft -f -
  addressWan public
}

# nodad: an address is usable at once instead of after duplicate detection.
addressIpv6() {
  inNs "$pc" ip -6 addr add 2001:db8:77::2/64 dev eth0 nodad
  inNs "$router" ip -6 addr add 2001:db8:77::1/64 dev lan0 nodad
  inNs "$router" ip -6 addr add 2001:db8:113::2/64 dev wan0 nodad
  inNs "$provider" ip -6 addr add 2001:db8:113::1/64 dev up0 nodad
  inNs "$provider" ip -6 addr add 2001:db8:100::1/64 dev core0 nodad
  inNs "$server" ip -6 addr add 2001:db8:100::2/64 dev eth0 nodad
  inNs "$pc" ip -6 route add default via 2001:db8:77::1
  inNs "$router" ip -6 route add default via 2001:db8:113::1
  inNs "$provider" ip -6 route add 2001:db8:77::/64 via 2001:db8:113::2
  inNs "$server" ip -6 route add default via 2001:db8:100::1
  inNs "$router" sysctl -qw net.ipv6.conf.all.forwarding=1
  inNs "$provider" sysctl -qw net.ipv6.conf.all.forwarding=1
}

allowIpv6() {
  inNs "$router" nft add rule inet vantrel_lab forward iifname wan0 ip6 daddr 2001:db8:77::2 tcp dport "$1" accept
}

# Waits (10 s at most) until something in a namespace listens on a port.
awaitListener() {
  local ns=$1 kind=$2 port=$3
  for _ in $(seq 100); do
    if inNs "$ns" ss -Hn "$kind" state all "sport = :$port" 2>/dev/null | grep -q .; then return 0; fi
    sleep 0.1
  done
  return 1
}

# Waits (10 s at most) until COUNT TCP sockets in a namespace listen on a port.
awaitListeners() {
  local ns=$1 port=$2 count=$3
  for _ in $(seq 100); do
    if [ "$(inNs "$ns" ss -Hnt state listening "sport = :$port" 2>/dev/null | wc -l)" -ge "$count" ]; then return 0; fi
    sleep 0.1
  done
  return 1
}

startDaemon() {
  stopProcess daemon
  daemonConfig "$1" >"$lab/miniupnpd.conf"
  local version=()
  [ "$1" = upnp-v1 ] && version=(-1)  # describe itself as an IGD v1
  startIn "$router" daemon miniupnpd -d "${version[@]}" -f "$lab/miniupnpd.conf" -P "$lab/miniupnpd.pidfile"
  # The NAT-PMP port opens last, after the STUN check (about 3 s).
  if ! awaitListener "$router" -u 5351; then
    echo "lab: the router daemon did not start; its log:" >&2
    cat "$lab/daemon.log" >&2
    return 1
  fi
}

startSite() {
  startIn "$server" site "$1" --listen 198.51.100.2 --port 8380
  startIn "$server" site6 "$1" --listen 2001:db8:100::2 --port 8380
  if ! awaitListeners "$server" 8380 2; then
    echo "lab: the test site did not start; its log:" >&2
    cat "$lab/site.log" >&2
    return 1
  fi
}

down() {
  stopProcess site
  stopProcess site6
  stopProcess daemon
  stopProcess stun
  for ns in "$pc" "$router" "$provider" "$server"; do ip netns del "$ns" 2>/dev/null || true; done
}

case $command in
  up) up "$@" ;;
  wan) stopProcess daemon; stunResponder=$(cat "$lab/stun-responder"); addressWan "$1" ;;
  daemon) if [ "$1" = start ]; then startDaemon "$2"; else stopProcess daemon; fi ;;
  site) startSite "$1" ;;
  ipv6) [ "$1" = allow ] && allowIpv6 "$2" ;;
  ns) case $1 in pc) echo "$pc" ;; router) echo "$router" ;; provider) echo "$provider" ;; server) echo "$server" ;; esac ;;
  down) down ;;
  *) echo "lab: unknown command $command" >&2; exit 2 ;;
esac
