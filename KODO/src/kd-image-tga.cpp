// TGA: uncompressed (type 2) and run-length (type 10) true-colour images of
// 24 or 32 bits, read from memory and written uncompressed. Every read of
// the input is checked against its size.
#include <stdlib.h>
#include <string.h>

#include "kd-image.h"
#include "kd-internal.h"

namespace {

const size_t TGA_HEADER_SIZE = 18;

struct TgaHeader {
    uint8_t id_length;
    uint8_t color_map_type;
    uint8_t image_type;
    int width, height;
    uint8_t bits;
    uint8_t descriptor;
};

// Little-endian fields whatever the host order.
int Read16(const uint8_t* p) { return p[0] | (p[1] << 8); }

TgaHeader ParseHeader(const uint8_t* data) {
    TgaHeader h;
    h.id_length = data[0];
    h.color_map_type = data[1];
    h.image_type = data[2];
    h.width = Read16(data + 12);
    h.height = Read16(data + 14);
    h.bits = data[16];
    h.descriptor = data[17];
    return h;
}

const char* NameOf(const kd_image_t* img) { return img->name ? img->name : "(null)"; }

// One file pixel (blue, green, red [, alpha]) into memory order.
inline void StorePixel(uint8_t* out, const uint8_t* in, int bytes, bool bgr) {
    if (bgr) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
    } else {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
    out[3] = bytes == 4 ? in[3] : 255;
}

// Where the file's pixel number `index` goes: files store rows bottom first
// unless descriptor bit 5 says top first. The pixel stream runs on across
// row ends, so a run-length packet that crosses a row end continues on the
// next row of the file, whichever way rows are stored.
inline uint8_t* Destination(uint8_t* pixels, size_t index, int width, int height, bool top_first) {
    size_t row = index / (size_t)width, col = index % (size_t)width;
    size_t out_row = top_first ? row : (size_t)height - 1 - row;
    return pixels + (out_row * (size_t)width + col) * 4;
}

}  // namespace

int KDI_GetImageDimensionsTGA(kd_image_t* img, const uint8_t* data, size_t size) {
    if (!img) return 0;
    img->width = img->height = 0;
    KDI_FreeImage(img);
    if (!data || size < TGA_HEADER_SIZE) {
        KD_PrintDebugf(KD_LOG_WARNING, "TGA ERROR: Image '%s' has no header.\n", NameOf(img));
        return 0;
    }
    TgaHeader h = ParseHeader(data);
    img->width = h.width;
    img->height = h.height;
    img->flags |= KD_IMAGE_HAS_ALPHA | KD_IMAGE_RELOADABLE;
    return 1;
}

int KDI_LoadImageMemTGA(kd_image_t* img, const uint8_t* data, size_t size, bool bgr) {
    if (!img) return 0;
    img->width = img->height = 0;
    KDI_FreeImage(img);
    if (!data || size < TGA_HEADER_SIZE) {
        KD_PrintDebugf(KD_LOG_WARNING, "TGA ERROR: Image '%s' has no header.\n", NameOf(img));
        return 0;
    }
    TgaHeader h = ParseHeader(data);
    if (h.color_map_type != 0 || (h.image_type != 2 && h.image_type != 10) || (h.bits != 24 && h.bits != 32)) {
        KD_PrintDebugf(KD_LOG_WARNING,
                       "TGA ERROR: Image '%s' of colour-map type %d, image type %d, %d bits is not supported.\n",
                       NameOf(img), h.color_map_type, h.image_type, h.bits);
        return 0;
    }
    size_t bytes = KDI_ImageBufferSize(h.width, h.height);
    if (bytes == 0) {
        KD_PrintDebugf(KD_LOG_WARNING, "TGA ERROR: Image '%s' has unusable size %dx%d.\n", NameOf(img), h.width,
                       h.height);
        return 0;
    }
    size_t pos = TGA_HEADER_SIZE + h.id_length;
    if (pos > size) {
        KD_PrintDebugf(KD_LOG_WARNING, "TGA ERROR: Image '%s' ends inside its ID field.\n", NameOf(img));
        return 0;
    }
    const int pb = h.bits / 8;
    const size_t count = (size_t)h.width * (size_t)h.height;
    const bool top_first = (h.descriptor & 0x20) != 0;

    if (h.image_type == 2 && (size - pos) / (size_t)pb < count) {
        KD_PrintDebugf(KD_LOG_WARNING, "TGA ERROR: Image '%s' pixel data is truncated.\n", NameOf(img));
        return 0;
    }
    // Zeroed, so that pixels a damaged run-length stream never reaches are
    // transparent black rather than old heap contents.
    uint8_t* pixels = (uint8_t*)calloc(1, bytes);
    if (!pixels) {
        KD_PrintDebugf(KD_LOG_WARNING, "TGA ERROR: out of memory for '%s'.\n", NameOf(img));
        return 0;
    }

    if (h.image_type == 2) {
        const uint8_t* in = data + pos;
        for (size_t i = 0; i < count; i++, in += pb)
            StorePixel(Destination(pixels, i, h.width, h.height, top_first), in, pb, bgr);
    } else {
        size_t i = 0;
        while (i < count) {
            if (pos >= size) {
                KD_PrintDebugf(KD_LOG_WARNING, "TGA ERROR: Image '%s' run-length data is truncated.\n", NameOf(img));
                free(pixels);
                return 0;
            }
            uint8_t header = data[pos++];
            size_t n = (size_t)(header & 127) + 1;
            bool repeat = (header & 128) != 0;
            size_t need = repeat ? (size_t)pb : n * (size_t)pb;
            if (size - pos < need) {
                KD_PrintDebugf(KD_LOG_WARNING, "TGA ERROR: Image '%s' run-length data is truncated.\n", NameOf(img));
                free(pixels);
                return 0;
            }
            // A packet may not write past the image's last pixel: what fits
            // is kept and the decode stops there.
            size_t fit = n > count - i ? count - i : n;
            for (size_t k = 0; k < fit; k++, i++) {
                StorePixel(Destination(pixels, i, h.width, h.height, top_first), data + pos, pb, bgr);
                if (!repeat) pos += (size_t)pb;
            }
            if (fit < n) {
                int which = (repeat ? 1 : 2) + (bgr ? 2 : 0);
                KD_PrintDebugf(KD_LOG_ERROR, "TGA buffer overrun #%d: (%d)\n", which, (int)(n - fit));
                break;
            }
            if (repeat) pos += (size_t)pb;
        }
    }

    if (h.descriptor & 0x10) {
        uint32_t* p = (uint32_t*)pixels;
        for (int y = 0; y < h.height; y++) {
            uint32_t* row = p + (size_t)y * (size_t)h.width;
            for (int a = 0, b = h.width - 1; a < b; a++, b--) {
                uint32_t t = row[a];
                row[a] = row[b];
                row[b] = t;
            }
        }
    }
    img->width = h.width;
    img->height = h.height;
    img->pixels = pixels;
    img->flags |= KD_IMAGE_HAS_ALPHA | KD_IMAGE_RELOADABLE;
    return 1;
}

int KDI_WriteTGA(const kd_image_t* img, const char* path, bool bgr) {
    if (!img || !img->pixels || !path) return 0;
    if (img->width <= 0 || img->height <= 0 || img->width > 65535 || img->height > 65535) {
        KD_PrintDebugf(KD_LOG_WARNING, "TGA ERROR: cannot write a %dx%d image.\n", img->width, img->height);
        return 0;
    }
    char tmp[1024];
    FILE* fp = KDI_OpenTempBeside(path, tmp, sizeof tmp);
    if (!fp) {
        KD_PrintDebugf(KD_LOG_WARNING, "Unable to open '%s' for writing.\n", path);
        return 0;
    }
    uint8_t header[TGA_HEADER_SIZE] = {0};
    header[2] = 2;
    header[12] = (uint8_t)(img->width & 255);
    header[13] = (uint8_t)(img->width >> 8);
    header[14] = (uint8_t)(img->height & 255);
    header[15] = (uint8_t)(img->height >> 8);
    header[16] = 32;
    header[17] = 0x08;  // eight alpha bits, rows bottom first
    bool ok = fwrite(header, 1, sizeof header, fp) == sizeof header;
    size_t row_bytes = (size_t)img->width * 4;
    uint8_t* row = (uint8_t*)malloc(row_bytes);
    ok = ok && row;
    for (int y = img->height - 1; ok && y >= 0; y--) {
        const uint8_t* in = img->pixels + (size_t)y * row_bytes;
        for (int x = 0; x < img->width; x++) {
            uint8_t* out = row + (size_t)x * 4;
            const uint8_t* p = in + (size_t)x * 4;
            out[0] = bgr ? p[0] : p[2];
            out[1] = p[1];
            out[2] = bgr ? p[2] : p[0];
            out[3] = p[3];
        }
        ok = fwrite(row, 1, row_bytes, fp) == row_bytes;
    }
    free(row);
    return KDI_FinishTempFile(fp, tmp, path, ok) ? 1 : 0;
}
