// Decoder dispatch: the user decoder table, then the built-in decoders in
// their fixed order, each from offset 0 with a zeroed descriptor.
#include <cstdio>
#include <cstring>

#include "graphics/image/decoders.h"

namespace {

constexpr int UserDecoderSlots = 10;
IMAGEDECODER UserDecoders[UserDecoderSlots];
int UserDecoderCount = 0;

// Per thread, so a load on another thread never mixes in its reason.
thread_local char DecodeFault[256];

const IMAGEDECODER BuiltInDecoders[] = {
    DecodeBmpImage, DecodeJpegImage, DecodePngImage, DecodeBgraImage, DecodeTgaImage, DecodeDdsImage, nullptr,
};

bool Offer(IMAGEDECODER decoder, const STREAMREF* stream, GraphImage* image)
{
    StreamSeek(stream, 0, 0);
    std::memset(image, 0, sizeof(*image));
    return decoder(stream, image) == 0;
}

} // namespace

const char* GetImageDecodeFault()
{
    return DecodeFault;
}

void NoteImageDecodeFault(const char* formatName, const char* message)
{
    std::snprintf(DecodeFault, sizeof DecodeFault, "%s: %s", formatName, message);
}

int DecodeImageStream(const STREAMREF* stream, GraphImage* image)
{
    DecodeFault[0] = '\0';
    for (int i = 0; i < UserDecoderCount && i < UserDecoderSlots; ++i) {
        if (Offer(UserDecoders[i], stream, image)) {
            DecodeFault[0] = '\0';
            return 0;
        }
    }
    for (const IMAGEDECODER* d = BuiltInDecoders; *d != nullptr; ++d) {
        if (Offer(*d, stream, image)) {
            DecodeFault[0] = '\0';
            return 0;
        }
    }
    std::memset(image, 0, sizeof(*image));
    return -1;
}
