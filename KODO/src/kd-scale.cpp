// Software image scaling: bilinear filtering for moderate factors, an
// averaging filter for strong reduction, with transparent pixels kept from
// darkening the visible ones.
#include <stdlib.h>
#include <string.h>

#include "kd-image.h"
#include "kd-internal.h"

namespace {

// Reads pixel (x, y) with the position clamped into the image. For an image
// with alpha, a position outside it reads as the edge pixel made fully
// transparent, so that filtering fades out at the borders.
inline void SamplePixel(const uint8_t* px, int w, int h, bool has_alpha, int x, int y, uint8_t out[4]) {
    bool clamped = false;
    if (x < 0) x = 0, clamped = true;
    if (x > w - 1) x = w - 1, clamped = true;
    if (y < 0) y = 0, clamped = true;
    if (y > h - 1) y = h - 1, clamped = true;
    memcpy(out, px + ((size_t)y * (size_t)w + (size_t)x) * 4, 4);
    if (clamped && has_alpha) out[3] = 0;
}

// Bilinear value at source position (sx, sy) in 11-bit fixed point: the
// weights sum to 2^22, so one shift per lane.
inline void Bilinear(const uint8_t* px, int w, int h, bool has_alpha, double sx, double sy, uint8_t out[4]) {
    int ix = (int)sx, iy = (int)sy;
    uint32_t fx = (uint32_t)((sx - ix) * 2048), fy = (uint32_t)((sy - iy) * 2048);
    uint8_t p00[4], p10[4], p01[4], p11[4];
    SamplePixel(px, w, h, has_alpha, ix, iy, p00);
    SamplePixel(px, w, h, has_alpha, ix + 1, iy, p10);
    SamplePixel(px, w, h, has_alpha, ix, iy + 1, p01);
    SamplePixel(px, w, h, has_alpha, ix + 1, iy + 1, p11);
    uint32_t w00 = (2048 - fx) * (2048 - fy), w10 = fx * (2048 - fy), w01 = (2048 - fx) * fy, w11 = fx * fy;
    for (int l = 0; l < 4; l++) {
        uint32_t v = (p00[l] * w00 + p10[l] * w10 + p01[l] * w01 + p11[l] * w11) >> 22;
        out[l] = (uint8_t)(v > 254 ? 255 : v);
    }
}

inline uint8_t UnitToByte(double v) {
    if (v < 0) v = 0;
    if (v > 1) v = 1;
    return (uint8_t)(int)(v * 255);
}

}  // namespace

void KDI_FixAlphaBleedingPixels(uint8_t* pixels, int width, int height, bool has_alpha) {
    if (!pixels || width <= 0 || height <= 0) return;
    static const int dx[4] = {0, 1, 0, -1}, dy[4] = {-1, 0, 1, 0};  // above, right, below, left
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            uint8_t* p = pixels + ((size_t)y * (size_t)width + (size_t)x) * 4;
            if (p[3] != 0) continue;
            uint8_t n[4], colour[3];
            bool found = false;
            for (int k = 0; k < 4; k++) {
                SamplePixel(pixels, width, height, has_alpha, x + dx[k], y + dy[k], n);
                if (n[3] != 0) {
                    memcpy(colour, n, 3);
                    found = true;
                }
            }
            if (found) memcpy(p, colour, 3);
            p[3] = 0;
        }
    }
}

void KDI_FixAlphaBleeding(kd_image_t* img) {
    if (!img) return;
    KDI_FixAlphaBleedingPixels(img->pixels, img->width, img->height, (img->flags & KD_IMAGE_HAS_ALPHA) != 0);
}

bool KDI_CreateImageResized(kd_image_t* target, kd_image_t* source, int width, int height, int) {
    if (!target) KD_Popupf(1, "KDI_CreateImageResized bm_target is null.\n");
    if (!source) KD_Popupf(1, "KDI_CreateImageResized bm_source is null.\n");
    if (source && !source->pixels)
        KD_Popupf(1, "KDI_CreateImageResized bm_source '%s' has no pixels.\n",
                  source->name ? source->name : "(null)");
    if (!target || !source || !source->pixels) return false;
    if (width < 1 || width > 65534 || height < 1 || height > 65534) return false;
    const int sw = source->width, sh = source->height;
    if (sw < 1 || sh < 1) return false;
    size_t bytes = KDI_ImageBufferSize(width, height);
    if (bytes == 0) {
        KD_PrintDebugf(KD_LOG_WARNING, "KDI_CreateImageResized: %dx%d is too large.\n", width, height);
        return false;
    }
    // The new pixels are made before the target's old ones are freed, so a
    // failed allocation leaves the target as it was and the source may be
    // the target itself.
    uint8_t* out = (uint8_t*)malloc(bytes);
    if (!out) {
        KD_PrintDebugf(KD_LOG_WARNING, "KDI_CreateImageResized: out of memory for %dx%d.\n", width, height);
        return false;
    }

    KDI_FixAlphaBleeding(source);
    const bool has_alpha = (source->flags & KD_IMAGE_HAS_ALPHA) != 0;
    const uint8_t* src = source->pixels;

    if (sw == width && sh == height) {
        memcpy(out, src, bytes);
    } else {
        const double rx = (double)sw / width, ry = (double)sh / height;
        const bool bilinear = rx <= 1.5 && ry <= 1.5;
        uint8_t* p = out;
        for (int y = 0; y < height; y++) {
            const double sy0 = (double)y / height * sh;
            for (int x = 0; x < width; x++, p += 4) {
                const double sx0 = (double)x / width * sw;
                if (bilinear) {
                    Bilinear(src, sw, sh, has_alpha, sx0, sy0, p);
                    continue;
                }
                double sum[4] = {0, 0, 0, 0};
                int total = 0, visible = 0;
                for (double sy = sy0; sy < sy0 + ry; sy += 1) {
                    for (double sx = sx0; sx < sx0 + rx; sx += 1) {
                        uint8_t s[4];
                        Bilinear(src, sw, sh, has_alpha, sx, sy, s);
                        total++;
                        if (s[3] == 0) continue;
                        visible++;
                        for (int l = 0; l < 4; l++) sum[l] += s[l] / 255.0;
                    }
                }
                // All samples transparent: black, alpha 0 (the bleeding
                // pass below gives it a neighbour's colour).
                for (int l = 0; l < 3; l++) p[l] = visible ? UnitToByte(sum[l] / visible) : 0;
                p[3] = total ? UnitToByte(sum[3] / total) : 0;
            }
        }
    }

    free(target->pixels);
    target->pixels = out;
    target->width = width;
    target->height = height;
    target->flags = (int16_t)((target->flags & ~KD_IMAGE_HAS_ALPHA) | (has_alpha ? KD_IMAGE_HAS_ALPHA : 0));
    if (has_alpha) KDI_FixAlphaBleeding(target);
    return true;
}
