#include "core/memory.h"
#include "network/network.h"
#include "support/network_fixture.h"
#include "support/python_http_server.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

std::string ReadFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class HttpTest : public NetWorkTest {
public:
    // Steps the transfer as the message loop does until it finishes.
    bool RunToEnd(int slot, int timeoutMs = 60000)
    {
        return PumpUntil([&] {
            StepHttpHandle(slot);
            int result = -1;
            GetHttpHandleState(slot, &result, nullptr, nullptr, nullptr);
            return result != -1;
        }, timeoutMs);
    }
    struct Outcome {
        int result, detail, length, received;
    };
    Outcome State(int slot)
    {
        Outcome o{};
        GetHttpHandleState(slot, &o.result, &o.detail, &o.length, &o.received);
        return o;
    }
    std::string Body(int slot)
    {
        int size = -1;
        void* block = TakeHttpBody(slot, &size);
        if (block == nullptr) return "<none>";
        std::string s(static_cast<char*>(block), static_cast<std::size_t>(size));
        FreeMemory(block);
        return s;
    }
};

TEST_F(HttpTest, GetPostAndHeadAgainstARealServerDeliverExactBodies)
{
    const std::string body(10000, 'x');
    std::string data = body;
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
    std::ofstream("page.bin", std::ios::binary) << data;
    PythonHttpServer server;
    const int serverPort = server.Start(".");
    if (serverPort < 0) GTEST_SKIP() << "python3 is not available";
    Start();

    const int toMemory = OpenHttpHandle(HTTP_GET, "127.0.0.1", serverPort, "/page.bin", nullptr, 0, nullptr);
    ASSERT_GE(toMemory, 0);
    ASSERT_TRUE(RunToEnd(toMemory));
    EXPECT_EQ(State(toMemory).result, 0);
    EXPECT_EQ(State(toMemory).length, 10000);
    EXPECT_EQ(Body(toMemory), data);

    const int toFile = OpenHttpHandle(HTTP_GET, "127.0.0.1", serverPort, "/page.bin", nullptr, 0, "got.bin");
    ASSERT_TRUE(RunToEnd(toFile));
    EXPECT_EQ(State(toFile).result, 0);
    EXPECT_EQ(State(toFile).received, 10000);
    EXPECT_EQ(ReadFile("got.bin"), data);

    const std::string sent = "name=value&more";
    const int post = OpenHttpHandle(HTTP_POST, "127.0.0.1", serverPort, "/echo", sent.data(), int(sent.size()), nullptr);
    ASSERT_TRUE(RunToEnd(post));
    EXPECT_EQ(State(post).result, 0);
    EXPECT_EQ(Body(post), "posted:" + sent);
    const int postFile = OpenHttpHandle(HTTP_POST, "127.0.0.1", serverPort, "/echo", sent.data(), int(sent.size()), "post.bin");
    ASSERT_TRUE(RunToEnd(postFile));
    EXPECT_EQ(ReadFile("post.bin"), "posted:" + sent);

    const int head = OpenHttpHandle(HTTP_HEAD, "127.0.0.1", serverPort, "/page.bin", nullptr, 0, nullptr);
    ASSERT_TRUE(RunToEnd(head));
    EXPECT_EQ(State(head).result, 0);
    EXPECT_EQ(State(head).length, 10000);

    const int missing = OpenHttpHandle(HTTP_GET, "127.0.0.1", serverPort, "/none", nullptr, 0, nullptr);
    ASSERT_TRUE(RunToEnd(missing));
    EXPECT_EQ(State(missing).result, 2);
    EXPECT_EQ(State(missing).detail, 1);
    EXPECT_TRUE(Contains(ReadLogFile(), "接続に失敗しました (戻り値:404)"));
}

// A server that reads the request up to its blank line (and a POST body),
// then answers a script and closes, gracefully or with a reset.
struct ScriptedServer {
    LoopbackPeer peer;
    std::thread thread;
    std::string request;
    void Run(const std::string& answer, bool reset = false, int holdMs = 0)
    {
        ASSERT_TRUE(peer.Listen());
        thread = std::thread([this, answer, reset, holdMs] {
            if (!peer.Accept(kPeerWaitMs)) return;
            for (std::string line; line != "\n" && line != "\r\n";) {
                line = peer.ReceiveUntil("\n", kPeerWaitMs);
                if (line.empty()) break;
                request += line;
            }
            if (request.rfind("POST", 0) == 0) {
                const std::size_t at = request.find("Content-Length: ");
                if (at != std::string::npos) {
                    std::string more(static_cast<std::size_t>(std::atoi(request.c_str() + at + 16)), '\0');
                    peer.ReceiveExactly(more.data(), more.size(), kPeerWaitMs);
                    request += more;
                }
            }
            peer.SendAll(answer);
            if (holdMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            if (reset) peer.Reset();
            else peer.Close();
        });
    }
    ~ScriptedServer()
    {
        if (thread.joinable()) thread.join();
    }
};

TEST_F(HttpTest, RequestsKeepTheirWireForms)
{
    Start();
    struct Case {
        int kind;
        const char* expected;
    } cases[] = {
        {HTTP_GET, "GET /a/b?c=1 HTTP/1.0\r\nHost: 127.0.0.1:%d\r\nConnection: close\r\n\r\n"},
        {HTTP_POST, "POST /a/b?c=1 HTTP/1.0\nHost: 127.0.0.1:%d\nContent-Length: 3\n\nabc"},
        {HTTP_HEAD, "HEAD /a/b?c=1 HTTP/1.0\n\n"},
    };
    for (const Case& c : cases) {
        ScriptedServer server;
        server.Run("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
        const int slot = OpenHttpHandle(c.kind, "127.0.0.1", server.peer.Port(), "/a/b?c=1", "abc", 3, nullptr);
        ASSERT_TRUE(RunToEnd(slot));
        EXPECT_EQ(State(slot).result, 0);
        server.thread.join();
        char expected[256];
        std::snprintf(expected, sizeof expected, c.expected, server.peer.Port());
        EXPECT_EQ(server.request, expected);
        CloseHttpHandle(slot);
    }
}

TEST_F(HttpTest, ResponsesFromOrdinaryAndHostileServersEndWithinBounds)
{
    Start();
    const std::string longLine = "X-Long: " + std::string(5000, 'v') + "\r\n";
    struct Case {
        const char* name;
        int kind;
        std::string answer;
        bool reset;
        int result, detail;
        std::string body;  // "<none>" when no body is handed out
    } cases[] = {
        {"lengthless body to memory", HTTP_GET, "HTTP/1.0 200 OK\r\nA: b\r\n\r\nuntil the end", false, 0, -1, "until the end"},
        {"length without a blank", HTTP_GET, "HTTP/1.0 200 OK\r\nContent-Length:3\r\n\r\nabc", false, 0, -1, "abc"},
        {"lower-case length", HTTP_GET, "HTTP/1.0 200 OK\r\ncontent-length:  4\r\n\r\nabcdEXTRA", false, 0, -1, "abcd"},
        {"zero length", HTTP_GET, "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", false, 0, -1, ""},
        {"302 on a post", HTTP_POST, "HTTP/1.0 302 Found\r\n\r\n", false, 2, 0, "<none>"},
        {"status without blank", HTTP_GET, "HTTP/1.0\r\n\r\n", false, 2, 0, "<none>"},
        {"long header lines", HTTP_GET, "HTTP/1.0 200 OK\r\n" + longLine + longLine + "Content-Length: 2\r\n\r\nok", false, 0, -1, "ok"},
        {"zero byte and lead byte in headers", HTTP_GET,
         std::string("HTTP/1.0 200 OK\r\nA: \0x\r\nB: \x81\nContent-Length: 2\r\n\r\nok", 52), false, 0, -1, "ok"},
        {"length beyond 32 bits", HTTP_GET, "HTTP/1.0 200 OK\r\nContent-Length: 4294967296\r\n\r\n", false, 2, 2, "<none>"},
        {"length beyond the limit", HTTP_GET, "HTTP/1.0 200 OK\r\nContent-Length: 2147483647\r\n\r\n", false, 2, 2, "<none>"},
        {"malformed length", HTTP_GET, "HTTP/1.0 200 OK\r\nContent-Length: 12ab\r\n\r\n", false, 2, 0, "<none>"},
        {"chunked", HTTP_GET, "HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", false, 2, 0, "<none>"},
        {"cut body", HTTP_GET, "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nshort", false, 2, 3, "<none>"},
        {"reset mid-body", HTTP_GET, "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nshort", true, 2, 3, "<none>"},
        {"early close", HTTP_GET, "HTTP/1.0 200", false, 2, 3, "<none>"},
        {"head without length", HTTP_HEAD, "HTTP/1.0 200 OK\r\nA: b\r\n\r\n", false, 0, -1, "<none>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server;
        server.Run(c.answer, c.reset);
        const int slot = OpenHttpHandle(c.kind, "127.0.0.1", server.peer.Port(), "/", "p", 1, nullptr);
        ASSERT_GE(slot, 0);
        ASSERT_TRUE(RunToEnd(slot));
        EXPECT_EQ(State(slot).result, c.result);
        EXPECT_EQ(State(slot).detail, c.detail);
        EXPECT_EQ(Body(slot), c.body);
        CloseHttpHandle(slot);
    }
}

TEST_F(HttpTest, EndlessHeadersAreRefusedAtTheirLimit)
{
    Start();
    std::string answer = "HTTP/1.0 200 OK\r\n";
    for (int i = 0; i < 100; ++i) answer += "X: " + std::string(1000, 'h') + "\r\n";
    ScriptedServer server;
    server.Run(answer, false, 300);
    const int slot = OpenHttpHandle(HTTP_GET, "127.0.0.1", server.peer.Port(), "/", nullptr, 0, nullptr);
    ASSERT_TRUE(RunToEnd(slot));
    EXPECT_EQ(State(slot).result, 2);
    EXPECT_EQ(State(slot).detail, 0);
}

TEST_F(HttpTest, CreationRefusesUnsafeTextsAndFailedConnectionsEnd)
{
    Start();
    const std::string longPath = "/" + std::string(300, 'p');
    EXPECT_EQ(OpenHttpHandle(HTTP_GET, "127.0.0.1", 80, "/a\r\nX: y", nullptr, 0, nullptr), -1);
    EXPECT_EQ(OpenHttpHandle(HTTP_GET, "127.0.0.1\n", 80, "/", nullptr, 0, nullptr), -1);
    EXPECT_EQ(OpenHttpHandle(HTTP_GET, "127.0.0.1", 80, "/a b", nullptr, 0, nullptr), -1);
    EXPECT_EQ(OpenHttpHandle(HTTP_GET, "127.0.0.1", 80, longPath.c_str(), nullptr, 0, nullptr), -1);
    // A POST head whose path no longer fits its 256 bytes.
    const std::string path240 = "/" + std::string(239, 'p');
    EXPECT_EQ(OpenHttpHandle(HTTP_POST, "127.0.0.1", 80, path240.c_str(), "b", 1, nullptr), -1);
    EXPECT_EQ(OpenHttpHandle(HTTP_GET, "localhost", 80, "/", nullptr, 0, nullptr), -1);
    EXPECT_EQ(HttpState.Count, 0);
    EXPECT_EQ(CloseHttpHandle(100), -1);
    EXPECT_EQ(CloseHttpHandle(-1), -1);

    // Nothing listens on the peer's port once it is closed.
    LoopbackPeer unused;
    ASSERT_TRUE(unused.Listen());
    const int deadPort = unused.Port();
    unused.CloseListener();
    const int slot = OpenHttpHandle(HTTP_GET, "127.0.0.1", deadPort, "/", nullptr, 0, nullptr);
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(RunToEnd(slot));
    EXPECT_EQ(State(slot).result, 2);
    EXPECT_EQ(State(slot).detail, 3);
    // The first finish decides.
    EXPECT_EQ(FinishHttpHandle(slot, 0, -1), 0);
    EXPECT_EQ(State(slot).result, 2);
}

TEST_F(HttpTest, AFailedFileWriteFailsTheTransfer)
{
    Start();
    ScriptedServer server;
    server.Run("HTTP/1.0 200 OK\r\nContent-Length: 6000\r\n\r\n" + std::string(6000, 'w'));
    const int slot = OpenHttpHandle(HTTP_GET, "127.0.0.1", server.peer.Port(), "/", nullptr, 0, "limited.bin");
    ASSERT_GE(slot, 0);
    // Files of this process may not grow beyond 1000 bytes for a while.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool ended = RunToEnd(slot);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(ended);
    EXPECT_EQ(State(slot).result, 2);
    EXPECT_EQ(State(slot).detail, 2);
}

TEST_F(HttpTest, ClosingARunningTransferEndsItAndFreesItsSlot)
{
    Start();
    ScriptedServer server;
    server.Run("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n12345", false, 200);
    const int slot = OpenHttpHandle(HTTP_GET, "127.0.0.1", server.peer.Port(), "/", nullptr, 0, nullptr);
    ASSERT_TRUE(PumpUntil([&] { StepHttpHandle(slot); return State(slot).received == 5; }));
    EXPECT_EQ(State(slot).result, -1);
    EXPECT_EQ(CloseHttpHandle(slot), 0);
    EXPECT_EQ(HttpState.Count, 0);
    EXPECT_EQ(GetHttpHandleState(slot, nullptr, nullptr, nullptr, nullptr), -1);
}

} // namespace
