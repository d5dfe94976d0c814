// Fuzz target of the ICMP answer matching: arbitrary packets in each form a socket hands out (raw
// IPv4 with its IP header, raw IPv6, datagram IPv4/IPv6, and a datagram socket's error-queue entry),
// and of the identifier by which the shared raw socket hands raw packets out.
// Input: byte 0 picks the form, bytes 1-8 are the request header, the rest is the received packet
// (for the error queue: type, code, then the payload).
#include "net/pingsend.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
    if (Size < 9)
        return 0;
    const int Form = Data[0] % 6;
    TIcmpRequestSignature Request;
    std::memcpy(Request.Bytes.data(), Data + 1, 8);
    Request.IPv6 = Form == IPF_Raw6 || Form == IPF_Dgram6 || Form == 5;
    const uint8_t* Packet = Data + 9;
    const std::size_t Length = Size - 9;
    TIcmpReplyMatch Match;
    if (Form < 4) {
        Match = MatchIcmpReply(static_cast<TIcmpPacketForm>(Form), Packet, Length, Request);
    } else if (Length >= 2) {
        Match = MatchIcmpQueuedError(Packet[0], Packet[1], Packet + 2, Length - 2, Request);
    }
    if (Match.Matched) {
        // A match always names a type the request could be answered with.
        if (Match.Type == (Request.IPv6 ? 128 : 8))
            std::abort();
        const TICMPError Error = TPINGSend::TranslateReply(Request.IPv6, Match.Type, Match.Code);
        if (ICMPErrorText(Error).empty() != (Error == IE_NoError))
            std::abort();
    }
    if (Form == IPF_Raw4 || Form == IPF_Raw6) {
        // The shared raw socket hands a packet out by this identifier: an echo reply that matches
        // must be handed to the request it matches.
        const int Id = IcmpAnsweredIdentifier(Form == IPF_Raw6, Packet, Length);
        if (Id < -1 || Id > 0xFFFF)
            std::abort();
        if (Match.Matched && Match.Type == (Request.IPv6 ? 129 : 0) &&
            Id != (Request.Bytes[4] | (Request.Bytes[5] << 8)))
            std::abort();
    }
    return 0;
}
