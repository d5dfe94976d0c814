// ICMP sockets inside a private network namespace: the datagram kind (allowed there through
// ping_group_range), its identifier, and ICMP errors read from the error queue; raw sockets see the
// same errors as ordinary datagrams. A local filter rejects echo requests to produce the errors.
#include "net/blcksock.h"

#include <cstring>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

#include "tests/support/TestSupport.h"

namespace {

// Runs Body on a thread that lives in a new network namespace with the loopback interface up and
// datagram ICMP sockets allowed; the namespace goes away with the thread.
std::string InPrivateNetns(const std::function<void()>& Body) {
    std::string failure;
    std::thread worker([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            failure = std::string("unshare: ") + std::strerror(errno);
            return;
        }
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ifreq ifr{};
        std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
        ::ioctl(fd, SIOCGIFFLAGS, &ifr);
        ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP);
        const bool up = ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
        ::close(fd);
        std::ofstream range("/proc/sys/net/ipv4/ping_group_range");
        range << "0 2147483647\n";
        range.close();
        // Errors follow each other closely in the tests; the kernel would hold back all but the first.
        std::ofstream("/proc/sys/net/ipv4/icmp_ratelimit") << "0\n";
        std::ofstream("/proc/sys/net/ipv6/icmp/ratelimit") << "0\n";
        if (!up) {
            failure = "loopback not up";
            return;
        }
        Body();
    });
    worker.join();
    return failure;
}

// An echo request with its Internet checksum (raw IPv4 sockets send it as given; the others have the
// kernel fill it in).
std::string EchoRequest(uint8_t Type, uint16_t Id) {
    std::string packet(8, '\0');
    packet[0] = static_cast<char>(Type);
    packet[4] = static_cast<char>(Id >> 8);
    packet[5] = static_cast<char>(Id & 0xff);
    packet[7] = 1;
    packet += std::string(32, '7');
    uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < packet.size(); i += 2)
        sum +=
            static_cast<uint32_t>(static_cast<uint8_t>(packet[i]) << 8 | static_cast<uint8_t>(packet[i + 1]));
    sum = (sum >> 16) + (sum & 0xffff);
    sum += sum >> 16;
    packet[2] = static_cast<char>((~sum >> 8) & 0xff);
    packet[3] = static_cast<char>(~sum & 0xff);
    return packet;
}

uint16_t IdAt(const std::string& Packet, std::size_t At) {
    return static_cast<uint16_t>(static_cast<uint8_t>(Packet[At + 4]) << 8 |
                                 static_cast<uint8_t>(Packet[At + 5]));
}

} // namespace

TEST(IcmpNetns, DatagramEchoOnLoopback) {
    if (!zt::test::IsRoot())
        GTEST_SKIP() << "needs root";
    const std::string failure = InPrivateNetns([] {
        for (const bool v6 : {false, true}) {
            TICMPBlockSocket sock;
            sock.IcmpKind = IK_Datagram;
            sock.Connect(v6 ? "::1" : "127.0.0.1", "0");
            ASSERT_EQ(sock.LastError(), 0) << sock.LastErrorDesc();
            EXPECT_EQ(sock.SocketKind(), IK_Datagram);
            const int id = sock.DatagramEchoId();
            ASSERT_GT(id, 0);
            sock.SendString(EchoRequest(v6 ? 128 : 8, static_cast<uint16_t>(id)));
            ASSERT_EQ(sock.LastError(), 0) << sock.LastErrorDesc();
            const std::string reply = sock.RecvPacket(2000);
            ASSERT_EQ(sock.LastError(), 0);
            EXPECT_EQ(sock.IcmpHeaderOffset(reply), 0u);
            ASSERT_GE(reply.size(), 8u);
            EXPECT_EQ(static_cast<uint8_t>(reply[0]), v6 ? 129 : 0);
            EXPECT_EQ(IdAt(reply, 0), id);
            EXPECT_EQ(sock.GetRemoteSinIP(), v6 ? "::1" : "127.0.0.1");
        }
    });
    if (!failure.empty())
        GTEST_SKIP() << failure;
}

TEST(IcmpNetns, ErrorsComeFromTheErrorQueueOrAsDatagrams) {
    if (!zt::test::IsRoot() || !zt::test::HaveProgram("nft"))
        GTEST_SKIP() << "needs root and nft";
    const std::string failure = InPrivateNetns([] {
        int rc = 0;
        zt::test::RunCommand("nft -f - 2>&1 <<'EOF'\n"
                             "table inet zt {\n"
                             "  chain in {\n"
                             "    type filter hook input priority 0;\n"
                             "    icmp type echo-request reject with icmp type host-unreachable\n"
                             "    icmpv6 type echo-request reject with icmpv6 type addr-unreachable\n"
                             "  }\n"
                             "}\n"
                             "EOF",
                             &rc);
        ASSERT_EQ(rc, 0);
        int checked = 0;
        for (const bool v6 : {false, true}) {
            for (const TIcmpKind kind : {IK_Datagram, IK_Raw}) {
                TICMPBlockSocket sock;
                sock.IcmpKind = kind;
                sock.Connect(v6 ? "::1" : "127.0.0.1", "0");
                ASSERT_EQ(sock.LastError(), 0);
                const uint16_t id =
                    kind == IK_Datagram ? static_cast<uint16_t>(sock.DatagramEchoId()) : 0x4242;
                const std::string request = EchoRequest(v6 ? 128 : 8, id);
                sock.SendString(request);
                ASSERT_EQ(sock.LastError(), 0);
                std::string packet;
                std::size_t at = 0;
                for (int i = 0; i < 10; ++i) {
                    packet = sock.RecvPacket(2000);
                    ASSERT_EQ(sock.LastError(), 0) << (v6 ? "v6 " : "v4 ") << kind;
                    at = sock.IcmpHeaderOffset(packet);
                    if (packet.size() > at && static_cast<uint8_t>(packet[at]) != (v6 ? 128 : 8))
                        break;
                }
                ASSERT_GE(packet.size(), at + 16);
                EXPECT_EQ(static_cast<uint8_t>(packet[at]), v6 ? 1 : 3);
                EXPECT_EQ(static_cast<uint8_t>(packet[at + 1]), v6 ? 3 : 1);
                EXPECT_EQ(sock.GetRemoteSinIP(), v6 ? "::1" : "127.0.0.1");
                // The quoted request carries our identifier.
                EXPECT_NE(
                    packet.find(std::string(1, static_cast<char>(id >> 8)) + static_cast<char>(id & 0xff)),
                    std::string::npos);
                ++checked;
            }
        }
        EXPECT_EQ(checked, 4);
    });
    if (!failure.empty())
        GTEST_SKIP() << failure;
}
