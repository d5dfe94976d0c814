// Scripted UDP agent and the real agent for the SNMP client's tests.
#include "tests/net/snmp_helpers.h"

#include "net/asn1util.h"
#include "net/snmpsend.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zt::snmptest {

ScriptedAgent::ScriptedAgent(std::function<void(ScriptedAgent& Agent)> Script) {
    Fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in Sa{};
    Sa.sin_family = AF_INET;
    Sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t Len = sizeof Sa;
    bind(Fd_, reinterpret_cast<sockaddr*>(&Sa), sizeof Sa);
    getsockname(Fd_, reinterpret_cast<sockaddr*>(&Sa), &Len);
    Port_ = ntohs(Sa.sin_port);
    if (pipe(Wake_) != 0)
        Wake_[0] = Wake_[1] = -1;
    Thread_ = std::thread([this, Script = std::move(Script)]() { Script(*this); });
}

ScriptedAgent::~ScriptedAgent() {
    if (Wake_[1] >= 0 && write(Wake_[1], "x", 1) < 0) {
    }
    if (Thread_.joinable())
        Thread_.join();
    close(Fd_);
    close(Wake_[0]);
    close(Wake_[1]);
}

std::string ScriptedAgent::Receive(int TimeoutMs) {
    pollfd Fds[2] = {{Fd_, POLLIN, 0}, {Wake_[0], POLLIN, 0}};
    if (poll(Fds, 2, TimeoutMs) <= 0 || (Fds[1].revents & POLLIN) || !(Fds[0].revents & POLLIN))
        return "";
    char Buf[65536];
    sockaddr_storage From{};
    socklen_t Len = sizeof From;
    const ssize_t N = recvfrom(Fd_, Buf, sizeof Buf, 0, reinterpret_cast<sockaddr*>(&From), &Len);
    if (N < 0)
        return "";
    Peer_.assign(reinterpret_cast<const char*>(&From), Len);
    return std::string(Buf, static_cast<size_t>(N));
}

void ScriptedAgent::Answer(const std::string& Bytes) {
    if (Peer_.empty())
        return;
    sendto(Fd_, Bytes.data(), Bytes.size(), 0, reinterpret_cast<const sockaddr*>(Peer_.data()),
           static_cast<socklen_t>(Peer_.size()));
}

void ScriptedAgent::Join() {
    if (Thread_.joinable())
        Thread_.join();
}

void ScriptedAgent::StayQuiet(int TimeoutMs) {
    pollfd Fd = {Wake_[0], POLLIN, 0};
    poll(&Fd, 1, TimeoutMs);
}

std::string ResponseFor(const std::string& QueryBytes, int RequestIdDelta, int ErrorStatus,
                        const std::string& Value, int ValueType) {
    TSNMPRec Query;
    if (!Query.DecodePacket(QueryBytes))
        return "";
    TSNMPRec Reply;
    Reply.Version = Query.Version;
    Reply.Community = Query.Community;
    Reply.PDUType = PDUGetResponse;
    Reply.RequestID = Query.RequestID + RequestIdDelta;
    Reply.ErrorStatus = ErrorStatus;
    Reply.ErrorIndex = ErrorStatus ? 1 : 0;
    const std::string Oid = Query.VarBindCount() ? Query.VarBindAt(0)->OID : "1.3.6.1.2.1.1.1.0";
    Reply.AddVarBind(Query.PDUType == PDUGetNextRequest ? Oid + ".1" : Oid, Value, ValueType);
    return Reply.EncodePacket();
}

SnmpdPeer::SnmpdPeer() {
    if (!zt::test::HaveProgram("snmpd") || !zt::test::HaveProgram("snmpget"))
        return;
    Port_ = zt::test::FreeUdpPort();
    Process_ = zt::test::PeerProcess({"sh", zt::test::PeerScript("snmpd.sh"), Dir_.path(), PortText()});
    // The agent is up once it answers; poll with the oracle, bounded.
    for (int I = 0; I < 50 && !Ready_; ++I) {
        int Rc = -1;
        const std::string Out = Tool(
            "snmpget -v1 -c public -t 0.2 -r 0 -Ovq 127.0.0.1:" + PortText() + " 1.3.6.1.2.1.1.1.0", &Rc);
        Ready_ = Rc == 0 && Out.find("Test agent") != std::string::npos;
        if (!Ready_)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

std::string SnmpdPeer::Tool(const std::string& Args, int* Rc) const {
    const size_t Space = Args.find(' ');
    const std::string Command =
        Args.substr(0, Space) + " -m ''" + (Space == std::string::npos ? "" : Args.substr(Space));
    std::string Out = zt::test::RunCommand("MIBS= " + Command + " 2>&1", Rc);
    while (!Out.empty() && (Out.back() == '\n' || Out.back() == ' '))
        Out.pop_back();
    return Out;
}

} // namespace zt::snmptest
