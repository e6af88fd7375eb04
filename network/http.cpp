// Owns HTTPSTATE, the transfer table; drives each transfer over the data
// operations (network/netdata) of its raw connection (network/netconn),
// writes file bodies through the kernel's files and logs through core/log.
#include "network/http.h"

#include "core/format.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/number.h"
#include "core/text.h"
#include "network/netconn.h"
#include "network/netdata.h"
#include "platform/kernel/file.h"
#include "platform/kernel/handle.h"

#include <cstdio>
#include <cstring>

HTTPSTATE HttpState;

namespace {

constexpr int kBodyPiece = 4096;
// Pieces of body taken in one step, so a fast server cannot hold the main thread.
constexpr int kPiecesPerStep = 16;
constexpr int kPeekSize = 1024;

unsigned char g_getBuffer[kBodyPiece];
unsigned char g_postBuffer[kBodyPiece];

HTTPREC* Record(int slot)
{
    if (slot < 0 || slot >= HTTP_HANDLE_MAX) return nullptr;
    return HttpState.Handles[slot];
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The header's value when the line names `name` (which ends with ':'), in
// any letter case; else null.
const char* HeaderValue(const HTTPREC* r, const char* name)
{
    const int n = static_cast<int>(std::strlen(name));
    if (r->LineLength < n) return nullptr;
    for (int i = 0; i < n; ++i)
        if (Lower(r->Line[i]) != name[i]) return nullptr;
    return r->Line + n;
}

// A Content-Length value: digits between optional blanks; -1 when malformed,
// -2 when beyond the body limit.
int ParseContentLength(const char* value)
{
    const char* p = value;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9') return -1;
    long long v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + (*p - '0');
        if (v > HTTP_BODY_LIMIT) return -2;
        ++p;
    }
    while (*p == ' ' || *p == '\t' || *p == '\r') ++p;
    return *p == '\0' ? static_cast<int>(v) : -1;
}

bool ContainsWordChunked(const char* value)
{
    for (const char* p = value; *p != '\0'; ++p) {
        static const char word[] = "chunked";
        int i = 0;
        while (word[i] != '\0' && Lower(p[i]) == word[i]) ++i;
        if (word[i] == '\0') return true;
    }
    return false;
}

// Reads one response line: 1 with the line in r->Line, 0 when no whole
// line waits yet, -1 when the response's header limits are exceeded, -2
// when the server has gone leaving a line unfinished. Lines of any length
// are consumed; only their first 255 bytes are kept.
int ReadResponseLine(HTTPREC* r)
{
    char peeked[kPeekSize];
    for (;;) {
        const int n = NetWorkRecvToPeek(r->Connection, peeked, kPeekSize);
        if (n <= 0) return 0;
        const auto* lf = static_cast<const char*>(std::memchr(peeked, '\n', static_cast<std::size_t>(n)));
        const int take = lf != nullptr ? static_cast<int>(lf - peeked) + 1 : n;
        if (lf == nullptr && n < kPeekSize) {
            // The rest of the line has not come yet, or never will.
            return GetNetWorkAcceptState(r->Connection) == 0 ? -2 : 0;
        }
        if (r->HeaderBytes + take > HTTP_HEADER_BYTE_LIMIT) return -1;
        const int content = lf != nullptr ? take - 1 : take;
        if (!r->InOverlongLine) {
            r->LineLength = content < 255 ? content : 255;
            std::memcpy(r->Line, peeked, static_cast<std::size_t>(r->LineLength));
            r->Line[r->LineLength] = '\0';
        }
        if (NetWorkRecv(r->Connection, peeked, take) != take) return -1;
        r->HeaderBytes += take;
        if (lf == nullptr) {
            r->InOverlongLine = 1;
            continue;
        }
        r->InOverlongLine = 0;
        if (++r->HeaderLines > HTTP_HEADER_LINE_LIMIT) return -1;
        return 1;
    }
}

// 1 once the peer has gone with nothing left to read (a reset included).
bool PeerGoneAndDrained(int connection)
{
    return GetNetWorkAcceptState(connection) == 0 && GetNetWorkDataLength(connection) != 1;
}

// Sends what is left of the request; 1 once all of it went, 0 to wait, -1 lost.
int SendRequest(HTTPREC* r)
{
    const int total = r->HeadLength + r->PostBodyLength;
    while (r->RequestSent < total) {
        const bool inHead = r->RequestSent < r->HeadLength;
        const char* from = inHead ? r->Head + r->RequestSent
                                  : reinterpret_cast<const char*>(r->PostBody) + (r->RequestSent - r->HeadLength);
        const int length = inHead ? r->HeadLength - r->RequestSent : total - r->RequestSent;
        const int n = NetWorkSend(r->Connection, from, length);
        if (n < 0) return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
        r->RequestSent += n;
    }
    return 1;
}

// Makes room for more of a body of unknown length; false at the limit or
// when no memory can be had.
bool GrowBody(HTTPREC* r)
{
    if (r->BodyCapacity - r->Received >= kBodyPiece) return true;
    if (r->BodyCapacity >= HTTP_BODY_LIMIT) return false;
    long long size = r->BodyCapacity < kBodyPiece ? kBodyPiece * 4 : static_cast<long long>(r->BodyCapacity) * 2;
    if (size > HTTP_BODY_LIMIT) size = HTTP_BODY_LIMIT;
    auto* block = static_cast<unsigned char*>(ReallocMemory(r->Body, static_cast<std::size_t>(size), "", 0));
    if (block == nullptr) return false;
    r->Body = block;
    r->BodyCapacity = static_cast<int>(size);
    return true;
}

int Finish(int slot, int result, int detail)
{
    FinishHttpHandle(slot, result, detail);
    return 0;
}

int Complete(int slot)
{
    HttpState.Handles[slot]->State = 4;
    return Finish(slot, 0, -1);
}

// States 0 and 1, shared by the three kinds: 1 to go on with the headers.
int StartResponse(int slot, bool logStatus)
{
    HTTPREC* r = HttpState.Handles[slot];
    if (r->State == 0) {
        const int sent = SendRequest(r);
        if (sent == -1) return Finish(slot, 2, 3) - 1;
        if (sent == 0) return 0;
        r->State = 1;
    }
    if (r->State == 1) {
        const int line = ReadResponseLine(r);
        if (line < 0) return Finish(slot, 2, line == -2 ? 3 : 0) - 1;
        if (line == 0) return 0;
        const int code = ParseIntegerAfterBlank(r->Line);
        if (code != 200) {
            if (logStatus) WriteLogFormat("接続に失敗しました (戻り値:%d)", code);
            return Finish(slot, 2, code == 404 ? 1 : 0) - 1;
        }
        r->State = 2;
    }
    return 1;
}

// One header line of a GET or POST: 1 when the headers ended, 0 to wait for
// the next step, -1 when the transfer finished.
int TakeHeaderLine(int slot)
{
    HTTPREC* r = HttpState.Handles[slot];
    const int line = ReadResponseLine(r);
    if (line < 0) return Finish(slot, 2, line == -2 ? 3 : 0) - 1;
    if (line == 0) return 0;
    if (std::memchr(r->Line, ':', static_cast<std::size_t>(r->LineLength)) == nullptr) {
        r->State = 3;
        return 1;
    }
    if (const char* value = HeaderValue(r, "transfer-encoding:")) {
        // A chunked body would be stored with its framing.
        if (ContainsWordChunked(value)) return Finish(slot, 2, 0) - 1;
    }
    if (const char* value = HeaderValue(r, "content-length:")) {
        const int length = ParseContentLength(value);
        if (length == -2) return Finish(slot, 2, 2) - 1;
        if (length == -1 || (r->ContentLength >= 0 && r->ContentLength != length)) return Finish(slot, 2, 0) - 1;
        if (r->ContentLength < 0 && r->Destination == 1) {
            r->Body = static_cast<unsigned char*>(AllocMemory(static_cast<std::size_t>(length), "", 0));
            if (r->Body == nullptr) return Finish(slot, 2, 2) - 1;
            r->BodyCapacity = length;
        }
        r->ContentLength = length;
    }
    return 0;
}

// The body loop of GET and POST.
int ReceiveBody(int slot, unsigned char* buffer, bool oncePerStepWithoutLength)
{
    HTTPREC* r = HttpState.Handles[slot];
    for (int piece = 0; piece < kPiecesPerStep; ++piece) {
        if (r->ContentLength >= 0 && r->Received >= r->ContentLength) return Complete(slot);
        unsigned char* into = buffer;
        int want = kBodyPiece;
        if (r->Destination == 1) {
            if (r->ContentLength < 0 && !GrowBody(r)) return Finish(slot, 2, 2);
            into = r->Body + r->Received;
            want = r->ContentLength >= 0 ? r->ContentLength - r->Received : r->BodyCapacity - r->Received;
            if (want > kBodyPiece) want = kBodyPiece;
        }
        const int n = NetWorkRecv(r->Connection, into, want);
        if (n < 0) return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : Finish(slot, 2, 3);
        if (n == 0) {
            // The server has closed: the end of a body without a length, or a cut one.
            return r->ContentLength < 0 ? Complete(slot) : Finish(slot, 2, 3);
        }
        if (r->Destination == 0) {
            DWORD written = 0;
            if (!WriteFile(r->File, buffer, static_cast<DWORD>(n), &written, nullptr) || written != static_cast<DWORD>(n)) {
                return Finish(slot, 2, 2);
            }
        }
        r->Received += n;
        if (r->ContentLength >= 0 ? r->Received >= r->ContentLength : PeerGoneAndDrained(r->Connection)) {
            return Complete(slot);
        }
        if (r->ContentLength < 0 && oncePerStepWithoutLength) return 0;
    }
    return 0;
}

int StepGetOrPost(int slot, bool post)
{
    HTTPREC* r = Record(slot);
    if (r == nullptr) return -1;
    if (r->State == 4) return Complete(slot);
    const int started = StartResponse(slot, !post);
    if (started != 1) return 0;
    if (r->State == 2) {
        const int headers = TakeHeaderLine(slot);
        if (headers != 1) return 0;
    }
    if (r->State == 3) return ReceiveBody(slot, post ? g_postBuffer : g_getBuffer, post);
    return 0;
}

bool IsRequestText(const char* text, std::size_t limit)
{
    if (text == nullptr) return false;
    const std::size_t n = std::strlen(text);
    if (n == 0 || n >= limit) return false;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c <= 0x20 || c == 0x7F) return false;
    }
    return true;
}

} // namespace

void ClearHttpRequestTable()
{
    std::memset(&HttpState, 0, sizeof HttpState);
}

int ParseIntegerAfterBlank(const char* text)
{
    const char* blank = FindTextChar(text, ' ');
    if (blank == nullptr) return -1;
    return ParseFirstInteger(blank);
}

namespace {

// Visits the occupied slots from 0 up, as many as were open at the start.
template <typename Visit>
void ForEachOpenTransfer(Visit visit)
{
    const int count = HttpState.Count;
    int visited = 0;
    for (int i = 0; i < HTTP_HANDLE_MAX && visited < count; ++i) {
        if (HttpState.Handles[i] == nullptr) continue;
        visit(i);
        ++visited;
    }
}

} // namespace

int ProcessAllHttpHandles()
{
    ForEachOpenTransfer(StepHttpHandle);
    return 0;
}

int StepHttpHandle(int slot)
{
    HTTPREC* r = Record(slot);
    if (r == nullptr) return -1;
    if (r->Result != -1) return 0;
    if (r->State == 0) {
        // The request waits for the connection to be made.
        const int connect = GetNetWorkConnectState(r->Connection);
        if (connect == -1) return Finish(slot, 2, 3);
        if (connect == 0) return 0;
    }
    if (PeerGoneAndDrained(r->Connection)) {
        // A body without a length ends with the connection.
        if (r->State == 3 && r->ContentLength < 0 && r->Kind != HTTP_HEAD) return Complete(slot);
        return Finish(slot, 2, 3);
    }
    switch (r->Kind) {
    case HTTP_GET: return StepHttpGet(slot);
    case HTTP_POST: return StepHttpPost(slot);
    case HTTP_HEAD: return StepHttpHead(slot);
    default: return 0;
    }
}

int StepHttpGet(int slot)
{
    return StepGetOrPost(slot, false);
}

int StepHttpPost(int slot)
{
    return StepGetOrPost(slot, true);
}

int StepHttpHead(int slot)
{
    HTTPREC* r = Record(slot);
    if (r == nullptr) return -1;
    if (r->State == 3) return Finish(slot, 0, -1);
    if (StartResponse(slot, false) != 1) return 0;
    const int line = ReadResponseLine(r);
    if (line < 0) return Finish(slot, 2, line == -2 ? 3 : 0);
    if (line == 0) return 0;
    const bool headersEnd = std::memchr(r->Line, ':', static_cast<std::size_t>(r->LineLength)) == nullptr;
    const char* value = HeaderValue(r, "content-length:");
    if (!headersEnd && value == nullptr) return 0;
    if (value != nullptr) {
        const int length = ParseContentLength(value);
        if (length < 0) return Finish(slot, 2, length == -2 ? 2 : 0);
        r->ContentLength = length;
    }
    // The end of the headers finishes a response that gave no length.
    r->State = 3;
    return Finish(slot, 0, -1);
}

int FinishHttpHandle(int slot, int result, int detail)
{
    HTTPREC* r = Record(slot);
    if (r == nullptr) return -1;
    if (r->Connection != -1) {
        CloseNetWork(r->Connection);
        r->Connection = -1;
    }
    if (r->PostBody != nullptr) {
        FreeMemory(r->PostBody);
        r->PostBody = nullptr;
    }
    if (r->File != nullptr) {
        CloseHandle(r->File);
        r->File = nullptr;
    }
    if (r->Result == -1) r->Result = result;
    if (r->Detail == -1) r->Detail = detail;
    if (r->Result != 0 && r->Body != nullptr) {
        FreeMemory(r->Body);
        r->Body = nullptr;
        r->BodyCapacity = 0;
    }
    return 0;
}

int CloseHttpHandle(int slot)
{
    HTTPREC* r = Record(slot);
    if (r == nullptr) return -1;
    FinishHttpHandle(slot, 0, -1);
    // A body its caller never took goes with the record.
    if (r->Body != nullptr) FreeMemory(r->Body);
    FreeMemory(r);
    HttpState.Handles[slot] = nullptr;
    --HttpState.Count;
    return 0;
}

int CloseAllHttpHandles()
{
    ForEachOpenTransfer(CloseHttpHandle);
    return 0;
}

int OpenHttpHandle(int kind, const char* host, int port, const char* path, const void* postBody, int postBodyLength,
                   const char* fileName)
{
    if (kind < HTTP_GET || kind > HTTP_HEAD || port <= 0 || port > 0xFFFF) return -1;
    if (!IsRequestText(host, sizeof HTTPREC::Host) || !IsRequestText(path, sizeof HTTPREC::Path)) return -1;
    if (kind != HTTP_POST) postBodyLength = 0;
    if (postBodyLength < 0 || postBodyLength > HTTP_BODY_LIMIT || (postBodyLength > 0 && postBody == nullptr)) return -1;
    int slot = -1;
    for (int i = 0; i < HTTP_HANDLE_MAX && slot < 0; ++i)
        if (HttpState.Handles[i] == nullptr) slot = i;
    if (slot < 0) return -1;

    auto* r = static_cast<HTTPREC*>(AllocMemoryZeroed(sizeof(HTTPREC), "", 0));
    if (r == nullptr) return -1;
    r->Kind = kind;
    r->Result = -1;
    r->Detail = -1;
    r->Connection = -1;
    r->ContentLength = -1;
    r->Port = port;
    CopyText(r->Host, host);
    CopyText(r->Path, path);
    // The heads keep their wire form; each must fit its buffer whole.
    const std::size_t headLimit = kind == HTTP_GET ? 512 : 256;
    int n = 0;
    if (kind == HTTP_GET) {
        n = std::snprintf(r->Head, headLimit, "GET %s HTTP/1.0\r\nHost: %s:%d\r\nConnection: close\r\n\r\n", path, host, port);
    } else if (kind == HTTP_POST) {
        n = std::snprintf(r->Head, headLimit, "POST %s HTTP/1.0\nHost: %s:%d\nContent-Length: %d\n\n", path, host, port,
                          postBodyLength);
    } else {
        n = std::snprintf(r->Head, headLimit, "HEAD %s HTTP/1.0\n\n", path);
    }
    bool ok = n > 0 && static_cast<std::size_t>(n) < headLimit;
    r->HeadLength = n;
    if (ok && postBodyLength > 0) {
        r->PostBody = static_cast<unsigned char*>(AllocMemory(static_cast<std::size_t>(postBodyLength), "", 0));
        ok = r->PostBody != nullptr;
        if (ok) std::memcpy(r->PostBody, postBody, static_cast<std::size_t>(postBodyLength));
        r->PostBodyLength = postBodyLength;
    }
    if (ok && fileName != nullptr) {
        HANDLE file = CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ok = file != INVALID_HANDLE_VALUE;
        r->File = ok ? file : nullptr;
    }
    r->Destination = fileName != nullptr ? 0 : 1;
    if (ok) r->Connection = ConnectNetWork(host, port, 0, 0);
    HttpState.Handles[slot] = r;
    ++HttpState.Count;
    if (!ok || r->Connection == -1) {
        if (r->File != nullptr) {
            CloseHandle(r->File);
            r->File = nullptr;
        }
        CloseHttpHandle(slot);
        return -1;
    }
    return slot;
}

int GetHttpHandleState(int slot, int* result, int* detail, int* contentLength, int* received)
{
    const HTTPREC* r = Record(slot);
    if (r == nullptr) return -1;
    if (result != nullptr) *result = r->Result;
    if (detail != nullptr) *detail = r->Detail;
    if (contentLength != nullptr) *contentLength = r->ContentLength;
    if (received != nullptr) *received = r->Received;
    return 0;
}

void* TakeHttpBody(int slot, int* size)
{
    HTTPREC* r = Record(slot);
    if (r == nullptr || r->Result != 0 || r->Destination != 1 || r->Body == nullptr) return nullptr;
    void* block = r->Body;
    if (size != nullptr) *size = r->Received;
    r->Body = nullptr;
    r->BodyCapacity = 0;
    return block;
}
