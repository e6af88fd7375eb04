// JPEG decoder: glue over libjpeg's version 62 interface (a source manager
// over the image stream, an error exit that long-jumps back) that fills a
// GraphImage. Pixels come from the library's allocator.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "core/memory.h"
#include "graphics/image/decoders.h"

namespace {

// The decoder takes its fast entropy path only while a few kilobytes of input
// are buffered ahead; a small buffer would leave it on the slow one most of
// the time.
constexpr std::size_t SourceBufferSize = 65536;

const BYTE JpegStartOfImage[2] = {0xFF, 0xD8};

struct JPEGERRORMGR {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

struct JPEGSTREAMSRC {
    jpeg_source_mgr Manager;
    JOCTET* Buffer;
    boolean StartOfFile;
    const STREAMREF* Stream;
    long long Size; // bytes from the start of decoding to the end
};

// libjpeg's messages are kept for the load's failure, never printed to
// stderr; a warning of a file that decodes is dropped with it.
void KeepJpegMessage(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<JPEGERRORMGR*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->Message);
}

void JpegErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<JPEGERRORMGR*>(cinfo->err);
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(err->Jump, 1);
}

void JpegStreamInitSource(j_decompress_ptr cinfo)
{
    reinterpret_cast<JPEGSTREAMSRC*>(cinfo->src)->StartOfFile = TRUE;
}

boolean JpegStreamFillBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<JPEGSTREAMSRC*>(cinfo->src);
    long long position = StreamTell(src->Stream);
    long long left = position < 0 ? 0 : src->Size - position;
    std::size_t n = left <= 0 ? 0 : left > static_cast<long long>(SourceBufferSize) ? SourceBufferSize
                                                                                     : static_cast<std::size_t>(left);
    if (n != 0 && !StreamReadAll(src->Stream, src->Buffer, n)) {
        n = 0;
    }
    if (n == 0) {
        if (src->StartOfFile) {
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        }
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->Buffer[0] = 0xFF;
        src->Buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->Manager.next_input_byte = src->Buffer;
    src->Manager.bytes_in_buffer = n;
    src->StartOfFile = FALSE;
    return TRUE;
}

void JpegStreamSkipData(j_decompress_ptr cinfo, long count)
{
    auto* src = reinterpret_cast<JPEGSTREAMSRC*>(cinfo->src);
    if (count <= 0) {
        return;
    }
    while (count > static_cast<long>(src->Manager.bytes_in_buffer)) {
        count -= static_cast<long>(src->Manager.bytes_in_buffer);
        JpegStreamFillBuffer(cinfo);
    }
    src->Manager.next_input_byte += count;
    src->Manager.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void JpegStreamTermSource(j_decompress_ptr) {}

void AttachJpegStream(j_decompress_ptr cinfo, const STREAMREF* stream)
{
    if (cinfo->src == nullptr) {
        auto* src = static_cast<JPEGSTREAMSRC*>(
            (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JPEGSTREAMSRC)));
        src->Buffer = static_cast<JOCTET*>(
            (*cinfo->mem->alloc_large)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, SourceBufferSize));
        cinfo->src = &src->Manager;
    }
    auto* src = reinterpret_cast<JPEGSTREAMSRC*>(cinfo->src);
    src->Manager.init_source = JpegStreamInitSource;
    src->Manager.fill_input_buffer = JpegStreamFillBuffer;
    src->Manager.skip_input_data = JpegStreamSkipData;
    src->Manager.resync_to_restart = jpeg_resync_to_restart;
    src->Manager.term_source = JpegStreamTermSource;
    src->Stream = stream;
    src->Size = StreamBytesLeft(stream);
    if (src->Size < 0) {
        src->Size = 0;
    }
    src->Manager.bytes_in_buffer = 0;
    src->Manager.next_input_byte = nullptr;
}

} // namespace

// No object with a destructor lives between setjmp and the libjpeg calls; the
// locals a long jump must see are volatile.
int DecodeJpegImage(const STREAMREF* stream, GraphImage* image)
{
    // Other formats' data is not this decoder's to speak about.
    if (!StreamStartsWith(stream, JpegStartOfImage, sizeof JpegStartOfImage)) {
        return -1;
    }
    jpeg_decompress_struct cinfo;
    JPEGERRORMGR err;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.Manager);
    err.Manager.error_exit = JpegErrorExit;
    err.Manager.output_message = KeepJpegMessage;
    err.Message[0] = '\0';
    BYTE* volatile pixels = nullptr;
    if (setjmp(err.Jump)) {
        NoteImageDecodeFault("JPEG", err.Message);
        FreeMemory(pixels);
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    jpeg_create_decompress(&cinfo);
    AttachJpegStream(&cinfo, stream);
    jpeg_read_header(&cinfo, TRUE);
    // Colour images come out blue first straight from the library: the same
    // pixels as red-green-blue output reversed, without a second pass.
    if (cinfo.out_color_space == JCS_RGB) {
        cinfo.out_color_space = JCS_EXT_BGR;
    }
    jpeg_start_decompress(&cinfo);
    const int components = cinfo.output_components;
    // Four-component output (CMYK, YCCK) has no three-byte layout here.
    if (components != 1 && components != 3) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    const long long rowSize = static_cast<long long>(components) * cinfo.output_width;
    const std::size_t size = GetImageBlockSize(rowSize, cinfo.output_height);
    if (size == 0) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    pixels = static_cast<BYTE*>(AllocMemory(size, __FILE__, __LINE__));
    if (pixels == nullptr) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + static_cast<std::size_t>(cinfo.output_scanline) * static_cast<std::size_t>(rowSize);
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    if (components == 1) {
        SetColorFormatGray8(&image->Format);
    } else {
        SetColorFormatRGB24(&image->Format);
    }
    image->Width = static_cast<int>(cinfo.output_width);
    image->Height = static_cast<int>(cinfo.output_height);
    image->Pitch = static_cast<int>(rowSize);
    image->Pixels = pixels;
    jpeg_destroy_decompress(&cinfo);
    return 0;
}
