// The portable image loader: reads whole image files through the engine's
// file layer and hands them to the PNG, JPEG or TGA decoder by extension;
// saves through the writers on native paths.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>

#include "kd-file.h"
#include "kd-image.h"
#include "kd-internal.h"

// 8192 x 8192 pixels.
size_t kd_image_max_bytes = (size_t)256 * 1024 * 1024;

ImageLoaderImp* kd_il = nullptr;

size_t KDI_ImageBufferSize(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) return 0;
    // Each factor is checked against the cap first, so the product of two
    // values below 2^32 cannot wrap in 64 bits.
    uint64_t cap = kd_image_max_bytes;
    if ((uint64_t)width > cap || (uint64_t)height > cap) return 0;
    uint64_t bytes = (uint64_t)width * (uint64_t)height;
    if (bytes > cap / 4) return 0;
    return (size_t)(bytes * 4);
}

void KDI_FreeImage(kd_image_t* img) {
    if (!img) return;
    free(img->pixels);
    img->pixels = nullptr;
}

FILE* KDI_OpenTempBeside(const char* path, char* tmp, size_t tmp_size) {
    static std::atomic<unsigned> counter{0};
    if (!path || !tmp || tmp_size == 0) return nullptr;
    for (int attempt = 0; attempt < 16; attempt++) {
        int n = snprintf(tmp, tmp_size, "%s.tmp%d-%u", path, (int)getpid(), counter++);
        if (n < 0 || (size_t)n >= tmp_size) return nullptr;
        int fd = KDI_OpenNative(tmp, O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        FILE* fp = fdopen(fd, "wb");
        if (!fp) {
            close(fd);
            KDI_DeleteNative(tmp, false);
        }
        return fp;
    }
    return nullptr;
}

bool KDI_FinishTempFile(FILE* fp, const char* tmp, const char* path, bool ok) {
    if (!fp) return false;
    if (fflush(fp) != 0 || ferror(fp)) ok = false;
    if (fclose(fp) != 0) ok = false;
    if (ok && !KDI_RenameNative(tmp, path)) ok = false;
    if (!ok) KDI_DeleteNative(tmp, false);
    return ok;
}

// ---------------------------------------------------------------------------

// Case-insensitive test of the last characters; a shorter path never matches
// (and is never read before its start).
static bool EndsWithNoCase(const char* path, const char* ext) {
    size_t n = strlen(path), e = strlen(ext);
    return n >= e && strcasecmp(path + n - e, ext) == 0;
}

// Whole file through the engine's file layer; null when it does not open,
// is empty or cannot be read in full.
static uint8_t* ReadWholeFile(const char* path, size_t* size) {
    *size = 0;
    kd_file_t* f = KD_OpenFile(path, "rb");
    if (!f) return nullptr;
    uint8_t* data = nullptr;
    if (f->size > 0) {
        data = (uint8_t*)malloc((size_t)f->size);
        if (data && KD_ReadFile(data, (unsigned)f->size, f) == (unsigned)f->size) {
            *size = (size_t)f->size;
        } else {
            free(data);
            data = nullptr;
        }
    }
    KD_CloseFile(f);
    return data;
}

enum { FORMAT_NONE, FORMAT_TGA, FORMAT_PNG, FORMAT_JPG };

static int FormatOf(const char* path) {
    if (EndsWithNoCase(path, ".tga")) return FORMAT_TGA;
    if (EndsWithNoCase(path, ".png")) return FORMAT_PNG;
    if (EndsWithNoCase(path, ".jpg")) return FORMAT_JPG;
    return FORMAT_NONE;
}

int ImageLoaderImpPortable::GetImageDimensions(kd_image_t* img, const char* path) {
    if (!img || !path) return 1;
    img->flags |= KD_IMAGE_RELOADABLE;
    int format = FormatOf(path);
    if (format == FORMAT_NONE) {
        KD_Popupf(1, "Unsupported image format in file '%s'\n", path);
        return 0;
    }
    size_t size;
    uint8_t* data = ReadWholeFile(path, &size);
    if (!data) return 0;
    KDI_FreeImage(img);
    const char* name = img->name;
    if (!name) img->name = path;
    int result = 0;
    switch (format) {
        case FORMAT_TGA: result = KDI_GetImageDimensionsTGA(img, data, size); break;
        case FORMAT_PNG: result = KDI_GetImageDimensionsPNG(img, data, size); break;
        case FORMAT_JPG: result = KDI_GetImageDimensionsJPG(img, data, size); break;
    }
    img->name = name;
    free(data);
    return result;
}

int ImageLoaderImpPortable::LoadImagePixels(kd_image_t* img, const char* path) {
    if (!img || !path) return 1;
    img->flags |= KD_IMAGE_RELOADABLE;
    KDI_FreeImage(img);
    size_t size;
    uint8_t* data = ReadWholeFile(path, &size);
    if (data) {
        const char* name = img->name;
        if (!name) img->name = path;
        bool bgr = kd_state.texture_format == 1;
        switch (FormatOf(path)) {
            case FORMAT_TGA: KDI_LoadImageMemTGA(img, data, size, bgr); break;
            case FORMAT_PNG: KDI_LoadImageMemPNG(img, data, size, bgr); break;
            case FORMAT_JPG: KDI_LoadImageMemJPG(img, data, size, bgr); break;
            default: KD_Popupf(1, "Unsupported image format in file '%s'\n", path); break;
        }
        img->name = name;
        free(data);
    }
    if (img->pixels) return 1;
    KD_PrintDebugf(KD_LOG_WARNING, "Unable to load image '%s'\n", path);
    return 0;
}

void ImageLoaderImpPortable::FreeImagePixels(kd_image_t* img) {
    if (!img) {
        KD_PrintDebugf(KD_LOG_WARNING, "ImageLoader trying to free null bitmap.\n");
        return;
    }
    KDI_FreeImage(img);
}

int ImageLoaderImpPortable::SaveImage(kd_image_t* img, const char* path, int quality) {
    if (!img || !path) return 0;
    KD_PrintDebugf(KD_LOG_INFO, "Saving image to file '%s'..\n", path);
    char* native = nullptr;
    if (strstr(path, "://")) {
        native = KD_ConvertStaticPathToNativeOSPath(path, true);
        if (!native) {
            KD_PrintDebugf(KD_LOG_WARNING, "SaveImage - no native path for '%s'.\n", path);
            return 0;
        }
    }
    const char* target = native ? native : path;
    bool bgr = kd_state.texture_format == 1;
    int result = 0;
    if (strlen(path) > 3 && EndsWithNoCase(path, "png")) {
        result = KDI_WritePNG(img, target, bgr);
    } else if (strlen(path) > 3 && EndsWithNoCase(path, "jpg")) {
        result = KDI_WriteJPG(img, target, quality, bgr);
    } else if (strlen(path) > 3 && EndsWithNoCase(path, "tga")) {
        result = KDI_WriteTGA(img, target, bgr);
    } else {
        KD_Popupf(1, "SaveImage - file format for '%s' not supported. Use .png format.\n", path);
    }
    free(native);
    return result;
}

ImageLoaderImp* GetImageLoaderImp() {
    static ImageLoaderImpPortable instance;
    return &instance;
}

int KDID_InitImageLoader() {
    KD_PrintDebugf(KD_LOG_SYSTEM, "Portable Image loader initializing..\n");
    kd_il = GetImageLoaderImp();
    return 1;
}

bool KDI_InitImageLoader() { return KDID_InitImageLoader() != 0; }
