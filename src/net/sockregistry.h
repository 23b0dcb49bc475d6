#pragma once
// The socket layer's process-wide state, all of it, in one place. Everything
// here is touched only from the thread that runs the sockets' event loop.
//
// Why each piece is process-wide rather than held by one object:
//  - the live-object table: a ConnectionRequest hands its owner a requestID,
//    and accept() on any other object must turn that number back into the
//    listening object, or refuse it once that object is gone;
//  - the serial counter: a message still queued for a socket that has since
//    been closed must be recognised even when the system hands the same
//    descriptor number to another object's socket, so serials never repeat
//    across objects;
//  - this computer's first address: the host name and its address stay the
//    same for the run, and asking the system's blocking resolver again at
//    every re-listen would stall the event loop (and the window) each time.

#include <cstdint>
#include <optional>

class UniSock;

namespace sockregistry {

// Enters a new object and returns its identity: never 0, unique among live objects.
int enter(UniSock* object);
void leave(int identity);
// The live object with that identity, or nullptr.
UniSock* find(int identity);

// A fresh serial number for a socket registration or a look-up; never 0.
std::uint64_t nextSerial();

// This computer's first IPv4 address (network byte order) once it has been found.
std::optional<std::uint32_t> firstAddress();
void rememberFirstAddress(std::uint32_t address);
// Makes the next question look the address up again (a test that changes
// the host name, or a program that knows the network changed).
void forgetFirstAddress();

}  // namespace sockregistry
