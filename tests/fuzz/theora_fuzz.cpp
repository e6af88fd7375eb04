// Fuzz target: the bytes as a movie file for the Theora player. Whatever
// opens is played a little (advances, a jump, a seek) and closed again, so
// the decode thread meets the damage too.
#include <cstdint>
#include <vector>

#include "movie/theora.h"
#include "support/memory_filefuncs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const int tables = InitTheoraColorTables();
    (void)tables;
    const std::vector<std::uint8_t> bytes(data, data + size);
    MemoryFile file;
    file.Data = &bytes;
    THEORACTX* ctx = OpenTheoraMovie(GetMemoryFileFunctions(), MemoryFileHandle(&file), 4);
    if (ctx == nullptr) return 0;
    MOVIEINFO info{};
    GetTheoraMovieInfo(ctx, &info);
    for (int i = 0; i < 6 && info.FrameCount > 1; ++i) {
        AdvanceTheoraFrame(ctx, i == 3 ? info.FrameCount - 1 : 1);
        CopyTheoraFrameToImage(ctx, 1, 1);
    }
    SeekTheoraFrame(ctx, info.FrameCount / 2);
    CopyTheoraFrameToImage(ctx, 1, 0);
    CloseTheoraMovie(ctx);
    return 0;
}
