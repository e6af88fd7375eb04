// The ZVA archive reader: the file format, the key and scrambling, opening
// an archive (streamed or whole in memory), folder walks and member lookup,
// the archive path normaliser and the wildcard matcher.
#pragma once

#include "core/file/threadfile.h"

#include <cstdint>

constexpr std::uint32_t ARCHIVE_HEADER_SIZE = 24;
constexpr std::uint32_t ARCHIVE_KEY_SIZE = 12;
constexpr std::uint32_t ARCHIVE_FOLDER_SIZE = 16;
constexpr std::uint32_t ARCHIVE_STORED = 0xFFFFFFFFu;  // packed size of a member stored unpacked
constexpr std::uint32_t ARCHIVE_NO_PARENT = 0xFFFFFFFFu;
constexpr std::uint16_t ARCHIVE_MAGIC = 0x565A;        // "ZV"
constexpr std::uint32_t SEARCHNAME_MAX = 1024;

// The unscrambled 24-byte header.
struct ARCHIVEHEAD {
    std::uint16_t Magic;
    std::uint16_t Version;
    std::uint32_t HeaderBlockSize;
    std::uint64_t DataOffset;  // read as u32; wide so sums never wrap
    std::uint32_t HeaderBlockOffset;
    std::uint32_t FileTableOffset;
    std::uint32_t FolderTableOffset;
};

// One file-table entry, read from the header block.
struct ARCHIVEENTRY {
    std::uint32_t NameOffset;
    std::uint32_t Attributes;  // 0x10: a folder
    std::uint64_t CreationTime;
    std::uint64_t LastWriteTime;
    std::uint32_t DataOffset;  // a folder: its record's offset in the folder table
    std::uint32_t Size;
    std::uint32_t PackedSize;  // ARCHIVE_STORED in versions 0 and 1
};

struct ARCHIVEREC {
    ARCHIVEHEAD Header;
    THREADFILE* File;            // streamed mode
    std::uint8_t* Image;         // memory mode: the whole archive
    std::uint8_t* HeaderBlock;   // unscrambled; the name table starts it
    std::uint32_t FileTable;     // offsets into the header block
    std::uint32_t FolderTable;
    std::uint32_t CurrentFolder; // offset of a folder record in the header block
    std::uint8_t Key[ARCHIVE_KEY_SIZE];
    int MemoryMode;
    std::uint32_t FileSize;      // the archive file's size: every member lies inside it
    int ImageLoadPending;
    THREADFILE* ImageLoader;
};

// A name prepared for lookup, built as a name record's first fields.
struct SEARCHNAME {
    std::uint8_t Name[SEARCHNAME_MAX];
    std::uint16_t Checksum;
    std::uint16_t WordCount;
};

// The search name of name up to the first backslash or its end; -1 when it
// would not fit. length (when given) receives the bytes consumed.
int MakeArchiveSearchName(const char* name, SEARCHNAME* out, int* length);
void DeriveArchiveKey(const char* keyString, std::uint8_t key[ARCHIVE_KEY_SIZE]);
// The key tried when the derived one does not give the magic.
void GetSecondArchiveKey(std::uint8_t key[ARCHIVE_KEY_SIZE]);
void XorWithArchiveKey(std::uint32_t size, void* buffer, std::uint64_t fileOffset, const std::uint8_t* key);
// Reads size bytes at the file's position and unscrambles them with the key
// phase of fileOffset (-1: that position). -1 when fewer bytes came.
int ReadAndUnscramble(std::int64_t fileOffset, THREADFILE* file, void* buffer, std::uint32_t size,
                      const std::uint8_t* key);

int OpenArchiveStreamed(ARCHIVEREC* rec, const char* path, const char* keyString);
int LoadArchiveInMemory(ARCHIVEREC* rec, const char* path, const char* keyString, int asyncFlag);
int PollArchiveImageLoad(ARCHIVEREC* rec);
int CloseArchive(ARCHIVEREC* rec);

// Reads entry index of the folder at folderOffset; -1 when the tables do
// not hold it.
int GetArchiveEntry(const ARCHIVEREC* rec, std::uint32_t folderOffset, std::uint32_t index, ARCHIVEENTRY* entry);
// The folder record's entry count, parent and first entry; -1 when out of the block.
int GetArchiveFolder(const ARCHIVEREC* rec, std::uint32_t folderOffset, std::uint32_t* count,
                     std::uint32_t* parent);
// The stored name of an entry (zero-terminated inside the block), or null.
const char* GetArchiveEntryName(const ARCHIVEREC* rec, const ARCHIVEENTRY* entry);
// The entry's upper-case search name (zero-terminated inside the block), or null.
const char* GetArchiveEntrySearchName(const ARCHIVEREC* rec, const ARCHIVEENTRY* entry);

int FindArchiveSubFolder(ARCHIVEREC* rec, const SEARCHNAME* name);
int ChangeArchiveDir(ARCHIVEREC* rec, const char* path, int restoreFlag, SEARCHNAME* last);
// The member's entry in entry; -1 when the path names no file.
int FindArchiveMember(const char* path, ARCHIVEREC* rec, ARCHIVEENTRY* entry);
// Splits at the last backslash, slash or colon; outs hold up to 260 bytes.
// -1 when a part would not fit.
int SplitArchiveFileName(const char* path, char* name, char* folder);
// Absolute, upper-case, backslashes; -1 when the result exceeds 260 bytes.
int MakeArchiveFullPath(const char* path, char* destination);
// 0 on a match, -1 otherwise.
int MatchWildcard(const char* pattern, const char* name);
