// Kernel file layer: the Windows path view of the Linux tree (drive Z:,
// backslashes, names without case, CP932 names), open modes and sharing,
// read/write/seek, find with the layer's wildcards, and file times.
#include "platform/kernel/file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void WriteText(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path().empty() ? fs::path(".") : path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadAll(LPCSTR path)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string text(GetFileSize(h, nullptr), '\0');
    DWORD got = 0;
    ReadFile(h, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(h);
    text.resize(got);
    return text;
}

std::vector<std::string> FindAll(LPCSTR pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA(pattern, &d);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(d.cFileName);
    while (FindNextFileA(h, &d));
    EXPECT_TRUE(FindClose(h));
    return names;
}

} // namespace

TEST(KernelFile, CurrentDirectoryIsShownOnDriveZWithBackslashes)
{
    char buffer[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof(buffer), buffer);
    std::string expected = "Z:" + fs::current_path().string();
    for (char& c : expected) c = c == '/' ? '\\' : c;
    ASSERT_EQ(n, expected.size());
    EXPECT_EQ(std::string(buffer), expected);
    EXPECT_EQ(GetCurrentDirectoryA(3, buffer), expected.size() + 1);  // too small: the size needed

    fs::create_directories("sub/deeper");
    ASSERT_TRUE(SetCurrentDirectoryA("SUB\\Deeper"));
    EXPECT_EQ(fs::current_path().filename(), "deeper");
    ASSERT_TRUE(SetCurrentDirectoryA("..\\.."));
    ASSERT_TRUE(SetCurrentDirectoryA("Z:\\"));
    GetCurrentDirectoryA(sizeof(buffer), buffer);
    EXPECT_STREQ(buffer, "Z:\\");
    ASSERT_TRUE(SetCurrentDirectoryA(expected.c_str()));
    EXPECT_FALSE(SetCurrentDirectoryA("C:\\Windows"));  // only one drive exists
    EXPECT_FALSE(SetCurrentDirectoryA("missing"));
}

TEST(KernelFile, PathsResolveBackslashesDotsAndCase)
{
    WriteText("Date/Graph/My.PNG", "png");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof(cwd), cwd);
    const std::string absolute = std::string(cwd) + "\\date\\GRAPH\\my.png";
    for (const std::string& path : {std::string("date\\graph\\my.png"), std::string("DATE/graph\\MY.png"),
                                    std::string("x\\..\\Date\\.\\Graph\\My.PNG"), absolute}) {
        EXPECT_EQ(ReadAll(path.c_str()), "png") << path;
    }
    EXPECT_EQ(ReadAll("date\\graph\\my.bmp"), "<missing>");
}

TEST(KernelFile, Cp932NamesAreUtf8OnDiskEvenWithBackslashTrailBytes)
{
    // "表示\\ソフト.txt" in code page 932: 表 and ソ end in the byte 0x5C,
    // which must not split the name.
    const char* name = "\x95\x5C\x8E\xA6\\\x83\x5C\x83\x74\x83\x67.txt";
    fs::create_directories(fs::path(u8"表示"));
    HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "abc", 3, &written, nullptr));
    CloseHandle(h);
    EXPECT_TRUE(fs::exists(fs::path(u8"表示/ソフト.txt")));
    EXPECT_EQ(FindAll("\x95\x5C\x8E\xA6\\*.txt"), std::vector<std::string>{"\x83\x5C\x83\x74\x83\x67.txt"});
}

TEST(KernelFile, CreationDispositions)
{
    struct Case {
        DWORD disposition;
        bool exists;
        bool opens;
        const char* contentAfter;
    };
    const Case cases[] = {
        {CREATE_NEW, false, true, ""},       {CREATE_NEW, true, false, "old"},
        {CREATE_ALWAYS, true, true, ""},     {CREATE_ALWAYS, false, true, ""},
        {OPEN_EXISTING, true, true, "old"},  {OPEN_EXISTING, false, false, "<missing>"},
        {OPEN_ALWAYS, true, true, "old"},    {OPEN_ALWAYS, false, true, ""},
        {TRUNCATE_EXISTING, true, true, ""}, {TRUNCATE_EXISTING, false, false, "<missing>"},
    };
    for (const Case& c : cases) {
        fs::remove("d.txt");
        if (c.exists) WriteText("d.txt", "old");
        HANDLE h = CreateFileA("d.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, c.disposition, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens) << c.disposition << " " << c.exists;
        EXPECT_NE(h, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        EXPECT_EQ(ReadAll("d.txt"), c.contentAfter) << c.disposition << " " << c.exists;
    }
    fs::create_directories("folder");
    EXPECT_EQ(CreateFileA("folder", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

TEST(KernelFile, ReadWriteSeekAndSize)
{
    HANDLE h = CreateFileA("rw.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(GetFileSize(h, nullptr), 10u);
    EXPECT_EQ(SetFilePointer(h, -4, nullptr, FILE_END), 6u);
    char buf[16] = {};
    ASSERT_TRUE(ReadFile(h, buf, 16, &n, nullptr));
    EXPECT_EQ(n, 4u);
    EXPECT_STREQ(buf, "6789");
    ASSERT_TRUE(ReadFile(h, buf, 16, &n, nullptr));  // at the end: success with nothing read
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_BEGIN), 2u);
    EXPECT_EQ(SetFilePointer(h, 3, nullptr, FILE_CURRENT), 5u);
    EXPECT_EQ(SetFilePointer(h, -6, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 5u);  // a failed seek leaves the pointer
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), 10u);
    ASSERT_TRUE(WriteFile(h, "\r\n", 2, &n, nullptr));
    EXPECT_EQ(GetFileSize(h, nullptr), 12u);
    EXPECT_TRUE(CloseHandle(h));

    // Dead, null and wrong-kind handles fail cleanly.
    EXPECT_FALSE(ReadFile(h, buf, 1, &n, nullptr));
    EXPECT_FALSE(ReadFile(nullptr, buf, 1, &n, nullptr));
    EXPECT_EQ(GetFileSize(nullptr, nullptr), INVALID_FILE_SIZE);
    EXPECT_FALSE(CloseHandle(h));

    HANDLE ro = CreateFileA("rw.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(WriteFile(ro, "x", 1, &n, nullptr));  // opened for reading only
    CloseHandle(ro);
}

TEST(KernelFile, ShareModesAreHonouredWithinTheProcess)
{
    WriteText("s.txt", "data");
    auto open = [](DWORD access, DWORD share) {
        return CreateFileA("s.txt", access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE exclusive = open(GENERIC_READ, 0);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(GENERIC_READ, FILE_SHARE_READ), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA("s.txt"));
    CloseHandle(exclusive);

    HANDLE reader = open(GENERIC_READ, FILE_SHARE_READ);
    HANDLE second = open(GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(GENERIC_WRITE, FILE_SHARE_READ), INVALID_HANDLE_VALUE);
    // A refused truncating open leaves the data alone.
    EXPECT_EQ(CreateFileA("s.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    CloseHandle(second);
    EXPECT_EQ(ReadAll("s.txt"), "data");
    EXPECT_TRUE(DeleteFileA("S.TXT"));
    EXPECT_FALSE(fs::exists("s.txt"));
    EXPECT_FALSE(DeleteFileA("s.txt"));
}

TEST(KernelFile, FindListsMatchesInAStableOrder)
{
    for (const char* name : {"b.png", "A.PNG", "A.B.PNG", "c.txt", "noext"}) WriteText(fs::path("f") / name, "12345");
    fs::create_directories("f/Sub");
    struct Case {
        const char* pattern;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"f\\*", {".", "..", "A.B.PNG", "A.PNG", "b.png", "c.txt", "noext", "Sub"}},
        {"f\\*.png", {"A.PNG", "b.png"}},  // a star stops at the first '.', so A.B.PNG is left out
        {"F\\?.PNG", {"A.PNG", "b.png"}},
        {"f\\*.*", {".", "..", "A.B.PNG", "A.PNG", "b.png", "c.txt"}},
        {"f\\a*", {"A.B.PNG", "A.PNG"}},
        {"f\\noext*", {"noext"}},
        {"f\\sub", {"Sub"}},
        {"f\\*.bmp", {}},
        {"missing\\*", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(FindAll(c.pattern), c.names) << c.pattern;

    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA("f\\c.txt", &d);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(d.nFileSizeLow, 5u);
    EXPECT_EQ(d.nFileSizeHigh, 0u);
    EXPECT_EQ(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_FALSE(FindNextFileA(h, &d));
    FindClose(h);
    h = FindFirstFileA("f\\sub", &d);
    EXPECT_NE(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    FindClose(h);
    EXPECT_FALSE(FindClose(h));
}

TEST(KernelFile, FileTimesConvertToCalendarFields)
{
    setenv("TZ", "JST-9", 1);
    tzset();
    // 2001-02-03 04:05:06.789 UTC.
    const std::uint64_t ticks = (981173106ULL + 11644473600ULL) * 10000000ULL + 7890000ULL;
    FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME st{};
    ASSERT_TRUE(FileTimeToSystemTime(&utc, &st));
    EXPECT_EQ(std::vector<int>({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds}),
              std::vector<int>({2001, 2, 3, 4, 5, 6, 789}));
    FILETIME local{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
    EXPECT_EQ(st.wHour, 13);

    // A file's write time is the one find reports.
    WriteText("t.txt", "x");
    fs::last_write_time("t.txt", fs::file_time_type::clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(981173106))));
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA("t.txt", &d);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
    EXPECT_EQ((static_cast<std::uint64_t>(d.ftLastWriteTime.dwHighDateTime) << 32) | d.ftLastWriteTime.dwLowDateTime,
              ticks - 7890000ULL);
    unsetenv("TZ");
    tzset();
}

TEST(KernelFile, FileTimesPastTheLastTickArePinnedThere)
{
    // Only a file system that keeps 64-bit seconds can hold such a time.
    char folder[] = "/dev/shm/zarvo-time-XXXXXX";
    if (mkdtemp(folder) == nullptr) GTEST_SKIP() << "no /dev/shm";
    const std::string file = std::string(folder) + "/late.txt";
    WriteText(file, "x");
    const struct {
        std::int64_t seconds;
        std::uint64_t ticks;
    } cases[] = {
        {1000000000000LL, 0x7FFFFFFFFFFFFFFFULL},   // about year 33658
        {910692730085LL, 0x7FFFFFFFFFFFFFFFULL},    // the second the last tick falls in
        {910692730084LL, 9223372036840000000ULL},   // the one before it, exact
        {-20000000000LL, 0},                        // before 1601
    };
    int checked = 0;
    for (const auto& c : cases) {
        timespec times[2] = {{c.seconds, 0}, {c.seconds, 0}};
        if (utimensat(AT_FDCWD, file.c_str(), times, 0) != 0) continue;
        struct stat st;
        if (stat(file.c_str(), &st) != 0 || st.st_mtim.tv_sec != c.seconds) continue;
        std::string win;
        win = "Z:" + file;
        for (char& ch : win) ch = ch == '/' ? '\\' : ch;
        WIN32_FIND_DATAA d;
        HANDLE h = FindFirstFileA(win.c_str(), &d);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        FindClose(h);
        EXPECT_EQ((static_cast<std::uint64_t>(d.ftLastWriteTime.dwHighDateTime) << 32) | d.ftLastWriteTime.dwLowDateTime,
                  c.ticks) << c.seconds;
        h = CreateFileA(win.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        FILETIME written{};
        EXPECT_TRUE(GetFileTime(h, nullptr, nullptr, &written));
        CloseHandle(h);
        EXPECT_EQ((static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime, c.ticks)
            << c.seconds;
        ++checked;
    }
    fs::remove_all(folder);
    if (checked == 0) GTEST_SKIP() << "the file system keeps no such times";
}

TEST(KernelFile, TempFilesAreCreatedUniqueInTheTempFolder)
{
    setenv("TMPDIR", fs::current_path().c_str(), 1);
    char folder[MAX_PATH];
    DWORD n = GetTempPathA(sizeof(folder), folder);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(folder[n - 1], '\\');
    char a[MAX_PATH], b[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(folder, "tmp", 0, a), 0u);
    ASSERT_NE(GetTempFileNameA(folder, "tmp", 0, b), 0u);
    EXPECT_STRNE(a, b);
    EXPECT_EQ(ReadAll(a), "");
    EXPECT_TRUE(DeleteFileA(a));
    EXPECT_TRUE(DeleteFileA(b));
    unsetenv("TMPDIR");
}
