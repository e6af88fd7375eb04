// The movie service as the graph loader calls it: a graph file may be a
// movie, shown through a graph that its frames are copied into. The movie
// layer sits above graphics, so core's start-up installs the service here.
#pragma once

struct GraphImage;
struct MOVIEREC;

using MovieFrameCallback = int (*)(MOVIEREC* movie, void* data);

// The movie layer's calls of the same names (see movie/movie.h).
struct GRAPHMOVIESERVICE {
    int (*Open)(const char* name, int* width, int* height, int surfaceMode);
    int (*Dispose)(int movie);
    MOVIEREC* (*GetRecord)(int movie);
    GraphImage* (*GetPicture)(MOVIEREC* movie, int onlyNew);
    int (*SetFrameCallback)(int movie, MovieFrameCallback callback, void* data);
    int (*RestoreSurfaces)(int movie);
    int (*RefreshFrame)(int movie, int force);
    int (*ReopenAllStreams)();
};

// A null entry keeps what a program without movies has: no file opens as a
// movie (the loader answers as for a file no decoder takes), and every other
// entry answers as for a handle that is no movie.
void InstallGraphMovieService(const GRAPHMOVIESERVICE& service);
const GRAPHMOVIESERVICE& GraphMovieService();
