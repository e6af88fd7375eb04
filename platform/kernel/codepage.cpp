// Owns the code-page conversions, on glibc's iconv.
#include "platform/kernel/codepage.h"

#include <cerrno>
#include <iconv.h>

namespace {

std::string Convert(const char* to, const char* from, const char* text, std::size_t length)
{
    std::string out;
    if (text == nullptr || length == 0) return out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(text, length);
    char* in = const_cast<char*>(text);
    std::size_t inLeft = length;
    char buffer[256];
    while (inLeft > 0) {
        char* o = buffer;
        std::size_t oLeft = sizeof buffer;
        std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer, static_cast<std::size_t>(o - buffer));
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            // An invalid or incomplete sequence: show one '?' and step over a byte.
            out.push_back('?');
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

} // namespace

UINT GetACP()
{
    return 932;
}

UINT GetOEMCP()
{
    return 932;
}

std::string ConvertCp932ToUtf8(const char* text, std::size_t length)
{
    return Convert("UTF-8", "CP932", text, length);
}

std::string ConvertUtf8ToCp932(const char* text, std::size_t length)
{
    return Convert("CP932", "UTF-8", text, length);
}
