// Receive-path figures of the socket layer over a local socket pair: many short lines, and one long
// line arriving in 1 KiB pieces (the time per byte stays flat as the line grows: no rescans).
#include "net/blcksock.h"

#include <benchmark/benchmark.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// Writes Payload into a socket pair in Piece-sized sends from a thread; the reading end goes to Sock.
class Feeder {
public:
    Feeder(TTCPBlockSocket& Sock, std::string Payload, std::size_t Piece) {
        int pair[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair);
        Sock.SetSocket(pair[0]);
        Writer = std::thread([fd = pair[1], payload = std::move(Payload), Piece] {
            for (std::size_t at = 0; at < payload.size(); at += Piece)
                if (::send(fd, payload.data() + at, std::min(Piece, payload.size() - at), MSG_NOSIGNAL) <= 0)
                    break;
            ::close(fd);
        });
    }
    ~Feeder() { Writer.join(); }

private:
    std::thread Writer;
};

void BM_ShortLines(benchmark::State& state) {
    const int lines = 10000;
    std::string payload;
    for (int i = 0; i < lines; ++i)
        payload += "250-line number " + std::to_string(i) + "\r\n";
    for (auto _ : state) {
        TTCPBlockSocket sock;
        Feeder feeder(sock, payload, 4096);
        int got = 0;
        while (got < lines && !sock.RecvString(5000).empty())
            ++got;
        benchmark::DoNotOptimize(got);
    }
    state.SetItemsProcessed(state.iterations() * lines);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(payload.size()));
}
BENCHMARK(BM_ShortLines)->Unit(benchmark::kMillisecond);

void BM_LongLine(benchmark::State& state) {
    const std::string payload = std::string(static_cast<std::size_t>(state.range(0)), 'x') + "\r\n";
    for (auto _ : state) {
        TTCPBlockSocket sock;
        Feeder feeder(sock, payload, 1024);
        benchmark::DoNotOptimize(sock.RecvString(10000).size());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(payload.size()));
}
BENCHMARK(BM_LongLine)
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Arg(4 << 20)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
