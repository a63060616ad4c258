// The machine description sent to the trading server (a digest of the machine's disk or file
// system identity) and the hardware address of the adapter that carries a connection.
#pragma once

#include <string>

namespace NoltComm {

class CSocketLink;

// 32 upper-case hexadecimal digits: the MD5 digest of the machine facts text, computed once
// per process.
std::string GetMachineInfo();

// The dotted local address of the link's socket in *out, replaced by the hardware address
// ("%02X" per byte) of the network adapter that carries it: true when an adapter was found.
// False with *out unchanged when the link has no socket or its local address is unknown;
// false with the local address in *out when no adapter carries it (loopback, for one).
bool GetConnectionMacAddress(CSocketLink& link, std::string* out);

}  // namespace NoltComm
