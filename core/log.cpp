// Owns the log file; its state is the log fields of SYSSTATE. Writes through
// the kernel's file functions, allocates long texts from core/memory.
#include "core/log.h"

#include "core/format.h"
#include "core/memory.h"
#include "core/number.h"
#include "core/clock.h"
#include "core/sysstate.h"
#include "core/text.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/file.h"
#include "platform/winmm/timer.h"

#include <cstdarg>
#include <cstring>
#include <mutex>

namespace {

// Recursive: the allocator that a long text uses may itself log.
std::recursive_mutex g_mutex;

// Copies text into out, making bare line feeds CR LF (Shift-JIS aware);
// an existing CR LF ends the conversion and the rest is copied unchanged.
void ConvertLineFeeds(const char* text, char* out)
{
    const char* pos = text;
    char* o = out;
    for (;;) {
        const char* lf = FindTextChar(pos, '\n');
        if (lf == nullptr) break;
        if (lf != text && lf[-1] == '\r') break;
        std::size_t n = static_cast<std::size_t>(lf - pos);
        std::memcpy(o, pos, n);
        o += n;
        *o++ = '\r';
        *o++ = '\n';
        pos = lf + 1;
    }
    std::size_t rest = std::strlen(pos);
    std::memcpy(o, pos, rest);
    o[rest] = '\0';
}

void WriteBytes(HANDLE file, const char* bytes, std::size_t length)
{
    DWORD written = 0;
    if (length > 0) WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr);
}

void WriteConverted(const char* text, char* converted);

} // namespace

int CreateLogFile()
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (SysState.LogOff == 1 || SysState.UserWindowFlag == 1) return 1;

    char name[256];
    if (SysState.LogDatedName == 1) {
        int date[6];
        GetLocalDateFields(date);
        char number[40];
        CopyText(name, "Log");
        for (int i = 0; i < 6; ++i) {
            AppendText(name, IntToText(date[i], number, 10));
            if (i < 5) AppendText(name, "_");
        }
        AppendText(name, ".txt");
    } else {
        CopyText(name, "Log.txt");
    }
    CopyText(SysState.LogFileName, name);

    DeleteFileA(name);
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);

    SysState.LogIndent = 0;
    SysState.LogMidLine = 0;
    SysState.LogStartTime = timeGetTime();
    return 1;
}

int WriteLog(const char* text)
{
    if (text == nullptr) return -1;
    const std::size_t length = std::strlen(text);
    char local[256 * 2 + 1];
    char* converted = local;
    // Allocated before the log is locked: the allocator logs under its own
    // lock, and taking the two in one order only rules out a deadlock.
    if (length > 255) {
        converted = static_cast<char*>(AllocMemory(length * 2 + 1, nullptr, -1));
        if (converted == nullptr) return -1;  // the allocator has reported the shortage
    }
    WriteConverted(text, converted);
    if (converted != local) FreeMemory(converted);
    return -1;
}

namespace {

void WriteConverted(const char* text, char* converted)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    ConvertLineFeeds(text, converted);
    const std::size_t convertedLength = std::strlen(converted);
    // An empty text writes nothing, not even a stamp, and leaves the line as it was.
    if (convertedLength == 0) return;

    if (SysState.UserWindowFlag == 1) {
        OutputDebugStringA(converted);
    } else if (SysState.LogOff != 1 && SysState.StartDirectory[0] != '\0') {
        char path[260 + 1 + 256];
        CopyText(path, SysState.StartDirectory);
        std::size_t dirLength = std::strlen(path);
        if (dirLength == 0 || path[dirLength - 1] != '\\') AppendText(path, "\\");
        AppendText(path, SysState.LogFileName);

        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            SetFilePointer(file, 0, nullptr, FILE_END);
            if (SysState.LogMidLine == 0) {
                if (SysState.LogNoTimeStamp != 1) {
                    char stamp[32];
                    FormatToBuffer(stamp, sizeof stamp, "%d:",
                                   static_cast<int>(timeGetTime() - SysState.LogStartTime));
                    WriteBytes(file, stamp, std::strlen(stamp));
                }
                if (SysState.LogIndent > 0) {
                    char tabs[256];
                    int n = SysState.LogIndent < 255 ? SysState.LogIndent : 255;
                    std::memset(tabs, '\t', static_cast<std::size_t>(n));
                    tabs[n] = '\0';
                    WriteBytes(file, tabs, static_cast<std::size_t>(n));
                    OutputDebugStringA(tabs);
                }
            }
            WriteBytes(file, converted, convertedLength);
            OutputDebugStringA(converted);
            SysState.LogMidLine = converted[convertedLength - 1] != '\n' ? 1 : 0;
            CloseHandle(file);
        }
    }
}

} // namespace

int WriteLogFormat(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    // One byte is held back for the line feed.
    int n = FormatToBufferV(buffer, sizeof buffer - 1, format, args);
    va_end(args);
    buffer[n] = '\n';
    buffer[n + 1] = '\0';
    return WriteLog(buffer);
}

int IncreaseLogIndent()
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    ++SysState.LogIndent;
    return 0;
}

int DecreaseLogIndent()
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (SysState.LogIndent > 0) --SysState.LogIndent;
    return 0;
}
