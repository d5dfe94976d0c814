// Socket addresses, name resolution and the socket error numbers (see netsock.h).
#include "net/netsock.h"

#include "net/netip.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <netdb.h>
#include <unistd.h>

namespace {

struct ErrnoCode {
    int Errno;
    int Code;
};

const ErrnoCode ErrnoTable[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAEBADF},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EAGAIN, WSAEWOULDBLOCK},
    {EINPROGRESS, WSAEINPROGRESS},
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    {EPIPE, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETOOMANYREFS, WSAETOOMANYREFS},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
    {ENOTEMPTY, WSAENOTEMPTY},
    {EUSERS, WSAEUSERS},
    {EDQUOT, WSAEDQUOT},
    {ESTALE, WSAESTALE},
    {EREMOTE, WSAEREMOTE},
};

struct CodeText {
    int Code;
    const char* Text;
};

const CodeText TextTable[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on nonsocket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for Socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket not supported"},
    {10045, "Operation not supported on Socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No Buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after Socket shutdown"},
    {10059, "Too many references:can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name is too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory is not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disk quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unusable"},
    {10092, "Winsock DLL cannot support this application"},
    {10093, "Winsock not initialized"},
    {10101, "Disconnect"},
    {11001, "Host not found"},
    {11002, "Non authoritative - host not found"},
    {11003, "Non recoverable error"},
    {11004, "Valid name, no data record of requested type"},
};

const char* KnownText(int Code) {
    for (const auto& entry : TextTable)
        if (entry.Code == Code)
            return entry.Text;
    return nullptr;
}

bool IsAnyHost(const std::string& Host) {
    return Host == "0.0.0.0" || Host == "::0";
}
bool IsLoopbackHost(const std::string& Host) {
    return Host == "127.0.0.1" || Host == "::1";
}

// One getaddrinfo try for one family; copies the first answer.
int ResolveOnce(TVarSin& Address, const std::string& Host, const std::string& Port, int SocketType,
                int Protocol, int Family) {
    addrinfo hints{};
    hints.ai_family = Family;
    hints.ai_socktype = SocketType;
    hints.ai_protocol = Protocol;
    const char* node = Host.c_str();
    const char* service = Port.c_str();
    if (SocketType == SOCK_RAW) {
        service = nullptr;
    } else if (IsAnyHost(Host)) {
        node = nullptr;
        hints.ai_flags = AI_PASSIVE;
    } else if (IsLoopbackHost(Host)) {
        node = nullptr;
    }
    if (node == nullptr && service == nullptr)
        node = Host.c_str();
    if (service != nullptr && *service == '\0')
        service = "0";
    addrinfo* result = nullptr;
    const int rc = getaddrinfo(node, service, &hints, &result);
    if (rc != 0)
        return SocketErrorFromResolver(rc);
    if (result == nullptr)
        return WSAHOST_NOT_FOUND;
    if (result->ai_addrlen <= sizeof(TVarSin))
        std::memcpy(&Address, result->ai_addr, result->ai_addrlen);
    freeaddrinfo(result);
    return 0;
}

} // namespace

int SocketErrorFromErrno(int Errno) {
    if (Errno == 0)
        return 0;
    if (Errno == EWOULDBLOCK)
        return WSAEWOULDBLOCK;
    for (const auto& entry : ErrnoTable)
        if (entry.Errno == Errno)
            return entry.Code;
    // An errno without a socket meaning keeps its own number unless that would pass for a known code.
    return KnownText(10000 + Errno) == nullptr ? 10000 + Errno : Errno;
}

int SocketErrorFromResolver(int Code) {
    switch (Code) {
    case 0:
        return 0;
    case EAI_NONAME:
        return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
        return WSATRY_AGAIN;
    case EAI_FAIL:
        return WSANO_RECOVERY;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
        return WSANO_DATA;
#endif
    case EAI_FAMILY:
        return WSAEAFNOSUPPORT;
    case EAI_SOCKTYPE:
        return WSAESOCKTNOSUPPORT;
    case EAI_SERVICE:
        return WSAHOST_NOT_FOUND;
    case EAI_MEMORY:
        return WSAENOBUFS;
    case EAI_BADFLAGS:
        return WSAEINVAL;
    case EAI_SYSTEM:
        return SocketErrorFromErrno(errno);
    default:
        return WSANO_RECOVERY;
    }
}

std::string SocketErrorText(int Code) {
    if (Code == 0)
        return "";
    if (const char* text = KnownText(Code))
        return text;
    return "Other Winsock error (" + std::to_string(Code) + ")";
}

void ClearSin(TVarSin& Sin) {
    std::memset(&Sin, 0, sizeof(Sin));
}

int SinFamily(const TVarSin& Sin) {
    if (Sin.sa.sa_family == AF_INET || Sin.sa.sa_family == AF_INET6)
        return Sin.sa.sa_family;
    return AF_UNSPEC;
}

bool IsSinIP6(const TVarSin& Sin) {
    return Sin.sa.sa_family == AF_INET6;
}

socklen_t SizeOfVarSin(const TVarSin& Sin) {
    return IsSinIP6(Sin) ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

int ResolveSockAddr(TVarSin& Address, const std::string& Host, const std::string& Port, bool PreferIP4,
                    int SocketType, int Protocol, int Family) {
    ClearSin(Address);
    if (Family != AF_UNSPEC)
        return ResolveOnce(Address, Host, Port, SocketType, Protocol, Family);
    const int first = PreferIP4 ? AF_INET : AF_INET6;
    const int second = PreferIP4 ? AF_INET6 : AF_INET;
    const int rc = ResolveOnce(Address, Host, Port, SocketType, Protocol, first);
    if (rc == 0)
        return 0;
    ClearSin(Address);
    return ResolveOnce(Address, Host, Port, SocketType, Protocol, second);
}

std::string GetSinIP(const TVarSin& Sin) {
    if (SinFamily(Sin) == AF_UNSPEC)
        return "";
    if (Sin.sa.sa_family == AF_INET) {
        // The dotted quad by hand: the resolver formats it through printf, a cost on every echo.
        const auto* bytes = reinterpret_cast<const unsigned char*>(&Sin.sin.sin_addr);
        char text[16];
        char* at = text;
        for (int i = 0; i < 4; ++i) {
            if (i > 0)
                *at++ = '.';
            at = std::to_chars(at, text + sizeof text, bytes[i]).ptr;
        }
        return std::string(text, at);
    }
    char host[NI_MAXHOST] = {};
    if (getnameinfo(&Sin.sa, SizeOfVarSin(Sin), host, sizeof(host), nullptr, 0, NI_NUMERICHOST) != 0)
        return "";
    return host;
}

int GetSinPort(const TVarSin& Sin) {
    if (Sin.sa.sa_family == AF_INET)
        return ntohs(Sin.sin.sin_port);
    if (Sin.sa.sa_family == AF_INET6)
        return ntohs(Sin.sin6.sin6_port);
    return 0;
}

std::vector<std::string> ResolveNameList(const std::string& Name, int Family, int SocketType, int Protocol) {
    std::vector<std::string> list;
    addrinfo hints{};
    hints.ai_family = Family;
    hints.ai_socktype = SocketType;
    hints.ai_protocol = Protocol;
    addrinfo* result = nullptr;
    if (getaddrinfo(Name.c_str(), nullptr, &hints, &result) != 0)
        return list;
    for (addrinfo* p = result; p != nullptr; p = p->ai_next) {
        TVarSin sin{};
        if (p->ai_addrlen > sizeof(sin))
            continue;
        std::memcpy(&sin, p->ai_addr, p->ai_addrlen);
        const std::string ip = GetSinIP(sin);
        bool seen = false;
        for (const auto& known : list)
            seen = seen || known == ip;
        if (!ip.empty() && !seen)
            list.push_back(ip);
    }
    freeaddrinfo(result);
    return list;
}

int ResolvePortNumber(const std::string& Port, int Family, int SocketType, int Protocol) {
    addrinfo hints{};
    hints.ai_family = Family;
    hints.ai_socktype = SocketType == SOCK_RAW ? 0 : SocketType;
    hints.ai_protocol = SocketType == SOCK_RAW ? 0 : Protocol;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* result = nullptr;
    if (getaddrinfo(nullptr, Port.c_str(), &hints, &result) != 0)
        return 0;
    TVarSin sin{};
    if (result != nullptr && result->ai_addrlen <= sizeof(sin))
        std::memcpy(&sin, result->ai_addr, result->ai_addrlen);
    freeaddrinfo(result);
    return GetSinPort(sin);
}

std::string ResolveAddressToName(const std::string& IP) {
    TVarSin sin{};
    if (ResolveSockAddr(sin, IP, "0", true, SOCK_STREAM, IPPROTO_TCP, AF_UNSPEC) != 0)
        return IP;
    char host[NI_MAXHOST] = {};
    if (getnameinfo(&sin.sa, SizeOfVarSin(sin), host, sizeof(host), nullptr, 0, NI_NAMEREQD) != 0)
        return IP;
    return host;
}

std::string LocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0)
        return "";
    return name;
}
