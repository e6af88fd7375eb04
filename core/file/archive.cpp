// The ZVA archive reader: owns nothing global; each ARCHIVEREC holds one
// open archive. Reads archive files as threaded files (one reader thread per
// archive) and allocates through the library's allocator. Every offset and
// count read from an archive is checked against the header block or the file
// size before it is used.
#include "core/file/archive.h"

#include "core/file/archive_lz.h"
#include "core/memory.h"
#include "platform/kernel/file.h"

#include <cstring>

namespace {

constexpr std::uint8_t kFillerByte = 0x6E;
constexpr std::uint32_t kPathLimit = 260;

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::uint8_t RotateLeft(std::uint8_t b, unsigned n)
{
    n &= 7;
    return static_cast<std::uint8_t>((b << n) | (b >> ((8 - n) & 7)));
}

std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t ReadU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t ReadU64(const std::uint8_t* p)
{
    return static_cast<std::uint64_t>(ReadU32(p)) | (static_cast<std::uint64_t>(ReadU32(p + 4)) << 32);
}

std::uint32_t EntrySize(const ARCHIVEREC* rec) { return rec->Header.Version >= 2 ? 44u : 40u; }

void ParseHeader(const std::uint8_t* raw, ARCHIVEHEAD* head)
{
    head->Magic = ReadU16(raw);
    head->Version = ReadU16(raw + 2);
    head->HeaderBlockSize = ReadU32(raw + 4);
    head->DataOffset = ReadU32(raw + 8);
    head->HeaderBlockOffset = ReadU32(raw + 12);
    head->FileTableOffset = ReadU32(raw + 16);
    head->FolderTableOffset = ReadU32(raw + 20);
}

// The header's tables must lie in the header block, the block in the file,
// and the root folder record must exist.
bool HeaderIsSound(const ARCHIVEHEAD& h, std::uint32_t fileSize)
{
    if (h.Magic != ARCHIVE_MAGIC || h.Version > 3) return false;
    if (h.HeaderBlockSize == 0) return false;
    if (static_cast<std::uint64_t>(h.HeaderBlockOffset) + h.HeaderBlockSize > fileSize) return false;
    if (h.FileTableOffset > h.HeaderBlockSize) return false;
    if (static_cast<std::uint64_t>(h.FolderTableOffset) + ARCHIVE_FOLDER_SIZE > h.HeaderBlockSize) return false;
    return true;
}

// Waits, yielding, until the archive file's posted command is done.
void WaitUntilIdle(THREADFILE* file)
{
    while (!IsThreadedFileIdle(file)) YieldFileThread();
}

// Reads the header with the key in rec, then with the second key.
bool ReadHeader(ARCHIVEREC* rec, THREADFILE* file, const char* keyString)
{
    std::uint8_t raw[ARCHIVE_HEADER_SIZE];
    DeriveArchiveKey(keyString, rec->Key);
    if (ReadAndUnscramble(0, file, raw, sizeof(raw), rec->Key) != 0) return false;
    if (ReadU16(raw) != ARCHIVE_MAGIC) {
        GetSecondArchiveKey(rec->Key);
        SeekThreadedFile(file, 0, 0);
        if (ReadAndUnscramble(0, file, raw, sizeof(raw), rec->Key) != 0) return false;
    }
    ParseHeader(raw, &rec->Header);
    return HeaderIsSound(rec->Header, file->Size);
}

bool ReadHeaderBlock(ARCHIVEREC* rec, THREADFILE* file)
{
    const ARCHIVEHEAD& h = rec->Header;
    rec->HeaderBlock = static_cast<std::uint8_t*>(AllocMemory(h.HeaderBlockSize, __FILE__, __LINE__));
    if (rec->HeaderBlock == nullptr) return false;
    SeekThreadedFile(file, static_cast<int>(h.HeaderBlockOffset), 0);
    if (ReadAndUnscramble(h.HeaderBlockOffset, file, rec->HeaderBlock, h.HeaderBlockSize, rec->Key) != 0) {
        FreeMemory(rec->HeaderBlock);
        rec->HeaderBlock = nullptr;
        return false;
    }
    rec->FileTable = h.FileTableOffset;
    rec->FolderTable = h.FolderTableOffset;
    rec->CurrentFolder = 0;
    rec->FileSize = file->Size;
    return true;
}

// Finishes a pending whole-file load before the tables are used.
void FinishImageLoad(ARCHIVEREC* rec)
{
    while (PollArchiveImageLoad(rec) == 0) YieldFileThread();
}

bool NameRecordMatches(const ARCHIVEREC* rec, const ARCHIVEENTRY& entry, const SEARCHNAME* name)
{
    const std::uint32_t size = rec->Header.HeaderBlockSize;
    if (static_cast<std::uint64_t>(entry.NameOffset) + 4 > size) return false;
    const std::uint8_t* record = rec->HeaderBlock + entry.NameOffset;
    const std::uint16_t words = ReadU16(record);
    if (words != name->WordCount || ReadU16(record + 2) != name->Checksum) return false;
    if (static_cast<std::uint64_t>(entry.NameOffset) + 4 + 4ull * words > size) return false;
    return std::memcmp(record + 4, name->Name, 4u * words) == 0;
}

// Looks name up among the current folder's entries, folders or files.
int FindEntryInCurrentFolder(const ARCHIVEREC* rec, const SEARCHNAME* name, bool folders, ARCHIVEENTRY* found)
{
    std::uint32_t count = 0, parent = 0;
    if (GetArchiveFolder(rec, rec->CurrentFolder, &count, &parent) != 0) return -1;
    for (std::uint32_t i = 0; i < count; ++i) {
        ARCHIVEENTRY entry;
        if (GetArchiveEntry(rec, rec->CurrentFolder, i, &entry) != 0) return -1;
        const bool isFolder = (entry.Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder != folders) continue;
        if (NameRecordMatches(rec, entry, name)) {
            *found = entry;
            return 0;
        }
    }
    return -1;
}

// Offset in the path of the last backslash outside a two-byte character, or -1.
long LastBackslash(const char* path)
{
    long last = -1;
    for (long i = 0; path[i] != '\0'; ++i) {
        if (IsLead(static_cast<unsigned char>(path[i])) && path[i + 1] != '\0') ++i;
        else if (path[i] == '\\') last = i;
    }
    return last;
}

} // namespace

int MakeArchiveSearchName(const char* name, SEARCHNAME* out, int* length)
{
    std::uint32_t n = 0;
    std::uint16_t sum = 0;
    const char* p = name;
    while (*p != '\0' && *p != '\\') {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (IsLead(c) && p[1] != '\0') {
            if (n + 2 >= SEARCHNAME_MAX) return -1;
            out->Name[n++] = c;
            out->Name[n++] = static_cast<unsigned char>(p[1]);
            sum = static_cast<std::uint16_t>(sum + c + static_cast<unsigned char>(p[1]));
            p += 2;
            continue;
        }
        if (n + 1 >= SEARCHNAME_MAX) return -1;
        const unsigned char u = static_cast<unsigned char>(Upper(static_cast<char>(c)));
        out->Name[n++] = u;
        sum = static_cast<std::uint16_t>(sum + u);
        ++p;
    }
    const std::uint32_t padded = 4 * ((n + 4) / 4);
    if (padded > SEARCHNAME_MAX) return -1;
    std::memset(out->Name + n, 0, padded - n);
    out->Checksum = sum;
    out->WordCount = static_cast<std::uint16_t>(padded / 4);
    if (length != nullptr) *length = static_cast<int>(p - name);
    return 0;
}

void DeriveArchiveKey(const char* keyString, std::uint8_t key[ARCHIVE_KEY_SIZE])
{
    const std::size_t len = keyString != nullptr ? std::strlen(keyString) : 0;
    for (std::uint32_t i = 0; i < ARCHIVE_KEY_SIZE; ++i) {
        key[i] = len != 0 ? static_cast<std::uint8_t>(keyString[i % len]) : kFillerByte;
    }
    // Each position gets its own twist, so a run of equal bytes does not show
    // through the scrambling as a repeated pattern.
    for (std::uint32_t i = 0; i < ARCHIVE_KEY_SIZE; ++i) {
        std::uint8_t b = static_cast<std::uint8_t>(key[i] ^ (0xA7 + 29 * i));
        b = RotateLeft(b, i % 7 + 1);
        if (i & 1) b = static_cast<std::uint8_t>(~b);
        key[i] = b;
    }
}

void GetSecondArchiveKey(std::uint8_t key[ARCHIVE_KEY_SIZE])
{
    for (std::uint32_t i = 0; i < ARCHIVE_KEY_SIZE; ++i) {
        key[i] = static_cast<std::uint8_t>(RotateLeft(static_cast<std::uint8_t>(0x3C + 0x51 * i), i % 5) ^ 0xC9);
    }
}

void XorWithArchiveKey(std::uint32_t size, void* buffer, std::uint64_t fileOffset, const std::uint8_t* key)
{
    auto* p = static_cast<std::uint8_t*>(buffer);
    std::uint32_t phase = static_cast<std::uint32_t>(fileOffset % ARCHIVE_KEY_SIZE);
    for (std::uint32_t i = 0; i < size; ++i) {
        p[i] ^= key[phase];
        if (++phase == ARCHIVE_KEY_SIZE) phase = 0;
    }
}

int ReadAndUnscramble(std::int64_t fileOffset, THREADFILE* file, void* buffer, std::uint32_t size,
                      const std::uint8_t* key)
{
    const std::uint64_t phase = fileOffset < 0 ? file->Position : static_cast<std::uint64_t>(fileOffset);
    if (size == 0) return 0;
    if (ReadThreadedFile(buffer, size, 1, file) != 1) return -1;
    WaitUntilIdle(file);
    // A thread-mode file reports what the thread really delivered.
    if (file->ThreadMode != 0 && file->ReadSize != size) return -1;
    XorWithArchiveKey(size, buffer, phase, key);
    return 0;
}

int OpenArchiveStreamed(ARCHIVEREC* rec, const char* path, const char* keyString)
{
    if (rec->File != nullptr || rec->Image != nullptr) return -1;
    THREADFILE* file = OpenThreadedFile(path, 0, 1, 1);
    if (file == nullptr) return -1;
    if (!ReadHeader(rec, file, keyString) || !ReadHeaderBlock(rec, file)) {
        CloseThreadedFile(file);
        std::memset(rec, 0, sizeof(*rec));
        return -1;
    }
    rec->File = file;
    rec->MemoryMode = 0;
    return 0;
}

int LoadArchiveInMemory(ARCHIVEREC* rec, const char* path, const char* keyString, int asyncFlag)
{
    if (rec->File != nullptr || rec->Image != nullptr) return -1;
    THREADFILE* file = OpenThreadedFile(path, 0, 1, 1);
    if (file == nullptr) return -1;
    std::uint8_t* image = static_cast<std::uint8_t*>(AllocMemory(file->Size ? file->Size : 1, __FILE__, __LINE__));
    if (image == nullptr || !ReadHeader(rec, file, keyString) || !ReadHeaderBlock(rec, file)) {
        if (image != nullptr) FreeMemory(image);
        CloseThreadedFile(file);
        std::memset(rec, 0, sizeof(*rec));
        return -1;
    }
    rec->Image = image;
    rec->MemoryMode = 1;
    rec->ImageLoader = file;
    rec->ImageLoadPending = 1;
    SeekThreadedFile(file, 0, 0);
    ReadThreadedFile(image, file->Size, 1, file);
    if (asyncFlag == 0) FinishImageLoad(rec);
    return 0;
}

int PollArchiveImageLoad(ARCHIVEREC* rec)
{
    if (rec->ImageLoadPending == 0) return 1;
    if (!IsThreadedFileIdle(rec->ImageLoader)) return 0;
    // Bytes the thread could not deliver stay zero rather than stale.
    const std::uint32_t got = rec->ImageLoader->ReadSize;
    if (got < rec->FileSize) std::memset(rec->Image + got, 0, rec->FileSize - got);
    CloseThreadedFile(rec->ImageLoader);
    rec->ImageLoader = nullptr;
    XorWithArchiveKey(rec->FileSize, rec->Image, 0, rec->Key);
    rec->ImageLoadPending = 0;
    return 1;
}

int CloseArchive(ARCHIVEREC* rec)
{
    if (rec->File == nullptr && rec->Image == nullptr) return 0;
    FinishImageLoad(rec);
    if (rec->File != nullptr) CloseThreadedFile(rec->File);
    if (rec->Image != nullptr) FreeMemory(rec->Image);
    if (rec->HeaderBlock != nullptr) FreeMemory(rec->HeaderBlock);
    std::memset(rec, 0, sizeof(*rec));
    return 0;
}

int GetArchiveFolder(const ARCHIVEREC* rec, std::uint32_t folderOffset, std::uint32_t* count, std::uint32_t* parent)
{
    const std::uint64_t at = static_cast<std::uint64_t>(rec->FolderTable) + folderOffset;
    if (at + ARCHIVE_FOLDER_SIZE > rec->Header.HeaderBlockSize) return -1;
    const std::uint8_t* record = rec->HeaderBlock + at;
    *parent = ReadU32(record + 4);
    *count = ReadU32(record + 8);
    return 0;
}

int GetArchiveEntry(const ARCHIVEREC* rec, std::uint32_t folderOffset, std::uint32_t index, ARCHIVEENTRY* entry)
{
    const std::uint64_t folderAt = static_cast<std::uint64_t>(rec->FolderTable) + folderOffset;
    if (folderAt + ARCHIVE_FOLDER_SIZE > rec->Header.HeaderBlockSize) return -1;
    const std::uint8_t* folder = rec->HeaderBlock + folderAt;
    if (index >= ReadU32(folder + 8)) return -1;
    const std::uint64_t at =
        static_cast<std::uint64_t>(rec->FileTable) + ReadU32(folder + 12) + static_cast<std::uint64_t>(index) * EntrySize(rec);
    if (at + EntrySize(rec) > rec->Header.HeaderBlockSize) return -1;
    const std::uint8_t* e = rec->HeaderBlock + at;
    entry->NameOffset = ReadU32(e);
    entry->Attributes = ReadU32(e + 4);
    entry->CreationTime = ReadU64(e + 8);
    entry->LastWriteTime = ReadU64(e + 24);
    entry->DataOffset = ReadU32(e + 32);
    entry->Size = ReadU32(e + 36);
    entry->PackedSize = rec->Header.Version >= 2 ? ReadU32(e + 40) : ARCHIVE_STORED;
    return 0;
}

const char* GetArchiveEntrySearchName(const ARCHIVEREC* rec, const ARCHIVEENTRY* entry)
{
    const std::uint32_t size = rec->Header.HeaderBlockSize;
    if (static_cast<std::uint64_t>(entry->NameOffset) + 4 > size) return nullptr;
    const std::uint8_t* record = rec->HeaderBlock + entry->NameOffset;
    const std::uint32_t bytes = 4u * ReadU16(record);
    if (bytes == 0 || static_cast<std::uint64_t>(entry->NameOffset) + 4 + bytes > size) return nullptr;
    if (record[4 + bytes - 1] != 0) return nullptr;
    return reinterpret_cast<const char*>(record + 4);
}

const char* GetArchiveEntryName(const ARCHIVEREC* rec, const ARCHIVEENTRY* entry)
{
    if (GetArchiveEntrySearchName(rec, entry) == nullptr) return nullptr;
    const std::uint8_t* record = rec->HeaderBlock + entry->NameOffset;
    const std::uint64_t start = static_cast<std::uint64_t>(entry->NameOffset) + 4 + 4u * ReadU16(record);
    const std::uint32_t size = rec->Header.HeaderBlockSize;
    if (start >= size) return nullptr;
    const void* end = std::memchr(rec->HeaderBlock + start, 0, size - start);
    return end != nullptr ? reinterpret_cast<const char*>(rec->HeaderBlock + start) : nullptr;
}

int FindArchiveSubFolder(ARCHIVEREC* rec, const SEARCHNAME* name)
{
    ARCHIVEENTRY entry;
    if (FindEntryInCurrentFolder(rec, name, true, &entry) != 0) return -1;
    std::uint32_t count = 0, parent = 0;
    if (GetArchiveFolder(rec, entry.DataOffset, &count, &parent) != 0) return -1;
    rec->CurrentFolder = entry.DataOffset;
    return 0;
}

int ChangeArchiveDir(ARCHIVEREC* rec, const char* path, int restoreFlag, SEARCHNAME* last)
{
    FinishImageLoad(rec);
    if (std::strcmp(path, ".") == 0) return 0;
    if (std::strcmp(path, "\\") == 0) {
        rec->CurrentFolder = 0;
        return 0;
    }
    if (std::strcmp(path, "..") == 0) {
        std::uint32_t count = 0, parent = 0;
        if (GetArchiveFolder(rec, rec->CurrentFolder, &count, &parent) != 0) return -1;
        std::uint32_t grandParent = 0;
        if (parent == ARCHIVE_NO_PARENT || GetArchiveFolder(rec, parent, &count, &grandParent) != 0) return -1;
        rec->CurrentFolder = parent;
        return 0;
    }
    const std::uint32_t saved = rec->CurrentFolder;
    SEARCHNAME name;
    const char* p = path;
    for (;;) {
        if (*p == '\\') {
            rec->CurrentFolder = 0;  // a leading backslash starts at the root
            ++p;
            continue;
        }
        if (*p == '\0') return 0;
        int length = 0;
        const bool built = MakeArchiveSearchName(p, &name, &length) == 0;
        if (!built || FindArchiveSubFolder(rec, &name) != 0) {
            if (built && last != nullptr) *last = name;
            if (restoreFlag) rec->CurrentFolder = saved;
            return -1;
        }
        if (last != nullptr) *last = name;
        p += length;
        if (*p == '\0') return 0;
        ++p;  // the backslash
        if (*p == '\0') return 0;
    }
}

int FindArchiveMember(const char* path, ARCHIVEREC* rec, ARCHIVEENTRY* entry)
{
    FinishImageLoad(rec);
    const std::uint32_t saved = rec->CurrentFolder;
    const long cut = LastBackslash(path);
    const char* name = path;
    if (cut >= 0) {
        char folder[kPathLimit];
        if (cut >= static_cast<long>(sizeof(folder))) return -1;
        std::memcpy(folder, path, static_cast<std::size_t>(cut));
        folder[cut] = '\0';
        if (ChangeArchiveDir(rec, cut == 0 ? "\\" : folder, 0, nullptr) != 0) {
            rec->CurrentFolder = saved;
            return -1;
        }
        name = path + cut + 1;
    }
    SEARCHNAME search;
    int result = -1;
    if (*name != '\0' && MakeArchiveSearchName(name, &search, nullptr) == 0) {
        result = FindEntryInCurrentFolder(rec, &search, false, entry);
    }
    rec->CurrentFolder = saved;
    return result;
}

int SplitArchiveFileName(const char* path, char* name, char* folder)
{
    long cut = -1;
    for (long i = 0; path[i] != '\0'; ++i) {
        if (IsLead(static_cast<unsigned char>(path[i])) && path[i + 1] != '\0') ++i;
        else if (path[i] == '\\' || path[i] == '/' || path[i] == ':') cut = i;
    }
    const char* namePart = path + cut + 1;
    if (std::strlen(namePart) >= kPathLimit || cut >= static_cast<long>(kPathLimit)) return -1;
    if (name != nullptr) std::strcpy(name, namePart);
    if (folder != nullptr) {
        const std::size_t n = cut < 0 ? 0 : static_cast<std::size_t>(cut);
        std::memcpy(folder, path, n);
        folder[n] = '\0';
    }
    return 0;
}

int MakeArchiveFullPath(const char* path, char* destination)
{
    char base[kPathLimit];
    const DWORD got = GetCurrentDirectoryA(kPathLimit, base);
    if (got == 0 || got >= kPathLimit) return -1;
    for (DWORD i = 0; i < got; ++i) {
        if (IsLead(static_cast<unsigned char>(base[i])) && i + 1 < got) ++i;
        else base[i] = Upper(base[i]);
    }
    if (path == nullptr) {
        std::memcpy(destination, base, got + 1);
        return 0;
    }
    auto isSep = [](char c) { return c == '\\' || c == '/'; };
    std::size_t len = 0;
    const char* p = path;
    if (isSep(p[0]) && p[1] == p[0]) {
        destination[len++] = '\\';
        p += 2;
    } else if (isSep(p[0])) {
        destination[len++] = base[0];
        destination[len++] = base[1];
        p += 1;
    } else if (p[0] != '\0' && p[1] == ':') {
        destination[len++] = Upper(p[0]);
        destination[len++] = ':';
        p += 2;
        if (*p == '\\') ++p;
    } else {
        len = got;
        std::memcpy(destination, base, len);
        if (len > 0 && isSep(destination[len - 1])) --len;
    }
    destination[len] = '\0';

    while (*p != '\0') {
        // One component, upper-cased, two-byte characters kept as they are.
        char component[kPathLimit];
        std::size_t n = 0;
        while (*p != '\0' && !isSep(*p)) {
            if (n + 2 >= kPathLimit) return -1;
            if (IsLead(static_cast<unsigned char>(*p)) && p[1] != '\0') {
                component[n++] = *p++;
                component[n++] = *p++;
            } else {
                component[n++] = Upper(*p++);
            }
        }
        component[n] = '\0';
        const bool final = *p == '\0';
        if (!final) ++p;
        if (n == 0) continue;
        if (!final && std::strcmp(component, ".") == 0) continue;
        if (!final && std::strcmp(component, "..") == 0) {
            std::size_t lastSep = len, lastColon = len;
            for (std::size_t i = 0; i < len; ++i) {
                if (IsLead(static_cast<unsigned char>(destination[i])) && i + 1 < len) ++i;
                else if (isSep(destination[i])) lastSep = i;
                else if (destination[i] == ':') lastColon = i;
            }
            if (lastSep != len && (lastColon == len || lastColon < lastSep)) {
                len = lastSep;
                destination[len] = '\0';
            }
            continue;
        }
        if (len + 1 + n >= kPathLimit) return -1;
        destination[len++] = '\\';
        std::memcpy(destination + len, component, n + 1);
        len += n;
    }
    return 0;
}

int MatchWildcard(const char* pattern, const char* name)
{
    const char* p = pattern;
    const char* n = name;
    for (;;) {
        if (*p == '\0' || *n == '\0') {
            if (*p == '*') {
                while (*p == '*') ++p;
                if (*p == '\0') return 0;
                return -1;
            }
            return (*p == '\0' && *n == '\0') ? 0 : -1;
        }
        const unsigned char c = static_cast<unsigned char>(*p);
        if (IsLead(c) && p[1] != '\0') {
            if (n[0] != p[0] || n[1] == '\0' || n[1] != p[1]) return -1;
            p += 2;
            n += 2;
        } else if (c == '?') {
            ++p;
            ++n;
        } else if (c == '*') {
            while (*p == '*') ++p;
            if (*p == '\0') return 0;
            const char next = *p;
            while (*n != '\0' && *n != next) ++n;
            if (*n == '\0') return -1;
            ++p;
            ++n;
        } else {
            if (*p != *n) return -1;
            ++p;
            ++n;
        }
    }
}
