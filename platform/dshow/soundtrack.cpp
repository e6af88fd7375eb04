// Owns a multimedia stream's soundtrack: its own demuxer and decoder over
// the movie file, the DirectSound object and looping buffer it plays
// through, and the thread that keeps the buffer written ahead. Ring frame n
// holds the stream time anchor + n / rate, so the buffer plays what the
// stream clock says, also after a pause, a seek or a stall of the writer.
#include "platform/dshow/soundtrack.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/com/com.h"
#include "platform/kernel/clock.h"

namespace {

constexpr AVRational kStreamTimeBase = {1, 10000000};
constexpr LONGLONG kUnitsPerSecond = 10000000;
constexpr int kRingSeconds = 4;
constexpr int kLeadSeconds = 2;
constexpr std::chrono::milliseconds kWakeInterval{20};

// One decoded sample as a float of -1 to 1.
double SampleAt(const AVFrame* f, AVSampleFormat packed, bool planar, int channels, int channel, int i)
{
    const std::uint8_t* base = f->extended_data[planar ? channel : 0];
    const std::size_t at = planar ? static_cast<std::size_t>(i) : static_cast<std::size_t>(i) * channels + channel;
    switch (packed) {
    case AV_SAMPLE_FMT_U8: return (base[at] - 128) / 128.0;
    case AV_SAMPLE_FMT_S16: return reinterpret_cast<const std::int16_t*>(base)[at] / 32768.0;
    case AV_SAMPLE_FMT_S32: return reinterpret_cast<const std::int32_t*>(base)[at] / 2147483648.0;
    case AV_SAMPLE_FMT_S64: return static_cast<double>(reinterpret_cast<const std::int64_t*>(base)[at]) / 9.2233720368547758e18;
    case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float*>(base)[at];
    case AV_SAMPLE_FMT_DBL: return reinterpret_cast<const double*>(base)[at];
    default: return 0.0;
    }
}

// Appends the frame as interleaved 16-bit samples of its first `out` channels.
void AppendPcm16(const AVFrame* f, int out, std::vector<std::int16_t>& pcm)
{
    const auto format = static_cast<AVSampleFormat>(f->format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const int channels = f->ch_layout.nb_channels;
    for (int i = 0; i < f->nb_samples; ++i) {
        for (int c = 0; c < out; ++c) {
            const double v = std::lround(SampleAt(f, packed, planar, channels, c, i) * 32768.0);
            pcm.push_back(static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0)));
        }
    }
}

} // namespace

std::unique_ptr<Soundtrack> Soundtrack::Open(const std::string& path)
{
    std::unique_ptr<Soundtrack> track(new Soundtrack());
    if (!track->Start(path)) return nullptr;
    return track;
}

bool Soundtrack::Start(const std::string& path)
{
    if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(format_, nullptr) < 0) return false;
    const AVCodec* decoder = nullptr;
    index_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (index_ < 0 || decoder == nullptr) return false;
    codec_ = avcodec_alloc_context3(decoder);
    if (codec_ == nullptr || avcodec_parameters_to_context(codec_, format_->streams[index_]->codecpar) < 0) {
        return false;
    }
    codec_->thread_count = 1;
    if (avcodec_open2(codec_, decoder, nullptr) < 0) return false;
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (packet_ == nullptr || frame_ == nullptr) return false;
    channels_ = std::min(codec_->ch_layout.nb_channels, 2);
    if (channels_ < 1 || codec_->sample_rate <= 0) return false;
    rate_ = static_cast<DWORD>(codec_->sample_rate);

    if (CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound,
                         reinterpret_cast<void**>(&sound_)) != S_OK) {
        return false;
    }
    if (sound_->Initialize(nullptr) != DS_OK) return false;
    WAVEFORMATEX wf{};
    wf.wFormatTag = WAVE_FORMAT_PCM;
    wf.nChannels = static_cast<WORD>(channels_);
    wf.nSamplesPerSec = rate_;
    wf.wBitsPerSample = 16;
    wf.nBlockAlign = static_cast<WORD>(2 * channels_);
    wf.nAvgBytesPerSec = rate_ * wf.nBlockAlign;
    ringFrames_ = static_cast<std::int64_t>(rate_) * kRingSeconds;
    leadFrames_ = static_cast<std::int64_t>(rate_) * kLeadSeconds;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME;
    desc.dwBufferBytes = static_cast<DWORD>(ringFrames_) * wf.nBlockAlign;
    desc.lpwfxFormat = &wf;
    if (sound_->CreateSoundBuffer(&desc, &buffer_, nullptr) != DS_OK) return false;
    worker_ = std::thread([this] { Work(); });
    return true;
}

Soundtrack::~Soundtrack()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
    if (buffer_ != nullptr) {
        buffer_->Stop();
        buffer_->Release();
    }
    if (sound_ != nullptr) sound_->Release();
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    if (format_ != nullptr) avformat_close_input(&format_);
}

LONGLONG Soundtrack::Now() const
{
    if (!running_) return time_;
    return time_ + static_cast<LONGLONG>(ReadClockMicroseconds() - clockUs_) * 10;
}

std::int64_t Soundtrack::FrameAt(LONGLONG time) const
{
    const long double frames = static_cast<long double>(time - anchor_) * rate_ / kUnitsPerSecond;
    return static_cast<std::int64_t>(std::floor(frames));
}

// Decodes the next piece into pending_; false once the data has ended.
bool Soundtrack::DecodeMore()
{
    while (!drained_) {
        const int r = avcodec_receive_frame(codec_, frame_);
        if (r == 0) {
            const std::int64_t follows = pendingFrame_ + static_cast<std::int64_t>(pending_.size()) / channels_;
            std::int64_t at = follows;
            std::int64_t ts = frame_->best_effort_timestamp;
            if (ts == AV_NOPTS_VALUE) ts = frame_->pts;
            if (ts != AV_NOPTS_VALUE) {
                const AVStream* s = format_->streams[index_];
                if (s->start_time != AV_NOPTS_VALUE) ts -= s->start_time;
                const std::int64_t byTime = FrameAt(av_rescale_q(ts, s->time_base, kStreamTimeBase));
                // Rounding of the time stamps must not open gaps between pieces.
                if (firstPiece_ || std::llabs(byTime - follows) > 2) at = byTime;
            }
            firstPiece_ = false;
            pending_.clear();
            pendingUsed_ = 0;
            pendingFrame_ = at;
            AppendPcm16(frame_, channels_, pending_);
            return true;
        }
        if (r != AVERROR(EAGAIN)) {
            drained_ = true;
            break;
        }
        if (av_read_frame(format_, packet_) < 0) {
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        // A damaged packet is skipped; the decoder goes on with the next.
        if (packet_->stream_index == index_) avcodec_send_packet(codec_, packet_);
        av_packet_unref(packet_);
    }
    return false;
}

// Writes frames from written_ up to `upTo`: the decoded sound where it
// falls, silence where there is none.
void Soundtrack::Write(std::int64_t upTo)
{
    const std::size_t align = static_cast<std::size_t>(channels_) * 2;
    std::vector<std::int16_t> out;
    const std::int64_t from = written_;
    while (written_ < upTo) {
        const std::size_t left = (pending_.size() - pendingUsed_) / channels_;
        if (left == 0) {
            if (DecodeMore()) continue;
            out.resize(out.size() + static_cast<std::size_t>(upTo - written_) * channels_, 0);
            written_ = upTo;
            break;
        }
        const std::int64_t at = pendingFrame_ + static_cast<std::int64_t>(pendingUsed_ / channels_);
        if (at < written_) {
            // Its time has passed: dropped.
            pendingUsed_ += static_cast<std::size_t>(std::min<std::int64_t>(written_ - at, left)) * channels_;
            continue;
        }
        if (at > written_) {
            const std::int64_t gap = std::min(at, upTo) - written_;
            out.resize(out.size() + static_cast<std::size_t>(gap) * channels_, 0);
            written_ += gap;
            continue;
        }
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(left), upTo - written_));
        const auto first = pending_.begin() + static_cast<std::ptrdiff_t>(pendingUsed_);
        out.insert(out.end(), first, first + static_cast<std::ptrdiff_t>(n * channels_));
        pendingUsed_ += n * channels_;
        written_ += static_cast<std::int64_t>(n);
        dataEnd_ = written_;
    }
    if (out.empty()) return;
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD s1 = 0, s2 = 0;
    const auto offset = static_cast<DWORD>(from % ringFrames_ * static_cast<std::int64_t>(align));
    const auto bytes = static_cast<DWORD>(out.size() * 2);
    if (buffer_->Lock(offset, bytes, &p1, &s1, &p2, &s2, 0) != DS_OK) return;
    const auto* src = reinterpret_cast<const std::uint8_t*>(out.data());
    std::copy_n(src, s1, static_cast<std::uint8_t*>(p1));
    if (p2 != nullptr) std::copy_n(src + s1, s2, static_cast<std::uint8_t*>(p2));
    buffer_->Unlock(p1, s1, p2, s2);
}

void Soundtrack::FeedLocked()
{
    if (!playing_) return;
    const std::int64_t now = FrameAt(Now());
    if (Ended(now)) {
        // Played to its end: the ring would only go round its silence.
        buffer_->Stop();
        playing_ = false;
        return;
    }
    // Frames the clock passed before they were written are not played late.
    written_ = std::max(written_, now);
    Write(now + leadFrames_);
}

bool Soundtrack::Ended(std::int64_t now) const
{
    return drained_ && pendingUsed_ >= pending_.size() && now >= dataEnd_;
}

void Soundtrack::Feed()
{
    std::lock_guard<std::mutex> hold(lock_);
    FeedLocked();
}

void Soundtrack::Sync(bool running, LONGLONG time, ULONGLONG clockUs)
{
    std::lock_guard<std::mutex> hold(lock_);
    running_ = running;
    time_ = time;
    clockUs_ = clockUs;
    if (!running) {
        if (playing_) buffer_->Stop();
        playing_ = false;
        return;
    }
    if (playing_) return;
    const std::int64_t now = FrameAt(Now());
    if (Ended(now)) return;
    written_ = std::max(written_, now);
    Write(now + leadFrames_);
    buffer_->SetCurrentPosition(static_cast<DWORD>(now % ringFrames_ * channels_ * 2));
    buffer_->Play(0, 0, DSBPLAY_LOOPING);
    playing_ = true;
}

void Soundtrack::Seek(LONGLONG time)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (playing_) buffer_->Stop();
    playing_ = false;
    anchor_ = time;
    time_ = time;
    written_ = 0;
    pending_.clear();
    pendingUsed_ = 0;
    pendingFrame_ = 0;
    drained_ = false;
    firstPiece_ = true;
    dataEnd_ = 0;
    const AVStream* s = format_->streams[index_];
    std::int64_t ts = av_rescale_q(time, kStreamTimeBase, s->time_base);
    if (s->start_time != AV_NOPTS_VALUE) ts += s->start_time;
    av_seek_frame(format_, index_, ts, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(codec_);
}

void Soundtrack::Work()
{
    std::unique_lock<std::mutex> hold(lock_);
    while (!stop_) {
        wake_.wait_for(hold, kWakeInterval);
        if (!stop_) FeedLocked();
    }
}
