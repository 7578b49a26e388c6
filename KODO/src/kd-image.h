// Image codecs (PNG, JPEG, TGA), the image loader interface and software
// scaling. Everything here works on a plain pixel record, `kd_image_t`; the
// bitmap table copies width, height, pixels and flags between that record
// and its own.
#ifndef KD_IMAGE_H
#define KD_IMAGE_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// Flag bits; the same values as the bitmap record's flags.
enum {
    KD_IMAGE_HAS_ALPHA = 1,
    KD_IMAGE_RELOADABLE = 2,
};

// Decoded pixels: 4 bytes a pixel, rows top to bottom without padding,
// straight alpha in byte 3. Bytes 0..2 are red, green, blue, or blue, green,
// red when the codec was asked for BGR order (texture format 1). `pixels`
// comes from malloc and is freed with KDI_FreeImage (or the loader's
// FreeImagePixels).
struct kd_image_t {
    const char* name;  // borrowed; used in messages only (may be null)
    int32_t width, height;
    uint8_t* pixels;
    int16_t flags;
};

// Largest pixel buffer (width x height x 4 bytes) a decoder or the scaler
// allocates. Data that claims more is refused before any allocation.
extern size_t kd_image_max_bytes;

// width x height x 4 when both are positive and the product fits the cap;
// 0 otherwise.
size_t KDI_ImageBufferSize(int64_t width, int64_t height);
void KDI_FreeImage(kd_image_t* img);

// Decoders. Each sets width, height, pixels and flags, and returns 1; on
// failure the image is left without pixels, one line is logged and 0
// returned. `bgr` asks for blue, green, red order (texture format 1).
int KDI_LoadImageMemPNG(kd_image_t* img, const uint8_t* data, size_t size, bool bgr);
int KDI_LoadImageMemJPG(kd_image_t* img, const uint8_t* data, size_t size, bool bgr);
int KDI_LoadImageMemTGA(kd_image_t* img, const uint8_t* data, size_t size, bool bgr);

// Header readers: width and height only (TGA also sets the flags); no
// pixels. 1 on success.
int KDI_GetImageDimensionsPNG(kd_image_t* img, const uint8_t* data, size_t size);
int KDI_GetImageDimensionsJPG(kd_image_t* img, const uint8_t* data, size_t size);
int KDI_GetImageDimensionsTGA(kd_image_t* img, const uint8_t* data, size_t size);

// Writers. Paths are native paths. A writer never leaves a half-written
// file: it writes a temporary file beside the target and renames it over
// the target on success. 1 on success, 0 on failure (target untouched).
// `bgr`: the pixels are stored blue, green, red.
int KDI_WritePNG(const kd_image_t* img, FILE* fp, bool bgr);
int KDI_WritePNG(const kd_image_t* img, const char* path, bool bgr);
int KDI_WriteJPG(const kd_image_t* img, const char* path, int quality, bool bgr);
int KDI_WriteTGA(const kd_image_t* img, const char* path, bool bgr);

// Temporary-file helpers shared by the writers: opens a new file beside
// `path` for writing (its name goes to `tmp`, at least `tmp_size` bytes);
// finishing closes it and renames it over `path` when `ok`, else removes it.
FILE* KDI_OpenTempBeside(const char* path, char* tmp, size_t tmp_size);
bool KDI_FinishTempFile(FILE* fp, const char* tmp, const char* path, bool ok);

// The image loader the engine reaches images through (global `kd_il`).
class ImageLoaderImp {
public:
    virtual ~ImageLoaderImp() {}
    virtual int GetImageDimensions(kd_image_t* img, const char* path) = 0;
    virtual int LoadImagePixels(kd_image_t* img, const char* path) = 0;
    virtual void FreeImagePixels(kd_image_t* img) = 0;
    virtual int SaveImage(kd_image_t* img, const char* path, int quality) = 0;
};

class ImageLoaderImpPortable : public ImageLoaderImp {
public:
    int GetImageDimensions(kd_image_t* img, const char* path) override;
    int LoadImagePixels(kd_image_t* img, const char* path) override;
    void FreeImagePixels(kd_image_t* img) override;
    int SaveImage(kd_image_t* img, const char* path, int quality) override;
};

extern ImageLoaderImp* kd_il;
ImageLoaderImp* GetImageLoaderImp();
int KDID_InitImageLoader();

// Scaling. Pixels are 32-bit words whose most significant byte (byte 3) is
// alpha; each byte lane is filtered on its own. The fifth argument (a
// quality the callers pass as 100) is not read.
bool KDI_CreateImageResized(kd_image_t* target, kd_image_t* source, int width, int height, int quality);
// Transparent pixels take the colour of a visible neighbour (above, right,
// below, left; the last visible one wins) so that filtering does not pull
// in black. One pass, top to bottom, left to right.
void KDI_FixAlphaBleedingPixels(uint8_t* pixels, int width, int height, bool has_alpha);
void KDI_FixAlphaBleeding(kd_image_t* img);

#endif
