// The .bms sequence reader on arbitrary bytes: frame table, atlas PNG and
// RLE stream, each checked against what the data holds.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "kd-bitmap-seq.h"
#include "kd-image.h"

// The engine asks the program for its record; the fuzzer has none.
kd_prog_t* KD_GetInterface() { return nullptr; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kd_state.verbose_level = 3;  // refusals are expected; keep the output quiet
    kd_image_max_bytes = (size_t)16 * 1024 * 1024;  // keep each run small
    kd_bitmap_t bm;
    memset(&bm, 0, sizeof bm);
    if (KDI_LoadBitmapSequenceMem(&bm, data, size, "fuzz.bms")) {
        // Touch what a draw would read.
        for (int i = 0; i < bm.frame_count; i++) KD_SetBitmapFrame(&bm, i);
    }
    KDI_FreeBitmapFrames(&bm);
    // The RLE stream on its own.
    kd_bitmap_t rle;
    memset(&rle, 0, sizeof rle);
    if (KDI_ReadRLEBitmapMem(&rle, data, size, nullptr)) free(rle.pixels);
    return 0;
}
