// SNMP client against the agent from Debian on a private loopback port, with the command-line tools
// as the oracle: v1 GET, GETNEXT and SET, an interface walk, Counter64 over v2c, and SNMPv3 users
// with authentication and privacy.
#include "net/SnmpQuery.h"
#include "net/snmpsend.h"
#include "tests/net/snmp_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <vector>

using zt::snmptest::SnmpdPeer;

namespace {

const std::string kSysDescr = "1.3.6.1.2.1.1.1.0";
const std::string kSysName = "1.3.6.1.2.1.1.5.0";

std::string Unquote(const std::string& Text) {
    if (Text.size() >= 2 && Text.front() == '"' && Text.back() == '"')
        return Text.substr(1, Text.size() - 2);
    return Text;
}

class SnmpdPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!zt::test::HaveProgram("snmpd"))
            GTEST_SKIP() << "snmpd not installed";
        Agent = std::make_unique<SnmpdPeer>();
        ASSERT_TRUE(Agent->Ready()) << "the agent did not start";
        Target = "127.0.0.1:" + Agent->PortText();
    }

    std::string Oracle(const std::string& Args) const { return Agent->Tool(Args + " " + Target + " "); }

    void PrepareV3(TSNMPSend& Snmp, const std::string& User, TV3Flags Level, TV3Auth Auth,
                   const std::string& AuthPass, TV3Priv Priv, const std::string& PrivPass) const {
        Snmp.TargetHost = "127.0.0.1";
        Snmp.TargetPort = Agent->PortText();
        Snmp.Timeout = 3000;
        Snmp.Query.ResetRecord();
        Snmp.Query.Version = 3;
        Snmp.Query.PDUType = PDUGetRequest;
        Snmp.Query.UserName = User;
        Snmp.Query.SecurityLevel = Level;
        Snmp.Query.AuthMode = Auth;
        Snmp.Query.AuthPassword = AuthPass;
        Snmp.Query.PrivMode = Priv;
        Snmp.Query.PrivPassword = PrivPass;
        Snmp.Query.AddVarBind(kSysDescr, "", 5);
    }

    std::unique_ptr<SnmpdPeer> Agent;
    std::string Target;
};

} // namespace

TEST_F(SnmpdPeerTest, GetAndGetNextMatchTheOracle) {
    std::string Result;
    SnmpQuery("127.0.0.1", "public", kSysDescr, PDUGetRequest, Result, Agent->PortText());
    EXPECT_EQ(Result, "Test agent for the network monitor");
    EXPECT_EQ(Result, Unquote(Agent->Tool("snmpget -v1 -c public -Oqv " + Target + " " + kSysDescr)));

    // GETNEXT of sysDescr is sysObjectID: an OID value, given back as dotted text.
    SnmpQuery("127.0.0.1", "public", kSysDescr, PDUGetNextRequest, Result, Agent->PortText());
    const std::string Next = Agent->Tool("snmpgetnext -v1 -c public -Oqvn " + Target + " " + kSysDescr);
    EXPECT_EQ("." + Result, Next);

    // Unknown community: the agent stays silent; unknown object: noSuchName, empty value.
    SnmpQuery("127.0.0.1", "nobody", kSysDescr, PDUGetRequest, Result, Agent->PortText(), 500);
    EXPECT_EQ(Result, "");
    SnmpQuery("127.0.0.1", "public", "1.3.6.1.2.1.1.99.0", PDUGetRequest, Result, Agent->PortText());
    EXPECT_EQ(Result, "");
}

TEST_F(SnmpdPeerTest, InterfaceWalkMatchesTheOracle) {
    std::istringstream Lines(Agent->Tool("snmpwalk -v1 -c public -Oqv " + Target + " 1.3.6.1.2.1.2.2.1.2"));
    std::vector<std::string> Expected;
    for (std::string Line; std::getline(Lines, Line);)
        Expected.push_back(Unquote(Line));
    ASSERT_FALSE(Expected.empty());

    std::vector<std::string> Walked;
    std::string Oid = "1.3.6.1.2.1.2.2.1.2";
    for (int I = 0; I < 100; ++I) {
        TSNMPSend Snmp;
        Snmp.TargetHost = "127.0.0.1";
        Snmp.TargetPort = Agent->PortText();
        Snmp.Query.Community = "public";
        Snmp.Query.PDUType = PDUGetNextRequest;
        Snmp.Query.AddVarBind(Oid, "", 5);
        ASSERT_TRUE(Snmp.ExecuteRequest());
        ASSERT_EQ(Snmp.Reply.VarBindCount(), 1);
        Oid = Snmp.Reply.VarBindAt(0)->OID;
        if (Oid.rfind("1.3.6.1.2.1.2.2.1.2.", 0) != 0)
            break;
        Walked.push_back(Snmp.Reply.VarBindAt(0)->Value);
    }
    EXPECT_EQ(Walked, Expected);
}

TEST_F(SnmpdPeerTest, SetNeedsTheWriteCommunity) {
    EXPECT_TRUE(SnmpSetValue(kSysName, "vorpal", "127.0.0.1", 4, "monitor-set-1", Agent->PortText(), 3000));
    EXPECT_EQ(Unquote(Agent->Tool("snmpget -v1 -c public -Oqv " + Target + " " + kSysName)), "monitor-set-1");
    // The read-only community is answered with an error: a failure, and the value stays.
    EXPECT_FALSE(SnmpSetValue(kSysName, "public", "127.0.0.1", 4, "monitor-set-2", Agent->PortText(), 1000));
    EXPECT_EQ(Unquote(Agent->Tool("snmpget -v1 -c public -Oqv " + Target + " " + kSysName)), "monitor-set-1");
    // A value of the wrong type is refused too.
    EXPECT_FALSE(SnmpSetValue(kSysName, "vorpal", "127.0.0.1", 2, "5", Agent->PortText(), 3000));
    std::string Result;
    SnmpQuery("127.0.0.1", "public", kSysName, PDUGetRequest, Result, Agent->PortText());
    EXPECT_EQ(Result, "monitor-set-1");
}

TEST_F(SnmpdPeerTest, Counter64OverV2c) {
    const std::string Oid = "1.3.6.1.2.1.31.1.1.1.6.1";
    const uint64_t Before =
        std::strtoull(Agent->Tool("snmpget -v2c -c public -Oqv " + Target + " " + Oid).c_str(), nullptr, 10);
    TSNMPSend Snmp;
    Snmp.TargetHost = "127.0.0.1";
    Snmp.TargetPort = Agent->PortText();
    Snmp.Query.Version = 1;
    Snmp.Query.Community = "public";
    Snmp.Query.PDUType = PDUGetRequest;
    Snmp.Query.AddVarBind(Oid, "", 5);
    ASSERT_TRUE(Snmp.ExecuteRequest());
    ASSERT_EQ(Snmp.Reply.VarBindCount(), 1);
    EXPECT_EQ(Snmp.Reply.VarBindAt(0)->ValueType, 70);
    const std::string Text = Snmp.Reply.VarBindAt(0)->Value;
    ASSERT_FALSE(Text.empty());
    EXPECT_EQ(Text.find_first_not_of("0123456789"), std::string::npos);
    const uint64_t Ours = std::strtoull(Text.c_str(), nullptr, 10);
    const uint64_t After =
        std::strtoull(Agent->Tool("snmpget -v2c -c public -Oqv " + Target + " " + Oid).c_str(), nullptr, 10);
    EXPECT_LE(Before, Ours);
    EXPECT_LE(Ours, After);
}

TEST_F(SnmpdPeerTest, V3UsersWithAuthenticationAndPrivacy) {
    struct User {
        std::string Name;
        TV3Flags Level;
        TV3Auth Auth;
        std::string AuthPass;
        TV3Priv Priv;
        std::string PrivPass;
    };
    const User Users[] = {{"md5user", AuthNoPriv, AuthMD5, "md5-auth-pass", PrivDES, ""},
                          {"desuser", AuthPriv, AuthMD5, "des-auth-pass", PrivDES, "des-priv-pass"},
                          {"aesuser", AuthPriv, AuthSHA1, "aes-auth-pass", PrivAES, "aes-priv-pass"}};
    for (const User& U : Users) {
        TSNMPSend Snmp;
        PrepareV3(Snmp, U.Name, U.Level, U.Auth, U.AuthPass, U.Priv, U.PrivPass);
        ASSERT_TRUE(Snmp.ExecuteRequest()) << U.Name;
        EXPECT_FALSE(Snmp.Query.AuthEngineID.empty());
        EXPECT_GT(Snmp.Query.AuthEngineBoots, 0);
        ASSERT_EQ(Snmp.Reply.VarBindCount(), 1) << U.Name;
        EXPECT_EQ(Snmp.Reply.PDUType, PDUGetResponse);
        EXPECT_EQ(Snmp.Reply.VarBindAt(0)->Value, "Test agent for the network monitor") << U.Name;

        // A wrong authentication password is answered with a report: a failure, not a value.
        TSNMPSend Wrong;
        PrepareV3(Wrong, U.Name, U.Level, U.Auth, "not-the-password", U.Priv, U.PrivPass);
        Wrong.Timeout = 1000;
        EXPECT_FALSE(Wrong.ExecuteRequest()) << U.Name;
        EXPECT_EQ(Wrong.Reply.VarBindCount(), 0);
    }
    // The read-write user may SET; the oracle sees the new value.
    TSNMPSend Set;
    PrepareV3(Set, "aesuser", AuthPriv, AuthSHA1, "aes-auth-pass", PrivAES, "aes-priv-pass");
    Set.Query.PDUType = PDUSetRequest;
    Set.Query.VarBinds.clear();
    Set.Query.AddVarBind(kSysName, "set-over-v3", 4);
    ASSERT_TRUE(Set.ExecuteRequest());
    EXPECT_EQ(Set.Reply.ErrorStatus, 0);
    EXPECT_EQ(Unquote(Agent->Tool("snmpget -v1 -c public -Oqv " + Target + " " + kSysName)), "set-over-v3");
}

TEST_F(SnmpdPeerTest, EngineDiscovery) {
    TSNMPSend Snmp;
    Snmp.TargetHost = "127.0.0.1";
    Snmp.TargetPort = Agent->PortText();
    Snmp.Timeout = 3000;
    ASSERT_TRUE(Snmp.DiscoverEngineId());
    // The agent's engine id as the oracle reports it (hex after the type).
    const std::string Oracle =
        Agent->Tool("snmpget -v1 -c public -Oqv " + Target + " 1.3.6.1.6.3.10.2.1.1.0");
    std::string Hex;
    for (unsigned char C : Snmp.Query.AuthEngineID) {
        static const char* D = "0123456789ABCDEF";
        Hex += D[C >> 4];
        Hex += D[C & 15];
        Hex += ' ';
    }
    std::string Flat;
    for (char C : Oracle)
        if (C != '\n' && C != '"')
            Flat += C;
    EXPECT_NE((Flat + " ").find(Hex), std::string::npos) << Flat << " vs " << Hex;
    // A just-started agent may report time 0; synchronising then asks once more.
    EXPECT_TRUE(Snmp.SyncEngine());
    EXPECT_GE(Snmp.Query.AuthEngineTime, 0);
    EXPECT_GT(Snmp.Query.AuthEngineBoots, 0);
}
