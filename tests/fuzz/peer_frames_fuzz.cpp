// Fuzzes a peer connection's reception and parser with what a peer sends. The first byte: bit 0 turns
// the RTF reduction off, bit 1 scrambles every whole normal packet of the stream first (so the parser
// behind the check is reached), the other six bits set the chunk size the bytes are fed in. The
// manager neither listens nor looks anything up; the connection has no socket, nothing leaves.
#include "messaging/ICQDirect2.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "peer_frames_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 1)
        return 0;
    EnsureApplication();
    TDCSettings settings;
    settings.UIN = 123456789;
    settings.Listen = false;
    TDirectControl manager(settings);
    manager.AutoAwayMessage = QStringLiteral("away");
    manager.ConvertToPlaintext = (Data[0] & 1) == 0;
    manager.OnMessageRecv = [](const QString& Msg, const QString&) {
        if (Msg.isEmpty())
            std::abort(); // an empty text fires nothing
    };
    QByteArray stream(reinterpret_cast<const char*>(Data + 1), qsizetype(Size - 1));
    auto* bytes = reinterpret_cast<quint8*>(stream.data());
    for (qsizetype at = 0; (Data[0] & 2) && at + 2 <= stream.size();) {
        const int length = bytes[at] | bytes[at + 1] << 8;
        if (length > DCMaxFrame || at + 2 + length > stream.size())
            break;
        if (length > 0 && bytes[at + 2] == DC_NORMAL)
            DCEncrypt(bytes + at + 2, length, DCProtocolVersion);
        at += 2 + length;
    }
    // The parser alone, on the stream as it stands.
    TDCNormalPacket packet;
    ParseDCNormalPacket(bytes, int(std::min<qsizetype>(stream.size(), DCMaxFrame)), packet);

    const int handle = manager.AddConnection(nullptr);
    const qsizetype chunk = (Data[0] >> 2) + 1;
    for (qsizetype at = 0; at < stream.size(); at += chunk) {
        TicqDCnormal* connection = manager.Connection(handle);
        if (!connection)
            break; // closed by an oversized frame
        connection->Receive(stream.constData() + at, int(std::min(chunk, stream.size() - at)));
    }
    return 0;
}
