// Fuzz target: the sound decoder's probes (PCM and compressed WAV) over the
// fuzzer's bytes, then a whole decode, reads and seeks of what they accept.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/file/stream.h"
#include "core/memory.h"
#include "sound/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MEMSTREAM* stream = OpenMemoryStream(data, static_cast<std::uint32_t>(size));
    if (stream == nullptr) return 0;
    STREAMREF ref{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(stream)};
    PCMCONV decoder{};
    if (SetupSoundDecoder(&ref, &decoder) == 0) {
        WAVEFORMATEX format;
        void* pcm = nullptr;
        int bytes = 0;
        if (DecodeWholeSoundSource(&decoder, &format, &pcm, &bytes) == 0) {
            // Touch the last byte the decode claims.
            if (bytes > 0) {
                volatile std::uint8_t sink = static_cast<std::uint8_t*>(pcm)[bytes - 1];
                (void)sink;
            }
            FreeMemory(pcm);
        }
        std::vector<std::uint8_t> buffer(4096);
        SeekSoundDecoder(&decoder, 0);
        while (ReadSoundDecoder(&decoder, buffer.data(), static_cast<int>(buffer.size())) > 0) {
        }
        SeekSoundDecoder(&decoder, 7);
        ReadSoundDecoder(&decoder, buffer.data(), 100);
        CloseSoundDecoder(&decoder);
    }
    CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(stream));
    return 0;
}
