// The `.sft` font reader on arbitrary bytes: every count and size the file
// declares is checked against its length, so nothing may be read past the
// end, allocated without bound, or left half-read.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "kd-font.h"
#include "kd-internal.h"

kd_prog_t* KD_GetInterface() { return nullptr; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kd_font_t font;
    memset(&font, 0, sizeof font);
    font.name = nStringDuplicate("fuzz.sft");
    if (KDI_ParseFontSFT(&font, data, size, nullptr)) {
        // A font that loaded is whole: every glyph's pixels and row exist
        // as declared.
        for (int i = 0; i < font.glyph_count; i++) {
            kd_glyph_t& g = font.glyphs[i];
            if (g.bitmap.pixels) {
                volatile uint8_t last = g.bitmap.pixels[(size_t)g.bitmap.width * g.bitmap.height * 4 - 1];
                (void)last;
            }
            if (g.kerning) {
                volatile int8_t k = g.kerning[font.glyph_count - 1];
                (void)k;
            }
        }
    } else if (font.size != 0 || font.glyph_count != 256) {
        abort();
    }
    KDI_FreeGlyphs(font.glyphs, font.glyph_count);
    free(font.name);
    return 0;
}
