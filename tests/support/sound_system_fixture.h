// The sound tests' fixture: the sound system started on the null device
// with its manual clock, the log in the test's folder, and everything
// reset after each test.
#pragma once

#include "platform/kernel/types.h"
#include "support/image_fixtures.h"

#include <gtest/gtest.h>

class SoundTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A sound made from a WAV image with this many buffers, or -1.
    int Load(const Bytes& wav, int buffers);
    // A copy of a stream sound's whole ring as 16-bit samples.
    std::vector<std::int16_t> Ring16(int handle);
    // A copy of a stream sound's whole ring as bytes.
    Bytes RingBytes(int handle);

    DWORD period = 0;  // output frames per mixer period
    int rate = 0;      // output rate
};
