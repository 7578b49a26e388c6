// Text layout with markup on arbitrary text: LATIN-1 line breaking and
// measuring (colour, scale and image tags, doubled bars, newlines) and the
// UTF-8 path (decoding, CJK breaking). The first input byte picks the box
// width.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "kd-font.h"
#include "kd-internal.h"

kd_prog_t* KD_GetInterface() { return nullptr; }

namespace {

kd_font_t* MakeFont(bool utf8) {
    static kd_font_t fonts[2];
    kd_font_t* f = &fonts[utf8 ? 1 : 0];
    if (f->glyphs) return f;
    f->name = nStringDuplicate(utf8 ? "utf8" : "latin1");
    f->encoding = utf8 ? KD_FONT_UTF8 : KD_FONT_LATIN1;
    f->glyph_count = 256;
    f->glyphs = KDI_AllocGlyphs(256);
    f->size = f->base = 10;
    f->line_height = 12;
    f->draw_scale = 1;
    for (int c = 0; c < 256; c++) {
        f->glyphs[c].code = utf8 ? (c < 128 ? c : 0x4E00 + c) : 0;
        f->glyphs[c].advance = (int16_t)(c % 13);
        if (!utf8) {
            f->glyphs[c].kerning = (int8_t*)calloc(256, 1);
            for (int k = 0; k < 256; k++) f->glyphs[c].kerning[k] = (int8_t)((c * 7 + k) % 9 - 4);
        }
    }
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4000) return 0;
    int box = data[0] * 3;
    std::vector<char> text(data + 1, data + size);
    text.push_back(0);

    std::vector<char> work = text;
    static char* starts[KD_TEXT_MAX_LINES];
    static int16_t widths[KD_TEXT_MAX_LINES];
    int n = KDI_ParseTextLines_LATIN1(MakeFont(false), box, work.data(), starts, widths, KD_TEXT_MAX_LINES);
    if (n < 0 || n > KD_TEXT_MAX_LINES) abort();
    for (int i = 0; i < n; i++)
        if (starts[i] < work.data() || starts[i] >= work.data() + work.size()) abort();

    size_t cap = text.size() + KD_TEXT_MAX_LINES + 2;
    std::vector<uint32_t> cps(cap);
    KDI_DecodeUTF8(text.data(), cps.data(), (int)cap);
    static uint32_t* ustarts[KD_TEXT_MAX_LINES];
    n = KDI_ParseTextLines_UTF32(MakeFont(true), box, cps.data(), ustarts, widths, KD_TEXT_MAX_LINES);
    if (n < 0 || n > KD_TEXT_MAX_LINES) abort();
    for (int i = 0; i < n; i++)
        if (ustarts[i] < cps.data() || ustarts[i] >= cps.data() + cap) abort();

    // Measuring through the public path formats and lays out once more.
    kd_state.text_box_width = (float)box;
    kd_state.text_scale_x = kd_state.text_scale_y = 1;
    work = text;
    KDI_GetTextSize(MakeFont(false), work.data());
    work = text;
    KDI_GetTextSize(MakeFont(true), work.data());
    return 0;
}
