// Fuzz target: the Ogg Vorbis source over the fuzzer's bytes: the open with
// its chain check, decoding to the end, seeks and the sizes.
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
    const STREAMREF ref{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(stream)};
    decoder.Source = ref;
    if (OpenOggVorbisSource(&decoder) == 0) {
        CloseOggVorbisSource(&decoder);
        decoder = PCMCONV{};
        if (SetupSoundDecoder(&ref, &decoder) == 0 && decoder.Kind == PCMCONV_KIND_OGGVORBIS) {
            std::vector<std::uint8_t> buffer(3000);
            for (int got; (got = ReadSoundDecoder(&decoder, buffer.data(), static_cast<int>(buffer.size()))) > 0;) {
            }
            GetSoundDecoderOutputSize(&decoder);
            SeekSoundDecoder(&decoder, 500);
            ReadSoundDecoder(&decoder, buffer.data(), 1000);
            SeekSoundDecoder(&decoder, 0);
            ReadSoundDecoder(&decoder, buffer.data(), 1000);
        }
        if (decoder.ValidFlag == 1) CloseSoundDecoder(&decoder);
    }
    CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(stream));
    return 0;
}
