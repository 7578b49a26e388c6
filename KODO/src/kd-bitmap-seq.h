// Bitmap sequences (.bms files and numbered frame files), atlases, and the
// bitmap table's engine-internal operations that other engine files and
// the tests reach.
#ifndef KD_BITMAP_SEQ_H
#define KD_BITMAP_SEQ_H

#include <stdio.h>

#include "kd-internal.h"

// ------------------------------------------------------------ the table

// Loading by the bitmap's own name (tries .png, .jpg, .bms, .tga when the
// name has no extension) and from an explicit path.
void KDI_LoadBitmap(kd_bitmap_t* bm);
void KDI_LoadBitmap(kd_bitmap_t* bm, const char* path);
bool KDI_LoadBitmapHTTP(kd_bitmap_t* bm, const char* url);
void KDI_QueueBitmapHardwareDataRelease(kd_bitmap_t* bm);
void KDI_UpdateBitmapAccordingToDataManifest(kd_bitmap_t* bm);
void KDI_UpdateBitmapAccordingToDataManifest(kd_bitmap_t* bm, const char* name);
long KDI_GetBitmapGPUMemoryUsageEstimate(kd_bitmap_t* bm, bool software);
kd_bitmap_t* KD_CreateBitmapFromSubBitmap(kd_bitmap_t* dest, kd_bitmap_t* src, float x0, float y0, float x1,
                                          float y1);
// Decoded pixels of an image file into a record (width, height, pixels,
// has-alpha and reloadable flags); false leaves the record without pixels.
bool KDI_LoadImageIntoBitmap(kd_bitmap_t* bm, const char* path);

// The clock the upload queue's per-frame budget is measured with (tests
// drive it); null restores the engine clock.
void KDI_SetResourceQueueClock(unsigned int (*clock)());
// Milliseconds of upload work per frame: once more than this has passed,
// the rest of the queue waits for the next frame.
enum { KD_UPLOAD_BUDGET_MS = 50 };
// Entries waiting in the upload queue (under RESOURCE_QUEUE).
int KDI_GetUploadQueueLength();
bool KDI_IsInUploadQueue(kd_bitmap_t* bm);

// ------------------------------------------------------------ sequences

bool KDI_LoadBitmapBMS(kd_bitmap_t* bm, const char* path);
bool KDI_LoadBitmapSequence(kd_bitmap_t* bm, const char* path);
// The same from a file already in memory; `name` is used in messages.
// Every count and size in the data is checked against `size`; on failure
// the record has no frames, no atlas and a frame count of 0.
bool KDI_LoadBitmapSequenceMem(kd_bitmap_t* bm, const uint8_t* data, size_t size, const char* name);
bool KDI_SaveBitmapSequence(kd_bitmap_t* bm, const char* native_path);
bool KDI_LoadBitmapSequenceFromFiles(kd_bitmap_t* bm, const char* pattern);
void KDI_OptimizeBitmapSequence(kd_bitmap_t* bm);
bool KDI_BitmapPixelsMatch(kd_bitmap_t* a, kd_bitmap_t* b, float tolerance);
bool KDI_ReadRLEBitmap(kd_bitmap_t* bm, kd_file_t* file);
// The RLE stream from memory: `*used` gets the bytes consumed.
bool KDI_ReadRLEBitmapMem(kd_bitmap_t* bm, const uint8_t* data, size_t size, size_t* used);
bool KDI_WriteRLEBitmap(kd_bitmap_t* bm, FILE* fp);
void KDI_UpdateBitmapSequenceAccordingToDataManifest(kd_bitmap_t* bm);
int KDI_LoadBitmapMemBMS(kd_bitmap_t* bm, const void* data, long size);
int KDI_WriteBMS(kd_bitmap_t* bm, FILE* fp, unsigned short flags);
// Frees the frame array with the frames' names and pixels; count 0.
void KDI_FreeBitmapFrames(kd_bitmap_t* bm);

// -------------------------------------------------------------- atlases

bool KDI_PackBitmaps(kd_bitmap_t* atlas, kd_bitmap_t** bitmaps, int count);
void KDI_PasteBitmap(kd_bitmap_t* src, int x, int y, kd_bitmap_t* dst);
void KDI_FixAlphaBleeding(kd_bitmap_t* bm);
uint32_t KDI_GetBitmapSamplePoint(kd_bitmap_t* bm, double u, double v);

// Fills the border of a W x H image placed at (bx, by) in a TW x TH
// texture by the pack mode: expand copies the edge texels outwards,
// transparent also clears the border's alpha.
void KDI_FillTextureBorder(uint8_t* d, size_t row_bytes, int TW, int TH, int W, int H, int bx, int by, int mode);

// Places one bitmap in its texture with a border of 0 or 1 texel each way
// and fills that border by the bitmap's pack mode.
class BitmapTexturePacker {
public:
    uint8_t* target = nullptr;  // 4 bytes a texel
    int target_width = 0;       // texels
    int pitch = 0;              // bytes a row
    int border_x = 0, border_y = 0;
    kd_bitmap_t* bitmap = nullptr;  // its pixel-buffer size is the image size

    void ApplyPadding(int pack_mode);
};

#endif
