// Engine internals shared by the engine's own source files. The program
// never includes this header.
#ifndef KD_INTERNAL_H
#define KD_INTERNAL_H

#include <atomic>

#include "include/kd-records.h"
#include "include/kodo.h"
#include "include/nstring.h"
#include "kd-api.h"
#include "kd-native-file.h"
#include "kd-shader.h"
#include "kd-sound.h"

class RendImp;
class SoundImp;
class InputImp;

// The engine's core mutexes. None is recursive.
//
// Lock order: a thread that holds one of these may take only those further
// down this list, never one further up. Taking them in one order everywhere
// is what keeps two threads from each holding what the other waits for.
//
//   MAIN_LOOP       the frame; held around the program's update and draw,
//                   so the program's own mutexes (KD_GetMutex) come next
//   GET_FONT        the font table
//   GET_BITMAP      the bitmap table
//   GET_SOUND       the sound table; the sound implementation's channel
//                   mutex is taken inside it
//   SHARED_BITMAP   a bitmap record's data (every table record's mutex)
//   GFX_HW          renderer calls that create, upload or free textures
//   RESOURCE_QUEUE  the texture upload and release queues, the event queue
//   GET_SHADER      the shader table
//   PRINT           console, log, popups; the log file is opened under it
//   CREATE_DIR, GET_PATH   path building and directory creation
//   GET_MUTEX       the named-mutex list
//   (thread records, kd-threads.cpp; the package table, kd-file.h: innermost)
//
// CORE_IMP is not taken. A thread that waits for the frame
// (KD_SynchronizeWithMainThreadBegin) must hold none of them.
//
// Flags and counters that one thread changes while another reads them are
// std::atomic (never volatile); settings fixed before any thread starts are
// plain; everything else shared is read and written under its lock above.
enum {
    KD_MUTEX_PRINT = 0,
    KD_MUTEX_GET_MUTEX = 1,
    KD_MUTEX_CREATE_DIR = 2,
    KD_MUTEX_GET_PATH = 3,
    KD_MUTEX_GET_BITMAP = 4,
    KD_MUTEX_GET_SOUND = 5,
    KD_MUTEX_GET_FONT = 6,
    KD_MUTEX_GET_SHADER = 7,
    KD_MUTEX_GFX_HW = 8,
    KD_MUTEX_MAIN_LOOP = 9,
    KD_MUTEX_RESOURCE_QUEUE = 10,
    KD_MUTEX_SHARED_BITMAP = 11,
    KD_MUTEX_CORE_IMP = 12,
    KD_NUM_CORE_MUTEXES = 13,
};


struct kd_mutex_t {
    char* name = nullptr;
    void* platform = nullptr;  // pthread_mutex_t*
    // Set by the holder; others may look at it at any time.
    std::atomic<bool> locked{false};
};

enum {
    KD_TRANSFORM_STACK_SIZE = 32,
    KD_VERTEX_PROCESSOR_STACK_SIZE = 16,
};

struct kd_vertex_processor_t {
    kd_vertex_processor_fn fn;
    void* user;
};

// Everything the engine keeps. Cleared to zero by KDI_StateSetup (value
// initialisation, which std::atomic members allow where memset does not).
struct kd_state_t {
    kodo_t* kd;
    bool program_initialised;
    bool developer_mode;
    bool logging;
    int verbose_level;
    bool console_enabled;
    int console_toggle_key;
    char* locale;
    std::atomic<bool> quit;  // read by the sound feeder and worker threads
    bool reinit_pending;
    bool platform_handle_given;
    bool incompatible_program_replaced;
    bool player_data_unwritable;  // the player's folder took no file at start-up
    int orientation_mask;
    int orientation_current;
    int orientation_target;
    float orientation_time;
    float orientation_duration;
    bool active;
    std::atomic<bool> initialised;     // read by file, log and popup calls on any thread
    std::atomic<bool> renderer_ready;  // read by texture work on any thread
    bool show_fps;
    bool render_stereo;
    int current_eye;
    bool autoscale;
    int reference_width, reference_height;
    float offset_x, offset_y;
    float scale_x, scale_y;
    float inv_scale_x, inv_scale_y;
    char* sound_imp_name;
    char* renderer_name;
    char* input_imp_names[8];
    InputImp* input_imps[8];
    int num_input_imps;
    SoundImp* sound_imp;
    RendImp* renderer;
    std::atomic<int> texture_format;  // set by the renderer, read by image loads on any thread
    kd_mutex_t* core_mutexes[KD_NUM_CORE_MUTEXES];
    unsigned long main_thread_id;
    unsigned int start_time;
    int key_states[KD_NUM_KEY_STATES];
    float key_states_f[KD_NUM_KEY_STATES];
    int transform_index;
    int vertex_processor_index;
    bool reference_counting;
    bool queue_events;
    bool allow_all_resolutions;
    bool print_reference_count_changes;
    bool hide_cursor;
    bool override_size;
    int window_width, window_height;
    int device_width, device_height;
    bool device_fullscreen;
    int device_orientation;
    float depth_near, depth_default, depth_far;
    char developer[32];
    char title[32];
    void* platform_handle;

    // Files, paths and log: open engine file handles (raised by open,
    // lowered by close on any thread; reported at shutdown).
    std::atomic<int> open_file_handles;

    // Program settings (kd-settings.cpp). The texts belong to the settings
    // reader and stay valid until the settings are read again; the state
    // only borrows them (so zeroing the state leaks nothing).
    const char* app_features;
    const char* variant_features;
    const char* variant_name;
    const char* resolutions;

    // Drawing (kd-draw.cpp): colour and alpha, the quad
    // template and the block for caller quads, the transform and
    // vertex-processor stacks (their top indices are above), the render
    // target, and the blend mode and pixel filter the renderer records.
    float current_alpha;
    uint32_t current_color;
    kd_vertex_t quad[4];
    kd_vertex_t user_quad[4];
    nTransform transforms[KD_TRANSFORM_STACK_SIZE];
    kd_vertex_processor_t vertex_processors[KD_VERTEX_PROCESSOR_STACK_SIZE];
    int vertex_processor_base;
    kd_bitmap_t* render_target;
    int blend_mode;
    int pixel_filter;
    bool pack_into_atlas;

    // Screen resolution and transforms (kd-resolution.cpp).
    float rotation_angle;
    bool force_screen_size;
    int forced_width, forced_height;

    // Bitmap table: 768 records and the high-water count.
    kd_bitmap_t bitmaps[KD_MAX_BITMAPS];
    int num_bitmaps;

    // Shader table (kd-shader.cpp).
    kd_shader_t shaders[KD_MAX_SHADERS];
    int num_shaders;
    kd_shader_t* current_shader;

    // Sound table (kd-sound.cpp): records 0 to num_sounds-1 have been
    // used; a released one has a null name and is reused first.
    kd_sound_t sounds[KD_MAX_SOUNDS];
    int num_sounds;

    // Text layout (kd-text.cpp) and overlays (kd-overlays.cpp): the text
    // settings that hold until changed, the last measured size, and the
    // frame-rate counter. The font table itself lives in kd-font.cpp.
    float text_box_width;
    int text_align;
    float text_scale_x, text_scale_y, text_angle;
    float last_text_width, last_text_height;
    int fps_frames;
    float fps_seconds;
    float fps_value;

    // Bitmap table defaults (kd-bitmap.cpp), set at engine start: the
    // cache mode of KD_GetBitmap (texture only) and the pack mode given to
    // bitmaps created by lookup or load (transparent border).
    int default_cache_mode;
    int default_pack_mode;
};

extern kd_state_t kd_state;
extern kd_state_t kd_new_state;
extern kodo_t kodo;
// The engine's own pointer to the table. It lives in a namespace because the
// program, linked into the same executable, keeps a global `kd` of its own.
namespace kodo_engine {
extern kodo_t* kd;
}
using kodo_engine::kd;
extern kd_parms_t kd_parms;
extern kd_prog_t* kd_prog;
extern RendImp* ri;

// Interface table and program record.
void KDI_SetBasicInterface(kodo_t* table);
bool KDI_LoadProgImp();
kd_prog_t* KDID_LoadProgImp();
void KDID_UnloadProgImp();
kd_prog_t* KDI_GetNullProg();
kodo_ext_t* KDIE_GetExtensionInterface();
const char* KDI_GetCommandLine();
void KDI_SetCommandLine(int argc, char** argv);

// Start-up and shutdown.
void KDI_ClearState();
void KDI_StateSetup(void* platform_handle);
bool KDI_PreInit(void* platform_handle);
bool KDI_Init();
void KODO_Shutdown();
void KDI_DetermineImps();
// False, with one line on stderr, when another copy holds the player data.
bool KDI_CheckForMultipleProgramInstances();
void KDI_CopyIdentityField(char* dst, int size, const char* src, bool title_rules);
bool KD_SignalShutdown();

// Frame, activation and re-initialisation.
void KDI_Frame(int elapsed_ms);
int KDI_ClampElapsed(int elapsed_ms);
bool KD_ReInit();
void KDI_ReInitRenderer();
void KDI_SetDefaultStates();
void KDI_ActivateApp(bool active);
bool KDI_ValidateParms(kd_parms_t* parms);
bool KDI_RevertProgramParameters();
void KDI_BeginHibernate();
void KDI_EndHibernate();
void KDI_CustomFrame(float dt);
void KDI_DrawMinimizedPlaceholder();

// Frame pacing: waits until `frame_ms` have passed since `last`; sleeps in
// 1 ms steps until 2 ms before the target, then re-reads the clock. Returns
// the time read at the end of the wait. The clock and the sleep are
// parameters so that tests can drive them.
unsigned int KDI_WaitForFrame(unsigned int last, int frame_ms, unsigned int (*clock)(), void (*sleep_ms)(int));

// Threads, mutexes and time.
void KDT_InitThreads();
void KDT_ShutdownThreads();
kd_mutex_t* KD_GetMutex(const char* name);
void KD_ReleaseMutex(kd_mutex_t* m);
void KD_LockMutex(kd_mutex_t* m);
void KD_UnlockMutex(kd_mutex_t* m);
kd_mutex_t* KDT_CreateMutex(const char* name);
void KDT_DestroyMutex(kd_mutex_t* m);
void KDT_LockMutex(kd_mutex_t* m);
void KDT_UnlockMutex(kd_mutex_t* m);
void KDI_CreateCoreMutexes();
void KDI_DestroyMutexes();
const char* KDI_GetCoreMutexName(int index);
void KDI_LockCoreMutex(int index);
void KDI_UnlockCoreMutex(int index);
unsigned long KD_CreateThread(const char* name, kd_thread_fn fn, void* arg, int flags);
unsigned long KDT_CreateThread(const char* name, kd_thread_fn fn, void* arg);
unsigned long KD_GetCurrentThreadId();
unsigned long KDT_GetCurrentThreadId();
bool KD_IsMainThread();
bool KDT_IsMainThread();
void KD_SynchronizeWithMainThreadBegin();
void KD_SynchronizeWithMainThreadEnd();
int KDT_GetNumberOfThreadsRunning();
// Until no thread started through KDT_CreateThread runs, or the time is up;
// true when none runs.
bool KDT_WaitForThreads(int timeout_ms);
bool KDT_KillThread(unsigned long id);
void KDT_SetThreadPriority(unsigned long id, unsigned int priority, bool);
unsigned int KDT_GetTime();
unsigned int KD_GetTime();
void KDT_Sleep(int ms);
struct kd_date_t {
    int year, month, day, hour, minute, second;
};
void KDT_GetDate(kd_date_t* date);

struct kd_thread_info_t {
    char* name = nullptr;
    unsigned long id = 0;
    void* extra = nullptr;
    // Started by KDT_CreateThread: the thread frees the record itself, also
    // when it outlives the engine's shutdown.
    std::atomic<bool> launched{false};
};
kd_thread_info_t* KDT_GetCurrentThreadInfo();
void KDT_RemoveThreadInfo(kd_thread_info_t* info);

// Log and console.
void KD_Printf(const char* format, ...) N_PRINTF_LIKE(1, 2);
void KD_PrintDebugf(int level, const char* format, ...) N_PRINTF_LIKE(2, 3);
void KD_Popupf(int level, const char* format, ...) N_PRINTF_LIKE(2, 3);
void KDI_InitConsole();
// Starts keeping the lines printed before the console starts (dropping any
// left from an earlier run); KDI_InitConsole writes them to the log.
void KDI_KeepEarlyLogLines();
void KDI_PrintConsoleStatistics();
void KDI_FreeConsole();
void KDI_FlushPopups();
// Every finished log line is also handed to this sink (tests watch the log
// through it). Null removes it.
// Every line printed, whether or not a log or console takes it (the tools
// print the engine's messages through it).
void KDI_SetLogSink(void (*sink)(int level, const char* line, void* user), void* user);
// Exactly the lines written to the log file, as they are written.
void KDI_SetLogFileSink(void (*sink)(int level, const char* line, void* user), void* user);

// Events and input state.
void KDI_SendEvent(kd_event_t* event);
void KDI_SendEventQueued(kd_event_t* event);
void KDI_ProcessEventQueue();
void KDI_FreeEvent(kd_event_t* event);
void KDI_SendKeyEvent(int type, int key);
void KDI_SendWindowActivationEvent(bool active);
void KDI_SendWindowCloseEvent();
void KDI_ClearKeyStates();
// Pointer input (kd-input.cpp): positions are device pixels and are mapped
// to program coordinates when autoscaling is on.
void KDI_SendMouseEvent(kd_event_t* event);
void KDI_SendMouseMoveEvent(int id, float x, float y);
void KDI_SendMouseButtonEvent(int type, int id, int button, float x, float y);
void KDI_SendMouseWheelEvent(int type, int id, int wheel, float x, float y);
void KDI_SendCharEvent(int character);
void KD_TranslateRectByOrientation(int* x, int* y, int* w, int* h);
void KDI_ResetKeyboardKeyStates();
int KD_GetKeyStatei(int key);
void KD_SetKeyStatei(int key, int value);
float KD_GetKeyStatef(int key);
void KD_SetKeyStatef(int key, float value);

// Renderer.
void KDI_LoadRendImp();
bool KDI_InitRendImp();
void KDI_ShutdownRendImp();
void KDI_FinalShutdownRendImp();
RendImp* KDID_LoadRendImp();
void KDID_UnloadRendImp();

// Settings and platform facts (the settings reader fills the state).
bool KDI_FeatureExists(const char* name);

// File system hooks used by start-up.
void KDI_CreateFileOpeners();
void KDI_FreeFileOpeners();
void KDI_InitFileSystem();
// Memory estimates into key states 2001-2005, and the resource listing.
void KDI_RefreshMemUsageEstimates();
void KDI_ListResourceUsage();
bool KDI_InitImageLoader();
void KDI_AddPackagesDefinedInProgramParameters();
void KDI_SelectResolution(bool windowed);
void KDI_SetupAutoscaling();
void KDI_FitProgramToDevice();
void KDI_UpdateScreenTransforms(float dt);
void KDI_PushScreenTransforms();
void KDI_PopScreenTransforms();
void KDI_DrawScreenBorders();
// Screen resolution (kd-resolution.cpp).
bool KDI_IsResolutionSupportedByDevice(int w, int h, bool windowed);
bool KDI_SelectOptimalResolution(bool windowed, bool forcing);
bool KDI_DoesProgramSupportResolution(int w, int h);
void KDI_DrawScreenBorderRectangles();
float KDI_GetOrientationAngle(int code);
// Source bitmaps by scale for generated fonts: the factor of an id
// "INPUT@<n>x" or "INPUT@<a>/<b>", and the best id of an array's nodes.
class KD_DMArray;
double KDIF_GetInputBitmapScaleFactor(const char* id);
const char* KDIF_SelectBestInputBitmapForScaling(KD_DMArray* array, double scale);
// Drawing (kd-draw.cpp).
void KDI_InitDrawingState();
void KD_ApplyVertexProcessing(kd_vertex_t* v, int count);
void KD_DrawBitmapT(kd_bitmap_t* bm, float x, float y, mat2_t* m, vec2_t* pivot);
void KD_DrawBatchBitmap(kd_bitmap_t* bm, float x, float y);
void KD_DrawBatchBitmapT(kd_bitmap_t* bm, float x, float y, mat2_t* m, vec2_t* pivot);
bool KDI_IsBitmapDrawable(const kd_bitmap_t* bm);
// Bitmaps (kd-bitmap.cpp; sequences and atlases in kd-bitmap-seq.h).
void KDI_InitBitmap(kd_bitmap_t* bm, const char* name);
void KDI_LoadBitmapToHardware(kd_bitmap_t* bm);
void KDI_ReleaseBitmapHardwareData(kd_bitmap_t* bm);
void KDI_ReleaseBitmapSoftwareData(kd_bitmap_t* bm);
void KDI_ReleaseBitmapStructures(kd_bitmap_t* bm);
void KDI_UpdateAndDrawOverlays(float dt);
void KDI_ProcessResourceQueues();
void KDI_ReleaseBitmapsAtExit();
void KDI_ReleaseFontsAtExit();
void KDI_ReleaseSoundsAtExit();
void KDI_InitTextAndDrawingState();
bool KDI_LoadSoundImp();
void KDI_ShutdownSoundImp();
void KDPI_ClearPlatformInfo();
void KDPI_ResolvePlatformInfo();
void KDI_ReadProgramSettings();
void KDID_GetDisplaySize(int* width, int* height);
bool KDID_LoadInputImp(const char* name);
void KDID_UnloadInputImps();

// Package lists of the program settings, filled by the settings reader:
// 0 "packages", 1 "addon_packages", 2 the sound-effect packages, 3 the
// music packages, 4 "developer_packages". Null when not set.
const char* KDI_GetProgramPackageList(int index);

#endif
