// The SOCKS handshake as a codec: every byte sent and every reply rule lives here, for the blocking
// socket layer and for the messaging client alike.
#include "net/sockshandshake.h"

#include "net/netip.h"
#include "net/netutil.h"

#include <cstring>

namespace {

uint8_t ByteAt(const std::string& Bytes, std::size_t Index) {
    return static_cast<uint8_t>(Bytes[Index]);
}

} // namespace

std::string SocksAddressField(const TSocksRequest& Request) {
    std::string out;
    if (!Request.Name.empty()) {
        out += '\x03';
        out += static_cast<char>(Request.Name.size());
        out += Request.Name;
    } else {
        out += Request.Address.size() == 4 ? '\x01' : '\x04';
        out += Request.Address;
    }
    return out + CodeInt(Request.Port);
}

std::string TSocksHandshake::Start() {
    if (FRequest.Version4) {
        FStep = ConnectReply;
        std::string out = "\x04";
        out += static_cast<char>(FRequest.Command);
        out += CodeInt(FRequest.Port);
        // SOCKS4a: 0.0.0.1 says a name follows the user id; it ends with a zero byte like the user id.
        out += FRequest.Name.empty() ? FRequest.Address : CodeLongInt(1);
        out += FRequest.UserID;
        out += '\0';
        if (!FRequest.Name.empty()) {
            out += FRequest.Name;
            out += '\0';
        }
        return out;
    }
    if (FRequest.Name.size() > 255) {
        FStep = ConnectReply;
        Fail();
        return {};
    }
    if (FRequest.Auth && (FRequest.UserID.size() > 255 || FRequest.Password.size() > 255)) {
        FStep = AuthReply;
        Fail();
        return {};
    }
    if (!FRequest.Auth)
        return std::string("\x05\x01\x00", 3);
    return FRequest.OfferNoAuth ? std::string("\x05\x02\x02\x00", 4) : std::string("\x05\x01\x02", 3);
}

std::string TSocksHandshake::Feed(const char* Data, std::size_t Length) {
    if (FState != TState::Running || !Data || Length == 0)
        return {};
    FReply.append(Data, Length);
    // One read may hold several replies (a method choice and the connect reply).
    std::string out;
    for (;;) {
        const std::size_t before = FReply.size();
        const TStep step = FStep;
        out += Parse();
        if (FState != TState::Running || (FReply.size() == before && FStep == step))
            return out;
    }
}

std::size_t TSocksHandshake::Wanted() const {
    if (FState != TState::Running)
        return 0;
    std::size_t need = 2;
    if (FRequest.Version4)
        need = 8;
    else if (FStep == ConnectReply)
        need = ConnectReplySize();
    return need > FReply.size() ? need - FReply.size() : 0;
}

std::string TSocksHandshake::TakeRest() {
    std::string rest;
    rest.swap(FRest);
    return rest;
}

std::string TSocksHandshake::ConnectRequest() const {
    std::string out = "\x05";
    out += static_cast<char>(FRequest.Command);
    out += '\0';
    return out + SocksAddressField(FRequest);
}

void TSocksHandshake::Finish(std::size_t Consumed) {
    FRest = FReply.substr(Consumed);
    FReply.clear();
    FState = TState::Done;
}

std::string TSocksHandshake::Parse() {
    if (FRequest.Version4) {
        if (FReply.size() < 8)
            return {};
        FReplyCode = ByteAt(FReply, 1);
        FBoundPort = std::to_string(DecodeInt(FReply, 2));
        FBoundHost = IPv4ToText(DecodeLongInt(FReply, 4));
        // 90 grants; a reply of version 0 with status 0 is taken as a grant too.
        if (FReplyCode == 90 || (ByteAt(FReply, 0) == 0 && FReplyCode == 0))
            Finish(8);
        else
            Fail();
        return {};
    }
    if (FStep == ConnectReply)
        return ParseConnectReply();
    if (FReply.size() < 2)
        return {};
    const uint8_t first = ByteAt(FReply, 0);
    const uint8_t second = ByteAt(FReply, 1);
    FReply.erase(0, 2);
    if (FStep == MethodReply && first == 5 && second == 2 && FRequest.Auth) {
        FStep = AuthReply;
        std::string out = "\x01";
        out += static_cast<char>(FRequest.UserID.size());
        out += FRequest.UserID;
        out += static_cast<char>(FRequest.Password.size());
        out += FRequest.Password;
        return out;
    }
    const bool granted = FStep == MethodReply ? first == 5 && second == 0 : second == 0;
    if (!granted) {
        Fail();
        return {};
    }
    FStep = ConnectReply;
    return ConnectRequest();
}

std::size_t TSocksHandshake::ConnectReplySize() const {
    // Version, status, reserved, address type; the bound address by its type; 2 bytes of port.
    if (FReply.size() < 4)
        return 4;
    switch (ByteAt(FReply, 3)) {
    case 1:
        return 4 + 4 + 2;
    case 4:
        return 4 + 16 + 2;
    case 3:
        return FReply.size() < 5 ? 5 : 4 + 1 + ByteAt(FReply, 4) + 2;
    default:
        return 0;
    }
}

std::string TSocksHandshake::ParseConnectReply() {
    if (FReply.size() < 2)
        return {};
    if (ByteAt(FReply, 0) != 5) {
        Fail();
        return {};
    }
    FReplyCode = ByteAt(FReply, 1);
    if (FReplyCode != 0) {
        Fail();
        return {};
    }
    if (FReply.size() < 4)
        return {};
    const std::size_t size = ConnectReplySize();
    if (size == 0) {
        Fail();
        return {};
    }
    if (FReply.size() < size)
        return {};
    const uint8_t type = ByteAt(FReply, 3);
    if (type == 1) {
        FBoundHost = IPv4ToText(DecodeLongInt(FReply, 4));
    } else if (type == 4) {
        TIp6Bytes bytes{};
        std::memcpy(bytes.data(), FReply.data() + 4, bytes.size());
        FBoundHost = Ip6ToStr(bytes);
    } else {
        FBoundHost = FReply.substr(5, ByteAt(FReply, 4));
    }
    FBoundPort = std::to_string(DecodeInt(FReply, size - 2));
    Finish(size);
    return {};
}
