// Fuzzes frame reassembly: the first byte picks the chunk size, the rest is the received stream, cut
// into chunks and fed both to the reassembler and to the server connection's receive path (no socket).
// Every complete frame's payload is then read as a SNAC with TLVs.
#include "messaging/ICQWorks.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

void ReadPayload(const quint8* Payload, int Length) {
    auto pkt = std::make_unique<TRawPacket>();
    PktLoad(*pkt, Payload, Length);
    PktGetSNAC(*pkt);
    for (int i = 0; i < 128 && pkt->Len < pkt->End; ++i) {
        quint16 type = 0;
        if (PktGetTLVText(*pkt, type).isEmpty() && type == 0)
            break;
    }
    if (pkt->Len > MaxPacketSize || pkt->End > MaxPacketSize)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 1)
        return 0;
    const int chunk = 1 + Data[0] % 64 * (Data[0] & 0x80 ? 257 : 1);
    const char* stream = reinterpret_cast<const char*>(Data + 1);
    const int total = static_cast<int>(Size - 1);

    auto reassembler = std::make_unique<TFlapReassembler>();
    for (int at = 0; at < total; at += chunk) {
        const char* data = stream + at;
        int length = std::min(chunk, total - at);
        for (;;) {
            const TFlapReassembler::TResult result = reassembler->Take(data, length);
            if (result == TFlapReassembler::NeedMore)
                break;
            if (result != TFlapReassembler::Frame) {
                reassembler->Reset();
                continue;
            }
            if (reassembler->FrameSize() > MaxPacketSize + FlapHeaderSize)
                std::abort();
            ReadPayload(reassembler->Payload(), reassembler->Header().Length);
        }
        if (length != 0)
            std::abort();
    }

    TICQNet net;
    int frames = 0;
    net.OnHandlePkt = [&](const TFlapHeader& Header, const quint8* Payload, int Length) {
        if (Header.Length != Length || Length > MaxPacketSize)
            std::abort();
        ReadPayload(Payload, Length);
        ++frames;
    };
    for (int at = 0; at < total; at += chunk)
        net.HandleReceived(stream + at, std::min(chunk, total - at));
    return 0;
}
