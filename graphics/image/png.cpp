// PNG decoder: glue over libpng (read function over the image stream, errors
// returning by long jump) that fills a GraphImage. Pixels come from the
// library's allocator.
#include <png.h>

#include <cstdio>
#include <cstring>

#include "core/memory.h"
#include "graphics/image/decoders.h"

namespace {

const BYTE PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Handed to libpng's read function and error handlers: the stream, its length
// from offset 0, and the library's last error message.
struct PNGSTREAMCTX {
    const STREAMREF* Stream;
    long long Size;
    char Message[200];
};

// libpng's messages go to the log through the load's failure, never to stderr.
void KeepPngError(png_structp png, png_const_charp message)
{
    auto* ctx = static_cast<PNGSTREAMCTX*>(png_get_error_ptr(png));
    std::snprintf(ctx->Message, sizeof ctx->Message, "%s", message);
    png_longjmp(png, 1);
}

// A warning never fails a load, so it is dropped.
void DropPngWarning(png_structp, png_const_charp) {}

void ReadPngStreamData(png_structp png, png_bytep data, png_size_t length)
{
    auto* ctx = static_cast<PNGSTREAMCTX*>(png_get_io_ptr(png));
    long long position = StreamTell(ctx->Stream);
    if (position < 0 || ctx->Size - position < static_cast<long long>(length) ||
        !StreamReadAll(ctx->Stream, data, length)) {
        png_error(png, "Read Error: the file ends early");
    }
}

int AttachPngStream(png_structp png, PNGSTREAMCTX* ctx, const STREAMREF* stream)
{
    ctx->Stream = stream;
    ctx->Size = StreamBytesLeft(stream);
    ctx->Message[0] = '\0';
    png_set_read_fn(png, ctx, ReadPngStreamData);
    return 0;
}

} // namespace

// No object with a destructor lives between setjmp and the libpng calls; the
// locals a long jump must see are volatile.
int DecodePngImage(const STREAMREF* stream, GraphImage* image)
{
    // Other formats' data is not this decoder's to speak about.
    if (!StreamStartsWith(stream, PngSignature, sizeof PngSignature)) {
        return -1;
    }
    PNGSTREAMCTX ctx{};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, KeepPngError, DropPngWarning);
    if (png == nullptr) {
        return -1;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return -1;
    }
    BYTE* volatile pixels = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        NoteImageDecodeFault("PNG", ctx.Message);
        FreeMemory(rows);
        FreeMemory(pixels);
        png_destroy_read_struct(&png, &info, nullptr);
        return -1;
    }
    AttachPngStream(png, &ctx, stream);
    png_set_sig_bytes(png, 0);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);

    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    const bool grey = (colorType & PNG_COLOR_MASK_COLOR) == 0;
    const bool expand = (grey && bitDepth <= 8) || trns;
    if (expand) {
        png_set_expand(png);
    }
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    const int channels = png_get_channels(png, info);

    const std::size_t size = rowBytes <= 0x7FFFFFFF && height <= 0x7FFFFFFF
                                 ? GetImageBlockSize(static_cast<long long>(rowBytes), static_cast<long long>(height))
                                 : 0;
    if (size == 0 || width == 0) {
        png_error(png, "Image too large");
    }
    rows = static_cast<png_bytep*>(AllocMemory(sizeof(png_bytep) * height, __FILE__, __LINE__));
    pixels = static_cast<BYTE*>(AllocMemory(size, __FILE__, __LINE__));
    if (rows == nullptr || pixels == nullptr) {
        png_error(png, "Out of memory");
    }
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = pixels + static_cast<std::size_t>(y) * rowBytes;
    }
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    FreeMemory(rows);
    rows = nullptr;

    COLORFMT& f = image->Format;
    if (colorType == PNG_COLOR_TYPE_PALETTE && !expand) {
        SetColorFormatPalette8(&f);
        std::memset(f.Palette, 0, sizeof(f.Palette));
        png_colorp palette = nullptr;
        int entries = 0;
        if (png_get_PLTE(png, info, &palette, &entries) != 0 && palette != nullptr) {
            for (int i = 0; i < entries && i < 256; ++i) {
                f.Palette[i] = COLORPALETTEENTRY{palette[i].blue, palette[i].green, palette[i].red, 0};
            }
        }
    } else if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        if (rowBytes / 2 < width) {
            SetColorFormatGray8(&f);
        } else {
            // Grey with alpha: the grey value is the low byte; the alpha byte
            // is not taken as alpha.
            SetColorFormatFromMasks(&f, 16, 0xFF, 0xFF, 0xFF, 0);
        }
    } else if (channels == 4) {
        SetColorFormatARGB32(&f);
    } else {
        SetColorFormatRGB24(&f);
    }
    image->Width = static_cast<int>(width);
    image->Height = static_cast<int>(height);
    image->Pitch = static_cast<int>(rowBytes);
    image->Pixels = pixels;
    png_destroy_read_struct(&png, &info, nullptr);
    return 0;
}
