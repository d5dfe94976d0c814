// Name look-ups on getaddrinfo/getnameinfo, safe on any thread.
#include "core/HostLookup.h"

#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>

bool ResolveHostToIp(const QString& Name, QString& Ip) {
    const QByteArray name = Name.trimmed().toUtf8();
    if (name.isEmpty())
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 || !found)
        return false;
    const auto* sin = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    Ip = AddressToText(sin->sin_addr.s_addr);
    freeaddrinfo(found);
    return true;
}

void ReverseLookup(const QString& Ip, QString& Name) {
    Name.clear();
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    if (inet_pton(AF_INET, Ip.trimmed().toLatin1().constData(), &sin.sin_addr) != 1)
        return;
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&sin), sizeof sin, host, sizeof host, nullptr, 0,
                    NI_NAMEREQD) == 0)
        Name = QString::fromUtf8(host);
}

QString AddressToText(uint32_t Address) {
    unsigned char bytes[4];
    std::memcpy(bytes, &Address, 4);
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}
