// Code pages of the kernel layer: texts are code page 932 byte strings, the
// Linux side speaks UTF-8.
#pragma once

#include "platform/kernel/types.h"

#include <string>

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_UTF8 = 65001;

UINT GetACP();
UINT GetOEMCP();

// Converts a code page 932 text to UTF-8; a byte that does not convert
// becomes '?', so the result is always usable.
std::string ConvertCp932ToUtf8(const char* text, std::size_t length);
// Converts UTF-8 to code page 932; characters it cannot hold become '?'.
std::string ConvertUtf8ToCp932(const char* text, std::size_t length);

// Code page 932 (or CP_ACP) to UTF-16, as the system converts names for its
// wide interfaces. length -1 includes the terminator. Answers the units
// written, or 0 when they do not fit.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, char16_t* out, int outLength);
// A terminated UTF-16 text back to code page 932.
std::string ConvertUtf16ToCp932(const char16_t* text);
