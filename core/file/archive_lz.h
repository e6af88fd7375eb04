// The archive's LZ coding: a 9-byte header {u32 decoded size, u32 packed
// size with the header, u8 key byte} followed by literals and matches.
#pragma once

#include <cstdint>

constexpr std::uint32_t ARCHIVE_LZ_HEADER_SIZE = 9;

// Decodes packed data of packedSize bytes (header included) into dst of
// dstSize bytes. With a null dst, only the header's decoded size is answered.
// Answers the decoded size, or -1 when the data is corrupt: a packed size
// that disagrees with packedSize, a code that runs past the data, a match
// before the start of the output or with the undefined distance code 3, or
// output that would not exactly fill the header's decoded size.
std::int64_t DecodeArchiveLz(const void* packed, std::uint32_t packedSize, void* dst, std::uint32_t dstSize);
