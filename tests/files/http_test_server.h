// A real HTTP server on 127.0.0.1 for download tests: Python's http.server
// started by the test (natively, or as a Linux program from under Wine),
// serving the files of root + "www\". Requests are logged in root +
// "requests.log"; "/cut/NAME" sends half of NAME with the full length
// announced and closes the connection; "/short/NAME" answers as HTTP/1.0
// without a length and closes after a tenth of NAME; "/drip/NAME" announces
// the full length and sends two bytes every half second. Both serve a
// "tocopy.txt" whole.
#pragma once

#include <chrono>
#include <string>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/Http.h"
#include "support/TestEnv.h"

#ifdef _WIN32
#include "platform/win32/WindowsSupport.h"
#else
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace httptest {

inline const char* const ServerScript = R"PY(
import http.server, os, socketserver, sys, threading, time
root = sys.argv[1]
www = os.path.join(root, "www")
class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def __init__(self, *a, **k):
        super().__init__(*a, directory=www, **k)
    def log_message(self, *a):
        pass
    def do_GET(self):
        with open(os.path.join(root, "requests.log"), "a") as log:
            log.write(self.path + "\n")
        if self.path == "/__quit":
            self.send_response(200); self.send_header("Content-Length", "0"); self.end_headers()
            threading.Thread(target=self.server.shutdown).start()
            return
        if self.path.startswith("/cut/"):
            data = open(os.path.join(www, self.path[5:]), "rb").read()
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data[: len(data) // 2]); self.wfile.flush()
            self.close_connection = True
            return
        for kind in ("/short/", "/drip/"):
            if self.path.startswith(kind) and not self.path.endswith("/tocopy.txt"):
                data = open(os.path.join(www, self.path[len(kind):]), "rb").read()
                self.close_connection = True
                try:
                    if kind == "/short/":
                        self.wfile.write(b"HTTP/1.0 200 OK\r\n\r\n" + data[: len(data) // 10])
                        return
                    self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(data))
                    for i in range(0, len(data), 2):
                        self.wfile.write(data[i : i + 2]); self.wfile.flush()
                        time.sleep(0.5)
                except OSError:
                    pass
                return
            if self.path.startswith(kind):
                self.path = self.path[len(kind) - 1:]
        super().do_GET()
    def copyfile(self, source, dest):
        try:
            self.connection.sendfile(source)
        except Exception:
            super().copyfile(source, dest)
class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    def handle_error(self, request, client_address):
        pass  # a client that stops reading (Cancel) is no server error
server = Server(("127.0.0.1", 0), Handler)
with open(os.path.join(root, "port.tmp"), "w") as f:
    f.write(str(server.server_address[1]))
os.replace(os.path.join(root, "port.tmp"), os.path.join(root, "port.txt"))
threading.Timer(900, server.shutdown).start()
server.serve_forever()
os._exit(0)
)PY";

class Server {
  public:
    // root: a Windows path with a trailing backslash.
    explicit Server(const std::string& root) : root_(root) {
        testenv::WriteFile(root_ + "server.py", ServerScript);
        testenv::WriteFile(root_ + "www\\.keep", "");
        const std::string unixRoot = UnixPath(root_);
        Start(unixRoot + "server.py", unixRoot);
        for (int i = 0; i < 200 && port_ == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (plat::fileExists(root_ + "port.txt"))
                port_ = std::stoi(testenv::ReadFile(root_ + "port.txt"));
        }
    }
    ~Server() {
        if (port_ != 0) {
            plat::HttpRequest quit;
            quit.url = Url("__quit");
            std::string error;
            plat::httpGet(quit, {}, error);
        }
#ifndef _WIN32
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
#endif
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool Running() const {
        return port_ != 0;
    }
    int Port() const {
        return port_;
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
    }
    // Puts a file into the served folder (name with "\" for subfolders).
    void Put(const std::string& name, const std::string& bytes) const {
        testenv::WriteFile(root_ + "www\\" + name, bytes);
    }
    std::string Requests() const {
        return plat::fileExists(root_ + "requests.log") ? testenv::ReadFile(root_ + "requests.log")
                                                        : "";
    }
    std::string UnixWww() const {
        return UnixPath(root_) + "www/";
    }

  private:
#ifdef _WIN32
    static std::string UnixPath(const std::string& path) {
        using Fn = char*(__cdecl*)(const wchar_t*);
        auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        if (!fn) return path;
        char* unixPath = fn(plat::win::widen(path).c_str());
        if (!unixPath) return path;
        std::string result = unixPath;
        HeapFree(GetProcessHeap(), 0, unixPath);
        if (!result.empty() && result.back() != '/') result += '/';
        return result;
    }
    void Start(const std::string& script, const std::string& root) {
        // Wine starts a Linux program given by its DOS path.
        std::wstring line = L"Z:\\usr\\bin\\python3 \"" + plat::win::widen(script) + L"\" \"" +
                            plat::win::widen(root) + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                           &pi)) {
            if (pi.hThread) CloseHandle(pi.hThread);
            if (pi.hProcess) CloseHandle(pi.hProcess);
        }
    }
#else
    static std::string UnixPath(const std::string& path) {
        std::string native = testenv::Native(path);
        if (!native.empty() && native.back() != '/') native += '/';
        return native;
    }
    void Start(const std::string& script, const std::string& root) {
        pid_ = fork();
        if (pid_ == 0) {
            execlp("python3", "python3", script.c_str(), root.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    pid_t pid_ = -1;
#endif
    std::string root_;
    int port_ = 0;
};

} // namespace httptest
