// Socket error numbers: the errno and resolver mappings, the fixed text table, and how an error is
// reported (status hook, exception text when RaiseExcept is on).
#include "net/blcksock.h"

#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>
#include <netdb.h>
#include <unistd.h>

#include "tests/support/TestSupport.h"

TEST(SocketErrorText, TableIsExact) {
    const std::pair<int, const char*> table[] = {
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
    for (const auto& [code, text] : table) {
        EXPECT_EQ(SocketErrorText(code), text) << code;
        EXPECT_EQ(TBlockSocket::GetErrorDesc(code), text) << code;
    }
    EXPECT_EQ(SocketErrorText(0), "");
    EXPECT_EQ(SocketErrorText(10072), "Other Winsock error (10072)");
    EXPECT_EQ(SocketErrorText(10090), "Other Winsock error (10090)");
    EXPECT_EQ(SocketErrorText(-1), "Other Winsock error (-1)");
}

TEST(SocketErrorText, ErrnoMapsToTheWindowsNumbers) {
    EXPECT_EQ(SocketErrorFromErrno(0), 0);
    EXPECT_EQ(SocketErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(SocketErrorFromErrno(EPIPE), 10054);
    EXPECT_EQ(SocketErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(SocketErrorFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(SocketErrorFromErrno(EINPROGRESS), 10036);
    EXPECT_EQ(SocketErrorFromErrno(EINTR), 10004);
    EXPECT_EQ(SocketErrorFromErrno(EACCES), 10013);
    EXPECT_EQ(SocketErrorFromErrno(EPERM), 10013);
    EXPECT_EQ(SocketErrorFromErrno(EINVAL), 10022);
    EXPECT_EQ(SocketErrorFromErrno(EMSGSIZE), 10040);
    EXPECT_EQ(SocketErrorFromErrno(EAFNOSUPPORT), 10047);
    EXPECT_EQ(SocketErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(SocketErrorFromErrno(EADDRNOTAVAIL), 10049);
    EXPECT_EQ(SocketErrorFromErrno(ENETDOWN), 10050);
    EXPECT_EQ(SocketErrorFromErrno(ENETUNREACH), 10051);
    EXPECT_EQ(SocketErrorFromErrno(ECONNABORTED), 10053);
    EXPECT_EQ(SocketErrorFromErrno(ENOBUFS), 10055);
    EXPECT_EQ(SocketErrorFromErrno(EISCONN), 10056);
    EXPECT_EQ(SocketErrorFromErrno(ENOTCONN), 10057);
    EXPECT_EQ(SocketErrorFromErrno(EHOSTDOWN), 10064);
    EXPECT_EQ(SocketErrorFromErrno(EHOSTUNREACH), 10065);
    // An errno without a socket meaning never passes for one of the known codes.
    EXPECT_EQ(SocketErrorFromErrno(ENOENT), 10000 + ENOENT);
    EXPECT_EQ(SocketErrorText(SocketErrorFromErrno(EDEADLK)).rfind("Other Winsock error (", 0), 0u);
}

TEST(SocketErrorText, ResolverResultsMapTo11001To11004) {
    EXPECT_EQ(SocketErrorFromResolver(0), 0);
    EXPECT_EQ(SocketErrorFromResolver(EAI_NONAME), 11001);
    EXPECT_EQ(SocketErrorFromResolver(EAI_AGAIN), 11002);
    EXPECT_EQ(SocketErrorFromResolver(EAI_FAIL), 11003);
    EXPECT_EQ(SocketErrorFromResolver(EAI_NODATA), 11004);
    EXPECT_EQ(SocketErrorFromResolver(EAI_ADDRFAMILY), 11004);
    EXPECT_EQ(SocketErrorFromResolver(EAI_FAMILY), 10047);
}

TEST(SocketErrorReport, StatusHookAndException) {
    const int port = zt::test::FreeTcpPort();
    TTCPBlockSocket sock;
    std::vector<std::pair<THookSocketReason, std::string>> seen;
    sock.OnStatus = [&](TBlockSocket&, THookSocketReason reason, const std::string& value) {
        seen.emplace_back(reason, value);
    };
    sock.Connect("127.0.0.1", std::to_string(port));
    EXPECT_EQ(sock.LastError(), 10061);
    EXPECT_EQ(sock.LastErrorDesc(), "Connection refused");
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().first, HR_Error);
    EXPECT_EQ(seen.back().second, "10061,Connection refused");
    bool created = false;
    for (const auto& [reason, value] : seen)
        created = created || (reason == HR_SocketCreate && value == "IPv4");
    EXPECT_TRUE(created);

    TTCPBlockSocket raising;
    raising.RaiseExcept = true;
    try {
        raising.Connect("127.0.0.1", std::to_string(port));
        FAIL() << "no exception";
    } catch (const ENetError& e) {
        EXPECT_EQ(e.ErrorCode, 10061);
        EXPECT_EQ(e.ErrorMessage, "Connection refused");
        EXPECT_STREQ(e.what(), "TCP/IP Socket error 10061: Connection refused");
    }
}

TEST(SocketErrorReport, WouldBlockPassesSilently) {
    TTCPBlockSocket sock;
    sock.RaiseExcept = true;
    sock.SetNonBlockMode(true);
    int errors = 0;
    sock.OnStatus = [&](TBlockSocket&, THookSocketReason reason, const std::string&) {
        errors += reason == HR_Error;
    };
    // A non-blocking connect to a listening loopback port reports "in progress" or "would block"
    // quietly, or completes at once.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    socklen_t len = sizeof(sa);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    EXPECT_NO_THROW(sock.Connect("127.0.0.1", std::to_string(ntohs(sa.sin_port))));
    EXPECT_TRUE(sock.LastError() == 0 || sock.LastError() == 10035);
    EXPECT_EQ(errors, 0);
    ::close(fd);
}
