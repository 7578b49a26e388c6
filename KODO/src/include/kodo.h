// The engine interface: the only way the program reaches the engine.
//
// The program is compiled against this header. The slot order of `kodo_t`
// is fixed and stands for interface version 1201; never reorder members,
// only append inside the extension table.
#ifndef KODO_H
#define KODO_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#define KODO_INTERFACE_VERSION 1201

struct kd_mutex_t;
struct kd_file_t;
struct kd_font_t;
struct kd_sound_t;
struct kd_bitmap_t;
struct kd_shader_t;
struct kd_state_t;

// A list of file names filled by FindFiles; freed with FreeList.
struct kd_list_t {
    char** items;  // array new of heap strings
    int32_t count;
};

// A byte buffer from AllocBuffer; `reserved` stays 0.
struct kd_buffer_t {
    unsigned char* data;
    int32_t reserved;
    int32_t size;
    int32_t capacity;
};

struct vec2_t {
    float x, y;
};

// A point p maps to (m00 px + m01 py, m10 px + m11 py).
struct mat2_t {
    float m00, m01, m10, m11;
};

struct color_t {
    float r, g, b, a;
};

// 4 x 4 matrix stored row by row, translation in elements 3, 7 and 11;
// points are column vectors.
struct nTransform {
    float m[16];
};

// A constant of the header, not an engine symbol: the libraries above the
// engine use it without linking the engine.
inline constexpr nTransform kd_transform_identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

// One corner of a quad. The colour bytes are B, G, R, A in memory for the
// engine's own colour setter and R, G, B, A under the OpenGL ES renderer.
struct kd_vertex_t {
    float x, y, z;
    uint32_t color;
    float u, v;
};

struct kd_vertex3d_t {
    float x, y, z;
    uint32_t color;
    float u, v;
};

enum kd_render_state_e {
    KD_RS_DEPTH_TEST = 10,
    KD_RS_DEPTH_WRITE = 11,
    KD_RS_CULL_MODE = 12,
};

enum kd_eye_mode_t {
    KD_EYE_MONO = 0,
    KD_EYE_LEFT = 1,
    KD_EYE_RIGHT = 2,
};

// Event types.
enum {
    KD_EVENT_CHAR = 1,
    KD_EVENT_POINTER_MOVE = 2,
    KD_EVENT_WHEEL = 4,
    KD_EVENT_BUTTON_UP = 5,
    KD_EVENT_BUTTON_DOWN = 6,
    KD_EVENT_CONSOLE_LINE = 7,
    KD_EVENT_KEY_DOWN = 8,
    KD_EVENT_KEY_UP = 9,
    KD_EVENT_ACTIVATION = 10,
    KD_EVENT_RENDERER_REINIT = 11,
    KD_EVENT_RENDER_TARGETS_LOST = 12,
    KD_EVENT_WINDOW_CLOSE = 13,
    KD_EVENT_RENDER_TARGET_RESTORE = 17,
    KD_EVENT_PARMS = 18,
    // The platform services' results (KDI_FreeEvent frees what a queued
    // one owns). The game centre's: login (low byte
    // of `id` success; `x` player id, `y` alias), an achievement report
    // (`id` achievement; low byte of `x` success), a reply without data,
    // a score submission (`id` leaderboard; `x` points; low byte of `y`
    // success).
    KD_EVENT_GC_LOGIN = 19,
    KD_EVENT_GC_ACHIEVEMENT_REPORTED = 20,
    KD_EVENT_GC_NO_DATA = 21,
    KD_EVENT_GC_SCORE_SUBMITTED = 22,
    // The store's: the credit balance (`id` 1; `x` text), item data (`x`
    // item; low byte of `y` confirmed; the fifth word the price), a
    // purchase (`id` reason 2 not enough credits, 3 not possible now, 4
    // cancelled; `x` item; low byte of `y` success), the credit balance
    // again (the fifth word).
    KD_EVENT_STORE_CREDITS = 32,
    KD_EVENT_STORE_ITEM_DATA = 33,
    KD_EVENT_STORE_PURCHASE = 34,
    KD_EVENT_STORE_BALANCE = 35,
    KD_EVENT_GC_FIRST = KD_EVENT_GC_LOGIN,
    KD_EVENT_GC_LAST = KD_EVENT_GC_SCORE_SUBMITTED,
    KD_EVENT_STORE_FIRST = KD_EVENT_STORE_CREDITS,
    KD_EVENT_STORE_LAST = KD_EVENT_STORE_BALANCE,
};

// The keyboard's key ids (a key event's `id`, GetKeyStatei's key): a
// letter is its capital's code whatever Shift says ('A' for the key A),
// a digit its character; the other keys that have one are named here.
// Any other key is 0.
enum {
    KD_KEY_BACKSPACE = 8,
    KD_KEY_TAB = 9,
    KD_KEY_RETURN = 13,
    KD_KEY_SHIFT = 16,
    KD_KEY_CONTROL = 17,
    KD_KEY_MENU = 18,  // Alt
    KD_KEY_ESCAPE = 27,
    KD_KEY_SPACE = 32,
    KD_KEY_PAGE_UP = 33,
    KD_KEY_PAGE_DOWN = 34,
    KD_KEY_END = 35,
    KD_KEY_HOME = 36,
    KD_KEY_LEFT = 37,
    KD_KEY_UP = 38,
    KD_KEY_RIGHT = 39,
    KD_KEY_DOWN = 40,
    KD_KEY_INSERT = 45,
    KD_KEY_DELETE = 46,
    KD_KEY_PAD_0 = 96,  // the numeric pad's digits: 96 to 105
    KD_KEY_PAD_MULTIPLY = 106,
    KD_KEY_PAD_PLUS = 107,
    KD_KEY_PAD_MINUS = 109,
    KD_KEY_PAD_DECIMAL = 110,
    KD_KEY_PAD_DIVIDE = 111,
    KD_KEY_F1 = 112,  // F1 to F5: 112 to 116
    KD_KEY_F2 = 113,
    KD_KEY_F3 = 114,
    KD_KEY_F4 = 115,
    KD_KEY_F5 = 116,
};

// Key ids beyond the keyboard's virtual-key numbers.
enum {
    KD_KEY_SWIPE_DOWN = 300,
    KD_KEY_POINTER_X = 504,
    KD_KEY_POINTER_Y = 505,
    KD_KEY_MOUSE_BUTTON_0 = 510,
    KD_KEY_TOUCH = 510,
    KD_KEY_MOUSE_BUTTON_1 = 511,  // the right button
    KD_KEY_VOLUME_UP = 1632,
    KD_KEY_VOLUME_DOWN = 1633,
    KD_NUM_KEY_STATES = 2048,
};

// Touch ids the program has cursors for: 0 .. KD_MAX_TOUCHES - 1. The
// engine delivers touches of every id (a previous position is kept for ids
// up to 76); the program ignores those it has no cursor for.
enum { KD_MAX_TOUCHES = 8 };

// One engine event, passed by value. On the 32-bit device every payload
// word is 32 bits and the record is 32 bytes; payloads that carry pointers
// (event 18's interface pointer, service results) need pointer-sized words
// on a 64-bit host, so those fields are intptr_t.
struct kd_event_t {
    int32_t type;
    intptr_t id;
    intptr_t x, y;
    int16_t button;
    int16_t wheel;
    intptr_t prev_x, prev_y;
    // Service results: the text of their fifth word, which the device's
    // record keeps where button and wheel are and 16 bits cannot hold here.
    intptr_t data;
};

struct kd_parms_t {
    int32_t width, height;
    bool windowed;
    bool no_sound;
    bool flags;
    bool multi_touch;
    int32_t frame_ms;
    bool console_open;
    bool graphics_ready;
    bool developer_mode;
    char* command_line;
    char* locale;
    bool shutdown_signalled;
    bool reference_counting;
    int32_t reference_width, reference_height;
};

struct kodo_t;

struct kd_prog_t {
    int32_t interface_version;
    char id[32];
    char title[128];
    char version[16];
    char developer_name[64];
    kodo_t* kd;
    kd_parms_t parms;
    bool (*Init)();
    void (*Shutdown)();
    void (*Update)(float dt);
    void (*Draw)(float dt);
    int (*EventProc)(kd_event_t event);
#if UINTPTR_MAX == 0xFFFFFFFFu
    // Reserved words that keep the record at the 372 bytes of the device ABI.
    char reserved[64];
#endif
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(kd_event_t) == 32, "kd_event_t is 32 bytes on 32-bit targets");
static_assert(sizeof(kd_prog_t) == 372, "kd_prog_t is 372 bytes on 32-bit targets");
#endif

typedef void (*kd_thread_fn)(void*);
typedef void (*kd_vertex_processor_fn)(kd_vertex_t* vertices, int count, void* user);

// The extension table: the engine fills the first five entries.
struct kodo_ext_t {
    kd_shader_t* (*GetShader)(const char* name);
    void (*SetShader)(kd_shader_t* shader);
    void (*SetShaderBitmap)(int unit, kd_bitmap_t* bm);
    void (*SetShaderParm)(kd_shader_t* shader, int index, float* values);
    void (*DrawBitmapRS)(kd_bitmap_t* bm, float x, float y, float angle, float scale);
    void* unused[27];
};

struct kodo_t {
    /*   0 */ void (*Printf)(const char* format, ...);
    /*   1 */ void (*PrintDebugf)(int level, const char* format, ...);
    /*   2 */ void (*Popupf)(int level, const char* format, ...);
    /*   3 */ void (*Sleep)(int ms);
    /*   4 */ unsigned int (*GetTime)();
    /*   5 */ kd_mutex_t* (*GetMutex)(const char* name);
    /*   6 */ void (*ReleaseMutex)(kd_mutex_t* m);
    /*   7 */ void (*LockMutex)(kd_mutex_t* m);
    /*   8 */ void (*UnlockMutex)(kd_mutex_t* m);
    /*   9 */ unsigned long (*CreateThread)(const char* name, kd_thread_fn fn, void* arg, int flags);
    /*  10 */ unsigned long (*GetCurrentThreadId)();
    /*  11 */ bool (*IsMainThread)();
    /*  12 */ void (*SynchronizeWithMainThreadBegin)();
    /*  13 */ void (*SynchronizeWithMainThreadEnd)();
    /*  14 */ kd_font_t* (*GetFont)(const char* name);
    /*  15 */ kd_font_t* (*LoadFont)(const char* name);
    /*  16 */ int (*RefreshFont)(kd_font_t* font);
    /*  17 */ void (*ReleaseFont)(kd_font_t* font);
    /*  18 */ int (*SaveFont)(kd_font_t* font, const char* path);
    /*  19 */ void (*SetCursor)(const char* name);
    /*  20 */ bool (*SignalShutdown)();
    /*  21 */ bool (*ReInit)();
    /*  22 */ const char* (*CallExtension)(const char* command, const char* parameter);
    /*  23 */ const char* (*GetPath)(int kind, const char* format, ...);
    /*  24 */ char* (*GetPathEx)(char* out, int size, int kind, const char* format, ...);
    /*  25 */ bool (*CreateDirectory)(const char* path);
    /*  26 */ void (*AddSearchPath)(const char* path, bool at_front);
    /*  27 */ void (*RemoveSearchPath)(const char* path);
    /*  28 */ const char* (*GetSearchPath)(int index);
    /*  29 */ int (*GetNumberOfSearchPaths)();
    /*  30 */ bool (*DeleteFile)(const char* path);
    /*  31 */ kd_file_t* (*OpenFile)(const char* path, const char* mode);
    /*  32 */ void (*CloseFile)(kd_file_t* file);
    /*  33 */ unsigned int (*ReadFile)(void* buffer, unsigned int size, kd_file_t* file);
    /*  34 */ unsigned int (*WriteFile)(const void* buffer, unsigned int size, kd_file_t* file);
    /*  35 */ void (*FlushFile)(kd_file_t* file);
    /*  36 */ long (*GetFilePosition)(kd_file_t* file);
    /*  37 */ bool (*SetFilePosition)(kd_file_t* file, long offset, int origin);
    /*  38 */ int (*fgetc)(kd_file_t* file);
    /*  39 */ bool (*fseek)(kd_file_t* file, long offset, int origin);
    /*  40 */ long (*ftell)(kd_file_t* file);
    /*  41 */ unsigned int (*fread)(void* buffer, unsigned int size, unsigned int count, kd_file_t* file);
    /*  42 */ unsigned int (*fwrite)(const void* buffer, unsigned int size, unsigned int count, kd_file_t* file);
    /*  43 */ bool (*FindFiles)(kd_list_t* out, const char* folder, const char* pattern, bool recurse);
    /*  44 */ void (*FreeList)(kd_list_t* list);
    /*  45 */ int (*SendHttpRequest)(int method, const char* url, const char* headers, const char* body,
                                     int body_size, kd_buffer_t* out, int* status);
    /*  46 */ kd_buffer_t (*AllocBuffer)(int size);
    /*  47 */ void (*FreeBuffer)(kd_buffer_t* buffer);
    /*  48 */ int (*GetKeyStatei)(int key);
    /*  49 */ void (*SetKeyStatei)(int key, int value);
    /*  50 */ float (*GetKeyStatef)(int key);
    /*  51 */ void (*SetKeyStatef)(int key, float value);
    /*  52 */ kd_sound_t* (*GetSound)(const char* name);
    /*  53 */ kd_sound_t* (*LoadSound)(const char* name);
    /*  54 */ kd_sound_t* (*GetSoundEx)(const char* name, int cache_mode);
    /*  55 */ void (*ReleaseSound)(kd_sound_t* sound);
    /*  56 */ void (*SetSoundCacheMode)(kd_sound_t* sound, int mode);
    /*  57 */ void (*SetMasterVolume)(float volume);
    /*  58 */ long (*PlaySound)(kd_sound_t* sound, float volume, float pan, float frequency);
    /*  59 */ void (*StopChannel)(long channel);
    /*  60 */ void (*SetChannelPan)(long channel, float pan);
    /*  61 */ void (*SetChannelVolume)(long channel, float volume);
    /*  62 */ void (*SetChannelPaused)(long channel, bool paused);
    /*  63 */ void (*SetChannelLooping)(long channel, bool looping);
    /*  64 */ void (*SetChannelFrequency)(long channel, float frequency);
    /*  65 */ bool (*IsChannelAlive)(long channel);
    /*  66 */ kd_sound_t* (*GetChannelSound)(long channel);
    /*  67 */ void (*SlideChannelVolume)(long channel, float volume, float seconds);
    /*  68 */ void (*StopChannelWithFade)(long channel, float seconds);
    /*  69 */ void (*PlayMusic)(kd_sound_t* sound, float volume, float fade_in);
    /*  70 */ void (*StopMusic)(float fade_out);
    /*  71 */ void (*SetMusicPaused)(bool paused);
    /*  72 */ void (*SetMusicLooping)(bool looping);
    /*  73 */ kd_sound_t* (*GetMusicPlaying)();
    /*  74 */ void (*SlideMusicVolume)(float volume, float seconds);
    /*  75 */ void (*PushTransform)(nTransform* m);
    /*  76 */ void (*PopTransform)();
    /*  77 */ nTransform* (*PeekTransform)();
    /*  78 */ void (*PushVertexProcessor)(kd_vertex_processor_fn fn, void* user);
    /*  79 */ void (*PopVertexProcessor)();
    /*  80 */ bool (*RemoveVertexProcessor)(kd_vertex_processor_fn fn, void* user);
    /*  81 */ void (*ProcessVertex)(kd_vertex_t* v);
    /*  82 */ kd_bitmap_t* (*GetBitmap)(const char* name);
    /*  83 */ kd_bitmap_t* (*GetBitmapEx)(const char* name, int cache_mode);
    /*  84 */ kd_bitmap_t* (*LoadBitmap)(const char* name, int cache_mode);
    /*  85 */ void (*ReleaseBitmap)(kd_bitmap_t* bm);
    /*  86 */ int (*SaveBitmap)(kd_bitmap_t* bm, const char* path, int quality);
    /*  87 */ void (*RefreshBitmap)(kd_bitmap_t* bm);
    /*  88 */ void (*SetBitmapCacheMode)(kd_bitmap_t* bm, int mode);
    /*  89 */ kd_bitmap_t* (*CreateBitmap)(const char* name, int width, int height, int render_target);
    /*  90 */ void (*SetBitmapFrame)(kd_bitmap_t* bm, int frame);
    /*  91 */ void (*ClearScreen)(float r, float g, float b);
    /*  92 */ bool (*SetScissorRect)(int x, int y, int w, int h);
    /*  93 */ void (*DisableScissorRect)();
    /*  94 */ bool (*SetRenderTarget)(kd_bitmap_t* bm);
    /*  95 */ void (*SetBlend)(int mode);
    /*  96 */ void (*SetPixelFilter)(int filter);
    /*  97 */ void (*SetColor)(float r, float g, float b);
    /*  98 */ void (*SetAlpha)(float a);
    /*  99 */ void (*SetTextAlign)(int flags);
    /* 100 */ void (*SetTextboxWidth)(int width);
    /* 101 */ void (*SetTextTransform)(float scale_x, float scale_y, float angle);
    /* 102 */ void (*DrawBitmap)(kd_bitmap_t* bm, float x, float y);
    /* 103 */ void (*DrawBitmapRS)(kd_bitmap_t* bm, float x, float y, float rotation, float scale);
    /* 104 */ void (*DrawBitmapLine)(kd_bitmap_t* bm, vec2_t* from, vec2_t* to, float w0, float w1,
                                     color_t* c0, color_t* c1);
    /* 105 */ void (*DrawSubBitmap)(kd_bitmap_t* bm, float x, float y, float sx, float sy, float sw, float sh);
    /* 106 */ float (*DrawTextf)(kd_font_t* font, float x, float y, const char* format, ...);
    /* 107 */ void (*DrawRect)(float x, float y, float w, float h);
    /* 108 */ void (*DrawLine)(float x0, float y0, float x1, float y1);
    /* 109 */ void (*DrawBitmap4V)(kd_bitmap_t* bm, kd_vertex_t* v);
    /* 110 */ void (*BeginBatch)(kd_bitmap_t* bm);
    /* 111 */ void (*BatchDrawQuad)(kd_bitmap_t* bm, kd_vertex_t* v);
    /* 112 */ void (*EndBatch)();
    /* 113 */ void (*DrawTriangles)(kd_bitmap_t* bm, kd_vertex3d_t* v, int vertex_count, unsigned short* indices,
                                    int index_count);
    /* 114 */ void (*GetTextSizef)(kd_font_t* font, float* w, float* h, const char* format, ...);
    /* 115 */ float (*GetTextWidthf)(kd_font_t* font, const char* format, ...);
    /* 116 */ float (*GetTextHeightf)(kd_font_t* font, const char* format, ...);
    /* 117 */ void (*SetDepthRange)(float near_depth, float default_depth, float far_depth);
    /* 118 */ void (*SetDepthDefault)(float depth);
    /* 119 */ float (*GetDepthDefault)();
    /* 120 */ void (*ClearDepth)(float depth);
    /* 121 */ void (*SetRenderStateb)(kd_render_state_e state, bool value);
    /* 122 */ void (*SetRenderStatef)(kd_render_state_e state, float value);
    /* 123 */ void (*SetRenderStatei)(kd_render_state_e state, int value);
    /* 124 */ kodo_ext_t* ext;
};

static_assert(sizeof(kodo_t) == 125 * sizeof(void*), "kodo_t is 124 operations and the extension pointer");

// The records the program reads directly (bitmaps, fonts, sounds).
#include "kd-records.h"

// Provided by the program, linked into the same executable.
kd_prog_t* KD_GetInterface();

#endif
