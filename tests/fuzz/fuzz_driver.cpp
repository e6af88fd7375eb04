// Runs a fuzz target without libFuzzer (g++ builds): every file of the given
// corpus folders once, then -runs=N deterministic mutations of them. Takes
// the same arguments as a libFuzzer binary so the tests call both alike.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Input = std::vector<std::uint8_t>;

struct Rng {
    std::uint64_t s = 0x9E3779B97F4A7C15ull;
    std::uint64_t Next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    std::size_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(Next() % n); }
};

// Values that land on the size and count checks of the decoders.
const std::uint32_t Interesting[] = {0, 1, 2, 3, 4, 7, 8, 15, 16, 31, 32, 64, 127, 128, 255, 256, 4096, 8192, 8193,
                                     0x7FFF, 0x8000, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu};

Input Mutate(const Input& base, const std::vector<Input>& corpus, Rng& rng)
{
    Input in = base;
    int steps = 1 + static_cast<int>(rng.Below(4));
    for (int i = 0; i < steps; ++i) {
        switch (rng.Below(7)) {
        case 0: // flip a bit
            if (!in.empty()) {
                in[rng.Below(in.size())] ^= static_cast<std::uint8_t>(1u << rng.Below(8));
            }
            break;
        case 1: // set a byte
            if (!in.empty()) {
                in[rng.Below(in.size())] = static_cast<std::uint8_t>(rng.Next());
            }
            break;
        case 2: { // write an interesting little-endian value
            if (in.size() >= 4) {
                std::uint32_t v = Interesting[rng.Below(std::size(Interesting))];
                std::size_t at = rng.Below(in.size() - 3);
                int width = rng.Below(2) == 0 ? 2 : 4;
                for (int b = 0; b < width; ++b) {
                    in[at + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(v >> (8 * b));
                }
            }
            break;
        }
        case 3: // truncate
            in.resize(rng.Below(in.size() + 1));
            break;
        case 4: { // duplicate a span
            if (!in.empty()) {
                std::size_t at = rng.Below(in.size());
                std::size_t len = 1 + rng.Below(std::min<std::size_t>(64, in.size() - at));
                Input span(in.begin() + static_cast<long>(at), in.begin() + static_cast<long>(at + len));
                in.insert(in.begin() + static_cast<long>(rng.Below(in.size() + 1)), span.begin(), span.end());
            }
            break;
        }
        case 5: { // splice the tail of another input
            const Input& other = corpus[rng.Below(corpus.size())];
            std::size_t cut = rng.Below(in.size() + 1);
            std::size_t from = rng.Below(other.size() + 1);
            in.resize(cut);
            in.insert(in.end(), other.begin() + static_cast<long>(from), other.end());
            break;
        }
        default: // erase a span
            if (!in.empty()) {
                std::size_t at = rng.Below(in.size());
                std::size_t len = 1 + rng.Below(std::min<std::size_t>(32, in.size() - at));
                in.erase(in.begin() + static_cast<long>(at), in.begin() + static_cast<long>(at + len));
            }
            break;
        }
    }
    return in;
}

} // namespace

int main(int argc, char** argv)
{
    long runs = 1000;
    std::vector<Input> corpus;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("-runs=", 0) == 0) {
            runs = std::strtol(arg.c_str() + 6, nullptr, 10);
        } else if (arg[0] == '-') {
            continue; // other libFuzzer options do not apply here
        } else if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(arg)) {
                if (entry.is_regular_file()) {
                    std::ifstream f(entry.path(), std::ios::binary);
                    corpus.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
                }
            }
        }
    }
    if (corpus.empty()) {
        corpus.emplace_back();
    }
    for (const Input& in : corpus) {
        LLVMFuzzerTestOneInput(in.data(), in.size());
    }
    Rng rng;
    for (long r = 0; r < runs; ++r) {
        Input in = Mutate(corpus[rng.Below(corpus.size())], corpus, rng);
        LLVMFuzzerTestOneInput(in.data(), in.size());
    }
    std::printf("Done %ld runs over %zu seeds\n", runs, corpus.size());
    return 0;
}
