// Memory streams and the file stream set: whole elements, the last partial
// element of a memory block, end-of-stream state and clamped seeks.
#include "core/file/stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

TEST(MemoryStream, ReadsWholeElementsThenTheLastPartOne)
{
    const char data[] = "abcdefghij";  // 10 bytes read
    MEMSTREAM* m = OpenMemoryStream(data, 10);
    ASSERT_NE(m, nullptr);
    STREAMREF ref{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(m)};
    char out[16] = {};
    EXPECT_EQ(ref.Funcs.Read(out, 4, 3, ref.Handle), 2u);
    EXPECT_EQ(std::string(out, 8), "abcdefgh");
    EXPECT_EQ(ref.Funcs.Eof(ref.Handle), 0);
    std::memset(out, 0, sizeof(out));
    EXPECT_EQ(ref.Funcs.Read(out, 4, 3, ref.Handle), 1u);  // 2 bytes left count as one element
    EXPECT_STREQ(out, "ij");
    EXPECT_EQ(ref.Funcs.Read(out, 4, 3, ref.Handle), 0u);
    EXPECT_EQ(ref.Funcs.Eof(ref.Handle), 1);
    EXPECT_EQ(ref.Funcs.Idle(ref.Handle), 1);

    struct Seek {
        int offset, origin, position;
    };
    for (const Seek& s : {Seek{-5, 0, 0}, Seek{15, 0, 10}, Seek{4, 0, 4}, Seek{3, 1, 7}, Seek{-20, 1, 0},
                          Seek{-3, 2, 7}, Seek{5, 2, 10}}) {
        EXPECT_EQ(ref.Funcs.Seek(ref.Handle, s.offset, s.origin), 0);
        EXPECT_EQ(ref.Funcs.Tell(ref.Handle), s.position) << s.offset << "," << s.origin;
        EXPECT_EQ(ref.Funcs.Eof(ref.Handle), 0);  // every seek clears the end state
    }
    ref.Funcs.Seek(ref.Handle, 0, 0);
    EXPECT_EQ(ref.Funcs.Read(out, 0, 5, ref.Handle), 0u);
    EXPECT_EQ(ref.Funcs.Read(out, 1, 0, ref.Handle), 0u);
    // A count whose byte total wraps 32 bits is cut to what is there.
    EXPECT_EQ(ref.Funcs.Read(out, 0x10000, 0x10001, ref.Handle), 1u);
    EXPECT_EQ(ref.Funcs.Tell(ref.Handle), 10);
    EXPECT_EQ(ref.Funcs.Close(ref.Handle), 0);
}

TEST(FileStream, ReadsThroughTheInstalledFileFunctions)
{
    std::ofstream("s.bin", std::ios::binary) << "0123456789";
    FILEHANDLE f = OpenLibraryFile("s.bin", 0, 1, 0);
    ASSERT_NE(f, 0u);
    STREAMREF ref{*GetFileStreamFunctions(), f};
    char out[16] = {};
    EXPECT_EQ(ref.Funcs.Read(out, 4, 3, ref.Handle), 2u);
    EXPECT_EQ(ref.Funcs.Read(out, 4, 3, ref.Handle), 0u);  // files answer whole elements only
    EXPECT_EQ(ref.Funcs.Eof(ref.Handle), -1);
    EXPECT_EQ(ref.Funcs.Seek(ref.Handle, -3, 2), 0);
    EXPECT_EQ(ref.Funcs.Eof(ref.Handle), 0);
    EXPECT_EQ(ref.Funcs.Read(out, 1, 16, ref.Handle), 3u);
    EXPECT_EQ(std::string(out, 3), "789");
    EXPECT_EQ(ref.Funcs.Idle(ref.Handle), 1);
    ref.Funcs.Close(ref.Handle);
}
