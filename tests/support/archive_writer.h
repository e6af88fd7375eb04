// Test tooling: writes ZVA archives with the library's key and LZ packing,
// so tests, fuzz seeds and benchmarks have archives to read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ArchiveMember {
    std::string Path;       // inside the archive, backslashes: "GRAPH\\a.png"; a folder ends in '\\'
    std::string Data;
    bool Packed = false;
    std::uint64_t WriteTime = 0;  // FILETIME ticks
};

struct ArchiveOptions {
    int Version = 2;            // 0 to 3; 0 and 1 store every member
    bool SecondKey = false;     // scramble with the second fixed key
    bool Scramble = true;       // false: the plain bytes, as the fuzz targets take them
};

// Packs data with the archive's LZ coding (9-byte header included).
std::string PackArchiveLz(const std::string& data);
// The whole archive file.
std::string BuildArchive(const std::vector<ArchiveMember>& members, const ArchiveOptions& options = {});
// Scrambles (or unscrambles) archive bytes in place with the first or second key.
void ScrambleArchive(std::string& bytes, bool secondKey);
void WriteBinaryFile(const std::string& path, const std::string& bytes);

// Seeds for the archive fuzz targets: plain archives of every version in
// root/archive_fuzz, packed streams in root/archive_lz_fuzz.
void WriteArchiveFuzzSeeds(const std::string& root);
