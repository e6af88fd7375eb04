// The movie service as the window procedure and the message loop call it,
// and as core's start-up hands it to the graph loader: opening a file as a movie, its frames, pause and resume with
// the window, and the release and rebuild of stream objects.
#pragma once

#include "graphics/graph_movie.h"
#include "platform/kernel/types.h"

// A library option no call writes: set, the set-up reports half the width.
extern int MovieHalfWidthOption;

int OpenMovie(const char* name, int* width, int* height, int surfaceMode);
int DisposeMovieHandle(int movie);
MOVIEREC* GetMovieRecord(int movie);
// The picture of the movie's current frame; with onlyNew 1, null when the
// Theora player has converted nothing newer since it was last asked.
GraphImage* GetMoviePicture(MOVIEREC* movie, int onlyNew);
int SetMovieFrameCallback(int movie, MovieFrameCallback callback, void* data);
int PauseMovie(int movie, int bySystem);
int PauseAllMoviesBySystem();
int ResumeSystemPausedMovies();
int ReleaseAllMovieStreams();
int ReopenAllMovieStreams();
int RestoreMovieSurfaces(int movie);
int RefreshAllMovieOverlays();
// The number of open movies.
int GetMovieCount();

int RefreshMovieFrame(int movie, int force);
int UpdateMovieOverlay(int x, int y, int scale, int movie, int show);
