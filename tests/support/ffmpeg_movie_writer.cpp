// Owns the ffmpeg-made test movies: raw 4:2:0 frames from the Theora
// writer's pictures, encoded by the ffmpeg command-line program.
#include "support/ffmpeg_movie_writer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "support/theora_movie_writer.h"

bool WriteFfmpegMovie(const std::string& path, const FfmpegMovieSpec& spec)
{
    const std::string raw = path + ".yuv";
    {
        std::ofstream out(raw, std::ios::binary);
        const int cw = spec.width / 2;
        const int ch = spec.height / 2;
        std::vector<char> y(static_cast<std::size_t>(spec.width * spec.height));
        std::vector<char> u(static_cast<std::size_t>(cw * ch));
        std::vector<char> v(u.size());
        for (int f = 0; f < spec.frames; ++f) {
            for (int row = 0; row < spec.height; ++row)
                for (int col = 0; col < spec.width; ++col) {
                    std::uint8_t yuv[3];
                    MovieFrameSample(f, col, row, spec.width, yuv);
                    y[static_cast<std::size_t>(row * spec.width + col)] = static_cast<char>(yuv[0]);
                    if ((row & 1) == 0 && (col & 1) == 0) {
                        u[static_cast<std::size_t>(row / 2 * cw + col / 2)] = static_cast<char>(yuv[1]);
                        v[static_cast<std::size_t>(row / 2 * cw + col / 2)] = static_cast<char>(yuv[2]);
                    }
                }
            out.write(y.data(), static_cast<std::streamsize>(y.size()));
            out.write(u.data(), static_cast<std::streamsize>(u.size()));
            out.write(v.data(), static_cast<std::streamsize>(v.size()));
        }
    }
    const std::string pcm = path + ".pcm";
    std::string sound;
    if (spec.sound) {
        std::ofstream out(pcm, std::ios::binary);
        const long samples = static_cast<long>(spec.frames) * kMovieSoundRate / spec.fps;
        double phase = 0.0;
        for (long i = 0; i < samples; ++i) {
            const auto frame = static_cast<int>(i * spec.fps / kMovieSoundRate);
            const auto v = static_cast<std::int16_t>(std::lround(16000.0 * std::sin(phase)));
            out.put(static_cast<char>(v & 0xFF)).put(static_cast<char>((v >> 8) & 0xFF));
            phase = std::fmod(phase + 2.0 * M_PI * MovieToneHz(frame) / kMovieSoundRate, 2.0 * M_PI);
        }
        sound = " -f s16le -ar " + std::to_string(kMovieSoundRate) + " -ac 1 -i '" + pcm + "' -c:a aac -b:a 128k";
    }
    char command[2048];
    std::snprintf(command, sizeof command,
                  "ffmpeg -nostdin -loglevel error -y -f rawvideo -pix_fmt yuv420p -s %dx%d -r %d -i '%s'%s "
                  "-c:v %s -q:v 2 -g 6 -bf 0 '%s' > /dev/null 2>&1",
                  spec.width, spec.height, spec.fps, raw.c_str(), sound.c_str(), spec.codec, path.c_str());
    const int status = std::system(command);
    std::remove(raw.c_str());
    std::remove(pcm.c_str());
    return status == 0;
}

double MovieToneHz(int frame)
{
    return 300.0 + 100.0 * frame;
}
