// The open: which files are refused, the header parse, the page and
// key-frame index, the movie's info and the close.
#include "theora_fixture.h"

#include <cstring>

#include "core/log.h"
#include "core/sysstate.h"
#include "platform/kernel/file.h"
#include "platform/kernel/heap.h"
#include "support/library_fixture.h"

namespace {

// The log goes to Log.txt in the test's folder, emptied for every test.
class TheoraOpen : public testing::Test {
protected:
    void SetUp() override
    {
        InitTheoraColorTables();
        GetCurrentDirectoryA(sizeof SysState.StartDirectory, SysState.StartDirectory);
        std::strcpy(SysState.LogFileName, "Log.txt");
        std::remove("Log.txt");
    }
    void TearDown() override { SysState.StartDirectory[0] = '\0'; }
    static std::string LoggedText() { return ReadLogFile(); }
};

// Every record starts where a page of the file starts, and the records
// chain up to the frame count; the key flags agree with the records.
void ExpectIndexConsistent(const OpenedMovie& movie)
{
    const THEORACTX* ctx = movie.Ctx;
    ASSERT_GT(ctx->PageCount, 0);
    EXPECT_EQ(ctx->PageIndex[0].FilePos, 0u);
    EXPECT_EQ(ctx->PageIndex[0].FirstFrame, 0);
    EXPECT_EQ(ctx->KeyFrameFlags[0], 1);
    std::int64_t next = 0;
    for (int i = 0; i < ctx->PageCount; ++i) {
        const THEORAPAGE& r = ctx->PageIndex[i];
        EXPECT_EQ(r.FirstFrame, next) << "record " << i;
        EXPECT_GT(r.PageFrames, 0);
        if (i > 0) {
            ASSERT_LT(r.FilePos + 4, movie.Bytes.size());
            EXPECT_EQ(std::memcmp(movie.Bytes.data() + r.FilePos, "OggS", 4), 0) << "record " << i;
        }
        int keys = 0;
        for (int f = r.FirstFrame; f < r.FirstFrame + r.PageFrames; ++f) keys += ctx->KeyFrameFlags[f];
        EXPECT_EQ(r.HasKeyFrame, keys > 0 ? 1 : 0);
        next = r.FirstFrame + r.PageFrames;
    }
    EXPECT_EQ(next, ctx->FrameCount);
}

TEST_F(TheoraOpen, OpensEveryLayoutWithItsPictureRegionAndIndex)
{
    std::vector<MovieVariant> variants = MovieVariants(24);
    variants.push_back({"30000/1001", variants[0].Spec});
    variants.back().Spec.fpsNumerator = 30000;
    variants.back().Spec.fpsDenominator = 1001;
    for (const MovieVariant& variant : variants) {
        SCOPED_TRACE(variant.Name);
        const TheoraMovieSpec& spec = variant.Spec;
        const int width = spec.picWidth > 0 ? spec.picWidth : spec.frameWidth;
        const int height = spec.picHeight > 0 ? spec.picHeight : spec.frameHeight;
        OpenedMovie movie(WriteTheoraMovie(spec));
        ASSERT_NE(movie.Ctx, nullptr);
        MOVIEINFO info{};
        EXPECT_EQ(GetTheoraMovieInfo(movie.Ctx, &info), 0);
        EXPECT_DOUBLE_EQ(info.FramesPerSecond,
                         static_cast<double>(spec.fpsNumerator) / static_cast<double>(spec.fpsDenominator));
        EXPECT_EQ(info.FrameCount, spec.frames);
        EXPECT_EQ(info.Width, width);
        EXPECT_EQ(info.Height, height);
        GraphImage* image = GetTheoraFrameImage(movie.Ctx);
        EXPECT_EQ(image->Width, width);
        EXPECT_EQ(image->Height, height);
        EXPECT_EQ(GetTheoraCurrentFrame(movie.Ctx), 0);
        EXPECT_EQ(movie.Ctx->ImageDone, 1);
        EXPECT_EQ(ReadMovieFrameNumber(*image), 0);
        EXPECT_EQ(GetTheoraYuvSurface(movie.Ctx), nullptr); // no DirectDraw in these tests
        ExpectIndexConsistent(movie);
    }
}

TEST_F(TheoraOpen, NtscRateIsTheExactQuotient)
{
    TheoraMovieSpec spec;
    spec.frames = 2;
    spec.fpsNumerator = 30000;
    spec.fpsDenominator = 1001;
    OpenedMovie movie(WriteTheoraMovie(spec));
    ASSERT_NE(movie.Ctx, nullptr);
    MOVIEINFO info{};
    GetTheoraMovieInfo(movie.Ctx, &info);
    EXPECT_EQ(info.FramesPerSecond, 29.97002997002997);
}

TEST_F(TheoraOpen, RefusesFilesThatAreNotOggAtOnce)
{
    MovieBytes riff = {'R', 'I', 'F', 'F', 1, 2, 3, 4, 5, 6, 7, 8};
    OpenedMovie movie(riff);
    EXPECT_EQ(movie.Ctx, nullptr);
    EXPECT_EQ(movie.File.Position, 4u); // not moved back
    MovieBytes shortFile = {'O', 'g', 'g'};
    OpenedMovie tooShort(shortFile);
    EXPECT_EQ(tooShort.Ctx, nullptr);
    EXPECT_EQ(LoggedText(), "");
}

TEST_F(TheoraOpen, RefusesOggFilesWithoutAWholeTheoraHeaderSet)
{
    const MovieBytes withSound = WriteTheoraMovie([] {
        TheoraMovieSpec s;
        s.frames = 4;
        s.sound = true;
        return s;
    }());
    const std::vector<MovieBytes> pages = SplitPages(withSound);
    const int video = PageSerial(pages[0]);

    std::vector<MovieBytes> soundOnly;
    for (const MovieBytes& p : pages) {
        if (PageSerial(p) != video) soundOnly.push_back(p);
    }
    // Without sound the page after the third header is the first frame's.
    TheoraMovieSpec noFrames;
    noFrames.frames = 0;
    MovieBytes headersOnly = WriteTheoraMovie(noFrames);
    TheoraMovieSpec paged;
    paged.frames = 30;
    paged.pagePerFrame = true;
    const MovieBytes whole = WriteTheoraMovie(paged);
    MovieBytes cut(whole.begin(), whole.begin() + static_cast<long>(whole.size() * 2 / 3));
    // The setup header's type byte, after the comment header on the same page.
    std::vector<MovieBytes> damaged = pages;
    MovieBytes& headers = damaged[2];
    ASSERT_EQ(PageSerial(headers), video);
    std::size_t at = 27 + headers[26];
    for (int s = 0; s < headers[26]; ++s) {
        at += headers[27 + s];
        if (headers[27 + s] < 255) break;
    }
    ASSERT_EQ(headers[at], 0x82);
    headers[at] = 0x83;
    ResealPage(headers);

    struct Case {
        const char* name;
        MovieBytes bytes;
    } cases[] = {{"sound only", JoinPages(soundOnly)},
                 {"ends after the third header", headersOnly},
                 {"empty", {}},
                 {"damaged setup header", JoinPages(damaged)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenedMovie movie(c.bytes);
        EXPECT_EQ(movie.Ctx, nullptr);
    }
    EXPECT_EQ(LoggedText(), "");
    // A cut file still holds whole headers and the frames before the cut.
    OpenedMovie half(cut);
    ASSERT_NE(half.Ctx, nullptr);
    EXPECT_GT(half.Ctx->FrameCount, 0);
    EXPECT_LT(half.Ctx->FrameCount, 30);
}

TEST_F(TheoraOpen, MovieWithHeadersButNoFramesOpensAndShowsNothing)
{
    TheoraMovieSpec spec;
    spec.frames = 0;
    spec.sound = true; // the soundtrack's pages follow the headers
    OpenedMovie movie(WriteTheoraMovie(spec));
    ASSERT_NE(movie.Ctx, nullptr);
    EXPECT_EQ(movie.Ctx->FrameCount, 0);
    EXPECT_EQ(movie.Ctx->PageCount, 0);
    EXPECT_EQ(movie.Ctx->ImageDone, 0);
    EXPECT_EQ(movie.Ctx->State, THEORA_ENDED);
    EXPECT_EQ(CopyTheoraFrameToImage(movie.Ctx, 1, 1), 0);
}

TEST_F(TheoraOpen, HugeDeclaredFrameSizeIsRefused)
{
    std::vector<MovieBytes> pages = SplitPages(MakeMovie(2));
    // The identification header: frame size in macroblocks at bytes 10-13 of
    // the packet, which starts right after the one-segment page header.
    MovieBytes& first = pages[0];
    const std::size_t packet = 27 + first[26];
    for (int i = 0; i < 4; ++i) first[packet + 10 + i] = i % 2 == 0 ? 0x02 : 0x58; // 600 x 600 blocks
    ResealPage(first);
    OpenedMovie movie(JoinPages(pages));
    EXPECT_EQ(movie.Ctx, nullptr);
}

TEST_F(TheoraOpen, NoMemoryForTheContextIsLogged)
{
    FailNextHeapAllocations(1);
    OpenedMovie movie(MakeMovie(2));
    FailNextHeapAllocations(0);
    EXPECT_EQ(movie.Ctx, nullptr);
    EXPECT_TRUE(Contains(LoggedText(), "Theora ムービーデコード処理用のメモリ確保に失敗しました"));
}

TEST_F(TheoraOpen, IndexGrowsPastAThousandPagesAndFrames)
{
    TheoraMovieSpec spec;
    spec.frameWidth = 16;
    spec.frameHeight = 16;
    spec.frames = 2100;
    spec.keyInterval = 64;
    spec.pagePerFrame = true;
    OpenedMovie movie(WriteTheoraMovie(spec));
    ASSERT_NE(movie.Ctx, nullptr);
    EXPECT_EQ(movie.Ctx->FrameCount, 2100);
    EXPECT_EQ(movie.Ctx->PageCount, 2100);
    ExpectIndexConsistent(movie);
}

TEST_F(TheoraOpen, BytesSkippedBetweenPagesCountInThePositions)
{
    TheoraMovieSpec spec;
    spec.frames = 40;
    spec.pagePerFrame = true;
    std::vector<MovieBytes> pages = SplitPages(WriteTheoraMovie(spec));
    ASSERT_EQ(pages.size(), 42u);
    // More junk than a page, and more in two places, ahead of frame pages.
    MovieBytes junk(6000);
    for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<std::uint8_t>(i * 7 + 3);
    pages.insert(pages.begin() + 4, junk);
    pages.insert(pages.end() - 2, junk);
    OpenedMovie movie(JoinPages(pages));
    ASSERT_NE(movie.Ctx, nullptr);
    EXPECT_EQ(movie.Ctx->FrameCount, 40);
    ExpectIndexConsistent(movie);
}

TEST_F(TheoraOpen, CloseEndsTheDecodeThread)
{
    const std::size_t before = ThreadCountAtRest();
    {
        OpenedMovie movie(MakeMovie(8));
        ASSERT_NE(movie.Ctx, nullptr);
        EXPECT_EQ(ThreadCountSettled(before + 1), before + 1);
    }
    EXPECT_EQ(ThreadCountSettled(before), before);
}

} // namespace
