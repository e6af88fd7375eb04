// The data operations on a network handle: connection state, receive, peek,
// send, the waiting data's length and text lines.
#pragma once

// 1 connected, 0 not (the disconnection is then seen), -1 error.
int GetNetWorkAcceptState(int handle);
// Framed: 0 or -1. Raw: what recv answers.
int NetWorkRecv(int handle, void* buffer, int length);
int NetWorkRecvToPeek(int handle, void* buffer, int length);
// Framed: 0 or -1. Raw: what send answers.
int NetWorkSend(int handle, const void* buffer, int length);
// Framed: the bytes of complete messages. Raw: 1 data waits, 0 the peer has
// closed, -1 nothing waits or an error.
int GetNetWorkDataLength(int handle);
// A line of at most 254 bytes before its LF into destination (255 bytes);
// 0, or -1 when no whole line waits.
int NetWorkRecvLine(int handle, char* destination);
