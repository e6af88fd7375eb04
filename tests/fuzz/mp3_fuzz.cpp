// Fuzz target: the MPEG audio probe's tag skipping and frame walk over the
// fuzzer's bytes, then the frame-by-frame conversion with reads and seeks of
// what it accepts.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/file/stream.h"
#include "sound/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MEMSTREAM* stream = OpenMemoryStream(data, static_cast<std::uint32_t>(size));
    if (stream == nullptr) return 0;
    PCMCONV decoder{};
    decoder.Source = STREAMREF{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(stream)};
    // The probe alone, as the decoder's last one sees every refused file.
    if (ProbeMp3Source(&decoder) == 0) {
        ReleaseAcmSource(&decoder);
        decoder = PCMCONV{};
        const STREAMREF ref{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(stream)};
        if (SetupSoundDecoder(&ref, &decoder) == 0) {
            std::vector<std::uint8_t> buffer(5000);
            const int total = GetSoundDecoderOutputSize(&decoder);
            int read = 0;
            for (int got; (got = ReadSoundDecoder(&decoder, buffer.data(), static_cast<int>(buffer.size()))) > 0;)
                read += got;
            // Never more than the frame walk counted.
            if (read > total) __builtin_trap();
            SeekSoundDecoder(&decoder, 1000);
            ReadSoundDecoder(&decoder, buffer.data(), 100);
            SeekSoundDecoder(&decoder, 3);
            ReadSoundDecoder(&decoder, buffer.data(), 100);
            CloseSoundDecoder(&decoder);
        }
    }
    CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(stream));
    return 0;
}
