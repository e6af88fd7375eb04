// Fixture writers for the image decoder tests, fuzzers and benchmarks.
#include "support/image_fixtures.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include <jpeglib.h>

namespace {

int MemTell(STREAMHANDLE h)
{
    return static_cast<int>(reinterpret_cast<TestMemoryStream*>(h)->Position);
}

int MemSeek(STREAMHANDLE h, int offset, int origin)
{
    auto* s = reinterpret_cast<TestMemoryStream*>(h);
    long long size = static_cast<long long>(s->Data->size());
    long long target = origin == 0 ? offset : origin == 1 ? static_cast<long long>(s->Position) + offset : size + offset;
    s->Position = static_cast<std::size_t>(target < 0 ? 0 : target > size ? size : target);
    s->EofFlag = 0;
    return 0;
}

std::uint32_t MemRead(void* buffer, std::uint32_t size, std::uint32_t count, STREAMHANDLE h)
{
    auto* s = reinterpret_cast<TestMemoryStream*>(h);
    std::size_t left = s->Data->size() - s->Position;
    if (left == 0) {
        s->EofFlag = 1;
        return 0;
    }
    if (size == 0 || count == 0) {
        return 0;
    }
    if (static_cast<std::size_t>(size) * count > left) {
        count = static_cast<std::uint32_t>(left / size);
    }
    if (count == 0) {
        std::memcpy(buffer, s->Data->data() + s->Position, left);
        s->Position += left;
        return 1;
    }
    std::memcpy(buffer, s->Data->data() + s->Position, static_cast<std::size_t>(size) * count);
    s->Position += static_cast<std::size_t>(size) * count;
    return count;
}

int MemEof(STREAMHANDLE h)
{
    return reinterpret_cast<TestMemoryStream*>(h)->EofFlag;
}

int MemIdle(STREAMHANDLE)
{
    return 1;
}

int MemClose(STREAMHANDLE)
{
    return 0;
}

void PngWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void PngFlush(png_structp) {}

struct JpegOut {
    jpeg_destination_mgr mgr;
    Bytes* out;
    Bytes buffer;
};

void JpegInitDest(j_compress_ptr c)
{
    auto* d = reinterpret_cast<JpegOut*>(c->dest);
    d->buffer.resize(4096);
    d->mgr.next_output_byte = d->buffer.data();
    d->mgr.free_in_buffer = d->buffer.size();
}

boolean JpegEmpty(j_compress_ptr c)
{
    auto* d = reinterpret_cast<JpegOut*>(c->dest);
    d->out->insert(d->out->end(), d->buffer.begin(), d->buffer.end());
    d->mgr.next_output_byte = d->buffer.data();
    d->mgr.free_in_buffer = d->buffer.size();
    return TRUE;
}

void JpegTerm(j_compress_ptr c)
{
    auto* d = reinterpret_cast<JpegOut*>(c->dest);
    d->out->insert(d->out->end(), d->buffer.begin(), d->buffer.end() - static_cast<long>(d->mgr.free_in_buffer));
}

} // namespace

TestMemoryStream::TestMemoryStream(const Bytes& bytes) : Data(&bytes)
{
    Ref.Funcs = STREAMFUNCS{MemTell, MemSeek, MemRead, MemEof, MemIdle, MemClose};
    Ref.Handle = reinterpret_cast<STREAMHANDLE>(this);
}

void PutLe16(Bytes& b, std::uint32_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLe32(Bytes& b, std::uint32_t v)
{
    PutLe16(b, v & 0xFFFF);
    PutLe16(b, v >> 16);
}

Bytes WritePng(const PngSpec& spec)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png write failed");
    }
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(spec.width), static_cast<png_uint_32>(spec.height),
                 spec.bitDepth, spec.colorType, spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (std::size_t i = 0; i + 2 < spec.palette.size(); i += 3) {
        palette.push_back(png_color{spec.palette[i], spec.palette[i + 1], spec.palette[i + 2]});
    }
    if (!palette.empty()) {
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    }
    png_color_16 key{};
    if (!spec.trns.empty()) {
        if (spec.colorType == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, spec.trns.data(), static_cast<int>(spec.trns.size()), nullptr);
        } else {
            key.gray = static_cast<png_uint_16>(spec.trns[0]);
            key.red = static_cast<png_uint_16>(spec.trns[0]);
            key.green = static_cast<png_uint_16>(spec.trns.size() > 1 ? spec.trns[1] : 0);
            key.blue = static_cast<png_uint_16>(spec.trns.size() > 2 ? spec.trns[2] : 0);
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    png_write_info(png, info);
    if (spec.bitDepth == 16) {
        png_set_swap(png); // samples are given little-endian
    }
    std::size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<png_bytep> rows;
    for (int y = 0; y < spec.height; ++y) {
        rows.push_back(const_cast<png_bytep>(spec.samples.data() + static_cast<std::size_t>(y) * rowBytes));
    }
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes WriteJpeg(int width, int height, int components, const Bytes& samples, bool progressive, int quality)
{
    Bytes out;
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    JpegOut dest;
    dest.out = &out;
    dest.mgr.init_destination = JpegInitDest;
    dest.mgr.empty_output_buffer = JpegEmpty;
    dest.mgr.term_destination = JpegTerm;
    c.dest = &dest.mgr;
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (progressive) {
        jpeg_simple_progression(&c);
    }
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + static_cast<std::size_t>(c.next_scanline) * width * components);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return out;
}

Bytes DecodeJpegReference(const Bytes& file, int* width, int* height, int* components)
{
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    *width = static_cast<int>(d.output_width);
    *height = static_cast<int>(d.output_height);
    *components = d.output_components;
    std::size_t row = static_cast<std::size_t>(d.output_width) * d.output_components;
    Bytes out(row * d.output_height);
    while (d.output_scanline < d.output_height) {
        JSAMPROW r = out.data() + d.output_scanline * row;
        jpeg_read_scanlines(&d, &r, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return out;
}

Bytes WriteBmp(const BmpSpec& spec)
{
    Bytes info;
    PutLe32(info, static_cast<std::uint32_t>(spec.headerSize));
    PutLe32(info, static_cast<std::uint32_t>(spec.width));
    PutLe32(info, static_cast<std::uint32_t>(spec.height));
    PutLe16(info, 1);
    PutLe16(info, static_cast<std::uint32_t>(spec.bits));
    PutLe32(info, static_cast<std::uint32_t>(spec.compression));
    PutLe32(info, static_cast<std::uint32_t>(spec.pixels.size()));
    PutLe32(info, 2835);
    PutLe32(info, 2835);
    PutLe32(info, 0);
    PutLe32(info, 0);
    if (spec.headerSize >= 52) {
        for (std::uint32_t m : spec.masks) {
            PutLe32(info, m);
        }
    }
    while (info.size() < static_cast<std::size_t>(spec.headerSize)) {
        info.push_back(0);
    }
    for (std::uint32_t e : spec.table) {
        PutLe32(info, e);
    }
    Bytes out{'B', 'M'};
    PutLe32(out, static_cast<std::uint32_t>(14 + info.size() + spec.pixels.size()));
    PutLe32(out, 0);
    PutLe32(out, static_cast<std::uint32_t>(14 + info.size()));
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), spec.pixels.begin(), spec.pixels.end());
    return out;
}

Bytes WriteTga(int type, int width, int height, int depth, int descriptor, const Bytes& payload, int mapFirst,
               int mapLength, int mapEntryBits, bool footer)
{
    Bytes out;
    out.push_back(0);
    out.push_back(mapLength > 0 ? 1 : 0);
    out.push_back(static_cast<std::uint8_t>(type));
    PutLe16(out, static_cast<std::uint32_t>(mapFirst));
    PutLe16(out, static_cast<std::uint32_t>(mapLength));
    out.push_back(static_cast<std::uint8_t>(mapEntryBits));
    PutLe16(out, 0);
    PutLe16(out, 0);
    PutLe16(out, static_cast<std::uint32_t>(width));
    PutLe16(out, static_cast<std::uint32_t>(height));
    out.push_back(static_cast<std::uint8_t>(depth));
    out.push_back(static_cast<std::uint8_t>(descriptor));
    out.insert(out.end(), payload.begin(), payload.end());
    if (footer) {
        PutLe32(out, 0);
        PutLe32(out, 0);
        const char sig[] = "TRUEVISION-XFILE.";
        out.insert(out.end(), sig, sig + 18);
    }
    return out;
}

Bytes WriteDds(int width, int height, std::uint32_t pfFlags, std::uint32_t fourcc, int bits, std::uint32_t r,
               std::uint32_t g, std::uint32_t b, std::uint32_t a, const Bytes& payload, int pitch)
{
    Bytes out{'D', 'D', 'S', ' '};
    out.resize(128, 0);
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    };
    put(4, 124);
    put(8, 0x1007 | (pitch >= 0 ? 0x8 : 0));
    put(12, static_cast<std::uint32_t>(height));
    put(16, static_cast<std::uint32_t>(width));
    put(20, static_cast<std::uint32_t>(pitch >= 0 ? pitch : 0));
    put(76, 32);
    put(80, pfFlags);
    put(84, fourcc);
    put(88, static_cast<std::uint32_t>(bits));
    put(92, r);
    put(96, g);
    put(100, b);
    put(104, a);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes WriteBgra(std::uint32_t depth, int width, int height, const Bytes& pixels)
{
    Bytes out{'B', 'G', 'R', 'A'};
    PutLe32(out, depth);
    PutLe32(out, static_cast<std::uint32_t>(width));
    PutLe32(out, static_cast<std::uint32_t>(height));
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

void WriteFileBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
