// A warm 20-character string, plain and anti-aliased, half and full width,
// drawn by the library on a 640x480 32-bit back screen through the software
// renderer and through Direct3D, beside SDL2_ttf's cached blended glyphs
// (each glyph rendered once into an SDL surface, then blitted) onto a
// 640x480 ARGB8888 surface, with the same font file. bench/text_goals.py
// prints the ratios.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/api.h"
#include "core/sysstate.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/font/font.h"
#include "graphics/screen.h"

namespace {

constexpr int kStrings = 100;
const char kHalfWidth[] = "Best:1234sec Stage30";  // 20 characters
// "合計未出現未クリア" twice, then "合計": in code page 932 for the library, in UTF-8 for SDL2_ttf.
const char kFullWidth[] = "\x8D\x87\x8C\x76\x96\xA2\x8F\x6F\x8C\xBB\x96\xA2\x83\x4E\x83\x8A\x83\x41\x8D\x87\x8C\x76\x96\xA2\x8F\x6F\x8C\xBB\x96\xA2\x83\x4E\x83\x8A\x83\x41\x8D\x87\x8C\x76";
const char32_t kFullWidthChars[] = U"合計未出現未クリア合計未出現未クリア合計";

int TextX(int i) { return (i * 37) % 300; }
int TextY(int i) { return (i * 53) % 460; }

// The library started with one renderer; asking for the other restarts it.
// It is not ended at exit: ending it a second time in one process has
// crashed now and then in the shutdown, which no case measures.
class Library {
public:
    static Library& With(bool direct3d)
    {
        static Library lib;
        if (!lib.started_ || lib.direct3d_ != direct3d) lib.Start(direct3d);
        return lib;
    }

    int Font(int type)
    {
        auto it = fonts_.find(type);
        if (it != fonts_.end()) return it->second;
        const int font = CreateFontToHandle(nullptr, 16, 6, type, -1, -1, 0, -1, 0);
        if (font == -1) std::abort();
        fonts_[type] = font;
        return font;
    }

private:
    void Start(bool direct3d)
    {
        if (started_) EndLibrary();
        fonts_.clear();
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        if (folder_.empty()) {
            char folder[] = "/tmp/text_compare_XXXXXX";
            if (mkdtemp(folder) == nullptr || chdir(folder) != 0) std::abort();
            folder_ = folder;
        }
        SysState.DoubleStartAllowed = 1;
        // A software start leaves its request behind.
        ScreenState.GdiOnly = 0;
        ScreenState.SoftwareRendering = 0;
        ScreenState.SoftwareStartRequest = 0;
        SetScreenMode(640, 480, 32, 60);
        SelectWindowMode(1);
        SelectDirect3D(direct3d ? 1 : 0);
        if (StartLibrary() != 0) std::abort();
        SysState.ActiveFlag = 1;
        SelectDrawTarget(-2);
        started_ = true;
        direct3d_ = direct3d;
    }

    bool started_ = false;
    bool direct3d_ = false;
    std::string folder_;
    std::map<int, int> fonts_;
};

// One round of strings; kept out of line so that callgrind can count it alone
// (--toggle-collect='*DrawLibraryStrings*').
[[gnu::noinline]] void DrawLibraryStrings(bool direct3d, int font, DWORD colour, const char* text)
{
    for (int i = 0; i < kStrings; ++i) DrawTextWithFontHandle(TextX(i), TextY(i), text, colour, font, 0, 0);
    // The rasteriser draws the batch's quads here.
    if (direct3d) G_D3D_FlushCurrentVertexBatch();
}

void LibraryStrings(benchmark::State& state, bool direct3d, int type, const char* text)
{
    Library& lib = Library::With(direct3d);
    const int font = lib.Font(type);
    const DWORD colour = GetColorValue(255, 255, 255);
    DrawTextWithFontHandle(0, 0, text, colour, font, 0, 0);  // warms the cache
    for (auto _ : state) {
        DrawLibraryStrings(direct3d, font, colour, text);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kStrings * 20);
}

// The file the library opens for its default face, asked of fontconfig the same way.
std::string DefaultFaceFile()
{
    FcInit();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("monospace"));
    FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    std::string path;
    FcChar8* file = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        path = reinterpret_cast<const char*>(file);
    }
    if (match != nullptr) FcPatternDestroy(match);
    return path;
}

// SDL2_ttf at the size whose line height is the library's 16-pixel font's cell height.
struct TtfFont {
    TTF_Font* font = nullptr;
    SDL_Surface* screen = nullptr;
    std::map<char32_t, SDL_Surface*> glyphs;

    TtfFont()
    {
        if (TTF_Init() != 0) std::abort();
        const std::string file = DefaultFaceFile();
        const int cellHeight = ReadFontCellHeight();
        for (int pt = 8; pt <= 32; ++pt) {
            TTF_Font* f = TTF_OpenFont(file.c_str(), pt);
            if (f == nullptr) std::abort();
            if (TTF_FontHeight(f) >= cellHeight || pt == 32) {
                font = f;
                break;
            }
            TTF_CloseFont(f);
        }
        screen = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 32, SDL_PIXELFORMAT_ARGB8888);
        if (screen == nullptr) std::abort();
    }

    static int ReadFontCellHeight()
    {
        Library& lib = Library::With(false);
        const FONTREC* f = GetFontRecord(lib.Font(0));
        return f != nullptr ? f->CellHeight : 16;
    }

    SDL_Surface* Glyph(char32_t c)
    {
        auto it = glyphs.find(c);
        if (it != glyphs.end()) return it->second;
        SDL_Surface* s = TTF_RenderGlyph32_Blended(font, static_cast<Uint32>(c), SDL_Color{255, 255, 255, 255});
        glyphs[c] = s;
        return s;
    }
};

TtfFont& Ttf()
{
    static TtfFont ttf;
    return ttf;
}

// One round of strings, out of line for callgrind (--toggle-collect='*DrawTtfStrings*').
[[gnu::noinline]] void DrawTtfStrings(TtfFont& ttf, const std::u32string& text, const std::vector<int>& advances)
{
    for (int i = 0; i < kStrings; ++i) {
        int x = TextX(i);
        for (std::size_t k = 0; k < text.size(); ++k) {
            // The glyph cache lookup is part of the work, as each character is looked up in a draw.
            SDL_Surface* g = ttf.Glyph(text[k]);
            if (g != nullptr) {
                SDL_Rect dst{x, TextY(i), g->w, g->h};
                SDL_BlitSurface(g, nullptr, ttf.screen, &dst);
            }
            x += advances[k];
        }
    }
}

void TtfStrings(benchmark::State& state, const std::u32string& text)
{
    TtfFont& ttf = Ttf();
    std::vector<int> advances;
    for (char32_t c : text) {
        ttf.Glyph(c);
        int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
        TTF_GlyphMetrics32(ttf.font, static_cast<Uint32>(c), &minx, &maxx, &miny, &maxy, &advance);
        advances.push_back(advance);
    }
    for (auto _ : state) {
        DrawTtfStrings(ttf, text, advances);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kStrings * 20);
}

void BM_Ttf_Half(benchmark::State& s) { TtfStrings(s, U"Best:1234sec Stage30"); }
void BM_Ttf_Full(benchmark::State& s) { TtfStrings(s, kFullWidthChars); }
void BM_Soft_Plain_Half(benchmark::State& s) { LibraryStrings(s, false, 0, kHalfWidth); }
void BM_Soft_Plain_Full(benchmark::State& s) { LibraryStrings(s, false, 0, kFullWidth); }
void BM_Soft_AA_Half(benchmark::State& s) { LibraryStrings(s, false, FONTTYPE_ANTIALIAS, kHalfWidth); }
void BM_Soft_AA_Full(benchmark::State& s) { LibraryStrings(s, false, FONTTYPE_ANTIALIAS, kFullWidth); }
void BM_D3D_Plain_Half(benchmark::State& s) { LibraryStrings(s, true, 0, kHalfWidth); }
void BM_D3D_Plain_Full(benchmark::State& s) { LibraryStrings(s, true, 0, kFullWidth); }
void BM_D3D_AA_Half(benchmark::State& s) { LibraryStrings(s, true, FONTTYPE_ANTIALIAS, kHalfWidth); }
void BM_D3D_AA_Full(benchmark::State& s) { LibraryStrings(s, true, FONTTYPE_ANTIALIAS, kFullWidth); }

// The software cases first: the library restarts once, for Direct3D.
BENCHMARK(BM_Ttf_Half)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ttf_Full)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Soft_Plain_Half)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Soft_Plain_Full)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Soft_AA_Half)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Soft_AA_Full)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_D3D_Plain_Half)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_D3D_Plain_Full)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_D3D_AA_Half)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_D3D_AA_Full)->Unit(benchmark::kMicrosecond);

}  // namespace
