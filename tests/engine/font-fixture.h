// Fonts built in memory for the font and text tests: every glyph a solid
// block of a known size, advance and kerning, so that layout results can be
// computed by hand.
#ifndef FONT_FIXTURE_H
#define FONT_FIXTURE_H

#include <string.h>

#include <vector>

#include "kd-font.h"
#include "kd-internal.h"

// A character's glyph, and a glyph's kerning before another character,
// found by the character's unsigned code, as the engine finds them for a
// text (a plain char is signed here: an accented letter would index
// before the table).
inline kd_glyph_t& Glyph(const kd_font_t& f, unsigned char c) { return f.glyphs[c]; }
inline int8_t& Kerning(const kd_glyph_t& g, unsigned char next) { return g.kerning[next]; }

// A LATIN-1 font: each printable glyph c is `w` x `h` opaque pixels whose
// red byte is c, advance `adv`; the space advances `space` and has no
// pixels. Base = size = line height = h unless given.
inline void MakeBlockFont(kd_font_t* f, const char* name, int w = 6, int h = 10, int adv = 8, int space = 4) {
    memset(f, 0, sizeof *f);
    f->name = nStringDuplicate(name);
    f->glyph_count = 256;
    f->glyphs = KDI_AllocGlyphs(256);
    f->size = h;
    f->base = h;
    f->line_height = h + 2;
    f->draw_scale = 1.0f;
    std::vector<uint8_t> px((size_t)w * h * 4);
    for (int c = 33; c < 256; c++) {
        for (size_t i = 0; i < px.size(); i += 4) {
            px[i] = (uint8_t)c;
            px[i + 1] = 255;
            px[i + 2] = 255;
            px[i + 3] = 255;
        }
        KDI_SetGlyphPixels(&f->glyphs[c], w, h, px.data());
        f->glyphs[c].advance = (int16_t)adv;
        f->glyphs[c].kerning = (int8_t*)calloc(256, 1);
    }
    Glyph(*f, ' ').advance = (int16_t)space;
    Glyph(*f, ' ').kerning = (int8_t*)calloc(256, 1);
}

inline void FreeFont(kd_font_t* f) {
    KDI_FreeGlyphs(f->glyphs, f->glyph_count);
    free(f->name);
    free(f->atlas.name);
    free(f->atlas.pixels);
    memset(f, 0, sizeof *f);
}

#endif
