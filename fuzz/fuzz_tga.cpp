// Fuzzes the TGA decoder (run-length and uncompressed): any input must
// either decode to a buffer of exactly width x height x 4 bytes or be
// refused with no pixels, without reading outside the input or ending the
// process.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "kd-image.h"
#include "kd-internal.h"

// The engine asks the program for its record; the fuzzer has none.
kd_prog_t* KD_GetInterface() { return nullptr; }

static volatile uint8_t sink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kd_state.verbose_level = 3;  // refusals are expected; keep the output quiet
    kd_image_max_bytes = (size_t)16 * 1024 * 1024;  // keep each run small

    // An exact copy, so that a read past the input shows.
    uint8_t* copy = (uint8_t*)malloc(size ? size : 1);
    if (size) memcpy(copy, data, size);
    kd_image_t img = {"fuzz", 0, 0, nullptr, 0};
    KDI_GetImageDimensionsTGA(&img, copy, size);
    bool bgr = size > 0 && (data[size - 1] & 1);
    if (KDI_LoadImageMemTGA(&img, copy, size, bgr)) {
        if (!img.pixels || img.width <= 0 || img.height <= 0) abort();
        // Touch every byte: the buffer must be as large as claimed.
        for (size_t i = 0; i < (size_t)img.width * (size_t)img.height * 4; i++) sink = sink + img.pixels[i];
    } else if (img.pixels) {
        abort();
    }
    KDI_FreeImage(&img);
    free(copy);
    return 0;
}
