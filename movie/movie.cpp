// Stand-in for the movie handles: no file opens as a movie and no handle is
// live, so each operation answers as for a handle that is not a movie.
#include "movie/movie.h"

int OpenMovie(const char*, int*, int*, int)
{
    return -1;
}

int DisposeMovieHandle(int)
{
    return -1;
}

int RestoreMovieSurfaces(int)
{
    return 0;
}

int RefreshMovieFrame(int, int)
{
    return -1;
}

int UpdateMovieOverlay(int, int, int, int, int)
{
    return -1;
}
