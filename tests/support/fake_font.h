// A font source of hand-made glyphs for the font system's tests: fixed
// metrics, glyphs drawn from text rows, a record of every font asked for and
// character sets it refuses, installed in the GDI layer while it lives.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/gdi/font_source.h"

class FakeFontSource final : public FontSource {
public:
    FakeFontSource();
    ~FakeFontSource() override;
    FakeFontSource(const FakeFontSource&) = delete;
    FakeFontSource& operator=(const FakeFontSource&) = delete;

    // Rows of '.' (no ink), '#' (full ink) or a hex digit 1-9/a-g (grey level 1-16).
    void AddGlyph(unsigned code, int left, int top, int advance, const std::vector<std::string>& rows);
    // A glyph with no box, only its advance.
    void AddBlank(unsigned code, int advance);

    std::unique_ptr<FontFace> Open(const FontRequest& request) override;

    TEXTMETRICA metrics{};
    std::vector<int> refusedCharSets;  // requests with these sets are refused
    bool refuseAll = false;
    std::vector<FontRequest> requests;
    std::map<unsigned, SourceGlyph> glyphs;
    SourceGlyph missing;  // for codes without a glyph
};
