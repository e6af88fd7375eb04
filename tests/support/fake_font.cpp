// Owns the hand-made font source of the font system's tests.
#include "support/fake_font.h"

#include <algorithm>

namespace {

class FakeFace final : public FontFace {
public:
    explicit FakeFace(const FakeFontSource* source) : source_(source) {}
    void GetMetrics(TEXTMETRICA* out) const override { *out = source_->metrics; }
    bool RenderGlyph(UINT code, bool grey, SourceGlyph* out) override
    {
        auto it = source_->glyphs.find(code);
        *out = it != source_->glyphs.end() ? it->second : source_->missing;
        if (!grey)
            for (auto& l : out->levels) l = l > 0 ? 1 : 0;
        return true;
    }

private:
    const FakeFontSource* source_;
};

int Level(char c)
{
    if (c == '#') return 16;
    if (c >= '1' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'g') return c - 'a' + 10;
    return 0;
}

} // namespace

FakeFontSource::FakeFontSource()
{
    metrics.tmHeight = 16;
    metrics.tmAscent = 13;
    metrics.tmDescent = 3;
    metrics.tmMaxCharWidth = 16;
    metrics.tmAveCharWidth = 8;
    missing.width = 4;
    missing.rows = 4;
    missing.top = 8;
    missing.advance = 6;
    missing.levels.assign(16, 16);
    SetFontSourceForTest(this);
}

FakeFontSource::~FakeFontSource()
{
    SetFontSourceForTest(nullptr);
}

void FakeFontSource::AddGlyph(unsigned code, int left, int top, int advance, const std::vector<std::string>& rows)
{
    SourceGlyph g;
    g.rows = static_cast<int>(rows.size());
    for (const auto& r : rows) g.width = std::max<int>(g.width, static_cast<int>(r.size()));
    g.left = left;
    g.top = top;
    g.advance = advance;
    g.levels.assign(static_cast<std::size_t>(g.width) * g.rows, 0);
    for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) g.levels[y * g.width + x] = Level(rows[y][x]);
    glyphs[code] = g;
}

void FakeFontSource::AddBlank(unsigned code, int advance)
{
    SourceGlyph g;
    g.advance = advance;
    glyphs[code] = g;
}

std::unique_ptr<FontFace> FakeFontSource::Open(const FontRequest& request)
{
    requests.push_back(request);
    if (refuseAll || std::find(refusedCharSets.begin(), refusedCharSets.end(), request.charSet) != refusedCharSets.end())
        return nullptr;
    return std::make_unique<FakeFace>(this);
}
