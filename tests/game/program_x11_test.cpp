// Runs the game program under its own Xvfb server: the window's title and
// X11 class, its end by a window close or by SIGINT/SIGTERM, and its log.
#include "support/library_fixture.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>  // std::chrono's clocks; <chrono> itself does not build for code page 932
#include <time.h>
#include <unistd.h>

namespace {

// The two progress files without which the game ends before its window opens.
void WriteProgressFiles(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder / "date");
    std::ofstream times(folder / "date" / "time.dat");
    std::ofstream flags(folder / "date" / "flag.dat");
    for (int i = 0; i < 35; ++i) {
        times << "0\n";
        flags << "0\n";
    }
}

std::string FindProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    dirs += ":/usr/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return "";
}

// How long a process is given to start, show its window or end: a deadline
// that only runs out when something is wrong, since a sanitized build on a
// loaded machine can take tens of seconds for what takes one otherwise.
constexpr int kProcessSeconds = 120;

// Polls `done` every few milliseconds until it holds or `seconds` have passed.
template <class F>
bool WaitFor(F done, int seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        usleep(5000);
    }
    return done();
}

struct FoundWindow {
    Window id = 0;
    std::string title;
    std::string resName;
    std::string resClass;
};

bool FindByTitle(Display* display, Window w, const char* title, FoundWindow* out)
{
    XTextProperty name{};
    if (XGetWMName(display, w, &name) && name.value != nullptr) {
        std::string text(reinterpret_cast<char*>(name.value), name.nitems);
        XFree(name.value);
        // Window managers read the class when a window is mapped; an unmapped
        // window may still carry the toolkit's default class for a moment.
        XWindowAttributes attributes{};
        if (text == title && XGetWindowAttributes(display, w, &attributes) && attributes.map_state == IsViewable) {
            out->id = w;
            out->title = text;
            XClassHint hint{};
            if (XGetClassHint(display, w, &hint)) {
                out->resName = hint.res_name != nullptr ? hint.res_name : "";
                out->resClass = hint.res_class != nullptr ? hint.res_class : "";
                if (hint.res_name != nullptr) XFree(hint.res_name);
                if (hint.res_class != nullptr) XFree(hint.res_class);
            }
            return true;
        }
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, w, &root, &parent, &children, &count)) return false;
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i) found = FindByTitle(display, children[i], title, out);
    if (children != nullptr) XFree(children);
    return found;
}

class GameProgramTest : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string xvfb = FindProgram("Xvfb");
        if (xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed";
        // A server that ends without naming a display (one that lost a race
        // for a display's lock file) is started again.
        std::string number;
        for (int attempt = 0; attempt < 3 && number.empty(); ++attempt) number = StartServer(xvfb);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        displayName = ":" + number;
        display = XOpenDisplay(displayName.c_str());
        ASSERT_NE(display, nullptr);
        folder = std::filesystem::current_path() / "run";
        std::filesystem::create_directories(folder);
        WriteProgressFiles(folder);
    }

    // Starts Xvfb on a display it finds free itself (the socket's bind makes
    // the choice atomic) and answers its number, or "" when it ended first.
    std::string StartServer(const std::string& xvfb)
    {
        int fds[2];
        if (pipe(fds) != 0) return "";
        server = fork();
        if (server == 0) {
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
                  "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The number comes when the server is ready; the pipe closes if it ends.
        std::string number;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kProcessSeconds);
        pollfd p{fds[0], POLLIN, 0};
        while (server > 0 && std::chrono::steady_clock::now() < deadline) {
            if (poll(&p, 1, 1000) <= 0) continue;
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number.push_back(c);
        }
        close(fds[0]);
        if (number.empty() && server > 0) {
            kill(server, SIGKILL);
            waitpid(server, nullptr, 0);
            server = 0;
        }
        return number;
    }

    void TearDown() override
    {
        if (game > 0) {
            kill(game, SIGKILL);
            waitpid(game, nullptr, 0);
        }
        if (display != nullptr) XCloseDisplay(display);
        if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
        }
    }

    pid_t Launch(const std::filesystem::path& where)
    {
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(where.c_str()) != 0) _exit(126);
            // A test run started in the background has SIGINT ignored, and an
            // ignored signal stays ignored across exec: the game would never see it.
            signal(SIGINT, SIG_DFL);
            signal(SIGTERM, SIG_DFL);
            setenv("DISPLAY", displayName.c_str(), 1);
            setenv("SDL_VIDEODRIVER", "x11", 1);
            // No session bus: without this, libdbus (asked by SDL to keep the
            // screen saver off) forks to autolaunch one, and the block its
            // failure leaks makes the sanitizer's exit check symbolize its
            // stack, which takes seconds, tens of them on a loaded machine.
            setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
            execl(ZARVO_GAME_PROGRAM, "zarvo", static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }

    void StartGame()
    {
        game = Launch(folder);
        ASSERT_GT(game, 0);
        ASSERT_TRUE(WaitFor([&] { return FindByTitle(display, DefaultRootWindow(display), "Zarvo", &window); },
                            kProcessSeconds))
            << "the game's window never appeared";
    }

    // The game's exit status, or -1 when it has not ended in time.
    int WaitForExit()
    {
        int status = 0;
        bool ended = WaitFor([&] { return waitpid(game, &status, WNOHANG) == game; }, kProcessSeconds);
        if (!ended) return -1;
        game = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }

    std::string Log() { return ReadLogFile((folder / "Log.txt").c_str()); }

    pid_t server = 0;
    pid_t game = 0;
    std::string displayName;
    Display* display = nullptr;
    std::filesystem::path folder;
    FoundWindow window;
};

} // namespace

TEST_F(GameProgramTest, OpensTheWindowWithItsTitleAndClassAndEndsOnSigterm)
{
    StartGame();
    EXPECT_EQ(window.title, "Zarvo");
    EXPECT_EQ(window.resClass, "D123987X");
    EXPECT_EQ(window.resName, "D123987X");
    kill(game, SIGTERM);
    EXPECT_EQ(WaitForExit(), 0);

    const std::string log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(log[0] >= '0' && log[0] <= '9');  // a time stamp opens the first line
    EXPECT_TRUE(Contains(log, ":システムの情報を出力します\r\n"));
    EXPECT_TRUE(Contains(log, ":\tＺＡＲＶＯ Ver0.1.0\r\n"));
    EXPECT_TRUE(Contains(log, ":\tＯＳ  WindowsVista ( Build 7601  )"));
    EXPECT_TRUE(Contains(log, ":\tＣＰＵ動作速度：大体"));
    EXPECT_TRUE(Contains(log, "タイマー分解能 : "));
    EXPECT_TRUE(Contains(log, ":ウインドウの作成に成功しました\r\n"));
    EXPECT_TRUE(Contains(log, "Alloc memory dump\r\n"));
    EXPECT_TRUE(Contains(log, "\tTotal size:0(0.000kb)  Alloc num:0\r\n"));
    EXPECT_FALSE(Contains(log, "\tsize:"));
    // Every line feed is part of a CR LF.
    for (std::size_t i = log.find('\n'); i != std::string::npos; i = log.find('\n', i + 1)) {
        ASSERT_GT(i, 0u);
        EXPECT_EQ(log[i - 1], '\r') << "bare line feed at " << i;
    }
}

TEST_F(GameProgramTest, EndsWithStatusZeroOnSigint)
{
    StartGame();
    kill(game, SIGINT);
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_TRUE(Contains(Log(), "ウインドウを閉じようとしています\r\n"));
}

TEST_F(GameProgramTest, EndsWithStatusZeroWhenTheWindowIsClosed)
{
    StartGame();
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window.id;
    e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window.id, False, NoEventMask, &e);
    XFlush(display);
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_TRUE(Contains(Log(), "ソフトを終了する準備が整いました\r\n"));
}

TEST_F(GameProgramTest, SecondInstanceEndsWithMinusOneAndTheFirstRunsOn)
{
    StartGame();
    const std::filesystem::path second = folder.parent_path() / "second";
    std::filesystem::create_directories(second);
    WriteProgressFiles(second);
    pid_t other = Launch(second);
    ASSERT_GT(other, 0);
    int status = 0;
    if (!WaitFor([&] { return waitpid(other, &status, WNOHANG) == other; }, kProcessSeconds)) {
        kill(other, SIGKILL);
        waitpid(other, nullptr, 0);
        FAIL() << "the second instance did not end";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 255);  // -1
    EXPECT_TRUE(Contains(ReadLogFile((second / "Log.txt").c_str()),
                         "ソフトの二重起動検査... 二重起動されています、ソフトを終了します\r\n"));
    kill(game, SIGTERM);
    EXPECT_EQ(WaitForExit(), 0);
}
