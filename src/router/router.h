#pragma once
// The router help: asks the home router (UPnP IGD, else NAT-PMP) for its
// external address and its forwarding rule for a port, adds and removes rules
// for this computer, and turns the answers plus a port test's result into a
// diagnosis. This header gathers the folder's public parts:
//
//   routerclient.h  RouterClient: the synchronous core, one blocking call per
//                   question, each bounded (discovery 2 s); for worker threads
//                   and command-line programs.
//   routertask.h    RouterTask: the same calls on a worker thread, each answer
//                   posted back to a Qt object's thread; for the window.
//   diagnosis.h     diagnose(): a pure function of the router's answers, the
//                   address the test site saw and whether the port was open.
//   routertypes.h   the values they exchange.
//
// A report names things as methodName() ("upnp-igd", "nat-pmp"),
// diagnosisName() ("ok", "no-mapping", ...) and Ipv4::text(); the window
// turns Failure and Diagnosis values into its own translated words.
// The local address is always the one the user chose (Ipv4::parse of its
// text): rules are made for that address only.
#include "router/diagnosis.h"
#include "router/routerclient.h"
#include "router/routertask.h"
#include "router/routertypes.h"
