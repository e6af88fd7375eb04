// The default sound renderer of a multimedia stream: the file's primary
// audio stream decoded and played through a DirectSound buffer, in step
// with the stream clock that paces the picture.
#pragma once

#include "platform/dsound/dsound.h"
#include "platform/kernel/types.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;

class Soundtrack {
public:
    // The soundtrack of the file at `path` (a Linux path), or null when it
    // has no audio stream that decodes, or no sound output opens: the movie
    // then plays without sound.
    static std::unique_ptr<Soundtrack> Open(const std::string& path);
    ~Soundtrack();

    // The stream clock as the picture follows it: `time` (100 ns units) is
    // the stream time at the clock reading `clockUs`, and it runs on from
    // there while `running`.
    void Sync(bool running, LONGLONG time, ULONGLONG clockUs);
    // Plays on from `time` after the stream was moved there.
    void Seek(LONGLONG time);
    // Writes up to the lead from what the clock has reached; the renderer's
    // own thread does it too.
    void Feed();

private:
    Soundtrack() = default;
    bool Start(const std::string& path);
    LONGLONG Now() const;
    std::int64_t FrameAt(LONGLONG time) const;
    bool DecodeMore();
    // True once the clock has passed the end of the data.
    bool Ended(std::int64_t now) const;
    void Write(std::int64_t upTo);
    void FeedLocked();
    void Work();

    std::mutex lock_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int index_ = -1;
    bool drained_ = false;  // the decoder has given all it had
    IDirectSound* sound_ = nullptr;
    IDirectSoundBuffer* buffer_ = nullptr;
    int channels_ = 0;
    DWORD rate_ = 0;
    std::int64_t ringFrames_ = 0;
    std::int64_t leadFrames_ = 0;
    // The stream clock's copy.
    bool running_ = false;
    LONGLONG time_ = 0;
    ULONGLONG clockUs_ = 0;
    // Ring frame 0 holds stream time anchor_; frames are counted from there.
    LONGLONG anchor_ = 0;
    std::int64_t written_ = 0;  // the next frame to write
    std::vector<std::int16_t> pending_;  // decoded, not yet written
    std::int64_t pendingFrame_ = 0;      // the frame of pending_'s first sample
    std::size_t pendingUsed_ = 0;        // samples of pending_ already taken
    bool firstPiece_ = true;             // the next piece is placed by its time stamp
    std::int64_t dataEnd_ = 0;           // the frame after the last one of the data written
    bool playing_ = false;
    bool stop_ = false;
    std::condition_variable wake_;
    std::thread worker_;
};
