// Owns the system font source: fontconfig matches a face name and character
// set to a font file, FreeType sizes it the way GDI sizes cells and renders
// its glyphs, glibc iconv turns code page codes into Unicode.
#include "platform/gdi/font_source.h"

#include "platform/kernel/codepage.h"

#include <cmath>
#include <cstring>
#include <iconv.h>
#include <mutex>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

namespace {

constexpr std::uint32_t kNotLooked = 0xFFFFFFFFu;

int CodePageOf(int charSet)
{
    if (charSet == HANGEUL_CHARSET) return 949;
    if (charSet == SHIFTJIS_CHARSET) return 932;
    return static_cast<int>(GetACP());
}

// Unicode of a code page code, 0 when the code page has none. Looked up once
// per code and kept: a string's glyphs are asked for again and again.
std::uint32_t ToUnicode(int codePage, UINT code)
{
    static std::mutex mutex;
    static std::vector<std::uint32_t> tables[2];
    if (code < 0x80) return code;
    if (code > 0xFFFF) return 0;
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::uint32_t>& table = tables[codePage == 949 ? 1 : 0];
    if (table.empty()) table.assign(0x10000, kNotLooked);
    std::uint32_t& slot = table[code];
    if (slot != kNotLooked) return slot;
    slot = 0;
    iconv_t cd = iconv_open("UTF-32LE", codePage == 949 ? "CP949" : "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
    char bytes[2];
    std::size_t inLeft = 0;
    if (code < 0x100) {
        bytes[inLeft++] = static_cast<char>(code);
    } else {
        bytes[inLeft++] = static_cast<char>(code >> 8);
        bytes[inLeft++] = static_cast<char>(code & 0xFF);
    }
    std::uint8_t out[8] = {};
    char* in = bytes;
    char* o = reinterpret_cast<char*>(out);
    std::size_t outLeft = sizeof out;
    if (iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0 && outLeft == 4) {
        slot = out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<std::uint32_t>(out[3]) << 24);
    }
    iconv_close(cd);
    return slot;
}

class FreeTypeFace final : public FontFace {
public:
    ~FreeTypeFace() override
    {
        if (face_ != nullptr) FT_Done_Face(face_);
        if (library_ != nullptr) FT_Done_FreeType(library_);
    }

    bool Open(const char* path, int index, const FontRequest& request)
    {
        if (FT_Init_FreeType(&library_) != 0) return false;
        if (FT_New_Face(library_, path, index, &face_) != 0) {
            face_ = nullptr;
            return false;
        }
        FT_Select_Charmap(face_, FT_ENCODING_UNICODE);
        codePage_ = CodePageOf(request.charSet);
        std::memset(&metrics_, 0, sizeof metrics_);
        if (!(FT_IS_SCALABLE(face_) ? SizeOutlines(request) : SizeStrikes(request))) return false;

        const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        int faceWeight = os2 != nullptr && os2->usWeightClass != 0 ? os2->usWeightClass
                         : (face_->style_flags & FT_STYLE_FLAG_BOLD) != 0 ? 700
                                                                           : FW_NORMAL;
        // GDI thickens a face that is lighter than asked by one pixel.
        embolden_ = request.weight >= FW_SEMIBOLD && faceWeight < FW_SEMIBOLD;
        if (request.italic && (face_->style_flags & FT_STYLE_FLAG_ITALIC) == 0) {
            FT_Matrix shear{0x10000, 0x366A, 0, 0x10000};  // about 12 degrees
            FT_Set_Transform(face_, &shear, nullptr);
        }
        const int extra = embolden_ ? 1 : 0;
        metrics_.tmMaxCharWidth += extra;
        metrics_.tmAveCharWidth += extra;
        metrics_.tmWeight = embolden_ ? request.weight : faceWeight;
        metrics_.tmItalic = request.italic ? 1 : 0;
        metrics_.tmCharSet = static_cast<BYTE>(request.charSet);
        metrics_.tmPitchAndFamily = FT_IS_FIXED_WIDTH(face_) ? 0 : 1;
        return true;
    }

    void GetMetrics(TEXTMETRICA* out) const override { *out = metrics_; }

    bool RenderGlyph(UINT code, bool grey, SourceGlyph* out) override
    {
        const std::uint32_t unicode = ToUnicode(codePage_, code);
        FT_UInt index = unicode != 0 ? FT_Get_Char_Index(face_, unicode) : 0;
        const FT_Int32 flags =
            FT_LOAD_RENDER | (grey ? FT_LOAD_TARGET_NORMAL : (FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME));
        if (FT_Load_Glyph(face_, index, flags) != 0) {
            if (index == 0 || FT_Load_Glyph(face_, 0, flags) != 0) return false;
        }
        const FT_GlyphSlot slot = face_->glyph;
        const FT_Bitmap& b = slot->bitmap;
        *out = SourceGlyph{};
        out->advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (b.width == 0 || b.rows == 0) {
            if (embolden_) ++out->advance;
            return true;
        }
        if (b.pixel_mode != FT_PIXEL_MODE_MONO && b.pixel_mode != FT_PIXEL_MODE_GRAY) return false;
        const int w = static_cast<int>(b.width);
        const int h = static_cast<int>(b.rows);
        const int extra = embolden_ ? 1 : 0;
        out->width = w + extra;
        out->rows = h;
        out->left = slot->bitmap_left;
        out->top = slot->bitmap_top;
        out->advance += extra;
        out->levels.assign(static_cast<std::size_t>(out->width) * h, 0);
        const int greys = b.num_grays > 1 ? b.num_grays - 1 : 255;
        for (int y = 0; y < h; ++y) {
            const unsigned char* row =
                b.pitch >= 0 ? b.buffer + static_cast<std::ptrdiff_t>(y) * b.pitch
                             : b.buffer + static_cast<std::ptrdiff_t>(h - 1 - y) * -b.pitch;
            std::uint8_t* dst = out->levels.data() + static_cast<std::size_t>(y) * out->width;
            for (int x = 0; x < w; ++x) {
                int level;
                if (b.pixel_mode == FT_PIXEL_MODE_MONO) {
                    level = (row[x >> 3] >> (7 - (x & 7))) & 1 ? (grey ? 16 : 1) : 0;
                } else {
                    const int v = row[x];
                    level = grey ? (v * 16 + greys / 2) / greys : (v * 2 >= greys ? 1 : 0);
                }
                dst[x] = static_cast<std::uint8_t>(level);
            }
            // Synthetic bold: every pixel also inks its right neighbour.
            for (int x = out->width - 1; x > 0 && embolden_; --x)
                if (dst[x - 1] > dst[x]) dst[x] = dst[x - 1];
        }
        return true;
    }

private:
    // Cell height = the face's OS/2 ascent plus descent, as GDI sizes a
    // positive height; a negative height is the em size itself.
    bool SizeOutlines(const FontRequest& request)
    {
        const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        double ascent = face_->ascender;
        double descent = -face_->descender;
        if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
            ascent = os2->usWinAscent;
            descent = os2->usWinDescent;
        }
        const double em = face_->units_per_EM > 0 ? face_->units_per_EM : 1000;
        if (ascent + descent <= 0) {
            ascent = em * 0.8;
            descent = em * 0.2;
        }
        const double span = ascent + descent;
        const double ppem = request.height > 0 ? request.height * em / span : -request.height;
        const int height = request.height > 0 ? request.height : static_cast<int>(std::lround(ppem * span / em));
        FT_Size_RequestRec size{FT_SIZE_REQUEST_TYPE_NOMINAL, 0, static_cast<FT_Long>(std::lround(ppem * 64)), 0, 0};
        if (size.height <= 0 || FT_Request_Size(face_, &size) != 0) return false;
        metrics_.tmHeight = height;
        metrics_.tmAscent = static_cast<LONG>(std::lround(height * ascent / span));
        metrics_.tmDescent = height - metrics_.tmAscent;
        metrics_.tmInternalLeading = height - static_cast<LONG>(std::lround(ppem));
        metrics_.tmMaxCharWidth = static_cast<LONG>((face_->size->metrics.max_advance + 63) >> 6);
        metrics_.tmAveCharWidth = os2 != nullptr && os2->xAvgCharWidth > 0
                                      ? static_cast<LONG>(std::lround(os2->xAvgCharWidth * ppem / em))
                                      : metrics_.tmMaxCharWidth / 2;
        return true;
    }

    // Bitmap faces cannot scale: the largest strike not taller than asked,
    // else the smallest.
    bool SizeStrikes(const FontRequest& request)
    {
        if (face_->num_fixed_sizes <= 0) return false;
        const int wanted = request.height < 0 ? -request.height : request.height;
        int best = -1;
        int smallest = 0;
        for (int i = 0; i < face_->num_fixed_sizes; ++i) {
            const int h = face_->available_sizes[i].height;
            if (h <= wanted && (best < 0 || h > face_->available_sizes[best].height)) best = i;
            if (h < face_->available_sizes[smallest].height) smallest = i;
        }
        if (FT_Select_Size(face_, best >= 0 ? best : smallest) != 0) return false;
        const FT_Size_Metrics& m = face_->size->metrics;
        metrics_.tmAscent = static_cast<LONG>((m.ascender + 63) >> 6);
        metrics_.tmDescent = static_cast<LONG>((-m.descender + 63) >> 6);
        metrics_.tmHeight = metrics_.tmAscent + metrics_.tmDescent;
        metrics_.tmMaxCharWidth = static_cast<LONG>((m.max_advance + 63) >> 6);
        metrics_.tmAveCharWidth = metrics_.tmMaxCharWidth;
        return true;
    }

    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    int codePage_ = 932;
    bool embolden_ = false;
    TEXTMETRICA metrics_{};
};

// The family fontconfig is asked for: the library's default face is a
// Japanese monospace face; no face at all is the system's default.
std::string FamilyFor(const FontRequest& request)
{
    if (request.face == "\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF") return "monospace";
    if (request.face.empty()) return request.fixedPitch ? "monospace" : "sans-serif";
    return request.face;
}

// Characters a font must have to serve a character set.
std::vector<FcChar32> ProbesFor(int charSet)
{
    if (charSet == SHIFTJIS_CHARSET) return {0x3042, 0x30A2, 0x6F22};  // hiragana, katakana, kanji
    if (charSet == HANGEUL_CHARSET) return {0xAC00, 0xD55C};
    return {};
}

const char* LanguageFor(int charSet)
{
    const int codePage = CodePageOf(charSet);
    return codePage == 949 ? "ko" : codePage == 932 ? "ja" : nullptr;
}

bool Covers(FcPattern* font, const std::vector<FcChar32>& probes)
{
    FcCharSet* set = nullptr;
    if (FcPatternGetCharSet(font, FC_CHARSET, 0, &set) != FcResultMatch) return probes.empty();
    for (FcChar32 c : probes)
        if (!FcCharSetHasChar(set, c)) return false;
    return true;
}

class SystemSource final : public FontSource {
public:
    std::unique_ptr<FontFace> Open(const FontRequest& request) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ready_) ready_ = FcInit() == FcTrue;
        if (!ready_) return nullptr;
        FcPattern* pattern = FcPatternCreate();
        const std::string family = FamilyFor(request);
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(request.weight));
        FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        if (request.fixedPitch) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
        if (const char* lang = LanguageFor(request.charSet); lang != nullptr) {
            FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
        }
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcFontSet* set = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
        FcPatternDestroy(pattern);
        if (set == nullptr) return nullptr;
        // A character set is served only by a font that has its characters,
        // as GDI picks a face of the set; the default set takes the best match.
        const std::vector<FcChar32> probes = ProbesFor(request.charSet);
        std::unique_ptr<FontFace> face;
        for (int i = 0; i < set->nfont && face == nullptr; ++i) {
            FcPattern* font = set->fonts[i];
            FcChar8* file = nullptr;
            int index = 0;
            if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) continue;
            FcPatternGetInteger(font, FC_INDEX, 0, &index);
            if (!Covers(font, probes)) continue;
            face = OpenFreeTypeFace(reinterpret_cast<const char*>(file), index, request);
        }
        FcFontSetDestroy(set);
        return face;
    }

private:
    std::mutex mutex_;
    bool ready_ = false;
};

} // namespace

std::unique_ptr<FontFace> OpenFreeTypeFace(const char* path, int index, const FontRequest& request)
{
    auto face = std::make_unique<FreeTypeFace>();
    if (path == nullptr || !face->Open(path, index, request)) return nullptr;
    return face;
}

FontSource& SystemFontSource()
{
    static SystemSource source;
    return source;
}
