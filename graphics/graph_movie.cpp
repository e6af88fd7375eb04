// Owns the movie service the graph loader calls, and its stand-ins for a
// program without movies; calls nothing else.
#include "graphics/graph_movie.h"

namespace {

int OpenNoMovie(const char*, int*, int*, int) { return -1; }
int DisposeNoMovie(int) { return -1; }
MOVIEREC* NoMovieRecord(int) { return nullptr; }
GraphImage* NoMoviePicture(MOVIEREC*, int) { return nullptr; }
int SetNoMovieFrameCallback(int, MovieFrameCallback, void*) { return -1; }
int RestoreNoMovieSurfaces(int) { return 0; }
int RefreshNoMovieFrame(int, int) { return 0; }
int ReopenNoMovieStreams() { return 0; }

constexpr GRAPHMOVIESERVICE kNoMovies{
    OpenNoMovie,
    DisposeNoMovie,
    NoMovieRecord,
    NoMoviePicture,
    SetNoMovieFrameCallback,
    RestoreNoMovieSurfaces,
    RefreshNoMovieFrame,
    ReopenNoMovieStreams,
};

constinit GRAPHMOVIESERVICE g_service = kNoMovies;

template <typename Entry>
void Take(Entry& to, Entry from, Entry standIn)
{
    to = from != nullptr ? from : standIn;
}

} // namespace

void InstallGraphMovieService(const GRAPHMOVIESERVICE& service)
{
    Take(g_service.Open, service.Open, kNoMovies.Open);
    Take(g_service.Dispose, service.Dispose, kNoMovies.Dispose);
    Take(g_service.GetRecord, service.GetRecord, kNoMovies.GetRecord);
    Take(g_service.GetPicture, service.GetPicture, kNoMovies.GetPicture);
    Take(g_service.SetFrameCallback, service.SetFrameCallback, kNoMovies.SetFrameCallback);
    Take(g_service.RestoreSurfaces, service.RestoreSurfaces, kNoMovies.RestoreSurfaces);
    Take(g_service.RefreshFrame, service.RefreshFrame, kNoMovies.RefreshFrame);
    Take(g_service.ReopenAllStreams, service.ReopenAllStreams, kNoMovies.ReopenAllStreams);
}

const GRAPHMOVIESERVICE& GraphMovieService()
{
    return g_service;
}
