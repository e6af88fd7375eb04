// The archive reader: search names, wildcards, archive full paths, opening
// with either key, refusing bad headers and tables, and folder walks.
#include "core/file/archive.h"

#include "platform/kernel/file.h"
#include "support/archive_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string CurrentUpper()
{
    char cwd[260];
    GetCurrentDirectoryA(sizeof(cwd), cwd);
    std::string s = cwd;
    for (char& c : s) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    return s;
}

std::vector<ArchiveMember> SampleMembers()
{
    return {{"GRAPH\\a.png", "AAAA", true}, {"GRAPH\\Sub\\deep.txt", "deep", false}, {"root.txt", "root", true}};
}

} // namespace

TEST(ArchiveNames, SearchNamesAreUpperCasePaddedAndSummed)
{
    SEARCHNAME s;
    int length = 0;
    ASSERT_EQ(MakeArchiveSearchName("ab\\rest", &s, &length), 0);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(s.WordCount, 1);
    EXPECT_EQ(s.Checksum, 'A' + 'B');
    EXPECT_EQ(std::memcmp(s.Name, "AB\0\0", 4), 0);
    ASSERT_EQ(MakeArchiveSearchName("abcd", &s, nullptr), 0);
    EXPECT_EQ(s.WordCount, 2);  // at least one zero byte follows the name
    // Two-byte characters are kept; the trail byte 0x5C does not end the name.
    ASSERT_EQ(MakeArchiveSearchName("\x95\x5C" "a", &s, &length), 0);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(s.Checksum, 0x95 + 0x5C + 'A');
    EXPECT_EQ(MakeArchiveSearchName(std::string(1100, 'x').c_str(), &s, nullptr), -1);
}

TEST(ArchiveNames, WildcardsStopAtTheFirstOccurrence)
{
    const struct {
        const char* pattern;
        const char* name;
        int result;
    } cases[] = {
        {"*", "ANY.PNG", 0},       {"*.PNG", "X.PNG", 0},     {"*.PNG", "A.B.PNG", -1},
        {"*.TXT", "X.Y.TXT", -1},  {"A*", "A", 0},            {"A*", "AB", 0},
        {"?.PNG", "A.PNG", 0},     {"?.PNG", "AB.PNG", -1},   {"A.PNG", "A.PNG", 0},
        {"A.PNG", "A.PN", -1},     {"A.PN", "A.PNG", -1},     {"*.*", "NOEXT", -1},
        {"\x95\x5C*", "\x95\x5C.TXT", 0}, {"\x95\x5C", "\x95\x5D", -1}, {"*Z", "ABC", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchWildcard(c.pattern, c.name), c.result) << c.pattern << " " << c.name;
}

TEST(ArchiveNames, FullPathsAreAbsoluteAndUpperCase)
{
    const std::string cwd = CurrentUpper();
    const std::string drive = cwd.substr(0, 2);
    const struct {
        const char* path;
        std::string full;
    } cases[] = {
        {"date\\graph\\a.png", cwd + "\\DATE\\GRAPH\\A.PNG"},
        {"date/./x\\..\\b.png", cwd + "\\DATE\\B.PNG"},
        {"a\\\\b", cwd + "\\A\\B"},  // empty components are skipped here
        {"\\top\\f", drive + "\\TOP\\F"},
        {"e:\\..\\a", "E:\\A"},
        {"\\\\srv\\share\\f", "\\\\SRV\\SHARE\\F"},
        {"\x95\x5C\\..\\c", cwd + "\\C"},
    };
    for (const auto& c : cases) {
        char out[260];
        ASSERT_EQ(MakeArchiveFullPath(c.path, out), 0) << c.path;
        EXPECT_EQ(std::string(out), c.full) << c.path;
    }
    char out[260];
    EXPECT_EQ(MakeArchiveFullPath(std::string(300, 'x').c_str(), out), -1);

    char name[260], folder[260];
    ASSERT_EQ(SplitArchiveFileName("A\\B\\C.PNG", name, folder), 0);
    EXPECT_STREQ(name, "C.PNG");
    EXPECT_STREQ(folder, "A\\B");
    ASSERT_EQ(SplitArchiveFileName("C.PNG", name, folder), 0);
    EXPECT_STREQ(folder, "");
    ASSERT_EQ(SplitArchiveFileName("\x95\x5C", name, folder), 0);
    EXPECT_STREQ(name, "\x95\x5C");
}

TEST(ArchiveReader, OpensWithEitherKeyAndWalksFolders)
{
    for (bool second : {false, true}) {
        ArchiveOptions options;
        options.SecondKey = second;
        WriteBinaryFile("k.zva", BuildArchive(SampleMembers(), options));
        ARCHIVEREC rec{};
        ASSERT_EQ(OpenArchiveStreamed(&rec, "k.zva", nullptr), 0) << second;
        ARCHIVEENTRY entry;
        EXPECT_EQ(FindArchiveMember("GRAPH\\A.PNG", &rec, &entry), 0);
        EXPECT_EQ(entry.Size, 4u);
        EXPECT_EQ(FindArchiveMember("graph\\sub\\DEEP.TXT", &rec, &entry), 0);
        EXPECT_EQ(FindArchiveMember("ROOT.TXT", &rec, &entry), 0);
        EXPECT_EQ(FindArchiveMember("GRAPH", &rec, &entry), -1);        // a folder is no member
        EXPECT_EQ(FindArchiveMember("GRAPH\\SUB", &rec, &entry), -1);
        EXPECT_EQ(FindArchiveMember("A.PNG", &rec, &entry), -1);        // not in the root
        EXPECT_EQ(FindArchiveMember("NONE\\A.PNG", &rec, &entry), -1);
        EXPECT_EQ(rec.CurrentFolder, 0u);                               // lookups put the folder back

        EXPECT_EQ(ChangeArchiveDir(&rec, "..", 0, nullptr), -1);        // the root has no parent
        EXPECT_EQ(ChangeArchiveDir(&rec, "GRAPH\\SUB", 1, nullptr), 0);
        const std::uint32_t sub = rec.CurrentFolder;
        EXPECT_NE(sub, 0u);
        EXPECT_EQ(ChangeArchiveDir(&rec, "..", 0, nullptr), 0);
        EXPECT_EQ(ChangeArchiveDir(&rec, "SUB", 0, nullptr), 0);
        EXPECT_EQ(rec.CurrentFolder, sub);
        EXPECT_EQ(ChangeArchiveDir(&rec, "NOPE\\X", 1, nullptr), -1);   // restored
        EXPECT_EQ(rec.CurrentFolder, sub);
        SEARCHNAME last;
        EXPECT_EQ(ChangeArchiveDir(&rec, "\\GRAPH\\NOPE", 0, &last), -1);  // left where the walk stopped
        EXPECT_NE(rec.CurrentFolder, sub);
        EXPECT_EQ(std::memcmp(last.Name, "NOPE", 4), 0);
        EXPECT_EQ(ChangeArchiveDir(&rec, "\\", 0, nullptr), 0);
        EXPECT_EQ(rec.CurrentFolder, 0u);
        CloseArchive(&rec);
        EXPECT_EQ(rec.File, nullptr);
    }
}

TEST(ArchiveReader, BadHeadersAndTablesAreRefused)
{
    ArchiveOptions plain;
    plain.Scramble = false;
    const std::string good = BuildArchive(SampleMembers(), plain);
    auto patched = [&](std::size_t at, std::uint32_t value, int width) {
        std::string s = good;
        for (int i = 0; i < width; ++i) s[at + i] = static_cast<char>(value >> (8 * i));
        return s;
    };
    const std::uint32_t blockSize = static_cast<std::uint8_t>(good[4]) | (static_cast<std::uint8_t>(good[5]) << 8);
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"wrong magic", patched(0, 0x4141, 2)},
        {"version 4", patched(2, 4, 2)},
        {"truncated header", good.substr(0, 20)},
        {"truncated header block", good.substr(0, good.size() - 3)},
        {"block past the end", patched(12, 0xFFFFFF00u, 4)},
        {"empty block", patched(4, 0, 4)},
        {"file table outside the block", patched(16, blockSize + 1, 4)},
        {"no room for the root folder", patched(20, blockSize - 8, 4)},
    };
    for (const auto& c : cases) {
        std::string bytes = c.bytes;
        ScrambleArchive(bytes, false);
        WriteBinaryFile("bad.zva", bytes);
        ARCHIVEREC rec{};
        EXPECT_EQ(OpenArchiveStreamed(&rec, "bad.zva", nullptr), -1) << c.what;
        EXPECT_EQ(rec.File, nullptr) << c.what;
    }

    // A folder record whose entries run past the block: lookups fail safely.
    std::string bytes = good;
    const std::uint32_t folderTable = static_cast<std::uint8_t>(good[20]) | (static_cast<std::uint8_t>(good[21]) << 8);
    const std::uint32_t blockOffset = static_cast<std::uint8_t>(good[12]) | (static_cast<std::uint8_t>(good[13]) << 8);
    bytes[blockOffset + folderTable + 8] = static_cast<char>(0xFF);  // root entry count
    bytes[blockOffset + folderTable + 9] = static_cast<char>(0xFF);
    ScrambleArchive(bytes, false);
    WriteBinaryFile("bad.zva", bytes);
    ARCHIVEREC rec{};
    ASSERT_EQ(OpenArchiveStreamed(&rec, "bad.zva", nullptr), 0);
    ARCHIVEENTRY entry;
    EXPECT_EQ(FindArchiveMember("NONE.TXT", &rec, &entry), -1);
    CloseArchive(&rec);
}

TEST(ArchiveReader, WholeArchivesLoadIntoMemory)
{
    WriteBinaryFile("m.zva", BuildArchive(SampleMembers()));
    for (int async : {0, 1}) {
        ARCHIVEREC rec{};
        ASSERT_EQ(LoadArchiveInMemory(&rec, "m.zva", nullptr, async), 0);
        while (PollArchiveImageLoad(&rec) == 0) {
        }
        EXPECT_EQ(rec.MemoryMode, 1);
        ARCHIVEENTRY entry;
        ASSERT_EQ(FindArchiveMember("GRAPH\\SUB\\DEEP.TXT", &rec, &entry), 0);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(rec.Image) + rec.Header.DataOffset + entry.DataOffset, 4), "deep");
        CloseArchive(&rec);
    }
}
