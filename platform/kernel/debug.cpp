// Owns the debugger output: standard error, or a test's sink.
#include "platform/kernel/debug.h"

#include "platform/kernel/codepage.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {
std::atomic<DebugOutputSink> g_sink{nullptr};
}

void OutputDebugStringA(LPCSTR text)
{
    if (text == nullptr) return;
    if (DebugOutputSink sink = g_sink.load()) {
        sink(text);
        return;
    }
    std::string utf8 = ConvertCp932ToUtf8(text, std::strlen(text));
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

void SetDebugOutputSink(DebugOutputSink sink)
{
    g_sink.store(sink);
}
