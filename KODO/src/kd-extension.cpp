// Extension commands: everything the program asks of the platform or the
// engine that has no slot of its own in the interface table.
#include <bps/bps.h>
#include <bps/navigator.h>
#include <bps/virtualkeyboard.h>
#include <errno.h>
#include <fcntl.h>
#include <host/dialog.h>
#include <host/service.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <atomic>

#include "kd-file.h"
#include "kd-image.h"
#include "kd-internal.h"
#include "kd-settings.h"
#include "rendimp.h"

void KDD_SetCursor(const char* name) {}

// The folder a file dialog starts in: the bundled data tree for the
// program's "All" (the UI editor browses the art), the user tree's
// worlds/ for a filter list (the world editor's files). Null when the
// tree has no folder here.
static char* DialogFolder(const char* parameter) {
    if (parameter && strcmp(parameter, "All") == 0) {
        const char* bundled = KD_GetStaticPathPrefixAsNativeOSPath("res");
        return bundled && bundled[0] ? nStringDuplicate(bundled) : nullptr;
    }
    KD_CreateDirectory("user://worlds");
    return KD_ConvertStaticPathToNativeOSPath("user://worlds");
}

// "EditValue: <title>" (parameter: the default text), "OpenFileDialog"
// and "SaveFileDialog" (parameter: "All" or a filter list of zero-ended
// texts closed by an empty one): the answer entered, or nothing when
// cancelled or when no dialog can be shown here (one line names it).
static const char* Prompt(const char* command, const char* parameter) {
    static char reply[1024];
    int kind = HOST_DIALOG_TEXT;
    const char* title = command + 10;
    if (strcmp(command, "OpenFileDialog") == 0)
        kind = HOST_DIALOG_OPEN_FILE, title = "Open";
    else if (strcmp(command, "SaveFileDialog") == 0)
        kind = HOST_DIALOG_SAVE_FILE, title = "Save";
    while (*title == ' ') title++;
    char* folder = kind == HOST_DIALOG_TEXT ? nullptr : DialogFolder(parameter);
    const char* filters = kind != HOST_DIALOG_TEXT && parameter && strcmp(parameter, "All") != 0 ? parameter : nullptr;
    int got = host_dialog(kind, title, kind == HOST_DIALOG_TEXT ? parameter : folder, filters, reply, sizeof reply);
    free(folder);
    if (got < 0)
        KD_PrintDebugf(1, "'%s' cannot be shown: no dialog program (zenity) or no display; nothing entered.\n",
                       command);
    return got > 0 ? reply : nullptr;
}

// An absolute native path as the engine's name of it ("user://..." or
// "res://..."); nothing for a path outside both trees.
static const char* StaticPathOf(const char* native) {
    static char name[1024];
    char* converted = native && native[0] == '/' ? KD_ConvertNativeOSPathToStaticPath(native) : nullptr;
    if (converted) nStringFormat(name, sizeof name, "%s", converted);
    free(converted);
    return converted ? name : nullptr;
}

// The platform's own commands, asked first.
const char* KDD_CallExtension(const char* command, const char* parameter) {
    if (!command) return nullptr;
    if (strncmp(command, "EditValue:", 10) == 0 || strcmp(command, "OpenFileDialog") == 0 ||
        strcmp(command, "SaveFileDialog") == 0)
        return Prompt(command, parameter);
    if (strcmp(command, "ConvertNativeOSPathToStaticPath") == 0) return StaticPathOf(parameter);
    if (strcmp(command, "OpenURL") == 0) {
        if (!parameter) return nullptr;
        // A script that asks without end (the host refuses pages while
        // others open) gets one line until a page opens again.
        static std::atomic<bool> failing{false};
        char* err = nullptr;
        if (navigator_invoke(parameter, &err) != BPS_SUCCESS) {
            if (!failing.exchange(true))
                KD_PrintDebugf(KD_LOG_WARNING, "OpenURL '%s' failed: %s (no more lines until a page opens).\n",
                               parameter, err ? err : "unknown error");
        } else {
            failing = false;
        }
        if (err) bps_free(err);
        return "OK";
    }
    if (strcmp(command, "BeginKeyboardInput") == 0) {
        virtualkeyboard_change_options(VIRTUALKEYBOARD_LAYOUT_DEFAULT, VIRTUALKEYBOARD_ENTER_DEFAULT);
        virtualkeyboard_show();
        return "OK";
    }
    if (strcmp(command, "EndKeyboardInput") == 0) {
        virtualkeyboard_hide();
        return "OK";
    }
    if (strcmp(command, "ComposeMail") == 0) return parameter ? "OK" : nullptr;
    // The store's other commands have no answer here: its results come as
    // service events.
    if (strcmp(command, "IAP_IsAvailable") == 0) return service_store_available() ? "OK" : nullptr;
    return nullptr;
}

static const char* PlatformInfo(const char* parameter) {
    static char number[16];
    const kd_platform_info_t* p = &kd_platform_info;
    if (strcmp(parameter, "DeviceModel") == 0) return "QNX";
    if (strcmp(parameter, "OSMajor") == 0) return "QNX";
    if (strcmp(parameter, "OSMinor") == 0) return "6.5+";
    if (strcmp(parameter, "KodoImp") == 0) return "KD_QNX";
    if (strcmp(parameter, "UniqueId") == 0) return "UNKNOWN";
    if (strcmp(parameter, "GPUDesc") == 0) return p->gpu_desc;
    if (strcmp(parameter, "CPUDesc") == 0) return p->cpu_desc;
    if (strcmp(parameter, "DesktopWidth") == 0) {
        nStringFormat(number, sizeof number, "%d", kd_device_info.desktop_width);
        return number;
    }
    if (strcmp(parameter, "DesktopHeight") == 0) {
        nStringFormat(number, sizeof number, "%d", kd_device_info.desktop_height);
        return number;
    }
    if (strcmp(parameter, "PlatformId") == 0) return KDI_GetPlatformIdAsString(p->platform_id);
    if (strcmp(parameter, "ScreenSizeId") == 0) return KDI_GetScreenSizeIdAsString(p->screen_size_id);
    return nullptr;
}

static bool LocalDate(struct tm* out) {
    time_t now = time(nullptr);
    return localtime_r(&now, out) != nullptr;
}

// Makes `name` the program's folder name and rebuilds the user roots.
static void SwitchProgramBasePath(const char* name) {
    if (!name || strstr(name, "..") || !*name || strchr(name, '/') ||
        (int)strlen(name) >= (int)sizeof kd_state.title) {
        KD_PrintDebugf(KD_LOG_WARNING, "SwitchProgramBasePath new path parameter invalid.\n");
        return;
    }
    KDI_CopyIdentityField(kd_state.title, sizeof kd_state.title, name, true);
    KDFS_RebuildUserRoots();
    if (kd_state.logging) KD_CreateDirectory("user://logs");
}

// "RenameFile" takes "from|to", two engine paths. The program has no other
// way to replace a file atomically, which every writer of player data
// needs. Both names must be of one scheme, user:// or res:// (no ".."),
// and both are resolved as writes: a res:// name is renamed in its
// writable place in the user tree. So the bundled data is never touched,
// and nothing moves between it and the player's files.
static bool SchemeOf(const char* path, const char** scheme) {
    if (strncmp(path, "user://", 7) == 0) *scheme = "user://";
    else if (strncmp(path, "res://", 6) == 0) *scheme = "res://";
    else return false;
    return true;
}

static bool RenameFile(const char* parameter) {
    const char* bar = parameter ? strchr(parameter, '|') : nullptr;
    const char *from_scheme = nullptr, *to_scheme = nullptr;
    bool ok_names = bar && SchemeOf(parameter, &from_scheme) && SchemeOf(bar + 1, &to_scheme) &&
                    from_scheme == to_scheme && bar - parameter > (int)strlen(from_scheme) &&
                    bar[1 + strlen(to_scheme)] && !strstr(parameter, "..");
    if (!ok_names) {
        KD_PrintDebugf(KD_LOG_WARNING,
                       "RenameFile: parameter '%s' refused: both names must be user:// (or both res://) files.\n",
                       parameter ? parameter : "(null)");
        return false;
    }
    nString from(parameter);
    from.text[bar - parameter] = 0;
    // Both ends are written: a "res://" name is renamed in its writable place.
    char* native_from = KD_ConvertStaticPathToNativeOSPath(from.text, true);
    char* native_to = KD_ConvertStaticPathToNativeOSPath(bar + 1, true);
    bool ok = native_from && native_to && KDI_RenameNative(native_from, native_to);
    if (!ok)
        KD_PrintDebugf(KD_LOG_WARNING, "RenameFile: '%s' failed: %s\n", parameter,
                       native_from && native_to ? strerror(errno) : "path refused");
    free(native_from);
    free(native_to);
    return ok;
}

// "SyncFile" takes a file's engine path and waits until its contents are
// on the disk; "SyncFolder" takes a file's engine path and does the same
// for the folder that holds it, whose entry a rename has just changed.
// Together they make an atomic save survive a power cut, not only a kill.
// Both resolve the path as a write, as "RenameFile" does.
static bool SyncPath(const char* path, bool folder) {
    if (!path || strstr(path, "..")) return false;
    char* native = KD_ConvertStaticPathToNativeOSPath(path, true);
    const char* leaf = nullptr;
    int fd = !native ? -1 : folder ? KDI_OpenFolderOf(native, &leaf, false) : KDI_OpenNative(native, O_RDONLY, 0);
    bool ok = fd >= 0 && fsync(fd) == 0;
    if (!ok)
        KD_PrintDebugf(KD_LOG_WARNING, "%s: '%s' failed: %s\n", folder ? "SyncFolder" : "SyncFile", path,
                       strerror(errno));
    if (fd >= 0) close(fd);
    free(native);
    return ok;
}

// "FileExists" takes one engine path and answers what is there, readable
// or not: "file", "folder" or "other" (a link at the last part is one);
// null when nothing is. A file that no save may go into (kd-native-file.h)
// is "file behind a link" (a folder on its way is one), and one that the
// player made read-only (its mode bits let this user write nothing) is
// "read-only file": a save by rename would replace it whatever its modes.
// A file with a second name is a "file": a save by rename replaces only
// this name. Opening the file cannot tell a missing file from one this
// user may not read, and the player's files must never be taken for
// missing (replaced, deleted) because of it.
static const char* PathType(const char* path) {
    if (!path || strstr(path, "..")) return nullptr;
    char* native = KD_ConvertStaticPathToNativeOSPath(path);
    struct stat st;
    bool there = native && lstat(native, &st) == 0;
    const char* leaf;
    int folder = there && S_ISREG(st.st_mode) ? KDI_OpenFolderOf(native, &leaf, false) : -1;
    bool behind = folder < 0 && errno == ELOOP;
    bool read_only = folder >= 0 && ((st.st_mode & 0222) == 0 || faccessat(folder, leaf, W_OK, AT_EACCESS) != 0);
    if (folder >= 0) close(folder);
    free(native);
    if (!there) return nullptr;
    if (S_ISREG(st.st_mode)) return behind ? "file behind a link" : read_only ? "read-only file" : "file";
    return S_ISDIR(st.st_mode) ? "folder" : "other";
}

// "ImageSize" takes a picture's engine path and answers "<width>x<height>"
// as the decoder that would load it reads its header, before a pixel is
// decoded: the same library, the same reading, so a file cannot state one
// size to the question and decode to another. Nothing when the header
// cannot be read. Any thread may ask (the answer is the thread's own).
static const char* ImageSize(const char* path) {
    static thread_local char answer[32];
    kd_image_t img;
    memset(&img, 0, sizeof img);
    if (!path || !GetImageLoaderImp()->GetImageDimensions(&img, path) || img.width < 1 || img.height < 1)
        return nullptr;
    nStringFormat(answer, sizeof answer, "%dx%d", (int)img.width, (int)img.height);
    return answer;
}

// "RealPath" takes a "user://" path and answers the engine's name of where
// it leads once the links among its folders are followed: the deepest of
// them that exists, resolved, with the rest of the path after it; the
// empty text when that place lies outside the user tree. A folder linked to another
// (a "mine" that is "profiles") must not hide a player's file from the
// checks that go by name. Any thread may ask (the answer is the thread's own).
static const char* RealUserPath(const char* path) {
    static thread_local char answer[1024];
    if (!path || strncmp(path, "user://", 7) != 0) return nullptr;
    const char* root = KD_GetStaticPathPrefixAsNativeOSPath("user");
    char real_root[PATH_MAX], real[PATH_MAX];
    nStringFormat(answer, sizeof answer, "%s", path);
    if (!root || !root[0] || !realpath(root, real_root)) return answer;
    nString head(path + 7);
    char* leaf = strrchr(head.text, '/');
    const char* tail = leaf ? leaf + 1 : head.text;
    if (leaf) *leaf = 0;
    nString rest(tail);
    real[0] = 0;
    while (leaf) {
        char native[PATH_MAX];
        nStringFormat(native, sizeof native, "%s/%s", root, head.text);
        if (realpath(native, real)) break;
        real[0] = 0;
        leaf = strrchr(head.text, '/');
        nString moved(leaf ? leaf + 1 : head.text);
        moved.Append("/");
        moved.Append(rest.text);
        rest.Set(moved.text);
        if (leaf) *leaf = 0;
    }
    if (!real[0]) nStringFormat(real, sizeof real, "%s", real_root);
    const size_t n = strlen(real_root);
    if (strncmp(real, real_root, n) != 0 || (real[n] && real[n] != '/')) return "";
    nStringFormat(answer, sizeof answer, "user://%s%s%s", real[n] ? real + n + 1 : "", real[n] ? "/" : "", rest.text);
    return answer;
}

const char* KD_CallExtension(const char* command, const char* parameter) {
    if (!command) return nullptr;

    const char* answer = KDD_CallExtension(command, parameter);
    if (answer) return answer;

    bool has = parameter != nullptr;
    if (strcmp(command, "Renderer") == 0 && has && strcmp(parameter, "EyeMode") == 0) {
        if (kd_state.current_eye == KD_EYE_LEFT) return "Left";
        if (kd_state.current_eye == KD_EYE_RIGHT) return "Right";
        return "Mono";
    }
    if (strcmp(command, "ProgramInfo") == 0 && has) {
        if (strcmp(parameter, "ProgramId") == 0) return kd_prog ? kd_prog->id : "null";
        if (strcmp(parameter, "Features") == 0) return KDI_GetFeaturesText();
    }
    if (strcmp(command, "GetProductValue") == 0) {
        answer = KDI_GetProductValue(parameter);
        if (answer) return answer;
    }
    if (strcmp(command, "PlatformInfo") == 0 && has) {
        answer = PlatformInfo(parameter);
        if (answer) return answer;
    }
    if (strcmp(command, "GetDate") == 0) {
        static char date[32];
        struct tm t;
        if (LocalDate(&t)) {
            nStringFormat(date, sizeof date, "%d-%.2d-%.2d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
            return date;
        }
    }
    if (strcmp(command, "GetTimeStamp") == 0) {
        static char stamp[32];
        struct tm t;
        if (LocalDate(&t)) {
            nStringFormat(stamp, sizeof stamp, "%d-%.2d-%.2d:%.2d-%.2d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                          t.tm_hour, t.tm_min);
            return stamp;
        }
    }
    if (strcmp(command, "Hacks") == 0 && has && strcmp(parameter, "AllowAllResolutions") == 0) {
        kd_state.allow_all_resolutions = true;
    }
    if (strcmp(command, "UI") == 0 && has &&
        (strcmp(parameter, "BeginKeyboardInput") == 0 || strcmp(parameter, "EndKeyboardInput") == 0)) {
        KD_Popupf(1, "Unimplemented.\n");
    }
    if (strcmp(command, "RefreshMemUsageEstimates") == 0) {
        KDI_RefreshMemUsageEstimates();
        return nullptr;
    }
    if (strcmp(command, "ListResourceUsage") == 0) {
        KDI_ListResourceUsage();
        return nullptr;
    }
    if (strcasecmp(command, "SwitchProgramBasePath") == 0) {
        SwitchProgramBasePath(parameter);
        return nullptr;
    }
    if (strcasecmp(command, "SwitchUserDataPath") == 0) {
        if (!KDFS_SetRoot(0, parameter))
            KD_PrintDebugf(KD_LOG_WARNING, "SwitchUserDataPath: path '%s' refused.\n",
                           parameter ? parameter : "(null)");
        return nullptr;
    }
    if (strcasecmp(command, "SwitchSharedUserDataPath") == 0) {
        if (!KDFS_SetRoot(1, parameter))
            KD_PrintDebugf(KD_LOG_WARNING, "SwitchSharedUserDataPath: path '%s' refused.\n",
                           parameter ? parameter : "(null)");
        return nullptr;
    }

    if (strcmp(command, "RenameFile") == 0) return RenameFile(parameter) ? "OK" : nullptr;
    if (strcmp(command, "FileExists") == 0) return PathType(parameter);
    if (strcmp(command, "RealPath") == 0) return RealUserPath(parameter);
    // "1" when the player's folder took a file at start-up, "0" when
    // nothing can be saved: the game tells the player once its menu is up.
    if (strcmp(command, "PlayerDataWritable") == 0) return kd_state.player_data_unwritable ? "0" : "1";
    if (strcmp(command, "SyncFile") == 0) return SyncPath(parameter, false) ? "OK" : nullptr;
    if (strcmp(command, "SyncFolder") == 0) return SyncPath(parameter, true) ? "OK" : nullptr;
    if (strcmp(command, "ImageSize") == 0) return ImageSize(parameter);

    if (kd_state.renderer_ready && ri) {
        answer = ri->CallExtension(command, parameter);
        if (answer) return answer;
    }
    // No input implementation exists on this platform; there is nobody else
    // to ask.
    return nullptr;
}
