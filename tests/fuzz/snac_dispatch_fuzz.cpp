// Fuzzes the client's dispatcher with any sequence of frames, signed on or not: the first byte picks
// the state (bit 0 signs on first, bit 1 turns the RTF reduction off), then each frame is a channel
// byte, a big-endian length and that many payload bytes. The client has no connection and the event
// loop never runs, so no frame ever leaves the process and no connection is started.
#include "messaging/ICQClient.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "snac_dispatch_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 1)
        return 0;
    EnsureApplication();
    TICQClient client;
    client.ICQServer = QStringLiteral("127.0.0.1");
    client.ConvertToPlaintext = (Data[0] & 2) == 0;
    int messages = 0;
    client.OnMessageRecv = [&](const QString& Msg, const QString&) {
        if (Msg.isEmpty())
            std::abort(); // an empty text fires nothing
        ++messages;
    };
    if (Data[0] & 1) {
        const quint8 privacy[] = {0, 9, 0, 3, 0, 0, 0, 0, 0, 0};
        TFlapHeader header;
        header.Channel = 2;
        client.HandlePacket(header, privacy, sizeof privacy);
        if (!client.LoggedIn())
            std::abort();
    }
    for (size_t at = 1; at + 3 <= Size;) {
        TFlapHeader header;
        header.Marker = FlapMarker;
        header.Channel = Data[at];
        const size_t length =
            std::min<size_t>(static_cast<size_t>(Data[at + 1]) << 8 | Data[at + 2], Size - at - 3);
        header.Length = static_cast<quint16>(std::min<size_t>(length, MaxPacketSize));
        client.HandlePacket(header, Data + at + 3, header.Length);
        at += 3 + length;
    }
    client.LogOff();
    if (client.LoggedIn())
        std::abort();
    return 0;
}
