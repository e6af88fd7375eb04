// The multimedia-stream layer on its own: what it opens and refuses, the
// video format and duration, the stream clock through run, pause and seek,
// and samples that complete at once, later through their event, or at the
// end of the data.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "platform/com/com.h"
#include "platform/ddraw/ddraw.h"
#include "platform/dshow/dshow.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/handle.h"
#include "platform/kernel/sync.h"
#include "support/ffmpeg_movie_writer.h"

namespace {

class MediaStream : public testing::Test {
protected:
    void SetUp() override
    {
        // Each test its own file: ctest runs the tests as parallel processes.
        movie_ = std::string("dshow_") + testing::UnitTest::GetInstance()->current_test_info()->name() + ".mp4";
        ASSERT_TRUE(WriteFfmpegMovie(movie_, FfmpegMovieSpec{}));
        UseManualClock(1000, 1);
        CoInitialize(nullptr);
        ASSERT_EQ(CreateDirectDraw7Object(&dd_), DD_OK);
        dd_->Initialize(nullptr);
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, 3, IID_IGraphBuilder, reinterpret_cast<void**>(&graph_)),
                  S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_IAMMultiMediaStream,
                                   reinterpret_cast<void**>(&stream_)),
                  S_OK);
        ASSERT_EQ(stream_->Initialize(STREAMTYPE_READ, 0, graph_), S_OK);
        ASSERT_EQ(stream_->AddMediaStream(dd_, &MSPID_PrimaryVideo, 0, nullptr), S_OK);
        ASSERT_EQ(stream_->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER, nullptr), S_OK);
    }
    void TearDown() override
    {
        if (sample_ != nullptr) sample_->Release();
        if (video_ != nullptr) video_->Release();
        if (stream_ != nullptr) stream_->Release();
        if (graph_ != nullptr) graph_->Release();
        if (dd_ != nullptr) dd_->Release();
        CoUninitialize();
        UseRealClock();
    }

    HRESULT Open(const char* name)
    {
        char16_t wide[260];
        MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 260);
        return stream_->OpenFile(wide, 0);
    }

    IDirectDrawSurface7* MakeSurface(int bits)
    {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = 64;
        desc.dwHeight = 48;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
        desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
        desc.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(bits);
        desc.ddpfPixelFormat.dwRBitMask = bits == 32 ? 0xFF0000 : 0;
        desc.ddpfPixelFormat.dwGBitMask = bits == 32 ? 0xFF00 : 0;
        desc.ddpfPixelFormat.dwBBitMask = bits == 32 ? 0xFF : 0;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd_->CreateSurface(&desc, &s, nullptr), DD_OK);
        return s;
    }

    IDirectDrawMediaStream* Video()
    {
        IMediaStream* stream = nullptr;
        EXPECT_EQ(stream_->GetMediaStream(MSPID_PrimaryVideo, &stream), S_OK);
        stream->QueryInterface(IID_IDirectDrawMediaStream, reinterpret_cast<void**>(&video_));
        stream->Release();
        return video_;
    }

    STREAM_TIME Time()
    {
        STREAM_TIME t = 0;
        stream_->GetTime(&t);
        return t;
    }

    std::string movie_;
    IDirectDraw7* dd_ = nullptr;
    IGraphBuilder* graph_ = nullptr;
    IAMMultiMediaStream* stream_ = nullptr;
    IDirectDrawMediaStream* video_ = nullptr;
    IDirectDrawStreamSample* sample_ = nullptr;
};

TEST_F(MediaStream, OpensWhatFfmpegReadsWithItsFormatAndDuration)
{
    std::ofstream("dshow_text.bin") << std::string(2000, 'q');
    EXPECT_EQ(Open("dshow_text.bin"), VFW_E_UNSUPPORTED_STREAM);
    EXPECT_EQ(Open("no_such_movie.mp4"), VFW_E_UNSUPPORTED_STREAM);
    ASSERT_EQ(Open(movie_.c_str()), S_OK);
    DDSURFACEDESC2 desired{};
    ASSERT_EQ(Video()->GetFormat(nullptr, nullptr, &desired, nullptr), S_OK);
    EXPECT_EQ(desired.dwWidth, 64u);
    EXPECT_EQ(desired.dwHeight, 48u);
    STREAM_TIME duration = 0;
    EXPECT_EQ(stream_->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 24000000);
    IMediaStream* audio = nullptr;
    EXPECT_EQ(stream_->GetMediaStream(MSPID_PrimaryAudio, &audio), MS_E_NOSTREAM);
    // A palette surface cannot take the frames.
    IDirectDrawSurface7* palette = MakeSurface(8);
    EXPECT_EQ(video_->CreateSample(palette, nullptr, 0, &sample_), DDERR_INVALIDPIXELFORMAT);
    palette->Release();
}

TEST_F(MediaStream, ClockRunsPausesAndSeeksAndSamplesFollowIt)
{
    ASSERT_EQ(Open(movie_.c_str()), S_OK);
    IDirectDrawSurface7* surface = MakeSurface(32);
    ASSERT_EQ(Video()->CreateSample(surface, nullptr, 0, &sample_), S_OK);
    surface->Release();
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(sample_->Update(0, event, nullptr, 0), MS_E_NOTRUNNING);

    ASSERT_EQ(stream_->SetState(STREAMSTATE_RUN), S_OK);
    EXPECT_EQ(sample_->Update(0, event, nullptr, 0), S_OK);  // frame 0 is due at once
    AdvanceManualClock(500000);
    EXPECT_NEAR(static_cast<double>(Time()), 5000000.0, 1000.0);
    IMediaControl* control = nullptr;
    ASSERT_EQ(graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)), S_OK);
    control->Pause();
    control->Release();
    STREAM_STATE state = STREAMSTATE_RUN;
    stream_->GetState(&state);
    EXPECT_EQ(state, STREAMSTATE_STOP);
    const STREAM_TIME paused = Time();
    AdvanceManualClock(3000000);
    EXPECT_EQ(Time(), paused);

    stream_->SetState(STREAMSTATE_RUN);
    EXPECT_EQ(stream_->Seek(10000000), S_OK);
    EXPECT_EQ(sample_->Update(0, event, nullptr, 0), S_OK);
    // The next frame is not due: the update completes through the event.
    EXPECT_EQ(sample_->Update(0, event, nullptr, 0), MS_S_PENDING);
    EXPECT_EQ(sample_->Update(0, event, nullptr, 0), MS_E_BUSY);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    AdvanceManualClock(100000);
    EXPECT_EQ(WaitForSingleObject(event, 60000), WAIT_OBJECT_0);  // the worker's time, bounded

    // Past the last frame the data has ended.
    ResetEvent(event);
    stream_->Seek(23000000);
    AdvanceManualClock(1000000);
    EXPECT_EQ(sample_->Update(0, event, nullptr, 0), S_OK);
    EXPECT_EQ(sample_->Update(0, event, nullptr, 0), MS_S_ENDOFSTREAM);
    CloseHandle(event);
}

} // namespace
