// The movie service as the graph layer calls it. The movie handles are not
// built yet (the Theora player beneath them is): nothing opens, so graphs
// never carry a movie.
#pragma once

int OpenMovie(const char* name, int* width, int* height, int option);
int DisposeMovieHandle(int movie);
int RestoreMovieSurfaces(int movie);
int RefreshMovieFrame(int movie, int force);
int UpdateMovieOverlay(int x, int y, int rate, int movie, int flag);
