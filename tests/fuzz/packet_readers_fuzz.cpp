// Fuzzes every packet reader over arbitrary payloads: the input's first half is a script of reads
// (which reader, its count, a cursor move), the second half the payload. No read may pass the buffer
// or yield more than the payload holds. The text conversions take the payload as text as well.
#include "messaging/ICQWorks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Check(const TRawPacket& Pkt, const QByteArray& Text) {
    if (Pkt.Len > MaxPacketSize || Text.size() > Pkt.End)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 2)
        return 0;
    const std::size_t scriptSize = std::min<std::size_t>(Data[0], Size - 1);
    const uint8_t* script = Data + 1;
    const char* payload = reinterpret_cast<const char*>(Data + 1 + scriptSize);
    const int payloadSize = static_cast<int>(Size - 1 - scriptSize);

    auto pkt = std::make_unique<TRawPacket>();
    // Stale bytes from an earlier frame must never be read.
    std::memset(pkt->Data, 0xEE, sizeof pkt->Data);
    PktLoad(*pkt, payload, payloadSize);
    for (std::size_t i = 0; i + 1 < scriptSize; i += 2) {
        const int op = script[i] % 12;
        const int n = script[i + 1];
        quint16 type = 0;
        QByteArray text;
        switch (op) {
        case 0:
            PktGetBE(*pkt, n % 24);
            break;
        case 1:
            PktGetLE(*pkt, n % 24);
            break;
        case 2:
            text = PktGetRaw(*pkt, n * 40);
            break;
        case 3:
            text = PktGetByteString(*pkt);
            break;
        case 4:
            text = PktGetWordString(*pkt);
            break;
        case 5:
            text = PktGetLEDwordString(*pkt);
            break;
        case 6:
            text = PktGetLEStringZ(*pkt);
            break;
        case 7:
            text = PktGetTLVText(*pkt, type);
            break;
        case 8:
            PktGetTLVInt(*pkt, type);
            break;
        case 9:
            PktGetSNAC(*pkt);
            break;
        case 10:
            // Reads near the limit.
            pkt->Len = static_cast<quint16>(std::min(8000 + n, MaxPacketSize));
            break;
        default:
            pkt->Len = static_cast<quint16>(n * 32);
            break;
        }
        Check(*pkt, text);
        if (text.size() > 0 && pkt->End < MaxPacketSize && text.contains('\xEE') &&
            !QByteArray(payload, payloadSize).contains('\xEE'))
            std::abort();
    }
    const QByteArray bytes(payload, payloadSize);
    QList<QByteArray> pairs;
    ParseFEPairs(bytes, pairs);
    HexTextToInt(QString::fromLatin1(bytes));
    RoastPassword(bytes);
    return 0;
}
