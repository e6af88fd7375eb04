// Owns the server's child process and its stdout pipe.
#include "support/python_http_server.h"

#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kScript[] = R"PY(
import http.server, os, sys
class Handler(http.server.SimpleHTTPRequestHandler):
    def do_POST(self):
        data = self.rfile.read(int(self.headers.get('Content-Length', '0')))
        body = b'posted:' + data
        self.send_response(200)
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass
os.chdir(sys.argv[1])
server = http.server.HTTPServer(('127.0.0.1', 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
)PY";

} // namespace

int PythonHttpServer::Start(const std::string& folder, int timeoutMs)
{
    int out[2];
    if (pipe(out) != 0) return -1;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execlp("python3", "python3", "-c", kScript, folder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    if (pid_ < 0) {
        close(out[0]);
        return -1;
    }
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&p, 1, timeoutMs) > 0) {
        char buffer[64];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    const int port = std::atoi(line.c_str());
    if (port <= 0) {
        Stop();
        return -1;
    }
    return port;
}

void PythonHttpServer::Stop()
{
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        usleep(10000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}
