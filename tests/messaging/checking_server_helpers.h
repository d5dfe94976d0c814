// A messaging server of our own for the client's tests and benchmark (no server of this protocol is
// packaged): a login server and a session server on 127.0.0.1 (QTcpServer, on the thread of the
// client's event loop) that play the sign-on, check every byte the client sends and the frame
// sequence numbers, and then carry the traffic a test drives. Faults are collected as texts.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace zt::msgtest {

// Hand-built wire pieces (independent of the client's builders).
QByteArray BE16(quint16 Value);
QByteArray BE32(quint32 Value);
QByteArray LE16(quint16 Value);
QByteArray LE32(quint32 Value);
QByteArray TLV(quint16 Type, const QByteArray& Value);
QByteArray ByteString(const QByteArray& Text);
QByteArray LEStringZ(const QByteArray& Text);
QByteArray Snac(quint16 Family, quint16 Subtype, quint32 RequestId, const QByteArray& Body);
QByteArray Flap(quint8 Channel, quint16 Seq, const QByteArray& Payload);

// The cookie the server's messages carry (8 bytes).
QByteArray MessageCookie();
// SNAC(4,7) payloads: a channel-1 message (charset word, text bytes), a channel-2 request of a message
// type with its text (WantsAck false adds the inner TLV 0x000F), a channel-4 typed message.
QByteArray Channel1Message(const QByteArray& UIN, quint16 Charset, const QByteArray& Text);
QByteArray Channel2Message(const QByteArray& UIN, quint8 Type, quint8 Flags, const QByteArray& Text,
                           bool WantsAck = true);
// The 47 bytes of a channel-2 request header for a message type and flags.
QByteArray RendezvousHeader(quint8 Type, quint8 Flags);
QByteArray Channel4Message(const QByteArray& UIN, quint16 Type, const QByteArray& Text);
// SNAC(0x15,3) payloads: an offline message, the end of offline messages, an SMS acknowledgement.
QByteArray OfflineMessage(quint32 Owner, quint32 Sender, int Year, int Month, int Day, int Hour, int Minute,
                          quint16 Type, const QByteArray& Text);
QByteArray OfflineEnd(quint32 Owner);
QByteArray SMSAck(quint32 Owner, const QByteArray& Xml);
// The SNAC(4,6) the client sends for Text to UIN with the cookie's low word CookieLo.
QByteArray ExpectedMessage(quint32 UIN, const QByteArray& Text, quint32 CookieLo);
// A client message's low cookie word (bytes 14-17 of the payload).
quint32 MessageCookieLo(const QByteArray& Payload);
// The text of a client message (the bytes after its charset words).
QByteArray MessageText(const QByteArray& Payload);

// One frame the client sent.
struct TClientFrame {
    quint8 Channel = 0;
    quint16 Seq = 0;
    QByteArray Payload;
    bool Bos = false; // sent to the session server
};

class TCheckingServer : public QObject {
    Q_OBJECT
public:
    struct TOptions {
        quint32 UIN = 123456789;
        QByteArray Password = "s3cret";
        QByteArray Cookie;       // empty: 256 bytes of a fixed pattern
        int LoginErrorCode = -1; // 0 or more: the reply carries TLV 8 with this code
        bool RedirectPortZero = false;
        bool StallBeforePrivacy = false; // SNAC(9,3) never comes
        quint32 Status = 0x10006000;     // expected in SNAC(1,0x1E)
        bool Typing = false;
        QStringList Contacts;           // expected in SNAC(3,4); none: no such frame
        QStringList Invisible;          // expected in SNAC(9,7)
        bool DirectConnections = false; // the client under test makes its direct-connection manager
    };

    explicit TCheckingServer(TOptions Options);
    TCheckingServer() : TCheckingServer(TOptions()) {}
    ~TCheckingServer() override;

    quint16 LoginPort() const;
    quint16 BosPort() const;
    const TOptions& Options() const { return FOptions; }

    // Every deviation from the expected bytes, order or sequence numbers.
    const QStringList& Faults() const { return FFaults; }
    QString FaultText() const { return FFaults.join(QLatin1Char('\n')); }
    const std::vector<TClientFrame>& Frames() const { return FFrames; }

    int LoginConnections() const { return FLoginConnections; }
    int BosConnections() const { return FBosConnections; }
    // The login connection's sign-off frame came and the client closed it.
    bool LoginSignOffSeen() const { return FLoginSignOff; }
    int LoginCloses() const { return FLoginCloses; }
    int BosCloses() const { return FBosCloses; }
    // The start-up requests (after SNAC(1,7)) all came.
    bool StartUpRequestsSeen() const { return FStartUpSeen; }
    // The sign-on's last frame (SNAC(0x13,7)) came; counts sign-ons.
    int SignOns() const { return FSignOns; }

    // Frames after the sign-on, by kind: SNAC(4,6) messages, SNAC(4,0x0B) acknowledgements, SNAC(0x15,2)
    // meta requests (payload after the SNAC header), keep-alives; anything else is a fault.
    const std::vector<QByteArray>& Messages() const { return FMessages; }
    const std::vector<QByteArray>& Acks() const { return FAcks; }
    const std::vector<QByteArray>& MetaRequests() const { return FMetaRequests; }
    int KeepAlives() const { return FKeepAlives; }

    // Traffic to the last session connection.
    void SendSnac(quint16 Family, quint16 Subtype, const QByteArray& Body);
    void SendFrame(quint8 Channel, const QByteArray& Payload);
    void SendRaw(const QByteArray& Bytes);
    void CloseBos();

private:
    struct TExpected {
        quint8 Channel;
        QByteArray Payload;
        QString Name;
    };
    struct TPeer {
        QPointer<QTcpSocket> Socket;
        bool Bos = false;
        QByteArray Buffer;
        quint16 ServerSeq = 0x1000;
        std::deque<TExpected> Expected;
        int Step = 0;
    };

    void Accept(QTcpServer* Server, bool Bos);
    void Receive(TPeer& Peer);
    void Frame(TPeer& Peer, const TClientFrame& Frame);
    void Closed(TPeer& Peer);
    void NextStep(TPeer& Peer);
    void SendTo(TPeer& Peer, quint8 Channel, const QByteArray& Payload);
    void AfterSignOn(const TClientFrame& Frame);
    void CheckLoginFrame(const TClientFrame& Frame);
    QByteArray LoginReply() const;
    void Fault(const QString& Text);

    TOptions FOptions;
    QTcpServer* FLogin = nullptr;
    QTcpServer* FBos = nullptr;
    std::vector<std::unique_ptr<TPeer>> FPeers;
    QStringList FFaults;
    std::vector<TClientFrame> FFrames;
    bool FHaveSeq = false;
    quint16 FLastSeq = 0;
    int FLoginConnections = 0;
    int FBosConnections = 0;
    bool FLoginSignOff = false;
    int FLoginCloses = 0;
    int FBosCloses = 0;
    bool FStartUpSeen = false;
    int FSignOns = 0;
    std::vector<QByteArray> FMessages;
    std::vector<QByteArray> FAcks;
    std::vector<QByteArray> FMetaRequests;
    int FKeepAlives = 0;
};

} // namespace zt::msgtest
