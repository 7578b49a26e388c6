// PNG through libpng: decoding from memory and writing to a file.
//
// libpng reports errors by longjmp to the jump buffer of its structure; a
// libpng error with no jump buffer set aborts the process, so every libpng
// call below runs under setjmp, on the read path as well as the write path.
#include <png.h>
#include <setjmp.h>
#include <stdlib.h>
#include <string.h>

#include "kd-image.h"
#include "kd-internal.h"

namespace {

// Everything that must survive a longjmp lives here, not in locals of the
// function that calls setjmp.
struct PngReadContext {
    const uint8_t* data;
    size_t size;
    size_t offset;
    char error[160];
    png_structp png;
    png_infop info;
    uint8_t* pixels;
    uint8_t* rows_data;
    png_bytep* rows;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    PngReadContext* ctx = (PngReadContext*)png_get_io_ptr(png);
    if (count > ctx->size - ctx->offset) png_error(png, "data ends early");
    memcpy(out, ctx->data + ctx->offset, count);
    ctx->offset += count;
}

void ReadError(png_structp png, png_const_charp message) {
    PngReadContext* ctx = (PngReadContext*)png_get_error_ptr(png);
    snprintf(ctx->error, sizeof ctx->error, "%s", message ? message : "error");
    png_longjmp(png, 1);
}

// Warnings (damaged ancillary chunks and the like) do not stop the decode
// and are not worth a log line each.
void IgnoreWarning(png_structp, png_const_charp) {}

const char* NameOf(const kd_image_t* img) { return img->name ? img->name : "(null)"; }

// The PNG signature's first four bytes.
bool CheckIfPng(const uint8_t* data, size_t size) {
    static const uint8_t sig[4] = {0x89, 'P', 'N', 'G'};
    return data && size >= 8 && memcmp(data, sig, 4) == 0;
}

void FreeReadContext(PngReadContext* ctx) {
    if (ctx->png) png_destroy_read_struct(&ctx->png, ctx->info ? &ctx->info : nullptr, nullptr);
    ctx->png = nullptr;
    ctx->info = nullptr;
    free(ctx->rows);
    free(ctx->rows_data);
    free(ctx->pixels);
    ctx->rows = nullptr;
    ctx->rows_data = nullptr;
    ctx->pixels = nullptr;
}

const png_alloc_size_t kKdPngChunkMax = (png_alloc_size_t)8 * 1024 * 1024;

bool CreateReader(PngReadContext* ctx, const uint8_t* data, size_t size) {
    memset(ctx, 0, sizeof *ctx);
    ctx->data = data;
    ctx->size = size;
    ctx->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, ctx, ReadError, IgnoreWarning);
    if (!ctx->png) return false;
    ctx->info = png_create_info_struct(ctx->png);
    if (!ctx->info) {
        png_destroy_read_struct(&ctx->png, nullptr, nullptr);
        return false;
    }
    png_set_read_fn(ctx->png, ctx, ReadFromMemory);
    // The library trusts a chunk's stated length and allocates it before
    // reading a byte: a 90-byte file claiming a 1.9 GB chunk would get it.
    // No ancillary chunk the engine reads needs more than a few megabytes,
    // and no side may exceed what the engine's pixel cap allows.
    png_set_chunk_malloc_max(ctx->png, kKdPngChunkMax);
    // The library reports an over-long chunk as a "benign" error, which it
    // turns into a warning and then reads the chunk all the same.
    png_set_benign_errors(ctx->png, 0);
    png_set_chunk_cache_max(ctx->png, 1000);
    png_uint_32 side = (png_uint_32)(kd_image_max_bytes / 4 > 0x7fffffff ? 0x7fffffff : kd_image_max_bytes / 4);
    png_set_user_limits(ctx->png, side, side);
    return true;
}

// Header fields read under the caller's setjmp.
void ReadHeader(PngReadContext* ctx) {
    png_read_info(ctx->png, ctx->info);
}

}  // namespace

int KDI_GetImageDimensionsPNG(kd_image_t* img, const uint8_t* data, size_t size) {
    if (!img) return 0;
    img->width = img->height = 0;
    if (!CheckIfPng(data, size)) {
        KD_PrintDebugf(KD_LOG_WARNING, "PNG ERROR: Image '%s' not proper png.\n", NameOf(img));
        return 0;
    }
    PngReadContext* ctx = (PngReadContext*)malloc(sizeof(PngReadContext));
    if (!ctx) return 0;
    if (!CreateReader(ctx, data, size)) {
        KD_PrintDebugf(KD_LOG_WARNING, "PNG ERROR: Image '%s' load failed.\n", NameOf(img));
        free(ctx);
        return 0;
    }
    int result = 0;
    if (setjmp(png_jmpbuf(ctx->png)) == 0) {
        ReadHeader(ctx);
        img->width = (int32_t)png_get_image_width(ctx->png, ctx->info);
        img->height = (int32_t)png_get_image_height(ctx->png, ctx->info);
        result = 1;
    } else {
        KD_PrintDebugf(KD_LOG_WARNING, "PNG ERROR: Image '%s' load failed (%s).\n", NameOf(img), ctx->error);
    }
    FreeReadContext(ctx);
    free(ctx);
    return result;
}

int KDI_LoadImageMemPNG(kd_image_t* img, const uint8_t* data, size_t size, bool bgr) {
    if (!img) return 0;
    img->width = img->height = 0;
    KDI_FreeImage(img);
    img->flags = (int16_t)((img->flags | KD_IMAGE_RELOADABLE) & ~KD_IMAGE_HAS_ALPHA);
    if (!CheckIfPng(data, size)) {
        KD_PrintDebugf(KD_LOG_WARNING, "PNG ERROR: Image '%s' not proper png.\n", NameOf(img));
        return 0;
    }
    PngReadContext* ctx = (PngReadContext*)malloc(sizeof(PngReadContext));
    if (!ctx) return 0;
    if (!CreateReader(ctx, data, size)) {
        KD_PrintDebugf(KD_LOG_WARNING, "PNG ERROR: Image '%s' load failed.\n", NameOf(img));
        free(ctx);
        return 0;
    }

    int result = 0;
    if (setjmp(png_jmpbuf(ctx->png)) == 0) {
        png_structp png = ctx->png;
        png_infop info = ctx->info;
        ReadHeader(ctx);
        png_set_interlace_handling(png);
        png_uint_32 width = png_get_image_width(png, info);
        png_uint_32 height = png_get_image_height(png, info);
        size_t bytes = KDI_ImageBufferSize(width, height);
        if (bytes == 0) {
            snprintf(ctx->error, sizeof ctx->error, "size %ux%u too large", (unsigned)width, (unsigned)height);
            png_longjmp(png, 1);
        }
        int color_type = png_get_color_type(png, info);
        int bit_depth = png_get_bit_depth(png, info);

        // Screen gamma 2.2 against the file's gamma, or 1/2.2 when it
        // gives none (which leaves the values as they are).
        double file_gamma = 0;
        if (png_get_gAMA(png, info, &file_gamma))
            png_set_gamma(png, 2.2, file_gamma);
        else
            png_set_gamma(png, 2.2, 0.45454545);

        png_set_expand(png);
        if (bit_depth == 16) png_set_strip_16(png);
        if (color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
        if (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand_gray_1_2_4_to_8(png);
        if (bgr && (color_type & PNG_COLOR_MASK_COLOR)) png_set_bgr(png);
        if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
        png_read_update_info(png, info);

        size_t row_bytes = png_get_rowbytes(png, info);
        size_t channels = row_bytes / width;
        if (channels < 1 || channels > 4 || row_bytes != channels * width) {
            snprintf(ctx->error, sizeof ctx->error, "unsupported png with %d channels", (int)channels);
            KD_Popupf(1, "Unsupported png '%s' with %d channels.\n", NameOf(img), (int)channels);
            png_longjmp(png, 1);
        }
        ctx->pixels = (uint8_t*)malloc(bytes);
        ctx->rows = (png_bytep*)malloc(sizeof(png_bytep) * height);
        uint8_t* target = ctx->pixels;
        if (channels != 4 && ctx->pixels) target = ctx->rows_data = (uint8_t*)malloc(row_bytes * height);
        if (!ctx->pixels || !ctx->rows || !target) {
            snprintf(ctx->error, sizeof ctx->error, "out of memory");
            png_longjmp(png, 1);
        }
        for (png_uint_32 y = 0; y < height; y++) ctx->rows[y] = target + (size_t)y * row_bytes;
        png_read_image(png, ctx->rows);
        png_read_end(png, nullptr);

        uint8_t* out = ctx->pixels;
        const uint8_t* in = ctx->rows_data;
        size_t count = (size_t)width * height;
        bool has_alpha = true;
        switch (channels) {
            case 4: break;
            case 3:
                for (size_t i = 0; i < count; i++, in += 3, out += 4) {
                    out[0] = in[0];
                    out[1] = in[1];
                    out[2] = in[2];
                    out[3] = 255;
                }
                has_alpha = false;
                break;
            case 2:
                for (size_t i = 0; i < count; i++, in += 2, out += 4) {
                    out[0] = out[1] = out[2] = in[0];
                    out[3] = in[1];
                }
                break;
            case 1:
                // A plain grey image is a mask: white, with the grey level as
                // its coverage.
                for (size_t i = 0; i < count; i++, in += 1, out += 4) {
                    out[0] = out[1] = out[2] = 255;
                    out[3] = in[0];
                }
                break;
        }
        img->width = (int32_t)width;
        img->height = (int32_t)height;
        img->pixels = ctx->pixels;
        ctx->pixels = nullptr;
        if (has_alpha) img->flags |= KD_IMAGE_HAS_ALPHA;
        result = 1;
    } else {
        KD_PrintDebugf(KD_LOG_WARNING, "PNG ERROR: Image '%s' load failed (%s).\n", NameOf(img), ctx->error);
    }
    FreeReadContext(ctx);
    free(ctx);
    return result;
}

// ---------------------------------------------------------------------------

namespace {

struct PngWriteContext {
    png_structp png;
    png_infop info;
    png_bytep* rows;
    char error[160];
};

void WriteError(png_structp png, png_const_charp message) {
    PngWriteContext* ctx = (PngWriteContext*)png_get_error_ptr(png);
    snprintf(ctx->error, sizeof ctx->error, "%s", message ? message : "error");
    png_longjmp(png, 1);
}

}  // namespace

int KDI_WritePNG(const kd_image_t* img, FILE* fp, bool bgr) {
    if (!img || !img->pixels || !fp || img->width <= 0 || img->height <= 0) return 0;
    if ((uint32_t)img->height > 0x3fffffffu) {
        KD_PrintDebugf(KD_LOG_WARNING, "Image is too tall to process in memory\n");
        return 0;
    }
    PngWriteContext* ctx = (PngWriteContext*)calloc(1, sizeof(PngWriteContext));
    if (!ctx) return 0;
    ctx->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, ctx, WriteError, IgnoreWarning);
    if (ctx->png) ctx->info = png_create_info_struct(ctx->png);
    ctx->rows = (png_bytep*)malloc(sizeof(png_bytep) * (size_t)img->height);
    int result = 0;
    if (ctx->png && ctx->info && ctx->rows) {
        if (setjmp(png_jmpbuf(ctx->png)) == 0) {
            png_init_io(ctx->png, fp);
            png_set_IHDR(ctx->png, ctx->info, (png_uint_32)img->width, (png_uint_32)img->height, 8,
                         PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                         PNG_FILTER_TYPE_DEFAULT);
            png_color_8 sig_bit;
            sig_bit.red = sig_bit.green = sig_bit.blue = sig_bit.alpha = 8;
            sig_bit.gray = 0;
            png_set_sBIT(ctx->png, ctx->info, &sig_bit);
            png_write_info(ctx->png, ctx->info);
            if (bgr) png_set_bgr(ctx->png);
            for (int32_t y = 0; y < img->height; y++)
                ctx->rows[y] = img->pixels + (size_t)y * (size_t)img->width * 4;
            png_write_image(ctx->png, ctx->rows);
            png_write_end(ctx->png, ctx->info);
            result = 1;
        } else {
            KD_PrintDebugf(KD_LOG_WARNING, "PNG ERROR: write of '%s' failed (%s).\n", NameOf(img), ctx->error);
        }
    }
    if (ctx->png) png_destroy_write_struct(&ctx->png, ctx->info ? &ctx->info : nullptr);
    free(ctx->rows);
    free(ctx);
    return result;
}

int KDI_WritePNG(const kd_image_t* img, const char* path, bool bgr) {
    if (!img || !img->pixels || !path) return 0;
    char tmp[1024];
    FILE* fp = KDI_OpenTempBeside(path, tmp, sizeof tmp);
    if (!fp) {
        KD_PrintDebugf(KD_LOG_WARNING, "Unable to open '%s' for writing.\n", path);
        return 0;
    }
    int ok = KDI_WritePNG(img, fp, bgr);
    return KDI_FinishTempFile(fp, tmp, path, ok != 0) ? 1 : 0;
}
