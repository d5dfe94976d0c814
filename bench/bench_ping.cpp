// ICMP echo client speed: 1,000 echoes of 127.0.0.1 with our client, then 1,000 with fping in the same
// run, printing per-echo time and processor time of both and their ratio.
//
// Fairness: our client runs the checks' way, one fresh client and socket per echo, each echo waiting
// for its reply; its per-echo time is the whole Ping call (socket, send, wait, close). fping paces its
// requests (-p 1, its smallest interval), so its wall time says nothing of its cost; we take the round
// trip it reports for each echo (send to reply, inside its running process) and the processor time
// its process used. Both compare our complete exchange against fping's bare round trip.
#include "net/pingsend.h"

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/time.h>
#include <vector>

namespace {

constexpr int Echoes = 1000;

double CpuSeconds(int Who) {
    rusage Usage{};
    getrusage(Who, &Usage);
    return Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec +
           (Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

struct TFigures {
    int Answered = 0;
    double PerEchoUs = 0; // our whole call / fping's reported round trip
    double CpuPerEchoUs = 0;
    double WallPerEchoUs = 0;
};

TFigures RunOurs(const char*& KindName) {
    TFigures F;
    const double Cpu0 = CpuSeconds(RUSAGE_SELF);
    const auto Start = std::chrono::steady_clock::now();
    TIcmpSocketKind Kind = ISK_None;
    for (int I = 0; I < Echoes; ++I) {
        TPINGSend P;
        P.Timeout = 2000;
        if (P.Ping("127.0.0.1") && P.ReplyErrorDesc().empty())
            ++F.Answered;
        Kind = P.SocketKind();
    }
    const double Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    F.CpuPerEchoUs = (CpuSeconds(RUSAGE_SELF) - Cpu0) / Echoes * 1e6;
    F.WallPerEchoUs = Wall / Echoes * 1e6;
    F.PerEchoUs = F.WallPerEchoUs;
    KindName = Kind == ISK_Datagram ? "datagram" : Kind == ISK_Raw ? "raw" : "none";
    return F;
}

bool RunFping(TFigures& F) {
    const double Cpu0 = CpuSeconds(RUSAGE_CHILDREN);
    const auto Start = std::chrono::steady_clock::now();
    FILE* Pipe = popen("fping -C 1000 -p 1 -q 127.0.0.1 2>&1", "r");
    if (!Pipe)
        return false;
    std::string Out;
    char Buf[4096];
    std::size_t N;
    while ((N = fread(Buf, 1, sizeof Buf, Pipe)) > 0)
        Out.append(Buf, N);
    const int Status = pclose(Pipe);
    const double Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    if (Status == -1 || Out.find(':') == std::string::npos)
        return false;
    // "127.0.0.1 : 0.020 0.015 - ..." in milliseconds, "-" for a lost echo.
    std::istringstream Values(Out.substr(Out.find(':') + 1));
    std::string Value;
    double SumMs = 0;
    while (Values >> Value) {
        if (Value == "-")
            continue;
        SumMs += std::stod(Value);
        ++F.Answered;
    }
    if (F.Answered == 0)
        return false;
    F.PerEchoUs = SumMs / F.Answered * 1000;
    F.CpuPerEchoUs = (CpuSeconds(RUSAGE_CHILDREN) - Cpu0) / Echoes * 1e6;
    F.WallPerEchoUs = Wall / Echoes * 1e6;
    return true;
}

} // namespace

int main() {
    const char* Kind = "none";
    const TFigures Ours = RunOurs(Kind);
    std::printf(
        "ours  (%s sockets): %d/%d answered, %.1f us per echo (whole call), %.1f us processor per echo\n",
        Kind, Ours.Answered, Echoes, Ours.PerEchoUs, Ours.CpuPerEchoUs);
    TFigures Theirs;
    if (!RunFping(Theirs)) {
        std::printf("fping: not available or no answers; no comparison\n");
        return 0;
    }
    std::printf(
        "fping (-C 1000 -p 1): %d/%d answered, %.1f us per echo (reported round trip), %.1f us processor "
        "per echo, %.1f us wall per echo (paced)\n",
        Theirs.Answered, Echoes, Theirs.PerEchoUs, Theirs.CpuPerEchoUs, Theirs.WallPerEchoUs);
    std::printf("ratio ours/fping: %.2f per echo, %.2f processor\n", Ours.PerEchoUs / Theirs.PerEchoUs,
                Ours.CpuPerEchoUs / Theirs.CpuPerEchoUs);
    return 0;
}
