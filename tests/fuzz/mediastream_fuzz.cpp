// Fuzz target: the bytes as a movie file for the multimedia streams. Whatever
// opens is given a sample on a surface of its own, run, updated past its
// frames, sought back and updated again, then released; nothing may crash
// or hang, whatever the container or the coded frames hold.
#include <cstdint>
#include <cstdio>
#include <fstream>

#include "platform/com/com.h"
#include "platform/ddraw/ddraw.h"
#include "platform/dshow/dshow.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/sync.h"

namespace {

template <class T>
void Drop(T*& p)
{
    if (p != nullptr) p->Release();
    p = nullptr;
}

void Play(IAMMultiMediaStream* stream)
{
    IMediaStream* video = nullptr;
    IDirectDrawMediaStream* ddStream = nullptr;
    IDirectDrawStreamSample* sample = nullptr;
    DDSURFACEDESC2 desired{};
    desired.dwSize = sizeof desired;
    if (stream->GetMediaStream(MSPID_PrimaryVideo, &video) == S_OK &&
        video->QueryInterface(IID_IDirectDrawMediaStream, reinterpret_cast<void**>(&ddStream)) == S_OK &&
        ddStream->GetFormat(nullptr, nullptr, &desired, nullptr) == S_OK && desired.dwWidth != 0 &&
        desired.dwHeight != 0 && ddStream->CreateSample(nullptr, nullptr, 0, &sample) == S_OK) {
        HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        stream->SetState(STREAMSTATE_RUN);
        for (int pass = 0; pass < 2; ++pass) {
            AdvanceManualClock(3000000);
            sample->Update(0, event, nullptr, 0);
            stream->Seek(pass == 0 ? 0 : 1000000);
        }
        STREAM_TIME t = 0;
        stream->GetTime(&t);
        stream->GetDuration(&t);
        // Releasing with an update outstanding stops its completion first.
        Drop(sample);
        CloseHandle(event);
    }
    Drop(ddStream);
    Drop(video);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static IDirectDraw7* dd = [] {
        UseManualClock(1000, 10);
        CoInitialize(nullptr);
        IDirectDraw7* object = nullptr;
        CreateDirectDraw7Object(&object);
        object->Initialize(nullptr);
        return object;
    }();
    const char* name = "mediastream_fuzz_input.bin";
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    IGraphBuilder* graph = nullptr;
    IAMMultiMediaStream* stream = nullptr;
    CoCreateInstance(CLSID_FilterGraph, nullptr, 3, IID_IGraphBuilder, reinterpret_cast<void**>(&graph));
    CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_IAMMultiMediaStream,
                     reinterpret_cast<void**>(&stream));
    char16_t wide[64];
    if (graph != nullptr && stream != nullptr && stream->Initialize(STREAMTYPE_READ, 0, graph) == S_OK &&
        stream->AddMediaStream(dd, &MSPID_PrimaryVideo, 0, nullptr) == S_OK &&
        MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 64) != 0 && stream->OpenFile(wide, 0) == S_OK) {
        Play(stream);
    }
    Drop(stream);
    Drop(graph);
    std::remove(name);
    return 0;
}
