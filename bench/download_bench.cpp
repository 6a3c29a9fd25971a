// Download benchmark: THttpClient::DownloadToFile against "curl -o" of the
// same file from the same local server, in one run.
//
//   download_bench [work folder] [--mib=N]
//
// Starts a Python HTTP server on 127.0.0.1 (it sends files with sendfile),
// serving one file of N MiB (200). Each client downloads it nine times in
// turns (A B A B ...); the fastest and the median run of each count. Prints the
// times, the throughputs and the ratio of ours to curl's.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/Messages.h"
#include "files/HttpClient.h"
#include "platform/Emulation.h"
#include "platform/FileSystem.h"
#include "platform/System.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

const char* const ServerScript = R"PY(
import http.server, os, socketserver, sys
os.chdir(sys.argv[1])
class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def log_message(self, *a):
        pass
    def copyfile(self, source, dest):
        self.connection.sendfile(source)
class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
server = Server(("127.0.0.1", 0), Handler)
with open("port.tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.replace("port.tmp", "port.txt")
server.serve_forever()
)PY";

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    fs::path work = "/var/tmp/setup-download-bench";
    uint64_t mib = 200;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--mib=", 0) == 0)
            mib = std::stoull(a.substr(6));
        else
            work = a;
    }
    fs::remove_all(work);
    fs::create_directories(work / "www");
    fs::create_directories(work / "out");
    setenv("SETUP_ROOT", (work / "root").c_str(), 1);
    plat::resetEmulation();
    setup::SetUnattended(true);

    const uint64_t size = mib << 20;
    {
        std::mt19937_64 rng(42);
        std::ofstream out(work / "www" / "big.bin", std::ios::binary);
        std::vector<uint64_t> block(1 << 17);
        for (uint64_t done = 0; done < size; done += block.size() * 8) {
            for (auto& v : block)
                v = rng();
            out.write(
                reinterpret_cast<const char*>(block.data()),
                static_cast<std::streamsize>(std::min<uint64_t>(block.size() * 8, size - done)));
        }
    }
    std::ofstream(work / "server.py") << ServerScript;
    const pid_t server = fork();
    if (server == 0) {
        execlp("python3", "python3", (work / "server.py").c_str(), (work / "www").c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int port = 0;
    for (int i = 0; i < 200 && port == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream in(work / "www" / "port.txt");
        in >> port;
    }
    if (port == 0) {
        std::fprintf(stderr, "the server did not start\n");
        kill(server, SIGTERM);
        return 1;
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/big.bin";
    const fs::path oursPath = work / "out" / "ours.bin";
    const fs::path curlPath = work / "out" / "curl.bin";

    setup::THttpClient client;
    std::vector<double> oursRuns, curlRuns;
    bool ok = true;
    for (int round = 0; round < 9; ++round) {
        Clock::time_point start = Clock::now();
        ok &= client.DownloadToFile(setup::NoOwner, url, plat::toWindowsPath(oursPath.string()));
        oursRuns.push_back(Seconds(start));
        const std::string command =
            "curl -s -f --noproxy '*' -o '" + curlPath.string() + "' '" + url + "'";
        start = Clock::now();
        ok &= std::system(command.c_str()) == 0;
        curlRuns.push_back(Seconds(start));
    }
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    ok &= fs::file_size(oursPath) == size && fs::file_size(curlPath) == size;
    if (!ok) {
        std::fprintf(stderr, "a download failed\n");
        return 1;
    }
    std::sort(oursRuns.begin(), oursRuns.end());
    std::sort(curlRuns.begin(), curlRuns.end());
    const double mb = static_cast<double>(size) / (1 << 20);
    std::printf("%llu MiB from 127.0.0.1, %zu runs each: fastest / median\n",
                static_cast<unsigned long long>(mib), oursRuns.size());
    const double oursBest = oursRuns.front(), oursMid = oursRuns[oursRuns.size() / 2];
    const double curlBest = curlRuns.front(), curlMid = curlRuns[curlRuns.size() / 2];
    std::printf("  THttpClient  %7.3f s %7.3f s  %8.1f MiB/s\n", oursBest, oursMid, mb / oursBest);
    std::printf("  curl -o      %7.3f s %7.3f s  %8.1f MiB/s\n", curlBest, curlMid, mb / curlBest);
    std::printf("  throughput ratio (ours / curl): fastest %.2f, median %.2f\n",
                curlBest / oursBest, curlMid / oursMid);
    fs::remove_all(work);
    return 0;
}
