// Sequential GETs of a small file from a local web server: our HTTP client against libcurl's easy
// interface, both with a new connection per request (as the host check does) and on a kept connection.
#include "net/httpsend.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <curl/curl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kRequests = 1000;

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), len);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

bool PortOpen(int Port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(Port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

// The web server in its own process group, stopped with it on destruction.
class TWebServer {
public:
    TWebServer(const std::string& Dir, int Port) {
        const std::string script =
            (std::filesystem::path(__FILE__).parent_path().parent_path() / "tests/peers/lighttpd.sh")
                .string();
        Pid = fork();
        if (Pid == 0) {
            setpgid(0, 0);
            execl("/bin/sh", "sh", script.c_str(), Dir.c_str(), std::to_string(Port).c_str(), nullptr);
            _exit(127);
        }
    }
    ~TWebServer() {
        if (Pid > 0) {
            kill(-Pid, SIGTERM);
            waitpid(Pid, nullptr, 0);
        }
    }

private:
    pid_t Pid = -1;
};

std::size_t Discard(char*, std::size_t Size, std::size_t Count, void*) {
    return Size * Count;
}

template <typename F> double PerRequestUs(F&& Request, int& Failures) {
    Failures = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRequests; ++i)
        Failures += Request() ? 0 : 1;
    const auto us =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
            .count();
    return static_cast<double>(us) / kRequests;
}

void Report(const char* Mode, double Ours, int OursFailed, double Curl, int CurlFailed) {
    std::printf(
        "%-22s ours %8.1f us/request (%d failed)   libcurl %8.1f us/request (%d failed)   ratio %.2f\n", Mode,
        Ours, OursFailed, Curl, CurlFailed, Ours / Curl);
}

} // namespace

int main() {
    const std::string dir =
        std::filesystem::temp_directory_path() / ("bench_http." + std::to_string(getpid()));
    std::filesystem::create_directories(dir + "/www");
    std::ofstream(dir + "/www/small.txt") << std::string(512, 'x');
    const int port = FreePort();
    int failed = 0;
    {
        TWebServer server(dir, port);
        for (int i = 0; i < 100 && !PortOpen(port); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/small.txt";
        curl_global_init(CURL_GLOBAL_DEFAULT);

        // New connection per request: a fresh client each time, as the host check uses it.
        int oursFailed = 0, curlFailed = 0;
        const double oursFresh = PerRequestUs(
            [&] {
                THTTPSend http;
                return http.ExecuteMethod("GET", url) && http.ResultCode == 200 &&
                       http.Document.Size() == 512;
            },
            oursFailed);
        const double curlFresh = PerRequestUs(
            [&] {
                CURL* c = curl_easy_init();
                curl_easy_setopt(c, CURLOPT_URL, url.c_str());
                curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Discard);
                const bool ok = curl_easy_perform(c) == CURLE_OK;
                curl_easy_cleanup(c);
                return ok;
            },
            curlFailed);
        Report("new connection", oursFresh, oursFailed, curlFresh, curlFailed);
        failed += oursFailed + curlFailed;

        // One kept connection.
        THTTPSend kept;
        kept.Protocol = "1.1";
        const double oursKept = PerRequestUs(
            [&] {
                kept.Headers.clear();
                kept.Document.Clear();
                return kept.ExecuteMethod("GET", url) && kept.ResultCode == 200 &&
                       kept.Document.Size() == 512;
            },
            oursFailed);
        CURL* c = curl_easy_init();
        curl_easy_setopt(c, CURLOPT_URL, url.c_str());
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Discard);
        const double curlKept = PerRequestUs([&] { return curl_easy_perform(c) == CURLE_OK; }, curlFailed);
        curl_easy_cleanup(c);
        Report("kept connection", oursKept, oursFailed, curlKept, curlFailed);
        failed += oursFailed + curlFailed;
        curl_global_cleanup();
    }
    std::filesystem::remove_all(dir);
    return failed == 0 ? 0 : 1;
}
