// Test movies in formats only the multimedia-stream player reads, made at
// run time by the installed ffmpeg program from frame-numbered pictures (the
// same pictures as the Theora writer's, so ReadMovieFrameNumber reads them).
#pragma once

#include <string>

struct FfmpegMovieSpec {
    int width = 64;
    int height = 48;
    int frames = 24;
    int fps = 10;
    const char* codec = "mpeg4";  // an ffmpeg encoder name
    // A soundtrack of the same length: mono AAC at 44,100 Hz, each frame's
    // time a tone of MovieToneHz(frame).
    bool sound = false;
};

constexpr int kMovieSoundRate = 44100;
// The pitch of the soundtrack while the picture shows `frame`.
double MovieToneHz(int frame);

// Writes the movie to `path` (the container follows its extension); false
// when the ffmpeg program is missing or failed.
bool WriteFfmpegMovie(const std::string& path, const FfmpegMovieSpec& spec);
