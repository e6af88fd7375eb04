// Encodes frame-numbered pictures with libtheoraenc into Ogg pages (libogg),
// with a sine soundtrack from libvorbisenc when asked; reads the number back
// from a 32-bit XRGB GraphImage.
#include "support/theora_movie_writer.h"

#include <ogg/ogg.h>
#include <theora/theoraenc.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "graphics/image/graphimage.h"

namespace {

// Pictures are a grid of 8 x 8 cells; cell i shows bit (i % 24) of
// frame | (~frame << 10) | (0b0110 << 20), so a shifted or mixed-up picture
// does not read as any number. A set bit is bright and blue, a clear one
// dark and red: the colour alone tells them apart, so wrong chroma shows.
constexpr int CELL = 8;
constexpr int PATTERN_BITS = 24;

std::uint32_t Pattern(int frame)
{
    std::uint32_t f = static_cast<std::uint32_t>(frame) & 0x3FF;
    return f | ((~f & 0x3FF) << 10) | (0x6u << 20);
}

int CellColumns(int width)
{
    return (width + CELL - 1) / CELL;
}

void AppendPage(MovieBytes& out, const ogg_page& page)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

void AppendPages(MovieBytes& out, ogg_stream_state* stream, bool flush)
{
    ogg_page page;
    while ((flush ? ogg_stream_flush(stream, &page) : ogg_stream_pageout(stream, &page)) > 0) AppendPage(out, page);
}

struct VorbisTrack {
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_stream_state stream;
    long rate = 22050;
    long written = 0;

    void Start(MovieBytes& out, ogg_packet headers[3])
    {
        vorbis_info_init(&info);
        if (vorbis_encode_init_vbr(&info, 1, rate, 0.1f) != 0) throw std::runtime_error("vorbis_encode_init_vbr");
        vorbis_comment_init(&comment);
        vorbis_analysis_init(&dsp, &info);
        vorbis_block_init(&dsp, &block);
        ogg_stream_init(&stream, 0x5151);
        vorbis_analysis_headerout(&dsp, &comment, &headers[0], &headers[1], &headers[2]);
        ogg_stream_packetin(&stream, &headers[0]);
        AppendPages(out, &stream, true);
    }

    void Drain(MovieBytes& out)
    {
        ogg_packet packet;
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) ogg_stream_packetin(&stream, &packet);
        }
        AppendPages(out, &stream, false);
    }

    void Write(MovieBytes& out, long samples)
    {
        float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(samples));
        for (long i = 0; i < samples; ++i) {
            buffer[0][i] = 0.25f * static_cast<float>(std::sin(2.0 * M_PI * 440.0 * static_cast<double>(written + i) /
                                                               static_cast<double>(rate)));
        }
        vorbis_analysis_wrote(&dsp, static_cast<int>(samples));
        written += samples;
        Drain(out);
    }

    void Finish(MovieBytes& out)
    {
        vorbis_analysis_wrote(&dsp, 0);
        Drain(out);
        AppendPages(out, &stream, true);
        ogg_stream_clear(&stream);
        vorbis_block_clear(&block);
        vorbis_dsp_clear(&dsp);
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
};

} // namespace

void MovieFrameSample(int frame, int x, int y, int width, std::uint8_t yuv[3])
{
    int cell = (y / CELL) * CellColumns(width) + x / CELL;
    bool set = ((Pattern(frame) >> (cell % PATTERN_BITS)) & 1u) != 0;
    yuv[0] = set ? 160 : 96;
    yuv[1] = set ? 200 : 60;
    yuv[2] = set ? 60 : 200;
}

MovieBytes WriteTheoraMovie(const TheoraMovieSpec& spec)
{
    const int picW = spec.picWidth > 0 ? spec.picWidth : spec.frameWidth;
    const int picH = spec.picHeight > 0 ? spec.picHeight : spec.frameHeight;
    th_info ti;
    th_info_init(&ti);
    ti.frame_width = static_cast<ogg_uint32_t>(spec.frameWidth);
    ti.frame_height = static_cast<ogg_uint32_t>(spec.frameHeight);
    ti.pic_width = static_cast<ogg_uint32_t>(picW);
    ti.pic_height = static_cast<ogg_uint32_t>(picH);
    ti.pic_x = static_cast<ogg_uint32_t>(spec.picX);
    ti.pic_y = static_cast<ogg_uint32_t>(spec.picY);
    ti.fps_numerator = spec.fpsNumerator;
    ti.fps_denominator = spec.fpsDenominator;
    ti.aspect_numerator = 1;
    ti.aspect_denominator = 1;
    ti.colorspace = TH_CS_UNSPECIFIED;
    ti.pixel_fmt = spec.chroma == 444 ? TH_PF_444 : (spec.chroma == 422 ? TH_PF_422 : TH_PF_420);
    ti.target_bitrate = 0;
    ti.quality = 63;
    ti.keyframe_granule_shift = 6;
    const int sx = ti.pixel_fmt == TH_PF_444 ? 0 : 1;
    const int sy = ti.pixel_fmt == TH_PF_420 ? 1 : 0;
    th_enc_ctx* enc = th_encode_alloc(&ti);
    th_info_clear(&ti);
    if (enc == nullptr) throw std::runtime_error("th_encode_alloc refused the movie");
    ogg_uint32_t keyInterval = static_cast<ogg_uint32_t>(spec.keyInterval);
    th_encode_ctl(enc, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &keyInterval, sizeof keyInterval);

    MovieBytes out;
    ogg_stream_state video;
    ogg_stream_init(&video, 0x7171);
    th_comment tc;
    th_comment_init(&tc);
    ogg_packet packet;
    // The identification header alone on the first page, as every stream's
    // beginning page must be; then the soundtrack's, then the other headers.
    if (th_encode_flushheader(enc, &tc, &packet) <= 0) throw std::runtime_error("th_encode_flushheader");
    ogg_stream_packetin(&video, &packet);
    AppendPages(out, &video, true);
    VorbisTrack audio;
    ogg_packet audioHeaders[3];
    if (spec.sound) audio.Start(out, audioHeaders);
    while (th_encode_flushheader(enc, &tc, &packet) > 0) ogg_stream_packetin(&video, &packet);
    AppendPages(out, &video, true);
    if (spec.sound) {
        ogg_stream_packetin(&audio.stream, &audioHeaders[1]);
        ogg_stream_packetin(&audio.stream, &audioHeaders[2]);
        AppendPages(out, &audio.stream, true);
    }
    th_comment_clear(&tc);

    const int cw = spec.frameWidth >> sx;
    const int ch = spec.frameHeight >> sy;
    std::vector<std::uint8_t> y(static_cast<std::size_t>(spec.frameWidth * spec.frameHeight));
    std::vector<std::uint8_t> u(static_cast<std::size_t>(cw * ch));
    std::vector<std::uint8_t> v(u.size());
    for (int frame = 0; frame < spec.frames; ++frame) {
        std::fill(y.begin(), y.end(), 16);
        std::fill(u.begin(), u.end(), 128);
        std::fill(v.begin(), v.end(), 128);
        std::uint8_t yuv[3];
        for (int py = 0; py < picH; ++py) {
            for (int px = 0; px < picW; ++px) {
                MovieFrameSample(frame, px, py, picW, yuv);
                const int fx = spec.picX + px;
                const int fy = spec.picY + py;
                int luma = yuv[0];
                if (spec.texture) luma += ((px * 7 + py * 13 + frame * 5) % 41) - 20;
                y[static_cast<std::size_t>(fy * spec.frameWidth + fx)] = static_cast<std::uint8_t>(luma);
                const std::size_t c = static_cast<std::size_t>((fy >> sy) * cw + (fx >> sx));
                u[c] = yuv[1];
                v[c] = yuv[2];
            }
        }
        th_ycbcr_buffer buffer;
        buffer[0] = {spec.frameWidth, spec.frameHeight, spec.frameWidth, y.data()};
        buffer[1] = {cw, ch, cw, u.data()};
        buffer[2] = {cw, ch, cw, v.data()};
        if (th_encode_ycbcr_in(enc, buffer) != 0) throw std::runtime_error("th_encode_ycbcr_in");
        while (th_encode_packetout(enc, frame + 1 == spec.frames ? 1 : 0, &packet) > 0) {
            ogg_stream_packetin(&video, &packet);
        }
        AppendPages(out, &video, spec.pagePerFrame);
        if (spec.sound) {
            audio.Write(out, audio.rate * static_cast<long>(spec.fpsDenominator) / static_cast<long>(spec.fpsNumerator));
        }
    }
    AppendPages(out, &video, true);
    if (spec.sound) audio.Finish(out);
    ogg_stream_clear(&video);
    th_encode_free(enc);
    return out;
}

int ReadMovieFrameNumber(const GraphImage& image)
{
    const int columns = CellColumns(image.Width);
    const int rows = (image.Height + CELL - 1) / CELL;
    std::uint32_t bits = 0;
    std::uint32_t seen = 0;
    for (int cell = 0; cell < columns * rows; ++cell) {
        const int x = (cell % columns) * CELL + CELL / 2;
        const int y = (cell / columns) * CELL + CELL / 2;
        if (x >= image.Width || y >= image.Height) continue;
        const std::uint8_t* p =
            static_cast<const std::uint8_t*>(image.Pixels) + static_cast<std::ptrdiff_t>(y) * image.Pitch + x * 4;
        const std::uint32_t bit = p[0] > p[2] ? 1u : 0u; // blue above red
        const int index = cell % PATTERN_BITS;
        if ((seen >> index) & 1u) {
            if (((bits >> index) & 1u) != bit) return -1;
        } else {
            seen |= 1u << index;
            bits |= bit << index;
        }
    }
    if (seen != (1u << PATTERN_BITS) - 1) return -1;
    const int frame = static_cast<int>(bits & 0x3FF);
    return bits == Pattern(frame) ? frame : -1;
}
