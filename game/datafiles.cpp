// Owns BgmSetting, BestTimes, UnlockCounts and BgmPlaying and their files;
// logs a failed save through the public log entry (core/api).
#include "game/datafiles.h"

#include "core/api.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

int BgmSetting = 0;
int BestTimes[kProgressEntries];
int UnlockCounts[kProgressEntries];
int BgmPlaying = 0;

namespace {

const char kSettingPath[] = "setting.txt";
const char kTimePath[] = "date/time.dat";
const char kTimeTempPath[] = "date/time.dat.tmp";
const char kFlagPath[] = "date/flag.dat";

bool ReadWholeFile(const char* path, std::string* out)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) out->append(buffer, got);
    std::fclose(file);
    return true;
}

// As successive "%d\n" conversions: whitespace, then a number; the first
// entry that does not convert stops the reading, later entries keep theirs.
void ReadNumberList(const std::string& text, int* entries)
{
    const char* p = text.c_str();
    for (int i = 0; i < kProgressEntries; ++i) {
        while (std::isspace(static_cast<unsigned char>(*p))) ++p;
        if (!ReadClampedNumber(&p, &entries[i])) return;
    }
}

void LoadNumberFile(const char* path, int* entries)
{
    std::string text;
    if (!ReadWholeFile(path, &text)) std::exit(1);
    ReadNumberList(text, entries);
}

} // namespace

bool ReadClampedNumber(const char** text, int* value)
{
    const char* p = *text;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    long long v = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p)
        if (v <= INT_MAX) v = v * 10 + (*p - '0');
    if (negative) v = -v;
    *value = static_cast<int>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
    *text = p;
    return true;
}

bool IsMusicOn()
{
    return (BgmSetting & 0xFF) == 1;
}

void ReadSettingFile()
{
    std::string text;
    if (!ReadWholeFile(kSettingPath, &text)) return;  // no file: the music stays off
    if (text.compare(0, 4, "BGM=") != 0) return;
    const char* p = text.c_str() + 4;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    ReadClampedNumber(&p, &BgmSetting);
}

void LoadProgressFiles()
{
    LoadNumberFile(kTimePath, BestTimes);
    // No clear takes less than a second: a negative time (a damaged or edited
    // file) would show as cleared yet never be beaten, so it reads as no time.
    for (int& t : BestTimes)
        if (t < 0) t = 0;
    LoadNumberFile(kFlagPath, UnlockCounts);
}

int SaveBestTimes()
{
    // The old file stays whole until the new one is complete on disk.
    std::FILE* file = std::fopen(kTimeTempPath, "w");
    bool ok = file != nullptr;
    for (int i = 0; ok && i < kProgressEntries; ++i) ok = std::fprintf(file, "%d\n", BestTimes[i]) > 0;
    if (file != nullptr) {
        ok = std::fflush(file) == 0 && ok;
        ok = std::fclose(file) == 0 && ok;
    }
    if (ok && std::rename(kTimeTempPath, kTimePath) == 0) return 0;
    std::remove(kTimeTempPath);
    return WriteLogText("ベストタイムを date/time.dat に保存できませんでした\n");
}
