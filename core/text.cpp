// Owns the text and byte routines; no state.
#include "core/text.h"

#include <cstring>

namespace {

inline bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

} // namespace

void CopyText(char* destination, const char* source)
{
    std::strcpy(destination, source);
}

void AppendText(char* destination, const char* source)
{
    std::strcat(destination, source);
}

char* FindTextChar(const char* text, int byte)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const auto wanted = static_cast<unsigned char>(byte);
    while (*p != 0) {
        if (IsLeadByte(*p)) {
            if (p[1] == 0) return nullptr;  // a lead byte before the end ends the text
            p += 2;
            continue;
        }
        if (*p == wanted) return const_cast<char*>(reinterpret_cast<const char*>(p));
        ++p;
    }
    return nullptr;
}

int CompareText(const char* a, const char* b)
{
    return std::strcmp(a, b) == 0 ? 0 : 1;
}

void UppercaseText(char* text)
{
    auto* p = reinterpret_cast<unsigned char*>(text);
    while (*p != 0) {
        if (IsLeadByte(*p)) {
            if (p[1] == 0) return;
            p += 2;
            continue;
        }
        if (*p >= 'a' && *p <= 'z') *p = static_cast<unsigned char>(*p - 'a' + 'A');
        ++p;
    }
}

int MatchBytes(const void* a, const void* b, int count)
{
    if (count < 0) return 1;
    if (count == 0) return 0;
    return std::memcmp(a, b, static_cast<std::size_t>(count)) == 0 ? 0 : 1;
}

void MoveBytes(void* destination, const void* source, int count)
{
    if (count <= 0 || destination == source) return;
    auto* d = static_cast<unsigned char*>(destination);
    const auto* s = static_cast<const unsigned char*>(source);
    if (s > d) {
        for (int i = 0; i < count; ++i) d[i] = s[i];
    } else {
        for (int i = count - 1; i >= 0; --i) d[i] = s[i];
    }
}
