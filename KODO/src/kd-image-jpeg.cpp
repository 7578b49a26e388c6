// JPEG through libjpeg: decoding from memory and writing to a file.
//
// The library's standard error handler ends the process; both directions
// install one that records the message and longjmps back instead.
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <jpeglib.h>

#include "kd-image.h"
#include "kd-internal.h"

namespace {

struct JpegError {
    jpeg_error_mgr mgr;  // first, so that the library's pointer is ours
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void my_error_exit(j_common_ptr cinfo) {
    JpegError* err = (JpegError*)cinfo->err;
    err->mgr.format_message(cinfo, err->message);
    longjmp(err->jump, 1);
}

// Warnings are counted by the library (num_warnings) and reported once per
// image by the caller; the text of each is not printed.
void QuietOutput(j_common_ptr) {}

const char* NameOf(const kd_image_t* img) { return img->name ? img->name : "(null)"; }

// Reader state that must survive a longjmp.
struct JpegReadContext {
    jpeg_decompress_struct cinfo;
    JpegError err;
    uint8_t* pixels;
    uint8_t* row;
};

void SetUpReader(JpegReadContext* ctx, const uint8_t* data, size_t size) {
    jpeg_create_decompress(&ctx->cinfo);
    // The library's own memory source offers the whole buffer at once and,
    // when the decoder wants more, warns (end of file) and supplies a fake
    // end-of-image marker, so truncated data decodes as far as it goes.
    jpeg_mem_src(&ctx->cinfo, data, (unsigned long)size);
    // Working memory beyond the cap (progressive images buffer the whole
    // image's coefficients) is refused by the library.
    ctx->cinfo.mem->max_memory_to_use = (long)(kd_image_max_bytes + (size_t)16 * 1024 * 1024);
}

JpegReadContext* NewReadContext() {
    JpegReadContext* ctx = (JpegReadContext*)calloc(1, sizeof(JpegReadContext));
    if (!ctx) return nullptr;
    ctx->cinfo.err = jpeg_std_error(&ctx->err.mgr);
    ctx->err.mgr.error_exit = my_error_exit;
    ctx->err.mgr.output_message = QuietOutput;
    return ctx;
}

}  // namespace

int KDI_GetImageDimensionsJPG(kd_image_t* img, const uint8_t* data, size_t size) {
    if (!img) return 0;
    img->width = img->height = 0;
    if (!data || size == 0) return 0;
    JpegReadContext* ctx = NewReadContext();
    if (!ctx) return 0;
    int result = 0;
    if (setjmp(ctx->err.jump) == 0) {
        SetUpReader(ctx, data, size);
        jpeg_read_header(&ctx->cinfo, TRUE);
        img->width = (int32_t)ctx->cinfo.image_width;
        img->height = (int32_t)ctx->cinfo.image_height;
        if (ctx->err.mgr.num_warnings)
            KD_Popupf(1, "WARNING: %d warnings while loading JPEG\n", (int)ctx->err.mgr.num_warnings);
        result = 1;
    } else {
        KD_Popupf(1, "KDI_GetImageDimensionsJPG - setjmp failed.\n");
        KD_PrintDebugf(KD_LOG_WARNING, "JPEG ERROR: Image '%s' header unreadable (%s).\n", NameOf(img),
                       ctx->err.message);
    }
    jpeg_destroy_decompress(&ctx->cinfo);
    free(ctx);
    return result;
}

int KDI_LoadImageMemJPG(kd_image_t* img, const uint8_t* data, size_t size, bool bgr) {
    if (!img) return 0;
    img->width = img->height = 0;
    KDI_FreeImage(img);
    img->flags = (int16_t)((img->flags | KD_IMAGE_RELOADABLE) & ~KD_IMAGE_HAS_ALPHA);
    if (!data || size == 0) {
        KD_PrintDebugf(KD_LOG_WARNING, "JPEG ERROR: Image '%s' is empty.\n", NameOf(img));
        return 0;
    }
    JpegReadContext* ctx = NewReadContext();
    if (!ctx) return 0;
    int result = 0;
    if (setjmp(ctx->err.jump) == 0) {
        SetUpReader(ctx, data, size);
        jpeg_decompress_struct* cinfo = &ctx->cinfo;
        jpeg_read_header(cinfo, TRUE);
        // Grey data comes out as three equal components; colour spaces the
        // library cannot turn into RGB (CMYK) fail in start_decompress.
        cinfo->out_color_space = JCS_RGB;
        if (KDI_ImageBufferSize(cinfo->image_width, cinfo->image_height) == 0) {
            snprintf(ctx->err.message, sizeof ctx->err.message, "size %ux%u too large",
                     (unsigned)cinfo->image_width, (unsigned)cinfo->image_height);
            longjmp(ctx->err.jump, 1);
        }
        jpeg_start_decompress(cinfo);
        size_t bytes = KDI_ImageBufferSize(cinfo->output_width, cinfo->output_height);
        if (cinfo->output_components != 3) {
            snprintf(ctx->err.message, sizeof ctx->err.message, "%d components, not 3",
                     (int)cinfo->output_components);
            longjmp(ctx->err.jump, 1);
        }
        ctx->pixels = bytes ? (uint8_t*)malloc(bytes) : nullptr;
        ctx->row = (uint8_t*)malloc((size_t)cinfo->output_width * 3);
        if (!ctx->pixels || !ctx->row) {
            KD_Popupf(1, "Load JPG - JPEG out of memory while loading file\n");
            snprintf(ctx->err.message, sizeof ctx->err.message, "out of memory");
            longjmp(ctx->err.jump, 1);
        }
        size_t width = cinfo->output_width;
        while (cinfo->output_scanline < cinfo->output_height) {
            uint8_t* out = ctx->pixels + (size_t)cinfo->output_scanline * width * 4;
            JSAMPROW rows[1] = {ctx->row};
            if (jpeg_read_scanlines(cinfo, rows, 1) != 1) {
                snprintf(ctx->err.message, sizeof ctx->err.message, "no scanline");
                longjmp(ctx->err.jump, 1);
            }
            const uint8_t* in = ctx->row;
            for (size_t x = 0; x < width; x++, in += 3, out += 4) {
                out[0] = bgr ? in[2] : in[0];
                out[1] = in[1];
                out[2] = bgr ? in[0] : in[2];
                out[3] = 255;
            }
        }
        jpeg_finish_decompress(cinfo);
        if (ctx->err.mgr.num_warnings)
            KD_PrintDebugf(KD_LOG_WARNING, "WARNING: %d warnings while loading JPEG\n", (int)ctx->err.mgr.num_warnings);
        img->width = (int32_t)cinfo->output_width;
        img->height = (int32_t)cinfo->output_height;
        img->pixels = ctx->pixels;
        ctx->pixels = nullptr;
        result = 1;
    } else {
        KD_Popupf(1, "Load JPG - setjmp failed.\n");
        KD_PrintDebugf(KD_LOG_WARNING, "JPEG ERROR: Image '%s' load failed (%s).\n", NameOf(img), ctx->err.message);
    }
    jpeg_destroy_decompress(&ctx->cinfo);
    free(ctx->pixels);
    free(ctx->row);
    free(ctx);
    return result;
}

// ---------------------------------------------------------------------------

namespace {

struct JpegWriteContext {
    jpeg_compress_struct cinfo;
    JpegError err;
};

// Compresses packed RGB rows into an open file; 1 on success.
int write_JPEG_file(FILE* fp, const uint8_t* rgb, int width, int height, int quality) {
    JpegWriteContext* ctx = (JpegWriteContext*)calloc(1, sizeof(JpegWriteContext));
    if (!ctx) return 0;
    ctx->cinfo.err = jpeg_std_error(&ctx->err.mgr);
    ctx->err.mgr.error_exit = my_error_exit;
    ctx->err.mgr.output_message = QuietOutput;
    int result = 0;
    if (setjmp(ctx->err.jump) == 0) {
        jpeg_compress_struct* cinfo = &ctx->cinfo;
        jpeg_create_compress(cinfo);
        jpeg_stdio_dest(cinfo, fp);
        cinfo->image_width = (JDIMENSION)width;
        cinfo->image_height = (JDIMENSION)height;
        cinfo->input_components = 3;
        cinfo->in_color_space = JCS_RGB;
        jpeg_set_defaults(cinfo);
        jpeg_set_quality(cinfo, quality, TRUE);
        jpeg_start_compress(cinfo, TRUE);
        while (cinfo->next_scanline < cinfo->image_height) {
            JSAMPROW rows[1] = {(JSAMPROW)(rgb + (size_t)cinfo->next_scanline * (size_t)width * 3)};
            jpeg_write_scanlines(cinfo, rows, 1);
        }
        jpeg_finish_compress(cinfo);
        result = 1;
    } else {
        KD_PrintDebugf(KD_LOG_WARNING, "JPEG ERROR: write failed (%s).\n", ctx->err.message);
    }
    jpeg_destroy_compress(&ctx->cinfo);
    free(ctx);
    return result;
}

}  // namespace

int KDI_WriteJPG(const kd_image_t* img, const char* path, int quality, bool bgr) {
    if (!img || !img->pixels || !path) return 0;
    if (img->width <= 0 || img->height <= 0 || img->width > JPEG_MAX_DIMENSION ||
        img->height > JPEG_MAX_DIMENSION) {
        KD_PrintDebugf(KD_LOG_WARNING, "JPEG ERROR: cannot write a %dx%d image.\n", img->width, img->height);
        return 0;
    }
    size_t count = (size_t)img->width * (size_t)img->height;
    uint8_t* rgb = (uint8_t*)malloc(count * 3);
    if (!rgb) return 0;
    const uint8_t* in = img->pixels;
    uint8_t* out = rgb;
    for (size_t i = 0; i < count; i++, in += 4, out += 3) {
        out[0] = bgr ? in[2] : in[0];
        out[1] = in[1];
        out[2] = bgr ? in[0] : in[2];
    }
    char tmp[1024];
    FILE* fp = KDI_OpenTempBeside(path, tmp, sizeof tmp);
    int result = 0;
    if (fp) {
        result = write_JPEG_file(fp, rgb, img->width, img->height, quality);
        result = KDI_FinishTempFile(fp, tmp, path, result != 0) ? 1 : 0;
    } else {
        KD_PrintDebugf(KD_LOG_WARNING, "Unable to open '%s' for writing.\n", path);
    }
    free(rgb);
    return result;
}
