// Text and byte routines of the library: Shift-JIS aware where texts are
// stepped character by character (lead bytes 0x81-0x9F and 0xE0-0xFC).
#pragma once

// A result of 0 means equal, 1 different.
void CopyText(char* destination, const char* source);
void AppendText(char* destination, const char* source);
// The first single-byte character equal to `byte`, or null; trail bytes of
// two-byte characters are never matched.
char* FindTextChar(const char* text, int byte);
int CompareText(const char* a, const char* b);
// "a"-"z" become "A"-"Z"; two-byte characters are left whole.
void UppercaseText(char* text);

// 0 when the first count bytes are equal; count 0 gives 0, a negative count 1.
int MatchBytes(const void* a, const void* b, int count);
// Overlap-safe.
void MoveBytes(void* destination, const void* source, int count);
