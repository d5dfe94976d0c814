// The HTTP client: one request over a TCP socket with its status, headers and body. The request builder
// and the incremental answer reader need no socket, so they are tested and fuzzed on their own.
#pragma once

#include "net/blcksock.h"
#include "net/netutil.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

enum TTransferEncoding { TE_UNKNOWN, TE_IDENT, TE_CHUNKED };

// Fed the received bytes as they come, it reads lines the way the socket layer does with line-end
// conversion (CR LF, LF CR, CR or LF end a line), parses the status line and headers, and collects the
// body by its framing. Every byte is looked at once; limits keep a hostile answer from growing memory.
class THTTPAnswer {
public:
    enum TPhase { apStatus, apHeaders, apBody, apDone, apFailed };

    // Limits; 0 means none for MaxBodySize.
    std::size_t MaxLineLength = 65536;
    std::size_t MaxHeaderBytes = 1048576;
    std::size_t MaxBodySize = 0;

    // Starts a new answer. NoBody: a HEAD request. ProxyMode: "Proxy-Connection" decides close-after.
    // CloseAfter: the initial close-after flag (protocol other than 1.1).
    void Start(bool NoBody, bool ProxyMode, bool CloseAfter);

    // Consumes bytes until the answer is complete or has failed; returns how many were used.
    std::size_t Feed(const char* Data, std::size_t Size);
    std::size_t Feed(const std::string& Data) { return Feed(Data.data(), Data.size()); }
    // The peer closed the connection: ends a body read to close, fails anything else.
    void FeedClose();
    // A receive failed (time-out, abort): the answer fails with that socket error.
    void FeedError(int SocketError);

    TPhase Phase() const { return FPhase; }
    bool Finished() const { return FPhase == apDone || FPhase == apFailed; }
    bool Succeeded() const { return FPhase == apDone; }
    // Socket error number of a failure (10054 peer closed early, 10055 over a limit, 10060 time-out,
    // 10022 a malformed chunk size); 0 otherwise.
    int Error() const { return FError; }
    // True once a final status line was seen.
    bool HasStatusLine() const { return FHasStatus; }
    // Interim (1xx) answers skipped so far; the upload after "Expect: 100-continue" waits for one.
    int InterimAnswers() const { return FInterim; }

    std::vector<std::string> Headers;
    TMemoryStream Document;
    int ResultCode = 0;
    std::string ResultString;
    std::string MimeType = "text/html";
    TTransferEncoding TransferEncoding = TE_UNKNOWN;
    int64_t ExpectedSize = -1;
    int64_t DownloadSize = 0;
    bool CloseAfter = false;

private:
    bool TakeLine(const char* Data, std::size_t Size, std::size_t& Pos, std::string& Line);
    void OnStatusPhaseLine(const std::string& Line);
    void OnHeaderLine(const std::string& Line);
    void FinishHeaders();
    void BeginBody();
    std::size_t FeedBody(const char* Data, std::size_t Size);
    bool AppendBody(const char* Data, std::size_t Size);
    void Fail(int Code);

    TPhase FPhase = apDone;
    int FError = 0;
    bool FHasStatus = false;
    bool FNoBody = false;
    bool FProxyMode = false;
    bool FInInterim = false;
    int FInterim = 0;
    // Line assembly.
    std::string FLine;
    bool FSkipLF = false;
    bool FSkipCR = false;
    std::size_t FHeaderBytes = 0;
    std::vector<std::string> FRawHeaders;
    // Body framing.
    int64_t FRemaining = 0;   // bytes left of the counted part
    bool FInChunk = false;    // reading chunk data rather than a size line
    std::size_t FFraming = 0; // chunk framing bytes since the last data
};

// Status line: code and reason after the version. "HTTP/1.0 404" gives 404 and an empty reason.
void ParseStatusLine(const std::string& Line, int& ResultCode, std::string& ResultString);

// Cookies from the "set-cookie:" answer lines, name=value, an existing name overwritten.
void ParseCookies(const std::vector<std::string>& Headers, std::vector<std::string>& Cookies);

// What goes into the request block besides the URL.
struct THTTPRequestOptions {
    std::string Protocol = "1.0";
    bool KeepAlive = true;
    int KeepAliveTimeout = 300;
    bool Status100 = false;
    std::string ProxyHost, ProxyPort = "8080", ProxyUser, ProxyPass;
    std::string UserAgent = "Mozilla/4.0 (compatible)";
    std::vector<std::string> Cookies;
    int64_t RangeStart = 0, RangeEnd = 0;
    bool AddPortNumberToHost = true;
    std::string MimeType = "text/html";
    std::size_t DocumentSize = 0;
    std::string UserName, Password; // the client's own, used when the URL names no user
};

// The request's header lines, top down, ending in an empty line: the request line, Host, the
// authorisation, connection, cookie, range, agent and upload lines, then the caller's Extra lines.
// ProxyMode tells whether the request goes to a forward proxy (plain http with a proxy set).
std::vector<std::string> BuildRequestHeaders(const std::string& Method, const TParsedURL& URL,
                                             const THTTPRequestOptions& Options,
                                             const std::vector<std::string>& Extra, bool ProxyMode);
// The bytes of a header block: every line followed by CR LF; for protocol "0.9" the request line alone.
std::string JoinRequestBlock(const std::vector<std::string>& Lines, const std::string& Protocol);

// One HTTP request over a TCP socket: the request block, the connection (kept while the server allows),
// the upload and the answer with its status, headers and body.
class THTTPSend : public TNetClient {
public:
    THTTPSend();
    ~THTTPSend() override;

    TTCPBlockSocket Sock;
    // Before a request: extra request headers; after it: the status line and the answer headers.
    std::vector<std::string> Headers;
    // Before a request: the body to upload; after it: the answer body at position 0.
    TMemoryStream Document;
    std::string MimeType = "text/html";
    std::string Protocol = "1.0";
    bool KeepAlive = true;
    int KeepAliveTimeout = 300;
    bool Status100 = false;
    std::string ProxyHost, ProxyPort = "8080", ProxyUser, ProxyPass;
    int ResultCode = 0;
    std::string ResultString;
    std::string UserAgent = "Mozilla/4.0 (compatible)";
    std::vector<std::string> Cookies;
    int64_t DownloadSize = 0;
    int64_t UploadSize = 0;
    int64_t RangeStart = 0, RangeEnd = 0;
    bool AddPortNumberToHost = true;
    std::string AliveHost, AlivePort;
    TTransferEncoding TransferEncoding = TE_UNKNOWN;
    // Bound of the whole exchange in ms (connect, send and every receive together); 0: none, each
    // wait is bounded by Timeout alone.
    int TotalTimeout = 0;
    // Most answer-body bytes kept; a longer body ends the exchange as failed (0: no limit).
    std::size_t MaxBodySize = 0;

    void ResetAnswer();
    // True when the exchange completed; ResultCode is 500 when no connection could be made and 0 when no
    // status line arrived.
    bool ExecuteMethod(const std::string& Method, const std::string& URL);
    // Cancels a request in progress from another thread; its waits end at once with 10053.
    void Abort() { Sock.AbortSocket(); }
    // Socket error number of the last failure of the answer (0 when none).
    int AnswerError() const { return FAnswerError; }

private:
    int Budget() const;
    bool EnsureConnection(bool Https);
    bool SendRequest(const std::string& Block, THTTPAnswer& Answer, bool Expect100);
    bool ReceiveAnswer(THTTPAnswer& Answer);
    bool ReceiveInto(THTTPAnswer& Answer, bool UntilStatus);
    void CloseConnection();

    uint32_t FStartTick = 0;
    std::string FPending; // bytes received beyond the last answer
    int FAnswerError = 0;
};

// A GET into the caller's stream (written from position 0). True only for a complete 2xx answer;
// on any failure nothing is written.
bool HttpGetToStream(const std::string& URL, std::ostream& Stream,
                     std::shared_ptr<TNetCancel> Cancel = nullptr);
bool HttpGetToStream(const std::string& URL, TMemoryStream& Stream,
                     std::shared_ptr<TNetCancel> Cancel = nullptr);
// A GET into a file, written to a temporary file beside it and renamed over it only on success, so a
// failed fetch leaves no file and never a partial one.
bool HttpGetToFile(const std::string& URL, const std::string& FileName,
                   std::shared_ptr<TNetCancel> Cancel = nullptr);

// The HTTP check of a host: one GET of the host text, answered as the result code, a blank and the
// reason ("200 OK"; "0 " without a status line, "500 " without a connection). TimeoutMs (the check
// engine passes 5 x the ping time-out) bounds every wait and the whole exchange; the body kept is capped.
std::string HttpProbe(const std::string& URL, int TimeoutMs, std::shared_ptr<TNetCancel> Cancel = nullptr);
// Most body bytes the probe keeps.
constexpr std::size_t HttpProbeBodyLimit = 65536;
