#pragma once
// Name services of the socket object: this computer's host name and first
// address, forward look-ups of names given by the owner, and the reverse
// look-up of a connecting peer. Errors come back as socket-library numbers.
// The look-ups here block; the first address is looked up once a run and
// remembered (sockregistry.h), and accept() asks for a peer's name
// asynchronously instead.

#include "net/socketfd.h"

#include <QString>

#include <cstdint>

namespace localhost {

// The system's host name; false with *error set when it cannot be read.
bool hostName(QString* name, int* error);

// This computer's first address (network byte order): the first non-loopback
// IPv4 address the host name resolves to, else the first non-loopback
// interface address. Debian maps the host name to 127.0.1.1, which is of no
// use to a peer outside; loopback is the last resort only. Found once, then
// remembered for the run.
bool firstAddress(std::uint32_t* address, int* error);

// This computer's first global IPv6 address: a stable one before a temporary
// privacy address, which the system replaces every day or so.
bool firstIpv6Address(Endpoint* address);

// The first IPv4 address of a name through the system's blocking look-up.
bool resolveFirst(const QString& name, std::uint32_t* address, int* error);

// The name of an address through the reverse look-up, or its numeric form.
bool reverseName(const Endpoint& address, QString* name, int* error);

}  // namespace localhost
