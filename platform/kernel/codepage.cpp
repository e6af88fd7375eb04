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

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, char16_t* out, int outLength)
{
    if (text == nullptr || (codePage != CP_ACP && codePage != 932) || outLength <= 0 || out == nullptr) return 0;
    const std::size_t n = length < 0 ? std::char_traits<char>::length(text) + 1 : static_cast<std::size_t>(length);
    const std::string wide = Convert("UTF-16LE", "CP932", text, n);
    const std::size_t units = wide.size() / 2;
    if (units > static_cast<std::size_t>(outLength)) return 0;
    for (std::size_t i = 0; i < units; ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(wide[2 * i]) |
                                       static_cast<unsigned char>(wide[2 * i + 1]) << 8);
    return static_cast<int>(units);
}

std::string ConvertUtf16ToCp932(const char16_t* text)
{
    std::string bytes;
    for (const char16_t* c = text; c != nullptr && *c != 0; ++c) {
        bytes.push_back(static_cast<char>(*c & 0xFF));
        bytes.push_back(static_cast<char>(*c >> 8));
    }
    return Convert("CP932", "UTF-16LE", bytes.data(), bytes.size());
}
