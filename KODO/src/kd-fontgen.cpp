// Font generation from an XML font source: the glyphs stand side by side in
// one input image, separated by empty columns, in the order of the source's
// glyph list. They are cut out, measured, kerned automatically from their
// shapes, and fill the font record, which the font table then writes out as
// a `.sft` file.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "kd-file.h"
#include "kd-font.h"
#include "kd-image.h"
#include "kd-internal.h"
#include "kd-xmldb.h"

// ------------------------------------------------------------ pixel tests

static inline uint8_t AlphaAt(const kd_bitmap_t* bm, int x, int y) {
    return bm->pixels[((size_t)y * (size_t)bm->width + (size_t)x) * 4 + 3];
}

bool KDI_IsBitmapColumnFree(kd_bitmap_t* bm, int x) {
    if (!bm || !bm->pixels || x < 0 || x >= bm->width) return true;
    for (int y = 0; y < bm->height; y++)
        if (AlphaAt(bm, x, y)) return false;
    return true;
}

bool KDI_IsBitmapRowFree(kd_bitmap_t* bm, int y) {
    if (!bm) return true;
    return KDI_IsBitmapRowFreeSpan(bm, y, 0, bm->width);
}

bool KDI_IsBitmapRowFreeSpan(kd_bitmap_t* bm, int y, int x0, int x1) {
    if (!bm || !bm->pixels || y < 0 || y >= bm->height) return true;
    if (x0 < 0) x0 = 0;
    if (x1 > bm->width) x1 = bm->width;
    for (int x = x0; x < x1; x++)
        if (AlphaAt(bm, x, y)) return false;
    return true;
}

void KDI_ForceLowAlphaToZero(kd_bitmap_t* bm, int limit) {
    if (!bm || !bm->pixels) return;
    size_t n = (size_t)bm->width * (size_t)bm->height;
    for (size_t i = 0; i < n; i++)
        if (bm->pixels[i * 4 + 3] <= limit) bm->pixels[i * 4 + 3] = 0;
}

bool KDI_CanGlyphAutoKern(int c) { return c != ' ' && c != '-' && c != '_'; }

// ---------------------------------------------------------- cutting glyphs

static const char* FontName(kd_font_t* font) { return font && font->name ? font->name : ""; }

int KDI_LoadGlyphsFromBitmap(kd_font_t* font, kd_bitmap_t* bm, KD_DMArray* glyphs, int spacing, float scale) {
    if (!font || !bm || !bm->pixels || bm->width < 1 || bm->height < 1 || !glyphs || !font->glyphs) return 0;
    int top = 0, bottom = bm->height - 1;
    while (top < bm->height && KDI_IsBitmapRowFree(bm, top)) top++;
    if (top >= bm->height) {
        KD_Popupf(1, "No pixels found in font '%s' input bitmap.\n", FontName(font));
        return 0;
    }
    while (bottom > top && KDI_IsBitmapRowFree(bm, bottom)) bottom--;

    int cursor = 0;
    int nodes = glyphs->GetSize();
    for (int i = 0; i < nodes; i++) {
        KD_DMNode* node = glyphs->GetNode(i);
        const char* id_text = node ? node->GetValue("id") : nullptr;
        if (!id_text) {
            KD_Popupf(1, "No id defined for glyph #%d in font '%s'\n", i, FontName(font));
            continue;
        }
        int id = atoi(id_text);
        if (id < 32 || id > 255 || id >= font->glyph_count) {
            KD_Popupf(1, "Font '%s' Glyph #%d index %d is out of bounds\n", FontName(font), i, id);
            continue;
        }
        const char* sp = node->GetValue("spacing");
        const char* span_text = node->GetValue("span");
        int16_t glyph_spacing = (int16_t)((sp ? atoi(sp) : 0) * scale);
        int span = span_text ? atoi(span_text) : 1;
        kd_glyph_t* g = &font->glyphs[id];
        if (span <= 0) {
            g->x_offset = 0;
            g->advance = (int16_t)(glyph_spacing + spacing);
            KDI_SetGlyphPixels(g, 0, 0, nullptr);
            continue;
        }
        if (cursor >= bm->width) {
            KD_Popupf(1, "Input bitmap contains %d glyphs LESS than the XML definition file!\n", nodes - i);
            return 0;
        }
        int x = cursor;
        while (x < bm->width && KDI_IsBitmapColumnFree(bm, x)) x++;
        int x0 = x;
        for (int s = 0; s < span; s++) {
            while (x < bm->width && KDI_IsBitmapColumnFree(bm, x)) x++;
            while (x < bm->width && !KDI_IsBitmapColumnFree(bm, x)) x++;
        }
        int x1 = x;
        int y0 = top;
        while (y0 <= bottom && KDI_IsBitmapRowFreeSpan(bm, y0, x0, x1)) y0++;
        int y1 = bottom;
        while (y1 >= top && KDI_IsBitmapRowFreeSpan(bm, y1, x0, x1)) y1--;
        if (y1 + 1 <= y0) {
            KD_Popupf(1, "Sanity check failed: glyph_end_y <= glyph_start_y (%d <= %d). X0=%d X1=%d.\n", y1 + 1, y0,
                      x0, x1);
            return 0;
        }
        int w = x1 - x0, h = y1 + 1 - y0;
        if (!KDI_SetGlyphPixels(g, w, h, nullptr)) return 0;
        for (int row = 0; row < h; row++)
            memcpy(g->bitmap.pixels + (size_t)row * w * 4, bm->pixels + ((size_t)(y0 + row) * bm->width + x0) * 4,
                   (size_t)w * 4);
        g->advance = (int16_t)(glyph_spacing + spacing + w);
        g->x_offset = 0;
        g->y_offset = (int16_t)(y0 - top);
        cursor = x1;
    }
    int unused = 0;
    for (int x = cursor; x < bm->width;) {
        while (x < bm->width && KDI_IsBitmapColumnFree(bm, x)) x++;
        if (x >= bm->width) break;
        unused++;
        while (x < bm->width && !KDI_IsBitmapColumnFree(bm, x)) x++;
    }
    if (unused > 0)
        KD_Popupf(1, "Input bitmap has %d unused pixel blocks - all glyphs may not have been read properly!\n",
                  unused);
    return 1;
}

// --------------------------------------------------------------- kerning

int KDI_GetGlyphsKernOffset(kd_font_t* font, int left, int right, float threshold) {
    if (!font || !font->glyphs || left < 0 || right < 0 || left >= font->glyph_count ||
        right >= font->glyph_count)
        return 0;
    const kd_glyph_t* a = &font->glyphs[left];
    const kd_glyph_t* b = &font->glyphs[right];
    int aw = a->bitmap.width, ah = a->bitmap.height, bw = b->bitmap.width, bh = b->bitmap.height;
    if (!a->bitmap.pixels || !b->bitmap.pixels || aw < 1 || ah < 1 || bw < 1 || bh < 1) return 0;
    int d = (aw < bw ? aw : bw) - 1;
    int from = a->y_offset < b->y_offset ? a->y_offset : b->y_offset;
    int rows = ah > bh ? ah : bh;
    int best = d;
    for (int y = from; y < from + rows; y++) {
        int gap_a = d, gap_b = d;
        int ra = y - a->y_offset;
        if (ra >= 0 && ra < ah)
            for (int k = 0; k < aw; k++) {
                uint8_t al = a->bitmap.pixels[((size_t)ra * aw + (aw - 1 - k)) * 4 + 3];
                if ((float)al / 255.0f >= threshold) {
                    gap_a = k;
                    break;
                }
            }
        int rb = y - b->y_offset;
        if (rb >= 0 && rb < bh)
            for (int k = 0; k < bw; k++) {
                uint8_t al = b->bitmap.pixels[((size_t)rb * bw + k) * 4 + 3];
                if ((float)al / 255.0f >= threshold) {
                    gap_b = k;
                    break;
                }
            }
        if (gap_a + gap_b < best) best = gap_a + gap_b;
    }
    return -best;
}

void KDI_DetermineKernPairs(kd_font_t* font, int padding, float threshold) {
    if (!font || !font->glyphs) return;
    int n = font->glyph_count;
    for (int a = 0; a < n; a++)
        for (int b = 0; b < n; b++) {
            int offset =
                (KDI_CanGlyphAutoKern(a) && KDI_CanGlyphAutoKern(b)) ? KDI_GetGlyphsKernOffset(font, a, b, threshold) : 0;
            int k = offset + padding;
            if (k > 120 || k < -120) {
                KD_Popupf(1,
                          "Sanity check fail: KDI_DetermineKernPairs for chars #%d and #%d has too large padding "
                          "(%d) and kern_padding (%d) total. Total needs to fit into 8-bit signed int in selected "
                          "sft format!\n",
                          a, b, offset, padding);
                k = k > 0 ? 120 : -120;
            }
            if (font->glyphs[b].kerning) font->glyphs[b].kerning[a] = (int8_t)k;
        }
}

// ----------------------------------------------------------------- scale

int KDI_ScaleFont(kd_font_t* font, double scale) {
    if (!font || scale < 0.001) return 0;
    font->size = (int)(font->size * scale);
    for (int i = 0; i < font->glyph_count; i++) {
        kd_glyph_t* g = &font->glyphs[i];
        g->x_offset = (int16_t)(g->x_offset * scale);
        g->y_offset = (int16_t)(g->y_offset * scale);
        g->advance = (int16_t)(g->advance * scale);
        if (!g->bitmap.pixels) continue;
        kd_image_t src = {nullptr, g->bitmap.width, g->bitmap.height, g->bitmap.pixels, KD_IMAGE_HAS_ALPHA};
        kd_image_t dst = {};
        int w = (int)(g->bitmap.width * scale), h = (int)(g->bitmap.height * scale);
        if (w >= 1 && h >= 1 && KDI_CreateImageResized(&dst, &src, w, h, 100) && dst.pixels) {
            KDI_SetGlyphPixels(g, w, h, dst.pixels);
            KDI_FreeImage(&dst);
        } else {
            KDI_SetGlyphPixels(g, 0, 0, nullptr);
        }
    }
    return 1;
}

// ------------------------------------------- sources that cannot be made

int KDI_CreateFontGlyphBitmapsFromTTF(kd_font_t*, const char*, int, int, const char*) {
    KD_Popupf(1, "KDI_CreateFontGlyphBitmapsFromTTF not available.\n");
    return 0;
}

int KDI_CreateFontGlyphsArrayFromStrings(kd_font_t*, const char*, KD_DMArray*) {
    KD_Popupf(1, "KDI_CreateFontGlyphsArrayFromStrings not available.\n");
    return 0;
}

int KDI_CreateFontSourceBitmapFromTTF(const char*, const char*, int, const char*, const char*) {
    KD_Popupf(1, "KDI_CreateFontSourceBitmapFromTTF not available.\n");
    return 0;
}

// ------------------------------------------------------------ generation

// True when `word` stands in `text` at the start or after a space, comma or
// semicolon, and is followed by the end or one of them.
static bool HasTagWord(const char* text, const char* word) {
    if (!text || !word) return false;
    size_t n = strlen(word);
    for (const char* p = text; (p = strstr(p, word)) != nullptr; p++) {
        bool start_ok = p == text || strchr(" ,;", p[-1]);
        char after = p[n];
        if (start_ok && (after == 0 || after == ' ' || after == ',' || after == ';')) return true;
    }
    return false;
}

// The directory part of a source name, with its trailing '/' ("" when none).
static void SourceDir(const char* source, char* out, int size) {
    const char* slash = strrchr(source, '/');
    int n = slash ? (int)(slash - source + 1) : 0;
    if (n >= size) n = size - 1;
    memcpy(out, source, (size_t)n);
    out[n] = 0;
}

static int Fail(const char* source, const char* reason) {
    KD_Popupf(1, "Failed to generate font from source '%s': %s\n", source, reason);
    return 0;
}

static double ParseScale(const char* text) {
    const char* slash = strchr(text, '/');
    if (!slash) return atof(text);
    double den = atof(slash + 1);
    return den != 0 ? atof(text) / den : 0;
}

static int Generate(kd_font_t* font, double scale, const char* source, KD_DMDatabase* db) {
    if (!db || db->GetNumberOfArrays() < 1) return Fail(source, "Database not found or doesn't contain any arrays.");
    KD_DMArray* settings = db->GetArray("settings");
    if (!settings) return Fail(source, "Array 'settings' is missing or has bad parms.");

    const char* v;
    int spacing = (v = settings->GetNodeValue("SPACING", "value")) ? atoi(v) : 0;
    float threshold = (v = settings->GetNodeValue("AUTO_KERN_THRESHOLD", "value")) ? (float)atof(v) : 0.75f;
    int line_padding = (v = settings->GetNodeValue("LINE_PADDING_OFFSET", "value")) ? (int)atof(v) : 0;
    double requested = scale;
    if ((v = settings->GetNodeValue("OUTPUT", "scale")) != nullptr) {
        scale = ParseScale(v) * requested;
        if (!(scale >= 0.001 && scale < 10)) {
            KD_Popupf(1,
                      "KDI_GenerateFontFromSource: scale factor %g for font %s is invalid. Use values > 0 and < "
                      "10.\n",
                      scale, FontName(font));
            scale = 1.0;
        }
        spacing = (int)(spacing * scale + 0.3);
    }
    char dir[260];
    SourceDir(source, dir, sizeof dir);

    KD_DMNode* input = settings->GetNode("INPUT");
    if (input && input->GetValue("ttf")) {
        const char* ttf = input->GetValue("ttf");
        char path[520];
        nStringFormat(path, sizeof path, "%s", ttf);
        if (!KD_FileExists(path)) {
            nStringFormat(path, sizeof path, "%s%s", dir, ttf);
            if (!KD_FileExists(path)) KD_PrintDebugf(KD_LOG_WARNING, "Unable to find font source file %s\n", ttf);
        }
        // Both steps run and report themselves, whether or not the first
        // one could: a developer sees every step this platform lacks.
        const char* strings = input->GetValue("strings");
        if (strings) {
            KDI_CreateFontGlyphsArrayFromStrings(font, strings, db->GetArray("additional_utf_characters"));
        } else {
            for (int i = 0; i < font->glyph_count; i++) font->glyphs[i].code = i;
        }
        const char* size_px = input->GetValue("size_px");
        KDI_CreateFontGlyphBitmapsFromTTF(font, path, size_px ? atoi(size_px) : 0, 0, input->GetValue("style"));
        return Fail(source, "TrueType sources are not available.");
    }
    if (input && input->GetValue("bitmap")) {
        const char* id = KDIF_SelectBestInputBitmapForScaling(settings, scale);
        KD_DMNode* chosen = id ? settings->GetNode(id) : nullptr;
        if (!chosen || !chosen->GetValue("bitmap")) chosen = input;
        double adjusted = scale / KDIF_GetInputBitmapScaleFactor(chosen->name);
        if (fabs(adjusted - 1.0) < 0.01) adjusted = 1.0;
        KD_Printf("Adjusted scale with %s is %g.\n", chosen->name ? chosen->name : "", adjusted);
        const char* file = chosen->GetValue("bitmap");
        char path[520];
        nStringFormat(path, sizeof path, "%s", file);
        if (!KD_FileExists(path)) nStringFormat(path, sizeof path, "%s%s", dir, file);
        kd_image_t img = {};
        img.name = path;
        if (!kd_il || !kd_il->LoadImagePixels(&img, path) || !img.pixels) {
            KD_Popupf(1, "Unable to open image file '%s'. Make sure the file '%s' exist.\n", file, path);
            return Fail(source, "Array 'settings' is missing or has bad parms.");
        }
        img.flags |= KD_IMAGE_HAS_ALPHA;
        kd_bitmap_t bm = {};
        bm.width = img.width;
        bm.height = img.height;
        bm.pixels = img.pixels;
        KDI_ForceLowAlphaToZero(&bm, 4);
        KDI_FixAlphaBleeding(&img);
        if (fabs(adjusted - 1.0) >= 0.000001) {
            kd_image_t resized = {};
            int w = (int)(img.width * adjusted), h = (int)(img.height * adjusted);
            if (w < 1 || h < 1 || !KDI_CreateImageResized(&resized, &img, w, h, 100) || !resized.pixels) {
                KDI_FreeImage(&img);
                return Fail(source, "the input bitmap cannot be scaled.");
            }
            KDI_FreeImage(&img);
            img = resized;
            bm.width = img.width;
            bm.height = img.height;
            bm.pixels = img.pixels;
        }
        KDI_FreeGlyphs(font->glyphs, font->glyph_count);
        font->glyphs = KDI_AllocGlyphs(256);
        font->glyph_count = font->glyphs ? 256 : 0;
        KD_DMArray* glyphs = db->GetArray("glyphs");
        int ok = glyphs && KDI_LoadGlyphsFromBitmap(font, &bm, glyphs, spacing, (float)requested);
        KDI_FreeImage(&img);
        if (!ok) return Fail(source, "Array 'glyphs' is missing or has bad parms.");
    }

    for (int i = 0; i < font->glyph_count; i++) {
        kd_glyph_t* g = &font->glyphs[i];
        KDI_FixAlphaBleedingPixels(g->bitmap.pixels, g->bitmap.width, g->bitmap.height, true);
        if (font->encoding == KD_FONT_LATIN1) {
            free(g->kerning);
            g->kerning = (int8_t*)calloc((size_t)font->glyph_count, 1);
        }
    }
    if (font->encoding == KD_FONT_LATIN1) {
        KDI_DetermineKernPairs(font, 0, threshold);
    } else {
        for (int i = 0; i < font->glyph_count; i++) font->glyphs[i].advance = (int16_t)(font->glyphs[i].advance + spacing);
    }
    int size = 0;
    for (int i = 0; i < font->glyph_count; i++)
        if (font->glyphs[i].bitmap.height > size) size = font->glyphs[i].bitmap.height;
    font->size = size;

    KD_DMArray* glyphs = db->GetArray("glyphs");
    for (int i = 0; glyphs && i < glyphs->GetSize(); i++) {
        KD_DMNode* node = glyphs->GetNode(i);
        if (!node || !HasTagWord(node->GetValue("tags"), "DISABLE_AUTOKERN")) continue;
        const char* id_text = node->GetValue("id");
        int id = id_text ? atoi(id_text) : -1;
        if (id < 0 || id >= font->glyph_count) continue;
        if (font->glyphs[id].kerning) memset(font->glyphs[id].kerning, 0, (size_t)font->glyph_count);
        for (int k = 0; k < font->glyph_count; k++)
            if (font->glyphs[k].kerning) font->glyphs[k].kerning[id] = 0;
    }
    font->line_height = size + line_padding;
    font->base = size - 2;
    return 1;
}

int KDI_GenerateFontFromSource(kd_font_t* font, double scale) {
    if (!font || !font->name) return 0;
    char source[260];
    nStringFormat(source, sizeof source, "%s.xml", font->name);
    KD_Printf("Attempting to generate font from source '%s'\n", source);
    if (!font->glyphs) {
        font->glyphs = KDI_AllocGlyphs(256);
        font->glyph_count = font->glyphs ? 256 : 0;
    }
    KD_DMDatabase* db = kd_dman.GetDatabase(source);
    int ok = Generate(font, scale, source, db);
    // The source is read once per generation; a cached copy would hide a
    // source that changes on disk.
    kd_dman.ReleaseDatabase(source);
    return ok;
}
