// The file-function table's plain operations: full paths, the two-byte
// test, find records, directories and temporary files.
#include "core/file/filefuncs.h"

#include "platform/kernel/file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

TEST(MakeFullPath, ResolvesAgainstTheBase)
{
    struct Case {
        const char* path;
        const char* base;
        int result;
        const char* full;
    };
    const Case cases[] = {
        {"..\\b.txt", "E:\\x\\y", 0, "E:\\x\\b.txt"},
        {"\\d\\e", "E:\\x", 0, "E:\\d\\e"},
        {"E:\\..\\a", "C:\\w", 0, "E:\\a"},
        {"a\\\\b", "E:\\x", -1, nullptr},
        {"E:/../a", "C:\\w", -1, nullptr},
        {"a\\.\\b\\", "E:\\x\\", 0, "E:\\x\\a\\b"},
        {"a/b/..", "E:\\x", 0, "E:\\x\\a\\b\\.."},  // a final ".." stays as it is
        {"D:rel", "E:\\x", 0, "D:\\rel"},
        // 表 ends in 0x5C: a ".." after it removes the whole name.
        {"\x95\x5C\\..\\c", "E:\\x", 0, "E:\\x\\c"},
        {"\x95\x5C\\c", "E:\\x", 0, "E:\\x\\\x95\x5C\\c"},
    };
    for (const Case& c : cases) {
        char out[260] = {};
        EXPECT_EQ(MakeFullPath(c.path, out, c.base), c.result) << c.path;
        if (c.full != nullptr) {
            EXPECT_STREQ(out, c.full) << c.path;
        }
    }
    char out[260];
    EXPECT_EQ(MakeFullPath(nullptr, out, "E:\\base"), 0);
    EXPECT_STREQ(out, "E:\\base");
    const std::string longName(250, 'n');
    EXPECT_EQ(MakeFullPath((longName + "\\" + longName).c_str(), out, "E:\\x"), -1);
    EXPECT_EQ(MakeFullPath(longName.c_str(), out, "E:\\0123456789"), -1);

    char cwd[260];
    GetCurrentDirectoryA(sizeof(cwd), cwd);
    ASSERT_EQ(MakeFullPath("a\\b.png", out, nullptr), 0);
    EXPECT_EQ(std::string(out), std::string(cwd) + "\\a\\b.png");
}

TEST(IsDoubleByteLeadByte, FollowsTheCharSetKind)
{
    const unsigned char bytes[] = {0x41, 0x80, 0x81, 0x9F, 0xA0, 0xDF, 0xE0, 0xFC, 0xFD};
    const int cp932[] = {0, 0, 1, 1, 0, 0, 1, 1, 0};
    const int hangul[] = {0, 1, 1, 1, 1, 1, 1, 1, 1};
    for (size_t i = 0; i < sizeof(bytes); ++i) {
        EXPECT_EQ(IsDoubleByteLeadByte(&bytes[i], 1), cp932[i]) << int(bytes[i]);
        EXPECT_EQ(IsDoubleByteLeadByte(&bytes[i], 2), hangul[i]) << int(bytes[i]);
    }
}

TEST(PlainFileSet, FindFillsRecordsAndDirectoriesChange)
{
    setenv("TZ", "UTC", 1);
    fs::create_directories("p/Sub");
    std::ofstream("p/one.txt", std::ios::binary) << "12345";
    const timespec times[2] = {{981173106, 0}, {981173106, 0}};  // 2001-02-03 04:05:06 UTC
    ASSERT_EQ(utimensat(AT_FDCWD, "p/one.txt", times, 0), 0);
    FINDREC rec{};
    FINDHANDLE h = FindFirstPlainFile("p\\*", &rec);
    ASSERT_NE(h, NO_FIND_HANDLE);
    EXPECT_STREQ(rec.Name, ".");
    EXPECT_EQ(rec.DirFlag, 1);
    std::vector<std::string> names = {rec.Name};
    while (FindNextPlainFile(h, &rec) == 0) {
        names.push_back(rec.Name);
        if (std::string(rec.Name) == "one.txt") {
            EXPECT_EQ(rec.DirFlag, 0);
            EXPECT_EQ(rec.SizeL, 5u);
            EXPECT_EQ(rec.SizeH, 0u);
            const FILEDATE& d = rec.LastWriteTime;
            EXPECT_EQ(std::vector<int>({d.Year, d.Mon, d.Day, d.Hour, d.Min, d.Sec}),
                      std::vector<int>({2001, 2, 3, 4, 5, 6}));
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "one.txt", "Sub"}));
    EXPECT_EQ(FindNextPlainFile(h, nullptr), -1);
    EXPECT_EQ(CloseFindPlainFile(h), 0);
    EXPECT_EQ(FindFirstPlainFile("p\\*.bmp", &rec), NO_FIND_HANDLE);

    char before[260], inside[260];
    ASSERT_GT(GetThreadedCurrentDir(before), 0);
    EXPECT_TRUE(ChangeThreadedCurrentDir("P\\SUB"));
    GetThreadedCurrentDir(inside);
    EXPECT_EQ(std::string(inside), std::string(before) + "\\p\\Sub");
    EXPECT_FALSE(ChangeThreadedCurrentDir("missing"));
    EXPECT_TRUE(ChangeThreadedCurrentDir(before));
    unsetenv("TZ");
}

TEST(CreateTempFile, MakesANewWritableFileAndReportsItsPath)
{
    setenv("TMPDIR", fs::current_path().c_str(), 1);
    char path[260] = {};
    HANDLE h = CreateTempFile(path);
    ASSERT_NE(h, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "tmp", 3, &n, nullptr));
    CloseHandle(h);
    EXPECT_EQ(std::string(path, 2), "Z:");
    EXPECT_NE(std::string(path).find("\\tmp"), std::string::npos);
    EXPECT_TRUE(DeleteFileA(path));
    unsetenv("TMPDIR");
}

TEST(CreateTempFile, ANameTakenBeforeTheCreateIsAFailure)
{
    // A second thread takes the file's name as a folder the moment the first
    // one has deleted its placeholder; when it wins the race the create must
    // fail and answer null. The race is retried until it is won once.
    const fs::path folder = fs::current_path() / "race";
    fs::create_directories(folder);
    setenv("TMPDIR", folder.c_str(), 1);
    char win[260];
    ASSERT_GT(GetTempPathA(sizeof(win), win), 0u);
    int won = 0;
    for (int attempt = 0; attempt < 3000 && won == 0; ++attempt) {
        char probe[260];
        const UINT last = GetTempFileNameA(win, "tmp", 0, probe);
        ASSERT_NE(last, 0u);
        DeleteFileA(probe);
        char name[32];
        std::snprintf(name, sizeof(name), "tmp%X.TMP", (last + 1) & 0xFFFF ? (last + 1) & 0xFFFF : 1);
        const std::string next = (folder / name).string();
        std::atomic<bool> stop{false};
        std::atomic<bool> taken{false};
        std::thread racer([&] {
            bool seen = false;
            struct stat st;
            while (!stop.load()) {
                if (!seen) {
                    seen = stat(next.c_str(), &st) == 0 && S_ISREG(st.st_mode);
                } else if (mkdir(next.c_str(), 0700) == 0) {
                    taken = true;
                    return;
                }
            }
        });
        char path[260] = {};
        HANDLE h = CreateTempFile(path);
        stop = true;
        racer.join();
        if (taken) {
            EXPECT_EQ(h, nullptr) << "the create failed, so no handle";
            ++won;
        } else {
            ASSERT_NE(h, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            CloseHandle(h);
            DeleteFileA(path);
        }
        fs::remove(next);
    }
    unsetenv("TMPDIR");
    if (won == 0) GTEST_SKIP() << "the race was never won";
}
