// Movie handles end to end on a started library: Theora and ffmpeg-made
// movies open as graphs and show the frame the clock has reached, pause with
// the window and resume at the same frame, end or wait at their last frame;
// the handle table's limits; the stream objects around a display change;
// files no player opens; the media-stream set-up without DirectDraw.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/sysstate.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/imagesurface.h"
#include "graphics/soft/surface2d.h"
#include "movie/movierec.h"
#include "movie/theora.h"
#include "platform/dsound/dsound.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "platform/window/window.h"
#include "platform/winmm/timer.h"
#include "sound/decoder.h"
#include "sound/sound.h"
#include "sound/soundrec.h"
#include "sound/streamsound.h"
#include "support/archive_writer.h"
#include "support/ffmpeg_movie_writer.h"
#include "support/library_fixture.h"
#include "support/theora_movie_writer.h"

namespace {

namespace fs = std::filesystem;

void WriteBytes(const char* name, const MovieBytes& bytes)
{
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The frame number a movie graph's pixels show.
int GraphFrame(int graph)
{
    const GRAPHREC* g = GetGraphRecord(graph);
    const SURF2DREC* s = GetSurface2DRecord(g->Surfaces[0]);
    const MEMIMG& m = GetImageSurfaceRecord(s->ImageSurface)->Image;
    GraphImage view{};
    view.Width = g->Width;
    view.Height = g->Height;
    view.Pitch = m.Body->Pitch;
    view.Pixels = m.Pixels + s->SourceY * m.Body->Pitch + s->SourceX * 4;
    return ReadMovieFrameNumber(view);
}

// Draws the graph until it shows `expect`: a stream movie's next frame is
// completed by the layer's own thread, a moment after the clock reached it.
int DrawUntilFrame(int graph, int expect)
{
    // Bounded by time, not by passes: the thread may wait long on a loaded machine.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int shown = -1;
    for (;;) {
        RenderGraphAt(0, 0, graph, 0);
        shown = GraphFrame(graph);
        if (shown == expect || std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return shown;
}

MOVIEREC* GraphMovie(int graph)
{
    return GetMovieRecord(GetGraphRecord(graph)->Movie);
}

// Nothing in the library starts a movie; a movie marked as paused by the
// system is what the resume plays on.
void StartMovie(int graph)
{
    GraphMovie(graph)->PlayRequested = 1;
    ResumeSystemPausedMovies();
}

// Loads a movie file as a graph that shows a 64 x 48 movie; -1 otherwise.
int LoadMovieGraph(const char* name)
{
    const int graph = LoadGraphByName(name, 1);
    int w = 0;
    int h = 0;
    if (graph == -1 || GetGraphDimensions(graph, &w, &h) != 0 || w != 64 || h != 48) return -1;
    return GraphMovie(graph) != nullptr ? graph : -1;
}

// Deactivation pauses the movie for the system; activation resumes it on the
// frame it showed, however long the window stayed inactive.
void ExpectWindowPauseKeepsFrame(int graph, int frame)
{
    MOVIEREC* m = GraphMovie(graph);
    SimulateFocusChange(SysState.MainWindow, false);
    EXPECT_EQ(m->Paused, 1);
    EXPECT_EQ(m->PlayRequested, 1);
    AdvanceManualClock(2000000);
    SimulateFocusChange(SysState.MainWindow, true);
    EXPECT_EQ(m->Paused, 0);
    RenderGraphAt(0, 0, graph, 0);
    EXPECT_EQ(GraphFrame(graph), frame);
}

class MovieLibrary : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        tempDir_ = fs::current_path() / "movie-temp";
        fs::remove_all(tempDir_);
        fs::create_directories(tempDir_);
        const char* old = std::getenv("TMPDIR");
        savedTmp_ = old != nullptr ? old : "";
        hadTmp_ = old != nullptr;
        setenv("TMPDIR", tempDir_.c_str(), 1);
        // Soundtracks play on the null device, by the kernel's manual clock.
        SelectSoundOutput(SoundOutputChoice::NullOnly);
        ASSERT_EQ(StartDrawingLibrary(320, 240, 32), 0);
    }
    void TearDown() override
    {
        EndDrawingLibrary();
        SelectSoundOutput(SoundOutputChoice::SdlThenNull);
        if (hadTmp_) {
            setenv("TMPDIR", savedTmp_.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        fs::remove_all(tempDir_);
        LibraryTest::TearDown();
    }
    bool TempDirEmpty() const { return fs::is_empty(tempDir_); }

    fs::path tempDir_;
    std::string savedTmp_;
    bool hadTmp_ = false;
};

TEST_F(MovieLibrary, TheoraMovieFollowsTheClockPausesWithTheWindowAndEnds)
{
    TheoraMovieSpec spec;
    spec.frames = 24;
    WriteBytes("clock.ogv", WriteTheoraMovie(spec));
    const int graph = LoadMovieGraph("clock.ogv");
    ASSERT_NE(graph, -1);
    MOVIEREC* m = GraphMovie(graph);
    EXPECT_EQ(m->TheoraFlag, 1);
    EXPECT_EQ(m->SoundHandle, -1);
    EXPECT_EQ(m->Paused, 1);
    EXPECT_EQ(m->PlayRequested, 0);
    EXPECT_EQ(MovieSoundtrackFlag, 0);

    // Opened paused on frame 0, whatever the clock does.
    AdvanceManualClock(500000);
    EXPECT_EQ(DrawUntilFrame(graph, 0), 0);

    StartMovie(graph);
    AdvanceManualClock(350000);
    EXPECT_EQ(DrawUntilFrame(graph, 3), 3);

    ExpectWindowPauseKeepsFrame(graph, 3);
    AdvanceManualClock(150000);
    EXPECT_EQ(DrawUntilFrame(graph, 4), 4);

    // Without a soundtrack or the loop bit the clock ends it on its last frame.
    AdvanceManualClock(10000000);
    EXPECT_EQ(DrawUntilFrame(graph, 23), 23);
    RenderGraphAt(0, 0, graph, 0);
    EXPECT_EQ(m->Paused, 1);
    EXPECT_EQ(m->PlayRequested, 0);
    // An ended movie is not the system's to resume.
    ResumeSystemPausedMovies();
    EXPECT_EQ(m->Paused, 1);
    EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
    EXPECT_EQ(GetMovieCount(), 0);
}

TEST_F(MovieLibrary, TheoraSoundtrackAttemptLeavesTheLoadSettingsAsTheyWere)
{
    TheoraMovieSpec spec;
    spec.sound = true;
    WriteBytes("sound.ogv", WriteTheoraMovie(spec));
    SetSoundLoadMode(1);
    const int graph = LoadMovieGraph("sound.ogv");
    ASSERT_NE(graph, -1);
    EXPECT_NE(GraphMovie(graph)->SoundHandle, -1);
    EXPECT_EQ(GetSoundLoadMode(), 1);
    EXPECT_EQ(MovieSoundtrackFlag, 0);
    SetSoundLoadMode(0);
    DestroyGraphHandle(graph, 0);
}

TEST_F(MovieLibrary, TheoraSoundtrackPacesTheFramesStopsWithTheWindowAndHoldsTheLastFrame)
{
    TheoraMovieSpec spec;
    spec.sound = true;
    WriteBytes("paced.ogv", WriteTheoraMovie(spec));
    const int graph = LoadMovieGraph("paced.ogv");
    ASSERT_NE(graph, -1);
    MOVIEREC* m = GraphMovie(graph);
    ASSERT_NE(m->SoundHandle, -1);
    EXPECT_EQ(GetSoundTotalTimeMs(m->SoundHandle), 2400);
    // The same track loads whole too, every sample of it.
    const int whole = CreateSoundFromFile("paced.ogv", 1, -1);
    EXPECT_EQ(GetSoundTotalSample(whole), 52920);
    DiscardSoundHandle(whole);
    StartMovie(graph);
    EXPECT_EQ(CheckSoundPlaying(m->SoundHandle), 1);
    AdvanceManualClock(350000);
    RefillAllStreamSounds();
    const int heard = GetSoundPlayPositionMs(m->SoundHandle);
    EXPECT_GT(heard, 250);
    EXPECT_EQ(DrawUntilFrame(graph, heard / 100), heard / 100);

    // The window's pause stops the soundtrack where it was; the resume plays on.
    SimulateFocusChange(SysState.MainWindow, false);
    EXPECT_EQ(CheckSoundPlaying(m->SoundHandle), 0);
    const int stopped = GetSoundPlayPositionMs(m->SoundHandle);
    AdvanceManualClock(2000000);
    EXPECT_EQ(GetSoundPlayPositionMs(m->SoundHandle), stopped);
    SimulateFocusChange(SysState.MainWindow, true);
    EXPECT_EQ(CheckSoundPlaying(m->SoundHandle), 1);
    RenderGraphAt(0, 0, graph, 0);
    EXPECT_EQ(GraphFrame(graph), stopped / 100);

    // Played past its end, the soundtrack holds the last frame; the movie goes on.
    for (int i = 0; i < 30; ++i) {
        AdvanceManualClock(200000);
        RefillAllStreamSounds();
    }
    EXPECT_EQ(DrawUntilFrame(graph, 23), 23);
    EXPECT_EQ(m->Paused, 0);
    EXPECT_EQ(m->PlayRequested, 1);
    DestroyGraphHandle(graph, 0);
}

TEST_F(MovieLibrary, TheoraLoopWrapsAndACallerPauseOutlastsTheWindow)
{
    TheoraMovieSpec spec;
    spec.frames = 10;
    WriteBytes("loop.ogv", WriteTheoraMovie(spec));
    const int graph = LoadGraphByName("loop.ogv", 1);
    ASSERT_NE(graph, -1);
    MOVIEREC* m = GraphMovie(graph);
    m->PlayType = 1 | MOVIE_PLAYTYPE_LOOP_BIT;
    StartMovie(graph);
    AdvanceManualClock(1250000);  // frame 12 of a 10-frame loop
    EXPECT_EQ(DrawUntilFrame(graph, 2), 2);

    const int handle = GetGraphRecord(graph)->Movie;
    EXPECT_EQ(PauseMovie(handle, 0), 0);
    EXPECT_EQ(m->PlayRequested, 0);
    // A second pause, by the system this time, changes nothing.
    EXPECT_EQ(PauseMovie(handle, 1), 0);
    EXPECT_EQ(m->PlayRequested, 0);
    SimulateFocusChange(SysState.MainWindow, false);
    SimulateFocusChange(SysState.MainWindow, true);
    EXPECT_EQ(m->Paused, 1);
    DestroyGraphHandle(graph, 0);
}

TEST_F(MovieLibrary, StreamMovieFollowsTheClockPausesWithTheWindowAndSurvivesADisplayChange)
{
    FfmpegMovieSpec spec;
    ASSERT_TRUE(WriteFfmpegMovie("clock.mp4", spec));
    const int graph = LoadMovieGraph("clock.mp4");
    ASSERT_NE(graph, -1);
    MOVIEREC* m = GraphMovie(graph);
    EXPECT_EQ(m->TheoraFlag, 0);
    EXPECT_EQ(m->TempFileFlag, 0);
    EXPECT_EQ(m->SurfaceMode, MOVIE_SURFACE_SCREEN);
    STREAM_TIME duration = 0;
    EXPECT_EQ(m->MultiMediaStream->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 24000000);

    StartMovie(graph);
    AdvanceManualClock(350000);
    EXPECT_EQ(DrawUntilFrame(graph, 3), 3);

    ExpectWindowPauseKeepsFrame(graph, 3);
    AdvanceManualClock(100000);
    EXPECT_EQ(DrawUntilFrame(graph, 4), 4);

    // A frame that is ready waits while the last update is of this presented
    // frame and less than 17 ms old.
    AdvanceManualClock(100000);
    ASSERT_EQ(WaitForSingleObject(m->UpdateEvent, 60000), WAIT_OBJECT_0);
    m->LastUpdateFlip = GetFlipCounter();
    m->LastUpdateTime = timeGetTime();
    RenderGraphAt(0, 0, graph, 0);
    EXPECT_EQ(GraphFrame(graph), 4);
    IncrementFlipCounter();
    RenderGraphAt(0, 0, graph, 0);
    EXPECT_EQ(GraphFrame(graph), 5);

    // Around a display change the stream objects go and come back at the
    // same time; a released movie refreshes to nothing and ignores pauses.
    ReleaseAllMovieStreams();
    EXPECT_EQ(m->Sample, nullptr);
    EXPECT_EQ(m->MultiMediaStream, nullptr);
    EXPECT_EQ(PauseMovie(GetGraphRecord(graph)->Movie, 0), 0);
    EXPECT_EQ(m->Paused, 0);
    EXPECT_EQ(RefreshMovieFrame(GetGraphRecord(graph)->Movie, 0), 0);
    EXPECT_EQ(ReopenAllMovieStreams(), 0);
    ASSERT_NE(m->MultiMediaStream, nullptr);
    STREAM_TIME now = 0;
    m->MultiMediaStream->GetTime(&now);
    EXPECT_GE(now, m->SavedTime);
    EXPECT_LT(now, 6000000);
    AdvanceManualClock(200000);
    EXPECT_EQ(DrawUntilFrame(graph, 7), 7);
    DestroyGraphHandle(graph, 0);
}

TEST_F(MovieLibrary, StreamMovieEndsOrLoopsAtTheEndOfItsData)
{
    FfmpegMovieSpec spec;
    spec.frames = 6;
    spec.codec = "mpeg1video";
    spec.fps = 25;
    ASSERT_TRUE(WriteFfmpegMovie("short.mpg", spec));
    for (const bool loop : {false, true}) {
        SCOPED_TRACE(loop ? "looping" : "once");
        const int graph = LoadGraphByName("short.mpg", 1);
        ASSERT_NE(graph, -1);
        MOVIEREC* m = GraphMovie(graph);
        if (loop) m->PlayType = 1 | MOVIE_PLAYTYPE_LOOP_BIT;
        StartMovie(graph);
        AdvanceManualClock(1000000);
        EXPECT_EQ(DrawUntilFrame(graph, 5), 5);
        for (int i = 0; i < 2000 && m->PlayRequested == 1 && (!loop || GraphFrame(graph) == 5); ++i) {
            IncrementFlipCounter();
            RenderGraphAt(0, 0, graph, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (loop) {
            // Restarted at time 0: the first frames come round again.
            EXPECT_EQ(m->PlayRequested, 1);
            EXPECT_LE(GraphFrame(graph), 1);
        } else {
            EXPECT_EQ(m->Paused, 1);
            EXPECT_EQ(m->PlayRequested, 0);
            ResumeSystemPausedMovies();
            EXPECT_EQ(m->Paused, 1);
        }
        DestroyGraphHandle(graph, 0);
    }
}

TEST_F(MovieLibrary, TableHoldsAHundredMoviesAndRefusesStaleHandles)
{
    TheoraMovieSpec spec;
    spec.frames = 2;
    WriteBytes("small.ogv", WriteTheoraMovie(spec));
    std::vector<int> handles;
    for (int i = 0; i < MOVIE_TABLE_SIZE; ++i) handles.push_back(OpenMovie("small.ogv", nullptr, nullptr, 0));
    for (int h : handles) ASSERT_GE(h, 0);
    EXPECT_EQ(OpenMovie("small.ogv", nullptr, nullptr, 0), -1);
    EXPECT_EQ(DisposeMovieHandle(handles[5]), 0);
    EXPECT_EQ(DisposeMovieHandle(handles[5]), -1);
    const int again = OpenMovie("small.ogv", nullptr, nullptr, 0);
    EXPECT_EQ(again & 0xFFFF, 5);
    EXPECT_NE(again, handles[5]);
    EXPECT_EQ(GetMovieRecord(handles[5]), nullptr);
    EXPECT_EQ(SetMovieFrameCallback(handles[5], nullptr, nullptr), -1);
    EXPECT_EQ(PauseMovie(handles[5], 1), -1);
    EXPECT_EQ(RestoreMovieSurfaces(handles[5]), 0);
    EXPECT_EQ(UpdateMovieOverlay(0, 0, 1, handles[5], 1), -1);
    for (int bad : {-1, handles[0] ^ 0x08000000, (handles[0] & ~0xFFFF) | 100}) EXPECT_EQ(GetMovieRecord(bad), nullptr);
    handles[5] = again;
    for (int h : handles) EXPECT_EQ(DisposeMovieHandle(h), 0);
    EXPECT_EQ(GetMovieCount(), 0);
}

TEST_F(MovieLibrary, ArchiveMemberPlaysFromATemporaryCopyDeletedAtDispose)
{
    FfmpegMovieSpec spec;
    spec.frames = 4;
    ASSERT_TRUE(WriteFfmpegMovie("member.mp4", spec));
    std::ifstream in("member.mp4", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ArchiveMember member;
    member.Path = "CLIP.MP4";
    member.Data = bytes;
    member.Packed = true;
    WriteBinaryFile("pack.zva", BuildArchive({member}));
    const int graph = LoadGraphByName("pack\\clip.mp4", 1);
    ASSERT_NE(graph, -1);
    const MOVIEREC* m = GraphMovie(graph);
    EXPECT_EQ(m->TempFileFlag, 1);
    std::vector<fs::path> copies(fs::directory_iterator(tempDir_), fs::directory_iterator{});
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].filename().string().rfind("tmp", 0), 0u);
    std::ifstream copy(copies[0], std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(copy)), std::istreambuf_iterator<char>()), bytes);
    StartMovie(graph);
    AdvanceManualClock(250000);
    EXPECT_EQ(DrawUntilFrame(graph, 2), 2);
    DestroyGraphHandle(graph, 0);
    EXPECT_TRUE(TempDirEmpty());

    // No temporary folder to copy into: refused with the open message.
    setenv("TMPDIR", (tempDir_ / "missing").c_str(), 1);
    EXPECT_EQ(LoadGraphByName("pack\\clip.mp4", 1), -1);
    EXPECT_TRUE(Contains(ReadLogFile(), "ファイル:pack\\clip.mp4 が開けませんでした"));
    EXPECT_TRUE(TempDirEmpty());
}

TEST_F(MovieLibrary, FilesNoPlayerOpensAreRefusedWithTheirLogLines)
{
    std::ofstream("notmovie.bin") << std::string(4096, 'z');
    EXPECT_EQ(LoadGraphByName("notmovie.bin", 1), -1);
    const std::string log = ReadLogFile();
    // Each failure on a line of its own.
    EXPECT_TRUE(LogHasLine("ファイル:notmovie.bin が開けませんでした"));
    EXPECT_TRUE(LogHasLine("ムービーファイルオープン処理時にエラーが発生しました"));
    EXPECT_TRUE(Contains(log, "右記のグラフィックファイルのロードに失敗しました：notmovie.bin"));
    // The temporary copy tried for it is gone again.
    EXPECT_TRUE(TempDirEmpty());

    // A name the record cannot hold is refused whole, never cut.
    const std::string longName = std::string(300, 'n') + ".mp4";
    EXPECT_EQ(OpenMovie(longName.c_str(), nullptr, nullptr, 0), -1);
    EXPECT_EQ(GetMovieCount(), 0);
}

TEST_F(MovieLibrary, MediaStreamSetUpWithoutDirectDrawFailsAtItsStep)
{
    FfmpegMovieSpec spec;
    spec.frames = 2;
    ASSERT_TRUE(WriteFfmpegMovie("gdi.mp4", spec));
    MOVIEREC record{};
    EXPECT_EQ(SetupMovieMediaStream(nullptr, &record, "gdi.mp4", nullptr, nullptr, 0), -1);
    EXPECT_TRUE(Contains(ReadLogFile(), "DirectDraw4オブジェクトを取得できませんでした"));
    EXPECT_EQ(record.FilterGraph, nullptr);
    EXPECT_EQ(record.MediaControl, nullptr);
    EXPECT_EQ(record.MultiMediaStream, nullptr);

    SetFilterGraphUnavailable(true);
    EXPECT_EQ(LoadGraphByName("gdi.mp4", 1), -1);
    SetFilterGraphUnavailable(false);
    EXPECT_TRUE(LogHasLine("CLSID_FilterGraph の作成に失敗しました"));
    EXPECT_TRUE(LogHasLine("ムービーファイルオープン処理時にエラーが発生しました"));
}

// What the null device has played of a stream movie's soundtrack: the
// device catches up with the clock at every buffer call.
class SoundCapture {
public:
    SoundCapture() { StartNullSoundCapture(); }
    ~SoundCapture() { TakeNullSoundCapture(); }
    // The output frames played so far.
    std::size_t Played()
    {
        DWORD status = 0;
        SoundState.SilentBuffer->GetStatus(&status);
        const std::vector<float> part = TakeNullSoundCapture();
        out_.insert(out_.end(), part.begin(), part.end());
        StartNullSoundCapture();
        return out_.size() / 2;
    }
    float Left(std::size_t frame) const { return out_[2 * frame]; }
    // The pitch of the output frames [from, to), from their zero crossings.
    double PitchHz(std::size_t from, std::size_t to) const
    {
        int crossings = 0;
        for (std::size_t i = from + 1; i < to; ++i) crossings += (Left(i - 1) < 0) != (Left(i) < 0) ? 1 : 0;
        return crossings / 2.0 * GetSoundOutputRate() / static_cast<double>(to - from);
    }

private:
    std::vector<float> out_;
};

TEST_F(MovieLibrary, StreamMovieSoundtrackPlaysInStepWithThePicturePausesLoopsAndEnds)
{
    FfmpegMovieSpec spec;
    spec.sound = true;
    ASSERT_TRUE(WriteFfmpegMovie("tone.mp4", spec));
    const std::size_t ms = GetSoundOutputRate() / 1000;
    for (const bool loop : {true, false}) {
        SCOPED_TRACE(loop ? "looping" : "once");
        SoundCapture sound;
        const int graph = LoadMovieGraph("tone.mp4");
        ASSERT_NE(graph, -1);
        MOVIEREC* m = GraphMovie(graph);
        if (loop) m->PlayType = 1 | MOVIE_PLAYTYPE_LOOP_BIT;
        // Opened paused: nothing is heard.
        AdvanceManualClock(300000);
        const std::size_t opened = sound.Played();
        for (std::size_t i = 0; i < opened; ++i) ASSERT_EQ(sound.Left(i), 0.0f) << i;

        // The stream time at moments of the play, with the output played by then.
        struct Moment {
            std::size_t played;
            STREAM_TIME time;
        };
        std::vector<Moment> moments;
        auto play = [&](int steps) {
            for (int i = 0; i < steps; ++i) {
                AdvanceManualClock(37000);
                IncrementFlipCounter();
                RenderGraphAt(0, 0, graph, 0);
                STREAM_TIME t = 0;
                m->MultiMediaStream->GetTime(&t);
                moments.push_back({sound.Played(), t});
            }
        };
        StartMovie(graph);
        play(20);
        // The picture shows the frame whose tone is heard.
        STREAM_TIME now = 0;
        m->MultiMediaStream->GetTime(&now);
        const int frame = static_cast<int>(now / 1000000);
        EXPECT_EQ(DrawUntilFrame(graph, frame), frame);

        // The window's pause silences the soundtrack; the resume plays on.
        SimulateFocusChange(SysState.MainWindow, false);
        const std::size_t paused = sound.Played();
        for (int i = 0; i < 5; ++i) {
            AdvanceManualClock(100000);
            sound.Played();
        }
        const std::size_t resumed = sound.Played();
        ASSERT_GT(resumed, paused + 400 * ms);
        for (std::size_t i = paused + 12 * ms; i < resumed; ++i) ASSERT_EQ(sound.Left(i), 0.0f) << i;
        SimulateFocusChange(SysState.MainWindow, true);
        play(70);

        // Every moment well inside a frame hears that frame's tone, before
        // the loop's restart and after it.
        int heard = 0;
        int afterRestart = 0;
        bool restarted = false;
        for (std::size_t i = 0; i < moments.size(); ++i) {
            const Moment& at = moments[i];
            if (i > 0 && at.time < moments[i - 1].time) restarted = true;
            const auto f = static_cast<int>(at.time / 1000000);
            if (f >= spec.frames || at.time % 1000000 < 400000 || at.played < 25 * ms) continue;
            EXPECT_NEAR(sound.PitchHz(at.played - 25 * ms, at.played - 5 * ms), MovieToneHz(f), 50.0)
                << "moment " << i << " at " << at.time;
            ++heard;
            if (restarted) ++afterRestart;
        }
        EXPECT_GE(heard, 25);
        if (loop) {
            EXPECT_GT(afterRestart, 0);
            EXPECT_EQ(m->PlayRequested, 1);
        } else {
            // Ended with the picture: silence from the end of the data on.
            EXPECT_EQ(m->PlayRequested, 0);
            std::size_t end = 0;
            for (const Moment& at : moments)
                if (at.time >= 24500000 && end == 0) end = at.played;
            ASSERT_NE(end, 0u);
            for (std::size_t i = end; i < sound.Played(); ++i) ASSERT_EQ(sound.Left(i), 0.0f) << i;
        }
        DestroyGraphHandle(graph, 0);
    }
}

} // namespace
