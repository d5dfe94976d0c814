// Forward and reverse IPv4 name look-ups of the tools window (traceroute, ping and its lookup
// fields), through the system resolver.
#pragma once

#include <QString>

#include <cstdint>

// The first IPv4 address of Name as "%d.%d.%d.%d"; false (Ip untouched) when there is none.
bool ResolveHostToIp(const QString& Name, QString& Ip);

// The official name of the IPv4 address in dotted text; empty when the address has no name or
// the text is no IPv4 address.
void ReverseLookup(const QString& Ip, QString& Name);

// "%d.%d.%d.%d" of the four bytes of an IPv4 address in memory order (network order as stored in
// a socket address).
QString AddressToText(uint32_t Address);
