// The decode thread and the frame protocol: every frame shows its own
// picture, the stock follows the display, seeks land, loops restart, jumps
// decode from the last key frame, and no display pattern hangs the request.
#include "theora_fixture.h"

#include <fstream>

#include "core/file/filefuncs.h"

namespace {

class TheoraDecode : public testing::Test {
protected:
    void SetUp() override { InitTheoraColorTables(); }
};

TEST_F(TheoraDecode, EveryFrameShowsItsNumberThroughALoop)
{
    std::vector<MovieVariant> variants = MovieVariants(20);
    variants.push_back({"paged", variants[0].Spec});
    variants.back().Spec.pagePerFrame = true;
    variants.back().Spec.keyInterval = 3;
    for (const auto& [name, spec] : variants) {
        SCOPED_TRACE(name);
        OpenedMovie movie(WriteTheoraMovie(spec));
        ASSERT_NE(movie.Ctx, nullptr);
        for (int step = 0; step < spec.frames + 5; ++step) {
            const int expect = step % spec.frames;
            EXPECT_EQ(GetTheoraCurrentFrame(movie.Ctx), expect);
            EXPECT_EQ(movie.ShownFrame(), expect) << "step " << step;
            AdvanceTheoraFrame(movie.Ctx, 1);
        }
    }
}

TEST_F(TheoraDecode, StockFillsAheadAndFollowsTheDisplay)
{
    OpenedMovie movie(MakeMovie(100));
    ASSERT_NE(movie.Ctx, nullptr);
    EXPECT_STOCK(movie, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    AdvanceTheoraFrame(movie.Ctx, 50);
    EXPECT_EQ(movie.ShownFrame(), 50);
    EXPECT_STOCK(movie, {50, 51, 52, 53, 54, 55, 56, 57, 58, 59});
    AdvanceTheoraFrame(movie.Ctx, 2);
    EXPECT_EQ(movie.ShownFrame(), 52);
    EXPECT_STOCK(movie, {52, 53, 54, 55, 56, 57, 58, 59, 60, 61});
}

TEST_F(TheoraDecode, AdvanceWrapsOnceAndIgnoresCountsBelowOne)
{
    OpenedMovie movie(MakeMovie(100));
    ASSERT_NE(movie.Ctx, nullptr);
    AdvanceTheoraFrame(movie.Ctx, 98);
    EXPECT_EQ(movie.ShownFrame(), 98);
    ASSERT_EQ(movie.Ctx->ImageDone, 1);
    for (int n : {0, -1, -100}) {
        AdvanceTheoraFrame(movie.Ctx, n);
        EXPECT_EQ(GetTheoraCurrentFrame(movie.Ctx), 98);
        EXPECT_EQ(movie.Ctx->ImageDone, 1);
    }
    // Already converted: answered at once.
    EXPECT_EQ(CopyTheoraFrameToImage(movie.Ctx, 1, 0), 0);
    EXPECT_EQ(CopyTheoraFrameToImage(movie.Ctx, 0, 0), 0);
    AdvanceTheoraFrame(movie.Ctx, 5);
    EXPECT_EQ(GetTheoraCurrentFrame(movie.Ctx), 3);
    EXPECT_EQ(movie.Ctx->ImageDone, 0);
    EXPECT_EQ(movie.ShownFrame(), 3);
}

TEST_F(TheoraDecode, LoopStocksTheFirstFramesAfterTheLast)
{
    OpenedMovie movie(MakeMovie(30));
    ASSERT_NE(movie.Ctx, nullptr);
    AdvanceTheoraFrame(movie.Ctx, 25);
    EXPECT_EQ(movie.ShownFrame(), 25);
    EXPECT_STOCK(movie, {25, 26, 27, 28, 29, 0, 1, 2, 3, 4});
    AdvanceTheoraFrame(movie.Ctx, 4);
    EXPECT_EQ(movie.ShownFrame(), 29);
    AdvanceTheoraFrame(movie.Ctx, 1);
    EXPECT_EQ(movie.ShownFrame(), 0); // the first picture, not the last
}

TEST_F(TheoraDecode, SeeksLandOnTheirFrame)
{
    TheoraMovieSpec spec;
    spec.frames = 60;
    spec.keyInterval = 16;
    spec.pagePerFrame = true; // many pages, so seeks start part-way into the file
    OpenedMovie movie(WriteTheoraMovie(spec));
    ASSERT_NE(movie.Ctx, nullptr);
    for (int target : {37, 5, 16, 15, 17, 59, 0, 33, 48, 1}) {
        SeekTheoraFrame(movie.Ctx, target);
        EXPECT_EQ(GetTheoraCurrentFrame(movie.Ctx), target);
        EXPECT_EQ(movie.ShownFrame(), target) << "seek to " << target;
    }
    SeekTheoraFrame(movie.Ctx, -5);
    EXPECT_EQ(GetTheoraCurrentFrame(movie.Ctx), 0);
    EXPECT_EQ(movie.ShownFrame(), 0);
    // Past the end: the thread ends and no frame comes any more.
    SeekTheoraFrame(movie.Ctx, 60);
    EXPECT_EQ(movie.ShownFrame(), -2);
    EXPECT_EQ(movie.Ctx->State, THEORA_ENDED);
    SeekTheoraFrame(movie.Ctx, 3); // answered at once by the ended thread
    EXPECT_EQ(movie.ShownFrame(), -2);
}

TEST_F(TheoraDecode, SeekAfterJunkBetweenPagesLandsOnItsFrame)
{
    TheoraMovieSpec spec;
    spec.frames = 40;
    spec.pagePerFrame = true;
    std::vector<MovieBytes> pages = SplitPages(WriteTheoraMovie(spec));
    MovieBytes junk(9000, 0x4F);
    pages.insert(pages.begin() + 10, junk);
    pages.insert(pages.begin() + 30, junk);
    OpenedMovie movie(JoinPages(pages));
    ASSERT_NE(movie.Ctx, nullptr);
    for (int target : {35, 12, 30, 9, 39}) {
        SeekTheoraFrame(movie.Ctx, target);
        EXPECT_EQ(movie.ShownFrame(), target) << "seek to " << target;
    }
}

TEST_F(TheoraDecode, JumpAheadDecodesFromTheLastKeyFrameOnly)
{
    OpenedMovie movie(MakeMovie(100, 8));
    ASSERT_NE(movie.Ctx, nullptr);
    movie.StockedFrames({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}); // 0-9 stocked, the decoder at 9
    const std::int64_t before = movie.Ctx->DecodedPackets;
    int key = -1;
    for (int f = 9; f < 80; ++f) {
        if (movie.Ctx->KeyFrameFlags[f] == 1) key = f;
    }
    ASSERT_GE(key, 72);
    AdvanceTheoraFrame(movie.Ctx, 80);
    EXPECT_EQ(movie.ShownFrame(), 80);
    EXPECT_STOCK(movie, {80, 81, 82, 83, 84, 85, 86, 87, 88, 89});
    // The key frame up to 80, then 81-89 for the stock; not the 71 skipped.
    EXPECT_EQ(movie.Ctx->DecodedPackets - before, (80 - key + 1) + 9);
}

TEST_F(TheoraDecode, DisplayOutrunningTheDecoderAcrossTheLoopDoesNotHang)
{
    OpenedMovie movie(MakeMovie(30));
    ASSERT_NE(movie.Ctx, nullptr);
    AdvanceTheoraFrame(movie.Ctx, 15);
    EXPECT_EQ(movie.ShownFrame(), 15);
    movie.StockedFrames({15, 16, 17, 18, 19, 20, 21, 22, 23, 24}); // 15-24 held, the decoder at 24
    // Wraps to 5: every entry lies between the display and the decoder.
    AdvanceTheoraFrame(movie.Ctx, 20);
    EXPECT_EQ(movie.ShownFrame(), 5);
    EXPECT_STOCK(movie, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14});

    // And any pattern of moves, with a small stock.
    OpenedMovie small(MakeMovie(30), 3);
    ASSERT_NE(small.Ctx, nullptr);
    int expect = 0;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 200; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int n = 1 + static_cast<int>((seed >> 16) % 29);
        AdvanceTheoraFrame(small.Ctx, n);
        expect = (expect + n) % 30;
        ASSERT_EQ(small.ShownFrame(), expect) << "move " << i;
    }
}

TEST_F(TheoraDecode, FramesBeforeTheDecodersFirstPictureAreMissingNotGarbage)
{
    // The first frame's packet emptied: a repeat of a picture that never was.
    const MovieBytes bytes = RewriteVideoPackets(MakeMovie(16, 8), [](int number, std::vector<unsigned char>& body) {
        if (number == 3) body.clear(); // after the three headers
    });
    OpenedMovie movie(bytes);
    ASSERT_NE(movie.Ctx, nullptr);
    EXPECT_EQ(movie.Ctx->FrameCount, 16);
    EXPECT_EQ(movie.Ctx->ImageDone, 1); // the open's copy found frame 0 without a picture
    EXPECT_EQ(movie.ShownFrame(), -2);
    EXPECT_EQ(CopyTheoraFrameToImage(movie.Ctx, 1, 0), 0);
    AdvanceTheoraFrame(movie.Ctx, 8); // the next key frame
    EXPECT_EQ(movie.ShownFrame(), 8);
    AdvanceTheoraFrame(movie.Ctx, 1);
    EXPECT_EQ(movie.ShownFrame(), 9);
}

TEST_F(TheoraDecode, PlaysThroughTheLibraryFileLayer)
{
    SelectFileFunctionTable(nullptr);
    const MovieBytes bytes = MakeMovie(24, 8, true);
    std::ofstream("movie.ogv", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    FILEHANDLE file = OpenLibraryFile("movie.ogv", 0, 1, 0);
    ASSERT_NE(file, 0u);
    THEORACTX* ctx = OpenTheoraMovie(GetFileFunctionTable(), file, 10);
    ASSERT_NE(ctx, nullptr);
    for (int step = 0; step < 30; ++step) {
        ctx->ImageDone = 0;
        ASSERT_EQ(CopyTheoraFrameToImage(ctx, 1, 0), 1);
        EXPECT_EQ(ReadMovieFrameNumber(ctx->RgbImage), step % 24);
        AdvanceTheoraFrame(ctx, 1);
    }
    CloseTheoraMovie(ctx);
    CloseLibraryFile(file);
}

} // namespace
