// Text layout and drawing: printf-style texts measured and drawn with a font
// of the font table. LATIN-1 fonts take the text byte by byte with kerning,
// inline images, scale and colour tags; UTF-8 fonts decode it into code
// points and honour colour tags only. Lines break at the text box width and
// at newlines; glyphs are drawn as batched quads of the font's atlas.
//
// Text drawing formats into one shared buffer: it belongs to one thread
// (the one that draws).
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kd-font.h"
#include "kd-internal.h"
#include "rendimp.h"

static char text_buffer[KD_TEXT_BUFFER];

void KDI_InitTextState() {
    kd_state.text_box_width = 0;
    kd_state.text_align = 0;
    kd_state.text_scale_x = kd_state.text_scale_y = 1.0f;
    kd_state.text_angle = 0;
    kd_state.last_text_width = kd_state.last_text_height = 0;
}

void KDI_InitTextAndDrawingState() {
    KDI_InitDrawingState();
    KDI_InitTextState();
}

void KD_SetTextAlign(int flags) { kd_state.text_align = flags; }
void KD_SetTextboxWidth(int width) { kd_state.text_box_width = (float)width; }
void KD_SetTextTransform(float sx, float sy, float angle) {
    kd_state.text_scale_x = sx;
    kd_state.text_scale_y = sy;
    kd_state.text_angle = angle;
}

// ------------------------------------------------------------ small parts

static inline int16_t ClampWidth(float w) {
    if (!(w > -32768.0f)) return -32768;
    if (w > 32767.0f) return 32767;
    return (int16_t)w;
}

static inline int Advance(kd_font_t* f, int c) { return f->glyphs[c].advance; }
static inline int Kern(kd_font_t* f, int c, int p) {
    const int8_t* row = f->glyphs[c].kerning;
    return row && p >= 0 && p < f->glyph_count ? row[p] : 0;
}

// The closing bar of a tag whose text starts at `p`, or the terminator.
static char* TagEnd(char* p) {
    while (*p && *p != '|') p++;
    return p;
}
static uint32_t* TagEnd32(uint32_t* p) {
    while (*p && *p != '|') p++;
    return p;
}

static int HexDigit(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

// A colour tag's text (between the bars, `n` characters, each read through
// `at`): optional '#', RRGGBB, optional AA.
template <typename Ch>
static void ApplyColourTag(const Ch* t, int n) {
    if (n > 0 && t[0] == '#') t++, n--;
    int v[8] = {};
    for (int i = 0; i < 8 && i < n; i++) v[i] = t[i] < 128 ? HexDigit((int)t[i]) : 0;
    if (n >= 8) kd->SetAlpha((float)(v[6] * 16 + v[7]) / 255.0f);
    kd->SetColor((float)(v[0] * 16 + v[1]) / 255.0f, (float)(v[2] * 16 + v[3]) / 255.0f,
                (float)(v[4] * 16 + v[5]) / 255.0f);
}

// The number of a scale tag ("scale=N", read from at most 15 characters);
// 0 when it is not a usable scale (zero, negative or not finite), so that
// the caller ignores it.
static float ScaleTagValue(const char* tag_text, const char* end) {
    char num[16];
    const char* p = tag_text + 6;  // after "scale="
    int n = 0;
    while (p < end && n < 15) num[n++] = *p++;
    num[n] = 0;
    float v = (float)atof(num);
    if (!(v > 0.0f) || !isfinite(v)) return 0;
    return v;
}

static bool IsScaleTag(const char* p) { return (p[0] == 's' || p[0] == 'S') && strncmp(p + 1, "cale=", 5) == 0; }

// --------------------------------------------------------- inline images

struct ImageBlock {
    kd_bitmap_t* bm = nullptr;
    float scale = 1.0f;
    float angle = 0;
    int offset = 0;
};

// Reads "name=value" from the block, the value running to the next space
// (or the block's end).
static const char* FindParm(const char* text, const char* end, const char* key, char* out, int size) {
    size_t kn = strlen(key);
    for (const char* p = text; p + kn <= end; p++) {
        if (strncmp(p, key, kn) != 0) continue;
        const char* v = p + kn;
        int n = 0;
        while (v < end && *v != ' ' && n < size - 1) out[n++] = *v++;
        out[n] = 0;
        return out;
    }
    return nullptr;
}

static void ParseImageBlock_LATIN1(const char* text, const char* end, ImageBlock* ib) {
    char value[64];
    if (FindParm(text, end, "scale=", value, sizeof value)) ib->scale = (float)atof(value);
    if (FindParm(text, end, "angle=", value, sizeof value)) ib->angle = (float)atof(value) / 180.0f * 3.1415927f;
    if (FindParm(text, end, "offset=", value, sizeof value)) ib->offset = atoi(value);
    if (!(ib->scale > 0.0f) || !isfinite(ib->scale)) ib->scale = 1.0f;
    const char* q0 = (const char*)memchr(text, '\'', (size_t)(end - text));
    const char* q1 = q0 ? (const char*)memchr(q0 + 1, '\'', (size_t)(end - q0 - 1)) : nullptr;
    if (!q1) return;
    char name[512];
    int n = (int)(q1 - q0 - 1);
    if (n > 511) n = 511;
    memcpy(name, q0 + 1, (size_t)n);
    name[n] = 0;
    ib->bm = kd && kd->GetBitmap ? kd->GetBitmap(name) : nullptr;
}

static float ImageWidth(const ImageBlock& ib) { return ib.bm ? (float)ib.bm->width * ib.scale : 0.0f; }

// ------------------------------------------------------- LATIN-1 layout

static float GetNextWordLen_LATIN1(kd_font_t* font, const char* s) {
    float w = 0;
    int p = 0;
    const unsigned char* t = (const unsigned char*)s;
    while (*t && *t != ' ' && *t != '\t' && *t != '\n' && *t != '\r') {
        if (*t == '|') {
            if (t[1] == '|') {
                w += Advance(font, '|') + Kern(font, '|', p);
                p = '|';
                t += 2;
                continue;
            }
            char* end = TagEnd((char*)t + 1);
            if (t[1] == 'i' || t[1] == 'I') {
                ImageBlock ib;
                ParseImageBlock_LATIN1((const char*)t + 1, end, &ib);
                w += ImageWidth(ib);
                p = 0;
            }
            t = (const unsigned char*)(*end ? end + 1 : end);
            continue;
        }
        w += Advance(font, *t) + Kern(font, *t, p);
        p = *t++;
    }
    return w;
}

int KDI_ParseTextLines_LATIN1(kd_font_t* font, int max_width, char* text, char** starts, int16_t* widths,
                              int max_lines) {
    if (!font || !font->glyphs || font->glyph_count < 256 || !text || max_lines < 1) return 0;
    int n = 0;
    starts[0] = text;
    float w = 0, maxw = (float)max_width;
    int p = 0;
    unsigned char* s = (unsigned char*)text;
    while (*s) {
        unsigned char c = *s;
        if (c == '|') {
            if (s[1] == '|') {
                w += Advance(font, '|') + Kern(font, '|', p);
                p = '|';
                s += 2;
                continue;
            }
            char* end = TagEnd((char*)s + 1);
            if (s[1] == 'i' || s[1] == 'I') {
                ImageBlock ib;
                ParseImageBlock_LATIN1((const char*)s + 1, end, &ib);
                w += ImageWidth(ib);
                p = 0;
            } else if (IsScaleTag((const char*)s + 1)) {
                float v = ScaleTagValue((const char*)s + 1, end);
                if (v > 0) maxw = (float)max_width / v;
            }
            s = (unsigned char*)(*end ? end + 1 : end);
            continue;
        }
        if (c == '\n') {
            *s = 0;
            widths[n] = ClampWidth(w);
            if (++n >= max_lines) return n;
            starts[n] = (char*)s + 1;
            w = 0;
            p = 0;
            s++;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            float word = GetNextWordLen_LATIN1(font, (const char*)s + 1);
            if (w + Advance(font, ' ') + word >= maxw) {
                *s = 0;
                widths[n] = ClampWidth(w);
                if (++n >= max_lines) return n;
                starts[n] = (char*)s + 1;
                w = 0;
                p = 0;
                s++;
                continue;
            }
        }
        w += Advance(font, c) + Kern(font, c, p);
        p = c;
        s++;
    }
    widths[n] = ClampWidth(w);
    return n + 1;
}

// --------------------------------------------------------- UTF-8 layout

int KDI_DecodeUTF8(const char* text, uint32_t* out, int capacity) {
    if (!out || capacity < 1) return 0;
    int n = 0;
    const unsigned char* s = (const unsigned char*)(text ? text : "");
    while (*s && n < capacity - 1) {
        unsigned c = *s++;
        int more = (c & 0xF8) == 0xF0 ? 3 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xE0) == 0xC0 ? 1 : 0;
        uint32_t cp = more == 3 ? (c & 0x07) : more == 2 ? (c & 0x0F) : more == 1 ? (c & 0x1F) : c;
        bool bad = false;
        for (int k = 0; k < more; k++) {
            unsigned b = *s;
            // The terminator or a byte that is not 10xxxxxx ends the
            // sequence: it is dropped, and decoding goes on at that byte,
            // never past the end of the text.
            if ((b & 0xC0) != 0x80) {
                bad = true;
                break;
            }
            cp = (cp << 6) | (b ^ 0x80);
            s++;
        }
        if (bad) continue;
        out[n++] = cp;
    }
    out[n] = 0;
    return n;
}

kd_glyph_t* KDI_FindGlyphByCode(kd_font_t* font, uint32_t code) {
    if (!font || !font->glyphs) return nullptr;
    for (int i = 0; i < font->glyph_count; i++)
        if ((uint32_t)font->glyphs[i].code == code) return &font->glyphs[i];
    KD_Popupf(1, "Font '%s' Missing unicode %d (0x%x) ('%c')\n", font->name ? font->name : "", (int)code,
              (unsigned)code, (int)(code & 0xFF));
    return nullptr;
}

static int AdvanceOf(kd_font_t* font, uint32_t c) {
    kd_glyph_t* g = KDI_FindGlyphByCode(font, c);
    return g ? g->advance : 0;
}

static float GetNextWordLen_UTF32(kd_font_t* font, const uint32_t* t) {
    float w = 0;
    while (*t && *t != ' ' && *t != '\t' && *t != '\n' && *t != '\r') {
        if (*t == '|') {
            const uint32_t* end = TagEnd32((uint32_t*)t + 1);
            t = *end ? end + 1 : end;
            continue;
        }
        w += AdvanceOf(font, *t);
        if (*t > 255) break;  // each such character is a word of its own
        t++;
    }
    return w;
}

int KDI_ParseTextLines_UTF32(kd_font_t* font, int max_width, uint32_t* text, uint32_t** starts, int16_t* widths,
                             int max_lines) {
    if (!font || !text || max_lines < 1) return 0;
    int len = 0;
    while (text[len]) len++;
    kd_glyph_t* space = nullptr;
    for (int i = 0; i < font->glyph_count; i++)
        if (font->glyphs[i].code == 32) {
            space = &font->glyphs[i];
            break;
        }
    float sw = space ? space->advance : 4;
    int n = 0, line_start = 0;
    starts[0] = text;
    float w = 0;
    for (int i = 0; i < len;) {
        uint32_t c = text[i];
        if (c == '|') {
            int j = i + 1;
            while (j < len && text[j] != '|') j++;
            i = j < len ? j + 1 : len;
            continue;
        }
        if (c == ' ' || c == '\n') {
            bool brk = c == '\n';
            if (!brk) {
                float word = GetNextWordLen_UTF32(font, text + i + 1);
                brk = w + sw + word >= (float)max_width;
            }
            if (brk) {
                text[i] = 0;
                widths[n] = ClampWidth(w);
                if (++n >= max_lines) return n;
                starts[n] = text + i + 1;
                line_start = i + 1;
                w = 0;
            } else {
                w += sw;
            }
            i++;
            continue;
        }
        int adv = AdvanceOf(font, c);
        w += adv;
        if (w >= (float)max_width && c != 0xFF0C && c != 0x3002 && i > line_start) {
            // Break before this character: the rest moves one place up to
            // make room for the terminator.
            memmove(text + i + 1, text + i, (size_t)(len - i + 1) * sizeof *text);
            len++;
            text[i] = 0;
            widths[n] = ClampWidth(w - adv);
            if (++n >= max_lines) return n;
            starts[n] = text + i + 1;
            line_start = i + 1;
            w = adv;
            i += 2;
            continue;
        }
        i++;
    }
    widths[n] = ClampWidth(w);
    return n + 1;
}

// ---------------------------------------------------------------- drawing

namespace {

struct Pen {
    float x, y0;  // the pivot
    bool transformed;
    mat2_t m;
    vec2_t pivot;

    void Setup(float sx, float sy, float angle) {
        transformed = angle != 0 || fabsf(sx - 1.0f) >= 0.0001f || fabsf(sy - 1.0f) >= 0.0001f;
        float c = cosf(angle), s = sinf(angle);
        m.m00 = sx * c;
        m.m01 = -sy * s;
        m.m10 = sx * s;
        m.m11 = sy * c;
        pivot.x = x;
        pivot.y = y0;
    }
    void Glyph(kd_bitmap_t* bm, float px, float py) {
        if (transformed)
            KD_DrawBatchBitmapT(bm, px, py, &m, &pivot);
        else
            KD_DrawBatchBitmap(bm, px, py);
    }
};

float LineStart(float x, int width) {
    if (kd_state.text_align & KD_TEXT_ALIGN_RIGHT) return x - (float)width;
    if (kd_state.text_align & KD_TEXT_ALIGN_HCENTER) return x - (float)(width / 2);
    return x;
}

float BlockTop(float y0, int lines, float lh) {
    if (kd_state.text_align & KD_TEXT_ALIGN_BOTTOM) return y0 - (float)lines * lh;
    if (kd_state.text_align & KD_TEXT_ALIGN_VCENTER) return y0 - (float)lines * lh * 0.5f;
    return y0;
}

// A font whose glyphs have no textures yet (loaded on another thread, or
// before the renderer) gets them on the first draw.
void EnsureTextures(kd_font_t* font) {
    if (!ri || !kd_state.renderer_ready || !KD_IsMainThread() || strcmp(ri->GetName(), "Null") == 0) return;
    for (int i = 0; i < font->glyph_count; i++) {
        kd_bitmap_t* bm = &font->glyphs[i].bitmap;
        if (!bm->pixels) continue;
        if (bm->state != KD_BITMAP_READY || !bm->hw.loaded) KDI_RecreateFontAtlas(font);
        return;
    }
}

kd_glyph_t* Glyph_a(kd_font_t* font) { return font->glyph_count > (int)'a' ? &font->glyphs[(int)'a'] : nullptr; }

}  // namespace

static float DrawText_LATIN1(kd_font_t* font, float x, float y, char* text) {
    static char* starts[KD_TEXT_MAX_LINES];
    static int16_t widths[KD_TEXT_MAX_LINES];
    float s = font->draw_scale > 0 ? font->draw_scale : 1.0f;
    float tsx = kd_state.text_scale_x, tsy = kd_state.text_scale_y, angle = kd_state.text_angle;
    float sx = s * tsx, sy = s * tsy;
    int max_width = sx != 0 ? (int)(kd_state.text_box_width / sx) : 0;
    if (max_width < 2) max_width = 65535;
    Pen pen;
    pen.x = x;
    pen.y0 = y + (float)font->base - (float)font->size / s;
    float lh = (float)(int)((float)font->line_height / s);
    int lines = KDI_ParseTextLines_LATIN1(font, max_width, text, starts, widths, KD_TEXT_MAX_LINES - 1);
    pen.Setup(sx, sy, angle);
    float top = BlockTop(pen.y0, lines, lh);
    float draw_scale = s;
    int widest = 0;
    kd->BeginBatch(&font->atlas);
    for (int li = 0; li < lines; li++) {
        if (widths[li] > widest) widest = widths[li];
        float line_top = top + (float)li * lh;
        float px = LineStart(x, widths[li]);
        int p = 0;
        for (unsigned char* t = (unsigned char*)starts[li]; *t;) {
            int c = *t;
            if (c == '|' && t[1] != '|') {
                char* tag = (char*)t + 1;
                char* end = TagEnd(tag);
                if (tag[0] == 'i' || tag[0] == 'I') {
                    ImageBlock ib;
                    ParseImageBlock_LATIN1(tag, end, &ib);
                    if (ib.bm) {
                        kd->EndBatch();
                        float scale = ib.scale / draw_scale;
                        kd_glyph_t* ga = Glyph_a(font);
                        int ay = ga ? ga->y_offset : 0, ah = ga ? ga->bitmap.height : 0;
                        float vy = (float)(int)(line_top + (float)ib.offset + 3.0f / draw_scale + (float)ay +
                                                (float)((ah - ay) / 2));
                        float w = (float)ib.bm->width * scale;
                        float cx = px + w * 0.5f, cy = vy;
                        float a = ib.angle, sc = scale;
                        if (pen.transformed) {
                            float dx = cx - pen.pivot.x, dy = cy - pen.pivot.y;
                            cx = pen.pivot.x + pen.m.m00 * dx + pen.m.m01 * dy;
                            cy = pen.pivot.y + pen.m.m10 * dx + pen.m.m11 * dy;
                            a += angle;
                            sc *= tsx < tsy ? tsx : tsy;
                        }
                        kd->DrawBitmapRS(ib.bm, cx, cy, a, sc);
                        px += w;
                        kd->BeginBatch(&font->atlas);
                    }
                    p = 0;
                } else if (IsScaleTag(tag)) {
                    float v = ScaleTagValue(tag, end);
                    if (v > 0) {
                        sx = s * v * tsx;
                        sy = s * v * tsy;
                        pen.Setup(sx, sy, angle);
                    }
                } else {
                    ApplyColourTag(tag, (int)(end - tag));
                }
                t = (unsigned char*)(*end ? end + 1 : end);
                continue;
            }
            if (c == '|') t++;  // two bars: one '|' glyph
            kd_glyph_t* g = &font->glyphs[c];
            px += (float)Kern(font, c, p);
            if (g->bitmap.width > 0)
                pen.Glyph(&g->bitmap, px + (float)g->x_offset, line_top + (float)g->y_offset);
            px += (float)g->advance;
            p = c;
            t++;
        }
    }
    kd->EndBatch();
    return (float)widest;
}

static uint32_t* DecodeForLayout(const char* text, int* capacity_out) {
    size_t len = text ? strlen(text) : 0;
    // Room for every byte, the terminator and one extra place per line
    // break inserted before a character.
    size_t cap = len + 1 + KD_TEXT_MAX_LINES + 1;
    uint32_t* buf = (uint32_t*)malloc(cap * sizeof(uint32_t));
    if (!buf) {
        KD_PrintDebugf(KD_LOG_ERROR, "error converting %s\n", text ? text : "");
        return nullptr;
    }
    KDI_DecodeUTF8(text, buf, (int)cap);
    *capacity_out = (int)cap;
    return buf;
}

static float DrawText_UTF8(kd_font_t* font, float x, float y, const char* text) {
    static uint32_t* starts[KD_TEXT_MAX_LINES];
    static int16_t widths[KD_TEXT_MAX_LINES];
    int cap;
    uint32_t* buf = DecodeForLayout(text, &cap);
    if (!buf) return 0;
    float s = font->draw_scale > 0 ? font->draw_scale : 1.0f;
    float sx = s * kd_state.text_scale_x, sy = s * kd_state.text_scale_y;
    int max_width = sx != 0 ? (int)(kd_state.text_box_width / sx) : 0;
    if (max_width < 2) max_width = 65535;
    Pen pen;
    pen.x = x;
    pen.y0 = y + (float)font->base - (float)font->size / s;
    float lh = (float)(int)((float)font->line_height / s);
    int lines = KDI_ParseTextLines_UTF32(font, max_width, buf, starts, widths, KD_TEXT_MAX_LINES);
    pen.Setup(sx, sy, kd_state.text_angle);
    float top = BlockTop(pen.y0, lines, lh);
    int widest = 0;
    kd->BeginBatch(&font->atlas);
    for (int li = 0; li < lines; li++) {
        if (widths[li] > widest) widest = widths[li];
        float line_top = top + (float)li * lh;
        float px = LineStart(x, widths[li]);
        for (uint32_t* t = starts[li]; *t;) {
            if (*t == '|') {
                uint32_t* tag = t + 1;
                uint32_t* end = TagEnd32(tag);
                if (*tag != 'i' && *tag != 's') ApplyColourTag(tag, (int)(end - tag));
                t = *end ? end + 1 : end;
                continue;
            }
            kd_glyph_t* g = KDI_FindGlyphByCode(font, *t);
            if (g) {
                if (g->bitmap.width > 0)
                    pen.Glyph(&g->bitmap, px + (float)g->x_offset, line_top + (float)g->y_offset);
                px += (float)g->advance;
            }
            t++;
        }
    }
    kd->EndBatch();
    free(buf);
    return (float)widest;
}

float KDI_DrawTextXY(kd_font_t* font, float x, float y, char* text) {
    if (!text || !*text) {
        kd_state.last_text_width = kd_state.last_text_height = 0;
        return 0;
    }
    if (!font || font->size < 1 || !font->glyphs) return 0;
    EnsureTextures(font);
    if (font->encoding == KD_FONT_UTF8) return DrawText_UTF8(font, x, y, text);
    if (font->glyph_count < 256) return 0;
    return DrawText_LATIN1(font, x, y, text);
}

// -------------------------------------------------------------- measuring

static void StoreSize(kd_font_t* font, int lines, int widest) {
    float s = font->draw_scale > 0 ? font->draw_scale : 1.0f;
    kd_state.last_text_width = s * kd_state.text_scale_x * (float)widest;
    float lh = (float)font->line_height;
    float tallest = (float)(font->size > font->line_height ? font->size : font->line_height);
    kd_state.last_text_height =
        s * kd_state.text_scale_y * ((lh * (float)(lines - 1)) / s + (float)(int)(tallest / s));
}

void KDI_GetTextSize(kd_font_t* font, char* text) {
    if (!text || !*text || !font || !font->glyphs) {
        kd_state.last_text_width = kd_state.last_text_height = 0;
        return;
    }
    float s = font->draw_scale > 0 ? font->draw_scale : 1.0f;
    int max_width = (int)(kd_state.text_box_width / s);
    if (max_width < 2) max_width = 65535;
    int widest = 0, lines = 0;
    if (font->encoding == KD_FONT_UTF8) {
        static uint32_t* starts[KD_TEXT_MAX_LINES];
        static int16_t widths[KD_TEXT_MAX_LINES];
        int cap;
        uint32_t* buf = DecodeForLayout(text, &cap);
        if (!buf) return;
        lines = KDI_ParseTextLines_UTF32(font, max_width, buf, starts, widths, KD_TEXT_MAX_LINES - 1);
        for (int i = 0; i < lines; i++)
            if (widths[i] > widest) widest = widths[i];
        free(buf);
    } else {
        if (font->glyph_count < 256) return;
        static char* starts[KD_TEXT_MAX_LINES];
        static int16_t widths[KD_TEXT_MAX_LINES];
        lines = KDI_ParseTextLines_LATIN1(font, max_width, text, starts, widths, KD_TEXT_MAX_LINES);
        for (int i = 0; i < lines; i++)
            if (widths[i] > widest) widest = widths[i];
    }
    StoreSize(font, lines, widest);
}

// ------------------------------------------------------- the operations

float KD_DrawTextf(kd_font_t* font, float x, float y, const char* format, ...) {
    if (!font || font->size < 1 || !format) return 0;
    va_list ap;
    va_start(ap, format);
    vsnprintf(text_buffer, sizeof text_buffer, format, ap);
    va_end(ap);
    return KDI_DrawTextXY(font, x, y, text_buffer);
}

static void MeasureV(kd_font_t* font, const char* format, va_list ap) {
    char buffer[KD_TEXT_BUFFER];
    vsnprintf(buffer, sizeof buffer, format ? format : "", ap);
    KDI_GetTextSize(font, buffer);
}

void KD_GetTextSizef(kd_font_t* font, float* w, float* h, const char* format, ...) {
    if (!font) return;
    va_list ap;
    va_start(ap, format);
    MeasureV(font, format, ap);
    va_end(ap);
    if (w) *w = kd_state.last_text_width;
    if (h) *h = kd_state.last_text_height;
}

float KD_GetTextWidthf(kd_font_t* font, const char* format, ...) {
    if (!font) return 0;
    va_list ap;
    va_start(ap, format);
    MeasureV(font, format, ap);
    va_end(ap);
    return kd_state.last_text_width;
}

float KD_GetTextHeightf(kd_font_t* font, const char* format, ...) {
    if (!font) return 0;
    va_list ap;
    va_start(ap, format);
    MeasureV(font, format, ap);
    va_end(ap);
    return kd_state.last_text_height;
}
