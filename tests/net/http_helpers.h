// A scripted TCP server on loopback for the HTTP client's edge cases: it records each request and
// answers by a fixed script (bytes, pauses, a drip, an endless body, a close or a reset).
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zt::test {

struct THttpStep {
    enum TKind { Send, Sleep, Close, Reset, Hold, Drip, Endless } Kind;
    std::string Data; // Send, Drip (sent one byte at a time, repeated), Endless (repeated)
    int Ms = 0;       // Sleep, Drip (between bytes)
};

THttpStep SendStep(const std::string& Data);
THttpStep SleepStep(int Ms);
THttpStep CloseStep();
THttpStep ResetStep();
THttpStep HoldStep(); // keeps the connection open, silent, until the server stops
THttpStep DripStep(const std::string& Data, int Ms);
THttpStep EndlessStep(const std::string& Data);

class TScriptedHttpServer {
public:
    // Serves every connection by the same script on a loopback Address ("127.0.0.1", "::1", ...) and
    // Port (0: one the system picks). Throws std::runtime_error when it cannot listen there.
    explicit TScriptedHttpServer(std::vector<THttpStep> Script, const std::string& Address = "127.0.0.1",
                                 int Port = 0);
    ~TScriptedHttpServer();
    TScriptedHttpServer(const TScriptedHttpServer&) = delete;
    TScriptedHttpServer& operator=(const TScriptedHttpServer&) = delete;

    int Port() const { return FPort; }
    // The request head of the Index-th connection (up to and including the empty line); waits up to
    // 5 s for it, "" when none came.
    std::string Request(std::size_t Index = 0);
    int Connections() const { return FConnections.load(); }

private:
    void Serve();
    void RunScript(int Fd);
    bool Pause(int Ms); // false when the server is stopping

    std::vector<THttpStep> FScript;
    int FListen = -1;
    int FWake[2] = {-1, -1};
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::atomic<int> FConnections{0};
    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<std::string> FRequests;
    std::thread FThread;
};

} // namespace zt::test
