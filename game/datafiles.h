// The game's own text files: "setting.txt" (music on or off), the best times
// and the unlock counts under "date/". Read with stdio relative to the
// working directory, never through the library's file layer.
#pragma once

constexpr int kProgressEntries = 35;

extern int BgmSetting;
extern int BestTimes[kProgressEntries];
extern int UnlockCounts[kProgressEntries];
extern int BgmPlaying;

// Music is on when the setting's low byte is 1.
bool IsMusicOn();

// "BGM=%d"; a missing or unmatched file leaves BgmSetting as it was (0: off).
void ReadSettingFile();
// Reads both progress files; a file that cannot be opened ends the process
// with status 1, before the library has started.
void LoadProgressFiles();
// Replaces "date/time.dat" through a temporary file; 0, or -1 after logging
// the failure (the times in memory stay as they are).
int SaveBestTimes();

// A signed decimal number at *text, clamped to the 32-bit range; advances
// *text past it. False (and *text unchanged) when no digit follows the sign.
bool ReadClampedNumber(const char** text, int* value);
