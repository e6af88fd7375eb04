// Formatted print into caller buffers, always bounded by the buffer's size.
#pragma once

#include <cstdarg>
#include <cstddef>

// Formats into buffer (size bytes, terminator included), truncating what
// does not fit; answers the number of bytes written without the terminator.
int FormatToBufferV(char* buffer, std::size_t size, const char* format, va_list args);
// The same with the arguments inline; answers 0.
int FormatToBuffer(char* buffer, std::size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
