// SNMP message record (v1/v2c and v3 with user-based security) and the UDP client that runs one
// query. Decoding checks every nested length against its parent, so a datagram is never read past.
#include "net/snmpsend.h"

#include "net/asn1util.h"
#include "net/netcode.h"
#include "net/netcrypt.h"
#include "net/netutil.h"

#include <cerrno>
#include <cstdlib>
#include <random>

namespace {

constexpr size_t kLocalizeLength = 1048576;
constexpr size_t kDigestLength = 12;

int TextToIntDef(const std::string& Text, int Def) {
    if (Text.empty())
        return Def;
    errno = 0;
    char* End = nullptr;
    const long long V = std::strtoll(Text.c_str(), &End, 10);
    if (errno || End == Text.c_str() || V < INT32_MIN || V > INT32_MAX)
        return Def;
    return static_cast<int>(V);
}

std::string IpAddressBytes(const std::string& Text) {
    std::string Out;
    std::string Rest = Text;
    for (int I = 0; I < 4; ++I) {
        const size_t Dot = Rest.find('.');
        Out += static_cast<char>(LeadingDigitsValue(Rest.substr(0, Dot)) & 0xFF);
        Rest = Dot == std::string::npos ? std::string() : Rest.substr(Dot + 1);
    }
    return Out;
}

std::string EncodeValue(const TSNMPMib& Mib) {
    switch (Mib.ValueType) {
    case ASN1_INT:
        return EncodeBerObject(EncodeBerInteger(TextToIntDef(Mib.Value, 0)), ASN1_INT);
    case ASN1_NULL:
        return EncodeBerObject("", ASN1_NULL);
    case ASN1_OBJID:
        return EncodeBerObject(OidTextToBer(Mib.Value), ASN1_OBJID);
    case ASN1_IPADDR:
        return EncodeBerObject(IpAddressBytes(Mib.Value), ASN1_IPADDR);
    case ASN1_COUNTER:
    case ASN1_GAUGE:
    case ASN1_TIMETICKS:
    case ASN1_COUNTER64:
        return EncodeBerObject(EncodeBerUnsigned(LeadingDigitsValue(Mib.Value)), Mib.ValueType);
    default:
        return EncodeBerObject(Mib.Value, Mib.ValueType);
    }
}

std::string BigEndian32(uint32_t V) {
    std::string Out;
    for (int Shift = 24; Shift >= 0; Shift -= 8)
        Out += static_cast<char>((V >> Shift) & 0xFF);
    return Out;
}

std::string XorBytes(const std::string& A, const std::string& B) {
    std::string Out = A;
    for (size_t I = 0; I < Out.size() && I < B.size(); ++I)
        Out[I] = static_cast<char>(Out[I] ^ B[I]);
    return Out;
}

// Reads the header of an item that must lie inside [Pos, End) and advances past the header. For a
// constructed item the caller steps inside; Len receives its contents' length.
bool Enter(const std::string& Buffer, int& Pos, int End, int& Tag, int& Len) {
    if (Pos >= End)
        return false;
    if (!ReadBerHeader(Buffer, Pos, Tag, Len))
        return false;
    return Pos + Len <= End;
}

// Reads one primitive item that must lie inside [Pos, End).
bool Item(const std::string& Buffer, int& Pos, int End, std::string& Value, int& Tag) {
    int Start = Pos;
    int Len = 0;
    if (!Enter(Buffer, Start, End, Tag, Len))
        return false;
    Value = ReadBerItem(Buffer, Pos, Tag);
    Pos = Start + Len;
    return true;
}

bool IntItem(const std::string& Buffer, int& Pos, int End, int& Value) {
    std::string Text;
    int Tag = 0;
    if (!Item(Buffer, Pos, End, Text, Tag))
        return false;
    Value = TextToIntDef(Text, 0);
    return true;
}

bool TextItem(const std::string& Buffer, int& Pos, int End, std::string& Value) {
    int Tag = 0;
    return Item(Buffer, Pos, End, Value, Tag);
}

int DrawSalt() {
    static thread_local std::mt19937 Gen{std::random_device{}()};
    return static_cast<int>(Gen() % 0x7FFFFFFFu);
}

void CopySecurity(const TSNMPRec& From, TSNMPRec& To) {
    To.AuthMode = From.AuthMode;
    To.AuthPassword = From.AuthPassword;
    To.PrivMode = From.PrivMode;
    To.PrivPassword = From.PrivPassword;
    To.UserName = From.UserName;
    To.SecurityLevel = From.SecurityLevel;
}

} // namespace

// ---- TSNMPRec ----

TSNMPRec::TSNMPRec() {
    ResetRecord();
}

void TSNMPRec::ResetRecord() {
    Version = 0;
    PDUType = 0;
    ErrorStatus = 0;
    ErrorIndex = 0;
    Community = "vorpal";
    VarBinds.clear();
    SecurityLevel = NoAuthNoPriv;
    Reportable = false;
    ContextEngineID.clear();
    ContextName.clear();
    AuthEngineID.clear();
    AuthEngineBoots = 0;
    AuthEngineTime = 0;
    AuthEngineTimeStamp = 0;
    UserName.clear();
    AuthParameters.clear();
    PrivKey.clear();
    PrivParameters.clear();
    Salt = DrawSalt();
    TrapEnterprise.clear();
    TrapAgentAddress.clear();
    TrapGeneric = 0;
    TrapSpecific = 0;
    TrapTimeStamp = 0;
    FMessageID = 0;
}

void TSNMPRec::AddVarBind(const std::string& OID, const std::string& Value, int ValueType) {
    VarBinds.push_back(TSNMPMib{OID, Value, ValueType});
}

const TSNMPMib* TSNMPRec::VarBindAt(int Index) const {
    if (Index < 0 || Index >= VarBindCount())
        return nullptr;
    return &VarBinds[static_cast<size_t>(Index)];
}

std::string TSNMPRec::EncodeVarBinds() const {
    std::string List;
    for (const TSNMPMib& Mib : VarBinds)
        List +=
            EncodeBerObject(EncodeBerObject(OidTextToBer(Mib.OID), ASN1_OBJID) + EncodeValue(Mib), ASN1_SEQ);
    return EncodeBerObject(List, ASN1_SEQ);
}

std::string TSNMPRec::EncodePdu() const {
    std::string Body;
    if (PDUType == PDUTrap) {
        Body = EncodeBerObject(OidTextToBer(TrapEnterprise), ASN1_OBJID) +
               EncodeBerObject(IpAddressBytes(TrapAgentAddress), ASN1_IPADDR) +
               EncodeBerObject(EncodeBerInteger(TrapGeneric), ASN1_INT) +
               EncodeBerObject(EncodeBerInteger(TrapSpecific), ASN1_INT) +
               EncodeBerObject(EncodeBerUnsigned(static_cast<uint32_t>(TrapTimeStamp)), ASN1_TIMETICKS);
    } else {
        Body = EncodeBerObject(EncodeBerInteger(RequestID), ASN1_INT) +
               EncodeBerObject(EncodeBerInteger(ErrorStatus), ASN1_INT) +
               EncodeBerObject(EncodeBerInteger(ErrorIndex), ASN1_INT);
    }
    return EncodeBerObject(Body + EncodeVarBinds(), PDUType);
}

std::string TSNMPRec::EncodePacket() {
    const std::string Pdu = EncodePdu();
    std::string Out;
    if (Version == 3) {
        Out = EncodeV3(Pdu);
    } else {
        Out = EncodeBerObject(EncodeBerObject(EncodeBerInteger(Version), ASN1_INT) +
                                  EncodeBerObject(Community, ASN1_OCTSTR) + Pdu,
                              ASN1_SEQ);
    }
    ++RequestID;
    return Out;
}

std::string TSNMPRec::CachedKey(const std::string& Password, int Which) const {
    const size_t I = static_cast<size_t>(Which);
    if (FKeyValue[I].empty() || FKeyPassword[I] != Password || FKeyEngine[I] != AuthEngineID ||
        FKeyMode[I] != AuthMode) {
        FKeyPassword[I] = Password;
        FKeyEngine[I] = AuthEngineID;
        FKeyMode[I] = AuthMode;
        FKeyValue[I] = LocalizeKey(Password);
    }
    return FKeyValue[I];
}

std::string TSNMPRec::LocalizeKey(const std::string& Password) const {
    if (AuthMode == AuthSHA1) {
        const std::string Ku = SHA1LongHash(Password, kLocalizeLength);
        return SHA1(Ku + AuthEngineID + Ku);
    }
    const std::string Ku = MD5LongHash(Password, kLocalizeLength);
    return MD5(Ku + AuthEngineID + Ku);
}

std::string TSNMPRec::PrivacyKey() const {
    const std::string Key = CachedKey(PrivPassword, 1);
    if (PrivMode != Priv3DES)
        return Key.substr(0, 16);
    // Triple DES needs 32 bytes: the localised key is extended by localising it once more.
    return (Key + CachedKey(Key, 2)).substr(0, 32);
}

std::string TSNMPRec::AuthDigest(const std::string& Message, const std::string& Key) const {
    const std::string Mac = AuthMode == AuthSHA1 ? HMAC_SHA1(Message, Key) : HMAC_MD5(Message, Key);
    return Mac.substr(0, kDigestLength);
}

// Privacy salt as sent in the message: engine boots and the record's salt (RFC 3414 form; the AES
// form only needs the 8 bytes to be unique for the key).
std::string TSNMPRec::PrivSalt() const {
    return BigEndian32(static_cast<uint32_t>(AuthEngineBoots)) + BigEndian32(static_cast<uint32_t>(Salt));
}

std::string TSNMPRec::EncryptScopedPdu(const std::string& Value) {
    const std::string Key = PrivacyKey();
    PrivParameters = PrivSalt();
    Salt = (Salt + 1) & 0x7FFFFFFF;
    if (PrivMode == PrivAES) {
        TNetAes Aes(Key.substr(0, 16));
        Aes.SetIV(BigEndian32(static_cast<uint32_t>(AuthEngineBoots)) +
                  BigEndian32(static_cast<uint32_t>(AuthEngineTime)) + PrivParameters);
        return Aes.EncryptCFBblock(Value);
    }
    std::string Padded = Value;
    Padded.resize((Value.size() + 7) / 8 * 8, '\0');
    if (PrivMode == Priv3DES) {
        TNet3Des Des(Key.substr(0, 24));
        Des.SetIV(XorBytes(Key.substr(24, 8), PrivParameters));
        return Des.EncryptCBC(Padded);
    }
    TNetDes Des(Key.substr(0, 8));
    Des.SetIV(XorBytes(Key.substr(8, 8), PrivParameters));
    return Des.EncryptCBC(Padded);
}

std::string TSNMPRec::DecryptScopedPdu(const std::string& Value) const {
    if (PrivParameters.size() != 8)
        return "";
    const std::string Key = PrivacyKey();
    if (PrivMode == PrivAES) {
        TNetAes Aes(Key.substr(0, 16));
        Aes.SetIV(BigEndian32(static_cast<uint32_t>(AuthEngineBoots)) +
                  BigEndian32(static_cast<uint32_t>(AuthEngineTime)) + PrivParameters);
        return Aes.DecryptCFBblock(Value);
    }
    if (Value.size() % 8 != 0)
        return "";
    if (PrivMode == Priv3DES) {
        TNet3Des Des(Key.substr(0, 24));
        Des.SetIV(XorBytes(Key.substr(24, 8), PrivParameters));
        return Des.DecryptCBC(Value);
    }
    TNetDes Des(Key.substr(0, 8));
    Des.SetIV(XorBytes(Key.substr(8, 8), PrivParameters));
    return Des.DecryptCBC(Value);
}

std::string TSNMPRec::EncodeV3(const std::string& Pdu) {
    const bool Auth = SecurityLevel != NoAuthNoPriv;
    const bool Priv = SecurityLevel == AuthPriv;
    // The engine time moves on from when it was learnt.
    const int Boots = AuthEngineBoots;
    const int SavedTime = AuthEngineTime;
    if (AuthEngineTimeStamp != 0)
        AuthEngineTime += static_cast<int>(TickDelta(AuthEngineTimeStamp, GetTick()) / 1000);

    const std::string Context = ContextEngineID.empty() ? AuthEngineID : ContextEngineID;
    std::string Scoped = EncodeBerObject(
        EncodeBerObject(Context, ASN1_OCTSTR) + EncodeBerObject(ContextName, ASN1_OCTSTR) + Pdu, ASN1_SEQ);
    PrivParameters.clear();
    if (Priv)
        Scoped = EncodeBerObject(EncryptScopedPdu(Scoped), ASN1_OCTSTR);

    const int Flags = (Auth ? 1 : 0) | (Priv ? 2 : 0) | (Reportable ? 4 : 0);
    const std::string Header = EncodeBerObject(EncodeBerObject(EncodeBerInteger(RequestID), ASN1_INT) +
                                                   EncodeBerObject(EncodeBerInteger(MaxSize), ASN1_INT) +
                                                   EncodeBerObject(std::string(1, char(Flags)), ASN1_OCTSTR) +
                                                   EncodeBerObject(EncodeBerInteger(3), ASN1_INT),
                                               ASN1_SEQ);
    AuthParameters = Auth ? std::string(kDigestLength, '\0') : std::string();
    const std::string BeforeAuth =
        EncodeBerObject(AuthEngineID, ASN1_OCTSTR) + EncodeBerObject(EncodeBerInteger(Boots), ASN1_INT) +
        EncodeBerObject(EncodeBerInteger(AuthEngineTime), ASN1_INT) + EncodeBerObject(UserName, ASN1_OCTSTR);
    const std::string SecSeq = EncodeBerObject(BeforeAuth + EncodeBerObject(AuthParameters, ASN1_OCTSTR) +
                                                   EncodeBerObject(PrivParameters, ASN1_OCTSTR),
                                               ASN1_SEQ);
    const std::string SecParams = EncodeBerObject(SecSeq, ASN1_OCTSTR);
    const std::string Version3 = EncodeBerObject(EncodeBerInteger(3), ASN1_INT);
    const std::string Body = Version3 + Header + SecParams + Scoped;
    std::string Message = EncodeBerObject(Body, ASN1_SEQ);
    AuthEngineTime = SavedTime;
    if (!Auth)
        return Message;

    // Offset of the 12 digest bytes: message header, then inside the security parameters' octet string
    // and sequence headers, past the four leading fields and the digest's own tag and length.
    const size_t MsgHead = Message.size() - Body.size();
    const size_t SecHead = SecParams.size() - SecSeq.size();
    const size_t SeqHead =
        SecSeq.size() - (BeforeAuth.size() + 2 + kDigestLength + 2 + PrivParameters.size());
    const size_t At = MsgHead + Version3.size() + Header.size() + SecHead + SeqHead + BeforeAuth.size() + 2;
    AuthParameters = AuthDigest(Message, CachedKey(AuthPassword, 0));
    Message.replace(At, kDigestLength, AuthParameters);
    return Message;
}

bool TSNMPRec::DecodePdu(const std::string& Buffer, int& Pos, int End) {
    int Tag = 0, Len = 0;
    if (!Enter(Buffer, Pos, End, Tag, Len) || !(Tag & 0x20))
        return false;
    PDUType = Tag;
    const int PduEnd = Pos + Len;
    if (PDUType == PDUTrap) {
        if (!TextItem(Buffer, Pos, PduEnd, TrapEnterprise) ||
            !TextItem(Buffer, Pos, PduEnd, TrapAgentAddress) || !IntItem(Buffer, Pos, PduEnd, TrapGeneric) ||
            !IntItem(Buffer, Pos, PduEnd, TrapSpecific))
            return false;
        std::string Stamp;
        if (!TextItem(Buffer, Pos, PduEnd, Stamp))
            return false;
        TrapTimeStamp = static_cast<int>(LeadingDigitsValue(Stamp));
    } else if (!IntItem(Buffer, Pos, PduEnd, RequestID) || !IntItem(Buffer, Pos, PduEnd, ErrorStatus) ||
               !IntItem(Buffer, Pos, PduEnd, ErrorIndex)) {
        return false;
    }
    if (!Enter(Buffer, Pos, PduEnd, Tag, Len) || Tag != ASN1_SEQ)
        return false;
    const int ListEnd = Pos + Len;
    while (Pos < ListEnd) {
        if (!Enter(Buffer, Pos, ListEnd, Tag, Len) || Tag != ASN1_SEQ)
            return false;
        const int BindEnd = Pos + Len;
        std::string Name, Value;
        int NameTag = 0, ValueTag = 0;
        if (!Item(Buffer, Pos, BindEnd, Name, NameTag) || !Item(Buffer, Pos, BindEnd, Value, ValueTag))
            return false;
        if (!Name.empty())
            AddVarBind(Name, Value, ValueTag);
        Pos = BindEnd;
    }
    return true;
}

bool TSNMPRec::DecodeV3(const std::string& Buffer, int Pos, int End) {
    int Tag = 0, Len = 0;
    if (!Enter(Buffer, Pos, End, Tag, Len) || Tag != ASN1_SEQ)
        return false;
    const int HeaderEnd = Pos + Len;
    std::string FlagText;
    int SecurityModel = 0;
    if (!IntItem(Buffer, Pos, HeaderEnd, FMessageID) || !IntItem(Buffer, Pos, HeaderEnd, MaxSize) ||
        !TextItem(Buffer, Pos, HeaderEnd, FlagText) || !IntItem(Buffer, Pos, HeaderEnd, SecurityModel) ||
        FlagText.size() != 1 || SecurityModel != 3)
        return false;
    Pos = HeaderEnd;
    const int Flags = static_cast<uint8_t>(FlagText[0]);
    Reportable = (Flags & 4) != 0;
    SecurityLevel = (Flags & 2) ? AuthPriv : (Flags & 1) ? AuthNoPriv : NoAuthNoPriv;
    if ((Flags & 3) == 2)
        return false; // privacy without authentication is not a valid level

    // Security parameters: an octet string holding a sequence.
    if (!Enter(Buffer, Pos, End, Tag, Len) || Tag != ASN1_OCTSTR)
        return false;
    const int SecEnd = Pos + Len;
    if (!Enter(Buffer, Pos, SecEnd, Tag, Len) || Tag != ASN1_SEQ)
        return false;
    const int SeqEnd = Pos + Len;
    if (!TextItem(Buffer, Pos, SeqEnd, AuthEngineID) || !IntItem(Buffer, Pos, SeqEnd, AuthEngineBoots) ||
        !IntItem(Buffer, Pos, SeqEnd, AuthEngineTime) || !TextItem(Buffer, Pos, SeqEnd, UserName))
        return false;
    int DigestAt = Pos;
    if (!TextItem(Buffer, Pos, SeqEnd, AuthParameters) || !TextItem(Buffer, Pos, SeqEnd, PrivParameters))
        return false;
    AuthEngineTimeStamp = GetTick();
    Pos = SecEnd;

    if (Flags & 1) {
        if (AuthParameters.size() != kDigestLength || AuthPassword.empty())
            return false;
        ReadBerHeader(Buffer, DigestAt, Tag, Len);
        std::string Zeroed = Buffer;
        Zeroed.replace(static_cast<size_t>(DigestAt - 1), kDigestLength, std::string(kDigestLength, '\0'));
        if (AuthDigest(Zeroed, CachedKey(AuthPassword, 0)) != AuthParameters)
            return false;
    }

    std::string Plain;
    const std::string* Scoped = &Buffer;
    int ScopedEnd = End;
    if (Flags & 2) {
        std::string Cipher;
        if (!TextItem(Buffer, Pos, End, Cipher) || PrivPassword.empty())
            return false;
        Plain = DecryptScopedPdu(Cipher);
        Scoped = &Plain;
        Pos = 1;
        ScopedEnd = static_cast<int>(Plain.size()) + 1;
    }
    if (!Enter(*Scoped, Pos, ScopedEnd, Tag, Len) || Tag != ASN1_SEQ)
        return false;
    const int ScopedSeqEnd = Pos + Len;
    if (!TextItem(*Scoped, Pos, ScopedSeqEnd, ContextEngineID) ||
        !TextItem(*Scoped, Pos, ScopedSeqEnd, ContextName))
        return false;
    return DecodePdu(*Scoped, Pos, ScopedSeqEnd);
}

bool TSNMPRec::DecodePacket(const std::string& Bytes) {
    ResetRecord();
    if (Bytes.size() < 2 || !(static_cast<uint8_t>(Bytes[0]) & 0x20) || Bytes.size() > 0x7FFFFFF0u)
        return false;
    int Pos = 2;
    const int M = DecodeBerLength(Bytes, Pos);
    if (M < 0 || static_cast<size_t>(Pos - 1) + static_cast<size_t>(M) > Bytes.size())
        return false;
    const int End = Pos + M;
    if (!IntItem(Bytes, Pos, End, Version))
        return false;
    if (Version == 3)
        return DecodeV3(Bytes, Pos, End);
    if (!TextItem(Bytes, Pos, End, Community))
        return false;
    return DecodePdu(Bytes, Pos, End);
}

// ---- TSNMPSend ----

TSNMPSend::TSNMPSend() : Sock(std::make_unique<TUDPBlockSocket>()) {
    Sock->Owner = this;
    Timeout = 5000;
    TargetPort = "161";
    Query.ResetRecord();
    Reply.ResetRecord();
}

void TSNMPSend::Abort() {
    Sock->AbortSocket();
}

bool TSNMPSend::InternalSendSnmp(TSNMPRec& Out) {
    // Each exchange gets a fresh socket, so late answers to an earlier one never reach it.
    if (Sock->Socket() >= 0)
        Sock->CloseSocket();
    Sock->Bind(IPInterface, "0");
    if (Sock->LastError() != 0)
        return false;
    Sock->Connect(TargetHost, TargetPort);
    if (Sock->LastError() != 0)
        return false;
    Buffer = Out.EncodePacket();
    Sock->SendString(Buffer);
    return Sock->LastError() == 0;
}

// Waits for the datagram that answers SentID; others (and any that does not decode) are dropped
// until the time-out runs out.
bool TSNMPSend::InternalRecvSnmp(TSNMPRec& In, int SentID, bool V3, uint32_t Start) {
    HostIP = "0.0.0.0";
    for (;;) {
        const uint32_t Elapsed = TickDelta(Start, GetTick());
        if (Elapsed >= static_cast<uint32_t>(Timeout > 0 ? Timeout : 0)) {
            In.ResetRecord();
            return false;
        }
        const std::string Packet =
            Sock->RecvPacket(static_cast<int>(static_cast<uint32_t>(Timeout) - Elapsed));
        if (Sock->LastError() != 0) {
            In.ResetRecord();
            return false;
        }
        Buffer = Packet;
        // A datagram that does not decode answers nothing; the agent's answer may still follow.
        if (!In.DecodePacket(Buffer)) {
            In.ResetRecord();
            continue;
        }
        if ((V3 ? In.MessageID() : In.RequestID) == SentID) {
            HostIP = Sock->GetRemoteSinIP();
            return true;
        }
    }
}

bool TSNMPSend::Exchange(TSNMPRec& Out, TSNMPRec& In) {
    CopySecurity(Out, In);
    const int SentID = Out.RequestID;
    In.ResetRecord();
    const uint32_t Start = GetTick();
    if (!InternalSendSnmp(Out))
        return false;
    return InternalRecvSnmp(In, SentID, Out.Version == 3, Start);
}

bool TSNMPSend::DiscoverEngineId() {
    TSNMPRec Probe;
    Probe.Version = 3;
    Probe.PDUType = PDUGetRequest;
    Probe.Reportable = true;
    Probe.MaxSize = Query.MaxSize;
    Probe.RequestID = Query.RequestID;
    TSNMPRec Answer;
    const bool Ok = Exchange(Probe, Answer);
    Query.RequestID = Probe.RequestID;
    if (!Ok || Answer.AuthEngineID.empty())
        return false;
    Query.AuthEngineID = Answer.AuthEngineID;
    Query.AuthEngineBoots = Answer.AuthEngineBoots;
    Query.AuthEngineTime = Answer.AuthEngineTime;
    Query.AuthEngineTimeStamp = Answer.AuthEngineTimeStamp;
    return true;
}

bool TSNMPSend::SyncEngine() {
    if (!DiscoverEngineId())
        return false;
    if (Query.AuthEngineTime != 0)
        return true;
    TSNMPRec Probe = Query;
    Probe.Version = 3;
    Probe.VarBinds.clear();
    Probe.PDUType = PDUGetRequest;
    Probe.Reportable = true;
    TSNMPRec Answer;
    const bool Ok = Exchange(Probe, Answer);
    Query.RequestID = Probe.RequestID;
    Query.Salt = Probe.Salt;
    if (!Ok || Answer.AuthEngineID != Query.AuthEngineID)
        return false;
    Query.AuthEngineBoots = Answer.AuthEngineBoots;
    Query.AuthEngineTime = Answer.AuthEngineTime;
    Query.AuthEngineTimeStamp = Answer.AuthEngineTimeStamp;
    return true;
}

bool TSNMPSend::ExecuteRequest() {
    if (Query.Version == 3 && !SyncEngine()) {
        Reply.ResetRecord();
        return false;
    }
    if (!Exchange(Query, Reply))
        return false;
    // An agent that refuses an SNMPv3 request answers with a report (unknown user, wrong digest,
    // time window): that is no answer to the query.
    if (Query.Version == 3 && Reply.PDUType == PDUReport && Query.PDUType != PDUReport) {
        Reply.ResetRecord();
        return false;
    }
    return true;
}

bool SnmpSetValue(const std::string& OID, const std::string& Community, const std::string& Host,
                  int ValueType, const std::string& Value, const std::string& Port, int TimeoutMs,
                  std::shared_ptr<TNetCancel> Cancel) {
    TSNMPSend Snmp;
    Snmp.Cancel = std::move(Cancel);
    Snmp.Query.ResetRecord();
    Snmp.Query.Community = Community;
    Snmp.Query.PDUType = PDUSetRequest;
    Snmp.Query.AddVarBind(OID, Value, ValueType);
    Snmp.TargetHost = Host;
    Snmp.TargetPort = Port;
    Snmp.Timeout = TimeoutMs;
    // A refused SET is answered too (noSuchName, readOnly, ...): only noError is success.
    return Snmp.ExecuteRequest() && Snmp.Reply.ErrorStatus == 0;
}

bool SnmpSetValue(const std::string& OID, const std::string& Community, const std::string& Host,
                  int ValueType, const std::string& Value) {
    return SnmpSetValue(OID, Community, Host, ValueType, Value, "161", 5000, nullptr);
}
