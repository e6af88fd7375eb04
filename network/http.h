// HTTP/1.0 transfers, GET, POST and HEAD, over raw network connections: a
// table of 100 records stepped once per message-loop pass; bodies go to a
// file or to a block that the transfer owns until its caller takes it.
#pragma once

#include "platform/kernel/types.h"

constexpr int HTTP_HANDLE_MAX = 100;
constexpr int HTTP_GET = 0;
constexpr int HTTP_POST = 1;
constexpr int HTTP_HEAD = 2;
// No body is taken beyond this, whatever a server announces.
constexpr int HTTP_BODY_LIMIT = 64 << 20;
// Header bytes and lines of one response; a server sending more is refused.
constexpr int HTTP_HEADER_BYTE_LIMIT = 64 << 10;
constexpr int HTTP_HEADER_LINE_LIMIT = 200;

struct HTTPREC {
    int Kind;
    int State;            // 0 request, 1 status line, 2 headers, 3 body, 4 finished
    int Result;           // -1 running, 0 success, 2 failure
    int Detail;           // -1 none, 0 other status, 1 404, 2 body not stored, 3 connection lost
    int Connection;       // -1 once closed
    int Destination;      // 0 file, 1 memory
    HANDLE File;          // null when none
    unsigned char* Body;  // a memory destination's block, owned until taken
    int BodyCapacity;
    int ContentLength;    // -1 until a Content-Length line sets it
    int Received;
    char Host[128];
    char Path[256];
    unsigned char* PostBody;
    int PostBodyLength;
    int Port;
    // The request head, queued so that a partial send loses nothing.
    char Head[512];
    int HeadLength;
    int RequestSent;
    // The response line being read: its first 255 bytes and their count,
    // and whether the rest of an overlong line is being dropped.
    char Line[256];
    int LineLength;
    int InOverlongLine;
    int HeaderBytes;
    int HeaderLines;
};

struct HTTPSTATE {
    HTTPREC* Handles[HTTP_HANDLE_MAX];
    int Count;
};
extern HTTPSTATE HttpState;

void ClearHttpRequestTable();
int ProcessAllHttpHandles();
// -1 for an empty slot, else the kind's step answer.
int StepHttpHandle(int slot);
int StepHttpGet(int slot);
int StepHttpPost(int slot);
int StepHttpHead(int slot);
// The first finish decides result and detail; -1 for an empty slot.
int FinishHttpHandle(int slot, int result, int detail);
int CloseHttpHandle(int slot);
int CloseAllHttpHandles();
// The integer after the text's first blank; -1 when there is no blank.
int ParseIntegerAfterBlank(const char* text);

// Starts a transfer to an IPv4 literal host: the slot, or -1 when the
// network is not started, the table is full, or host, path or body are
// refused (control characters or blanks, too long). A null fileName keeps
// the body in memory; else the file is created. The request goes out once
// the connection has been made.
int OpenHttpHandle(int kind, const char* host, int port, const char* path, const void* postBody, int postBodyLength,
                   const char* fileName);
// 0 with the outcome so far, -1 for an empty slot.
int GetHttpHandleState(int slot, int* result, int* detail, int* contentLength, int* received);
// After a successful memory transfer: hands its body block (from the library
// allocator, free it with FreeMemory) and size to the caller, once.
void* TakeHttpBody(int slot, int* size);
