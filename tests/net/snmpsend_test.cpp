// SNMP client over UDP against scripted loopback agents: the answer must match the query's
// request-id, time-outs and dead ports give false, waits end when cancelled, and a SET counts only
// when the agent reports no error.
#include "net/SnmpQuery.h"
#include "net/snmpsend.h"
#include "tests/net/snmp_helpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using zt::snmptest::ResponseFor;
using zt::snmptest::ScriptedAgent;

namespace {

const std::string kSysDescr = "1.3.6.1.2.1.1.1.0";

TSNMPSend& Prepare(TSNMPSend& Snmp, const ScriptedAgent& Agent, int TimeoutMs) {
    Snmp.TargetHost = "127.0.0.1";
    Snmp.TargetPort = Agent.PortText();
    Snmp.Timeout = TimeoutMs;
    Snmp.Query.ResetRecord();
    Snmp.Query.Community = "public";
    Snmp.Query.PDUType = PDUGetRequest;
    Snmp.Query.AddVarBind(kSysDescr, "", 5);
    return Snmp;
}

} // namespace

TEST(SnmpSend, Defaults) {
    TSNMPSend Snmp;
    EXPECT_EQ(Snmp.Timeout, 5000);
    EXPECT_EQ(Snmp.TargetPort, "161");
    EXPECT_EQ(Snmp.HostIP, "");
    EXPECT_EQ(Snmp.Sock->Owner, &Snmp);
    EXPECT_EQ(Snmp.Query.Community, "vorpal");
}

TEST(SnmpSend, AnswerWithOtherRequestIdIsIgnored) {
    std::string Seen;
    ScriptedAgent Agent([&Seen](ScriptedAgent& A) {
        Seen = A.Receive();
        A.Answer(ResponseFor(Seen, 5, 0, "stale answer", 4));
        A.Answer(ResponseFor(Seen, 0, 0, "the answer", 4));
    });
    TSNMPSend Snmp;
    ASSERT_TRUE(Prepare(Snmp, Agent, 5000).ExecuteRequest());
    Agent.Join();
    ASSERT_EQ(Snmp.Reply.VarBindCount(), 1);
    EXPECT_EQ(Snmp.Reply.VarBindAt(0)->Value, "the answer");
    EXPECT_EQ(Snmp.Reply.RequestID, 1);
    EXPECT_EQ(Snmp.HostIP, "127.0.0.1");
    EXPECT_EQ(Snmp.Buffer, ResponseFor(Seen, 0, 0, "the answer", 4));
    // What went out is the GET the record builds.
    TSNMPRec Sent;
    ASSERT_TRUE(Sent.DecodePacket(Seen));
    EXPECT_EQ(Sent.PDUType, PDUGetRequest);
    EXPECT_EQ(Sent.Community, "public");
}

TEST(SnmpSend, OnlyStaleAnswersTimeOut) {
    ScriptedAgent Agent([](ScriptedAgent& A) {
        const std::string Q = A.Receive();
        A.Answer(ResponseFor(Q, -1, 0, "old", 4));
        A.Answer(ResponseFor(Q, 1, 0, "new", 4));
        A.StayQuiet(5000);
    });
    TSNMPSend Snmp;
    EXPECT_FALSE(Prepare(Snmp, Agent, 400).ExecuteRequest());
    EXPECT_EQ(Snmp.Reply.VarBindCount(), 0);
}

TEST(SnmpSend, NonConstructedAnswerFails) {
    ScriptedAgent Agent([](ScriptedAgent& A) {
        A.Receive();
        A.Answer(std::string("\x04\x03"
                             "abc",
                             5));
    });
    TSNMPSend Snmp;
    EXPECT_FALSE(Prepare(Snmp, Agent, 3000).ExecuteRequest());
}

TEST(SnmpSend, UndecodableDatagramsAreDroppedAndTheAnswerAfterThemTaken) {
    ScriptedAgent Agent([](ScriptedAgent& A) {
        const std::string Q = A.Receive();
        A.Answer(std::string("\x04\x03"
                             "abc",
                             5));
        A.Answer(std::string("\x30\x7f\x02\x01", 4)); // constructed, but shorter than it says
        A.Answer(ResponseFor(Q, 0, 0, "the answer", 4));
    });
    TSNMPSend Snmp;
    ASSERT_TRUE(Prepare(Snmp, Agent, 3000).ExecuteRequest());
    Agent.Join();
    ASSERT_EQ(Snmp.Reply.VarBindCount(), 1);
    EXPECT_EQ(Snmp.Reply.VarBindAt(0)->Value, "the answer");
    EXPECT_EQ(Snmp.HostIP, "127.0.0.1");
}

TEST(SnmpSend, OnlyUndecodableDatagramsWaitTheWholeTimeOut) {
    ScriptedAgent Agent([](ScriptedAgent& A) {
        A.Receive();
        A.Answer(std::string("\x04\x01x", 3));
        A.StayQuiet(5000);
    });
    TSNMPSend Snmp;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Prepare(Snmp, Agent, 400).ExecuteRequest());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(390));
    EXPECT_EQ(Snmp.Reply.VarBindCount(), 0);
    EXPECT_EQ(Snmp.HostIP, "0.0.0.0");
}

TEST(SnmpSend, SilentAgentAndDeadPortGiveFalse) {
    ScriptedAgent Agent([](ScriptedAgent& A) {
        A.Receive();
        A.StayQuiet(5000);
    });
    TSNMPSend Snmp;
    EXPECT_FALSE(Prepare(Snmp, Agent, 300).ExecuteRequest());
    EXPECT_EQ(Snmp.HostIP, "0.0.0.0");

    TSNMPSend Dead;
    Dead.TargetHost = "127.0.0.1";
    Dead.TargetPort = std::to_string(zt::test::FreeUdpPort());
    Dead.Timeout = 300;
    Dead.Query.AddVarBind(kSysDescr, "", 5);
    Dead.Query.PDUType = PDUGetRequest;
    EXPECT_FALSE(Dead.ExecuteRequest());
    std::string Result = "unchanged";
    SnmpQuery("127.0.0.1", "public", kSysDescr, PDUGetRequest, Result, Dead.TargetPort, 300);
    EXPECT_EQ(Result, "");
}

// Takes the full 5000 ms time-out of the one-shot query: nothing answers on that port.
TEST(SnmpSend, SnmpQueryDeadPortWaitsItsFiveSeconds) {
    ScriptedAgent Agent([](ScriptedAgent& A) {
        A.Receive();
        A.StayQuiet(8000);
    });
    std::string Result = "unchanged";
    SnmpQuery("127.0.0.1", "public", kSysDescr, PDUGetRequest, Result, Agent.PortText());
    EXPECT_EQ(Result, "");
}

TEST(SnmpSend, SnmpQueryResults) {
    ScriptedAgent Agent([](ScriptedAgent& A) {
        for (int I = 0; I < 3; ++I) {
            const std::string Q = A.Receive();
            TSNMPRec Rec;
            Rec.DecodePacket(Q);
            if (Rec.Community != "public")
                A.Answer(ResponseFor(Q, 0, 2, "", 5)); // noSuchName: value empty
            else if (Rec.PDUType == PDUGetNextRequest)
                A.Answer(ResponseFor(Q, 0, 0, "4294967295", 65));
            else
                A.Answer(ResponseFor(Q, 0, 0, std::string("bytes\0\xFF", 7), 4));
        }
    });
    std::string Result;
    SnmpQuery("127.0.0.1", "public", kSysDescr, PDUGetRequest, Result, Agent.PortText(), 3000);
    EXPECT_EQ(Result, std::string("bytes\0\xFF", 7));
    // GETNEXT gives only the next value, never its OID.
    SnmpQuery("127.0.0.1", "public", "1.3.6.1.2.1.2.2.1.10", PDUGetNextRequest, Result, Agent.PortText(),
              3000);
    EXPECT_EQ(Result, "4294967295");
    SnmpQuery("127.0.0.1", "other", kSysDescr, PDUGetRequest, Result, Agent.PortText(), 3000);
    EXPECT_EQ(Result, "");
}

TEST(SnmpSend, SetSucceedsOnlyWithoutErrorStatus) {
    std::atomic<int> Sets{0};
    ScriptedAgent Agent([&Sets](ScriptedAgent& A) {
        for (int I = 0; I < 2; ++I) {
            const std::string Q = A.Receive();
            TSNMPRec Rec;
            if (!Rec.DecodePacket(Q) || Rec.PDUType != PDUSetRequest)
                return;
            ++Sets;
            A.Answer(ResponseFor(Q, 0, Rec.Community == "vorpal" ? 0 : 2, Rec.VarBindAt(0)->Value, 2));
        }
    });
    EXPECT_TRUE(SnmpSetValue("1.3.6.1.2.1.2.2.1.7.2", "vorpal", "127.0.0.1", 2, "2", Agent.PortText(), 3000));
    EXPECT_FALSE(
        SnmpSetValue("1.3.6.1.2.1.2.2.1.7.2", "public", "127.0.0.1", 2, "2", Agent.PortText(), 3000));
    EXPECT_EQ(Sets.load(), 2);
}

// A cancelled wait ends at once; with a 60 s time-out the test would otherwise run into the
// harness's limit.
TEST(SnmpSend, WaitsAreCancelledFromAnotherThread) {
    ScriptedAgent Agent([](ScriptedAgent& A) {
        A.Receive();
        A.Receive();
        A.StayQuiet(70000);
    });
    auto Cancel = std::make_shared<TNetCancel>();
    std::thread Stopper([Cancel]() {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Cancel->Raise();
    });
    std::string Result = "unchanged";
    SnmpQuery("127.0.0.1", "public", kSysDescr, PDUGetRequest, Result, Agent.PortText(), 60000, Cancel);
    Stopper.join();
    EXPECT_EQ(Result, "");

    TSNMPSend Snmp;
    Prepare(Snmp, Agent, 60000);
    std::thread Aborter([&Snmp]() {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Snmp.Abort();
    });
    EXPECT_FALSE(Snmp.ExecuteRequest());
    Aborter.join();
}

namespace {

// An SNMPv3 answer from the scripted agent's engine, authenticated with the user's key.
std::string V3Answer(const TSNMPRec& Request, int PduType, int Time, const std::string& Value) {
    TSNMPRec A;
    A.Version = 3;
    A.PDUType = PduType;
    A.RequestID = Request.MessageID();
    A.AuthEngineID = "scripted-engine";
    A.AuthEngineBoots = 4;
    A.AuthEngineTime = Time;
    A.UserName = Request.UserName;
    if (!Request.UserName.empty()) {
        A.SecurityLevel = AuthNoPriv;
        A.AuthMode = AuthSHA1;
        A.AuthPassword = "scripted-pass";
    }
    A.AddVarBind(PduType == PDUReport ? "1.3.6.1.6.3.15.1.1.2.0" : "1.3.6.1.2.1.1.1.0", Value,
                 PduType == PDUReport ? 65 : 4);
    return A.EncodePacket();
}

} // namespace

// Discovery that learns time 0 asks once more with the user's keys; the authenticated report then
// gives boots and time, and the GET itself goes out with them. A report in place of the answer is
// a failure.
TEST(SnmpSend, V3DiscoveryThenSynchronisedRequest) {
    std::vector<int> Times;
    ScriptedAgent Agent([&Times](ScriptedAgent& A) {
        for (int I = 0; I < 6; ++I) {
            TSNMPRec In;
            In.AuthMode = AuthSHA1;
            In.AuthPassword = "scripted-pass";
            const std::string Q = A.Receive();
            if (Q.empty() || !In.DecodePacket(Q))
                return;
            Times.push_back(In.AuthEngineTime);
            if (In.AuthEngineID.empty())
                A.Answer(V3Answer(In, PDUReport, 0, "1")); // discovery
            else if (In.VarBindCount() == 0)
                A.Answer(V3Answer(In, PDUReport, 700, "1")); // time window
            else if (I < 3)
                A.Answer(V3Answer(In, PDUGetResponse, 700, "scripted value"));
            else
                A.Answer(V3Answer(In, PDUReport, 700, "1")); // refused: unknown user and the like
        }
    });
    TSNMPSend Snmp;
    Prepare(Snmp, Agent, 3000);
    Snmp.Query.Version = 3;
    Snmp.Query.UserName = "watcher";
    Snmp.Query.SecurityLevel = AuthNoPriv;
    Snmp.Query.AuthMode = AuthSHA1;
    Snmp.Query.AuthPassword = "scripted-pass";
    ASSERT_TRUE(Snmp.ExecuteRequest());
    EXPECT_EQ(Snmp.Query.AuthEngineID, "scripted-engine");
    EXPECT_EQ(Snmp.Query.AuthEngineBoots, 4);
    EXPECT_EQ(Snmp.Query.AuthEngineTime, 700);
    ASSERT_EQ(Snmp.Reply.VarBindCount(), 1);
    EXPECT_EQ(Snmp.Reply.VarBindAt(0)->Value, "scripted value");

    TSNMPSend Refused;
    Prepare(Refused, Agent, 3000);
    Refused.Query = Snmp.Query;
    EXPECT_FALSE(Refused.ExecuteRequest());
    EXPECT_EQ(Refused.Reply.VarBindCount(), 0);
    Agent.Join();
    // Discovery, synchronisation and the GET of each request: the GET carries the learnt time.
    ASSERT_EQ(Times.size(), 6u);
    EXPECT_EQ(Times[0], 0);
    EXPECT_EQ(Times[1], 0);
    EXPECT_GE(Times[2], 700);
}
