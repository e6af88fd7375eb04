// Interim log so the first subsystems link; the real log file replaces it.
#include "core/log.h"

int CreateLogFile() { return 1; }
int WriteLog(const char*) { return -1; }
int WriteLogFormat(const char*, ...) { return -1; }
int IncreaseLogIndent() { return 0; }
int DecreaseLogIndent() { return 0; }
