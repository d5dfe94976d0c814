// ICMP echo client: request layout and checksums, matching of answers, outcome texts, and echoes of
// the loopback addresses (over whichever socket kind this process may open).
#include "net/pingsend.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// The 16-bit one's-complement sum of Data in memory order; 0xFFFF when a stored checksum verifies.
uint16_t OnesSum(const std::string& Data) {
    uint32_t Sum = 0;
    for (std::size_t I = 0; I + 1 < Data.size(); I += 2) {
        uint16_t Word;
        std::memcpy(&Word, Data.data() + I, 2);
        Sum += Word;
    }
    if (Data.size() % 2)
        Sum += static_cast<uint8_t>(Data.back());
    while (Sum >> 16)
        Sum = (Sum & 0xFFFF) + (Sum >> 16);
    return static_cast<uint16_t>(Sum);
}

TIcmpRequestSignature Sig(bool IPv6, Bytes Header) {
    TIcmpRequestSignature S;
    S.IPv6 = IPv6;
    std::copy(Header.begin(), Header.end(), S.Bytes.begin());
    return S;
}

const Bytes Request4 = {8, 0, 0x12, 0x34, 0x21, 0x43, 0x01, 0x00};
const Bytes Request6 = {128, 0, 0x12, 0x34, 0x21, 0x43, 0x02, 0x00};

Bytes Ip4Header(uint8_t Protocol = 1) {
    Bytes H(20, 0);
    H[0] = 0x45;
    H[9] = Protocol;
    return H;
}

Bytes Cat(std::initializer_list<Bytes> Parts) {
    Bytes Out;
    for (const auto& P : Parts)
        Out.insert(Out.end(), P.begin(), P.end());
    return Out;
}

TIcmpReplyMatch Match(TIcmpPacketForm Form, const Bytes& Data, const TIcmpRequestSignature& S) {
    return MatchIcmpReply(Form, Data.data(), Data.size(), S);
}

// An echo reply as it answers Request: same identifier and sequence, type changed.
Bytes ReplyTo(const Bytes& Request, uint8_t Type) {
    Bytes R = Request;
    R[0] = Type;
    R[2] = R[3] = 0x55;
    R.insert(R.end(), 32, '7');
    return R;
}

// An ICMP error message quoting the request behind the original packet's IP header.
Bytes ErrorQuoting4(uint8_t Type, uint8_t Code, const Bytes& Quoted) {
    return Cat({Ip4Header(), {Type, Code, 0, 0, 0, 0, 0, 0}, Ip4Header(), Quoted});
}

Bytes ErrorQuoting6(uint8_t Type, uint8_t Code, const Bytes& Quoted) {
    Bytes Ip6(40, 0);
    Ip6[0] = 0x60;
    Ip6[6] = 58;
    return Cat({{Type, Code, 0, 0, 0, 0, 0, 0}, Ip6, Quoted});
}

bool CanEcho(int Family) {
    return IcmpSocketKindFor(Family) != ISK_None;
}

} // namespace

TEST(PingTexts, EveryOutcomeHasItsText) {
    EXPECT_EQ(ICMPErrorText(IE_NoError), "");
    EXPECT_EQ(ICMPErrorText(IE_Other), "Unknown error");
    EXPECT_EQ(ICMPErrorText(IE_TTLExceed), "TTL Exceeded");
    EXPECT_EQ(ICMPErrorText(IE_UnreachOther), "Unknown unreachable");
    EXPECT_EQ(ICMPErrorText(IE_UnreachRoute), "No route to destination");
    EXPECT_EQ(ICMPErrorText(IE_UnreachAdmin), "Administratively prohibited");
    EXPECT_EQ(ICMPErrorText(IE_UnreachAddr), "Address unreachable");
    EXPECT_EQ(ICMPErrorText(IE_UnreachPort), "Port unreachable");
}

TEST(PingTexts, NewClientStartsWithPartDefaultsAndNoAnswer) {
    TPINGSend P;
    EXPECT_EQ(P.Timeout, 5000);
    EXPECT_EQ(P.PacketSize, 32);
    EXPECT_EQ(P.TTL, 128);
    EXPECT_EQ(P.Seq(), 0);
    EXPECT_EQ(P.PingTime(), -1);
    EXPECT_EQ(P.ReplyError(), IE_Other);
    EXPECT_EQ(P.ReplyErrorDesc(), "Unknown error");
}

TEST(PingTranslate, RawRepliesByFamilyTypeAndCode) {
    struct Row {
        bool IPv6;
        uint8_t Type, Code;
        TICMPError Want;
    };
    const Row Rows[] = {
        {false, 0, 7, IE_NoError},       {false, 11, 1, IE_TTLExceed},  {false, 3, 0, IE_UnreachRoute},
        {false, 3, 1, IE_UnreachAddr},   {false, 3, 3, IE_UnreachPort}, {false, 3, 13, IE_UnreachAdmin},
        {false, 3, 10, IE_UnreachOther}, {false, 12, 0, IE_Other},      {false, 129, 0, IE_Other},
        {true, 129, 0, IE_NoError},      {true, 3, 0, IE_TTLExceed},    {true, 1, 0, IE_UnreachRoute},
        {true, 1, 1, IE_UnreachAdmin},   {true, 1, 3, IE_UnreachAddr},  {true, 1, 4, IE_UnreachPort},
        {true, 1, 5, IE_UnreachOther},   {true, 0, 0, IE_Other},        {true, 11, 0, IE_Other},
    };
    for (const auto& R : Rows)
        EXPECT_EQ(TPINGSend::TranslateReply(R.IPv6, R.Type, R.Code), R.Want)
            << (R.IPv6 ? "v6 " : "v4 ") << int(R.Type) << "/" << int(R.Code);
}

TEST(PingTranslate, ServiceStatusNumbers) {
    EXPECT_EQ(TPINGSend::TranslateStatus(0), IE_NoError);
    EXPECT_EQ(TPINGSend::TranslateStatus(11000), IE_NoError);
    EXPECT_EQ(TPINGSend::TranslateStatus(11002), IE_UnreachRoute);
    EXPECT_EQ(TPINGSend::TranslateStatus(11003), IE_UnreachAddr);
    EXPECT_EQ(TPINGSend::TranslateStatus(11004), IE_UnreachAdmin);
    EXPECT_EQ(TPINGSend::TranslateStatus(11005), IE_UnreachPort);
    EXPECT_EQ(TPINGSend::TranslateStatus(11013), IE_TTLExceed);
    EXPECT_EQ(TPINGSend::TranslateStatus(11010), IE_Other);
}

TEST(PingChecksum, KnownValuesAndStoredChecksumVerifies) {
    // Word sum 0x0001 + 0xF203 + 0xF4F5 + 0xF6F7 (big-endian view) folds to 0xDDF2: checksum 0x220D.
    const std::string Data("\x00\x01\xF2\x03\xF4\xF5\xF6\xF7", 8);
    uint16_t Sum = TPINGSend::Checksum(Data);
    uint8_t Wire[2];
    std::memcpy(Wire, &Sum, 2);
    EXPECT_EQ(Wire[0], 0x22);
    EXPECT_EQ(Wire[1], 0x0D);
    EXPECT_EQ(TPINGSend::Checksum(""), 0xFFFF);
    // An odd last byte counts as the high byte of a word on the wire.
    std::string Odd("\x08\x00\x00\x00\x01", 5);
    Sum = TPINGSend::Checksum(Odd);
    std::memcpy(&Odd[2], &Sum, 2);
    EXPECT_EQ(OnesSum(Odd), 0xFFFF);
}

TEST(PingChecksum, Checksum6CoversThePseudoHeader) {
    std::array<uint8_t, 16> Remote{}, Local{};
    Remote[15] = 1;
    Local[0] = 0xFD;
    Local[15] = 2;
    std::string Data(44, '7');
    Data[0] = char(128);
    Data[1] = Data[2] = Data[3] = 0;
    const uint16_t Sum = TPINGSend::Checksum6(Data, Remote, Local);
    std::memcpy(&Data[2], &Sum, 2);
    std::string Pseudo(40, '\0');
    std::memcpy(Pseudo.data(), Remote.data(), 16);
    std::memcpy(Pseudo.data() + 16, Local.data(), 16);
    Pseudo[35] = 44;
    Pseudo[39] = 58;
    EXPECT_EQ(OnesSum(Pseudo + Data), 0xFFFF);
    // The source address takes part: another one gives another checksum.
    Local[15] = 3;
    EXPECT_NE(TPINGSend::Checksum6(Data, Remote, Local), 0);
}

TEST(PingMatch, EchoReplyNeedsIdentifierAndSequence) {
    const auto S4 = Sig(false, Request4);
    const Bytes Reply = Cat({Ip4Header(), ReplyTo(Request4, 0)});
    EXPECT_TRUE(Match(IPF_Raw4, Reply, S4).Matched);
    Bytes OtherSeq = Reply;
    OtherSeq[20 + 6] = 2;
    EXPECT_FALSE(Match(IPF_Raw4, OtherSeq, S4).Matched);
    Bytes OtherId = Reply;
    OtherId[20 + 4] ^= 1;
    EXPECT_FALSE(Match(IPF_Raw4, OtherId, S4).Matched);
    // The IP header length comes from the first byte (options make it longer).
    Bytes WithOptions = Cat({Ip4Header(), {1, 1, 1, 1}, ReplyTo(Request4, 0)});
    WithOptions[0] = 0x46;
    EXPECT_TRUE(Match(IPF_Raw4, WithOptions, S4).Matched);

    const auto S6 = Sig(true, Request6);
    EXPECT_TRUE(Match(IPF_Raw6, ReplyTo(Request6, 129), S6).Matched);
    EXPECT_FALSE(Match(IPF_Raw6, ReplyTo(Request6, 0), S6).Matched);
    EXPECT_TRUE(Match(IPF_Dgram4, ReplyTo(Request4, 0), S4).Matched);
    EXPECT_TRUE(Match(IPF_Dgram6, ReplyTo(Request6, 129), S6).Matched);
    EXPECT_FALSE(Match(IPF_Dgram6, ReplyTo(Request4, 0), S4).Matched);
}

TEST(PingMatch, OwnRequestAndRedirectsAreSkipped) {
    const auto S4 = Sig(false, Request4);
    const Bytes Own = Cat({Ip4Header(), Request4, Bytes(32, '7')});
    EXPECT_FALSE(Match(IPF_Raw4, Own, S4).Matched);
    EXPECT_FALSE(Match(IPF_Raw4, ErrorQuoting4(5, 1, Request4), S4).Matched);
    const auto S6 = Sig(true, Request6);
    EXPECT_FALSE(Match(IPF_Raw6, Cat({Request6, Bytes(32, '7')}), S6).Matched);
    EXPECT_FALSE(Match(IPF_Raw6, ErrorQuoting6(137, 0, Request6), S6).Matched);
}

TEST(PingMatch, ErrorsMatchByTheQuotedRequest) {
    const auto S4 = Sig(false, Request4);
    auto M = Match(IPF_Raw4, ErrorQuoting4(11, 0, Request4), S4);
    EXPECT_TRUE(M.Matched);
    EXPECT_EQ(M.Type, 11);
    EXPECT_EQ(M.Code, 0);
    M = Match(IPF_Raw4, ErrorQuoting4(3, 13, Request4), S4);
    EXPECT_TRUE(M.Matched);
    EXPECT_EQ(M.Code, 13);
    // Another echo's request (other sequence) is not ours, nor is a quote with another checksum on IPv4.
    Bytes Other = Request4;
    Other[6] = 2;
    EXPECT_FALSE(Match(IPF_Raw4, ErrorQuoting4(11, 0, Other), S4).Matched);
    Bytes OtherSum = Request4;
    OtherSum[2] = 0;
    EXPECT_FALSE(Match(IPF_Raw4, ErrorQuoting4(11, 0, OtherSum), S4).Matched);
    // The outer error's own header never counts as the quote.
    Bytes Fake = Cat({Ip4Header(), {11, 0, 0x12, 0x34, 0x21, 0x43, 0x01, 0x00}});
    EXPECT_FALSE(Match(IPF_Raw4, Fake, S4).Matched);

    // On IPv6 the kernel writes its own checksum: the quote is compared without it.
    const auto S6 = Sig(true, Request6);
    Bytes Rewritten = Request6;
    Rewritten[2] = 0xAB;
    Rewritten[3] = 0xCD;
    M = Match(IPF_Raw6, ErrorQuoting6(1, 4, Rewritten), S6);
    EXPECT_TRUE(M.Matched);
    EXPECT_EQ(M.Type, 1);
    EXPECT_EQ(M.Code, 4);
    EXPECT_TRUE(Match(IPF_Raw6, ErrorQuoting6(3, 0, Request6), S6).Matched);
}

TEST(PingMatch, QueuedErrorsOfDatagramSockets) {
    const auto S4 = Sig(false, Request4);
    Bytes Quoted = Request4;
    Quoted[2] = 0; // kernel checksum
    auto M = MatchIcmpQueuedError(11, 0, Quoted.data(), Quoted.size(), S4);
    EXPECT_TRUE(M.Matched);
    EXPECT_EQ(M.Type, 11);
    Bytes OtherSeq = Request4;
    OtherSeq[7] = 1;
    EXPECT_FALSE(MatchIcmpQueuedError(3, 1, OtherSeq.data(), OtherSeq.size(), S4).Matched);
    EXPECT_FALSE(MatchIcmpQueuedError(3, 1, Quoted.data(), 7, S4).Matched);
    EXPECT_FALSE(MatchIcmpQueuedError(3, 1, nullptr, 0, S4).Matched);
    const auto S6 = Sig(true, Request6);
    EXPECT_TRUE(MatchIcmpQueuedError(1, 3, Request6.data(), Request6.size(), S6).Matched);
}

TEST(PingMatch, ShortAndMalformedPacketsNeverMatch) {
    const auto S4 = Sig(false, Request4);
    const Bytes Reply = Cat({Ip4Header(), ReplyTo(Request4, 0)});
    for (std::size_t Length = 0; Length < 28; ++Length)
        EXPECT_FALSE(MatchIcmpReply(IPF_Raw4, Reply.data(), Length, S4).Matched) << Length;
    Bytes BadIhl = Reply;
    BadIhl[0] = 0x44; // shorter than the minimum header
    EXPECT_FALSE(Match(IPF_Raw4, BadIhl, S4).Matched);
    EXPECT_FALSE(Match(IPF_Raw4, BadIhl, S4).Matched);
    Bytes LongIhl = Cat({Ip4Header(), Request4});
    LongIhl[0] = 0x4F; // longer than the packet
    EXPECT_FALSE(Match(IPF_Raw4, LongIhl, S4).Matched);
    EXPECT_FALSE(MatchIcmpReply(IPF_Raw6, nullptr, 0, Sig(true, Request6)).Matched);
    // A family mismatch between form and request is never a match.
    EXPECT_FALSE(Match(IPF_Raw6, ReplyTo(Request4, 0), S4).Matched);
}

// The identifier by which the shared raw socket hands a packet to its exchange: the reply's own, or
// the one in the request an error quotes; the request bytes 0x21 0x43 read as 0x4321.
TEST(PingMatch, AnsweredIdentifierOfRepliesAndQuotingErrors) {
    auto Id = [](bool IPv6, const Bytes& Data) {
        return IcmpAnsweredIdentifier(IPv6, Data.data(), Data.size());
    };
    EXPECT_EQ(Id(false, Cat({Ip4Header(), ReplyTo(Request4, 0)})), 0x4321);
    for (uint8_t Type : {3, 4, 11, 12})
        EXPECT_EQ(Id(false, ErrorQuoting4(Type, 0, Request4)), 0x4321) << int(Type);
    EXPECT_EQ(Id(true, ReplyTo(Request6, 129)), 0x4321);
    for (uint8_t Type : {1, 2, 3, 4})
        EXPECT_EQ(Id(true, ErrorQuoting6(Type, 0, Request6)), 0x4321) << int(Type);
    // An IP header with options before the quoted request.
    Bytes Options = Cat({Ip4Header(), {3, 1, 0, 0, 0, 0, 0, 0}, Ip4Header(), Bytes(4, 1), Request4});
    Options[28] = 0x46;
    EXPECT_EQ(Id(false, Options), 0x4321);

    // No answer: requests (our own, looped back), redirects, errors quoting anything but an echo
    // request, a quoted IPv6 packet with extension headers, and every truncation.
    EXPECT_EQ(Id(false, Cat({Ip4Header(), Request4, Bytes(32, '7')})), -1);
    EXPECT_EQ(Id(false, ErrorQuoting4(5, 1, Request4)), -1);
    EXPECT_EQ(Id(true, ErrorQuoting6(137, 0, Request6)), -1);
    EXPECT_EQ(Id(false, ErrorQuoting4(3, 3, ReplyTo(Request4, 0))), -1);
    Bytes Extension = ErrorQuoting6(1, 4, Request6);
    Extension[8 + 6] = 0; // hop-by-hop options first
    EXPECT_EQ(Id(true, Extension), -1);
    const Bytes Error4 = ErrorQuoting4(11, 0, Request4);
    for (std::size_t Length = 0; Length < Error4.size(); ++Length)
        EXPECT_EQ(IcmpAnsweredIdentifier(false, Error4.data(), Length), -1) << Length;
    const Bytes Error6 = ErrorQuoting6(3, 0, Request6);
    for (std::size_t Length = 0; Length < Error6.size(); ++Length)
        EXPECT_EQ(IcmpAnsweredIdentifier(true, Error6.data(), Length), -1) << Length;
    Bytes BadIhl = Cat({Ip4Header(), ReplyTo(Request4, 0)});
    BadIhl[0] = 0x44;
    EXPECT_EQ(Id(false, BadIhl), -1);
    EXPECT_EQ(IcmpAnsweredIdentifier(false, nullptr, 0), -1);
}

TEST(PingIds, ProcessWideCounterGivesDistinctIdentifiers) {
    std::vector<std::vector<uint16_t>> Seen(4);
    std::vector<std::thread> Threads;
    for (auto& List : Seen)
        Threads.emplace_back([&List] {
            for (int I = 0; I < 2000; ++I)
                List.push_back(NextIcmpId());
        });
    for (auto& T : Threads)
        T.join();
    std::set<uint16_t> All;
    for (const auto& List : Seen)
        for (uint16_t Id : List) {
            EXPECT_LE(Id, 32766);
            All.insert(Id);
        }
    EXPECT_EQ(All.size(), 8000u);
}

TEST(PingFailures, NoTimeLeftFailsAtOnceWithoutCountingARequest) {
    for (int Timeout : {0, -1, -5000}) {
        TPINGSend P;
        P.Timeout = Timeout;
        EXPECT_FALSE(P.Ping("127.0.0.1"));
        EXPECT_EQ(P.PingTime(), -1);
        EXPECT_EQ(P.ReplyErrorDesc(), "Unknown error");
        EXPECT_EQ(P.Seq(), 0);
        EXPECT_EQ(P.LastError(), 10060);
    }
}

TEST(PingFailures, AnyAddressAndEmptyHostAreNeverPinged) {
    for (const char* Host : {"0.0.0.0", "::", "::0", ""}) {
        TPINGSend P;
        EXPECT_FALSE(P.Ping(Host)) << Host;
        EXPECT_EQ(P.SocketKind(), ISK_None) << Host;
        EXPECT_EQ(P.Seq(), 0);
        EXPECT_EQ(P.ReplyErrorDesc(), "Unknown error");
    }
}

TEST(PingFailures, EchoPrimitiveRefusesAnyAddressAndUnknownFamily) {
    TIcmpEchoParams Params;
    EXPECT_EQ(IcmpEchoExchange(Params).LastError, 10047);
    ResolveSockAddr(Params.Target, "0.0.0.0", "0", true, SOCK_DGRAM, IPPROTO_UDP, AF_INET);
    ASSERT_EQ(SinFamily(Params.Target), AF_INET);
    const auto R = IcmpEchoExchange(Params);
    EXPECT_FALSE(R.Sent);
    EXPECT_FALSE(R.Answered);
    EXPECT_EQ(R.LastError, 10039);
}

TEST(PingFailures, RaisedCancelEndsThePingAtOnce) {
    TPINGSend P;
    P.Abort();
    EXPECT_FALSE(P.Ping("127.0.0.1"));
    EXPECT_EQ(P.LastError(), 10053);
    EXPECT_EQ(P.ReplyErrorDesc(), "Unknown error");
    P.Cancel->Reset();
    if (CanEcho(AF_INET)) {
        EXPECT_TRUE(P.Ping("127.0.0.1"));
    }
}

TEST(PingLoopback, Ipv4ReplyCarriesSequenceOneThenTwo) {
    if (!CanEcho(AF_INET))
        GTEST_SKIP() << "no ICMP socket kind permitted";
    TPINGSend P;
    for (int Round = 1; Round <= 2; ++Round) {
        ASSERT_TRUE(P.Ping("127.0.0.1"));
        EXPECT_EQ(P.ReplyErrorDesc(), "");
        EXPECT_EQ(P.ReplyError(), IE_NoError);
        EXPECT_EQ(P.ReplyFrom(), "127.0.0.1");
        EXPECT_EQ(P.ReplyType(), 0);
        EXPECT_GE(P.PingTime(), 0);
        EXPECT_EQ(P.Seq(), Round);
        // The reply echoes the request: header as sent (sequence in machine order) and 32 bytes "7".
        const std::string& B = P.Buffer();
        const std::size_t At = P.SocketKind() == ISK_Raw ? (static_cast<uint8_t>(B[0]) & 0x0F) * 4u : 0u;
        ASSERT_EQ(B.size(), At + 44);
        EXPECT_EQ(static_cast<uint8_t>(B[At + 6]), Round);
        EXPECT_EQ(static_cast<uint8_t>(B[At + 7]), 0);
        EXPECT_EQ(B.substr(At + 12), std::string(32, '7'));
        EXPECT_EQ(OnesSum(B.substr(At)), 0xFFFF);
    }
}

TEST(PingLoopback, Ipv6Answers) {
    if (!CanEcho(AF_INET6))
        GTEST_SKIP() << "no ICMPv6 socket kind permitted";
    TPINGSend P;
    ASSERT_TRUE(P.Ping("::1"));
    EXPECT_EQ(P.ReplyErrorDesc(), "");
    EXPECT_EQ(P.ReplyFrom(), "::1");
    EXPECT_EQ(P.ReplyType(), 129);
    EXPECT_EQ(P.IcmpEcho(), 128);
    EXPECT_EQ(P.IcmpEchoReply(), 129);
    EXPECT_EQ(P.IcmpUnreach(), 1);
    ASSERT_EQ(P.Buffer().size(), 44u);
    EXPECT_EQ(static_cast<uint8_t>(P.Buffer()[6]), 1);
}

TEST(PingLoopback, PacketSizeSetsTheRequestLength) {
    if (!CanEcho(AF_INET))
        GTEST_SKIP() << "no ICMP socket kind permitted";
    TIcmpEchoParams Params;
    ResolveSockAddr(Params.Target, "127.0.0.1", "0", true, SOCK_DGRAM, IPPROTO_UDP, AF_INET);
    Params.TimeoutMs = 2000;
    for (int Size : {0, 1, 100, -3}) {
        Params.PacketSize = Size;
        const auto R = IcmpEchoExchange(Params);
        ASSERT_TRUE(R.Answered) << Size;
        EXPECT_EQ(R.Request.size(), 12u + std::max(Size, 0)) << Size;
        EXPECT_EQ(R.Request[0], 8);
        if (R.Kind == ISK_Raw) {
            EXPECT_EQ(OnesSum(R.Request), 0xFFFF);
        }
    }
}

TEST(PingLoopback, TwoThreadsNeverTakeEachOthersReplies) {
    if (!CanEcho(AF_INET))
        GTEST_SKIP() << "no ICMP socket kind permitted";
    std::atomic<int> Wrong{0}, Failed{0};
    auto Pinger = [&](const std::string& Target) {
        for (int I = 0; I < 1000; ++I) {
            TPINGSend P;
            P.Timeout = 2000;
            if (!P.Ping(Target) || !P.ReplyErrorDesc().empty())
                ++Failed;
            else if (P.ReplyFrom() != Target)
                ++Wrong;
        }
    };
    std::thread A(Pinger, "127.0.0.1");
    std::thread B(Pinger, "127.0.0.2");
    A.join();
    B.join();
    EXPECT_EQ(Wrong.load(), 0);
    // Under concurrent load the kernel may drop a raw socket's copy of a reply (seen about once in
    // 10,000 echoes, also with other programs); a lost echo is a failure, never someone else's reply.
    EXPECT_LE(Failed.load(), 3);
}

TEST(PingLoopback, AvailabilityProbeAgreesWithTheEcho) {
    const bool Any = IcmpEchoAvailable();
    EXPECT_EQ(Any, CanEcho(AF_INET) || CanEcho(AF_INET6));
    if (!CanEcho(AF_INET))
        GTEST_SKIP();
    TPINGSend P;
    EXPECT_TRUE(P.Ping("127.0.0.1"));
    EXPECT_EQ(P.SocketKind(), IcmpSocketKindFor(AF_INET));
}
