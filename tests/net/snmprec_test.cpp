// SNMP message record: the exact bytes of a v1 GET, the request-id rule, decoding of answers and of
// malformed datagrams, and SNMPv3 messages with authentication and privacy between two records.
#include "net/asn1util.h"
#include "net/snmpsend.h"

#include <gtest/gtest.h>

namespace {

std::string B(std::initializer_list<int> Bytes) {
    std::string Out;
    for (int V : Bytes)
        Out += static_cast<char>(V);
    return Out;
}

std::string Hex(const std::string& Bytes) {
    static const char* Digits = "0123456789abcdef";
    std::string Out;
    for (unsigned char C : Bytes) {
        Out += Digits[C >> 4];
        Out += Digits[C & 15];
    }
    return Out;
}

// A v1 response built from parts, so tests can vary one field.
std::string Response(int RequestId, int ErrorStatus, const std::string& Binds, int Version = 0) {
    const std::string Pdu = EncodeBerObject(
        EncodeBerObject(EncodeBerInteger(RequestId), 2) + EncodeBerObject(EncodeBerInteger(ErrorStatus), 2) +
            EncodeBerObject(EncodeBerInteger(ErrorStatus ? 1 : 0), 2) + EncodeBerObject(Binds, 48),
        162);
    return EncodeBerObject(EncodeBerObject(EncodeBerInteger(Version), 2) + EncodeBerObject("public", 4) + Pdu,
                           48);
}

std::string Bind(const std::string& Oid, const std::string& EncodedValue) {
    return EncodeBerObject(EncodeBerObject(OidTextToBer(Oid), 6) + EncodedValue, 48);
}

} // namespace

TEST(SnmpRecord, DefaultsAfterReset) {
    TSNMPRec Rec;
    EXPECT_EQ(Rec.Version, 0);
    EXPECT_EQ(Rec.PDUType, 0);
    EXPECT_EQ(Rec.RequestID, 1);
    EXPECT_EQ(Rec.Community, "vorpal");
    EXPECT_EQ(Rec.MaxSize, 1472);
    EXPECT_EQ(Rec.SecurityLevel, NoAuthNoPriv);
    EXPECT_EQ(Rec.AuthMode, AuthMD5);
    EXPECT_EQ(Rec.PrivMode, PrivDES);
    EXPECT_GE(Rec.Salt, 0);
    EXPECT_LE(Rec.Salt, 0x7FFFFFFE);
    Rec.AddVarBind("1.3", "x", 4);
    Rec.RequestID = 9;
    Rec.AuthPassword = "secret";
    Rec.Version = 3;
    Rec.ResetRecord();
    EXPECT_EQ(Rec.VarBindCount(), 0);
    EXPECT_EQ(Rec.VarBindAt(0), nullptr);
    EXPECT_EQ(Rec.RequestID, 9);           // not reset
    EXPECT_EQ(Rec.AuthPassword, "secret"); // not reset
    EXPECT_EQ(Rec.Version, 0);
}

TEST(SnmpRecord, V1GetBytesAndRequestId) {
    TSNMPRec Query;
    Query.ResetRecord();
    Query.Community = "public";
    Query.PDUType = PDUGetRequest;
    Query.AddVarBind("1.3.6.1.2.1.1.1.0", "", 5);
    EXPECT_EQ(Hex(Query.EncodePacket()),
              "302602010004067075626c6963a019020101020100020100300e300c06082b060102"
              "010101000500");
    EXPECT_EQ(Query.RequestID, 2);
    // GETNEXT differs only in the PDU tag and the request-id.
    Query.PDUType = PDUGetNextRequest;
    const std::string Next = Query.EncodePacket();
    EXPECT_EQ(static_cast<uint8_t>(Next[13]), 0xA1);
    EXPECT_EQ(static_cast<uint8_t>(Next[17]), 2);
    EXPECT_EQ(Query.RequestID, 3);
}

TEST(SnmpRecord, SetValueEncodings) {
    TSNMPRec Query;
    Query.Community = "vorpal";
    Query.PDUType = PDUSetRequest;
    Query.RequestID = 300;
    Query.AddVarBind("1.3.6.1.2.1.2.2.1.7.2", "2", 2);
    Query.AddVarBind("1.3.6.1.4.1.1.1", "10.1.2", 64);
    Query.AddVarBind("1.3.6.1.4.1.1.2", "200", 66);
    Query.AddVarBind("1.3.6.1.4.1.1.3", "abc", 4);
    Query.AddVarBind("1.3.6.1.4.1.1.4", "1.3.6", 6);
    Query.AddVarBind("1.3.6.1.4.1.1.5", "junk", 2);
    const std::string Packet = Query.EncodePacket();
    TSNMPRec Back;
    ASSERT_TRUE(Back.DecodePacket(Packet));
    EXPECT_EQ(Back.PDUType, PDUSetRequest);
    EXPECT_EQ(Back.Community, "vorpal");
    EXPECT_EQ(Back.RequestID, 300);
    ASSERT_EQ(Back.VarBindCount(), 6);
    EXPECT_EQ(Back.VarBindAt(0)->OID, "1.3.6.1.2.1.2.2.1.7.2");
    EXPECT_EQ(Back.VarBindAt(0)->Value, "2");
    EXPECT_EQ(Back.VarBindAt(0)->ValueType, 2);
    EXPECT_EQ(Back.VarBindAt(1)->Value, "10.1.2.0");
    EXPECT_EQ(Back.VarBindAt(2)->Value, "200");
    EXPECT_EQ(Back.VarBindAt(3)->Value, "abc");
    EXPECT_EQ(Back.VarBindAt(4)->Value, "1.3.6");
    EXPECT_EQ(Back.VarBindAt(5)->Value, "0");
    // The integer 2 goes out as 02 01 02 and the request-id 300 as 02 02 01 2C.
    EXPECT_NE(Packet.find(B({0x02, 0x02, 0x01, 0x2C})), std::string::npos);
    EXPECT_NE(Packet.find(B({0x07, 0x02, 0x02, 0x01, 0x02})), std::string::npos);
}

TEST(SnmpRecord, DecodesAnswers) {
    TSNMPRec Reply;
    ASSERT_TRUE(Reply.DecodePacket(
        Response(7, 0, Bind("1.3.6.1.2.1.1.1.0", EncodeBerObject(std::string("Box\0x", 5), 4)))));
    EXPECT_EQ(Reply.Version, 0);
    EXPECT_EQ(Reply.Community, "public");
    EXPECT_EQ(Reply.PDUType, PDUGetResponse);
    EXPECT_EQ(Reply.RequestID, 7);
    ASSERT_EQ(Reply.VarBindCount(), 1);
    EXPECT_EQ(Reply.VarBindAt(0)->Value, std::string("Box\0x", 5)); // bytes, zero included

    const std::string Counter = EncodeBerObject(B({0x00, 0xFF, 0xFF, 0xFF, 0xFF}), 65);
    ASSERT_TRUE(Reply.DecodePacket(Response(8, 0, Bind("1.3.6.1.2.1.2.2.1.10.1", Counter))));
    EXPECT_EQ(Reply.VarBindAt(0)->Value, "4294967295");
    EXPECT_EQ(Reply.VarBindAt(0)->ValueType, 65);

    const std::string C64 = EncodeBerObject(B({0x00, 0x80, 0, 0, 0, 0, 0, 0, 1}), 70);
    ASSERT_TRUE(Reply.DecodePacket(Response(9, 0, Bind("1.3.6.1.2.1.31.1.1.1.6.1", C64), 1)));
    EXPECT_EQ(Reply.Version, 1);
    EXPECT_EQ(Reply.VarBindAt(0)->Value, "9223372036854775809");

    // noSuchName echoes the NULL binding: decoded, error-status kept, empty value text.
    ASSERT_TRUE(Reply.DecodePacket(Response(10, 2, Bind("1.3.6.1.2.1.1.99.0", EncodeBerObject("", 5)))));
    EXPECT_EQ(Reply.ErrorStatus, 2);
    EXPECT_EQ(Reply.ErrorIndex, 1);
    EXPECT_EQ(Reply.VarBindAt(0)->Value, "");

    // Several bindings in order; a binding whose name is empty is left out.
    const std::string Two = Bind("1.3.6.1.2.1.1.5.0", EncodeBerObject("n", 4)) +
                            EncodeBerObject(EncodeBerObject("", 6) + EncodeBerObject("", 5), 48) +
                            Bind("1.3.6.1.2.1.1.3.0", EncodeBerObject(B({0x01, 0x00}), 67));
    ASSERT_TRUE(Reply.DecodePacket(Response(11, 0, Two)));
    ASSERT_EQ(Reply.VarBindCount(), 2);
    EXPECT_EQ(Reply.VarBindAt(1)->Value, "256");
}

TEST(SnmpRecord, TrapRoundTrip) {
    TSNMPRec Trap;
    Trap.PDUType = PDUTrap;
    Trap.Community = "public";
    Trap.TrapEnterprise = "1.3.6.1.4.1.8072";
    Trap.TrapAgentAddress = "127.0.0.1";
    Trap.TrapGeneric = 6;
    Trap.TrapSpecific = 42;
    Trap.TrapTimeStamp = 1234;
    Trap.AddVarBind("1.3.6.1.4.1.8072.1", "up", 4);
    TSNMPRec Back;
    ASSERT_TRUE(Back.DecodePacket(Trap.EncodePacket()));
    EXPECT_EQ(Back.PDUType, PDUTrap);
    EXPECT_EQ(Back.TrapEnterprise, "1.3.6.1.4.1.8072");
    EXPECT_EQ(Back.TrapAgentAddress, "127.0.0.1");
    EXPECT_EQ(Back.TrapGeneric, 6);
    EXPECT_EQ(Back.TrapSpecific, 42);
    EXPECT_EQ(Back.TrapTimeStamp, 1234);
    ASSERT_EQ(Back.VarBindCount(), 1);
    EXPECT_EQ(Back.VarBindAt(0)->Value, "up");
}

TEST(SnmpRecord, MalformedDatagramsFail) {
    TSNMPRec Reply;
    const std::string Good = Response(5, 0, Bind("1.3.6.1.2.1.1.1.0", EncodeBerObject("Linux", 4)));
    ASSERT_TRUE(Reply.DecodePacket(Good));
    // Every truncation fails, and leaves the record reset.
    for (size_t Len = 0; Len < Good.size(); ++Len) {
        EXPECT_FALSE(Reply.DecodePacket(Good.substr(0, Len))) << Len;
        EXPECT_EQ(Reply.VarBindCount(), 0);
    }
    // First byte without the constructed bit.
    std::string Bad = Good;
    Bad[0] = 0x10;
    EXPECT_FALSE(Reply.DecodePacket(Bad));
    EXPECT_FALSE(Reply.DecodePacket(B({0x30})));
    // An inner length that claims more than its parent holds.
    Bad = Good;
    const size_t Str = Bad.find("Linux") - 1;
    Bad[Str] = 0x7F;
    EXPECT_FALSE(Reply.DecodePacket(Bad));
    // The binding list claims to run past the PDU.
    Bad = Good;
    Bad[Bad.find(B({0x30, 0x13})) + 1] = 0x20;
    EXPECT_FALSE(Reply.DecodePacket(Bad));
    // An over-long length field and an indefinite length.
    EXPECT_FALSE(Reply.DecodePacket(B({0x30, 0x85, 0, 0, 0, 0, 3, 2, 1, 0})));
    EXPECT_FALSE(Reply.DecodePacket(B({0x30, 0x80, 2, 1, 0, 0, 0})));
    // Deeply nested sequences instead of a PDU.
    std::string Nested = B({0x02, 0x01, 0x00});
    for (int I = 0; I < 200; ++I)
        Nested = EncodeBerObject(Nested, 48);
    EXPECT_FALSE(
        Reply.DecodePacket(EncodeBerObject(EncodeBerObject("\0", 2) + EncodeBerObject("p", 4) + Nested, 48)));
    // Trailing bytes after the message are ignored.
    EXPECT_TRUE(Reply.DecodePacket(Good + "junk"));
}

TEST(SnmpRecordV3, KeyLocalisationKnownAnswers) {
    TSNMPRec Rec;
    Rec.AuthEngineID = B({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2});
    Rec.AuthMode = AuthMD5;
    EXPECT_EQ(Hex(Rec.LocalizeKey("maplesyrup")), "526f5eed9fcce26f8964c2930787d82b");
    Rec.AuthMode = AuthSHA1;
    EXPECT_EQ(Hex(Rec.LocalizeKey("maplesyrup")), "6695febc9288e36282235fc7151f128497b38f3f");
}

namespace {

TSNMPRec V3Query(TV3Flags Level, TV3Auth Auth, TV3Priv Priv) {
    TSNMPRec Q;
    Q.Version = 3;
    Q.PDUType = PDUGetRequest;
    Q.SecurityLevel = Level;
    Q.AuthMode = Auth;
    Q.PrivMode = Priv;
    Q.UserName = "watcher";
    Q.AuthPassword = "auth-pass-1";
    Q.PrivPassword = "priv-pass-2";
    Q.AuthEngineID = B({0x80, 0x00, 0x1F, 0x88, 0x04, 't', 'e', 's', 't'});
    Q.AuthEngineBoots = 3;
    Q.AuthEngineTime = 1000;
    Q.RequestID = 77;
    Q.AddVarBind("1.3.6.1.2.1.1.1.0", "", 5);
    return Q;
}

} // namespace

TEST(SnmpRecordV3, MessagesRoundTripWithAuthAndPrivacy) {
    struct Case {
        TV3Flags Level;
        TV3Auth Auth;
        TV3Priv Priv;
    };
    for (const Case& C : {Case{NoAuthNoPriv, AuthMD5, PrivDES}, Case{AuthNoPriv, AuthMD5, PrivDES},
                          Case{AuthNoPriv, AuthSHA1, PrivDES}, Case{AuthPriv, AuthMD5, PrivDES},
                          Case{AuthPriv, AuthSHA1, PrivAES}, Case{AuthPriv, AuthSHA1, Priv3DES}}) {
        TSNMPRec Q = V3Query(C.Level, C.Auth, C.Priv);
        const std::string Packet = Q.EncodePacket();
        EXPECT_EQ(Q.RequestID, 78);
        TSNMPRec In;
        In.AuthMode = C.Auth;
        In.PrivMode = C.Priv;
        In.AuthPassword = "auth-pass-1";
        In.PrivPassword = "priv-pass-2";
        ASSERT_TRUE(In.DecodePacket(Packet)) << C.Level << C.Auth << C.Priv;
        EXPECT_EQ(In.Version, 3);
        EXPECT_EQ(In.MessageID(), 77);
        EXPECT_EQ(In.RequestID, 77);
        EXPECT_EQ(In.SecurityLevel, C.Level);
        EXPECT_EQ(In.UserName, "watcher");
        EXPECT_EQ(In.AuthEngineID, Q.AuthEngineID);
        EXPECT_EQ(In.ContextEngineID, Q.AuthEngineID);
        EXPECT_EQ(In.AuthEngineBoots, 3);
        EXPECT_GE(In.AuthEngineTime, 1000);
        ASSERT_EQ(In.VarBindCount(), 1);
        EXPECT_EQ(In.VarBindAt(0)->OID, "1.3.6.1.2.1.1.1.0");
        if (C.Level == AuthPriv) {
            // The scoped PDU is not readable on the wire.
            EXPECT_EQ(Packet.find(OidTextToBer("1.3.6.1.2.1.1.1.0")), std::string::npos);
            // A wrong privacy password gives garbage that does not decode.
            TSNMPRec Wrong = In;
            Wrong.PrivPassword = "other";
            EXPECT_FALSE(Wrong.DecodePacket(Packet));
        }
        if (C.Level != NoAuthNoPriv) {
            TSNMPRec Wrong = In;
            Wrong.AuthPassword = "other";
            EXPECT_FALSE(Wrong.DecodePacket(Packet));
            std::string Tampered = Packet;
            Tampered[Tampered.size() - 1] = static_cast<char>(Tampered.back() ^ 1);
            EXPECT_FALSE(In.DecodePacket(Tampered));
        }
    }
}

TEST(SnmpRecordV3, DiscoveryMessageShape) {
    TSNMPRec Probe;
    Probe.Version = 3;
    Probe.PDUType = PDUGetRequest;
    Probe.Reportable = true;
    Probe.RequestID = 5;
    const std::string Packet = Probe.EncodePacket();
    // version 3, header {msgID 5, max size 1472, flags 04, model 3}.
    EXPECT_EQ(Hex(Packet.substr(2, 18)), "020103300d020105020205c0040104020103");
    TSNMPRec In;
    ASSERT_TRUE(In.DecodePacket(Packet));
    EXPECT_TRUE(In.Reportable);
    EXPECT_EQ(In.MaxSize, 1472);
    EXPECT_EQ(In.SecurityLevel, NoAuthNoPriv);
    EXPECT_EQ(In.VarBindCount(), 0);
}
