// Least-safe stand-ins for bitmap loading and lookups, fonts, text and
// overlays until they are built: nothing is loaded or drawn.
#include "kd-internal.h"

kd_font_t* KD_GetFont(const char* name) { return nullptr; }
kd_font_t* KD_LoadFont(const char* name) { return nullptr; }
void KD_RefreshFont(kd_font_t* font) {}
void KD_ReleaseFont(kd_font_t* font) {}
void KD_SaveFont(kd_font_t* font, const char* path) {}
kd_bitmap_t* KD_GetBitmap(const char* name) { return nullptr; }
kd_bitmap_t* KD_GetBitmapEx(const char* name, int cache_mode) { return nullptr; }
kd_bitmap_t* KD_LoadBitmap(const char* name, int cache_mode) { return nullptr; }
int KD_SaveBitmap(kd_bitmap_t* bm, const char* path, int quality) { return 0; }
void KD_SetTextAlign(int flags) {}
void KD_SetTextboxWidth(int width) {}
void KD_SetTextTransform(float scale_x, float scale_y, float angle) {}
void KD_DrawTextf(kd_font_t* font, float x, float y, const char* format, ...) {}
void KD_GetTextSizef(kd_font_t* font, float* w, float* h, const char* format, ...) {
    if (w) *w = 0;
    if (h) *h = 0;
}
float KD_GetTextWidthf(kd_font_t* font, const char* format, ...) { return 0; }
float KD_GetTextHeightf(kd_font_t* font, const char* format, ...) { return 0; }

void KDI_UpdateAndDrawOverlays(float dt) {}
void KDI_ReleaseFontsAtExit() {}
// The drawing state is set (kd-draw.cpp); the text state comes with the
// text layout.
void KDI_InitTextAndDrawingState() { KDI_InitDrawingState(); }

// The font table does not exist yet: nothing to refresh.
#include "rendimp.h"
void KDI_RefreshFontsAfterInit() {}

// Loading a reloadable bitmap by its name comes with the bitmap table.
void KDI_LoadBitmap(kd_bitmap_t* bm) {}
