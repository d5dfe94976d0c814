// Fuzzes the decoders of message bodies: the first byte picks the decoder (a SNAC(4,7) message of any
// channel, a meta reply, a user-online record, a login reply) and whether the RTF reduction runs; the
// rest is the body after the SNAC header. Texts may never hold more characters than bytes arrived.
#include "messaging/ICQClient.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

void Check(const TRawPacket& Pkt, qsizetype Length, int Size) {
    if (Pkt.Len > MaxPacketSize || Length > Size)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 1)
        return 0;
    const bool convert = (Data[0] & 0x80) == 0;
    const int size = static_cast<int>(std::min<size_t>(Size - 1, MaxPacketSize));
    auto pkt = std::make_unique<TRawPacket>();
    PktLoad(*pkt, Data + 1, size);
    switch (Data[0] % 4) {
    case 0: {
        const TReceivedMessage m = DecodeICBMMessage(*pkt, convert, "away");
        Check(*pkt, m.Text.size() + m.Description.size() + m.URL.size(), size);
        if (m.Acknowledgement.size() > MaxPacketSize)
            std::abort();
        break;
    }
    case 1: {
        const TMetaReply reply = DecodeMetaReply(*pkt, convert);
        Check(*pkt, reply.Message.Text.size() + reply.Source.size() + reply.Network.size(), size);
        break;
    }
    case 2: {
        const TOnlineInfo info = DecodeUserOnline(*pkt);
        Check(*pkt, info.Capabilities.size() + info.Mood.size(), size);
        break;
    }
    default: {
        const TLoginReply reply = ParseLoginReply(*pkt);
        Check(*pkt, reply.UIN.size() + reply.Address.size() + reply.Cookie.size(), size);
        LoginErrorText(reply.ErrorCode, reply.UIN);
        break;
    }
    }
    return 0;
}
