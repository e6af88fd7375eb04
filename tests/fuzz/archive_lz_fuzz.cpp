// Fuzz target: the archive's LZ decoder alone, into a buffer of exactly the
// size its header names.
#include "core/file/archive_lz.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::uint32_t packedSize = static_cast<std::uint32_t>(size);
    const std::int64_t decoded = DecodeArchiveLz(data, packedSize, nullptr, 0);
    if (decoded < 0 || decoded > (1 << 22)) return 0;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(decoded));
    DecodeArchiveLz(data, packedSize, out.data(), static_cast<std::uint32_t>(out.size()));
    return 0;
}
