// The bitmap record and its embedded renderer handle.
//
// The fields stand in the order the table keeps them, so that the bitmap table can
// be completed in place. The renderer owns `hw`; the bitmap table owns the
// rest. Only the engine includes this header.
#ifndef KD_BITMAP_H
#define KD_BITMAP_H

#include "include/kodo.h"

// The renderer's per-bitmap handle (`kd_bitmap_t::hw_data_t`).
struct kd_bitmap_hw_data_t {
    uint8_t loaded;     // non-zero while a texture exists
    float left_u;       // texture coordinates of the top-left corner ...
    float top_v;
    float right_u;      // ... and of the bottom-right corner; for render
    float bottom_v;     // targets top_v > bottom_v (stored bottom-up)
    int32_t tex_width;  // allocated texture size in texels
    int32_t tex_height;
    uint32_t texture;      // the graphics library's texture name; 0 = none
    uint32_t framebuffer;  // render targets only; 0 = none
    int32_t filter;        // 0 nearest, 1 linear: last applied to the texture
};

// Flag bits of kd_bitmap_t::flags.
enum {
    KD_BITMAP_HAS_ALPHA = 1,
    KD_BITMAP_RELOADABLE = 2,
    KD_BITMAP_RENDER_TARGET = 4,
    KD_BITMAP_COUNTED_BY_GET = 8,
};

// States of kd_bitmap_t::state.
enum {
    KD_BITMAP_FREE = 0,
    KD_BITMAP_REGISTERED = 1,
    KD_BITMAP_LOADING = 2,
    KD_BITMAP_READY = 3,
};

// Cache modes (bit set).
enum {
    KD_CACHE_NOTHING = 0,
    KD_CACHE_SOFTWARE = 2,
    KD_CACHE_TEXTURE = 4,
    KD_CACHE_BOTH = 6,
    KD_CACHE_LOOKUP_ONLY = 16,
};

// Pack (padding) modes.
enum {
    KD_PACK_EXPAND = 0,
    KD_PACK_BORDER = 1,  // a border left as allocated
    KD_PACK_TRANSPARENT = 2,
    KD_PACK_NONE = 3,
};

enum { KD_MAX_BITMAPS = 768 };

struct kd_bitmap_t {
    typedef kd_bitmap_hw_data_t hw_data_t;

    char* name;  // heap copy; null in a free slot
    int16_t ref_count;
    int8_t cache_mode;
    kd_mutex_t* mutex;  // SHARED_BITMAP for table records
    int32_t width, height;
    uint8_t* pixels;  // RGBA, rows top to bottom; null when not in memory
    int32_t pb_width, pb_height;  // pixel-buffer size as decoded
    int16_t flags;
    int16_t state;
    int16_t pack_mode;
    kd_bitmap_t* parent;
    kd_bitmap_t* frames;
    int32_t frame_count;
    kd_bitmap_t* atlas;
    int32_t frame_number;
    float frame_rate;
    hw_data_t hw;
};

#endif
