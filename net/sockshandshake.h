// The one SOCKS4/4a and SOCKS5 client handshake, without I/O: Start() gives the first bytes once the
// TCP connection to the proxy stands, Feed() takes what the proxy sent and gives what to send next.
// The blocking socket layer reads Wanted() bytes at a time; the messaging client feeds whatever came.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

// What the proxy is asked for.
struct TSocksRequest {
    bool Version4 = false;
    uint8_t Command = 1; // 1 connect, 3 UDP association (SOCKS5)
    std::string Name;    // destination the proxy resolves; empty: Address
    std::string Address; // 4 (IPv4) or 16 (IPv6, SOCKS5 only) bytes in network order
    uint16_t Port = 0;
    std::string UserID;       // SOCKS4 user id (sent as it is), SOCKS5 user name
    std::string Password;     // SOCKS5
    bool Auth = false;        // SOCKS5: offer user and password
    bool OfferNoAuth = false; // SOCKS5 with Auth: the greeting offers "no authentication" as well
};

// SOCKS5 destination field: type, address or name, BE port (also the head of a UDP datagram).
std::string SocksAddressField(const TSocksRequest& Request);

class TSocksHandshake {
public:
    enum class TState { Running, Done, Failed };
    // The exchange the handshake waits for (SOCKS4 knows only ConnectReply).
    enum TStep { MethodReply, AuthReply, ConnectReply };

    explicit TSocksHandshake(TSocksRequest Request) : FRequest(std::move(Request)) {}

    // The greeting (SOCKS5) or the request (SOCKS4); Failed and nothing to send when the name (step
    // ConnectReply) or the user or password (step AuthReply) is over 255 bytes for SOCKS5.
    std::string Start();
    std::string Feed(const char* Data, std::size_t Length);
    // Bytes still missing before the next step can be judged (0 once it is no longer running).
    std::size_t Wanted() const;

    TState State() const { return FState; }
    TStep Step() const { return FStep; }
    // The status byte of the connect reply (90 is success for SOCKS4, 0 for SOCKS5); 0 before one.
    int ReplyCode() const { return FReplyCode; }
    // The address and port the proxy named in its connect reply, as text.
    const std::string& BoundHost() const { return FBoundHost; }
    const std::string& BoundPort() const { return FBoundPort; }
    // Done: the bytes that came after the reply (the server's first bytes).
    std::string TakeRest();

private:
    std::string Parse();
    std::string ParseConnectReply();
    std::size_t ConnectReplySize() const;
    std::string ConnectRequest() const;
    void Finish(std::size_t Consumed);
    void Fail() { FState = TState::Failed; }

    TSocksRequest FRequest;
    std::string FReply;
    std::string FRest;
    TState FState = TState::Running;
    TStep FStep = MethodReply;
    int FReplyCode = 0;
    std::string FBoundHost;
    std::string FBoundPort;
};
