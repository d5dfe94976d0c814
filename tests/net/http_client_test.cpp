// Tests of the HTTP client against a scripted server on loopback: the request on the wire, the
// probe's texts, framing, limits, the overall deadline, cancellation and the fetch into a stream.
#include "net/httpsend.h"

#include "tests/net/http_helpers.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

using namespace zt::test;

namespace {

std::string Url(const TScriptedHttpServer& Server, const std::string& Path = "/") {
    return "127.0.0.1:" + std::to_string(Server.Port()) + Path;
}

const std::string kOk = "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello";

long long MsSince(std::chrono::steady_clock::time_point Start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Start)
        .count();
}

} // namespace

TEST(HttpClientWire, ProbeSendsTheDefaultBlock) {
    TScriptedHttpServer server({SendStep(kOk), CloseStep()});
    EXPECT_EQ(HttpProbe(Url(server), 5000), "200 OK");
    EXPECT_EQ(server.Request(), "GET / HTTP/1.0\r\n"
                                "Host: 127.0.0.1:" +
                                    std::to_string(server.Port()) +
                                    "\r\n"
                                    "Keep-Alive: 300\r\n"
                                    "Connection: keep-alive\r\n"
                                    "User-Agent: Mozilla/4.0 (compatible)\r\n"
                                    "\r\n");
}

TEST(HttpClientWire, PortEightyLeavesTheHostLineBare) {
    std::unique_ptr<TScriptedHttpServer> server;
    try {
        server = std::make_unique<TScriptedHttpServer>(std::vector<THttpStep>{SendStep(kOk), CloseStep()},
                                                       "127.0.0.2", 80);
    } catch (const std::exception& e) {
        GTEST_SKIP() << "port 80 on 127.0.0.2 not available: " << e.what();
    }
    EXPECT_EQ(HttpProbe("127.0.0.2", 5000), "200 OK");
    EXPECT_EQ(server->Request(), "GET / HTTP/1.0\r\n"
                                 "Host: 127.0.0.2\r\n"
                                 "Keep-Alive: 300\r\n"
                                 "Connection: keep-alive\r\n"
                                 "User-Agent: Mozilla/4.0 (compatible)\r\n"
                                 "\r\n");
}

TEST(HttpClientWire, IPv6HostIsBracketed) {
    std::unique_ptr<TScriptedHttpServer> server;
    try {
        server =
            std::make_unique<TScriptedHttpServer>(std::vector<THttpStep>{SendStep(kOk), CloseStep()}, "::1");
    } catch (const std::exception& e) {
        GTEST_SKIP() << "no IPv6 loopback: " << e.what();
    }
    const std::string port = std::to_string(server->Port());
    EXPECT_EQ(HttpProbe("http://[::1]:" + port + "/a?b=1", 5000), "200 OK");
    const std::string request = server->Request();
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /a?b=1 HTTP/1.0");
    EXPECT_NE(request.find("\r\nHost: [::1]:" + port + "\r\n"), std::string::npos);
}

TEST(HttpClientWire, ForwardProxyGetsTheAbsoluteTarget) {
    TScriptedHttpServer proxy({SendStep(kOk), CloseStep()});
    THTTPSend http;
    http.ProxyHost = "127.0.0.1";
    http.ProxyPort = std::to_string(proxy.Port());
    http.ProxyUser = "pu";
    http.ProxyPass = "pp";
    ASSERT_TRUE(http.ExecuteMethod("GET", "http://origin.invalid/x?y=1"));
    EXPECT_EQ(http.Document.Bytes(), "hello");
    EXPECT_EQ(proxy.Request(), "GET http://origin.invalid:80/x?y=1 HTTP/1.0\r\n"
                               "Host: origin.invalid\r\n"
                               "Proxy-Authorization: Basic cHU6cHA=\r\n"
                               "Keep-Alive: 300\r\n"
                               "Proxy-Connection: keep-alive\r\n"
                               "User-Agent: Mozilla/4.0 (compatible)\r\n"
                               "\r\n");
}

TEST(HttpClientProbe, FailureTexts) {
    // Nobody listens: no connection.
    EXPECT_EQ(HttpProbe("127.0.0.1:" + std::to_string(FreeTcpPort()), 2000), "500 ");
    // Connected, but the answer has no status line.
    {
        TScriptedHttpServer server({SendStep("hello\r\nworld\r\n"), CloseStep()});
        EXPECT_EQ(HttpProbe(Url(server), 2000), "0 ");
    }
    // Connected, closed without a word.
    {
        TScriptedHttpServer server({CloseStep()});
        EXPECT_EQ(HttpProbe(Url(server), 2000), "0 ");
    }
    // Connected, silent until the time-out.
    {
        TScriptedHttpServer server({HoldStep()});
        EXPECT_EQ(HttpProbe(Url(server), 300), "0 ");
    }
    // https: the program has no TLS layer, so the exchange fails at the TLS step.
    {
        TScriptedHttpServer server({SendStep(kOk), CloseStep()});
        EXPECT_EQ(HttpProbe("https://127.0.0.1:" + std::to_string(server.Port()) + "/", 2000), "500 ");
    }
    // A URL carrying a line break never reaches the wire.
    {
        TScriptedHttpServer server({SendStep(kOk), CloseStep()});
        EXPECT_EQ(HttpProbe(Url(server, "/\r\nX-Injected: 1"), 2000), "500 ");
        EXPECT_EQ(server.Connections(), 0);
    }
}

TEST(HttpClientProbe, StatusTexts) {
    struct Case {
        std::string answer;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", "200 OK"},
        {"HTTP/1.0 404\r\n\r\n", "404 "},
        {"HTTP/1.1 503 Service Unavailable\r\nContent-Length: 3\r\n\r\nbye", "503 Service Unavailable"},
        {"http/1.0 301 Moved\nLocation: /x\n\n", "301 Moved"},
    };
    for (const auto& c : cases) {
        TScriptedHttpServer server({SendStep(c.answer), CloseStep()});
        EXPECT_EQ(HttpProbe(Url(server), 2000), c.text) << c.answer;
    }
}

TEST(HttpClientBody, FramingOverTheWire) {
    {
        TScriptedHttpServer server({SendStep("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"),
                                    SleepStep(50), SendStep("5\r\nhel"), SleepStep(50),
                                    SendStep("lo\r\n0\r\n\r\n"), HoldStep()});
        THTTPSend http;
        http.Timeout = 3000;
        ASSERT_TRUE(http.ExecuteMethod("GET", Url(server)));
        EXPECT_EQ(http.ResultCode, 200);
        EXPECT_EQ(http.TransferEncoding, TE_CHUNKED);
        EXPECT_EQ(http.Document.Bytes(), "hello");
        EXPECT_EQ(http.Document.Position(), 0u);
    }
    {
        TScriptedHttpServer server({SendStep("HTTP/1.0 200 OK\r\nSet-Cookie: s=1; Path=/\r\n\r\nto the "),
                                    SleepStep(50), SendStep("close"), CloseStep()});
        THTTPSend http;
        ASSERT_TRUE(http.ExecuteMethod("GET", Url(server)));
        EXPECT_EQ(http.Document.Bytes(), "to the close");
        EXPECT_EQ(http.Sock.LastError(), 0);
        EXPECT_EQ(http.Cookies, std::vector<std::string>{"s=1"});
    }
    {
        TScriptedHttpServer server(
            {SendStep("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello"), HoldStep()});
        THTTPSend http;
        ASSERT_TRUE(http.ExecuteMethod("HEAD", Url(server)));
        EXPECT_EQ(http.Document.Size(), 0u);
        EXPECT_EQ(server.Request().substr(0, 5), "HEAD ");
    }
}

TEST(HttpClientBody, TruncatedAndResetAnswersFail) {
    {
        TScriptedHttpServer server(
            {SendStep("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly ten.."), CloseStep()});
        THTTPSend http;
        EXPECT_FALSE(http.ExecuteMethod("GET", Url(server)));
        EXPECT_EQ(http.ResultCode, 200);
        EXPECT_EQ(http.AnswerError(), 10054);
    }
    {
        TScriptedHttpServer server(
            {SendStep("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabc"), SleepStep(50), ResetStep()});
        THTTPSend http;
        EXPECT_FALSE(http.ExecuteMethod("GET", Url(server)));
        TMemoryStream out;
        EXPECT_FALSE(HttpGetToStream(Url(server), out));
        EXPECT_EQ(out.Size(), 0u);
    }
    {
        TScriptedHttpServer server(
            {SendStep("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nq\r\n"), HoldStep()});
        THTTPSend http;
        http.Timeout = 3000;
        EXPECT_FALSE(http.ExecuteMethod("GET", Url(server)));
        EXPECT_EQ(http.AnswerError(), 10022);
    }
}

TEST(HttpClientLimits, SlowDripEndsAtTheDeadline) {
    // The status arrives, then header bytes trickle in forever: each wait is short, only the overall
    // deadline ends the exchange.
    TScriptedHttpServer server({SendStep("HTTP/1.0 200 OK\r\n"), DripStep("X-Drip: abc\r\n", 20)});
    THTTPSend http;
    http.Timeout = 800;
    http.TotalTimeout = 800;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(http.ExecuteMethod("GET", Url(server)));
    RecordProperty("drip_ms", std::to_string(MsSince(start)));
    EXPECT_EQ(http.AnswerError(), 10060);
    EXPECT_EQ(http.ResultCode, 200);

    TScriptedHttpServer probed({SendStep("HTTP/1.0 200 OK\r\n"), DripStep("X-Drip: abc\r\n", 20)});
    EXPECT_EQ(HttpProbe(Url(probed), 800), "200 OK");
}

TEST(HttpClientLimits, EndlessBodyStopsAtTheCap) {
    TScriptedHttpServer server({SendStep("HTTP/1.0 200 OK\r\n\r\n"), EndlessStep(std::string(16384, 'z'))});
    THTTPSend http;
    http.Timeout = 5000;
    http.MaxBodySize = HttpProbeBodyLimit;
    EXPECT_FALSE(http.ExecuteMethod("GET", Url(server)));
    EXPECT_EQ(http.AnswerError(), 10055);
    EXPECT_EQ(http.Document.Size(), HttpProbeBodyLimit);
    EXPECT_EQ(http.Sock.Socket(), -1); // a failed exchange does not keep its connection

    TScriptedHttpServer probed({SendStep("HTTP/1.0 200 OK\r\n\r\n"), EndlessStep(std::string(16384, 'z'))});
    EXPECT_EQ(HttpProbe(Url(probed), 5000), "200 OK");
}

TEST(HttpClientCancel, AbortAndCancelEndALongWait) {
    TScriptedHttpServer server({HoldStep()});
    {
        THTTPSend http;
        http.Timeout = 10000;
        std::thread stopper([&] {
            server.Request(); // connected and sent
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            http.Abort();
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(http.ExecuteMethod("GET", Url(server)));
        stopper.join();
        RecordProperty("abort_ms", std::to_string(MsSince(start)));
        EXPECT_EQ(http.AnswerError(), 10053);
        EXPECT_EQ(http.ResultCode, 0);
    }
    TScriptedHttpServer second({HoldStep()});
    auto cancel = std::make_shared<TNetCancel>();
    std::thread stopper([&] {
        second.Request();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel->Raise();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(HttpProbe(Url(second), 10000, cancel), "0 ");
    stopper.join();
    RecordProperty("cancel_ms", std::to_string(MsSince(start)));
    EXPECT_TRUE(cancel->Raised());
}

TEST(HttpClientFetch, OnlyACompleteSuccessIsWritten) {
    TempDir dir;
    {
        TScriptedHttpServer server({SendStep(kOk), CloseStep()});
        std::stringstream out;
        out << "old";
        EXPECT_TRUE(HttpGetToStream(Url(server), out));
        EXPECT_EQ(out.str(), "hello");
    }
    {
        TScriptedHttpServer server(
            {SendStep("HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"), CloseStep()});
        std::stringstream out;
        EXPECT_FALSE(HttpGetToStream(Url(server), out));
        EXPECT_EQ(out.str(), "");
        EXPECT_FALSE(HttpGetToFile(Url(server), dir.file("db")));
        EXPECT_FALSE(std::filesystem::exists(dir.file("db")));
        EXPECT_FALSE(std::filesystem::exists(dir.file("db.part")));
    }
    {
        TScriptedHttpServer server(
            {SendStep("HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nshort"), CloseStep()});
        EXPECT_FALSE(HttpGetToFile(Url(server), dir.file("db")));
        EXPECT_FALSE(std::filesystem::exists(dir.file("db")));
    }
    EXPECT_FALSE(HttpGetToFile("127.0.0.1:" + std::to_string(FreeTcpPort()), dir.file("db")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("db")));
    {
        TScriptedHttpServer server({SendStep(kOk), CloseStep()});
        EXPECT_TRUE(HttpGetToFile(Url(server), dir.file("db")));
        EXPECT_EQ(ReadFile(dir.file("db")), "hello");
    }
}

TEST(HttpClientUpload, ExpectContinueWaitsForTheInterimAnswer) {
    TScriptedHttpServer server({SendStep("HTTP/1.1 100 Continue\r\n\r\n"), SleepStep(100),
                                SendStep("HTTP/1.1 201 Created\r\nContent-Length: 0\r\n\r\n"), HoldStep()});
    THTTPSend http;
    http.Protocol = "1.1";
    http.Status100 = true;
    http.Timeout = 3000;
    http.Document.Write("payload");
    ASSERT_TRUE(http.ExecuteMethod("PUT", Url(server, "/doc")));
    EXPECT_EQ(http.ResultCode, 201);
    EXPECT_EQ(http.UploadSize, 7);
    EXPECT_NE(server.Request().find("Expect: 100-continue\r\n"), std::string::npos);
}
