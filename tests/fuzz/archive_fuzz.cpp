// Fuzz target: an archive given as its plain (unscrambled) bytes is
// scrambled, written and read through the archive-aware file functions:
// every folder listed, every member opened, read, sought and read again,
// and the same members through a whole-in-memory open.
#include "core/file/archive.h"
#include "core/file/packfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A folder of this process's own for the archive file; the current folder
// stays as it is (libFuzzer keeps relative corpus paths).
const std::string& ScratchFolder()
{
    static std::string folder;
    if (folder.empty()) {
        char name[] = "/tmp/zarvo-archive-fuzz-XXXXXX";
        if (mkdtemp(name) == nullptr) std::abort();
        folder = name;
        std::atexit([] {
            std::remove((folder + "/F.ZVA").c_str());
            rmdir(folder.c_str());
        });
        ResetArchiveTables();
    }
    return folder;
}

void ReadMember(const std::string& path)
{
    FILEHANDLE f = OpenPackFile(path.c_str(), 0, 1, 0);
    if (f == 0) return;
    std::vector<std::uint8_t> buffer(4096);
    while (ReadPackFile(buffer.data(), 1, static_cast<std::uint32_t>(buffer.size()), f) != 0) {
    }
    SeekPackFile(f, -7, 2);
    ReadPackFile(buffer.data(), 3, 5, f);
    SeekPackFile(f, 1, 0);
    ReadPackFile(buffer.data(), 1, 100, f);
    ClosePackFile(f);
}

void Walk(const std::string& folder, int depth, std::vector<std::string>& members)
{
    FINDREC rec;
    FINDHANDLE h = FindFirstPackFile((folder + "\\*").c_str(), &rec);
    if (h == NO_FIND_HANDLE) return;
    int listed = 0;
    do {
        const std::string name = rec.Name;
        if (name == "." || name == ".." || name.empty()) continue;
        if (rec.DirFlag != 0) {
            if (depth < 3) Walk(folder + "\\" + name, depth + 1, members);
        } else if (members.size() < 64) {
            members.push_back(folder + "\\" + name);
        }
    } while (++listed < 256 && FindNextPackFile(h, &rec) == 0);
    CloseFindPackFile(h);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& folder = ScratchFolder();
    std::vector<std::uint8_t> bytes(data, data + size);
    std::uint8_t key[ARCHIVE_KEY_SIZE];
    DeriveArchiveKey(nullptr, key);
    XorWithArchiveKey(static_cast<std::uint32_t>(bytes.size()), bytes.data(), 0, key);
    FILE* out = std::fopen((folder + "/F.ZVA").c_str(), "wb");
    if (out == nullptr) return 0;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);

    std::vector<std::string> members;
    // Paths the layer sees as "Z:\\TMP\\...\\F\\<member>".
    const std::string root = folder + "/F";
    Walk(root, 0, members);
    members.push_back(root + "\\A.PNG");
    for (const std::string& m : members) ReadMember(m);

    ARCHIVEREC rec{};
    if (LoadArchiveInMemory(&rec, (folder + "/F.ZVA").c_str(), nullptr, 0) == 0) {
        for (const std::string& m : members) {
            MEMBERSTREAM member;
            if (OpenArchiveMember(&member, &rec, m.c_str() + root.size() + 1, 0) == 0) {
                std::uint8_t buffer[512];
                while (ReadArchiveMember(&member, buffer, sizeof(buffer)) != 0) {
                }
                CloseArchiveMember(&member);
            }
        }
        CloseArchive(&rec);
    }
    ShutdownArchiveLayer();
    return 0;
}
