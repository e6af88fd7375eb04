// The archive's LZ decoder. Every read is bounded by the packed size and
// every write by the destination, so corrupt members fail instead of
// reaching outside either buffer.
#include "core/file/archive_lz.h"

#include <cstring>

namespace {

std::uint32_t ReadU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace

std::int64_t DecodeArchiveLz(const void* packedData, std::uint32_t packedSize, void* dstData, std::uint32_t dstSize)
{
    if (packedData == nullptr || packedSize < ARCHIVE_LZ_HEADER_SIZE) return -1;
    const auto* src = static_cast<const std::uint8_t*>(packedData);
    const std::uint32_t decodedSize = ReadU32(src);
    const std::uint32_t codedSize = ReadU32(src + 4);
    const std::uint8_t key = src[8];
    if (codedSize < ARCHIVE_LZ_HEADER_SIZE || codedSize > packedSize) return -1;
    if (dstData == nullptr) return decodedSize;
    if (decodedSize > dstSize) return -1;

    auto* dst = static_cast<std::uint8_t*>(dstData);
    const std::uint8_t* in = src + ARCHIVE_LZ_HEADER_SIZE;
    const std::uint8_t* const end = src + codedSize;
    std::uint32_t out = 0;
    while (in < end) {
        if (*in != key) {
            // A run of literals up to the next key byte is copied at once.
            const void* next = std::memchr(in, key, static_cast<std::size_t>(end - in));
            const std::uint8_t* stop = next != nullptr ? static_cast<const std::uint8_t*>(next) : end;
            const std::uint32_t run = static_cast<std::uint32_t>(stop - in);
            if (run > decodedSize - out) return -1;
            std::memcpy(dst + out, in, run);
            out += run;
            in = stop;
            continue;
        }
        ++in;
        std::uint8_t c;
        if (in >= end) return -1;
        c = *in++;
        if (c == key) {
            if (out >= decodedSize) return -1;
            dst[out++] = key;
            continue;
        }
        if (c > key) --c;
        std::uint32_t length = c >> 3;
        if (c & 4) {
            if (in >= end) return -1;
            length |= static_cast<std::uint32_t>(*in++) << 5;
        }
        const unsigned distanceBytes = (c & 3) + 1;
        if (distanceBytes == 4) return -1;  // code 3 does not occur in valid data
        if (static_cast<std::uint32_t>(end - in) < distanceBytes) return -1;
        std::uint32_t distance = 0;
        for (unsigned i = 0; i < distanceBytes; ++i) distance |= static_cast<std::uint32_t>(in[i]) << (8 * i);
        in += distanceBytes;
        length += 4;
        distance += 1;
        if (distance > out || length > decodedSize - out) return -1;
        std::uint8_t* to = dst + out;
        const std::uint8_t* from = to - distance;
        if (distance >= length) {
            std::memcpy(to, from, length);
        } else {
            // The match overlaps its own output: the copied block doubles each step.
            std::uint32_t done = 0;
            std::uint32_t span = distance;
            while (done < length) {
                std::uint32_t n = length - done < span ? length - done : span;
                std::memcpy(to + done, from, n);
                done += n;
                span += n;
            }
        }
        out += length;
    }
    return out == decodedSize ? static_cast<std::int64_t>(decodedSize) : -1;
}
