// Files, paths and find over POSIX: owns the share registry of open files and
// the path conversion (drive Z:, backslashes, CP932 names through iconv,
// names found without case). File and search objects live in handle.h's table.
#include "platform/kernel/file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// ---- Code page 932 <-> UTF-8 ----

bool IsLead932(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool ConvertText(const char* to, const char* from, const std::string& in, std::string& out)
{
    bool ascii = true;
    for (unsigned char c : in) {
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        out = in;
        return true;
    }
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> buffer(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || srcLeft != 0) return false;
    out.assign(buffer.data(), buffer.size() - dstLeft);
    return true;
}

bool Cp932ToUtf8(const std::string& in, std::string& out) { return ConvertText("UTF-8", "CP932", in, out); }
bool Utf8ToCp932(const std::string& in, std::string& out) { return ConvertText("CP932", "UTF-8", in, out); }

// ---- Paths ----

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

// Splits a CP932 path into components at '\' and '/', never inside a
// two-byte character (whose trail byte may be 0x5C).
std::vector<std::string> SplitComponents(const char* p)
{
    std::vector<std::string> parts;
    std::string cur;
    for (size_t i = 0; p[i] != '\0'; ++i) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        if (IsLead932(c) && p[i + 1] != '\0') {
            cur += p[i];
            cur += p[i + 1];
            ++i;
        } else if (c == '\\' || c == '/') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += p[i];
        }
    }
    parts.push_back(cur);
    return parts;
}

bool PathExists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Resolves one name inside a folder: the exact name when it exists, else the
// first entry (in byte order) equal to it without ASCII case.
std::string ResolveComponent(const std::string& folder, const std::string& name)
{
    std::string joined = folder == "/" ? "/" + name : folder + "/" + name;
    if (PathExists(joined)) return name;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return name;
    std::string best;
    bool found = false;
    while (dirent* e = readdir(dir)) {
        std::string entry = e->d_name;
        if (EqualNoCase(entry, name) && (!found || entry < best)) {
            best = entry;
            found = true;
        }
    }
    closedir(dir);
    return found ? best : name;
}

// Converts a CP932 Windows path to an absolute Linux path. Relative paths
// start at the process's current folder; "." and ".." are resolved by name,
// as the system does, before anything is looked up.
bool ToLinuxPath(const char* path, std::string& out)
{
    if (path == nullptr || path[0] == '\0') return false;
    const char* rest = path;
    std::vector<std::string> stack;
    bool absolute = false;
    if (path[1] == ':' && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z')) {
        if ((path[0] | 0x20) != 'z') return false;  // only the one drive exists
        rest = path + 2;
        absolute = true;  // "Z:name" is taken from the root, as there is one folder per drive here
    } else if ((path[0] == '\\' || path[0] == '/')) {
        if (path[1] == '\\' || path[1] == '/') return false;  // no network shares
        absolute = true;
    }
    if (!absolute) {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof(cwd)) == nullptr) return false;
        std::string c = cwd;
        size_t start = 1;
        while (start < c.size()) {
            size_t end = c.find('/', start);
            if (end == std::string::npos) end = c.size();
            if (end > start) stack.push_back(c.substr(start, end - start));
            start = end + 1;
        }
    }
    std::vector<std::string> parts = SplitComponents(rest);
    std::vector<bool> converted(stack.size(), true);
    for (const std::string& part : parts) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!stack.empty()) {
                stack.pop_back();
                converted.pop_back();
            }
            continue;
        }
        std::string utf8;
        if (!Cp932ToUtf8(part, utf8)) return false;
        stack.push_back(utf8);
        converted.push_back(false);
    }
    std::string result = "/";
    for (size_t i = 0; i < stack.size(); ++i) {
        std::string name = converted[i] ? stack[i] : ResolveComponent(result, stack[i]);
        if (result.size() > 1) result += '/';
        result += name;
    }
    out = result;
    return true;
}

// A Linux path as the layer shows it: "Z:" and backslashes, in CP932.
bool ToWindowsPath(const std::string& linux, std::string& out)
{
    std::string cp;
    if (!Utf8ToCp932(linux, cp)) return false;
    // Trail bytes of CP932 never equal '/', so a plain replacement is safe.
    std::replace(cp.begin(), cp.end(), '/', '\\');
    out = "Z:" + cp;
    return true;
}

// ---- Share registry: the system refuses opens that conflict with the
// share mode of an open already held. Only this process's opens are known.

struct ShareEntry {
    dev_t dev;
    ino_t ino;
    DWORD access;
    DWORD share;
    const void* owner;
};

std::mutex g_shareMutex;
std::vector<ShareEntry> g_shares;

bool ShareAllows(dev_t dev, ino_t ino, DWORD access, DWORD share)
{
    for (const ShareEntry& e : g_shares) {
        if (e.dev != dev || e.ino != ino) continue;
        if ((access & GENERIC_READ) && !(e.share & FILE_SHARE_READ)) return false;
        if ((access & GENERIC_WRITE) && !(e.share & FILE_SHARE_WRITE)) return false;
        if ((e.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return false;
        if ((e.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return false;
    }
    return true;
}

void RemoveShare(const void* owner)
{
    std::lock_guard<std::mutex> lock(g_shareMutex);
    g_shares.erase(std::remove_if(g_shares.begin(), g_shares.end(),
                                  [owner](const ShareEntry& e) { return e.owner == owner; }),
                   g_shares.end());
}

struct FileObject : KernelObject {
    int fd = -1;
    DWORD access = 0;
    ~FileObject() override
    {
        RemoveShare(this);
        if (fd >= 0) close(fd);
    }
};

FileObject* LookupFile(HANDLE h) { return LookupKernelObjectAs<FileObject>(h); }

// ---- Times ----

constexpr std::int64_t kEpochDifference = 11644473600LL;  // seconds from 1601 to 1970

FILETIME MakeFileTime(const timespec& ts)
{
    // Seconds outside what 64-bit ticks from 1601 hold are pinned to the ends
    // before any multiplying.
    constexpr std::int64_t kLastSecond = INT64_MAX / 10000000LL - kEpochDifference;
    std::int64_t ticks;
    if (ts.tv_sec >= kLastSecond) {
        ticks = INT64_MAX;
    } else if (ts.tv_sec < -kEpochDifference) {
        ticks = 0;
    } else {
        ticks = (static_cast<std::int64_t>(ts.tv_sec) + kEpochDifference) * 10000000LL + ts.tv_nsec / 100;
    }
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
    return ft;
}

std::int64_t FileTimeTicks(const FILETIME& ft)
{
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

// Creation time is the birth time where the file system keeps one.
timespec BirthTime(const char* path, const struct stat& st)
{
#ifdef STATX_BTIME
    struct statx sx;
    if (statx(AT_FDCWD, path, 0, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME)) {
        timespec ts;
        ts.tv_sec = sx.stx_btime.tv_sec;
        ts.tv_nsec = sx.stx_btime.tv_nsec;
        return ts;
    }
#else
    (void)path;
#endif
    return st.st_mtim;
}

// ---- Find ----

// Compares without ASCII case; '?' takes one character, a run of '*' stops at
// the first occurrence of the following byte.
bool MatchPattern(const char* p, const char* n)
{
    for (;;) {
        if (*p == '\0') return *n == '\0';
        unsigned char pc = static_cast<unsigned char>(*p);
        if (pc == '*') {
            while (*p == '*') ++p;
            if (*p == '\0') return true;
            char next = FoldAscii(*p);
            while (*n != '\0' && FoldAscii(*n) != next) n += (IsLead932(static_cast<unsigned char>(*n)) && n[1]) ? 2 : 1;
            if (*n == '\0') return false;
            ++p;
            ++n;
        } else if (IsLead932(pc) && p[1] != '\0') {
            if (n[0] != p[0] || n[1] != p[1]) return false;
            p += 2;
            n += 2;
        } else if (pc == '?') {
            if (*n == '\0') return false;
            n += (IsLead932(static_cast<unsigned char>(*n)) && n[1]) ? 2 : 1;
            ++p;
        } else {
            if (FoldAscii(*p) != FoldAscii(*n)) return false;
            ++p;
            ++n;
        }
    }
}

struct SearchObject : KernelObject {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

bool FillFindEntry(const std::string& folder, const std::string& name, const std::string& cpName, WIN32_FIND_DATAA& d)
{
    std::string full = folder == "/" ? "/" + name : folder + "/" + name;
    struct stat st;
    if (stat(full.c_str(), &st) != 0 && lstat(full.c_str(), &st) != 0) return false;
    std::memset(&d, 0, sizeof(d));
    if (cpName.size() >= MAX_PATH) return false;
    std::memcpy(d.cFileName, cpName.data(), cpName.size());
    d.dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if (!S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR)) d.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    std::uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
    d.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    d.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    d.ftCreationTime = MakeFileTime(BirthTime(full.c_str(), st));
    d.ftLastAccessTime = MakeFileTime(st.st_atim);
    d.ftLastWriteTime = MakeFileTime(st.st_mtim);
    return true;
}

std::uint64_t FileSizeOf(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

} // namespace

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, SECURITY_ATTRIBUTES*, DWORD disposition, DWORD,
                   HANDLE)
{
    std::string linux;
    if (!ToLinuxPath(path, linux)) return INVALID_HANDLE_VALUE;
    int flags = O_CLOEXEC;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) flags |= O_RDWR;
    else if (access & GENERIC_WRITE) flags |= O_WRONLY;
    else flags |= O_RDONLY;
    bool truncate = false;
    switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT; truncate = true; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING:
        if (!(access & GENERIC_WRITE)) return INVALID_HANDLE_VALUE;
        truncate = true;
        break;
    default: return INVALID_HANDLE_VALUE;
    }
    // Truncation waits until the share check has passed, so a refused open
    // never destroys the data of the open that refused it.
    int fd = open(linux.c_str(), flags, 0644);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    auto* object = new FileObject;
    object->fd = fd;
    object->access = access;
    bool allowed = false;
    {
        std::lock_guard<std::mutex> lock(g_shareMutex);
        allowed = ShareAllows(st.st_dev, st.st_ino, access, share);
        if (allowed) g_shares.push_back({st.st_dev, st.st_ino, access, share, object});
    }
    if (!allowed) {
        delete object;
        return INVALID_HANDLE_VALUE;
    }
    if (truncate && ftruncate(fd, 0) != 0) {
        delete object;
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = RegisterKernelObject(object);
    if (h == nullptr) {
        delete object;
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, OVERLAPPED* overlapped)
{
    if (read != nullptr) *read = 0;
    FileObject* f = LookupFile(file);
    if (f == nullptr || overlapped != nullptr || !(f->access & GENERIC_READ)) return FALSE;
    if (buffer == nullptr && toRead != 0) return FALSE;
    DWORD done = 0;
    char* dst = static_cast<char*>(buffer);
    while (done < toRead) {
        ssize_t n = ::read(f->fd, dst + done, toRead - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (read != nullptr) *read = done;
            return FALSE;
        }
        if (n == 0) break;
        done += static_cast<DWORD>(n);
    }
    if (read != nullptr) *read = done;
    return TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, OVERLAPPED* overlapped)
{
    if (written != nullptr) *written = 0;
    FileObject* f = LookupFile(file);
    if (f == nullptr || overlapped != nullptr || !(f->access & GENERIC_WRITE)) return FALSE;
    if (buffer == nullptr && toWrite != 0) return FALSE;
    DWORD done = 0;
    const char* src = static_cast<const char*>(buffer);
    while (done < toWrite) {
        ssize_t n = ::write(f->fd, src + done, toWrite - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (written != nullptr) *written = done;
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (written != nullptr) *written = done;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method)
{
    FileObject* f = LookupFile(file);
    if (f == nullptr) return INVALID_SET_FILE_POINTER;
    std::int64_t move = distanceHigh != nullptr
                            ? static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<DWORD>(*distanceHigh)) << 32) |
                                                        static_cast<DWORD>(distance))
                            : static_cast<std::int64_t>(distance);
    std::int64_t base = 0;
    if (method == FILE_CURRENT) base = lseek(f->fd, 0, SEEK_CUR);
    else if (method == FILE_END) base = static_cast<std::int64_t>(FileSizeOf(f->fd));
    else if (method != FILE_BEGIN) return INVALID_SET_FILE_POINTER;
    if (base < 0) return INVALID_SET_FILE_POINTER;
    std::int64_t target = base + move;
    if (target < 0) return INVALID_SET_FILE_POINTER;
    if (lseek(f->fd, static_cast<off_t>(target), SEEK_SET) < 0) return INVALID_SET_FILE_POINTER;
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(target >> 32);
    return static_cast<DWORD>(target & 0xFFFFFFFF);
}

DWORD GetFileSize(HANDLE file, DWORD* sizeHigh)
{
    FileObject* f = LookupFile(file);
    if (f == nullptr) return INVALID_FILE_SIZE;
    std::uint64_t size = FileSizeOf(f->fd);
    if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite)
{
    FileObject* f = LookupFile(file);
    struct stat st;
    if (f == nullptr || fstat(f->fd, &st) != 0) return FALSE;
    if (creation != nullptr) *creation = MakeFileTime(st.st_mtim);
    if (lastAccess != nullptr) *lastAccess = MakeFileTime(st.st_atim);
    if (lastWrite != nullptr) *lastWrite = MakeFileTime(st.st_mtim);
    return TRUE;
}

bool ConvertToLinuxPath(LPCSTR path, std::string& linuxPath)
{
    return ToLinuxPath(path, linuxPath);
}

BOOL DeleteFileA(LPCSTR path)
{
    std::string linux;
    if (!ToLinuxPath(path, linux)) return FALSE;
    struct stat st;
    if (lstat(linux.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return FALSE;
    {
        // An open without delete sharing keeps the file, as on the system.
        std::lock_guard<std::mutex> lock(g_shareMutex);
        for (const ShareEntry& e : g_shares) {
            if (e.dev == st.st_dev && e.ino == st.st_ino) return FALSE;
        }
    }
    return unlink(linux.c_str()) == 0 ? TRUE : FALSE;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer)
{
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof(cwd)) == nullptr) return 0;
    std::string win;
    if (!ToWindowsPath(cwd, win)) return 0;
    if (win == "Z:") win = "Z:\\";
    if (buffer == nullptr || bufferLength <= win.size()) return static_cast<DWORD>(win.size() + 1);
    std::memcpy(buffer, win.c_str(), win.size() + 1);
    return static_cast<DWORD>(win.size());
}

BOOL SetCurrentDirectoryA(LPCSTR path)
{
    std::string linux;
    if (!ToLinuxPath(path, linux)) return FALSE;
    return chdir(linux.c_str()) == 0 ? TRUE : FALSE;
}

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data)
{
    if (pattern == nullptr || data == nullptr) return INVALID_HANDLE_VALUE;
    // Split at the last separator outside a two-byte character.
    size_t cut = std::string::npos;
    for (size_t i = 0; pattern[i] != '\0'; ++i) {
        unsigned char c = static_cast<unsigned char>(pattern[i]);
        if (IsLead932(c) && pattern[i + 1] != '\0') {
            ++i;
        } else if (c == '\\' || c == '/' || (c == ':' && i == 1)) {
            cut = i;
        }
    }
    std::string folderPart = cut == std::string::npos ? "." : std::string(pattern, cut + 1);
    if (cut != std::string::npos && folderPart.back() == ':') folderPart += '\\';
    std::string namePattern = cut == std::string::npos ? std::string(pattern) : std::string(pattern + cut + 1);
    if (namePattern.empty()) return INVALID_HANDLE_VALUE;
    std::string folder;
    if (!ToLinuxPath(folderPart.c_str(), folder)) return INVALID_HANDLE_VALUE;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return INVALID_HANDLE_VALUE;
    std::vector<std::pair<std::string, std::string>> names;  // (cp932, utf-8)
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        // The drive's root lists neither "." nor "..".
        if (folder == "/" && (name == "." || name == "..")) continue;
        std::string cp;
        if (!Utf8ToCp932(name, cp)) continue;  // no CP932 spelling: unreachable through this layer
        if (MatchPattern(namePattern.c_str(), cp.c_str())) names.emplace_back(cp, name);
    }
    closedir(dir);
    // "." and ".." first, then names in an order that does not depend on the file system.
    auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
    std::sort(names.begin(), names.end(), [&](const auto& a, const auto& b) {
        if (rank(a.first) != rank(b.first)) return rank(a.first) < rank(b.first);
        std::string fa = a.first, fb = b.first;
        for (char& c : fa) c = FoldAscii(c);
        for (char& c : fb) c = FoldAscii(c);
        return fa != fb ? fa < fb : a.first < b.first;
    });
    auto* search = new SearchObject;
    for (const auto& n : names) {
        WIN32_FIND_DATAA d;
        if (FillFindEntry(folder, n.second, n.first, d)) search->entries.push_back(d);
    }
    if (search->entries.empty()) {
        delete search;
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = RegisterKernelObject(search);
    if (h == nullptr) {
        delete search;
        return INVALID_HANDLE_VALUE;
    }
    *data = search->entries[0];
    search->next = 1;
    return h;
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* data)
{
    auto* search = LookupKernelObjectAs<SearchObject>(handle);
    if (search == nullptr || data == nullptr || search->next >= search->entries.size()) return FALSE;
    *data = search->entries[search->next++];
    return TRUE;
}

BOOL FindClose(HANDLE handle)
{
    if (LookupKernelObjectAs<SearchObject>(handle) == nullptr) return FALSE;
    return CloseHandle(handle);
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local)
{
    if (utc == nullptr || local == nullptr) return FALSE;
    // Times with the top bit set are not times, and a zone offset must not
    // carry one past either end.
    std::int64_t ticks = FileTimeTicks(*utc);
    if (ticks < 0) return FALSE;
    time_t seconds = static_cast<time_t>(ticks / 10000000LL - kEpochDifference);
    struct tm tmLocal;
    if (localtime_r(&seconds, &tmLocal) == nullptr) return FALSE;
    const std::int64_t offset = static_cast<std::int64_t>(tmLocal.tm_gmtoff) * 10000000LL;
    if (offset > 0 ? ticks > INT64_MAX - offset : ticks < -offset) return FALSE;
    std::int64_t shifted = ticks + offset;
    local->dwLowDateTime = static_cast<DWORD>(shifted & 0xFFFFFFFF);
    local->dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(shifted) >> 32);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* fields)
{
    if (time == nullptr || fields == nullptr) return FALSE;
    std::int64_t ticks = FileTimeTicks(*time);
    if (ticks < 0) return FALSE;
    time_t seconds = static_cast<time_t>(ticks / 10000000LL - kEpochDifference);
    struct tm t;
    if (gmtime_r(&seconds, &t) == nullptr) return FALSE;
    fields->wYear = static_cast<WORD>(t.tm_year + 1900);
    fields->wMonth = static_cast<WORD>(t.tm_mon + 1);
    fields->wDayOfWeek = static_cast<WORD>(t.tm_wday);
    fields->wDay = static_cast<WORD>(t.tm_mday);
    fields->wHour = static_cast<WORD>(t.tm_hour);
    fields->wMinute = static_cast<WORD>(t.tm_min);
    fields->wSecond = static_cast<WORD>(t.tm_sec);
    fields->wMilliseconds = static_cast<WORD>((ticks / 10000) % 1000);
    return TRUE;
}

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer)
{
    const char* env = std::getenv("TMPDIR");
    std::string folder = env != nullptr && env[0] == '/' ? env : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::string win;
    if (!ToWindowsPath(folder, win)) return 0;
    if (win.back() != '\\') win += '\\';
    if (buffer == nullptr || bufferLength <= win.size()) return static_cast<DWORD>(win.size() + 1);
    std::memcpy(buffer, win.c_str(), win.size() + 1);
    return static_cast<DWORD>(win.size());
}

UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR out)
{
    if (folder == nullptr || out == nullptr) return 0;
    std::string base = folder;
    if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
    std::string pre = prefix != nullptr ? std::string(prefix).substr(0, 3) : std::string();
    static std::mutex counterMutex;
    static UINT counter = 0;
    for (int attempt = 0; attempt < 0x10000; ++attempt) {
        UINT number = unique;
        if (number == 0) {
            std::lock_guard<std::mutex> lock(counterMutex);
            if (counter == 0) counter = static_cast<UINT>(getpid()) & 0xFFFF;
            counter = (counter + 1) & 0xFFFF;
            if (counter == 0) counter = 1;
            number = counter;
        }
        char name[32];
        std::snprintf(name, sizeof(name), "%X.TMP", number & 0xFFFF);
        std::string full = base + pre + name;
        if (full.size() >= MAX_PATH) return 0;
        if (unique != 0) {
            std::memcpy(out, full.c_str(), full.size() + 1);
            return unique;
        }
        HANDLE h = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            std::memcpy(out, full.c_str(), full.size() + 1);
            return number;
        }
    }
    return 0;
}
