// Fuzzes the reading of proxy answers: SOCKS5 method, authentication and request replies, SOCKS4
// replies, the HTTP CONNECT status and header block, and the SOCKS UDP relay header. The first byte
// picks the exchange; the rest is what the proxy "sends", fed through a local socket pair.
#include "net/blcksock.h"

#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Opens the protected steps the fuzzer drives directly.
class FuzzTcp : public TTCPBlockSocket {
public:
    using TTCPBlockSocket::HTTPTunnelReadReply;
};

class FuzzUdp : public TUDPBlockSocket {
public:
    using TUDPBlockSocket::SocksUdpHeader;
};

// A connected socket whose peer has sent Bytes and closed its sending side.
int FedSocket(const std::string& Bytes) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return -1;
    ::fcntl(pair[1], F_SETFL, O_NONBLOCK);
    std::size_t done = 0;
    while (done < Bytes.size()) {
        const ssize_t n = ::send(pair[1], Bytes.data() + done, Bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::shutdown(pair[1], SHUT_WR);
    ::close(pair[1]);
    return pair[0];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 1)
        return 0;
    const uint8_t mode = Data[0] % 5;
    const std::string rest(reinterpret_cast<const char*>(Data + 1), Size - 1);
    if (mode == 4) {
        TVarSin origin{};
        const std::size_t used = FuzzUdp::SocksUdpHeader(rest, origin);
        if (used > rest.size())
            __builtin_trap();
        return 0;
    }
    const int fd = FedSocket(rest);
    if (fd < 0)
        return 0;
    FuzzTcp sock;
    sock.SetSocket(fd);
    sock.SocksTimeout = 50;
    sock.HTTPTunnelTimeout = 50;
    switch (mode) {
    case 0:
        sock.SocksRequest(1, "127.0.0.1", "80");
        break;
    case 1:
        sock.SocksUsername = "user";
        sock.SocksPassword = "password";
        sock.SocksRequest(1, "example.test", "443");
        break;
    case 2:
        sock.SocksType = ST_Socks4;
        sock.SocksRequest(1, "example.test", "80");
        break;
    default:
        sock.HTTPTunnelReadReply();
        break;
    }
    return 0;
}
