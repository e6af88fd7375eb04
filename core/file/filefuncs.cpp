// The installed FILEFUNCS table and its dispatchers; the plain set's
// directory and find operations; temporary files, full paths and the
// two-byte-character test. Calls the kernel file layer and the threaded files.
#include "core/file/filefuncs.h"

#include "core/file/packfile.h"
#include "core/file/threadfile.h"
#include "core/memory.h"
#include "core/sysstate.h"
#include "platform/kernel/file.h"

#include <cstring>

namespace {

THREADFILE* AsThreadFile(FILEHANDLE h) { return reinterpret_cast<THREADFILE*>(h); }

FILEHANDLE PlainOpen(const char* path, int cacheFlag, int reserved, int asyncFlag)
{
    return reinterpret_cast<FILEHANDLE>(OpenThreadedFile(path, cacheFlag, reserved, asyncFlag));
}
int PlainClose(FILEHANDLE h) { return CloseThreadedFile(AsThreadFile(h)); }
int PlainTell(FILEHANDLE h) { return TellThreadedFile(AsThreadFile(h)); }
int PlainSeek(FILEHANDLE h, int offset, int origin) { return SeekThreadedFile(AsThreadFile(h), offset, origin); }
std::uint32_t PlainRead(void* buffer, std::uint32_t size, std::uint32_t count, FILEHANDLE h)
{
    return ReadThreadedFile(buffer, size, count, AsThreadFile(h));
}
int PlainEof(FILEHANDLE h) { return IsThreadedFileEof(AsThreadFile(h)); }
int PlainIdle(FILEHANDLE h) { return IsThreadedFileIdle(AsThreadFile(h)); }

const FILEFUNCS kPlainSet = {PlainOpen,     PlainClose,          PlainTell,          PlainSeek,
                             PlainRead,     PlainEof,            PlainIdle,          ChangeThreadedCurrentDir,
                             GetThreadedCurrentDir, FindFirstPlainFile, FindNextPlainFile, CloseFindPlainFile};

const FILEFUNCS kPackSet = {OpenPackFile,     ClosePackFile,     TellPackFile,      SeekPackFile,
                            ReadPackFile,     IsPackFileEof,     IsPackFileIdle,    SetPackCurrentDir,
                            GetPackCurrentDir, FindFirstPackFile, FindNextPackFile, CloseFindPackFile};

// Installed from the start, so the layer also serves code that runs without
// the library's start-up (tools, tests); start-up installs it again.
FILEFUNCS g_fileFuncs = kPackSet;

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

} // namespace

int SelectFileFunctionTable(const FILEFUNCS* table)
{
    if (table != nullptr) g_fileFuncs = *table;
    else if (SysState.ThreadFileMode == 1) g_fileFuncs = kPlainSet;
    else g_fileFuncs = kPackSet;
    return 0;
}

const FILEFUNCS* GetFileFunctionTable() { return &g_fileFuncs; }

FILEHANDLE OpenLibraryFile(const char* path, int cacheFlag, int reserved, int asyncFlag)
{
    return g_fileFuncs.Open(path, cacheFlag, reserved, asyncFlag);
}
int CloseLibraryFile(FILEHANDLE file) { return g_fileFuncs.Close(file); }
int TellLibraryFile(FILEHANDLE file) { return g_fileFuncs.Tell(file); }
int SeekLibraryFile(FILEHANDLE file, int offset, int origin) { return g_fileFuncs.Seek(file, offset, origin); }
std::uint32_t ReadLibraryFile(void* buffer, std::uint32_t size, std::uint32_t count, FILEHANDLE file)
{
    return g_fileFuncs.Read(buffer, size, count, file);
}
int IsLibraryFileEof(FILEHANDLE file) { return g_fileFuncs.Eof(file); }
int IsLibraryFileIdle(FILEHANDLE file) { return g_fileFuncs.Idle(file); }
int ChangeLibraryCurrentDir(const char* path) { return g_fileFuncs.SetDir(path); }
int GetLibraryCurrentDir(char* buffer) { return g_fileFuncs.GetDir(buffer); }

int ChangeThreadedCurrentDir(const char* path) { return SetCurrentDirectoryA(path); }

int GetThreadedCurrentDir(char* buffer) { return static_cast<int>(GetCurrentDirectoryA(260, buffer)); }

void FileTimeToDateFields(const FILETIME* time, int fields[6])
{
    FILETIME local{};
    SYSTEMTIME st{};
    // A time outside the calendar leaves every field zero, not a made-up date.
    if (!FileTimeToLocalFileTime(time, &local) || !FileTimeToSystemTime(&local, &st)) {
        st = SYSTEMTIME{};
    }
    fields[0] = st.wYear;
    fields[1] = st.wMonth;
    fields[2] = st.wDay;
    fields[3] = st.wHour;
    fields[4] = st.wMinute;
    fields[5] = st.wSecond;
}

void FillFindData(const WIN32_FIND_DATAA* from, FINDREC* to)
{
    std::memcpy(to->Name, from->cFileName, sizeof(to->Name));
    to->Name[sizeof(to->Name) - 1] = '\0';
    to->DirFlag = (from->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
    to->SizeL = from->nFileSizeLow;
    to->SizeH = from->nFileSizeHigh;
    FileTimeToDateFields(&from->ftCreationTime, &to->CreateTime.Year);
    FileTimeToDateFields(&from->ftLastWriteTime, &to->LastWriteTime.Year);
}

FINDHANDLE FindFirstPlainFile(const char* pattern, FINDREC* findData)
{
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return NO_FIND_HANDLE;
    if (findData != nullptr) FillFindData(&data, findData);
    return reinterpret_cast<FINDHANDLE>(search);
}

int FindNextPlainFile(FINDHANDLE find, FINDREC* findData)
{
    WIN32_FIND_DATAA data;
    if (!FindNextFileA(reinterpret_cast<HANDLE>(find), &data)) return -1;
    if (findData != nullptr) FillFindData(&data, findData);
    return 0;
}

int CloseFindPlainFile(FINDHANDLE find) { return FindClose(reinterpret_cast<HANDLE>(find)) ? 0 : -1; }

HANDLE CreateTempFile(char* path)
{
    char folder[256];
    DWORD n = GetTempPathA(sizeof(folder), folder);
    if (n == 0 || n >= sizeof(folder)) return nullptr;
    if (folder[n - 1] != '\\') {
        if (n + 1 >= sizeof(folder)) return nullptr;
        folder[n] = '\\';
        folder[n + 1] = '\0';
    }
    char name[260];
    if (GetTempFileNameA(folder, "tmp", 0, name) == 0) return nullptr;
    char full[260];
    if (MakeFullPath(name, full, nullptr) != 0) {
        DeleteFileA(name);
        return nullptr;
    }
    // The name is ours now; the file is made anew for writing, unshared.
    DeleteFileA(full);
    // Another process may take the name between the delete and the create.
    HANDLE file = CreateFileA(full, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    if (path != nullptr) std::strcpy(path, full);
    return file;
}

int IsDoubleByteLeadByte(const void* text, int charSetKind)
{
    unsigned char c = *static_cast<const unsigned char*>(text);
    if (charSetKind == 2) return c >= 0x80 ? 1 : 0;
    return IsLead(c) ? 1 : 0;
}

int MakeFullPath(const char* path, char* destination, const char* base)
{
    constexpr std::size_t kLimit = 260;
    char current[kLimit];
    if (base == nullptr) {
        current[0] = '\0';
        GetLibraryCurrentDir(current);
        current[kLimit - 1] = '\0';
        base = current;
    }
    std::size_t baseLen = std::strlen(base);
    if (path == nullptr) {
        if (baseLen >= kLimit) return -1;
        std::memcpy(destination, base, baseLen + 1);
        return 0;
    }
    std::size_t len = 0;
    const char* p = path;
    if (p[0] == '\\') {
        if (baseLen < 2) return -1;
        destination[0] = base[0];
        destination[1] = base[1];
        len = 2;
        p += 1;
    } else if (p[0] != '\0' && p[1] == ':') {
        destination[0] = p[0];
        destination[1] = ':';
        len = 2;
        p += 2;
        if (*p == '\\') ++p;
    } else {
        if (baseLen >= kLimit) return -1;
        std::memcpy(destination, base, baseLen);
        len = baseLen;
        if (len > 0 && (destination[len - 1] == '\\' || destination[len - 1] == '/')) --len;
    }
    destination[len] = '\0';

    // Components are appended one by one; ".." cuts at the last separator
    // but never past the drive's colon.
    auto append = [&](const char* start, std::size_t n) -> bool {
        if (len + 1 + n >= kLimit) return false;
        destination[len++] = '\\';
        std::memcpy(destination + len, start, n);
        len += n;
        destination[len] = '\0';
        return true;
    };
    const char* start = p;
    for (;;) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c != '\0' && IsDoubleByteLeadByte(p, 1) && p[1] != '\0') {
            p += 2;
            continue;
        }
        if (c == '\\' || c == '/') {
            std::size_t n = static_cast<std::size_t>(p - start);
            if (n == 0) return -1;
            if (n == 1 && start[0] == '.') {
                // dropped
            } else if (n == 2 && start[0] == '.' && start[1] == '.') {
                // Scanned forwards, so a trail byte 0x5C is never taken for a separator.
                std::size_t lastSep = len, lastColon = len;
                for (std::size_t i = 0; i < len; ++i) {
                    if (IsDoubleByteLeadByte(destination + i, 1) && i + 1 < len) {
                        ++i;
                    } else if (destination[i] == '\\' || destination[i] == '/') {
                        lastSep = i;
                    } else if (destination[i] == ':') {
                        lastColon = i;
                    }
                }
                if (lastSep != len && (lastColon == len || lastColon < lastSep)) {
                    len = lastSep;
                    destination[len] = '\0';
                }
            } else if (!append(start, n)) {
                return -1;
            }
            ++p;
            start = p;
            continue;
        }
        if (c == '\0') {
            std::size_t n = static_cast<std::size_t>(p - start);
            if (n != 0 && !append(start, n)) return -1;
            return 0;
        }
        ++p;
    }
}
