// The engine records that the program reads and writes directly: bitmaps,
// fonts with their glyphs, sounds, and the log levels. Everything else of
// the engine stays behind `kodo_t`; these records are handed out by its
// look-ups (GetBitmap, GetFont, GetSound) and the program reads their
// sizes, names, frames and texture coordinates without a call.
//
// The field order is the engine's table layout: never reorder, only append.
#ifndef KD_RECORDS_H
#define KD_RECORDS_H

#include <stdint.h>

struct kd_mutex_t;

// Log levels of PrintDebugf.
enum {
    KD_LOG_INFO = 0,
    KD_LOG_WARNING = 1,
    KD_LOG_ERROR = 2,
    KD_LOG_SYSTEM = 3,
};

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

// What all bitmaps' pixels may take together, made by KD_CreateBitmap (a
// script's canvases and render targets) or loaded from files, a texture
// counted as its pixels: some 40 times what the bundled game holds at
// once (6 MB), four render targets of the largest side.
#define KD_BITMAPS_MAX_BYTES (256ll << 20)

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
    int64_t held_bytes;  // counted against KD_BITMAPS_MAX_BYTES; under the record's mutex
};

enum {
    KD_MAX_FONTS = 32,
    KD_FONT_LATIN1 = 0,
    KD_FONT_UTF8 = 1,
    KD_FONT_FLAG_COUNTED_BY_GET = 1,
    // Glyph counts a `.sft` file may declare. LATIN-1 fonts have 256; a
    // UTF-8 font of a large script stays far below this.
    KD_FONT_MAX_GLYPHS = 65536,
};

struct kd_glyph_t {
    int32_t code;       // Unicode code point (UTF-8 fonts); 0 in LATIN-1 records
    int16_t x_offset;   // added to the pen when drawn
    int16_t y_offset;   // added to the line top when drawn
    int16_t advance;    // pen advance after the glyph
    int8_t* kerning;    // glyph-count entries, by predecessor index; may be null
    kd_bitmap_t bitmap; // pixels RGBA (owned), and the texture or atlas part
};

struct kd_font_t {
    char* name;  // null marks a free slot
    int16_t ref_count;
    uint8_t cache_mode;
    uint8_t flags;  // KD_FONT_FLAG_COUNTED_BY_GET
    uint8_t encoding;  // KD_FONT_LATIN1 or KD_FONT_UTF8
    int32_t base;
    int32_t size;  // below 1: the font draws nothing
    int32_t line_height;
    kd_glyph_t* glyphs;
    int32_t glyph_count;
    kd_bitmap_t atlas;
    float draw_scale;
};

// Cache modes of a sound record. As an argument, bit value 4 asks for a
// load and 16 for a look-up that never creates and never counts.
enum {
    KD_SOUND_CACHE_NONE = 0,
    KD_SOUND_CACHE_LOAD = 4,
    KD_SOUND_CACHE_LOOKUP = 16,
};

// Flag bits of a sound record.
enum {
    KD_SOUND_COUNTED_BY_GET = 1,  // counted once by GetSound/GetSoundEx
};

enum { KD_MAX_SOUNDS = 256 };

// One named sound. A null name marks a free record.
struct kd_sound_t {
    char* name;
    int16_t ref_count;
    int8_t cache_mode;
    uint8_t flags;
    // Playing defaults kept for the program (1, 0, 1, 0 when created);
    // the engine itself never reads them.
    float volume;
    float pan;
    float frequency;
    float priority;
    int32_t max_instances;     // -1: no limit (set by scripts; informative)
    uint32_t last_play_time;   // engine clock of the last accepted play; 0 never
    void* imp_data[2];         // private to the sound implementation
};

#endif
