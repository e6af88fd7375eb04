// The file-function table FILEFUNCS through which the library reaches every
// file, its dispatchers, the plain set's find and directory operations, and
// the path helpers shared by the file layer and the archive code.
#pragma once

#include "platform/kernel/types.h"

#include <cstdint>

// A file handle of a FILEFUNCS set; opaque, 0 means no file. The default set's
// handles are slot | 0xF0000000, kept unsigned so they never test as negative.
using FILEHANDLE = std::uintptr_t;
// A find handle of a FILEFUNCS set; -1 means no search.
using FINDHANDLE = std::intptr_t;

constexpr FINDHANDLE NO_FIND_HANDLE = -1;

struct FILEDATE {
    int Year;
    int Mon;
    int Day;
    int Hour;
    int Min;
    int Sec;
};

// One directory entry, filled by every find operation of either set.
struct FINDREC {
    char Name[260];
    int DirFlag;
    DWORD SizeL;
    DWORD SizeH;
    FILEDATE CreateTime;
    FILEDATE LastWriteTime;
};

// The twelve operations, in slot order.
struct FILEFUNCS {
    FILEHANDLE (*Open)(const char* path, int cacheFlag, int reserved, int asyncFlag);
    int (*Close)(FILEHANDLE file);
    int (*Tell)(FILEHANDLE file);
    int (*Seek)(FILEHANDLE file, int offset, int origin);
    std::uint32_t (*Read)(void* buffer, std::uint32_t size, std::uint32_t count, FILEHANDLE file);
    int (*Eof)(FILEHANDLE file);
    int (*Idle)(FILEHANDLE file);
    int (*SetDir)(const char* path);
    int (*GetDir)(char* buffer);
    FINDHANDLE (*FindFirst)(const char* pattern, FINDREC* findData);
    int (*FindNext)(FINDHANDLE find, FINDREC* findData);
    int (*FindClose)(FINDHANDLE find);
};

// Installs a table: a copy of the given one; with null, the plain set when the
// threaded-file setting is 1, else the archive-aware set. Answers 0.
int SelectFileFunctionTable(const FILEFUNCS* table);
// The installed table; a thread that must not depend on later changes copies it.
const FILEFUNCS* GetFileFunctionTable();

// Dispatchers through the installed table.
FILEHANDLE OpenLibraryFile(const char* path, int cacheFlag, int reserved, int asyncFlag);
int CloseLibraryFile(FILEHANDLE file);
int TellLibraryFile(FILEHANDLE file);
int SeekLibraryFile(FILEHANDLE file, int offset, int origin);
std::uint32_t ReadLibraryFile(void* buffer, std::uint32_t size, std::uint32_t count, FILEHANDLE file);
int IsLibraryFileEof(FILEHANDLE file);
int IsLibraryFileIdle(FILEHANDLE file);
int ChangeLibraryCurrentDir(const char* path);
int GetLibraryCurrentDir(char* buffer);

// The plain set's directory and find operations.
int ChangeThreadedCurrentDir(const char* path);
int GetThreadedCurrentDir(char* buffer);
FINDHANDLE FindFirstPlainFile(const char* pattern, FINDREC* findData);
int FindNextPlainFile(FINDHANDLE find, FINDREC* findData);
int CloseFindPlainFile(FINDHANDLE find);

struct FILETIME;
struct WIN32_FIND_DATAA;
void FillFindData(const WIN32_FIND_DATAA* from, FINDREC* to);
// UTC file time to local calendar fields: year, month, day, hour, minute, second.
void FileTimeToDateFields(const FILETIME* time, int fields[6]);

// A new empty file in the temporary folder, open for writing; its full path
// goes to path (260 bytes) when given. Null when no folder or name can be had.
HANDLE CreateTempFile(char* path);

// Makes path absolute against base (the current directory when null) into
// destination (260 bytes). -1 for an empty component or a result too long.
int MakeFullPath(const char* path, char* destination, const char* base);

// 1 when *text opens a two-byte character: with kind 2 every byte from 0x80,
// else 0x81-0x9F and 0xE0-0xFC.
int IsDoubleByteLeadByte(const void* text, int charSetKind);
