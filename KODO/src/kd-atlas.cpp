// Atlases: many bitmaps (the unique frames of a sequence, the glyphs of a
// font) packed in rows into one power-of-two image, with colour bled into
// transparent pixels so that filtering at the edges pulls in no black; and
// the border a single bitmap gets inside its own texture.
#include <stdlib.h>
#include <string.h>

#include "kd-bitmap-seq.h"
#include "kd-image.h"

namespace {

int Pow2AtLeast(int v) {
    int p = 1;
    while (p < v && p < (1 << 30)) p <<= 1;
    return p;
}

// Rows of height maxH + 2 from (2, 2); a bitmap that does not fit the rest
// of its row starts the next. `place` receives each position.
template <class F>
bool ShelfFits(kd_bitmap_t** bitmaps, int n, int W, int H, int maxH, F place) {
    int x = 2, y = 2;
    for (int i = 0; i < n; i++) {
        int w = bitmaps[i]->width;
        if (x + w + 2 > W) {
            x = 2;
            y += maxH + 2;
        }
        if (x + w + 2 > W || y + maxH + 2 > H) return false;
        place(i, x, y);
        x += w + 2;
    }
    return true;
}

}  // namespace

void KDI_PasteBitmap(kd_bitmap_t* src, int x, int y, kd_bitmap_t* dst) {
    if (!src || !dst || !src->pixels || !dst->pixels) return;
    size_t row = (size_t)src->width * 4;
    for (int r = 0; r < src->height; r++)
        memcpy(dst->pixels + ((size_t)(y + r) * (size_t)dst->width + (size_t)x) * 4,
               src->pixels + (size_t)r * row, row);
}

void KDI_FixAlphaBleeding(kd_bitmap_t* bm) {
    if (!bm) return;
    KDI_FixAlphaBleedingPixels(bm->pixels, bm->width, bm->height, (bm->flags & KD_BITMAP_HAS_ALPHA) != 0);
}

uint32_t KDI_GetBitmapSamplePoint(kd_bitmap_t* bm, double u, double v) {
    if (!bm || !bm->pixels || bm->width < 1 || bm->height < 1) return 0;
    int x = (int)(bm->width * u), y = (int)(bm->height * v);
    bool clamped = false;
    if (x < 0) x = 0, clamped = true;
    if (x > bm->width - 1) x = bm->width - 1, clamped = true;
    if (y < 0) y = 0, clamped = true;
    if (y > bm->height - 1) y = bm->height - 1, clamped = true;
    const uint8_t* p = bm->pixels + ((size_t)y * (size_t)bm->width + (size_t)x) * 4;
    uint32_t px = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
    if (clamped && (bm->flags & KD_BITMAP_HAS_ALPHA)) px &= 0x00FFFFFFu;
    return px;
}

bool KDI_PackBitmaps(kd_bitmap_t* atlas, kd_bitmap_t** bitmaps, int n) {
    if (!atlas) return false;
    free(atlas->pixels);
    atlas->pixels = nullptr;
    char* old_name = atlas->name;
    KDI_InitBitmap(atlas, "");
    free(old_name);
    atlas->pack_mode = KD_PACK_NONE;

    int maxH = 0;
    double area = 0, pow2_area = 0;
    for (int i = 0; i < n; i++) {
        kd_bitmap_t* b = bitmaps[i];
        // Every bitmap is pasted from its own pixels: one without them, or
        // without a size, cannot be packed.
        if (!b || !b->pixels || b->width < 1 || b->height < 1) {
            KD_PrintDebugf(KD_LOG_WARNING, "KDI_PackBitmaps: bitmap #%d has no pixels.\n", i);
            return false;
        }
        if (b->height > maxH) maxH = b->height;
        area += (double)b->width * b->height;
        pow2_area += (double)Pow2AtLeast(b->width) * Pow2AtLeast(b->height);
    }

    int bestW = 2048, bestH = 2048;
    bool found = false;
    for (int E = 10; E <= 11 && !found; E++) {
        for (int he = E - 5; he <= E; he++) {
            for (int we = E - 5; we <= E; we++) {
                int W = 1 << we, H = 1 << he;
                long cand = (long)W * H, best = (long)bestW * bestH;
                if (cand > best) continue;
                if (cand == best) {
                    double r = (double)(W < H ? W : H) / (W > H ? W : H);
                    double rb = (double)(bestW < bestH ? bestW : bestH) / (bestW > bestH ? bestW : bestH);
                    if (r < rb) continue;
                }
                if (!ShelfFits(bitmaps, n, W, H, maxH, [](int, int, int) {})) continue;
                KD_Printf("Fits into %dx%d (%d %% full)\n", W, H, (int)(area / ((double)W * H) * 100));
                bestW = W;
                bestH = H;
                found = true;
            }
        }
    }
    if (!found) {
        // The caller decides what to do without an atlas (a sequence then
        // keeps its frames and writes no file); the process goes on.
        KD_Popupf(1,
                  "KDI_PackBitmaps unable to find large enough atlas size for %d bitmaps (first bm size %dx%d). All "
                  "bitmaps need to fit into 1024x1024 atlas for 100%% cross-platform compatibility.",
                  n, n > 0 ? bitmaps[0]->width : 0, n > 0 ? bitmaps[0]->height : 0);
        return false;
    }
    KD_Printf("Choosing %dx%d, packing pixels... (ratio %.2f vs single images)\n", bestW, bestH,
              pow2_area / ((double)bestW * bestH));
    atlas->width = atlas->pb_width = bestW;
    atlas->height = atlas->pb_height = bestH;
    atlas->pixels = (uint8_t*)calloc((size_t)bestW * (size_t)bestH, 4);
    if (!atlas->pixels) {
        KD_PrintDebugf(KD_LOG_ERROR, "KDI_PackBitmaps: no memory for a %dx%d atlas.\n", bestW, bestH);
        return false;
    }
    atlas->flags |= KD_BITMAP_HAS_ALPHA;
    if (n < 1) {
        KD_Printf("WARNING: Failed to tile %d bitmaps into any atlas.\n", n);
        return false;
    }
    ShelfFits(bitmaps, n, bestW, bestH, maxH, [&](int i, int x, int y) {
        kd_bitmap_t* b = bitmaps[i];
        KDI_PasteBitmap(b, x, y, atlas);
        b->hw.left_u = (float)x / bestW;
        b->hw.top_v = (float)y / bestH;
        b->hw.right_u = (float)(x + b->width) / bestW;
        b->hw.bottom_v = (float)(y + b->height) / bestH;
    });
    KDI_FixAlphaBleeding(atlas);
    KD_Printf("Successfully packed %d bitmaps into %dx%d atlas.\n", n, bestW, bestH);
    return true;
}

// Fills the border around the W x H image at (bx, by) of a TW x TH texture:
// expand copies the edge rows and columns one texel outwards; transparent
// then sets the border's alpha to 0.
void KDI_FillTextureBorder(uint8_t* d, size_t row_bytes, int TW, int TH, int W, int H, int bx, int by, int mode) {
    if (mode != KD_PACK_EXPAND && mode != KD_PACK_TRANSPARENT) return;
    auto px = [&](int x, int y) { return d + (size_t)y * row_bytes + (size_t)x * 4; };
    if (by) {
        memcpy(px(bx, by - 1), px(bx, by), (size_t)W * 4);
        if (by + H < TH) memcpy(px(bx, by + H), px(bx, by + H - 1), (size_t)W * 4);
    }
    if (bx) {
        int y0 = by ? by - 1 : 0, y1 = by ? by + H : H - 1;
        if (y1 >= TH) y1 = TH - 1;
        for (int y = y0; y <= y1; y++) {
            memcpy(px(bx - 1, y), px(bx, y), 4);
            if (bx + W < TW) memcpy(px(bx + W, y), px(bx + W - 1, y), 4);
        }
    }
    if (mode != KD_PACK_TRANSPARENT) return;
    if (by) {
        for (int x = 0; x < TW; x++) {
            px(x, by - 1)[3] = 0;
            if (by + H < TH) px(x, by + H)[3] = 0;
        }
    }
    if (bx) {
        for (int y = 0; y < TH; y++) {
            px(bx - 1, y)[3] = 0;
            if (bx + W < TW) px(bx + W, y)[3] = 0;
        }
    }
}

void BitmapTexturePacker::ApplyPadding(int mode) {
    if ((border_x == 0 && border_y == 0) || !target || !bitmap) return;
    int W = bitmap->pb_width, H = bitmap->pb_height;
    if (W < 1 || H < 1) return;
    KDI_FillTextureBorder(target, (size_t)pitch, target_width, H + 2 * border_y, W, H, border_x, border_y, mode);
}
