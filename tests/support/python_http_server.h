// Python's http.server on an ephemeral loopback port, serving a folder (GET,
// HEAD) and echoing POST bodies as "posted:" + body; started and stopped by
// the test, with a bounded wait for readiness.
#pragma once

#include <string>
#include <sys/types.h>

class PythonHttpServer {
public:
    ~PythonHttpServer() { Stop(); }
    // The port, or -1 when python3 is missing or the server did not come up in time.
    int Start(const std::string& folder, int timeoutMs = 120000);
    void Stop();

private:
    pid_t pid_ = -1;
};
