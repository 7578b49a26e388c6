// Renders the Latin-1 glyphs of a TrueType font into a font source as the
// engine's font generation reads it: one PNG strip in which the glyphs stand
// side by side on a common baseline, separated by empty columns, and the
// XML list of those glyphs in strip order.
//
//   gen-font-source <font.ttf> <pixel size> <out.png> <out.sft.xml> [line padding] [outline]
//
// "outline" rings each glyph with a thin dark line and a soft shadow below
// it, so that a white text reads on a pale sky or a cloud; a tinted text
// keeps its colour inside the ring. The ring stays below the engine's
// kerning threshold, so the letters pair as they do without it.
//
// Each glyph node says how many column blocks the glyph is made of ("span",
// counted here from the rendered pixels, so a '"' is one glyph of two
// blocks) and how much wider than its pixels its advance is ("spacing").
// Glyphs without pixels (the spaces) get span 0 and their whole advance.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

struct Glyph {
    int code = 0;
    int width = 0, rows = 0, left = 0, top = 0, advance = 0;
    std::vector<unsigned char> alpha;
    std::vector<unsigned char> ring;  // the outline's coverage, when there is one
};

// Number of runs of non-empty columns in a glyph's coverage (its ring's
// too: the strip is cut where both are empty).
int CountColumnBlocks(const Glyph& g) {
    int blocks = 0;
    bool in_block = false;
    for (int x = 0; x < g.width; x++) {
        bool used = false;
        for (int y = 0; y < g.rows && !used; y++) {
            const size_t i = (size_t)y * g.width + x;
            used = g.alpha[i] != 0 || (!g.ring.empty() && g.ring[i] != 0);
        }
        if (used && !in_block) blocks++;
        in_block = used;
    }
    return blocks;
}

// Drops empty columns at the sides (the strip is cut by columns, so the
// pixels a glyph starts with are what the engine measures).
void TrimColumns(Glyph& g) {
    auto empty = [&](int x) {
        for (int y = 0; y < g.rows; y++)
            if (g.alpha[(size_t)y * g.width + x]) return false;
        return true;
    };
    int x0 = 0, x1 = g.width;
    while (x0 < x1 && empty(x0)) x0++;
    while (x1 > x0 && empty(x1 - 1)) x1--;
    if (x0 == 0 && x1 == g.width) return;
    std::vector<unsigned char> a((size_t)(x1 - x0) * g.rows);
    for (int y = 0; y < g.rows; y++)
        for (int x = x0; x < x1; x++) a[(size_t)y * (x1 - x0) + (x - x0)] = g.alpha[(size_t)y * g.width + x];
    g.left += x0;
    g.width = x1 - x0;
    g.alpha.swap(a);
}

// The ring round a glyph: how far the outline reaches and how far the
// shadow falls below and to the right, in pixels; their opacity; and the
// colour of both.
const int kRing = 1, kShadowDx = 1, kShadowDy = 2;
const float kRingAlpha = 0.55f, kShadowAlpha = 0.35f;
const unsigned char kRingColour = 40;

// Grows a glyph by its ring: the glyph's own coverage stays in `alpha`
// (moved into the larger box), the ring's in `ring`.
void AddRing(Glyph& g, std::vector<unsigned char>& ring) {
    const int left = kRing, right = kRing + kShadowDx, top = kRing, bottom = kRing + kShadowDy;
    const int w = g.width + left + right, h = g.rows + top + bottom;
    std::vector<unsigned char> a((size_t)w * h, 0);
    for (int y = 0; y < g.rows; y++)
        for (int x = 0; x < g.width; x++) a[(size_t)(y + top) * w + x + left] = g.alpha[(size_t)y * g.width + x];
    auto at = [&](int x, int y) { return x < 0 || y < 0 || x >= w || y >= h ? 0 : a[(size_t)y * w + x]; };
    ring.assign((size_t)w * h, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int near = 0;
            for (int dy = -kRing; dy <= kRing; dy++)
                for (int dx = -kRing; dx <= kRing; dx++) near = std::max(near, (int)at(x + dx, y + dy));
            const float r = std::max(kRingAlpha * near, kShadowAlpha * at(x - kShadowDx, y - kShadowDy));
            ring[(size_t)y * w + x] = (unsigned char)std::lround(r);
        }
    g.alpha.swap(a);
    g.width = w;
    g.rows = h;
    g.left -= left;
    g.top += top;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: %s <font.ttf> <pixel size> <out.png> <out.sft.xml> [line padding]\n", argv[0]);
        return 2;
    }
    const char* ttf = argv[1];
    int px = atoi(argv[2]);
    const char* png_path = argv[3];
    const char* xml_path = argv[4];
    int line_padding = argc > 5 ? atoi(argv[5]) : 2;
    const bool outline = argc > 6 && !strcmp(argv[6], "outline");
    if (px < 4 || px > 256) {
        fprintf(stderr, "pixel size out of range\n");
        return 2;
    }
    FT_Library lib;
    FT_Face face;
    if (FT_Init_FreeType(&lib) || FT_New_Face(lib, ttf, 0, &face) || FT_Set_Pixel_Sizes(face, 0, (FT_UInt)px)) {
        fprintf(stderr, "cannot open %s\n", ttf);
        return 1;
    }
    std::vector<Glyph> glyphs;
    for (int code = 32; code <= 255; code++) {
        if (code >= 127 && code < 160) continue;  // Latin-1 control characters
        FT_UInt index = FT_Get_Char_Index(face, (FT_ULong)code);
        if (!index || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL)) continue;
        FT_GlyphSlot s = face->glyph;
        Glyph g;
        g.code = code;
        g.width = (int)s->bitmap.width;
        g.rows = (int)s->bitmap.rows;
        g.left = s->bitmap_left;
        g.top = s->bitmap_top;
        g.advance = (int)std::lround(s->advance.x / 64.0);
        g.alpha.resize((size_t)g.width * g.rows);
        for (int y = 0; y < g.rows; y++)
            memcpy(&g.alpha[(size_t)y * g.width], s->bitmap.buffer + (ptrdiff_t)y * s->bitmap.pitch, (size_t)g.width);
        TrimColumns(g);
        if (outline && g.width) AddRing(g, g.ring);
        glyphs.push_back(std::move(g));
    }
    int ascent = 0, descent = 0;
    for (const Glyph& g : glyphs) {
        if (g.width == 0) continue;
        if (g.top > ascent) ascent = g.top;
        if (g.rows - g.top > descent) descent = g.rows - g.top;
    }
    const int gap = 2;
    int strip_w = gap, strip_h = ascent + descent + 2;
    for (const Glyph& g : glyphs)
        if (g.width) strip_w += g.width + gap;
    std::vector<unsigned char> rgba((size_t)strip_w * strip_h * 4, 0);
    FILE* xml = fopen(xml_path, "w");
    if (!xml) {
        fprintf(stderr, "cannot write %s\n", xml_path);
        return 1;
    }
    std::string png_name = png_path;
    size_t slash = png_name.find_last_of('/');
    if (slash != std::string::npos) png_name = png_name.substr(slash + 1);
    fprintf(xml,
            "<root>\n<array id=\"settings\">\n<node id=\"INPUT\" bitmap=\"%s\"/>\n<node id=\"SPACING\" value=\"0\"/>\n"
            "<node id=\"AUTO_KERN_THRESHOLD\" value=\"0.75\"/>\n<node id=\"LINE_PADDING_OFFSET\" value=\"%d\"/>\n"
            "</array>\n<array id=\"glyphs\">\n",
            png_name.c_str(), line_padding);
    int x = gap;
    for (const Glyph& g : glyphs) {
        // The engine's kerning takes out the clear columns at the sides of
        // two glyphs, the ring's too, so a glyph's spacing gets the ring's
        // width back. Spaces, '-' and '_' are never kerned: the glyph before
        // a space keeps its ring's width, which the space gives up.
        const int ring_width = outline ? 2 * kRing + kShadowDx : 0;
        const bool kerned = g.code != '-' && g.code != '_';
        if (g.width == 0) {
            fprintf(xml, "<node id=\"%d\" span=\"0\" spacing=\"%d\"/>\n", g.code, g.advance - ring_width);
            continue;
        }
        int y0 = 1 + ascent - g.top;
        for (int y = 0; y < g.rows; y++)
            for (int c = 0; c < g.width; c++) {
                const size_t i = (size_t)y * g.width + c;
                // The white glyph over its dark ring. The opacity is the
                // larger of the two, not their sum: a glyph's soft edge
                // stays as clear as it was, so the kerning, which looks for
                // opaque pixels, pairs the letters as without the ring.
                const float a = g.alpha[i] / 255.0f, r = g.ring.empty() ? 0.0f : g.ring[i] / 255.0f;
                const float cover = a + r * (1 - a);
                unsigned char* p = &rgba[(((size_t)(y0 + y)) * strip_w + x + c) * 4];
                p[0] = p[1] = p[2] =
                    (unsigned char)std::lround(cover > 0 ? (255 * a + kRingColour * r * (1 - a)) / cover : 255);
                p[3] = (unsigned char)std::lround(255 * std::max(a, r));
            }
        // The engine draws a glyph at the pen and advances by its width
        // plus this spacing; the bearing to the left stays in the spacing.
        // Its automatic kerning then moves each next letter left until the
        // two shapes' closest rows touch, so this spacing is all that is
        // left between them: a shape wider than its advance (T, f, J)
        // would take a negative one and draw its neighbour over itself
        // ("Trophies" lost its r under the T). One column at least.
        fprintf(xml, "<node id=\"%d\" span=\"%d\" spacing=\"%d\"/>\n", g.code, CountColumnBlocks(g),
                std::max(g.advance - g.width, 1) + (kerned ? ring_width : 0));
        x += g.width + gap;
    }
    fprintf(xml, "</array>\n</root>\n");
    fclose(xml);

    png_image img;
    memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    img.width = (png_uint_32)strip_w;
    img.height = (png_uint_32)strip_h;
    img.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&img, png_path, 0, rgba.data(), 0, nullptr)) {
        fprintf(stderr, "cannot write %s\n", png_path);
        return 1;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return 0;
}
