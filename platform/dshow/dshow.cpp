// Owns the multimedia-stream objects: the filter graph with its control
// facets, the stream that reads a file, its video stream and the samples
// that receive frames, and the soundtrack's renderer. Demuxes and decodes
// with libavformat and libavcodec, converts with libswscale; times come from
// the kernel's clock.
#include "platform/dshow/dshow.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/com/com.h"
#include "platform/dshow/soundtrack.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/file.h"
#include "platform/kernel/sync.h"

const CLSID CLSID_FilterGraph = {0x5a41d501, 0x0001, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x01}};
const CLSID CLSID_AMMultiMediaStream = {0x5a41d501, 0x0002, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x02}};
const IID IID_IGraphBuilder = {0x5a41d502, 0x0001, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x11}};
const IID IID_IAMMultiMediaStream = {0x5a41d502, 0x0002, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x12}};
const IID IID_IMediaControl = {0x5a41d502, 0x0003, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x13}};
const IID IID_IMediaSeeking = {0x5a41d502, 0x0004, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x14}};
const IID IID_IBasicAudio = {0x5a41d502, 0x0005, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x15}};
const IID IID_IAMMediaStream = {0x5a41d502, 0x0006, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x16}};
const IID IID_IDirectDrawMediaStream = {0x5a41d502, 0x0007, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x17}};
const MSPID MSPID_PrimaryVideo = {0x5a41d503, 0x0001, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x21}};
const MSPID MSPID_PrimaryAudio = {0x5a41d503, 0x0002, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x22}};

namespace {

bool g_graphUnavailable = false;

// Frames larger than a surface can be are refused at open.
constexpr int kMaxSide = 16384;
constexpr AVRational kStreamTimeBase = {1, 10000000};

// One opened file: demuxer, decoder, the stream clock and the frames on
// either side of it. Shared by the stream, its video stream and the samples;
// one lock covers all of it, since a sample's worker decodes too.
struct MovieSource {
    std::mutex lock;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* next = nullptr;   // decoded, not yet due
    AVFrame* shown = nullptr;  // the latest due frame
    SwsContext* scaler = nullptr;
    int videoIndex = -1;
    int width = 0;
    int height = 0;
    bool haveNext = false;
    bool drained = false;  // the decoder was told the data ended
    STREAM_TIME duration = 0;
    bool running = false;
    STREAM_TIME base = 0;
    ULONGLONG runStartUs = 0;
    std::unique_ptr<Soundtrack> soundtrack;  // null: the movie plays without sound

    ~MovieSource()
    {
        sws_freeContext(scaler);
        av_frame_free(&next);
        av_frame_free(&shown);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        if (format != nullptr) avformat_close_input(&format);
    }

    // The soundtrack follows every change of the clock.
    void SyncSound()
    {
        if (soundtrack != nullptr) soundtrack->Sync(running, base, runStartUs);
    }

    void FeedSound()
    {
        if (soundtrack != nullptr) soundtrack->Feed();
    }

    STREAM_TIME Now() const
    {
        if (!running) return base;
        return base + static_cast<STREAM_TIME>(ReadClockMicroseconds() - runStartUs) * 10;
    }

    STREAM_TIME FrameTime(const AVFrame* f) const
    {
        std::int64_t ts = f->best_effort_timestamp;
        if (ts == AV_NOPTS_VALUE) ts = f->pts;
        if (ts == AV_NOPTS_VALUE) return 0;
        const AVStream* s = format->streams[videoIndex];
        if (s->start_time != AV_NOPTS_VALUE) ts -= s->start_time;
        return av_rescale_q(ts, s->time_base, kStreamTimeBase);
    }

    bool DecodeNext()
    {
        for (;;) {
            const int r = avcodec_receive_frame(codec, next);
            if (r == 0) {
                haveNext = true;
                return true;
            }
            if (r != AVERROR(EAGAIN) || drained) return false;
            if (av_read_frame(format, packet) < 0) {
                avcodec_send_packet(codec, nullptr);
                drained = true;
                continue;
            }
            // A damaged packet is skipped; the decoder goes on with the next.
            if (packet->stream_index == videoIndex) avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
        }
    }

    // 1 when a newer frame is due at `time` (it is in `shown`), 0 when none
    // is due yet, -1 at the end of the data.
    int Advance(STREAM_TIME time)
    {
        bool got = false;
        for (;;) {
            if (!haveNext && !DecodeNext()) break;
            if (FrameTime(next) > time) break;
            std::swap(shown, next);
            haveNext = false;
            got = true;
        }
        if (got) return 1;
        return haveNext ? 0 : -1;
    }

    void Seek(STREAM_TIME time)
    {
        const AVStream* s = format->streams[videoIndex];
        std::int64_t ts = av_rescale_q(time, kStreamTimeBase, s->time_base);
        if (s->start_time != AV_NOPTS_VALUE) ts += s->start_time;
        av_seek_frame(format, videoIndex, ts, AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(codec);
        haveNext = false;
        drained = false;
        base = time;
        runStartUs = ReadClockMicroseconds();
        if (soundtrack != nullptr) soundtrack->Seek(time);
        SyncSound();
    }

    // Converts the shown frame into the surface's rectangle.
    HRESULT Paint(IDirectDrawSurface7* surface, const RECT& rect)
    {
        if (shown == nullptr || shown->width <= 0 || shown->height <= 0) return S_OK;
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        const HRESULT hr = surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
        if (hr != DD_OK) return hr;
        const AVPixelFormat to = SurfaceFormat(desc.ddpfPixelFormat);
        const int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        scaler = sws_getCachedContext(scaler, shown->width, shown->height, static_cast<AVPixelFormat>(shown->format),
                                      width, height, to, SWS_POINT, nullptr, nullptr, nullptr);
        if (scaler != nullptr && to != AV_PIX_FMT_NONE) {
            std::uint8_t* planes[4] = {static_cast<std::uint8_t*>(desc.lpSurface) + rect.top * desc.lPitch +
                                           rect.left * bytes,
                                       nullptr, nullptr, nullptr};
            int strides[4] = {desc.lPitch, 0, 0, 0};
            sws_scale(scaler, shown->data, shown->linesize, 0, shown->height, planes, strides);
        }
        surface->Unlock(nullptr);
        return DD_OK;
    }

    static AVPixelFormat SurfaceFormat(const DDPIXELFORMAT& pf)
    {
        if (!(pf.dwFlags & DDPF_RGB)) return AV_PIX_FMT_NONE;
        if (pf.dwRGBBitCount == 32 && pf.dwRBitMask == 0xFF0000 && pf.dwBBitMask == 0xFF) return AV_PIX_FMT_BGR0;
        if (pf.dwRGBBitCount == 24 && pf.dwRBitMask == 0xFF0000 && pf.dwBBitMask == 0xFF) return AV_PIX_FMT_BGR24;
        if (pf.dwRGBBitCount == 16 && pf.dwRBitMask == 0xF800) return AV_PIX_FMT_RGB565LE;
        if (pf.dwRGBBitCount == 16 && pf.dwRBitMask == 0x7C00) return AV_PIX_FMT_RGB555LE;
        return AV_PIX_FMT_NONE;
    }
};

// The format a sample surface takes when the stream makes it.
DDPIXELFORMAT XrgbFormat()
{
    DDPIXELFORMAT pf{};
    pf.dwSize = sizeof pf;
    pf.dwFlags = DDPF_RGB;
    pf.dwRGBBitCount = 32;
    pf.dwRBitMask = 0xFF0000;
    pf.dwGBitMask = 0xFF00;
    pf.dwBBitMask = 0xFF;
    return pf;
}

// An interface of an object that answers for it: references and queries go
// to the owner.
template <class Interface>
struct Facet : Interface {
    IUnknown* owner = nullptr;
    HRESULT QueryInterface(REFIID iid, void** out) override { return owner->QueryInterface(iid, out); }
    ULONG AddRef() override { return owner->AddRef(); }
    ULONG Release() override { return owner->Release(); }
};

class FilterGraph final : public RefCounted<IGraphBuilder> {
public:
    FilterGraph()
    {
        control_.graph = this;
        control_.owner = this;
        seeking_.owner = this;
        audio_.owner = this;
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) return E_INVALIDARG;
        *out = nullptr;
        IUnknown* found = nullptr;
        if (iid == IID_IGraphBuilder) found = this;
        if (iid == IID_IMediaControl) found = &control_;
        if (iid == IID_IMediaSeeking) found = &seeking_;
        if (iid == IID_IBasicAudio) found = &audio_;
        if (found == nullptr) return E_NOINTERFACE;
        AddRef();
        *out = found;
        return S_OK;
    }

    std::shared_ptr<MovieSource> source;

private:
    struct Control final : Facet<IMediaControl> {
        FilterGraph* graph = nullptr;
        // Holds the picture where it is: the clock stops until the next run.
        HRESULT Pause() override
        {
            const std::shared_ptr<MovieSource> s = graph->source;
            if (s == nullptr) return S_OK;
            std::lock_guard<std::mutex> hold(s->lock);
            s->base = s->Now();
            s->running = false;
            s->SyncSound();
            return S_OK;
        }
    };
    Control control_;
    Facet<IMediaSeeking> seeking_;
    Facet<IBasicAudio> audio_;
};

class Sample final : public RefCounted<IDirectDrawStreamSample> {
public:
    Sample(std::shared_ptr<MovieSource> source, IDirectDrawSurface7* surface, const RECT& rect)
        : source_(std::move(source)), surface_(surface), rect_(rect)
    {
        surface_->AddRef();
    }
    ~Sample() override
    {
        {
            std::lock_guard<std::mutex> hold(source_->lock);
            stop_ = true;
        }
        wake_.notify_all();
        if (worker_.joinable()) worker_.join();
        surface_->Release();
    }

    HRESULT QueryInterface(REFIID, void** out) override
    {
        if (out != nullptr) *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT Update(DWORD, HANDLE event, void* apc, std::uintptr_t) override
    {
        if (apc != nullptr) return E_INVALIDARG;
        std::unique_lock<std::mutex> hold(source_->lock);
        source_->FeedSound();
        if (pending_) return MS_E_BUSY;
        for (;;) {
            if (!source_->running) return MS_E_NOTRUNNING;
            const int r = source_->Advance(source_->Now());
            if (r == 1) return source_->Paint(surface_, rect_);
            if (r < 0) return MS_S_ENDOFSTREAM;
            if (event != nullptr) break;
            hold.unlock();
            Sleep(1);
            hold.lock();
        }
        pending_ = true;
        event_ = event;
        if (!worker_.joinable()) worker_ = std::thread([this] { Work(); });
        wake_.notify_all();
        return MS_S_PENDING;
    }

    HRESULT GetSurface(IDirectDrawSurface7** surface, RECT* rect) override
    {
        if (surface != nullptr) {
            surface_->AddRef();
            *surface = surface_;
        }
        if (rect != nullptr) *rect = rect_;
        return S_OK;
    }

private:
    // Completes an outstanding update once its frame is due (or the data
    // ended), then signals its event.
    void Work()
    {
        std::unique_lock<std::mutex> hold(source_->lock);
        while (!stop_) {
            wake_.wait_for(hold, std::chrono::milliseconds(1));
            if (stop_ || !pending_ || !source_->running) continue;
            const int r = source_->Advance(source_->Now());
            if (r == 0) continue;
            if (r == 1) source_->Paint(surface_, rect_);
            pending_ = false;
            SetEvent(event_);
        }
    }

    std::shared_ptr<MovieSource> source_;
    IDirectDrawSurface7* surface_;
    RECT rect_;
    bool pending_ = false;
    bool stop_ = false;
    HANDLE event_ = nullptr;
    std::condition_variable wake_;
    std::thread worker_;
};

class VideoStream final : public RefCounted<IDirectDrawMediaStream> {
public:
    explicit VideoStream(IDirectDraw7* directDraw) : directDraw_(directDraw)
    {
        directDraw_->AddRef();
        amStream_.owner = this;
    }
    ~VideoStream() override { directDraw_->Release(); }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) return E_INVALIDARG;
        *out = nullptr;
        IUnknown* found = nullptr;
        if (iid == IID_IDirectDrawMediaStream) found = this;
        if (iid == IID_IAMMediaStream) found = &amStream_;
        if (found == nullptr) return E_NOINTERFACE;
        AddRef();
        *out = found;
        return S_OK;
    }

    HRESULT GetFormat(DDSURFACEDESC2* current, IDirectDrawPalette** palette, DDSURFACEDESC2* desired,
                      DWORD* flags) override
    {
        if (source == nullptr) return MS_E_NOSTREAM;
        for (DDSURFACEDESC2* d : {current, desired}) {
            if (d == nullptr) continue;
            *d = DDSURFACEDESC2{};
            d->dwSize = sizeof *d;
            d->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
            d->dwWidth = static_cast<DWORD>(source->width);
            d->dwHeight = static_cast<DWORD>(source->height);
            d->ddpfPixelFormat = XrgbFormat();
            d->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        }
        if (palette != nullptr) *palette = nullptr;
        if (flags != nullptr) *flags = 0;
        return S_OK;
    }

    HRESULT CreateSample(IDirectDrawSurface7* surface, const RECT* rect, DWORD, IDirectDrawStreamSample** out) override
    {
        if (out == nullptr) return E_INVALIDARG;
        *out = nullptr;
        if (source == nullptr) return MS_E_NOSTREAM;
        if (source->videoIndex < 0) return VFW_E_CANNOT_CONNECT;
        RECT r = {0, 0, source->width, source->height};
        if (surface == nullptr) {
            DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
            desc.dwWidth = static_cast<DWORD>(source->width);
            desc.dwHeight = static_cast<DWORD>(source->height);
            desc.ddpfPixelFormat = XrgbFormat();
            desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
            IDirectDrawSurface7* own = nullptr;
            const HRESULT hr = directDraw_->CreateSurface(&desc, &own, nullptr);
            if (hr != DD_OK) return hr;
            *out = new Sample(source, own, r);
            own->Release();
            return S_OK;
        }
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (surface->GetSurfaceDesc(&desc) != DD_OK) return E_INVALIDARG;
        if (MovieSource::SurfaceFormat(desc.ddpfPixelFormat) == AV_PIX_FMT_NONE) return DDERR_INVALIDPIXELFORMAT;
        if (rect != nullptr) {
            if (rect->right - rect->left != source->width || rect->bottom - rect->top != source->height) {
                return DDERR_INVALIDRECT;
            }
            r = *rect;
        }
        if (r.left < 0 || r.top < 0 || r.right > static_cast<LONG>(desc.dwWidth) ||
            r.bottom > static_cast<LONG>(desc.dwHeight)) {
            return DDERR_INVALIDRECT;
        }
        *out = new Sample(source, surface, r);
        return S_OK;
    }

    std::shared_ptr<MovieSource> source;

private:
    IDirectDraw7* directDraw_;
    Facet<IAMMediaStream> amStream_;
};

class MultiMediaStream final : public RefCounted<IAMMultiMediaStream> {
public:
    ~MultiMediaStream() override
    {
        if (video_ != nullptr) video_->Release();
        if (graph_ != nullptr) graph_->Release();
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) return E_INVALIDARG;
        *out = nullptr;
        if (!(iid == IID_IAMMultiMediaStream)) return E_NOINTERFACE;
        AddRef();
        *out = static_cast<IAMMultiMediaStream*>(this);
        return S_OK;
    }

    HRESULT Initialize(STREAM_TYPE type, DWORD, IGraphBuilder* graph) override
    {
        if (type != STREAMTYPE_READ || graph_ != nullptr) return E_INVALIDARG;
        auto* g = dynamic_cast<FilterGraph*>(graph);
        if (g == nullptr) return E_INVALIDARG;
        g->AddRef();
        graph_ = g;
        return S_OK;
    }

    HRESULT AddMediaStream(IUnknown* object, const MSPID* purpose, DWORD flags, IMediaStream** out) override
    {
        if (out != nullptr) *out = nullptr;
        if (graph_ == nullptr || purpose == nullptr || source_ != nullptr) return E_FAIL;
        if (*purpose == MSPID_PrimaryVideo) {
            if (video_ != nullptr || object == nullptr) return E_INVALIDARG;
            IDirectDraw7* dd = nullptr;
            if (object->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd)) != S_OK) return E_NOINTERFACE;
            video_ = new VideoStream(dd);
            dd->Release();
            if (out != nullptr) {
                video_->AddRef();
                *out = video_;
            }
            return S_OK;
        }
        // The soundtrack plays through the default renderer once the file is open.
        if (*purpose == MSPID_PrimaryAudio && (flags & AMMSF_ADDDEFAULTRENDERER) && out == nullptr) {
            withSound_ = true;
            return S_OK;
        }
        return E_INVALIDARG;
    }

    HRESULT OpenFile(const char16_t* name, DWORD) override
    {
        if (graph_ == nullptr || name == nullptr || source_ != nullptr) return E_FAIL;
        std::string path;
        if (!ConvertToLinuxPath(ConvertUtf16ToCp932(name).c_str(), path)) return E_INVALIDARG;
        auto source = std::make_shared<MovieSource>();
        if (avformat_open_input(&source->format, path.c_str(), nullptr, nullptr) < 0) {
            return VFW_E_UNSUPPORTED_STREAM;
        }
        if (avformat_find_stream_info(source->format, nullptr) < 0) return VFW_E_UNSUPPORTED_STREAM;
        const int video = av_find_best_stream(source->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const int audio = av_find_best_stream(source->format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (video < 0 && audio < 0) return VFW_E_UNSUPPORTED_STREAM;
        if (video >= 0 && OpenVideo(*source, video) != S_OK) return VFW_E_UNSUPPORTED_STREAM;
        if (source->format->duration > 0) {
            source->duration = av_rescale_q(source->format->duration, AVRational{1, AV_TIME_BASE}, kStreamTimeBase);
        }
        if (withSound_ && audio >= 0) source->soundtrack = Soundtrack::Open(path);
        source_ = source;
        graph_->source = source;
        if (video_ != nullptr) video_->source = source;
        return S_OK;
    }

    HRESULT GetMediaStream(REFMSPID purpose, IMediaStream** out) override
    {
        if (out == nullptr) return E_INVALIDARG;
        *out = nullptr;
        if (!(purpose == MSPID_PrimaryVideo) || video_ == nullptr) return MS_E_NOSTREAM;
        video_->AddRef();
        *out = video_;
        return S_OK;
    }

    HRESULT GetState(STREAM_STATE* state) override
    {
        if (state == nullptr) return E_INVALIDARG;
        *state = STREAMSTATE_STOP;
        if (source_ == nullptr) return S_OK;
        std::lock_guard<std::mutex> hold(source_->lock);
        source_->FeedSound();
        *state = source_->running ? STREAMSTATE_RUN : STREAMSTATE_STOP;
        return S_OK;
    }

    HRESULT SetState(STREAM_STATE state) override
    {
        if (source_ == nullptr) return MS_E_NOSTREAM;
        std::lock_guard<std::mutex> hold(source_->lock);
        if (state == STREAMSTATE_RUN && !source_->running) {
            source_->runStartUs = ReadClockMicroseconds();
            source_->running = true;
        } else if (state == STREAMSTATE_STOP && source_->running) {
            source_->base = source_->Now();
            source_->running = false;
        }
        source_->SyncSound();
        return S_OK;
    }

    HRESULT GetTime(STREAM_TIME* time) override
    {
        if (time == nullptr) return E_INVALIDARG;
        if (source_ == nullptr) return MS_E_NOSTREAM;
        std::lock_guard<std::mutex> hold(source_->lock);
        source_->FeedSound();
        *time = source_->Now();
        return S_OK;
    }

    HRESULT GetDuration(STREAM_TIME* duration) override
    {
        if (duration == nullptr) return E_INVALIDARG;
        if (source_ == nullptr) return MS_E_NOSTREAM;
        *duration = source_->duration;
        return source_->duration > 0 ? S_OK : S_FALSE;
    }

    HRESULT Seek(STREAM_TIME time) override
    {
        if (source_ == nullptr || source_->videoIndex < 0) return MS_E_NOSTREAM;
        std::lock_guard<std::mutex> hold(source_->lock);
        source_->Seek(time < 0 ? 0 : time);
        return S_OK;
    }

private:
    static HRESULT OpenVideo(MovieSource& s, int index)
    {
        const AVCodecParameters* par = s.format->streams[index]->codecpar;
        const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
        if (decoder == nullptr) return E_FAIL;
        s.codec = avcodec_alloc_context3(decoder);
        if (s.codec == nullptr || avcodec_parameters_to_context(s.codec, par) < 0) return E_FAIL;
        s.codec->thread_count = 1;
        if (avcodec_open2(s.codec, decoder, nullptr) < 0) return E_FAIL;
        if (s.codec->width < 0 || s.codec->height < 0 || s.codec->width > kMaxSide || s.codec->height > kMaxSide) {
            return E_FAIL;
        }
        s.packet = av_packet_alloc();
        s.next = av_frame_alloc();
        s.shown = av_frame_alloc();
        if (s.packet == nullptr || s.next == nullptr || s.shown == nullptr) return E_FAIL;
        s.videoIndex = index;
        s.width = s.codec->width;
        s.height = s.codec->height;
        return S_OK;
    }

    FilterGraph* graph_ = nullptr;
    VideoStream* video_ = nullptr;
    bool withSound_ = false;
    std::shared_ptr<MovieSource> source_;
};

IUnknown* MakeFilterGraph()
{
    if (g_graphUnavailable) return nullptr;
    return new FilterGraph();
}

IUnknown* MakeMultiMediaStream()
{
    if (g_graphUnavailable) return nullptr;
    return static_cast<IAMMultiMediaStream*>(new MultiMediaStream());
}

struct DirectShowComRegistration {
    DirectShowComRegistration()
    {
        av_log_set_level(AV_LOG_QUIET);
        RegisterComClass(CLSID_FilterGraph, MakeFilterGraph);
        RegisterComClass(CLSID_AMMultiMediaStream, MakeMultiMediaStream);
    }
} g_registration;

} // namespace

void SetFilterGraphUnavailable(bool unavailable)
{
    g_graphUnavailable = unavailable;
}
