// Tests of the HTTP client's parts that need no socket: the request block and the answer reader.
#include "net/httpsend.h"

#include "net/netcode.h"

#include <gtest/gtest.h>

namespace {

std::string Block(const std::string& Method, const std::string& URL, const THTTPRequestOptions& Options = {},
                  const std::vector<std::string>& Extra = {}, bool ProxyMode = false) {
    return JoinRequestBlock(BuildRequestHeaders(Method, ParseURL(URL), Options, Extra, ProxyMode),
                            Options.Protocol);
}

// Feeds an answer in one piece, or byte by byte when Split.
THTTPAnswer Read(const std::string& Bytes, bool Split = false, bool Head = false, bool Close = true) {
    THTTPAnswer a;
    a.Start(Head, false, true);
    if (Split) {
        for (char c : Bytes)
            if (!a.Finished())
                a.Feed(&c, 1);
    } else {
        a.Feed(Bytes);
    }
    if (Close)
        a.FeedClose();
    return a;
}

} // namespace

TEST(HttpRequest, DefaultGetBlockByteForByte) {
    EXPECT_EQ(Block("get", "http://H/"), "GET / HTTP/1.0\r\n"
                                         "Host: H\r\n"
                                         "Keep-Alive: 300\r\n"
                                         "Connection: keep-alive\r\n"
                                         "User-Agent: Mozilla/4.0 (compatible)\r\n"
                                         "\r\n");
    EXPECT_EQ(Block("GET", "H"), Block("GET", "http://H/")); // no "/" after the host requests "/"
}

TEST(HttpRequest, TargetPortAndIPv6HostLine) {
    const std::string b = Block("GET", "http://H:8080/a?b=1");
    EXPECT_EQ(b.substr(0, b.find("\r\n")), "GET /a?b=1 HTTP/1.0");
    EXPECT_NE(b.find("\r\nHost: H:8080\r\n"), std::string::npos);
    EXPECT_NE(Block("GET", "http://[::1]:8080/x").find("\r\nHost: [::1]:8080\r\n"), std::string::npos);
    EXPECT_NE(Block("GET", "::1").find("\r\nHost: [::1]\r\n"), std::string::npos);
    EXPECT_NE(Block("GET", "fe80::2/p").find("GET /p HTTP/1.0\r\nHost: [fe80::2]\r\n"), std::string::npos);
    THTTPRequestOptions noPort;
    noPort.AddPortNumberToHost = false;
    EXPECT_NE(Block("GET", "H:81", noPort).find("\r\nHost: H\r\n"), std::string::npos);
    EXPECT_EQ(Block("OPTIONS", "H/*").substr(0, 19), "OPTIONS * HTTP/1.0\r");
}

TEST(HttpRequest, OptionalLinesInTheirOrder) {
    THTTPRequestOptions o;
    o.KeepAlive = false;
    o.Cookies = {"a=1", "b=2"};
    o.RangeStart = 10;
    o.RangeEnd = 5;
    o.DocumentSize = 3;
    o.MimeType = "text/plain";
    o.Status100 = true;
    o.Protocol = "1.1";
    EXPECT_EQ(Block("POST", "http://u%3a:p%40@h/up", o, {"X-Extra: 1"}),
              "POST /up HTTP/1.1\r\n"
              "Host: h\r\n"
              "Authorization: Basic " +
                  EncodeBase64("u%3a:p%40") +
                  "\r\n"
                  "Connection: close\r\n"
                  "Cookie: a=1; b=2\r\n"
                  "Range: bytes=10-\r\n"
                  "User-Agent: Mozilla/4.0 (compatible)\r\n"
                  "Content-Type: text/plain\r\n"
                  "Content-Length: 3\r\n"
                  "Expect: 100-continue\r\n"
                  "X-Extra: 1\r\n"
                  "\r\n");
    THTTPRequestOptions client;
    client.UserName = "me";
    client.Password = "pw";
    client.RangeStart = 1;
    client.RangeEnd = 9;
    client.UserAgent = "";
    const std::string b = Block("GET", "h", client, {"X: y", ""});
    EXPECT_NE(b.find("Authorization: Basic bWU6cHc=\r\n"), std::string::npos);
    EXPECT_NE(b.find("Range: bytes=1-9\r\n"), std::string::npos);
    EXPECT_EQ(b.find("User-Agent"), std::string::npos);
    EXPECT_EQ(b.substr(b.size() - 8), "X: y\r\n\r\n"); // the caller's empty line is not doubled
}

TEST(HttpRequest, ProxyFormAndHttp09) {
    THTTPRequestOptions o;
    o.ProxyUser = "pu";
    o.ProxyPass = "pp";
    const std::string b = Block("GET", "http://h/x?y", o, {}, true);
    EXPECT_EQ(b.substr(0, b.find("\r\n")), "GET http://h:80/x?y HTTP/1.0");
    EXPECT_NE(b.find("Proxy-Authorization: Basic cHU6cHA=\r\n"), std::string::npos);
    EXPECT_NE(b.find("Proxy-Connection: keep-alive\r\n"), std::string::npos);
    THTTPRequestOptions old;
    old.Protocol = "0.9";
    EXPECT_EQ(Block("GET", "h/p"), Block("GET", "h/p")); // stable
    EXPECT_EQ(Block("GET", "h/p", old), "GET /p\r\n");
}

TEST(HttpStatusLine, CodeAndReason) {
    int code = -1;
    std::string reason;
    ParseStatusLine("HTTP/1.0 200 OK", code, reason);
    EXPECT_EQ(code, 200);
    EXPECT_EQ(reason, "OK");
    ParseStatusLine("HTTP/1.0 404", code, reason);
    EXPECT_EQ(code, 404);
    EXPECT_EQ(reason, "");
    ParseStatusLine("HTTP/1.1  503  Service  Unavailable ", code, reason);
    EXPECT_EQ(code, 503);
    EXPECT_EQ(reason, "Service  Unavailable");
    ParseStatusLine("HTTP/1.0", code, reason);
    EXPECT_EQ(code, 0);
    ParseStatusLine("HTTP/1.0 2x0 Odd", code, reason);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(reason, "Odd");
    ParseStatusLine("HTTP/1.0 99999999999999999999 Big", code, reason);
    EXPECT_EQ(code, 0);
}

TEST(HttpAnswer, CountedBodyHeadersAndLeftover) {
    for (bool split : {false, true}) {
        THTTPAnswer a;
        a.Start(false, false, false);
        const std::string bytes = "HTTP/1.1 200 OK\r\nContent-Type:  text/plain \r\nX-Long: a\r\n\tb\r\n"
                                  "Content-Length: 5\r\nConnection: Close\r\n\r\nhelloNEXT";
        std::size_t used = 0;
        if (split) {
            for (std::size_t i = 0; i < bytes.size() && !a.Finished(); ++i)
                used += a.Feed(&bytes[i], 1);
        } else {
            used = a.Feed(bytes);
        }
        ASSERT_TRUE(a.Succeeded());
        EXPECT_EQ(used, bytes.size() - 4);
        EXPECT_EQ(a.Document.Bytes(), "hello");
        EXPECT_EQ(a.ResultCode, 200);
        EXPECT_EQ(a.MimeType, "text/plain");
        EXPECT_EQ(a.TransferEncoding, TE_IDENT);
        EXPECT_EQ(a.DownloadSize, 5);
        EXPECT_TRUE(a.CloseAfter);
        const std::vector<std::string> headers = {"HTTP/1.1 200 OK",   "Content-Type:  text/plain",
                                                  "X-Long: a b",       "Content-Length: 5",
                                                  "Connection: Close", ""};
        EXPECT_EQ(a.Headers, headers);
    }
}

TEST(HttpAnswer, InterimChunkedAndLineEnds) {
    auto a = Read("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                  "5\r\nhello\r\n0\r\n\r\n",
                  false, false, false);
    ASSERT_TRUE(a.Succeeded());
    EXPECT_EQ(a.ResultCode, 200);
    EXPECT_EQ(a.InterimAnswers(), 1);
    EXPECT_EQ(a.Document.Bytes(), "hello");
    EXPECT_EQ(a.Headers.front(), "HTTP/1.1 200 OK");
    // Chunk extensions, LF-only and LF CR line ends, byte by byte; chunked wins over Content-Length.
    a = Read("HTTP/1.1 102 Processing\nX: y\n\nHTTP/1.1 200 OK\n\rContent-Length: 99\nTransfer-Encoding: "
             "gzip, chunked\n\n3;ext=1\nabc\n\r2 \n\r\n\n0\n",
             true, false, false);
    ASSERT_TRUE(a.Succeeded());
    EXPECT_EQ(a.TransferEncoding, TE_CHUNKED);
    // "2 " ends in LF CR, so the chunk's two bytes are the two LFs that follow.
    EXPECT_EQ(a.Document.Bytes(), "abc\n\n");
}

TEST(HttpAnswer, NoBodyForHead204And304) {
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n";
    auto a = Read(head + "0123456789", false, true, false);
    EXPECT_TRUE(a.Succeeded());
    EXPECT_EQ(a.Document.Size(), 0u);
    for (const char* status : {"204 No Content", "304 Not Modified"}) {
        a = Read(std::string("HTTP/1.1 ") + status + "\r\nContent-Length: 10\r\n\r\n", false, false, false);
        EXPECT_TRUE(a.Succeeded()) << status;
        EXPECT_EQ(a.Document.Size(), 0u);
    }
}

TEST(HttpAnswer, ReadToCloseAndBareDocument) {
    auto a = Read("HTTP/1.0 200 OK\r\n\r\nall of\r\nit");
    ASSERT_TRUE(a.Succeeded());
    EXPECT_EQ(a.TransferEncoding, TE_UNKNOWN);
    EXPECT_EQ(a.Document.Bytes(), "all of\r\nit");
    a = Read("hello there\nmore");
    ASSERT_TRUE(a.Succeeded());
    EXPECT_FALSE(a.HasStatusLine());
    EXPECT_EQ(a.ResultCode, 0);
    EXPECT_EQ(a.Document.Bytes(), "hello there\r\nmore");
}

TEST(HttpAnswer, BadInputFails) {
    struct Case {
        std::string bytes;
        int error;
    };
    const std::vector<Case> cases = {
        {"", 10054},                                                            // nothing at all
        {"HTTP/1.0 200 OK", 10054},                                             // no line end
        {"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n", 10054},                   // headers cut
        {"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nshort", 10054},          // body cut
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 10022}, // bad size
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n-5\r\n", 10022}, // negative
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFF\r\n", 10022},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", 10054},       // chunk cut
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", 10054}, // no last chunk
        {"HTTP/1.1 200 OK\r\n" + std::string(70000, 'x') + "\r\n\r\n", 10055},          // long line
    };
    for (const auto& c : cases) {
        const auto a = Read(c.bytes);
        EXPECT_EQ(a.Phase(), THTTPAnswer::apFailed) << c.bytes.substr(0, 60);
        EXPECT_EQ(a.Error(), c.error) << c.bytes.substr(0, 60);
    }
    // Many header lines add up past the header limit; endless empty lines as well.
    std::string many = "HTTP/1.0 200 OK\r\n";
    for (int i = 0; i < 60000; ++i)
        many += "X-Header-Number: " + std::to_string(i) + "\r\n";
    EXPECT_EQ(Read(many).Error(), 10055);
    EXPECT_EQ(Read(std::string(2000000, '\n')).Error(), 10055);
    // A Content-Length without digits reads to the close; a time-out fails the answer.
    auto a = Read("HTTP/1.0 200 OK\r\nContent-Length: ten\r\n\r\nbody");
    EXPECT_TRUE(a.Succeeded());
    EXPECT_EQ(a.ExpectedSize, -1);
    THTTPAnswer t;
    t.Start(false, false, true);
    t.Feed("HTTP/1.0 200 OK\r\n");
    t.FeedError(10060);
    EXPECT_EQ(t.Error(), 10060);
    EXPECT_EQ(t.ResultCode, 200);
}

TEST(HttpAnswer, BodyLimit) {
    THTTPAnswer a;
    a.MaxBodySize = 8;
    a.Start(false, false, true);
    a.Feed("HTTP/1.0 200 OK\r\n\r\n0123456789");
    EXPECT_EQ(a.Error(), 10055);
    EXPECT_EQ(a.Document.Bytes(), "01234567");
    a.Start(false, false, true);
    a.Feed("HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\n");
    EXPECT_EQ(a.Error(), 10055);
    a.Start(false, false, true);
    a.Feed("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\n0123\r\n5\r\n");
    EXPECT_EQ(a.Error(), 10055);
}

TEST(HttpCookies, SetCookieLinesOverwriteByName) {
    std::vector<std::string> cookies = {"a=old", "keep=1"};
    ParseCookies({"HTTP/1.0 200 OK", "Set-Cookie: a = new ; Path=/", "set-cookie:b=2", "SET-COOKIE: flag",
                  "X-Set-Cookie: c=3", "Set-Cookie: =nameless"},
                 cookies);
    const std::vector<std::string> expected = {"a=new", "keep=1", "b=2", "flag="};
    EXPECT_EQ(cookies, expected);
}

TEST(HttpAnswer, EndsExactlyAtTheAnswerForAKeptConnection) {
    const std::vector<std::string> answers = {
        "HTTP/1.1 204 No Content\r\n\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\nX-Trailer: 1\r\n\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
    };
    for (const auto& answer : answers) {
        THTTPAnswer a;
        a.Start(false, false, false);
        EXPECT_EQ(a.Feed(answer + "HTTP/1.1 200 OK\r\n"), answer.size()) << answer;
        EXPECT_TRUE(a.Succeeded());
    }
    // A trailer not yet received is not waited for.
    THTTPAnswer a;
    a.Start(false, false, false);
    const std::string partial = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\nX-Tr";
    EXPECT_EQ(a.Feed(partial), partial.size() - 4);
    EXPECT_TRUE(a.Succeeded());
}
