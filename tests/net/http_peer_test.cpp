// Tests of the HTTP client against a real web server on loopback (IPv4 and IPv6).
#include "net/httpsend.h"

#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace zt::test;

namespace {

class HttpPeer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveProgram("lighttpd"))
            GTEST_SKIP() << "lighttpd not installed";
        std::filesystem::create_directories(dir.file("www/sub"));
        WriteFile(dir.file("www/small.txt"), "small file\n");
        std::string big;
        for (int i = 0; i < 20000; ++i)
            big += "line " + std::to_string(i) + "\n";
        WriteFile(dir.file("www/sub/big.bin"), big);
        port = FreeTcpPort();
        server = PeerProcess({PeerScript("lighttpd.sh"), dir.path(), std::to_string(port)});
        ASSERT_TRUE(WaitForTcpPort("127.0.0.1", port)) << ReadFile(dir.file("error.log"));
    }
    std::string Url(const std::string& Path, const std::string& Host = "127.0.0.1") const {
        return "http://" + Host + ":" + std::to_string(port) + Path;
    }

    TempDir dir;
    int port = 0;
    PeerProcess server;
};

} // namespace

TEST_F(HttpPeer, ProbeTexts) {
    EXPECT_EQ(HttpProbe(Url("/small.txt"), 5000), "200 OK");
    EXPECT_EQ(HttpProbe(Url("/missing.txt"), 5000), "404 Not Found");
    EXPECT_EQ(HttpProbe("127.0.0.1:" + std::to_string(port), 5000).substr(0, 4), "403 "); // no index
    EXPECT_EQ(HttpProbe(Url("/small.txt", "[::1]"), 5000), "200 OK");
}

TEST_F(HttpPeer, FetchFileOverBothFamilies) {
    for (const std::string host : {"127.0.0.1", "[::1]"}) {
        const std::string target = dir.file("copy.bin");
        ASSERT_TRUE(HttpGetToFile(Url("/sub/big.bin", host), target)) << host;
        EXPECT_EQ(ReadFile(target), ReadFile(dir.file("www/sub/big.bin")));
        std::filesystem::remove(target);
    }
    EXPECT_FALSE(HttpGetToFile(Url("/nothing.db"), dir.file("none.db")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.db")));
}

TEST_F(HttpPeer, KeepAliveReusesTheConnection) {
    // After a request Headers and Document hold the answer; a reused client empties them first, or
    // they go out as request headers and upload.
    THTTPSend http;
    auto fresh = [&] {
        http.Headers.clear();
        http.Document.Clear();
    };
    ASSERT_TRUE(http.ExecuteMethod("GET", Url("/small.txt")));
    EXPECT_EQ(http.Sock.Socket(), -1); // under HTTP/1.0 the client closes after every answer
    fresh();
    http.Protocol = "1.1";
    ASSERT_TRUE(http.ExecuteMethod("GET", Url("/small.txt")));
    EXPECT_EQ(http.Document.Bytes(), "small file\n");
    EXPECT_EQ(http.MimeType, "text/plain");
    const int localPort = http.Sock.GetLocalSinPort();
    fresh();
    ASSERT_TRUE(http.ExecuteMethod("HEAD", Url("/sub/big.bin")));
    EXPECT_EQ(http.Document.Size(), 0u);
    EXPECT_EQ(http.Sock.GetLocalSinPort(), localPort);
    fresh();
    http.RangeStart = 6;
    http.RangeEnd = 9;
    ASSERT_TRUE(http.ExecuteMethod("GET", Url("/small.txt")));
    EXPECT_EQ(http.ResultCode, 206);
    EXPECT_EQ(http.Document.Bytes(), "file");
    EXPECT_EQ(http.Sock.GetLocalSinPort(), localPort);
    fresh();
    http.KeepAlive = false;
    ASSERT_TRUE(http.ExecuteMethod("GET", Url("/small.txt")));
    EXPECT_EQ(http.Sock.Socket(), -1); // the server closes and so does the client
}
