// The archive-aware FILEFUNCS set, installed by default: paths are served
// from a ZVA archive named after one of their folders, else from the plain
// file. Owns the tables of open archives and open files.
#pragma once

#include "core/file/archive.h"
#include "core/file/filefuncs.h"

constexpr int PACK_TABLE_SIZE = 512;
constexpr FILEHANDLE PACK_HANDLE_TAG = 0xF0000000u;

struct MEMBERSTREAM {
    ARCHIVEREC* Archive;
    ARCHIVEENTRY Entry;
    std::uint8_t* Decoded;      // packed members, decoded whole
    std::uint8_t* Packed;       // while an asynchronous packed read runs
    int Eof;
    std::uint32_t Position;
    int Async;
    int Pending;                // 0 nothing, 1 packed data, 2 stored data being read
    std::uint64_t FileOffset;   // of the pending read: its key phase
    void* Destination;
    std::uint32_t DestinationSize;
    int Failed;                 // an asynchronous read that did not deliver a sound member
};

struct PACKARCHIVE {
    int RefCount;
    ARCHIVEREC Rec;
    char Path[256];
};

struct PACKFILE {
    int MemberFlag;
    THREADFILE* Plain;
    int ArchiveIndex;
    MEMBERSTREAM Member;
};

struct ARCHIVEFIND {
    ARCHIVEREC* Rec;
    char Pattern[260];
    std::uint32_t Folder;
    std::uint32_t Index;
};

struct PACKFIND {
    int InArchive;
    int ArchiveIndex;
    ARCHIVEFIND* Archive;
    FINDHANDLE Plain;
};

// The layer's state block.
struct PACKSTATE {
    PACKARCHIVE* Archives[PACK_TABLE_SIZE];
    PACKFILE* Files[PACK_TABLE_SIZE];
    char Extension[64];
    int ExtensionLength;
    int KeyStringFlag;
    char KeyString[16];
    int ArchiveCount;
    int FileCount;
    int CachedIndex;
    char CachedPath[256];
    int CachedFolderLength;
};

extern PACKSTATE PackState;

FILEHANDLE OpenPackFile(const char* path, int cacheFlag, int reserved, int asyncFlag);
int ClosePackFile(FILEHANDLE file);
int TellPackFile(FILEHANDLE file);
int SeekPackFile(FILEHANDLE file, int offset, int origin);
std::uint32_t ReadPackFile(void* buffer, std::uint32_t size, std::uint32_t count, FILEHANDLE file);
int IsPackFileEof(FILEHANDLE file);
int IsPackFileIdle(FILEHANDLE file);
int SetPackCurrentDir(const char* path);
int GetPackCurrentDir(char* buffer);
FINDHANDLE FindFirstPackFile(const char* pattern, FINDREC* findData);
int FindNextPackFile(FINDHANDLE find, FINDREC* findData);
int CloseFindPackFile(FINDHANDLE find);

// Start-up: empties the tables (nothing is open yet).
int ResetArchiveTables();
// Shutdown: closes every archive that no open file uses.
int ShutdownArchiveLayer();
int OpenArchiveFile(int hint, const char* path, int memoryFlag, int asyncFlag);
void CloseUnusedArchives();
// 0 and the archive (one reference taken) when an archive serves the path,
// -1 for a plain file. archivePath holds 256 bytes, memberPath 260.
int SplitArchivePath(const char* path, int* archiveIndex, char* archivePath, char* memberPath);

int OpenArchiveMember(MEMBERSTREAM* member, ARCHIVEREC* rec, const char* memberPath, int asyncFlag);
int CloseArchiveMember(MEMBERSTREAM* member);
int TellArchiveMember(MEMBERSTREAM* member);
int SeekArchiveMember(MEMBERSTREAM* member, int offset, int origin);
std::uint32_t ReadArchiveMember(MEMBERSTREAM* member, void* buffer, std::uint32_t bytes);
int IsArchiveMemberEof(MEMBERSTREAM* member);
int PollArchiveMemberRead(MEMBERSTREAM* member);
ARCHIVEFIND* FindFirstInArchive(ARCHIVEREC* rec, const char* pattern, FINDREC* findData);
int FindNextInArchive(ARCHIVEFIND* find, FINDREC* findData);
