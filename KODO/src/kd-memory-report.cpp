// Memory estimates of the resource tables, for the developer overlays and
// the "RefreshMemUsageEstimates" / "ListResourceUsage" commands.
#include <algorithm>
#include <vector>

#include "kd-bitmap-seq.h"
#include "kd-font.h"
#include "kd-internal.h"

// Sounds above this size are music streamed by the platform, not held.
static const long kMusicBytes = 4194304;

static long FontSoftwareBytes(const kd_font_t* f) {
    long bytes = 0;
    for (int g = 0; g < f->glyph_count; g++) {
        const kd_bitmap_t& b = f->glyphs[g].bitmap;
        if (b.pixels) bytes += 4L * b.width * b.height;
    }
    return bytes;
}

static long FontAtlasBytes(const kd_font_t* f) { return 4L * f->atlas.hw.tex_width * f->atlas.hw.tex_height; }

static long SoundBytes(kd_sound_t* s) {
    return kd_state.sound_imp ? kd_state.sound_imp->GetSoundDataSize(s) : 0;
}

void KDI_RefreshMemUsageEstimates() {
    long software = 0, hardware = 0, hardware_exact = 0, sound = 0;
    for (int i = 0; i < kd_state.num_bitmaps; i++) {
        kd_bitmap_t* bm = &kd_state.bitmaps[i];
        if (!bm->name) continue;
        if (bm->pixels) software += 4L * bm->width * bm->height;
        if (bm->hw.loaded) {
            hardware += KDI_GetBitmapGPUMemoryUsageEstimate(bm, false);
            hardware_exact += KDI_GetBitmapGPUMemoryUsageEstimate(bm, true);
        }
    }
    for (int i = 0; i < KD_MAX_FONTS; i++) {
        const kd_font_t* f = &kd_fonts.fonts[i];
        if (!f->name) continue;
        software += FontSoftwareBytes(f) + FontAtlasBytes(f);
    }
    for (int i = 0; i < kd_state.num_sounds; i++) {
        kd_sound_t* s = &kd_state.sounds[i];
        if (!s->name) continue;
        long bytes = SoundBytes(s);
        if (bytes <= kMusicBytes) sound += bytes;
    }
    KD_SetKeyStatei(2001, (int)software);
    KD_SetKeyStatei(2002, (int)hardware);
    KD_SetKeyStatei(2003, (int)hardware_exact);
    KD_SetKeyStatei(2004, (int)sound);
    KD_SetKeyStatei(2005, (int)(software + hardware + sound));
}

namespace {
struct Item {
    const char* name;
    const char* kind;
    long bytes;
    int w, h;
};
}  // namespace

static void Line(const char* fmt, ...) N_PRINTF_LIKE(1, 2);
static void Line(const char* fmt, ...) {
    char text[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    KD_PrintDebugf(KD_LOG_SYSTEM, "%s", text);
}

void KDI_ListResourceUsage() {
    const double kb = 1.0 / 1024;
    std::vector<Item> items;
    long bitmap_total = 0, sound_total = 0, font_total = 0;

    Line("Listing Resource Usage.\n");
    Line("\nBitmaps:\n");
    for (int i = 0; i < kd_state.num_bitmaps; i++) {
        kd_bitmap_t* bm = &kd_state.bitmaps[i];
        if (!bm->name) continue;
        long gpu = bm->hw.loaded ? KDI_GetBitmapGPUMemoryUsageEstimate(bm, false) : 0;
        long sys = bm->pixels ? 4L * bm->width * bm->height : 0;
        if (sys)
            Line("Bitmap #%.3d %dx%d '%s' refc=%d sysmem=%.1fKB gpumem=%.1fKB texture=%dx%d\n", i, bm->width,
                 bm->height, bm->name, bm->ref_count, sys * kb, gpu * kb, bm->hw.tex_width, bm->hw.tex_height);
        else
            Line("Bitmap #%.3d %dx%d '%s' refc=%d gpumem=%.1fKB  texture=%dx%d\n", i, bm->width, bm->height,
                 bm->name, bm->ref_count, gpu * kb, bm->hw.tex_width, bm->hw.tex_height);
        bitmap_total += sys + gpu;
        if (bm->hw.loaded) items.push_back({bm->name, "GFX", gpu + sys, bm->width, bm->height});
    }
    Line("\nSounds:");
    for (int i = 0; i < kd_state.num_sounds; i++) {
        kd_sound_t* s = &kd_state.sounds[i];
        if (!s->name) continue;
        long bytes = SoundBytes(s);
        if (bytes > kMusicBytes) {
            Line("Assuming Sound #%.3d '%s' is music and not counting its memory\n", i, s->name);
            continue;
        }
        Line("Sound #%.3d '%s' sysmem=%.1fKB\n", i, s->name, bytes * kb);
        sound_total += bytes;
        items.push_back({s->name, "SND", bytes, 0, 0});
    }
    Line("\nFonts:");
    for (int i = 0; i < KD_MAX_FONTS; i++) {
        const kd_font_t* f = &kd_fonts.fonts[i];
        if (!f->name) continue;
        long sys = FontSoftwareBytes(f), gpu = FontAtlasBytes(f);
        if (sys)
            Line("Font #%.3d '%s' sysmem=%.1fKB gpumem=%.1fKB \n", i, f->name, sys * kb, gpu * kb);
        else
            Line("Font #%.3d '%s' gpumem=%.1fKB \n", i, f->name, gpu * kb);
        font_total += sys + gpu;
        items.push_back({f->name, "FNT", sys + gpu, 0, 0});
    }
    Line("Total %.1fKB allocated for bitmaps in (system+gpu) memory.\n", bitmap_total * kb);
    Line("Total %.1fKB allocated for sounds in system memory.\n", sound_total * kb);
    Line("Total %.1fKB allocated for fonts in (system+gpu) memory.\n", font_total * kb);
    Line("Total %.1fKB allocated for all resources.\n", (bitmap_total + sound_total + font_total) * kb);
    Line("KODO state size is %.1fKB.\n", sizeof(kd_state_t) * kb);

    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.bytes > b.bytes; });
    int top = (int)std::min<size_t>(items.size(), 50);
    Line("\nTOP%d Memory Hogs\n", top);
    for (int i = 0; i < top; i++) {
        const Item& it = items[i];
        if (it.w || it.h)
            Line("#%.3d %s %.0fKB %dx%d %s\n", i + 1, it.kind, it.bytes * kb, it.w, it.h, it.name);
        else
            Line("#%.3d %s %.0fKB %s\n", i + 1, it.kind, it.bytes * kb, it.name);
    }
}
