// The messaging client: the two-stage sign-on and its start-up exchange, keep-alive, log-off and the
// time-out, the dispatcher of the server's frames, sending messages, and the decoders it reads incoming
// frames with (bounded parsers without I/O, so they can be tested and fuzzed alone).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QtGlobal>
#include <functional>

#include "core/SimpleTimer.h"
#include "messaging/ICQLang.h"
#include "messaging/ICQSock.h"
#include "messaging/ICQWorks.h"

class TDirectControl;

// ---------------------------------------------------------------------------------------------------
// Text conversions of incoming messages

// Big-endian UCS-2: each pair of bytes is one character; an odd last byte is dropped.
QString DecodeUCS2BE(const QByteArray& Bytes);
// UTF-8; a byte that starts no valid sequence stands for the Latin-1 character of its value.
QString DecodeMessageText(const QByteArray& Bytes);
// Groups nested deeper than this are not reduced: the text is returned as it came.
constexpr int RTFMaxDepth = 64;
// The plain text of an RTF message: applied only to a text starting with "{\rtf" whose braces
// balance (CR and LF dropped); any other text is returned unchanged. "\par" and "\line" give CR LF,
// "\tab" a TAB, "\'hh" U+00hh, "\uN" the character N (plus 65536 when negative).
QString RTFToPlainText(const QString& Text);
// The text between the first "<Name>" and the "</Name>" that directly follows it; empty when either
// is missing or another tag comes between them.
QByteArray XmlValue(const QByteArray& Xml, const QByteArray& Name);

// ---------------------------------------------------------------------------------------------------
// Sign-on

// The status class of a status value: -1, 0, 1, 5, 17, 19, 32 or 256.
int StatusClass(quint32 Status);

// A login reply (channel 4 on the login server, or SNAC(0x17,3)).
struct TLoginReply {
    QByteArray UIN;     // TLV 1
    QByteArray Address; // TLV 5: host ":" port
    QByteArray Cookie;  // TLV 6
    bool HasError = false;
    int ErrorCode = 0; // TLV 8: its second byte
};
// Reads up to 128 TLVs from the cursor, stopping at one with an empty value.
TLoginReply ParseLoginReply(TRawPacket& Pkt);

struct TLoginError {
    TErrorType Type = ERR_LOGIN;
    QString Text; // empty for code 0: the sign-on ends without a message
};
// The fixed English text of a login error code; UIN is TLV 1 of the reply.
TLoginError LoginErrorText(int Code, const QByteArray& UIN);

// The BOS address of a login reply: the text before ":" and the port after it; Port is 0 when there
// is none or it is not a port number.
void SplitServerAddress(const QByteArray& Address, QString& Host, quint16& Port);

// ---------------------------------------------------------------------------------------------------
// Incoming messages, presence and meta replies

enum class TMessageKind { None, Plain, URL, WebPager, SMSReply, AutoMessageRequest };

// One decoded SNAC(4,7) (or the offline message of a meta reply).
struct TReceivedMessage {
    TMessageKind Kind = TMessageKind::None;
    quint16 Channel = 0;
    QString UIN;
    QString Text;        // Plain: the message; WebPager: the message
    QString Description; // URL
    QString URL;         // URL
    QString Name;        // WebPager: sender name
    QString Email;       // WebPager
    QString Address;     // WebPager: after "IP:"
    QString Source;      // SMSReply
    QString Sender;      // SMSReply
    QString Time;        // SMSReply
    quint16 MessageType = 0;
    // Channel 2: the body of the SNAC(4,0x0B) acknowledgement to send (empty: none).
    QByteArray Acknowledgement;
};

// Reads SNAC(4,7) from the cursor (just after the SNAC header). Every read stays inside the packet.
TReceivedMessage DecodeICBMMessage(TRawPacket& Pkt, bool ConvertToPlaintext,
                                   const QByteArray& AutoAwayMessage);
// The text of a message body as received: UCS-2BE for charset 2, else UTF-8 (Latin-1 where invalid),
// then the RTF reduction when asked.
QString MessageBodyText(const QByteArray& Bytes, quint16 Charset, bool ConvertToPlaintext);

struct TOnlineInfo {
    QString UIN;
    quint32 Status = 0;
    double OnlineSince = 0; // date-time; 0 when not given
    quint32 IdleMinutes = 0;
    quint32 ExternalIP = 0;
    quint32 InternalIP = 0;
    quint32 Port = 0;
    quint8 ConnectionType = 0;
    quint16 ProtocolVersion = 0;
    quint32 ConnectionCookie = 0;
    QByteArray Capabilities;
    QString Mood;
    // The notice carried the peer's external address (TLV 0x0A) or its direct-connection record
    // (TLV 0x0C).
    bool HasDirectInfo = false;
};
// SNAC(3,0x0B): byte-string UIN, the warning level, then TLVs up to the end of the frame.
TOnlineInfo DecodeUserOnline(TRawPacket& Pkt);

enum class TMetaKind { None, OfflineMessage, OfflineEnd, SMSAck, SMSRefused, OtherInfo };

struct TMetaReply {
    TMetaKind Kind = TMetaKind::None;
    quint16 MetaType = 0;
    quint16 Subtype = 0;
    // OfflineMessage
    TReceivedMessage Message;
    double DateTime = 0;
    // SMSAck
    QString Source, Network, MessageId;
    bool Deliverable = false;
};
// SNAC(0x15,3) from the cursor.
TMetaReply DecodeMetaReply(TRawPacket& Pkt, bool ConvertToPlaintext);

// ---------------------------------------------------------------------------------------------------
// TMyTimer

// The client's time-out timer: the program's timer with Interval 1000 ms and Enabled at the start;
// it counts once OnTimer is set.
class TMyTimer : public TSimpleTimer {
    Q_OBJECT
public:
    explicit TMyTimer(QObject* Parent = nullptr) : TSimpleTimer(1000, true, Parent) {}
};

// ---------------------------------------------------------------------------------------------------
// TICQClient

// The status the program signs on with, and the one it passes at close.
constexpr quint32 ICQInitialStatus = 0x10006000;
constexpr quint32 ICQCloseStatus = 0xFFFFFFFF;
// Login's Flag adds this bit (the keep-alive timer's sign-on).
constexpr quint32 ICQStatusFlagBit = 0x80000;

// Runs on the GUI thread, as every event of its connection does. Events fire from inside the
// client's work; an exception of a handler is reported and never reaches the connection.
class TICQClient : public QObject, public TProxySettings {
    Q_OBJECT
public:
    explicit TICQClient(QObject* Parent = nullptr);
    ~TICQClient() override;

    // Properties.
    quint32 UIN = 0;
    QString Password;
    QString ICQServer;
    quint16 ICQPort = 5190;
    QString ICQServerViaHTTP;
    int ICQPortViaHTTP = 80;
    TProxyType ProxyType = P_NONE; // with the proxy settings (ProxyHost ... ProxyResolve)
    bool SecureLogin = false;
    bool DisableDirectConnections = false;
    bool ConvertToPlaintext = true;
    bool TypingNotifications = false;
    bool Avatars = false;
    quint8 ConnectionTimeout = 0; // seconds; 0: no time-out
    QStringList ContactList;
    QStringList VisibleList;
    QStringList InvisibleList;
    QString AutoAwayMessage;

    TICQLangType ErrorLanguage() const { return FErrorLanguage; }
    // Takes effect on the live server connection at once.
    void SetErrorLanguage(TICQLangType Language);

    // Run-time state.
    bool LoggedIn() const { return FLoggedIn; }
    bool FirstStage() const { return FFirstStage; }
    quint32 Status() const { return FStatus; }
    const QByteArray& Cookie() const { return FCookie; }
    quint16 MainSequence() const { return FSeq; }
    void SetMainSequence(quint16 Seq) { FSeq = Seq; }
    quint16 MetaSequence() const { return FMetaSeq; }
    quint32 ConnectionCookie() const { return FConnectionCookie; }
    const QString& LastError() const { return FLastError; }
    // The direct-connection manager of the last Login; null before it and with DisableDirectConnections.
    TDirectControl* DirectControl() const { return FDirect; }
    // A connection to a server is under way or open (or about to be started).
    bool Connecting() const;

    // Starts the sign-on with Status (with ICQStatusFlagBit when Flag). The connection starts from the
    // event loop, so a LogOff right after leaves no connection attempt.
    void Login(quint32 Status, bool Flag = false);
    // Ends the connection; a signed-on client goes offline (OnConnectionFailed, OnLogOff).
    void LogOff();
    // Each does nothing and gives false unless LoggedIn. Text goes out as UTF-8 (cut at a character
    // boundary to the largest message the client announces).
    bool SendMessage(quint32 UIN, const QString& Text);
    bool SendKeepAlive();
    bool RequestOfflineMessages();

    // The dispatcher: one complete frame of the main server connection.
    void HandlePacket(const TFlapHeader& Header, const quint8* Payload, int Length);

    // Events.
    std::function<void()> OnLogin;
    std::function<void()> OnLogOff;
    // Messages the server delivered: their UIN is the one the server vouches for.
    std::function<void(const QString& Msg, const QString& UIN)> OnMessageRecv;
    // Messages a peer sent over a direct connection. The UIN is only what the peer claimed in its
    // initialisation frame, so these never reach OnMessageRecv (the remote commands).
    std::function<void(const QString& Msg, const QString& ClaimedUIN)> OnDirectMessageRecv;
    std::function<void(const QString& Description, const QString& URL, const QString& UIN)> OnURLRecv;
    std::function<void(const QString& Name, const QString& Msg, const QString& Address, const QString& Email)>
        OnWPagerRecv;
    std::function<void(double DateTime, const QString& Msg, const QString& UIN)> OnOfflineMsgRecv;
    std::function<void(double DateTime, const QString& Description, const QString& URL, const QString& UIN)>
        OnOfflineURLRecv;
    std::function<void(const QString& Source, const QString& Network, const QString& MsgId, bool Deliverable)>
        OnSMSAck;
    std::function<void(const QString& Source, const QString& SmsSender, const QString& Time,
                       const QString& Text)>
        OnSMSReply;
    std::function<void()> OnSMSRefused;
    std::function<void(const QString& UIN, quint32 Status)> OnStatusChange;
    std::function<void(const TOnlineInfo& Info)> OnOnlineInfo;
    std::function<void(const QString& UIN)> OnUserOffline;
    std::function<void(const QString& UIN, quint16 ID)> OnMsgAck;
    std::function<void(const QString& UIN, quint16 ID)> OnAdvancedMsgAck;
    std::function<void(const QString& UIN, quint16 MessageType)> OnAutoMsgResponse;
    std::function<void(const QString& UIN, quint16 Kind)> OnTypingNotification;
    std::function<void(int Reason, const QString& Description)> OnServerDisconnect;
    std::function<void(quint16 Code)> OnICBMError;
    std::function<void(TErrorType Type, const QString& ErrorMsg)> OnError;
    std::function<void()> OnConnectionFailed;
    std::function<void(const QString& Host, quint16 Port, const quint8* Buffer, int BufLen, bool Incoming)>
        OnPktParse;
    std::function<void(const QString& Text)> OnSocketThreadException;

private:
    void CopySettings();
    void ScheduleConnect();
    void ConnectNow();
    void Send(const TRawPacket& Pkt) { FNet->Send(Pkt); }
    // Builds one frame with Build(packet) and sends it, only while signed on.
    template <class F> bool SendSignedOn(F&& Build);

    void HandleSignOnChannel(int Length);
    void HandleSNAC(TRawPacket& Pkt);
    void HandleChannel4(TRawPacket& Pkt);
    void HandleLoginReply(TRawPacket& Pkt);
    void HandleSecureKey(TRawPacket& Pkt);
    void StartUpRequests();
    void CompleteSignOn();
    void HandleIncomingMessage(TRawPacket& Pkt);
    void DeliverMessage(const TReceivedMessage& Message);
    void HandleMetaReply(TRawPacket& Pkt);

    // Connection-lost handling: after a socket error or failed connect (always OnConnectionFailed),
    // and after a close (OnConnectionFailed only when signed on). OnLogOff follows when signed on.
    void ConnectionFailed();
    void ConnectionClosed();
    void GoOffline();
    void ReportError(TErrorType Type, const QString& Text);
    void TimeoutFired();
    // Frees the manager (its callbacks unhooked, its peers closed) and, unless DisableDirectConnections,
    // makes a new one.
    void RenewDirectControl();
    void ReleaseDirectControl();
    void HandleDirectInfo(const TOnlineInfo& Info);

    template <class F, class... A> void Fire(const char* Where, const F& Event, A&&... Args);

    TICQNet* FNet = nullptr;
    TMyTimer* FTimeoutTimer = nullptr;
    TDirectControl* FDirect = nullptr;
    QTimer* FConnectTimer = nullptr;
    TICQLangType FErrorLanguage = LANG_EN;
    bool FLoggedIn = false;
    bool FFirstStage = false;
    bool FRegistering = false;
    quint32 FStatus = 0;
    QByteArray FCookie;
    quint16 FSeq = 0;
    quint16 FAvatarSeq1 = 0;
    quint16 FAvatarSeq2 = 0;
    quint16 FMetaSeq = 2;
    quint32 FConnectionCookie = 0;
    QString FLastError;
    QString FHost; // where the main connection goes: the login server, then the BOS server
    quint16 FPort = 0;
};
