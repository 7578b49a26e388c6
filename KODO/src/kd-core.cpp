// Engine state, start-up and shutdown.
#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "kd-http.h"
#include "kd-internal.h"
#include "kd-file.h"
#include "rendimp.h"

kd_state_t kd_state;
kd_state_t kd_new_state;
kd_parms_t kd_parms;

void KDPI_ClearPlatformInfo();
void KDPI_ResolvePlatformInfo();
void KDI_ReadProgramSettings();
const char* KDI_ProgramSettingsProblem();
void KDID_GetDisplaySize(int* width, int* height);
bool KDI_LoadSoundImp();
void KDI_ShutdownSoundImp();
void KDI_ReleaseBitmapsAtExit();
void KDI_ReleaseSoundsAtExit();
void KDI_ReleaseFontsAtExit();
void KDI_FreeBitmapTable();
void KDI_InitTextAndDrawingState();

// Every field zero. A value-initialised record in place of memset: the
// state holds std::atomic flags, which memset must not touch.
void KDI_ClearState() { new (&kd_state) kd_state_t(); }

void KDI_StateSetup(void* handle) {
    kd = &kodo;
    memset(&kodo, 0, sizeof kodo);
    memset(&kd_parms, 0, sizeof kd_parms);
    KDI_SetBasicInterface(kd);
    // The thread layer's records survive; everything else starts from zero.
    KDI_ClearState();
    kd_state.kd = kd;

    kd_state.transform_index = -1;
    kd_state.vertex_processor_index = -1;
    kd_state.orientation_current = 8;
    kd_state.orientation_target = 8;
    kd_state.orientation_mask = 12;
    kd_state.console_toggle_key = -89;
    kd_state.depth_default = 0.5f;
    kd_state.default_cache_mode = KD_CACHE_TEXTURE;
    kd_state.default_pack_mode = KD_PACK_TRANSPARENT;
    kd_parms.command_line = const_cast<char*>(KDI_GetCommandLine());

    if (handle) {
        kd_state.platform_handle = handle;
        kd_state.platform_handle_given = true;
    }
    KDI_InitTextAndDrawingState();
}

void KDI_DetermineImps() {
    KDI_ReadProgramSettings();
}

// Two copies of the program on one player folder would each save over
// the other's progress. Every player folder of this working folder lies
// under "./data", which is known before the settings are read, so the
// lock is taken there, before the window opens. The lock lasts as long as
// the process (its descriptor is never closed, and not inherited by
// programs it starts); a folder that cannot be opened holds nothing to
// protect yet.
bool KDI_CheckForMultipleProgramInstances() {
    mkdir("./data", 0755);
    int fd = open("./data", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    char cwd[PATH_MAX];
    fprintf(stderr, "Another copy of the program is running on the player's data in '%s/data'; this one ends.\n",
            getcwd(cwd, sizeof cwd) ? cwd : ".");
    close(fd);
    return false;
}

// Copies an identity text into a fixed field. Longer texts are cut, never
// overrun; for the title, anything but letters, digits and '-' becomes '_'
// so that it is safe as a folder name.
void KDI_CopyIdentityField(char* dst, int size, const char* src, bool title_rules) {
    if (!dst || size < 1) return;
    if (!src) src = "";
    int n = 0;
    for (; src[n] && n < size - 1; n++) {
        char c = src[n];
        if (title_rules && !isalnum((unsigned char)c) && c != '-') c = '_';
        dst[n] = c;
    }
    dst[n] = 0;
}

// Said on stderr, where it is always seen (a log may be off, or have
// nowhere to go): settings that could not be read, which move the
// player's data to another folder; and a player folder that cannot be
// written, where nothing the player does would be saved.
static void ReportPlayerFolder(const char* path) {
    char cwd[PATH_MAX], folder[PATH_MAX + 520];
    nStringFormat(folder, sizeof folder, "%s/%s/", getcwd(cwd, sizeof cwd) ? cwd : ".", path + 2);
    const char* problem = KDI_ProgramSettingsProblem();
    if (problem[0]) fprintf(stderr, "%s; the player's data goes to '%s'.\n", problem, folder);
    char probe[600];
    nStringFormat(probe, sizeof probe, "%s/.write-probe", path);
    // By the rule of every write (kd-native-file.h): a link planted at the
    // probe's name is refused, with its line, and removed (which leaves
    // what it leads to as it was); the probe is then made anew.
    int fd = KDI_OpenNative(probe, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 && (errno == ELOOP || errno == EMLINK) && KDI_DeleteNative(probe, false))
        fd = KDI_OpenNative(probe, O_WRONLY | O_CREAT | O_EXCL, 0600);
    kd_state.player_data_unwritable = fd < 0;
    if (fd >= 0) {
        close(fd);
        KDI_DeleteNative(probe, false);
    } else {
        fprintf(stderr, "The player's data folder '%s' cannot be written (%s); nothing will be saved.\n", folder,
                strerror(errno));
    }
    fflush(stderr);
}

bool KDI_PreInit(void* handle) {
    KDT_InitThreads();
    KDI_KeepEarlyLogLines();
    KDI_StateSetup(handle);
    kd_state.main_thread_id = KDT_GetCurrentThreadId();
    kd_state.start_time = KDT_GetTime();

    KDPI_ClearPlatformInfo();
    KDPI_ResolvePlatformInfo();
    KDI_CreateFileOpeners();
    if (!KDI_LoadProgImp()) return false;

    KDI_InitFileSystem();
    KDI_DetermineImps();

    // Device information: the display's size, a full-screen device.
    int dw = 0, dh = 0;
    KDID_GetDisplaySize(&dw, &dh);
    kd_state.device_width = dw;
    kd_state.device_height = dh;
    kd_state.device_fullscreen = true;
    if (kd_state.window_width <= 0 || kd_state.window_height <= 0) {
        kd_state.window_width = dw > 0 ? dw : 1024;
        kd_state.window_height = dh > 0 ? dh : 600;
    }
    KDI_SelectResolution(kd_prog->parms.windowed);
    KDI_AddPackagesDefinedInProgramParameters();
    KDI_LoadRendImp();

    if (kd_prog->parms.width <= kd_prog->parms.height) {
        kd_state.orientation_current = kd_state.orientation_target = 1;
        kd_state.orientation_mask = 3;
    } else {
        kd_state.orientation_current = kd_state.orientation_target = 8;
        kd_state.orientation_mask = 12;
    }

    KDI_CreateCoreMutexes();

    // Both become folder names under the user folder: the same rules keep
    // either from leaving it ("../..").
    KDI_CopyIdentityField(kd_state.developer, sizeof kd_state.developer, kd_prog->developer_name, true);
    KDI_CopyIdentityField(kd_state.title, sizeof kd_state.title, kd_prog->title, true);
    if (!kd_state.developer[0]) KDI_CopyIdentityField(kd_state.developer, sizeof kd_state.developer, "Vantreo", false);
    if (!kd_state.title[0]) KDI_CopyIdentityField(kd_state.title, sizeof kd_state.title, "unknown", true);

    KDI_InitFileSystem();
    {
        // The player's folder, every level of it (by name: kd-native-file.h).
        char path[512], folder[520];
        nStringFormat(path, sizeof path, "%s/%s/%s", "./data", kd_state.developer, kd_state.title);
        nStringFormat(folder, sizeof folder, "%s/", path);
        KDI_MakeNativeFolders(folder);
        ReportPlayerFolder(path);
    }

    KDI_InitConsole();
    KD_PrintDebugf(KD_LOG_SYSTEM, "Logging Verbose Level set to %d.\n", kd_state.verbose_level);

    if (kd_state.device_width == 0 || kd_state.device_height == 0) {
        kd_state.device_width = kd_state.window_width;
        kd_state.device_height = kd_state.window_height;
    }
    kd_state.device_orientation = kd_state.device_width > kd_state.device_height ? 4 : 1;

    kd_parms_t* p = &kd_prog->parms;
    if (p->width == 0 || p->height == 0 || kd_state.override_size) {
        KD_PrintDebugf(KD_LOG_WARNING, "Important parameter is 0: width=%d height=%d override=%d. Forcing override.\n",
                       p->width, p->height, kd_state.override_size ? 1 : 0);
        p->width = kd_state.window_width;
        p->height = kd_state.window_height;
    }
    if (kd_state.device_fullscreen) {
        bool portrait_device = kd_state.device_width < kd_state.device_height;
        if (portrait_device && p->width > p->height) {
            p->width = kd_state.device_height;
            p->height = kd_state.device_width;
            kd_state.orientation_mask = 12;
        } else {
            p->width = kd_state.device_width;
            p->height = kd_state.device_height;
            kd_state.orientation_mask = 3;
        }
        kd_state.window_width = p->width;
        kd_state.window_height = p->height;
        kd_state.override_size = true;
    }

    if (kd_prog->EventProc) {
        kd_event_t ev;
        memset(&ev, 0, sizeof ev);
        ev.type = KD_EVENT_PARMS;
        ev.id = (intptr_t)kd;
        ev.x = (intptr_t)&kd_prog->parms;
        kd_prog->EventProc(ev);
    }
    kd_parms = kd_prog->parms;

    if (!kd_prog->title[0]) KD_Popupf(1, "Program doesn't have parm title set: set value prog->title\n");
    if (!kd_prog->id[0]) KD_Popupf(1, "Program doesn't have parm id set: set value prog->id\n");
    if (!kd_prog->version[0])
        KD_Popupf(1, "Program doesn't have parm version: set value prog->version to e.g. \"1.0.0\"\n");
    if (!kd_prog->developer_name[0])
        KD_Popupf(1, "Program doesn't have parm developer: set value prog->developer_name\n");

    // User data is searched before the program's own data.
    KD_AddSearchPath(KD_GetPath(3, ""), true);
    KD_AddSearchPath(KD_GetPath(1, ""), true);

    kd_state.print_reference_count_changes = KDI_FeatureExists("PRINT_REFERENCE_COUNT_CHANGES");
    kd_state.hide_cursor = KDI_FeatureExists("HIDE_CURSOR");
    KD_PrintDebugf(KD_LOG_SYSTEM, "KODO Core PreInitialized.\n");

    if (!KDI_InitImageLoader()) {
        KD_PrintDebugf(KD_LOG_ERROR, "KODO Image Loader unable to initialize.\n");
        return false;
    }
    return true;
}

bool KDID_LoadInputImp(const char* name) {
    KD_PrintDebugf(KD_LOG_SYSTEM, "No extra input imps in static version: '%s' not loaded.\n", name);
    return true;
}

void KDID_UnloadInputImps() {}

bool KDI_Init() {
    KD_PrintDebugf(KD_LOG_SYSTEM, "Endianness: %d.\n", 1234);
    KDI_SetupAutoscaling();

    if (!KDI_InitRendImp()) {
        const char* name = kd_state.renderer_name ? kd_state.renderer_name : (ri ? ri->GetName() : "");
        KD_PrintDebugf(KD_LOG_ERROR,
                       "Unable to initialize the renderer ('%s'). Tried all listed renderers but was unable to "
                       "initialize any.\n",
                       name);
        KD_Popupf(1,
                  "Unable to initialize the graphics ('%s'). Please try restarting the application.\nIf that doesn't "
                  "help, consider updating your display adapter driver software.\nFor more information on how to do "
                  "this, please see your hardware \nmanufacturer's support page.",
                  name);
        return false;
    }

    for (int i = 0; i < 8; i++)
        if (kd_state.input_imp_names[i]) KDID_LoadInputImp(kd_state.input_imp_names[i]);

    if (kd_parms.no_sound) {
        KD_PrintDebugf(KD_LOG_SYSTEM, "Sounds disabled. Null Sound Implementation in use.\n");
    } else if (!KDI_LoadSoundImp()) {
        KD_PrintDebugf(KD_LOG_WARNING, "No Sound Implementation available.\n");
    } else {
        KD_PrintDebugf(KD_LOG_SYSTEM, "SoundImp initialized.\n");
    }

    kd_state.reference_counting = kd_prog->parms.reference_counting;
    kd_prog->parms.developer_mode = kd_state.developer_mode;
    kd_prog->parms.locale = kd_state.locale;

    KD_Printf("Initializing Program '%s'..\n", kd_prog->title);
    if (kd_prog->Init) {
        if (kd_prog->Init())
            kd_state.program_initialised = true;
        else
            KD_Popupf(2, "Program initialization failed.\n");
    }

    kd_state.show_fps = KDI_FeatureExists("SHOW_FPS");
    kd_state.render_stereo = KDI_FeatureExists("RENDER_STEREO");
    kd_state.initialised = true;
    return true;
}

bool KD_SignalShutdown() {
    kd_state.quit = true;
    // The record is shared with the program's threads, which poll it; it is
    // a plain C field, so it is written with the builtin the readers match.
    if (kd_prog) __atomic_store_n(&kd_prog->parms.shutdown_signalled, true, __ATOMIC_RELEASE);
    return true;
}

// How long shutdown waits for the program's threads; one that outlives
// it is given up on.
static const int kThreadWaitMs = 3000;

void KODO_Shutdown() {
    if (!kd) return;
    KD_PrintDebugf(KD_LOG_SYSTEM, "KODO Shutdown.\n");
    KD_SignalShutdown();
    KDI_CancelHttpRequests();

    KD_PrintDebugf(KD_LOG_SYSTEM, "Waiting for threads to exit... (%d threads)\n", KDT_GetNumberOfThreadsRunning());
    // Woken as the last one ends rather than polled: a poll's step was
    // most of the time a quit took.
    KDT_WaitForThreads(kThreadWaitMs);
    if (KDT_GetNumberOfThreadsRunning() > 0)
        KD_PrintDebugf(KD_LOG_WARNING, "Time out: %d threads left running!\n", KDT_GetNumberOfThreadsRunning());

    if (kd_state.program_initialised && kd_prog && kd_prog->Shutdown) kd_prog->Shutdown();
    kd_state.program_initialised = false;

    KDI_ReleaseBitmapsAtExit();
    KD_PrintDebugf(KD_LOG_INFO, "Releasing Input Implementations.\n");
    KDID_UnloadInputImps();
    KD_PrintDebugf(KD_LOG_INFO, "Releasing sounds.\n");
    KDI_ReleaseSoundsAtExit();
    KD_PrintDebugf(KD_LOG_INFO, "Releasing fonts.\n");
    KDI_ReleaseFontsAtExit();
    KD_PrintDebugf(KD_LOG_INFO, "Releasing Sound Implementation.\n");
    KDI_ShutdownSoundImp();
    KDI_FreeShaders();
    if (kd_state.renderer_ready) KDI_ShutdownRendImp();
    KDI_FinalShutdownRendImp();
    KDI_FreeBitmapTable();
    kd_state.num_input_imps = 0;

    if (!kd_state.incompatible_program_replaced) KDID_UnloadProgImp();

    KD_Printf("Closing File Openers...\n");
    KDI_FreeFileOpeners();
    KDI_FreeSearchPaths();

    KDI_PrintConsoleStatistics();
    KDI_FreeConsole();

    KDI_DestroyMutexes();
    KDT_ShutdownThreads();
}
