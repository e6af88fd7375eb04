// Owns the bounded formatted-print wrappers; no state.
#include "core/format.h"

#include <cstdio>

int FormatToBufferV(char* buffer, std::size_t size, const char* format, va_list args)
{
    if (buffer == nullptr || size == 0) return 0;
    int n = std::vsnprintf(buffer, size, format, args);
    if (n < 0) {
        buffer[0] = '\0';
        return 0;
    }
    if (static_cast<std::size_t>(n) >= size) return static_cast<int>(size - 1);
    return n;
}

int FormatToBuffer(char* buffer, std::size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatToBufferV(buffer, size, format, args);
    va_end(args);
    return 0;
}
