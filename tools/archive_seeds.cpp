// Writes the archive fuzz targets' seed corpus into the folder given.
#include "support/archive_writer.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s folder\n", argv[0]);
        return 2;
    }
    WriteArchiveFuzzSeeds(argv[1]);
    return 0;
}
