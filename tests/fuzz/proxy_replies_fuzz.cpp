// Fuzzes what proxies and the HTTP gateway answer: the first byte picks the handshake (SOCKS4,
// SOCKS5, HTTP CONNECT, with or without authentication and the resolve flag) or the gateway's reply
// (HTTP reply, frames, session), the second the chunk size; the rest is what the peer sends.
#include "messaging/ICQSock.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Handshake(uint8_t Pick, const QByteArray& Bytes, int Chunk) {
    TProxyTarget target;
    target.Host = "login.example";
    target.Port = 5190;
    target.Address = 0x7F000001;
    target.Auth = Pick & 0x10;
    target.Resolve = Pick & 0x20;
    target.UserID = "alice";
    target.Password = "s3cret";
    const TProxyType kinds[] = {P_SOCKS4, P_SOCKS5, P_HTTPS};
    auto handshake = MakeProxyHandshake(kinds[Pick % 3], target);
    handshake->Start();
    for (qsizetype at = 0; at < Bytes.size() && handshake->State() == THandshakeState::Running; at += Chunk)
        handshake->Feed(Bytes.constData() + at,
                        static_cast<int>(std::min<qsizetype>(Chunk, Bytes.size() - at)));
    if (handshake->State() == THandshakeState::Running)
        handshake->Closed();
    if (handshake->State() == THandshakeState::Done && handshake->TakeRest().size() > Bytes.size())
        std::abort();
    if (handshake->State() == THandshakeState::Failed && handshake->ErrorText(LANG_EN).isEmpty())
        std::abort();
}

void Gateway(const QByteArray& Bytes, int Chunk) {
    THttpReply reply;
    for (qsizetype at = 0; at < Bytes.size() && reply.State() == THttpReply::Incomplete; at += Chunk)
        reply.Feed(Bytes.constData() + at, static_cast<int>(std::min<qsizetype>(Chunk, Bytes.size() - at)));
    reply.Finish();
    reply.Code();
    reply.StatusText();
    HTTPStatusCode(Bytes);
    TGatewaySession session;
    session.Reset({});
    for (const QByteArray& body : {reply.Body(), Bytes}) {
        for (const TGatewayFrame& frame : CutGatewayFrames(body))
            if (frame.Bytes.size() < 14 || frame.Bytes.size() > 8194)
                std::abort();
        const TGatewaySession::TOutcome outcome = session.HandleBody(body);
        if (outcome.FlapData.size() > body.size())
            std::abort();
        if (outcome.Started && session.Sid().size() != 32)
            std::abort();
    }
    session.DataRequest(Bytes.left(100));
    session.MonitorRequest();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 2)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(Data + 2), static_cast<qsizetype>(Size - 2));
    const int chunk = 1 + Data[1] % 32;
    if (Data[0] & 0x40)
        Gateway(bytes, chunk * 97);
    else
        Handshake(Data[0], bytes, chunk);
    return 0;
}
