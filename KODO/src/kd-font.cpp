// The font table: 32 font records found by name and counted, the `.sft`
// files they are read from and written to, and the textures their glyphs
// are drawn from (one atlas per font, or one texture per glyph).
//
// Reading is done on the whole file in memory so that every count and size
// the file declares can be checked against what is really there: a damaged
// file is refused with one log line and leaves the empty font behind, never
// a half-read one.
#include "kd-font.h"
#include "kd-bitmap-seq.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kd-file.h"
#include "kd-image.h"
#include "kd-internal.h"
#include "kd-settings.h"
#include "kd-xmldb.h"
#include "rendimp.h"

kd_font_table_t kd_fonts;

static const char* const kMagic[6] = {"KDF_Font_v1", "KDF_Font_v2", "KDF_Font_v3",
                                      "KDF_Font_v4", "KDF_Font_v5", "KDF_Font_v6"};
// The largest side of a glyph bitmap a file may declare.
static const int kMaxGlyphSide = 4096;

static bool OnRendererThread() { return KD_IsMainThread() || (ri && ri->IsThreadSafe()); }

// Set while a new renderer takes over the fonts: it is initialised but not
// yet marked ready.
static bool refreshing_after_init = false;

static void TraceCount(const char* format, const kd_font_t* font) {
    if (kd_state.print_reference_count_changes) KD_PrintDebugf(KD_LOG_INFO, format, font->name, font->ref_count);
}

// ------------------------------------------------------------ glyph records

kd_glyph_t* KDI_AllocGlyphs(int count) {
    if (count < 1) return nullptr;
    return (kd_glyph_t*)calloc((size_t)count, sizeof(kd_glyph_t));
}

void KDI_FreeGlyphs(kd_glyph_t* glyphs, int count) {
    if (!glyphs) return;
    for (int i = 0; i < count; i++) {
        free(glyphs[i].bitmap.pixels);
        free(glyphs[i].kerning);
    }
    free(glyphs);
}

bool KDI_SetGlyphPixels(kd_glyph_t* g, int w, int h, const uint8_t* pixels) {
    free(g->bitmap.pixels);
    g->bitmap.pixels = nullptr;
    g->bitmap.width = g->bitmap.pb_width = w > 0 ? w : 0;
    g->bitmap.height = g->bitmap.pb_height = h > 0 ? h : 0;
    g->bitmap.flags = 0;
    if (w < 1 || h < 1) return true;
    size_t n = (size_t)w * (size_t)h * 4;
    g->bitmap.pixels = (uint8_t*)malloc(n);
    if (!g->bitmap.pixels) {
        g->bitmap.width = g->bitmap.height = g->bitmap.pb_width = g->bitmap.pb_height = 0;
        return false;
    }
    if (pixels)
        memcpy(g->bitmap.pixels, pixels, n);
    else
        memset(g->bitmap.pixels, 0, n);
    g->bitmap.flags = KD_BITMAP_HAS_ALPHA;  // bit 0: pixels were read
    g->bitmap.pack_mode = KD_PACK_TRANSPARENT;
    return true;
}

// Gives back the textures of a font: the atlas, and the glyph textures that
// are the glyphs' own (glyphs packed into the atlas only borrow its
// texture). With `device_lost` the textures died with the renderer and are
// only forgotten.
static void ForgetFontTextures(kd_font_t* font, bool device_lost) {
    bool free_them = !device_lost && ri && OnRendererThread();
    if (free_them) KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
    uint32_t atlas_tex = font->atlas.hw.loaded ? font->atlas.hw.texture : 0;
    for (int i = 0; font->glyphs && i < font->glyph_count; i++) {
        kd_bitmap_t* bm = &font->glyphs[i].bitmap;
        if (free_them && bm->hw.loaded && bm->hw.texture != atlas_tex) ri->FreeBitmap(&bm->hw);
        memset(&bm->hw, 0, sizeof bm->hw);
        bm->state = 0;
    }
    if (free_them && font->atlas.hw.loaded) ri->FreeBitmap(&font->atlas.hw);
    memset(&font->atlas.hw, 0, sizeof font->atlas.hw);
    if (free_them) KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
}

static void FreeAtlasRecord(kd_font_t* font) {
    free(font->atlas.pixels);
    free(font->atlas.name);
    memset(&font->atlas, 0, sizeof font->atlas);
}

void KDI_ResetFontToEmpty(kd_font_t* font) {
    ForgetFontTextures(font, false);
    FreeAtlasRecord(font);
    KDI_FreeGlyphs(font->glyphs, font->glyph_count);
    font->glyphs = KDI_AllocGlyphs(256);
    font->glyph_count = font->glyphs ? 256 : 0;
    font->encoding = KD_FONT_LATIN1;
    font->base = font->size = font->line_height = 0;
    font->draw_scale = 1.0f;
}

// ------------------------------------------------------------------ table

// GET_FONT is held by the caller.
static kd_font_t* FindFont(const char* name) {
    if (!name) return nullptr;
    for (int i = 0; i < kd_fonts.used; i++) {
        kd_font_t* f = &kd_fonts.fonts[i];
        if (f->name && strcmp(f->name, name) == 0) return f;
    }
    return nullptr;
}

static kd_font_t* FindOrCreate(const char* name, bool by_get, bool* created) {
    *created = false;
    KDI_LockCoreMutex(KD_MUTEX_GET_FONT);
    kd_font_t* font = FindFont(name);
    if (font) {
        if (font->name[0] != '!') {
            if (!by_get) {
                font->ref_count++;
                TraceCount("'%s' ref count++: now %d", font);
            } else if (!(font->flags & KD_FONT_FLAG_COUNTED_BY_GET)) {
                font->ref_count++;
                font->flags |= KD_FONT_FLAG_COUNTED_BY_GET;
                TraceCount("'%s' ref count++ (GetFont): now %d", font);
            }
        }
        KDI_UnlockCoreMutex(KD_MUTEX_GET_FONT);
        return font;
    }
    int slot;
    if (kd_fonts.used == 0 || !kd_fonts.fonts[0].name) {
        slot = 0;
    } else {
        slot = kd_fonts.used;
        for (int i = 1; i < kd_fonts.used; i++)
            if (!kd_fonts.fonts[i].name) {
                slot = i;
                break;
            }
    }
    if (slot >= KD_MAX_FONTS) {
        KDI_UnlockCoreMutex(KD_MUTEX_GET_FONT);
        KD_Popupf(1, " ! Kodo out of free fonts.\n");
        return nullptr;
    }
    if (slot >= kd_fonts.used) kd_fonts.used = slot + 1;
    font = &kd_fonts.fonts[slot];
    memset(font, 0, sizeof *font);
    font->name = nStringDuplicate(name ? name : "");
    font->ref_count = 1;
    font->draw_scale = 1.0f;
    if (by_get) {
        font->flags |= KD_FONT_FLAG_COUNTED_BY_GET;
        TraceCount("'%s' ref count = %d (GetFont)", font);
    } else {
        TraceCount("'%s' ref count = %d", font);
    }
    KDI_UnlockCoreMutex(KD_MUTEX_GET_FONT);
    *created = true;
    return font;
}

static void FillNewFont(kd_font_t* font, const char* name) {
    font->cache_mode = (int8_t)kd_state.default_cache_mode;  // as for bitmaps
    font->glyph_count = 256;
    font->glyphs = KDI_AllocGlyphs(256);
    if (!KDI_LoadFont(font, name)) KD_Popupf(1, "Unable to load font '%s'.", name ? name : "");
}

kd_font_t* KDI_LoadFont(const char* name) {
    bool created;
    kd_font_t* font = FindOrCreate(name, false, &created);
    if (!font || !created) return font;
    KD_Printf("..caching font '%s' ", font->name);
    FillNewFont(font, font->name);
    return font;
}

kd_font_t* KD_LoadFont(const char* name) {
    bool created;
    kd_font_t* font = FindOrCreate(name, false, &created);
    if (!font || !created) return font;
    KD_Printf("..caching font '%s' ", font->name);
    FillNewFont(font, font->name);
    if (kd && kd->RefreshFont) kd->RefreshFont(font);
    return font;
}

kd_font_t* KD_GetFont(const char* name) {
    bool created;
    kd_font_t* font = FindOrCreate(name, true, &created);
    if (!font || !created) return font;
    KD_Printf("..caching font '%s'\n", font->name);
    FillNewFont(font, font->name);
    KDI_RecreateFontAtlas(font);
    return font;
}

int KDI_LoadFontXML(kd_font_t*) { return 0; }

int KDI_LoadFont(kd_font_t* font, const char* name) {
    if (!font || !name) return 0;
    bool generated = false;
    for (;;) {
        if (strstr(name, "!NONE")) return 1;
        if (strstr(name, ".sft") && KDI_LoadFontSFT(font)) break;
        if (generated || !KDI_GenerateFontFromSource(font, 1.0)) {
            KD_Printf("failed: bad or unfound file\n");
            KDI_ResetFontToEmpty(font);
            return 0;
        }
        generated = true;
        const char* path = KDI_GetFileFullPath(name, false);
        if (!path || !KD_SaveFont(font, path)) {
            // The generated glyphs serve this run even when no file can be
            // written for the next one.
            break;
        }
        KDI_ResetFontToEmpty(font);
    }
    KDI_UpdateFontAccordingToDataManifest(font);
    KD_Printf("(%dpx)\n", font->size);
    return 1;
}

void KDI_UpdateFontAccordingToDataManifest(kd_font_t* font) {
    if (!font) return;
    font->draw_scale = 1.0f;
    if (font->size <= 1 || !font->name) return;
    KD_DMNode* node = KDI_GetDataManifestNode(font->name);
    const char* h = node ? node->GetValue("h") : nullptr;
    int want = h ? atoi(h) : 0;
    if (want <= 1) return;
    float scale = (float)want / (float)font->size;
    font->draw_scale = scale;
    font->line_height = (int)(scale * (float)font->line_height);
    font->size = want;
}

// ---------------------------------------------------------------- reading

namespace {

// A cursor over the file's bytes; every read is checked against the end.
struct Reader {
    const uint8_t* p;
    size_t left;
    bool ok = true;

    bool Take(void* out, size_t n) {
        if (!ok || n > left) {
            ok = false;
            return false;
        }
        if (out) memcpy(out, p, n);
        p += n;
        left -= n;
        return true;
    }
    int32_t I32() {
        uint8_t b[4] = {};
        Take(b, 4);
        return (int32_t)((uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24);
    }
    int16_t I16() {
        uint8_t b[2] = {};
        Take(b, 2);
        return (int16_t)(b[0] | b[1] << 8);
    }
    uint16_t U16() { return (uint16_t)I16(); }
    uint8_t U8() {
        uint8_t b = 0;
        Take(&b, 1);
        return b;
    }
};

void SwapRedBlue(uint8_t* px, size_t pixels) {
    for (size_t i = 0; i < pixels; i++) {
        uint8_t t = px[i * 4];
        px[i * 4] = px[i * 4 + 2];
        px[i * 4 + 2] = t;
    }
}

// Reads width, height and pixels; false on a damaged record.
bool ReadGlyphPixels(Reader& r, kd_glyph_t* g, int w, int h, bool file_bgr, const char** why) {
    if (w > kMaxGlyphSide || h > kMaxGlyphSide) {
        *why = "glyph size out of range";
        return false;
    }
    if (w < 1 || h < 1) {
        KDI_SetGlyphPixels(g, 0, 0, nullptr);
        g->bitmap.width = g->bitmap.pb_width = w;
        g->bitmap.height = g->bitmap.pb_height = h;
        return true;
    }
    size_t n = (size_t)w * (size_t)h * 4;
    if (n > r.left) {
        *why = "glyph pixels run past the end of the file";
        return false;
    }
    if (!KDI_SetGlyphPixels(g, w, h, r.p)) {
        *why = "no memory for glyph pixels";
        return false;
    }
    r.Take(nullptr, n);
    if (file_bgr != (kd_state.texture_format == 1)) SwapRedBlue(g->bitmap.pixels, (size_t)w * h);
    return true;
}

bool ReadKerning(Reader& r, kd_glyph_t* g, int count, const char** why) {
    if ((size_t)count > r.left) {
        *why = "kerning row runs past the end of the file";
        return false;
    }
    if (!g->kerning) g->kerning = (int8_t*)malloc((size_t)count);
    if (!g->kerning) {
        *why = "no memory for kerning";
        return false;
    }
    r.Take(g->kerning, (size_t)count);
    return true;
}

bool ZeroKerning(kd_glyph_t* g, int count) {
    if (!g->kerning) g->kerning = (int8_t*)malloc((size_t)count);
    if (!g->kerning) return false;
    memset(g->kerning, 0, (size_t)count);
    return true;
}

bool ParseOld(kd_font_t* font, Reader& r, int version, const char** why) {
    r.Take(nullptr, 256);  // a block the old formats carry and nothing reads
    if (!r.ok) {
        *why = "header cut short";
        return false;
    }
    bool bgr = version <= 4;
    for (int i = 0; i < 256; i++) {
        kd_glyph_t* g = &font->glyphs[i];
        g->y_offset = r.I16();
        if (version >= 2) g->x_offset = r.I16();
        r.I16();
        bool kern_ok = version >= 4 ? ReadKerning(r, g, 256, why) : ZeroKerning(g, 256);
        if (!kern_ok) {
            if (!*why) *why = "no memory for kerning";
            return false;
        }
        int w = r.U16(), h = r.U16();
        g->advance = version >= 3 ? r.I16() : (int16_t)(w + 1);
        if (!r.ok) {
            *why = "glyph record cut short";
            return false;
        }
        if (!ReadGlyphPixels(r, g, w, h, bgr, why)) return false;
    }
    return true;
}

bool ParseV6(kd_font_t* font, Reader& r, int count, const char** why) {
    if (count < 1 || count > KD_FONT_MAX_GLYPHS) {
        *why = "glyph count out of range";
        return false;
    }
    // Each record takes at least 15 bytes.
    if ((size_t)count * 15 > r.left) {
        *why = "glyph count larger than the file holds";
        return false;
    }
    if (count != font->glyph_count) {
        KDI_FreeGlyphs(font->glyphs, font->glyph_count);
        font->glyphs = KDI_AllocGlyphs(count);
        font->glyph_count = font->glyphs ? count : 0;
        if (!font->glyphs) {
            *why = "no memory for glyphs";
            return false;
        }
    }
    for (int i = 0; i < count; i++) {
        kd_glyph_t* g = &font->glyphs[i];
        g->code = r.I32();
        g->y_offset = r.I16();
        g->x_offset = r.I16();
        g->advance = r.I16();
        uint8_t has_kerning = r.U8();
        if (!r.ok) {
            *why = "glyph record cut short";
            return false;
        }
        if (has_kerning ? !ReadKerning(r, g, count, why) : !ZeroKerning(g, count)) {
            if (!*why) *why = "no memory for kerning";
            return false;
        }
        int w = r.U16(), h = r.U16();
        if (!r.ok) {
            *why = "glyph record cut short";
            return false;
        }
        if (!ReadGlyphPixels(r, g, w, h, false, why)) return false;
    }
    return true;
}

}  // namespace

int KDI_ParseFontSFT(kd_font_t* font, const uint8_t* data, size_t size, const char** why_out) {
    const char* why = nullptr;
    if (!font) return 0;
    KDI_ResetFontToEmpty(font);
    if (!font->glyphs) {
        if (why_out) *why_out = "no memory for glyphs";
        return 0;
    }
    Reader r{data, data ? size : 0};
    char header[12] = {};
    int version = 0;
    if (r.Take(header, 11)) {
        for (int v = 0; v < 6; v++)
            if (memcmp(header, kMagic[v], 11) == 0) version = v + 1;
    }
    bool ok = false;
    if (!version) {
        why = "unknown or bad header";
    } else {
        r.U8();
        char encoding[512];
        int n = 0;
        for (;;) {
            uint8_t c = r.U8();
            if (!r.ok || c == 0) break;
            if (n < 511) encoding[n++] = (char)c;
        }
        encoding[n] = 0;
        font->encoding = strcmp(encoding, "UTF-8") == 0 ? KD_FONT_UTF8 : KD_FONT_LATIN1;
        font->base = r.I32();
        font->size = r.I32();
        font->line_height = r.I32();
        if (!r.ok) {
            why = "header cut short";
        } else if (version == 6) {
            int count = r.I32();
            ok = r.ok ? ParseV6(font, r, count, &why) : (why = "header cut short", false);
        } else {
            ok = ParseOld(font, r, version, &why);
        }
    }
    if (!ok) {
        KDI_ResetFontToEmpty(font);
        if (why_out) *why_out = why ? why : "damaged";
        return 0;
    }
    return 1;
}

int KDI_LoadFontSFT(kd_font_t* font) {
    if (!font || !font->name) return 0;
    kd_file_t* f = KD_OpenFile(font->name, "rb");
    if (!f) {
        KD_Printf("(not found)");
        return 0;
    }
    long size = -1;
    if (KD_fseek(f, 0, SEEK_END)) size = KD_ftell(f);
    KD_fseek(f, 0, SEEK_SET);
    uint8_t* data = size > 0 ? (uint8_t*)malloc((size_t)size) : nullptr;
    bool read_ok = data && KD_ReadFile(data, (unsigned)size, f) == (unsigned)size;
    KD_CloseFile(f);
    if (!read_ok) {
        free(data);
        KD_PrintDebugf(KD_LOG_WARNING, "Font '%s' could not be read.\n", font->name);
        KDI_ResetFontToEmpty(font);
        return 0;
    }
    const char* why = nullptr;
    int ok = KDI_ParseFontSFT(font, data, (size_t)size, &why);
    free(data);
    if (!ok) {
        if (size >= 11 && why && strcmp(why, "unknown or bad header") == 0)
            KD_PrintDebugf(KD_LOG_WARNING, "Font '%s' has unknown or bad header.\n", font->name);
        else
            KD_PrintDebugf(KD_LOG_WARNING, "Font '%s' is damaged (%s); refused.\n", font->name, why ? why : "");
    }
    return ok;
}

// ---------------------------------------------------------------- writing

namespace {
struct Writer {
    kd_file_t* f;
    bool ok = true;
    void Put(const void* p, size_t n) {
        if (ok && n && KD_WriteFile(p, (unsigned)n, f) != n) ok = false;
    }
    void I32(int32_t v) {
        uint8_t b[4] = {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
        Put(b, 4);
    }
    void I16(int v) {
        uint8_t b[2] = {(uint8_t)v, (uint8_t)(v >> 8)};
        Put(b, 2);
    }
    void U8(int v) {
        uint8_t b = (uint8_t)v;
        Put(&b, 1);
    }
};
}  // namespace

int KD_SaveFont(kd_font_t* font, const char* path) { return KDI_SaveFont(font, path); }

int KDI_SaveFont(kd_font_t* font, const char* path) {
    if (!font || !path) return 0;
    KD_Printf("..saving font '%s'..", path);
    kd_file_t* f = KD_OpenFile(path, "wb");
    if (!f) {
        KD_Popupf(1, "Failed to save font '%s'\n", path);
        return 0;
    }
    KD_Printf("\n");
    Writer w{f};
    w.Put("KDF_Font_v6", 12);
    const char* enc = font->encoding == KD_FONT_UTF8 ? "UTF-8" : "LATIN-1";
    w.Put(enc, strlen(enc) + 1);
    w.I32(font->base);
    w.I32(font->size);
    w.I32(font->line_height);
    w.I32(font->glyph_count);
    bool swap = kd_state.texture_format == 1;
    for (int i = 0; i < font->glyph_count; i++) {
        kd_glyph_t* g = &font->glyphs[i];
        w.I32(g->code);
        w.I16(g->y_offset);
        w.I16(g->x_offset);
        w.I16(g->advance);
        w.U8(g->kerning ? 1 : 0);
        if (g->kerning) w.Put(g->kerning, (size_t)font->glyph_count);
        int bw = g->bitmap.width, bh = g->bitmap.height;
        bool pixels = bw >= 1 && bh >= 1 && g->bitmap.pixels;
        w.I16(pixels ? bw : 0);
        w.I16(pixels ? bh : 0);
        if (pixels) {
            size_t n = (size_t)bw * bh;
            if (swap) SwapRedBlue(g->bitmap.pixels, n);
            w.Put(g->bitmap.pixels, n * 4);
            if (swap) SwapRedBlue(g->bitmap.pixels, n);
        }
    }
    KD_CloseFile(f);
    if (!w.ok) {
        KD_Popupf(1, "Failed to save font '%s'\n", path);
        return 0;
    }
    return 1;
}

// --------------------------------------------------------------- textures

namespace {

// A LATIN-1 font without lower-case shapes draws them with the upper-case
// ones: the record, its kerning and its pixels are copied (the copy owns its
// pixels, so no memory is shared between two records that are freed one by
// one).
void CopyMissingLowerCase(kd_font_t* font) {
    if (font->encoding != KD_FONT_LATIN1 || font->glyph_count != 256) return;
    for (int c = 'a'; c <= 'z'; c++) {
        kd_glyph_t* lo = &font->glyphs[c];
        kd_glyph_t* up = &font->glyphs[c - 32];
        if (lo->bitmap.pixels || !up->bitmap.pixels) continue;
        lo->code = up->code;
        lo->x_offset = up->x_offset;
        lo->y_offset = up->y_offset;
        lo->advance = up->advance;
        if (!KDI_SetGlyphPixels(lo, up->bitmap.width, up->bitmap.height, up->bitmap.pixels)) continue;
        if (!lo->kerning) lo->kerning = (int8_t*)calloc(256, 1);
        if (lo->kerning) {
            if (up->kerning)
                memcpy(lo->kerning, up->kerning, 256);
            else
                memset(lo->kerning, 0, 256);
        }
        for (int i = 0; i < 256; i++)
            if (font->glyphs[i].kerning) font->glyphs[i].kerning[c] = font->glyphs[i].kerning[c - 32];
    }
}

}  // namespace

int KD_RefreshFont(kd_font_t* font) { return KDI_RecreateFontAtlas(font); }

int KDI_RecreateFontAtlas(kd_font_t* font) {
    if (!font || font->size < 1 || !font->glyphs) return 0;
    CopyMissingLowerCase(font);
    if (!OnRendererThread()) {
        // Textures belong to the renderer's thread: the first draw on it
        // makes them.
        return 1;
    }
    ForgetFontTextures(font, false);
    enum { kMaxCollected = 2048 };
    static kd_bitmap_t* collected[kMaxCollected];
    static int idx[kMaxCollected];
    int n = 0;
    for (int i = 0; i < font->glyph_count; i++) {
        kd_bitmap_t* bm = &font->glyphs[i].bitmap;
        if (!bm->pixels || bm->width < 1 || bm->height < 1) continue;
        if (n >= kMaxCollected) {
            KD_Popupf(1,
                      "KD_RefreshFont too many glyphs (%d) in font '%s' for bitmap buffer. Ignoring some of "
                      "them.\n",
                      font->glyph_count, font->name ? font->name : "");
            break;
        }
        idx[n] = i;
        collected[n++] = bm;
    }
    bool have_renderer = ri && (kd_state.renderer_ready || refreshing_after_init);
    if (!kd_state.pack_into_atlas || n == 0) {
        if (!have_renderer) return 1;
        KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
        for (int i = 0; i < n; i++) {
            collected[i]->state = KD_BITMAP_LOADING;
            collected[i]->pack_mode = KD_PACK_TRANSPARENT;
            KDI_LoadBitmapToHardware(collected[i]);
            collected[i]->state = KD_BITMAP_READY;
        }
        KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
        return 1;
    }
    if (!KDI_PackBitmaps(&font->atlas, collected, n)) {
        KD_PrintDebugf(KD_LOG_WARNING, "Font '%s': the glyphs do not fit into one atlas.\n",
                       font->name ? font->name : "");
        FreeAtlasRecord(font);
        return 0;
    }
    if (!have_renderer) return 1;
    KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
    font->atlas.state = KD_BITMAP_LOADING;
    KDI_LoadBitmapToHardware(&font->atlas);
    const kd_bitmap_hw_data_t& a = font->atlas.hw;
    float du = a.right_u - a.left_u, dv = a.bottom_v - a.top_v;
    for (int i = 0; i < n; i++) {
        // Packing left each glyph its place inside the atlas image; the
        // texture may be larger than the image, so the place is mapped into
        // the atlas's own texture coordinates.
        kd_bitmap_t* bm = collected[i];
        float u0 = bm->hw.left_u, v0 = bm->hw.top_v, u1 = bm->hw.right_u, v1 = bm->hw.bottom_v;
        bm->hw = a;
        bm->hw.left_u = a.left_u + du * u0;
        bm->hw.right_u = a.left_u + du * u1;
        bm->hw.top_v = a.top_v + dv * v0;
        bm->hw.bottom_v = a.top_v + dv * v1;
        bm->state = KD_BITMAP_READY;
    }
    font->atlas.state = KD_BITMAP_READY;
    KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
    // The glyphs keep their own pixels; the packed copy is only needed for
    // the upload.
    free(font->atlas.pixels);
    font->atlas.pixels = nullptr;
    (void)idx;
    return 1;
}

// ---------------------------------------------------------------- release

void KDI_FONTS_ReleaseFont(kd_font_t* font) {
    if (!font || !font->name) {
        KD_Popupf(1, "Trying to release null font in KDI_FONTS_ReleaseFont.");
        return;
    }
    KD_PrintDebugf(KD_LOG_INFO, "Releasing font '%s'...\n", font->name);
    ForgetFontTextures(font, false);
    FreeAtlasRecord(font);
    KDI_FreeGlyphs(font->glyphs, font->glyph_count);
    free(font->name);
    memset(font, 0, sizeof *font);
}

void KD_ReleaseFont(kd_font_t* font) {
    if (!font) {
        KD_PrintDebugf(KD_LOG_WARNING, "Trying to release a null font.\n");
        return;
    }
    KDI_LockCoreMutex(KD_MUTEX_GET_FONT);
    if (!font->name) {
        KDI_UnlockCoreMutex(KD_MUTEX_GET_FONT);
        return;
    }
    if (!kd_prog || !kd_state.reference_counting) {
        KDI_FONTS_ReleaseFont(font);
        KDI_UnlockCoreMutex(KD_MUTEX_GET_FONT);
        return;
    }
    font->ref_count--;
    if (kd_state.print_reference_count_changes)
        KD_PrintDebugf(KD_LOG_INFO, "ReleaseFont '%s' ref count--: now %d", font->name, font->ref_count);
    if ((font->flags & KD_FONT_FLAG_COUNTED_BY_GET) && font->ref_count == 0)
        KD_Popupf(1,
                  "Releasing font '%s' too many times: ref counting will get messed up. NOTE: font has been "
                  "accessed using GetFont which increses ref count by 1 once.",
                  font->name);
    if (font->ref_count == 0) {
        KD_Printf("Hibernating Font '%s'..\n", font->name);
    } else if (font->ref_count < 0) {
        font->ref_count = 0;
        KD_Popupf(1, "Font '%s' reference count less than zero.\n", font->name);
    }
    KDI_UnlockCoreMutex(KD_MUTEX_GET_FONT);
}

void KDI_ReleaseFontsAtExit() {
    for (int i = 0; i < kd_fonts.used; i++) {
        kd_font_t* f = &kd_fonts.fonts[i];
        if (!f->name) continue;
        if (kd_state.reference_counting && f->ref_count > 0 && f->name[0] != '!')
            KD_PrintDebugf(KD_LOG_WARNING, "Font '%s' Reference count %d at exit, releasing...\n", f->name,
                           f->ref_count);
        KDI_FONTS_ReleaseFont(f);
    }
    kd_fonts.used = 0;
}

// A new renderer: the old textures went with the old device.
void KDI_RefreshFontsAfterInit() {
    for (int i = 0; i < kd_fonts.used; i++) {
        kd_font_t* f = &kd_fonts.fonts[i];
        if (!f->name) continue;
        ForgetFontTextures(f, true);
        refreshing_after_init = true;
        KDI_RecreateFontAtlas(f);
        refreshing_after_init = false;
    }
}
