// The archive's LZ decoder: the worked examples, round trips through the
// test writer's packer, and corrupt streams refused inside their buffers.
#include "core/file/archive_lz.h"

#include "support/archive_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Decode(const Bytes& packed, std::int64_t* result = nullptr)
{
    std::int64_t size = DecodeArchiveLz(packed.data(), static_cast<std::uint32_t>(packed.size()), nullptr, 0);
    std::string out(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    std::int64_t got = DecodeArchiveLz(packed.data(), static_cast<std::uint32_t>(packed.size()), out.data(),
                                       static_cast<std::uint32_t>(out.size()));
    if (result != nullptr) *result = got;
    return got < 0 ? "<refused>" : out;
}

} // namespace

TEST(ArchiveLz, WorkedExamplesDecode)
{
    const struct {
        Bytes packed;
        std::string text;
    } cases[] = {
        {{9, 0, 0, 0, 15, 0, 0, 0, 0xFF, 'a', 'b', 'c', 0xFF, 0x10, 0x02}, "abcabcabc"},
        {{9, 0, 0, 0, 15, 0, 0, 0, 0x05, 'a', 'b', 'c', 0x05, 0x11, 0x02}, "abcabcabc"},
        {{40, 0, 0, 0, 14, 0, 0, 0, 0xFF, 'a', 0xFF, 0x1C, 0x01, 0x00}, std::string(40, 'a')},
        {{4, 0, 0, 0, 13, 0, 0, 0, 0x7E, 'w', 'x', 'y', 'z'}, "wxyz"},           // literals only
        {{3, 0, 0, 0, 13, 0, 0, 0, 0x7E, 0x7E, 0x7E, 'q', 0xAA}, "\x7E" "q\xAA"},       // an escaped key byte
    };
    for (const auto& c : cases) EXPECT_EQ(Decode(c.packed), c.text);
}

TEST(ArchiveLz, WriterOutputRoundTrips)
{
    std::mt19937 rng(3);
    std::string random(70000, '\0');
    for (char& c : random) c = static_cast<char>(rng());
    std::string text;
    while (text.size() < 300000) text += "the archive stores text like this line " + std::to_string(text.size() % 97) + "\n";
    // A far repeat: a copy more than 65,536 bytes back needs the 3-byte distance.
    const std::string far = random + std::string(100, 'z') + random.substr(0, 9000);
    for (const std::string& data : {std::string(), std::string("a"), std::string(20000, '\0'), random, text, far}) {
        const std::string packed = PackArchiveLz(data);
        Bytes bytes(packed.begin(), packed.end());
        EXPECT_EQ(Decode(bytes), data) << data.size();
    }
    EXPECT_LT(PackArchiveLz(text).size(), text.size() / 4);
}

TEST(ArchiveLz, CorruptStreamsAreRefused)
{
    const struct {
        const char* what;
        Bytes packed;
    } cases[] = {
        {"distance before the start", {9, 0, 0, 0, 15, 0, 0, 0, 0xFF, 'a', 'b', 'c', 0xFF, 0x10, 0x05}},
        {"distance code 3", {9, 0, 0, 0, 15, 0, 0, 0, 0xFF, 'a', 'b', 'c', 0xFF, 0x13, 0x02}},
        {"match past the decoded size", {5, 0, 0, 0, 15, 0, 0, 0, 0xFF, 'a', 'b', 'c', 0xFF, 0x10, 0x02}},
        {"literal past the decoded size", {2, 0, 0, 0, 12, 0, 0, 0, 0xFF, 'a', 'b', 'c'}},
        {"stream ends in an escape", {3, 0, 0, 0, 13, 0, 0, 0, 0xFF, 'a', 'b', 'c', 0xFF}},
        {"stream ends in a distance", {9, 0, 0, 0, 14, 0, 0, 0, 0xFF, 'a', 'b', 'c', 0xFF, 0x11}},
        {"stream ends before the length byte", {9, 0, 0, 0, 14, 0, 0, 0, 0xFF, 'a', 'b', 'c', 0xFF, 0x14}},
        {"output shorter than the header says", {9, 0, 0, 0, 12, 0, 0, 0, 0xFF, 'a', 'b', 'c'}},
        {"packed size beyond the data", {3, 0, 0, 0, 99, 0, 0, 0, 0xFF, 'a', 'b', 'c'}},
        {"packed size below the header", {0, 0, 0, 0, 5, 0, 0, 0, 0xFF}},
    };
    for (const auto& c : cases) {
        std::int64_t result = 0;
        Decode(c.packed, &result);
        EXPECT_EQ(result, -1) << c.what;
    }
    // A destination smaller than the decoded size is refused, not overrun.
    const Bytes ok = {9, 0, 0, 0, 15, 0, 0, 0, 0xFF, 'a', 'b', 'c', 0xFF, 0x10, 0x02};
    char small[8];
    EXPECT_EQ(DecodeArchiveLz(ok.data(), static_cast<std::uint32_t>(ok.size()), small, sizeof(small)), -1);
    EXPECT_EQ(DecodeArchiveLz(ok.data(), 8, nullptr, 0), -1);  // not even a whole header
}
