// The archive-aware file functions: owns PACKSTATE (open archives and open
// files) and its lock. Calls the archive reader, the LZ decoder, the threaded
// files, the kernel's directory functions, the allocator and the log.
#include "core/file/packfile.h"

#include "core/file/archive_lz.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/sysstate.h"
#include "platform/kernel/file.h"

#include <algorithm>
#include <cstring>

PACKSTATE PackState;

namespace {

// One lock for the layer: a movie's decode thread reads through it while the
// main thread opens and reads other files. Holding it across each operation
// also serialises the seek and read pairs on a shared archive file.
FILELOCK* LayerLock()
{
    static FILELOCK* lock = CreateFileLock();
    return lock;
}

struct LayerGuard {
    LayerGuard() { EnterFileLock(LayerLock()); }
    ~LayerGuard() { LeaveFileLock(LayerLock()); }
    LayerGuard(const LayerGuard&) = delete;
    LayerGuard& operator=(const LayerGuard&) = delete;
};

// Matches can at most expand 3 code bytes into 8,195 bytes.
constexpr std::uint64_t kMaxExpansion = 2732;

PACKFILE* LookupFile(FILEHANDLE handle)
{
    if ((handle & ~static_cast<FILEHANDLE>(0x0FFFFFFF)) != PACK_HANDLE_TAG) return nullptr;
    const FILEHANDLE slot = handle & 0x0FFFFFFF;
    if (slot >= PACK_TABLE_SIZE) return nullptr;
    return PackState.Files[slot];
}

void ReleaseArchive(int index)
{
    if (index < 0 || index >= PACK_TABLE_SIZE) return;
    PACKARCHIVE* archive = PackState.Archives[index];
    if (archive != nullptr && archive->RefCount > 0) --archive->RefCount;
}

std::uint64_t MemberFileOffset(const MEMBERSTREAM* m)
{
    return m->Archive->Header.DataOffset + m->Entry.DataOffset;
}

bool IsStored(const ARCHIVEREC* rec, const ARCHIVEENTRY& entry)
{
    return rec->Header.Version < 2 || entry.PackedSize == ARCHIVE_STORED;
}

// Decodes a whole packed member; the buffer is sized from the decoded size,
// which must be the entry's.
bool DecodeMember(MEMBERSTREAM* m, const std::uint8_t* packed, std::uint32_t packedSize)
{
    const std::int64_t size = DecodeArchiveLz(packed, packedSize, nullptr, 0);
    if (size < 0 || static_cast<std::uint64_t>(size) != m->Entry.Size) return false;
    if (static_cast<std::uint64_t>(size) > (static_cast<std::uint64_t>(packedSize) - ARCHIVE_LZ_HEADER_SIZE) * kMaxExpansion)
        return false;
    auto* decoded = static_cast<std::uint8_t*>(AllocMemory(size != 0 ? static_cast<std::size_t>(size) : 1, __FILE__, __LINE__));
    if (decoded == nullptr) return false;
    if (DecodeArchiveLz(packed, packedSize, decoded, static_cast<std::uint32_t>(size)) != size) {
        FreeMemory(decoded);
        return false;
    }
    m->Decoded = decoded;
    return true;
}

void SeekArchiveFile(THREADFILE* file, std::uint64_t offset)
{
    if (file->Position != offset) SeekThreadedFile(file, static_cast<int>(offset), 0);
}

// Every member operation first waits for the member's own pending read.
void WaitForMember(MEMBERSTREAM* m)
{
    while (PollArchiveMemberRead(m) == 0) SleepFileThread(1);
}

// Commands on one archive file run one after another; before a new one is
// posted, every member read still pending on it is finished, so its result
// is not mistaken for the new command's.
void SettleArchive(const ARCHIVEREC* rec)
{
    for (PACKFILE* file : PackState.Files) {
        if (file != nullptr && file->MemberFlag == 1 && file->Member.Archive == rec && file->Member.Pending != 0) {
            WaitForMember(&file->Member);
        }
    }
}

void FillArchiveFindRecord(const ARCHIVEREC* rec, const ARCHIVEENTRY* entry, const char* dotName, FINDREC* out)
{
    if (out == nullptr) return;
    std::memset(out, 0, sizeof(*out));
    if (dotName != nullptr) {
        std::strcpy(out->Name, dotName);
        out->DirFlag = 1;
        return;
    }
    const char* name = GetArchiveEntryName(rec, entry);
    if (name != nullptr) std::strncpy(out->Name, name, sizeof(out->Name) - 1);
    out->DirFlag = (entry->Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
    out->SizeL = entry->Size;
    out->SizeH = 0;
    FILETIME created{static_cast<DWORD>(entry->CreationTime), static_cast<DWORD>(entry->CreationTime >> 32)};
    FILETIME written{static_cast<DWORD>(entry->LastWriteTime), static_cast<DWORD>(entry->LastWriteTime >> 32)};
    FileTimeToDateFields(&created, &out->CreateTime.Year);
    FileTimeToDateFields(&written, &out->LastWriteTime.Year);
}

void UpperAscii(char* text)
{
    for (char* p = text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && p[1] != '\0') ++p;
        else if (c >= 'a' && c <= 'z') *p = static_cast<char>(c - 'a' + 'A');
    }
}

} // namespace

int ResetArchiveTables()
{
    LayerGuard guard;
    std::memset(&PackState, 0, sizeof(PackState));
    PackState.CachedIndex = -1;
    return 0;
}

void CloseUnusedArchives()
{
    LayerGuard guard;
    for (int i = 0; i < PACK_TABLE_SIZE; ++i) {
        PACKARCHIVE* archive = PackState.Archives[i];
        if (archive == nullptr || archive->RefCount >= 1) continue;
        CloseArchive(&archive->Rec);
        FreeMemory(archive);
        PackState.Archives[i] = nullptr;
        --PackState.ArchiveCount;
    }
}

int ShutdownArchiveLayer()
{
    CloseUnusedArchives();
    return 0;
}

int OpenArchiveFile(int hint, const char* path, int memoryFlag, int asyncFlag)
{
    LayerGuard guard;
    if (std::strlen(path) >= sizeof(PACKARCHIVE::Path)) return -1;
    if (hint >= 0 && hint < PACK_TABLE_SIZE && PackState.Archives[hint] != nullptr &&
        std::strcmp(PackState.Archives[hint]->Path, path) == 0) {
        ++PackState.Archives[hint]->RefCount;
        return hint;
    }
    int empty = -1;
    for (int i = 0, live = 0; i < PACK_TABLE_SIZE && live < PackState.ArchiveCount; ++i) {
        PACKARCHIVE* archive = PackState.Archives[i];
        if (archive == nullptr) {
            empty = i;
            continue;
        }
        ++live;
        if (std::strcmp(archive->Path, path) == 0) {
            ++archive->RefCount;
            return i;
        }
    }
    if (PackState.ArchiveCount >= PACK_TABLE_SIZE) {
        CloseUnusedArchives();
        if (PackState.ArchiveCount >= PACK_TABLE_SIZE) return -1;
        empty = -1;
    }
    if (empty < 0) {
        for (int i = 0; i < PACK_TABLE_SIZE; ++i) {
            if (PackState.Archives[i] == nullptr) {
                empty = i;
                break;
            }
        }
    }
    if (empty < 0) return -1;
    ARCHIVEREC rec;
    std::memset(&rec, 0, sizeof(rec));
    const char* key = PackState.KeyStringFlag == 1 ? PackState.KeyString : nullptr;
    const int opened = memoryFlag == 1 ? LoadArchiveInMemory(&rec, path, key, asyncFlag)
                                       : OpenArchiveStreamed(&rec, path, key);
    if (opened != 0) return -1;
    auto* archive = static_cast<PACKARCHIVE*>(AllocMemoryZeroed(sizeof(PACKARCHIVE), __FILE__, __LINE__));
    if (archive == nullptr) {
        CloseArchive(&rec);
        return -1;
    }
    archive->RefCount = 1;
    archive->Rec = rec;
    std::strcpy(archive->Path, path);
    PackState.Archives[empty] = archive;
    ++PackState.ArchiveCount;
    return empty;
}

int SplitArchivePath(const char* path, int* archiveIndex, char* archivePath, char* memberPath)
{
    LayerGuard guard;
    char full[260];
    if (path == nullptr || MakeArchiveFullPath(path, full) != 0) return -1;
    auto isSep = [](char c) { return c == '\\' || c == '/'; };
    int index = -1;
    std::size_t memberStart = 0;
    const std::size_t cached = static_cast<std::size_t>(PackState.CachedFolderLength);
    if (cached > 0 && std::strncmp(full, PackState.CachedPath, cached) == 0 && isSep(full[cached])) {
        index = OpenArchiveFile(PackState.CachedIndex, PackState.CachedPath, 0, 0);
        if (index < 0) return -1;
        memberStart = cached + 1;
    } else {
        const char* extension = PackState.ExtensionLength > 0 ? PackState.Extension : "ZVA";
        // The start directory and the folders above it are not the game's:
        // an archive planted beside one of them must not stand in for it.
        char start[260];
        const bool haveStart = SysState.StartDirectory[0] != '\0' &&
                               MakeArchiveFullPath(SysState.StartDirectory, start) == 0;
        std::size_t i = (full[0] == '\\' && full[1] == '\\') ? 2 : 0;
        for (;;) {
            // The next component must end in a separator: the last one is the file.
            std::size_t end = i;
            while (full[end] != '\0' && !isSep(full[end])) {
                const unsigned char c = static_cast<unsigned char>(full[end]);
                end += (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && full[end + 1] != '\0') ? 2 : 1;
            }
            if (full[end] == '\0' || end == i) return -1;
            if (haveStart && std::strncmp(full, start, end) == 0 && (start[end] == '\0' || isSep(start[end]))) {
                i = end + 1;
                continue;
            }
            char candidate[256];
            if (end + 1 + std::strlen(extension) >= sizeof(candidate)) return -1;
            std::memcpy(candidate, full, end);
            candidate[end] = '.';
            std::strcpy(candidate + end + 1, extension);
            index = OpenArchiveFile(-1, candidate, 0, 0);
            if (index >= 0) {
                std::strcpy(PackState.CachedPath, candidate);
                PackState.CachedFolderLength = static_cast<int>(end);
                PackState.CachedIndex = index;
                memberStart = end + 1;
                break;
            }
            i = end + 1;
        }
    }
    *archiveIndex = index;
    if (archivePath != nullptr) std::strcpy(archivePath, PackState.CachedPath);
    if (memberPath != nullptr) std::strcpy(memberPath, full + memberStart);
    return 0;
}

int OpenArchiveMember(MEMBERSTREAM* m, ARCHIVEREC* rec, const char* memberPath, int asyncFlag)
{
    LayerGuard guard;
    std::memset(m, 0, sizeof(*m));
    while (PollArchiveImageLoad(rec) == 0) YieldFileThread();
    ARCHIVEENTRY entry;
    if (FindArchiveMember(memberPath, rec, &entry) != 0) return -1;
    m->Archive = rec;
    m->Entry = entry;
    m->Async = asyncFlag;
    const std::uint64_t at = MemberFileOffset(m);
    if (IsStored(rec, entry)) {
        if (at + entry.Size > rec->FileSize) return -1;
        return 0;
    }
    const std::uint32_t packedSize = entry.PackedSize;
    if (packedSize < ARCHIVE_LZ_HEADER_SIZE || at + packedSize > rec->FileSize) return -1;
    if (rec->MemoryMode == 1) return DecodeMember(m, rec->Image + at, packedSize) ? 0 : -1;

    auto* packed = static_cast<std::uint8_t*>(AllocMemory(packedSize, __FILE__, __LINE__));
    if (packed == nullptr) return -1;
    m->FileOffset = at;
    SettleArchive(rec);
    SeekArchiveFile(rec->File, at);
    if (asyncFlag == 0) {
        const bool ok = ReadAndUnscramble(static_cast<std::int64_t>(at), rec->File, packed, packedSize, rec->Key) == 0 &&
                        DecodeMember(m, packed, packedSize);
        FreeMemory(packed);
        if (!ok) std::memset(m, 0, sizeof(*m));
        return ok ? 0 : -1;
    }
    if (ReadThreadedFile(packed, packedSize, 1, rec->File) != 1) {
        FreeMemory(packed);
        std::memset(m, 0, sizeof(*m));
        return -1;
    }
    m->Packed = packed;
    m->Pending = 1;
    return 0;
}

int PollArchiveMemberRead(MEMBERSTREAM* m)
{
    LayerGuard guard;
    if (m->Pending == 0 || m->Async == 0) return 1;
    THREADFILE* file = m->Archive->File;
    if (!IsThreadedFileIdle(file)) return 0;
    const std::uint32_t delivered = file->ReadSize;
    if (m->Pending == 1) {
        const std::uint32_t packedSize = m->Entry.PackedSize;
        bool ok = delivered == packedSize;
        if (ok) {
            XorWithArchiveKey(packedSize, m->Packed, m->FileOffset, m->Archive->Key);
            ok = DecodeMember(m, m->Packed, packedSize);
        }
        FreeMemory(m->Packed);
        m->Packed = nullptr;
        // A member that cannot be decoded reads as empty.
        if (!ok) m->Failed = 1;
    } else {
        if (delivered < m->DestinationSize) {
            std::memset(static_cast<std::uint8_t*>(m->Destination) + delivered, 0, m->DestinationSize - delivered);
        }
        XorWithArchiveKey(m->DestinationSize, m->Destination, m->FileOffset, m->Archive->Key);
    }
    m->Pending = 0;
    return 1;
}

int CloseArchiveMember(MEMBERSTREAM* m)
{
    LayerGuard guard;
    WaitForMember(m);
    if (m->Decoded != nullptr) FreeMemory(m->Decoded);
    if (m->Packed != nullptr) FreeMemory(m->Packed);
    std::memset(m, 0, sizeof(*m));
    return 0;
}

int TellArchiveMember(MEMBERSTREAM* m)
{
    LayerGuard guard;
    WaitForMember(m);
    return static_cast<int>(m->Position);
}

int SeekArchiveMember(MEMBERSTREAM* m, int offset, int origin)
{
    LayerGuard guard;
    WaitForMember(m);
    std::int64_t target = offset;
    if (origin == 1) target += m->Position;
    else if (origin == 2) target += m->Entry.Size;
    m->Position = static_cast<std::uint32_t>(std::clamp<std::int64_t>(target, 0, m->Entry.Size));
    m->Eof = 0;
    return 0;
}

int IsArchiveMemberEof(MEMBERSTREAM* m)
{
    LayerGuard guard;
    WaitForMember(m);
    return m->Eof != 0 ? -1 : 0;
}

std::uint32_t ReadArchiveMember(MEMBERSTREAM* m, void* buffer, std::uint32_t bytes)
{
    LayerGuard guard;
    WaitForMember(m);
    if (m->Eof != 0) return 0;
    const std::uint32_t size = m->Failed ? 0 : m->Entry.Size;
    if (m->Position >= size) {
        m->Eof = 1;
        return 0;
    }
    const std::uint32_t n = std::min(bytes, size - m->Position);
    ARCHIVEREC* rec = m->Archive;
    if (m->Decoded != nullptr) {
        std::memcpy(buffer, m->Decoded + m->Position, n);
    } else if (rec->MemoryMode == 1) {
        std::memcpy(buffer, rec->Image + MemberFileOffset(m) + m->Position, n);
    } else {
        const std::uint64_t at = MemberFileOffset(m) + m->Position;
        SettleArchive(rec);
        SeekArchiveFile(rec->File, at);
        if (m->Async == 0) {
            if (ReadAndUnscramble(static_cast<std::int64_t>(at), rec->File, buffer, n, rec->Key) != 0) return 0;
        } else {
            if (ReadThreadedFile(buffer, n, 1, rec->File) != 1) return 0;
            m->Pending = 2;
            m->FileOffset = at;
            m->Destination = buffer;
            m->DestinationSize = n;
        }
    }
    m->Position += n;
    m->Eof = 0;
    return n;
}

FILEHANDLE OpenPackFile(const char* path, int cacheFlag, int, int asyncFlag)
{
    LayerGuard guard;
    if (path == nullptr) return 0;
    if (PackState.FileCount >= PACK_TABLE_SIZE) {
        WriteLog("同時に開けるファイルの数が限界を超えました\n");
        return 0;
    }
    int slot = 0;
    while (slot < PACK_TABLE_SIZE && PackState.Files[slot] != nullptr) ++slot;
    if (slot == PACK_TABLE_SIZE) return 0;
    auto* file = static_cast<PACKFILE*>(AllocMemoryZeroed(sizeof(PACKFILE), __FILE__, __LINE__));
    if (file == nullptr) {
        WriteLog("ファイルの情報を格納するメモリの確保に失敗しました\n");
        return 0;
    }
    int archive = -1;
    char member[260];
    if (SplitArchivePath(path, &archive, nullptr, member) != 0) {
        file->MemberFlag = 0;
        file->Plain = OpenThreadedFile(path, cacheFlag, 1, asyncFlag);
        if (file->Plain == nullptr) {
            FreeMemory(file);
            return 0;
        }
    } else {
        // An archive hides the folder it serves: the plain file is not tried.
        file->MemberFlag = 1;
        file->ArchiveIndex = archive;
        if (OpenArchiveMember(&file->Member, &PackState.Archives[archive]->Rec, member, asyncFlag) != 0) {
            ReleaseArchive(archive);
            FreeMemory(file);
            return 0;
        }
    }
    PackState.Files[slot] = file;
    ++PackState.FileCount;
    return static_cast<FILEHANDLE>(slot) | PACK_HANDLE_TAG;
}

int ClosePackFile(FILEHANDLE handle)
{
    LayerGuard guard;
    PACKFILE* file = LookupFile(handle);
    if (file == nullptr) return -1;
    if (file->MemberFlag == 1) {
        ReleaseArchive(file->ArchiveIndex);
        CloseArchiveMember(&file->Member);
    } else {
        CloseThreadedFile(file->Plain);
    }
    FreeMemory(file);
    PackState.Files[handle & 0x0FFFFFFF] = nullptr;
    --PackState.FileCount;
    return 0;
}

int TellPackFile(FILEHANDLE handle)
{
    LayerGuard guard;
    PACKFILE* file = LookupFile(handle);
    if (file == nullptr) return -1;
    return file->MemberFlag == 1 ? TellArchiveMember(&file->Member) : TellThreadedFile(file->Plain);
}

int SeekPackFile(FILEHANDLE handle, int offset, int origin)
{
    LayerGuard guard;
    PACKFILE* file = LookupFile(handle);
    if (file == nullptr) return -1;
    return file->MemberFlag == 1 ? SeekArchiveMember(&file->Member, offset, origin)
                                 : SeekThreadedFile(file->Plain, offset, origin);
}

std::uint32_t ReadPackFile(void* buffer, std::uint32_t size, std::uint32_t count, FILEHANDLE handle)
{
    LayerGuard guard;
    PACKFILE* file = LookupFile(handle);
    if (file == nullptr || size == 0 || count == 0) return 0;
    if (file->MemberFlag == 0) return ReadThreadedFile(buffer, size, count, file->Plain);
    const std::uint64_t bytes = static_cast<std::uint64_t>(size) * count;
    const std::uint32_t asked = bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(bytes);
    return ReadArchiveMember(&file->Member, buffer, asked) / size;
}

int IsPackFileEof(FILEHANDLE handle)
{
    LayerGuard guard;
    PACKFILE* file = LookupFile(handle);
    if (file == nullptr) return -1;
    return file->MemberFlag == 1 ? IsArchiveMemberEof(&file->Member) : IsThreadedFileEof(file->Plain);
}

int IsPackFileIdle(FILEHANDLE handle)
{
    LayerGuard guard;
    PACKFILE* file = LookupFile(handle);
    if (file == nullptr) return -1;
    return file->MemberFlag == 1 ? PollArchiveMemberRead(&file->Member) : IsThreadedFileIdle(file->Plain);
}

int SetPackCurrentDir(const char* path)
{
    SetCurrentDirectoryA(path);
    return 0;
}

int GetPackCurrentDir(char* buffer)
{
    GetCurrentDirectoryA(256, buffer);
    return 0;
}

ARCHIVEFIND* FindFirstInArchive(ARCHIVEREC* rec, const char* pattern, FINDREC* findData)
{
    LayerGuard guard;
    while (PollArchiveImageLoad(rec) == 0) YieldFileThread();
    auto* find = static_cast<ARCHIVEFIND*>(AllocMemoryZeroed(sizeof(ARCHIVEFIND), __FILE__, __LINE__));
    if (find == nullptr) return nullptr;
    char folder[260];
    if (SplitArchiveFileName(pattern, find->Pattern, folder) != 0) {
        FreeMemory(find);
        return nullptr;
    }
    UpperAscii(find->Pattern);
    UpperAscii(folder);
    find->Rec = rec;
    const std::uint32_t saved = rec->CurrentFolder;
    if (folder[0] != '\0' && ChangeArchiveDir(rec, folder, 0, nullptr) != 0) {
        rec->CurrentFolder = saved;
        FreeMemory(find);
        return nullptr;
    }
    find->Folder = rec->CurrentFolder;
    rec->CurrentFolder = saved;
    find->Index = 0;
    if (FindNextInArchive(find, findData) != 0) {
        FreeMemory(find);
        return nullptr;
    }
    ++find->Index;
    return find;
}

int FindNextInArchive(ARCHIVEFIND* find, FINDREC* findData)
{
    LayerGuard guard;
    const ARCHIVEREC* rec = find->Rec;
    std::uint32_t count = 0, parent = 0;
    if (GetArchiveFolder(rec, find->Folder, &count, &parent) != 0) return -1;
    // The listing: ".", ".." (below the root), then the folder's entries.
    const std::uint32_t dots = parent == ARCHIVE_NO_PARENT ? 1 : 2;
    for (std::uint32_t i = find->Index; i < dots + static_cast<std::uint64_t>(count); ++i) {
        if (i < dots) {
            const char* name = i == 0 ? "." : "..";
            if (MatchWildcard(find->Pattern, name) == 0) {
                find->Index = i;
                FillArchiveFindRecord(rec, nullptr, name, findData);
                return 0;
            }
            continue;
        }
        ARCHIVEENTRY entry;
        if (GetArchiveEntry(rec, find->Folder, i - dots, &entry) != 0) return -1;
        const char* search = GetArchiveEntrySearchName(rec, &entry);
        if (search != nullptr && MatchWildcard(find->Pattern, search) == 0) {
            find->Index = i;
            FillArchiveFindRecord(rec, &entry, nullptr, findData);
            return 0;
        }
    }
    return -1;
}

FINDHANDLE FindFirstPackFile(const char* pattern, FINDREC* findData)
{
    LayerGuard guard;
    auto* find = static_cast<PACKFIND*>(AllocMemoryZeroed(sizeof(PACKFIND), __FILE__, __LINE__));
    if (find == nullptr) return NO_FIND_HANDLE;
    int archive = -1;
    char member[260];
    if (SplitArchivePath(pattern, &archive, nullptr, member) == 0) {
        find->InArchive = 1;
        find->ArchiveIndex = archive;
        find->Archive = FindFirstInArchive(&PackState.Archives[archive]->Rec, member, findData);
        if (find->Archive == nullptr) {
            ReleaseArchive(archive);
            FreeMemory(find);
            return NO_FIND_HANDLE;
        }
    } else {
        find->Plain = FindFirstPlainFile(pattern, findData);
        if (find->Plain == NO_FIND_HANDLE) {
            FreeMemory(find);
            return NO_FIND_HANDLE;
        }
    }
    return reinterpret_cast<FINDHANDLE>(find);
}

int FindNextPackFile(FINDHANDLE handle, FINDREC* findData)
{
    LayerGuard guard;
    if (handle == NO_FIND_HANDLE || handle == 0) return -1;
    auto* find = reinterpret_cast<PACKFIND*>(handle);
    if (find->InArchive == 0) return FindNextPlainFile(find->Plain, findData);
    if (FindNextInArchive(find->Archive, findData) != 0) return -1;
    ++find->Archive->Index;
    return 0;
}

int CloseFindPackFile(FINDHANDLE handle)
{
    LayerGuard guard;
    if (handle == NO_FIND_HANDLE || handle == 0) return -1;
    auto* find = reinterpret_cast<PACKFIND*>(handle);
    if (find->InArchive == 1) {
        FreeMemory(find->Archive);
        ReleaseArchive(find->ArchiveIndex);
    } else {
        CloseFindPlainFile(find->Plain);
    }
    FreeMemory(find);
    return 0;
}
