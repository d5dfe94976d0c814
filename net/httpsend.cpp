// The HTTP client: request block, incremental answer reader, the exchange over a TCP socket, and the
// two uses of the program (the host check and the fetch of a shared database file).
#include "net/httpsend.h"

#include "net/netcode.h"
#include "net/netip.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <ostream>

namespace {

constexpr int kErrClosed = 10054;   // the peer closed before the answer was complete
constexpr int kErrTooLong = 10055;  // a line, the header block or the body over its limit
constexpr int kErrTimedOut = 10060; // no data within the time-out or the overall deadline
constexpr int kErrMalformed = 10022;

// Decimal digits only (at most 18); -1 otherwise.
int64_t DecimalOrMinusOne(const std::string& Text) {
    if (Text.empty() || Text.size() > 18)
        return -1;
    int64_t v = 0;
    for (char c : Text) {
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

// Hexadecimal digits only (at most 15); -1 otherwise.
int64_t HexOrMinusOne(const std::string& Text) {
    if (Text.empty() || Text.size() > 15)
        return -1;
    int64_t v = 0;
    for (char c : Text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return -1;
        v = v * 16 + d;
    }
    return v;
}

std::string HeaderValue(const std::string& Line) {
    return TrimSpace(SeparateRight(Line, ":"));
}

std::string HostForHeader(const std::string& Host) {
    return Host.find(':') != std::string::npos ? "[" + Host + "]" : Host;
}

bool HasControlBreak(const std::string& Text) {
    return Text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

} // namespace

// ---- answer reader -------------------------------------------------------------------------------

void THTTPAnswer::Start(bool NoBody, bool ProxyMode, bool CloseAfterFlag) {
    Headers.clear();
    Document.Clear();
    ResultCode = 0;
    ResultString.clear();
    MimeType = "text/html";
    TransferEncoding = TE_UNKNOWN;
    ExpectedSize = -1;
    DownloadSize = 0;
    CloseAfter = CloseAfterFlag;
    FPhase = apStatus;
    FError = 0;
    FHasStatus = false;
    FNoBody = NoBody;
    FProxyMode = ProxyMode;
    FInInterim = false;
    FInterim = 0;
    FLine.clear();
    FSkipLF = FSkipCR = false;
    FHeaderBytes = 0;
    FRawHeaders.clear();
    FRemaining = 0;
    FInChunk = false;
    FFraming = 0;
}

void THTTPAnswer::Fail(int Code) {
    FPhase = apFailed;
    FError = Code;
}

bool THTTPAnswer::TakeLine(const char* Data, std::size_t Size, std::size_t& Pos, std::string& Line) {
    while (Pos < Size) {
        const char c = Data[Pos++];
        const bool skipLF = FSkipLF, skipCR = FSkipCR;
        FSkipLF = FSkipCR = false;
        if ((skipLF && c == '\n') || (skipCR && c == '\r'))
            continue; // second half of a CR LF or LF CR line end
        std::size_t& budget = FPhase == apBody ? FFraming : FHeaderBytes;
        const std::size_t limit = FPhase == apBody ? MaxLineLength : MaxHeaderBytes;
        if (++budget > limit) {
            Fail(kErrTooLong);
            return false;
        }
        if (c == '\r' || c == '\n') {
            (c == '\r' ? FSkipLF : FSkipCR) = true;
            Line.swap(FLine);
            FLine.clear();
            return true;
        }
        if (FLine.size() >= MaxLineLength) {
            Fail(kErrTooLong);
            return false;
        }
        FLine += c;
    }
    return false;
}

void THTTPAnswer::OnStatusPhaseLine(const std::string& Line) {
    if (FInInterim) {
        // The headers of an interim answer end with its empty line.
        FInInterim = !Line.empty();
        return;
    }
    if (Line.empty())
        return;
    if (!StartsText("HTTP/", Line)) {
        // No status line: the answer is a bare document, its first line included, read to the close.
        ResultCode = 0;
        if (!AppendBody(Line.data(), Line.size()) || !AppendBody("\r\n", 2))
            return;
        if (FNoBody) {
            FPhase = apDone;
            return;
        }
        FPhase = apBody;
        return;
    }
    int code = 0;
    std::string reason;
    ParseStatusLine(Line, code, reason);
    if (code >= 100 && code < 200 && code != 101) {
        ++FInterim;
        FInInterim = true;
        return;
    }
    Headers.push_back(Line);
    ResultCode = code;
    ResultString = reason;
    FHasStatus = true;
    FPhase = apHeaders;
}

void THTTPAnswer::OnHeaderLine(const std::string& Line) {
    FRawHeaders.push_back(Line);
    if (Line.empty())
        FinishHeaders();
}

void THTTPAnswer::FinishHeaders() {
    const std::string connection = FProxyMode ? "PROXY-CONNECTION:" : "CONNECTION:";
    for (std::size_t i = 0; i < FRawHeaders.size();) {
        const std::string line = UnfoldHeaderLine(FRawHeaders, i);
        Headers.push_back(line);
        const std::string upper = UpperCase(line);
        if (upper.rfind("CONTENT-LENGTH:", 0) == 0) {
            ExpectedSize = DecimalOrMinusOne(HeaderValue(line));
            if (ExpectedSize != -1 && TransferEncoding == TE_UNKNOWN)
                TransferEncoding = TE_IDENT;
        } else if (upper.rfind("CONTENT-TYPE:", 0) == 0) {
            MimeType = HeaderValue(line);
        } else if (upper.rfind("TRANSFER-ENCODING:", 0) == 0) {
            if (upper.find("CHUNKED") != std::string::npos)
                TransferEncoding = TE_CHUNKED;
        } else if (upper.rfind(connection, 0) == 0) {
            if (upper.find("CLOSE") != std::string::npos)
                CloseAfter = true;
        }
    }
    FRawHeaders.clear();
    BeginBody();
}

void THTTPAnswer::BeginBody() {
    if (FNoBody || ResultCode == 204 || ResultCode == 304) {
        FPhase = apDone;
        return;
    }
    FPhase = apBody;
    if (TransferEncoding != TE_IDENT)
        return;
    if (ExpectedSize < 1) {
        FPhase = apDone;
        return;
    }
    if (MaxBodySize > 0 && static_cast<uint64_t>(ExpectedSize) > MaxBodySize) {
        Fail(kErrTooLong);
        return;
    }
    DownloadSize = ExpectedSize;
    FRemaining = ExpectedSize;
}

bool THTTPAnswer::AppendBody(const char* Data, std::size_t Size) {
    if (MaxBodySize > 0 && Document.Size() + Size > MaxBodySize) {
        Document.Write(Data, MaxBodySize - Document.Size());
        Fail(kErrTooLong);
        return false;
    }
    Document.Write(Data, Size);
    return true;
}

std::size_t THTTPAnswer::FeedBody(const char* Data, std::size_t Size) {
    std::size_t pos = 0;
    while (pos < Size && FPhase == apBody) {
        const bool rawData = TransferEncoding != TE_CHUNKED || FInChunk;
        if (rawData && (FSkipLF || FSkipCR)) {
            if ((FSkipLF && Data[pos] == '\n') || (FSkipCR && Data[pos] == '\r'))
                ++pos;
            FSkipLF = FSkipCR = false;
            continue;
        }
        if (TransferEncoding == TE_UNKNOWN) {
            if (AppendBody(Data + pos, Size - pos))
                pos = Size;
            return pos;
        }
        if (rawData) {
            const std::size_t n = static_cast<std::size_t>(std::min<int64_t>(FRemaining, Size - pos));
            if (!AppendBody(Data + pos, n))
                return pos;
            pos += n;
            FRemaining -= static_cast<int64_t>(n);
            if (FRemaining == 0) {
                FInChunk = false;
                FFraming = 0;
                if (TransferEncoding == TE_IDENT)
                    FPhase = apDone;
            }
            continue;
        }
        std::string line;
        if (!TakeLine(Data, Size, pos, line))
            return pos;
        if (line.empty())
            continue;
        const int64_t size = HexOrMinusOne(TrimSpace(SeparateLeft(SeparateLeft(line, " "), ";")));
        if (size < 0) {
            Fail(kErrMalformed);
            return pos;
        }
        if (size == 0) {
            // Trailer lines are not waited for; those already received are used up, so that a kept
            // connection starts clean.
            const std::size_t afterSize = pos;
            const bool skipLF = FSkipLF, skipCR = FSkipCR;
            std::string trailer;
            bool ended = false;
            while (!ended && TakeLine(Data, Size, pos, trailer))
                ended = trailer.empty();
            if (!ended) {
                pos = afterSize;
                FSkipLF = skipLF;
                FSkipCR = skipCR;
                FLine.clear();
                FError = 0; // an over-long trailer line is left unread like any other
            }
            FPhase = apDone;
            return pos;
        }
        if (MaxBodySize > 0 && static_cast<uint64_t>(size) > MaxBodySize - Document.Size()) {
            Fail(kErrTooLong);
            return pos;
        }
        DownloadSize = size;
        FRemaining = size;
        FInChunk = true;
    }
    return pos;
}

std::size_t THTTPAnswer::Feed(const char* Data, std::size_t Size) {
    std::size_t pos = 0;
    while (pos < Size && !Finished()) {
        if (FPhase == apBody) {
            pos += FeedBody(Data + pos, Size - pos);
            continue;
        }
        std::string line;
        if (!TakeLine(Data, Size, pos, line))
            break;
        if (FPhase == apStatus)
            OnStatusPhaseLine(line);
        else
            OnHeaderLine(line);
    }
    // The second half of the last line end belongs to this answer, not to the next one.
    if (FPhase == apDone && pos < Size &&
        ((FSkipLF && Data[pos] == '\n') || (FSkipCR && Data[pos] == '\r'))) {
        ++pos;
        FSkipLF = FSkipCR = false;
    }
    return pos;
}

void THTTPAnswer::FeedClose() {
    if (Finished())
        return;
    if (FPhase == apBody && TransferEncoding == TE_UNKNOWN) {
        FPhase = apDone;
        return;
    }
    Fail(kErrClosed);
}

void THTTPAnswer::FeedError(int SocketError) {
    if (!Finished())
        Fail(SocketError == 0 ? kErrTimedOut : SocketError);
}

void ParseStatusLine(const std::string& Line, int& ResultCode, std::string& ResultString) {
    const std::string rest = TrimSpace(SeparateRight(Line, " "));
    const int64_t code = DecimalOrMinusOne(SeparateLeft(rest, " "));
    ResultCode = code < 0 || code > 999999 ? 0 : static_cast<int>(code);
    ResultString = rest.find(' ') == std::string::npos ? std::string() : TrimSpace(SeparateRight(rest, " "));
}

void ParseCookies(const std::vector<std::string>& Headers, std::vector<std::string>& Cookies) {
    for (const auto& line : Headers) {
        if (!StartsText("set-cookie:", line))
            continue;
        const std::string pair = TrimSpace(SeparateLeft(SeparateRight(line, ":"), ";"));
        const std::string name = TrimSpace(SeparateLeft(pair, "="));
        if (name.empty())
            continue;
        const std::string value =
            pair.find('=') == std::string::npos ? "" : TrimSpace(SeparateRight(pair, "="));
        const auto same = std::find_if(Cookies.begin(), Cookies.end(),
                                       [&](const std::string& c) { return SeparateLeft(c, "=") == name; });
        if (same != Cookies.end())
            *same = name + "=" + value;
        else
            Cookies.push_back(name + "=" + value);
    }
}

// ---- request block -------------------------------------------------------------------------------

std::vector<std::string> BuildRequestHeaders(const std::string& Method, const TParsedURL& URL,
                                             const THTTPRequestOptions& Options,
                                             const std::vector<std::string>& Extra, bool ProxyMode) {
    std::string target = URL.Target.empty() ? "/" : URL.Target;
    if (ProxyMode)
        target = URL.Protocol + "://" + HostForHeader(URL.Host) + ":" + URL.Port + target;
    if (target == "/*")
        target = "*";

    std::vector<std::string> lines;
    std::string requestLine = UpperCase(Method) + " " + target;
    if (Options.Protocol != "0.9")
        requestLine += " HTTP/" + Options.Protocol;
    lines.push_back(requestLine);

    std::string host = "Host: " + HostForHeader(URL.Host);
    if (Options.AddPortNumberToHost && URL.Port != "80")
        host += ":" + URL.Port;
    lines.push_back(host);

    if (ProxyMode && !Options.ProxyUser.empty())
        lines.push_back("Proxy-Authorization: Basic " +
                        EncodeBase64(Options.ProxyUser + ":" + Options.ProxyPass));
    const bool urlUser = !URL.User.empty();
    const std::string user = urlUser ? URL.User : Options.UserName;
    const std::string pass = urlUser ? URL.Password : Options.Password;
    if (!user.empty())
        lines.push_back("Authorization: Basic " + EncodeBase64(user + ":" + pass));

    const std::string prefix = ProxyMode ? "Proxy-" : "";
    if (Options.KeepAlive) {
        lines.push_back("Keep-Alive: " + std::to_string(Options.KeepAliveTimeout));
        lines.push_back(prefix + "Connection: keep-alive");
    } else {
        lines.push_back(prefix + "Connection: close");
    }
    if (!Options.Cookies.empty()) {
        std::string cookie = "Cookie: ";
        for (std::size_t i = 0; i < Options.Cookies.size(); ++i)
            cookie += (i > 0 ? "; " : "") + Options.Cookies[i];
        lines.push_back(cookie);
    }
    if (Options.RangeStart > 0 || Options.RangeEnd > 0) {
        std::string range = "Range: bytes=" + std::to_string(Options.RangeStart) + "-";
        if (Options.RangeEnd >= Options.RangeStart)
            range += std::to_string(Options.RangeEnd);
        lines.push_back(range);
    }
    if (!Options.UserAgent.empty())
        lines.push_back("User-Agent: " + Options.UserAgent);
    if (Options.DocumentSize > 0) {
        if (!Options.MimeType.empty())
            lines.push_back("Content-Type: " + Options.MimeType);
        lines.push_back("Content-Length: " + std::to_string(Options.DocumentSize));
        if (Options.Status100 && Options.Protocol == "1.1")
            lines.push_back("Expect: 100-continue");
    }
    lines.insert(lines.end(), Extra.begin(), Extra.end());
    if (!lines.back().empty())
        lines.emplace_back();
    return lines;
}

std::string JoinRequestBlock(const std::vector<std::string>& Lines, const std::string& Protocol) {
    if (Lines.empty())
        return {};
    if (Protocol == "0.9")
        return Lines.front() + "\r\n";
    std::string block;
    for (const auto& line : Lines)
        block += line + "\r\n";
    return block;
}

// ---- the client ----------------------------------------------------------------------------------

THTTPSend::THTTPSend() {
    Timeout = 90000;
    TargetPort = "80";
    Sock.Owner = this;
    Sock.ConvertLineEnd = true;
    Sock.SetSizeRecvBuffer(65536);
    Sock.SetSizeSendBuffer(65536);
}

THTTPSend::~THTTPSend() = default;

void THTTPSend::ResetAnswer() {
    RangeStart = RangeEnd = 0;
    Document.Clear();
    Headers.clear();
    MimeType = "text/html";
}

int THTTPSend::Budget() const {
    if (TotalTimeout <= 0)
        return Timeout;
    const int64_t left = static_cast<int64_t>(TotalTimeout) - TickDelta(FStartTick, GetTick());
    return static_cast<int>(std::clamp<int64_t>(left, 0, Timeout));
}

void THTTPSend::CloseConnection() {
    Sock.CloseSocket();
    AliveHost.clear();
    AlivePort.clear();
    FPending.clear();
}

bool THTTPSend::EnsureConnection(bool Https) {
    if (Sock.Socket() != -1 && AliveHost == TargetHost && AlivePort == TargetPort && FPending.empty() &&
        !Sock.CanReadEx(0) && Sock.LastError() == 0)
        return true;
    CloseConnection();
    const int budget = Budget();
    if (budget <= 0)
        return false;
    Sock.ConnectionTimeout = budget;
    Sock.Bind(IPInterface, "0");
    if (Sock.LastError() != 0) {
        CloseConnection();
        return false;
    }
    Sock.Connect(TargetHost, TargetPort);
    if (Sock.LastError() != 0) {
        CloseConnection();
        return false;
    }
    if (Https) {
        const std::string ownName = Sock.SSL().SNIHost;
        if (ownName.empty())
            Sock.SSL().SNIHost = TargetHost;
        Sock.SSLDoConnect();
        Sock.SSL().SNIHost = ownName;
        if (Sock.LastError() != 0) {
            CloseConnection();
            return false;
        }
    }
    AliveHost = TargetHost;
    AlivePort = TargetPort;
    return true;
}

bool THTTPSend::ReceiveInto(THTTPAnswer& Answer, bool UntilStatus) {
    auto waiting = [&] {
        return !Answer.Finished() &&
               !(UntilStatus && (Answer.HasStatusLine() || Answer.InterimAnswers() > 0));
    };
    while (waiting()) {
        if (!FPending.empty()) {
            const std::string data = std::move(FPending);
            FPending.clear();
            const std::size_t used = Answer.Feed(data);
            FPending = data.substr(used);
            continue;
        }
        const int budget = Budget();
        if (budget <= 0) {
            Answer.FeedError(kErrTimedOut);
            break;
        }
        const std::string packet = Sock.RecvPacket(budget);
        const int error = Sock.LastError();
        if (packet.empty() && error == kErrClosed) {
            Answer.FeedClose();
            if (Answer.Succeeded())
                Sock.ResetLastError(); // an orderly close ends a body read to the close
            break;
        }
        if (packet.empty() || error != 0) {
            Answer.FeedError(error == 0 ? kErrTimedOut : error);
            break;
        }
        const std::size_t used = Answer.Feed(packet);
        if (used < packet.size())
            FPending = packet.substr(used);
    }
    return !Answer.Finished() || Answer.Succeeded();
}

bool THTTPSend::SendRequest(const std::string& Block, THTTPAnswer& Answer, bool Expect100) {
    const std::string& body = Document.Bytes();
    if (Expect100) {
        Sock.SendString(Block);
        if (Sock.LastError() != 0)
            return false;
        // Wait for the interim answer; a final status instead means the body is not wanted.
        ReceiveInto(Answer, true);
        if (Answer.Finished() || Answer.HasStatusLine())
            return !Answer.Finished() || Answer.Succeeded();
        Sock.SendString(body);
        UploadSize = static_cast<int64_t>(body.size());
        return Sock.LastError() == 0;
    }
    if (!body.empty() && body.size() < 65536) {
        Sock.SendString(Block + body);
        UploadSize = static_cast<int64_t>(Block.size() + body.size());
    } else {
        Sock.SendString(Block);
        if (!body.empty() && Sock.LastError() == 0) {
            Sock.SendString(body);
            UploadSize = static_cast<int64_t>(body.size());
        }
    }
    return Sock.LastError() == 0;
}

bool THTTPSend::ExecuteMethod(const std::string& Method, const std::string& URL) {
    ResultCode = 500;
    ResultString.clear();
    DownloadSize = UploadSize = 0;
    FAnswerError = 0;
    FStartTick = GetTick();
    if (HasControlBreak(URL) || HasControlBreak(Method))
        return false; // a line break would let the URL write its own header lines

    TParsedURL url = ParseURL(URL);
    url.User = DecodeURL(url.User);
    url.Password = DecodeURL(url.Password);
    const bool https = UpperCase(url.Protocol) == "HTTPS";
    bool proxyMode = false;
    if (https) {
        Sock.HTTPTunnelIP = ProxyHost;
        Sock.HTTPTunnelPort = ProxyPort;
        Sock.HTTPTunnelUser = ProxyUser;
        Sock.HTTPTunnelPass = ProxyPass;
    } else {
        Sock.HTTPTunnelIP.clear();
        Sock.HTTPTunnelPort.clear();
        Sock.HTTPTunnelUser.clear();
        Sock.HTTPTunnelPass.clear();
        proxyMode = !ProxyHost.empty();
    }

    THTTPRequestOptions options;
    options.Protocol = Protocol;
    options.KeepAlive = KeepAlive;
    options.KeepAliveTimeout = KeepAliveTimeout;
    options.Status100 = Status100;
    options.ProxyHost = ProxyHost;
    options.ProxyPort = ProxyPort;
    options.ProxyUser = ProxyUser;
    options.ProxyPass = ProxyPass;
    options.UserAgent = UserAgent;
    options.Cookies = Cookies;
    options.RangeStart = RangeStart;
    options.RangeEnd = RangeEnd;
    options.AddPortNumberToHost = AddPortNumberToHost;
    options.MimeType = MimeType;
    options.DocumentSize = Document.Size();
    options.UserName = UserName;
    options.Password = Password;
    Headers = BuildRequestHeaders(Method, url, options, Headers, proxyMode);
    const std::string block = JoinRequestBlock(Headers, Protocol);

    TargetHost = proxyMode ? ProxyHost : url.Host;
    TargetPort = proxyMode ? ProxyPort : url.Port;
    if (!EnsureConnection(https))
        return false;

    THTTPAnswer answer;
    answer.MaxBodySize = MaxBodySize;
    answer.Start(UpperCase(Method) == "HEAD", proxyMode, Protocol != "1.1");
    const bool expect100 = Document.Size() > 0 && Status100 && Protocol == "1.1";
    Document.Seek(0);
    const bool sent = SendRequest(block, answer, expect100);
    bool result = sent && ReceiveInto(answer, false) && answer.Succeeded();

    ResetAnswer();
    Headers = std::move(answer.Headers);
    Document = std::move(answer.Document);
    Document.Seek(0);
    if (sent || answer.Finished()) {
        ResultCode = answer.ResultCode;
        ResultString = answer.ResultString;
    }
    MimeType = answer.MimeType;
    TransferEncoding = answer.TransferEncoding;
    DownloadSize = answer.DownloadSize;
    FAnswerError = answer.Error();
    if (!sent)
        result = false;
    if (!result || answer.CloseAfter)
        CloseConnection();
    ParseCookies(Headers, Cookies);
    return result;
}

// ---- the program's uses ----------------------------------------------------------------------------

namespace {

// The body of a complete 2xx GET, or false.
bool FetchBody(const std::string& URL, const std::shared_ptr<TNetCancel>& Cancel, TMemoryStream& Body) {
    THTTPSend http;
    http.Cancel = Cancel;
    if (!http.ExecuteMethod("GET", URL))
        return false;
    if (http.ResultCode < 200 || http.ResultCode > 299)
        return false;
    Body = std::move(http.Document);
    return true;
}

} // namespace

bool HttpGetToStream(const std::string& URL, std::ostream& Stream, std::shared_ptr<TNetCancel> Cancel) {
    TMemoryStream body;
    if (!FetchBody(URL, Cancel, body))
        return false;
    Stream.seekp(0);
    Stream.write(body.Bytes().data(), static_cast<std::streamsize>(body.Size()));
    Stream.flush();
    return Stream.good();
}

bool HttpGetToStream(const std::string& URL, TMemoryStream& Stream, std::shared_ptr<TNetCancel> Cancel) {
    TMemoryStream body;
    if (!FetchBody(URL, Cancel, body))
        return false;
    Stream.Seek(0);
    Stream.Write(body.Bytes());
    return true;
}

bool HttpGetToFile(const std::string& URL, const std::string& FileName, std::shared_ptr<TNetCancel> Cancel) {
    TMemoryStream body;
    if (!FetchBody(URL, Cancel, body))
        return false;
    const std::string temp = FileName + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(body.Bytes().data(), static_cast<std::streamsize>(body.Size()));
        out.flush();
        if (!out.good()) {
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), FileName.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

std::string HttpProbe(const std::string& URL, int TimeoutMs, std::shared_ptr<TNetCancel> Cancel) {
    THTTPSend http;
    http.Cancel = std::move(Cancel);
    http.Timeout = TimeoutMs;
    http.TotalTimeout = TimeoutMs;
    http.MaxBodySize = HttpProbeBodyLimit;
    http.ExecuteMethod("GET", URL);
    return std::to_string(http.ResultCode) + " " + http.ResultString;
}
