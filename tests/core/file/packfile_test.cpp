// The archive-aware file functions: paths served from "<folder>.ZVA" in any
// spelling, archives hiding their folder, find over archives and plain
// folders alike, the file table's limits, corrupt archives, threads.
#include "core/file/packfile.h"

#include "core/file/stream.h"
#include "core/sysstate.h"
#include "platform/kernel/file.h"
#include "support/archive_writer.h"
#include "support/thread_count.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Bytes(std::size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * seed + i / 7) & 0xFF);
    return s;
}

const std::vector<ArchiveMember>& Members()
{
    static const std::vector<ArchiveMember> members = {
        {"graph\\a.png", Bytes(5000, 3), true},
        {"graph\\b.png", Bytes(300, 5), false},
        {"graph\\A.B.PNG", "ab", true},
        {"graph\\c.txt", "ccc", false},
        {"graph\\Sub\\", ""},
        {"graph\\Sub\\deep.txt", "deep", true},
        {"top.txt", "0123456789", false},
    };
    return members;
}

// The same tree as plain files, for comparison.
void WritePlainTree(const fs::path& root)
{
    for (const ArchiveMember& m : Members()) {
        std::string path = m.Path;
        for (char& c : path) c = c == '\\' ? '/' : c;
        if (path.back() == '/') {
            fs::create_directories(root / path);
            continue;
        }
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path, std::ios::binary) << m.Data;
    }
}

std::string ReadWhole(const char* path)
{
    FILEHANDLE f = OpenLibraryFile(path, 0, 1, 0);
    if (f == 0) return "<none>";
    std::string out;
    char buf[777];
    while (std::uint32_t n = ReadLibraryFile(buf, 1, sizeof(buf), f)) out.append(buf, n);
    CloseLibraryFile(f);
    return out;
}

std::vector<std::string> FindNames(const char* pattern)
{
    std::vector<std::string> names;
    FINDREC rec;
    FINDHANDLE h = FindFirstPackFile(pattern, &rec);
    if (h == NO_FIND_HANDLE) return names;
    do names.push_back(rec.Name);
    while (FindNextPackFile(h, &rec) == 0);
    EXPECT_EQ(CloseFindPackFile(h), 0);
    return names;
}

class PackFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetArchiveTables();
        SelectFileFunctionTable(nullptr);
    }
    void TearDown() override
    {
        SysState.StartDirectory[0] = '\0';
        ShutdownArchiveLayer();
        EXPECT_EQ(PackState.ArchiveCount, 0);
        EXPECT_EQ(PackState.FileCount, 0);
    }
};

} // namespace

TEST_F(PackFileTest, MembersOpenFromPlainPathsInEverySpellingAndVersion)
{
    char cwd[260];
    GetCurrentDirectoryA(sizeof(cwd), cwd);
    for (int version = 0; version <= 3; ++version) {
        SCOPED_TRACE(version);
        ArchiveOptions options;
        options.Version = version;
        WriteBinaryFile("date.zva", BuildArchive(Members(), options));
        const std::string absolute = std::string(cwd) + "\\DATE\\graph\\a.png";
        for (const std::string& path : {std::string("date\\graph\\a.png"), std::string("DATE\\GRAPH\\A.PNG"),
                                        std::string("date/Graph/a.PNG"), std::string("date\\x\\..\\graph\\.\\a.png"),
                                        absolute}) {
            EXPECT_EQ(ReadWhole(path.c_str()), Bytes(5000, 3)) << path;
        }
        EXPECT_EQ(ReadWhole("date\\graph\\b.png"), Bytes(300, 5));
        EXPECT_EQ(ReadWhole("date\\graph\\sub\\deep.txt"), "deep");
        EXPECT_EQ(ReadWhole("date\\top.txt"), "0123456789");
        EXPECT_EQ(ReadWhole("date\\graph"), "<none>");
        // The file table was released, and the archive stays open for reuse.
        EXPECT_EQ(PackState.FileCount, 0);
        EXPECT_EQ(PackState.ArchiveCount, 1);
        ShutdownArchiveLayer();
        EXPECT_EQ(PackState.ArchiveCount, 0);
    }
}

TEST_F(PackFileTest, AnArchiveHidesItsFolderAndTheShortestPrefixWins)
{
    WriteBinaryFile("date.zva", BuildArchive(Members()));
    WritePlainTree("date");
    std::ofstream("date/graph/only-plain.png") << "plain";
    EXPECT_EQ(ReadWhole("date\\graph\\only-plain.png"), "<none>");
    EXPECT_EQ(ReadWhole("date\\graph\\c.txt"), "ccc");
    // A deeper archive is never reached while a shorter prefix has one.
    WriteBinaryFile("date/graph.zva", BuildArchive({{"c.txt", "deeper"}}));
    EXPECT_EQ(ReadWhole("date\\graph\\c.txt"), "ccc");
    fs::remove("date.zva");
    ShutdownArchiveLayer();
    ResetArchiveTables();
    EXPECT_EQ(ReadWhole("date\\graph\\c.txt"), "deeper");
    EXPECT_EQ(ReadWhole("date\\top.txt"), "0123456789");  // a plain file again
}

TEST_F(PackFileTest, ArchivesBesideOrAboveTheStartDirectoryAreNotTheGames)
{
    char cwd[260];
    GetCurrentDirectoryA(sizeof(cwd), cwd);
    fs::create_directories("top/game");
    WriteBinaryFile("top.zva", BuildArchive({{"game\\date\\a.txt", "planted above"}, {"game\\plain.txt", "planted"}}));
    WriteBinaryFile("top/game.zva", BuildArchive({{"date\\a.txt", "planted beside"}, {"plain.txt", "planted"}}));
    WriteBinaryFile("top/game/date.zva", BuildArchive({{"a.txt", "own"}, {"sub\\b.txt", "own b"}}));
    std::ofstream("top/game/plain.txt") << "plain";
    const std::string game = std::string(cwd) + "\\top\\game";
    std::strcpy(SysState.StartDirectory, game.c_str());
    EXPECT_EQ(ReadWhole((game + "\\date\\a.txt").c_str()), "own");
    EXPECT_EQ(ReadWhole((game + "\\DATE\\SUB\\B.TXT").c_str()), "own b");
    EXPECT_EQ(ReadWhole((game + "\\plain.txt").c_str()), "plain");
    EXPECT_EQ(FindNames((game + "\\date\\*.txt").c_str()), (std::vector<std::string>{"a.txt"}));

    // Below a start directory higher up, the shortest prefix wins as ever.
    ShutdownArchiveLayer();
    ResetArchiveTables();
    std::strcpy(SysState.StartDirectory, cwd);
    EXPECT_EQ(ReadWhole((game + "\\date\\a.txt").c_str()), "planted above");
}

TEST_F(PackFileTest, FindGivesTheSameNamesInArchivesAndPlainFolders)
{
    WriteBinaryFile("date.zva", BuildArchive(Members()));
    WritePlainTree("plain");
    for (const char* pattern : {"*", "*.png", "*.PNG", "?.png", "a*", "*.txt", "sub", "*.bmp", "*.*"}) {
        const std::vector<std::string> archived = FindNames((std::string("date\\graph\\") + pattern).c_str());
        const std::vector<std::string> plain = FindNames((std::string("plain\\graph\\") + pattern).c_str());
        EXPECT_EQ(archived, plain) << pattern;
    }
    EXPECT_EQ(FindNames("date\\graph\\*.png"), (std::vector<std::string>{"a.png", "b.png"}));
    EXPECT_EQ(FindNames("date\\graph\\*"),
              (std::vector<std::string>{".", "..", "A.B.PNG", "a.png", "b.png", "c.txt", "Sub"}));
    EXPECT_EQ(FindNames("date\\*"), (std::vector<std::string>{".", "graph", "top.txt"}));  // the root has no ".."
    EXPECT_TRUE(FindNames("date\\none\\*").empty());

    FINDREC rec;
    FINDHANDLE h = FindFirstPackFile("date\\graph\\b.png", &rec);
    ASSERT_NE(h, NO_FIND_HANDLE);
    EXPECT_EQ(rec.SizeL, 300u);
    EXPECT_EQ(rec.DirFlag, 0);
    EXPECT_EQ(FindNextPackFile(h, &rec), -1);
    CloseFindPackFile(h);
    h = FindFirstPackFile("date\\graph\\sub", &rec);
    EXPECT_EQ(rec.DirFlag, 1);
    CloseFindPackFile(h);
}

TEST_F(PackFileTest, ReadsSeeksAndBadHandles)
{
    WriteBinaryFile("date.zva", BuildArchive(Members()));
    for (const char* path : {"date\\top.txt", "date\\graph\\a.png"}) {
        FILEHANDLE f = OpenLibraryFile(path, 0, 1, 0);
        ASSERT_NE(f, 0u);
        EXPECT_EQ(f & 0xF0000000u, 0xF0000000u);
        const int size = static_cast<int>(std::string(path).find("top") != std::string::npos ? 10 : 5000);
        char buf[16];
        EXPECT_EQ(SeekLibraryFile(f, -10, 2), 0);
        EXPECT_EQ(ReadLibraryFile(buf, 4, 3, f), 2u);  // 10 bytes delivered, 2 whole elements
        EXPECT_EQ(TellLibraryFile(f), size);
        EXPECT_EQ(IsLibraryFileEof(f), 0);
        EXPECT_EQ(ReadLibraryFile(buf, 4, 3, f), 0u);
        EXPECT_EQ(IsLibraryFileEof(f), -1);
        EXPECT_EQ(SeekLibraryFile(f, 100, 2), 0);        // clamped to the end
        EXPECT_EQ(TellLibraryFile(f), size);
        EXPECT_EQ(IsLibraryFileEof(f), 0);
        EXPECT_EQ(SeekLibraryFile(f, -100000, 1), 0);
        EXPECT_EQ(TellLibraryFile(f), 0);
        EXPECT_EQ(ReadLibraryFile(buf, 0, 3, f), 0u);      // element size 0
        // A byte total past 32 bits is not wrapped: the whole member comes, less than one element.
        std::vector<char> big(6000);
        EXPECT_EQ(ReadLibraryFile(big.data(), 0x10000, 0x10001, f), 0u);
        EXPECT_EQ(TellLibraryFile(f), size);
        EXPECT_EQ(IsLibraryFileIdle(f), 1);
        EXPECT_EQ(CloseLibraryFile(f), 0);
        // A closed handle, the all-ones slot and a handle without the tag are bad.
        for (FILEHANDLE bad : {f, static_cast<FILEHANDLE>(0x0FFFFFFF), static_cast<FILEHANDLE>(0xFFFFFFFF),
                               static_cast<FILEHANDLE>(0)}) {
            EXPECT_EQ(TellLibraryFile(bad), -1);
            EXPECT_EQ(SeekLibraryFile(bad, 0, 0), -1);
            EXPECT_EQ(ReadLibraryFile(buf, 1, 1, bad), 0u);
            EXPECT_EQ(IsLibraryFileEof(bad), -1);
            EXPECT_EQ(IsLibraryFileIdle(bad), -1);
            EXPECT_EQ(CloseLibraryFile(bad), -1);
        }
    }
}

TEST_F(PackFileTest, TheFileTableHoldsFiveHundredTwelveFiles)
{
    WriteBinaryFile("date.zva", BuildArchive(Members()));
    std::vector<FILEHANDLE> open;
    for (int i = 0; i < PACK_TABLE_SIZE; ++i) {
        open.push_back(OpenLibraryFile("date\\top.txt", 0, 1, 0));
        ASSERT_NE(open.back(), 0u);
    }
    EXPECT_EQ(OpenLibraryFile("date\\top.txt", 0, 1, 0), 0u);
    EXPECT_EQ(PackState.Archives[0]->RefCount, PACK_TABLE_SIZE);
    CloseLibraryFile(open[7]);
    EXPECT_EQ(OpenLibraryFile("date\\top.txt", 0, 1, 0), open[7]);  // the first empty slot
    for (FILEHANDLE f : open) CloseLibraryFile(f);
    EXPECT_EQ(PackState.Archives[0]->RefCount, 0);
    // Archives with files open survive the shutdown's clean-up.
    FILEHANDLE kept = OpenLibraryFile("date\\top.txt", 0, 1, 0);
    ShutdownArchiveLayer();
    EXPECT_EQ(PackState.ArchiveCount, 1);
    EXPECT_EQ(ReadWhole("date\\graph\\c.txt"), "ccc");
    CloseLibraryFile(kept);
}

TEST_F(PackFileTest, CorruptArchivesAndMembersFailTheirOpen)
{
    ArchiveOptions plain;
    plain.Scramble = false;
    const std::vector<ArchiveMember> members = {{"p.bin", Bytes(2000, 9), true}, {"s.bin", "stored", false}};
    const std::string good = BuildArchive(members, plain);
    const std::uint8_t key = static_cast<std::uint8_t>(good[24 + 8]);
    auto write = [](std::string bytes) {
        ScrambleArchive(bytes, false);
        WriteBinaryFile("bad.zva", bytes);
    };
    const struct {
        const char* what;
        std::size_t at;
        std::string with;
        const char* member;
    } cases[] = {
        // The packed member's first code: a match before any output.
        {"distance before the start", 24 + 9, std::string{static_cast<char>(key), 0x10, 0x00}, "p.bin"},
        {"decoded size unlike the entry", 24, std::string("\x10\x00\x00\x00", 4), "p.bin"},
        {"packed size beyond the data", 24 + 4, std::string("\xFF\xFF\x00\x00", 4), "p.bin"},
    };
    for (const auto& c : cases) {
        std::string bytes = good;
        bytes.replace(c.at, c.with.size(), c.with);
        write(bytes);
        EXPECT_EQ(OpenLibraryFile((std::string("bad\\") + c.member).c_str(), 0, 1, 0), 0u) << c.what;
        EXPECT_EQ(ReadWhole("bad\\s.bin"), "stored") << c.what;  // the rest of the archive still serves
        ShutdownArchiveLayer();
        ResetArchiveTables();
    }
    // Members whose data lies past the end of the archive.
    std::string bytes = good;
    bytes.replace(8, 4, std::string("\xF0\xFF\xFF\x7F", 4));  // the data offset
    write(bytes);
    EXPECT_EQ(ReadWhole("bad\\s.bin"), "<none>");
    EXPECT_EQ(ReadWhole("bad\\p.bin"), "<none>");
    // An archive that cannot be read serves nothing and its folder is plain again.
    WriteBinaryFile("bad.zva", "ZV but nothing else");
    fs::create_directories("bad");
    std::ofstream("bad/s.bin") << "plain";
    ShutdownArchiveLayer();
    ResetArchiveTables();
    EXPECT_EQ(ReadWhole("bad\\s.bin"), "plain");
}

TEST_F(PackFileTest, MemberTimesOutsideTheCalendarGiveNoDateInAnyZone)
{
    // 2001-02-03 04:05:06 UTC, then the ends of the 64-bit range.
    const std::uint64_t normal = (981173106ULL + 11644473600ULL) * 10000000ULL;
    WriteBinaryFile("times.zva", BuildArchive({{"n.txt", "n", false, normal},
                                               {"max.txt", "m", false, 0x7FFFFFFFFFFFFFFFULL},
                                               {"top.txt", "t", false, 0x8000000000000000ULL},
                                               {"all.txt", "a", false, 0xFFFFFFFFFFFFFFFFULL}}));
    const char* saved = std::getenv("TZ");
    const std::string savedZone = saved != nullptr ? saved : "";
    const struct {
        const char* zone;
        int hour;
    } zones[] = {{"UTC0", 4}, {"JST-9", 13}, {"EST5EDT,M3.2.0,M11.1.0", 23}};
    for (const auto& z : zones) {
        setenv("TZ", z.zone, 1);
        tzset();
        FINDREC rec;
        FINDHANDLE h = FindFirstPackFile("times\\n.txt", &rec);
        ASSERT_NE(h, NO_FIND_HANDLE);
        CloseFindPackFile(h);
        EXPECT_EQ(rec.LastWriteTime.Hour, z.hour) << z.zone;
        for (const char* name : {"times\\max.txt", "times\\top.txt", "times\\all.txt"}) {
            h = FindFirstPackFile(name, &rec);
            ASSERT_NE(h, NO_FIND_HANDLE) << name;
            CloseFindPackFile(h);
            // Out-of-range times give no date rather than a wrapped one.
            const FILEDATE& t = rec.LastWriteTime;
            const bool none = t.Year == 0 && t.Mon == 0 && t.Day == 0 && t.Hour == 0;
            const bool lastYear = t.Year == 30828;
            EXPECT_TRUE(none || lastYear) << name << " in " << z.zone << ": " << t.Year;
        }
    }
    if (saved != nullptr) {
        setenv("TZ", savedZone.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

TEST_F(PackFileTest, AsynchronousMemberReadsCompleteWhenIdle)
{
    WriteBinaryFile("date.zva", BuildArchive(Members()));
    for (const char* path : {"date\\graph\\b.png", "date\\graph\\a.png"}) {
        FILEHANDLE f = OpenPackFile(path, 0, 1, 1);
        ASSERT_NE(f, 0u);
        std::string out(300, '\0');
        EXPECT_EQ(ReadPackFile(out.data(), 1, 300, f), 300u);
        while (IsPackFileIdle(f) != 1) std::this_thread::yield();
        EXPECT_EQ(out, std::string(path).find("b.png") != std::string::npos ? Bytes(300, 5) : Bytes(5000, 3).substr(0, 300));
        ClosePackFile(f);
    }
}

TEST_F(PackFileTest, ThreadsShareTheLayerAndArchiveThreadsEndWithIt)
{
    const std::size_t before = ThreadCountAtRest();
    WriteBinaryFile("date.zva", BuildArchive(Members()));
    FILEHANDLE f = OpenLibraryFile("date\\graph\\b.png", 0, 1, 0);
    ASSERT_NE(f, 0u);
    EXPECT_EQ(ThreadCountSettled(before + 1), before + 1);  // the archive's reader thread

    // Two threads read stored members of one archive at once, interleaving
    // seeks and reads on its single file.
    std::atomic<int> wrong{0};
    auto reader = [&](const char* path, const std::string& expect) {
        for (int i = 0; i < 200; ++i) {
            if (ReadWhole(path) != expect) ++wrong;
        }
    };
    std::thread a(reader, "date\\graph\\b.png", Bytes(300, 5));
    std::thread b(reader, "date\\top.txt", std::string("0123456789"));
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);

    CloseLibraryFile(f);
    EXPECT_EQ(ThreadCountSettled(before + 1), before + 1);  // kept open for reuse
    ShutdownArchiveLayer();
    EXPECT_EQ(ThreadCountSettled(before), before);
}

TEST_F(PackFileTest, FileStreamsReadMembers)
{
    WriteBinaryFile("date.zva", BuildArchive(Members()));
    FILEHANDLE f = OpenLibraryFile("date\\graph\\sub\\deep.txt", 0, 1, 0);
    ASSERT_NE(f, 0u);
    STREAMREF ref{*GetFileStreamFunctions(), f};
    char out[8] = {};
    EXPECT_EQ(ref.Funcs.Read(out, 1, 8, ref.Handle), 4u);
    EXPECT_STREQ(out, "deep");
    EXPECT_EQ(ref.Funcs.Close(ref.Handle), 0);
}
