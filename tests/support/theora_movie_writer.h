// Test movies made at run time: Ogg Theora files from libtheoraenc and
// libogg, optionally with a Vorbis soundtrack from libvorbisenc. Each frame's
// picture carries its own number, readable back from a decoded RGB image.
#pragma once

#include <cstdint>
#include <vector>

struct GraphImage;

using MovieBytes = std::vector<std::uint8_t>;

struct TheoraMovieSpec {
    int frameWidth = 64; // the encoded frame, a multiple of 16
    int frameHeight = 48;
    int picWidth = 0; // the picture region; 0 means the whole frame
    int picHeight = 0;
    int picX = 0;
    int picY = 0;
    int chroma = 420; // 420, 422 or 444
    int frames = 24;
    unsigned fpsNumerator = 10;
    unsigned fpsDenominator = 1;
    int keyInterval = 8; // a key frame at least every this many frames
    bool sound = false; // a Vorbis stream multiplexed with the video
    bool pagePerFrame = false; // each frame's packet flushed onto a page of its own
    bool texture = false; // moving luma detail over the cells, as a camera picture has
};

MovieBytes WriteTheoraMovie(const TheoraMovieSpec& spec);

// The number a picture of WriteTheoraMovie shows, from its colours; -1 when
// the picture carries no consistent number (wrong crop, wrong chroma, ...).
int ReadMovieFrameNumber(const GraphImage& image);

// The intended colour (Y, Cb, Cr) at (x, y) of frame `frame` in a picture
// `width` pixels wide.
void MovieFrameSample(int frame, int x, int y, int width, std::uint8_t yuv[3]);
