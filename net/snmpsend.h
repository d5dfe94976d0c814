// SNMP client: TSNMPRec holds one SNMP message (v1/v2c community or v3 user-based security) with its
// BER form, and TSNMPSend sends one query record over UDP and decodes the datagram that answers it.
#pragma once

#include "net/blcksock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum : int {
    PDUGetRequest = 160,
    PDUGetNextRequest = 161,
    PDUGetResponse = 162,
    PDUSetRequest = 163,
    PDUTrap = 164,
    PDUReport = 168,
};

enum TV3Flags { NoAuthNoPriv, AuthNoPriv, AuthPriv };
enum TV3Auth { AuthMD5, AuthSHA1 };
enum TV3Priv { PrivDES, Priv3DES, PrivAES };

// One variable binding.
struct TSNMPMib {
    std::string OID;
    std::string Value; // text form; OCTET STRING values are the raw bytes
    int ValueType = 0;
};

class TSNMPRec {
public:
    TSNMPRec();

    int Version = 0; // 0 SNMPv1, 1 SNMPv2c, 3 SNMPv3
    int PDUType = 0;
    int RequestID = 1; // not reset; incremented by every EncodePacket
    int ErrorStatus = 0;
    int ErrorIndex = 0;
    std::string Community = "vorpal";
    std::vector<TSNMPMib> VarBinds;
    int MaxSize = 1472;
    TV3Flags SecurityLevel = NoAuthNoPriv;
    bool Reportable = false;
    std::string ContextEngineID;
    std::string ContextName;
    TV3Auth AuthMode = AuthMD5;
    std::string AuthEngineID;
    int AuthEngineBoots = 0;
    int AuthEngineTime = 0;
    uint32_t AuthEngineTimeStamp = 0; // tick when AuthEngineTime was learnt; 0: sent as it is
    std::string UserName;
    std::string AuthPassword;
    std::string AuthParameters;
    TV3Priv PrivMode = PrivDES;
    std::string PrivPassword;
    std::string PrivKey;
    std::string PrivParameters;
    int Salt = 0;
    std::string TrapEnterprise;
    std::string TrapAgentAddress;
    int TrapGeneric = 0;
    int TrapSpecific = 0;
    int TrapTimeStamp = 0;

    void ResetRecord();
    void AddVarBind(const std::string& OID, const std::string& Value, int ValueType);
    int VarBindCount() const { return static_cast<int>(VarBinds.size()); }
    // nullptr when Index is outside 0..count-1; valid until the bindings change.
    const TSNMPMib* VarBindAt(int Index) const;

    std::string EncodePacket();
    // Decodes into the record (reset first). False for anything malformed; with SNMPv3 also for a
    // message whose digest does not match or that cannot be deciphered.
    bool DecodePacket(const std::string& Bytes);

    // Key localisation (password to key, then bound to AuthEngineID) with the digest of AuthMode.
    std::string LocalizeKey(const std::string& Password) const;
    // The privacy key of PrivMode: 16 bytes (DES, AES) or 32 bytes (3DES, extended by localising
    // the first localised key once more).
    std::string PrivacyKey() const;
    std::string EncryptScopedPdu(const std::string& Value);
    std::string DecryptScopedPdu(const std::string& Value) const;

    // Message id of the last decoded SNMPv3 header.
    int MessageID() const { return FMessageID; }

private:
    std::string EncodeVarBinds() const;
    std::string EncodePdu() const;
    std::string EncodeV3(const std::string& Pdu);
    bool DecodePdu(const std::string& Buffer, int& Pos, int End);
    bool DecodeV3(const std::string& Buffer, int Pos, int End);
    std::string AuthDigest(const std::string& Message, const std::string& Key) const;
    std::string PrivSalt() const;
    std::string CachedKey(const std::string& Password, int Which) const;

    int FMessageID = 0;
    // Localised keys by password and engine id (localisation hashes a megabyte).
    // Slots: authentication key, privacy key, extension of the privacy key for triple DES.
    mutable std::string FKeyPassword[3], FKeyEngine[3], FKeyValue[3];
    mutable TV3Auth FKeyMode[3] = {AuthMD5, AuthMD5, AuthMD5};
};

class TSNMPSend : public TNetClient {
public:
    TSNMPSend();

    std::unique_ptr<TUDPBlockSocket> Sock;
    std::string Buffer; // last datagram sent or received
    std::string HostIP; // address text of the last answering peer
    TSNMPRec Query;
    TSNMPRec Reply;

    // One query, one answer. Datagrams whose request-id (SNMPv3: message id) differs from the query's
    // are dropped while the time-out lasts.
    bool ExecuteRequest();
    // SNMPv3: learn the agent's engine id (and usually boots and time) with an unauthenticated query.
    bool DiscoverEngineId();
    // Discovery, then, when the engine time is still 0, a request with the query's user and keys.
    bool SyncEngine();
    // Thread-safe: ends a wait in progress at once (the request then fails).
    void Abort();

private:
    bool InternalSendSnmp(TSNMPRec& Out);
    // Waits what is left of Timeout since Start (the exchange's time-out covers resolving the name).
    bool InternalRecvSnmp(TSNMPRec& In, int SentID, bool V3, uint32_t Start);
    bool Exchange(TSNMPRec& Out, TSNMPRec& In);
};

// One SET; true only when an answer arrived and its error-status is 0 (noError).
bool SnmpSetValue(const std::string& OID, const std::string& Community, const std::string& Host,
                  int ValueType, const std::string& Value);
// The same with the agent's port and time-out given (tests, agents on another port), and a cancel
// signal that, raised from another thread, ends the wait at once (the SET then counts as failed).
bool SnmpSetValue(const std::string& OID, const std::string& Community, const std::string& Host,
                  int ValueType, const std::string& Value, const std::string& Port, int TimeoutMs,
                  std::shared_ptr<TNetCancel> Cancel = nullptr);
