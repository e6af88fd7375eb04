// The library's log, "Log.txt" in the start directory.
#pragma once

int CreateLogFile();
int WriteLog(const char* text);
int WriteLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int IncreaseLogIndent();
int DecreaseLogIndent();
