// Socket addresses, name resolution and the socket error numbers the clients report (the Windows
// Sockets numbering, which callers and stored texts rely on), mapped from the system's errno values.
#pragma once

#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <vector>

enum TSocketFamily { SF_Any, SF_IP4, SF_IP6 };

// Socket error numbers the layer reports.
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETOOMANYREFS = 10059;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAENOTEMPTY = 10066;
constexpr int WSAEPROCLIM = 10067;
constexpr int WSAEUSERS = 10068;
constexpr int WSAEDQUOT = 10069;
constexpr int WSAESTALE = 10070;
constexpr int WSAEREMOTE = 10071;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAEDISCON = 10101;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

// The socket error number for a system errno (ECONNRESET and EPIPE: 10054, ETIMEDOUT: 10060, ...).
int SocketErrorFromErrno(int Errno);
// The socket error number for a resolver (getaddrinfo/getnameinfo) result; 0 stays 0.
int SocketErrorFromResolver(int Code);
// The fixed text of a socket error number; "" for 0, "Other Winsock error (N)" for unknown numbers.
std::string SocketErrorText(int Code);

// A socket address with room for the IPv6 form, family first.
union TVarSin {
    sockaddr sa;
    sockaddr_in sin;
    sockaddr_in6 sin6;
    sockaddr_storage storage;
};

void ClearSin(TVarSin& Sin);
// AF_INET, AF_INET6 or AF_UNSPEC (cleared address).
int SinFamily(const TVarSin& Sin);
bool IsSinIP6(const TVarSin& Sin);
socklen_t SizeOfVarSin(const TVarSin& Sin);

// Resolves Host and Port into Address (result 0 or a socket error number). Family is AF_INET,
// AF_INET6 or AF_UNSPEC; with AF_UNSPEC IPv4 is tried first when PreferIP4, IPv6 first otherwise, the
// second only when the first failed. Raw sockets resolve the host alone. "0.0.0.0"/"::0" give the any
// address of the family, "127.0.0.1"/"::1" its loopback address.
int ResolveSockAddr(TVarSin& Address, const std::string& Host, const std::string& Port, bool PreferIP4,
                    int SocketType, int Protocol, int Family);
// Numeric address text and port of an address ("" and 0 for a cleared one).
std::string GetSinIP(const TVarSin& Sin);
int GetSinPort(const TVarSin& Sin);

// Every address Name resolves to in the family (AF_UNSPEC: both); empty when nothing is found.
std::vector<std::string> ResolveNameList(const std::string& Name, int Family, int SocketType, int Protocol);
// Port number of a numeric port or a service name; 0 when unknown.
int ResolvePortNumber(const std::string& Port, int Family, int SocketType, int Protocol);
// Host name of an address text; the address itself when it has no name.
std::string ResolveAddressToName(const std::string& IP);
// This machine's host name.
std::string LocalHostName();
