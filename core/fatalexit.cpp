// Owns the fatal exit and its lock; calls the log, the format helpers, the
// API lock and the kernel's process exit, and the shutdown start-up installed.
#include "core/fatalexit.h"

#include "core/apilock.h"
#include "core/format.h"
#include "core/log.h"
#include "platform/kernel/system.h"

#include <cstdarg>
#include <mutex>

namespace {

// A second thread that fails fatally waits here while the first one ends
// the process, instead of running the shutdown alongside it.
std::recursive_mutex g_fatalMutex;

int (*g_shutdown)() = nullptr;

} // namespace

void SetFatalExitShutdown(int (*shutdown)())
{
    g_shutdown = shutdown;
}

void ExitWithFatalError(const char* text)
{
    g_fatalMutex.lock();
    WriteLog(text);
    WriteLog("\n");
    if (g_shutdown != nullptr) g_shutdown();
    DestroyApiLock();
    ExitProcess(static_cast<UINT>(-1));
}

void ExitWithFatalErrorFormat(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    FormatToBufferV(buffer, sizeof buffer, format, args);
    va_end(args);
    ExitWithFatalError(buffer);
}
