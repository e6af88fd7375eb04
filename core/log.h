// The library's log, "Log.txt" in the start directory: every line carries
// the milliseconds since the log was created and the current indentation;
// everything written also goes to the debugger output. Each write is
// serialised, so other threads may log too.
#pragma once

// Deletes and re-creates the log file; always 1.
int CreateLogFile();
// Appends the text (line feeds written as CR LF); always -1, so a failure
// can be logged and answered in one statement.
int WriteLog(const char* text);
// Formats into 1,024 bytes (truncating), appends a line feed; always -1.
int WriteLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int IncreaseLogIndent();
// Not below 0.
int DecreaseLogIndent();
